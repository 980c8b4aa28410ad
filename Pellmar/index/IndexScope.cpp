#include "Pellmar/index/IndexScope.h"

#include <QCollator>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

namespace {

SqlClause smartFileCondition(SmartFilter smart)
{
    switch (smart) {
    case SmartFilter::favorites:
        return {QStringLiteral(" AND favorite = 1"), {}};
    case SmartFilter::raw:
        return {QStringLiteral(" AND raw = 1"), {}};
    case SmartFilter::screenshots:
        return {QStringLiteral(" AND (subtype & ") + QString::number(screenshotSubtype) + QStringLiteral(") != 0"), {}};
    case SmartFilter::albums:
        return {QStringLiteral(" AND instr(rel_path, '/') > 0"), {}};
    case SmartFilter::recents:
    case SmartFilter::photos:
    case SmartFilter::videos:
        break;
    }
    return {};
}

SqlClause smartItemCondition(SmartFilter smart)
{
    switch (smart) {
    case SmartFilter::recents: {
        const double since = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - double(recentsSeconds);
        return {QStringLiteral(" AND captured_at >= ?"), {since}};
    }
    case SmartFilter::photos:
        return {QStringLiteral(" AND kind = ") + QString::number(rawValue(MediaKind::photo)), {}};
    case SmartFilter::videos:
        return {QStringLiteral(" AND kind = ") + QString::number(rawValue(MediaKind::video)), {}};
    case SmartFilter::favorites:
    case SmartFilter::raw:
    case SmartFilter::screenshots:
    case SmartFilter::albums:
        break;
    }
    return {};
}

} // namespace

ScopeKey ScopeKey::parse(const QString& key)
{
    const qsizetype bar = key.indexOf(u'|');
    if (bar < 0)
        return {key, {}};
    return {key.left(bar), key.mid(bar + 1)};
}

ScopeParts ScopeParts::split(const QStringList& keys)
{
    ScopeParts parts;
    QStringList folders;
    for (const QString& key : keys) {
        const ScopeKey parsed = ScopeKey::parse(key);
        if (!parsed.path.isEmpty())
            folders.append(key);
        else if (!parts.wholeSources.contains(parsed.sourceID))
            parts.wholeSources.append(parsed.sourceID);
    }
    for (const QString& key : folders) {
        if (!parts.wholeSources.contains(ScopeKey::parse(key).sourceID))
            parts.folderKeys.append(key);
    }
    return parts;
}

SqlClause folderCondition(const QString& sourceID, const QString& path)
{
    if (path.isEmpty())
        return {QStringLiteral("source_id = ?"), {sourceID}};
    // "0" follows "/" in code order: the range holds every path below the folder and nothing else.
    return {QStringLiteral("source_id = ? AND rel_path >= ? AND rel_path < ?"),
            {sourceID, path + u'/', path + u'0'}};
}

SqlClause scopeClause(const QStringList& keys)
{
    if (keys.isEmpty())
        return {QStringLiteral("0 = 1"), {}};
    SqlClause clause{QStringLiteral("("), {}};
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (i > 0)
            clause.text += QStringLiteral(" OR ");
        const ScopeKey key = ScopeKey::parse(keys[i]);
        const SqlClause part = folderCondition(key.sourceID, key.path);
        if (key.path.isEmpty())
            clause.append(part);
        else
            clause.append({u'(' + part.text + u')', part.values});
    }
    clause.text += u')';
    return clause;
}

SqlClause itemsWithFileWhere(const SqlClause& filesCondition)
{
    SqlClause clause{QStringLiteral(" AND id IN (SELECT item_id FROM files WHERE "), {}};
    clause.append(filesCondition);
    clause.text += QStringLiteral(" AND item_id IS NOT NULL)");
    return clause;
}

SqlClause onlyHereClause(const QString& sourceID, const QString& path)
{
    SqlClause clause{QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM files AS other WHERE other.item_id = items.id AND "
                                    "other.quick_hash IS NOT NULL AND NOT ("),
                     {}};
    clause.append(folderCondition(sourceID, path));
    clause.text += QStringLiteral("))");
    return clause;
}

std::optional<SqlClause> placeCondition(const ViewFilter& filter)
{
    if (filter.source) {
        SqlClause files = folderCondition(*filter.source, filter.path);
        if (filter.smart)
            files.append(smartFileCondition(*filter.smart));
        return files;
    }
    if (filter.scope)
        return scopeClause(*filter.scope);
    return std::nullopt;
}

QString filesOfPlace(const ViewFilter& filter)
{
    const bool flagged = filter.source && filter.smart
        && (*filter.smart == SmartFilter::favorites || *filter.smart == SmartFilter::raw || *filter.smart == SmartFilter::screenshots);
    return flagged ? QStringLiteral("files INDEXED BY files_photo_flags") : QStringLiteral("files");
}

