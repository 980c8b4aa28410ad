#pragma once

// The small pictures that the grid's tiles show in place of a photo preview this program wrote
// itself: made from the preview's own pixels when it is written, so that a tile decodes a few
// hundred pixels instead of the whole preview. Files that the program did not write never get one.

#include <QImage>
#include <QString>

// The shorter side of a tile image, in pixels: it covers a grid tile on a screen of twice the density.
inline constexpr int tileImageSide = 352;

// Where the tile image of the preview at `previewPath` lives: "<name>.tile.jpg" beside "<name>.<ext>".
QString tileImagePath(const QString& previewPath);

// Writes the tile image of `preview` (upright 8-bit sRGB), just written to `previewPath`: the same
// picture scaled to tileImageSide on its shorter side, never enlarged. Throws nothing: when it
// cannot be written no tile image is left (an older one is removed), and the tile decodes the
// preview itself. Blocks on the disk.
void writeTileImage(const QImage& preview, const QString& previewPath);

// Writes the tile image of a preview written before tile images existed, from the preview file;
// false, with no tile image written, when the preview cannot be decoded or the image not written.
// Rewrites nothing else. Blocks for the decode and the write.
bool makeTileImage(const QString& previewPath);
