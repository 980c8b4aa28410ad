#include "Pellmar/index/Index.h"

#include "Pellmar/index/IndexRows.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace {

// Two modification times are the same when they differ by at most a second; a time that is not
// a number is never the same as another.
bool sameTime(double stored, double modified)
{
    return std::abs(stored - modified) <= 1.0;
}

struct StoredStamp {
    qint64 size = 0;
    double modified = 0;
    bool local = false;
};

enum class StampOutcome { unchanged, noLongerLocal, reset };

StampOutcome compareStamp(const StoredStamp& stored, const FileRecord& record)
{
    const bool sameModified = sameTime(stored.modified, record.modified);
    // An evicted cloud file: the same file, only its content is no longer on this computer.
    if (stored.local && !record.local && sameModified)
        return StampOutcome::noLongerLocal;
    if (!sameModified || stored.size != record.size || stored.local != record.local)
        return StampOutcome::reset;
    return StampOutcome::unchanged;
}

// The probe statement's stored stamp for one path, or nothing when the source has no such row.
std::optional<StoredStamp> storedStamp(Statement& probe, const QString& sourceID, const QString& relativePath)
{
    probe.bind({sourceID, relativePath});
    if (!probe.step())
        return std::nullopt;
    return StoredStamp{probe.int64(0), probe.real(1), probe.boolean(2)};
}

// The bounds of the paths strictly below a folder: from "p/" up to, not including, "p0"
// ("0" is the character after "/").
QString subtreeStart(const QString& folder)
{
    return folder + u'/';
}
QString subtreeEnd(const QString& folder)
{
    return folder + u'0';
}

// Narrows a deletion of folder rows so that it spares every folder the walk could not list,
// with what lies below it.
void spareUnlisted(QString& sql, SqlValues& values, const Index::WalkGaps& gaps)
{
    for (const QString& folder : gaps.unlistedFolders) {
        sql += QStringLiteral(" AND NOT (rel_path = ? OR (rel_path >= ? AND rel_path < ?))");
        values.insert(values.end(), {folder, subtreeStart(folder), subtreeEnd(folder)});
    }
}

void deleteFileRows(Database& db, const QList<qint64>& rowIDs)
{
    if (rowIDs.isEmpty())
        return;
    Statement deleteRow(db.db(), QStringLiteral("DELETE FROM files WHERE id = ?"));
    for (const qint64 row : rowIDs)
        deleteRow.bind({row}).step();
}

const QString probeSql = QStringLiteral("SELECT size, mtime, local FROM files WHERE source_id = ? AND rel_path = ?");
const QString insertFileSql = QStringLiteral(
    "INSERT INTO files (source_id, rel_path, size, mtime, state, asset_id, local, favorite, subtype, raw, added_at) "
    "VALUES (?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?)");
const QString markNotLocalSql = QStringLiteral("UPDATE files SET local = 0 WHERE source_id = ? AND rel_path = ?");
const QString insertFolderSql =
    QStringLiteral("INSERT OR REPLACE INTO folders (source_id, rel_path, parent_path, mtime) VALUES (?, ?, ?, ?)");

SqlValues newFileValues(const QString& sourceID, const FileRecord& record, double addedAt)
{
    return {sourceID, record.relativePath, record.size, record.modified, record.assetID, record.local,
            record.favorite, record.subtype, record.raw, addedAt};
}

SqlValues folderValues(const QString& sourceID, const FolderRecord& folder)
{
    return {sourceID, folder.relativePath, parentPath(folder.relativePath), folder.modified};
}

} // namespace

bool Index::WalkGaps::covers(const QString& relativePath) const
{
    if (rootVanished)
        return true;
    return std::any_of(unlistedFolders.begin(), unlistedFolders.end(), [&](const QString& folder) {
        return folder.isEmpty() || relativePath == folder || relativePath.startsWith(subtreeStart(folder));
    });
}

