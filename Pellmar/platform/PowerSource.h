#pragma once

#include <QString>

#include <optional>

// Whether the machine runs on its battery now.
class PowerSource {
public:
    virtual ~PowerSource() = default;
    // Nothing when the system tells nothing about its power supplies. May block briefly: call it
    // off the GUI thread.
    virtual std::optional<bool> onBattery() = 0;
};

// Reads the kernel's power supply class: on battery when no adapter is online and a battery of the
// system (not of a mouse or a keyboard) is discharging.
class SysfsPowerSource final : public PowerSource {
public:
    explicit SysfsPowerSource(QString root = QStringLiteral("/sys/class/power_supply"));
    std::optional<bool> onBattery() override;

private:
    QString root_;
};
