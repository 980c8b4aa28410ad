#include "Pellmar/index/Index.h"

#include "Pellmar/index/IndexRows.h"
#include "Pellmar/index/RemovedItems.h"

#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <exception>
#include <limits>

namespace {

// The item a file names, or nothing.
std::optional<QString> itemOfFile(Database& db, qint64 fileID, const QString& condition = {})
{
    Statement row(db.db(), QStringLiteral("SELECT item_id FROM files WHERE id = ? AND item_id IS NOT NULL") + condition);
    row.bind({fileID});
    if (!row.step())
        return std::nullopt;
    return row.text(0);
}

qint64 fileSize(Database& db, qint64 fileID)
{
    Statement row(db.db(), QStringLiteral("SELECT size FROM files WHERE id = ?"));
    row.bind({fileID});
    return row.step() ? row.int64(0) : std::numeric_limits<qint64>::max();
}

// Whether the job's row still exists with the size, modification time, locality and state the job
// holds.
bool rowAsRead(Database& db, const Job& job)
{
    Statement row(db.db(), QStringLiteral("SELECT size, mtime, local, state FROM files WHERE id = ?"));
    row.bind({job.fileID});
    return row.step() && row.int64(0) == job.size && row.real(1) == job.modified && row.boolean(2) == job.local
           && row.int64(3) == rawValue(job.state);
}

// Inserts the item unless one holds its content key and links the file to the standing item;
// the file's former item goes when nothing names it any more. Inside the caller's transaction.
QString linkFileToItem(Database& db, qint64 fileID, const std::optional<QString>& formerItem,
                       const QString& quickHash, const Item& item, FileState state = FileState::identified,
                       const std::optional<QString>& tailHash = std::nullopt)
{
    const bool inserted = insertItem(db, item);

    // The item inserted just now under the key, or the one that held the key already.
    QString itemID = item.id;
    if (!inserted || item.quickHash != quickHash) {
        Statement existing(db.db(), QStringLiteral("SELECT id FROM items WHERE quick_hash = ?"));
        existing.bind({quickHash});
        if (existing.step())
            itemID = existing.text(0);
    }

    db.run(QStringLiteral("UPDATE files SET quick_hash = ?, tail_hash = ?, item_id = ?, state = ? WHERE id = ?"),
           {quickHash, tailHash, itemID, rawValue(state), fileID});
    db.run(QStringLiteral("UPDATE items SET modified_at = MAX(modified_at, (SELECT mtime FROM files WHERE id = ?)), "
                          "added_at = MAX(added_at, (SELECT added_at FROM files WHERE id = ?)) WHERE id = ?"),
           {fileID, fileID, itemID});
    if (formerItem && *formerItem != itemID)
        removeItemIfOrphan(db, *formerItem);
    return itemID;
}

} // namespace

QList<Job> Index::pendingFiles(qint64 limit, const QStringList& sourceIDs)
{
    // Identified files first (their work was begun), then found ones, each by row id. Every
    // source's files of one state are read in id order from the (source, state) index, so the
    // files of sources that are not available cost nothing.
    Statement rows(db_.db(), QStringLiteral("SELECT id, source_id, rel_path, state, asset_id, local, size, mtime FROM "
                                            "files WHERE source_id = ? AND state = ? ORDER BY id LIMIT ?"));
    QList<Job> jobs;
    for (const FileState state : {FileState::identified, FileState::found}) {
        const qint64 wanted = limit - jobs.size();
        if (wanted < 1)
            break;
        QList<Job> ofState;
        for (const QString& sourceID : QSet<QString>(sourceIDs.begin(), sourceIDs.end())) {
            rows.bind({sourceID, rawValue(state), wanted});
            while (rows.step()) {
                ofState.append(Job{
                    .fileID = rows.int64(0),
                    .sourceID = rows.text(1),
                    .relativePath = rows.text(2),
                    .state = fileStateFromRawValue(rows.int64(3)).value_or(FileState::found),
                    .assetID = rows.text(4),
                    .local = rows.boolean(5),
                    .size = rows.int64(6),
                    .modified = rows.real(7),
                });
            }
        }
        std::sort(ofState.begin(), ofState.end(), [](const Job& a, const Job& b) { return a.fileID < b.fileID; });
        jobs.append(ofState.mid(0, wanted));
    }
    return jobs;
}

