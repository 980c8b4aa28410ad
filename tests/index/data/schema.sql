CREATE TABLE favorites (workspace_id TEXT NOT NULL, item_id TEXT NOT NULL, added_at REAL NOT NULL, PRIMARY KEY (workspace_id, item_id));
CREATE TABLE files (
  id INTEGER PRIMARY KEY,
  source_id TEXT NOT NULL REFERENCES sources(id) ON DELETE CASCADE,
  rel_path TEXT NOT NULL,
  size INTEGER NOT NULL,
  mtime REAL NOT NULL,
  quick_hash TEXT,
  item_id TEXT,
  state INTEGER NOT NULL DEFAULT 0,
  error TEXT, asset_id TEXT NOT NULL DEFAULT '', local INTEGER NOT NULL DEFAULT 1, favorite INTEGER NOT NULL DEFAULT 0, subtype INTEGER NOT NULL DEFAULT 0, raw INTEGER NOT NULL DEFAULT 0, added_at REAL NOT NULL DEFAULT 0, item_kind INTEGER, item_captured_at REAL, item_copies INTEGER NOT NULL DEFAULT 0, is_copy INTEGER NOT NULL DEFAULT 0, tail_hash TEXT,
  UNIQUE(source_id, rel_path)
);
CREATE INDEX files_asset ON files(item_id) WHERE asset_id != '';
CREATE INDEX files_favorite ON files(item_id) WHERE favorite = 1;
CREATE INDEX files_folder_items ON files(source_id, rel_path, item_id, item_kind, item_captured_at, item_copies, is_copy, size, local);
CREATE INDEX files_hashed_item ON files(item_id, source_id, rel_path) WHERE quick_hash IS NOT NULL;
CREATE INDEX files_item_place ON files(item_id, source_id, rel_path);
CREATE INDEX files_offline_asset ON files(source_id) WHERE asset_id != '' AND local = 0;
CREATE INDEX files_photo_favorite ON files(item_id) WHERE asset_id != '' AND favorite = 1;
CREATE INDEX files_photo_flags ON files(source_id, item_id) WHERE favorite = 1 OR raw = 1 OR (subtype & 4) != 0;
CREATE INDEX files_ready_size ON files(size, item_id, source_id) WHERE state = 2 AND (local = 1 OR asset_id != '');
CREATE INDEX files_renderable ON files(item_id) WHERE local = 1 OR asset_id != '';
CREATE INDEX files_reset_item ON files(item_id, source_id) WHERE quick_hash IS NULL AND item_id IS NOT NULL;
CREATE INDEX files_source_item ON files(source_id, item_id);
CREATE INDEX files_source_state ON files(source_id, state);
CREATE INDEX files_state ON files(state);
CREATE TABLE folder_files (source_id TEXT NOT NULL, folder TEXT NOT NULL, files INTEGER NOT NULL,
  PRIMARY KEY (source_id, folder)) WITHOUT ROWID;
CREATE TABLE folders (source_id TEXT NOT NULL REFERENCES sources(id) ON DELETE CASCADE, rel_path TEXT NOT NULL, parent_path TEXT NOT NULL, mtime REAL NOT NULL, PRIMARY KEY (source_id, rel_path));
CREATE INDEX folders_parent ON folders(source_id, parent_path);
CREATE TABLE item_places (item_id TEXT NOT NULL, source_id TEXT NOT NULL, files INTEGER NOT NULL, size INTEGER NOT NULL,
  not_local INTEGER NOT NULL, kind INTEGER NOT NULL, captured_at REAL, PRIMARY KEY (item_id, source_id)) WITHOUT ROWID;
