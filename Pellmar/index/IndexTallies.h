#pragma once

#include "Pellmar/index/Database.h"

// Counts that the index keeps up to date itself, so that the status counters and the single-copy
// queries read a few rows instead of counting every file. Triggers on `files` and `items` change
// them inside the statement that changes the rows they count, so every write, whichever operation
// makes it, keeps them right, and a write that is rolled back takes its changes to them back too.
//   source_states   files per source and state
//   item_sources    hashed files (the copies) per item and source
//   lone_items      items whose copies all lie on one source, with that source
//   weak_id_counts  items per non-empty weak id
// Makes the tables, their indexes and the triggers that keep them, and counts every table afresh
// from `files` and `items`. Run inside the caller's transaction.
void rebuildTallies(Database& db);
