#include "Pellmar/index/Index.h"

#include "Pellmar/index/IndexTallies.h"
#include "Pellmar/index/Log.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>

#include <sqlite3.h>

namespace {

constexpr qint64 currentVersion = 20;
// A file with an items table below this version predates the base script and is started afresh.
constexpr qint64 firstKeptVersion = 2;
// Files below this version may hold Apple Photos items whose larger previews failed for good.
constexpr qint64 firstVersionWithPhotosPreviews = 4;

// The tables of the first layout that is still upgraded; the version it leaves is 2 so that an
// interrupted upgrade resumes without dropping anything.
const QString baseScript = QStringLiteral(R"(CREATE TABLE IF NOT EXISTS sources (
  id TEXT PRIMARY KEY,
  name TEXT NOT NULL,
  root_path TEXT NOT NULL,
  volume_uuid TEXT NOT NULL,
  volume_name TEXT NOT NULL,
  added_at REAL NOT NULL
);
CREATE TABLE IF NOT EXISTS files (
  id INTEGER PRIMARY KEY,
  source_id TEXT NOT NULL REFERENCES sources(id) ON DELETE CASCADE,
  rel_path TEXT NOT NULL,
  size INTEGER NOT NULL,
  mtime REAL NOT NULL,
  quick_hash TEXT,
  item_id TEXT,
  state INTEGER NOT NULL DEFAULT 0,
  error TEXT,
  UNIQUE(source_id, rel_path)
);
CREATE INDEX IF NOT EXISTS files_state ON files(state);
CREATE TABLE IF NOT EXISTS items (
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
);
CREATE INDEX IF NOT EXISTS items_proxy ON items(proxy_ext);
CREATE VIRTUAL TABLE IF NOT EXISTS search USING fts5(item_id UNINDEXED, text, tokenize = 'unicode61 remove_diacritics 2');
PRAGMA user_version = 2;)");

// The columns the base script gives its three content tables. A file whose tables have them all
// has the base layout or a later one, whatever its version number says.
const QString baseColumnsProbe = QStringLiteral(
    "SELECT (SELECT COUNT(*) FROM pragma_table_info('sources') WHERE name IN ('id', 'name', 'root_path', "
    "'volume_uuid', 'volume_name', 'added_at')) = 6 AND (SELECT COUNT(*) FROM pragma_table_info('files') WHERE name "
    "IN ('id', 'source_id', 'rel_path', 'size', 'mtime', 'quick_hash', 'item_id', 'state', 'error')) = 9 AND (SELECT "
    "COUNT(*) FROM pragma_table_info('items') WHERE name IN ('id', 'quick_hash', 'kind', 'filename', 'captured_at', "
    "'width', 'height', 'duration', 'camera', 'lens', 'preview_ext', 'proxy_ext', 'poster_ext', 'full_error', "
    "'created_at')) = 15");

struct AddedColumn {
    const char* table;
    const char* column;
    const char* declaration;
};

// Columns that came after the base layout, in the order they were introduced.
constexpr AddedColumn addedColumns[] = {
    {"sources", "kind", "INTEGER NOT NULL DEFAULT 0"},
    {"files", "asset_id", "TEXT NOT NULL DEFAULT ''"},
    {"files", "local", "INTEGER NOT NULL DEFAULT 1"},
    {"items", "weak_id", "TEXT NOT NULL DEFAULT ''"},
    {"files", "favorite", "INTEGER NOT NULL DEFAULT 0"},
    {"files", "subtype", "INTEGER NOT NULL DEFAULT 0"},
    {"files", "raw", "INTEGER NOT NULL DEFAULT 0"},
    {"files", "added_at", "REAL NOT NULL DEFAULT 0"},
    {"items", "modified_at", "REAL NOT NULL DEFAULT 0"},
    {"items", "added_at", "REAL NOT NULL DEFAULT 0"},
    {"items", "uti", "TEXT NOT NULL DEFAULT ''"},
    // What a file's item holds, kept on the file by the index's triggers (see IndexTallies.cpp).
    {"files", "item_kind", "INTEGER"},
    {"files", "item_captured_at", "REAL"},
    {"files", "item_copies", "INTEGER NOT NULL DEFAULT 0"},
    {"files", "is_copy", "INTEGER NOT NULL DEFAULT 0"},
    // The digest of a hashed file's last 64 KiB, read only once another file shares its quick hash;
    // NULL until then (and for files the quick hash covers whole).
    {"files", "tail_hash", "TEXT"},
    // NULL for sources added before it was kept.
    {"sources", "volume_path", "TEXT"},
};

