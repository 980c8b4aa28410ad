#pragma once

#include "Pellmar/index/Model.h"
#include "Pellmar/views/grid/TileGrid.h"
#include "Pellmar/views/kit/GridCommands.h"

#include <QHash>
#include <QList>

#include <memory>

class GridActions;
class Library;
class ShareAnchor;
class TaskPools;

// The grid of the current search result (Library::items), in order, as tiles of equal columns
// between 150 and 220 wide. A model keyed by item id feeds it and a delegate paints the cells;
// only the rows on screen are drawn, and pictures are decoded for them first. Clicks, keys and
// hovering become Library operations through GridActions; the grid keeps no selection of its
// own. It scrolls only when a key moves the selection. While the result is empty, it shows the
// message that says why.
class GridView : public TileGrid, public GridCommandSource {
    Q_OBJECT
public:
    // The grid of the window: acts through the Library's operations and decodes on its pools.
    explicit GridView(Library& library, QWidget* parent = nullptr);
    // `actions` and `pools` must outlive the view.
    GridView(Library& library, GridActions& actions, TaskPools& pools, QWidget* parent = nullptr);
    ~GridView() override;

    // What the Edit menu offers while the grid has the focus.
    GridCommands gridCommands() const override;

    // The tile of an item in global screen coordinates, while the grid is shown and the tile is on
    // screen: where a share picker for the item opens.
    std::optional<QRect> tileOnDisplay(const QString& id) const;

Q_SIGNALS:
    // A right click on a tile: the item menu, or the selection's menu when the tile is one of
    // several selected. `anchor` is the key of the tile's share anchor.
    void itemMenuRequested(const Item& item, const QString& anchor, const QPoint& globalPosition);
    void groupMenuRequested(const QString& anchor, const QPoint& globalPosition);

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void tilesMoved() override;

private:
    void rebuild();
    void writeCaptions();
    void updateAnchors();
    void clickAt(QMouseEvent* event, int clickCount);
    void moveBy(int offset, bool extend);
    bool openOrQuickLook(bool space);
    void paintEmptyState(QPainter& painter);

    Library& library_;
    std::unique_ptr<GridActions> ownActions_;
    GridActions& actions_;
    QList<Item> items_;   // the items of the rows, in row order
    // The captions written so far with what they were written from, so that a rebuild keeps them
    // while their item and locations are unchanged.
    struct Caption {
        Item item;
        QList<Location> locations;
        QString text;
    };
    QHash<QString, Caption> captions_;
    QHash<QString, ShareAnchor*> anchors_;   // one per tile, keyed by its item's id
};
