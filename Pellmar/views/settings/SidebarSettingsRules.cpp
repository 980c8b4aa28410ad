#include "Pellmar/views/settings/SidebarSettingsRules.h"

QList<WorkspaceRow> workspaceRows(const QList<Workspace>& workspaces)
{
    QList<WorkspaceRow> rows;
    for (const Workspace& workspace : workspaces)
        rows.append({workspace.id, workspace.name, workspace.symbol, workspace.tint, !rows.isEmpty()});
    return rows;
}

QString pinLabel(const QString& key, const std::optional<FolderNode>& node, const QList<Source>& sources)
{
    if (!node)
        return key;
    QString sourceName;
    for (const Source& source : sources) {
        if (source.id == node->sourceID) {
            sourceName = source.name;
            break;
        }
    }
    if (sourceName.isEmpty() || sourceName == node->name)
        return node->name;
    return sourceName + QStringLiteral(" > ") + node->name;
}

QStringList pinsMovedUp(QStringList pins, qsizetype position)
{
    if (position >= 1 && position < pins.size())
        pins.swapItemsAt(position, position - 1);
    return pins;
}

QStringList pinsWithout(QStringList pins, const QString& key)
{
    pins.removeAll(key);
    return pins;
}

QList<ShownRow> sourceRows(const QList<Source>& sources, const QStringList& hiddenSources)
{
    QList<ShownRow> rows;
    for (const Source& source : sources)
        rows.append({source.id, source.name, !hiddenSources.contains(source.id)});
    return rows;
}

QList<ShownRow> smartGroupRows(const QStringList& hiddenSmart)
{
    QList<ShownRow> rows;
    for (SmartFilter filter : allSmartFilters) {
        const QString raw = rawValue(filter);
        rows.append({raw, smartGroupLabel(filter), !hiddenSmart.contains(raw)});
    }
    return rows;
}
