#include "Pellmar/media/Thumbnails.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/HeifFiles.h"
#include "Pellmar/media/MediaInfo.h"
#include "Pellmar/media/MediaLibraries.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/VipsImages.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QTransform>

#include <libraw/libraw.h>

#include <algorithm>
#include <memory>

namespace {

// Embedded thumbnails of files other than RAW files are used up to this size; a larger one
// is a full-size image that the larger-preview worker renders instead.
constexpr int largestEmbeddedThumbnail = 640;

constexpr quint16 tagNewSubfileType = 254;
constexpr quint16 tagCompression = 259;
constexpr quint16 tagStripOffsets = 273;
constexpr quint16 tagOrientation = 274;
constexpr quint16 tagStripByteCounts = 279;
constexpr quint16 tagJpegOffset = 513;
constexpr quint16 tagJpegLength = 514;

constexpr qint64 largestTiffPreview = 24 * 1024 * 1024;

const QByteArray jpegStart("\xff\xd8", 2);

// The TIFF block inside the APP1 "Exif" segment of a JPEG head: where its header begins, where
// the segment (or the head) ends, and its byte order.
struct ExifBlock {
    qint64 tiff = 0;
    qint64 end = 0;
    bool littleEndian = false;
};

std::optional<ExifBlock> findExifBlock(const QByteArray& b)
{
    const qint64 n = b.size();
    if (n < 5 || quint8(b[0]) != 0xff || quint8(b[1]) != 0xd8)
        return std::nullopt;
    qint64 p = 2;
    for (;;) {
        if (p + 4 > n || quint8(b[p]) != 0xff)
            return std::nullopt;
        const quint8 marker = quint8(b[p + 1]);
        if (marker == 0xd9 || marker == 0xda)
            return std::nullopt;
        const qint64 length = qint64(readUnsigned(b, p + 2, 2, false));
        if (marker == 0xe1 && p + 10 <= n && b.mid(p + 4, 4) == "Exif")
            break;
        p += 2 + length;
    }
    const qint64 length = qint64(readUnsigned(b, p + 2, 2, false));
    const qint64 tiff = p + 10;
    const qint64 end = std::min(p + 2 + length, n);
    // The byte order is read only once the TIFF header is known to lie inside the bytes.
    if (end < tiff + 8)
        return std::nullopt;
    return ExifBlock{tiff, end, b[tiff] == 'I'};
}

std::optional<qint64> firstDirectory(const ExifBlock& block, const QByteArray& b)
{
    const auto offset = readUInt32(block.tiff + 4, block.end, block.littleEndian, b);
    if (!offset)
        return std::nullopt;
    return block.tiff + qint64(*offset);
}

QImage scaledDown(const QImage& image, int maxPixelSize)
{
    if (std::max(image.width(), image.height()) <= maxPixelSize)
        return image;
    return image.scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// The first thumbnail of a HEIF file's primary image, decoded upright.
std::optional<QImage> heifThumbnail(const QString& path, const QByteArray& head, int maxPixelSize)
{
    const HeifContext context = openHeif(path, head);
    const HeifHandle primary = context ? primaryHeifImage(context.get()) : nullptr;
    heif_item_id thumbnailID = 0;
    if (!primary || heif_image_handle_get_list_of_thumbnail_IDs(primary.get(), &thumbnailID, 1) != 1)
        return std::nullopt;
    heif_image_handle* thumbnailHandle = nullptr;
    if (heif_image_handle_get_thumbnail(primary.get(), thumbnailID, &thumbnailHandle).code != heif_error_Ok)
        return std::nullopt;
    const HeifHandle thumbnail(thumbnailHandle);
    // A thumbnail larger than a thumbnail can be is refused by the size it declares, before the
    // decoder allocates it.
    if (std::max(heif_image_handle_get_width(thumbnailHandle), heif_image_handle_get_height(thumbnailHandle))
        > largestEmbeddedThumbnail)
        return std::nullopt;
    heif_image* decodedImage = nullptr;
    if (heif_decode_image(thumbnail.get(), &decodedImage, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code
        != heif_error_Ok)
        return std::nullopt;
    const HeifImage decoded(decodedImage);
    const int width = heif_image_get_width(decodedImage, heif_channel_interleaved);
    const int height = heif_image_get_height(decodedImage, heif_channel_interleaved);
    int stride = 0;
    const uint8_t* pixels = heif_image_get_plane_readonly(decodedImage, heif_channel_interleaved, &stride);
    if (!pixels || width < 1 || height < 1)
        return std::nullopt;
    const QImage view(pixels, width, height, stride, QImage::Format_RGB888);
    return scaledDown(view.copy(), maxPixelSize);
}

// What the first frame header of a JPEG declares.
struct JpegFrame {
    int width = 0;
    int height = 0;
    int components = 0;
};

std::optional<JpegFrame> jpegFrame(const QByteArray& b)
{
    qint64 p = 2;
    while (p + 4 <= b.size() && quint8(b[p]) == 0xff) {
        const quint8 marker = quint8(b[p + 1]);
        const bool frame = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (frame) {
            if (p + 9 >= b.size())
                return std::nullopt;
            return JpegFrame{.width = int(readUnsigned(b, p + 7, 2, false)),
                             .height = int(readUnsigned(b, p + 5, 2, false)),
                             .components = quint8(b[p + 9])};
        }
        if (marker == 0xd9 || marker == 0xda)
            return std::nullopt;
        p += 2 + qint64(readUnsigned(b, p + 2, 2, false));
    }
    return std::nullopt;
}

// The integer value of a directory entry whose value lies in the entry itself, by its TIFF type
// (BYTE, SHORT, LONG, SBYTE, SSHORT, SLONG); nothing for other types.
std::optional<qint64> tiffInteger(quint16 type, qint64 offset, qint64 limit, bool littleEndian, const QByteArray& b)
{
    const int width = type == 1 || type == 6 ? 1 : type == 3 || type == 8 ? 2 : type == 4 || type == 9 ? 4 : 0;
    if (width == 0 || offset + width > limit)
        return std::nullopt;
    const quint64 value = readUnsigned(b, offset, width, littleEndian);
    if (type < 6)
        return qint64(value);
    const quint64 sign = quint64(1) << (8 * width - 1);
    return qint64(value ^ sign) - qint64(sign);   // two's complement of that width
}

// Writes `bytes` to `output` complete or not at all.
void writeFileBytes(const QByteArray& bytes, const QString& output)
{
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly))
        throw DatabaseError(QStringLiteral("cannot create proxy"));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw DatabaseError(QStringLiteral("proxy write failed"));
}

int orientationOfRawFlip(int flip)
{
    switch (flip) {
    case 3: return 3;
    case 5: return 8;
    case 6: return 6;
    default: return 1;
    }
}

} // namespace

