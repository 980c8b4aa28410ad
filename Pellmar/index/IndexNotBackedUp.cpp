#include "Pellmar/index/IndexNotBackedUp.h"

#include <QHash>
#include <QSet>

#include <map>

namespace {

QStringList column(Database& db, const QString& sql, const SqlValues& values = {})
{
    Statement statement(db.db(), sql);
    statement.bind(values);
    QStringList texts;
    while (statement.step())
        texts.append(statement.text(0));
    return texts;
}

// A lone item that a twin on another source keeps from being a single copy.
struct TwinnedItem {
    QString sourceID;
    qint64 kind = 0;
    qint64 size = 0;
    qint64 notLocal = 0;
};

// What the single copies hold that the panel shows: the kept lone items of the counted sources
// less the twinned ones, with the answers of the few rows that need reading one by one.
struct LoneItems {
    QStringList sources;   // the sources whose lone items are single copies
    QHash<QString, TwinnedItem> twinned;

    explicit LoneItems(Database& db)
        : sources(column(db, loneCopySources()))
    {
        Statement rows(db.db(), QStringLiteral("SELECT l.item_id, l.source_id, l.kind, l.size, l.not_local FROM lone_items AS l "
                                               "WHERE l.item_id IN (SELECT item_id FROM (")
                                    + twinnedLoneItems() + QStringLiteral("))"));
        while (rows.step())
            twinned.insert(rows.text(0), {rows.text(1), rows.int64(2), rows.int64(3), rows.int64(4)});
    }

    bool counts(const QString& sourceID) const { return sources.contains(sourceID); }
    bool isSingleCopy(const QString& itemID, const QString& sourceID) const
    {
        return counts(sourceID) && !twinned.contains(itemID);
    }
};

// The figures of one kind (by its stored value).
struct KindFigures {
    qint64 items = 0;
    qint64 size = 0;
    qint64 notLocal = 0;
    std::optional<double> earliest;
    std::optional<double> latest;

    void widen(std::optional<double> captured)
    {
        if (!captured)
            return;
        if (!earliest || *captured < *earliest)
            earliest = captured;
        if (!latest || *captured > *latest)
            latest = captured;
    }
};

using Figures = std::map<qint64, KindFigures>;

// Adds the kept totals of the source's single copies, of one kind or of all, to `figures`.
void addSourceTotals(Database& db, const LoneItems& lone, const QString& sourceID, std::optional<MediaKind> kind,
                     Figures& figures)
{
    Statement totals(db.db(), QStringLiteral("SELECT kind, items, size, not_local FROM lone_totals WHERE source_id = ? AND "
                                             "kind >= 0 AND (? IS NULL OR kind = ?)"));
    const SqlValue kindValue = kind ? SqlValue(rawValue(*kind)) : SqlValue();
    totals.bind({sourceID, kindValue, kindValue});
    while (totals.step()) {
        KindFigures& of = figures[totals.int64(0)];
        of.items += totals.int64(1);
        of.size += totals.int64(2);
        of.notLocal += totals.int64(3);
    }
    for (const TwinnedItem& twin : lone.twinned) {
        if (twin.sourceID != sourceID || twin.kind < 0 || (kind && twin.kind != rawValue(*kind)))
            continue;
        KindFigures& of = figures[twin.kind];
        of.items -= 1;
        of.size -= twin.size;
        of.notLocal -= twin.notLocal;
    }
    // The first and the last capture date of each kind: the kept rows in date order, passing over
    // the twinned items.
    for (auto& [kindValue, of] : figures) {
        for (const char* order : {"ASC", "DESC"}) {
            Statement dates(db.db(), QStringLiteral("SELECT item_id, captured_at FROM lone_items WHERE source_id = ? AND kind "
                                                    "= ? AND captured_at IS NOT NULL ORDER BY captured_at %1")
                                         .arg(QLatin1String(order)));
            dates.bind({sourceID, kindValue});
            while (dates.step()) {
                if (!lone.twinned.contains(dates.text(0))) {
                    of.widen(dates.real(1));
                    break;
                }
            }
        }
    }
}

} // namespace

