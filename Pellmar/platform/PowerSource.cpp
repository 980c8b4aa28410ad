#include "Pellmar/platform/PowerSource.h"

#include "Pellmar/platform/SysfsFile.h"

#include <QDir>

SysfsPowerSource::SysfsPowerSource(QString root)
    : root_(std::move(root))
{
}

std::optional<bool> SysfsPowerSource::onBattery()
{
    bool sawSupply = false;
    bool discharging = false;
    const QStringList supplies = QDir(root_).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : supplies) {
        const QString dir = root_ + QLatin1Char('/') + name + QLatin1Char('/');
        const QString type = readSysfsAttribute(dir + QStringLiteral("type"));
        if (type == QLatin1String("Battery")) {
            if (readSysfsAttribute(dir + QStringLiteral("scope")) == QLatin1String("Device"))
                continue;
            sawSupply = true;
            discharging = discharging || readSysfsAttribute(dir + QStringLiteral("status")) == QLatin1String("Discharging");
        } else if (!type.isEmpty()) {
            const QString online = readSysfsAttribute(dir + QStringLiteral("online"));
            if (online.isEmpty())
                continue;
            sawSupply = true;
            if (online != QLatin1String("0"))
                return false;
        }
    }
    if (!sawSupply)
        return std::nullopt;
    return discharging;
}
