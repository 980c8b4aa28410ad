#pragma once

// Larger previews of photos: HEIC files at the size the caller asks for (the "proxySize" setting),
// decoded with shrink-on-load, upright, in sRGB and without alpha. RAW files are developed with
// LibRaw. Blocks for the whole decode and write, so callers run it off the GUI thread.

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

// The image scaled to at most `maxPixelSize` on its longer side (never enlarged), drawn as 8-bit
// sRGB without alpha (transparent parts over white); null when a side would truncate to 0.
QImage redraw(const QImage& image, int maxPixelSize);

// The photo at `path` decoded upright in 8-bit sRGB without alpha, at most `maxPixelSize` on its
// longer side and never enlarged; from the image itself, never from a smaller picture the file
// carries (a RAW file's embedded preview only when it is large enough). Throws as makePhotoPreview
// does, without the writer's errors.
QImage decodePhoto(const QString& path, int maxPixelSize);

// The photo at `path` decoded as decodePhoto does, scaled down until it just covers `cover` and
// cut to it, centred: the picture of a tile that `cover` fills. A photo too small to cover it
// keeps its own scale and is cut to no more than `cover`. Once `isCancelled` answers true the
// decode stops early and throws "no decodable image".
QImage decodePhotoCovering(const QString& path, QSize cover, const std::function<bool()>& isCancelled = {});

// Writes the photo at `path` as a HEIC of at most `maxPixelSize` on its longer side to `output`,
// and its tile image beside it (writeTileImage).
// Throws DatabaseError "unreadable image" when the file opens as no image (or only through a
// loader that is not its type's), "no decodable image" when it cannot be decoded,
// tooLargeImageText (DecodeBudget.h) when it declares more pixels than a decode may take, and the
// writer's "cannot create proxy" or "proxy write failed". Once `isCancelled` answers true the
// decode stops early and throws "no decodable image", writing nothing.
void makePhotoPreview(const QString& path, const QString& output, int maxPixelSize,
                      const std::function<bool()>& isCancelled = {});