namespace {

// Up to this many waiting items, the queue reads them all and sorts them; with more, it walks the
// ready files in size order from the cursor's floor, which stays fast however many are done.
constexpr qint64 fewWaitingItems = 2000;

const QString fullJobColumns = QStringLiteral("i.id, f.source_id, f.rel_path, i.kind, f.asset_id, i.filename");
// Items without a proxy and without a recorded failure that are photos, videos or documents, with a
// ready file that is on this computer or is a photo library asset, on one of the given sources.
const QString waitingWithReadyFile = QStringLiteral(
    "i.proxy_ext = '' AND i.full_error IS NULL AND i.kind IN (0, 1, 3) AND f.state = 2 AND (f.local = 1 OR "
    "f.asset_id != '') AND f.source_id IN (%1)");

FullJob fullJobFromRow(const Statement& row)
{
    return FullJob{
        .itemID = row.text(0),
        .sourceID = row.text(1),
        .relativePath = row.text(2),
        .kind = mediaKindFromRawValue(row.int64(3)).value_or(MediaKind::photo),
        .assetID = row.text(4),
        .filename = row.text(5),
    };
}

struct SizedJobs {
    QList<FullJob> jobs;
    qint64 smallestSize = std::numeric_limits<qint64>::max();
};

// Every waiting item once, by the size of its smallest qualifying file; the file's columns come
// from that file.
SizedJobs fewWaitingQueue(Database& db, qint64 limit, const QStringList& sourceIDs)
{
    Statement rows(db.db(), QStringLiteral("SELECT %1, MIN(f.size) FROM items i INDEXED BY items_waiting CROSS JOIN "
                                           "files f ON f.item_id = i.id WHERE %2 GROUP BY i.id ORDER BY MIN(f.size) "
                                           "LIMIT ?")
                                .arg(fullJobColumns, waitingWithReadyFile.arg(placeholders(sourceIDs.size()))));
    SqlValues values(sourceIDs.begin(), sourceIDs.end());
    values.push_back(limit);
    rows.bind(values);
    SizedJobs result;
    while (rows.step()) {
        result.jobs.append(fullJobFromRow(rows));
        result.smallestSize = std::min(result.smallestSize, rows.int64(6));
    }
    return result;
}

// The same, walking ready files upwards from a size; an item's first file in the walk is its
// smallest one of at least that size.
SizedJobs readyFilesBySize(Database& db, qint64 limit, const QStringList& sourceIDs, qint64 fromSize)
{
    Statement rows(db.db(), QStringLiteral("SELECT %1, f.size FROM files f INDEXED BY files_ready_size CROSS JOIN items "
                                           "i ON i.id = f.item_id WHERE %2 AND f.size >= ? ORDER BY f.size")
                                .arg(fullJobColumns, waitingWithReadyFile.arg(placeholders(sourceIDs.size()))));
    SqlValues values(sourceIDs.begin(), sourceIDs.end());
    values.push_back(fromSize);
    rows.bind(values);
    SizedJobs result;
    QSet<QString> taken;
    while (result.jobs.size() < limit && rows.step()) {
        FullJob job = fullJobFromRow(rows);
        if (taken.contains(job.itemID))
            continue;
        taken.insert(job.itemID);
        result.smallestSize = std::min(result.smallestSize, rows.int64(6));
        result.jobs.append(std::move(job));
    }
    return result;
}

// Changes made by this connection so far.
qint64 totalChanges(Database& db)
{
    Statement total(db.db(), QStringLiteral("SELECT total_changes()"));
    total.step();
    return total.int64(0);
}

} // namespace

QList<FullJob> Index::fullPreviewQueue(qint64 limit, const QStringList& sourceIDs)
{
    if (sourceIDs.isEmpty() || limit < 1)
        return {};
    Statement waiting(db_.db(), QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM items INDEXED BY items_waiting "
                                               "WHERE proxy_ext = '' AND full_error IS NULL AND kind IN (0, 1, 3) "
                                               "LIMIT ?)"));
    waiting.bind({fewWaitingItems});
    if (waiting.step() && waiting.int64(0) < fewWaitingItems)
        return fewWaitingQueue(db_, limit, sourceIDs).jobs;

    // What holds for a list of sources holds for any part of it.
    const bool sameOrFewerSources = std::all_of(sourceIDs.begin(), sourceIDs.end(), [this](const QString& sourceID) {
        return fullQueue_.sources.contains(sourceID);
    });
    if (!sameOrFewerSources)
        fullQueue_ = FullQueueCursor();
    fullQueue_.sources = sourceIDs;
    constexpr qint64 smallest = std::numeric_limits<qint64>::min();
    // Changes by any other connection to the file, and by this one.
    const std::pair<qint64, qint64> stamp{dataVersion(), totalChanges(db_)};
    bool wholeWalk = fullQueue_.floor == smallest;
    SizedJobs found = readyFilesBySize(db_, limit, sourceIDs, fullQueue_.floor);
    // Writes this Index does not follow (of other connections, or clearing previews) may have put
    // items back into the queue below the floor.
    if (found.jobs.size() < limit && !wholeWalk && fullQueue_.changesAtWholeWalk != stamp) {
        found = readyFilesBySize(db_, limit, sourceIDs, smallest);
        wholeWalk = true;
    }
    if (wholeWalk)
        fullQueue_.changesAtWholeWalk = stamp;
    fullQueue_.floor = found.smallestSize;
    return found.jobs;
}

