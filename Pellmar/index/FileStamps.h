#pragma once

// How a scan tells a file that changed from one that did not, and the statements both kinds of
// scan write with. Shared by the full sync and the change passes.

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>

#include <cmath>
#include <optional>

// Two modification times are the same when they differ by at most a second; a time that is not
// a number is never the same as another.
inline bool sameTime(double stored, double modified)
{
    return std::abs(stored - modified) <= 1.0;
}

struct StoredStamp {
    qint64 size = 0;
    double modified = 0;
    bool local = false;
};

enum class StampOutcome { unchanged, noLongerLocal, reset };

inline StampOutcome compareStamp(const StoredStamp& stored, const FileRecord& record)
{
    const bool sameModified = sameTime(stored.modified, record.modified);
    // An evicted cloud file: the same file, only its content is no longer on this computer.
    if (stored.local && !record.local && sameModified)
        return StampOutcome::noLongerLocal;
    if (!sameModified || stored.size != record.size || stored.local != record.local)
        return StampOutcome::reset;
    return StampOutcome::unchanged;
}

inline const QString probeSql = QStringLiteral("SELECT size, mtime, local FROM files WHERE source_id = ? AND rel_path = ?");
inline const QString insertFileSql = QStringLiteral(
    "INSERT INTO files (source_id, rel_path, size, mtime, state, asset_id, local, favorite, subtype, raw, added_at) "
    "VALUES (?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?)");
inline const QString markNotLocalSql = QStringLiteral("UPDATE files SET local = 0 WHERE source_id = ? AND rel_path = ?");

// The probe statement's stored stamp for one path, or nothing when the source has no such row.
inline std::optional<StoredStamp> storedStamp(Statement& probe, const QString& sourceID, const QString& relativePath)
{
    probe.bind({sourceID, relativePath});
    if (!probe.step())
        return std::nullopt;
    return StoredStamp{probe.int64(0), probe.real(1), probe.boolean(2)};
}

inline SqlValues newFileValues(const QString& sourceID, const FileRecord& record, double addedAt)
{
    return {sourceID, record.relativePath, record.size, record.modified, record.assetID, record.local,
            record.favorite, record.subtype, record.raw, addedAt};
}

inline void deleteFileRows(Database& db, const QList<qint64>& rowIDs)
{
    if (rowIDs.isEmpty())
        return;
    Statement deleteRow(db.db(), QStringLiteral("DELETE FROM files WHERE id = ?"));
    for (const qint64 row : rowIDs)
        deleteRow.bind({row}).step();
}

// The bounds of the paths strictly below a folder: from "p/" up to, not including, "p0"
// ("0" is the character after "/").
inline QString subtreeStart(const QString& folder)
{
    return folder + u'/';
}
inline QString subtreeEnd(const QString& folder)
{
    return folder + u'0';
}
