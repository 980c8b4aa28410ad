#include "Pellmar/media/ImageDecoding.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/media/DecodeBudget.h"
#include "Pellmar/media/HeifFiles.h"
#include "Pellmar/media/MediaInfo.h"
#include "Pellmar/media/MediaLibraries.h"
#include "Pellmar/media/TileImages.h"
#include "Pellmar/media/VipsImages.h"
#include "tests/media/MediaFixtures.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>

// Every HEIF image decoded in this process, by the program or by libvips, passes here and is
// counted (the test's own definition takes the place of libheif's).
namespace {
std::atomic<int> heifDecodes = 0;
}

extern "C" heif_error heif_decode_image(const heif_image_handle* handle, heif_image** image, heif_colorspace colourspace,
                                        heif_chroma chroma, const heif_decoding_options* options)
{
    using Decode = heif_error (*)(const heif_image_handle*, heif_image**, heif_colorspace, heif_chroma,
                                  const heif_decoding_options*);
    static const auto libheifDecode = reinterpret_cast<Decode>(dlsym(RTLD_NEXT, "heif_decode_image"));
    ++heifDecodes;
    return libheifDecode(handle, image, colourspace, chroma, options);
}

namespace {

// A quartered picture whose left half is transparent black, as icons and logos store it.
QByteArray pngWithAlpha(int width, int height)
{
    QImage image = quarteredImage(width, height).convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width / 2; ++x)
            image.setPixelColor(x, y, QColor(0, 0, 0, 0));
    return savedByVips(toVips(image), ".png");
}

QByteArray tiff16(int width, int height)
{
    const vips::VImage wide = (toVips(quarteredImage(width, height)).cast(VIPS_FORMAT_USHORT) * 257)
                                  .cast(VIPS_FORMAT_USHORT)
                                  .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
    return savedByVips(wide, ".tif");
}

class PhotoPreviewTest : public ::testing::Test {
protected:
    void SetUp() override { initMediaLibraries(); }

    // The preview of `bytes` saved as `name`, read back with vips.
    vips::VImage previewOf(const QString& name, const QByteArray& bytes, int maxPixelSize)
    {
        const QString source = dir.filePath(name);
        if (!bytes.isNull())
            writeBytes(source, bytes);
        return previewOfFile(bytes.isNull() ? name : source, maxPixelSize);
    }

    vips::VImage previewOfFile(const QString& source, int maxPixelSize)
    {
        const QString output = dir.filePath(QStringLiteral("out.heic"));
        makePhotoPreview(source, output, maxPixelSize);
        EXPECT_TRUE(isHeif(readBytes(output).left(64)));
        return vips::VImage::new_from_file(QFile::encodeName(output).constData());
    }

    QString failureOf(const QString& name, const QByteArray& bytes)
    {
        try {
            previewOf(name, bytes, 256);
        } catch (const DatabaseError& error) {
            return error.description();
        }
        return QStringLiteral("no error");
    }

    QTemporaryDir dir;
};

TEST_F(PhotoPreviewTest, EachKindBecomesAnUprightOpaqueHeicOfAtMostTheSize)
{
    struct Case {
        QString name;
        QByteArray bytes;
        int maxPixelSize;
        QSize size;
        QString topLeft;   // the quarter colour in the top left corner, when the picture is ours
    };
    ExifFields turned;
    turned.orientation = 6;
    for (const Case& c : {
             Case{QStringLiteral("portrait.JPG"), jpegWithExif(quarteredImage(600, 400), turned), 300, {200, 300}, QStringLiteral("blue")},
             Case{QStringLiteral("alpha.png"), pngWithAlpha(400, 300), 200, {200, 150}, QStringLiteral("white")},
             Case{QStringLiteral("deep.tif"), tiff16(400, 300), 1000, {400, 300}, QStringLiteral("red")},
             // A colour profile that cannot be used is dropped, not the picture.
             Case{QStringLiteral("profile.jpg"), withBrokenProfileAfterFrame(encodedJpeg(quarteredImage(400, 300))), 200,
                  {200, 150}, QStringLiteral("red")},
             Case{QStringLiteral("photo.heic"), heicFile(quarteredImage(640, 480), std::nullopt), 320, {320, 240}, QStringLiteral("red")},
         }) {
        SCOPED_TRACE(c.name.toStdString());
        const vips::VImage preview = previewOf(c.name, c.bytes, c.maxPixelSize);
        EXPECT_EQ(QSize(preview.width(), preview.height()), c.size);
        EXPECT_EQ(preview.bands(), 3);
        const QImage picture = toQImage(preview);
        const QColor corner = picture.pixelColor(4, 4);
        const QString topLeft = corner.value() < 40 ? QStringLiteral("black") : quarterColourAt(picture, 4, 4);
        EXPECT_EQ(topLeft, c.topLeft);
    }
}

