#pragma once

#include "Pellmar/views/sidebar/SidebarRules.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class Library;
class QMenu;
class QScrollArea;
class WorkspaceSwitcher;

// The sidebar column: the fixed rows, the pinned folders, the folder trees by place, the devices
// and the status blocks in a scrolling list, with the workspace switcher below a divider. The list
// is flattenSidebar() of what the Library holds; its widgets are kept by entry key from one
// rebuild to the next, so hover, the scroll position and an open menu outlive the ticker's
// refreshes. A switch of workspace fades the old list out over the new one. Every click calls one
// Library operation. Tab gives the list the keyboard: Up and Down select the row before or after
// the selected one, Right opens it and Left closes it; the selected row then wears a focus ring.
class SidebarView : public QWidget {
    Q_OBJECT
public:
    explicit SidebarView(Library& library, QWidget* parent = nullptr);

    // What the sidebar reads of the Library; `failuresOpen` is the sidebar's own.
    static SidebarInputs inputs(const Library& library, bool failuresOpen);

    // Rebuilds now; otherwise a rebuild follows the Library's changes once per turn of the event loop.
    void rebuild();

    const QList<SidebarEntry>& entries() const { return entries_; }
    // The widget that shows the entry with this key, or null.
    QWidget* entryWidget(const QString& key) const { return widgets_.value(key); }
    QScrollArea& scrollArea() const { return *scroll_; }
    // The picture of the list before a workspace switch while it fades out; null otherwise.
    QWidget* fadingContent() const { return fading_; }
    WorkspaceSwitcher& switcher() const { return *switcher_; }

    // Opens the context menu of a pinned or tree row; the menu is returned for tests.
    QMenu* popupMenu(const QString& key, const QPoint& globalPosition);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* createWidget(const SidebarEntry& entry);
    void updateWidget(QWidget* widget, const SidebarEntry& entry);
    void relayout();
    // Covers the list with a picture of itself that fades out, so the rebuild that follows
    // appears to cross-fade.
    void fadeOutContent();
    const SidebarEntry* entry(const QString& key) const;
    void rowClicked(const QString& key);
    // Shows the place of a row, as a click does without opening or closing it.
    void selectRow(const QString& key);
    std::optional<qsizetype> selectedRow() const;
    void showFocusRing();
    void chevronClicked(const QString& key);

    Library& library_;
    QScrollArea* scroll_;
    QWidget* content_;
    WorkspaceSwitcher* switcher_;
    QList<SidebarEntry> entries_;
    QHash<QString, qsizetype> positions_;   // entry key → index in entries_
    QHash<QString, QWidget*> widgets_;
    bool failuresOpen_ = false;
    QPointer<QWidget> fading_;
};
