#include "Pellmar/library/engine/TimeLeft.h"

#include <cmath>

std::optional<QString> timeLeftText(qint64 remaining, double rate)
{
    if (!(rate > 0.02) || remaining < 1)
        return std::nullopt;
    const double seconds = double(remaining) / rate;
    if (seconds < 90)
        return QStringLiteral("under 2 minutes left");
    if (seconds < 3600)
        return QStringLiteral("about %1 min left").arg(qint64(seconds / 60));
    const qint64 hours = qint64(seconds / 3600);
    const qint64 minutes = qint64(std::fmod(seconds, 3600) / 60);
    return QStringLiteral("about %1 h %2 min left").arg(hours).arg(minutes);
}
