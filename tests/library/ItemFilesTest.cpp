#include "ItemLibraryFixture.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>

#include <ostream>

namespace {

struct PreviewCase {
    const char* name;
    MediaKind kind;
    QString preview, proxy, poster;
    std::optional<QString> previewURL, imageURL, proxyURL;   // file names in "Proxies"
    bool viewable = false;
    std::optional<QString> tileImageURL = std::nullopt;   // only beside a proxy the grid shows
};

void PrintTo(const PreviewCase& c, std::ostream* out) { *out << c.name; }

class PreviewURLTest : public ItemLibraryFixture, public ::testing::WithParamInterface<PreviewCase> {
protected:
    std::optional<QString> inProxies(const std::optional<QString>& name) const
    {
        return name ? std::optional(library->proxyDirectory() + u'/' + *name) : std::nullopt;
    }
};

TEST_P(PreviewURLTest, ChoosesThePreviewFiles)
{
    const PreviewCase& c = GetParam();
    Item subject = item(QStringLiteral("I"), c.kind);
    subject.previewExtension = c.preview;
    subject.proxyExtension = c.proxy;
    subject.posterExtension = c.poster;
    EXPECT_EQ(library->previewURL(subject), inProxies(c.previewURL));
    EXPECT_EQ(library->imageURL(subject), inProxies(c.imageURL));
    EXPECT_EQ(library->proxyURL(subject), inProxies(c.proxyURL));
    EXPECT_EQ(library->canView(subject), c.viewable);
    EXPECT_EQ(library->tileImageURL(subject), inProxies(c.tileImageURL));
}

INSTANTIATE_TEST_SUITE_P(
    Items, PreviewURLTest,
    ::testing::Values(
        PreviewCase{"VideoPosterBeforePreview", MediaKind::video, "jpg", "mp4", "jpg", "I.poster.jpg", "I.poster.jpg",
                    "I.mp4", true},
        PreviewCase{"VideoWithoutProxyIsNotViewable", MediaKind::video, "jpg", "", "", "I.preview.jpg",
                    "I.preview.jpg", std::nullopt, false},
        PreviewCase{"HeicProxyStandsInForAMissingPreview", MediaKind::photo, "", "heic", "", "I.heic", "I.heic",
                    "I.heic", true, "I.tile.jpg"},
        PreviewCase{"PngProxyIsTheImage", MediaKind::photo, "jpg", "png", "", "I.preview.jpg", "I.png", "I.png", true},
        PreviewCase{"PhotoWithNothingIsNotViewable", MediaKind::photo, "", "", "", std::nullopt, std::nullopt,
                    std::nullopt, false},
        PreviewCase{"AudioHasNoProxy", MediaKind::audio, "", "none", "", std::nullopt, std::nullopt, std::nullopt,
                    false},
        PreviewCase{"DocumentIsNeverViewable", MediaKind::document, "jpg", "", "", "I.preview.jpg", "I.preview.jpg",
                    std::nullopt, false}),
    [](const ::testing::TestParamInfo<PreviewCase>& info) { return std::string(info.param.name); });

// Sources: ON (an online folder with one real file, "here.jpg"), OFF (offline), CLOUD (an online
// folder in the cloud drive's place) and PH (the photo library).
class ReachableTest : public ItemLibraryFixture {
protected:
    ReachableTest()
    {
        QDir().mkpath(root);
        QFile file(root + QStringLiteral("/here.jpg"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        library->setSources({
            Source{.id = "ON", .name = "Online", .rootPath = root},
            Source{.id = "OFF", .name = "Drive", .rootPath = "/media/Drive"},
            Source{.id = "CLOUD", .name = "Cloud", .rootPath = homePath() + "/Library/Mobile Documents/x"},
            Source{.id = "PH", .name = "Photos", .kind = SourceKind::photos},
        });
        library->setOnline({"ON", "CLOUD", "PH"});
    }

    static Location copy(const QString& sourceID, const QString& path, bool local = true, const QString& asset = {})
    {
        return Location{.sourceID = sourceID, .sourceName = sourceID, .relativePath = path, .local = local,
                        .assetID = asset};
    }

    void writeProxyFile(const QString& name)
    {
        QFile file(library->proxyDirectory() + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QString root = dir.filePath(QStringLiteral("Online"));
    const Location offline = copy("OFF", "here.jpg");
    const Location inPhotos = copy("PH", "IMG_1.jpg", true, "ASSET-1");
    const Location placeholder = copy("ON", "here.jpg", false);
    const Location missing = copy("ON", "gone.jpg");
    const Location present = copy("ON", "here.jpg");
};

TEST_F(ReachableTest, OnlyALocalFileOnAnOnlineFolderIsReachable)
{
    EXPECT_EQ(library->url(present), root + QStringLiteral("/here.jpg"));
    EXPECT_EQ(library->url(missing), root + QStringLiteral("/gone.jpg"));   // not checked
    EXPECT_FALSE(library->url(offline));
    EXPECT_FALSE(library->url(inPhotos));
    EXPECT_FALSE(library->url(copy("NOWHERE", "here.jpg")));

    const QList<Location> copies{offline, inPhotos, placeholder, missing, present};
    EXPECT_EQ(library->reachableURL(copies), present);
    EXPECT_EQ(QCoro::waitFor(library->reachableCopy(copies)), present);
    EXPECT_FALSE(library->reachableURL({offline, inPhotos, placeholder, missing}));
    EXPECT_FALSE(QCoro::waitFor(library->reachableCopy({offline, placeholder})));
}

TEST_F(ReachableTest, BestFileIsTheOriginalElseAPreviewButNeverForADocument)
{
    Item photo = item(QStringLiteral("P"));
    photo.previewExtension = QStringLiteral("jpg");
    photo.proxyExtension = QStringLiteral("heic");
    Item document = item(QStringLiteral("D"), MediaKind::document);
    document.previewExtension = QStringLiteral("jpg");
    library->setItemLocations({{"P", {offline}}, {"D", {offline}}});
    writeProxyFile(QStringLiteral("D.preview.jpg"));
    writeProxyFile(QStringLiteral("P.preview.jpg"));

    EXPECT_FALSE(library->bestFileURL(document));
    EXPECT_EQ(library->bestFileURL(photo), library->previewURL(photo));
    writeProxyFile(QStringLiteral("P.heic"));
    EXPECT_EQ(library->bestFileURL(photo), library->proxyURL(photo));
    library->setItemLocations({{"P", {offline, present}}});
    EXPECT_EQ(library->bestFileURL(photo), root + QStringLiteral("/here.jpg"));
}

TEST_F(ReachableTest, CloudCopiesAreFoundInCopyOrder)
{
    const auto cloudOf = [&](const QList<Location>& copies) {
        const auto found = library->isCloudFile(copies);
        return found ? found->location.relativePath + (found->downloaded ? " downloaded" : " in the cloud")
                     : QString();
    };
    EXPECT_EQ(cloudOf({offline, inPhotos, present}), QString());
    EXPECT_EQ(cloudOf({offline, copy("ON", "p.jpg", false), copy("CLOUD", "c.jpg")}), "p.jpg in the cloud");
    EXPECT_EQ(cloudOf({present, copy("CLOUD", "c.jpg")}), "c.jpg downloaded");

    const Location inHome{.sourceID = "HOME", .relativePath = "synced.jpg", .local = true};
    library->setSources(QList<Source>(library->sources()) << Source{.id = "HOME", .rootPath = homePath()});
    library->setOnline(QSet<QString>(library->online()) << "HOME");
    EXPECT_EQ(cloudOf({inHome}), QString());
    cloud.cloudItems = {homePath() + "/synced.jpg"};
    EXPECT_EQ(cloudOf({inHome}), "synced.jpg downloaded");
}

TEST_F(ReachableTest, FavoritesOfPhotoLibraryItemsComeFromThePhotoLibrary)
{
    library->setFavorites({"MIXED", "NONE"});
    library->setPhotoFavorites({"ONLY"});
    library->setItemLocations({{"ONLY", {inPhotos, inPhotos}}, {"MIXED", {inPhotos, present}}, {"NONE", {}}});
    EXPECT_EQ(library->photosAssetIDs(item("ONLY")), (QStringList{"ASSET-1", "ASSET-1"}));
    EXPECT_FALSE(library->photosAssetIDs(item("MIXED")));
    EXPECT_FALSE(library->photosAssetIDs(item("NONE")));
    EXPECT_TRUE(library->isFavorite(item("ONLY")));
    EXPECT_TRUE(library->isFavorite(item("MIXED")));
    EXPECT_TRUE(library->isFavorite(item("NONE")));
    library->setFavorites({});
    library->setPhotoFavorites({"MIXED"});
    EXPECT_FALSE(library->isFavorite(item("ONLY")));
    EXPECT_FALSE(library->isFavorite(item("MIXED")));
}

TEST_F(ReachableTest, LocationsComeFromTheGridThenTheInspectorThenTheIndex)
{
    addSource(QStringLiteral("S1"));
    addItem({.id = QStringLiteral("X")});
    addFile({.sourceID = QStringLiteral("S1"), .relPath = QStringLiteral("x.jpg"), .itemID = QStringLiteral("X")});
    ASSERT_EQ(library->locationsOf(item("X")).size(), 1);
    EXPECT_EQ(library->locationsOf(item("X")).first().relativePath, QStringLiteral("x.jpg"));

    library->setSelection(item("X"));
    library->setLocations({present});
    EXPECT_EQ(library->locationsOf(item("X")), QList<Location>{present});
    library->setItemLocations({{"X", {offline}}});
    EXPECT_EQ(library->locationsOf(item("X")), QList<Location>{offline});
}

} // namespace
