#include "Pellmar/index/IndexKeptSummary.h"

namespace {

// Adds one row of kept totals: kind, items, size, files not on this computer, first and last
// capture date.
void addKindRow(const Statement& row, LocationSummary& summary)
{
    const qint64 kind = row.int64(0);
    if (const std::optional<MediaKind> known = mediaKindFromRawValue(kind))
        summary.count(*known) = row.int64(1);
    summary.size += row.int64(2);
    summary.notLocal += row.int64(3);
    if (kind == rawValue(MediaKind::document))
        summary.documentSize += row.int64(2);
    if (const std::optional<double> earliest = row.optionalReal(4); earliest && (!summary.earliest || *earliest < *summary.earliest))
        summary.earliest = earliest;
    if (const std::optional<double> latest = row.optionalReal(5); latest && (!summary.latest || *latest > *summary.latest))
        summary.latest = latest;
}

SqlValue kindValue(const ViewFilter& filter)
{
    return filter.kind ? SqlValue(rawValue(*filter.kind)) : SqlValue();
}

} // namespace

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
    totals.bind({kindValue(filter), kindValue(filter)});
    LocationSummary summary;
    while (totals.step())
        addKindRow(totals, summary);
    return summary;
}

std::optional<LocationSummary> wholeSourceSummary(Database& db, const ViewFilter& filter)
{
    if (!filter.source || !filter.path.isEmpty() || filter.smart || filter.favoritesWorkspace || filter.notBackedUp)
        return std::nullopt;

    // One statement, as above. The items only here are the source's single copies and the items
    // with no copy at all that a file reset by a change names in the source; such items have a
    // place in the source, so a kind without one has none of them either. The reset files are few:
    // they lead the join, not the items of the kind.
    Statement totals(db.db(), QStringLiteral(
        "SELECT t.kind, t.items, t.size, t.not_local, (SELECT MIN(captured_at) FROM item_places WHERE source_id = t.source_id "
        "AND kind = t.kind), (SELECT MAX(captured_at) FROM item_places WHERE source_id = t.source_id AND kind = t.kind), "
        "(SELECT COALESCE(SUM(items), 0) FROM lone_totals WHERE source_id = t.source_id AND kind = t.kind) + (SELECT "
        "COUNT(DISTINCT f.item_id) FROM files AS f INDEXED BY files_reset_item CROSS JOIN items AS i ON i.id = f.item_id WHERE "
        "f.quick_hash IS NULL AND f.item_id IS NOT NULL AND f.source_id = t.source_id AND i.kind = t.kind AND NOT EXISTS "
        "(SELECT 1 FROM item_sources WHERE item_id = f.item_id)) FROM place_totals AS t WHERE t.source_id = ? AND t.kind >= 0 "
        "AND (? IS NULL OR t.kind = ?)"));
    totals.bind({*filter.source, kindValue(filter), kindValue(filter)});
    LocationSummary summary;
    while (totals.step()) {
        addKindRow(totals, summary);
        summary.onlyHere += totals.int64(6);
    }
    return summary;
}