CREATE INDEX item_places_captured ON item_places(source_id, kind, captured_at);
CREATE TABLE item_renderable (item_id TEXT NOT NULL PRIMARY KEY, files INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE item_sources (item_id TEXT NOT NULL, source_id TEXT NOT NULL, files INTEGER NOT NULL,
  PRIMARY KEY (item_id, source_id)) WITHOUT ROWID;
CREATE TABLE items (
  id TEXT PRIMARY KEY,
  quick_hash TEXT NOT NULL UNIQUE,
  kind INTEGER NOT NULL,
  filename TEXT NOT NULL,
  captured_at REAL,
  width INTEGER NOT NULL DEFAULT 0,
  height INTEGER NOT NULL DEFAULT 0,
  duration REAL NOT NULL DEFAULT 0,
  camera TEXT NOT NULL DEFAULT '',
  lens TEXT NOT NULL DEFAULT '',
  preview_ext TEXT NOT NULL DEFAULT '',
  proxy_ext TEXT NOT NULL DEFAULT '',
  poster_ext TEXT NOT NULL DEFAULT '',
  full_error TEXT,
  created_at REAL NOT NULL
, weak_id TEXT NOT NULL DEFAULT '', modified_at REAL NOT NULL DEFAULT 0, added_at REAL NOT NULL DEFAULT 0, uti TEXT NOT NULL DEFAULT '');
CREATE INDEX items_added ON items(added_at, created_at);
CREATE INDEX items_captured_modified ON items(captured_at, modified_at);
CREATE INDEX items_id_weak ON items(id, weak_id);
CREATE INDEX items_kind_captured ON items(kind, captured_at);
CREATE INDEX items_kind_newest ON items(kind, captured_at DESC, modified_at DESC);
CREATE INDEX items_modified ON items(modified_at);
CREATE INDEX items_name ON items(filename COLLATE NOCASE);
CREATE INDEX items_proxy ON items(proxy_ext);
CREATE INDEX items_waiting ON items(kind) WHERE proxy_ext = '' AND full_error IS NULL;
CREATE INDEX items_weak ON items(weak_id);
CREATE TABLE kept_favorites (quick_hash TEXT NOT NULL, workspace_id TEXT NOT NULL, added_at REAL NOT NULL, PRIMARY KEY (quick_hash, workspace_id));
CREATE TRIGGER kept_favorites_return AFTER INSERT ON items WHEN EXISTS (SELECT 1 FROM kept_favorites WHERE quick_hash = new.quick_hash) BEGIN
  INSERT OR IGNORE INTO favorites (workspace_id, item_id, added_at) SELECT workspace_id, new.id, added_at FROM kept_favorites WHERE quick_hash = new.quick_hash;
  DELETE FROM kept_favorites WHERE quick_hash = new.quick_hash;
END;
CREATE TABLE kind_totals (kind INTEGER NOT NULL PRIMARY KEY, items INTEGER NOT NULL, size INTEGER NOT NULL,
  not_local INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE lone_items (item_id TEXT NOT NULL PRIMARY KEY, source_id TEXT NOT NULL, kind INTEGER NOT NULL,
  captured_at REAL, size INTEGER NOT NULL, not_local INTEGER NOT NULL) WITHOUT ROWID;
CREATE INDEX lone_items_captured ON lone_items(source_id, kind, captured_at);
CREATE TABLE lone_totals (source_id TEXT NOT NULL, kind INTEGER NOT NULL, items INTEGER NOT NULL, size INTEGER NOT NULL,
  not_local INTEGER NOT NULL, PRIMARY KEY (source_id, kind)) WITHOUT ROWID;
CREATE TABLE mount_points (path TEXT PRIMARY KEY);
CREATE TABLE photo_asset_items (source_id TEXT NOT NULL, asset_id TEXT NOT NULL, item_id TEXT NOT NULL,
  files INTEGER NOT NULL, kind INTEGER NOT NULL, captured_at REAL, PRIMARY KEY (source_id, asset_id, item_id)) WITHOUT ROWID;
CREATE INDEX photo_asset_items_item ON photo_asset_items(item_id);
CREATE TABLE photo_assets (source_id TEXT NOT NULL, asset_id TEXT NOT NULL, files INTEGER NOT NULL,
  favorites INTEGER NOT NULL, raws INTEGER NOT NULL, screenshots INTEGER NOT NULL, in_albums INTEGER NOT NULL,
  photos INTEGER NOT NULL, videos INTEGER NOT NULL, captured_at REAL, PRIMARY KEY (source_id, asset_id)) WITHOUT ROWID;
CREATE INDEX photo_assets_captured ON photo_assets(source_id, captured_at);
CREATE TABLE photo_folder_assets (source_id TEXT NOT NULL, folder TEXT NOT NULL, asset_id TEXT NOT NULL,
  files INTEGER NOT NULL, PRIMARY KEY (source_id, folder, asset_id)) WITHOUT ROWID;
CREATE TABLE photo_folders (source_id TEXT NOT NULL, folder TEXT NOT NULL, assets INTEGER NOT NULL,
  PRIMARY KEY (source_id, folder)) WITHOUT ROWID;
CREATE TABLE photo_groups (source_id TEXT NOT NULL PRIMARY KEY, assets INTEGER NOT NULL, favorites INTEGER NOT NULL,
  photos INTEGER NOT NULL, videos INTEGER NOT NULL, raws INTEGER NOT NULL, screenshots INTEGER NOT NULL,
  in_albums INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE pins (workspace_id TEXT NOT NULL, source_id TEXT NOT NULL, path TEXT NOT NULL, position INTEGER NOT NULL, PRIMARY KEY (workspace_id, source_id, path));
CREATE TABLE place_sets (sources TEXT NOT NULL, kind INTEGER NOT NULL, items INTEGER NOT NULL,
  PRIMARY KEY (sources, kind)) WITHOUT ROWID;
CREATE TABLE place_totals (source_id TEXT NOT NULL, kind INTEGER NOT NULL, items INTEGER NOT NULL, size INTEGER NOT NULL,
  not_local INTEGER NOT NULL, PRIMARY KEY (source_id, kind)) WITHOUT ROWID;
CREATE TABLE preview_progress (id INTEGER PRIMARY KEY CHECK (id = 0), total INTEGER NOT NULL, done INTEGER NOT NULL);
CREATE VIRTUAL TABLE search USING fts5(item_id UNINDEXED, text, tokenize = 'unicode61 remove_diacritics 2');
CREATE TABLE 'search_config'(k PRIMARY KEY, v) WITHOUT ROWID;
CREATE TABLE 'search_content'(id INTEGER PRIMARY KEY, c0, c1);
CREATE TABLE 'search_data'(id INTEGER PRIMARY KEY, block BLOB);
CREATE TABLE 'search_docsize'(id INTEGER PRIMARY KEY, sz BLOB);
CREATE TABLE 'search_idx'(segid, term, pgno, PRIMARY KEY(segid, term)) WITHOUT ROWID;
CREATE INDEX search_item ON search_content(c0);
CREATE TABLE source_states (source_id TEXT NOT NULL, state INTEGER NOT NULL, files INTEGER NOT NULL,
  PRIMARY KEY (source_id, state)) WITHOUT ROWID;
CREATE TABLE sources (
  id TEXT PRIMARY KEY,
  name TEXT NOT NULL,
  root_path TEXT NOT NULL,
  volume_uuid TEXT NOT NULL,
  volume_name TEXT NOT NULL,
  added_at REAL NOT NULL
, kind INTEGER NOT NULL DEFAULT 0, volume_path TEXT);
CREATE TRIGGER tally_copies_delete AFTER DELETE ON item_sources BEGIN
  UPDATE files SET item_copies = (SELECT COALESCE(SUM(files), 0) FROM item_sources WHERE item_id = old.item_id) WHERE item_id = old.item_id;
END;
CREATE TRIGGER tally_copies_insert AFTER INSERT ON item_sources BEGIN
  UPDATE files SET item_copies = (SELECT COALESCE(SUM(files), 0) FROM item_sources WHERE item_id = new.item_id) WHERE item_id = new.item_id;
END;
CREATE TRIGGER tally_copies_update AFTER UPDATE OF files ON item_sources BEGIN
  UPDATE files SET item_copies = (SELECT COALESCE(SUM(files), 0) FROM item_sources WHERE item_id = new.item_id) WHERE item_id = new.item_id;
END;
CREATE TRIGGER tally_copy_delete AFTER DELETE ON item_sources BEGIN
  DELETE FROM lone_items WHERE item_id = old.item_id;
  INSERT INTO lone_items (item_id, source_id, kind, captured_at, size, not_local) SELECT c.item_id, c.source_id, COALESCE(i.kind, -1), i.captured_at, (SELECT COALESCE(SUM(size), 0) FROM files WHERE item_id = c.item_id), (SELECT COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = c.item_id) FROM (SELECT item_id, MIN(source_id) AS source_id FROM item_sources WHERE item_id = old.item_id GROUP BY item_id HAVING COUNT(*) = 1) AS c LEFT JOIN items AS i ON i.id = c.item_id;
  UPDATE weak_id_sources SET items = items - 1
    WHERE source_id = old.source_id AND weak_id = (SELECT weak_id FROM items WHERE id = old.item_id);
  DELETE FROM weak_id_sources
    WHERE source_id = old.source_id AND weak_id = (SELECT weak_id FROM items WHERE id = old.item_id) AND items < 1;
END;
CREATE TRIGGER tally_copy_insert AFTER INSERT ON item_sources BEGIN
  INSERT INTO weak_id_sources (weak_id, source_id, items) SELECT weak_id, new.source_id, 1 FROM items
    WHERE id = new.item_id AND weak_id != '' AND EXISTS (SELECT 1 FROM items AS twin WHERE twin.weak_id = items.weak_id
    AND twin.id != items.id) ON CONFLICT (weak_id, source_id) DO UPDATE SET items = items + 1;
  DELETE FROM lone_items WHERE item_id = new.item_id;
  INSERT INTO lone_items (item_id, source_id, kind, captured_at, size, not_local) SELECT c.item_id, c.source_id, COALESCE(i.kind, -1), i.captured_at, (SELECT COALESCE(SUM(size), 0) FROM files WHERE item_id = c.item_id), (SELECT COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = c.item_id) FROM (SELECT new.item_id AS item_id, new.source_id AS source_id WHERE NOT EXISTS (SELECT 1 FROM item_sources WHERE item_id = new.item_id AND source_id != new.source_id)) AS c LEFT JOIN items AS i ON i.id = c.item_id;
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
CREATE TRIGGER tally_file_delete AFTER DELETE ON files BEGIN
  UPDATE source_states SET files = files - 1 WHERE source_id = old.source_id AND state = old.state;
  DELETE FROM source_states WHERE source_id = old.source_id AND state = old.state AND files < 1;
  UPDATE item_sources SET files = files - 1
    WHERE old.quick_hash IS NOT NULL AND item_id = old.item_id AND source_id = old.source_id;
  DELETE FROM item_sources WHERE item_id = old.item_id AND source_id = old.source_id AND files < 1;
  UPDATE item_renderable SET files = files - 1 WHERE (old.local = 1 OR old.asset_id != '') AND item_id = old.item_id;
  DELETE FROM item_renderable WHERE item_id = old.item_id AND files < 1;
  UPDATE folder_files SET files = files - 1 WHERE source_id = old.source_id AND folder = substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1);
  DELETE FROM folder_files WHERE source_id = old.source_id AND folder = substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1) AND files < 1;
  UPDATE lone_items SET size = (SELECT COALESCE(SUM(size), 0) FROM files WHERE item_id = lone_items.item_id), not_local = (SELECT COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = lone_items.item_id) WHERE item_id IN (old.item_id);
  UPDATE kind_totals SET size = size - old.size, not_local = not_local - (old.local = 0)
    WHERE kind = (SELECT kind FROM items WHERE id = old.item_id);
  UPDATE item_places SET files = files - 1, size = size - old.size, not_local = not_local - (old.local = 0)
    WHERE item_id = old.item_id AND source_id = old.source_id;
  DELETE FROM item_places WHERE item_id = old.item_id AND source_id = old.source_id AND files < 1;
END;
CREATE TRIGGER tally_file_folder AFTER UPDATE OF source_id, rel_path ON files
WHEN old.source_id IS NOT new.source_id OR substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1) IS NOT substr(new.rel_path, 1, length(rtrim(new.rel_path, replace(new.rel_path, '/', ''))) - 1) BEGIN
  UPDATE folder_files SET files = files - 1 WHERE source_id = old.source_id AND folder = substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1);
  DELETE FROM folder_files WHERE source_id = old.source_id AND folder = substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1) AND files < 1;
  INSERT INTO folder_files (source_id, folder, files) VALUES (new.source_id, substr(new.rel_path, 1, length(rtrim(new.rel_path, replace(new.rel_path, '/', ''))) - 1), 1)
    ON CONFLICT (source_id, folder) DO UPDATE SET files = files + 1;
