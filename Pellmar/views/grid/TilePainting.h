#pragma once

// Drawing shared by the grid's tiles and the thumbnail view.

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QSize>

namespace tiles {

// The neutral fill shown where there is no picture (yet).
QColor placeholderColor(const QPalette& palette);

// `image` scaled to cover `size` (device pixels) with its aspect ratio kept, centred, the overflow
// cut off. Done where the picture is decoded, off the GUI thread.
QImage coverImage(const QImage& image, QSize size);

} // namespace tiles
