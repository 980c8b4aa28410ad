#pragma once

// What the folder-backed photo library reads from the files it keeps, through the media layer's own
// readers and decoders: the facts an import stores with an asset, and the pictures it renders.

#include "Pellmar/platform/PhotoLibrary.h"

#include <QImage>
#include <QString>

#include <optional>

struct ImportedAssetFacts {
    std::optional<double> created;   // the capture date, else the file's modification date
    qint64 width = 0;                // as displayed, turned by the photo's or track's orientation
    qint64 height = 0;
    double duration = 0;             // seconds, for a video
};

// The facts of a file about to be imported as a resource of this type. Throws PhotoLibraryError
// fileUnreadable when it cannot be imported as that type (an audio file as a photo).
ImportedAssetFacts importedAssetFacts(const QString& path, PhotoResourceType type);

// The file's picture, upright, at most `side` on its longer side and never enlarged: the photo
// decoded, or a video's poster frame; nothing when it cannot be decoded.
std::optional<QImage> renderedAssetFile(const QString& path, PhotoResourceType type, int side);
