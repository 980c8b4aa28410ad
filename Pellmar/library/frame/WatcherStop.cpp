#include "Pellmar/library/frame/WatcherStop.h"

#include "Pellmar/media/Watcher.h"

QFuture<void> stopOffGuiThread(TaskPools& pools, std::shared_ptr<Watcher> watcher)
{
    return pools.run(Priority::utility, [watcher = std::move(watcher)]() mutable {
        watcher->stop();
        watcher.reset();
    });
}
