#include "Pellmar/library/frame/Gate.h"
#include "Pellmar/library/frame/Tasks.h"

#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

// The order in which comers got the gate, written from any thread.
class Turns {
public:
    void add(const QString& name)
    {
        std::lock_guard locker(lock_);
        names_.append(name);
    }
    QStringList names() const
    {
        std::lock_guard locker(lock_);
        return names_;
    }

private:
    mutable std::mutex lock_;
    QStringList names_;
};

QCoro::Task<> passAsCoroutine(Gate& gate, QString name, Turns& turns)
{
    const Gate::Pass pass = co_await gate.acquireAsync();
    turns.add(name);
}

std::thread passAsThread(Gate& gate, QString name, Turns& turns)
{
    return std::thread([&gate, name, &turns] {
        const Gate::Pass pass = gate.acquire();
        turns.add(name);
    });
}

TEST(Gate, ServesThreadsAndCoroutinesInArrivalOrder)
{
    Gate gate;
    Turns turns;
    std::optional<Gate::Pass> first = gate.acquire();
    std::vector<std::thread> threads;
    const auto waitForLine = [&](int length) { ASSERT_TRUE(QTest::qWaitFor([&] { return gate.waiting() == length; }, 5000)); };

    threads.push_back(passAsThread(gate, QStringLiteral("thread 1"), turns));
    waitForLine(1);
    Tasks::start(passAsCoroutine(gate, QStringLiteral("coroutine 1"), turns));
    waitForLine(2);
    threads.push_back(passAsThread(gate, QStringLiteral("thread 2"), turns));
    waitForLine(3);
    Tasks::start(passAsCoroutine(gate, QStringLiteral("coroutine 2"), turns));
    waitForLine(4);
    EXPECT_TRUE(turns.names().isEmpty());

    first.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return turns.names().size() == 4; }, 5000));
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(turns.names(), (QStringList{"thread 1", "coroutine 1", "thread 2", "coroutine 2"}));
    EXPECT_FALSE(gate.isHeld());
}

// A release with waiters keeps the gate held and gives it to the oldest; a comer that arrives before
// that waiter has even resumed queues behind the others. A release with nobody waiting frees it.
TEST(Gate, AReleaseHandsTheGateToTheOldestWaiter)
{
    Gate gate;
    Turns turns;
    {
        const Gate::Pass alone = gate.acquire();
        EXPECT_TRUE(gate.isHeld());
    }
    EXPECT_FALSE(gate.isHeld());

    std::optional<Gate::Pass> first = gate.acquire();
    Tasks::start(passAsCoroutine(gate, QStringLiteral("second"), turns));
    Tasks::start(passAsCoroutine(gate, QStringLiteral("third"), turns));
    EXPECT_EQ(gate.waiting(), 2);

    first.reset();
    EXPECT_TRUE(gate.isHeld());
    EXPECT_EQ(gate.waiting(), 1);
    Tasks::start(passAsCoroutine(gate, QStringLiteral("newcomer"), turns));   // "second" has not run yet
    EXPECT_EQ(gate.waiting(), 2);

    ASSERT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
    EXPECT_EQ(turns.names(), (QStringList{"second", "third", "newcomer"}));
    EXPECT_FALSE(gate.isHeld());
    EXPECT_EQ(gate.waiting(), 0);
}

TEST(Gate, NeverLetsTwoHoldersThrough)
{
    Gate gate;
    std::atomic<int> inside = 0;
    std::atomic<bool> overlapped = false;
    int passes = 0;   // written only by holders
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                const Gate::Pass pass = gate.acquire();
                if (inside.fetch_add(1) != 0)
                    overlapped = true;
                ++passes;
                inside.fetch_sub(1);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(passes, 8 * 500);
    EXPECT_FALSE(gate.isHeld());
}

} // namespace
