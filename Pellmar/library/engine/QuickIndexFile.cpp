#include "Pellmar/library/engine/QuickIndexFile.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Hashing.h"
#include "Pellmar/index/Index.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/library/engine/ReadGate.h"
#include "Pellmar/media/ContentKeys.h"
#include "Pellmar/media/MediaInfo.h"
#include "Pellmar/media/Posters.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/SearchText.h"
#include "Pellmar/media/Thumbnails.h"
#include "Pellmar/media/Walkers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>
#include <QUuid>

#include <cstdio>
#include <exception>
#include <optional>

#include <sys/stat.h>

namespace {

constexpr int posterSize = 640;

// What the file system says of the file now; nothing when it cannot say.
struct FileValues {
    qint64 size = 0;
    bool regular = false;
    bool package = false;
};

std::optional<FileValues> fileValues(const QString& path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    const bool package = S_ISDIR(status.st_mode) && isPackageName(QFileInfo(path).fileName());
    return FileValues{.size = qint64(status.st_size), .regular = S_ISREG(status.st_mode), .package = package};
}

QString errorText(const std::exception& error)
{
    if (const auto* databaseError = dynamic_cast<const DatabaseError*>(&error))
        return databaseError->description();
    return QString::fromUtf8(error.what());
}

MediaInfo mediaInfo(MediaKind kind, const QString& path, const QByteArray& head)
{
    switch (kind) {
    case MediaKind::photo: {
        // A JPEG's metadata lies before its picture data, most often within the head already read;
        // the file is read again only when the head ends first.
        if (head.startsWith("\xff\xd8")) {
            if (const MediaInfo info = readImageMetadata(path, head); info.width > 0)
                return info;
        }
        return readImageMetadata(path);
    }
    case MediaKind::video: return readVideoMetadata(path);
    case MediaKind::audio:
    case MediaKind::document: break;
    }
    return {};
}

// A new item's id: a UUID whose leading 48 bits count milliseconds since 1970 (version 7), the
// rest random. The index keys a dozen tables by item id; ids that grow with time put a run's new
// items side by side in each of them, where random ones would each dirty a page of their own in
// a large index.
QString timeOrderedUuid()
{
    QUuid uuid = QUuid::createUuid();
    const quint64 milliseconds = quint64(QDateTime::currentMSecsSinceEpoch());
    uuid.data1 = quint32(milliseconds >> 16);
    uuid.data2 = quint16(milliseconds & 0xFFFF);
    uuid.data3 = quint16((uuid.data3 & 0x0FFF) | 0x7000);
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

Item newItem(const QString& key, MediaKind kind, const QString& path, const QString& type, bool local,
             const QByteArray& head)
{
    Item item;
    item.id = timeOrderedUuid();
    item.quickHash = key;
    item.kind = kind;
    item.filename = QFileInfo(path).fileName();
    item.uti = type;
    if (local) {
        const MediaInfo info = mediaInfo(kind, path, head);
        item.capturedAt = info.capturedAt;
        item.width = info.width;
        item.height = info.height;
        item.duration = info.duration;
        item.camera = info.camera;
        item.lens = info.lens;
    }
    return item;
}

struct SmallPicture {
    QString previewExtension;
    QString posterExtension;
};

// A photo's small preview from the preview its file carries, or a video's poster. A photo whose
// picture cannot be decoded gets none; a video without a frame to show, or a picture that cannot
// be written, is an error.
SmallPicture writeSmallPicture(MediaKind kind, const QString& path, const QByteArray& head, const QString& output)
{
    if (kind == MediaKind::photo) {
        if (makeThumbnail(path, head, output + QStringLiteral(".preview.jpg")))
            return {.previewExtension = QStringLiteral("jpg")};
    } else if (kind == MediaKind::video) {
        QImage frame;
        try {
            frame = posterImage(path, posterSize);
        } catch (const DatabaseError& error) {
            // The file's own content has no frame to show: the file fails, with the decoder's reason.
            throw FileError(path, error.description());
        }
        writeImageFile(frame, output + QStringLiteral(".poster.jpg"), ImageFileType::jpeg, posterQuality);
        return {.posterExtension = QStringLiteral("jpg")};
    }
    return {};
}

QString pictureFile(const QString& proxyDirectory, const QString& itemID, const QString& role)
{
    return QDir(proxyDirectory).filePath(itemID + QLatin1Char('.') + role + QStringLiteral(".jpg"));
}

// The roles of the pictures a file's work rendered for its item.
QStringList pictureRoles(const Index::IndexedFile& file)
{
    QStringList roles;
    if (!file.previewExtension.isEmpty())
        roles.append(QStringLiteral("preview"));
    if (!file.posterExtension.isEmpty())
        roles.append(QStringLiteral("poster"));
    return roles;
}

// Records a failure (or emptiness) unless the source went away meanwhile: then the files read as
// missing or unreadable are not, and the row waits for the source to come back.
void failFile(const Job& job, const Source& source, Index& index, const QString& text, FileState state)
{
    if (!isSourceAvailable(source))
        return;
    try {
        waitFor(index.run([job, text, state](Index& ix) { ix.setFileState(job, text, state); }));
    } catch (const std::exception&) {
        // The index could not take the failure either; the file stays waiting.
    }
}

// The reading half of one file's work: everything up to the writes that end it. Nothing when the
// file ended here (empty).
std::optional<ReadFile> readFile(const Job& job, const QHash<QString, Source>& sources, Index& index, Index& lookup,
                                 const QString& proxyDirectory)
{
    const Source source = sources.value(job.sourceID);
    const QString path = source.rootPath + QLatin1Char('/') + job.relativePath;
    const std::optional<FileValues> values = job.local ? fileValues(path) : std::nullopt;
    const bool package = values && values->package;
    const MediaKind kind = package ? MediaKind::document : mediaKindForExtension(path).value_or(MediaKind::document);
    const QString type = fileTypeName(path, package);
    // Held until this file's reading ends: large media files are read one at a time by both workers.
    const bool media = job.local && !package && mediaKindForExtension(path);
    const std::optional<Gate::Pass> pass =
        media && values ? ReadGate::passFor(values->size) : std::optional<Gate::Pass>();

    QString key;
    ContentKey content;
    QByteArray head;
    if (!job.local) {
        key = QStringLiteral("unhashed:") + job.sourceID + QLatin1Char(':') + job.relativePath;
    } else {
        if (values && !values->regular && !package)
            throw FileError(path, QString::fromLatin1(notRegularFileText));   // a FIFO or a device is never opened
        const qint64 size = package ? packageSize(path) : values ? values->size : 0;
        if (size == 0) {
            failFile(job, source, index, QStringLiteral("empty file"), FileState::empty);
            return std::nullopt;
        }
        if (package) {
            key = folderHash(path, size);
        } else {
            const RegularFile file(path);
            file.require();
            head = file.readHead(kind == MediaKind::photo ? headByteBudget(path) : quickHashPrefixLength);
            content = contentKeyOf(path, size, quickHash(path, size, head), sources, index, lookup);
            key = content.key;
        }
    }

    const std::optional<Item> existing = waitFor(lookup.run([key](Index& ix) { return ix.itemByHash(key); }));
    ReadFile read{.newItem = !existing};
    Index::IndexedFile& file = read.file;
    file.job = job;
    file.quickHash = key;
    file.tailHash = content.tailHash;
    file.tailUnchecked = content.tailUnchecked;
    file.item = existing ? *existing : newItem(key, kind, path, type, job.local, head);
    if (job.local) {
        // The item this file stood for while it was not on this computer goes once nothing names it.
        file.orphanKey = QStringLiteral("unhashed:") + job.sourceID + QLatin1Char(':') + job.relativePath;
        if (file.item.previewExtension.isEmpty() && file.item.posterExtension.isEmpty()) {
            const SmallPicture picture =
                writeSmallPicture(file.item.kind, path, head, QDir(proxyDirectory).filePath(file.item.id));
            file.previewExtension = picture.previewExtension;
            file.posterExtension = picture.posterExtension;
        }
    }
    file.searchText = itemSearchText(file.item, job.relativePath, source, type);
    return read;
}

} // namespace

std::optional<ReadFile> readFolderFile(const Job& job, const QHash<QString, Source>& sources, Index& index,
                                       Index& lookup, const QString& proxyDirectory)
{
    try {
        return readFile(job, sources, index, lookup, proxyDirectory);
    } catch (const FileError& error) {
        failFile(job, sources.value(job.sourceID), index, errorText(error), FileState::failed);
    } catch (const std::exception& error) {
        // The index or the "Proxies" folder failed (an interrupt, a full disk), not the file: it
        // waits for the next run.
        qCInfo(logIndex, "%s waits: %s", qUtf8Printable(job.relativePath), qUtf8Printable(errorText(error)));
    }
    return std::nullopt;
}

QList<Job> recordFolderFiles(const QList<ReadFile>& reads, Index& index, const QString& proxyDirectory)
{
    if (reads.isEmpty())
        return {};
    QList<Index::IndexedFile> files;
    files.reserve(reads.size());
    for (const ReadFile& read : reads)
        files.append(read.file);
    // A picture rendered under the name of a new item whose content another file linked first
    // moves to the standing item's name, still before the row that points at it is committed.
    const Index::PicturePlacer placePicture = [proxyDirectory](const Index::IndexedFile& file, const QString& standingID) {
        for (const QString& role : pictureRoles(file)) {
            if (::rename(QFile::encodeName(pictureFile(proxyDirectory, file.item.id, role)).constData(),
                         QFile::encodeName(pictureFile(proxyDirectory, standingID, role)).constData())
                != 0)
                return false;
        }
        return true;
    };
    // The files whose writes failed were read: the index failed them, not their own content, so
    // they wait for the next run rather than fail for good.
    QList<Index::IndexedOutcome> outcomes;
    try {
        outcomes = waitFor(index.run([files, placePicture](Index& ix) { return ix.recordIndexedFiles(files, placePicture); }));
    } catch (const std::exception& error) {
        qCInfo(logIndex, "a batch of %lld files waits: %s", qint64(files.size()), qUtf8Printable(errorText(error)));
        outcomes = QList<Index::IndexedOutcome>(files.size());
    }
    QList<Job> deferred;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const Index::IndexedFile& file = files[i];
        if (outcomes[i].written)
            continue;
        if (!outcomes[i].error.isEmpty())
            qCInfo(logIndex, "%s waits: %s", qUtf8Printable(file.job.relativePath), qUtf8Printable(outcomes[i].error));
        if (outcomes[i].deferred)
            deferred.append(file.job);
        // A picture rendered for a new item that was not recorded has nothing that points at it.
        if (reads[i].newItem) {
            for (const QString& role : pictureRoles(file))
                QFile::remove(pictureFile(proxyDirectory, file.item.id, role));
        }
    }
    return deferred;
}

QString fileTypeName(const QString& path, bool package)
{
    static const QMimeDatabase mimeTypes;
    const QMimeType type = mimeTypes.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    if (type.isDefault() && package)
        return QStringLiteral("inode/directory");
    return type.name();
}

void indexFolderFile(const Job& job, const Source& source, Index& index, const QString& proxyDirectory)
{
    const QHash<QString, Source> sources{{source.id, source}};
    if (std::optional<ReadFile> read = readFolderFile(job, sources, index, index, proxyDirectory))
        recordFolderFiles({*read}, index, proxyDirectory);
}
