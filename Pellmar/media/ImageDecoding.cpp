#include "Pellmar/media/ImageDecoding.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/DecodeBudget.h"
#include "Pellmar/media/HeifDecoding.h"
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
#include <cmath>
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
    result = flattenedOnWhite(result);
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

// libvips' thumbnail options that scale to `box`, never enlarging. Only a picture that carries a
// colour profile is converted with it: converting sRGB through the profile of sRGB itself costs
// as much as the decode of a small JPEG.
vips::VOption* toBox(const PictureBox& box, bool hasProfile)
{
    vips::VOption* options = vips::VImage::option()->set("height", box.height)->set("size", VIPS_SIZE_DOWN);
    if (box.cover)
        options->set("crop", VIPS_INTERESTING_CENTRE);
    if (hasProfile)
        options->set("export_profile", "srgb");
    return options;
}

bool hasProfile(const vips::VImage& image)
{
    return image.get_typeof(VIPS_META_ICC_NAME) != 0;
}

vips::VImage scaledToBox(const vips::VImage& image, const PictureBox& box)
{
    return image.thumbnail_image(box.width, toBox(box, hasProfile(image)));
}

// A RAW file: its embedded preview when that is at least the size asked for, else a develop,
// at half size when that is still large enough.
std::optional<vips::VImage> decodeRaw(LibRaw& processor, const QString& path, const PictureBox& box)
{
    // The longer side the picture needs: a box that covers asks for more of a RAW of another shape.
    const libraw_image_sizes_t& sizes = processor.imgdata.sizes;
    const bool turned = sizes.flip & 4;
    const int width = turned ? sizes.height : sizes.width;
    const int height = turned ? sizes.width : sizes.height;
    const int maxPixelSize = box.cover && width > 0 && height > 0
                                 ? int(std::ceil(box.scaleFor(width, height) * std::max(width, height)))
                                 : std::max(box.width, box.height);
    if (const auto preview = rawEmbeddedPreview(path, maxPixelSize); preview && reaches(*preview, maxPixelSize))
        return scaledToBox(toVips(*preview), box);
    if (const auto preview = tiffPreview(path, maxPixelSize); preview && reaches(*preview, maxPixelSize))
        return scaledToBox(toVips(*preview), box);

    libraw_output_params_t& params = processor.imgdata.params;
    params.use_camera_wb = 1;
    params.output_bps = 8;
    params.output_color = 1;   // sRGB
    params.half_size = std::max(sizes.width, sizes.height) / 2 >= maxPixelSize;
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
    return scaledToBox(full, box);
}

vips::VImage decodeRawOrThrow(const QString& path, const PictureBox& box, const IsCancelled& isCancelled)
{
    const auto processor = std::make_unique<LibRaw>();
    if (isCancelled)
        processor->set_progress_handler(stopDevelopWhenCancelled, const_cast<IsCancelled*>(&isCancelled));
    if (processor->open_file(QFile::encodeName(path).constData()) != LIBRAW_SUCCESS)
        throw DatabaseError(QStringLiteral("unreadable image"));
    requirePixelBudget(processor->imgdata.sizes.raw_width, processor->imgdata.sizes.raw_height);
    try {
        if (auto image = decodeRaw(*processor, path, box))
            return opaqueSrgb8(*image, isCancelled);
    } catch (const vips::VError&) {
        vips_error_clear();
    }
    throw DatabaseError(QStringLiteral("no decodable image"));
}

// Any other photo: libvips' shrink-on-load thumbnail, turned upright by its orientation.
vips::VImage decodeImageOrThrow(const QString& path, const PictureBox& box, const IsCancelled& isCancelled)
{
    const QByteArray file = QFile::encodeName(path);
    const char* loader = photoLoader(file);
    if (!loader)
        throw DatabaseError(QStringLiteral("unreadable image"));
    try {
        // libvips' thumbnail of a HEIF file takes the small picture the file carries whenever that
        // is large enough; the picture must come from the image itself.
        if (QByteArrayView(loader).startsWith("VipsForeignLoadHeif")) {
            if (const auto shrunk = decodeHeifShrunk(path, box, isCancelled))
                return opaqueSrgb8(scaledToBox(*shrunk, box), isCancelled);
            const auto whole = vips::VImage::new_from_file(file.constData(), vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
            requirePixelBudget(whole.width(), whole.height());
            return opaqueSrgb8(scaledToBox(whole, box), isCancelled);
        }
        // Opening reads only the header: a picture over the budget is refused before its decode.
        const vips::VImage header = vips::VImage::new_from_file(file.constData());
        requirePixelBudget(header.width(), header.height());
        const bool profiled = hasProfile(header);
        try {
            return opaqueSrgb8(vips::VImage::thumbnail(file.constData(), box.width, toBox(box, profiled)), isCancelled);
        } catch (const vips::VError&) {
            if (!profiled || (isCancelled && isCancelled()))
                throw;
            vips_error_clear();
        }
        // A colour profile that cannot be used is dropped: the picture is taken as sRGB.
        vips::VImage unprofiled = vips::VImage::new_from_file(file.constData()).copy();
        unprofiled.remove(VIPS_META_ICC_NAME);
        return opaqueSrgb8(unprofiled.thumbnail_image(box.width, toBox(box, false)), isCancelled);
    } catch (const vips::VError&) {
        vips_error_clear();
        throw DatabaseError(QStringLiteral("no decodable image"));
    }
}

vips::VImage decodePhotoOrThrow(const QString& path, const PictureBox& box, const IsCancelled& isCancelled = {})
{
    initMediaLibraries();
    refuseSpecialFile(path);
    if (isCancelled && isCancelled())
        throw DatabaseError(QStringLiteral("no decodable image"));
    const bool raw = rawExtensions().contains(pathExtension(path).toLower());
    return raw ? decodeRawOrThrow(path, box, isCancelled) : decodeImageOrThrow(path, box, isCancelled);
}

QImage toDecodedQImage(const vips::VImage& image)
{
    QImage result = toQImage(image);
    if (result.isNull())
        throw DatabaseError(QStringLiteral("no decodable image"));
    return result;
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
    result.fill(Qt::white);   // under transparent parts, as every preview has
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(0, 0, width, height), source);
    painter.end();
    result.setColorSpace(QColorSpace::SRgb);
    return result;
}

QImage decodePhoto(const QString& path, int maxPixelSize)
{
    return toDecodedQImage(decodePhotoOrThrow(path, {maxPixelSize, maxPixelSize, false}));
}

QImage decodePhotoCovering(const QString& path, QSize cover, const std::function<bool()>& isCancelled)
{
    return toDecodedQImage(decodePhotoOrThrow(path, {cover.width(), cover.height(), true}, isCancelled));
}

void makePhotoPreview(const QString& path, const QString& output, int maxPixelSize, const std::function<bool()>& isCancelled)
{
    const vips::VImage preview = decodePhotoOrThrow(path, {maxPixelSize, maxPixelSize, false}, isCancelled);
    saveImageFile(preview, output, ImageFileType::heic, previewQuality);
    saveTileImage(preview, output);
}
