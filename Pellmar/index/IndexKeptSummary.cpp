#include "Pellmar/index/IndexKeptSummary.h"

std::optional<LocationSummary> wholeIndexSummary(Database& db, const ViewFilter& filter)
{
    // A smart group narrows only a source's view, so without a source it changes nothing here.
    if (filter.source || filter.scope || filter.favoritesWorkspace || filter.notBackedUp)
        return std::nullopt;

    // One statement, so that the totals and the dates come from the same state of the index; the
    // dates are the ends of each kind's range in the index of items by kind and capture date.
    Statement totals(db.db(), QStringLiteral("SELECT t.kind, t.items, t.size, t.not_local, (SELECT MIN(captured_at) FROM items "
                                             "WHERE kind = t.kind), (SELECT MAX(captured_at) FROM items WHERE kind = t.kind) "
                                             "FROM kind_totals AS t WHERE ? IS NULL OR t.kind = ?"));
    const SqlValue kindValue = filter.kind ? SqlValue(rawValue(*filter.kind)) : SqlValue();
    totals.bind({kindValue, kindValue});
    LocationSummary summary;
    while (totals.step()) {
        const qint64 kind = totals.int64(0);
        if (const std::optional<MediaKind> known = mediaKindFromRawValue(kind))
            summary.count(*known) = totals.int64(1);
        summary.size += totals.int64(2);
        summary.notLocal += totals.int64(3);
        if (kind == rawValue(MediaKind::document))
            summary.documentSize += totals.int64(2);
        if (const std::optional<double> earliest = totals.optionalReal(4); earliest && (!summary.earliest || *earliest < *summary.earliest))
            summary.earliest = earliest;
        if (const std::optional<double> latest = totals.optionalReal(5); latest && (!summary.latest || *latest > *summary.latest))
            summary.latest = latest;
    }
    return summary;
}
