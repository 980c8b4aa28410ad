#include "Pellmar/media/PhotosFolderLibrary.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/media/PhotosFolderStaging.h"

#include <QDir>
#include <QFileInfo>

// The library's database: its schema, its connection (read-only for reads; a change never writes
// into a file it did not find well-formed), and the recovery of changes that a dead process left.

using namespace photosfolder;

namespace {

const QString schema = QStringLiteral(R"(
CREATE TABLE IF NOT EXISTS collections (
    id TEXT PRIMARY KEY,
    parent_id TEXT NOT NULL DEFAULT '',
    title TEXT,
    is_folder INTEGER NOT NULL,
    type INTEGER NOT NULL,
    subtype INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS assets (
    id TEXT PRIMARY KEY,
    media_type INTEGER NOT NULL,
    media_subtypes INTEGER NOT NULL DEFAULT 0,
    created REAL,
    modified REAL,
    favorite INTEGER NOT NULL DEFAULT 0,
    width INTEGER NOT NULL DEFAULT 0,
    height INTEGER NOT NULL DEFAULT 0,
    duration REAL NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS resources (
    asset_id TEXT NOT NULL REFERENCES assets(id) ON DELETE CASCADE,
    idx INTEGER NOT NULL,
    type INTEGER NOT NULL,
    uti TEXT NOT NULL DEFAULT '',
    original_filename TEXT NOT NULL,
    file TEXT NOT NULL DEFAULT '',
    size INTEGER,
    PRIMARY KEY (asset_id, idx));
CREATE TABLE IF NOT EXISTS album_assets (
    album_id TEXT NOT NULL REFERENCES collections(id) ON DELETE CASCADE,
    asset_id TEXT NOT NULL REFERENCES assets(id) ON DELETE CASCADE,
    PRIMARY KEY (album_id, asset_id));
)");

} // namespace

Database* PhotosFolderLibrary::database(Access access) const
{
    if (database_ && (access == Access::read || writable_))
        return database_.get();
    const QString file = QDir(path_).filePath(databaseName);
    if (access == Access::read) {
        if (!QFileInfo::exists(file))
            return nullptr;
        auto opened = std::make_unique<Database>(file, Database::Access::readOnly);
        opened->exec(QStringLiteral("PRAGMA busy_timeout = 10000"));
        recoverInterruptedChanges(*opened);
        database_ = std::move(opened);
        return database_.get();
    }
    if (!QDir().mkpath(path_))
        throw PhotoLibraryError(PhotoLibraryError::Code::writeFailed,
                                QStringLiteral("The library folder %1 could not be created.").arg(path_));
    // Opening switches a new database to WAL, which waits for no one: processes open in turn.
    const FileLock opening(QDir(path_).filePath(QStringLiteral("open.lock")), true);
    const bool exists = QFileInfo::exists(file);
    if (exists)
        requireWellFormed(file);
    try {
        auto opened = std::make_unique<Database>(file);
        opened->exec(QStringLiteral("PRAGMA busy_timeout = 10000"));
        if (!exists)
            opened->exec(schema);
        recoverInterruptedChanges(*opened);
        database_ = std::move(opened);
        writable_ = true;
    } catch (const DatabaseError& error) {
        throw PhotoLibraryError(PhotoLibraryError::Code::writeFailed, error.description());
    }
    return database_.get();
}

void PhotosFolderLibrary::requireWellFormed(const QString& file) const
{
    const auto damaged = [&](const QString& why) {
        return PhotoLibraryError(PhotoLibraryError::Code::writeFailed,
                                 QStringLiteral("The photo library %1 is damaged (%2), so nothing was added to it. "
                                                "Restore it from a backup, or move it away to start a new one.")
                                     .arg(QDir::toNativeSeparators(path_), why));
    };
    try {
        Database check(file, Database::Access::readOnly);
        check.exec(QStringLiteral("PRAGMA busy_timeout = 10000"));
        Statement tables(check.db(), QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                                                    "('collections', 'assets', 'resources', 'album_assets')"));
        if (!tables.step() || tables.int64(0) != 4)
            throw damaged(QStringLiteral("its database has none of its tables"));
        Statement integrity(check.db(), QStringLiteral("PRAGMA quick_check(1)"));
        if (!integrity.step() || integrity.text(0) != QStringLiteral("ok"))
            throw damaged(integrity.text(0));
    } catch (const DatabaseError& error) {
        throw damaged(error.description());
    }
}

void PhotosFolderLibrary::recoverInterruptedChanges(Database& db) const
{
    const QDir staging(QDir(path_).filePath(stagingName));
    for (const QFileInfo& change : staging.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString lockPath = change.filePath() + QStringLiteral(".lock");
        const FileLock lock(lockPath, false);
        if (!lock.held())
            continue;   // another process is applying this change
        bool keptCommitted = false;
        for (const QFileInfo& assetFolder : QDir(change.filePath()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString prefix = originalsFolder(assetFolder.fileName()) + QLatin1Char('/');
            Statement row(db.db(), QStringLiteral("SELECT 1 FROM resources WHERE substr(file, 1, length(?1)) = ?1"));
            row.bind({prefix});
            if (row.step() && !moveToOriginals(path_, assetFolder.filePath()))
                keptCommitted = true;
        }
        // A committed copy that cannot be moved now is the asset's only copy: it waits for the next recovery.
        if (keptCommitted) {
            qCWarning(logPhotos).noquote()
                << QStringLiteral("The photo library could not move the files of %1 into place; they stay in %2")
                       .arg(change.fileName(), change.filePath());
            continue;
        }
        QDir(change.filePath()).removeRecursively();
        QFile::remove(lockPath);
    }
}
