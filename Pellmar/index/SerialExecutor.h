#pragma once

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <exception>
#include <memory>
#include <type_traits>

// Runs `job` and finishes `promise` with its result, or with its exception unchanged.
template <typename Result, typename F>
void fulfil(QPromise<Result>& promise, F& job)
{
    try {
        if constexpr (std::is_void_v<Result>)
            job();
        else
            promise.addResult(job());
    } catch (...) {
        promise.setException(std::current_exception());
    }
    promise.finish();
}

// Runs jobs one at a time, first in, first out, on one thread of its own.
// A job's exception (a DatabaseError, say) reaches whoever waits on the returned future unchanged.
// Destroying the executor waits for the jobs already submitted.
class SerialExecutor {
public:
    explicit SerialExecutor(const QString& name);
    ~SerialExecutor();
    SerialExecutor(const SerialExecutor&) = delete;
    SerialExecutor& operator=(const SerialExecutor&) = delete;

    template <typename F>
    auto submit(F job) -> QFuture<std::invoke_result_t<F>>
    {
        using Result = std::invoke_result_t<F>;
        auto promise = std::make_shared<QPromise<Result>>();
        QFuture<Result> future = promise->future();
        promise->start();
        pool_.start([this, promise, job = std::move(job)]() mutable {
            current_ = this;
            fulfil(*promise, job);
            current_ = nullptr;
        });
        return future;
    }

    // True when called from a job of this executor; such a job must never wait for another one.
    bool isCurrentThread() const { return current_ == this; }

private:
    static inline thread_local const SerialExecutor* current_ = nullptr;
    QThreadPool pool_;
};

// Waits for a future from a worker thread and hands back its result or rethrows its exception.
template <typename T>
T waitFor(QFuture<T> future)
{
    future.waitForFinished();
    if constexpr (!std::is_void_v<T>)
        return future.takeResult();
}
