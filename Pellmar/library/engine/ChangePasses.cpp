#include "Pellmar/library/engine/ChangeWatcher.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Index.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/media/ChangedFolders.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/Walkers.h"
#include "Pellmar/platform/VolumeService.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>

using namespace std::chrono_literals;

struct ChangeWatcher::Listing {
    Index::FileChanges files;
    Index::FolderChanges folders;
    QStringList mountPoints;
};

namespace {

QString trimmedOfSlashes(QString path)
{
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Whether the volume the list names at a mount path still holds that folder. The list may lag
// behind the kernel for a moment after an unmount, so the folder's device is compared with the
// volume's where the list knows it.
bool stillMounted(const QString& mount, const QHash<QString, quint64>& listed)
{
    const auto volume = listed.constFind(mount);
    if (volume == listed.cend())
        return false;
    if (*volume == 0)
        return true;
    struct stat status {};
    return ::stat(QFile::encodeName(mount).constData(), &status) == 0 && quint64(status.st_dev) == *volume;
}

// The folders below `folder` (or the folder itself) that a drive mounted earlier in this run has
// left empty, and the folder itself when it lies inside one; run off the GUI thread. `listed` are
// the volumes listed now: their device numbers by mount path.
QStringList unmountedBelow(const QString& root, const QString& folder, const QSet<QString>& seen,
                           const QHash<QString, quint64>& listed)
{
    QStringList gaps;
    const QString rootPrefix = withSlash(root);
    for (const QString& mount : seen) {
        if (!mount.startsWith(rootPrefix))
            continue;
        const bool atOrBelow = mount == folder || mount.startsWith(withSlash(folder));
        const bool above = folder.startsWith(withSlash(mount));
        if (!atOrBelow && !above)
            continue;
        if (stillMounted(mount, listed))
            continue;
        gaps.append(trimmedOfSlashes(above ? folder.mid(root.size()) : mount.mid(root.size())));
    }
    return gaps;
}

} // namespace

bool ChangeWatcher::scanRunning(const Source& source) const
{
    return library_.scanning() == source.name;
}

void ChangeWatcher::requeue(const QString& sourceID, const QSet<QString>& paths, const QSet<QString>& deep,
                            const QSet<QString>& catchUp)
{
    changedDirectories_[sourceID] += paths;
    if (!deep.isEmpty())
        deepDirectories_[sourceID] += deep;
    if (!catchUp.isEmpty())
        catchUpDirectories_[sourceID] += catchUp;
}

QCoro::Task<std::optional<ChangeWatcher::Listing>> ChangeWatcher::listDirectory(Source source, QString reported, bool deep)
{
    const AliveGuard alive(this);
    const QString root = QDir::cleanPath(source.rootPath);
    const QString path = QDir::cleanPath(reported);
    if (path != root && !path.startsWith(withSlash(root)))
        co_return std::nullopt;
    const QString relative = trimmedOfSlashes(path.mid(root.size()));

    // The source's root must still be its own volume's, not the empty folder of one unmounted.
    const bool admitted = co_await alive(library_.pools().run(Priority::userInitiated, [source, path, relative, volumes = volumes_] {
        return QFileInfo::exists(path) && (relative.isEmpty() || shouldIndexPath(relative, source))
            && isSourceAvailable(source, *volumes);
    }));
    if (!admitted)
        co_return std::nullopt;

    QStringList knownFiles;
    QStringList knownFolders;
    try {
        knownFiles = co_await alive(library_.readIndex().run(
            [id = source.id, relative](Index& index) { return index.filePaths(id, relative); }));
    } catch (const DatabaseError&) {
    }
    try {
        knownFolders = co_await alive(library_.readIndex().run(
            [id = source.id, relative](Index& index) { return index.folderPaths(id, relative); }));
    } catch (const DatabaseError&) {
    }

    QHash<QString, quint64> listedMounts;
    for (const MountedVolume& volume : volumes_->all())
        listedMounts.insert(QDir::cleanPath(volume.url), volume.deviceNumber);
    const CancelToken stop = listingStop_.token();
    co_return co_await alive(library_.pools().run(Priority::userInitiated, [=, seen = mountPoints_,
                                                                            known = library_.knownMountPoints] {
        FolderRecords found = folderRecords(source, relative, knownFiles, knownFolders, deep,
                                            [stop] { return stop.isCancelled(); }, known);
        found.gaps.unlistedFolders += unmountedBelow(root, path, seen, listedMounts);
        Listing listing;
        listing.files = {source.id, std::move(found.files), std::move(found.knownFilePaths), found.gaps};
        listing.folders = {source.id, std::move(found.folders), std::move(found.knownFolderPaths), found.gaps};
        listing.mountPoints = std::move(found.mountPoints);
        return std::optional(std::move(listing));
    }));
}

QCoro::Task<> ChangeWatcher::applyChanges()
{
    const AliveGuard alive(this);
    const QHash<QString, QSet<QString>> taken = std::exchange(changedDirectories_, {});
    const QHash<QString, QSet<QString>> takenDeep = std::exchange(deepDirectories_, {});
    const QHash<QString, QSet<QString>> takenCatchUp = std::exchange(catchUpDirectories_, {});
    const double start = library_.clock().uptime();

    QList<Listing> listings;
    for (auto entry = taken.cbegin(); entry != taken.cend(); ++entry) {
        const std::optional<Source> source = library_.sourceByID(entry.key());
        if (!source || source->kind != SourceKind::folder || !library_.online().contains(source->id))
            continue;
        // A scan's walk may predate these changes, and its write would undo what this pass
        // writes: the source's directories wait for the next pass.
        if (scanRunning(*source)) {
            requeue(entry.key(), *entry, takenDeep.value(entry.key()), takenCatchUp.value(entry.key()));
            continue;
        }
        QSet<QString> deep = takenDeep.value(entry.key());
        QSet<QString> shallow;
        for (const QString& path : *entry) {
            const bool atRoot = QDir::cleanPath(path) == QDir::cleanPath(source->rootPath);
            if (!atRoot || !takenCatchUp.value(entry.key()).contains(path)) {
                shallow.insert(path);
                continue;
            }
            const std::optional<QStringList> differing = co_await alive(foldersToCatchUp(*source));
            if (!differing) {
                deep.insert(path);
                shallow.insert(path);
                continue;
            }
            shallow += QSet<QString>(differing->cbegin(), differing->cend());
            startStampPass(*source);
        }
        for (const QString& path : std::as_const(shallow)) {
            if (std::optional<Listing> listing = co_await alive(listDirectory(*source, path, deep.contains(path))))
                listings.append(std::move(*listing));
        }
    }
    // A scan that began while the pass listed goes first as well.
    QSet<QString> requeued;
    for (const Listing& listing : std::as_const(listings)) {
        const std::optional<Source> source = library_.sourceByID(listing.files.sourceID);
        if (source && scanRunning(*source) && !requeued.contains(source->id)) {
            requeued.insert(source->id);
            requeue(source->id, taken.value(source->id), takenDeep.value(source->id), takenCatchUp.value(source->id));
        }
    }
    listings.removeIf([&requeued](const Listing& listing) { return requeued.contains(listing.files.sourceID); });

    if (!listings.isEmpty()) {
        QStringList mountPoints;
        for (const Listing& listing : std::as_const(listings))
            mountPoints += listing.mountPoints;
        co_await alive(library_.rememberMountPoints(mountPoints));
        QList<Index::FileChanges> files;
        QList<Index::FolderChanges> folders;
        for (const Listing& listing : std::as_const(listings)) {
            files.append(listing.files);
            folders.append(listing.folders);
        }
        qint64 fileRows = 0;
        qint64 folderRows = 0;
        try {
            fileRows = co_await alive(library_.index().run([files](Index& index) { return index.applyChanges(files); }));
        } catch (const DatabaseError&) {
        }
        try {
            folderRows = co_await alive(
                library_.index().run([folders](Index& index) { return index.replaceFolderRows(folders); }));
        } catch (const DatabaseError&) {
        }
        qCInfo(logWatch, "applied %ld changed folders, %ld file rows and %ld folder rows, in %ld ms", long(files.size()),
               long(fileRows), long(folderRows), long((library_.clock().uptime() - start) * 1000));
        if (fileRows + folderRows >= 1) {
            co_await alive(library_.refreshTrees());
            co_await alive(library_.refreshStatus());
            library_.workers().startWorker();
            co_await alive(library_.search());
        }
    }

    changeTask_.reset();
    if (!changedDirectories_.isEmpty())
        startChangeTask();
    Q_EMIT passEnded();
}

QCoro::Task<> ChangeWatcher::photosTaskBody(CancelToken token)
{
    const AliveGuard alive(this);
    const std::shared_ptr<Clock> clock = library_.sharedClock();
    co_await alive(clock->sleep(3s, token));

    const QList<Source> sources = library_.sources();
    const auto photos = std::find_if(sources.cbegin(), sources.cend(),
                                     [](const Source& source) { return source.kind == SourceKind::photos; });
    if (photos != sources.cend() && library_.scanning()) {
        // The scan may have listed the library before this change: look again once it has ended.
        photosAfterScan_ = true;
    } else if (photos != sources.cend()) {
        const Source source = *photos;
        // An unreadable library lists nothing and names its root as missing, so nothing is deleted.
        const ScanResult listed = co_await alive(
            library_.pools().run(Priority::utility, [source] { return scanSource(source, QString()); }));
        qint64 rows = 0;
        try {
            rows = co_await alive(library_.index().run(
                [listed, id = source.id](Index& index) { return index.syncFiles(listed.files, id, listed.gaps); }));
        } catch (const DatabaseError&) {
        }
        qCInfo(logWatch, "Apple Photos changed, %ld rows changed", long(rows));
        if (rows >= 1) {
            co_await alive(library_.refreshTrees());
            co_await alive(library_.refreshStatus());
            library_.workers().startWorker();
            co_await alive(library_.search());
        }
    }
    photosPassFinished();
}
