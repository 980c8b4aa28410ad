#pragma once

#include <QString>

#include <optional>

// How warm the machine is, in the four steps the rest of the program reasons with.
enum class ThermalLevel { nominal = 0, fair = 1, serious = 2, critical = 3 };

class ThermalState {
public:
    virtual ~ThermalState() = default;
    // Nothing when the system reports no thermal zone. Call it off the GUI thread.
    virtual std::optional<ThermalLevel> level() = 0;
};

// Reads the kernel's thermal zones and their trip points. A zone at or above an active (fan) trip
// point is fair, at or above a passive (throttling) one serious, at or above a hot or critical one
// critical; the warmest zone decides.
class SysfsThermalState final : public ThermalState {
public:
    explicit SysfsThermalState(QString root = QStringLiteral("/sys/class/thermal"));
    std::optional<ThermalLevel> level() override;

private:
    QString root_;
};
