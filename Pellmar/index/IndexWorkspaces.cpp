#include "Pellmar/index/Index.h"
#include "Pellmar/index/IndexScope.h"

#include <QDateTime>
#include <QHash>

#include <array>

namespace {

QString joinKey(const QString& sourceID, const QString& path)
{
    return sourceID + QLatin1Char('|') + path;
}

} // namespace

QSet<QString> Index::favoriteIDs(const QString& workspaceID)
{
    // EXISTS, not IN: with IN the planner walks every item id and probes the favorites for each.
    Statement query(db_.db(), QStringLiteral("SELECT item_id FROM favorites AS f WHERE workspace_id = ? AND EXISTS (SELECT 1 "
                                             "FROM items WHERE id = f.item_id)"));
    query.bind({workspaceID});
    QSet<QString> ids;
    while (query.step())
        ids.insert(query.text(0));
    return ids;
}

void Index::setFavorite(const QString& itemID, bool on, const QString& workspaceID)
{
    if (on)
        db_.run(QStringLiteral("INSERT OR IGNORE INTO favorites (workspace_id, item_id, added_at) VALUES (?, ?, ?)"),
            {workspaceID, itemID, QDateTime::currentDateTimeUtc()});
    else
        db_.run(QStringLiteral("DELETE FROM favorites WHERE workspace_id = ? AND item_id = ?"), {workspaceID, itemID});
}

QList<Workspace> Index::workspaces()
{
    QList<Workspace> list;
    Statement rows(db_.db(), QStringLiteral("SELECT id, name, symbol, tint, position FROM workspaces ORDER BY position, created_at"));
    while (rows.step())
        list.append({rows.text(0), rows.text(1), rows.text(2), rows.text(3), rows.int64(4), {}});

    QHash<QString, QSet<QString>> members;
    Statement memberRows(db_.db(), QStringLiteral("SELECT workspace_id, source_id, path FROM workspace_sources"));
    while (memberRows.step())
        members[memberRows.text(0)].insert(joinKey(memberRows.text(1), memberRows.text(2)));

    for (Workspace& workspace : list)
        workspace.members = members.value(workspace.id);
    return list;
}

void Index::saveWorkspace(const Workspace& workspace)
{
    Transaction transaction(db_);
    db_.run(QStringLiteral("INSERT INTO workspaces (id, name, symbol, tint, position, created_at) VALUES (?, ?, ?, ?, ?, ?) "
                           "ON CONFLICT(id) DO UPDATE SET name = excluded.name, symbol = excluded.symbol, "
                           "tint = excluded.tint, position = excluded.position"),
        {workspace.id, workspace.name, workspace.symbol, workspace.tint, workspace.position,
            QDateTime::currentDateTimeUtc()});
    if (workspace.id != everythingWorkspaceID) {
        db_.run(QStringLiteral("DELETE FROM workspace_sources WHERE workspace_id = ?"), {workspace.id});
        Statement insert(db_.db(),
            QStringLiteral("INSERT OR IGNORE INTO workspace_sources (workspace_id, source_id, path) VALUES (?, ?, ?)"));
        for (const QString& key : workspace.members) {
            const ScopeKey member = ScopeKey::parse(key);
            insert.bind({workspace.id, member.sourceID, member.path}).step();
        }
    }
    transaction.commit();
}

void Index::deleteWorkspace(const QString& workspaceID)
{
    if (workspaceID == everythingWorkspaceID)
        return;
    Transaction transaction(db_);
    static constexpr std::array tables{"workspace_sources", "pins", "favorites", "kept_favorites"};
    for (const char* table : tables) {
        Statement remove(db_.db(), QStringLiteral("DELETE FROM %1 WHERE workspace_id = ?").arg(QLatin1String(table)));
        remove.bind({workspaceID}).step();
    }
    db_.run(QStringLiteral("DELETE FROM workspaces WHERE id = ?"), {workspaceID});
    transaction.commit();
}

QStringList Index::pins(const QString& workspaceID)
{
    Statement rows(db_.db(), QStringLiteral("SELECT source_id, path FROM pins WHERE workspace_id = ? ORDER BY position"));
    rows.bind({workspaceID});
    QStringList keys;
    while (rows.step())
        keys.append(joinKey(rows.text(0), rows.text(1)));
    return keys;
}

void Index::savePins(const QStringList& keys, const QString& workspaceID)
{
    Transaction transaction(db_);
    db_.run(QStringLiteral("DELETE FROM pins WHERE workspace_id = ?"), {workspaceID});
    Statement insert(db_.db(),
        QStringLiteral("INSERT OR IGNORE INTO pins (workspace_id, source_id, path, position) VALUES (?, ?, ?, ?)"));
    for (qsizetype position = 0; position < keys.size(); ++position) {
        if (!keys[position].contains(QLatin1Char('|')))
            continue;
        const ScopeKey pin = ScopeKey::parse(keys[position]);
        insert.bind({workspaceID, pin.sourceID, pin.path, qint64(position)}).step();
    }
    transaction.commit();
}

QSet<QString> Index::photoFavoriteIDs()
{
    Statement rows(db_.db(),
        QStringLiteral("SELECT DISTINCT item_id FROM files WHERE asset_id != '' AND favorite = 1 AND item_id IS NOT NULL"));
    QSet<QString> ids;
    while (rows.step())
        ids.insert(rows.text(0));
    return ids;
}

void Index::setPhotoFavorite(const QString& itemID, bool on)
{
    db_.run(QStringLiteral("UPDATE files SET favorite = ? WHERE item_id = ? AND asset_id != ''"), {on, itemID});
}
