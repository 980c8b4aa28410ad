#include "Pellmar/library/frame/WatcherStop.h"
#include "Pellmar/media/Watcher.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

// A watcher whose stop() lasts until the test lets it end, like one still setting up its watches on
// a slow drive.
class SlowWatcher : public Watcher {
public:
    struct Seen {
        std::mutex lock;
        std::condition_variable released;
        bool mayEnd = false;
        bool waitedInVain = false;
        QThread* stoppedOn = nullptr;
        QThread* destroyedOn = nullptr;
    };

    explicit SlowWatcher(std::shared_ptr<Seen> seen) : seen_(std::move(seen)) {}
    ~SlowWatcher() override { seen_->destroyedOn = QThread::currentThread(); }

    void stop() override
    {
        std::unique_lock locker(seen_->lock);
        seen_->stoppedOn = QThread::currentThread();
        seen_->waitedInVain = !seen_->released.wait_for(locker, std::chrono::seconds(5), [&] { return seen_->mayEnd; });
    }

private:
    std::shared_ptr<Seen> seen_;
};

TEST(WatcherStop, StopsAndDestroysTheWatcherOnAPoolThreadWithoutWaitingForIt)
{
    TaskPools pools;
    auto seen = std::make_shared<SlowWatcher::Seen>();
    const QFuture<void> stopped = stopOffGuiThread(pools, std::make_shared<SlowWatcher>(seen));
    {
        // The call has returned while stop() still runs.
        std::lock_guard locker(seen->lock);
        seen->mayEnd = true;
        seen->released.notify_all();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopped.isFinished(); }, 10000));
    EXPECT_FALSE(seen->waitedInVain);
    EXPECT_NE(seen->stoppedOn, QCoreApplication::instance()->thread());
    EXPECT_EQ(seen->destroyedOn, seen->stoppedOn);
}

} // namespace
