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
class TaskPools {
public:
    TaskPools();
    ~TaskPools();
    TaskPools(const TaskPools&) = delete;
    TaskPools& operator=(const TaskPools&) = delete;

    template <typename F>
    auto run(Priority priority, F job) -> QFuture<std::invoke_result_t<F>>
    {
        using Result = std::invoke_result_t<F>;
        auto promise = std::make_shared<QPromise<Result>>();
        QFuture<Result> future = promise->future();
        promise->start();
        pool(priority).start([priority, promise, job = std::move(job)]() mutable {
            applyPriorityToThisThread(priority);
            fulfil(*promise, job);
        });
        return future;
    }

private:
    QThreadPool& pool(Priority priority);
    // Sets the calling pool thread's CPU and I/O scheduling once.
    static void applyPriorityToThisThread(Priority priority);

    QThreadPool userInitiated_;
    QThreadPool utility_;
    QThreadPool background_;
};
