#include "Pellmar/views/grid/GridView.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/core/ShareAnchor.h"
#include "Pellmar/views/grid/GridActions.h"
#include "Pellmar/views/grid/GridCell.h"
#include "Pellmar/views/grid/GridEmptyState.h"
#include "Pellmar/views/grid/ItemGridModel.h"
#include "Pellmar/views/grid/LibraryGridActions.h"
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
    : TileGrid(pools, parent)
    , library_(library)
    , actions_(actions)
{
    setFocusPolicy(Qt::StrongFocus);

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

// The cells of the new result. A caption is kept from the last rebuild while its item and
// locations are unchanged; the others are written once their tiles come near the screen
// (tilesMoved), so a large result costs the GUI thread only the tiles a person can see.
void GridView::rebuild()
{
    items_ = library_.items();
    const QSet<QString>& selected = library_.selectedIDs();
    const QHash<QString, qint64>& copies = library_.copies();
    const QHash<QString, QList<Location>>& locations = library_.itemLocations();
    static const QList<Location> noLocations;
    QHash<QString, Caption> captions;
    captions.reserve(std::min(captions_.size(), items_.size()));
    QList<grid::Cell> cells;
    cells.reserve(items_.size());
    for (const Item& item : std::as_const(items_)) {
        const auto found = locations.constFind(item.id);
        const QList<Location>& itemLocations = found == locations.cend() ? noLocations : found.value();
        Caption caption = captions_.take(item.id);
        const bool keep = !caption.text.isNull() && caption.item == item && caption.locations == itemLocations;
        cells.append(grid::makeCell(item,
                                    {
                                        .selected = selected.contains(item.id),
                                        .fullscreen = library_.fullscreen(),
                                        .copies = copies.value(item.id),
                                        .locations = found == locations.cend() ? nullptr : &found.value(),
                                        .previewPath = actions_.previewPath(item),
                                        .tileImagePath = actions_.tileImagePath(item),
                                    },
                                    keep ? caption.text : QString()));
        if (keep)
            captions.insert(item.id, std::move(caption));
    }
    captions_.swap(captions);
    model_->apply(cells);
    updateAnchors();
    relayout();
}

void GridView::tilesMoved()
{
    writeCaptions();
    TileGrid::tilesMoved();
}

// The captions of the rows near the screen that have none yet.
void GridView::writeCaptions()
{
    const QHash<QString, QList<Location>>& locations = library_.itemLocations();
    static const QList<Location> noLocations;
    const auto [first, last] = rowsNearScreen();
    for (int row = first; row <= last; ++row) {
        const grid::Cell& cell = model_->cell(row);
        // While a result is being applied the rows do not yet follow items_; its relayout comes next.
        if (!cell.caption.isNull() || row >= items_.size() || items_.at(row).id != cell.id)
            continue;
        const Item& item = items_.at(row);
        const auto found = locations.constFind(item.id);
        const QList<Location>& itemLocations = found == locations.cend() ? noLocations : found.value();
        QString text = grid::cellCaption(item, itemLocations);
        if (text.isNull())
            text = QStringLiteral("");   // written, and empty
        captions_.insert(item.id, {item, itemLocations, text});
        model_->setCaption(row, text);
    }
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

// Pictures for the tiles on screen, then for a screen above and below.
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

std::optional<QRect> GridView::tileOnDisplay(const QString& id) const
{
    if (!isVisible() || !window()->isVisible())
        return std::nullopt;
    const std::optional<QRect> tile = tileOnScreen(id);
    if (!tile)
        return std::nullopt;
    return QRect(viewport()->mapToGlobal(tile->topLeft()), tile->size());
}

QModelIndex GridView::moveCursor(CursorAction, Qt::KeyboardModifiers)
{
    // Keys move the Library's selection (keyPressEvent), never the view's current index.
    return {};
}

void GridView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    if (model_->rowCount() == 0) {
        paintEmptyState(painter);
        return;
    }
    paintTiles(painter, event->rect());
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
