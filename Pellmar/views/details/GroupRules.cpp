#include "Pellmar/views/details/GroupRules.h"

#include "Pellmar/views/kit/Formatters.h"

#include <QLocale>
#include <QStringList>

#include <array>

namespace inspector {

QString kindsText(const QList<Item>& items)
{
    std::array<qint64, 4> counts{};
    for (const Item& item : items)
        ++counts.at(std::min(int(item.kind), 3));
    static const std::array<const char*, 4> words{"photo", "video", "audio file", "document"};
    QStringList parts;
    for (std::size_t kind = 0; kind < counts.size(); ++kind) {
        if (counts.at(kind) > 0)
            parts << QLocale().toString(counts.at(kind)) + u' ' + QString::fromLatin1(words.at(kind))
                         + (counts.at(kind) == 1 ? QString() : QStringLiteral("s"));
    }
    return parts.join(QStringLiteral(", "));
}

QString groupTitle(qsizetype count)
{
    return QLocale().toString(qint64(count)) + QStringLiteral(" items selected");
}

QString groupSubtitle(qint64 totalBytes, const QString& kinds)
{
    QStringList parts{byteCountText(totalBytes), kinds};
    parts.removeAll(QString());
    return parts.join(QStringLiteral(", "));
}

} // namespace inspector
