#include "tests/index/IndexFixture.h"

#include <QDateTime>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>

namespace {

const double now = double(QDateTime::currentSecsSinceEpoch());
constexpr double day = 86400;

QStringList idsOf(const QList<Item>& items)
{
    QStringList ids;
    for (const Item& item : items)
        ids.append(item.id);
    return ids;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// Folder sources A and B, the photo library P, and items placed to tell every filter apart.
class GridQueryTest : public IndexFixture {
protected:
    GridQueryTest()
    {
        addSource("A");
        addSource("B");
        addSource("P", SourceKind::photos);

        // Folder x of A, and the neighbours of x that lie outside it.
        placed({.id = "a1"}, "A", "x/a.jpg");
        placed({.id = "a2", .kind = MediaKind::video}, "A", "x/b/c.mov");
        placed({.id = "a3"}, "A", "x");
        placed({.id = "a4"}, "A", "x y/a.jpg");
        placed({.id = "a5"}, "A", "x-1/a.jpg");
        placed({.id = "a6"}, "A", "x.old/a.jpg");
        placed({.id = "a7"}, "A", "x0/a.jpg");
        placed({.id = "a8"}, "A", "x|y/a.jpg");
        placed({.id = "a9"}, "A", "y/a9.jpg");
        // In two sources.
        placed({.id = "ab"}, "A", "y/ab.jpg");
        addFile({.sourceID = "B", .relPath = "ab.jpg", .itemID = "ab"});
        placed({.id = "b1", .kind = MediaKind::document, .filename = "b1.pdf"}, "B", "docs/b1.pdf");
        // Two folders of one source are still one copy.
        placed({.id = "bb"}, "B", "one/bb.jpg");
        addFile({.sourceID = "B", .relPath = "two/bb.jpg", .itemID = "bb"});
        // Weak-id twins in two sources back each other up.
        placed({.id = "tw1", .weakID = "tw.jpg|4x3|1000"}, "A", "z/tw.jpg");
        placed({.id = "tw2", .weakID = "tw.jpg|4x3|1000"}, "B", "tw.jpg");
        // Photo library assets.
        placed({.id = "p1", .capturedAt = now - 10 * day}, "P", "Album/p1",
               {.assetID = "p1-asset", .favorite = true, .subtype = 4});
        placed({.id = "p2", .capturedAt = now - 200 * day}, "P", "p2", {.assetID = "p2-asset", .subtype = 1, .raw = true});
        placed({.id = "p3", .kind = MediaKind::video}, "P", "A1/k", {.assetID = "k"});
        addFile({.sourceID = "P", .relPath = "A2/k", .itemID = "p3", .assetID = "k"});
        // An item whose file went away, and a file not yet identified.
        addItem({.id = "lost"});
        addFile({.sourceID = "A", .relPath = "x/new.jpg"});

        db.run("INSERT INTO favorites (workspace_id, item_id, added_at) VALUES ('w1', 'a1', 0), ('w2', 'b1', 0)");
    }

    void placed(const FixtureItem& item, const QString& source, const QString& path, FixtureFile file = {})
    {
        addItem(item);
        file.sourceID = source;
        file.relPath = path;
        file.itemID = item.id;
        addFile(file);
    }

    QStringList grid(const ViewFilter& filter, const QString& search = {})
    {
        return sorted(idsOf(index.items(search, filter, SortField::captured, false, 500)));
    }

    // The items that a condition appended to "SELECT id FROM items WHERE 1 = 1" selects.
    QStringList itemsWhere(const SqlClause& condition)
    {
        Statement rows(db.db(), QStringLiteral("SELECT id FROM items WHERE 1 = 1") + condition.text);
        rows.bind(condition.values);
        QStringList ids;
        while (rows.step())
            ids.append(rows.text(0));
        return sorted(ids);
    }
};

TEST_F(GridQueryTest, FiltersSelectTheItemsOfTheView)
{
    const QStringList all{"a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "ab", "b1",
                          "bb", "lost", "p1", "p2", "p3", "tw1", "tw2"};
    const QStringList inA{"a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "ab", "tw1"};
    struct Case {
        const char* name;
        ViewFilter filter;
        QStringList expected;
    };
    const Case cases[] = {
        {"everything", {}, all},
        {"source", {.source = "A"}, inA},
        {"folder at any depth, not its neighbours", {.source = "A", .path = "x"}, {"a1", "a2"}},
        {"scope folder", {.scope = QStringList{"A|x"}}, {"a1", "a2"}},
        {"scope with empty path", {.scope = QStringList{"A|"}}, inA},
        {"scope of no keys", {.scope = QStringList{}}, {}},
        {"scope of several keys", {.scope = QStringList{"B", "A|x/b"}}, {"a2", "ab", "b1", "bb", "tw2"}},
        {"folder with a bar", {.scope = QStringList{"A|x|y"}}, {"a8"}},
        {"key like a smart group is a folder", {.scope = QStringList{"P|#favorites"}}, {}},
        {"kind", {.kind = MediaKind::video}, {"a2", "p3"}},
        {"workspace and library favorites", {.favoritesWorkspace = "w1"}, {"a1", "p1"}},
        {"favorites in a scope", {.favoritesWorkspace = "w2", .scope = QStringList{"B"}}, {"b1"}},
        {"not backed up", {.notBackedUp = true},
         {"a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "b1", "bb", "p1", "p2", "p3"}},
        {"not backed up in a source", {.source = "B", .notBackedUp = true}, {"b1", "bb"}},
        {"smart favorites", {.source = "P", .smart = SmartFilter::favorites}, {"p1"}},
        {"smart recents", {.source = "P", .smart = SmartFilter::recents}, {"p1"}},
        {"smart photos", {.source = "P", .smart = SmartFilter::photos}, {"p1", "p2"}},
        {"smart videos", {.source = "P", .smart = SmartFilter::videos}, {"p3"}},
        {"smart raw", {.source = "P", .smart = SmartFilter::raw}, {"p2"}},
        {"smart screenshots", {.source = "P", .smart = SmartFilter::screenshots}, {"p1"}},
        {"smart albums", {.source = "P", .smart = SmartFilter::albums}, {"p1", "p3"}},
        {"smart group needs a source", {.smart = SmartFilter::videos, .scope = QStringList{"P"}}, {"p1", "p2", "p3"}},
        {"recents in a folder, only here",
         {.source = "P", .path = "Album", .smart = SmartFilter::recents, .onlyHere = true}, {"p1"}},
        {"folder without only here", {.source = "A", .path = "y"}, {"a9", "ab"}},
        {"only here", {.source = "A", .path = "y", .onlyHere = true}, {"a9"}},
        {"only here in a source", {.source = "A", .onlyHere = true},
         {"a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "tw1"}},
        {"only here needs a source", {.scope = QStringList{"A|y"}, .onlyHere = true}, {"a9", "ab"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(grid(c.filter), sorted(c.expected)) << c.name;
        // The grid reads a small place first and probes a large one item by item: same items.
        for (const PlaceForm form : {PlaceForm::listed, PlaceForm::probed})
            EXPECT_EQ(itemsWhere(gridFilterClauses(c.filter, form)), sorted(c.expected)) << c.name;
    }
}

TEST_F(GridQueryTest, SearchNeedsEveryWordAsAPrefixOfSomeToken)
{
    addSearchText("a1", "Sunset beach café");
    addSearchText("a2", "C3PO droid");
    addSearchText("b1", "e-mail invoice");
    addSearchText("p1", "東京タワー");
    struct Case {
        QString search;
        ViewFilter filter;
        QStringList expected;
    };
    const Case cases[] = {
        {"sun", {}, {"a1"}},
        {"SUNSET Cafe", {}, {"a1"}},
        {"sunset droid", {}, {}},
        {"c3po", {}, {"a2"}},
        {"e-mail", {}, {"b1"}},
        {"東京", {}, {"p1"}},
        {"\"droid", {}, {"a2"}},
        {"sun", {.source = "B"}, {}},
        {"beach", {.source = "A", .path = "x"}, {"a1"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(grid(c.filter, c.search), sorted(c.expected)) << c.search.toStdString();
        // A few matches are read first, many are probed item by item: same items.
        for (const QString& condition : {searchCondition(), searchProbe()}) {
            SqlClause clause{condition, {*matchQuery(c.search)}};
            clause.append(filterClauses(c.filter));
            EXPECT_EQ(itemsWhere(clause), sorted(c.expected)) << c.search.toStdString();
        }
    }

    // Text without words does not narrow the view.
    EXPECT_EQ(grid({}, " -- ,, !"), grid({}));
}

TEST_F(GridQueryTest, PhotoLibraryItemsAreBackedUpOnceAnyAssetIsOnlyInTheCloud)
{
    const ViewFilter notBackedUp{.notBackedUp = true};
    EXPECT_TRUE(grid(notBackedUp).contains("p1"));
    placed({.id = "cloud"}, "P", "cloud", {.assetID = "cloud-asset", .local = false});
    const QStringList after = grid(notBackedUp);
    for (const char* photos : {"p1", "p2", "p3", "cloud"})
        EXPECT_FALSE(after.contains(photos)) << photos;
    EXPECT_TRUE(after.contains("a1"));
}

TEST_F(GridQueryTest, HeroItemsAreTheNewestWithAPictureAtMostSix)
{
    addSource("H");
    for (int i = 0; i < 8; ++i)
        placed({.id = QString("h%1").arg(i), .capturedAt = 1000.0 + i, .previewExt = i % 2 ? "jpg" : "",
                .proxyExt = i % 2 ? "" : "heic"},
               "H", QString("h%1").arg(i));
    placed({.id = "poster", .kind = MediaKind::video, .capturedAt = 900, .posterExt = "jpg"}, "H", "poster");
    placed({.id = "video-proxy", .kind = MediaKind::video, .capturedAt = 5000, .proxyExt = "mp4"}, "H", "vp");
    addFile({.sourceID = "A", .relPath = "h7 copy", .itemID = "h7"});
    placed({.id = "elsewhere", .capturedAt = 6000, .previewExt = "jpg"}, "A", "elsewhere");

    EXPECT_EQ(idsOf(index.heroItems({.source = "H", .onlyHere = true})),
              QStringList({"h7", "h6", "h5", "h4", "h3", "h2"}));
    EXPECT_EQ(idsOf(index.heroItems({.source = "H", .kind = MediaKind::video})), QStringList({"poster"}));
}

// Ties and missing dates: name ties fall back to the id, capture ties to the newest
// modification, added ties to the creation time, and undated items come last both ways.
using GridSortTest = IndexFixture;

TEST_F(GridSortTest, EveryOrderInBothDirections)
{
    addItem({.id = "s1", .filename = "b.jpg", .capturedAt = 100, .modifiedAt = 10, .addedAt = 5, .createdAt = 1});
    addItem({.id = "s2", .filename = "A.jpg", .capturedAt = 200, .modifiedAt = 20, .addedAt = 5, .createdAt = 2});
    addItem({.id = "s3", .kind = MediaKind::video, .filename = "a.jpg", .modifiedAt = 30, .addedAt = 7});
    addItem({.id = "s4", .filename = "c.jpg", .capturedAt = 100, .modifiedAt = 40, .addedAt = 1});
    addItem({.id = "s5", .filename = "d.jpg", .modifiedAt = 50, .addedAt = 9});

    struct Case {
        SortField sort;
        bool ascending;
        QStringList expected;
    };
    const Case cases[] = {
        {SortField::name, true, {"s2", "s3", "s1", "s4", "s5"}},
        {SortField::name, false, {"s5", "s4", "s1", "s2", "s3"}},
        {SortField::kind, true, {"s2", "s4", "s1", "s5", "s3"}},
        {SortField::kind, false, {"s3", "s2", "s4", "s1", "s5"}},
        {SortField::captured, true, {"s4", "s1", "s2", "s5", "s3"}},
        {SortField::captured, false, {"s2", "s4", "s1", "s5", "s3"}},
        {SortField::modified, true, {"s1", "s2", "s3", "s4", "s5"}},
        {SortField::modified, false, {"s5", "s4", "s3", "s2", "s1"}},
        {SortField::added, true, {"s4", "s1", "s2", "s3", "s5"}},
        {SortField::added, false, {"s5", "s3", "s2", "s1", "s4"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(idsOf(index.items({}, {}, c.sort, c.ascending, 500)), c.expected)
            << rawValue(c.sort).toStdString() << (c.ascending ? " ascending" : " descending");

    EXPECT_EQ(idsOf(index.items({}, {}, SortField::captured, false, 2)), QStringList({"s2", "s4"}));
}

TEST_F(GridQueryTest, ItemsReadEveryColumn)
{
    db.run("UPDATE items SET width = 4032, height = 3024, duration = 1.5, camera = 'Cam', lens = 'Lens', "
           "preview_ext = 'jpg', proxy_ext = 'heic', poster_ext = 'jpg', uti = 'image/jpeg' WHERE id = 'p1'");
    const QList<Item> items = index.items("", {.source = "P", .smart = SmartFilter::favorites}, SortField::name, true, 500);
    ASSERT_EQ(items.size(), 1);
    const Item expected{.id = "p1", .quickHash = "hash-p1", .kind = MediaKind::photo, .filename = "p1.jpg",
                        .capturedAt = now - 10 * day, .width = 4032, .height = 3024, .duration = 1.5, .camera = "Cam",
                        .lens = "Lens", .previewExtension = "jpg", .proxyExtension = "heic", .posterExtension = "jpg",
                        .uti = "image/jpeg"};
    EXPECT_EQ(items.first(), expected);
}

TEST_F(GridQueryTest, KnownHashesBatchesLongListsOfHashes)
{
    for (int i = 0; i < 600; ++i)
        addItem({.id = QString("k%1").arg(i), .quickHash = QString("known%1").arg(i)});
    QStringList asked;
    QSet<QString> expected;
    for (int i = 0; i < 600; ++i) {
        asked.append(QString("known%1").arg(i));
        expected.insert(asked.last());
    }
    for (int i = 0; i < 400; ++i)
        asked.append(QString("unknown%1").arg(i));
    asked.append("known0");   // asked twice, found once
    ASSERT_EQ(asked.size(), 1001);

    // No statement may bind more than one batch.
    sqlite3_limit(db.db(), SQLITE_LIMIT_VARIABLE_NUMBER, 500);
    EXPECT_EQ(index.knownHashes(asked), expected);
    EXPECT_EQ(index.knownHashes({}), QSet<QString>());
}

// A page of the items table that reads back as garbage must fail the grid and the search, not
// shorten them: a short grid looks like items that were lost.
TEST(DamagedIndex, GridAndSearchFailInsteadOfShowingWhatWasReadSoFar)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("index.sqlite"));
    qint64 pageSize = 0;
    qint64 damagedPage = 0;
    {
        Index index(path);
        index.migrate();
        Database& db = index.database();
        Transaction transaction(db);
        for (int i = 0; i < 301; ++i) {
            const QString id = QStringLiteral("item%1").arg(i);
            db.run("INSERT INTO items (id, quick_hash, kind, filename, captured_at, created_at, camera) VALUES (?, ?, 0, "
                   "?, ?, 0, ?)",
                   {id, QStringLiteral("hash-") + id, id + QStringLiteral(".jpg"), now - i, QString(200, QLatin1Char('c'))});
            db.run("INSERT INTO search (item_id, text) VALUES (?, 'wedding')", {id});
        }
        transaction.commit();
        db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
        Statement page(db.db(), "SELECT pageno, (SELECT page_size FROM pragma_page_size) FROM dbstat "
                                "WHERE name = 'items' AND pagetype = 'leaf' ORDER BY pageno LIMIT 1 OFFSET 3");
        ASSERT_TRUE(page.step());
        damagedPage = page.int64(0);
        pageSize = page.int64(1);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek((damagedPage - 1) * pageSize));
    file.write(QByteArray(pageSize, char(0x5a)));
    file.close();

    Index index(path, Index::Access::readOnly);
    EXPECT_THROW(index.items({}, {}, SortField::captured, false, 500), DatabaseError);
    EXPECT_THROW(index.items(QStringLiteral("wedding"), {}, SortField::captured, false, 500), DatabaseError);
}

} // namespace