END;
CREATE TRIGGER tally_file_insert AFTER INSERT ON files BEGIN
  INSERT INTO source_states (source_id, state, files) VALUES (new.source_id, new.state, 1)
    ON CONFLICT (source_id, state) DO UPDATE SET files = files + 1;
  INSERT INTO item_sources (item_id, source_id, files) SELECT new.item_id, new.source_id, 1
    WHERE new.item_id IS NOT NULL AND new.quick_hash IS NOT NULL
    ON CONFLICT (item_id, source_id) DO UPDATE SET files = files + 1;
  INSERT INTO item_renderable (item_id, files) SELECT new.item_id, 1
    WHERE new.item_id IS NOT NULL AND (new.local = 1 OR new.asset_id != '')
    ON CONFLICT (item_id) DO UPDATE SET files = files + 1;
  INSERT INTO folder_files (source_id, folder, files) VALUES (new.source_id, substr(new.rel_path, 1, length(rtrim(new.rel_path, replace(new.rel_path, '/', ''))) - 1), 1)
    ON CONFLICT (source_id, folder) DO UPDATE SET files = files + 1;
  UPDATE lone_items SET size = (SELECT COALESCE(SUM(size), 0) FROM files WHERE item_id = lone_items.item_id), not_local = (SELECT COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = lone_items.item_id) WHERE item_id IN (new.item_id);
  UPDATE kind_totals SET size = size + new.size, not_local = not_local + (new.local = 0)
    WHERE kind = (SELECT kind FROM items WHERE id = new.item_id);
  INSERT INTO item_places (item_id, source_id, files, size, not_local, kind, captured_at)
    SELECT new.item_id, new.source_id, 1, new.size, new.local = 0, COALESCE(i.kind, -1), i.captured_at
    FROM (SELECT 1) LEFT JOIN items AS i ON i.id = new.item_id WHERE new.item_id IS NOT NULL
    ON CONFLICT (item_id, source_id) DO UPDATE SET files = files + 1, size = size + excluded.size,
    not_local = not_local + excluded.not_local;
