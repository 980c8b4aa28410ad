#pragma once

#include <QHash>
#include <QStringList>
#include <QWidget>

class Library;
class QAbstractButton;
class QMenu;
class QHBoxLayout;
class QToolButton;
class WorkspaceButton;

// The row of workspace buttons at the foot of the sidebar: one round button per workspace (the
// current one filled with its colour), then a plus button that opens the editor on a new, unsaved
// workspace. A click switches the workspace; each button's context menu edits, duplicates or
// deletes it (Delete… asks first, through the Library's deletingWorkspace). Buttons never overlap:
// those that do not fit the width are listed in a menu behind a button before the plus button.
class WorkspaceSwitcher : public QWidget {
    Q_OBJECT
public:
    static constexpr int buttonSide = 26;

    explicit WorkspaceSwitcher(Library& library, QWidget* parent = nullptr);

    // The button of a workspace, or null.
    QAbstractButton* button(const QString& workspaceID) const;
    QToolButton& newButton() const { return *new_; }
    QToolButton& moreButton() const { return *more_; }
    // The workspaces whose buttons do not fit, in list order.
    QStringList overflow() const;
    // Opens the menu of the workspaces that do not fit; returned for tests.
    QMenu* popupOverflowMenu(const QPoint& globalPosition);

    QSize minimumSizeHint() const override;
    // Opens a workspace button's context menu; the menu is returned for tests.
    QMenu* popupMenu(const QString& workspaceID, const QPoint& globalPosition);

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void fitButtons();

    Library& library_;
    QHBoxLayout* row_;
    QToolButton* more_;
    QToolButton* new_;
    QHash<QString, WorkspaceButton*> buttons_;
    QStringList order_;   // workspace ids in list order
};
