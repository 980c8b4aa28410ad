#include "Pellmar/views/grid/GridView.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/core/ShareAnchor.h"
#include "Pellmar/views/grid/GridActions.h"
#include "Pellmar/views/grid/GridCell.h"
#include "Pellmar/views/grid/GridCellDelegate.h"
#include "Pellmar/views/grid/GridEmptyState.h"
#include "Pellmar/views/grid/ItemGridModel.h"
#include "Pellmar/views/grid/LibraryGridActions.h"
#include "Pellmar/views/grid/TilePictures.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"
#include "Pellmar/views/kit/Icons.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int emptySymbolSize = 44;
constexpr int emptySpacing = 8;

} // namespace

GridView::GridView(Library& library, QWidget* parent)
    : GridView(library, *new LibraryGridActions(library), library.pools(), parent)
{
    ownActions_.reset(&actions_);
}

GridView::GridView(Library& library, GridActions& actions, TaskPools& pools, QWidget* parent)
    : QAbstractItemView(parent)
    , library_(library)
    , actions_(actions)
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
    setFocusPolicy(Qt::StrongFocus);

    connect(pictures_, &TilePictures::pictureReady, this, [this](const QString& id) {
        if (const int row = model_->rowOf(id); row >= 0)
            viewport()->update(visualRect(model_->index(row)));
    });

    using P = Library::Prop;
    auto* refresh = new CoalescedRefresh(
        library_,
        {P::items, P::selectedIDs, P::fullscreen, P::copies, P::itemLocations, P::sources, P::query, P::sourceFilter,
         P::favoritesOnly, P::onlyHere, P::summary},
        [this](const QSet<Library::Prop>& changed) {
            static const QSet<Library::Prop> cellProps{P::items, P::selectedIDs, P::fullscreen, P::copies, P::itemLocations};
            if (changed.intersects(cellProps))
                rebuild();
            else
                viewport()->update();   // the empty state's inputs
        },
        this);
    refresh->requestAll();
}

GridView::~GridView() = default;

void GridView::rebuild()
{
    items_ = library_.items();
    const QSet<QString>& selected = library_.selectedIDs();
    const QHash<QString, qint64>& copies = library_.copies();
    const QHash<QString, QList<Location>>& locations = library_.itemLocations();
    static const QList<Location> noLocations;
    QHash<QString, Caption> captions;
    captions.reserve(items_.size());
    QList<grid::Cell> cells;
    cells.reserve(items_.size());
    for (const Item& item : std::as_const(items_)) {
        const auto found = locations.constFind(item.id);
        const QList<Location>& itemLocations = found == locations.cend() ? noLocations : found.value();
        Caption caption = captions_.take(item.id);
        if (caption.item != item || caption.locations != itemLocations || caption.text.isNull())
            caption = {item, itemLocations, grid::cellCaption(item, itemLocations)};
        cells.append(grid::makeCell(item,
                                    {
                                        .selected = selected.contains(item.id),
                                        .fullscreen = library_.fullscreen(),
                                        .copies = copies.value(item.id),
                                        .locations = found == locations.cend() ? nullptr : &found.value(),
                                        .previewPath = actions_.previewPath(item),
                                    },
                                    caption.text));
        captions.insert(item.id, std::move(caption));
    }
    captions_.swap(captions);
    model_->apply(cells);
    updateAnchors();
    relayout();
}

// Every tile keeps a share anchor under its item's id; each rebuild registers them again.
void GridView::updateAnchors()
{
    QHash<QString, ShareAnchor*> previous;
    anchors_.swap(previous);
    for (const Item& item : std::as_const(items_)) {
        ShareAnchor* anchor = previous.take(item.id);
        if (anchor)
            anchor->update(item.id);
        else
            anchor = new ShareAnchor(library_, item.id, [this, id = item.id] { return tileOnDisplay(id); }, this);
        anchors_.insert(item.id, anchor);
    }
    qDeleteAll(previous);
}

void GridView::relayout()
{
    geometry_ = grid::geometry(viewport()->width(), GridCellDelegate::textHeight(font()));
    updateGeometries();
    viewport()->update();
    updatePictures();
}

void GridView::updateGeometries()
{
    QAbstractItemView::updateGeometries();
    QScrollBar* bar = verticalScrollBar();
    const int height = viewport()->height();
    bar->setRange(0, std::max(0, geometry_.contentHeight(model_->rowCount()) - height));
    bar->setPageStep(height);
    // A notch of the wheel (three steps) scrolls one row.
    bar->setSingleStep(std::max(1, (geometry_.cellHeight + grid::spacing) / 3));
}