END;
CREATE TRIGGER tally_file_item AFTER UPDATE OF item_id, quick_hash ON files
WHEN old.item_id IS NOT new.item_id OR (old.quick_hash IS NULL) != (new.quick_hash IS NULL) BEGIN
  UPDATE files SET item_kind = (SELECT kind FROM items WHERE id = files.item_id), item_captured_at = (SELECT captured_at FROM items WHERE id = files.item_id), item_copies = (SELECT COALESCE(SUM(files), 0) FROM item_sources WHERE item_id = files.item_id), is_copy = (item_id IS NOT NULL AND quick_hash IS NOT NULL) WHERE id = new.id;
END;
CREATE TRIGGER tally_file_item_insert AFTER INSERT ON files WHEN new.item_id IS NOT NULL BEGIN
  UPDATE files SET item_kind = (SELECT kind FROM items WHERE id = files.item_id), item_captured_at = (SELECT captured_at FROM items WHERE id = files.item_id), item_copies = (SELECT COALESCE(SUM(files), 0) FROM item_sources WHERE item_id = files.item_id), is_copy = (item_id IS NOT NULL AND quick_hash IS NOT NULL) WHERE id = new.id;
END;
CREATE TRIGGER tally_file_lone_size AFTER UPDATE OF item_id, size, local ON files
WHEN old.item_id IS NOT new.item_id OR old.size != new.size OR old.local != new.local BEGIN
  UPDATE lone_items SET size = (SELECT COALESCE(SUM(size), 0) FROM files WHERE item_id = lone_items.item_id), not_local = (SELECT COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = lone_items.item_id) WHERE item_id IN (old.item_id, new.item_id);
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
CREATE TRIGGER tally_file_renderable AFTER UPDATE OF item_id, local, asset_id ON files
WHEN old.item_id IS NOT new.item_id OR (old.local = 1 OR old.asset_id != '') != (new.local = 1 OR new.asset_id != '') BEGIN
  UPDATE item_renderable SET files = files - 1 WHERE (old.local = 1 OR old.asset_id != '') AND item_id = old.item_id;
  DELETE FROM item_renderable WHERE item_id = old.item_id AND files < 1;
  INSERT INTO item_renderable (item_id, files) SELECT new.item_id, 1
    WHERE new.item_id IS NOT NULL AND (new.local = 1 OR new.asset_id != '')
    ON CONFLICT (item_id) DO UPDATE SET files = files + 1;
END;
CREATE TRIGGER tally_file_state AFTER UPDATE OF source_id, state ON files
WHEN old.source_id IS NOT new.source_id OR old.state IS NOT new.state BEGIN
  UPDATE source_states SET files = files - 1 WHERE source_id = old.source_id AND state = old.state;
  DELETE FROM source_states WHERE source_id = old.source_id AND state = old.state AND files < 1;
  INSERT INTO source_states (source_id, state, files) VALUES (new.source_id, new.state, 1)
    ON CONFLICT (source_id, state) DO UPDATE SET files = files + 1;
END;
CREATE TRIGGER tally_item_delete AFTER DELETE ON items BEGIN
  UPDATE kind_totals SET items = items - 1, size = size - (SELECT COALESCE(SUM(size), 0) FROM files WHERE item_id = old.id),
    not_local = not_local - (SELECT COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = old.id) WHERE kind = old.kind;
  DELETE FROM kind_totals WHERE kind = old.kind AND items < 1;
  UPDATE lone_items SET kind = -1, captured_at = NULL WHERE item_id = old.id;
  UPDATE item_places SET kind = -1, captured_at = NULL WHERE item_id = old.id;
  UPDATE photo_asset_items SET kind = -1, captured_at = NULL WHERE item_id = old.id;
  UPDATE files SET item_kind = NULL, item_captured_at = NULL WHERE item_id = old.id;
  DELETE FROM weak_id_sources WHERE weak_id = old.weak_id; INSERT INTO weak_id_sources (weak_id, source_id, items) SELECT old.weak_id, s.source_id, COUNT(*) FROM items AS i JOIN item_sources AS s ON s.item_id = i.id WHERE i.weak_id = old.weak_id AND old.weak_id != '' AND (SELECT COUNT(*) FROM items WHERE weak_id = old.weak_id) > 1 GROUP BY s.source_id; UPDATE weak_id_counts SET lone = (SELECT COUNT(*) FROM items AS i JOIN lone_items AS l ON l.item_id = i.id WHERE i.weak_id = old.weak_id) WHERE weak_id = old.weak_id;
  UPDATE preview_progress SET total = total - 1, done = done - (old.proxy_ext != '' OR old.full_error IS NOT NULL)
    WHERE old.kind IN (0, 1, 3) AND EXISTS (SELECT 1 FROM item_renderable WHERE item_id = old.id);
