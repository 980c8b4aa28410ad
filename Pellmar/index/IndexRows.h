#pragma once

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Model.h"

#include <QString>

// Every query that returns items selects the same fourteen columns in the same order, so that
// one reader turns any of their rows into an Item.
inline constexpr int itemColumnCount = 14;

// "id, quick_hash, kind, …, uti".
QString itemColumns();

// The Item of the row the statement stands on. A kind that names no MediaKind reads as a photo;
// a NULL capture date as none.
Item itemFromRow(const Statement& row);

// Inserts the item unless an item holds its content key already; true when it was inserted.
bool insertItem(Database& db, const Item& item);

// Relative paths use "/" between components and have none at either end.
// The path without its last component; "" for a path of one component.
QString parentPath(const QString& relativePath);
// The last component of a path.
QString lastComponent(const QString& relativePath);

// Gives the item of `itemCondition` (the text after "WHERE id = ", with one "?" for `conditionValue`)
// the file name of a copy that was renamed or moved, with the weak id made from that name by SQLite's
// lower(), which folds the ASCII letters only.
void renameItem(Database& db, const QString& filename, const QString& itemCondition, const SqlValue& conditionValue);

// Clean-ups of items that no file row names any more, shared by the write operations. Each looks
// only at the items that the write could have left without files, and finds search rows by rowid
// through the index on the full-text table's item-id column: never a scan of a whole table.

// The one item, with its search row, when no file row names it.
void removeItemIfOrphan(Database& db, const QString& itemID);
// The search row of one item.
void removeSearchRow(Database& db, const QString& itemID);
