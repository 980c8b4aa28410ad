#include "Pellmar/index/Database.h"
#include "Pellmar/library/frame/FanOut.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <set>

namespace {

// Jobs that run until the test lets each one end, so that the test sees how many run at once and
// can end them out of order.
class HeldJobs {
public:
    int operator()(int input) const
    {
        std::unique_lock locker(state_->lock);
        state_->running.push_back(input);
        state_->peak = std::max(state_->peak, int(state_->running.size()));
        state_->changed.wait(locker, [&] { return state_->released.count(input) > 0; });
        std::erase(state_->running, input);
        return input * 10;
    }

    // The jobs that run and have not been let go yet, in the order they began.
    std::vector<int> held() const
    {
        std::lock_guard locker(state_->lock);
        std::vector<int> held;
        std::copy_if(state_->running.begin(), state_->running.end(), std::back_inserter(held),
                     [&](int input) { return state_->released.count(input) == 0; });
        return held;
    }
    int peak() const
    {
        std::lock_guard locker(state_->lock);
        return state_->peak;
    }
    void release(int input)
    {
        std::lock_guard locker(state_->lock);
        state_->released.insert(input);
        state_->changed.notify_all();
    }

private:
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        std::vector<int> running;
        std::set<int> released;
        int peak = 0;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

TEST(FanOut, KeepsAtMostLimitRunningAndGivesTheResultsInInputOrder)
{
    struct Case {
        int jobs;
        int limit;
    };
    for (const Case c : {Case{0, 3}, Case{1, 3}, Case{5, 1}, Case{10, 3}, Case{4, 8}, Case{16, 8}}) {
        SCOPED_TRACE(testing::Message() << c.jobs << " jobs, " << c.limit << " at a time");
        TaskPools pools;
        HeldJobs jobs;
        QList<int> inputs;
        for (int i = 0; i < c.jobs; ++i)
            inputs.append(i);
        QFuture<QList<int>> results = fanOut(pools, Priority::utility, c.limit, inputs, jobs);
        // End the newest running job each time, so that the jobs end in another order than they began.
        for (int ended = 0; ended < c.jobs; ++ended) {
            const size_t expected = size_t(std::min(c.limit, c.jobs - ended));
            ASSERT_TRUE(QTest::qWaitFor([&] { return jobs.held().size() == expected; }, 5000));
            jobs.release(jobs.held().back());
        }
        QList<int> expected;
        for (int i = 0; i < c.jobs; ++i)
            expected.append(i * 10);
        ASSERT_TRUE(QTest::qWaitFor([&] { return results.isFinished(); }, 5000));
        EXPECT_EQ(waitFor(results), expected);
        EXPECT_EQ(jobs.peak(), std::min(c.limit, c.jobs));
    }
}

TEST(FanOut, AFailedJobFailsItOnceEveryJobHasEnded)
{
    TaskPools pools;
    std::atomic<int> ran = 0;
    const auto work = [&ran](int input) {
        ++ran;
        if (input == 3 || input == 1)
            throw DatabaseError(QStringLiteral("job %1 failed").arg(input));
    };
    try {
        waitFor(fanOut(pools, Priority::background, 2, QList<int>{0, 1, 2, 3, 4}, work));
        ADD_FAILURE() << "the fan-out did not fail";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.description(), QStringLiteral("job 1 failed"));
    }
    EXPECT_EQ(ran, 5);
}

} // namespace