END;
CREATE TRIGGER tally_item_insert AFTER INSERT ON items BEGIN
  INSERT INTO kind_totals (kind, items, size, not_local)
    SELECT new.kind, 1, COALESCE(SUM(size), 0), COALESCE(SUM(local = 0), 0) FROM files WHERE item_id = new.id
    ON CONFLICT (kind) DO UPDATE SET items = items + 1, size = size + excluded.size, not_local = not_local + excluded.not_local;
  UPDATE lone_items SET kind = new.kind, captured_at = new.captured_at WHERE item_id = new.id;
  UPDATE item_places SET kind = new.kind, captured_at = new.captured_at WHERE item_id = new.id;
  UPDATE photo_asset_items SET kind = new.kind, captured_at = new.captured_at WHERE item_id = new.id;
  UPDATE files SET item_kind = new.kind, item_captured_at = new.captured_at WHERE item_id = new.id;
  DELETE FROM weak_id_sources WHERE weak_id = new.weak_id; INSERT INTO weak_id_sources (weak_id, source_id, items) SELECT new.weak_id, s.source_id, COUNT(*) FROM items AS i JOIN item_sources AS s ON s.item_id = i.id WHERE i.weak_id = new.weak_id AND new.weak_id != '' AND (SELECT COUNT(*) FROM items WHERE weak_id = new.weak_id) > 1 GROUP BY s.source_id; UPDATE weak_id_counts SET lone = (SELECT COUNT(*) FROM items AS i JOIN lone_items AS l ON l.item_id = i.id WHERE i.weak_id = new.weak_id) WHERE weak_id = new.weak_id;
  UPDATE preview_progress SET total = total + 1, done = done + (new.proxy_ext != '' OR new.full_error IS NOT NULL)
    WHERE new.kind IN (0, 1, 3) AND EXISTS (SELECT 1 FROM item_renderable WHERE item_id = new.id);
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
CREATE TRIGGER tally_item_preview AFTER UPDATE OF kind, proxy_ext, full_error ON items BEGIN
  UPDATE preview_progress SET
    total = total - (old.kind IN (0, 1, 3)) + (new.kind IN (0, 1, 3)),
    done = done - (old.kind IN (0, 1, 3) AND (old.proxy_ext != '' OR old.full_error IS NOT NULL))
      + (new.kind IN (0, 1, 3) AND (new.proxy_ext != '' OR new.full_error IS NOT NULL))
    WHERE EXISTS (SELECT 1 FROM item_renderable WHERE item_id = new.id);
END;
CREATE TRIGGER tally_item_weak AFTER UPDATE OF weak_id ON items WHEN old.weak_id IS NOT new.weak_id BEGIN
  DELETE FROM weak_id_sources WHERE weak_id = old.weak_id; INSERT INTO weak_id_sources (weak_id, source_id, items) SELECT old.weak_id, s.source_id, COUNT(*) FROM items AS i JOIN item_sources AS s ON s.item_id = i.id WHERE i.weak_id = old.weak_id AND old.weak_id != '' AND (SELECT COUNT(*) FROM items WHERE weak_id = old.weak_id) > 1 GROUP BY s.source_id; UPDATE weak_id_counts SET lone = (SELECT COUNT(*) FROM items AS i JOIN lone_items AS l ON l.item_id = i.id WHERE i.weak_id = old.weak_id) WHERE weak_id = old.weak_id;
  DELETE FROM weak_id_sources WHERE weak_id = new.weak_id; INSERT INTO weak_id_sources (weak_id, source_id, items) SELECT new.weak_id, s.source_id, COUNT(*) FROM items AS i JOIN item_sources AS s ON s.item_id = i.id WHERE i.weak_id = new.weak_id AND new.weak_id != '' AND (SELECT COUNT(*) FROM items WHERE weak_id = new.weak_id) > 1 GROUP BY s.source_id; UPDATE weak_id_counts SET lone = (SELECT COUNT(*) FROM items AS i JOIN lone_items AS l ON l.item_id = i.id WHERE i.weak_id = new.weak_id) WHERE weak_id = new.weak_id;
END;
CREATE TRIGGER tally_lone_delete AFTER DELETE ON lone_items BEGIN
  UPDATE lone_totals SET items = items - 1, size = size - old.size, not_local = not_local - old.not_local
    WHERE source_id = old.source_id AND kind = old.kind;
  DELETE FROM lone_totals WHERE source_id = old.source_id AND kind = old.kind AND items < 1;
  UPDATE weak_id_counts SET lone = lone - 1 WHERE weak_id = (SELECT weak_id FROM items WHERE id = old.item_id);
END;
CREATE TRIGGER tally_lone_insert AFTER INSERT ON lone_items BEGIN
  INSERT INTO lone_totals (source_id, kind, items, size, not_local) VALUES (new.source_id, new.kind, 1, new.size, new.not_local)
    ON CONFLICT (source_id, kind) DO UPDATE SET items = items + 1, size = size + excluded.size,
    not_local = not_local + excluded.not_local;
  UPDATE weak_id_counts SET lone = lone + 1 WHERE weak_id = (SELECT weak_id FROM items WHERE id = new.item_id);
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
CREATE TRIGGER tally_photo_asset_delete AFTER DELETE ON photo_assets BEGIN
  UPDATE photo_groups SET assets = assets - 1, favorites = favorites - (old.favorites > 0), photos = photos - (old.photos > 0), videos = videos - (old.videos > 0), raws = raws - (old.raws > 0), screenshots = screenshots - (old.screenshots > 0), in_albums = in_albums - (old.in_albums > 0) WHERE source_id = old.source_id;
  DELETE FROM photo_groups WHERE source_id = old.source_id AND assets < 1;
END;
CREATE TRIGGER tally_photo_asset_insert AFTER INSERT ON photo_assets BEGIN
  INSERT INTO photo_groups (source_id, assets, favorites, photos, videos, raws, screenshots, in_albums) VALUES (new.source_id, 1, new.favorites > 0, new.photos > 0, new.videos > 0, new.raws > 0, new.screenshots > 0, new.in_albums > 0)
    ON CONFLICT (source_id) DO UPDATE SET assets = assets + 1, favorites = favorites + excluded.favorites, photos = photos + excluded.photos, videos = videos + excluded.videos, raws = raws + excluded.raws, screenshots = screenshots + excluded.screenshots, in_albums = in_albums + excluded.in_albums;
END;
CREATE TRIGGER tally_photo_asset_update AFTER UPDATE OF favorites, photos, videos, raws, screenshots, in_albums ON photo_assets WHEN (old.favorites > 0) != (new.favorites > 0) OR (old.photos > 0) != (new.photos > 0) OR (old.videos > 0) != (new.videos > 0) OR (old.raws > 0) != (new.raws > 0) OR (old.screenshots > 0) != (new.screenshots > 0) OR (old.in_albums > 0) != (new.in_albums > 0) BEGIN
  UPDATE photo_groups SET favorites = favorites - (old.favorites > 0) + (new.favorites > 0), photos = photos - (old.photos > 0) + (new.photos > 0), videos = videos - (old.videos > 0) + (new.videos > 0), raws = raws - (old.raws > 0) + (new.raws > 0), screenshots = screenshots - (old.screenshots > 0) + (new.screenshots > 0), in_albums = in_albums - (old.in_albums > 0) + (new.in_albums > 0) WHERE source_id = new.source_id;
