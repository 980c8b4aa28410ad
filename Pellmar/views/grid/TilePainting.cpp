#include "Pellmar/views/grid/TilePainting.h"

#include <algorithm>
#include <cmath>

namespace tiles {

QColor placeholderColor(const QPalette& palette)
{
    QColor colour = palette.color(QPalette::Text);
    colour.setAlphaF(0.08f);
    return colour;
}

QImage coverImage(const QImage& image, QSize size)
{
    if (image.isNull() || size.isEmpty())
        return {};
    const double scale = std::max(double(size.width()) / image.width(), double(size.height()) / image.height());
    // The part of the image that lands inside `size`.
    const double width = size.width() / scale;
    const double height = size.height() / scale;
    const QRect source(int(std::lround((image.width() - width) / 2)), int(std::lround((image.height() - height) / 2)),
                       std::max(1, int(std::lround(width))), std::max(1, int(std::lround(height))));
    return image.copy(source).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace tiles