// The mean difference of the channels of two pictures of the same size, from 0 to 255.
double meanDifference(const QImage& a, const QImage& b)
{
    const QImage left = a.convertToFormat(QImage::Format_RGB888);
    const QImage right = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int y = 0; y < left.height(); ++y) {
        for (int x = 0; x < left.width() * 3; ++x)
            sum += std::abs(int(left.constScanLine(y)[x]) - int(right.constScanLine(y)[x]));
    }
    return sum / (double(left.width()) * left.height() * 3);
}

TEST_F(PhotoPreviewTest, APreviewIsWrittenWithItsTileImage)
{
    struct Case {
        QString name;
        QByteArray bytes;
        int maxPixelSize;
        QString topLeft;
    };
    ExifFields turned;
    turned.orientation = 6;
    for (const Case& c : {
             Case{QStringLiteral("turned.jpg"), jpegWithExif(quarteredImage(1200, 800), turned), 1000, QStringLiteral("blue")},
             Case{QStringLiteral("wide.heic"), heicFile(quarteredImage(1600, 400), std::nullopt), 2048, QStringLiteral("red")},
             Case{QStringLiteral("small.jpg"), encodedJpeg(quarteredImage(300, 200)), 2048, QStringLiteral("red")},
         }) {
        SCOPED_TRACE(c.name.toStdString());
        const QImage preview = toQImage(previewOf(c.name, c.bytes, c.maxPixelSize));
        const QImage tile(dir.filePath(QStringLiteral("out.tile.jpg")));
        ASSERT_FALSE(tile.isNull());
        // The shorter side at the tile image's size, never enlarged; the preview's shape and turn.
        EXPECT_EQ(std::min(tile.width(), tile.height()), std::min({tileImageSide, preview.width(), preview.height()}));
        EXPECT_NEAR(double(tile.width()) / tile.height(), double(preview.width()) / preview.height(), 0.01);
        EXPECT_EQ(quarterColourAt(tile, 4, 4), c.topLeft);
        EXPECT_LT(meanDifference(tile, preview.scaled(tile.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)), 4.0);

        // A preview written before tile images existed gets the same one from the preview file.
        ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("out.tile.jpg"))));
        ASSERT_TRUE(makeTileImage(dir.filePath(QStringLiteral("out.heic"))));
        const QImage remade(dir.filePath(QStringLiteral("out.tile.jpg")));
        EXPECT_EQ(remade.size(), tile.size());
        EXPECT_LT(meanDifference(remade, tile), 4.0);
    }

    // A preview that cannot be decoded gets none.
    writeBytes(dir.filePath(QStringLiteral("broken.heic")), QByteArray(4000, '\x3c'));
    EXPECT_FALSE(makeTileImage(dir.filePath(QStringLiteral("broken.heic"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("broken.tile.jpg"))));
}

TEST_F(PhotoPreviewTest, RawFromItsEmbeddedPreviewOrDeveloped)
{
    const MediaInfo info = readImageMetadata(canonRawFixture());
    ASSERT_GT(info.width, info.height);
    // 1024: the embedded preview is large enough; 2048: it is not, so the RAW data is developed.
    for (const int size : {1024, 2048}) {
        SCOPED_TRACE(size);
        const vips::VImage preview = previewOfFile(canonRawFixture(), size);
        EXPECT_EQ(preview.width(), size);
        EXPECT_NEAR(preview.height(), double(size) * info.height / info.width, 1.0);
    }
}

