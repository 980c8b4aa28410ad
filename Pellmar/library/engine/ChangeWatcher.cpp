#include "Pellmar/library/engine/ChangeWatcher.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Post.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/library/frame/WatcherStop.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosReading.h"
#include "Pellmar/platform/VolumeService.h"

#include <QDir>
#include <QMutex>
#include <QMutexLocker>

#include <chrono>

using namespace std::chrono_literals;

// The watcher of one source, made on a pool thread. A slot dropped before its watcher exists gets
// none: the thread that made it stops it there.
struct ChangeWatcher::WatchSlot {
    QMutex lock;
    std::shared_ptr<Watcher> watcher;
    bool dropped = false;
};

ChangeWatcher::ChangeWatcher(Library& library, std::shared_ptr<VolumeService> volumes, WatcherFactory makeWatcher)
    : library_(library)
    , volumes_(std::move(volumes))
    , makeWatcher_(makeWatcher ? std::move(makeWatcher) : [](const QString& root, WatchHandler handler) {
        return std::shared_ptr<Watcher>(std::make_shared<InotifyWatcher>(root, std::move(handler)));
    })
{
    connect(volumes_.get(), &VolumeService::volumesChanged, this, &ChangeWatcher::rememberMountPoints);
    connect(&library_, &Library::changed, this, [this](Library::Prop property) {
        if (property == Library::Prop::scanning)
            scanningChanged();
    });
}

ChangeWatcher::~ChangeWatcher() = default;

void ChangeWatcher::stopWatching()
{
    listingStop_.cancel();
    for (const std::optional<TaskHandle>& task : {changeTask_, photosTask_}) {
        if (task)
            task->cancel();
    }
    for (const TaskHandle& pass : std::as_const(stampPasses_))
        pass.cancel();
    for (auto slot = watchers_.begin(); slot != watchers_.end(); slot = watchers_.erase(slot))
        dropWatcher(*slot);
}

void ChangeWatcher::dropWatcher(const std::shared_ptr<WatchSlot>& slot)
{
    std::shared_ptr<Watcher> watcher;
    {
        const QMutexLocker locked(&slot->lock);
        slot->dropped = true;
        watcher = std::move(slot->watcher);
    }
    if (watcher)
        stopOffGuiThread(library_.pools(), std::move(watcher));
}

void ChangeWatcher::startWatching()
{
    QHash<QString, Source> wanted;
    for (const Source& source : library_.sources()) {
        if (source.kind == SourceKind::folder && library_.online().contains(source.id))
            wanted.insert(source.id, source);
    }

    for (auto slot = watchers_.begin(); slot != watchers_.end();) {
        if (wanted.contains(slot.key())) {
            ++slot;
            continue;
        }
        // Whatever the watcher reported stays recorded: the pass drops sources that are offline.
        dropWatcher(*slot);
        slot = watchers_.erase(slot);
    }
    QSet<QString> unwatched = library_.unwatchedSources();
    unwatched.removeIf([this](const QString& id) { return !watchers_.contains(id); });
    library_.setUnwatchedSources(unwatched);

    rememberMountPoints();
    for (auto source = wanted.cbegin(); source != wanted.cend(); ++source) {
        if (watchers_.contains(source.key()))
            continue;
        auto slot = std::make_shared<WatchSlot>();
        watchers_.insert(source.key(), slot);
        const QPointer<ChangeWatcher> self(this);
        const QString id = source.key();
        WatchHandler handler = [self, id](const QStringList& paths, const QList<quint32>& flags) {
            postTo(self, [id, paths, flags](ChangeWatcher& target) { target.noteFolderChanges(id, paths, flags); });
        };
        library_.pools().run(Priority::utility, [slot, root = source->rootPath, handler = std::move(handler),
                                                 make = makeWatcher_]() mutable {
            std::shared_ptr<Watcher> watcher = make(root, std::move(handler));
            const QMutexLocker locked(&slot->lock);
            if (slot->dropped)
                watcher->stop();
            else
                slot->watcher = std::move(watcher);
        });
        qCInfo(logWatch, "watching %s", qUtf8Printable(source->name));
    }

    if (photosObserver_)
        return;
    const bool photosSource = std::any_of(library_.sources().cbegin(), library_.sources().cend(),
                                          [](const Source& source) { return source.kind == SourceKind::photos; });
    const std::shared_ptr<PhotoLibrary> photos = sharedPhotoLibrary();
    if (!photosSource || !hasPhotosAccess(*photos))
        return;
    const QPointer<ChangeWatcher> self(this);
    photosObserver_ = std::make_shared<PhotosObserver>([self] {
        postTo(self, [](ChangeWatcher& target) { target.notePhotosChange(); });
    });
    photos->registerChangeObserver(photosObserver_);
}

QStringList ChangeWatcher::watchedSources() const
{
    return watchers_.keys();
}

void ChangeWatcher::rememberMountPoints()
{
    for (const MountedVolume& volume : volumes_->all()) {
        if (volume.url != QLatin1String("/"))
            mountPoints_.insert(QDir::cleanPath(volume.url));
    }
}

void ChangeWatcher::noteFolderChanges(const QString& sourceID, const QStringList& paths, const QList<quint32>& flags)
{
    const qsizetype count = std::min(paths.size(), flags.size());
    for (qsizetype i = 0; i < count; ++i) {
        if (flags[i] & WatchFlags::rootChanged)
            continue;
        // A report of a watcher dropped meanwhile says nothing of what is watched now.
        if ((flags[i] & WatchFlags::notWatched) && watchers_.contains(sourceID))
            library_.setUnwatchedSources(library_.unwatchedSources() + QSet<QString>{sourceID});
        changedDirectories_[sourceID].insert(paths[i]);
        if (flags[i] & WatchFlags::catchUp) {
            if (!deepDirectories_.value(sourceID).contains(paths[i]))
                catchUpDirectories_[sourceID].insert(paths[i]);
        } else if (flags[i] & WatchFlags::mustScanSubfolders) {
            deepDirectories_[sourceID].insert(paths[i]);
            // A folder whose changes may have been missed while watched is listed in full.
            catchUpDirectories_[sourceID].remove(paths[i]);
        }
    }
    if (!changeTask_ && !changedDirectories_.isEmpty())
        startChangeTask();
}

void ChangeWatcher::startChangeTask()
{
    TaskHandle handle;
    changeTask_ = handle;
    Tasks::startLongLived(changeTaskBody(handle.token()));
}

// Cancelling the wait only shortens it: the directories it collected are applied all the same.
QCoro::Task<> ChangeWatcher::changeTaskBody(CancelToken token)
{
    const AliveGuard alive(this);
    const std::shared_ptr<Clock> clock = library_.sharedClock();
    co_await alive(clock->sleep(2s, token));
    co_await alive(applyChanges());
}

void ChangeWatcher::notePhotosChange()
{
    if (photosTask_)
        photosAgain_ = true;
    else
        startPhotosTask();
}

void ChangeWatcher::startPhotosTask()
{
    TaskHandle handle;
    photosTask_ = handle;
    Tasks::startLongLived(photosTaskBody(handle.token()));
}

void ChangeWatcher::photosPassFinished()
{
    photosTask_.reset();
    if (photosAgain_) {
        photosAgain_ = false;
        startPhotosTask();
    }
    Q_EMIT photosPassEnded();
}

// A photo library pass that met a running scan left its notice for the end of the scans.
void ChangeWatcher::scanningChanged()
{
    if (library_.scanning() || !photosAfterScan_)
        return;
    photosAfterScan_ = false;
    notePhotosChange();
}
