#include "Pellmar/views/grid/GridEmptyState.h"

#include "Pellmar/library/Library.h"

namespace grid {

EmptyStateInputs EmptyStateInputs::of(const Library& library)
{
    const LocationSummary& summary = library.summary();
    return {
        .favoritesOnly = library.favoritesOnly(),
        .onlyHere = library.onlyHere(),
        .hasSources = !library.sources().isEmpty(),
        .hasSourceFilter = library.sourceFilter().has_value(),
        .query = library.query(),
        .summaryTotal = summary.photos + summary.videos + summary.audio + summary.documents,
    };
}

EmptyState emptyState(const EmptyStateInputs& in)
{
    if (in.favoritesOnly && in.query.isEmpty())
        return {QStringLiteral("Nothing favorited yet"), QStringLiteral("star"),
                QStringLiteral("Right-click an item and choose Add to Favorites.")};
    if (in.onlyHere && in.hasSourceFilter)
        return {QStringLiteral("Everything here has a copy elsewhere"), QStringLiteral("checkmark.shield"), {}};

    QString title;
    if (!in.hasSources)
        title = QStringLiteral("Add a folder from the File menu or plug in a drive");
    else if (!in.query.isEmpty())
        title = QStringLiteral("No matches");
    else if (!in.hasSourceFilter)
        title = QStringLiteral("Nothing indexed yet");
    else if (in.summaryTotal == 0)
        title = QStringLiteral("No photos or videos here");
    else
        title = QStringLiteral("Nothing indexed yet");
    const bool emptyFolder = in.hasSourceFilter && in.summaryTotal == 0;
    return {title, emptyFolder ? QStringLiteral("folder") : QStringLiteral("externaldrive"), {}};
}

} // namespace grid
