#include "Pellmar/library/engine/IdleMonitor.h"

#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/SessionUserIdle.h"

#include <QCoroFuture>

using namespace std::chrono_literals;

namespace {

struct Reading {
    std::optional<double> secondsSinceInput;
    std::optional<bool> onBattery;
    std::optional<ThermalLevel> thermal;
};

} // namespace

IdleMonitor::Readings IdleMonitor::Readings::system()
{
    return {std::make_shared<SessionUserIdle>(), std::make_shared<SysfsPowerSource>(), std::make_shared<SysfsThermalState>()};
}

IdleMonitor::IdleMonitor(Readings readings, Defaults& defaults, std::shared_ptr<Clock> clock, TaskPools& pools,
                         QObject* parent)
    : QObject(parent)
    , readings_(std::move(readings))
    , defaults_(defaults)
    , clock_(std::move(clock))
    , pools_(pools)
{
    Tasks::start(poll());
    TaskHandle poller;
    Tasks::startLongLived(pollEvery15Seconds(poller.token()));
    setPoller(poller);
}

IdleMonitor::~IdleMonitor()
{
    if (poller_)
        poller_->cancel();
}

void IdleMonitor::assign(bool& stored, bool value, Prop property)
{
    if (stored == value)
        return;
    stored = value;
    Q_EMIT changed(property);
}

QCoro::Task<> IdleMonitor::poll()
{
    const AliveGuard alive(this);
    const Reading reading = co_await alive(pools_.run(Priority::utility, [readings = readings_] {
        return Reading{readings.userIdle->secondsSinceInput(), readings.power->onBattery(), readings.thermal->level()};
    }));
    if (reading.secondsSinceInput)
        setIsIdle(*reading.secondsSinceInput >= idleAfterSeconds);
    if (reading.onBattery)
        setOnBattery(*reading.onBattery);
    if (reading.thermal)
        setIsHot(*reading.thermal >= ThermalLevel::serious);
}

QCoro::Task<> IdleMonitor::pollEvery15Seconds(CancelToken token)
{
    const AliveGuard alive(this);
    // The sleep may end after this monitor is gone, so the poller keeps the clock alive itself.
    const std::shared_ptr<Clock> clock = clock_;
    while (!token.isCancelled()) {
        co_await alive(clock->sleep(15s, token));
        co_await alive(poll());
    }
}

bool IdleMonitor::mayRunFull() const
{
    if (userOverride_)
        return true;
    const QString mode = defaults_.string(QStringLiteral("fullPreviews")).value_or(QStringLiteral("idle"));
    const bool batteryBlocks = onBattery_ && defaults_.boolean(QStringLiteral("notOnBattery"));
    if (mode == QLatin1String("never"))
        return false;
    if (isHot_ || batteryBlocks)
        return false;
    if (mode == QLatin1String("always"))
        return true;
    return isIdle_;
}
