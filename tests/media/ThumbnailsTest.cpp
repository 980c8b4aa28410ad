#include "Pellmar/media/Thumbnails.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/media/MediaInfo.h"
#include "tests/media/MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A 160 x 120 thumbnail of a quartered 800 x 600 photo, in a JPEG with the given orientation,
// stored as a SHORT or as an SLONG.
QByteArray photoWithThumbnail(std::optional<int> orientation, QSize thumbnailSize = QSize(160, 120),
                              bool orientationAsSignedLong = false)
{
    ExifFields fields;
    fields.orientation = orientation;
    fields.orientationAsSignedLong = orientationAsSignedLong;
    fields.thumbnailJpeg = encodedJpeg(quarteredImage(thumbnailSize.width(), thumbnailSize.height()));
    return jpegWithExif(quarteredImage(800, 600), fields);
}

class ThumbnailTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }

    // makeThumbnail of `bytes` saved as `name`; the written preview, or a null image when none.
    QImage thumbnailOf(const QString& name, const QByteArray& bytes)
    {
        writeBytes(path(name), bytes);
        const QString output = path(QStringLiteral("out.preview.jpg"));
        QFile::remove(output);
        const bool made = makeThumbnail(path(name), bytes.left(headByteBudget(name)), output);
        EXPECT_EQ(made, QFile::exists(output)) << name.toStdString();
        return made ? QImage(output) : QImage();
    }

    QTemporaryDir dir;
};

// Corner colours of a quartered image after each EXIF orientation, read clockwise from the top left.
TEST_F(ThumbnailTest, EmbeddedThumbnailIsTurnedUprightByThePhotosOrientation)
{
    struct Case {
        int orientation;
        QSize size;
        QStringList corners;
    };
    const QString r = QStringLiteral("red"), g = QStringLiteral("green"), b = QStringLiteral("blue"), w = QStringLiteral("white");
    for (const Case& c : {Case{1, {160, 120}, {r, g, w, b}}, Case{2, {160, 120}, {g, r, b, w}},
                          Case{3, {160, 120}, {w, b, r, g}}, Case{4, {160, 120}, {b, w, g, r}},
                          Case{5, {120, 160}, {r, b, w, g}}, Case{6, {120, 160}, {b, r, g, w}},
                          Case{7, {120, 160}, {w, g, r, b}}, Case{8, {120, 160}, {g, w, b, r}}}) {
        for (const bool signedLong : {false, true}) {
            SCOPED_TRACE(c.orientation + (signedLong ? 100 : 0));
            const QImage preview =
                thumbnailOf(QStringLiteral("IMG_1.JPG"), photoWithThumbnail(c.orientation, QSize(160, 120), signedLong));
            ASSERT_FALSE(preview.isNull());
            EXPECT_EQ(preview.size(), c.size);
            const int right = preview.width() - 5, bottom = preview.height() - 5;
            EXPECT_EQ((QStringList{quarterColourAt(preview, 5, 5), quarterColourAt(preview, right, 5),
                                   quarterColourAt(preview, right, bottom), quarterColourAt(preview, 5, bottom)}),
                      c.corners);
        }
    }
}

TEST_F(ThumbnailTest, UprightThumbnailIsTheStoredBytesAndOneThatCannotBeDecodedGivesNone)
{
    for (const std::optional<int> orientation : {std::optional<int>(), std::optional<int>(1)}) {
        const QByteArray photo = photoWithThumbnail(orientation);
        ASSERT_FALSE(thumbnailOf(QStringLiteral("IMG_2.JPG"), photo).isNull());
        QFile written(path(QStringLiteral("out.preview.jpg")));
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), *exifThumbnail(photo));
    }
    ExifFields broken;
    broken.thumbnailJpeg = QByteArray("\xff\xd8\xff\xdb not a picture", 24);
    EXPECT_TRUE(thumbnailOf(QStringLiteral("IMG_3.JPG"), jpegWithExif(quarteredImage(800, 600), broken)).isNull());
}

TEST_F(ThumbnailTest, FilesWithoutAUsableEmbeddedThumbnailGetNone)
{
    const QByteArray plainJpeg = jpegWithExif(quarteredImage(800, 600), ExifFields{{{"Exif.Image.Model", "X"}}, 6, {}});
    EXPECT_TRUE(thumbnailOf(QStringLiteral("plain.jpg"), plainJpeg).isNull());
    EXPECT_TRUE(thumbnailOf(QStringLiteral("bare.jpeg"), encodedJpeg(quarteredImage(80, 60))).isNull());
    // A flat format is not even looked into.
    EXPECT_TRUE(thumbnailOf(QStringLiteral("a.png"), photoWithThumbnail(1)).isNull());
    EXPECT_TRUE(thumbnailOf(QStringLiteral("a.tif"), photoWithThumbnail(1)).isNull());
    // The EXIF thumbnail lies past the head bytes read.
    const QByteArray photo = photoWithThumbnail(1);
    EXPECT_EQ(exifThumbnail(photo.left(200)), std::nullopt);
    EXPECT_TRUE(exifThumbnail(photo).has_value());
}

