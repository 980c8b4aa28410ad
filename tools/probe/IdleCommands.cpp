#include "tools/probe/Probe.h"

#include "Pellmar/platform/PowerSource.h"
#include "Pellmar/platform/SessionUserIdle.h"
#include "Pellmar/platform/ThermalState.h"

#include <cmath>

namespace {

QString thermalName(std::optional<ThermalLevel> level)
{
    if (!level)
        return QStringLiteral("unknown");
    switch (*level) {
    case ThermalLevel::nominal: return QStringLiteral("nominal");
    case ThermalLevel::fair: return QStringLiteral("fair");
    case ThermalLevel::serious: return QStringLiteral("serious");
    case ThermalLevel::critical: return QStringLiteral("critical");
    }
    return QStringLiteral("unknown");
}

// The three readings that decide whether larger previews may be made.
const ProbeCommand idleCommand(QStringLiteral("idle"), QString(), [](const QStringList& args, ProbeIo& io) {
    if (!args.isEmpty())
        return probeUsage(idleCommand, io);
    const SessionUserIdle::Reading idle = SessionUserIdle().read();
    io.out << "idle time: ";
    if (!idle.seconds)
        io.out << "unknown";
    else if (std::isinf(*idle.seconds))
        io.out << "no input seen (counts as idle)";
    else
        io.out << QString::number(*idle.seconds, 'f', 1) << " s";
    io.out << " (" << idle.provider << ")\n";
    const std::optional<bool> onBattery = SysfsPowerSource().onBattery();
    io.out << "power source: " << (!onBattery ? "unknown" : *onBattery ? "battery" : "mains") << '\n';
    io.out << "thermal state: " << thermalName(SysfsThermalState().level()) << Qt::endl;
    return 0;
});

} // namespace
