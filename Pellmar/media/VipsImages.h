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

// The libvips loader that decodes the file named `file` (its encoded path) as the photo its name
// says it is. libvips tells a format by content; a loader outside its trusted set is taken only
// for a file named for that loader's format. Nothing when no loader fits.
const char* photoLoader(const QByteArray& file);

// The JPEG `data` decoded with shrink-on-load to at most `maxPixelSize` on its longer side, never
// enlarged and not turned by any orientation it carries itself; nothing when it is no JPEG, vips
// cannot decode it or it declares more pixels than a decode may take.
std::optional<QImage> decodeShrunk(const QByteArray& data, int maxPixelSize);

// The image without its alpha, laid on white: dark artwork on transparency (icons, logos, scans)
// stays visible in every preview. An image without alpha is returned as it is.
vips::VImage flattenedOnWhite(const vips::VImage& image);

// writeImageFile for an image in vips; an image with alpha is flattened onto white first.
void saveImageFile(const vips::VImage& image, const QString& output, ImageFileType type, double quality);

// writeTileImage for a preview in vips.
void saveTileImage(const vips::VImage& preview, const QString& previewPath);
