#include "Pellmar/media/SearchDate.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <cmath>

QString SearchDateFormatter::string(double secondsSince1970) const
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QDateTime date = QDateTime::fromMSecsSinceEpoch(qint64(std::floor(secondsSince1970 * 1000.0)), QTimeZone::systemTimeZone());
    return english.toString(date, QStringLiteral("yyyy MMMM d dddd"));
}

const SearchDateFormatter& searchDateFormatter()
{
    static const SearchDateFormatter formatter;
    return formatter;
}