const QString queryIndexScript = QStringLiteral(
    "CREATE INDEX IF NOT EXISTS items_kind_captured ON items(kind, captured_at);\n"
    "CREATE INDEX IF NOT EXISTS items_captured_modified ON items(captured_at, modified_at);\n"
    "CREATE INDEX IF NOT EXISTS items_modified ON items(modified_at);\n"
    "CREATE INDEX IF NOT EXISTS items_added ON items(added_at, created_at);\n"
    "CREATE INDEX IF NOT EXISTS items_name ON items(filename COLLATE NOCASE);\n"
    "CREATE INDEX IF NOT EXISTS files_source_item ON files(source_id, item_id);\n"
    "CREATE INDEX IF NOT EXISTS files_favorite ON files(item_id) WHERE favorite = 1;\n"
    "CREATE INDEX IF NOT EXISTS files_asset ON files(item_id) WHERE asset_id != '';");

// Indexes added for speed after the file format was fixed. Unlike the rest of the schema they are
// made sure of on every start, the fast path included, so a file already at the current version
// gets an index added here on its next start. Add new ones at the end of this list.
struct SpeedIndex {
    const char* table;
    QString statement;
};

const SpeedIndex speedIndexes[] = {
    // Lets an item's search row be found through the full-text table's content store by item id
    // ("DELETE FROM search WHERE rowid IN (SELECT id FROM search_content WHERE c0 = ?)") instead
    // of a scan of every search row.
    {"search_content", QStringLiteral("CREATE INDEX IF NOT EXISTS search_item ON search_content(c0)")},
    // Lets the status line's per-source progress, read every second, count files by state from
    // this index alone instead of reading every file row.
    {"files", QStringLiteral("CREATE INDEX IF NOT EXISTS files_source_state ON files(source_id, state)")},
    // Let the larger-preview queue find the items still waiting without reading the finished ones,
    // and walk the ready files that can be rendered from in size order.
    {"items", QStringLiteral("CREATE INDEX IF NOT EXISTS items_waiting ON items(kind) WHERE proxy_ext = '' AND full_error IS NULL")},
    {"files", QStringLiteral("CREATE INDEX IF NOT EXISTS files_ready_size ON files(size, item_id, source_id) WHERE state = 2 AND "
                   "(local = 1 OR asset_id != '')")},
    // Lets the grid sorted by kind, ascending, read the items in its order: newest first within
    // each kind.
    {"items", QStringLiteral("CREATE INDEX IF NOT EXISTS items_kind_newest ON items(kind, captured_at DESC, modified_at DESC)")},
    // Lets the grid of a large place look at each item's files in that place from this index alone.
    {"files", QStringLiteral("CREATE INDEX IF NOT EXISTS files_item_place ON files(item_id, source_id, rel_path)")},
    // Lets the grid find the few photo library files of the Favorites, RAW and Screenshots groups
    // without reading every file of the source.
    {"files", QStringLiteral("CREATE INDEX IF NOT EXISTS files_photo_flags ON files(source_id, item_id) WHERE favorite = 1 OR "
                   "raw = 1 OR (subtype & %1) != 0")
        .arg(screenshotSubtype)},
    // Lets the larger-preview progress probe an item's files for a copy that can be rendered from
    // without reading the files that cannot.
    {"files", QStringLiteral("CREATE INDEX IF NOT EXISTS files_renderable ON files(item_id) WHERE local = 1 OR asset_id != ''")},
    // Lets the favorites view find the photo library's favorites without reading every asset row.
    {"files", QStringLiteral("CREATE INDEX IF NOT EXISTS files_photo_favorite ON files(item_id) WHERE asset_id != '' AND favorite = 1")},
    // Lets the single-copy and only-here tests read each item's hashed files, the only ones that
    // count as copies, from this index alone: a file reset by a change keeps its item, not its hash.
    {"files", QStringLiteral("CREATE INDEX IF NOT EXISTS files_hashed_item ON files(item_id, source_id, rel_path) WHERE "
                             "quick_hash IS NOT NULL")},
    // Lets the single-copy test learn whether any photo library asset is not on this computer
    // without reading the assets that are.
    {"files", QStringLiteral("CREATE INDEX IF NOT EXISTS files_offline_asset ON files(source_id) WHERE asset_id != '' AND "
                             "local = 0")},
    // Lets the panel's figures of single copies find the files reset by a change, which still
    // name their item but are no copy of it, without reading the others.
    {"files", QStringLiteral("CREATE INDEX IF NOT EXISTS files_reset_item ON files(item_id, source_id) WHERE quick_hash IS "
                             "NULL AND item_id IS NOT NULL")},
    // Lets a folder's summary read each file below it with what its item holds, in path order,
    // from this index alone.
    {"files", QStringLiteral("CREATE INDEX IF NOT EXISTS files_folder_items ON files(source_id, rel_path, item_id, item_kind, "
                             "item_captured_at, item_copies, is_copy, size, local)")},
};