void Index::lowerFullQueueFloor(qint64 size)
{
    fullQueue_.floor = std::min(fullQueue_.floor, size);
}

QueueStatus Index::stateCounts()
{
    Statement rows(db_.db(), QStringLiteral("SELECT state, SUM(files) FROM source_states GROUP BY state"));
    QueueStatus status;
    while (rows.step()) {
        const qint64 count = rows.int64(1);
        switch (fileStateFromRawValue(rows.int64(0)).value_or(FileState(-1))) {
        case FileState::found: status.found = count; break;
        case FileState::identified: status.identified = count; break;
        case FileState::ready: status.ready = count; break;
        case FileState::failed: status.failed = count; break;
        case FileState::empty: status.empty = count; break;
        }
    }
    return status;
}

FullStatus Index::fullPreviewProgress()
{
    // Photos, videos and documents with a file on this computer or in the photo library, kept
    // counted by the index's own writes.
    Statement row(db_.db(), QStringLiteral("SELECT total, done FROM preview_progress"));
    if (!row.step())
        return {};
    return FullStatus{.done = row.int64(1), .total = row.int64(0)};
}

std::optional<Item> Index::itemByHash(const QString& quickHash)
{
    Statement row(db_.db(), QStringLiteral("SELECT %1 FROM items WHERE quick_hash = ?").arg(itemColumns()));
    row.bind({quickHash});
    if (!row.step())
        return std::nullopt;
    return itemFromRow(row);
}

QString Index::linkItem(qint64 fileID, const QString& quickHash, const Item& item)
{
    Transaction transaction(db_);
    // Checked first, so that a wrong id leaves no item behind that nothing names.
    Statement file(db_.db(), QStringLiteral("SELECT item_id FROM files WHERE id = ?"));
    file.bind({fileID});
    if (!file.step())
        throw DatabaseError(QStringLiteral("no file with the id %1").arg(fileID));
    // The item the file named until now: a file reset by a scan keeps its former item until it
    // has been hashed again.
    const std::optional<QString> formerItem = file.isNull(0) ? std::nullopt : std::optional(file.text(0));
    const QString itemID = linkFileToItem(db_, fileID, formerItem, quickHash, item);
    transaction.commit();
    return itemID;
}

std::optional<QString> Index::linkItem(const Job& job, const QString& quickHash, const Item& item)
{
    Transaction transaction(db_);
    if (!rowAsRead(db_, job))
        return std::nullopt;
    const QString itemID = linkFileToItem(db_, job.fileID, itemOfFile(db_, job.fileID), quickHash, item);
    transaction.commit();
    return itemID;
}

void Index::updateFileSize(qint64 fileID, qint64 size, bool local)
{
    db_.run(QStringLiteral("UPDATE files SET size = ?, local = ? WHERE id = ?"), {size, local, fileID});
    lowerFullQueueFloor(size);
}

namespace {

// Whether the item of the content key has a hashed file besides `fileID`: one the file was not
// compared with when no item held the key yet.
bool keyHasOtherCopies(Database& db, const QString& key, qint64 fileID)
{
    Statement row(db.db(), QStringLiteral("SELECT 1 FROM items i JOIN files f ON f.item_id = i.id AND f.quick_hash IS "
                                          "NOT NULL AND f.id != ? WHERE i.quick_hash = ? LIMIT 1"));
    row.bind({fileID, key});
    return row.step();
}

void dropOrphanItemOf(Database& db, const QString& quickHash)
{
    Statement row(db.db(), QStringLiteral("SELECT id FROM items WHERE quick_hash = ?"));
    row.bind({quickHash});
    if (row.step())
        removeItemIfOrphan(db, row.text(0));
}

// Stores each extension on the item only where the item has none yet.
void storeSmallPictures(Database& db, const QString& itemID, const QString& previewExtension,
                        const QString& posterExtension)
{
    if (!previewExtension.isEmpty())
        db.run(QStringLiteral("UPDATE items SET preview_ext = ? WHERE id = ? AND preview_ext = ''"),
               {previewExtension, itemID});
    if (!posterExtension.isEmpty())
        db.run(QStringLiteral("UPDATE items SET poster_ext = ? WHERE id = ? AND poster_ext = ''"),
               {posterExtension, itemID});
}

void writeSearchText(Database& db, const QString& itemID, const QString& text)
{
    removeSearchRow(db, itemID);
    db.run(QStringLiteral("INSERT INTO search (item_id, text) VALUES (?, ?)"), {itemID, text});
}

} // namespace

