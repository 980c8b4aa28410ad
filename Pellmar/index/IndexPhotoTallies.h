#pragma once

#include <QString>

// Counts that the index keeps for the photo library's sidebar tree, so that it reads a few rows
// instead of every asset row. A photo library lists one asset once per album it is in (one file row
// each, with the asset's id in asset_id), and the tree counts distinct assets; rows of a library
// with an empty asset id all count as one asset "" in the groups and as one file each in a folder.
// Only the rows of photo library sources are counted.
//   photo_assets         per source and asset: its rows, those that are favorites, RAW, screenshots
//                        or in an album, its items of kind photo and video, and the latest capture
//                        date of its items (indexed, for the groups that depend on the current time)
//   photo_asset_items    per source, asset and item its rows name: the rows, and the item's kind
//                        and capture date (-1 and NULL while no item row exists)
//   photo_groups         per source: its assets, and those counted by each group: with a favorite
//                        row, with a photo or a video, with a RAW or a screenshot row, in an album
//   photo_folder_assets  per source, folder and non-empty asset id: the asset's rows in or below it
//   photo_folders        per source and folder: the distinct assets in or below it, plus one for
//                        each row in or below it without an asset id (the top of the source, "",
//                        has no row)
// The statements below are run by rebuildTallies with those of the other counts.

// Drops the tables and makes them again empty.
QString photoTallyTables();
// Fills the empty tables from `files` and `items`.
QString photoTallyCounts();
// The indexes, and the triggers on `files` and on the tables themselves that keep the counts. The
// item triggers of the other counts give photo_asset_items the kind and capture date of its items.
QString photoTallyTriggers();
