#pragma once

// Thumbnails of documents, in the place of the system's thumbnail service: the first page of a
// PDF. Types that nothing here can render give no image; the grid draws their type icon itself.

#include <QImage>
#include <QString>

#include <chrono>
#include <functional>

// How long a page may take to render: a small crafted PDF can keep a renderer busy for minutes.
inline constexpr std::chrono::milliseconds documentRenderDeadline{5000};

// The first page of the PDF at `path`, fitted into `side` by `side` pixels; a null image for a
// file that is not a readable, unlocked PDF. The render stops once `isCancelled` answers true,
// throwing DatabaseError "no decodable image", and once it has taken `deadline`, throwing
// "document took too long to render". Blocks for the render.
QImage quickLookThumbnail(const QString& path, double side, const std::function<bool()>& isCancelled = {},
                          std::chrono::milliseconds deadline = documentRenderDeadline);
