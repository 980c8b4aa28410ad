#include "Pellmar/index/Database.h"
#include "Pellmar/library/frame/TaskPools.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <latch>
#include <utility>

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

TEST(TaskPools, AJobsErrorArrivesAsItselfAtTheAwait)
{
    TaskPools pools;
    const QString description = QCoro::waitFor([&]() -> QCoro::Task<QString> {
        try {
            co_await pools.run(Priority::utility, []() -> int { throw DatabaseError(QStringLiteral("cannot open x")); });
        } catch (const DatabaseError& error) {
            co_return error.description();
        }
        co_return QString();
    }());
    EXPECT_EQ(description, QStringLiteral("cannot open x"));
}

// The CPU and I/O scheduling of each pool's threads, and none of it leaking to the calling thread.
TEST(TaskPools, EachPriorityRunsOffTheCallingThreadWithItsScheduling)
{
    TaskPools pools;
    struct Seen {
        QThread* thread;
        int policy;
        int nice;
        long ioPriority;
    };
    const auto look = [] {
        // 1: IOPRIO_WHO_PROCESS, which with id 0 means the calling thread.
        return Seen{QThread::currentThread(), sched_getscheduler(0), getpriority(PRIO_PROCESS, 0),
                    syscall(SYS_ioprio_get, 1, 0)};
    };
    const Seen caller = look();
    for (const auto& [priority, loop] : {std::pair{Priority::userInitiated, false}, std::pair{Priority::utility, false},
                                         std::pair{Priority::background, false}, std::pair{Priority::userInitiated, true},
                                         std::pair{Priority::utility, true}, std::pair{Priority::background, true}}) {
        SCOPED_TRACE(testing::Message() << int(priority) << (loop ? " loop" : " job"));
        const Seen seen = QCoro::waitFor([&]() -> QCoro::Task<Seen> {
            co_return co_await (loop ? pools.runLoop(priority, look) : pools.run(priority, look));
        }());
        EXPECT_NE(seen.thread, QThread::currentThread());
        EXPECT_EQ(seen.policy, priority == Priority::background ? SCHED_IDLE : SCHED_OTHER);
        if (priority == Priority::utility) {
            EXPECT_GE(seen.nice, 10);
            EXPECT_EQ(seen.ioPriority, (2 << 13) | 7);   // best effort, lowest level
        }
        if (priority == Priority::background)
            EXPECT_EQ(seen.ioPriority, 3 << 13);   // idle class
    }
    const Seen after = look();
    EXPECT_EQ(after.nice, caller.nice);
    EXPECT_EQ(after.ioPriority, caller.ioPriority);
}

// A loop gets a thread of its own even while every thread of its priority's pool waits.
TEST(TaskPools, ALoopRunsWhileThePoolOfItsPriorityIsFull)
{
    TaskPools pools;
    std::latch held(1);
    QList<QFuture<void>> waiting;
    for (int i = 0; i < 64; ++i)
        waiting.append(pools.run(Priority::utility, [&held] { held.wait(); }));
    const QFuture<int> loop = pools.runLoop(Priority::utility, [] { return 7; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return loop.isFinished(); }, 5000));
    held.count_down();
    for (const QFuture<void>& job : waiting)
        waitFor(job);
}

} // namespace
