#include "Pellmar/library/engine/QuickIndexFile.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Hashing.h"
#include "Pellmar/index/Index.h"
#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/library/engine/ReadGate.h"
#include "Pellmar/media/MediaInfo.h"
#include "Pellmar/media/Posters.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/SearchText.h"
#include "Pellmar/media/Thumbnails.h"
#include "Pellmar/media/Walkers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>
#include <QUuid>

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

Item newItem(const QString& key, MediaKind kind, const QString& path, const QString& type, bool local,
             const QByteArray& head)
{
    Item item;
    item.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
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

// A photo's small preview from the preview its file carries, or a video's poster. A file whose
// picture cannot be decoded gets none; failing to write the picture is an error.
SmallPicture writeSmallPicture(MediaKind kind, const QString& path, const QByteArray& head, const QString& output)
{
    if (kind == MediaKind::photo) {
        if (makeThumbnail(path, head, output + QStringLiteral(".preview.jpg")))
            return {.previewExtension = QStringLiteral("jpg")};
    } else if (kind == MediaKind::video) {
        std::optional<QImage> frame;
        try {
            frame = posterImage(path, posterSize);
        } catch (const DatabaseError&) {
            // No frame could be decoded.
        }
        if (frame) {
            writeImageFile(*frame, output + QStringLiteral(".poster.jpg"), ImageFileType::jpeg, posterQuality);
            return {.posterExtension = QStringLiteral("jpg")};
        }
    }
    return {};
}

// The writes of one file's work; each returns false when the row changed since it was read.
class FileWork {
public:
    FileWork(const Job& job, const Source& source, Index& index, const QString& proxyDirectory)
        : job_(job), source_(source), index_(index), proxyDirectory_(proxyDirectory)
    {
    }

    void run();
    // Records a failure (or emptiness) unless the source went away meanwhile: then the files
    // read as missing or unreadable are not, and the row waits for the source to come back.
    void fail(const QString& text, FileState state);

private:
    Job job_;
    const Source& source_;
    Index& index_;
    const QString& proxyDirectory_;
};

void FileWork::run()
{
    const QString path = source_.rootPath + QLatin1Char('/') + job_.relativePath;
    const std::optional<FileValues> values = job_.local ? fileValues(path) : std::nullopt;
    const bool package = values && values->package;
    const MediaKind kind = package ? MediaKind::document : mediaKindForExtension(path).value_or(MediaKind::document);
    const QString type = fileTypeName(path, package);
    // Held until this file's work ends: large media files are read one at a time by both workers.
    const bool media = job_.local && !package && mediaKindForExtension(path);
    const std::optional<Gate::Pass> pass =
        media && values ? ReadGate::passFor(values->size) : std::optional<Gate::Pass>();

    QString key;
    QByteArray head;
    if (!job_.local) {
        key = QStringLiteral("unhashed:") + job_.sourceID + QLatin1Char(':') + job_.relativePath;
    } else {
        if (values && !values->regular && !package)
            throw FileError(path, QString::fromLatin1(notRegularFileText));   // a FIFO or a device is never opened
        const qint64 size = package ? packageSize(path) : values ? values->size : 0;
        if (size == 0) {
            fail(QStringLiteral("empty file"), FileState::empty);
            return;
        }
        if (package) {
            key = folderHash(path, size);
        } else {
            const RegularFile file(path);
            file.require();
            head = file.readHead(kind == MediaKind::photo ? headByteBudget(path) : quickHashPrefixLength);
            key = quickHash(path, size, head);
        }
    }

    const std::optional<Item> existing = waitFor(index_.run([key](Index& ix) { return ix.itemByHash(key); }));
    const Item item = existing ? *existing : newItem(key, kind, path, type, job_.local, head);
    const std::optional<QString> linked =
        waitFor(index_.run([job = job_, key, item](Index& ix) { return ix.linkItem(job, key, item); }));
    if (!linked)
        return;   // the file changed or went meanwhile; a later pass indexes what is there now
    job_.state = FileState::identified;
    const QString itemID = *linked;

    SmallPicture picture;
    std::optional<QString> unhashedKey;
    if (job_.local) {
        // The item this file stood for while it was not on this computer goes once nothing names it.
        unhashedKey = QStringLiteral("unhashed:") + job_.sourceID + QLatin1Char(':') + job_.relativePath;
        if (item.previewExtension.isEmpty() && item.posterExtension.isEmpty())
            picture = writeSmallPicture(item.kind, path, head, QDir(proxyDirectory_).filePath(itemID));
    }
    const QString text = itemSearchText(item, job_.relativePath, source_, type);
    waitFor(index_.run([job = job_, itemID, unhashedKey, text, picture](Index& ix) {
        ix.finishIndexing(job, itemID, unhashedKey, text, picture.previewExtension, picture.posterExtension);
    }));
}

void FileWork::fail(const QString& text, FileState state)
{
    if (!isSourceAvailable(source_))
        return;
    try {
        waitFor(index_.run([job = job_, text, state](Index& ix) { ix.setFileState(job, text, state); }));
    } catch (const std::exception&) {
        // The index could not take the failure either; the file stays waiting.
    }
}

} // namespace

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
    FileWork work(job, source, index, proxyDirectory);
    try {
        work.run();
    } catch (const std::exception& error) {
        work.fail(errorText(error), FileState::failed);
    }
}
