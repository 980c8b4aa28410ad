#pragma once

#include "Pellmar/library/frame/Cancellation.h"
#include "Pellmar/platform/PowerSource.h"
#include "Pellmar/platform/ThermalState.h"
#include "Pellmar/platform/UserIdle.h"

#include <QCoroTask>
#include <QObject>

#include <memory>
#include <optional>

class Clock;
class Defaults;
class TaskPools;

// Whether the machine is in a state in which larger previews may be made: the user away from the
// keyboard and mouse for two minutes, not on battery, not warm. Polls its readings every 15 s and
// publishes them; the full-preview worker asks mayRunFull().
class IdleMonitor : public QObject {
    Q_OBJECT
public:
    // The three readings; each may block briefly and is taken on a utility thread.
    struct Readings {
        std::shared_ptr<UserIdle> userIdle;
        std::shared_ptr<PowerSource> power;
        std::shared_ptr<ThermalState> thermal;

        static Readings system();
    };

    enum class Prop { isIdle, onBattery, isHot, userOverride };
    Q_ENUM(Prop)

    static constexpr double idleAfterSeconds = 120.0;

    // Asks for the first readings at once and starts polling. The readings arrive a moment later,
    // from a utility thread; until then the three values are false. `defaults`, `clock` and `pools`
    // outlive the monitor.
    IdleMonitor(Readings readings, Defaults& defaults, std::shared_ptr<Clock> clock, TaskPools& pools,
                QObject* parent = nullptr);
    ~IdleMonitor() override;

    bool isIdle() const { return isIdle_; }
    void setIsIdle(bool value) { assign(isIdle_, value, Prop::isIdle); }
    bool onBattery() const { return onBattery_; }
    void setOnBattery(bool value) { assign(onBattery_, value, Prop::onBattery); }
    bool isHot() const { return isHot_; }
    void setIsHot(bool value) { assign(isHot_, value, Prop::isHot); }
    // The user asked for larger previews now; written only by the pause and resume actions.
    bool userOverride() const { return userOverride_; }
    void setUserOverride(bool value) { assign(userOverride_, value, Prop::userOverride); }
    const std::optional<TaskHandle>& poller() const { return poller_; }
    void setPoller(const std::optional<TaskHandle>& value) { poller_ = value; }

    // Refreshes the three readings. A reading the system cannot give leaves its value as it was.
    QCoro::Task<> poll();
    bool mayRunFull() const;

Q_SIGNALS:
    void changed(IdleMonitor::Prop property);

private:
    void assign(bool& stored, bool value, Prop property);
    QCoro::Task<> pollEvery15Seconds(CancelToken token);

    Readings readings_;
    Defaults& defaults_;
    std::shared_ptr<Clock> clock_;
    TaskPools& pools_;
    bool isIdle_ = false;
    bool onBattery_ = false;
    bool isHot_ = false;
    bool userOverride_ = false;
    std::optional<TaskHandle> poller_;
};
