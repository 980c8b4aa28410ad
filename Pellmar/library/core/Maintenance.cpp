#include "Pellmar/library/Library.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/platform/VolumeService.h"

#include <QDir>

QCoro::Task<> Library::stopWorkersAndEmptyProxies()
{
    const AliveGuard alive(this);
    // A worker in the middle of a batch writes preview files and rows when the batch ends: only
    // once neither runs can the files and rows be dropped together. Quick indexing goes first,
    // since its end may start larger previews.
    co_await alive(workers_->stopWorker());
    co_await alive(workers_->stopFullWorker());
    co_await alive(pools_.run(Priority::userInitiated, [folder = proxyDirectory_] {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
    }));
}

QCoro::Task<> Library::resetPreviews()
{
    const AliveGuard alive(this);
    // No worker may start between its stop and the end of the index write: it would write
    // preview files or rows that the repair then drops or leaves dangling.
    std::optional<WorkerControl::Hold> hold = workers_->holdStarts();
    co_await alive(stopWorkersAndEmptyProxies());
    try {
        co_await alive(index_->run([](Index& index) { index.forgetPreviews(); }));
    } catch (const DatabaseError& error) {
        setLastError(error.description());
    }
    hold.reset();
    co_await alive(refreshAfterFileChange());
    workers_->startWorker();
}

QCoro::Task<> Library::clearIndex()
{
    const AliveGuard alive(this);
    std::optional<WorkerControl::Hold> hold = workers_->holdStarts();
    co_await alive(stopWorkersAndEmptyProxies());
    try {
        co_await alive(index_->run([](Index& index) { index.clearAll(); }));
    } catch (const DatabaseError& error) {
        setLastError(error.description());
    }
    hold.reset();
    select(std::nullopt);
    co_await alive(refreshAfterFileChange());
    // A source that is not there now is walked when it comes back.
    for (const Source& source : QList<Source>(sources_)) {
        if (co_await alive(pools_.run(Priority::userInitiated, [source, volumes = volumes_] { return isSourceAvailable(source, *volumes); })))
            co_await alive(scan(source));
    }
}
