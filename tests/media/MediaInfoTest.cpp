#include "Pellmar/media/MediaInfo.h"

#include "Pellmar/media/MediaLibraries.h"
#include "Pellmar/media/VipsImages.h"
#include "tests/media/MediaFixtures.h"

#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QSize>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

// Dates without a zone are read in the local time zone: pin it.
class NewYorkTime : public ::testing::Environment {
public:
    void SetUp() override
    {
        qputenv("TZ", "America/New_York");
        tzset();
    }
};
[[maybe_unused]] const auto* const newYorkTime = ::testing::AddGlobalTestEnvironment(new NewYorkTime);

// 2021-07-04 15:30:00 in New York (EDT, UTC-4).
constexpr double independenceDayAfternoon = 1625427000;

MediaInfo metadataOfJpeg(const ExifFields& fields, const QImage& image = quarteredImage(40, 30))
{
    return readImageMetadata(QStringLiteral("unused.jpg"), jpegWithExif(image, fields));
}

TEST(ImageMetadata, ReportsTheDisplayedSizeByOrientation)
{
    QTemporaryDir dir;
    for (const auto& [orientation, width, height] : {std::tuple{1, 40, 30}, {3, 40, 30}, {5, 30, 40}, {6, 30, 40}, {8, 30, 40}}) {
        SCOPED_TRACE(orientation);
        const QByteArray jpeg = jpegWithExif(quarteredImage(40, 30), ExifFields{{}, orientation, {}});
        const QString path = dir.filePath(QStringLiteral("photo.jpg"));
        writeBytes(path, jpeg);
        for (const MediaInfo& info : {readImageMetadata(path), readImageMetadata(path, jpeg)}) {
            EXPECT_EQ(info.width, width);
            EXPECT_EQ(info.height, height);
        }
    }
}

// A 24-bit BMP of a grey picture: Windows' 40-byte header, its rows top-down (a negative height)
// when `topDown`, or OS/2's 12-byte header.
QByteArray bmp(int width, int height, bool os2, bool topDown)
{
    const int rowBytes = (width * 3 + 3) & ~3;
    const quint32 headerSize = os2 ? 12 : 40;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(14 + headerSize + rowBytes * height) << quint32(0) << quint32(14 + headerSize) << headerSize;
    if (os2)
        out << quint16(width) << quint16(height) << quint16(1) << quint16(24);
    else
        out << qint32(width) << qint32(topDown ? -height : height) << quint16(1) << quint16(24) << quint32(0)
            << quint32(rowBytes * height) << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    out.writeRawData(QByteArray(rowBytes * height, '\x80').constData(), rowBytes * height);
    return bytes;
}

// Files whose metadata exiv2 reads wrong, in part or not at all: the size is the decoder's, and
// every field that was read stays.
TEST(ImageMetadata, SizeIsTheDecodersAndFieldsReadBeforeABadBlockStay)
{
    initMediaLibraries();
    ExifFields dated;
    dated.texts["Exif.Photo.DateTimeOriginal"] = "2021:07:04 15:30:00";
    ExifFields turnedAsSignedLong = dated;
    turnedAsSignedLong.orientation = 6;
    turnedAsSignedLong.orientationAsSignedLong = true;
    ExifFields outOfRange = dated;
    outOfRange.orientation = 9;
    const vips::VImage picture = toVips(quarteredImage(40, 30));
    const QByteArray png = savedByVips(picture, ".png");
    const struct {
        const char* name;
        QByteArray bytes;
        qint64 width;
        qint64 height;
        std::optional<double> capturedAt;
    } cases[] = {
        {"top-down.bmp", bmp(16, 12, false, true), 16, 12, std::nullopt},
        {"os2.bmp", bmp(16, 12, true, false), 16, 12, std::nullopt},
        {"turned-as-slong.jpg", jpegWithExif(quarteredImage(40, 30), turnedAsSignedLong), 30, 40, independenceDayAfternoon},
        {"orientation-9.jpg", jpegWithExif(quarteredImage(40, 30), outOfRange), 40, 30, independenceDayAfternoon},
        {"profile-after-frame.jpg", withBrokenProfileAfterFrame(jpegWithExif(quarteredImage(40, 30), dated)), 40, 30,
         independenceDayAfternoon},
        {"truncated.png", png.left(png.size() - 20), 40, 30, std::nullopt},
        {"radiance.hdr", savedByVips(picture, ".hdr"), 40, 30, std::nullopt},
        {"big.btf", savedByVips(picture, ".tif[bigtiff]"), 40, 30, std::nullopt},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        writeBytes(path, c.bytes);
        for (const MediaInfo& info : {readImageMetadata(path), readImageMetadata(path, c.bytes)}) {
            EXPECT_EQ(info.width, c.width);
            EXPECT_EQ(info.height, c.height);
            EXPECT_EQ(info.capturedAt, c.capturedAt);
        }
    }
}

