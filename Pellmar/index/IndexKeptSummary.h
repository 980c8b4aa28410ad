#pragma once

// The panel's summaries of places that the index keeps totals for, read from those totals
// instead of from every file row. Each gives the same answer as the query of the same summary
// over `files` and `items`, or nothing for a view it does not cover; the caller then runs that query.

#include "Pellmar/index/Database.h"
#include "Pellmar/index/IndexScope.h"
#include "Pellmar/index/Model.h"

#include <optional>

// The summary of everything, alone or of one kind; nothing for a view of a place, of favorites or
// of the items not backed up.
std::optional<LocationSummary> wholeIndexSummary(Database& db, const ViewFilter& filter);

// The summary of a whole source, alone or of one kind; nothing for a folder, a smart group, favorites
// or the items not backed up.
std::optional<LocationSummary> wholeSourceSummary(Database& db, const ViewFilter& filter);
