#include "Pellmar/library/Library.h"

#include "Pellmar/index/WalkedFiles.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Post.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosReading.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/Walkers.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/PlaceWords.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoroFuture>

#include <chrono>

namespace {

// About how long one step of a scan's merge holds the index's writer: what a write of the user's
// waits for the merge at most (bench/results/merge_wait.md).
constexpr std::chrono::milliseconds mergeStep{10};

QString notConnected(const Source& source)
{
    return source.name + QStringLiteral(" is not connected");
}

// Why a source cannot be scanned now: the photo library's access is off, or the source is away.
QString unavailable(const Source& source)
{
    if (source.kind == SourceKind::photos && !hasPhotosAccess(*sharedPhotoLibrary()))
        return photoAccessOff();
    return notConnected(source);
}

// Shows the walk's running count; callable from the walking thread. `library` was made on the GUI thread.
void reportScanProgress(const QPointer<Library>& library, qint64 count)
{
    postTo(library, [count](Library& target) { target.setScanFound(count); });
}

} // namespace

QCoro::Task<> Library::rememberMountPoints(QStringList found)
{
    const AliveGuard alive(this);
    QStringList added;
    for (const QString& path : std::as_const(found)) {
        if (!knownMountPoints.contains(path)) {
            knownMountPoints.insert(path);
            added.append(path);
        }
    }
    if (added.isEmpty())
        co_return;
    try {
        co_await alive(index_->run([added](Index& index) { index.rememberMountPoints(added); }));
    } catch (const DatabaseError&) {
        // The next walk that finds them stores them again.
        for (const QString& path : std::as_const(added))
            knownMountPoints.remove(path);
    }
}

void Library::rememberAllFilesSource(const Source& source)
{
    if (source.kind == SourceKind::photos)
        return;
    const QString key = QStringLiteral("allFilesSources");
    QStringList ids = defaults_->stringList(key);
    if (ids.contains(source.id))
        return;
    ids.append(source.id);
    defaults_->set(key, ids);
}

QCoro::Task<> Library::scan(Source source)
{
    const AliveGuard alive(this);
    const bool photos = source.kind == SourceKind::photos;
    if (photos) {
        // Asking waits for the user's answer when they have not decided yet.
        if (!hasPhotosAccess(*sharedPhotoLibrary())) {
            co_await alive(requestPhotosAuthorization(*sharedPhotoLibrary()));
            setOnline(co_await alive(pools_.run(Priority::userInitiated, [sources = sources_, volumes = volumes_] {
                return availableSources(sources, *volumes);
            })));
        }
    }
    const auto available = [this, source] {
        return pools_.run(Priority::userInitiated, [source, volumes = volumes_] { return isSourceAvailable(source, *volumes); });
    };
    if (!co_await alive(available())) {
        // A photo library that was never made has nothing to index yet, and nothing to report.
        const bool nothingIndexedYet = photos && hasPhotosAccess(*sharedPhotoLibrary()) && !sourceProgress_.contains(source.id);
        if (!nothingIndexedYet)
            setLastError(unavailable(source));
        co_return;
    }

    setScanning(source.name);
    setScanFound(0);
    const QPointer<Library> self(this);
    const auto walkOptions = [self, mounts = knownMountPoints] {
        ScanOptions options;
        options.collectFolders = true;
        options.progress = [self](qint64 count) { reportScanProgress(self, count); };
        options.knownMountPoints = mounts;
        return options;
    };
    ScanResult walked;
    std::shared_ptr<SteppedFileSync> merge;
    if (photos) {
        walked = co_await alive(pools_.run(Priority::userInitiated, [source, walkOptions] {
            return scanSource(source, QString(), walkOptions());
        }));
    } else {
        // A folder source's walk packs its files in path order as it goes, and the index merges them
        // with its rows once the walk has ended, in short steps: the user's own changes never wait
        // for a slow drive's walk, and wait for one step of the merge at most. A walk that ended
        // without the source's root writes nothing.
        const auto files = std::make_shared<WalkedFiles>();
        walked = co_await alive(pools_.run(Priority::userInitiated, [source, walkOptions, files, volumes = volumes_] {
            return walkPacked(source, *files, walkOptions(), [&] { return isSourceAvailable(source, *volumes); });
        }));
        if (!walked.gaps.rootVanished)
            merge = std::make_shared<SteppedFileSync>(*files, source.id);
    }
    co_await alive(rememberMountPoints(walked.mountPoints));
    try {
        // Each step is a job of its own, queued behind the writes the user asked for meanwhile.
        while (merge && !co_await alive(index_->run([merge](Index& index) { return merge->step(index, mergeStep); }))) {
        }
        // A drive unplugged during the walk: its rows stay as they are, and the user learns why.
        if (walked.gaps.rootVanished || (photos && !co_await alive(available()))) {
            setLastError(walked.failure.isEmpty() ? unavailable(source) : walked.failure);
            setScanning(std::nullopt);
            co_return;
        }
        if (photos) {
            co_await alive(index_->run([walked, id = source.id](Index& index) { index.syncFiles(walked.files, id, walked.gaps); }));
        } else {
            co_await alive(index_->run([walked, id = source.id](Index& index) {
                index.replaceSourceFolderRows(walked.folders, id, walked.gaps);
            }));
        }
    } catch (const DatabaseError& error) {
        setLastError(error.description());
        setScanning(std::nullopt);
        co_return;
    }
    rememberAllFilesSource(source);
    co_await alive(refreshStatus());
    co_await alive(refreshTrees());
    workers().startWorker();
    setScanning(std::nullopt);
}

QCoro::Task<> Library::rescan(Source source)
{
    const AliveGuard alive(this);
    const auto available = [this, source] {
        return pools_.run(Priority::userInitiated,
                          [source, volumes = volumes_] { return isSourceAvailable(source, *volumes); });
    };
    if (!co_await alive(available())) {
        setLastError(notConnected(source));
        co_return;
    }
    setScanning(source.name);
    const ScanResult walked = co_await alive(
        pools_.run(Priority::userInitiated, [source] { return scanSource(source, QString()); }));
    if (walked.gaps.rootVanished) {
        // Everything would count as missing.
        setLastError(notConnected(source));
    } else {
        try {
            const Verification result = co_await alive(index_->run(
                [files = walked.files, id = source.id](Index& index) { return index.fileStamps(files, id); }));
            setVerification(SourceVerification{source.name, result});
        } catch (const DatabaseError&) {
        }
    }
    setScanning(std::nullopt);
}
