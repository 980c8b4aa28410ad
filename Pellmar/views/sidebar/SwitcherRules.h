#pragma once

// What the workspace switcher shows and offers, from the workspace list.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>

struct WorkspaceButtonLook {
    QString id;
    QString symbol;
    QString name;   // help text and accessible name
    QString tint;
    bool current = false;   // filled with its colour, symbol in white
    bool operator==(const WorkspaceButtonLook&) const = default;
};

QList<WorkspaceButtonLook> workspaceButtons(const QList<Workspace>& workspaces, const QString& currentID);

// The context menu of a workspace's button.
enum class WorkspaceCommand { edit, duplicate, remove };
struct WorkspaceMenuEntry {
    QString text;
    WorkspaceCommand command;
    bool separatorBefore = false;
    bool operator==(const WorkspaceMenuEntry&) const = default;
};
QList<WorkspaceMenuEntry> workspaceMenu(const Workspace& workspace);

// A click switches only to a workspace that is not the current one.
bool clickSwitches(const QString& clickedID, const QString& currentID);

// How the row of buttons fits its width: each button is `side` wide, `spacing` apart, inside
// `margin` on both ends, and the plus button always shows.
struct SwitcherMetrics {
    int side = 26;
    int spacing = 6;
    int margin = 12;
};
// How many workspace buttons show in a row `width` wide, out of `count`: all of them when they fit
// beside the plus button, else as many as fit beside it and the button of the overflow menu (at
// least none). Buttons never overlap.
int shownWorkspaceButtons(int count, int width, const SwitcherMetrics& metrics);