TEST_F(ThumbnailTest, HeicThumbnailUpTo640Pixels)
{
    const QImage small = thumbnailOf(QStringLiteral("IMG_1.HEIC"), heicFile(quarteredImage(1600, 1200), 320));
    EXPECT_EQ(small.size(), QSize(320, 240));
    EXPECT_EQ(quarterColourAt(small, 5, 5), QStringLiteral("red"));
    EXPECT_TRUE(thumbnailOf(QStringLiteral("IMG_2.heic"), heicFile(quarteredImage(1600, 1200), 1024)).isNull());
    EXPECT_TRUE(thumbnailOf(QStringLiteral("IMG_3.heic"), heicFile(quarteredImage(640, 480), std::nullopt)).isNull());
    // A thumbnail is judged by the size it declares, before it is decoded: one that claims
    // 16384 x 16384 pixels is no thumbnail, whatever it holds.
    const QByteArray claiming = withDeclaredSize(heicFile(quarteredImage(640, 480), 160), {160, 120}, {16384, 16384});
    EXPECT_TRUE(thumbnailOf(QStringLiteral("IMG_4.heic"), claiming).isNull());
}

TEST_F(ThumbnailTest, JpegAndHeicAreKnownByTheirContentWhateverTheirName)
{
    for (const char* name : {"IMG_1.jpe", "IMG_1.JFIF", "IMG_1"})
        EXPECT_EQ(thumbnailOf(QString::fromLatin1(name), photoWithThumbnail(1)).size(), QSize(160, 120)) << name;
    EXPECT_EQ(thumbnailOf(QStringLiteral("IMG_2.JPG"), heicFile(quarteredImage(1600, 1200), 320)).size(), QSize(320, 240));
}

TEST_F(ThumbnailTest, CanonRawPreview)
{
    const QImage preview = thumbnailOf(QStringLiteral("IMG_5952.CR2"), readBytes(canonRawFixture()));
    ASSERT_FALSE(preview.isNull());
    EXPECT_GT(std::max(preview.width(), preview.height()), 640);
    EXPECT_LE(std::max(preview.width(), preview.height()), smallPreviewSize);
    const MediaInfo info = readImageMetadata(canonRawFixture());
    EXPECT_EQ(preview.width() > preview.height(), info.width > info.height);
}

TEST_F(ThumbnailTest, DamagedFilesGiveNoThumbnailAndNoCrash)
{
    const QByteArray jpeg = photoWithThumbnail(6);
    const QByteArray heic = heicFile(quarteredImage(400, 300), 160);
    const QByteArray raw = readBytes(canonRawFixture());
    for (const auto& [name, whole] : {std::pair{"a.jpg", jpeg}, {"a.heic", heic}, {"a.cr2", raw}}) {
        SCOPED_TRACE(name);
        for (qsizetype cut : {qsizetype(3), qsizetype(40), qsizetype(300)})
            EXPECT_TRUE(thumbnailOf(QString::fromLatin1(name), whole.left(cut)).isNull()) << cut;
        // Half a file may still hold its whole preview; it must only not crash.
        thumbnailOf(QString::fromLatin1(name), whole.left(whole.size() / 2));
        QByteArray scrambled = whole;
        for (qsizetype i = 20; i < scrambled.size(); i += 5)
            scrambled[i] = char(scrambled[i] ^ 0xa5);
        thumbnailOf(QString::fromLatin1(name), scrambled);
    }
}

TEST_F(ThumbnailTest, WriteFailuresAreReported)
{
    const QString name = QStringLiteral("IMG_1.JPG");
    const QByteArray photo = photoWithThumbnail(1);
    writeBytes(path(name), photo);
    try {
        makeThumbnail(path(name), photo, path(QStringLiteral("no/such/folder/out.jpg")));
        FAIL() << "expected an error";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.description(), QStringLiteral("cannot create proxy"));
    }
}