TEST_F(PhotoPreviewTest, CorruptAndTruncatedFiles)
{
    EXPECT_EQ(failureOf(QStringLiteral("noise.jpg"), QByteArray(4000, '\x3c')), QStringLiteral("unreadable image"));
    EXPECT_EQ(failureOf(QStringLiteral("noise.cr2"), QByteArray(4000, '\x3c')), QStringLiteral("unreadable image"));
    EXPECT_EQ(failureOf(QStringLiteral("missing.png"), QByteArray()), QStringLiteral("unreadable image"));
    // Cut short: a partial picture or "no decodable image", never a crash.
    const QByteArray jpeg = encodedJpeg(quarteredImage(800, 600));
    const QString truncated = failureOf(QStringLiteral("cut.jpg"), jpeg.left(jpeg.size() / 2));
    EXPECT_TRUE(truncated == QLatin1String("no error") || truncated == QLatin1String("no decodable image"))
        << truncated.toStdString();
    const QString rawCut = failureOf(QStringLiteral("cut.cr2"), readBytes(canonRawFixture()).left(300000));
    EXPECT_TRUE(rawCut == QLatin1String("no error") || rawCut == QLatin1String("no decodable image")
                || rawCut == QLatin1String("unreadable image"))
        << rawCut.toStdString();
}

// A picture is refused by the size it declares, before its decode starts: a file of a few hundred
// bytes that claims billions of pixels would otherwise take gigabytes and minutes.
TEST_F(PhotoPreviewTest, APictureOverThePixelBudgetIsRefusedBeforeItsDecode)
{
    const QByteArray heic = heicFile(quarteredImage(640, 480), std::nullopt);
    const QString tooLarge = QString::fromLatin1(tooLargeImageText);
    struct Case {
        QString name;
        QByteArray bytes;
        QString failure;
    };
    for (const Case& c : {
             Case{QStringLiteral("huge.png"), pngHead(60000, 60000), tooLarge},
             Case{QStringLiteral("long.png"), pngHead(200001, 1000), tooLarge},
             Case{QStringLiteral("huge.heic"), withDeclaredSize(heic, {640, 480}, {32000, 32000}), tooLarge},
             // Within the budget the decode runs, and makes what it can of the data.
             Case{QStringLiteral("large.png"), pngHead(4000, 4000), QStringLiteral("no error")},
         }) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(failureOf(c.name, c.bytes), c.failure);
    }
}

// libvips tells a format by content; only its trusted loaders, and the few others that read photo
// formats, each for a file named for its format, decode a photo.
TEST_F(PhotoPreviewTest, APhotoIsDecodedOnlyByALoaderOfItsType)
{
    const QByteArray pixmap = QByteArray("P6\n8 8\n255\n") + QByteArray(8 * 8 * 3, '\x80');
    const QByteArray drawing("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\">"
                             "<rect width=\"8\" height=\"8\"/></svg>");
    const QByteArray pdf("%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n");
    struct Case {
        QString name;
        QByteArray bytes;
        QString failure;
    };
    for (const Case& c : {
             Case{QStringLiteral("pixmap.ppm"), pixmap, QStringLiteral("no error")},
             Case{QStringLiteral("pixmap.jpg"), pixmap, QStringLiteral("unreadable image")},
             Case{QStringLiteral("drawing.jpg"), drawing, QStringLiteral("unreadable image")},
             Case{QStringLiteral("drawing.svg"), drawing, QStringLiteral("unreadable image")},
             Case{QStringLiteral("document.jpg"), pdf, QStringLiteral("unreadable image")},
             // A HEIC named .jpg is a photo all the same: HEIF's loader is a trusted one.
             Case{QStringLiteral("heic.jpg"), heicFile(quarteredImage(64, 48), std::nullopt), QStringLiteral("no error")},
         }) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(failureOf(c.name, c.bytes), c.failure);
    }
}

