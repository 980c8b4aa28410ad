#include "Pellmar/views/sidebar/SwitcherRules.h"

#include "Pellmar/index/Index.h"

QList<WorkspaceButtonLook> workspaceButtons(const QList<Workspace>& workspaces, const QString& currentID)
{
    QList<WorkspaceButtonLook> buttons;
    for (const Workspace& workspace : workspaces)
        buttons.append({workspace.id, workspace.symbol, workspace.name, workspace.tint, workspace.id == currentID});
    return buttons;
}

QList<WorkspaceMenuEntry> workspaceMenu(const Workspace& workspace)
{
    QList<WorkspaceMenuEntry> entries{{QStringLiteral("Edit…"), WorkspaceCommand::edit, false},
                                      {QStringLiteral("Duplicate"), WorkspaceCommand::duplicate, false}};
    if (workspace.id != Index::everythingWorkspaceID)
        entries.append({QStringLiteral("Delete…"), WorkspaceCommand::remove, true});
    return entries;
}

bool clickSwitches(const QString& clickedID, const QString& currentID)
{
    return clickedID != currentID;
}
