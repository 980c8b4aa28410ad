#include "Pellmar/library/frame/Clock.h"

#include <QDateTime>
#include <QTimer>

#include <time.h>

double RealClock::now() const
{
    return QDateTime::currentMSecsSinceEpoch() / 1000.0;
}

double RealClock::uptime() const
{
    timespec time{};
    clock_gettime(CLOCK_BOOTTIME, &time);
    return double(time.tv_sec) + double(time.tv_nsec) / 1e9;
}

QCoro::Task<> RealClock::sleep(std::chrono::milliseconds duration, CancelToken token)
{
    if (token.isCancelled())
        co_return;
    Alarm alarm;
    const auto hook = token.ringOnCancel(&alarm);
    QTimer::singleShot(duration, Qt::PreciseTimer, &alarm, &Alarm::ring);
    co_await alarm.rung();
}

QCoro::Task<> ManualClock::sleep(std::chrono::milliseconds duration, CancelToken token)
{
    if (token.isCancelled())
        co_return;
    Alarm alarm;
    const auto hook = token.ringOnCancel(&alarm);
    const std::pair key{uptime_ + duration.count() / 1000.0, ++lastTicket_};
    sleepers_.emplace(key, &alarm);
    co_await alarm.rung();
    sleepers_.erase(key);
}

void ManualClock::advance(std::chrono::milliseconds step)
{
    const double target = uptime_ + step.count() / 1000.0;
    while (!sleepers_.empty() && sleepers_.begin()->first.first <= target) {
        const auto due = sleepers_.begin();
        now_ += due->first.first - uptime_;
        uptime_ = due->first.first;
        Alarm* alarm = due->second;
        sleepers_.erase(due);
        alarm->ring();
    }
    now_ += target - uptime_;
    uptime_ = target;
}
