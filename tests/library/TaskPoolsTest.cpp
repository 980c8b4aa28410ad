#include "Pellmar/index/Database.h"
#include "Pellmar/library/TaskPools.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QThread>

#include <gtest/gtest.h>

#include <sched.h>

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

TEST(TaskPools, EachPriorityRunsOffTheCallingThreadWithItsScheduling)
{
    TaskPools pools;
    struct Seen {
        QThread* thread;
        int policy;
    };
    const auto look = [] { return Seen{QThread::currentThread(), sched_getscheduler(0)}; };
    for (const Priority priority : {Priority::userInitiated, Priority::utility, Priority::background}) {
        const Seen seen = QCoro::waitFor([&]() -> QCoro::Task<Seen> { co_return co_await pools.run(priority, look); }());
        EXPECT_NE(seen.thread, QThread::currentThread());
        EXPECT_EQ(seen.policy, priority == Priority::background ? SCHED_IDLE : SCHED_OTHER);
    }
}

} // namespace
