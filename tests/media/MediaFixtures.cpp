#include "tests/media/MediaFixtures.h"

#include "Pellmar/media/MediaLibraries.h"
#include "Pellmar/media/VipsImages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QtEndian>

#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>

#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

Exiv2::ExifData exifData(const ExifFields& fields)
{
    Exiv2::ExifData exif;
    for (const auto& [key, text] : fields.texts)
        exif[key] = text;
    if (fields.orientation && fields.orientationAsSignedLong)
        exif["Exif.Image.Orientation"] = int32_t(*fields.orientation);
    else if (fields.orientation)
        exif["Exif.Image.Orientation"] = uint16_t(*fields.orientation);
    if (fields.thumbnailJpeg) {
        Exiv2::ExifThumb thumb(exif);
        thumb.setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(fields.thumbnailJpeg->constData()),
                               long(fields.thumbnailJpeg->size()));
    }
    return exif;
}

void check(heif_error error)
{
    if (error.code != heif_error_Ok)
        throw std::runtime_error(error.message);
}

heif_image* heifImage(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    heif_image* result = nullptr;
    check(heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &result));
    check(heif_image_add_plane(result, heif_channel_interleaved, rgb.width(), rgb.height(), 8));
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(result, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    return result;
}

} // namespace

QImage quarteredImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, Qt::green);
    painter.fillRect(0, height / 2, width / 2, height - height / 2, Qt::blue);
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, Qt::white);
    return image;
}

QByteArray encodedJpeg(const QImage& image)
{
    initMediaLibraries();
    VipsBlob* blob = toVips(image).jpegsave_buffer(vips::VImage::option()->set("Q", 90)->set("strip", true));
    size_t length = 0;
    const void* data = vips_blob_get(blob, &length);
    QByteArray bytes(static_cast<const char*>(data), qsizetype(length));
    vips_area_unref(VIPS_AREA(blob));
    return bytes;
}

QByteArray savedByVips(const vips::VImage& image, const char* suffix)
{
    void* data = nullptr;
    size_t length = 0;
    image.write_to_buffer(suffix, &data, &length);
    QByteArray bytes(static_cast<const char*>(data), qsizetype(length));
    g_free(data);
    return bytes;
}

QByteArray jpegWithExif(const QImage& image, const ExifFields& fields)
{
    initMediaLibraries();
    const QByteArray jpeg = encodedJpeg(image);
    auto file = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg.constData()), long(jpeg.size()));
    file->setExifData(exifData(fields));
    file->writeMetadata();
    Exiv2::BasicIo& io = file->io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf written = io.read(long(io.size()));
    return QByteArray(reinterpret_cast<const char*>(written.pData_), qsizetype(written.size_));
}

QByteArray withBrokenProfileAfterFrame(const QByteArray& jpeg)
{
    qsizetype p = 2;
    while (p + 4 <= jpeg.size()) {
        const auto marker = quint8(jpeg[p + 1]);
        const qsizetype segmentEnd = p + 2 + ((quint8(jpeg[p + 2]) << 8) | quint8(jpeg[p + 3]));
        if (marker >= 0xc0 && marker <= 0xc2) {
            const QByteArray profile = QByteArrayLiteral("ICC_PROFILE\0\1\1") + QByteArray(20, '\0');
            const qsizetype length = profile.size() + 2;
            const QByteArray segment = QByteArrayLiteral("\xff\xe2") + char(length >> 8) + char(length & 0xff) + profile;
            return jpeg.left(segmentEnd) + segment + jpeg.mid(segmentEnd);
        }
        p = segmentEnd;
    }
    throw std::runtime_error("no frame header");
}

