#pragma once

#include <QObject>

#include <atomic>
#include <coroutine>
#include <memory>
#include <mutex>
#include <vector>

// A coroutine waits on an Alarm and is resumed when it rings. Ringing with no waiter does nothing.
class Alarm : public QObject {
    Q_OBJECT
public:
    Alarm() = default;

    // co_await alarm.rung();
    struct Rung {
        Alarm* alarm;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> waiter) const noexcept { alarm->waiter_ = waiter; }
        void await_resume() const noexcept {}
    };
    Rung rung() { return {this}; }

public Q_SLOTS:
    void ring();

private:
    std::coroutine_handle<> waiter_;
};

namespace detail {
struct CancelState {
    std::atomic<bool> cancelled = false;
    std::mutex lock;
    std::vector<Alarm*> alarms;
};
} // namespace detail

// What long-running work checks to learn that it should stop. A default token is never cancelled.
// isCancelled() may be asked from any thread.
class CancelToken {
public:
    CancelToken() = default;

    bool isCancelled() const { return state_ && state_->cancelled.load(); }

    // While the returned object lives, cancelling rings `alarm` from its thread's event loop, so the
    // sleeping coroutine goes on at the next turn of the loop and never inside cancel().
    class AlarmHook {
    public:
        AlarmHook(std::shared_ptr<detail::CancelState> state, Alarm* alarm);
        ~AlarmHook();
        AlarmHook(const AlarmHook&) = delete;
        AlarmHook& operator=(const AlarmHook&) = delete;

    private:
        std::shared_ptr<detail::CancelState> state_;
        Alarm* alarm_;
    };
    [[nodiscard]] AlarmHook ringOnCancel(Alarm* alarm) const { return AlarmHook(state_, alarm); }

private:
    friend class TaskHandle;
    explicit CancelToken(std::shared_ptr<detail::CancelState> state) : state_(std::move(state)) {}

    std::shared_ptr<detail::CancelState> state_;
};

// The owner's side of a long-lived task: cancels it. Handles compare by identity.
class TaskHandle {
public:
    TaskHandle() : state_(std::make_shared<detail::CancelState>()) {}

    // Called on the GUI thread.
    void cancel() const;
    bool isCancelled() const { return state_->cancelled.load(); }
    CancelToken token() const { return CancelToken(state_); }

    bool operator==(const TaskHandle& other) const { return state_ == other.state_; }

private:
    std::shared_ptr<detail::CancelState> state_;
};
