#include "Pellmar/library/frame/Cancellation.h"

#include <QMetaObject>

#include <algorithm>

void Alarm::ring()
{
    if (std::coroutine_handle<> waiter = std::exchange(waiter_, {}))
        waiter.resume();
}

CancelToken::AlarmHook::AlarmHook(std::shared_ptr<detail::CancelState> state, Alarm* alarm)
    : state_(std::move(state))
    , alarm_(alarm)
{
    if (!state_)
        return;
    std::lock_guard locker(state_->lock);
    state_->alarms.push_back(alarm_);
    if (state_->cancelled)
        QMetaObject::invokeMethod(alarm_, &Alarm::ring, Qt::QueuedConnection);
}

CancelToken::AlarmHook::~AlarmHook()
{
    if (!state_)
        return;
    std::lock_guard locker(state_->lock);
    std::erase(state_->alarms, alarm_);
}

void TaskHandle::cancel() const
{
    std::lock_guard locker(state_->lock);
    if (state_->cancelled.exchange(true))
        return;
    for (Alarm* alarm : state_->alarms)
        QMetaObject::invokeMethod(alarm, &Alarm::ring, Qt::QueuedConnection);
}
