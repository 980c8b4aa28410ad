#pragma once

#include "Pellmar/library/frame/Cancellation.h"

#include <QCoroTask>

#include <chrono>
#include <map>
#include <utility>

// Every sleep, debounce and tick of the library goes through one Clock, so that tests can drive
// time by hand. Sleeps are awaited on the GUI thread.
class Clock {
public:
    virtual ~Clock() = default;

    // Seconds since 1970.
    virtual double now() const = 0;
    // Seconds on a clock that never jumps, for durations.
    virtual double uptime() const = 0;
    // Ends after `duration`, or at the next turn of the event loop once `token` is cancelled.
    virtual QCoro::Task<> sleep(std::chrono::milliseconds duration, CancelToken token = {}) = 0;
};

class RealClock final : public Clock {
public:
    double now() const override;
    double uptime() const override;
    QCoro::Task<> sleep(std::chrono::milliseconds duration, CancelToken token = {}) override;
};

// Time stands still until advance() moves it; sleeps that fall due then end in deadline order.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double now = 1'700'000'000.0) : now_(now) {}

    double now() const override { return now_; }
    double uptime() const override { return uptime_; }
    QCoro::Task<> sleep(std::chrono::milliseconds duration, CancelToken token = {}) override;

    // Moves time forward, ending each sleep when its deadline is reached; a sleep started by a
    // resumed coroutine ends too when its deadline lies within the step.
    void advance(std::chrono::milliseconds step);
    // Number of coroutines sleeping now.
    int sleepers() const { return int(sleepers_.size()); }

private:
    double now_;
    double uptime_ = 0;
    quint64 lastTicket_ = 0;
    std::map<std::pair<double, quint64>, Alarm*> sleepers_;
};
