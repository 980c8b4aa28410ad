#include "Pellmar/index/IndexKeptSummary.h"

#include <QSet>

#include <algorithm>
#include <map>

namespace {

// Adds what items of one kind (its stored value) hold to the summary.
void addFigures(LocationSummary& summary, qint64 kind, qint64 items, qint64 size, qint64 notLocal)
{
    if (const std::optional<MediaKind> known = mediaKindFromRawValue(kind))
        summary.count(*known) += items;
    summary.size += size;
    summary.notLocal += notLocal;
    if (kind == rawValue(MediaKind::document))
        summary.documentSize += size;
}

void widenDates(LocationSummary& summary, std::optional<double> earliest, std::optional<double> latest)
{
    if (earliest && (!summary.earliest || *earliest < *summary.earliest))
        summary.earliest = earliest;
    if (latest && (!summary.latest || *latest > *summary.latest))
        summary.latest = latest;
}

// Adds one row of kept totals: kind, items, size, files not on this computer, first and last
// capture date.
void addKindRow(const Statement& row, LocationSummary& summary)
{
    addFigures(summary, row.int64(0), row.int64(1), row.int64(2), row.int64(3));
    widenDates(summary, row.optionalReal(4), row.optionalReal(5));
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

std::optional<LocationSummary> folderSummary(Database& db, const ViewFilter& filter)
{
    if (!filter.source || filter.path.isEmpty() || filter.smart || filter.favoritesWorkspace || filter.notBackedUp)
        return std::nullopt;

    // The files below the folder in path order, grouped by item: each item counts once however
    // many of its files lie there, and is only here when all its copies are among them.
    const SqlValue kind = kindValue(filter);
    SqlClause query{QStringLiteral("SELECT kind, COUNT(*), SUM(size), SUM(not_local), MIN(captured_at), MAX(captured_at), "
                                   "SUM(only_here) FROM (SELECT item_kind AS kind, item_captured_at AS captured_at, SUM(size) AS "
                                   "size, SUM(local = 0) AS not_local, SUM(is_copy) = MAX(item_copies) AS only_here FROM files "
                                   "INDEXED BY files_folder_items WHERE item_kind IS NOT NULL AND (? IS NULL OR item_kind = ?) AND "),
                    {kind, kind}};
    query.append(folderCondition(*filter.source, filter.path));
    query.text += QStringLiteral(" GROUP BY item_id) GROUP BY kind");
    Statement rows(db.db(), query.text);
    rows.bind(query.values);
    LocationSummary summary;
    while (rows.step()) {
        addKindRow(rows, summary);
        summary.onlyHere += rows.int64(6);
    }
    return summary;
}

namespace {

// The items with a file in at least one of the sources, per kind (its stored value), each item
// once: the kept counts of items by the set of sources holding them, for every set that meets these.
std::map<qint64, qint64> itemsInSources(Database& db, const QStringList& sources, const SqlValue& kind)
{
    std::map<qint64, qint64> items;
    if (sources.isEmpty())
        return items;
    Statement sets(db.db(), QStringLiteral("SELECT sources, kind, items FROM place_sets WHERE kind >= 0 AND (? IS NULL OR kind = ?)"));
    sets.bind({kind, kind});
    while (sets.step()) {
        const QStringList holders = sets.text(0).split(u'|');
        if (std::ranges::any_of(holders, [&](const QString& holder) { return sources.contains(holder); }))
            items[sets.int64(1)] += sets.int64(2);
    }
    return items;
}

// A statement whose rows are files of items with what the summary needs of each: item id, kind,
// capture date, size, whether not on this computer, and whether it counts as an item of its own.
// Rows of one item may repeat; addFileRows counts it once and adds every row's size.
void addFileRows(Database& db, const SqlClause& query, LocationSummary& summary)
{
    Statement rows(db.db(), query.text);
    rows.bind(query.values);
    std::map<qint64, QSet<QString>> items;
    while (rows.step()) {
        const qint64 kind = rows.int64(1);
        addFigures(summary, kind, 0, rows.int64(3), rows.int64(4));
        const std::optional<double> captured = rows.optionalReal(2);
        widenDates(summary, captured, captured);
        if (rows.boolean(5))
            items[kind].insert(rows.text(0));
    }
    for (const auto& [kind, ids] : items)
        addFigures(summary, kind, ids.size(), 0, 0);
}

// "p.source_id IN (…)": the kept places (item_places as p) in one of the sources.
SqlClause placeInSources(const QStringList& sources)
{
    SqlClause clause{QStringLiteral("p.source_id IN "), {}};
    clause.text += valueList(sources, clause.values);
    return clause;
}

// Whether one of the sources holds a file of the item `itemID` (a column); with no sources, false
// without a look at the kept places.
SqlClause heldBySources(const QString& itemID, const QStringList& sources)
{
    if (sources.isEmpty())
        return {QStringLiteral("0"), {}};
    SqlClause clause{QStringLiteral("EXISTS (SELECT 1 FROM item_places AS p WHERE p.item_id = ") + itemID + QStringLiteral(" AND "), {}};
    clause.append(placeInSources(sources));
    clause.text += u')';
    return clause;
}

} // namespace

std::optional<LocationSummary> scopeSummary(Database& db, const ViewFilter& filter)
{
    if (filter.source || !filter.scope || filter.favoritesWorkspace || filter.notBackedUp)
        return std::nullopt;

    ReadSnapshot snapshot(db);
    const auto [wholeSources, folderKeys] = ScopeParts::split(*filter.scope);
    const SqlValue kind = kindValue(filter);
    LocationSummary summary;

    // The whole sources: their items once each, and what their files add up to with the first and
    // last capture date of each kind from the kept places in date order.
    for (const auto& [kindOf, items] : itemsInSources(db, wholeSources, kind))
        addFigures(summary, kindOf, items, 0, 0);
    SqlClause totals{QStringLiteral("SELECT t.kind, 0, t.size, t.not_local, (SELECT MIN(captured_at) FROM item_places WHERE "
                                    "source_id = t.source_id AND kind = t.kind), (SELECT MAX(captured_at) FROM item_places WHERE "
                                    "source_id = t.source_id AND kind = t.kind) FROM place_totals AS t WHERE t.kind >= 0 AND "
                                    "(? IS NULL OR t.kind = ?) AND t.source_id IN "),
                     {kind, kind}};
    totals.text += valueList(wholeSources, totals.values);
    Statement totalRows(db.db(), totals.text);
    totalRows.bind(totals.values);
    while (totalRows.step())
        addKindRow(totalRows, summary);

    // The folders of other sources, file by file: their items count unless a whole source holds them.
    if (!folderKeys.isEmpty()) {
        SqlClause files{QStringLiteral("SELECT f.item_id, f.item_kind, f.item_captured_at, f.size, f.local = 0, NOT "), {}};
        files.append(heldBySources(QStringLiteral("f.item_id"), wholeSources));
        files.text += QStringLiteral(" FROM files AS f WHERE f.item_kind IS NOT NULL AND (? IS NULL OR f.item_kind = ?) AND ");
        files.values.insert(files.values.end(), {kind, kind});
        files.append(scopeClause(folderKeys));
        addFileRows(db, files, summary);
    }
    return summary;
}

namespace {

// "favorite": the items marked favorite in the workspace (its one value) or in the photo library.
const QString favoriteIDs = QStringLiteral("WITH favorite (id) AS (SELECT item_id FROM favorites WHERE workspace_id = ? UNION "
                                           "SELECT item_id FROM files WHERE asset_id != '' AND favorite = 1 AND item_id IS NOT NULL) ");

// The files of a workspace's favorites in the view's place (everything or a scope), as rows for
// addFileRows; with no place, a favorite with no file at all still has a row. The favorites are
// few: each one's item and kept places are looked up directly, and the files of the scope's
// folders, read one by one, are looked up among them.
SqlClause favoriteFileRows(const ViewFilter& filter)
{
    const SqlValue kind = kindValue(filter);
    SqlClause query{favoriteIDs + QStringLiteral("SELECT i.id, i.kind, i.captured_at, p.size, p.not_local, 1 FROM favorite CROSS "
                                                 "JOIN items AS i ON i.id = favorite.id "),
                    {*filter.favoritesWorkspace}};
    if (!filter.scope) {
        query.text += QStringLiteral("LEFT JOIN item_places AS p ON p.item_id = i.id WHERE (? IS NULL OR i.kind = ?)");
        query.values.insert(query.values.end(), {kind, kind});
        return query;
    }
    const auto [wholeSources, folderKeys] = ScopeParts::split(*filter.scope);
    query.text += QStringLiteral("CROSS JOIN item_places AS p ON p.item_id = i.id WHERE (? IS NULL OR i.kind = ?) AND ");
    query.values.insert(query.values.end(), {kind, kind});
    query.append(placeInSources(wholeSources));
    if (!folderKeys.isEmpty()) {
        query.text += QStringLiteral(" UNION ALL SELECT i.id, i.kind, i.captured_at, f.size, f.local = 0, 1 FROM files AS f CROSS "
                                     "JOIN items AS i ON i.id = f.item_id WHERE i.id IN favorite AND (? IS NULL OR i.kind = ?) AND ");
        query.values.insert(query.values.end(), {kind, kind});
        query.append(scopeClause(folderKeys));
    }
    return query;
}

} // namespace

std::optional<LocationSummary> favoritesSummary(Database& db, const ViewFilter& filter)
{
    if (!filter.favoritesWorkspace || filter.source || filter.notBackedUp)
        return std::nullopt;
    LocationSummary summary;
    addFileRows(db, favoriteFileRows(filter), summary);
    return summary;
}

qint64 countFavoritesInScope(Database& db, const QString& workspaceID, const std::optional<QStringList>& keys)
{
    // Without a scope every favorite item counts, whatever its files: two sets of ids to probe.
    SqlClause query{QStringLiteral("SELECT COUNT(*) FROM items WHERE id IN (SELECT item_id FROM favorites WHERE workspace_id = ?) "
                                   "OR id IN (SELECT item_id FROM files WHERE asset_id != '' AND favorite = 1 AND item_id IS NOT NULL)"),
                    {workspaceID}};
    if (keys) {
        const SqlClause rows = favoriteFileRows({.favoritesWorkspace = workspaceID, .scope = keys});
        query = {QStringLiteral("SELECT COUNT(DISTINCT id) FROM (") + rows.text + u')', rows.values};
    }
    Statement count(db.db(), query.text);
    count.bind(query.values);
    return count.step() ? count.int64(0) : 0;
}

qint64 countItemsInScope(Database& db, const QStringList& keys)
{
    ReadSnapshot snapshot(db);
    const auto [wholeSources, folderKeys] = ScopeParts::split(keys);
    qint64 count = 0;
    for (const auto& [kind, items] : itemsInSources(db, wholeSources, SqlValue()))
        count += items;
    if (folderKeys.isEmpty())
        return count;
    // The items of the folders' files that no whole source holds.
    // Grouped rather than COUNT(DISTINCT): SQLite sorts the ids of the group in bulk, faster than it
    // inserts them one by one into the set that a distinct count keeps.
    SqlClause query{QStringLiteral("SELECT COUNT(*) FROM (SELECT f.item_id FROM files AS f WHERE f.item_kind IS NOT NULL AND NOT "), {}};
    query.append(heldBySources(QStringLiteral("f.item_id"), wholeSources));
    query.text += QStringLiteral(" AND ");
    query.append(scopeClause(folderKeys));
    query.text += QStringLiteral(" GROUP BY f.item_id)");
    Statement statement(db.db(), query.text);
    statement.bind(query.values);
    return statement.step() ? count + statement.int64(0) : count;
}
