#include "Pellmar/index/IndexTallies.h"

namespace {

// A file is a copy of its item while it names an item and has a hash.
const QString tables = QStringLiteral(R"(
CREATE TABLE IF NOT EXISTS source_states (source_id TEXT NOT NULL, state INTEGER NOT NULL, files INTEGER NOT NULL,
  PRIMARY KEY (source_id, state)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS item_sources (item_id TEXT NOT NULL, source_id TEXT NOT NULL, files INTEGER NOT NULL,
  PRIMARY KEY (item_id, source_id)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS lone_items (item_id TEXT NOT NULL PRIMARY KEY, source_id TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS weak_id_counts (weak_id TEXT NOT NULL PRIMARY KEY, items INTEGER NOT NULL) WITHOUT ROWID;
DROP TRIGGER IF EXISTS files_tally_insert;
DROP TRIGGER IF EXISTS files_tally_delete;
DROP TRIGGER IF EXISTS files_tally_state;
DROP TRIGGER IF EXISTS files_tally_copy;
DROP TRIGGER IF EXISTS item_sources_tally_insert;
DROP TRIGGER IF EXISTS item_sources_tally_delete;
DROP TRIGGER IF EXISTS items_tally_insert;
DROP TRIGGER IF EXISTS items_tally_delete;
DROP TRIGGER IF EXISTS items_tally_weak;
)");

const QString counts = QStringLiteral(R"(
DELETE FROM source_states;
INSERT INTO source_states (source_id, state, files) SELECT source_id, state, COUNT(*) FROM files GROUP BY source_id, state;
DELETE FROM item_sources;
INSERT INTO item_sources (item_id, source_id, files) SELECT item_id, source_id, COUNT(*) FROM files
  WHERE item_id IS NOT NULL AND quick_hash IS NOT NULL GROUP BY item_id, source_id;
DELETE FROM lone_items;
INSERT INTO lone_items (item_id, source_id) SELECT item_id, MIN(source_id) FROM item_sources GROUP BY item_id
  HAVING COUNT(*) = 1;
DELETE FROM weak_id_counts;
INSERT INTO weak_id_counts (weak_id, items) SELECT weak_id, COUNT(*) FROM items WHERE weak_id != '' GROUP BY weak_id;
)");

// Rows whose count falls to zero are deleted, so each table holds exactly what a fresh count gives.
const QString triggers = QStringLiteral(R"(
CREATE INDEX IF NOT EXISTS lone_items_source ON lone_items(source_id);
CREATE INDEX IF NOT EXISTS weak_id_counts_shared ON weak_id_counts(weak_id) WHERE items > 1;
CREATE TRIGGER files_tally_insert AFTER INSERT ON files BEGIN
  INSERT INTO source_states (source_id, state, files) VALUES (new.source_id, new.state, 1)
    ON CONFLICT (source_id, state) DO UPDATE SET files = files + 1;
  INSERT INTO item_sources (item_id, source_id, files) SELECT new.item_id, new.source_id, 1
    WHERE new.item_id IS NOT NULL AND new.quick_hash IS NOT NULL
    ON CONFLICT (item_id, source_id) DO UPDATE SET files = files + 1;
END;
CREATE TRIGGER files_tally_delete AFTER DELETE ON files BEGIN
  UPDATE source_states SET files = files - 1 WHERE source_id = old.source_id AND state = old.state;
  DELETE FROM source_states WHERE source_id = old.source_id AND state = old.state AND files < 1;
  UPDATE item_sources SET files = files - 1
    WHERE old.quick_hash IS NOT NULL AND item_id = old.item_id AND source_id = old.source_id;
  DELETE FROM item_sources WHERE item_id = old.item_id AND source_id = old.source_id AND files < 1;
END;
CREATE TRIGGER files_tally_state AFTER UPDATE OF source_id, state ON files
WHEN old.source_id IS NOT new.source_id OR old.state IS NOT new.state BEGIN
  UPDATE source_states SET files = files - 1 WHERE source_id = old.source_id AND state = old.state;
  DELETE FROM source_states WHERE source_id = old.source_id AND state = old.state AND files < 1;
  INSERT INTO source_states (source_id, state, files) VALUES (new.source_id, new.state, 1)
    ON CONFLICT (source_id, state) DO UPDATE SET files = files + 1;
END;
CREATE TRIGGER files_tally_copy AFTER UPDATE OF source_id, item_id, quick_hash ON files
WHEN old.source_id IS NOT new.source_id OR old.item_id IS NOT new.item_id
  OR (old.quick_hash IS NULL) != (new.quick_hash IS NULL) BEGIN
  UPDATE item_sources SET files = files - 1
    WHERE old.quick_hash IS NOT NULL AND item_id = old.item_id AND source_id = old.source_id;
  DELETE FROM item_sources WHERE item_id = old.item_id AND source_id = old.source_id AND files < 1;
  INSERT INTO item_sources (item_id, source_id, files) SELECT new.item_id, new.source_id, 1
    WHERE new.item_id IS NOT NULL AND new.quick_hash IS NOT NULL
    ON CONFLICT (item_id, source_id) DO UPDATE SET files = files + 1;
END;
CREATE TRIGGER item_sources_tally_insert AFTER INSERT ON item_sources BEGIN
  DELETE FROM lone_items WHERE item_id = new.item_id;
  INSERT INTO lone_items (item_id, source_id) SELECT new.item_id, new.source_id
    WHERE NOT EXISTS (SELECT 1 FROM item_sources WHERE item_id = new.item_id AND source_id != new.source_id);
END;
CREATE TRIGGER item_sources_tally_delete AFTER DELETE ON item_sources BEGIN
  DELETE FROM lone_items WHERE item_id = old.item_id;
  INSERT INTO lone_items (item_id, source_id) SELECT item_id, MIN(source_id) FROM item_sources
    WHERE item_id = old.item_id GROUP BY item_id HAVING COUNT(*) = 1;
END;
CREATE TRIGGER items_tally_insert AFTER INSERT ON items WHEN new.weak_id != '' BEGIN
  INSERT INTO weak_id_counts (weak_id, items) VALUES (new.weak_id, 1)
    ON CONFLICT (weak_id) DO UPDATE SET items = items + 1;
END;
CREATE TRIGGER items_tally_delete AFTER DELETE ON items WHEN old.weak_id != '' BEGIN
  UPDATE weak_id_counts SET items = items - 1 WHERE weak_id = old.weak_id;
  DELETE FROM weak_id_counts WHERE weak_id = old.weak_id AND items < 1;
END;
CREATE TRIGGER items_tally_weak AFTER UPDATE OF weak_id ON items WHEN old.weak_id IS NOT new.weak_id BEGIN
  UPDATE weak_id_counts SET items = items - 1 WHERE weak_id = old.weak_id;
  DELETE FROM weak_id_counts WHERE weak_id = old.weak_id AND items < 1;
  INSERT INTO weak_id_counts (weak_id, items) SELECT new.weak_id, 1 WHERE new.weak_id != ''
    ON CONFLICT (weak_id) DO UPDATE SET items = items + 1;
END;
)");

} // namespace

void rebuildTallies(Database& db)
{
    // The triggers go while the tables are filled, so that a fresh count is not also counted row by row.
    db.exec(tables);
    db.exec(counts);
    db.exec(triggers);
}
