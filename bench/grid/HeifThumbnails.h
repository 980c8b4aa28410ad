#pragma once

// The other candidate for a tile's picture, measured beside the tile image the program writes:
// a small picture stored inside the HEIC proxy itself, as a HEIF thumbnail.

#include <QImage>
#include <QSize>
#include <QString>

// Writes `picture` as a HEIC to `output` with a thumbnail of `thumbnailSide` on its longer side,
// both at the proxies' quality. Throws std::runtime_error when libheif fails.
void writeHeicWithThumbnail(const QImage& picture, int thumbnailSide, const QString& output);

// The HEIC's thumbnail decoded by libvips, scaled to cover `tile` and cut to it, in memory.
void decodeThumbnailCovering(const QString& path, QSize tile);