// Pictures for the tiles on screen, then for a screen above and below.
void GridView::updatePictures()
{
    const int count = model_->rowCount();
    const int top = verticalOffset();
    const int height = viewport()->height();
    const auto [first, last] = geometry_.indexesBetween(top, top + height, count);
    const auto [nearFirst, nearLast] = geometry_.indexesBetween(top - height, top + 2 * height, count);
    QList<TilePictures::Tile> onScreen;
    QList<TilePictures::Tile> nearScreen;
    for (int row = nearFirst; row <= nearLast; ++row) {
        const grid::Cell& cell = model_->cell(row);
        if (!cell.picturePath)
            continue;
        (row >= first && row <= last ? onScreen : nearScreen).append({cell.id, *cell.picturePath});
    }
    const QSize tile = GridCellDelegate::tileRect(geometry_.cellRect(0)).size() * devicePixelRatioF();
    pictures_->setTiles(onScreen, nearScreen, tile);
}

GridCommands GridView::gridCommands() const
{
    const std::optional<QString>& source = library_.sourceFilter();
    const QPointer<const GridView> view(this);
    return GridCommands{
        .hasSelection = !library_.selectedIDs().isEmpty(),
        .canPaste = source && actions_.acceptsPaste(*source, library_.pathFilter()),
        .hasItems = !library_.items().isEmpty(),
        .copy = [view] { if (view) view->actions_.copySelection(); },
        .paste =
            [view] {
                if (view && view->library_.sourceFilter())
                    view->actions_.paste(*view->library_.sourceFilter(), view->library_.pathFilter());
            },
        .deleteSelection = [view] { if (view) view->actions_.trashSelection(); },
        .selectAll = [view] { if (view) view->actions_.selectAll(); },
    };
}

std::optional<QRect> GridView::tileOnScreen(const QString& id) const
{
    const int row = model_->rowOf(id);
    if (row < 0)
        return std::nullopt;
    const QRect tile = GridCellDelegate::tileRect(visualRect(model_->index(row)));
    if (!tile.intersects(viewport()->rect()))
        return std::nullopt;
    return tile;
}

std::optional<QRect> GridView::tileOnDisplay(const QString& id) const
{
    if (!isVisible() || !window()->isVisible())
        return std::nullopt;
    const std::optional<QRect> tile = tileOnScreen(id);
    if (!tile)
        return std::nullopt;
    return QRect(viewport()->mapToGlobal(tile->topLeft()), tile->size());
}

QRect GridView::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= model_->rowCount())
        return {};
    return geometry_.cellRect(index.row()).translated(0, -verticalOffset());
}

void GridView::scrollTo(const QModelIndex& index, ScrollHint)
{
    const QRect cell = visualRect(index);
    if (cell.isNull())
        return;
    // Only as far as needed to show the whole cell.
    QScrollBar* bar = verticalScrollBar();
    if (cell.top() < 0)
        bar->setValue(bar->value() + cell.top());
    else if (cell.bottom() >= viewport()->height())
        bar->setValue(bar->value() + cell.bottom() + 1 - viewport()->height());
}

QModelIndex GridView::indexAt(const QPoint& point) const
{
    const std::optional<int> row = geometry_.indexAt(point + QPoint(0, verticalOffset()), model_->rowCount());
    return row ? model_->index(*row) : QModelIndex();
}

QModelIndex GridView::moveCursor(CursorAction, Qt::KeyboardModifiers)
{
    // Keys move the Library's selection (keyPressEvent), never the view's current index.
    return {};
}

int GridView::verticalOffset() const
{
    return verticalScrollBar()->value();
}

void GridView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const int count = model_->rowCount();
    if (count == 0) {
        paintEmptyState(painter);
        return;
    }
    const QRect area = event->rect();
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

void GridView::paintEmptyState(QPainter& painter)
{
    const grid::EmptyState state = grid::emptyState(grid::EmptyStateInputs::of(library_));
    const QRect area = viewport()->rect().adjusted(grid::padding, grid::padding, -grid::padding, -grid::padding);
    QColor secondary = palette().color(QPalette::PlaceholderText);

    QFont title = font();
    title.setPointSizeF(font().pointSizeF() * 1.35);
    title.setBold(true);
    const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    const QRect titleBox = QFontMetrics(title).boundingRect(area, flags, state.title);
    QRect descriptionBox;
    if (state.description)
        descriptionBox = QFontMetrics(font()).boundingRect(area, flags, *state.description);
    const int height = emptySymbolSize + emptySpacing + titleBox.height()
        + (state.description ? emptySpacing + descriptionBox.height() : 0);

    int y = area.top() + (area.height() - height) / 2;
    const QRect symbol(area.center().x() - emptySymbolSize / 2, y, emptySymbolSize, emptySymbolSize);
    painter.drawPixmap(symbol, Icons::pixmap(state.symbol, emptySymbolSize, secondary, devicePixelRatioF()));
    y += emptySymbolSize + emptySpacing;
    painter.setFont(title);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(area.left(), y, area.width(), titleBox.height()), flags, state.title);
    if (state.description) {
        y += titleBox.height() + emptySpacing;
        painter.setFont(font());
        painter.setPen(secondary);
        painter.drawText(QRect(area.left(), y, area.width(), descriptionBox.height()), flags, *state.description);
    }
}

