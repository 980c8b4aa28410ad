#include "FullPreviewFixture.h"

#include "Pellmar/library/engine/FullPreviewBuild.h"
#include "Pellmar/library/engine/ReadGate.h"
#include "Pellmar/platform/Defaults.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class FullPreviewBuildTest : public ::testing::Test {
protected:
    FullPreviewBuildTest() { QDir().mkpath(proxies); }

    std::optional<QString> build(const FullJob& job, std::shared_ptr<const FullRenderers> renderers)
    {
        const FullBuild context{.index = &index, .proxyDirectory = proxies, .sources = {{items.source().id, items.source()}},
                                .defaults = &defaults, .renderers = std::move(renderers), .token = stop.token(),
                                .readingMarks = marks};
        return buildFullPreview(job, context);
    }
    std::optional<QString> build(const FullJob& job) { return build(job, fakes.renderers()); }

    QStringList previewFiles() const { return QDir(proxies).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot); }

    QTemporaryDir dir;
    QString proxies = dir.filePath(QStringLiteral("Proxies"));
    Index index{dir.filePath(QStringLiteral("index.sqlite"))};
    FullPreviewItems items{index, Source{"S1", "Pictures", dir.filePath(QStringLiteral("Pictures")), {}, {}, 1, SourceKind::folder}};
    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    FakeRenderers fakes;
    TaskHandle stop;
    std::shared_ptr<ReadingMarks> marks;
};

