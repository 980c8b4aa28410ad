#include "Pellmar/library/frame/Gate.h"

#include "Pellmar/library/frame/Cancellation.h"

#include <QMetaObject>

Gate::Pass& Gate::Pass::operator=(Pass&& other) noexcept
{
    if (this != &other) {
        if (gate_)
            gate_->release();
        gate_ = std::exchange(other.gate_, nullptr);
    }
    return *this;
}

Gate::Pass::~Pass()
{
    if (gate_)
        gate_->release();
}

Gate::~Gate()
{
    Q_ASSERT_X(!held_ && line_.empty(), "Gate", "destroyed while held or waited for");
}

Gate::Pass Gate::acquire()
{
    Waiter waiter;
    std::unique_lock locker(lock_);
    if (!held_) {
        held_ = true;
        return Pass(this);
    }
    line_.push_back(&waiter);
    handedOver_.wait(locker, [&] { return waiter.handedOver; });
    return Pass(this);
}

QCoro::Task<Gate::Pass> Gate::acquireAsync()
{
    Alarm alarm;
    Waiter waiter{&alarm};
    if (!takeOrQueue(waiter)) {
        // The handover rings the alarm through this thread's event loop, so it cannot run before
        // this coroutine has suspended.
        co_await alarm.rung();
    }
    co_return Pass(this);
}

bool Gate::takeOrQueue(Waiter& waiter)
{
    std::lock_guard locker(lock_);
    if (!held_) {
        held_ = true;
        return true;
    }
    line_.push_back(&waiter);
    return false;
}

void Gate::release()
{
    std::lock_guard locker(lock_);
    if (line_.empty()) {
        held_ = false;
        return;
    }
    // The gate stays held and passes to the oldest waiter.
    Waiter* next = line_.front();
    line_.pop_front();
    next->handedOver = true;
    if (next->alarm)
        QMetaObject::invokeMethod(next->alarm, &Alarm::ring, Qt::QueuedConnection);
    else
        handedOver_.notify_all();
}

bool Gate::isHeld() const
{
    std::lock_guard locker(lock_);
    return held_;
}

int Gate::waiting() const
{
    std::lock_guard locker(lock_);
    return int(line_.size());
}
