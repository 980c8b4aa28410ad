#include "Pellmar/index/Index.h"

#include "Pellmar/index/IndexKeptSummary.h"
#include "Pellmar/index/IndexNotBackedUp.h"
#include "Pellmar/index/IndexRows.h"

namespace {

// Read by locationFromRow, from `files` as f joined with `sources` as s.
const QString locationColumns =
    QStringLiteral("f.id, f.source_id, s.name, s.volume_uuid, f.rel_path, f.size, f.mtime, f.local, f.asset_id");

Location locationFromRow(const Statement& row)
{
    Location location;
    location.id = row.int64(0);
    location.sourceID = row.text(1);
    location.sourceName = row.text(2);
    location.volumeUUID = row.text(3);
    location.relativePath = row.text(4);
    location.size = row.int64(5);
    location.modified = row.real(6);
    location.local = row.boolean(7);
    location.assetID = row.text(8);
    return location;
}

QList<Location> readLocations(Database& database, const QString& sql, const SqlValues& values)
{
    Statement statement(database.db(), sql);
    statement.bind(values);
    QList<Location> locations;
    while (statement.step())
        locations.append(locationFromRow(statement));
    return locations;
}

qint64 count(Database& database, const SqlClause& query)
{
    Statement statement(database.db(), query.text);
    statement.bind(query.values);
    return statement.step() ? statement.int64(0) : 0;
}

} // namespace

qint64 Index::countScope(const QStringList& keys)
{
    return countItemsInScope(db_, keys);
}

qint64 Index::countNotBackedUp(const std::optional<QStringList>& keys)
{
    if (!keys) {
        // Every lone item names an item (an item goes only once no file names it), so the lone
        // items of the counted sources, less the twinned ones, are the count: a few kept rows.
        const QString sources = loneCopySources();
        return count(db_, {QStringLiteral("SELECT (SELECT COALESCE(SUM(items), 0) FROM lone_totals WHERE source_id IN (") + sources
                               + QStringLiteral(")) - (SELECT COUNT(*) FROM (") + twinnedLoneItems()
                               + QStringLiteral(") WHERE source_id IN (") + sources + QStringLiteral("))"),
                           {}});
    }
    return countNotBackedUpInScope(db_, *keys);
}

qint64 Index::countFavorites(const QString& workspaceID, const std::optional<QStringList>& keys)
{
    return countFavoritesInScope(db_, workspaceID, keys);
}

LocationSummary Index::summary(const ViewFilter& filter)
{
    // The first form that covers the view answers; each reads what the index keeps for it.
    for (const auto keptForm : {notBackedUpSummary, wholeIndexSummary, wholeSourceSummary, folderSummary, scopeSummary,
                                favoritesSummary}) {
        if (std::optional<LocationSummary> kept = keptForm(db_, filter))
            return *kept;
    }
    // Any other view (a smart group, favorites in a source, the items not backed up in a folder or
    // scope) is counted from its rows.
    ViewFilter view = filter;
    view.onlyHere = false;
    const SqlClause filters = filterClauses(view);

    SqlClause place{QStringLiteral("1 = 1"), {}};
    if (filter.source)
        place = folderCondition(*filter.source, filter.path);
    else if (filter.scope)
        place = scopeClause(*filter.scope);

    LocationSummary summary;

    SqlClause kinds{QStringLiteral("SELECT kind, COUNT(*), MIN(captured_at), MAX(captured_at) FROM items WHERE 1 = 1"), {}};
    kinds.append(filters);
    kinds.text += QStringLiteral(" GROUP BY kind");
    Statement kindRows(db_.db(), kinds.text);
    kindRows.bind(kinds.values);
    while (kindRows.step()) {
        if (const std::optional<MediaKind> kind = mediaKindFromRawValue(kindRows.int64(0)))
            summary.count(*kind) = kindRows.int64(1);
        if (const std::optional<double> earliest = kindRows.optionalReal(2); earliest && (!summary.earliest || *earliest < *summary.earliest))
            summary.earliest = earliest;
        if (const std::optional<double> latest = kindRows.optionalReal(3); latest && (!summary.latest || *latest >= *summary.latest))
            summary.latest = latest;
    }

    SqlClause sizes{QStringLiteral("SELECT COALESCE(SUM(size), 0), COALESCE(SUM(local = 0), 0), COALESCE(SUM(CASE WHEN "
                                   "item_id IN (SELECT id FROM items WHERE kind = 3) THEN size ELSE 0 END), 0) FROM files WHERE "),
                    {}};
    sizes.append(place);
    sizes.text += QStringLiteral(" AND item_id IN (SELECT id FROM items WHERE 1 = 1");
    sizes.append(filters);
    sizes.text += u')';
    Statement sizeRow(db_.db(), sizes.text);
    sizeRow.bind(sizes.values);
    if (sizeRow.step()) {
        summary.size = sizeRow.int64(0);
        summary.notLocal = sizeRow.int64(1);
        summary.documentSize = sizeRow.int64(2);
    }

    if (filter.source) {
        SqlClause onlyHere{QStringLiteral("SELECT COUNT(*) FROM items WHERE 1 = 1"), {}};
        onlyHere.append(filters);
        onlyHere.append(onlyHereClause(*filter.source, filter.path));
        summary.onlyHere = count(db_, onlyHere);
    }
    return summary;
}

