#include "Pellmar/views/device/CardGrid.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/views/grid/GridCellDelegate.h"
#include "Pellmar/views/grid/ItemGridModel.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"
#include "Pellmar/views/kit/Icons.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

constexpr int overlaySymbolSize = 44;
constexpr int overlaySpacing = 8;

} // namespace

CardGridActions CardGridActions::of(Library& library)
{
    CardGridActions actions;
    actions.visibleFiles = [&library](const QString& device) { return library.visibleCardFiles(device); };
    actions.click = [&library](const CardFile& file, const QList<CardFile>& visible, bool command, bool shift) {
        library.clickCard(file, visible, command, shift);
    };
    actions.clearSelection = [&library] {
        library.setSelectedCardFile(std::nullopt);
        library.setSelectedCards({});
    };
    actions.preview = [&library](CardFile file) { return library.cardPreview(std::move(file)); };
    return actions;
}

CardGrid::CardGrid(Library& library, QWidget* parent)
    : CardGrid(library, CardGridActions::of(library), library.pools(), parent)
{
}

CardGrid::CardGrid(Library& library, CardGridActions actions, TaskPools& pools, QWidget* parent)
    : TileGrid(pools, parent)
    , library_(library)
    , actions_(std::move(actions))
    , previews_(new CardPreviews(actions_.preview, this))
{
    connect(previews_, &CardPreviews::previewReady, this, [this](const QString& url) {
        if (model_->rowOf(url) >= 0)
            applyCells();
    });

    using P = Library::Prop;
    auto* refresh = new CoalescedRefresh(library_, {P::deviceFiles, P::query, P::sort, P::ascending, P::selectedCards},
                                         [this](const QSet<P>&) { rebuild(); }, this);
    refresh->requestAll();
}

CardGrid::~CardGrid() = default;

void CardGrid::setDevice(const std::optional<Device>& device)
{
    if (device_ == device)
        return;
    // Another card, or the same one mounted again, may hold other files under the same names.
    if (!device || !device_ || device->id() != device_->id())
        previews_->clear();
    device_ = device;
    verticalScrollBar()->setValue(0);
    rebuild();
}

void CardGrid::rebuild()
{
    // A new listing reads again the files that gave no preview before.
    previews_->forgetFailures();
    files_ = device_ && actions_.visibleFiles ? actions_.visibleFiles(device_->id()) : std::nullopt;
    overlay_ = device_ ? cards::overlay(files_, library_.query(), device_->name) : cards::Overlay{};
    applyCells();
}

void CardGrid::applyCells()
{
    const QSet<QString>& ticked = library_.selectedCards();
    QList<grid::Cell> cells;
    for (const CardFile& file : files_.value_or(QList<CardFile>()))
        cells.append(cards::cardCell(file, ticked.contains(file.url), previews_->preview(file)));
    const int before = model_->rowCount();
    model_->apply(cells);
    if (model_->rowCount() != before)
        relayout();
    else
        tilesMoved();
    viewport()->update();
}

// Previews are asked for the photos on screen, most urgent first.
void CardGrid::tilesMoved()
{
    if (files_) {
        const auto [first, last] = rowsOnScreen();
        QList<CardFile> wanted;
        for (int row = first; row <= last && row < files_->size(); ++row)
            if ((*files_)[row].kind == MediaKind::photo)
                wanted.append((*files_)[row]);
        previews_->want(wanted);
    }
    TileGrid::tilesMoved();
}

void CardGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        clickAt(event);
}

// The second press of a double click is one more single click.
void CardGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        clickAt(event);
}

void CardGrid::clickAt(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    const bool onTile = index.isValid() && GridCellDelegate::tileRect(visualRect(index)).contains(event->position().toPoint());
    if (!onTile || !files_ || index.row() >= files_->size()) {
        if (actions_.clearSelection)
            actions_.clearSelection();
        return;
    }
    // The event's flags and the keyboard's, so a Command held while the click arrives counts.
    const Qt::KeyboardModifiers modifiers = event->modifiers() | QGuiApplication::queryKeyboardModifiers();
    if (actions_.click)
        actions_.click((*files_)[index.row()], *files_, modifiers & Qt::ControlModifier, modifiers & Qt::ShiftModifier);
}

void CardGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    paintTiles(painter, event->rect());
    paintOverlay(painter);
}

void CardGrid::paintOverlay(QPainter& painter)
{
    if (overlay_.kind == cards::Overlay::Kind::none)
        return;
    const QRect area = viewport()->rect().adjusted(grid::padding, grid::padding, -grid::padding, -grid::padding);
    const QColor secondary = palette().color(QPalette::PlaceholderText);
    const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;

    if (overlay_.kind == cards::Overlay::Kind::looking) {
        // A small busy indicator beside its label.
        const QFontMetrics metrics(font());
        const int side = metrics.height();
        const int width = side + overlaySpacing + metrics.horizontalAdvance(overlay_.title);
        const QPoint origin(area.center().x() - width / 2, area.center().y() - side / 2);
        painter.setPen(QPen(secondary, 2));
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawArc(QRect(origin, QSize(side, side)).adjusted(2, 2, -2, -2), 90 * 16, -270 * 16);
        painter.setPen(secondary);
        painter.drawText(QRect(origin.x() + side + overlaySpacing, origin.y(), width, side), Qt::AlignLeft | Qt::AlignVCenter,
                         overlay_.title);
        return;
    }

    QFont title = font();
    title.setPointSizeF(font().pointSizeF() * 1.35);
    title.setBold(true);
    const QRect titleBox = QFontMetrics(title).boundingRect(area, flags, overlay_.title);
    QRect descriptionBox;
    if (!overlay_.description.isEmpty())
        descriptionBox = QFontMetrics(font()).boundingRect(area, flags, overlay_.description);
    const int height = overlaySymbolSize + overlaySpacing + titleBox.height()
        + (descriptionBox.isNull() ? 0 : overlaySpacing + descriptionBox.height());
    int y = area.top() + (area.height() - height) / 2;
    const QRect symbol(area.center().x() - overlaySymbolSize / 2, y, overlaySymbolSize, overlaySymbolSize);
    painter.drawPixmap(symbol, Icons::pixmap(overlay_.symbol, overlaySymbolSize, secondary, devicePixelRatioF()));
    y += overlaySymbolSize + overlaySpacing;
    painter.setFont(title);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(area.left(), y, area.width(), titleBox.height()), flags, overlay_.title);
    if (!descriptionBox.isNull()) {
        y += titleBox.height() + overlaySpacing;
        painter.setFont(font());
        painter.setPen(secondary);
        painter.drawText(QRect(area.left(), y, area.width(), descriptionBox.height()), flags, overlay_.description);
    }
}

