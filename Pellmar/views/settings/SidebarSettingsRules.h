#pragma once

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the "Sidebar" page shows, computed from the Library's state.

struct WorkspaceRow {
    QString id;
    QString name;
    QString symbol;
    QString tint;
    bool canMoveUp = false;

    bool operator==(const WorkspaceRow&) const = default;
};

struct PinRow {
    QString key;
    QString label;
    bool canMoveUp = false;

    bool operator==(const PinRow&) const = default;
};

// A switch of the page: a source or a Photos group, on while the sidebar shows it.
struct ShownRow {
    QString id;   // the source id, or the group's raw name
    QString title;
    bool shown = true;

    bool operator==(const ShownRow&) const = default;
};

QList<WorkspaceRow> workspaceRows(const QList<Workspace>& workspaces);

// The node's name, after its source's name and " > " unless the two are the same; the key itself
// when no sidebar node has it.
QString pinLabel(const QString& key, const std::optional<FolderNode>& node, const QList<Source>& sources);

// The pins with the one at `position` moved a place up; unchanged for the first or no position.
QStringList pinsMovedUp(QStringList pins, qsizetype position);
QStringList pinsWithout(QStringList pins, const QString& key);

QList<ShownRow> sourceRows(const QList<Source>& sources, const QStringList& hiddenSources);
// Every Photos group, whether or not a photo library is indexed.
QList<ShownRow> smartGroupRows(const QStringList& hiddenSmart);
