#include "Pellmar/media/ImageDecoding.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/MediaLibraries.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/Thumbnails.h"
#include "Pellmar/media/VipsImages.h"

#include <QByteArrayView>
#include <QColorSpace>
#include <QFile>
#include <QPainter>

#include <libraw/libraw.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

constexpr double previewQuality = 0.8;

// 8-bit sRGB with three bands, evaluated into memory once, so that a decode error shows here.
vips::VImage opaqueSrgb8(const vips::VImage& image)
{
    vips::VImage result = image;
    if (result.interpretation() != VIPS_INTERPRETATION_sRGB)
        result = result.colourspace(VIPS_INTERPRETATION_sRGB);
    if (result.has_alpha())
        result = result.flatten(vips::VImage::option()->set("background", 0.0));
    if (result.format() != VIPS_FORMAT_UCHAR)
        result = result.cast(VIPS_FORMAT_UCHAR);
    if (result.bands() > 3)
        result = result.extract_band(0, vips::VImage::option()->set("n", 3));
    return result.copy_memory();
}

bool reaches(const QImage& image, int maxPixelSize)
{
    return std::max(image.width(), image.height()) >= maxPixelSize;
}

// A RAW file: its embedded preview when that is at least the size asked for, else a develop,
// at half size when that is still large enough.
std::optional<vips::VImage> decodeRaw(LibRaw& processor, const QString& path, int maxPixelSize)
{
    if (const auto preview = rawEmbeddedPreview(path, maxPixelSize); preview && reaches(*preview, maxPixelSize))
        return toVips(*preview);
    if (const auto preview = tiffPreview(path, maxPixelSize); preview && reaches(*preview, maxPixelSize))
        return toVips(*preview);

    libraw_output_params_t& params = processor.imgdata.params;
    params.use_camera_wb = 1;
    params.output_bps = 8;
    params.output_color = 1;   // sRGB
    params.half_size = std::max(processor.imgdata.sizes.width, processor.imgdata.sizes.height) / 2 >= maxPixelSize;
    if (processor.unpack() != LIBRAW_SUCCESS || processor.dcraw_process() != LIBRAW_SUCCESS)
        return std::nullopt;
    int error = 0;
    // The developed image comes turned by the file's orientation.
    const std::unique_ptr<libraw_processed_image_t, decltype(&LibRaw::dcraw_clear_mem)> developed(
        processor.dcraw_make_mem_image(&error), &LibRaw::dcraw_clear_mem);
    if (!developed || developed->type != LIBRAW_IMAGE_BITMAP || developed->colors != 3 || developed->bits != 8)
        return std::nullopt;
    VipsImage* copy = vips_image_new_from_memory_copy(developed->data, developed->data_size, developed->width,
                                                      developed->height, 3, VIPS_FORMAT_UCHAR);
    if (!copy)
        return std::nullopt;
    const vips::VImage full = vips::VImage(copy).copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    return full.thumbnail_image(maxPixelSize, vips::VImage::option()->set("size", VIPS_SIZE_DOWN));
}

vips::VImage decodeRawOrThrow(const QString& path, int maxPixelSize)
{
    const auto processor = std::make_unique<LibRaw>();
    if (processor->open_file(QFile::encodeName(path).constData()) != LIBRAW_SUCCESS)
        throw DatabaseError(QStringLiteral("unreadable image"));
    try {
        if (auto image = decodeRaw(*processor, path, maxPixelSize))
            return opaqueSrgb8(*image);
    } catch (const vips::VError&) {
        vips_error_clear();
    }
    throw DatabaseError(QStringLiteral("no decodable image"));
}

// Any other photo: libvips' shrink-on-load thumbnail, turned upright by its orientation.
vips::VImage decodeImageOrThrow(const QString& path, int maxPixelSize)
{
    const QByteArray file = QFile::encodeName(path);
    const char* loader = vips_foreign_find_load(file.constData());
    if (!loader) {
        vips_error_clear();
        throw DatabaseError(QStringLiteral("unreadable image"));
    }
    // An embedded colour profile is applied on the way to sRGB; strip drops it from the output.
    const auto shrink = [] { return vips::VImage::option()->set("size", VIPS_SIZE_DOWN)->set("export_profile", "srgb"); };
    try {
        // libvips' thumbnail of a HEIF file takes the small picture the file carries whenever that
        // is large enough; the picture must come from the image itself.
        if (QByteArrayView(loader).startsWith("VipsForeignLoadHeif"))
            return opaqueSrgb8(vips::VImage::new_from_file(file.constData(), vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL))
                                   .thumbnail_image(maxPixelSize, shrink()));
        return opaqueSrgb8(vips::VImage::thumbnail(file.constData(), maxPixelSize, shrink()));
    } catch (const vips::VError&) {
        vips_error_clear();
        throw DatabaseError(QStringLiteral("no decodable image"));
    }
}

vips::VImage decodePhotoOrThrow(const QString& path, int maxPixelSize)
{
    initMediaLibraries();
    refuseSpecialFile(path);
    const bool raw = rawExtensions().contains(pathExtension(path).toLower());
    return raw ? decodeRawOrThrow(path, maxPixelSize) : decodeImageOrThrow(path, maxPixelSize);
}

} // namespace

QImage redraw(const QImage& image, int maxPixelSize)
{
    const double scale = std::min(double(maxPixelSize) / std::max(image.width(), image.height()), 1.0);
    const int width = int(scale * image.width());
    const int height = int(scale * image.height());
    if (width < 1 || height < 1)
        return {};
    QImage source = image;
    if (source.colorSpace().isValid() && source.colorSpace() != QColorSpace(QColorSpace::SRgb))
        source.convertToColorSpace(QColorSpace::SRgb);
    QImage result(width, height, QImage::Format_RGB32);
    result.fill(Qt::black);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(0, 0, width, height), source);
    painter.end();
    result.setColorSpace(QColorSpace::SRgb);
    return result;
}

QImage decodePhoto(const QString& path, int maxPixelSize)
{
    const QImage image = toQImage(decodePhotoOrThrow(path, maxPixelSize));
    if (image.isNull())
        throw DatabaseError(QStringLiteral("no decodable image"));
    return image;
}

void makePhotoPreview(const QString& path, const QString& output, int maxPixelSize)
{
    saveImageFile(decodePhotoOrThrow(path, maxPixelSize), output, ImageFileType::heic, previewQuality);
}