END;
CREATE TRIGGER tally_photo_file_delete AFTER DELETE ON files
WHEN EXISTS (SELECT 1 FROM photo_assets WHERE source_id = old.source_id AND asset_id = old.asset_id) BEGIN
  UPDATE photo_assets SET files = files - 1, favorites = favorites - (old.favorite = 1), raws = raws - (old.raw = 1), screenshots = screenshots - ((old.subtype & 4) != 0), in_albums = in_albums - (instr(old.rel_path, '/') > 0) WHERE source_id = old.source_id AND asset_id = old.asset_id;
  UPDATE photo_asset_items SET files = files - 1
    WHERE source_id = old.source_id AND asset_id = old.asset_id AND item_id = old.item_id;
  DELETE FROM photo_asset_items
    WHERE source_id = old.source_id AND asset_id = old.asset_id AND item_id = old.item_id AND files < 1;
  DELETE FROM photo_assets WHERE source_id = old.source_id AND asset_id = old.asset_id AND files < 1;
  UPDATE photo_folder_assets SET files = files - 1
    WHERE old.asset_id != '' AND source_id = old.source_id AND asset_id = old.asset_id AND folder IN (SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1) UNION ALL SELECT substr(folder, 1, length(rtrim(folder, replace(folder, '/', ''))) - 1) FROM up WHERE folder != '') SELECT folder FROM up WHERE folder != ''));
  DELETE FROM photo_folder_assets WHERE old.asset_id != '' AND source_id = old.source_id
    AND asset_id = old.asset_id AND folder IN (SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1) UNION ALL SELECT substr(folder, 1, length(rtrim(folder, replace(folder, '/', ''))) - 1) FROM up WHERE folder != '') SELECT folder FROM up WHERE folder != '')) AND files < 1;
  UPDATE photo_folders SET assets = assets - 1
    WHERE old.asset_id = '' AND source_id = old.source_id AND folder IN (SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1) UNION ALL SELECT substr(folder, 1, length(rtrim(folder, replace(folder, '/', ''))) - 1) FROM up WHERE folder != '') SELECT folder FROM up WHERE folder != ''));
  DELETE FROM photo_folders WHERE old.asset_id = '' AND source_id = old.source_id AND folder IN (SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1) UNION ALL SELECT substr(folder, 1, length(rtrim(folder, replace(folder, '/', ''))) - 1) FROM up WHERE folder != '') SELECT folder FROM up WHERE folder != ''))
    AND assets < 1;
END;
CREATE TRIGGER tally_photo_file_insert AFTER INSERT ON files WHEN (SELECT kind FROM sources WHERE id = new.source_id) = 1 BEGIN
  INSERT INTO photo_assets (source_id, asset_id, files, favorites, raws, screenshots, in_albums, photos, videos, captured_at)
    SELECT new.source_id, new.asset_id, 1, new.favorite = 1, new.raw = 1, (new.subtype & 4) != 0, instr(new.rel_path, '/') > 0, 0, 0, NULL WHERE 1
    ON CONFLICT (source_id, asset_id) DO UPDATE SET files = files + 1, favorites = favorites + excluded.favorites, raws = raws + excluded.raws, screenshots = screenshots + excluded.screenshots, in_albums = in_albums + excluded.in_albums;
  INSERT INTO photo_asset_items (source_id, asset_id, item_id, files, kind, captured_at)
    SELECT new.source_id, new.asset_id, new.item_id, 1, COALESCE(i.kind, -1), i.captured_at
    FROM (SELECT 1) LEFT JOIN items AS i ON i.id = new.item_id WHERE new.item_id IS NOT NULL AND 1
    ON CONFLICT (source_id, asset_id, item_id) DO UPDATE SET files = files + 1;
  INSERT INTO photo_folder_assets (source_id, folder, asset_id, files)
    SELECT new.source_id, folder, new.asset_id, 1 FROM (SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT substr(new.rel_path, 1, length(rtrim(new.rel_path, replace(new.rel_path, '/', ''))) - 1) UNION ALL SELECT substr(folder, 1, length(rtrim(folder, replace(folder, '/', ''))) - 1) FROM up WHERE folder != '') SELECT folder FROM up WHERE folder != '')) WHERE new.asset_id != '' AND 1
    ON CONFLICT (source_id, folder, asset_id) DO UPDATE SET files = files + 1;
  INSERT INTO photo_folders (source_id, folder, assets)
    SELECT new.source_id, folder, 1 FROM (SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT substr(new.rel_path, 1, length(rtrim(new.rel_path, replace(new.rel_path, '/', ''))) - 1) UNION ALL SELECT substr(folder, 1, length(rtrim(folder, replace(folder, '/', ''))) - 1) FROM up WHERE folder != '') SELECT folder FROM up WHERE folder != '')) WHERE new.asset_id = '' AND 1
    ON CONFLICT (source_id, folder) DO UPDATE SET assets = assets + 1;
