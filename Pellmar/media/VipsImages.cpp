#include "Pellmar/media/VipsImages.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/media/DecodeBudget.h"

#include <QSaveFile>

#include <cstring>
#include <memory>

namespace {

vips::VImage inSrgb8(const vips::VImage& image)
{
    vips::VImage result = image;
    if (result.interpretation() != VIPS_INTERPRETATION_sRGB)
        result = result.colourspace(VIPS_INTERPRETATION_sRGB);
    if (result.format() != VIPS_FORMAT_UCHAR)
        result = result.cast(VIPS_FORMAT_UCHAR);
    if (result.bands() > 4)
        result = result.extract_band(0, vips::VImage::option()->set("n", 4));
    return result;
}

} // namespace

QImage toQImage(const vips::VImage& image)
{
    try {
        const vips::VImage rgb = inSrgb8(image);
        const int bands = rgb.bands();
        if (bands != 3 && bands != 4)
            return {};
        size_t size = 0;
        const std::unique_ptr<void, decltype(&g_free)> pixels(rgb.write_to_memory(&size), &g_free);
        QImage result(rgb.width(), rgb.height(), bands == 4 ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
        if (result.isNull())
            return {};
        const size_t rowBytes = size_t(rgb.width()) * size_t(bands);
        const auto* source = static_cast<const uchar*>(pixels.get());
        for (int y = 0; y < rgb.height(); ++y)
            std::memcpy(result.scanLine(y), source + size_t(y) * rowBytes, rowBytes);
        return result;
    } catch (const vips::VError&) {
        vips_error_clear();
        return {};
    }
}

vips::VImage toVips(const QImage& image)
{
    const bool alpha = image.hasAlphaChannel();
    const QImage packed = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    const int bands = alpha ? 4 : 3;
    const size_t rowBytes = size_t(packed.width()) * size_t(bands);
    QByteArray pixels(qsizetype(rowBytes * size_t(packed.height())), Qt::Uninitialized);
    for (int y = 0; y < packed.height(); ++y)
        std::memcpy(pixels.data() + size_t(y) * rowBytes, packed.constScanLine(y), rowBytes);
    VipsImage* copy = vips_image_new_from_memory_copy(pixels.constData(), size_t(pixels.size()), packed.width(),
                                                      packed.height(), bands, VIPS_FORMAT_UCHAR);
    if (!copy)
        throw vips::VError();
    vips::VImage result(copy);
    return result.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

const char* photoLoader(const QByteArray& file)
{
    const char* loader = vips_foreign_find_load(file.constData());
    if (!loader) {
        vips_error_clear();
        return nullptr;
    }
    auto* loaderClass = static_cast<VipsForeignClass*>(g_type_class_ref(g_type_from_name(loader)));
    // libvips finds blocked loaders too; they fail only once they run.
    const VipsOperationFlags flags = VIPS_OPERATION_CLASS(loaderClass)->flags;
    const bool trusted = !(flags & VIPS_OPERATION_UNTRUSTED);
    const bool namedForIt = loaderClass->suffs && vips_filename_suffix_match(file.constData(), loaderClass->suffs);
    g_type_class_unref(loaderClass);
    return !(flags & VIPS_OPERATION_BLOCKED) && (trusted || namedForIt) ? loader : nullptr;
}

std::optional<QImage> decodeShrunk(const QByteArray& data, int maxPixelSize)
{
    const char* loader = vips_foreign_find_load_buffer(data.constData(), size_t(data.size()));
    if (!loader || std::strcmp(loader, "VipsForeignLoadJpegBuffer") != 0) {
        vips_error_clear();
        return std::nullopt;
    }
    // The header is read first, so that a decode over the budget never starts.
    VipsImage* header = nullptr;
    if (vips_jpegload_buffer(const_cast<char*>(data.constData()), size_t(data.size()), &header, nullptr) != 0) {
        vips_error_clear();
        return std::nullopt;
    }
    const bool withinBudget = withinPixelBudget(vips_image_get_width(header), vips_image_get_height(header));
    g_object_unref(header);
    if (!withinBudget)
        return std::nullopt;
    VipsImage* decoded = nullptr;
    // The buffer is read lazily, so the image is made into a QImage while `data` lives.
    if (vips_thumbnail_buffer(const_cast<char*>(data.constData()), size_t(data.size()), &decoded, maxPixelSize,
                              "size", VIPS_SIZE_DOWN, "no_rotate", TRUE, nullptr)
        != 0) {
        vips_error_clear();
        return std::nullopt;
    }
    QImage result = toQImage(vips::VImage(decoded));
    if (result.isNull())
        return std::nullopt;
    return result;
}

vips::VImage flattenedOnWhite(const vips::VImage& image)
{
    if (!image.has_alpha())
        return image;
    const double white = image.format() == VIPS_FORMAT_USHORT ? 65535.0 : 255.0;
    return image.flatten(vips::VImage::option()->set("background", white)->set("max_alpha", white));
}

void saveImageFile(const vips::VImage& image, const QString& output, ImageFileType type, double quality)
{
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly))
        throw DatabaseError(QStringLiteral("cannot create proxy"));
    VipsBlob* blob = nullptr;
    try {
        auto options = vips::VImage::option()->set("Q", int(quality * 100 + 0.5))->set("strip", true);
        const vips::VImage opaque = flattenedOnWhite(image);
        blob = type == ImageFileType::jpeg ? opaque.jpegsave_buffer(options) : opaque.heifsave_buffer(options);
    } catch (const vips::VError&) {
        vips_error_clear();
        throw DatabaseError(QStringLiteral("proxy write failed"));
    }
    size_t length = 0;
    const void* bytes = vips_blob_get(blob, &length);
    const bool written = file.write(static_cast<const char*>(bytes), qint64(length)) == qint64(length);
    vips_area_unref(VIPS_AREA(blob));
    if (!written || !file.commit())
        throw DatabaseError(QStringLiteral("proxy write failed"));
}
