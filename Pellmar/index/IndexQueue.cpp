#include "Pellmar/index/Index.h"

#include "Pellmar/index/IndexRows.h"

#include <QDateTime>

namespace {

SqlValues textValues(const QStringList& texts)
{
    return SqlValues(texts.begin(), texts.end());
}

// The item a file names, or nothing.
std::optional<QString> itemOfFile(Database& db, qint64 fileID, const QString& condition = {})
{
    Statement row(db.db(), QStringLiteral("SELECT item_id FROM files WHERE id = ? AND item_id IS NOT NULL") + condition);
    row.bind({fileID});
    if (!row.step())
        return std::nullopt;
    return row.text(0);
}

} // namespace

QList<Job> Index::pendingFiles(qint64 limit, const QStringList& sourceIDs)
{
    if (sourceIDs.isEmpty() || limit < 1)
        return {};
    Statement rows(db_.db(), QStringLiteral("SELECT id, source_id, rel_path, state, asset_id, local FROM files WHERE "
                                            "state IN (0, 1) AND source_id IN (%1) ORDER BY state DESC, id LIMIT ?")
                                 .arg(placeholders(sourceIDs.size())));
    SqlValues values = textValues(sourceIDs);
    values.push_back(limit);
    rows.bind(values);
    QList<Job> jobs;
    while (rows.step()) {
        jobs.append(Job{
            .fileID = rows.int64(0),
            .sourceID = rows.text(1),
            .relativePath = rows.text(2),
            .state = fileStateFromRawValue(rows.int64(3)).value_or(FileState::found),
            .assetID = rows.text(4),
            .local = rows.boolean(5),
        });
    }
    return jobs;
}

QList<FullJob> Index::fullPreviewQueue(qint64 limit, const QStringList& sourceIDs)
{
    if (sourceIDs.isEmpty())
        return {};
    Statement rows(db_.db(),
                   QStringLiteral("SELECT i.id, f.source_id, f.rel_path, i.kind, f.asset_id, i.filename FROM items i JOIN "
                                  "files f ON f.item_id = i.id WHERE i.proxy_ext = '' AND i.full_error IS NULL AND "
                                  "i.kind IN (0, 1, 3) AND f.state = 2 AND (f.local = 1 OR f.asset_id != '') AND "
                                  "f.source_id IN (%1) GROUP BY i.id ORDER BY f.size ASC LIMIT ?")
                       .arg(placeholders(sourceIDs.size())));
    SqlValues values = textValues(sourceIDs);
    values.push_back(limit);
    rows.bind(values);
    QList<FullJob> jobs;
    while (rows.step()) {
        jobs.append(FullJob{
            .itemID = rows.text(0),
            .sourceID = rows.text(1),
            .relativePath = rows.text(2),
            .kind = mediaKindFromRawValue(rows.int64(3)).value_or(MediaKind::photo),
            .assetID = rows.text(4),
            .filename = rows.text(5),
        });
    }
    return jobs;
}

QueueStatus Index::stateCounts()
{
    Statement rows(db_.db(), QStringLiteral("SELECT state, COUNT(*) FROM files GROUP BY state"));
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
    // One probe per item into the files of that item, rather than a list of every linked item id.
    Statement row(db_.db(), QStringLiteral("SELECT COUNT(*), SUM(proxy_ext != '' OR full_error IS NOT NULL) FROM items i "
                                           "WHERE kind IN (0, 1, 3) AND EXISTS (SELECT 1 FROM files f WHERE f.item_id "
                                           "= i.id AND (f.local = 1 OR f.asset_id != ''))"));
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
    db_.run(QStringLiteral("INSERT OR IGNORE INTO items (id, quick_hash, kind, filename, captured_at, width, height, "
                           "duration, camera, lens, preview_ext, proxy_ext, poster_ext, created_at, weak_id, uti) VALUES "
                           "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {item.id, item.quickHash, rawValue(item.kind), item.filename, item.capturedAt, item.width, item.height,
             item.duration, item.camera, item.lens, item.previewExtension, item.proxyExtension, item.posterExtension,
             QDateTime::currentMSecsSinceEpoch() / 1000.0, item.weakKey(), item.uti});

    QString itemID = item.id;
    Statement existing(db_.db(), QStringLiteral("SELECT id FROM items WHERE quick_hash = ?"));
    existing.bind({quickHash});
    if (existing.step())
        itemID = existing.text(0);

    // The item the file named until now: a file reset by a scan keeps its former item until it
    // has been hashed again.
    const std::optional<QString> formerItem = itemOfFile(db_, fileID);
    db_.run(QStringLiteral("UPDATE files SET quick_hash = ?, item_id = ?, state = 1 WHERE id = ?"),
            {quickHash, itemID, fileID});
    db_.run(QStringLiteral("UPDATE items SET modified_at = MAX(modified_at, (SELECT mtime FROM files WHERE id = ?)), "
                           "added_at = MAX(added_at, (SELECT added_at FROM files WHERE id = ?)) WHERE id = ?"),
            {fileID, fileID, itemID});
    if (formerItem && *formerItem != itemID)
        removeItemIfOrphan(db_, *formerItem);
    return itemID;
}

