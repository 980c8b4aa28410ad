#include "Pellmar/media/PhotosPreviews.h"

#include "Pellmar/media/MediaInfo.h"
#include "Pellmar/platform/MemoryPhotoLibrary.h"
#include "tests/index/IndexFixture.h"
#include "tests/media/MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>
#include <vips/vips8>

namespace {

PhotoAsset asset(const QString& id, PhotoMediaType type)
{
    PhotoAsset asset;
    asset.localIdentifier = id;
    asset.mediaType = type;
    return asset;
}

QSize heicSize(const QString& path)
{
    const vips::VImage image = vips::VImage::new_from_file(QFile::encodeName(path).constData());
    return {image.width(), image.height()};
}

class PhotosPreviewsTest : public IndexFixture {
protected:
    PhotosPreviewsTest()
    {
        addSource(QStringLiteral("Photos"), SourceKind::photos);
        QDir().mkpath(previews);
        settings.registerDefaults({{QStringLiteral("proxySize"), 2048}, {QStringLiteral("videoProxy"), 720}});
    }

    // An item of the photo library waiting for its larger previews.
    FullJob waitingItem(const QString& itemID, MediaKind kind, const QString& posterExtension = {})
    {
        addItem({.id = itemID, .kind = kind, .posterExt = posterExtension});
        return FullJob{itemID, QStringLiteral("Photos"), itemID, kind, itemID, {}};
    }

    void build(const FullJob& job, const std::function<bool()>& isCancelled = {})
    {
        buildPhotosFullPreview(job, index, previews, library, isCancelled, settings);
    }

    QString itemColumn(const QString& column, const QString& itemID)
    {
        return text(QStringLiteral("SELECT %1 FROM items WHERE id = ?").arg(column), {itemID});
    }
    QString previewFile(const QString& name) const { return QDir(previews).filePath(name); }