// A Canon CRW keeps the camera's clock as a count of seconds; 17:39:26 on the camera is 17:39:26
// in whatever zone the computer is in, as for every other photo.
TEST(ImageMetadata, CanonCrwTimeIsTheCamerasWallClockInEveryZone)
{
    const QByteArray zone = qgetenv("TZ");
    for (const char* place : {"America/New_York", "Asia/Kolkata"}) {
        SCOPED_TRACE(place);
        qputenv("TZ", place);
        tzset();
        const MediaInfo info = readImageMetadata(mediaFixture(QStringLiteral("canon.crw")));
        const QDateTime taken(QDate(2003, 11, 10), QTime(17, 39, 26), Qt::LocalTime);
        EXPECT_EQ(info.capturedAt, double(taken.toSecsSinceEpoch()));
        EXPECT_EQ(QSize(int(info.width), int(info.height)), QSize(3072, 2048));
    }
    qputenv("TZ", zone);
    tzset();
}

TEST(ImageMetadata, CaptureDateFromDateTimeOriginalThenDateTime)
{
    const std::string good = "2021:07:04 15:30:00";
    const std::string dashed = "2021-07-04 15:30:00";
    struct Case {
        std::optional<std::string> original;
        std::optional<std::string> dateTime;
        std::optional<double> expected;
    };
    for (const Case& c : {Case{good, "2000:01:01 00:00:00", independenceDayAfternoon},
                          Case{dashed, good, independenceDayAfternoon},
                          Case{std::nullopt, good, independenceDayAfternoon},
                          Case{dashed, dashed, std::nullopt},
                          Case{std::nullopt, std::nullopt, std::nullopt}}) {
        ExifFields fields;
        if (c.original)
            fields.texts["Exif.Photo.DateTimeOriginal"] = *c.original;
        if (c.dateTime)
            fields.texts["Exif.Image.DateTime"] = *c.dateTime;
        SCOPED_TRACE(c.original.value_or("-") + " / " + c.dateTime.value_or("-"));
        EXPECT_EQ(metadataOfJpeg(fields).capturedAt, c.expected);
    }
}

TEST(ImageMetadata, CameraFromMakeAndModelAndTrimmedLens)
{
    struct Case {
        std::string make;
        std::string model;
        QString camera;
    };
    for (const Case& c : {Case{"Canon", "Canon EOS R5", QStringLiteral("Canon EOS R5")},
                          Case{"NIKON CORPORATION", "NIKON Z 6", QStringLiteral("NIKON CORPORATION NIKON Z 6")},
                          Case{"  SONY ", "ILCE-7M3", QStringLiteral("SONY ILCE-7M3")},
                          Case{"", "X100V", QStringLiteral("X100V")},
                          Case{"Apple", "", QStringLiteral("Apple ")}}) {
        ExifFields fields;
        if (!c.make.empty())
            fields.texts["Exif.Image.Make"] = c.make;
        if (!c.model.empty())
            fields.texts["Exif.Image.Model"] = c.model;
        fields.texts["Exif.Photo.LensModel"] = "\tRF24-105mm F4 L IS USM ";
        const MediaInfo info = metadataOfJpeg(fields);
        EXPECT_EQ(info.camera, c.camera) << c.make << "|" << c.model;
        EXPECT_EQ(info.lens, QStringLiteral("RF24-105mm F4 L IS USM"));
    }
}