std::optional<LocationSummary> notBackedUpSummary(Database& db, const ViewFilter& filter)
{
    const bool wholeSource = filter.source && filter.path.isEmpty() && !filter.smart;
    if (!filter.notBackedUp || filter.favoritesWorkspace || (filter.source && !wholeSource) || (!filter.source && filter.scope))
        return std::nullopt;

    ReadSnapshot snapshot(db);
    const LoneItems lone(db);
    Figures figures;
    LocationSummary summary;

    if (!filter.source) {
        for (const QString& sourceID : lone.sources)
            addSourceTotals(db, lone, sourceID, filter.kind, figures);
    } else {
        // The source's own single copies: all their files count but those outside the source,
        // which are files reset by a change (a copy elsewhere would make the item no single copy).
        const QString& place = *filter.source;
        if (lone.counts(place))
            addSourceTotals(db, lone, place, filter.kind, figures);
        for (const auto& [kindValue, of] : figures)
            summary.onlyHere += of.items;
        // Single copies elsewhere that still have a reset file in the source are in its view too,
        // with the files they have there.
        Statement resets(db.db(), QStringLiteral("SELECT f.source_id, f.size, f.local, l.item_id, l.source_id, l.kind, l.captured_at "
                                                 "FROM files AS f JOIN lone_items AS l ON l.item_id = "
                                                 "f.item_id WHERE f.quick_hash IS NULL AND f.item_id IS NOT NULL AND l.kind >= 0"));
        QSet<QString> visitors;
        while (resets.step()) {
            const QString fileSource = resets.text(0);
            const QString itemID = resets.text(3);
            const QString loneSource = resets.text(4);
            const qint64 kindValue = resets.int64(5);
            if (!lone.isSingleCopy(itemID, loneSource) || (filter.kind && kindValue != rawValue(*filter.kind)))
                continue;
            const qint64 sign = loneSource == place && fileSource != place ? -1 : loneSource != place && fileSource == place ? 1 : 0;
            if (sign == 0)
                continue;
            KindFigures& of = figures[kindValue];
            of.size += sign * resets.int64(1);
            of.notLocal += sign * (resets.boolean(2) ? 0 : 1);
            if (sign > 0 && !visitors.contains(itemID)) {
                visitors.insert(itemID);
                of.items += 1;
                of.widen(resets.optionalReal(6));
            }
        }
    }

    for (const auto& [kindValue, of] : figures) {
        if (of.items == 0)
            continue;
        if (const std::optional<MediaKind> kind = mediaKindFromRawValue(kindValue))
            summary.count(*kind) = of.items;
        if (of.earliest && (!summary.earliest || *of.earliest < *summary.earliest))
            summary.earliest = of.earliest;
        if (of.latest && (!summary.latest || *of.latest > *summary.latest))
            summary.latest = of.latest;
        summary.size += of.size;
        summary.notLocal += of.notLocal;
        if (kindValue == rawValue(MediaKind::document))
            summary.documentSize += of.size;
    }
    return summary;
}

qint64 countNotBackedUpInScope(Database& db, const QStringList& keys)
{
    ReadSnapshot snapshot(db);
    const LoneItems lone(db);
    const auto [wholeSources, folderKeys] = ScopeParts::split(keys);

    qint64 count = 0;
    for (const QString& sourceID : wholeSources) {
        if (!lone.counts(sourceID))
            continue;
        Statement items(db.db(), QStringLiteral("SELECT COALESCE(SUM(items), 0) FROM lone_totals WHERE source_id = ? AND kind >= 0"));
        items.bind({sourceID});
        if (items.step())
            count += items.int64(0);
        for (const TwinnedItem& twin : lone.twinned)
            count -= twin.sourceID == sourceID && twin.kind >= 0 ? 1 : 0;
    }

    // Single copies on a source outside the scope with a file inside it: a reset file on one of
    // the whole sources, or any file in one of the folders. The unary "+" keeps the reset files
    // read from their own small index rather than from every file of the sources.
    SqlClause inside{QStringLiteral("SELECT DISTINCT l.item_id, l.source_id FROM (SELECT item_id FROM files WHERE quick_hash IS "
                                    "NULL AND item_id IS NOT NULL AND +source_id IN "),
                     {}};
    inside.text += valueList(wholeSources, inside.values);
    if (!folderKeys.isEmpty()) {
        inside.text += QStringLiteral(" UNION ALL SELECT item_id FROM files WHERE item_id IS NOT NULL AND ");
        inside.append(scopeClause(folderKeys));
    }
    inside.text += QStringLiteral(") AS v CROSS JOIN lone_items AS l ON l.item_id = v.item_id WHERE l.kind >= 0 AND "
                                  "l.source_id NOT IN ");
    inside.text += valueList(wholeSources, inside.values);
    Statement visitors(db.db(), inside.text);
    visitors.bind(inside.values);
    while (visitors.step())
        count += lone.isSingleCopy(visitors.text(0), visitors.text(1)) ? 1 : 0;
    return count;
}
