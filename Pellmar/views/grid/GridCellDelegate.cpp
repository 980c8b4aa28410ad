#include "Pellmar/views/grid/GridCellDelegate.h"

#include "Pellmar/views/grid/GridLayout.h"
#include "Pellmar/views/grid/ItemGridModel.h"
#include "Pellmar/views/grid/TilePainting.h"
#include "Pellmar/views/grid/TilePictures.h"
#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/TypeIcon.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int badgeMargin = 6;          // around a row of badges
constexpr int badgeHorizontalPadding = 5;
constexpr int badgeVerticalPadding = 2;
constexpr int badgeSpacing = 4;
constexpr int typeIconPadding = 22;
constexpr qreal selectionStroke = 3;
const QColor badgeFill(0, 0, 0, 153);   // black at 0.6

QPainterPath tileShape(const QRectF& tile)
{
    QPainterPath path;
    path.addRoundedRect(tile, grid::tileCornerRadius, grid::tileCornerRadius);
    return path;
}

QFont badgeFont(const QFont& base, bool medium)
{
    QFont font = GridCellDelegate::captionFont(base);
    if (medium)
        font.setWeight(QFont::Medium);
    return font;
}

// A capsule of `size` content drawn with its right or left edge at `x` and its top at `y`.
QRect capsuleRect(QSize content, int x, int y, bool fromRight)
{
    const QSize size(content.width() + 2 * badgeHorizontalPadding, content.height() + 2 * badgeVerticalPadding);
    return fromRight ? QRect(QPoint(x - size.width(), y), size) : QRect(QPoint(x, y), size);
}

// A symbol in the middle of an empty tile, in the quietest text colour.
void paintPlaceholderSymbol(QPainter* painter, const QStyleOptionViewItem& option, const QString& symbol, const QRect& tile)
{
    constexpr int side = 28;
    QColor colour = option.palette.color(QPalette::PlaceholderText);
    colour.setAlphaF(0.6f);
    const QRect area(tile.center().x() - side / 2, tile.center().y() - side / 2, side, side);
    painter->drawPixmap(area, Icons::pixmap(symbol, side, colour, painter->device()->devicePixelRatioF()));
}

void paintCapsule(QPainter* painter, const QRect& rect)
{
    painter->setPen(Qt::NoPen);
    painter->setBrush(badgeFill);
    const qreal radius = rect.height() / 2.0;
    painter->drawRoundedRect(rect, radius, radius);
}

} // namespace

GridCellDelegate::GridCellDelegate(TilePictures& pictures, QObject* parent)
    : QAbstractItemDelegate(parent)
    , pictures_(pictures)
{
}

QFont GridCellDelegate::nameFont(const QFont& base)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * 0.9);
    return font;
}

QFont GridCellDelegate::captionFont(const QFont& base)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * 0.82);
    return font;
}

int GridCellDelegate::textHeight(const QFont& base)
{
    return QFontMetrics(nameFont(base)).height() + grid::cellSpacing + QFontMetrics(captionFont(base)).height();
}

QRect GridCellDelegate::tileRect(const QRect& cell)
{
    return {cell.topLeft(), QSize(cell.width(), int(std::lround(cell.width() * 3.0 / 4.0)))};
}

QSize GridCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {grid::minColumnWidth, grid::minColumnWidth * 3 / 4 + grid::cellSpacing + textHeight(option.font)};
}

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* model = qobject_cast<const ItemGridModel*>(index.model());
    if (!model)
        return;
    const grid::Cell& cell = model->cell(index.row());
    const QRect tile = tileRect(option.rect);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    paintTile(painter, option, cell, tile);
    paintBadges(painter, option, cell, tile);
    if (cell.selected) {
        QPen pen(option.palette.color(QPalette::Active, QPalette::Highlight), selectionStroke);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(tileShape(tile));
    }

    const QFont name = nameFont(option.font);
    const QFont caption = captionFont(option.font);
    const QFontMetrics nameMetrics(name);
    const QFontMetrics captionMetrics(caption);
    QRect line(option.rect.left(), tile.bottom() + 1 + grid::cellSpacing, option.rect.width(), nameMetrics.height());
    painter->setFont(name);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter, nameMetrics.elidedText(cell.name, Qt::ElideRight, line.width()));
    line = QRect(line.left(), line.bottom() + 1 + grid::cellSpacing, line.width(), captionMetrics.height());
    painter->setFont(caption);
    painter->setPen(option.palette.color(QPalette::PlaceholderText));
    painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter, captionMetrics.elidedText(cell.caption, Qt::ElideRight, line.width()));
    painter->restore();
}