// A stop asked for while the photo decodes ends the decode early and leaves no preview behind.
TEST_F(PhotoPreviewTest, AStopEndsTheDecodeWithoutAPreview)
{
    const QString source = dir.filePath(QStringLiteral("large.png"));
    writeBytes(source, savedByVips(toVips(quarteredImage(3000, 2000)), ".png"));
    const QString output = dir.filePath(QStringLiteral("out.heic"));
    std::atomic<int> asked = 0;
    const std::function<bool()> stopped = [&asked] {
        ++asked;
        return true;
    };
    EXPECT_THROW(makePhotoPreview(source, output, 2000, stopped), DatabaseError);
    EXPECT_GT(asked.load(), 0);
    EXPECT_FALSE(QFile::exists(output));

    makePhotoPreview(source, output, 2000, [] { return false; });
    EXPECT_TRUE(isHeif(readBytes(output).left(64)));
}

TEST(Redraw, ScalesDownOnlyAndLaysAlphaOnWhite)
{
    EXPECT_EQ(redraw(QImage(6000, 4000, QImage::Format_RGB32), 2048).size(), QSize(2048, 1365));
    EXPECT_EQ(redraw(QImage(1000, 800, QImage::Format_RGB32), 2048).size(), QSize(1000, 800));
    EXPECT_TRUE(redraw(QImage(1, 5000, QImage::Format_RGB32), 2048).isNull());

    QImage transparent(10, 10, QImage::Format_ARGB32);
    transparent.fill(QColor(0, 0, 0, 0));
    const QImage drawn = redraw(transparent, 2048);
    EXPECT_FALSE(drawn.hasAlphaChannel());
    EXPECT_EQ(drawn.pixelColor(5, 5), QColor(Qt::white));
}

} // namespace

class DecodePhotoTest : public ::testing::Test {
protected:
    QImage decoded(const QString& name, const QByteArray& bytes, int maxPixelSize)
    {
        const QString path = dir.filePath(name);
        writeBytes(path, bytes);
        return decodePhoto(path, maxPixelSize);
    }

    static QImage filled(int width, int height, Qt::GlobalColor colour)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        return image;
    }

    QTemporaryDir dir;
};

TEST_F(DecodePhotoTest, ComesFromTheFullImageNeverFromTheThumbnailItCarries)
{
    // A blue photo whose embedded thumbnails are red: the picture shows blue.
    ExifFields redThumbnail;
    redThumbnail.thumbnailJpeg = encodedJpeg(filled(160, 120, Qt::red));
    const QImage jpeg = decoded(QStringLiteral("blue.jpg"), jpegWithExif(filled(1600, 1200, Qt::blue), redThumbnail), 440);
    EXPECT_EQ(jpeg.size(), QSize(440, 330));
    EXPECT_EQ(quarterColourAt(jpeg, 220, 165), QStringLiteral("blue"));

    // A HEIF thumbnail larger than the size asked for would be taken by libvips' own thumbnail.
    const QImage heic = decoded(QStringLiteral("blue.heic"), heicFile(filled(1280, 960, Qt::blue), 640, {}, filled(1280, 960, Qt::red)), 440);
    EXPECT_EQ(heic.size(), QSize(440, 330));
    EXPECT_EQ(quarterColourAt(heic, 220, 165), QStringLiteral("blue"));
}

TEST_F(DecodePhotoTest, UprightAndNeverEnlarged)
{
    ExifFields turned;
    turned.orientation = 6;
    const QImage portrait = decoded(QStringLiteral("turned.jpg"), jpegWithExif(quarteredImage(600, 400), turned), 300);
    EXPECT_EQ(portrait.size(), QSize(200, 300));
    // A quarter turn clockwise brings the bottom-left quarter to the top left.
    EXPECT_EQ(quarterColourAt(portrait, 10, 10), QStringLiteral("blue"));
    EXPECT_EQ(quarterColourAt(portrait, 190, 10), QStringLiteral("red"));
    const QImage tile = decodePhotoCovering(dir.filePath(QStringLiteral("turned.jpg")), {100, 100});
    EXPECT_EQ(tile.size(), QSize(100, 100));
    EXPECT_EQ(quarterColourAt(tile, 5, 5), QStringLiteral("blue"));

    EXPECT_EQ(decoded(QStringLiteral("small.jpg"), encodedJpeg(quarteredImage(120, 90)), 440).size(), QSize(120, 90));
}

