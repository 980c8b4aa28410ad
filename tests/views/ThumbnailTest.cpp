#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/views/grid/Thumbnail.h"
#include "Pellmar/views/grid/TilePictures.h"

#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class ThumbnailTest : public ::testing::Test {
protected:
    // A JPEG of one colour.
    QString picture(const QString& name, Qt::GlobalColor colour, QSize size = {800, 600})
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, "JPEG"));
        return path;
    }

    static QColor centre(const QImage& image) { return image.pixelColor(image.width() / 2, image.height() / 2); }

    QTemporaryDir dir;
    TaskPools pools;
};

TEST_F(ThumbnailTest, ANewPathShowsThePlaceholderThenTheNewPictureAndReportsEachOnce)
{
    Thumbnail view(pools, 440);
    view.resize(200, 150);
    view.show();
    QSignalSpy loaded(&view, &Thumbnail::loaded);

    view.setPath(picture(QStringLiteral("a.jpg"), Qt::red));
    ASSERT_TRUE(loaded.wait(5000));
    // Scaled to the view on the decoding thread: painting only draws.
    EXPECT_EQ(view.picture().size(), QSize(200, 150));
    EXPECT_GT(centre(view.picture()).red(), 200);

    // A new size is decoded again; the same path is not announced again.
    view.resize(120, 60);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.picture().size() == QSize(120, 60); }, 5000));
    EXPECT_EQ(loaded.count(), 1);

    view.setPath(picture(QStringLiteral("b.jpg"), Qt::blue));
    EXPECT_FALSE(view.hasPicture());   // the placeholder at once
    ASSERT_TRUE(loaded.wait(5000));
    EXPECT_EQ(loaded.count(), 2);
    EXPECT_GT(centre(view.picture()).blue(), 200);

    view.setPath(view.path());        // the same path: nothing is decoded again
    EXPECT_TRUE(view.hasPicture());
}

TEST_F(ThumbnailTest, APictureForAPathNoLongerShownIsDropped)
{
    Thumbnail view(pools, 440);
    view.show();
    QSignalSpy loaded(&view, &Thumbnail::loaded);
    view.setPath(picture(QStringLiteral("a.jpg"), Qt::red));
    view.setPath(picture(QStringLiteral("b.jpg"), Qt::blue));
    ASSERT_TRUE(loaded.wait(5000));
    EXPECT_EQ(loaded.count(), 1);
    EXPECT_GT(centre(view.picture()).blue(), 200);
}

TEST_F(ThumbnailTest, NoPathOrNoImageLeavesThePlaceholderSilently)
{
    Thumbnail view(pools, 440);
    view.show();
    QSignalSpy loaded(&view, &Thumbnail::loaded);
    view.setPath(std::nullopt);
    view.setPath(dir.filePath(QStringLiteral("missing.jpg")));
    view.setPath(std::nullopt);
    // A picture shown after them proves that nothing of theirs arrived first.
    view.setPath(picture(QStringLiteral("c.jpg"), Qt::green));
    ASSERT_TRUE(loaded.wait(5000));
    EXPECT_EQ(loaded.count(), 1);

    QFile text(dir.filePath(QStringLiteral("notes.jpg")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    view.setPath(text.fileName());
    EXPECT_FALSE(view.hasPicture());
}

TEST_F(ThumbnailTest, TilePicturesKeepOnlyTheTilesOnAndNearTheScreen)
{
    TilePictures pictures(pools, 440);
    QSignalSpy ready(&pictures, &TilePictures::pictureReady);
    const QString red = picture(QStringLiteral("red.jpg"), Qt::red);
    const QString blue = picture(QStringLiteral("blue.jpg"), Qt::blue);

    pictures.setTiles({{QStringLiteral("A"), red}}, {{QStringLiteral("B"), blue}}, {100, 100});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.count() == 2; }, 5000));
    // Scaled to cover the tile on the decoding thread.
    EXPECT_EQ(pictures.pixmap(QStringLiteral("A"), red).size(), QSize(100, 100));
    EXPECT_TRUE(pictures.pixmap(QStringLiteral("A"), blue).isNull());   // another file

    // A scrolled away: its picture goes; B now shows the red file and is decoded again.
    pictures.setTiles({{QStringLiteral("B"), red}}, {}, {100, 100});
    EXPECT_TRUE(pictures.pixmap(QStringLiteral("A"), red).isNull());
    EXPECT_TRUE(pictures.pixmap(QStringLiteral("B"), red).isNull());
    ASSERT_TRUE(ready.wait(5000));
    EXPECT_EQ(ready.last().at(0).toString(), QStringLiteral("B"));
    EXPECT_FALSE(pictures.pixmap(QStringLiteral("B"), red).isNull());
    EXPECT_EQ(pictures.decodedCount(), 1);

    // Wider tiles: the old picture shows until the new size arrives.
    pictures.setTiles({{QStringLiteral("B"), red}}, {}, {160, 120});
    EXPECT_EQ(pictures.pixmap(QStringLiteral("B"), red).size(), QSize(100, 100));
    ASSERT_TRUE(ready.wait(5000));
    EXPECT_EQ(pictures.pixmap(QStringLiteral("B"), red).size(), QSize(160, 120));
}