std::optional<QByteArray> exifThumbnail(const QByteArray& head)
{
    const auto block = findExifBlock(head);
    if (!block)
        return std::nullopt;
    const qint64 e = block->end;
    const bool little = block->littleEndian;
    const auto d0 = firstDirectory(*block, head);
    const auto count0 = d0 ? readUInt16(*d0, e, little, head) : std::nullopt;
    const auto next = count0 ? readUInt32(*d0 + 2 + 12 * qint64(*count0), e, little, head) : std::nullopt;
    if (!next || *next < 1)
        return std::nullopt;
    const qint64 d1 = block->tiff + qint64(*next);
    const auto count1 = readUInt16(d1, e, little, head);
    if (!count1 || *count1 < 1)
        return std::nullopt;

    std::optional<quint32> offset;
    std::optional<quint32> length;
    for (qint64 i = 0; i < *count1; ++i) {
        const qint64 q = d1 + 2 + 12 * i;
        const auto tag = readUInt16(q, e, little, head);
        const auto value = readUInt32(q + 8, e, little, head);
        if (!tag || !value)
            return std::nullopt;
        if (*tag == tagJpegOffset)
            offset = value;
        else if (*tag == tagJpegLength)
            length = value;
    }
    if (!offset || !length || *length < 1)
        return std::nullopt;
    const qint64 start = block->tiff + qint64(*offset);
    if (start + qint64(*length) > e)
        return std::nullopt;
    return head.mid(start, qint64(*length));
}