TEST(ImageMetadata, HeicSizeAndExifThroughLibheif)
{
    ExifFields fields;
    fields.texts["Exif.Photo.DateTimeOriginal"] = "2021:07:04 15:30:00";
    fields.texts["Exif.Image.Model"] = "iPhone 15 Pro";
    const QByteArray heic = heicFile(quarteredImage(64, 48), std::nullopt, fields);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("IMG_0001.HEIC"));
    writeBytes(path, heic);
    for (const MediaInfo& info : {readImageMetadata(path), readImageMetadata(path, heic)}) {
        EXPECT_EQ(info.width, 64);
        EXPECT_EQ(info.height, 48);
        EXPECT_EQ(info.capturedAt, independenceDayAfternoon);
        EXPECT_EQ(info.camera, QStringLiteral("iPhone 15 Pro"));
    }
}

TEST(ImageMetadata, CanonRawFile)
{
    const MediaInfo info = readImageMetadata(canonRawFixture());
    EXPECT_GT(info.width, 3000);
    EXPECT_GT(info.height, 2000);
    EXPECT_TRUE(info.camera.startsWith(QStringLiteral("Canon EOS"))) << info.camera.toStdString();
    EXPECT_TRUE(info.capturedAt.has_value());
}

void expectEmpty(const MediaInfo& info)
{
    EXPECT_FALSE(info.capturedAt.has_value());
    EXPECT_EQ(info.width, 0);
    EXPECT_EQ(info.height, 0);
    EXPECT_EQ(info.duration, 0);
    EXPECT_TRUE(info.camera.isEmpty());
    EXPECT_TRUE(info.lens.isEmpty());
}

TEST(ImageMetadata, NotAnImageOrNothingGivesTheEmptyValue)
{
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.jpg"));
    writeBytes(text, "just some words, not a photo");
    expectEmpty(readImageMetadata(text));
    expectEmpty(readImageMetadata(text, QByteArray()));
    expectEmpty(readImageMetadata(dir.filePath(QStringLiteral("missing.jpg"))));
}

// Damaged files of each kind give what could be read, never a crash.
TEST(ImageMetadata, TruncatedAndCorruptFilesOfEachKind)
{
    ExifFields fields;
    fields.texts["Exif.Image.Model"] = "Tester";
    fields.thumbnailJpeg = encodedJpeg(quarteredImage(16, 12));
    const QByteArray jpeg = jpegWithExif(quarteredImage(400, 300), fields);
    const QByteArray heic = heicFile(quarteredImage(64, 48), 32);
    const QByteArray raw = readBytes(canonRawFixture()).left(200000);
    QTemporaryDir dir;
    for (const auto& [name, whole] : {std::pair{"a.jpg", jpeg}, {"a.heic", heic}, {"a.cr2", raw}}) {
        for (qsizetype cut : {qsizetype(4), qsizetype(30), whole.size() / 3, whole.size() - 1}) {
            const QString path = dir.filePath(QString::fromLatin1(name));
            writeBytes(path, whole.left(cut));
            readImageMetadata(path);
            readImageMetadata(path, whole.left(cut));
        }
        QByteArray scrambled = whole;
        for (qsizetype i = 12; i < scrambled.size(); i += 7)
            scrambled[i] = char(scrambled[i] ^ 0x5a);
        readImageMetadata(QString::fromLatin1(name), scrambled);
    }
}

TEST(VideoMetadata, RotatedTrackCreationDateAndCameraInListOrder)
{
    const MediaInfo info = readVideoMetadata(mediaFixture(QStringLiteral("portrait.mov")));
    EXPECT_DOUBLE_EQ(info.duration, 2.0);
    EXPECT_EQ(info.width, 36);
    EXPECT_EQ(info.height, 64);
    EXPECT_EQ(info.capturedAt, independenceDayAfternoon - 6 * 3600);   // 15:30 at UTC+2
    EXPECT_EQ(info.camera, QStringLiteral("iPhone 15 Pro Apple"));
    EXPECT_TRUE(info.lens.isEmpty());
    // A model that repeats the make is kept as it stands.
    EXPECT_EQ(readVideoMetadata(mediaFixture(QStringLiteral("same-make-model.mov"))).camera, QStringLiteral("Apple Apple"));
}

TEST(VideoMetadata, AnamorphicTrackReportsItsShownSize)
{
    const MediaInfo info = readVideoMetadata(mediaFixture(QStringLiteral("anamorphic.mp4")));
    EXPECT_EQ(info.width, 96);
    EXPECT_EQ(info.height, 36);
}

