#include "Pellmar/views/grid/GridCell.h"

#include "Pellmar/views/kit/Formatters.h"

#include <QHash>
#include <QLocale>
#include <QMimeDatabase>
#include <QMimeType>
#include <QMutex>

#include <algorithm>
#include <cmath>
#include <limits>

namespace grid {

QString durationText(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        return QStringLiteral("0:00");
    constexpr double largest = double(std::numeric_limits<qint64>::max());
    const double rounded = std::round(seconds);
    const qint64 total = rounded >= largest ? std::numeric_limits<qint64>::max() : qint64(rounded);
    return QString::asprintf("%lld:%02lld", total / 60, total % 60);
}

QString typeDescription(const QString& mimeType)
{
    // Each type is asked once: a type's description is read from its own file on first use.
    static QMutex mutex;
    static QHash<QString, QString> descriptions;
    {
        const QMutexLocker lock(&mutex);
        if (const auto found = descriptions.constFind(mimeType); found != descriptions.cend())
            return *found;
    }
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeType);
    const QString description =
        !type.isValid() || type.comment().isEmpty() ? QStringLiteral("Document") : type.comment();
    const QMutexLocker lock(&mutex);
    descriptions.insert(mimeType, description);
    return description;
}

void loadTypeDatabase()
{
    QMimeDatabase().mimeTypeForName(QStringLiteral("application/pdf"));
}

QString cellCaption(const Item& item, const QList<Location>& locations)
{
    switch (item.kind) {
    case MediaKind::document: {
        QStringList parts{typeDescription(item.uti)};
        if (!locations.isEmpty()) {
            const auto largest = std::max_element(locations.begin(), locations.end(),
                                                  [](const Location& a, const Location& b) { return a.size < b.size; });
            parts.append(byteCountText(largest->size));
        }
        parts.removeAll(QString());
        return parts.join(QStringLiteral(", "));
    }
    case MediaKind::photo:
    case MediaKind::video:
    case MediaKind::audio:
        break;
    }
    if (item.capturedAt)
        return abbreviatedDateText(*item.capturedAt);
    switch (item.kind) {
    case MediaKind::photo:
        return QStringLiteral("Photo");
    case MediaKind::video:
        return QStringLiteral("Video");
    default:
        return QStringLiteral("Audio");
    }
}

Cell makeCell(const Item& item, const CellInputs& in, const QString& caption)
{
    static const QList<Location> noLocations;
    const QList<Location>& locations = in.locations ? *in.locations : noLocations;

    Cell cell;
    cell.id = item.id;
    cell.name = item.filename;
    cell.caption = caption;
    cell.selected = in.selected;
    if (in.fullscreen && in.selected)
        cell.content = TileContent::placeholder;
    else if (item.kind == MediaKind::document && !in.previewPath)
        cell.content = TileContent::typeIcon;
    else
        cell.content = TileContent::picture;
    if (cell.content == TileContent::picture) {
        cell.picturePath = in.previewPath;
        cell.tileImagePath = in.tileImagePath;
    }
    if (cell.content == TileContent::typeIcon)
        cell.mimeType = item.uti;
    if (in.copies > 1)
        cell.copiesBadge = QLocale().toString(in.copies) + QStringLiteral(" copies");
    cell.cloudBadge = !locations.isEmpty()
        && std::none_of(locations.begin(), locations.end(), [](const Location& l) { return l.local; });
    if (item.kind == MediaKind::video)
        cell.durationBadge = durationText(item.duration);
    // An audio file has no picture of its own: its tile says what it is.
    if (item.kind == MediaKind::audio)
        cell.placeholderSymbol = QStringLiteral("waveform");
    return cell;
}

} // namespace grid