// A reset file keeps naming its former item, with no quick hash, until it has been hashed again:
// a file that was only touched or copied back then rejoins that same item with its favorites and
// previews, and linkItem lets the former item go when the content turns out to be new.
qint64 Index::syncFiles(const QList<FileRecord>& records, const QString& sourceID, const WalkGaps& gaps)
{
    Transaction transaction(db_);
    Statement probe(db_.db(), probeSql);
    Statement insert(db_.db(), insertFileSql);
    Statement updateFlags(db_.db(),
                          QStringLiteral("UPDATE files SET favorite = ?, subtype = ?, raw = ? WHERE source_id = ? AND "
                                         "rel_path = ?"));
    Statement reset(db_.db(), QStringLiteral("UPDATE files SET size = ?, mtime = ?, quick_hash = NULL, state = 0, error "
                                             "= NULL, asset_id = ?, local = ? WHERE source_id = ? AND rel_path = ?"));
    Statement markNotLocal(db_.db(), markNotLocalSql);
    const double callTime = currentDate();

    qint64 count = 0;
    QSet<QString> listed;
    listed.reserve(records.size());
    for (const FileRecord& record : records) {
        listed.insert(record.relativePath);
        const std::optional<StoredStamp> stored = storedStamp(probe, sourceID, record.relativePath);
        bool needsReset = false;
        if (!stored) {
            insert.bind(newFileValues(sourceID, record, callTime)).step();
            ++count;
        } else if (!record.assetID.isEmpty()) {
            // A photo library asset: its flags follow the library on every sync, and only its time
            // tells a change (its size and locality come and go with the library's own storage).
            updateFlags.bind({record.favorite, record.subtype, record.raw, sourceID, record.relativePath}).step();
            needsReset = !sameTime(stored->modified, record.modified);
        } else {
            switch (compareStamp(*stored, record)) {
            case StampOutcome::noLongerLocal:
                markNotLocal.bind({sourceID, record.relativePath}).step();
                break;
            case StampOutcome::reset: needsReset = true; break;
            case StampOutcome::unchanged: break;
            }
        }
        if (needsReset) {
            reset.bind({record.size, record.modified, record.assetID, record.local, sourceID, record.relativePath})
                .step();
            ++count;
        }
    }

    // A walk that saw nothing of the source (its drive went away) deletes nothing; and when the
    // source holds no more rows than the walk listed, every row was listed and none goes.
    Statement rowCount(db_.db(), QStringLiteral("SELECT COUNT(*) FROM files WHERE source_id = ?"));
    rowCount.bind({sourceID});
    const bool unlistedRows = rowCount.step() && rowCount.int64(0) > listed.size();
    if (unlistedRows && !gaps.covers(QString())) {
        // What lies below a folder the walk could not list counts as seen as it is. The unseen rows
        // are read first so that the clean-up looks only at the items they named: only deleted rows
        // can leave items without files (a reset row keeps its item).
        const auto belowUnlisted = [&gaps](const QString& relativePath) {
            return std::any_of(gaps.unlistedFolders.begin(), gaps.unlistedFolders.end(), [&](const QString& folder) {
                return relativePath.startsWith(subtreeStart(folder));
            });
        };
        Statement rows(db_.db(), QStringLiteral("SELECT id, rel_path, item_id FROM files WHERE source_id = ?"));
        rows.bind({sourceID});
        QList<qint64> unseenRows;
        QSet<QString> namedItems;
        while (rows.step()) {
            const QString relativePath = rows.text(1);
            if (listed.contains(relativePath) || belowUnlisted(relativePath))
                continue;
            unseenRows.append(rows.int64(0));
            if (!rows.isNull(2))
                namedItems.insert(rows.text(2));
        }
        deleteFileRows(db_, unseenRows);
        for (const QString& item : namedItems)
            removeItemIfOrphan(db_, item);
        count += unseenRows.size();
    }
    transaction.commit();
    return count;
}

