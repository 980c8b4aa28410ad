#pragma once

// What the workspace editor offers and when it may save.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>
#include <QStringList>

// The symbols a workspace may take, in the order the editor shows them.
const QStringList& workspaceSymbols();
// The tint names, "accent" first.
const QStringList& workspaceTints();
// The help text of a tint: "System accent", or the name with a capital ("Blue").
QString tintHelp(const QString& tint);

bool isEverything(const Workspace& workspace);
// "Edit Workspace" for a workspace already in the list, "New Workspace" otherwise.
QString workspaceSheetTitle(const Workspace& draft, const QList<Workspace>& workspaces);
// A name that is more than blanks, and (but for "everything") at least one member.
bool canSaveWorkspace(const Workspace& draft);
