#pragma once

#include "Pellmar/index/Model.h"
#include "Pellmar/views/settings/SidebarSettingsRules.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QScrollArea>

#include <functional>
#include <optional>

class Library;
class QCheckBox;
class QVBoxLayout;

// Makes the workspace editor for a workspace, parented to `parent`.
using WorkspaceSheetFactory = std::function<QDialog*(const Workspace& workspace, QWidget* parent)>;

// The "Sidebar" page: the workspaces in order with their editor, which sources and Photos groups
// the sidebar shows, and the order of the current workspace's pins. Everything it shows and
// changes lives in the Library. Without an editor the workspace buttons are off.
class SidebarSettings : public QScrollArea {
    Q_OBJECT
public:
    SidebarSettings(Library& library, WorkspaceSheetFactory workspaceSheet, QWidget* parent = nullptr);

    // The workspace whose editor is open.
    const std::optional<Workspace>& editing() const { return editing_; }

    // As tall as the content, up to a height that fits a small screen; longer lists scroll.
    QSize sizeHint() const override;

private:
    void refresh();
    void showWorkspaces(const QList<WorkspaceRow>& rows);
    void showPins(const QList<PinRow>& rows);
    // Builds the switches when the rows differ in more than their states, else sets the states.
    void showSwitches(QWidget* section, QHash<QString, QCheckBox*>& switches, QList<ShownRow>& shown,
                      const QList<ShownRow>& rows, const QString& namePrefix,
                      const std::function<void(const QString& id, bool on)>& toggled);
    void edit(const Workspace& workspace);
    void changePins(const QStringList& pins);

    Library& library_;
    WorkspaceSheetFactory workspaceSheet_;
    std::optional<Workspace> editing_;
    QWidget* workspaces_;
    QWidget* sources_;
    QWidget* pins_;
    QWidget* smartGroups_;
    QList<WorkspaceRow> workspaceRows_;
    QList<PinRow> pinRows_;
    QList<ShownRow> sourceRows_;
    QList<ShownRow> smartRows_;
    QHash<QString, QCheckBox*> sourceSwitches_;
    QHash<QString, QCheckBox*> smartSwitches_;
    bool filled_ = false;
};