void Index::replaceSourceFolderRows(const QList<FolderRecord>& folders, const QString& sourceID, const WalkGaps& gaps)
{
    Transaction transaction(db_);
    if (!gaps.covers(QString())) {
        QString deleteUnseen = QStringLiteral("DELETE FROM folders WHERE source_id = ?");
        SqlValues values{sourceID};
        spareUnlisted(deleteUnseen, values, gaps);
        db_.run(deleteUnseen, values);
    }
    Statement insert(db_.db(), insertFolderSql);
    for (const FolderRecord& folder : folders)
        insert.bind(folderValues(sourceID, folder)).step();
    transaction.commit();
}

qint64 Index::replaceFolderRows(const QList<FolderChanges>& changes)
{
    Transaction transaction(db_);
    Statement insert(db_.db(), insertFolderSql);
    qint64 count = 0;
    for (const FolderChanges& change : changes) {
        QSet<QString> found;
        for (const FolderRecord& folder : change.folders)
            found.insert(folder.relativePath);
        for (const QString& known : change.knownPaths) {
            if (found.contains(known) || change.gaps.covers(known))
                continue;
            QString deleteSubtree = QStringLiteral(
                "DELETE FROM folders WHERE source_id = ? AND (rel_path = ? OR (rel_path >= ? AND rel_path < ?))");
            SqlValues values{change.sourceID, known, subtreeStart(known), subtreeEnd(known)};
            spareUnlisted(deleteSubtree, values, change.gaps);
            db_.run(deleteSubtree, values);
            ++count;
        }
        for (const FolderRecord& folder : change.folders) {
            insert.bind(folderValues(change.sourceID, folder)).step();
            ++count;
        }
    }
    transaction.commit();
    return count;
}

namespace {

QStringList relativePaths(Database& db, const QString& table, const QString& sourceID, const QString& prefix)
{
    const SqlClause below = folderCondition(sourceID, prefix);
    Statement rows(db.db(), QStringLiteral("SELECT rel_path FROM %1 WHERE %2").arg(table, below.text));
    rows.bind(below.values);
    QStringList paths;
    while (rows.step())
        paths.append(rows.text(0));
    return paths;
}

} // namespace

QStringList Index::folderPaths(const QString& sourceID, const QString& prefix)
{
    return relativePaths(db_, QStringLiteral("folders"), sourceID, prefix);
}

QStringList Index::filePaths(const QString& sourceID, const QString& prefix)
{
    return relativePaths(db_, QStringLiteral("files"), sourceID, prefix);
}

namespace {

// A removed row that had an item: a new file of the same size and time is taken for it, moved.
struct MoveCandidate {
    qint64 rowID = 0;
    QString name;
    qint64 size = 0;
    double modified = 0;
    QString itemID;
    std::optional<QString> quickHash;   // none while the row waited to be hashed again
};

QString pathKey(const QString& sourceID, const QString& relativePath)
{
    return sourceID + u'\n' + relativePath;
}

} // namespace

