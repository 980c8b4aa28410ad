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
#include <QScopeGuard>

#include <libraw/libraw.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

namespace {

constexpr double previewQuality = 0.8;

// Asked while libvips computes an image, and by LibRaw between the steps of a develop.
using IsCancelled = std::function<bool()>;

void killWhenCancelled(VipsImage* image, VipsProgress*, void* isCancelled)
{
    if ((*static_cast<const IsCancelled*>(isCancelled))())
        vips_image_set_kill(image, TRUE);
}

int stopDevelopWhenCancelled(void* isCancelled, LibRaw_progress, int, int)
{
    return (*static_cast<const IsCancelled*>(isCancelled))() ? 1 : 0;
}

// Evaluates the image into memory; a cancellation stops the computation, which then throws.
vips::VImage copyToMemory(const vips::VImage& image, const IsCancelled& isCancelled)
{
    if (!isCancelled)
        return image.copy_memory();
    VipsImage* evaluated = image.get_image();
    vips_image_set_progress(evaluated, TRUE);
    const gulong handler = g_signal_connect(evaluated, "eval", G_CALLBACK(killWhenCancelled),
                                            const_cast<IsCancelled*>(&isCancelled));
    const auto disconnect = qScopeGuard([&] { g_signal_handler_disconnect(evaluated, handler); });
    return image.copy_memory();
}

// 8-bit sRGB with three bands, evaluated into memory once, so that a decode error shows here.
vips::VImage opaqueSrgb8(const vips::VImage& image, const IsCancelled& isCancelled)
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
    return copyToMemory(result, isCancelled);
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

vips::VImage decodeRawOrThrow(const QString& path, int maxPixelSize, const IsCancelled& isCancelled)
{
    const auto processor = std::make_unique<LibRaw>();
    if (isCancelled)
        processor->set_progress_handler(stopDevelopWhenCancelled, const_cast<IsCancelled*>(&isCancelled));
    if (processor->open_file(QFile::encodeName(path).constData()) != LIBRAW_SUCCESS)
        throw DatabaseError(QStringLiteral("unreadable image"));
    try {
        if (auto image = decodeRaw(*processor, path, maxPixelSize))
            return opaqueSrgb8(*image, isCancelled);
    } catch (const vips::VError&) {
        vips_error_clear();
    }
    throw DatabaseError(QStringLiteral("no decodable image"));
}

// Any other photo: libvips' shrink-on-load thumbnail, turned upright by its orientation.
vips::VImage decodeImageOrThrow(const QString& path, int maxPixelSize, const IsCancelled& isCancelled)
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
                                   .thumbnail_image(maxPixelSize, shrink()), isCancelled);
        return opaqueSrgb8(vips::VImage::thumbnail(file.constData(), maxPixelSize, shrink()), isCancelled);
    } catch (const vips::VError&) {
        vips_error_clear();
        throw DatabaseError(QStringLiteral("no decodable image"));
    }
}

vips::VImage decodePhotoOrThrow(const QString& path, int maxPixelSize, const IsCancelled& isCancelled = {})
{
    initMediaLibraries();
    refuseSpecialFile(path);
    const bool raw = rawExtensions().contains(pathExtension(path).toLower());
    return raw ? decodeRawOrThrow(path, maxPixelSize, isCancelled) : decodeImageOrThrow(path, maxPixelSize, isCancelled);
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

void makePhotoPreview(const QString& path, const QString& output, int maxPixelSize, const std::function<bool()>& isCancelled)
{
    saveImageFile(decodePhotoOrThrow(path, maxPixelSize, isCancelled), output, ImageFileType::heic, previewQuality);
}
