#pragma once

#include <QCoroFuture>
#include <QCoroTask>
#include <QFuture>
#include <QObject>
#include <QPointer>

#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

// Thrown out of a guarded co_await when the object the coroutine works for was destroyed while it
// waited. It is no std::exception on purpose: `catch (const std::exception&)` and
// `catch (const DatabaseError&)` let it pass, so it unwinds the coroutine and every Library coroutine
// that awaits it, up to the starter in Tasks, which drops it without a word.
struct ContextGone {};

namespace detail {

template <typename T, typename Context, typename Awaitable>
QCoro::Task<T> awaitWhileAlive(QPointer<Context> context, Awaitable awaitable)
{
    // The awaited work's own error counts only while the context lives: once it is gone, nobody is
    // left to handle it.
    std::exception_ptr failure;
    if constexpr (std::is_void_v<T>) {
        try {
            co_await std::move(awaitable);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!context)
            throw ContextGone{};
        if (failure)
            std::rethrow_exception(failure);
    } else {
        std::optional<T> result;
        try {
            result.emplace(co_await std::move(awaitable));
        } catch (...) {
            failure = std::current_exception();
        }
        if (!context)
            throw ContextGone{};   // a result that owns something (a gate's pass) is released here
        if (failure)
            std::rethrow_exception(failure);
        co_return std::move(*result);
    }
}

} // namespace detail

// Ends a coroutine at its next co_await once the object it works for is gone. A coroutine of
// Library (or of any QObject on the GUI thread) begins with
//
//     const AliveGuard alive(this);
//
// and wraps every co_await in it:
//
//     const QList<Item> items = co_await alive(readIndex_->run([=](Index& ix) { return ix.items(...); }));
//     co_await alive(clock_->sleep(1s, token));
//     co_await alive(reload());
//
// When the object was destroyed during the wait, the co_await throws ContextGone instead of
// returning, so the code after it never touches the object, and no `if (!self) co_return;` is
// written by hand. Rules that keep this sound:
// - every co_await of the coroutine goes through the guard (a plain co_await resumes unguarded);
// - `catch (...)` inside such a coroutine rethrows ContextGone (catch the error types you mean);
// - locals whose destructors touch the object are not held across a co_await (they run during the
//   unwinding, after the object is gone);
// - a coroutine that must do something after its object is gone (release a resource, log) checks
//   `if (!alive)` itself instead, around an unguarded co_await.
// Tasks::start and Tasks::startLongLived drop ContextGone quietly; a caller that awaits a guarded
// coroutine from outside (a test with QCoro::waitFor) sees it thrown.
template <typename Context>
class AliveGuard {
public:
    explicit AliveGuard(Context* context) : context_(context) {}

    // True while the object exists. GUI thread only, like the object itself.
    explicit operator bool() const { return !context_.isNull(); }

    template <typename T>
    QCoro::Task<T> operator()(QFuture<T> future) const
    {
        return detail::awaitWhileAlive<T>(context_, std::move(future));
    }

    template <typename T>
    QCoro::Task<T> operator()(QCoro::Task<T> task) const
    {
        return detail::awaitWhileAlive<T>(context_, std::move(task));
    }

private:
    QPointer<Context> context_;
};
