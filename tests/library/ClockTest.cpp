#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

using namespace std::chrono_literals;

namespace {

QCoro::Task<> sleepThenNote(Clock& clock, std::chrono::milliseconds duration, int tag, std::vector<int>& woke,
                            CancelToken token = {})
{
    co_await clock.sleep(duration, token);
    woke.push_back(tag);
}

TEST(ManualClock, SleepsEndInDeadlineOrderAsTimeAdvances)
{
    ManualClock clock(1000.0);
    std::vector<int> woke;
    Tasks::start(sleepThenNote(clock, 3000ms, 3, woke));
    Tasks::start(sleepThenNote(clock, 1000ms, 1, woke));
    Tasks::start(sleepThenNote(clock, 2000ms, 2, woke));
    EXPECT_EQ(clock.sleepers(), 3);

    clock.advance(1999ms);
    EXPECT_EQ(woke, std::vector<int>{1});
    clock.advance(1001ms);
    EXPECT_EQ(woke, (std::vector<int>{1, 2, 3}));
    EXPECT_DOUBLE_EQ(clock.now(), 1003.0);
    EXPECT_DOUBLE_EQ(clock.uptime(), 3.0);
    EXPECT_EQ(Tasks::oneShotRunning(), 0);
}

TEST(ManualClock, ATickingLoopRunsOncePerPeriodWithinOneAdvance)
{
    ManualClock clock;
    int ticks = 0;
    TaskHandle ticker;
    Tasks::startLongLived([](Clock& clock, int& ticks, CancelToken token) -> QCoro::Task<> {
        while (!token.isCancelled()) {
            co_await clock.sleep(1000ms, token);
            ++ticks;
        }
    }(clock, ticks, ticker.token()));

    clock.advance(3500ms);
    EXPECT_EQ(ticks, 3);
    ticker.cancel();
    ASSERT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    EXPECT_EQ(ticks, 4); // the cancelled sleep ends early, once
}

// Cancelling resumes a sleeper at the next turn of the event loop, never inside cancel(), for both
// clocks; an already cancelled token does not sleep at all.
TEST(Clock, CancellingEndsASleepOnTheNextTurnOfTheEventLoop)
{
    RealClock real;
    ManualClock manual;
    for (Clock* clock : std::vector<Clock*>{&real, &manual}) {
        std::vector<int> woke;
        TaskHandle handle;
        Tasks::start(sleepThenNote(*clock, 3600s, 1, woke, handle.token()));
        handle.cancel();
        EXPECT_TRUE(woke.empty());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !woke.empty(); }, 5000));

        Tasks::start(sleepThenNote(*clock, 3600s, 2, woke, handle.token()));
        EXPECT_EQ(woke, (std::vector<int>{1, 2}));
    }
    EXPECT_EQ(manual.sleepers(), 0);
}

TEST(RealClock, SleepEndsAfterItsDuration)
{
    RealClock clock;
    std::vector<int> woke;
    const double start = clock.uptime();
    Tasks::start(sleepThenNote(clock, 20ms, 1, woke));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !woke.empty(); }, 5000));
    EXPECT_GE(clock.uptime() - start, 0.019);
}

} // namespace
