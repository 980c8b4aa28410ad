#include "Pellmar/library/engine/CardImport.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/ImportDestinations.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Post.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/CardCopy.h"
#include "Pellmar/media/CardFiles.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosWriting.h"
#include "Pellmar/index/Log.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

struct FileOutcome {
    bool copied = false;
    bool verified = false;
    std::optional<QString> stopped;   // why the run cannot go on: the destination is gone
    int error = 0;   // errno of a copy that failed
};

qint64 totalSize(const QList<CardFile>& files)
{
    qint64 size = 0;
    for (const CardFile& file : files)
        size += file.size;
    return size;
}

} // namespace

QString CardImport::failureCause(int error, const QString& destination)
{
    const QString place = QDir::toNativeSeparators(destination);
    switch (error) {
    case 0:
        return {};
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral(" The disk of %1 is full: free some space there, then import them again; their originals "
                              "are still on the card.").arg(place);
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral(" %1 cannot be written to: choose another folder, or change its permissions, then import "
                              "them again; their originals are still on the card.").arg(place);
    default:
        return QStringLiteral(" Writing into %1 failed (%2); their originals are still on the card.")
            .arg(place, QString::fromLocal8Bit(std::strerror(error)));
    }
}

QString CardImport::failureText(qint64 failed)
{
    if (failed == 1)
        return QStringLiteral("1 file could not be imported.");
    return QString::number(failed) + QStringLiteral(" files could not be imported.");
}

// The import runs from the next turn of the event loop, as a task does that is started now: a
// stop right after the start ends it before its first file.
TaskHandle CardImport::begin(const Device& device, const QString& destination, const QList<CardFile>& files)
{
    library_.setImportResult(std::nullopt);
    ImportJob job;
    job.device = device.name;
    job.destination = destination;
    job.total = files.size();
    job.bytesTotal = totalSize(files);
    job.started = library_.clock().now();
    library_.setImportJob(job);
    const TaskHandle task;
    library_.importTask = task;
    return task;
}

void CardImport::startImport(QList<CardFile> files, Device device, QString destination, bool deleteAfter)
{
    if (library_.importTask || files.isEmpty())
        return;
    library_.rememberDestination(ImportTarget::folder(destination));
    const TaskHandle task = begin(device, QFileInfo(destination).fileName(), files);
    postTo(QPointer<Library>(&library_), [this, files, device, destination, deleteAfter, task] {
        Tasks::start(runImport(files, device, destination, deleteAfter, task));
    });
}

QCoro::Task<> CardImport::runImport(QList<CardFile> files, Device device, QString destination, bool deleteAfter,
                                    TaskHandle task)
{
    const AliveGuard alive(&library_);
    // The folder chosen, held for the whole run: one that goes away stops the run, and is never made again.
    const auto folder = co_await alive(library_.pools().run(Priority::userInitiated, [destination] {
        auto opened = std::make_shared<const CopyDestination>(destination);
        if (!opened->lost())
            removeInterruptedCopies(destination);
        return opened;
    }));
    qint64 copied = 0;
    qint64 failed = 0;
    qint64 deleted = 0;
    std::optional<QString> stopped;
    qint64 kept = 0;
    int lastError = 0;   // errno of the last copy that failed
    for (const CardFile& file : files) {
        if (task.isCancelled())
            break;
        if (library_.importJob())
            library_.editImportJob([&](std::optional<ImportJob>& job) { job->current = QFileInfo(file.url).fileName(); });

        // The copy and its check are not cancelled with the import: a file once started is finished.
        const FileOutcome outcome =
            co_await alive(library_.pools().run(Priority::userInitiated, [file, folder, deleteAfter] {
                FileOutcome result;
                if ((result.stopped = folder->lost()))
                    return result;
                const std::optional<QString> copy = copyIntoFolder(file, *folder);
                result.copied = copy.has_value();
                result.error = copy ? 0 : errno;
                // The copy is flushed and read back from the disk in full, and still lies in the folder
                // chosen, before its original may go.
                result.verified = copy && deleteAfter && verifyCopy(*copy, file) && !folder->lost();
                return result;
            }));
        if (outcome.stopped) {
            stopped = outcome.stopped;
            failed = files.size() - copied;
            break;
        }
        if (outcome.copied) {
            ++copied;
        } else {
            ++failed;
            lastError = outcome.error;
        }

        if (deleteAfter && outcome.copied && !task.isCancelled()) {
            bool removed = false;
            if (outcome.verified)
                removed = co_await alive(library_.pools().run(Priority::userInitiated,
                                                              [url = file.url] { return deleteWithCompanion(url); }));
            if (removed)
                ++deleted;
            else
                ++kept;
        }
        if (library_.importJob())
            library_.editImportJob([&](std::optional<ImportJob>& job) {
                job->done += 1;
                job->bytesDone += file.size;
            });
    }

    library_.setImportJob(std::nullopt);
    library_.importTask.reset();
    library_.setImportResult(ImportResult{copied, deleted, destination, std::nullopt, device, task.isCancelled(), kept});
    if (stopped)
        library_.setLastError(*stopped + u' ' + failureText(failed));
    else if (failed > 0)
        library_.setLastError(failureText(failed) + failureCause(lastError, destination));
    relistCard(device);
    // A destination that went away is looked at when it is back, not now.
    if (!stopped)
        co_await alive(library_.indexImportDestination(destination));
}