void Index::dropOrphanItem(const QString& quickHash)
{
    Transaction transaction(db_);
    dropOrphanItemOf(db_, quickHash);
    transaction.commit();
}

QList<Index::IndexedOutcome> Index::recordIndexedFiles(const QList<IndexedFile>& files,
                                                      const PicturePlacer& placePicture)
{
    QList<IndexedOutcome> outcomes;
    outcomes.reserve(files.size());
    Transaction transaction(db_);
    for (const IndexedFile& file : files) {
        IndexedOutcome& outcome = outcomes.emplace_back();
        // Each file's writes hold or go together, whatever becomes of the others.
        db_.exec(QStringLiteral("SAVEPOINT indexed_file"));
        try {
            if (file.tailUnchecked && keyHasOtherCopies(db_, file.quickHash, file.job.fileID)) {
                outcome.deferred = true;
            } else if (rowAsRead(db_, file.job)) {
                // The row goes straight to ready: the whole of the file's work commits at once.
                const QString itemID = linkFileToItem(db_, file.job.fileID, itemOfFile(db_, file.job.fileID),
                                                      file.quickHash, file.item, FileState::ready, file.tailHash);
                if (file.orphanKey)
                    dropOrphanItemOf(db_, *file.orphanKey);
                writeSearchText(db_, itemID, file.searchText);
                const bool hasPicture = !file.previewExtension.isEmpty() || !file.posterExtension.isEmpty();
                if (hasPicture && (itemID == file.item.id || placePicture(file, itemID)))
                    storeSmallPictures(db_, itemID, file.previewExtension, file.posterExtension);
                lowerFullQueueFloor(file.job.size);
                outcome.written = true;
            }
            db_.exec(QStringLiteral("RELEASE indexed_file"));
        } catch (const std::exception& error) {
            // An interrupt, a full disk or an I/O error may have rolled back the whole transaction,
            // savepoint and all: then nothing of the batch is written and its first error is the
            // batch's, not the savepoint cleanup's that would follow.
            const std::exception_ptr first = std::current_exception();
            if (sqlite3_get_autocommit(db_.db()) != 0)
                std::rethrow_exception(first);
            try {
                db_.exec(QStringLiteral("ROLLBACK TO indexed_file"));
                db_.exec(QStringLiteral("RELEASE indexed_file"));
            } catch (const DatabaseError&) {
                std::rethrow_exception(first);
            }
            outcome.written = false;
            const auto* databaseError = dynamic_cast<const DatabaseError*>(&error);
            outcome.error = databaseError ? databaseError->description() : QString::fromUtf8(error.what());
        }
    }
    transaction.commit();
    return outcomes;
}

void Index::markPreviewed(qint64 fileID, const QString& itemID, const QString& previewExtension,
                          const QString& posterExtension)
{
    Transaction transaction(db_);
    markFilePreviewed(fileID, itemID, previewExtension, posterExtension);
    transaction.commit();
}

bool Index::markPreviewed(const Job& job, const QString& itemID, const QString& previewExtension,
                          const QString& posterExtension)
{
    Transaction transaction(db_);
    if (!rowAsRead(db_, job))
        return false;
    markFilePreviewed(job.fileID, itemID, previewExtension, posterExtension);
    transaction.commit();
    return true;
}

void Index::markFilePreviewed(qint64 fileID, const QString& itemID, const QString& previewExtension,
                              const QString& posterExtension)
{
    storeSmallPictures(db_, itemID, previewExtension, posterExtension);
    db_.run(QStringLiteral("UPDATE files SET state = 2 WHERE id = ?"), {fileID});
    lowerFullQueueFloor(fileSize(db_, fileID));
}

void Index::setProxy(const QString& itemID, const QString& proxyExtension, const QString& posterExtension)
{
    db_.run(QStringLiteral("UPDATE items SET proxy_ext = ?, poster_ext = CASE WHEN ? != '' THEN ? ELSE poster_ext END "
                           "WHERE id = ?"),
            {proxyExtension, posterExtension, posterExtension, itemID});
    if (proxyExtension.isEmpty())
        lowerFullQueueFloor(std::numeric_limits<qint64>::min());
}

