#include "Pellmar/views/grid/TileGrid.h"

#include "Pellmar/views/grid/GridCellDelegate.h"
#include "Pellmar/views/grid/ItemGridModel.h"
#include "Pellmar/views/grid/TilePictures.h"

#include <QEvent>
#include <QPainter>
#include <QScrollBar>

TileGrid::TileGrid(TaskPools& pools, QWidget* parent)
    : QAbstractItemView(parent)
    , model_(new ItemGridModel(this))
    , pictures_(new TilePictures(pools, grid::pictureMaxPixels, this))
    , delegate_(new GridCellDelegate(*pictures_, this))
{
    setModel(model_);
    setItemDelegate(delegate_);
    setSelectionMode(NoSelection);
    setEditTriggers(NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(ScrollPerPixel);

    connect(pictures_, &TilePictures::pictureReady, this, [this](const QString& id) {
        if (const int row = model_->rowOf(id); row >= 0)
            viewport()->update(visualRect(model_->index(row)));
    });
}

TileGrid::~TileGrid() = default;

std::optional<QRect> TileGrid::tileOnScreen(const QString& id) const
{
    const int row = model_->rowOf(id);
    if (row < 0)
        return std::nullopt;
    const QRect tile = GridCellDelegate::tileRect(visualRect(model_->index(row)));
    if (!tile.intersects(viewport()->rect()))
        return std::nullopt;
    return tile;
}

QRect TileGrid::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= model_->rowCount())
        return {};
    return geometry_.cellRect(index.row()).translated(0, -verticalOffset());
}

void TileGrid::scrollTo(const QModelIndex& index, ScrollHint)
{
    const QRect cell = visualRect(index);
    if (cell.isNull())
        return;
    QScrollBar* bar = verticalScrollBar();
    if (cell.top() < 0)
        bar->setValue(bar->value() + cell.top());
    else if (cell.bottom() >= viewport()->height())
        bar->setValue(bar->value() + cell.bottom() + 1 - viewport()->height());
}

QModelIndex TileGrid::indexAt(const QPoint& point) const
{
    const std::optional<int> row = geometry_.indexAt(point + QPoint(0, verticalOffset()), model_->rowCount());
    return row ? model_->index(*row) : QModelIndex();
}

int TileGrid::verticalOffset() const
{
    return verticalScrollBar()->value();
}

void TileGrid::updateGeometries()
{
    QAbstractItemView::updateGeometries();
    QScrollBar* bar = verticalScrollBar();
    const int height = viewport()->height();
    bar->setRange(0, std::max(0, geometry_.contentHeight(model_->rowCount()) - height));
    bar->setPageStep(height);
    // A notch of the wheel (three steps) scrolls one row.
    bar->setSingleStep(std::max(1, (geometry_.cellHeight + grid::spacing) / 3));
}

void TileGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractItemView::resizeEvent(event);
    relayout();
}

void TileGrid::changeEvent(QEvent* event)
{
    QAbstractItemView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        relayout();
}

void TileGrid::scrollContentsBy(int dx, int dy)
{
    QAbstractItemView::scrollContentsBy(dx, dy);
    tilesMoved();
}

void TileGrid::relayout()
{
    geometry_ = grid::geometry(viewport()->width(), GridCellDelegate::textHeight(font()));
    updateGeometries();
    viewport()->update();
    tilesMoved();
}

std::pair<int, int> TileGrid::rowsOnScreen() const
{
    const int top = verticalOffset();
    return geometry_.indexesBetween(top, top + viewport()->height(), model_->rowCount());
}

std::pair<int, int> TileGrid::rowsNearScreen() const
{
    const int top = verticalOffset();
    const int height = viewport()->height();
    return geometry_.indexesBetween(top - height, top + 2 * height, model_->rowCount());
}

void TileGrid::tilesMoved()
{
    const auto [first, last] = rowsOnScreen();
    const auto [nearFirst, nearLast] = rowsNearScreen();
    QList<TilePictures::Tile> onScreen;
    QList<TilePictures::Tile> nearScreen;
    for (int row = nearFirst; row <= nearLast; ++row) {
        const grid::Cell& cell = model_->cell(row);
        if (cell.picturePath)
            (row >= first && row <= last ? onScreen : nearScreen)
                .append({cell.id, *cell.picturePath, cell.tileImagePath.value_or(QString())});
    }
    const QSize tile = GridCellDelegate::tileRect(geometry_.cellRect(0)).size() * devicePixelRatioF();
    pictures_->setTiles(onScreen, nearScreen, tile);
}

void TileGrid::paintTiles(QPainter& painter, const QRect& area)
{
    const int count = model_->rowCount();
    const auto [first, last] = geometry_.indexesBetween(area.top() + verticalOffset(), area.bottom() + verticalOffset(), count);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model_->index(row);
        option.rect = visualRect(index);
        if (option.rect.intersects(area))
            delegate_->paint(&painter, option, index);
    }
}