void GridView::resizeEvent(QResizeEvent* event)
{
    QAbstractItemView::resizeEvent(event);
    relayout();
}

void GridView::changeEvent(QEvent* event)
{
    QAbstractItemView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        relayout();
}

void GridView::scrollContentsBy(int dx, int dy)
{
    QAbstractItemView::scrollContentsBy(dx, dy);
    updatePictures();
}

bool GridView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Enter)
        actions_.setPointerInGrid(true);
    else if (event->type() == QEvent::Leave)
        actions_.setPointerInGrid(false);
    return QAbstractItemView::viewportEvent(event);
}

void GridView::clickAt(QMouseEvent* event, int clickCount)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid()) {
        actions_.select(std::nullopt);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() | QGuiApplication::keyboardModifiers();
    const std::optional<double> time = event->timestamp() ? std::optional(event->timestamp() / 1000.0) : std::nullopt;
    actions_.click(items_.at(index.row()), clickCount, time, modifiers.testFlag(Qt::ControlModifier),
                   modifiers.testFlag(Qt::ShiftModifier));
}

void GridView::mousePressEvent(QMouseEvent* event)
{
    clickAt(event, 1);
}

void GridView::mouseDoubleClickEvent(QMouseEvent* event)
{
    clickAt(event, 2);
}

// Tiles are not dragged and the view has no selection of its own to draw a band for.
void GridView::mouseMoveEvent(QMouseEvent* event)
{
    event->ignore();
}

void GridView::mouseReleaseEvent(QMouseEvent* event)
{
    event->ignore();
}

void GridView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid())
        return;
    const Item& item = items_.at(index.row());
    const QSet<QString>& selected = library_.selectedIDs();
    if (selected.size() > 1 && selected.contains(item.id))
        Q_EMIT groupMenuRequested(item.id, event->globalPos());
    else
        Q_EMIT itemMenuRequested(item, item.id, event->globalPos());
}

void GridView::keyPressEvent(QKeyEvent* event)
{
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    switch (event->key()) {
    case Qt::Key_Left:
        return moveBy(-1, shift);
    case Qt::Key_Right:
        return moveBy(1, shift);
    case Qt::Key_Up:
        return moveBy(-columnCount(), shift);
    case Qt::Key_Down:
        return moveBy(columnCount(), shift);
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!openOrQuickLook(event->key() == Qt::Key_Space))
            event->ignore();
        return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (library_.selectedIDs().isEmpty())
            event->ignore();
        else
            actions_.trashSelection();
        return;
    case Qt::Key_PageUp:
        return verticalScrollBar()->triggerAction(QScrollBar::SliderPageStepSub);
    case Qt::Key_PageDown:
        return verticalScrollBar()->triggerAction(QScrollBar::SliderPageStepAdd);
    case Qt::Key_Home:
        return verticalScrollBar()->triggerAction(QScrollBar::SliderToMinimum);
    case Qt::Key_End:
        return verticalScrollBar()->triggerAction(QScrollBar::SliderToMaximum);
    default:
        event->ignore();
    }
}

void GridView::moveBy(int offset, bool extend)
{
    QStringList ids;
    ids.reserve(items_.size());
    for (const Item& item : std::as_const(items_))
        ids.append(item.id);
    const std::optional<Item>& selection = library_.selection();
    const grid::Move move = grid::move(ids, selection ? std::optional(selection->id) : std::nullopt, library_.cursor,
                                       offset, extend);
    switch (move.kind) {
    case grid::Move::Kind::none:
        return;
    case grid::Move::Kind::select:
        actions_.select(items_.at(move.target));
        break;
    case grid::Move::Kind::extend:
        actions_.extendSelection(items_.at(move.target));
        break;
    }
    scrollTo(model_->index(move.target));
}

// Space on a document shows Quick Look (of the whole selection when several are selected); every
// other case opens the item. False when nothing is selected.
bool GridView::openOrQuickLook(bool space)
{
    std::optional<Item> target = library_.selection();
    QList<Item> selected;
    if (!target) {
        selected = actions_.selectedItems();
        if (selected.isEmpty())
            return false;
        target = selected.first();
    }
    if (space && target->kind == MediaKind::document) {
        if (library_.selectedIDs().size() < 2)
            actions_.quickLook({*target});
        else
            actions_.quickLook(selected.isEmpty() ? actions_.selectedItems() : selected);
    } else {
        actions_.open(*target);
    }
    return true;
}