std::optional<Item> Index::itemByID(const QString& itemID)
{
    Statement statement(db_.db(), QStringLiteral("SELECT ") + itemColumns() + QStringLiteral(" FROM items WHERE id = ?"));
    statement.bind({itemID});
    if (!statement.step())
        return std::nullopt;
    return itemFromRow(statement);
}

QHash<QString, qint64> Index::copyCounts(const QStringList& itemIDs)
{
    QHash<QString, qint64> counts;
    forEachBatch(itemIDs, [&](const QStringList& batch) {
        // All files of one photo library asset (one per album it is in) are a single copy.
        Statement statement(db_.db(), QStringLiteral("SELECT item_id, COUNT(DISTINCT CASE WHEN asset_id = '' THEN 'f' || id "
                                                     "ELSE asset_id END) FROM files WHERE quick_hash IS NOT NULL AND item_id IN (")
                                          + placeholders(batch.size()) + QStringLiteral(") GROUP BY item_id"));
        statement.bind(SqlValues(batch.begin(), batch.end()));
        while (statement.step())
            counts.insert(statement.text(0), statement.int64(1));
    });
    return counts;
}

QHash<QString, QList<Location>> Index::locations(const QStringList& itemIDs)
{
    // Each id in one batch only, so that every item's list comes whole from one ordered statement.
    QStringList ids = itemIDs;
    ids.removeDuplicates();
    QHash<QString, QList<Location>> locations;
    forEachBatch(ids, [&](const QStringList& batch) {
        Statement statement(db_.db(), QStringLiteral("SELECT ") + locationColumns
                                          + QStringLiteral(", f.item_id FROM files f JOIN sources s ON s.id = f.source_id "
                                                           "WHERE f.quick_hash IS NOT NULL AND f.item_id IN (")
                                          + placeholders(batch.size()) + QStringLiteral(") ORDER BY s.added_at"));
        statement.bind(SqlValues(batch.begin(), batch.end()));
        while (statement.step())
            locations[statement.text(9)].append(locationFromRow(statement));
    });
    return locations;
}

QList<Location> Index::probableDuplicates(const QString& itemID)
{
    return readLocations(db_,
                         QStringLiteral("SELECT ") + locationColumns
                             + QStringLiteral(" FROM files f JOIN sources s ON s.id = f.source_id JOIN items i ON i.id = f.item_id "
                                              "WHERE i.id != ? AND i.weak_id != '' AND i.weak_id = (SELECT weak_id FROM items "
                                              "WHERE id = ?) ORDER BY s.added_at"),
                         {itemID, itemID});
}

QList<Location> Index::locationsOfItem(const QString& itemID, Database& database)
{
    return readLocations(database,
                         QStringLiteral("SELECT ") + locationColumns
                             + QStringLiteral(" FROM files f JOIN sources s ON s.id = f.source_id WHERE f.item_id = ? AND f.quick_hash IS NOT NULL "
                                              "ORDER BY s.added_at"),
                         {itemID});
}
