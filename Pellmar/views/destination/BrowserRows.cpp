#include "Pellmar/views/destination/BrowserRows.h"

#include "Pellmar/library/engine/ImportDestinations.h"
#include "Pellmar/views/destination/DestinationRules.h"
#include "Pellmar/views/kit/Icons.h"

#include <QCoreApplication>

namespace destination {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("DestinationBrowser", text);
}

bool isFolder(const ImportTarget& target)
{
    return std::holds_alternative<ImportTarget::Folder>(target.destination);
}

} // namespace

std::optional<QString> currentPlace(const BrowserInput& in)
{
    if (in.root)
        return in.root;
    if (in.target)
        if (std::optional<QString> key = rootKey(*in.target, in.locations))
            return key;
    if (in.locations.isEmpty())
        return std::nullopt;
    return in.locations.first().id;
}

bool photosMode(const BrowserInput& in)
{
    return currentPlace(in) == QString::fromUtf16(photosPlace);
}

std::optional<Source> currentLocation(const BrowserInput& in)
{
    const std::optional<QString> place = currentPlace(in);
    for (const Source& location : in.locations)
        if (place == location.id)
            return location;
    return std::nullopt;
}

QList<PlaceRow> placeRows(const BrowserInput& in)
{
    using Kind = PlaceRow::Kind;
    QList<PlaceRow> rows;
    const std::optional<QString> place = currentPlace(in);
    if (!in.recent.isEmpty()) {
        rows.append({Kind::header, tr("Recent"), {}, false, -1});
        for (int i = 0; i < in.recent.size(); ++i) {
            const ImportTarget& recent = in.recent[i];
            const QString title = in.label(recent).split(QStringLiteral(" > ")).last();
            rows.append({Kind::recent, title, isFolder(recent) ? QStringLiteral("clock") : QStringLiteral("rectangle.stack"),
                         in.target == recent, i});
        }
    }
    rows.append({Kind::header, tr("Locations"), {}, false, -1});
    for (int i = 0; i < in.locations.size(); ++i)
        rows.append({Kind::location, in.locations[i].name, Icons::placeSymbol(in.locations[i].placeRank()), place == in.locations[i].id, i});
    if (in.photosAccess)
        rows.append({Kind::photos, QString::fromUtf16(photoLibraryLabel), QStringLiteral("photo.on.rectangle"),
                     photosMode(in), -1});
    return rows;
}

QString caption(const BrowserInput& in)
{
    if (photosMode(in)) {
        if (!in.target || isFolder(*in.target))
            return QString::fromUtf16(photoLibraryLabel);
        return in.label(*in.target);
    }
    return in.target ? in.label(*in.target) : tr("Choose where the files go");
}

BottomBar bottomBar(const BrowserInput& in)
{
    if (!photosMode(in))
        return {tr("New Folder…"), currentPlace(in).has_value(), tr("Search this column")};
    if (in.allowsNewAlbum)
        return {tr("New Album…"), true, tr("Search albums")};
    return {std::nullopt, false, tr("Search albums")};
}

} // namespace destination