QByteArray heicFile(const QImage& image, std::optional<int> thumbnailSize, const std::optional<ExifFields>& exif,
                    const std::optional<QImage>& thumbnailImage)
{
    initMediaLibraries();
    const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(), &heif_context_free);
    heif_encoder* encoderPointer = nullptr;
    check(heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &encoderPointer));
    const std::unique_ptr<heif_encoder, decltype(&heif_encoder_release)> encoder(encoderPointer, &heif_encoder_release);
    check(heif_encoder_set_lossy_quality(encoder.get(), 80));

    const std::unique_ptr<heif_image, decltype(&heif_image_release)> picture(heifImage(image), &heif_image_release);
    heif_image_handle* handle = nullptr;
    check(heif_context_encode_image(context.get(), picture.get(), encoder.get(), nullptr, &handle));
    const std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> primary(handle, &heif_image_handle_release);
    if (thumbnailSize) {
        const std::unique_ptr<heif_image, decltype(&heif_image_release)> small(
            thumbnailImage ? heifImage(*thumbnailImage) : nullptr, &heif_image_release);
        heif_image_handle* thumbnail = nullptr;
        check(heif_context_encode_thumbnail(context.get(), small ? small.get() : picture.get(), primary.get(),
                                            encoder.get(), nullptr, *thumbnailSize, &thumbnail));
        heif_image_handle_release(thumbnail);
    }
    if (exif) {
        Exiv2::Blob tiff;
        Exiv2::ExifParser::encode(tiff, Exiv2::littleEndian, exifData(*exif));
        check(heif_context_add_exif_metadata(context.get(), primary.get(), tiff.data(), int(tiff.size())));
    }

    QByteArray bytes;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* target) {
                           static_cast<QByteArray*>(target)->append(static_cast<const char*>(data), qsizetype(size));
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    check(heif_context_write(context.get(), &writer, &bytes));
    return bytes;
}

namespace {

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

} // namespace

QByteArray withDeclaredSize(QByteArray heif, QSize actual, QSize declared)
{
    // An "ispe" box: its type, version and flags, then width and height.
    const QByteArray size = bigEndian(quint32(actual.width())) + bigEndian(quint32(actual.height()));
    for (qsizetype at = heif.indexOf("ispe"); at >= 0; at = heif.indexOf("ispe", at + 4)) {
        if (heif.mid(at + 8, 8) == size)
            heif.replace(at + 8, 8, bigEndian(quint32(declared.width())) + bigEndian(quint32(declared.height())));
    }
    return heif;
}

QByteArray pngHead(quint32 width, quint32 height)
{
    const auto crc32 = [](const QByteArray& bytes) {
        quint32 crc = 0xffffffff;
        for (const char byte : bytes) {
            crc ^= quint8(byte);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
        }
        return ~crc;
    };
    const auto chunk = [&](const QByteArray& type, const QByteArray& data) {
        return bigEndian(quint32(data.size())) + type + data + bigEndian(crc32(type + data));
    };
    // 8-bit RGB, then the start of a zlib stream of zeros.
    const QByteArray header = bigEndian(width) + bigEndian(height) + QByteArray("\x08\x02\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header)
        + chunk("IDAT", QByteArray("\x78\x9c\xed\xc1\x01\x0d\x00\x00\x00", 9));
}

QString quarterColourAt(const QImage& image, int x, int y)
{
    const QColor pixel = image.pixelColor(x, y);
    const std::array<std::pair<QString, QColor>, 4> quarters{{
        {QStringLiteral("red"), Qt::red},
        {QStringLiteral("green"), Qt::green},
        {QStringLiteral("blue"), Qt::blue},
        {QStringLiteral("white"), Qt::white},
    }};
    QString nearest;
    int best = INT_MAX;
    for (const auto& [name, colour] : quarters) {
        const int distance = std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green())
            + std::abs(pixel.blue() - colour.blue());
        if (distance < best) {
            best = distance;
            nearest = name;
        }
    }
    return nearest;
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString mediaFixture(const QString& name)
{
    return QStringLiteral(QUORVIN_FIXTURES "/media/") + name;
}

QString canonRawFixture()
{
    return QStringLiteral("/usr/share/doc/rawtran/IMG_5952.CR2");
}