void Index::updateFileSize(qint64 fileID, qint64 size, bool local)
{
    db_.run(QStringLiteral("UPDATE files SET size = ?, local = ? WHERE id = ?"), {size, local, fileID});
}

void Index::dropOrphanItem(const QString& quickHash)
{
    Statement row(db_.db(), QStringLiteral("SELECT id FROM items WHERE quick_hash = ?"));
    row.bind({quickHash});
    if (row.step())
        removeItemIfOrphan(db_, row.text(0));
}

void Index::markPreviewed(qint64 fileID, const QString& itemID, const QString& previewExtension,
                          const QString& posterExtension)
{
    if (!previewExtension.isEmpty())
        db_.run(QStringLiteral("UPDATE items SET preview_ext = ? WHERE id = ? AND preview_ext = ''"),
                {previewExtension, itemID});
    if (!posterExtension.isEmpty())
        db_.run(QStringLiteral("UPDATE items SET poster_ext = ? WHERE id = ? AND poster_ext = ''"),
                {posterExtension, itemID});
    db_.run(QStringLiteral("UPDATE files SET state = 2 WHERE id = ?"), {fileID});
}

void Index::setProxy(const QString& itemID, const QString& proxyExtension, const QString& posterExtension)
{
    db_.run(QStringLiteral("UPDATE items SET proxy_ext = ?, poster_ext = CASE WHEN ? != '' THEN ? ELSE poster_ext END "
                           "WHERE id = ?"),
            {proxyExtension, posterExtension, posterExtension, itemID});
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
    removeSearchRow(db_, itemID);
    db_.run(QStringLiteral("INSERT INTO search (item_id, text) VALUES (?, ?)"), {itemID, text});
}

void Index::renameFile(qint64 fileID, const QString& newRelativePath)
{
    QString trimmed = newRelativePath;
    while (trimmed.endsWith(u'/'))
        trimmed.chop(1);
    const QString name = trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
    if (name.isEmpty())
        throw DatabaseError(QStringLiteral("cannot rename a file to \"%1\"").arg(newRelativePath));

    // The row of another file of the same source at the new path makes room; its item goes when
    // no other file names it.
    Statement displaced(db_.db(), QStringLiteral("SELECT other.item_id FROM files f JOIN files other ON other.source_id "
                                                 "= f.source_id AND other.rel_path = ? AND other.id != f.id WHERE f.id "
                                                 "= ? AND other.item_id IS NOT NULL"));
    displaced.bind({newRelativePath, fileID});
    const std::optional<QString> displacedItem = displaced.step() ? std::optional(displaced.text(0)) : std::nullopt;

    db_.run(QStringLiteral("UPDATE OR REPLACE files SET rel_path = ? WHERE id = ?"), {newRelativePath, fileID});
    db_.run(QStringLiteral("UPDATE items SET filename = ?, weak_id = CASE WHEN captured_at IS NOT NULL AND width > 0 AND "
                           "height > 0 THEN lower(?) || '|' || width || 'x' || height || '|' || CAST(captured_at AS "
                           "INTEGER) ELSE '' END WHERE id = (SELECT item_id FROM files WHERE id = ?)"),
            {name, name, fileID});
    if (displacedItem)
        removeItemIfOrphan(db_, *displacedItem);
}

void Index::clearAll()
{
    Transaction transaction(db_);
    db_.exec(QStringLiteral("DELETE FROM search"));
    db_.exec(QStringLiteral("DELETE FROM folders"));
    db_.exec(QStringLiteral("DELETE FROM files"));
    db_.exec(QStringLiteral("DELETE FROM items"));
    transaction.commit();
}

void Index::deleteFile(qint64 fileID)
{
    const std::optional<QString> item = itemOfFile(db_, fileID);
    db_.run(QStringLiteral("DELETE FROM files WHERE id = ?"), {fileID});
    if (item)
        removeItemIfOrphan(db_, *item);
}
