#pragma once

#include "Pellmar/index/Model.h"

#include <QList>
#include <QWidget>

#include <optional>

class DialogPresenter;
class FullscreenView;
class GridView;
class Library;
class QLabel;
class CardGrid;
class QLineEdit;
class QStackedWidget;
class QToolBar;
class SearchToolbar;

// The content of a main window: the toolbar with the search field above a split of the sidebar,
// the detail column (the activity strip over the item grid, or over a memory card's grid while a
// device is selected) and the inspector, which is always shown. It owns the window's keyboard
// focus between the search field and the grid, and presents the window's sheets and
// confirmations. While the Library is in fullscreen the toolbar is hidden; when it leaves
// fullscreen the grid takes the keyboard again.
//
// The grid's context menus are the item menus.
class RootView : public QWidget {
    Q_OBJECT
public:
    // The window's two keyboard focus targets.
    enum class Field { search, grid };

    static constexpr int minimumWidth = 1100;
    static constexpr int minimumHeight = 700;

    explicit RootView(Library& library, QWidget* parent = nullptr);

    // Gives the keyboard to a target; nothing, to neither.
    void setFocusField(std::optional<Field> field);
    // The target that holds the keyboard, if either does.
    std::optional<Field> focusField() const;

    GridView& grid() const { return *grid_; }
    QLineEdit& searchField() const { return *searchField_; }
    SearchToolbar& searchToolbar() const { return *searchToolbar_; }
    QToolBar& toolbar() const { return *toolbar_; }
    DialogPresenter& dialogs() const { return *dialogs_; }
    // Shown over everything while the Library is in fullscreen with an item selected.
    FullscreenView& viewer() const { return *viewer_; }
    // The pane the detail column shows under the activity strip: the grid or the card grid.
    QWidget* content() const;

    // The search bar's width for a detail column `contentWidth` wide: 24 less, at least 260.
    static int searchFieldWidth(int contentWidth);
    // The device whose id is `selected`, if it is still among `devices`.
    static std::optional<Device> selectedDevice(const QList<Device>& devices, const std::optional<QString>& selected);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Puts the widgets of each region, in turn, next in the Tab order.
    static void orderTabStops(const QList<QWidget*>& regions);
    void showContent();
    void followFullscreen();

    Library& library_;
    QToolBar* toolbar_;
    SearchToolbar* searchToolbar_;
    QLineEdit* searchField_;
    QWidget* detail_;
    QStackedWidget* contentStack_;
    GridView* grid_;
    CardGrid* cardGrid_;
    DialogPresenter* dialogs_;
    FullscreenView* viewer_;
    bool fullscreen_ = false;
};