END;
CREATE TRIGGER tally_photo_file_update AFTER UPDATE OF source_id, rel_path, asset_id, item_id, favorite, raw, subtype ON files
WHEN (old.source_id IS NOT new.source_id OR old.rel_path IS NOT new.rel_path OR old.asset_id IS NOT new.asset_id
  OR old.item_id IS NOT new.item_id OR old.favorite IS NOT new.favorite OR old.raw IS NOT new.raw
  OR old.subtype IS NOT new.subtype)
  AND (EXISTS (SELECT 1 FROM photo_assets WHERE source_id = old.source_id AND asset_id = old.asset_id) OR (SELECT kind FROM sources WHERE id = new.source_id) = 1) BEGIN
  UPDATE photo_assets SET files = files - 1, favorites = favorites - (old.favorite = 1), raws = raws - (old.raw = 1), screenshots = screenshots - ((old.subtype & 4) != 0), in_albums = in_albums - (instr(old.rel_path, '/') > 0) WHERE source_id = old.source_id AND asset_id = old.asset_id;
  UPDATE photo_asset_items SET files = files - 1
    WHERE source_id = old.source_id AND asset_id = old.asset_id AND item_id = old.item_id;
  DELETE FROM photo_asset_items
    WHERE source_id = old.source_id AND asset_id = old.asset_id AND item_id = old.item_id AND files < 1;
  DELETE FROM photo_assets WHERE source_id = old.source_id AND asset_id = old.asset_id AND files < 1;
  UPDATE photo_folder_assets SET files = files - 1
    WHERE old.asset_id != '' AND source_id = old.source_id AND asset_id = old.asset_id AND folder IN (SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1) UNION ALL SELECT substr(folder, 1, length(rtrim(folder, replace(folder, '/', ''))) - 1) FROM up WHERE folder != '') SELECT folder FROM up WHERE folder != ''));
  DELETE FROM photo_folder_assets WHERE old.asset_id != '' AND source_id = old.source_id
    AND asset_id = old.asset_id AND folder IN (SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1) UNION ALL SELECT substr(folder, 1, length(rtrim(folder, replace(folder, '/', ''))) - 1) FROM up WHERE folder != '') SELECT folder FROM up WHERE folder != '')) AND files < 1;
  UPDATE photo_folders SET assets = assets - 1
    WHERE old.asset_id = '' AND source_id = old.source_id AND folder IN (SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1) UNION ALL SELECT substr(folder, 1, length(rtrim(folder, replace(folder, '/', ''))) - 1) FROM up WHERE folder != '') SELECT folder FROM up WHERE folder != ''));
  DELETE FROM photo_folders WHERE old.asset_id = '' AND source_id = old.source_id AND folder IN (SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT substr(old.rel_path, 1, length(rtrim(old.rel_path, replace(old.rel_path, '/', ''))) - 1) UNION ALL SELECT substr(folder, 1, length(rtrim(folder, replace(folder, '/', ''))) - 1) FROM up WHERE folder != '') SELECT folder FROM up WHERE folder != ''))
    AND assets < 1;
  INSERT INTO photo_assets (source_id, asset_id, files, favorites, raws, screenshots, in_albums, photos, videos, captured_at)
    SELECT new.source_id, new.asset_id, 1, new.favorite = 1, new.raw = 1, (new.subtype & 4) != 0, instr(new.rel_path, '/') > 0, 0, 0, NULL WHERE (SELECT kind FROM sources WHERE id = new.source_id) = 1
    ON CONFLICT (source_id, asset_id) DO UPDATE SET files = files + 1, favorites = favorites + excluded.favorites, raws = raws + excluded.raws, screenshots = screenshots + excluded.screenshots, in_albums = in_albums + excluded.in_albums;
  INSERT INTO photo_asset_items (source_id, asset_id, item_id, files, kind, captured_at)
    SELECT new.source_id, new.asset_id, new.item_id, 1, COALESCE(i.kind, -1), i.captured_at
    FROM (SELECT 1) LEFT JOIN items AS i ON i.id = new.item_id WHERE new.item_id IS NOT NULL AND (SELECT kind FROM sources WHERE id = new.source_id) = 1
    ON CONFLICT (source_id, asset_id, item_id) DO UPDATE SET files = files + 1;
  INSERT INTO photo_folder_assets (source_id, folder, asset_id, files)
    SELECT new.source_id, folder, new.asset_id, 1 FROM (SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT substr(new.rel_path, 1, length(rtrim(new.rel_path, replace(new.rel_path, '/', ''))) - 1) UNION ALL SELECT substr(folder, 1, length(rtrim(folder, replace(folder, '/', ''))) - 1) FROM up WHERE folder != '') SELECT folder FROM up WHERE folder != '')) WHERE new.asset_id != '' AND (SELECT kind FROM sources WHERE id = new.source_id) = 1
    ON CONFLICT (source_id, folder, asset_id) DO UPDATE SET files = files + 1;
  INSERT INTO photo_folders (source_id, folder, assets)
    SELECT new.source_id, folder, 1 FROM (SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT substr(new.rel_path, 1, length(rtrim(new.rel_path, replace(new.rel_path, '/', ''))) - 1) UNION ALL SELECT substr(folder, 1, length(rtrim(folder, replace(folder, '/', ''))) - 1) FROM up WHERE folder != '') SELECT folder FROM up WHERE folder != '')) WHERE new.asset_id = '' AND (SELECT kind FROM sources WHERE id = new.source_id) = 1
    ON CONFLICT (source_id, folder) DO UPDATE SET assets = assets + 1;
END;
CREATE TRIGGER tally_photo_folder_delete AFTER DELETE ON photo_folder_assets BEGIN
  UPDATE photo_folders SET assets = assets - 1 WHERE source_id = old.source_id AND folder = old.folder;
  DELETE FROM photo_folders WHERE source_id = old.source_id AND folder = old.folder AND assets < 1;
END;
CREATE TRIGGER tally_photo_folder_insert AFTER INSERT ON photo_folder_assets BEGIN
  INSERT INTO photo_folders (source_id, folder, assets) VALUES (new.source_id, new.folder, 1)
    ON CONFLICT (source_id, folder) DO UPDATE SET assets = assets + 1;
END;
CREATE TRIGGER tally_photo_item_delete AFTER DELETE ON photo_asset_items BEGIN
  UPDATE photo_assets SET photos = photos - (old.kind = 0), videos = videos - (old.kind = 1), captured_at = (SELECT MAX(captured_at) FROM photo_asset_items WHERE source_id = old.source_id AND asset_id = old.asset_id)
    WHERE source_id = old.source_id AND asset_id = old.asset_id;
END;
CREATE TRIGGER tally_photo_item_insert AFTER INSERT ON photo_asset_items BEGIN
  UPDATE photo_assets SET photos = photos + (new.kind = 0), videos = videos + (new.kind = 1), captured_at = (SELECT MAX(captured_at) FROM photo_asset_items WHERE source_id = new.source_id AND asset_id = new.asset_id)
    WHERE source_id = new.source_id AND asset_id = new.asset_id;
END;
CREATE TRIGGER tally_photo_item_update AFTER UPDATE OF kind, captured_at ON photo_asset_items
WHEN old.kind != new.kind OR old.captured_at IS NOT new.captured_at BEGIN
  UPDATE photo_assets SET photos = photos - (old.kind = 0) + (new.kind = 0), videos = videos - (old.kind = 1) + (new.kind = 1),
    captured_at = (SELECT MAX(captured_at) FROM photo_asset_items WHERE source_id = new.source_id AND asset_id = new.asset_id) WHERE source_id = new.source_id AND asset_id = new.asset_id;
