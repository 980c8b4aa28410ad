#include "Pellmar/views/sidebar/SwitcherRules.h"

#include "Pellmar/index/Index.h"

#include <algorithm>

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

int shownWorkspaceButtons(int count, int width, const SwitcherMetrics& metrics)
{
    // The width of a row of `buttons` buttons of any kind.
    const auto room = [&](int buttons) {
        return 2 * metrics.margin + buttons * metrics.side + std::max(buttons - 1, 0) * metrics.spacing;
    };
    if (room(count + 1) <= width)
        return count;
    int shown = 0;
    while (shown < count && room(shown + 3) <= width)
        ++shown;
    return shown;
}
