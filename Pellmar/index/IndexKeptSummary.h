#pragma once

// The panel's summaries of places that the index keeps totals for, read from those totals
// instead of from every file row. Each gives the same answer as the query of the same summary
// over `files` and `items`, or nothing for a view it does not cover; the caller then runs that query.

#include "Pellmar/index/Database.h"
#include "Pellmar/index/IndexScope.h"
#include "Pellmar/index/Model.h"

#include <QStringList>

#include <optional>

// The summary of everything, alone or of one kind; nothing for a view of a place, of favorites or
// of the items not backed up.
std::optional<LocationSummary> wholeIndexSummary(Database& db, const ViewFilter& filter);

// The summary of a whole source, alone or of one kind; nothing for a folder, a smart group, favorites
// or the items not backed up.
std::optional<LocationSummary> wholeSourceSummary(Database& db, const ViewFilter& filter);

// The summary of a folder of a source, alone or of one kind, from what its files keep of their
// items; nothing for a whole source, a smart group, favorites or the items not backed up.
std::optional<LocationSummary> folderSummary(Database& db, const ViewFilter& filter);

// The summary of a workspace's scope, alone or of one kind: the kept totals of its whole sources,
// their items counted once however many of them hold an item, and the files of its folders on
// other sources read one by one; nothing for favorites or the items not backed up.
std::optional<LocationSummary> scopeSummary(Database& db, const ViewFilter& filter);

// The summary of a workspace's favorites, of everything or of its scope, alone or of one kind,
// from the favorites' own items and the kept places of each; nothing for a source's view or the
// items not backed up.
std::optional<LocationSummary> favoritesSummary(Database& db, const ViewFilter& filter);

// The favorites of a workspace, of everything or with a file inside one of the scope keys.
qint64 countFavoritesInScope(Database& db, const QString& workspaceID, const std::optional<QStringList>& keys);

// The items with a file inside one of the scope keys, each once.
qint64 countItemsInScope(Database& db, const QStringList& keys);
