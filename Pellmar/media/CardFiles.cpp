#include "Pellmar/media/CardFiles.h"

#include "Pellmar/index/Hashing.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/ScanningRules.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fts.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int byName(const FTSENT** a, const FTSENT** b)
{
    return std::strcmp((*a)->fts_name, (*b)->fts_name);
}

void appendCardFiles(const QString& root, QList<CardFile>& files)
{
    const QByteArray nativeRoot = QFile::encodeName(root);
    char* roots[] = {const_cast<char*>(nativeRoot.constData()), nullptr};
    // FTS_PHYSICAL: a symbolic link is reported as a link, which is not a regular file.
    FTS* tree = fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR, &byName);
    if (!tree)
        return;
    while (FTSENT* entry = fts_read(tree)) {
        if (entry->fts_level == 0 || entry->fts_info == FTS_DP)
            continue;
        if (entry->fts_name[0] == '.') {
            if (entry->fts_info == FTS_D)
                fts_set(tree, entry, FTS_SKIP);
            continue;
        }
        if (entry->fts_info != FTS_F)
            continue;
        const QByteArray nativePath(entry->fts_path, entry->fts_pathlen);
        const QString path = QFile::decodeName(nativePath);
        if (QFile::encodeName(path) != nativePath) {
            qCInfo(logIndex) << "Passed over a card file whose name is not UTF-8:" << nativePath;
            continue;
        }
        const auto kind = mediaKindForExtension(path);
        if (!kind)
            continue;
        const struct stat& status = *entry->fts_statp;
        files.append(CardFile{path, qint64(status.st_size),
                              double(status.st_mtim.tv_sec) + double(status.st_mtim.tv_nsec) / 1e9, *kind});
    }
    fts_close(tree);
}

FileDescriptor openFolder(const QString& path)
{
    return FileDescriptor(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

bool sameContents(int copy, int original, qint64 size)
{
    constexpr qsizetype chunk = 1 << 20;
    QByteArray copyBytes(chunk, Qt::Uninitialized);
    QByteArray originalBytes(chunk, Qt::Uninitialized);
    qint64 compared = 0;
    for (;;) {
        const qint64 fromCopy = readFully(copy, copyBytes);
        const qint64 fromOriginal = readFully(original, originalBytes);
        if (fromCopy < 0 || fromOriginal < 0 || fromCopy != fromOriginal)
            return false;
        if (fromCopy == 0)
            return compared == size;
        if (std::memcmp(copyBytes.constData(), originalBytes.constData(), size_t(fromCopy)) != 0)
            return false;
        compared += fromCopy;
    }
}

} // namespace

QList<CardFile> scanCard(const QString& root)
{
    QList<CardFile> files;
    QStringList cardRoots;
    for (const QString& name : {QStringLiteral("DCIM"), QStringLiteral("PRIVATE")}) {
        const QString candidate = QDir(root).filePath(name);
        if (QFileInfo::exists(candidate))
            cardRoots.append(candidate);
    }
    if (cardRoots.isEmpty())
        cardRoots.append(root);
    for (const QString& cardRoot : cardRoots)
        appendCardFiles(cardRoot, files);
    return files;
}

QHash<QString, QString> cardQuickHashes(const QList<CardFile>& files)
{
    QHash<QString, QString> hashes;
    for (const CardFile& file : files) {
        if (file.size < 1)
            continue;
        try {
            hashes.insert(file.url, quickHash(file.url, file.size));
        } catch (const FileError&) {
            // An unreadable file gets no hash.
        }
    }
    return hashes;
}

bool verifyCopy(const QString& copyPath, const CardFile& original)
{
    const RegularFile copy(copyPath);
    const FileDescriptor folder = openFolder(QFileInfo(copyPath).absolutePath());
    const RegularFile card(original.url);
    if (!copy.isOpen() || !folder.isOpen() || !card.isOpen())
        return false;
    if (copy.status().st_size != original.size || card.status().st_size != original.size)
        return false;
    // On the disk for good, then read back from it rather than from the pages just written.
    if (::fsync(copy.descriptor()) != 0 || ::fsync(folder.get()) != 0)
        return false;
    ::posix_fadvise(copy.descriptor(), 0, 0, POSIX_FADV_DONTNEED);
    ::posix_fadvise(card.descriptor(), 0, 0, POSIX_FADV_DONTNEED);
    return sameContents(copy.descriptor(), card.descriptor(), original.size);
}

bool deleteWithCompanion(const QString& path)
{
    if (::unlink(QFile::encodeName(path).constData()) != 0)
        return false;
    const QFileInfo file(path);
    ::unlink(QFile::encodeName(file.dir().filePath(QStringLiteral("._") + file.fileName())).constData());
    return true;
}
