#include "Pellmar/views/kit/Formatters.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>

#include <array>
#include <cmath>

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

QString abbreviatedDateText(double seconds)
{
    // Beyond about 30 million years the milliseconds no longer fit.
    if (!std::isfinite(seconds) || std::abs(seconds) > 1e15)
        return {};
    const QDate date = QDateTime::fromMSecsSinceEpoch(qint64(std::floor(seconds * 1000))).date();
    const QLocale locale;
    // The locale's long date without the weekday, with abbreviated month names; worked out once
    // per locale, since a grid writes hundreds of dates at a time.
    thread_local QHash<QString, QString> formats;
    auto format = formats.constFind(locale.name());
    if (format == formats.cend()) {
        QString pattern = locale.dateFormat(QLocale::LongFormat);
        pattern.remove(QRegularExpression(QStringLiteral("d{4}[,.]?\\s*")));
        pattern.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
        format = formats.insert(locale.name(), pattern.trimmed());
    }
    return locale.toString(date, *format);
}
