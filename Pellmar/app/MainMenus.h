#pragma once

#include "Pellmar/index/Model.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

class Application;
class Library;
class QAction;
class QMainWindow;
class QMenu;

// The menu bar of a main window: File, Edit, Workspace and Help. Each action carries an object
// name ("newWindow", "copy", "workspace1", …) by which tests and tools find it.
class MainMenus : public QObject {
    Q_OBJECT
public:
    // An item of the Workspace menu.
    struct WorkspaceEntry {
        QString title;
        QKeySequence shortcut;
        QString id;

        bool operator==(const WorkspaceEntry&) const = default;
    };
    // The first nine workspaces in list order, on Ctrl+1 to Ctrl+9.
    static QList<WorkspaceEntry> workspaceEntries(const QList<Workspace>& workspaces);

    MainMenus(QMainWindow& window, Application& application, Library& library);

private:
    void addFileMenu(QMenu* menu);
    void addEditMenu(QMenu* menu);
    void addHelpMenu(QMenu* menu);
    void rebuildWorkspaceMenu();
    void updateEditStates();

    QMainWindow& window_;
    Application& application_;
    Library& library_;
    QMenu* workspaceMenu_ = nullptr;
    QAction* cut_ = nullptr;
    QAction* copy_ = nullptr;
    QAction* paste_ = nullptr;
    QAction* delete_ = nullptr;
    QAction* selectAll_ = nullptr;
};