namespace {

// " AND EXISTS (…files of this item WHERE <condition>)": the same items as itemsWithFileWhere, found
// by looking at each item's own files.
SqlClause itemHasFileWhere(const SqlClause& filesCondition)
{
    SqlClause clause{QStringLiteral(" AND EXISTS (SELECT 1 FROM files INDEXED BY files_item_place WHERE item_id = "
                                    "items.id AND "),
                     {}};
    clause.append(filesCondition);
    clause.text += u')';
    return clause;
}

SqlClause filterClauses(const ViewFilter& filter, PlaceForm form, const QString& loneCopy)
{
    const auto place = form == PlaceForm::listed ? itemsWithFileWhere : itemHasFileWhere;
    SqlClause clause;
    if (filter.favoritesWorkspace)
        clause.append({QStringLiteral(" AND (id IN (SELECT item_id FROM favorites WHERE workspace_id = ?) OR id IN "
                                      "(SELECT item_id FROM files WHERE asset_id != '' AND favorite = 1 AND item_id IS NOT NULL))"),
                       {*filter.favoritesWorkspace}});
    if (filter.kind)
        clause.text += QStringLiteral(" AND kind = ") + QString::number(rawValue(*filter.kind));
    if (filter.notBackedUp)
        clause.text += loneCopy;

    if (const std::optional<SqlClause> files = placeCondition(filter))
        clause.append(place(*files));
    if (filter.source && filter.smart)
        clause.append(smartItemCondition(*filter.smart));
    if (filter.source && filter.onlyHere)
        clause.append(onlyHereClause(*filter.source, filter.path));
    return clause;
}

// The single-copy test of loneCopyClause, made on each item's own files: the smallest and the
// largest source of its files are one (an item without files has neither), and a twin with a
// copy elsewhere implies that its weak id is held by more than one item.
QString loneCopyProbe()
{
    const QString loneSource =
        QStringLiteral("(SELECT MIN(source_id) FROM files WHERE item_id = items.id AND quick_hash IS NOT NULL)");
    return QStringLiteral(" AND ") + loneSource
        + QStringLiteral(" = (SELECT MAX(source_id) FROM files WHERE item_id = items.id AND quick_hash IS NOT NULL) AND NOT (")
        + loneSource
        + QStringLiteral(" IN (SELECT id FROM sources WHERE kind = 1) AND EXISTS (SELECT 1 FROM files WHERE asset_id != '' "
                         "AND local = 0)) AND NOT (items.weak_id != '' AND EXISTS (SELECT 1 FROM items AS twin JOIN files "
                         "AS copy ON copy.item_id = twin.id WHERE twin.weak_id = items.weak_id AND twin.id != items.id AND "
                         "copy.quick_hash IS NOT NULL AND copy.source_id != ")
        + loneSource + QStringLiteral("))");
}

} // namespace

SqlClause filterClauses(const ViewFilter& filter)
{
    return filterClauses(filter, PlaceForm::listed, loneCopyClause());
}

SqlClause gridFilterClauses(const ViewFilter& filter, PlaceForm form)
{
    return filterClauses(filter, form, loneCopyProbe());
}

QString loneCopySources()
{
    return QStringLiteral("SELECT id FROM sources WHERE NOT (kind = 1 AND EXISTS (SELECT 1 FROM files WHERE asset_id != '' "
                          "AND local = 0))");
}

QString twinnedLoneItems()
{
    return QStringLiteral(
        "SELECT lone.item_id, lone.source_id FROM weak_id_counts AS shared CROSS JOIN items AS mine ON mine.weak_id = "
        "shared.weak_id CROSS JOIN lone_items AS lone ON lone.item_id = mine.id WHERE shared.sources > 1 AND shared.lone > 0");
}

QString loneCopyClause()
{
    return QStringLiteral(" AND id IN (SELECT item_id FROM lone_items WHERE source_id IN (") + loneCopySources()
        + QStringLiteral(") AND item_id NOT IN (SELECT item_id FROM (") + twinnedLoneItems() + QStringLiteral(")))");
}

std::optional<QString> matchQuery(const QString& searchText)
{
    // A word is a run of user-perceived characters (grapheme clusters) whose first scalar is
    // alphabetic or numeric; every other character separates words. Case and diacritics stay:
    // the search table's tokenizer folds both.
    static const QRegularExpression word(QStringLiteral("(?:(?=[\\p{Alphabetic}\\p{N}])\\X)+"));
    QStringList phrases;
    for (auto match = word.globalMatch(searchText); match.hasNext();)
        phrases.append(u'"' + match.next().captured() + QStringLiteral("\"*"));
    if (phrases.isEmpty())
        return std::nullopt;
    return phrases.join(u' ');
}

QString searchCondition()
{
    return QStringLiteral(" AND id IN (SELECT item_id FROM search WHERE search MATCH ?)");
}

QString searchProbe()
{
    // The unary "+" keeps the matching rows a set to look each row id up in, rather than a list
    // to walk for every item.
    return QStringLiteral(" AND EXISTS (SELECT 1 FROM search_content INDEXED BY search_item WHERE c0 = items.id AND +id "
                          "IN (SELECT rowid FROM search WHERE search MATCH ?))");
}

QString placeholders(qsizetype count)
{
    QString text = QStringLiteral("?");
    for (qsizetype i = 1; i < count; ++i)
        text += QStringLiteral(", ?");
    return text;
}

QString valueList(const QStringList& list, SqlValues& values)
{
    for (const QString& value : list)
        values.emplace_back(value);
    return list.isEmpty() ? QStringLiteral("()") : u'(' + placeholders(list.size()) + u')';
}

bool treeNameLess(const QString& left, const QString& right)
{
    thread_local const QCollator collator = [] {
        // The C locale collates by code point and ignores both settings below; sort as English then.
        const QLocale system = QLocale::system();
        QCollator made(system.language() == QLocale::C ? QLocale(QLocale::English) : system);
        made.setNumericMode(true);
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    return collator.compare(left, right) < 0;
}
