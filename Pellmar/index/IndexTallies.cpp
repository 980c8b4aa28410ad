#include "Pellmar/index/IndexTallies.h"

#include "Pellmar/index/IndexPhotoTallies.h"

#include <QStringList>

namespace {

// Every table is made again, so that a change of their layout needs no step of its own.
const QString tables = QStringLiteral(R"(
DROP TABLE IF EXISTS source_states;
DROP TABLE IF EXISTS item_sources;
DROP TABLE IF EXISTS lone_items;
DROP TABLE IF EXISTS lone_counts;
DROP TABLE IF EXISTS lone_totals;
DROP TABLE IF EXISTS kind_totals;
DROP TABLE IF EXISTS item_places;
DROP TABLE IF EXISTS place_totals;
DROP TABLE IF EXISTS place_sets;
DROP TABLE IF EXISTS weak_id_sources;
DROP TABLE IF EXISTS weak_id_counts;
DROP TABLE IF EXISTS item_renderable;
DROP TABLE IF EXISTS preview_progress;
DROP TABLE IF EXISTS folder_files;
CREATE TABLE source_states (source_id TEXT NOT NULL, state INTEGER NOT NULL, files INTEGER NOT NULL,
  PRIMARY KEY (source_id, state)) WITHOUT ROWID;
CREATE TABLE item_sources (item_id TEXT NOT NULL, source_id TEXT NOT NULL, files INTEGER NOT NULL,
  PRIMARY KEY (item_id, source_id)) WITHOUT ROWID;
CREATE TABLE lone_items (item_id TEXT NOT NULL PRIMARY KEY, source_id TEXT NOT NULL, kind INTEGER NOT NULL,
  captured_at REAL, size INTEGER NOT NULL, not_local INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE lone_totals (source_id TEXT NOT NULL, kind INTEGER NOT NULL, items INTEGER NOT NULL, size INTEGER NOT NULL,
  not_local INTEGER NOT NULL, PRIMARY KEY (source_id, kind)) WITHOUT ROWID;
CREATE TABLE kind_totals (kind INTEGER NOT NULL PRIMARY KEY, items INTEGER NOT NULL, size INTEGER NOT NULL,
  not_local INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE item_places (item_id TEXT NOT NULL, source_id TEXT NOT NULL, files INTEGER NOT NULL, size INTEGER NOT NULL,
  not_local INTEGER NOT NULL, kind INTEGER NOT NULL, captured_at REAL, PRIMARY KEY (item_id, source_id)) WITHOUT ROWID;
CREATE TABLE place_totals (source_id TEXT NOT NULL, kind INTEGER NOT NULL, items INTEGER NOT NULL, size INTEGER NOT NULL,
  not_local INTEGER NOT NULL, PRIMARY KEY (source_id, kind)) WITHOUT ROWID;
CREATE TABLE place_sets (sources TEXT NOT NULL, kind INTEGER NOT NULL, items INTEGER NOT NULL,
  PRIMARY KEY (sources, kind)) WITHOUT ROWID;
CREATE TABLE weak_id_sources (weak_id TEXT NOT NULL, source_id TEXT NOT NULL, items INTEGER NOT NULL,
  PRIMARY KEY (weak_id, source_id)) WITHOUT ROWID;
CREATE TABLE weak_id_counts (weak_id TEXT NOT NULL PRIMARY KEY, sources INTEGER NOT NULL, lone INTEGER NOT NULL)
  WITHOUT ROWID;
CREATE TABLE item_renderable (item_id TEXT NOT NULL PRIMARY KEY, files INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE preview_progress (id INTEGER PRIMARY KEY CHECK (id = 0), total INTEGER NOT NULL, done INTEGER NOT NULL);
CREATE TABLE folder_files (source_id TEXT NOT NULL, folder TEXT NOT NULL, files INTEGER NOT NULL,
  PRIMARY KEY (source_id, folder)) WITHOUT ROWID;
)");


// A file is a copy of its item while it names an item and has a hash; it can be rendered from
// while it is on this computer or is a photo library asset.
const QString counts = QStringLiteral(R"(
INSERT INTO source_states (source_id, state, files) SELECT source_id, state, COUNT(*) FROM files GROUP BY source_id, state;
INSERT INTO item_sources (item_id, source_id, files) SELECT item_id, source_id, COUNT(*) FROM files
  WHERE item_id IS NOT NULL AND quick_hash IS NOT NULL GROUP BY item_id, source_id;
INSERT INTO lone_items (item_id, source_id, kind, captured_at, size, not_local)
  SELECT l.item_id, l.source_id, COALESCE(i.kind, -1), i.captured_at, COALESCE(t.size, 0), COALESCE(t.not_local, 0)
  FROM (SELECT item_id, MIN(source_id) AS source_id FROM item_sources GROUP BY item_id HAVING COUNT(*) = 1) AS l
  LEFT JOIN items AS i ON i.id = l.item_id
  LEFT JOIN (SELECT item_id, SUM(size) AS size, SUM(local = 0) AS not_local FROM files WHERE item_id IS NOT NULL
    GROUP BY item_id) AS t ON t.item_id = l.item_id;
INSERT INTO lone_totals (source_id, kind, items, size, not_local)
  SELECT source_id, kind, COUNT(*), SUM(size), SUM(not_local) FROM lone_items GROUP BY source_id, kind;
INSERT INTO kind_totals (kind, items, size, not_local)
  SELECT i.kind, COUNT(*), COALESCE(SUM(t.size), 0), COALESCE(SUM(t.not_local), 0) FROM items AS i
  LEFT JOIN (SELECT item_id, SUM(size) AS size, SUM(local = 0) AS not_local FROM files WHERE item_id IS NOT NULL
    GROUP BY item_id) AS t ON t.item_id = i.id GROUP BY i.kind;
INSERT INTO item_places (item_id, source_id, files, size, not_local, kind, captured_at)
  SELECT f.item_id, f.source_id, COUNT(*), SUM(f.size), SUM(f.local = 0), COALESCE(i.kind, -1), i.captured_at
  FROM files AS f LEFT JOIN items AS i ON i.id = f.item_id WHERE f.item_id IS NOT NULL GROUP BY f.item_id, f.source_id;
INSERT INTO place_totals (source_id, kind, items, size, not_local)
  SELECT source_id, kind, COUNT(*), SUM(size), SUM(not_local) FROM item_places GROUP BY source_id, kind;
INSERT INTO place_sets (sources, kind, items) SELECT sources, kind, COUNT(*) FROM (SELECT item_id,
  group_concat(source_id, '|') AS sources, MIN(kind) AS kind FROM (SELECT item_id, source_id, kind FROM item_places
  ORDER BY item_id, source_id) GROUP BY item_id) GROUP BY sources, kind;
INSERT INTO weak_id_sources (weak_id, source_id, items) SELECT i.weak_id, s.source_id, COUNT(*) FROM item_sources s
  JOIN items i ON i.id = s.item_id WHERE i.weak_id IN (SELECT weak_id FROM items WHERE weak_id != '' GROUP BY weak_id
  HAVING COUNT(*) > 1) GROUP BY i.weak_id, s.source_id;
INSERT INTO weak_id_counts (weak_id, sources, lone) SELECT weak_id, COUNT(*), 0 FROM weak_id_sources GROUP BY weak_id;
UPDATE weak_id_counts SET lone = l.items FROM (SELECT i.weak_id, COUNT(*) AS items FROM lone_items l JOIN items i
  ON i.id = l.item_id WHERE i.weak_id != '' GROUP BY i.weak_id) AS l WHERE l.weak_id = weak_id_counts.weak_id;
INSERT INTO item_renderable (item_id, files) SELECT item_id, COUNT(*) FROM files
  WHERE item_id IS NOT NULL AND (local = 1 OR asset_id != '') GROUP BY item_id;
INSERT INTO preview_progress (id, total, done) SELECT 0, COUNT(*), COALESCE(SUM(proxy_ext != '' OR full_error IS NOT NULL), 0)
  FROM items WHERE kind IN (0, 1, 3) AND id IN (SELECT item_id FROM item_renderable);
INSERT INTO folder_files (source_id, folder, files) SELECT source_id, %1, COUNT(*) FROM files GROUP BY 1, 2;
)").arg(folderOfPath(QStringLiteral("files.rel_path")));

// Records the candidate lone items (columns item_id and source_id) with their item's kind and
// capture date (-1 and NULL while the item row is missing) and what all files naming the item add up to.
QString insertLoneItem(const QString& candidates)
{
    return QStringLiteral("INSERT INTO lone_items (item_id, source_id, kind, captured_at, size, not_local) SELECT c.item_id, "
                          "c.source_id, COALESCE(i.kind, -1), i.captured_at, (SELECT COALESCE(SUM(size), 0) FROM files WHERE "
                          "item_id = c.item_id), (SELECT COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = c.item_id) "
                          "FROM (%1) AS c LEFT JOIN items AS i ON i.id = c.item_id")
        .arg(candidates);
}

// Adds up again the files of the lone items among `itemIDs`, after one of their files changed.
QString resizeLoneItems(const QString& itemIDs)
{
    return QStringLiteral("UPDATE lone_items SET size = (SELECT COALESCE(SUM(size), 0) FROM files WHERE item_id = "
                          "lone_items.item_id), not_local = (SELECT COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = "
                          "lone_items.item_id) WHERE item_id IN (%1)")
        .arg(itemIDs);
}

// The set of sources that hold a file of an item, as place_sets keys it: the source ids that
// `sources` selects, in order, joined by "|" (NULL for none).
QString sourcesOfItem(const QString& sources)
{
    return QStringLiteral("(SELECT group_concat(source_id, '|') FROM (%1 ORDER BY 1))").arg(sources);
}

// Counts the weak id that the expression `weakID` gives afresh: its rows go, and come back only while
// more than one item holds it. A weak id of a single item can never mark a lone item as twinned (its
// item is either lone, on one source, or on several sources and not lone), so such weak ids, nearly
// all of them, keep no rows, and adding an item whose weak id no other item holds writes none.
QString retallyWeakID(const QString& weakID)
{
    return QStringLiteral("DELETE FROM weak_id_sources WHERE weak_id = %1; INSERT INTO weak_id_sources (weak_id, source_id, "
                          "items) SELECT %1, s.source_id, COUNT(*) FROM items AS i JOIN item_sources AS s ON s.item_id = i.id "
                          "WHERE i.weak_id = %1 AND %1 != '' AND (SELECT COUNT(*) FROM items WHERE weak_id = %1) > 1 GROUP BY "
                          "s.source_id; UPDATE weak_id_counts SET lone = (SELECT COUNT(*) FROM items AS i JOIN lone_items AS l "
                          "ON l.item_id = i.id WHERE i.weak_id = %1) WHERE weak_id = %1")
        .arg(weakID);
}

// Rows whose count falls to zero are deleted, so each table holds exactly what a fresh count gives.
// A weak id held by more than one item counts for the sources of its items' copies, and for the
// lone items among them; its row is made by its first source before any lone item counts on it,
// and goes with its last source after its lone items are taken off. The totals of a kind count its
// items and add up the files that name one of them; a file naming no item row adds nothing. An
// item's places are the sources of all files naming it, reset ones included, with what those add up to.
const QString triggers = QStringLiteral(R"(
CREATE INDEX lone_items_captured ON lone_items(source_id, kind, captured_at);
CREATE INDEX item_places_captured ON item_places(source_id, kind, captured_at);
CREATE INDEX weak_id_counts_twinned ON weak_id_counts(weak_id) WHERE sources > 1 AND lone > 0;

CREATE TRIGGER tally_file_insert AFTER INSERT ON files BEGIN
  INSERT INTO source_states (source_id, state, files) VALUES (new.source_id, new.state, 1)
    ON CONFLICT (source_id, state) DO UPDATE SET files = files + 1;
  INSERT INTO item_sources (item_id, source_id, files) SELECT new.item_id, new.source_id, 1
    WHERE new.item_id IS NOT NULL AND new.quick_hash IS NOT NULL
    ON CONFLICT (item_id, source_id) DO UPDATE SET files = files + 1;
  INSERT INTO item_renderable (item_id, files) SELECT new.item_id, 1
    WHERE new.item_id IS NOT NULL AND (new.local = 1 OR new.asset_id != '')
    ON CONFLICT (item_id) DO UPDATE SET files = files + 1;
  INSERT INTO folder_files (source_id, folder, files) VALUES (new.source_id, %1, 1)
    ON CONFLICT (source_id, folder) DO UPDATE SET files = files + 1;
  %6;
  UPDATE kind_totals SET size = size + new.size, not_local = not_local + (new.local = 0)
    WHERE kind = (SELECT kind FROM items WHERE id = new.item_id);
  INSERT INTO item_places (item_id, source_id, files, size, not_local, kind, captured_at)
    SELECT new.item_id, new.source_id, 1, new.size, new.local = 0, COALESCE(i.kind, -1), i.captured_at
    FROM (SELECT 1) LEFT JOIN items AS i ON i.id = new.item_id WHERE new.item_id IS NOT NULL
    ON CONFLICT (item_id, source_id) DO UPDATE SET files = files + 1, size = size + excluded.size,
    not_local = not_local + excluded.not_local;
END;
CREATE TRIGGER tally_file_delete AFTER DELETE ON files BEGIN
  UPDATE source_states SET files = files - 1 WHERE source_id = old.source_id AND state = old.state;
  DELETE FROM source_states WHERE source_id = old.source_id AND state = old.state AND files < 1;
  UPDATE item_sources SET files = files - 1
    WHERE old.quick_hash IS NOT NULL AND item_id = old.item_id AND source_id = old.source_id;
  DELETE FROM item_sources WHERE item_id = old.item_id AND source_id = old.source_id AND files < 1;
  UPDATE item_renderable SET files = files - 1 WHERE (old.local = 1 OR old.asset_id != '') AND item_id = old.item_id;
  DELETE FROM item_renderable WHERE item_id = old.item_id AND files < 1;
  UPDATE folder_files SET files = files - 1 WHERE source_id = old.source_id AND folder = %2;
  DELETE FROM folder_files WHERE source_id = old.source_id AND folder = %2 AND files < 1;
  %7;
  UPDATE kind_totals SET size = size - old.size, not_local = not_local - (old.local = 0)
    WHERE kind = (SELECT kind FROM items WHERE id = old.item_id);
  UPDATE item_places SET files = files - 1, size = size - old.size, not_local = not_local - (old.local = 0)
    WHERE item_id = old.item_id AND source_id = old.source_id;
  DELETE FROM item_places WHERE item_id = old.item_id AND source_id = old.source_id AND files < 1;
END;
CREATE TRIGGER tally_file_lone_size AFTER UPDATE OF item_id, size, local ON files
WHEN old.item_id IS NOT new.item_id OR old.size != new.size OR old.local != new.local BEGIN
  %5;
  UPDATE kind_totals SET size = size - old.size, not_local = not_local - (old.local = 0)
    WHERE kind = (SELECT kind FROM items WHERE id = old.item_id);
  UPDATE kind_totals SET size = size + new.size, not_local = not_local + (new.local = 0)
    WHERE kind = (SELECT kind FROM items WHERE id = new.item_id);
END;
CREATE TRIGGER tally_file_place AFTER UPDATE OF item_id, source_id, size, local ON files
WHEN old.item_id IS NOT new.item_id OR old.source_id IS NOT new.source_id OR old.size != new.size OR old.local != new.local
BEGIN
  UPDATE item_places SET files = files - 1, size = size - old.size, not_local = not_local - (old.local = 0)
    WHERE item_id = old.item_id AND source_id = old.source_id;
  DELETE FROM item_places WHERE item_id = old.item_id AND source_id = old.source_id AND files < 1;
  INSERT INTO item_places (item_id, source_id, files, size, not_local, kind, captured_at)
    SELECT new.item_id, new.source_id, 1, new.size, new.local = 0, COALESCE(i.kind, -1), i.captured_at
    FROM (SELECT 1) LEFT JOIN items AS i ON i.id = new.item_id WHERE new.item_id IS NOT NULL
    ON CONFLICT (item_id, source_id) DO UPDATE SET files = files + 1, size = size + excluded.size,
    not_local = not_local + excluded.not_local;
END;
CREATE TRIGGER tally_file_folder AFTER UPDATE OF source_id, rel_path ON files
WHEN old.source_id IS NOT new.source_id OR %2 IS NOT %1 BEGIN
  UPDATE folder_files SET files = files - 1 WHERE source_id = old.source_id AND folder = %2;
  DELETE FROM folder_files WHERE source_id = old.source_id AND folder = %2 AND files < 1;
  INSERT INTO folder_files (source_id, folder, files) VALUES (new.source_id, %1, 1)
    ON CONFLICT (source_id, folder) DO UPDATE SET files = files + 1;
END;
CREATE TRIGGER tally_file_state AFTER UPDATE OF source_id, state ON files
WHEN old.source_id IS NOT new.source_id OR old.state IS NOT new.state BEGIN
  UPDATE source_states SET files = files - 1 WHERE source_id = old.source_id AND state = old.state;
  DELETE FROM source_states WHERE source_id = old.source_id AND state = old.state AND files < 1;
  INSERT INTO source_states (source_id, state, files) VALUES (new.source_id, new.state, 1)
    ON CONFLICT (source_id, state) DO UPDATE SET files = files + 1;
END;
CREATE TRIGGER tally_file_copy AFTER UPDATE OF source_id, item_id, quick_hash ON files
WHEN old.source_id IS NOT new.source_id OR old.item_id IS NOT new.item_id
  OR (old.quick_hash IS NULL) != (new.quick_hash IS NULL) BEGIN
  UPDATE item_sources SET files = files - 1
    WHERE old.quick_hash IS NOT NULL AND item_id = old.item_id AND source_id = old.source_id;
  DELETE FROM item_sources WHERE item_id = old.item_id AND source_id = old.source_id AND files < 1;
  INSERT INTO item_sources (item_id, source_id, files) SELECT new.item_id, new.source_id, 1
    WHERE new.item_id IS NOT NULL AND new.quick_hash IS NOT NULL
    ON CONFLICT (item_id, source_id) DO UPDATE SET files = files + 1;
END;
CREATE TRIGGER tally_file_renderable AFTER UPDATE OF item_id, local, asset_id ON files
WHEN old.item_id IS NOT new.item_id OR (old.local = 1 OR old.asset_id != '') != (new.local = 1 OR new.asset_id != '') BEGIN
  UPDATE item_renderable SET files = files - 1 WHERE (old.local = 1 OR old.asset_id != '') AND item_id = old.item_id;
  DELETE FROM item_renderable WHERE item_id = old.item_id AND files < 1;
  INSERT INTO item_renderable (item_id, files) SELECT new.item_id, 1
    WHERE new.item_id IS NOT NULL AND (new.local = 1 OR new.asset_id != '')
    ON CONFLICT (item_id) DO UPDATE SET files = files + 1;
END;

CREATE TRIGGER tally_copy_insert AFTER INSERT ON item_sources BEGIN
  INSERT INTO weak_id_sources (weak_id, source_id, items) SELECT weak_id, new.source_id, 1 FROM items
    WHERE id = new.item_id AND weak_id != '' AND EXISTS (SELECT 1 FROM items AS twin WHERE twin.weak_id = items.weak_id
    AND twin.id != items.id) ON CONFLICT (weak_id, source_id) DO UPDATE SET items = items + 1;
  DELETE FROM lone_items WHERE item_id = new.item_id;
  %3;
END;
CREATE TRIGGER tally_copy_delete AFTER DELETE ON item_sources BEGIN
  DELETE FROM lone_items WHERE item_id = old.item_id;
  %4;
  UPDATE weak_id_sources SET items = items - 1
    WHERE source_id = old.source_id AND weak_id = (SELECT weak_id FROM items WHERE id = old.item_id);
  DELETE FROM weak_id_sources
    WHERE source_id = old.source_id AND weak_id = (SELECT weak_id FROM items WHERE id = old.item_id) AND items < 1;
END;
CREATE TRIGGER tally_lone_insert AFTER INSERT ON lone_items BEGIN
  INSERT INTO lone_totals (source_id, kind, items, size, not_local) VALUES (new.source_id, new.kind, 1, new.size, new.not_local)
    ON CONFLICT (source_id, kind) DO UPDATE SET items = items + 1, size = size + excluded.size,
    not_local = not_local + excluded.not_local;
  UPDATE weak_id_counts SET lone = lone + 1 WHERE weak_id = (SELECT weak_id FROM items WHERE id = new.item_id);
END;
CREATE TRIGGER tally_lone_delete AFTER DELETE ON lone_items BEGIN
  UPDATE lone_totals SET items = items - 1, size = size - old.size, not_local = not_local - old.not_local
    WHERE source_id = old.source_id AND kind = old.kind;
  DELETE FROM lone_totals WHERE source_id = old.source_id AND kind = old.kind AND items < 1;
  UPDATE weak_id_counts SET lone = lone - 1 WHERE weak_id = (SELECT weak_id FROM items WHERE id = old.item_id);
END;
CREATE TRIGGER tally_lone_update AFTER UPDATE OF kind, size, not_local ON lone_items
WHEN old.kind != new.kind OR old.size != new.size OR old.not_local != new.not_local BEGIN
  UPDATE lone_totals SET items = items - 1, size = size - old.size, not_local = not_local - old.not_local
    WHERE source_id = old.source_id AND kind = old.kind;
  DELETE FROM lone_totals WHERE source_id = old.source_id AND kind = old.kind AND items < 1;
  INSERT INTO lone_totals (source_id, kind, items, size, not_local) VALUES (new.source_id, new.kind, 1, new.size, new.not_local)
    ON CONFLICT (source_id, kind) DO UPDATE SET items = items + 1, size = size + excluded.size,
    not_local = not_local + excluded.not_local;
END;
CREATE TRIGGER tally_place_insert AFTER INSERT ON item_places BEGIN
  INSERT INTO place_totals (source_id, kind, items, size, not_local) VALUES (new.source_id, new.kind, 1, new.size, new.not_local)
    ON CONFLICT (source_id, kind) DO UPDATE SET items = items + 1, size = size + excluded.size,
    not_local = not_local + excluded.not_local;
  UPDATE place_sets SET items = items - 1 WHERE sources = %8 AND kind = new.kind;
  DELETE FROM place_sets WHERE sources = %8 AND kind = new.kind AND items < 1;
  INSERT INTO place_sets (sources, kind, items) SELECT %9, new.kind, 1 WHERE 1
    ON CONFLICT (sources, kind) DO UPDATE SET items = items + 1;
END;
CREATE TRIGGER tally_place_delete AFTER DELETE ON item_places BEGIN
  UPDATE place_totals SET items = items - 1, size = size - old.size, not_local = not_local - old.not_local
    WHERE source_id = old.source_id AND kind = old.kind;
  DELETE FROM place_totals WHERE source_id = old.source_id AND kind = old.kind AND items < 1;
  UPDATE place_sets SET items = items - 1 WHERE sources = %10 AND kind = old.kind;
  DELETE FROM place_sets WHERE sources = %10 AND kind = old.kind AND items < 1;
  INSERT INTO place_sets (sources, kind, items) SELECT sources, old.kind, 1 FROM (SELECT %11 AS sources) WHERE sources IS NOT NULL
    ON CONFLICT (sources, kind) DO UPDATE SET items = items + 1;
END;
CREATE TRIGGER tally_place_set_kind AFTER UPDATE OF kind ON item_places WHEN old.kind != new.kind
  AND new.source_id = (SELECT MIN(source_id) FROM item_places WHERE item_id = new.item_id) BEGIN
  UPDATE place_sets SET items = items - 1 WHERE sources = %9 AND kind = old.kind;
  DELETE FROM place_sets WHERE sources = %9 AND kind = old.kind AND items < 1;
  INSERT INTO place_sets (sources, kind, items) SELECT %9, new.kind, 1 WHERE 1
    ON CONFLICT (sources, kind) DO UPDATE SET items = items + 1;
END;
CREATE TRIGGER tally_place_update AFTER UPDATE OF kind, size, not_local ON item_places
WHEN old.kind != new.kind OR old.size != new.size OR old.not_local != new.not_local BEGIN
  UPDATE place_totals SET items = items - 1, size = size - old.size, not_local = not_local - old.not_local
    WHERE source_id = old.source_id AND kind = old.kind;
  DELETE FROM place_totals WHERE source_id = old.source_id AND kind = old.kind AND items < 1;
  INSERT INTO place_totals (source_id, kind, items, size, not_local) VALUES (new.source_id, new.kind, 1, new.size, new.not_local)
    ON CONFLICT (source_id, kind) DO UPDATE SET items = items + 1, size = size + excluded.size,
    not_local = not_local + excluded.not_local;
END;
CREATE TRIGGER tally_weak_source_insert AFTER INSERT ON weak_id_sources BEGIN
  INSERT INTO weak_id_counts (weak_id, sources, lone) VALUES (new.weak_id, 1, 0)
    ON CONFLICT (weak_id) DO UPDATE SET sources = sources + 1;
END;
CREATE TRIGGER tally_weak_source_delete AFTER DELETE ON weak_id_sources BEGIN
  UPDATE weak_id_counts SET sources = sources - 1 WHERE weak_id = old.weak_id;
  DELETE FROM weak_id_counts WHERE weak_id = old.weak_id AND sources < 1;
END;

CREATE TRIGGER tally_item_insert AFTER INSERT ON items BEGIN
  INSERT INTO kind_totals (kind, items, size, not_local)
    SELECT new.kind, 1, COALESCE(SUM(size), 0), COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = new.id
    ON CONFLICT (kind) DO UPDATE SET items = items + 1, size = size + excluded.size, not_local = not_local + excluded.not_local;
  UPDATE lone_items SET kind = new.kind, captured_at = new.captured_at WHERE item_id = new.id;
  UPDATE item_places SET kind = new.kind, captured_at = new.captured_at WHERE item_id = new.id;
  UPDATE photo_asset_items SET kind = new.kind, captured_at = new.captured_at WHERE item_id = new.id;
  UPDATE files SET item_kind = new.kind, item_captured_at = new.captured_at WHERE item_id = new.id;
  %12;
  UPDATE preview_progress SET total = total + 1, done = done + (new.proxy_ext != '' OR new.full_error IS NOT NULL)
    WHERE new.kind IN (0, 1, 3) AND EXISTS (SELECT 1 FROM item_renderable WHERE item_id = new.id);
END;
CREATE TRIGGER tally_item_delete AFTER DELETE ON items BEGIN
  UPDATE kind_totals SET items = items - 1, size = size - (SELECT COALESCE(SUM(size), 0) FROM files WHERE item_id = old.id),
    not_local = not_local - (SELECT COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = old.id) WHERE kind = old.kind;
  DELETE FROM kind_totals WHERE kind = old.kind AND items < 1;
  UPDATE lone_items SET kind = -1, captured_at = NULL WHERE item_id = old.id;
  UPDATE item_places SET kind = -1, captured_at = NULL WHERE item_id = old.id;
  UPDATE photo_asset_items SET kind = -1, captured_at = NULL WHERE item_id = old.id;
  UPDATE files SET item_kind = NULL, item_captured_at = NULL WHERE item_id = old.id;
  %13;
  UPDATE preview_progress SET total = total - 1, done = done - (old.proxy_ext != '' OR old.full_error IS NOT NULL)
    WHERE old.kind IN (0, 1, 3) AND EXISTS (SELECT 1 FROM item_renderable WHERE item_id = old.id);
END;
CREATE TRIGGER tally_item_kind AFTER UPDATE OF kind ON items WHEN old.kind != new.kind BEGIN
  UPDATE kind_totals SET items = items - 1, size = size - (SELECT COALESCE(SUM(size), 0) FROM files WHERE item_id = old.id),
    not_local = not_local - (SELECT COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = old.id) WHERE kind = old.kind;
  DELETE FROM kind_totals WHERE kind = old.kind AND items < 1;
  INSERT INTO kind_totals (kind, items, size, not_local)
    SELECT new.kind, 1, COALESCE(SUM(size), 0), COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = new.id
    ON CONFLICT (kind) DO UPDATE SET items = items + 1, size = size + excluded.size, not_local = not_local + excluded.not_local;
END;
CREATE TRIGGER tally_item_lone AFTER UPDATE OF kind, captured_at ON items
WHEN old.kind IS NOT new.kind OR old.captured_at IS NOT new.captured_at BEGIN
  UPDATE lone_items SET kind = new.kind, captured_at = new.captured_at WHERE item_id = new.id;
  UPDATE item_places SET kind = new.kind, captured_at = new.captured_at WHERE item_id = new.id;
  UPDATE photo_asset_items SET kind = new.kind, captured_at = new.captured_at WHERE item_id = new.id;
  UPDATE files SET item_kind = new.kind, item_captured_at = new.captured_at WHERE item_id = new.id;
END;
CREATE TRIGGER tally_item_weak AFTER UPDATE OF weak_id ON items WHEN old.weak_id IS NOT new.weak_id BEGIN
  %13;
  %12;
END;
CREATE TRIGGER tally_item_preview AFTER UPDATE OF kind, proxy_ext, full_error ON items BEGIN
  UPDATE preview_progress SET
    total = total - (old.kind IN (0, 1, 3)) + (new.kind IN (0, 1, 3)),
    done = done - (old.kind IN (0, 1, 3) AND (old.proxy_ext != '' OR old.full_error IS NOT NULL))
      + (new.kind IN (0, 1, 3) AND (new.proxy_ext != '' OR new.full_error IS NOT NULL))
    WHERE EXISTS (SELECT 1 FROM item_renderable WHERE item_id = new.id);
END;
CREATE TRIGGER tally_renderable_insert AFTER INSERT ON item_renderable BEGIN
  UPDATE preview_progress SET total = total + 1,
    done = done + (SELECT proxy_ext != '' OR full_error IS NOT NULL FROM items WHERE id = new.item_id)
    WHERE EXISTS (SELECT 1 FROM items WHERE id = new.item_id AND kind IN (0, 1, 3));
END;
CREATE TRIGGER tally_renderable_delete AFTER DELETE ON item_renderable BEGIN
  UPDATE preview_progress SET total = total - 1,
    done = done - (SELECT proxy_ext != '' OR full_error IS NOT NULL FROM items WHERE id = old.item_id)
    WHERE EXISTS (SELECT 1 FROM items WHERE id = old.item_id AND kind IN (0, 1, 3));
END;
)")
                             .arg(folderOfPath(QStringLiteral("new.rel_path")), folderOfPath(QStringLiteral("old.rel_path")),
                                  insertLoneItem(QStringLiteral("SELECT new.item_id AS item_id, new.source_id AS source_id WHERE NOT "
                                                                "EXISTS (SELECT 1 FROM item_sources WHERE item_id = new.item_id "
                                                                "AND source_id != new.source_id)")),
                                  insertLoneItem(QStringLiteral("SELECT item_id, MIN(source_id) AS source_id FROM item_sources "
                                                                "WHERE item_id = old.item_id GROUP BY item_id HAVING COUNT(*) = 1")),
                                  resizeLoneItems(QStringLiteral("old.item_id, new.item_id")),
                                  resizeLoneItems(QStringLiteral("new.item_id")), resizeLoneItems(QStringLiteral("old.item_id")))
                             .arg(sourcesOfItem(QStringLiteral("SELECT source_id FROM item_places WHERE item_id = new.item_id AND "
                                                               "source_id != new.source_id")),
                                  sourcesOfItem(QStringLiteral("SELECT source_id FROM item_places WHERE item_id = new.item_id")),
                                  sourcesOfItem(QStringLiteral("SELECT source_id FROM item_places WHERE item_id = old.item_id "
                                                               "UNION SELECT old.source_id")),
                                  sourcesOfItem(QStringLiteral("SELECT source_id FROM item_places WHERE item_id = old.item_id")))
                             .arg(retallyWeakID(QStringLiteral("new.weak_id")), retallyWeakID(QStringLiteral("old.weak_id")));

// Each file also keeps what its item holds, so that a folder's summary reads the files below it in
// path order without looking up one item per file: the item's kind and capture date (NULL while
// the file names no item row), how many copies the item has (its hashed files, on every source),
// and whether the file is one of them. The item triggers above carry a new kind or date of an item
// to its files; the triggers below follow a file's item and hash, and each item's count of copies.
QString refreshFileItemColumns(const QString& where)
{
    return QStringLiteral("UPDATE files SET item_kind = (SELECT kind FROM items WHERE id = files.item_id), item_captured_at = "
                          "(SELECT captured_at FROM items WHERE id = files.item_id), item_copies = (SELECT COALESCE(SUM(files), 0) "
                          "FROM item_sources WHERE item_id = files.item_id), is_copy = (item_id IS NOT NULL AND quick_hash IS NOT "
                          "NULL) WHERE %1")
        .arg(where);
}

QString recountCopies(const QString& itemID)
{
    return QStringLiteral("UPDATE files SET item_copies = (SELECT COALESCE(SUM(files), 0) FROM item_sources WHERE item_id = "
                          "%1) WHERE item_id = %1")
        .arg(itemID);
}

const QString fileItemColumns = QStringLiteral(R"(
%1;
CREATE TRIGGER tally_file_item_insert AFTER INSERT ON files WHEN new.item_id IS NOT NULL BEGIN
  %2;
END;
CREATE TRIGGER tally_file_item AFTER UPDATE OF item_id, quick_hash ON files
WHEN old.item_id IS NOT new.item_id OR (old.quick_hash IS NULL) != (new.quick_hash IS NULL) BEGIN
  %2;
END;
CREATE TRIGGER tally_copies_insert AFTER INSERT ON item_sources BEGIN
  %3;
END;
CREATE TRIGGER tally_copies_update AFTER UPDATE OF files ON item_sources BEGIN
  %3;
END;
CREATE TRIGGER tally_copies_delete AFTER DELETE ON item_sources BEGIN
  %4;
END;
)")
                                       .arg(refreshFileItemColumns(QStringLiteral("1")),
                                            refreshFileItemColumns(QStringLiteral("id = new.id")),
                                            recountCopies(QStringLiteral("new.item_id")), recountCopies(QStringLiteral("old.item_id")));

} // namespace

QString folderOfPath(const QString& path)
{
    // The inner rtrim strips the characters after the last "/" (the set of every character of the
    // path but "/"), so the length of what is left is that slash's position.
    return QStringLiteral("substr(%1, 1, length(rtrim(%1, replace(%1, '/', ''))) - 1)").arg(path);
}

void rebuildTallies(Database& db)
{
    // The triggers go first, so that a fresh count is not also counted row by row; they are made
    // again once the tables are filled.
    QStringList oldTriggers;
    {
        Statement names(db.db(), QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' AND name LIKE '%tally%'"));
        while (names.step())
            oldTriggers.append(names.text(0));
    }
    for (const QString& name : oldTriggers)
        db.exec(QStringLiteral("DROP TRIGGER \"%1\"").arg(name));
    db.exec(tables + photoTallyTables());
    db.exec(counts + photoTallyCounts());
    db.exec(triggers + photoTallyTriggers());
    db.exec(fileItemColumns);
}