void CardImport::startPhotosImport(QList<CardFile> files, Device device, std::optional<PhotosAlbum> album,
                                   std::optional<QString> newAlbumName, bool deleteAfter)
{
    files.removeIf([](const CardFile& file) { return file.kind == MediaKind::audio; });
    if (library_.importTask || files.isEmpty() || (!album && !newAlbumName))
        return;
    const QString name = newAlbumName ? *newAlbumName : album->name;
    if (!newAlbumName)
        library_.rememberDestination(ImportTarget::album(*album));
    const TaskHandle task = begin(device, name + QStringLiteral(" in ") + QString::fromUtf16(photoLibraryLabel), files);
    postTo(QPointer<Library>(&library_), [this, files, device, album = newAlbumName ? std::nullopt : album, name,
                                          deleteAfter, task] {
        Tasks::start(importToPhotos(files, device, album, name, deleteAfter, task));
    });
}

QCoro::Task<> CardImport::importToPhotos(QList<CardFile> files, Device device, std::optional<PhotosAlbum> album,
                                         QString destinationName, bool deleteAfter, TaskHandle task)
{
    constexpr qsizetype batchSize = 50;
    const AliveGuard alive(&library_);
    const std::shared_ptr<PhotoLibrary> photos = sharedPhotoLibrary();
    qint64 imported = 0;
    qint64 deleted = 0;
    qint64 kept = 0;

    bool albumReady = album.has_value();
    if (!album) {
        try {
            const QString id = co_await alive(createPhotosAlbum(*photos, destinationName));
            album = PhotosAlbum{id, destinationName};
            library_.rememberDestination(ImportTarget::album(*album));
            albumReady = true;
        } catch (const std::exception& error) {
            library_.setLastError(QStringLiteral("Could not create the album ") + destinationName + QStringLiteral(". ") +
                                  QString::fromUtf8(error.what()));
        }
    }

    for (qsizetype start = 0; albumReady && start < files.size(); start += batchSize) {
        if (task.isCancelled())
            break;
        const QList<CardFile> batch = files.mid(start, batchSize);
        if (library_.importJob()) {
            QStringList names;
            for (const CardFile& file : batch.mid(0, 4))
                names.append(QFileInfo(file.url).fileName());
            library_.editImportJob([&](std::optional<ImportJob>& job) { job->current = names.join(QStringLiteral(", ")); });
        }
        try {
            const QStringList assets = co_await alive(addFilesToPhotos(*photos, batch, album->id));
            imported += batch.size();
            if (deleteAfter && !task.isCancelled()) {
                // An original goes only once its asset's original in the library compares equal.
                const qint64 removed = co_await alive(library_.pools().run(Priority::userInitiated, [photos, batch, assets] {
                    qint64 removed = 0;
                    for (qsizetype i = 0; i < batch.size() && i < assets.size(); ++i)
                        if (photosOriginalMatches(*photos, assets[i], batch[i]) && deleteWithCompanion(batch[i].url))
                            ++removed;
                    return removed;
                }));
                deleted += removed;
                kept += batch.size() - removed;
            }
        } catch (const std::exception& error) {
            library_.setLastError(QString::fromUtf16(photoLibraryLabel) + QStringLiteral(" did not take ") +
                                  QString::number(batch.size()) + QStringLiteral(" files. ") +
                                  QString::fromUtf8(error.what()));
        }
        if (library_.importJob())
            library_.editImportJob([&](std::optional<ImportJob>& job) {
                job->done += batch.size();
                job->bytesDone += totalSize(batch);
            });
    }

    library_.setImportJob(std::nullopt);
    library_.importTask.reset();
    library_.setImportResult(ImportResult{imported, deleted, std::nullopt, destinationName, device, task.isCancelled(), kept});
    relistCard(device);
    for (const Source& source : library_.sources()) {
        if (source.kind == SourceKind::photos) {
            co_await alive(library_.scan(source));
            break;
        }
    }
}

void CardImport::relistCard(const Device& device)
{
    QHash<QString, QList<CardFile>> files = library_.deviceFiles();
    files.remove(device.url);
    library_.setDeviceFiles(files);
    Tasks::start(library_.relistCardFiles(device));
}

void Library::startImport(QList<CardFile> files, Device device, QString destination, bool deleteAfter)
{
    cardImport_->startImport(std::move(files), std::move(device), std::move(destination), deleteAfter);
}

void Library::startPhotosImport(QList<CardFile> files, Device device, std::optional<PhotosAlbum> album,
                                std::optional<QString> newAlbumName, bool deleteAfter)
{
    cardImport_->startPhotosImport(std::move(files), std::move(device), std::move(album), std::move(newAlbumName),
                                   deleteAfter);
}

QCoro::Task<> Library::indexImportDestination(QString folder)
{
    const AliveGuard alive(this);
    if (const std::optional<Source> source = coveringSource(folder, sources()))
        co_await alive(scan(*source));
    else
        co_await alive(indexFolder(folder, std::nullopt));
}