TEST_F(DecodePhotoTest, CoveringCutsTheMiddleAtTheTileSize)
{
    // A 1600 x 1200 photo covering 200 x 100 is scaled to 200 x 150 and loses 25 rows above and below.
    const QImage quarters = quarteredImage(1600, 1200);
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"quarters.jpg", encodedJpeg(quarters)},
        // 4:2:0 planes from libheif's encoder, with a red thumbnail that must not show.
        {"quarters.heic", heicFile(quarters, 640, {}, filled(1600, 1200, Qt::red))},
        // 4:4:4 planes from libvips' encoder.
        {"quarters444.heic", savedByVips(toVips(quarters), ".heic")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        writeBytes(path, c.bytes);
        const QImage picture = decodePhotoCovering(path, {200, 100});
        ASSERT_EQ(picture.size(), QSize(200, 100));
        EXPECT_EQ(quarterColourAt(picture, 5, 5), QStringLiteral("red"));
        EXPECT_EQ(quarterColourAt(picture, 195, 5), QStringLiteral("green"));
        EXPECT_EQ(quarterColourAt(picture, 5, 95), QStringLiteral("blue"));
        EXPECT_EQ(quarterColourAt(picture, 195, 95), QStringLiteral("white"));
        // Stopped before it starts: no picture.
        EXPECT_THROW(decodePhotoCovering(path, {200, 100}, [] { return true; }), DatabaseError);
    }

    // The colour of the planes turned into RGB as libheif's own conversion would.
    QImage tone(640, 480, QImage::Format_RGB32);
    tone.fill(QColor(200, 120, 40));
    for (const QByteArray& bytes : {heicFile(tone, std::nullopt), savedByVips(toVips(tone), ".heic")}) {
        writeBytes(dir.filePath(QStringLiteral("tone.heic")), bytes);
        const QColor centre = decodePhotoCovering(dir.filePath(QStringLiteral("tone.heic")), {64, 48}).pixelColor(32, 24);
        EXPECT_NEAR(centre.red(), 200, 4);
        EXPECT_NEAR(centre.green(), 120, 4);
        EXPECT_NEAR(centre.blue(), 40, 4);
    }

    // Never enlarged: a photo smaller than the tile keeps its scale, cut to no more than the tile.
    EXPECT_EQ(decoded(QStringLiteral("small.jpg"), encodedJpeg(quarteredImage(120, 90)), 440).size(), QSize(120, 90));
    EXPECT_EQ(decodePhotoCovering(dir.filePath(QStringLiteral("small.jpg")), {200, 60}).size(), QSize(120, 60));
}

TEST_F(DecodePhotoTest, EachHeifPictureIsDecodedOnce)
{
    const QImage quarters = quarteredImage(1600, 1200);
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"420.heic", heicFile(quarters, std::nullopt)},
        {"444.heic", savedByVips(toVips(quarters), ".heic")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        writeBytes(path, c.bytes);
        const std::function<void()> decodes[] = {
            [&] { EXPECT_EQ(decodePhotoCovering(path, {176, 132}).size(), QSize(176, 132)); },
            [&] { EXPECT_EQ(decodePhoto(path, 440).size(), QSize(440, 330)); },
            [&] { makePhotoPreview(path, dir.filePath(QStringLiteral("out.heic")), 800); },
        };
        for (const auto& decode : decodes) {
            heifDecodes = 0;
            decode();
            EXPECT_EQ(heifDecodes.load(), 1);
        }
    }
}
