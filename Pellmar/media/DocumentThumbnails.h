#pragma once

// Thumbnails of documents, in the place of the system's thumbnail service: the first page of a
// PDF. Types that nothing here can render give no image; the grid draws their type icon itself.

#include <QImage>
#include <QString>

// The first page of the PDF at `path`, fitted into `side` by `side` pixels; a null image for a
// file that is not a readable, unlocked PDF. Never throws; blocks for the render.
QImage quickLookThumbnail(const QString& path, double side);