// A TIFF file whose first directory holds the given entries (tag, type, count, value) and a JPEG
// at offset 1024.
QByteArray tiffFile(const QList<std::array<quint32, 4>>& entries, const QByteArray& jpeg, quint16 entryCount = 0)
{
    QByteArray bytes("II\x2a\x00\x08\x00\x00\x00", 8);
    const auto append16 = [&](quint32 v) { bytes.append(char(v & 0xff)).append(char((v >> 8) & 0xff)); };
    const auto append32 = [&](quint32 v) { append16(v & 0xffff); append16(v >> 16); };
    append16(entryCount ? entryCount : quint32(entries.size()));
    for (const auto& [tag, type, count, value] : entries) {
        append16(tag);
        append16(type);
        append32(count);
        append32(value);
    }
    append32(0);
    bytes.resize(1024, '\0');
    return bytes + jpeg;
}

TEST_F(ThumbnailTest, TiffPreviewOfTheFirstDirectory)
{
    const QByteArray jpeg = encodedJpeg(quarteredImage(300, 200));
    const quint32 length = quint32(jpeg.size());
    const auto preview = [&](const QList<std::array<quint32, 4>>& entries, quint16 entryCount = 0, const QByteArray& data = {}) {
        const QString file = path(QStringLiteral("x.dng"));
        writeBytes(file, tiffFile(entries, data.isNull() ? jpeg : data, entryCount));
        return tiffPreview(file, 2048);
    };
    const std::array<quint32, 4> reduced{254, 4, 1, 1}, jpegCompression{259, 3, 1, 7}, offset{513, 4, 1, 1024},
        size{514, 4, 1, length}, turned{274, 3, 1, 6};

    const auto upright = preview({reduced, jpegCompression, offset, size, turned});
    ASSERT_TRUE(upright.has_value());
    EXPECT_EQ(upright->size(), QSize(200, 300));
    EXPECT_EQ(quarterColourAt(*upright, 5, 5), QStringLiteral("blue"));
    EXPECT_TRUE(preview({reduced, {259, 3, 1, 6}, {273, 4, 1, 1024}, {279, 4, 1, length}}).has_value());
    EXPECT_EQ(tiffPreview(path(QStringLiteral("x.dng")), 100)->size(), QSize(100, 67));

    EXPECT_FALSE(preview({{254, 4, 1, 0}, jpegCompression, offset, size}).has_value());
    EXPECT_FALSE(preview({jpegCompression, offset, size}).has_value());
    EXPECT_FALSE(preview({reduced, {259, 3, 1, 1}, offset, size}).has_value());
    EXPECT_FALSE(preview({reduced, jpegCompression, {513, 4, 2, 1024}, size}).has_value());
    EXPECT_FALSE(preview({reduced, jpegCompression, offset, {514, 4, 1, 30000000}}).has_value());
    EXPECT_FALSE(preview({reduced, jpegCompression, offset, size}, 600).has_value());
    EXPECT_FALSE(preview({}, 0).has_value());
    EXPECT_FALSE(preview({reduced, jpegCompression, offset, size}, 0, QByteArray("not a jpeg at all")).has_value());
    EXPECT_FALSE(tiffPreview(path(QStringLiteral("missing.dng")), 2048).has_value());
}

TEST(ExifThumbnail, SegmentWalk)
{
    const QByteArray photo = photoWithThumbnail(1);
    const QByteArray soi("\xff\xd8", 2);
    // An XMP APP1 before the Exif one is passed over.
    const QByteArray xmp = QByteArray("\xff\xe1\x00\x20", 4) + QByteArray("http://ns.adobe.com/xap/1.0/").leftJustified(30, '\0');
    EXPECT_EQ(exifThumbnail(soi + xmp + photo.mid(2)), exifThumbnail(photo));
    // A start of scan before any Exif segment ends the walk.
    EXPECT_EQ(exifThumbnail(soi + QByteArray("\xff\xda\x00\x04\x00\x00", 6) + photo.mid(2)), std::nullopt);
    // Without a second image directory there is no thumbnail.
    EXPECT_EQ(exifThumbnail(jpegWithExif(quarteredImage(80, 60), ExifFields{{{"Exif.Image.Model", "X"}}, 1, {}})),
              std::nullopt);
    EXPECT_EQ(exifThumbnail(QByteArray("\xff\xd8\xff", 3)), std::nullopt);
    // A head that ends right after "Exif" and its two zero bytes, before the TIFF header.
    const QByteArray cutAfterExif("\xff\xd8\xff\xe1\x00\x10" "Exif\x00\x00", 12);
    EXPECT_EQ(exifThumbnail(cutAfterExif), std::nullopt);
    EXPECT_EQ(exifOrientation(cutAfterExif), std::nullopt);
}

} // namespace