std::optional<int> exifOrientation(const QByteArray& head)
{
    const auto block = findExifBlock(head);
    const auto d0 = block ? firstDirectory(*block, head) : std::nullopt;
    const auto count = d0 ? readUInt16(*d0, block->end, block->littleEndian, head) : std::nullopt;
    if (!count)
        return std::nullopt;
    for (qint64 i = 0; i < *count; ++i) {
        const qint64 q = *d0 + 2 + 12 * i;
        const auto tag = readUInt16(q, block->end, block->littleEndian, head);
        const auto type = readUInt16(q + 2, block->end, block->littleEndian, head);
        if (!tag || !type)
            return std::nullopt;
        if (*tag != tagOrientation)
            continue;
        // Cameras write it as a SHORT, some software as a LONG or SLONG, a few as a BYTE.
        const auto value = tiffInteger(*type, q + 8, block->end, block->littleEndian, head);
        return value && *value >= 1 && *value <= 8 ? std::optional<int>(int(*value)) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<QImage> tiffPreview(const QString& path, int maxPixelSize)
{
    initMediaLibraries();
    const RegularFile regular(path);
    QFile file;
    if (!regular.isOpen() || !file.open(regular.descriptor(), QIODevice::ReadOnly))
        return std::nullopt;
    const auto header = readFileBytes(0, 8, file);
    if (!header || (*header)[0] != (*header)[1] || ((*header)[0] != 'I' && (*header)[0] != 'M'))
        return std::nullopt;
    const bool little = (*header)[0] == 'I';
    const qint64 directory = qint64(readUnsigned(*header, 4, 4, little));
    const auto countBytes = readFileBytes(directory, 2, file);
    const qint64 count = countBytes ? qint64(readUnsigned(*countBytes, 0, 2, little)) : 0;
    if (count < 1 || count > 511)
        return std::nullopt;
    const auto entries = readFileBytes(directory + 2, 12 * count, file);
    if (!entries)
        return std::nullopt;

    QHash<quint16, quint32> values;
    for (qint64 i = 0; i < count; ++i) {
        const qint64 q = 12 * i;
        if (readUnsigned(*entries, q + 4, 4, little) != 1)
            continue;
        const auto tag = quint16(readUnsigned(*entries, q, 2, little));
        const auto type = readUnsigned(*entries, q + 2, 2, little);
        values[tag] = quint32(type == 3 ? readUnsigned(*entries, q + 8, 2, little) : readUnsigned(*entries, q + 8, 4, little));
    }
    if (values.value(tagNewSubfileType) != 1)
        return std::nullopt;
    const quint32 compression = values.value(tagCompression);
    if (compression != 7 && compression != 6)
        return std::nullopt;
    const auto valueOf = [&](quint16 tag, quint16 fallbackTag) -> std::optional<quint32> {
        if (values.contains(tag))
            return values.value(tag);
        if (values.contains(fallbackTag))
            return values.value(fallbackTag);
        return std::nullopt;
    };
    const auto offset = valueOf(tagJpegOffset, tagStripOffsets);
    const auto length = valueOf(tagJpegLength, tagStripByteCounts);
    if (!offset || !length || *length < 1 || *length > largestTiffPreview)
        return std::nullopt;
    const auto jpeg = readFileBytes(*offset, *length, file);
    if (!jpeg || !hasBytePrefix(jpegStart, *jpeg))
        return std::nullopt;
    const auto image = decodeShrunk(*jpeg, maxPixelSize);
    if (!image)
        return std::nullopt;
    const quint32 orientation = values.value(tagOrientation, 1);
    return applyOrientation(*image, orientation >= 1 && orientation <= 8 ? int(orientation) : 1);
}

QImage applyOrientation(const QImage& image, int orientation)
{
    const QTransform quarterTurn = QTransform().rotate(90);
    switch (orientation) {
    case 2: return image.mirrored(true, false);
    case 3: return image.transformed(QTransform().rotate(180));
    case 4: return image.mirrored(false, true);
    case 5: return image.transformed(quarterTurn).mirrored(true, false);
    case 6: return image.transformed(quarterTurn);
    case 7: return image.transformed(quarterTurn).mirrored(false, true);
    case 8: return image.transformed(QTransform().rotate(270));
    default: return image;
    }
}

std::optional<QImage> rawEmbeddedPreview(const QString& path, int maxPixelSize)
{
    const auto processor = std::make_unique<LibRaw>();
    if (isSpecialFile(path) || processor->open_file(QFile::encodeName(path).constData()) != LIBRAW_SUCCESS
        || processor->unpack_thumb() != LIBRAW_SUCCESS)
        return std::nullopt;
    int error = 0;
    const std::unique_ptr<libraw_processed_image_t, decltype(&LibRaw::dcraw_clear_mem)> thumbnail(
        processor->dcraw_make_mem_thumb(&error), &LibRaw::dcraw_clear_mem);
    if (!thumbnail)
        return std::nullopt;
    std::optional<QImage> image;
    if (thumbnail->type == LIBRAW_IMAGE_JPEG) {
        image = decodeShrunk(QByteArray::fromRawData(reinterpret_cast<const char*>(thumbnail->data),
                                                     qsizetype(thumbnail->data_size)),
                             maxPixelSize);
    } else if (thumbnail->type == LIBRAW_IMAGE_BITMAP && thumbnail->colors == 3 && thumbnail->bits == 8
               && qint64(thumbnail->width) * thumbnail->height * 3 <= qint64(thumbnail->data_size)) {
        const QImage view(thumbnail->data, thumbnail->width, thumbnail->height, thumbnail->width * 3,
                          QImage::Format_RGB888);
        image = scaledDown(view.copy(), maxPixelSize);
    }
    if (!image || image->isNull())
        return std::nullopt;
    return applyOrientation(*image, orientationOfRawFlip(processor->imgdata.sizes.flip));
}

void writeImageFile(const QImage& image, const QString& output, ImageFileType type, double quality)
{
    initMediaLibraries();
    saveImageFile(toVips(image), output, type, quality);
}

bool makeThumbnail(const QString& path, const QByteArray& head, const QString& output)
{
    initMediaLibraries();
    const QString extension = pathExtension(path).toLower();
    if (flatImageExtensions().contains(extension))
        return false;
    // JPEG and HEIF are told by their content, whatever the file is named (.jpe, .jfif, a HEIC named .jpg).
    const bool heif = isHeif(head.left(64));
    const bool jpeg = !heif && hasBytePrefix(jpegStart, head);

    std::optional<QImage> thumbnail;
    if (jpeg) {
        const auto bytes = exifThumbnail(head);
        const auto frame = bytes ? jpegFrame(*bytes) : std::nullopt;
        // A thumbnail that declares more than a small preview's pixels is no thumbnail: it is
        // refused before its decode.
        if (!frame || qint64(frame->width) * frame->height > qint64(smallPreviewSize) * smallPreviewSize)
            return false;
        // Decoded whatever happens, so that a thumbnail that cannot be decoded gives no preview.
        QImage decoded = QImage::fromData(*bytes, "JPEG");
        if (decoded.isNull())
            return false;
        const int orientation = exifOrientation(head).value_or(1);
        // An upright colour or grey thumbnail of the preview's size or less is the preview as it
        // stands: written unchanged, as a camera stored it, with no decoding and encoding again.
        if (orientation == 1 && std::max(decoded.width(), decoded.height()) <= smallPreviewSize
            && frame->components != 4) {
            writeFileBytes(*bytes, output);
            return true;
        }
        // The thumbnail is stored as the sensor saw it, like the photo: turn it by the photo's orientation.
        thumbnail = applyOrientation(scaledDown(decoded, smallPreviewSize), orientation);
    } else {
        const bool raw = rawExtensions().contains(extension);
        if (heif)
            thumbnail = heifThumbnail(path, head, smallPreviewSize);
        else if (raw)
            thumbnail = rawEmbeddedPreview(path, smallPreviewSize);
        if (!thumbnail && raw)
            thumbnail = tiffPreview(path, smallPreviewSize);
        if (!thumbnail)
            return false;
        if (!raw && std::max(thumbnail->width(), thumbnail->height()) > largestEmbeddedThumbnail)
            return false;
    }
    writeImageFile(*thumbnail, output, ImageFileType::jpeg, 0.8);
    return true;
}
