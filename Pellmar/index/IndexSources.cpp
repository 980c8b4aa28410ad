#include "Pellmar/index/Index.h"

QList<Source> Index::sources()
{
    Statement statement(
        db_.db(),
        QStringLiteral("SELECT id, name, root_path, volume_uuid, volume_name, added_at, kind, volume_path FROM sources "
                       "ORDER BY added_at"));
    QList<Source> sources;
    while (statement.step()) {
        sources.append(Source{
            .id = statement.text(0),
            .name = statement.text(1),
            .rootPath = statement.text(2),
            .volumeUUID = statement.text(3),
            .volumeName = statement.text(4),
            .addedAt = statement.real(5),
            .kind = statement.int64(6) == qint64(SourceKind::photos) ? SourceKind::photos : SourceKind::folder,
            .volumePath = statement.isNull(7) ? std::nullopt : std::optional<QString>(statement.text(7)),
        });
    }
    return sources;
}

void Index::saveSource(const Source& source)
{
    // Replacing a stored source would delete its files and folders through the cascade, so an id
    // that is already taken is refused and the stored row stays as it is.
    db_.run(QStringLiteral("INSERT INTO sources (id, name, root_path, volume_uuid, volume_name, added_at, kind, "
                           "volume_path) VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT(id) DO NOTHING"),
            {source.id, source.name, source.rootPath, source.volumeUUID, source.volumeName, source.addedAt,
             qint64(source.kind), source.volumePath});
    if (db_.changes() == 0)
        throw DatabaseError(QStringLiteral("a source with the id %1 already exists").arg(source.id));
}

void Index::relinkSource(const QString& sourceID, const QString& rootPath, const QString& name,
                         const QString& volumeName, const QString& volumePath)
{
    db_.run(QStringLiteral("UPDATE sources SET root_path = ?, name = ?, volume_name = ?, volume_path = ? WHERE id = ?"),
            {rootPath, name, volumeName, volumePath, sourceID});
}

void Index::setSourceVolumePath(const QString& sourceID, const QString& volumePath)
{
    db_.run(QStringLiteral("UPDATE sources SET volume_path = ? WHERE id = ? AND volume_path IS NULL"), {volumePath, sourceID});
}

QStringList Index::removeSource(const QString& sourceID)
{
    Transaction transaction(db_);
    db_.run(QStringLiteral("DELETE FROM workspace_sources WHERE source_id = ?"), {sourceID});
    db_.run(QStringLiteral("DELETE FROM pins WHERE source_id = ?"), {sourceID});
    // Items without a file on another source go, with their search rows; the source's own files
    // still exist here and are left out by "source_id != ?".
    static const QString orphaned = QStringLiteral(
        "SELECT id FROM items WHERE id NOT IN (SELECT item_id FROM files WHERE source_id != ? AND item_id IS NOT NULL)");
    QStringList removed;
    Statement going(db_.db(), orphaned);
    going.bind({sourceID});
    while (going.step())
        removed.append(going.text(0));
    db_.run(QStringLiteral("DELETE FROM search WHERE item_id IN (") + orphaned + u')', {sourceID});
    db_.run(QStringLiteral("DELETE FROM items WHERE id NOT IN (SELECT item_id FROM files WHERE source_id != ? AND "
                           "item_id IS NOT NULL)"),
            {sourceID});
    // The source's files and folders go with it by the cascade.
    db_.run(QStringLiteral("DELETE FROM sources WHERE id = ?"), {sourceID});
    transaction.commit();
    return removed;
}

std::optional<qint64> Index::folderCount(const QString& sourceID)
{
    Statement count(db_.db(), QStringLiteral("SELECT COUNT(*) FROM folders WHERE source_id = ?"));
    count.bind({sourceID});
    if (!count.step())
        return std::nullopt;
    return count.int64(0);
}

QSet<QString> Index::mountPoints()
{
    Statement statement(db_.db(), QStringLiteral("SELECT path FROM mount_points"));
    QSet<QString> paths;
    while (statement.step())
        paths.insert(statement.text(0));
    return paths;
}

void Index::rememberMountPoints(const QStringList& paths)
{
    Transaction transaction(db_);
    for (const QString& path : paths)
        db_.run(QStringLiteral("INSERT OR IGNORE INTO mount_points (path) VALUES (?)"), {path});
    transaction.commit();
}