const QString favoritesTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS favorites (workspace_id TEXT NOT NULL, item_id TEXT NOT NULL, added_at REAL NOT "
    "NULL, PRIMARY KEY (workspace_id, item_id))");
// Favorites of items that a rebuild of the index removed, by content key: each goes back to the
// new item of its key once a file of that content is indexed again.
const QString keptFavoritesTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS kept_favorites (quick_hash TEXT NOT NULL, workspace_id TEXT NOT NULL, added_at REAL "
    "NOT NULL, PRIMARY KEY (quick_hash, workspace_id))");
const QString keptFavoritesReturn = QStringLiteral(
    "CREATE TRIGGER IF NOT EXISTS kept_favorites_return AFTER INSERT ON items WHEN EXISTS (SELECT 1 FROM kept_favorites "
    "WHERE quick_hash = new.quick_hash) BEGIN\n"
    "  INSERT OR IGNORE INTO favorites (workspace_id, item_id, added_at) SELECT workspace_id, new.id, added_at FROM "
    "kept_favorites WHERE quick_hash = new.quick_hash;\n"
    "  DELETE FROM kept_favorites WHERE quick_hash = new.quick_hash;\n"
    "END");
// The writer's notes of the items it removes that had pictures, kept on its connection only, for
// takeRemovedItems. A rolled-back removal takes its note with it.
const QString removedItemNotes = QStringLiteral(
    "CREATE TEMP TABLE IF NOT EXISTS removed_items (id TEXT PRIMARY KEY, preview_ext TEXT NOT NULL, proxy_ext TEXT NOT "
    "NULL, poster_ext TEXT NOT NULL);\n"
    "CREATE TEMP TRIGGER IF NOT EXISTS note_removed_item AFTER DELETE ON main.items WHEN old.preview_ext != '' OR "
    "old.poster_ext != '' OR old.proxy_ext NOT IN ('', 'none') BEGIN\n"
    "  INSERT OR REPLACE INTO removed_items (id, preview_ext, proxy_ext, poster_ext) VALUES (old.id, old.preview_ext, "
    "old.proxy_ext, old.poster_ext);\n"
    "END;");
const QString workspacesTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS workspaces (id TEXT PRIMARY KEY, name TEXT NOT NULL, symbol TEXT NOT NULL, tint "
    "TEXT NOT NULL, position INTEGER NOT NULL, created_at REAL NOT NULL)");
const QString membersTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS workspace_sources (workspace_id TEXT NOT NULL, source_id TEXT NOT NULL, path TEXT "
    "NOT NULL DEFAULT '', PRIMARY KEY (workspace_id, source_id, path))");
const QString pinsTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS pins (workspace_id TEXT NOT NULL, source_id TEXT NOT NULL, path TEXT NOT NULL, "
    "position INTEGER NOT NULL, PRIMARY KEY (workspace_id, source_id, path))");
