#include "FolderSourceFixture.h"

#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/platform/MemoryPhotoLibrary.h"

namespace {

class FavoritesTest : public FolderSourceFixture {
protected:
    FavoritesTest()
    {
        addSource(QStringLiteral("P"), SourceKind::photos, 2);
        for (const char* id : {"p", "q"}) {
            const QString name = QString::fromLatin1(id);
            addItem({.id = name, .filename = name + QStringLiteral(".heic")});
            addFile({.sourceID = QStringLiteral("P"), .relPath = name + QStringLiteral(".heic"), .itemID = name,
                     .assetID = QStringLiteral("asset-") + name});
        }
        photos->addAsset(PhotoAsset{.localIdentifier = QStringLiteral("asset-p")});
        setSharedPhotoLibrary(photos);
    }
    ~FavoritesTest() override
    {
        waitForTasks();
        setSharedPhotoLibrary(nullptr);
    }

    std::shared_ptr<MemoryPhotoLibrary> photos = std::make_shared<MemoryPhotoLibrary>();
};

TEST_F(FavoritesTest, AFolderItemIsAFavoriteOfTheWorkspaceAndOnlyChangedItemsFlip)
{
    addCopy(QStringLiteral("f.jpg"), {.id = "f"});
    addCopy(QStringLiteral("g.jpg"), {.id = "g"});
    const Item f{.id = QStringLiteral("f")};
    const Item g{.id = QStringLiteral("g")};

    library.flipFavorite(f);
    EXPECT_EQ(library.favorites(), QSet<QString>{"f"});   // the star flips before the write
    waitForTasks();
    library.setFavorites(true, {f, g});
    waitForTasks();
    EXPECT_EQ(index.favoriteIDs(Index::everythingWorkspaceID), QSet<QString>({"f", "g"}));
    EXPECT_EQ(library.favoriteCount(), 2);

    library.setFavorites(false, {f});
    waitForTasks();
    EXPECT_EQ(library.favorites(), QSet<QString>{"g"});
    EXPECT_EQ(index.favoriteIDs(Index::everythingWorkspaceID), QSet<QString>{"g"});
    EXPECT_EQ(library.favoriteCount(), 1);
}

TEST_F(FavoritesTest, APhotoLibraryItemChangesInTheLibraryFirst)
{
    library.flipFavorite(Item{.id = QStringLiteral("p"), .filename = QStringLiteral("p.heic")});
    EXPECT_TRUE(library.photoFavorites().isEmpty());
    waitForTasks();

    EXPECT_EQ(library.photoFavorites(), QSet<QString>{"p"});
    EXPECT_TRUE(photos->fetchAssets(QStringList{"asset-p"}).value(0).favorite);
    EXPECT_EQ(index.photoFavoriteIDs(), QSet<QString>{"p"});
    EXPECT_TRUE(library.favorites().isEmpty());
    EXPECT_EQ(library.lastError(), std::nullopt);
}

TEST_F(FavoritesTest, AnAssetTheLibraryNoLongerHasKeepsItsState)
{
    library.flipFavorite(Item{.id = QStringLiteral("q"), .filename = QStringLiteral("q.heic")});
    waitForTasks();

    EXPECT_EQ(library.lastError(),
              "Photo Library did not change the favorite for q.heic. The photo is no longer in the library.");
    EXPECT_TRUE(library.photoFavorites().isEmpty());
    EXPECT_TRUE(index.photoFavoriteIDs().isEmpty());
}

} // namespace