    QString previews = dir.filePath(QStringLiteral("Proxies"));
    MemoryPhotoLibrary library;
    Defaults settings{dir.filePath(QStringLiteral("settings.conf"))};
};

TEST_F(PhotosPreviewsTest, PhotoGetsAHeicAtTheProxySizeAndItsExistingPreviewIsRedrawn)
{
    struct Case {
        const char* name;
        std::optional<qint64> proxySize;   // stored by the user; none: the registered 2048
        bool hadPreview;
        QSize heic;
    };
    for (const Case& c : {Case{"default", std::nullopt, false, {2048, 1536}}, Case{"1000", 1000, true, {1000, 750}},
                          Case{"unusable", 0, false, {2048, 1536}}}) {
        SCOPED_TRACE(c.name);
        const QString id = QString::fromLatin1(c.name);
        if (c.proxySize)
            settings.set(QStringLiteral("proxySize"), *c.proxySize);
        else
            settings.remove(QStringLiteral("proxySize"));
        library.addAsset(asset(id, PhotoMediaType::image), {}, quarteredImage(400, 300));
        const QString preview = previewFile(id + QStringLiteral(".preview.jpg"));
        if (c.hadPreview)
            writeBytes(preview, encodedJpeg(QImage(64, 48, QImage::Format_RGB32)));

        build(waitingItem(id, MediaKind::photo));

        EXPECT_EQ(itemColumn(QStringLiteral("proxy_ext"), id), QStringLiteral("heic"));
        EXPECT_EQ(itemColumn(QStringLiteral("full_error"), id), QString());
        EXPECT_EQ(heicSize(previewFile(id + QStringLiteral(".heic"))), c.heic);
        EXPECT_EQ(QImage(previewFile(id + QStringLiteral(".tile.jpg"))).size(), QSize(469, 352));
        EXPECT_EQ(QFile::exists(preview), c.hadPreview) << "a preview is only refreshed, never made";
        if (c.hadPreview) {
            const QImage redrawn(preview);
            EXPECT_EQ(redrawn.size(), QSize(640, 480));
            EXPECT_EQ(quarterColourAt(redrawn, 600, 440), QStringLiteral("white"));
        }
    }
}

TEST_F(PhotosPreviewsTest, VideoGetsAPosterAndAProxyWhenItsFileIsHere)
{
    struct Case {
        const char* name;
        bool rendered;
        bool fileHere;
        QString storedPoster;
        QString proxyExtension;
        QString posterExtension;
    };
    const QString jpg = QStringLiteral("jpg");
    for (const Case& c : {Case{"rendered and here", true, true, {}, QStringLiteral("mp4"), jpg},
                          Case{"no poster image", false, true, jpg, QStringLiteral("mp4"), jpg},
                          Case{"only in the cloud", true, false, {}, QStringLiteral("none"), jpg}}) {
        SCOPED_TRACE(c.name);
        const QString id = QString::fromLatin1(c.name);
        library.addAsset(asset(id, PhotoMediaType::video), {}, c.rendered ? quarteredImage(1920, 1080) : QImage());
        if (c.fileHere)
            library.setVideoFile(id, mediaFixture(QStringLiteral("counter.mp4")));

        build(waitingItem(id, MediaKind::video, c.storedPoster));

        EXPECT_EQ(itemColumn(QStringLiteral("full_error"), id), QString());
        EXPECT_EQ(itemColumn(QStringLiteral("proxy_ext"), id), c.proxyExtension);
        EXPECT_EQ(itemColumn(QStringLiteral("poster_ext"), id), c.posterExtension);
        EXPECT_EQ(QImage(previewFile(id + QStringLiteral(".poster.jpg"))).size(),
                  c.rendered ? QSize(1280, 720) : QSize(0, 0));
        EXPECT_EQ(readVideoMetadata(previewFile(id + QStringLiteral(".mp4"))).duration > 0, c.fileHere);
    }
}

TEST_F(PhotosPreviewsTest, AudioAndDocumentItemsGetNoProxy)
{
    for (const auto& [id, kind] : {std::pair(QStringLiteral("memo"), MediaKind::audio),
                                   std::pair(QStringLiteral("scan"), MediaKind::document)}) {
        library.addAsset(asset(id, PhotoMediaType::audio), {}, quarteredImage(400, 300));
        build(waitingItem(id, kind));
        EXPECT_EQ(itemColumn(QStringLiteral("proxy_ext"), id), QStringLiteral("none"));
        EXPECT_EQ(itemColumn(QStringLiteral("poster_ext"), id), QString());
    }
    EXPECT_TRUE(QDir(previews).isEmpty());
}

TEST_F(PhotosPreviewsTest, FailuresAreStoredWithTheItem)
{
    struct Case {
        const char* name;
        MediaKind kind;
        QString error;
    };
    library.addAsset(asset(QStringLiteral("not rendered"), PhotoMediaType::image));
    library.addAsset(asset(QStringLiteral("unwritable"), PhotoMediaType::image), {}, quarteredImage(400, 300));
    library.addAsset(asset(QStringLiteral("not a video"), PhotoMediaType::video));
    const QString noise = dir.filePath(QStringLiteral("noise.mov"));
    writeBytes(noise, QByteArray(3000, '\x17'));
    library.setVideoFile(QStringLiteral("not a video"), noise);
    const QList<Case> cases{
        {"gone", MediaKind::photo, QStringLiteral("no longer in the Photos library")},
        {"not rendered", MediaKind::photo, QStringLiteral("original is not on this computer")},
        {"unwritable", MediaKind::photo, QStringLiteral("cannot create proxy")},
        {"not a video", MediaKind::video, QStringLiteral("no export session")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString id = QString::fromLatin1(c.name);
        previews = dir.filePath(id == QStringLiteral("unwritable") ? QStringLiteral("no such folder")
                                                                   : QStringLiteral("Proxies"));

        build(waitingItem(id, c.kind));

        EXPECT_EQ(itemColumn(QStringLiteral("full_error"), id), c.error);
        EXPECT_EQ(itemColumn(QStringLiteral("proxy_ext"), id), QString());
    }
}

TEST_F(PhotosPreviewsTest, StoppedExportLeavesTheItemWaiting)
{
    library.addAsset(asset(QStringLiteral("long"), PhotoMediaType::video));
    library.setVideoFile(QStringLiteral("long"), mediaFixture(QStringLiteral("hd.mp4")));
    int asked = 0;

    build(waitingItem(QStringLiteral("long"), MediaKind::video), [&asked] { return ++asked > 3; });

    EXPECT_EQ(integer(QStringLiteral("SELECT COUNT(*) FROM items WHERE id = 'long' AND proxy_ext = '' AND "
                                     "full_error IS NULL")),
              1)
        << "still waiting for larger previews";
    EXPECT_FALSE(QFile::exists(previewFile(QStringLiteral("long.mp4"))));
}

} // namespace
