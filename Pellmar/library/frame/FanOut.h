#pragma once

#include "Pellmar/library/frame/TaskPools.h"

#include <QFuture>
#include <QList>
#include <QPromise>

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

// Runs `work` on each input on the pool of `priority`, at most `limit` at a time: the first `limit`
// at once, then the next each time one ends. The future gives the results in the order of the
// inputs, whatever order the jobs ended in (nothing for work that returns nothing). Once every job
// has ended, a job that threw fails the future with its exception, the earliest input's first.
// No thread waits while the jobs run: each ending job starts the next.
//
//     const QList<Outcome> outcomes = waitFor(fanOut(pools, Priority::utility, 8, batch, indexOne));   // a loop
//     const QList<Outcome> outcomes = co_await alive(fanOut(pools, Priority::utility, 8, batch, indexOne));
//
// `work` is called from several pool threads at once. The pools outlive the fan-out.
template <typename T, typename F, typename R = std::invoke_result_t<const F&, const T&>>
auto fanOut(TaskPools& pools, Priority priority, int limit, QList<T> inputs, F work)
    -> QFuture<std::conditional_t<std::is_void_v<R>, void, QList<R>>>
{
    using Results = std::conditional_t<std::is_void_v<R>, void, QList<R>>;
    using Stored = std::conditional_t<std::is_void_v<R>, bool, std::optional<R>>;

    struct Run {
        Run(TaskPools& pools, Priority priority, QList<T> inputs, F work)
            : pools(pools), priority(priority), inputs(std::move(inputs)), work(std::move(work)),
              results(size_t(this->inputs.size()))
        {
        }

        TaskPools& pools;
        Priority priority;
        QList<T> inputs;
        F work;
        std::vector<Stored> results;   // each slot written by its own job only
        std::mutex lock;
        qsizetype started = 0;
        qsizetype ended = 0;
        qsizetype failedAt = -1;
        std::exception_ptr failure;
        QPromise<Results> promise;

        static void startNext(const std::shared_ptr<Run>& run)
        {
            qsizetype at = 0;
            {
                std::lock_guard locker(run->lock);
                if (run->started == run->inputs.size())
                    return;
                at = run->started++;
            }
            run->pools.run(run->priority, [run, at] {
                std::exception_ptr failure;
                try {
                    if constexpr (std::is_void_v<R>)
                        run->work(run->inputs.at(at));
                    else
                        run->results[size_t(at)].emplace(run->work(run->inputs.at(at)));
                } catch (...) {
                    failure = std::current_exception();
                }
                run->end(at, failure);
                startNext(run);
            });
        }

        void end(qsizetype at, std::exception_ptr jobFailure)
        {
            {
                std::lock_guard locker(lock);
                if (jobFailure && (failedAt < 0 || at < failedAt)) {
                    failedAt = at;
                    failure = jobFailure;
                }
                if (++ended < inputs.size())
                    return;
            }
            finish();
        }

        void finish()
        {
            if (failure) {
                promise.setException(failure);
            } else if constexpr (!std::is_void_v<R>) {
                QList<R> ordered;
                ordered.reserve(qsizetype(results.size()));
                for (Stored& result : results)
                    ordered.append(std::move(*result));
                promise.addResult(std::move(ordered));
            }
            promise.finish();
        }
    };

    const qsizetype count = inputs.size();
    auto run = std::make_shared<Run>(pools, priority, std::move(inputs), std::move(work));
    run->promise.start();
    QFuture<Results> future = run->promise.future();
    if (count == 0) {
        run->finish();
        return future;
    }
    for (int i = 0; i < std::clamp<qsizetype>(limit, 1, count); ++i)
        Run::startNext(run);
    return future;
}