TEST_F(ThumbnailTest, TilesScrolledBackShowTheirPictureWithoutDecodingAgain)
{
    TilePictures pictures(pools, 440);
    QSignalSpy ready(&pictures, &TilePictures::pictureReady);
    const QString red = picture(QStringLiteral("red.jpg"), Qt::red);
    const QString blue = picture(QStringLiteral("blue.jpg"), Qt::blue);

    pictures.setTiles({{QStringLiteral("A"), red}}, {}, {100, 100});
    ASSERT_TRUE(ready.wait(5000));
    pictures.setTiles({{QStringLiteral("B"), blue}}, {}, {100, 100});
    ASSERT_TRUE(ready.wait(5000));

    // A comes back: its picture shows at once.
    pictures.setTiles({{QStringLiteral("A"), red}}, {}, {100, 100});
    EXPECT_EQ(pictures.pixmap(QStringLiteral("A"), red).size(), QSize(100, 100));
    // B comes back showing another file: decoded again, and that is the only decode since.
    pictures.setTiles({{QStringLiteral("A"), red}, {QStringLiteral("B"), red}}, {}, {100, 100});
    EXPECT_TRUE(pictures.pixmap(QStringLiteral("B"), red).isNull());
    ASSERT_TRUE(ready.wait(5000));
    EXPECT_EQ(ready.count(), 3);
    EXPECT_EQ(ready.last().at(0).toString(), QStringLiteral("B"));
}

TEST_F(ThumbnailTest, ATileShowsTheTileImageOnlyWhenItCoversTheTile)
{
    // The file is red and its tile image blue: the picture tells which one was decoded.
    const QString file = picture(QStringLiteral("item.jpg"), Qt::red);
    const QString tileImage = picture(QStringLiteral("item.tile.jpg"), Qt::blue, {469, 352});
    QFile text(dir.filePath(QStringLiteral("notes.tile.jpg")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    struct Case {
        const char* name;
        QString tileImage;
        QSize tile;
        Qt::GlobalColor shown;
    };
    for (const Case& c : {
             Case{"larger than the tile", tileImage, {176, 132}, Qt::blue},
             Case{"the tile's size", tileImage, {469, 352}, Qt::blue},
             Case{"smaller than the tile", tileImage, {400, 400}, Qt::red},
             Case{"none written yet", dir.filePath(QStringLiteral("missing.tile.jpg")), {176, 132}, Qt::red},
             Case{"not a picture", text.fileName(), {176, 132}, Qt::red},
             Case{"none for this file", QString(), {176, 132}, Qt::red},
         }) {
        SCOPED_TRACE(c.name);
        TilePictures pictures(pools, 2048);
        QSignalSpy ready(&pictures, &TilePictures::pictureReady);
        pictures.setTiles({{QStringLiteral("A"), file, c.tileImage}}, {}, c.tile);
        ASSERT_TRUE(ready.wait(5000));
        const QImage shown = pictures.pixmap(QStringLiteral("A"), file).toImage();
        EXPECT_EQ(shown.size(), c.tile);
        EXPECT_GT(c.shown == Qt::blue ? centre(shown).blue() : centre(shown).red(), 200);
    }
}

} // namespace
