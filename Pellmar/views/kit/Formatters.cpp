#include "Pellmar/views/kit/Formatters.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>

#include <array>
#include <cmath>
#include <optional>

QString byteCountText(qint64 bytes)
{
    const QLocale locale;
    if (bytes == 0)
        return QStringLiteral("Zero KB");
    if (std::llabs(bytes) < 1000)
        return locale.toString(bytes) + (std::llabs(bytes) == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));

    struct Unit {
        const char* name;
        int decimals;
    };
    static constexpr std::array units{Unit{"KB", 0}, Unit{"MB", 1}, Unit{"GB", 2}, Unit{"TB", 2}, Unit{"PB", 2}, Unit{"EB", 2}};
    double value = double(bytes) / 1000;
    size_t unit = 0;
    // Move up a unit once the value would round to 1000 of this one.
    const auto roundsTo = [](double v, int decimals) { return std::round(std::abs(v) * std::pow(10, decimals)) / std::pow(10, decimals); };
    while (unit + 1 < units.size() && roundsTo(value, units[unit].decimals) >= 1000) {
        value /= 1000;
        ++unit;
    }
    QString number = locale.toString(value, 'f', units[unit].decimals);
    if (units[unit].decimals > 0) {
        const QString point = locale.decimalPoint();
        number.remove(QRegularExpression(QStringLiteral("0+$")));
        if (number.endsWith(point))
            number.chop(point.size());
    }
    return number + u' ' + QLatin1String(units[unit].name);
}

namespace {

// The local date and time of a time in seconds since 1970; nothing when it is not finite or out of
// range (beyond about 30 million years the milliseconds no longer fit).
std::optional<QDateTime> localTime(double seconds)
{
    if (!std::isfinite(seconds) || std::abs(seconds) > 1e15)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qint64(std::floor(seconds * 1000)));
}

// The locale's long date pattern without the weekday, with abbreviated month names or not; worked
// out once per locale, since a grid writes hundreds of dates at a time.
QString longDatePattern(const QLocale& locale, bool abbreviated)
{
    thread_local QHash<QString, QString> formats;
    const QString key = locale.name() + (abbreviated ? u'a' : u'l');
    auto format = formats.constFind(key);
    if (format == formats.cend()) {
        QString pattern = locale.dateFormat(QLocale::LongFormat);
        pattern.remove(QRegularExpression(QStringLiteral("d{4}[,.]?\\s*")));
        if (abbreviated)
            pattern.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
        format = formats.insert(key, pattern.trimmed());
    }
    return *format;
}

} // namespace

QString abbreviatedDateText(double seconds)
{
    const std::optional<QDateTime> time = localTime(seconds);
    if (!time)
        return {};
    const QLocale locale;
    return locale.toString(time->date(), longDatePattern(locale, true));
}

QString longDateTimeText(double seconds)
{
    const std::optional<QDateTime> time = localTime(seconds);
    if (!time)
        return {};
    const QLocale locale;
    return QCoreApplication::translate("Formatters", "%1 at %2")
        .arg(locale.toString(time->date(), longDatePattern(locale, false)),
             locale.toString(time->time(), QLocale::ShortFormat));
}
