#pragma once

// The panel's figures of items with a single copy, read from the counts the index keeps of them
// (lone_items, lone_totals) instead of from every file row. Each gives the same answer as the
// query of the same figure over `files` and `items`, or nothing for a view it does not cover; the
// caller then runs that query.

#include "Pellmar/index/Database.h"
#include "Pellmar/index/IndexScope.h"
#include "Pellmar/index/Model.h"

#include <QStringList>

#include <optional>

// The summary of a view of the items not backed up, alone or of one kind, of the whole index or
// of a whole source; nothing for any other view (a folder, a smart group, favorites, a scope).
std::optional<LocationSummary> notBackedUpSummary(Database& db, const ViewFilter& filter);

// The items not backed up with a file inside one of the scope keys. A key of a whole source is
// read from the kept counts; the files of folder keys are read row by row.
qint64 countNotBackedUpInScope(Database& db, const QStringList& keys);
