#pragma once

// Poster frames of videos: one upright frame as a JPEG.

#include <QImage>
#include <QString>

// JPEG quality of poster files.
inline constexpr double posterQuality = 0.85;

// Writes the frame at half the clip's length, but at most 1 s in (the first frame at or after that
// time), upright and at most `maxPixelSize` on its longer side, as a JPEG to `output`. Throws
// DatabaseError with FFmpeg's reason when the file cannot be read or no frame decodes, and the
// image writer's "cannot create proxy" or "proxy write failed". Blocks for the decode.
void makePoster(const QString& path, const QString& output, int maxPixelSize);

// The same frame as makePoster writes, upright (turns and mirroring of the track applied).
QImage posterImage(const QString& path, int maxPixelSize);