void GridCellDelegate::paintTile(QPainter* painter, const QStyleOptionViewItem& option, const grid::Cell& cell,
                                 const QRect& tile) const
{
    painter->save();
    painter->setClipPath(tileShape(tile));
    const QColor placeholder = tiles::placeholderColor(option.palette);
    switch (cell.content) {
    case grid::TileContent::placeholder:
        painter->fillRect(tile, placeholder);
        break;
    case grid::TileContent::typeIcon: {
        painter->setOpacity(0.5);
        painter->fillRect(tile, placeholder);
        painter->setOpacity(1);
        const QRect iconArea = tile.adjusted(typeIconPadding, typeIconPadding, -typeIconPadding, -typeIconPadding);
        typeIcon(cell.mimeType).paint(painter, iconArea, Qt::AlignCenter);
        break;
    }
    case grid::TileContent::picture: {
        const QPixmap picture = cell.picturePath ? pictures_.pixmap(cell.id, *cell.picturePath) : QPixmap();
        if (picture.isNull()) {
            painter->fillRect(tile, placeholder);
            if (cell.placeholderSymbol)
                paintPlaceholderSymbol(painter, option, *cell.placeholderSymbol, tile);
        } else {
            // The pixmap has the tile's device pixels; stretched only while a new size decodes.
            painter->drawPixmap(QRectF(tile), picture, QRectF(picture.rect()));
        }
        break;
    }
    }
    painter->restore();
}

void GridCellDelegate::paintBadges(QPainter* painter, const QStyleOptionViewItem& option, const grid::Cell& cell,
                                   const QRect& tile) const
{
    if (cell.copiesBadge) {
        const QFont font = badgeFont(option.font, true);
        const QFontMetrics metrics(font);
        const QRect capsule = capsuleRect(metrics.size(Qt::TextSingleLine, *cell.copiesBadge),
                                          tile.left() + badgeMargin, tile.top() + badgeMargin, false);
        paintCapsule(painter, capsule);
        painter->setFont(font);
        painter->setPen(Qt::white);
        painter->drawText(capsule, Qt::AlignCenter, *cell.copiesBadge);
    }

    // Bottom right, laid out from the right: the duration, then the cloud symbol before it.
    const QFont durationFont = badgeFont(option.font, false);
    const QFontMetrics durationMetrics(durationFont);
    const int rowHeight = durationMetrics.height() + 2 * badgeVerticalPadding;
    int right = tile.right() + 1 - badgeMargin;
    const int top = tile.bottom() + 1 - badgeMargin - rowHeight;
    if (cell.durationBadge) {
        const QRect capsule = capsuleRect(durationMetrics.size(Qt::TextSingleLine, *cell.durationBadge), right, top, true);
        paintCapsule(painter, capsule);
        painter->setFont(durationFont);
        painter->setPen(Qt::white);
        painter->drawText(capsule, Qt::AlignCenter, *cell.durationBadge);
        right = capsule.left() - badgeSpacing;
    }
    if (cell.cloudBadge) {
        const int side = durationMetrics.height();
        const QRect capsule = capsuleRect(QSize(side, side), right, top, true);
        paintCapsule(painter, capsule);
        QColor symbol(Qt::white);
        symbol.setAlphaF(0.85f);
        const qreal ratio = painter->device()->devicePixelRatioF();
        const QRect symbolRect(capsule.left() + badgeHorizontalPadding, capsule.top() + badgeVerticalPadding, side, side);
        painter->drawPixmap(symbolRect, Icons::pixmap(QStringLiteral("icloud.and.arrow.down"), side, symbol, ratio));
    }
}

const QIcon& GridCellDelegate::typeIcon(const QString& mimeType) const
{
    auto it = typeIcons_.find(mimeType);
    if (it == typeIcons_.end()) {
        const QIcon icon = ::typeIcon(mimeType);
        it = typeIcons_.insert(mimeType, icon);
    }
    return *it;
}
