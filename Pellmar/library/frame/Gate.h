#pragma once

#include <QCoroTask>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

class Alarm;

// Lets one holder through at a time, first come first served, whether the comers are worker threads
// (which block) or coroutines (which await). A release hands the gate straight to the oldest waiter,
// so that no newcomer can slip in between; the releasing holder never waits for the handover.
// Waiting cannot be cancelled: a waiter stays in line until the gate is its turn.
//
//     const Gate::Pass pass = gate.acquire();                 // a worker thread
//     const Gate::Pass pass = co_await alive(gate.acquireAsync());   // a GUI-thread coroutine
//
// The Pass releases the gate when it goes out of scope, on every path. A gate outlives its holders
// and waiters.
class Gate {
public:
    // Holds the gate until destroyed. Move-only.
    class Pass {
    public:
        Pass(Pass&& other) noexcept : gate_(std::exchange(other.gate_, nullptr)) {}
        Pass& operator=(Pass&& other) noexcept;
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        ~Pass();

    private:
        friend class Gate;
        explicit Pass(Gate* gate) : gate_(gate) {}
        Gate* gate_;
    };

    Gate() = default;
    ~Gate();
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    // From a worker thread: blocks until the gate is the caller's.
    [[nodiscard]] Pass acquire();
    // From a coroutine: takes its place in line at the call and resumes on the calling thread's event
    // loop once the gate is handed to it (at once, without suspending, when the gate is free).
    [[nodiscard]] QCoro::Task<Pass> acquireAsync();

    bool isHeld() const;
    // Comers waiting in line.
    int waiting() const;

private:
    // A comer in line: a coroutine has an alarm that the handover rings on its thread; a thread is
    // woken through the condition.
    struct Waiter {
        Alarm* alarm = nullptr;
        bool handedOver = false;
    };

    // Takes the free gate (true), or puts `waiter` in line.
    bool takeOrQueue(Waiter& waiter);
    void release();

    mutable std::mutex lock_;
    std::condition_variable handedOver_;
    bool held_ = false;
    std::deque<Waiter*> line_;
};
