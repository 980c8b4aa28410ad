#include "Pellmar/views/details/DetailRules.h"

#include "Pellmar/views/grid/GridCell.h"
#include "Pellmar/views/kit/Formatters.h"

#include <QLocale>

#include <algorithm>

namespace inspector {

namespace {

bool isFileCopy(const Location& location)
{
    return location.assetID.isEmpty();
}

QString kindWord(const Item& item)
{
    switch (item.kind) {
    case MediaKind::photo: return QStringLiteral("Photo");
    case MediaKind::video: return QStringLiteral("Video");
    case MediaKind::audio: return QStringLiteral("Audio");
    case MediaKind::document: break;
    }
    return grid::typeDescription(item.uti);
}

} // namespace

QStringList offlineSourceNames(const QList<Location>& locations, const QSet<QString>& online)
{
    QStringList names;
    for (const Location& location : locations) {
        if (isFileCopy(location) && !online.contains(location.sourceID) && !names.contains(location.sourceName))
            names.append(location.sourceName);
    }
    std::sort(names.begin(), names.end());
    return names;
}

StatusLine statusLine(const QList<Location>& locations, const QSet<QString>& online, const Library::FileFacts& facts)
{
    if (facts.reachable || std::none_of(locations.cbegin(), locations.cend(), isFileCopy))
        return {};
    if (facts.cloud && !facts.cloud->downloaded)
        return {StatusLine::Kind::cloud, QStringLiteral("In iCloud, not downloaded")};
    const QStringList offline = offlineSourceNames(locations, online);
    if (offline.isEmpty())
        return {};
    return {StatusLine::Kind::offline,
            QStringLiteral("On %1, not plugged in").arg(offline.join(QStringLiteral(" or ")))};
}

PreviewKind previewKind(const Item& item, bool hasProxy, bool hasImage)
{
    if (item.kind == MediaKind::video && hasProxy)
        return PreviewKind::player;
    if (item.kind == MediaKind::document)
        return hasImage ? PreviewKind::documentPicture : PreviewKind::documentIcon;
    return PreviewKind::picture;
}

double previewRatio(const Item& item, PreviewKind kind)
{
    if (kind == PreviewKind::documentPicture || kind == PreviewKind::documentIcon)
        return 1.0;
    if (item.width >= 1 && item.height >= 1)
        return double(item.width) / double(item.height);
    return kind == PreviewKind::player ? 16.0 / 9.0 : 4.0 / 3.0;
}

QList<Fact> itemFacts(const Item& item, const QList<Location>& locations, std::optional<double> created)
{
    QList<Fact> facts{{QStringLiteral("Kind"), kindWord(item)}};
    if (item.kind == MediaKind::document) {
        qint64 largest = 0;
        double modified = 0;
        for (const Location& location : locations) {
            largest = std::max(largest, location.size);
            modified = std::max(modified, location.modified);
        }
        if (largest > 0)
            facts.append({QStringLiteral("Size"), byteCountText(largest)});
        if (created)
            facts.append({QStringLiteral("Created"), longDateTimeText(*created)});
        if (!locations.isEmpty())
            facts.append({QStringLiteral("Modified"), longDateTimeText(modified)});
    }
    if (item.capturedAt)
        facts.append({QStringLiteral("Captured"), longDateTimeText(*item.capturedAt)});
    if (item.width >= 1)
        facts.append({QStringLiteral("Size"), QStringLiteral("%1 x %2").arg(item.width).arg(item.height)});
    if (item.kind == MediaKind::video)
        facts.append({QStringLiteral("Duration"), grid::durationText(item.duration)});
    if (!item.camera.isEmpty())
        facts.append({QStringLiteral("Camera"), item.camera});
    if (!item.lens.isEmpty())
        facts.append({QStringLiteral("Lens"), item.lens});
    return facts;
}

QString copiesHeader(const Item& item, const QHash<QString, qint64>& copies, const QList<Location>& locations)
{
    const qint64 count = copies.value(item.id, locations.size());
    if (count == 1)
        return QStringLiteral("Where it is");
    return QStringLiteral("Where it is, %1 copies").arg(QLocale().toString(count));
}

QString copyStatus(const Location& location, bool online)
{
    if (!location.local)
        return QStringLiteral("in iCloud only, not downloaded");
    if (!isFileCopy(location))
        return QStringLiteral("in the library");
    return online ? QStringLiteral("connected") : QStringLiteral("not connected");
}

CopyRow copyRow(const Location& location, const QSet<QString>& online)
{
    CopyRow row;
    row.online = online.contains(location.sourceID);
    row.source = location.sourceName;
    if (isFileCopy(location)) {
        row.place = location.relativePath;
    } else {
        const qsizetype slash = location.relativePath.lastIndexOf(u'/');
        row.place = slash < 0 ? QStringLiteral("Library") : location.relativePath.left(slash);
        if (row.place.isEmpty())
            row.place = QStringLiteral("Library");
    }
    const QString status = copyStatus(location, row.online);
    row.detail = location.size >= 1 ? byteCountText(location.size) + QStringLiteral(", ") + status : status;
    row.showInFiles = row.online && location.local && isFileCopy(location);
    return row;
}

} // namespace inspector