void Index::setPreview(const QString& itemID, const QString& previewExtension)
{
    db_.run(QStringLiteral("UPDATE items SET preview_ext = ? WHERE id = ?"), {previewExtension, itemID});
}

void Index::setFullError(const QString& itemID, const QString& message)
{
    db_.run(QStringLiteral("UPDATE items SET full_error = ? WHERE id = ?"), {message, itemID});
}

void Index::setFileState(qint64 fileID, const QString& error, FileState state)
{
    Transaction transaction(db_);
    writeFileState(fileID, error, state);
    transaction.commit();
}

bool Index::setFileState(const Job& job, const QString& error, FileState state)
{
    Transaction transaction(db_);
    if (!rowAsRead(db_, job))
        return false;
    writeFileState(job.fileID, error, state);
    transaction.commit();
    return true;
}

void Index::writeFileState(qint64 fileID, const QString& error, FileState state)
{
    // A file that failed or turned out empty while waiting to be hashed again no longer stands
    // for the item it named before.
    const std::optional<QString> formerItem = itemOfFile(db_, fileID, QStringLiteral(" AND quick_hash IS NULL"));
    db_.run(QStringLiteral("UPDATE files SET state = ?, error = ?, item_id = CASE WHEN quick_hash IS NULL THEN NULL "
                           "ELSE item_id END WHERE id = ?"),
            {rawValue(state), error, fileID});
    if (formerItem)
        removeItemIfOrphan(db_, *formerItem);
}

void Index::setSearchText(const QString& itemID, const QString& text)
{
    Transaction transaction(db_);
    writeSearchText(db_, itemID, text);
    transaction.commit();
}

void Index::renameFile(qint64 fileID, const QString& newRelativePath)
{
    QString trimmed = newRelativePath;
    while (trimmed.endsWith(u'/'))
        trimmed.chop(1);
    const QString name = lastComponent(trimmed);
    if (name.isEmpty())
        throw DatabaseError(QStringLiteral("cannot rename a file to \"%1\"").arg(newRelativePath));

    Transaction transaction(db_);
    // The row of another file of the same source at the new path makes room; its item goes when
    // no other file names it.
    Statement displaced(db_.db(), QStringLiteral("SELECT other.item_id FROM files f JOIN files other ON other.source_id "
                                                 "= f.source_id AND other.rel_path = ? AND other.id != f.id WHERE f.id "
                                                 "= ? AND other.item_id IS NOT NULL"));
    displaced.bind({newRelativePath, fileID});
    const std::optional<QString> displacedItem = displaced.step() ? std::optional(displaced.text(0)) : std::nullopt;

    db_.run(QStringLiteral("UPDATE OR REPLACE files SET rel_path = ? WHERE id = ?"), {newRelativePath, fileID});
    renameItem(db_, name, QStringLiteral("(SELECT item_id FROM files WHERE id = ?)"), fileID);
    if (displacedItem)
        removeItemIfOrphan(db_, *displacedItem);
    transaction.commit();
}

void Index::clearAll()
{
    Transaction transaction(db_);
    // Favorites are the user's own: they wait by content for the items that the rescan makes.
    db_.exec(QStringLiteral("INSERT OR IGNORE INTO kept_favorites (quick_hash, workspace_id, added_at) SELECT i.quick_hash, "
                            "f.workspace_id, f.added_at FROM favorites AS f JOIN items AS i ON i.id = f.item_id"));
    db_.exec(QStringLiteral("DELETE FROM favorites WHERE item_id IN (SELECT id FROM items)"));
    db_.exec(QStringLiteral("DELETE FROM search"));
    db_.exec(QStringLiteral("DELETE FROM folders"));
    db_.exec(QStringLiteral("DELETE FROM files"));
    db_.exec(QStringLiteral("DELETE FROM items"));
    // The caller empties "Proxies" as a whole.
    forgetRemovedItems(db_);
    transaction.commit();
    fullQueue_ = {};
}

void Index::forgetPreviews()
{
    db_.exec(QStringLiteral("UPDATE items SET preview_ext = '', proxy_ext = '', poster_ext = '', full_error = NULL"));
    db_.exec(QStringLiteral("UPDATE files SET state = 0, error = NULL WHERE state IN (2, 3)"));
    fullQueue_ = {};
}

void Index::deleteFile(qint64 fileID)
{
    Transaction transaction(db_);
    const std::optional<QString> item = itemOfFile(db_, fileID);
    db_.run(QStringLiteral("DELETE FROM files WHERE id = ?"), {fileID});
    if (item)
        removeItemIfOrphan(db_, *item);
    transaction.commit();
}