qint64 Index::applyChanges(const QList<FileChanges>& changes)
{
    Transaction transaction(db_);
    Statement probe(db_.db(), probeSql);
    Statement insert(db_.db(), insertFileSql);
    Statement reset(db_.db(), QStringLiteral("UPDATE files SET size = ?, mtime = ?, quick_hash = NULL, state = 0, error "
                                             "= NULL, local = ? WHERE source_id = ? AND rel_path = ?"));
    Statement removedRow(
        db_.db(), QStringLiteral("SELECT id, size, mtime, item_id, quick_hash FROM files WHERE source_id = ? AND rel_path = ?"));
    Statement carryOver(db_.db(), QStringLiteral("UPDATE files SET item_id = ?, quick_hash = ? WHERE id = ?"));
    Statement markNotLocal(db_.db(), markNotLocalSql);
    const double callTime = currentDate();

    // A path reported by any listing of the pass is not removed, even when another listing of an
    // overlapping folder missed it.
    QSet<QString> reported;
    for (const FileChanges& change : changes) {
        for (const FileRecord& record : change.records)
            reported.insert(pathKey(change.sourceID, record.relativePath));
    }

    QList<qint64> removedRows;
    QSet<qint64> removedRowSet;   // a path known to two overlapping folders of the pass goes once
    QList<MoveCandidate> candidates;
    for (const FileChanges& change : changes) {
        QStringList known(change.knownPaths.begin(), change.knownPaths.end());
        known.sort();   // a fixed order of candidates, whatever the order of the set
        for (const QString& path : known) {
            if (reported.contains(pathKey(change.sourceID, path)) || change.gaps.covers(path))
                continue;
            removedRow.bind({change.sourceID, path});
            if (!removedRow.step() || removedRowSet.contains(removedRow.int64(0)))
                continue;
            removedRowSet.insert(removedRow.int64(0));
            removedRows.append(removedRow.int64(0));
            if (removedRow.isNull(3))
                continue;
            candidates.append(MoveCandidate{
                .rowID = removedRow.int64(0),
                .name = lastComponent(path),
                .size = removedRow.int64(1),
                .modified = removedRow.real(2),
                .itemID = removedRow.text(3),
                .quickHash = removedRow.isNull(4) ? std::nullopt : std::optional(removedRow.text(4)),
            });
        }
    }

    qint64 count = removedRows.size();
    QSet<qint64> taken;
    for (const FileChanges& change : changes) {
        for (const FileRecord& record : change.records) {
            if (const std::optional<StoredStamp> stored = storedStamp(probe, change.sourceID, record.relativePath)) {
                switch (compareStamp(*stored, record)) {
                case StampOutcome::noLongerLocal:
                    markNotLocal.bind({change.sourceID, record.relativePath}).step();
                    ++count;
                    break;
                case StampOutcome::reset:
                    reset.bind({record.size, record.modified, record.local, change.sourceID, record.relativePath})
                        .step();
                    ++count;
                    break;
                case StampOutcome::unchanged: break;
                }
                continue;
            }
            insert.bind(newFileValues(change.sourceID, record, callTime)).step();
            ++count;
            const qint64 newRow = db_.lastInsertRowId();

            const QString name = lastComponent(record.relativePath);
            const MoveCandidate* chosen = nullptr;
            for (const MoveCandidate& candidate : candidates) {
                if (taken.contains(candidate.rowID) || candidate.size != record.size
                    || !sameTime(candidate.modified, record.modified))
                    continue;
                if (!chosen || (chosen->name != name && candidate.name == name))
                    chosen = &candidate;
                if (chosen->name == name)
                    break;
            }
            if (!chosen)
                continue;
            taken.insert(chosen->rowID);
            carryOver.bind({chosen->itemID, chosen->quickHash, newRow}).step();
            if (chosen->name != name)
                renameItem(db_, name, QStringLiteral("?"), chosen->itemID);
        }
    }

    deleteFileRows(db_, removedRows);
    // Only removed rows that had an item can have left one without files.
    for (const MoveCandidate& candidate : candidates)
        removeItemIfOrphan(db_, candidate.itemID);
    transaction.commit();
    return count;
}

Verification Index::fileStamps(const QList<FileRecord>& records, const QString& sourceID)
{
    Statement rows(db_.db(), QStringLiteral("SELECT rel_path, size, mtime FROM files WHERE source_id = ?"));
    rows.bind({sourceID});
    struct Stamp {
        qint64 size;
        double modified;
    };
    QHash<QString, Stamp> stored;
    while (rows.step())
        stored.insert(rows.text(0), Stamp{rows.int64(1), rows.real(2)});

    Verification result;
    result.checked = records.size();
    QSet<QString> seen;
    for (const FileRecord& record : records) {
        seen.insert(record.relativePath);
        const auto found = stored.constFind(record.relativePath);
        if (found == stored.cend()) {
            ++result.added;
            continue;
        }
        // For photo library assets only the time tells a change.
        const bool sizeChanged = record.assetID.isEmpty() && found->size != record.size;
        if (sizeChanged || !sameTime(found->modified, record.modified))
            ++result.changed;
    }
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        if (!seen.contains(it.key()))
            ++result.missing;
    }
    return result;
}