// A camera whose clock was never set writes 1970 (or QuickTime's zero, 1904): no date.
TEST(VideoMetadata, ContainerTimeBefore1980IsNoDate)
{
    const QByteArray clip = readBytes(mediaFixture(QStringLiteral("counter.mp4")));
    const qsizetype creation = clip.indexOf("mvhd") + 8;   // version 0: version and flags, then the time
    const quint32 secondsFrom1904To1970 = 2082844800;
    QTemporaryDir dir;
    for (const auto& [since1904, expected] : {std::pair{quint32(0), std::optional<double>()},
                                              {secondsFrom1904To1970, std::optional<double>()},
                                              {secondsFrom1904To1970 + 315532799, std::optional<double>()},
                                              {secondsFrom1904To1970 + 315532800, std::optional<double>(315532800)}}) {
        SCOPED_TRACE(since1904);
        QByteArray dated = clip;
        qToBigEndian(since1904, dated.data() + creation);
        const QString path = dir.filePath(QStringLiteral("clip.mp4"));
        writeBytes(path, dated);
        EXPECT_EQ(readVideoMetadata(path).capturedAt, expected);
    }
}

TEST(VideoMetadata, AudioOnlyKeepsNoSizeButReadsDateAndDuration)
{
    const MediaInfo info = readVideoMetadata(mediaFixture(QStringLiteral("audio.m4a")));
    EXPECT_NEAR(info.duration, 1.5, 0.05);
    EXPECT_EQ(info.width, 0);
    EXPECT_EQ(info.height, 0);
    EXPECT_EQ(info.capturedAt, 1577934245.0);   // 2020-01-02 03:04:05 UTC
}

TEST(VideoMetadata, TruncatedCorruptAndMissingFiles)
{
    const QByteArray clip = readBytes(mediaFixture(QStringLiteral("hd.mp4")));
    QTemporaryDir dir;
    const QString truncated = dir.filePath(QStringLiteral("truncated.mp4"));
    writeBytes(truncated, clip.left(clip.size() / 2));
    readVideoMetadata(truncated);
    const QString corrupt = dir.filePath(QStringLiteral("corrupt.mp4"));
    writeBytes(corrupt, QByteArray(5000, '\x42'));
    expectEmpty(readVideoMetadata(corrupt));
    expectEmpty(readVideoMetadata(dir.filePath(QStringLiteral("missing.mov"))));
}

TEST(HeadBytes, BudgetByLowerCasedExtension)
{
    EXPECT_EQ(headByteBudget(QStringLiteral("/c/IMG_1.RAF")), 1048576);
    EXPECT_EQ(headByteBudget(QStringLiteral("/c/IMG_1.cr2")), 524288);
    EXPECT_EQ(headByteBudget(QStringLiteral("/c/IMG_1.DNG")), 524288);
    EXPECT_EQ(headByteBudget(QStringLiteral("a.srw")), 262144);
    EXPECT_EQ(headByteBudget(QStringLiteral("a.jpg")), 262144);
    EXPECT_EQ(headByteBudget(QStringLiteral("noextension")), 262144);
}

TEST(HeadBytes, ExactReadsAndIntegerReaders)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("five"));
    writeBytes(path, "12345");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(readFileBytes(0, 8, file), std::nullopt);
    EXPECT_EQ(readFileBytes(1, 3, file), QByteArray("234"));
    EXPECT_EQ(readFileBytes(5, 1, file), std::nullopt);

    const QByteArray bytes("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e", 14);
    EXPECT_EQ(readUInt32(10, 13, true, bytes), std::nullopt);
    EXPECT_EQ(readUInt32(10, 14, true, bytes), 0x0e0d0c0bu);
    EXPECT_EQ(readUInt32(10, 14, false, bytes), 0x0b0c0d0eu);
    EXPECT_EQ(readUInt16(0, 2, true, bytes), 0x0201);
    EXPECT_EQ(readUInt16(0, 2, false, bytes), 0x0102);
    EXPECT_EQ(readUInt16(13, 14, false, bytes), std::nullopt);

    EXPECT_TRUE(hasBytePrefix(QByteArray("\xff\xd8", 2), QByteArray("\xff\xd8\xff\xe1", 4)));
    EXPECT_FALSE(hasBytePrefix(QByteArray("\xff\xd8", 2), QByteArray("\xff", 1)));
}

} // namespace
