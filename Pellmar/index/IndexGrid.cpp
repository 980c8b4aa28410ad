#include "Pellmar/index/Index.h"

#include "Pellmar/index/IndexRows.h"

namespace {

QString orderText(SortField sort, bool ascending)
{
    const QString direction = ascending ? QStringLiteral("ASC") : QStringLiteral("DESC");
    switch (sort) {
    case SortField::name:
        return QStringLiteral("filename COLLATE NOCASE ") + direction + QStringLiteral(", id");
    case SortField::kind:
        return QStringLiteral("kind ") + direction + QStringLiteral(", captured_at DESC, modified_at DESC");
    case SortField::captured:
        // Items without a capture date come last in both directions.
        return ascending ? QStringLiteral("captured_at ASC NULLS LAST, modified_at DESC")
                         : QStringLiteral("captured_at DESC, modified_at DESC");
    case SortField::modified:
        return QStringLiteral("modified_at ") + direction;
    case SortField::added:
        return QStringLiteral("added_at ") + direction + QStringLiteral(", created_at ") + direction;
    }
    Q_UNREACHABLE();
    return {};
}

QList<Item> readItems(Database& database, const SqlClause& query)
{
    Statement statement(database.db(), query.text);
    statement.bind(query.values);
    QList<Item> items;
    while (statement.step())
        items.append(itemFromRow(statement));
    return items;
}

// From this many rows on, a set is met by walking the items in the grid's order and probing each
// one; below it, the set is read first. Around this size both ways take about as long.
constexpr qint64 walkFrom = 10000;

// Whether the statement `rows` yields at least `count` rows; it reads no more than that many.
bool hasAtLeast(Database& database, const SqlClause& rows, qint64 count)
{
    SqlClause query{QStringLiteral("SELECT COUNT(*) FROM (") + rows.text + QStringLiteral(" LIMIT ?)"), rows.values};
    query.values.push_back(count);
    Statement statement(database.db(), query.text);
    statement.bind(query.values);
    return statement.step() && statement.int64(0) >= count;
}

PlaceForm placeForm(Database& database, const ViewFilter& filter)
{
    const std::optional<SqlClause> place = placeCondition(filter);
    if (!place)
        return PlaceForm::listed;
    SqlClause files{QStringLiteral("SELECT 1 FROM ") + filesOfPlace(filter) + QStringLiteral(" WHERE "), {}};
    files.append(*place);
    return hasAtLeast(database, files, walkFrom) ? PlaceForm::probed : PlaceForm::listed;
}

} // namespace

QList<Item> Index::items(const QString& searchText, const ViewFilter& filter, SortField sort, bool ascending,
                         qint64 limit)
{
    SqlClause query{QStringLiteral("SELECT ") + itemColumns() + QStringLiteral(" FROM items WHERE 1 = 1"), {}};
    if (const std::optional<QString> match = matchQuery(searchText)) {
        const bool manyMatches =
            hasAtLeast(db_, {QStringLiteral("SELECT 1 FROM search WHERE search MATCH ?"), {*match}}, walkFrom);
        query.append({manyMatches ? searchProbe() : searchCondition(), {*match}});
    }
    query.append(gridFilterClauses(filter, placeForm(db_, filter)));
    query.append({QStringLiteral(" ORDER BY ") + orderText(sort, ascending) + QStringLiteral(" LIMIT ?"), {limit}});
    return readItems(db_, query);
}

QList<Item> Index::heroItems(const ViewFilter& filter)
{
    ViewFilter place = filter;
    place.onlyHere = false;
    SqlClause query{QStringLiteral("SELECT ") + itemColumns()
                        + QStringLiteral(" FROM items WHERE (preview_ext != '' OR poster_ext != '' OR proxy_ext = 'heic')"),
                    {}};
    query.append(gridFilterClauses(place, placeForm(db_, place)));
    query.text += QStringLiteral(" ORDER BY captured_at DESC, modified_at DESC LIMIT 6");
    return readItems(db_, query);
}

QSet<QString> Index::knownHashes(const QStringList& quickHashes)
{
    QSet<QString> known;
    forEachBatch(quickHashes, [&](const QStringList& batch) {
        Statement statement(db_.db(), QStringLiteral("SELECT quick_hash FROM items WHERE quick_hash IN (")
                                          + placeholders(batch.size()) + u')');
        statement.bind(SqlValues(batch.begin(), batch.end()));
        while (statement.step())
            known.insert(statement.text(0));
    });
    return known;
}
