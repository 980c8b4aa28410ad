#pragma once

// Photos made for the media tests from the libraries (vips, exiv2, libheif), and the paths of the
// committed fixtures (tests/fixtures/media, made by make-fixtures.sh).

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

#include <map>
#include <optional>
#include <string>

// A picture whose four quarters are red (top left), green (top right), blue (bottom left) and
// white (bottom right), so that a turn or a mirror shows in which colour lands where.
QImage quarteredImage(int width, int height);

QByteArray encodedJpeg(const QImage& image);

namespace vips {
class VImage;
}
// The image saved by libvips in the format of `suffix` (".png", ".tif[bigtiff]").
QByteArray savedByVips(const vips::VImage& image, const char* suffix);

// EXIF fields written into a JPEG or a HEIF file.
struct ExifFields {
    std::map<std::string, std::string> texts;   // exiv2 key, e.g. "Exif.Image.Make", to its text
    std::optional<int> orientation;
    std::optional<QByteArray> thumbnailJpeg;
    bool orientationAsSignedLong = false;   // stored as an SLONG, as some software writes it, not a SHORT
};

QByteArray jpegWithExif(const QImage& image, const ExifFields& fields);

// The JPEG with a colour profile segment that holds no valid profile, placed after the frame header
// (where some software writes it): exiv2 stops reading there, and the profile cannot be used.
QByteArray withBrokenProfileAfterFrame(const QByteArray& jpeg);

// A HEIC of `image`, with a thumbnail at `thumbnailSize` on its longer side when given (of
// `thumbnailImage` when given, else of the image) and the EXIF fields when given.
QByteArray heicFile(const QImage& image, std::optional<int> thumbnailSize, const std::optional<ExifFields>& exif = {},
                    const std::optional<QImage>& thumbnailImage = {});

// `heif` with the size that its picture of `actual` size declares changed to `declared`: a file
// that claims a picture larger than it holds, as a hostile one does.
QByteArray withDeclaredSize(QByteArray heif, QSize actual, QSize declared);

// The head of a PNG that declares a `width` x `height` picture: its header and a few bytes of data.
QByteArray pngHead(quint32 width, quint32 height);

// The nearest of the four quarter colours to the pixel, as a name: "red", "green", "blue", "white".
QString quarterColourAt(const QImage& image, int x, int y);

void writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);

QString mediaFixture(const QString& name);
// The Canon CR2 that the package rawtran-doc installs.
QString canonRawFixture();
