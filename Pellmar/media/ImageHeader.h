#pragma once

// What an image decoder reads of a picture's header, without decoding its pixels: the size that
// the decoder itself will produce, which metadata readers do not always agree with.

#include <QByteArray>
#include <QString>

#include <optional>

struct DecoderHeader {
    qint64 width = 0;   // positive, as stored (no orientation applied)
    qint64 height = 0;
    std::optional<int> orientation;   // 1 to 8, when the decoder found one
    QByteArray exifTiff;              // the EXIF block from its TIFF header on; empty when none was found
};

// The header of the picture in `head` (the first bytes of the file) when given, else of the file:
// libvips' own loaders first (never ImageMagick's), then Qt's image reader for the formats they do
// not take. Nothing when neither reads a positive size.
std::optional<DecoderHeader> readDecoderHeader(const QString& path, const std::optional<QByteArray>& head);
