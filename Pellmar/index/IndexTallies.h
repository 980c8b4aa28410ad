#pragma once

#include "Pellmar/index/Database.h"

// Counts that the index keeps up to date itself, so that the status counters and the single-copy
// queries read a few rows instead of counting every file. Triggers on `files` and `items` change
// them inside the statement that changes the rows they count, so every write, whichever operation
// makes it, keeps them right, and a write that is rolled back takes its changes to them back too.
//   source_states     files per source and state
//   item_sources      hashed files (the copies) per item and source
//   lone_items        items whose copies all lie on one source, with that source, the item's kind
//                     and capture date, and the size and number not on this computer of all the
//                     files that name the item (kind -1 while no item row exists)
//   lone_totals       lone items per source and kind, with their sizes and files not on this computer
//   place_sets        items per kind by the set of sources that hold a file of theirs ("a|b",
//                     source ids in order), so that the items of several sources count once
//   weak_id_sources   items with copies on a source, per source and weak id held by more than one item
//   weak_id_counts    sources holding copies of the items of such a weak id, and its lone items
//   item_renderable   files of an item on this computer or in the photo library
//   preview_progress  one row: the items that qualify for a larger preview, and those finished
//   folder_files      files per source and the folder they lie in ("" at the top of the source)
// and the photo library's tree counts that IndexPhotoTallies.h lists. Each file row also keeps what
// its item holds: item_kind and item_captured_at (NULL while no item row exists), item_copies (the
// item's hashed files on every source) and is_copy (whether the file is one of them).
// Makes the tables (dropping those of an earlier layout), their indexes and the triggers that keep
// them, and counts every table afresh from `files` and `items`. Run inside the caller's transaction.
void rebuildTallies(Database& db);

// An SQL expression for the folder of the path that the expression `path` gives, as parentPath
// takes it: everything before the last "/" ("" without one).
QString folderOfPath(const QString& path);
