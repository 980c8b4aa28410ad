#include "Pellmar/views/details/Mosaic.h"

#include "Pellmar/views/grid/Thumbnail.h"

#include <QPainterPath>

namespace {

constexpr int spacing = 2;
constexpr int columns = 3;
constexpr int pictureSize = 300;
constexpr int cornerRadius = 10;

} // namespace

Mosaic::Mosaic(TaskPools& pools, QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    for (int index = 0; index < cells; ++index)
        cells_.append(new Thumbnail(pools, pictureSize, this));
}

void Mosaic::setPaths(const QList<std::optional<QString>>& paths)
{
    for (int index = 0; index < cells; ++index)
        cells_.at(index)->setPath(index < paths.size() ? paths.at(index) : std::nullopt);
}

int Mosaic::heightForWidth(int width) const
{
    const int side = (width - spacing * (columns - 1)) / columns;
    return side * 2 + spacing;
}

QSize Mosaic::sizeHint() const
{
    return {300, heightForWidth(300)};
}

void Mosaic::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    setFixedHeight(heightForWidth(width()));
    const int side = (width() - spacing * (columns - 1)) / columns;
    for (int index = 0; index < cells; ++index) {
        const int row = index / columns;
        const int column = index % columns;
        cells_.at(index)->setGeometry(column * (side + spacing), row * (side + spacing), side, side);
    }
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, side * columns + spacing * (columns - 1), height()), cornerRadius, cornerRadius);
    setMask(QRegion(rounded.toFillPolygon().toPolygon()));
}
