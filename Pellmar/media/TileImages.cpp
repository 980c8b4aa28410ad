#include "Pellmar/media/TileImages.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/media/ImageDecoding.h"
#include "Pellmar/media/MediaLibraries.h"
#include "Pellmar/media/VipsImages.h"

#include <QFile>

#include <algorithm>
#include <cmath>

namespace {

constexpr double tileImageQuality = 0.85;

// The scale that brings the shorter side of a `width` x `height` picture to tileImageSide, at most 1.
double tileScale(int width, int height)
{
    return std::min(1.0, double(tileImageSide) / std::max(1, std::min(width, height)));
}

} // namespace

QString tileImagePath(const QString& previewPath)
{
    const qsizetype dot = previewPath.lastIndexOf(u'.');
    const bool hasExtension = dot > previewPath.lastIndexOf(u'/') + 1;
    return (hasExtension ? previewPath.first(dot) : previewPath) + QStringLiteral(".tile.jpg");
}

void saveTileImage(const vips::VImage& preview, const QString& previewPath)
{
    const QString output = tileImagePath(previewPath);
    try {
        const double scale = tileScale(preview.width(), preview.height());
        saveImageFile(scale < 1 ? preview.resize(scale) : preview, output, ImageFileType::jpeg, tileImageQuality);
    } catch (const vips::VError&) {
        vips_error_clear();
        QFile::remove(output);
    } catch (const DatabaseError&) {
        QFile::remove(output);
    }
}

void writeTileImage(const QImage& preview, const QString& previewPath)
{
    initMediaLibraries();
    try {
        saveTileImage(toVips(preview), previewPath);
    } catch (const vips::VError&) {
        vips_error_clear();
        QFile::remove(tileImagePath(previewPath));
    }
}

bool makeTileImage(const QString& previewPath)
{
    initMediaLibraries();
    try {
        // Opening reads only the header; the preview was written upright.
        const vips::VImage header = vips::VImage::new_from_file(QFile::encodeName(previewPath).constData());
        const int longer = std::max(header.width(), header.height());
        const int size = int(std::ceil(tileScale(header.width(), header.height()) * longer));
        saveTileImage(toVips(decodePhoto(previewPath, size)), previewPath);
    } catch (const vips::VError&) {
        vips_error_clear();
        return false;
    } catch (const DatabaseError&) {
        return false;
    }
    return QFile::exists(tileImagePath(previewPath));
}