// Folders inside sources that a walk found on a device of their own: the drive mounted there may be
// away at a later start, and its empty folder must not read as its files deleted.
const QString mountPointsTable = QStringLiteral("CREATE TABLE IF NOT EXISTS mount_points (path TEXT PRIMARY KEY)");
const QString foldersTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS folders (source_id TEXT NOT NULL REFERENCES sources(id) ON DELETE CASCADE, rel_path "
    "TEXT NOT NULL, parent_path TEXT NOT NULL, mtime REAL NOT NULL, PRIMARY KEY (source_id, rel_path))");

// The first row's first column as an integer; nothing when the statement yields no row. A probe
// that fails throws instead of reading as "no row": a version read as 0 by mistake would have the
// tables of an index that is fine dropped.
std::optional<qint64> firstInteger(Database& db, const QString& sql, const SqlValues& values = {})
{
    Statement statement(db.db(), sql);
    statement.bind(values);
    if (!statement.step())
        return std::nullopt;
    return statement.int64(0);
}

QByteArray milliseconds(qint64 nanoseconds)
{
    return QByteArray::number(double(nanoseconds) / 1e6, 'f', 2);
}

bool hasColumn(Database& db, const QString& table, const QString& column)
{
    return firstInteger(db, QStringLiteral("SELECT COUNT(*) FROM pragma_table_info(?) WHERE name = ?"), {table, column})
               .value_or(1)
        != 0;
}

bool hasTable(Database& db, const QString& name)
{
    return firstInteger(db, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ?"), {name})
               .value_or(0)
        > 0;
}

// Runs the statements of `rebuild` when `column` is missing from `table`.
void rebuildWithoutColumn(Database& db, const QString& table, const QString& column, const QStringList& rebuild)
{
    if (hasColumn(db, table, column))
        return;
    for (const QString& statement : rebuild)
        db.exec(statement);
}

// Makes sure of the speed indexes on a file at the current version. A damaged file that lacks a
// table gets no index on it, and one that cannot be made is passed over: either is logged, and the
// program starts, so the user sees the failing reads instead of a program that never opens.
void ensureSpeedIndexes(Database& db)
{
    for (const SpeedIndex& index : speedIndexes) {
        const QString table = QString::fromLatin1(index.table);
        try {
            if (!hasTable(db, table)) {
                qCWarning(logIndex, "migrate fast path: table %s is missing; its index is not made: %s",
                          index.table, qUtf8Printable(index.statement));
                continue;
            }
            db.exec(index.statement);
        } catch (const DatabaseError& error) {
            qCWarning(logIndex, "migrate fast path: %s failed: %s", qUtf8Printable(index.statement),
                      qUtf8Printable(error.description()));
        }
    }
}

// Starts the writer's notes of removed items. Without them (a damaged file that cannot take them)
// the program still starts, and only the idle pass over "Proxies" finds the files of removed items.
void noteRemovedItems(Database& db)
{
    // A read-only connection removes nothing.
    if (firstInteger(db, QStringLiteral("PRAGMA query_only")).value_or(0) != 0)
        return;
    try {
        db.exec(removedItemNotes);
    } catch (const DatabaseError& error) {
        qCWarning(logIndex, "migrate: the notes of removed items could not be set up: %s",
                  qUtf8Printable(error.description()));
    }
}

// Copies the index file, with what its write-ahead log holds, to a new file beside it named after
// the version it had ("index-version1.sqlite"), before an upgrade step drops tables. Returns the copy's path.
QString copyAside(Database& db, qint64 version)
{
    const QFileInfo original(QString::fromUtf8(sqlite3_db_filename(db.db(), "main")));
    const QString stem = original.dir().filePath(original.completeBaseName() + QStringLiteral("-version%1").arg(version));
    QString target = stem + QLatin1Char('.') + original.suffix();
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = stem + QStringLiteral("-%1.").arg(n) + original.suffix();
    db.run(QStringLiteral("VACUUM INTO ?"), {target});
    return target;
}

} // namespace

