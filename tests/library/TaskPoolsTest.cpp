#include "Pellmar/index/Database.h"
#include "Pellmar/library/frame/TaskPools.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QThread>

#include <gtest/gtest.h>

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
    for (const Priority priority : {Priority::userInitiated, Priority::utility, Priority::background}) {
        const Seen seen = QCoro::waitFor([&]() -> QCoro::Task<Seen> { co_return co_await pools.run(priority, look); }());
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

} // namespace
