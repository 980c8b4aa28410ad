#include "Pellmar/views/details/LocationRules.h"

#include "Pellmar/views/kit/Formatters.h"
#include "Pellmar/views/kit/Icons.h"

#include <QLocale>

namespace inspector {

namespace {

QString count(qint64 value)
{
    return QLocale().toString(value);
}

} // namespace

PlaceTitle placeTitle(const PlaceView& place)
{
    if (place.favoritesOnly)
        return {QStringLiteral("Favorites"), QStringLiteral("star")};
    if (place.notBackedUp)
        return {QStringLiteral("Not backed up"), QStringLiteral("externaldrive.badge.exclamationmark")};
    if (place.smartFilter) {
        switch (*place.smartFilter) {
        case SmartFilter::favorites: return {QStringLiteral("Favorites"), QStringLiteral("heart")};
        case SmartFilter::recents: return {QStringLiteral("Recents"), QStringLiteral("clock")};
        case SmartFilter::photos: return {QStringLiteral("Images"), QStringLiteral("photo")};
        case SmartFilter::videos: return {QStringLiteral("Videos"), QStringLiteral("video")};
        case SmartFilter::raw: return {QStringLiteral("RAW"), QStringLiteral("camera.aperture")};
        case SmartFilter::screenshots: return {QStringLiteral("Screenshots"), QStringLiteral("camera.viewfinder")};
        case SmartFilter::albums: return {QStringLiteral("Albums"), QStringLiteral("rectangle.stack")};
        }
    }
    if (!place.pathFilter.isEmpty())
        return {place.pathFilter.section(u'/', -1), place.source ? QStringLiteral("folder") : QStringLiteral("house")};
    if (place.source)
        return {place.source->name, Icons::placeSymbol(place.source->placeRank())};
    return {QStringLiteral("All items"), QStringLiteral("house")};
}

bool emptyFolder(const LocationSummary& summary, const std::optional<Source>& source, bool favoritesOnly)
{
    return summary.photos + summary.videos + summary.audio + summary.documents == 0 && source
           && source->kind == SourceKind::folder && !favoritesOnly;
}

QString scopeCaption(bool notBackedUp, bool favoritesOnly, const std::optional<QStringList>& workspaceMembers,
                     qsizetype sourceCount)
{
    if (notBackedUp)
        return QStringLiteral("Only one copy exists");
    if (favoritesOnly)
        return QStringLiteral("Across all sources");
    const qsizetype n = workspaceMembers ? workspaceMembers->size() : sourceCount;
    return n == 1 ? QStringLiteral("1 source") : count(n) + QStringLiteral(" sources");
}

QList<FigureRow> figureRows(const LocationSummary& summary, const std::optional<Source>& source)
{
    QList<FigureRow> rows{
        {QStringLiteral("Items"), count(summary.photos + summary.videos + summary.audio + summary.documents)}};
    if (summary.photos >= 1)
        rows.append({QStringLiteral("Photos"), count(summary.photos)});
    if (summary.videos >= 1)
        rows.append({QStringLiteral("Videos"), count(summary.videos)});
    if (summary.audio >= 1)
        rows.append({QStringLiteral("Audio"), count(summary.audio)});
    if (summary.documents >= 1)
        // The size in brackets: "1, 620 bytes" would read as one number.
        rows.append({QStringLiteral("Documents"),
                     count(summary.documents) + QStringLiteral(" (") + byteCountText(summary.documentSize) + u')'});
    rows.append({QStringLiteral("Size"), byteCountText(summary.size)});
    if (summary.earliest && summary.latest) {
        const QString earliest = abbreviatedDateText(*summary.earliest);
        const QString latest = abbreviatedDateText(*summary.latest);
        rows.append({QStringLiteral("Captured"), earliest == latest ? earliest : earliest + QStringLiteral(" to ") + latest});
    }
    if (source && source->kind == SourceKind::folder && summary.notLocal >= 1)
        rows.append({QStringLiteral("Not downloaded"), count(summary.notLocal)});
    if (source)
        rows.append({QStringLiteral("Only here"), count(summary.onlyHere), true});
    return rows;
}

} // namespace inspector
