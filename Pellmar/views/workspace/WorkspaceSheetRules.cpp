#include "Pellmar/views/workspace/WorkspaceSheetRules.h"

#include "Pellmar/index/Index.h"

#include <algorithm>

const QStringList& workspaceSymbols()
{
    static const QStringList symbols{
        "briefcase", "hammer", "wrench.and.screwdriver", "laptopcomputer", "iphone", "paintbrush",
        "pencil.and.ruler", "chart.bar", "dollarsign.circle", "building.2", "camera", "photo",
        "film", "video", "music.note", "mic", "waveform", "book",
        "newspaper", "person.2", "house", "heart", "star", "pawprint",
        "leaf", "fork.knife", "bag", "cart", "gamecontroller", "airplane",
        "car", "bicycle", "map", "globe", "mountain.2", "sailboat",
        "archivebox", "externaldrive", "cloud", "tray.full", "folder", "sparkles",
    };
    return symbols;
}

const QStringList& workspaceTints()
{
    static const QStringList tints{"accent", "blue", "purple", "pink", "red", "orange", "yellow", "green", "gray"};
    return tints;
}

QString tintHelp(const QString& tint)
{
    if (tint == QLatin1String("accent"))
        return QStringLiteral("System accent");
    return tint.isEmpty() ? tint : tint.front().toUpper() + tint.mid(1);
}

bool isEverything(const Workspace& workspace)
{
    return workspace.id == Index::everythingWorkspaceID;
}

QString workspaceSheetTitle(const Workspace& draft, const QList<Workspace>& workspaces)
{
    const bool known = std::any_of(workspaces.begin(), workspaces.end(),
                                   [&](const Workspace& workspace) { return workspace.id == draft.id; });
    return known ? QStringLiteral("Edit Workspace") : QStringLiteral("New Workspace");
}

bool canSaveWorkspace(const Workspace& draft)
{
    if (draft.name.trimmed().isEmpty())
        return false;
    return isEverything(draft) || !draft.members.isEmpty();
}
