#include "tests/index/IndexFixture.h"

#include <sqlite3.h>

namespace {

QStringList pathsOf(const QList<Location>& locations)
{
    QStringList paths;
    for (const Location& location : locations)
        paths.append(location.sourceID + u':' + location.relativePath);
    return paths;
}

// Source B was added before A, and P is the photo library; p1 is one asset in three albums.
class PanelQueryTest : public IndexFixture {
protected:
    PanelQueryTest()
    {
        addSource("A", SourceKind::folder, 200);
        addSource("B", SourceKind::folder, 100);
        addSource("P", SourceKind::photos, 300);

        addItem({.id = "a1", .capturedAt = 1000});
        addFile({.sourceID = "A", .relPath = "x/a1.jpg", .itemID = "a1", .size = 10, .mtime = 11});
        addFile({.sourceID = "B", .relPath = "a1.jpg", .itemID = "a1", .size = 20, .mtime = 12});
        addItem({.id = "a2", .kind = MediaKind::video, .capturedAt = 3000});
        addFile({.sourceID = "A", .relPath = "x/a2.mov", .itemID = "a2", .size = 100, .local = false});
        addItem({.id = "d1", .kind = MediaKind::document});
        addFile({.sourceID = "A", .relPath = "x/d1.pdf", .itemID = "d1", .size = 7});
        addItem({.id = "au", .kind = MediaKind::audio, .capturedAt = 2000});
        addFile({.sourceID = "B", .relPath = "au.m4a", .itemID = "au", .size = 5});
        addItem({.id = "p1", .capturedAt = 500});
        addFile({.sourceID = "P", .relPath = "Al1/p", .itemID = "p1", .size = 30, .assetID = "asset-p", .favorite = true});
        addFile({.sourceID = "P", .relPath = "Al2/p", .itemID = "p1", .size = 30, .assetID = "asset-p", .favorite = true});
        addFile({.sourceID = "P", .relPath = "Al3/p", .itemID = "p1", .size = 30, .assetID = "asset-p"});
        addItem({.id = "p2", .kind = MediaKind::video, .capturedAt = 4000});
        addFile({.sourceID = "P", .relPath = "Al1/v", .itemID = "p2", .size = 50, .assetID = "asset-v"});
        addItem({.id = "lost"});

        db.run("INSERT INTO favorites (workspace_id, item_id, added_at) VALUES ('w1', 'au', 0), ('w1', 'gone', 0)");
    }
};

TEST_F(PanelQueryTest, SummaryDescribesThePlaceAndFiltersOfTheView)
{
    struct Case {
        const char* name;
        ViewFilter filter;
        LocationSummary expected;
    };
    const Case cases[] = {
        {"no items", {.source = "none"}, {}},
        {"everything",
         {},
         {.photos = 3, .videos = 2, .audio = 1, .documents = 1, .documentSize = 7, .size = 282, .notLocal = 1,
          .earliest = 500, .latest = 4000}},
        // Sizes count only the copies inside the folder; a1 also lies in B, so it is not only here.
        // The only-here filter narrows the grid, not its summary.
        {"folder",
         {.source = "A", .path = "x", .onlyHere = true},
         {.photos = 1, .videos = 1, .documents = 1, .documentSize = 7, .size = 117, .notLocal = 1, .onlyHere = 2,
          .earliest = 1000, .latest = 3000}},
        // Counts and dates follow the favorite items; sizes add every file of them in the source.
        {"smart favorites",
         {.source = "P", .smart = SmartFilter::favorites},
         {.photos = 1, .size = 90, .onlyHere = 1, .earliest = 500, .latest = 500}},
        {"scope without source has nothing only here",
         {.scope = QStringList{"B"}, .onlyHere = true},
         {.photos = 1, .audio = 1, .size = 25, .earliest = 1000, .latest = 2000}},
        {"kind",
         {.source = "A", .kind = MediaKind::document},
         {.documents = 1, .documentSize = 7, .size = 7, .onlyHere = 1, .earliest = std::nullopt, .latest = std::nullopt}},
        {"not backed up",
         {.notBackedUp = true},
         {.photos = 1, .videos = 2, .audio = 1, .documents = 1, .documentSize = 7, .size = 252, .notLocal = 1,
          .earliest = 500, .latest = 4000}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(index.summary(c.filter), c.expected) << c.name;
}

TEST_F(PanelQueryTest, CountsOfScopeSingleCopiesAndFavorites)
{
    EXPECT_EQ(index.countScope({"A|x"}), 3);
    EXPECT_EQ(index.countScope({"B", "P"}), 4);
    EXPECT_EQ(index.countScope({}), 0);

    EXPECT_EQ(index.countNotBackedUp(std::nullopt), 5);
    EXPECT_EQ(index.countNotBackedUp(QStringList{"A"}), 2);
    EXPECT_EQ(index.countNotBackedUp(QStringList{}), 0);

    // The workspace's own favorites and photo library favorites; ids without an item are ignored.
    EXPECT_EQ(index.countFavorites("w1", std::nullopt), 2);
    EXPECT_EQ(index.countFavorites("w1", QStringList{"B"}), 1);
    EXPECT_EQ(index.countFavorites("w2", std::nullopt), 1);
}

TEST_F(PanelQueryTest, CopyCountsTakeAnAssetInSeveralAlbumsAsOneCopy)
{
    addFile({.sourceID = "A", .relPath = "y/a2.mov", .itemID = "a2"});
    const QHash<QString, qint64> expected{{"a1", 2}, {"a2", 2}, {"p1", 1}, {"p2", 1}};
    EXPECT_EQ(index.copyCounts({"a1", "a2", "p1", "p2", "lost", "unknown"}), expected);
    EXPECT_TRUE(index.copyCounts({}).isEmpty());

    // A long list goes in statements of at most 500 ids.
    QStringList many{"a1", "a2", "p1", "p2"};
    for (int i = 0; i < 1200; ++i)
        many.append(QString("unknown%1").arg(i));
    many.append("p1");
    sqlite3_limit(db.db(), SQLITE_LIMIT_VARIABLE_NUMBER, 500);
    EXPECT_EQ(index.copyCounts(many), expected);
}

TEST_F(PanelQueryTest, LocationsListEveryCopyOldestSourceFirst)
{
    const QHash<QString, QList<Location>> locations = index.locations({"a1", "p1", "lost", "a1"});
    EXPECT_EQ(locations.keys().size(), 2);
    EXPECT_EQ(pathsOf(locations.value("a1")), QStringList({"B:a1.jpg", "A:x/a1.jpg"}));
    EXPECT_EQ(locations.value("p1").size(), 3);
    EXPECT_TRUE(index.locations({}).isEmpty());

    const qint64 fileID = integer("SELECT id FROM files WHERE rel_path = 'x/a2.mov'");
    db.run("UPDATE sources SET name = 'Drive', volume_uuid = 'UUID-1' WHERE id = 'A'");
    db.run("UPDATE files SET mtime = 1234.5 WHERE id = ?", {fileID});
    const Location expected{.id = fileID, .sourceID = "A", .sourceName = "Drive", .volumeUUID = "UUID-1",
                            .relativePath = "x/a2.mov", .size = 100, .modified = 1234.5, .local = false,
                            .assetID = ""};
    EXPECT_EQ(index.locations({"a2"}).value("a2"), QList<Location>({expected}));
    EXPECT_EQ(index.locationsOfItem("a2", db), QList<Location>({expected}));

    // Any connection to the index file will do.
    Database reader(dir.filePath("index.sqlite"));
    EXPECT_EQ(pathsOf(Index::locationsOfItem("a1", reader)), QStringList({"B:a1.jpg", "A:x/a1.jpg"}));
    EXPECT_TRUE(Index::locationsOfItem("lost", reader).isEmpty());
    const QList<Location> asset = Index::locationsOfItem("p1", reader);
    ASSERT_EQ(asset.size(), 3);
    EXPECT_EQ(asset.first().assetID, "asset-p");
    EXPECT_TRUE(asset.first().local);
}

// A file changed on B is reset by the scan: it keeps naming a1 until it is hashed again, but until
// then it is no copy of a1. Counting it would tell the user that a1 has a second copy to rely on.
TEST_F(PanelQueryTest, FileResetByAChangeIsNoCopyUntilHashedAgain)
{
    const qint64 notBackedUp = index.countNotBackedUp(std::nullopt);
    const QList<FileRecord> changedOnB{{.relativePath = "a1.jpg", .size = 21, .modified = 13, .local = true},
                                       {.relativePath = "au.m4a", .size = 5, .modified = 0, .local = true}};
    ASSERT_EQ(index.syncFiles(changedOnB, "B", {}), 1);
    const qint64 fileOnB = integer("SELECT id FROM files WHERE source_id = 'B' AND rel_path = 'a1.jpg'");
    ASSERT_EQ(text("SELECT item_id FROM files WHERE id = ?", {fileOnB}), "a1");

    EXPECT_EQ(index.copyCounts({"a1"}), (QHash<QString, qint64>{{"a1", 1}}));
    EXPECT_EQ(index.countNotBackedUp(std::nullopt), notBackedUp + 1);
    EXPECT_EQ(index.countNotBackedUp(QStringList{"A"}), 3);
    EXPECT_EQ(pathsOf(index.locations({"a1"}).value("a1")), QStringList{"A:x/a1.jpg"});
    EXPECT_EQ(pathsOf(Index::locationsOfItem("a1", db)), QStringList{"A:x/a1.jpg"});
    const auto listed = [&](const ViewFilter& filter) {
        QStringList ids;
        for (const Item& item : index.items({}, filter, SortField::captured, false, 500))
            ids.append(item.id);
        return ids.contains("a1");
    };
    EXPECT_TRUE(listed({.notBackedUp = true}));
    EXPECT_TRUE(listed({.source = "A", .path = "x", .onlyHere = true}));

    // Hashed again with the same content, it is a copy again.
    index.linkItem(fileOnB, "hash-a1", Item{.id = "new", .quickHash = "hash-a1"});
    EXPECT_EQ(index.copyCounts({"a1"}), (QHash<QString, qint64>{{"a1", 2}}));
    EXPECT_EQ(index.countNotBackedUp(std::nullopt), notBackedUp);
    EXPECT_FALSE(listed({.notBackedUp = true}));
}

TEST_F(PanelQueryTest, ProbableDuplicatesAreEveryFileOfOtherItemsWithTheSameWeakID)
{
    addItem({.id = "t1", .weakID = "t.jpg|4x3|9"});
    addFile({.sourceID = "A", .relPath = "t1.jpg", .itemID = "t1"});
    addItem({.id = "t2", .weakID = "t.jpg|4x3|9"});
    addFile({.sourceID = "A", .relPath = "t2.jpg", .itemID = "t2"});
    addFile({.sourceID = "B", .relPath = "t2.jpg", .itemID = "t2"});
    addItem({.id = "t3", .weakID = "t.jpg|4x3|9"});
    addFile({.sourceID = "P", .relPath = "t3", .itemID = "t3", .assetID = "t3"});
    addItem({.id = "other", .weakID = "t.jpg|4x3|10"});
    addFile({.sourceID = "B", .relPath = "other.jpg", .itemID = "other"});
    // Items without a weak id are never duplicates of one another.
    addFile({.sourceID = "B", .relPath = "lost.jpg", .itemID = "lost"});

    EXPECT_EQ(pathsOf(index.probableDuplicates("t1")), QStringList({"B:t2.jpg", "A:t2.jpg", "P:t3"}));
    // Copies in one source have no further order.
    const QStringList ofT3 = pathsOf(index.probableDuplicates("t3"));
    ASSERT_EQ(ofT3.size(), 3);
    EXPECT_EQ(ofT3.first(), "B:t2.jpg");
    EXPECT_EQ(QSet<QString>(ofT3.begin() + 1, ofT3.end()), QSet<QString>({"A:t1.jpg", "A:t2.jpg"}));
    EXPECT_TRUE(index.probableDuplicates("d1").isEmpty());
    EXPECT_TRUE(index.probableDuplicates("unknown").isEmpty());
}

TEST_F(PanelQueryTest, ItemByIDGivesTheItemOrNothing)
{
    const std::optional<Item> item = index.itemByID("a2");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->kind, MediaKind::video);
    EXPECT_EQ(item->capturedAt, 3000);
    EXPECT_EQ(item->quickHash, "hash-a2");
    EXPECT_EQ(index.itemByID("unknown"), std::nullopt);
}

} // namespace
