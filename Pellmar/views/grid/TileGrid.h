#pragma once

#include "Pellmar/views/grid/GridLayout.h"

#include <QAbstractItemView>

#include <optional>
#include <utility>

class GridCellDelegate;
class ItemGridModel;
class TaskPools;
class TilePictures;

// What every grid of tiles shares (the item grid and a card's grid): a model of cells keyed by id,
// painted by the cell delegate in columns laid out by GridLayout, scrolled by pixel with the
// vertical scroll bar only, and pictures decoded for the tiles on screen first and a screen
// around them next. The view keeps no selection of its own; subclasses turn clicks and keys into
// operations.
//
// The layout is its own arithmetic, not QListView's: a QListView grid has no padding, ignores
// spacing and chooses its own column count, which keyboard moves must match.
class TileGrid : public QAbstractItemView {
    Q_OBJECT
public:
    // `pools` must outlive the view.
    explicit TileGrid(TaskPools& pools, QWidget* parent = nullptr);
    ~TileGrid() override;

    int columnCount() const { return geometry_.columns; }
    // The rows as the view shows them, and the tile of a row's id on screen in viewport coordinates.
    const ItemGridModel& rows() const { return *model_; }
    std::optional<QRect> tileOnScreen(const QString& id) const;
    const TilePictures& pictures() const { return *pictures_; }

    // QAbstractItemView
    QRect visualRect(const QModelIndex& index) const override;
    // Scrolls only as far as needed to show the whole cell.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

protected:
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    void setSelection(const QRect&, QItemSelectionModel::SelectionFlags) override {}
    QRegion visualRegionForSelection(const QItemSelection&) const override { return {}; }
    void updateGeometries() override;

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

    // The layout for the viewport's width and the font, then tilesMoved().
    void relayout();
    // The tiles on screen changed (a scroll, a new layout, new rows): asks for their pictures.
    virtual void tilesMoved();
    // The first and last row on screen, and of a screen above and below; last < first when none is.
    std::pair<int, int> rowsOnScreen() const;
    std::pair<int, int> rowsNearScreen() const;
    // Paints the cells that meet `area` of the viewport.
    void paintTiles(QPainter& painter, const QRect& area);

    ItemGridModel* model_;
    TilePictures* pictures_;
    GridCellDelegate* delegate_;
    grid::Geometry geometry_;
};