// What each kind of item leaves in the preview folder and the index, when a renderer fails too.
TEST_F(FullPreviewBuildTest, EachKindRecordsItsFilesOrItsFailure)
{
    struct Case {
        const char* name;
        MediaKind kind;
        std::function<void(FakeRenderers&)> setUp;
        QString storedPoster;
        QStringList files;
        FullRow row;
    };
    const auto none = [](FakeRenderers&) {};
    const Case cases[] = {
        {"photo", MediaKind::photo, none, "jpg", {"i.heic"}, {"", "heic", "jpg", {}}},
        {"photo that decodes to nothing", MediaKind::photo, [](FakeRenderers& f) { f.photoError = "no decodable image"; },
         "jpg", {}, {"", "", "jpg", "no decodable image"}},
        {"video", MediaKind::video, none, "", {"i.mp4", "i.poster.jpg"}, {"", "mp4", "jpg", {}}},
        {"video whose poster fails", MediaKind::video, [](FakeRenderers& f) { f.posterError = "no frame"; },
         "png", {"i.mp4"}, {"", "mp4", "png", {}}},
        {"video that cannot be exported", MediaKind::video, [](FakeRenderers& f) { f.videoError = "no export session"; },
         "", {"i.poster.jpg"}, {"", "", "", "no export session"}},
        {"document", MediaKind::document, none, "", {"i.png", "i.preview.png"}, {"png", "png", "", {}}},
        {"document with only the small picture", MediaKind::document,
         [](FakeRenderers& f) { f.documentSides = {440}; }, "", {"i.preview.png"}, {"png", "none", "", {}}},
        {"document without a picture", MediaKind::document, [](FakeRenderers& f) { f.documentSides = {}; }, "", {},
         {"", "none", "", {}}},
        {"audio", MediaKind::audio, none, "jpg", {}, {"", "none", "jpg", {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir caseDir;
        proxies = caseDir.path();
        FakeRenderers fake;
        c.setUp(fake);
        const FullJob job = items.add(QString::fromLatin1(c.name), c.kind, 1, c.storedPoster);
        EXPECT_EQ(build(job, fake.renderers()), std::nullopt);
        QStringList expected;
        for (const QString& file : c.files)
            expected.append(QString(file).replace(QStringLiteral("i."), job.itemID + QLatin1Char('.')));
        expected.sort();
        EXPECT_EQ(previewFiles(), expected);
        EXPECT_EQ(items.row(job.itemID), c.row);
    }
}

// The small picture cannot be written (a folder stands in its place): the item fails without a try at
// the large one.
TEST_F(FullPreviewBuildTest, ADocumentWhoseSmallPictureCannotBeWrittenStopsThere)
{
    const FullJob job = items.add("doc", MediaKind::document);
    QDir().mkpath(proxies + QStringLiteral("/doc.preview.png"));
    EXPECT_EQ(build(job), std::nullopt);
    EXPECT_EQ(items.row("doc"), (FullRow{"", "", "", "cannot create proxy"}));
    EXPECT_EQ(fakes.calls(), QStringList{"doc.file document 440"});
}

TEST_F(FullPreviewBuildTest, PhotosUseTheProxySizeSetAtTheirTurn)
{
    defaults.registerDefaults({{"proxySize", 2048}});
    const struct {
        QVariant stored;
        const char* asked;
    } cases[] = {{QVariant(), "photo 2048"}, {1024, "photo 1024"}, {640, "photo 640"}, {0, "photo 2048"}};
    int n = 0;
    for (const auto& c : cases) {
        if (c.stored.isValid())
            defaults.set("proxySize", c.stored);
        const FullJob job = items.add(QStringLiteral("p%1").arg(++n), MediaKind::photo);
        build(job);
        EXPECT_EQ(fakes.calls().constLast(), job.relativePath + QLatin1Char(' ') + QLatin1String(c.asked));
    }
}

// A file over 32 MiB is rendered holding the shared read gate, which is free again afterwards.
TEST_F(FullPreviewBuildTest, OnlyFilesOver32MiBHoldTheReadGate)
{
    auto renderers = std::make_shared<FullRenderers>(*fakes.renderers());
    std::optional<bool> heldWhileRendering;
    renderers->photo = [&](const QString&, const QString&, int, const FullRenderers::IsCancelled&) { heldWhileRendering = ReadGate::shared().isHeld(); };
    for (const auto& [size, gated] : {std::pair<qint64, bool>{33'554'432, false}, {33'554'433, true}}) {
        heldWhileRendering.reset();
        build(items.add(QString::number(size), MediaKind::photo, size), renderers);
        EXPECT_EQ(heldWhileRendering, gated) << size;
        EXPECT_FALSE(ReadGate::shared().isHeld());
    }
}

// An item is marked while its files are rendered, so that one whose render ends the program fails
// at the next start; the mark goes when the render ends, however it ends.
TEST_F(FullPreviewBuildTest, AnItemIsMarkedWhileItIsRendered)
{
    const QString marksFile = dir.filePath(QStringLiteral("reading.marks"));
    marks = std::make_shared<ReadingMarks>(marksFile);
    auto renderers = std::make_shared<FullRenderers>(*fakes.renderers());
    QStringList markedDuringRender;
    renderers->photo = [&](const QString&, const QString&, int, const FullRenderers::IsCancelled&) {
        markedDuringRender = ReadingMarks(marksFile).left().itemIDs;
        throw DatabaseError(QStringLiteral("no decodable image"));
    };
    EXPECT_EQ(build(items.add("photo", MediaKind::photo), renderers), std::nullopt);
    EXPECT_EQ(markedDuringRender, QStringList{QStringLiteral("photo")});
    EXPECT_TRUE(ReadingMarks(marksFile).left().isEmpty());
}

// A stop cuts a video export short; the item is no failure and waits for the next run.
TEST_F(FullPreviewBuildTest, AStoppedRenderRecordsNothing)
{
    const FullJob job = items.add("clip", MediaKind::video);
    stop.cancel();
    EXPECT_EQ(build(job), std::nullopt);
    EXPECT_EQ(items.row("clip"), (FullRow{"", "", "", {}}));
}

// A drive unplugged while its photo renders: the failed read is no failure of the item, which waits
// and renders once the drive is back. The media layer's renderers on a real folder.
TEST_F(FullPreviewBuildTest, AnItemWhoseDriveWentAwayDuringItsRenderWaitsForIt)
{
    const FullJob job = items.add("jpeg", MediaKind::photo);
    QImage photo(320, 200, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    const QString root = items.source().rootPath;
    ASSERT_TRUE(photo.save(root + QLatin1Char('/') + job.relativePath, "JPEG"));
    defaults.set("proxySize", 256);
    auto renderers = std::make_shared<FullRenderers>(*FullRenderers::system(defaults));
    const auto render = renderers->photo;
    bool unplug = true;
    renderers->photo = [&](const QString& file, const QString& output, int size, const FullRenderers::IsCancelled& stop) {
        if (unplug)
            ASSERT_TRUE(QDir().rename(root, root + QStringLiteral(" (away)")));
        render(file, output, size, stop);
    };

    EXPECT_EQ(build(job, renderers), std::nullopt);
    EXPECT_EQ(items.row("jpeg"), (FullRow{"", "", "", {}}));

    ASSERT_TRUE(QDir().rename(root + QStringLiteral(" (away)"), root));
    unplug = false;
    EXPECT_EQ(build(job, renderers), std::nullopt);
    EXPECT_EQ(items.row("jpeg"), (FullRow{"", "heic", "", {}}));
}

TEST_F(FullPreviewBuildTest, AnIndexThatTakesNothingIsReported)
{
    const FullJob job = items.add("photo", MediaKind::photo);
    items.refuseItemWrites();
    const std::optional<QString> reason = build(job);
    ASSERT_TRUE(reason.has_value());
    EXPECT_FALSE(reason->isEmpty());
    EXPECT_EQ(items.row("photo"), (FullRow{"", "", "", {}}));
}

TEST_F(FullPreviewBuildTest, SourcesAreRenderableOnlyOnTheirOwnVolume)
{
    const auto renderers = FullRenderers::system(defaults);
    const QString root = items.source().rootPath;
    const struct {
        Source source;
        bool renderable;
    } cases[] = {
        {{"here", "Here", root, {}, {}, 1, SourceKind::folder}, true},
        {{"unplugged", "Gone", dir.filePath("Gone"), {}, {}, 1, SourceKind::folder}, false},
        {{"other disk", "Drive", root, "0000-NOT-THIS-VOLUME", "Drive", 1, SourceKind::folder}, false},
    };
    for (const auto& c : cases) {
        const FullBuild context{.sources = {{c.source.id, c.source}}, .renderers = renderers};
        EXPECT_EQ(renderableSources(context), c.renderable ? QStringList{c.source.id} : QStringList()) << c.source.id.toStdString();
    }
}

// The media layer's renderers on a real photo.
TEST_F(FullPreviewBuildTest, ASmallJpegGetsAHeicProxy)
{
    const FullJob job = items.add("jpeg", MediaKind::photo);
    QImage photo(320, 200, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    ASSERT_TRUE(photo.save(items.source().rootPath + QLatin1Char('/') + job.relativePath, "JPEG"));
    defaults.set("proxySize", 256);

    EXPECT_EQ(build(job, FullRenderers::system(defaults)), std::nullopt);
    EXPECT_EQ(items.row("jpeg"), (FullRow{"", "heic", "", {}}));
    EXPECT_GT(QFileInfo(proxies + QStringLiteral("/jpeg.heic")).size(), 0);
    EXPECT_EQ(previewFiles(), (QStringList{"jpeg.heic", "jpeg.tile.jpg"}));   // the proxy with its tile image
}

} // namespace
