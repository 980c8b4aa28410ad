#pragma once

#include "Pellmar/library/engine/IdleMonitor.h"

#include <mutex>
#include <optional>

// Readings set by the test and taken by the monitor on a pool thread.
template <typename T>
class FakeReading {
public:
    void set(std::optional<T> value)
    {
        std::lock_guard locker(lock_);
        value_ = value;
    }
    std::optional<T> get() const
    {
        std::lock_guard locker(lock_);
        return value_;
    }

private:
    mutable std::mutex lock_;
    std::optional<T> value_;
};

struct FakeUserIdle final : UserIdle, FakeReading<double> {
    std::optional<double> secondsSinceInput() override { return get(); }
};

struct FakePowerSource final : PowerSource, FakeReading<bool> {
    std::optional<bool> onBattery() override { return get(); }
};

struct FakeThermalState final : ThermalState, FakeReading<ThermalLevel> {
    std::optional<ThermalLevel> level() override { return get(); }
};

struct FakeReadings {
    std::shared_ptr<FakeUserIdle> userIdle = std::make_shared<FakeUserIdle>();
    std::shared_ptr<FakePowerSource> power = std::make_shared<FakePowerSource>();
    std::shared_ptr<FakeThermalState> thermal = std::make_shared<FakeThermalState>();

    IdleMonitor::Readings readings() const { return {userIdle, power, thermal}; }
};
