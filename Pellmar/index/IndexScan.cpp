#include "Pellmar/index/Index.h"

#include "Pellmar/index/FileStamps.h"
#include "Pellmar/index/IndexRows.h"

#include <QHash>

#include <algorithm>

namespace {

// Narrows a deletion of folder rows so that it spares every folder the walk could not list,
// with what lies below it.
void spareUnlisted(QString& sql, SqlValues& values, const Index::WalkGaps& gaps)
{
    for (const QString& folder : gaps.unlistedFolders) {
        sql += QStringLiteral(" AND NOT (rel_path = ? OR (rel_path >= ? AND rel_path < ?))");
        values.insert(values.end(), {folder, subtreeStart(folder), subtreeEnd(folder)});
    }
}

const QString insertFolderSql =
    QStringLiteral("INSERT OR REPLACE INTO folders (source_id, rel_path, parent_path, mtime) VALUES (?, ?, ?, ?)");

// Writes a folder's row only when it is new or its modification time differs.
const QString upsertFolderSql = QStringLiteral(
    "INSERT INTO folders (source_id, rel_path, parent_path, mtime) VALUES (?, ?, ?, ?) "
    "ON CONFLICT (source_id, rel_path) DO UPDATE SET mtime = excluded.mtime WHERE mtime != excluded.mtime");

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
    Statement upsert(db_.db(), upsertFolderSql);
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
            upsert.bind(folderValues(change.sourceID, folder)).step();
            count += db_.changes();
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

QHash<QString, double> Index::folderStamps(const QString& sourceID)
{
    Statement rows(db_.db(), QStringLiteral("SELECT rel_path, mtime FROM folders WHERE source_id = ?"));
    rows.bind({sourceID});
    QHash<QString, double> stamps;
    while (rows.step())
        stamps.insert(rows.text(0), rows.real(1));
    return stamps;
}

QList<Index::StoredFile> Index::fileStampsAfter(const QString& sourceID, qint64 afterID, qint64 limit)
{
    // The unary plus keeps the planner on the row ids, so that no step sorts the source's rows.
    Statement rows(db_.db(), QStringLiteral("SELECT id, rel_path, size, mtime FROM files WHERE +source_id = ? AND id > ? "
                                            "ORDER BY id LIMIT ?"));
    rows.bind({sourceID, afterID, limit});
    QList<StoredFile> files;
    while (rows.step())
        files.append(StoredFile{rows.int64(0), rows.text(1), rows.int64(2), rows.real(3)});
    return files;
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
    std::optional<QString> tailHash;
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
    Statement reset(db_.db(), QStringLiteral("UPDATE files SET size = ?, mtime = ?, quick_hash = NULL, tail_hash = NULL, state = 0, "
                                             "error = NULL, local = ? WHERE source_id = ? AND rel_path = ?"));
    Statement removedRow(
        db_.db(), QStringLiteral("SELECT id, size, mtime, item_id, quick_hash, tail_hash FROM files WHERE source_id = ? AND rel_path = ?"));
    Statement carryOver(db_.db(), QStringLiteral("UPDATE files SET item_id = ?, quick_hash = ?, tail_hash = ? WHERE id = ?"));
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
                .tailHash = removedRow.isNull(5) ? std::nullopt : std::optional(removedRow.text(5)),
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
            carryOver.bind({chosen->itemID, chosen->quickHash, chosen->tailHash, newRow}).step();
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