END;
CREATE TRIGGER tally_place_delete AFTER DELETE ON item_places BEGIN
  UPDATE place_totals SET items = items - 1, size = size - old.size, not_local = not_local - old.not_local
    WHERE source_id = old.source_id AND kind = old.kind;
  DELETE FROM place_totals WHERE source_id = old.source_id AND kind = old.kind AND items < 1;
  UPDATE place_sets SET items = items - 1 WHERE sources = (SELECT group_concat(source_id, '|') FROM (SELECT source_id FROM item_places WHERE item_id = old.item_id UNION SELECT old.source_id ORDER BY 1)) AND kind = old.kind;
  DELETE FROM place_sets WHERE sources = (SELECT group_concat(source_id, '|') FROM (SELECT source_id FROM item_places WHERE item_id = old.item_id UNION SELECT old.source_id ORDER BY 1)) AND kind = old.kind AND items < 1;
  INSERT INTO place_sets (sources, kind, items) SELECT sources, old.kind, 1 FROM (SELECT (SELECT group_concat(source_id, '|') FROM (SELECT source_id FROM item_places WHERE item_id = old.item_id ORDER BY 1)) AS sources) WHERE sources IS NOT NULL
    ON CONFLICT (sources, kind) DO UPDATE SET items = items + 1;
END;
CREATE TRIGGER tally_place_insert AFTER INSERT ON item_places BEGIN
  INSERT INTO place_totals (source_id, kind, items, size, not_local) VALUES (new.source_id, new.kind, 1, new.size, new.not_local)
    ON CONFLICT (source_id, kind) DO UPDATE SET items = items + 1, size = size + excluded.size,
    not_local = not_local + excluded.not_local;
  UPDATE place_sets SET items = items - 1 WHERE sources = (SELECT group_concat(source_id, '|') FROM (SELECT source_id FROM item_places WHERE item_id = new.item_id AND source_id != new.source_id ORDER BY 1)) AND kind = new.kind;
  DELETE FROM place_sets WHERE sources = (SELECT group_concat(source_id, '|') FROM (SELECT source_id FROM item_places WHERE item_id = new.item_id AND source_id != new.source_id ORDER BY 1)) AND kind = new.kind AND items < 1;
  INSERT INTO place_sets (sources, kind, items) SELECT (SELECT group_concat(source_id, '|') FROM (SELECT source_id FROM item_places WHERE item_id = new.item_id ORDER BY 1)), new.kind, 1 WHERE 1
    ON CONFLICT (sources, kind) DO UPDATE SET items = items + 1;
END;
CREATE TRIGGER tally_place_set_kind AFTER UPDATE OF kind ON item_places WHEN old.kind != new.kind
  AND new.source_id = (SELECT MIN(source_id) FROM item_places WHERE item_id = new.item_id) BEGIN
  UPDATE place_sets SET items = items - 1 WHERE sources = (SELECT group_concat(source_id, '|') FROM (SELECT source_id FROM item_places WHERE item_id = new.item_id ORDER BY 1)) AND kind = old.kind;
  DELETE FROM place_sets WHERE sources = (SELECT group_concat(source_id, '|') FROM (SELECT source_id FROM item_places WHERE item_id = new.item_id ORDER BY 1)) AND kind = old.kind AND items < 1;
  INSERT INTO place_sets (sources, kind, items) SELECT (SELECT group_concat(source_id, '|') FROM (SELECT source_id FROM item_places WHERE item_id = new.item_id ORDER BY 1)), new.kind, 1 WHERE 1
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
CREATE TRIGGER tally_renderable_delete AFTER DELETE ON item_renderable BEGIN
  UPDATE preview_progress SET total = total - 1,
    done = done - (SELECT proxy_ext != '' OR full_error IS NOT NULL FROM items WHERE id = old.item_id)
    WHERE EXISTS (SELECT 1 FROM items WHERE id = old.item_id AND kind IN (0, 1, 3));
END;
CREATE TRIGGER tally_renderable_insert AFTER INSERT ON item_renderable BEGIN
  UPDATE preview_progress SET total = total + 1,
    done = done + (SELECT proxy_ext != '' OR full_error IS NOT NULL FROM items WHERE id = new.item_id)
    WHERE EXISTS (SELECT 1 FROM items WHERE id = new.item_id AND kind IN (0, 1, 3));
END;
CREATE TRIGGER tally_weak_source_delete AFTER DELETE ON weak_id_sources BEGIN
  UPDATE weak_id_counts SET sources = sources - 1 WHERE weak_id = old.weak_id;
  DELETE FROM weak_id_counts WHERE weak_id = old.weak_id AND sources < 1;
END;
CREATE TRIGGER tally_weak_source_insert AFTER INSERT ON weak_id_sources BEGIN
  INSERT INTO weak_id_counts (weak_id, sources, lone) VALUES (new.weak_id, 1, 0)
    ON CONFLICT (weak_id) DO UPDATE SET sources = sources + 1;
END;
CREATE TABLE weak_id_counts (weak_id TEXT NOT NULL PRIMARY KEY, sources INTEGER NOT NULL, lone INTEGER NOT NULL)
  WITHOUT ROWID;
CREATE INDEX weak_id_counts_twinned ON weak_id_counts(weak_id) WHERE sources > 1 AND lone > 0;
CREATE TABLE weak_id_sources (weak_id TEXT NOT NULL, source_id TEXT NOT NULL, items INTEGER NOT NULL,
  PRIMARY KEY (weak_id, source_id)) WITHOUT ROWID;
CREATE TABLE workspace_sources (workspace_id TEXT NOT NULL, source_id TEXT NOT NULL, path TEXT NOT NULL DEFAULT '', PRIMARY KEY (workspace_id, source_id, path));
CREATE TABLE workspaces (id TEXT PRIMARY KEY, name TEXT NOT NULL, symbol TEXT NOT NULL, tint TEXT NOT NULL, position INTEGER NOT NULL, created_at REAL NOT NULL);
