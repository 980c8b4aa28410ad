#include "Pellmar/media/MediaInfo.h"

#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/FfmpegFiles.h"
#include "Pellmar/media/HeifFiles.h"
#include "Pellmar/media/MediaLibraries.h"
#include "Pellmar/media/ScanningRules.h"

#include <QDateTime>
#include <QFile>

#include <exiv2/exiv2.hpp>

#include <cmath>
#include <memory>

namespace {

// Spaces and tabs only: a line break inside a camera name is kept.
QString trimSpacesAndTabs(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QString exifText(const Exiv2::ExifData& exif, const char* key)
{
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    if (found == exif.end())
        return {};
    return QString::fromStdString(found->toString());
}

std::optional<qint64> orientationOf(const Exiv2::ExifData& exif)
{
    const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (found == exif.end() || found->count() < 1 || found->typeId() != Exiv2::unsignedShort)
        return std::nullopt;
    return found->toLong();
}

// The displayed size and the Exif block of a HEIF primary image. libheif reports the size with the
// container's rotation applied, so no orientation swap follows.
struct HeifFacts {
    qint64 width = 0;
    qint64 height = 0;
    QByteArray exifTiff;   // from the TIFF header on; empty when the file has none
};

std::optional<HeifFacts> readHeifFacts(const QString& path, const std::optional<QByteArray>& head)
{
    const HeifContext context = openHeif(path, head);
    const HeifHandle handle = context ? primaryHeifImage(context.get()) : nullptr;
    if (!handle)
        return std::nullopt;
    heif_image_handle* primary = handle.get();
    HeifFacts facts{heif_image_handle_get_width(primary), heif_image_handle_get_height(primary), {}};

    heif_item_id exifID = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(primary, "Exif", &exifID, 1) == 1) {
        const size_t size = heif_image_handle_get_metadata_size(primary, exifID);
        QByteArray block(qsizetype(size), Qt::Uninitialized);
        // The block begins with a 4-byte big-endian offset from its end to the TIFF header.
        if (size >= 4 && heif_image_handle_get_metadata(primary, exifID, block.data()).code == heif_error_Ok) {
            const quint64 skip = 4 + readUnsigned(block, 0, 4, false);
            if (skip < size)
                facts.exifTiff = block.mid(qsizetype(skip));
        }
    }
    return facts;
}

QByteArray fileStart(const QString& path, qint64 count)
{
    const RegularFile file(path);
    return file.isOpen() ? file.readHead(count) : QByteArray();
}

void fillFromExif(const Exiv2::ExifData& exif, MediaInfo& info)
{
    for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Image.DateTime"}) {
        if (const auto date = parseExifDate(exifText(exif, key))) {
            info.capturedAt = date;
            break;
        }
    }
    const QString make = trimSpacesAndTabs(exifText(exif, "Exif.Image.Make"));
    const QString model = trimSpacesAndTabs(exifText(exif, "Exif.Image.Model"));
    if (make.isEmpty() || model.toLower().startsWith(make.toLower()))
        info.camera = model;
    else
        info.camera = make + QLatin1Char(' ') + model;
    info.lens = trimSpacesAndTabs(exifText(exif, "Exif.Photo.LensModel"));
}

// The file's metadata as exiv2 reads it; throws what exiv2 throws for unreadable data.
std::unique_ptr<Exiv2::Image> openExiv2(const QString& path, const std::optional<QByteArray>& head)
{
    std::unique_ptr<Exiv2::Image> image(
        head ? Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(head->constData()), long(head->size()))
                   .release()
             : (refuseSpecialFile(path), Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString(), false).release()));
    image->readMetadata();
    return image;
}

MediaInfo readHeifMetadata(const QString& path, const std::optional<QByteArray>& head)
{
    MediaInfo info;
    const auto facts = readHeifFacts(path, head);
    if (!facts)
        return info;
    info.width = facts->width;
    info.height = facts->height;
    Exiv2::ExifData exif;
    try {
        exif = openExiv2(path, head)->exifData();
    } catch (const std::exception&) {
        // libheif's copy of the Exif block below serves instead.
    }
    if (exif.empty() && !facts->exifTiff.isEmpty())
        Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(facts->exifTiff.constData()),
                                  uint32_t(facts->exifTiff.size()));
    fillFromExif(exif, info);
    return info;
}

MediaInfo readImageMetadataOrThrow(const QString& path, const std::optional<QByteArray>& head)
{
    if (head && head->isEmpty())
        return {};
    if (isHeif(head ? head->left(64) : fileStart(path, 64)))
        return readHeifMetadata(path, head);

    const auto image = openExiv2(path, head);
    MediaInfo info;
    info.width = image->pixelWidth();
    info.height = image->pixelHeight();
    if (const auto orientation = orientationOf(image->exifData()); orientation && *orientation >= 5)
        std::swap(info.width, info.height);
    fillFromExif(image->exifData(), info);
    return info;
}

// The bounding box of the natural-size rectangle after the stream's display matrix, so a track
// recorded with a quarter turn reports its upright size.
void setDisplayedSize(const AVStream* stream, MediaInfo& info)
{
    double width = stream->codecpar->width;
    double height = stream->codecpar->height;
    if (const int32_t* matrix = displayMatrixOf(stream)) {
        // Row vectors: x' = a·x + c·y, y' = b·x + d·y, in 16.16 fixed point.
        const double a = matrix[0] / 65536.0, b = matrix[1] / 65536.0;
        const double c = matrix[3] / 65536.0, d = matrix[4] / 65536.0;
        const double turnedWidth = std::abs(a * width) + std::abs(c * height);
        const double turnedHeight = std::abs(b * width) + std::abs(d * height);
        width = turnedWidth;
        height = turnedHeight;
    }
    const auto pixels = [](double value) {
        return std::isfinite(value) && std::abs(value) < 9.0e18 ? qint64(std::llround(value)) : qint64(0);
    };
    info.width = pixels(width);
    info.height = pixels(height);
}

