#include "Pellmar/platform/ThermalState.h"

#include "Pellmar/platform/SysfsFile.h"

#include <QDir>

#include <algorithm>

namespace {

std::optional<ThermalLevel> levelOfTrip(const QString& type)
{
    if (type == QLatin1String("active"))
        return ThermalLevel::fair;
    if (type == QLatin1String("passive"))
        return ThermalLevel::serious;
    if (type == QLatin1String("hot") || type == QLatin1String("critical"))
        return ThermalLevel::critical;
    return std::nullopt;
}

} // namespace

SysfsThermalState::SysfsThermalState(QString root)
    : root_(std::move(root))
{
}

std::optional<ThermalLevel> SysfsThermalState::level()
{
    std::optional<ThermalLevel> warmest;
    const QStringList zones = QDir(root_).entryList({QStringLiteral("thermal_zone*")}, QDir::Dirs);
    for (const QString& zone : zones) {
        const QString dir = root_ + QLatin1Char('/') + zone + QLatin1Char('/');
        if (readSysfsAttribute(dir + QStringLiteral("mode")) == QLatin1String("disabled"))
            continue;
        bool readable = false;
        const qint64 temperature = readSysfsAttribute(dir + QStringLiteral("temp")).toLongLong(&readable);
        if (!readable)
            continue;
        ThermalLevel zoneLevel = ThermalLevel::nominal;
        for (int trip = 0;; ++trip) {
            const QString prefix = dir + QStringLiteral("trip_point_%1_").arg(trip);
            const QString type = readSysfsAttribute(prefix + QStringLiteral("type"));
            if (type.isEmpty())
                break;
            bool tripReadable = false;
            const qint64 tripTemperature = readSysfsAttribute(prefix + QStringLiteral("temp")).toLongLong(&tripReadable);
            const std::optional<ThermalLevel> tripLevel = levelOfTrip(type);
            // Firmware marks unused trip points with a temperature of 0 or below.
            if (tripReadable && tripLevel && tripTemperature > 0 && temperature >= tripTemperature)
                zoneLevel = std::max(zoneLevel, *tripLevel);
        }
        warmest = std::max(warmest.value_or(ThermalLevel::nominal), zoneLevel);
    }
    return warmest;
}
