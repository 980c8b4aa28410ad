#pragma once

// The pieces of SQL that every query over the items of a view is built from: the scope of a
// workspace, the filters of the view, the single-copy test, the full-text search value and
// placeholder lists. Nothing here touches the database.

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <optional>

// Items captured this recently belong to the Recents group of the photo library (90 days).
inline constexpr qint64 recentsSeconds = 7'776'000;
// The media-subtype bit of a screenshot in the photo library.
inline constexpr qint64 screenshotSubtype = 4;

// A piece of SQL text with the values of its "?" parameters, in the order they stand in the text.
struct SqlClause {
    QString text;
    SqlValues values;

    void append(const SqlClause& other)
    {
        text += other.text;
        values.insert(values.end(), other.values.begin(), other.values.end());
    }
};

// A scope key, "source id|path": split at the first "|"; a key without "|" or with an empty path
// means the whole source. Workspace members and pins use the same form.
struct ScopeKey {
    QString sourceID;
    QString path;

    static ScopeKey parse(const QString& key);
};

// The filter inputs of one view of the grid. `smart` and `onlyHere` apply only with a source,
// `scope` only without one; `onlyHere` narrows the grid itself, never its hero items or summary.
// Every member has an initializer, so designated initializers may leave any of them out.
struct ViewFilter {
    std::optional<QString> source = {};
    QString path = {};   // a folder of the source without leading or trailing "/"; empty for all of it
    std::optional<SmartFilter> smart = {};
    std::optional<QString> favoritesWorkspace = {};
    std::optional<QStringList> scope = {};
    bool notBackedUp = false;
    std::optional<MediaKind> kind = {};
    bool onlyHere = false;

    bool operator==(const ViewFilter&) const = default;
};

// Lists of ids are bound one "?" per id, in statements of at most this many ids.
inline constexpr qsizetype idBatchSize = 500;

// Calls `body` with consecutive slices of at most idBatchSize elements of `list`, in order.
template <typename T, typename Body>
void forEachBatch(const QList<T>& list, Body body)
{
    for (qsizetype start = 0; start < list.size(); start += idBatchSize)
        body(list.mid(start, std::min(idBatchSize, list.size() - start)));
}

// The keys of a scope split by what the index keeps of them: the whole sources, each once, and the
// folders of the other sources (a folder of a whole source adds nothing to it).
struct ScopeParts {
    QStringList wholeSources;
    QStringList folderKeys;

    static ScopeParts split(const QStringList& keys);
};

// The files of a source, or of a folder at any depth below it: "source_id = ?" or
// "source_id = ? AND rel_path >= ? AND rel_path < ?" (the folder's path followed by "/" and by "0").
SqlClause folderCondition(const QString& sourceID, const QString& path);

// A condition over `files` that holds inside at least one of the keys; "0 = 1" for no keys.
SqlClause scopeClause(const QStringList& keys);

// The condition over `files` of the view's place: the source or folder with the smart group's
// file condition, or the scope; nothing when the view has no place.
std::optional<SqlClause> placeCondition(const ViewFilter& filter);

// "files", or the index of flagged photo library files when the view's place is a smart group of
// those flags: without it the planner may read every row of the library to find a few flagged ones.
QString filesOfPlace(const ViewFilter& filter);

// " AND id IN (…files WHERE <condition>…)": the items with a file that meets a condition over `files`.
SqlClause itemsWithFileWhere(const SqlClause& filesCondition);

// The text appended to a query whose WHERE condition is over `items`.
SqlClause filterClauses(const ViewFilter& filter);

// How a grid query meets the items with a file in the view's place: `listed` reads those items
// first and sorts them, which suits a small place; `probed` walks the items in the grid's order and
// looks at each one's files, which suits a large place, since a page fills long before the end.
enum class PlaceForm { listed, probed };

// The same items as filterClauses, for a query cut to a page: the place in the given form, and
// the single-copy test made item by item instead of over every file of the index.
SqlClause gridFilterClauses(const ViewFilter& filter, PlaceForm form);

// The condition of the view's only-here filter on its own, used with a source only.
SqlClause onlyHereClause(const QString& sourceID, const QString& path);

// Items whose every copy lies in one source, unless another copy of the same picture is known.
// Read from the index's kept counts of copies per item (lone_items) and of items per weak id.
QString loneCopyClause();

// The sources whose lone items are single copies: all but a photo library while any of its assets
// is not on this computer (a copy may then exist only in the cloud).
QString loneCopySources();

// The lone items, with their source, that a twin (an item with the same weak id) has a copy of on
// another source: probably the same picture, so no single copy. Since a lone item's own copies lie
// on its one source, these are the lone items whose weak id has copies on more than one source;
// only the weak ids with both are read.
QString twinnedLoneItems();

// The FTS5 value for the search text: each word as a quoted prefix phrase; nothing without words.
std::optional<QString> matchQuery(const QString& searchText);

// " AND id IN (SELECT item_id FROM search WHERE search MATCH ?)".
QString searchCondition();

// The same condition as searchCondition for a large set of matches: each item's search row is
// looked up in the matching rows.
QString searchProbe();

// "?, ?, …" with n question marks (n >= 1).
QString placeholders(qsizetype count);

// "(?, ?, …)" for the list, also for an empty one; the values are appended to `values`.
QString valueList(const QStringList& list, SqlValues& values);

// The order of folder names in the sidebar trees: like a file browser, case-insensitive, with
// runs of digits compared by value.
bool treeNameLess(const QString& left, const QString& right);
