#include "Pellmar/library/engine/Reload.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/SourceOrder.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoroFuture>

#include <algorithm>

namespace {

// Pins of older versions lived in the settings; they become the pins of "everything" once, unless
// that workspace has pins already. The key stays until the pins are stored.
QCoro::Task<> moveOldPins(Library& library)
{
    const AliveGuard alive(&library);
    static const QString key = QStringLiteral("pinned");
    if (!library.defaults().contains(key))
        co_return;
    const QStringList old = library.defaults().stringList(key);
    const QString everything = Index::everythingWorkspaceID;
    const QStringList existing = co_await alive(library.index().run([everything](Index& index) { return index.pins(everything); }));
    if (existing.isEmpty())
        co_await alive(library.index().run([old, everything](Index& index) { index.savePins(old, everything); }));
    library.defaults().remove(key);
}

void startWorkerAfterReload(Library& library)
{
    switch (workerAfterReload(library.status(), library.fullStatus(), library.fullPaused())) {
    case ReloadWorker::quickIndex:
        library.workers().startWorker();
        break;
    case ReloadWorker::fullPreviews:
        library.workers().startFullWorker(false);
        break;
    case ReloadWorker::none:
        break;
    }
}

} // namespace

ReloadWorker workerAfterReload(const QueueStatus& status, const FullStatus& fullStatus, bool fullPaused)
{
    if (status.found + status.identified >= 1)
        return ReloadWorker::quickIndex;
    if (fullStatus.total - fullStatus.done >= 1 && !fullPaused)
        return ReloadWorker::fullPreviews;
    return ReloadWorker::none;
}

QCoro::Task<> Library::reload()
{
    const AliveGuard alive(this);
    try {
        QList<Source> sources = co_await alive(index_->run([](Index& index) { return index.sources(); }));
        sortInSourceOrder(sources);
        setSources(sources);
        // Off the GUI thread: a root on a sleeping drive takes its time to answer.
        setOnline(co_await alive(pools_.run(Priority::userInitiated, [sources, volumes = volumes_] {
            return availableSources(sources, *volumes);
        })));
        setWorkspaces(co_await alive(index_->run([](Index& index) { return index.workspaces(); })));
        co_await alive(moveOldPins(*this));
        const QString current = workspaceID_;
        if (std::none_of(workspaces_.cbegin(), workspaces_.cend(),
                         [&current](const Workspace& workspace) { return workspace.id == current; }))
            setWorkspaceID(Index::everythingWorkspaceID);
        const QString id = workspaceID_;
        setPinned(co_await alive(index_->run([id](Index& index) { return index.pins(id); })));
        setFavorites(co_await alive(index_->run([id](Index& index) { return index.favoriteIDs(id); })));
        knownMountPoints += co_await alive(index_->run([](Index& index) { return index.mountPoints(); }));
    } catch (const DatabaseError& error) {
        setLastError(error.description());
        refreshDevices();
        startWatching();
        co_return;
    }
    co_await alive(refreshStatus());
    co_await alive(refreshTrees());
    qCInfo(logSearch, "search called by reload");
    co_await alive(search());
    startWorkerAfterReload(*this);
    refreshDevices();
    startWatching();
}
