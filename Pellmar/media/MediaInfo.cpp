#include "Pellmar/media/MediaInfo.h"

#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/FfmpegFiles.h"
#include "Pellmar/media/HeifFiles.h"
#include "Pellmar/media/ImageHeader.h"
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

// The orientation as stored under any integer type; only 1 to 8 are orientations.
std::optional<int> orientationOf(const Exiv2::ExifData& exif)
{
    const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (found == exif.end() || found->count() < 1)
        return std::nullopt;
    switch (found->typeId()) {
    case Exiv2::unsignedByte:
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedByte:
    case Exiv2::signedShort:
    case Exiv2::signedLong: break;
    default: return std::nullopt;
    }
    const long value = found->toLong();
    if (value < 1 || value > 8)
        return std::nullopt;
    return int(value);
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

// exiv2 gives a Canon CRW's time stamp, the camera's wall clock counted as seconds since 1970, as
// that count turned into local time. Undone here, so that the wall clock is read once, in the local
// time zone, as for every other format.
std::optional<double> crwWallClock(std::optional<double> exiv2Reading)
{
    if (!exiv2Reading)
        return std::nullopt;
    const QDateTime stamp = QDateTime::fromSecsSinceEpoch(qint64(*exiv2Reading), Qt::UTC);
    return parseExifDate(stamp.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")));
}

void fillFromExif(const Exiv2::ExifData& exif, bool crw, MediaInfo& info)
{
    for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Image.DateTime"}) {
        if (const auto date = parseExifDate(exifText(exif, key))) {
            info.capturedAt = crw ? crwWallClock(date) : date;
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

Exiv2::ExifData decodeExif(const QByteArray& tiff)
{
    Exiv2::ExifData exif;
    try {
        Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(tiff.constData()), uint32_t(tiff.size()));
    } catch (const std::exception&) {
        exif.clear();
    }
    return exif;
}

// The file's metadata as exiv2 reads it; throws what exiv2 throws for a file it cannot open.
std::unique_ptr<Exiv2::Image> openExiv2(const QString& path, const std::optional<QByteArray>& head)
{
    std::unique_ptr<Exiv2::Image> image(
        head ? Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(head->constData()), long(head->size()))
                   .release()
             : (refuseSpecialFile(path), Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString(), false).release()));
    image->readMetadata();
    return image;
}

// What exiv2 read of a photo. A bad block (an invalid EXIF block, a colour profile in the wrong
// place, a truncated file) stops exiv2's reading, but what it read before stays.
struct Exiv2Reading {
    Exiv2::ExifData exif;
    qint64 width = 0;
    qint64 height = 0;
    int type = Exiv2::ImageType::none;
    bool complete = false;
};

bool isExiv2Raw(int type)
{
    using namespace Exiv2::ImageType;
    return type == cr2 || type == crw || type == mrw || type == orf || type == raf || type == rw2;
}

Exiv2Reading readWithExiv2(const QString& path, const std::optional<QByteArray>& head)
{
    Exiv2Reading reading;
    std::unique_ptr<Exiv2::Image> image;
    try {
        image.reset(head ? Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(head->constData()),
                                                     long(head->size()))
                               .release()
                         : Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString(), false).release());
        reading.type = image->imageType();
        image->readMetadata();
        reading.complete = true;
    } catch (const std::exception&) {
        if (!image)
            return reading;
    }
    reading.exif = image->exifData();
    reading.width = image->pixelWidth();
    reading.height = image->pixelHeight();
    return reading;
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
    fillFromExif(exif, false, info);
    return info;
}

MediaInfo readImageMetadataOrThrow(const QString& path, const std::optional<QByteArray>& head)
{
    if (head && head->isEmpty())
        return {};
    if (isHeif(head ? head->left(64) : fileStart(path, 64)))
        return readHeifMetadata(path, head);
    if (!head)
        refuseSpecialFile(path);

    Exiv2Reading reading = readWithExiv2(path, head);
    // A JPEG's frame header, which exiv2 reads its size from, is the decoder's own, and a RAW file
    // is developed by LibRaw, not by the image decoder (which would see the small picture at the
    // head of a TIFF-based RAW). Other formats' sizes come from the decoder, which also reads the
    // formats exiv2 cannot.
    const bool raw = rawExtensions().contains(pathExtension(path).toLower()) || isExiv2Raw(reading.type);
    const bool jpeg = reading.complete && reading.type == Exiv2::ImageType::jpeg && reading.width > 0 && reading.height > 0;
    std::optional<DecoderHeader> header = raw || jpeg ? std::nullopt : readDecoderHeader(path, head);
    if (reading.exif.empty() && header && !header->exifTiff.isEmpty())
        reading.exif = decodeExif(header->exifTiff);

    MediaInfo info;
    if (header) {
        info.width = header->width;
        info.height = header->height;
    } else if (reading.width > 0 && reading.height > 0) {
        // RAW files, and formats no decoder here reads, keep exiv2's size.
        info.width = reading.width;
        info.height = reading.height;
    }
    std::optional<int> orientation = orientationOf(reading.exif);
    if (!orientation && header)
        orientation = header->orientation;
    if (orientation.value_or(1) >= 5)
        std::swap(info.width, info.height);
    fillFromExif(reading.exif, reading.type == Exiv2::ImageType::crw, info);
    return info;
}

// The bounding box of the shown rectangle (the pixel aspect applied) after the stream's display
// matrix, so a track recorded with a quarter turn reports its upright size.
void setDisplayedSize(AVFormatContext* format, AVStream* stream, MediaInfo& info)
{
    // Anamorphic video stores its pictures narrower or wider than they are shown.
    const AVRational aspect = av_guess_sample_aspect_ratio(format, stream, nullptr);
    double width = stream->codecpar->width * (aspect.num > 0 && aspect.den > 0 ? av_q2d(aspect) : 1.0);
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

// Containers written by a device whose clock was never set say 1970 (or 1904, QuickTime's zero):
// such a time is no date.
std::optional<double> parseContainerDate(const char* text)
{
    static const QDateTime earliestPlausible(QDate(1980, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime date = QDateTime::fromString(QString::fromUtf8(text).trimmed(), Qt::ISODateWithMs);
    if (!date.isValid() || date < earliestPlausible)
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
    AVStream* video = firstVideoTrack(format.get());
    if (format->duration == AV_NOPTS_VALUE || (video && video->codecpar->width == 0)) {
        format->probesize = 1 << 20;
        format->max_analyze_duration = AV_TIME_BASE;
        avformat_find_stream_info(format.get(), nullptr);
        video = firstVideoTrack(format.get());
    }

    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        info.duration = double(format->duration) / AV_TIME_BASE;
    if (video)
        setDisplayedSize(format.get(), video, info);

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
