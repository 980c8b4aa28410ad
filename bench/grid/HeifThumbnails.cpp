#include "bench/grid/HeifThumbnails.h"

#include <QFile>

#include <libheif/heif.h>
#include <vips/vips8>

#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

void check(const heif_error& error)
{
    if (error.code != heif_error_Ok)
        throw std::runtime_error(error.message);
}

using HeifImagePointer = std::unique_ptr<heif_image, decltype(&heif_image_release)>;

HeifImagePointer heifImage(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    heif_image* result = nullptr;
    check(heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &result));
    HeifImagePointer owned(result, &heif_image_release);
    check(heif_image_add_plane(result, heif_channel_interleaved, rgb.width(), rgb.height(), 8));
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(result, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + ptrdiff_t(y) * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    return owned;
}

} // namespace

void writeHeicWithThumbnail(const QImage& picture, int thumbnailSide, const QString& output)
{
    const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(), &heif_context_free);
    heif_encoder* encoderPointer = nullptr;
    check(heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &encoderPointer));
    const std::unique_ptr<heif_encoder, decltype(&heif_encoder_release)> encoder(encoderPointer, &heif_encoder_release);
    check(heif_encoder_set_lossy_quality(encoder.get(), 80));
    const HeifImagePointer image = heifImage(picture);
    heif_image_handle* primary = nullptr;
    check(heif_context_encode_image(context.get(), image.get(), encoder.get(), nullptr, &primary));
    heif_image_handle* thumbnail = nullptr;
    const heif_error thumbnailError =
        heif_context_encode_thumbnail(context.get(), image.get(), primary, encoder.get(), nullptr, thumbnailSide, &thumbnail);
    heif_image_handle_release(thumbnail);
    heif_image_handle_release(primary);
    check(thumbnailError);
    check(heif_context_write_to_file(context.get(), QFile::encodeName(output).constData()));
}

void decodeThumbnailCovering(const QString& path, QSize tile)
{
    const vips::VImage thumbnail = vips::VImage::new_from_file(
        QFile::encodeName(path).constData(), vips::VImage::option()->set("thumbnail", true));
    thumbnail
        .thumbnail_image(tile.width(), vips::VImage::option()
                                           ->set("height", tile.height())
                                           ->set("size", VIPS_SIZE_DOWN)
                                           ->set("crop", VIPS_INTERESTING_CENTRE))
        .copy_memory();
}
