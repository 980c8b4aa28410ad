#include "Pellmar/media/ImageHeader.h"

#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/MediaLibraries.h"

#include <QBuffer>
#include <QByteArrayView>
#include <QFile>
#include <QImageReader>

#include <vips/vips8>

#include <memory>

namespace {

struct ObjectUnref {
    void operator()(VipsImage* image) const { g_object_unref(image); }
};

std::optional<DecoderHeader> vipsHeader(const QString& path, const std::optional<QByteArray>& head)
{
    const QByteArray file = QFile::encodeName(path);
    // ImageMagick, behind libvips' loader of last resort, runs whole decoders (and other programs)
    // just to read a header: the formats it would take are left to Qt's reader.
    const char* loader = head ? vips_foreign_find_load_buffer(head->constData(), size_t(head->size()))
                              : vips_foreign_find_load(file.constData());
    if (!loader || QByteArrayView(loader).contains("Magick")) {
        vips_error_clear();
        return std::nullopt;
    }
    // Opening reads the header only; the pixels would be read on first use.
    VipsImage* opened = head ? vips_image_new_from_buffer(head->constData(), size_t(head->size()), "",
                                                          "access", VIPS_ACCESS_SEQUENTIAL, nullptr)
                             : vips_image_new_from_file(file.constData(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr);
    if (!opened) {
        vips_error_clear();
        return std::nullopt;
    }
    const std::unique_ptr<VipsImage, ObjectUnref> image(opened);
    DecoderHeader header{.width = vips_image_get_width(opened), .height = vips_image_get_height(opened)};
    int orientation = 0;
    if (vips_image_get_typeof(opened, VIPS_META_ORIENTATION) != 0
        && vips_image_get_int(opened, VIPS_META_ORIENTATION, &orientation) == 0 && orientation >= 1 && orientation <= 8)
        header.orientation = orientation;
    const void* exif = nullptr;
    size_t exifSize = 0;
    if (vips_image_get_typeof(opened, VIPS_META_EXIF_NAME) != 0
        && vips_image_get_blob(opened, VIPS_META_EXIF_NAME, &exif, &exifSize) == 0) {
        header.exifTiff = QByteArray(static_cast<const char*>(exif), qsizetype(exifSize));
        if (header.exifTiff.startsWith(QByteArrayLiteral("Exif\0\0")))
            header.exifTiff.remove(0, 6);
    }
    vips_error_clear();
    return header;
}

std::optional<DecoderHeader> qtHeader(const QString& path, const std::optional<QByteArray>& head)
{
    const auto sizeIn = [](QIODevice& device) { return QImageReader(&device).size(); };
    QSize size;
    if (head) {
        QBuffer buffer;
        buffer.setData(*head);
        if (buffer.open(QIODevice::ReadOnly))
            size = sizeIn(buffer);
    } else {
        const RegularFile regular(path);
        QFile file;
        if (regular.isOpen() && file.open(regular.descriptor(), QIODevice::ReadOnly))
            size = sizeIn(file);
    }
    // Qt's BMP reader gives the height of a picture stored top-down as the file has it: negative.
    if (size == QSize() || size.width() == 0 || size.height() == 0)
        return std::nullopt;
    return DecoderHeader{.width = qAbs(size.width()), .height = qAbs(size.height())};
}

} // namespace

std::optional<DecoderHeader> readDecoderHeader(const QString& path, const std::optional<QByteArray>& head)
{
    initMediaLibraries();
    if (!head && isSpecialFile(path))
        return std::nullopt;
    std::optional<DecoderHeader> header = vipsHeader(path, head);
    if (!header || header->width < 1 || header->height < 1)
        header = qtHeader(path, head);
    if (!header || header->width < 1 || header->height < 1)
        return std::nullopt;
    return header;
}