bool Index::migrate()
{
    QElapsedTimer clock;
    clock.start();

    const qint64 version = firstInteger(db_, QStringLiteral("PRAGMA user_version")).value_or(0);
    const qint64 versionTime = clock.nsecsElapsed();
    const bool hadItems = hasTable(db_, QStringLiteral("items"));
    const qint64 probeTime = clock.nsecsElapsed() - versionTime;

    if (hadItems && version >= currentVersion) {
        ensureSpeedIndexes(db_);
        noteRemovedItems(db_);
        qCInfo(logIndex, "migrate fast path at version %lld: user_version %s ms, table probe %s ms, total %s ms",
               version, milliseconds(versionTime).constData(), milliseconds(probeTime).constData(),
               milliseconds(clock.nsecsElapsed()).constData());
        return false;
    }
    qCInfo(logIndex, "migrate full path from version %lld: user_version %s ms, table probe %s ms", version,
           milliseconds(versionTime).constData(), milliseconds(probeTime).constData());

    // The tables' own shape decides what the upgrade may do: a version number read wrong (a damaged
    // header) must not have the tables of a file of the base layout or later dropped as too old.
    const bool baseLayout = hadItems && firstInteger(db_, baseColumnsProbe).value_or(0) == 1;
    if (hadItems && !baseLayout && version >= firstKeptVersion)
        throw DatabaseError(QStringLiteral("The index at %1 says it is version %2 but its tables match no known "
                                           "layout; it was left as it is.")
                                .arg(QString::fromUtf8(sqlite3_db_filename(db_.db(), "main")))
                                .arg(version));
    // A layout older than the base script is not upgraded: its content tables start again empty.
    // With foreign keys on, dropping `sources` also deletes the `folders` rows of those sources;
    // workspaces, their members, favorites and pins have no foreign keys and stay. The file is
    // copied aside first.
    const bool dropped = hadItems && !baseLayout;
    if (dropped) {
        const QString copy = copyAside(db_, version);
        qCInfo(logIndex, "migrate copied the index at version %lld to %s before dropping its tables", version,
               qUtf8Printable(copy));
    }
    const bool misreadVersion = baseLayout && version < firstKeptVersion;
    if (misreadVersion)
        qCWarning(logIndex, "migrate: the tables have the base layout or a later one but the version reads %lld; "
                            "upgrading without dropping anything", version);

    // Every step below runs in one transaction: an upgrade that stops part way (a kill, a full disk)
    // leaves the file as it was, and the next start runs it again from the beginning, backfills included.
    Transaction transaction(db_);
    if (dropped)
        db_.exec(QStringLiteral("DROP TABLE IF EXISTS search; DROP TABLE IF EXISTS files; DROP TABLE IF EXISTS "
                                "items; DROP TABLE IF EXISTS sources;"));

    db_.exec(baseScript);

    QSet<QString> added;
    for (const AddedColumn& column : addedColumns) {
        const QString table = QString::fromLatin1(column.table);
        const QString name = QString::fromLatin1(column.column);
        if (hasColumn(db_, table, name))
            continue;
        db_.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(table, name, QLatin1String(column.declaration)));
        added.insert(table + QLatin1Char('.') + name);
    }

    if (added.contains(QStringLiteral("items.modified_at")) || added.contains(QStringLiteral("items.added_at")))
        db_.exec(QStringLiteral(
            "UPDATE items SET modified_at = f.m, added_at = f.a FROM (SELECT item_id, MAX(mtime) AS m, MAX(added_at) AS "
            "a FROM files WHERE item_id IS NOT NULL GROUP BY item_id) AS f WHERE f.item_id = items.id"));

    db_.exec(queryIndexScript);
    db_.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS items_weak ON items(weak_id)"));

    db_.exec(favoritesTable);
    // Favorites from before workspaces become favorites of "Everything".
    rebuildWithoutColumn(
        db_, QStringLiteral("favorites"), QStringLiteral("workspace_id"),
        {QStringLiteral("CREATE TABLE favorites_new (workspace_id TEXT NOT NULL, item_id TEXT NOT NULL, added_at REAL "
                        "NOT NULL, PRIMARY KEY (workspace_id, item_id))"),
         QStringLiteral("INSERT INTO favorites_new (workspace_id, item_id, added_at) SELECT '") + everythingWorkspaceID
             + QStringLiteral("', item_id, added_at FROM favorites"),
         QStringLiteral("DROP TABLE favorites"), QStringLiteral("ALTER TABLE favorites_new RENAME TO favorites")});

    db_.exec(keptFavoritesTable);
    db_.exec(keptFavoritesReturn);
    db_.exec(workspacesTable);
    db_.exec(membersTable);
    // Members from before folder members stand for their whole source.
    rebuildWithoutColumn(
        db_, QStringLiteral("workspace_sources"), QStringLiteral("path"),
        {QStringLiteral("CREATE TABLE workspace_sources_new (workspace_id TEXT NOT NULL, source_id TEXT NOT NULL, path "
                        "TEXT NOT NULL DEFAULT '', PRIMARY KEY (workspace_id, source_id, path))"),
         QStringLiteral("INSERT INTO workspace_sources_new (workspace_id, source_id, path) SELECT workspace_id, "
                        "source_id, '' FROM workspace_sources"),
         QStringLiteral("DROP TABLE workspace_sources"),
         QStringLiteral("ALTER TABLE workspace_sources_new RENAME TO workspace_sources")});

    db_.run(QStringLiteral("UPDATE workspaces SET symbol = 'house' WHERE id = ? AND symbol = 'square.grid.2x2'"),
            {everythingWorkspaceID});
    db_.exec(pinsTable);
    db_.run(QStringLiteral("INSERT OR IGNORE INTO workspaces (id, name, symbol, tint, position, created_at) VALUES (?, "
                           "'Everything', 'house', 'accent', 0, ?)"),
            {everythingWorkspaceID, currentDate()});
    db_.exec(QStringLiteral("UPDATE sources SET name = 'Apple Photos' WHERE kind = 1 AND name = 'Photos'"));
    db_.exec(QStringLiteral(
        "UPDATE items SET weak_id = lower(filename) || '|' || width || 'x' || height || '|' || CAST(captured_at AS "
        "INTEGER) WHERE weak_id = '' AND captured_at IS NOT NULL AND width > 0 AND height > 0"));
    db_.exec(foldersTable);
    db_.exec(mountPointsTable);
    db_.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS folders_parent ON folders(source_id, parent_path)"));
    // Indexes that later, wider ones made redundant: each cost a write of its own for every file.
    db_.exec(QStringLiteral("DROP INDEX IF EXISTS files_item; DROP INDEX IF EXISTS files_item_source; DROP INDEX IF EXISTS "
                            "files_source_path; DROP INDEX IF EXISTS items_captured;"));
    db_.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS items_id_weak ON items(id, weak_id)"));
    for (const SpeedIndex& index : speedIndexes)
        db_.exec(index.statement);

    // Apple Photos items whose larger preview failed only because the original was not on this
    // computer go back into the larger-preview queue.
    // A misread version tells nothing of the file's age; one that needed no added column is recent.
    const bool olderThanPhotosPreviews =
        hadItems && version < firstVersionWithPhotosPreviews && !(misreadVersion && added.isEmpty());
    if (olderThanPhotosPreviews) {
        db_.exec(QStringLiteral(
            "UPDATE items SET full_error = NULL WHERE full_error IS NOT NULL AND proxy_ext = '' AND (kind = 1 OR (kind "
            "= 0 AND full_error LIKE '%original is not on this Mac%')) AND id IN (SELECT item_id FROM files WHERE "
            "asset_id != '' AND item_id IS NOT NULL) AND id NOT IN (SELECT item_id FROM files WHERE asset_id = '' AND "
            "item_id IS NOT NULL)"));
        const qint64 requeued = firstInteger(db_, QStringLiteral("SELECT changes()")).value_or(0);
        qCInfo(logIndex, "migrate requeued %lld Apple Photos items for full previews", requeued);
    }

    // Counted last, after every step above that changes rows; an upgrade from a version without
    // them fills them here.
    rebuildTallies(db_);

    db_.exec(QStringLiteral("PRAGMA user_version = %1").arg(currentVersion));
    transaction.commit();
    noteRemovedItems(db_);
    qCInfo(logIndex, "migrate full path finished in %s ms", milliseconds(clock.nsecsElapsed()).constData());
    return dropped;
}
