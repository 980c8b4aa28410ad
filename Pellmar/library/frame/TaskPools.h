#pragma once

#include "Pellmar/index/SerialExecutor.h"

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <memory>
#include <type_traits>

// How urgently background work runs: what the user waits for, what keeps the index current, and
// what may wait until the machine has nothing else to do (idle CPU and disk scheduling).
enum class Priority { userInitiated, utility, background };

// One thread pool per priority. A job's exception reaches whoever awaits the returned future
// unchanged. Jobs hold only values and shared pointers, never the object that started them, and
// check their CancelToken where their work may stop. Destroying the pools waits for the jobs.
//
// A pool job never waits for another job of its pools (a fan-out included): with every thread
// waiting, nothing would run. Work that waits (a worker's batch loop, which waits for its
// fan-outs and reaches the writer with `waitFor(index.run(...))`) runs with runLoop() on a thread
// of its own.
class TaskPools {
public:
    TaskPools();
    ~TaskPools();
    TaskPools(const TaskPools&) = delete;
    TaskPools& operator=(const TaskPools&) = delete;

    template <typename F>
    auto run(Priority priority, F job) -> QFuture<std::invoke_result_t<F>>
    {
        return start(pool(priority), priority, std::move(job));
    }

    // Runs a long loop on a thread that no other job shares while it runs, at `priority`; the loop
    // may block, and ends when its CancelToken says so.
    template <typename F>
    auto runLoop(Priority priority, F job) -> QFuture<std::invoke_result_t<F>>
    {
        return start(loopPool(priority), priority, std::move(job));
    }

private:
    template <typename F>
    static auto start(QThreadPool& pool, Priority priority, F job) -> QFuture<std::invoke_result_t<F>>
    {
        using Result = std::invoke_result_t<F>;
        auto promise = std::make_shared<QPromise<Result>>();
        QFuture<Result> future = promise->future();
        promise->start();
        pool.start([priority, promise, job = std::move(job)]() mutable {
            applyPriorityToThisThread(priority);
            fulfil(*promise, job);
        });
        return future;
    }

    QThreadPool& pool(Priority priority);
    QThreadPool& loopPool(Priority priority);
    // Sets the calling pool thread's CPU and I/O scheduling once.
    static void applyPriorityToThisThread(Priority priority);

    QThreadPool userInitiated_;
    QThreadPool utility_;
    QThreadPool background_;
    QThreadPool userInitiatedLoops_;
    QThreadPool utilityLoops_;
    QThreadPool backgroundLoops_;
};
