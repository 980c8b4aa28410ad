#pragma once

// Bridges between QImage, the media layer's image type in memory, and libvips, which decodes,
// scales and encodes. Only the media layer's sources include this header.

#include "Pellmar/media/Thumbnails.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <vips/vips8>

#include <optional>

// An 8-bit sRGB image (3 bands, or 4 with alpha) as a QImage; a null QImage when vips fails.
QImage toQImage(const vips::VImage& image);

// A copy of `image` in vips' memory, RGB or RGBA with 8 bits per band.
vips::VImage toVips(const QImage& image);

// The encoded image `data` (a JPEG, for one) decoded with shrink-on-load to at most `maxPixelSize`
// on its longer side, never enlarged and not turned by any orientation it carries itself;
// nothing when vips cannot decode it.
std::optional<QImage> decodeShrunk(const QByteArray& data, int maxPixelSize);

// writeImageFile for an image in vips.
void saveImageFile(const vips::VImage& image, const QString& output, ImageFileType type, double quality);

// writeTileImage for a preview in vips.
void saveTileImage(const vips::VImage& preview, const QString& previewPath);