std::optional<double> parseContainerDate(const char* text)
{
    const QDateTime date = QDateTime::fromString(QString::fromUtf8(text).trimmed(), Qt::ISODateWithMs);
    if (!date.isValid())
        return std::nullopt;
    return double(date.toMSecsSinceEpoch()) / 1000.0;
}

} // namespace

MediaInfo readImageMetadata(const QString& path, const std::optional<QByteArray>& head)
{
    initMediaLibraries();
    try {
        return readImageMetadataOrThrow(path, head);
    } catch (const std::exception&) {
        return {};
    }
}

MediaInfo readVideoMetadata(const QString& path)
{
    initMediaLibraries();
    MediaInfo info;
    const FormatContext format = openMediaFile(path);
    if (!format)
        return info;

    // MPEG-4 and Matroska headers carry everything; other containers need a short look at packets,
    // bounded so that a long file is not read through.
    const AVStream* video = firstVideoTrack(format.get());
    if (format->duration == AV_NOPTS_VALUE || (video && video->codecpar->width == 0)) {
        format->probesize = 1 << 20;
        format->max_analyze_duration = AV_TIME_BASE;
        avformat_find_stream_info(format.get(), nullptr);
        video = firstVideoTrack(format.get());
    }

    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        info.duration = double(format->duration) / AV_TIME_BASE;
    if (video)
        setDisplayedSize(video, info);

    // The camera's own creation date (with its zone) wins over the container's creation time.
    for (const char* key : {"com.apple.quicktime.creationdate", "creation_time"}) {
        if (const AVDictionaryEntry* entry = av_dict_get(format->metadata, key, nullptr, 0)) {
            if (const auto date = parseContainerDate(entry->value)) {
                info.capturedAt = date;
                break;
            }
        }
    }

    // Make and model in the order the file lists them. A file may carry each under both the QuickTime
    // and the user-data key: one of each is taken, so equal texts of make and model both stay.
    QStringList cameraParts;
    bool haveMake = false;
    bool haveModel = false;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(format->metadata, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        const QByteArray key(entry->key);
        const bool make = key == "make" || key == "com.apple.quicktime.make";
        const bool model = key == "model" || key == "com.apple.quicktime.model";
        bool& taken = make ? haveMake : haveModel;
        const QString text = QString::fromUtf8(entry->value);
        if ((!make && !model) || taken || text.isEmpty())
            continue;
        taken = true;
        cameraParts.append(text);
    }
    info.camera = cameraParts.join(QLatin1Char(' '));
    return info;
}

qint64 headByteBudget(const QString& path)
{
    static const QSet<QString> halfMebibyte{
        QStringLiteral("cr2"), QStringLiteral("cr3"), QStringLiteral("nef"), QStringLiteral("arw"),
        QStringLiteral("orf"), QStringLiteral("rw2"), QStringLiteral("pef"), QStringLiteral("dng")};
    const QString extension = pathExtension(path).toLower();
    if (extension == QLatin1String("raf"))
        return 1048576;
    if (halfMebibyte.contains(extension))
        return 524288;
    return 262144;
}

std::optional<QByteArray> readFileBytes(qint64 offset, qint64 count, QFile& file)
{
    if (offset < 0 || count < 1 || !file.seek(offset))
        return std::nullopt;
    QByteArray bytes = file.read(count);
    if (bytes.size() != count)
        return std::nullopt;
    return bytes;
}

std::optional<quint16> readUInt16(qint64 offset, qint64 limit, bool littleEndian, const QByteArray& bytes)
{
    if (offset + 2 > limit)
        return std::nullopt;
    return quint16(readUnsigned(bytes, offset, 2, littleEndian));
}

std::optional<quint32> readUInt32(qint64 offset, qint64 limit, bool littleEndian, const QByteArray& bytes)
{
    if (offset + 4 > limit)
        return std::nullopt;
    return quint32(readUnsigned(bytes, offset, 4, littleEndian));
}

quint64 readUnsigned(const QByteArray& bytes, qint64 offset, int width, bool littleEndian)
{
    quint64 value = 0;
    for (int i = 0; i < width; ++i) {
        const quint64 byte = quint8(bytes[offset + i]);
        value |= byte << (8 * (littleEndian ? i : width - 1 - i));
    }
    return value;
}

bool hasBytePrefix(const QByteArray& prefix, const QByteArray& bytes)
{
    return bytes.startsWith(prefix);
}

std::optional<double> parseExifDate(const QString& text)
{
    const QDateTime date = QDateTime::fromString(text, QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    if (!date.isValid())
        return std::nullopt;
    return double(date.toMSecsSinceEpoch()) / 1000.0;
}

const QSet<QString>& flatImageExtensions()
{
    static const QSet<QString> extensions{
        QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("png"), QStringLiteral("psd"),
        QStringLiteral("bmp"), QStringLiteral("gif"), QStringLiteral("webp")};
    return extensions;
}
