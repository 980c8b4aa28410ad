#include "IndexFixture.h"

#include "Pellmar/index/IndexRows.h"
#include "Pellmar/index/IndexScope.h"
#include "Pellmar/index/IndexTallies.h"

#include <QDateTime>
#include <QSet>

#include <sqlite3.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

class SidebarTest : public IndexFixture {
protected:
    void addFolder(const QString& sourceID, const QString& relPath)
    {
        db.run(QStringLiteral("INSERT INTO folders (source_id, rel_path, parent_path, mtime) VALUES (?, ?, '', 0)"),
               {sourceID, relPath});
    }

    Source addNamedSource(const QString& id, SourceKind kind)
    {
        addSource(id, kind);
        Source source;
        source.id = id;
        source.name = QStringLiteral("Name of ") + id;
        source.kind = kind;
        return source;
    }
};

// One line per node below the root: two spaces per level, the name, the count and, for a smart
// group, its key.
void outline(const FolderNode& node, int depth, QStringList& lines)
{
    for (const FolderNode& child : node.children) {
        QString line = QString(depth * 2, QLatin1Char(' ')) + child.name + QLatin1Char(' ') + QString::number(child.count);
        if (child.smart)
            line += QStringLiteral(" ") + child.key();
        lines.append(line);
        outline(child, depth + 1, lines);
    }
}

QStringList outline(const FolderNode& root)
{
    QStringList lines;
    outline(root, 0, lines);
    return lines;
}

TEST_F(SidebarTest, FolderTreeCountsFilesAtAnyDepthAndSortsNamesNaturally)
{
    const Source folders = addNamedSource(QStringLiteral("S"), SourceKind::folder);
    for (const char* path : {"top.jpg", "a/x.jpg", "a/b/y.jpg", "Photo 10/1.jpg", "Photo 9/1.jpg", "Photo 9/2.jpg",
                             "photo 11/1.jpg", "Émile/1.jpg"})
        addFile({.sourceID = folders.id, .relPath = QString::fromUtf8(path)});
    // Folders without files, one of them deep below folders not listed themselves.
    addFolder(folders.id, QStringLiteral("a"));
    addFolder(folders.id, QStringLiteral("a/b/c"));
    addFolder(folders.id, QStringLiteral("empty/deep/er"));
    // Files of another source stay out.
    addSource(QStringLiteral("T"));
    addFile({.sourceID = QStringLiteral("T"), .relPath = QStringLiteral("a/other.jpg")});

    const FolderNode root = index.sourceTree(folders);
    EXPECT_EQ(outline(root), QStringList({
                                 "a 2",
                                 "  b 1",
                                 "    c 0",
                                 "Émile 1",
                                 "empty 0",
                                 "  deep 0",
                                 "    er 0",
                                 "Photo 9 2",
                                 "Photo 10 1",
                                 "photo 11 1",
                             }));
    EXPECT_EQ(root.id, QStringLiteral("S/"));
    EXPECT_EQ(root.name, QStringLiteral("Name of S"));
    EXPECT_EQ(root.path, QString());
    EXPECT_EQ(root.count, 0);
    const FolderNode& b = root.children[0].children[0];
    EXPECT_EQ(b.id, QStringLiteral("S/a/b"));
    EXPECT_EQ(b.path, QStringLiteral("a/b"));
    EXPECT_EQ(b.sourceID, QStringLiteral("S"));
    EXPECT_EQ(b.key(), QStringLiteral("S|a/b"));
    EXPECT_FALSE(b.smart);
}

TEST_F(SidebarTest, FilesOnlyInTheRootGiveALeafRoot)
{
    const Source flat = addNamedSource(QStringLiteral("S"), SourceKind::folder);
    addFile({.sourceID = flat.id, .relPath = QStringLiteral("one.jpg")});
    addFile({.sourceID = flat.id, .relPath = QStringLiteral("two.jpg")});

    const FolderNode root = index.sourceTree(flat);
    EXPECT_TRUE(root.children.isEmpty());
    EXPECT_EQ(root.count, 0);
}

TEST_F(SidebarTest, PhotoLibraryShowsTheSmartGroupsThatHaveAssetsInTheirOrder)
{
    const Source photos = addNamedSource(QStringLiteral("P"), SourceKind::photos);
    const double now = QDateTime::currentSecsSinceEpoch();
    addItem({.id = "recent", .kind = MediaKind::photo, .capturedAt = now - 3600});
    addItem({.id = "old", .kind = MediaKind::video, .capturedAt = now - 100 * 86400});
    // One favorite asset listed in two albums of one folder.
    addFile({.sourceID = photos.id, .relPath = QStringLiteral("Trip/Day 10/a1"), .itemID = QStringLiteral("recent"),
             .assetID = QStringLiteral("a1"), .favorite = true});
    addFile({.sourceID = photos.id, .relPath = QStringLiteral("Trip/Day 9/a1"), .itemID = QStringLiteral("recent"),
             .assetID = QStringLiteral("a1"), .favorite = true});
    // A video at the library's root, in no album.
    addFile({.sourceID = photos.id, .relPath = QStringLiteral("a2"), .itemID = QStringLiteral("old"),
             .assetID = QStringLiteral("a2")});
    // A screenshot not yet identified: it has no item, so only the file columns count it.
    addFile({.sourceID = photos.id, .relPath = QStringLiteral("Trip/Day 10/a3"), .assetID = QStringLiteral("a3"),
             .subtype = 4 | 1});

    // No RAW asset: that group is left out and the others keep their order.
    EXPECT_EQ(outline(index.sourceTree(photos)), QStringList({
                                                     "Favorites 1 P|#favorites",
                                                     "Recents 1 P|#recents",
                                                     "Images 1 P|#photos",
                                                     "Videos 1 P|#videos",
                                                     "Screenshots 1 P|#screenshots",
                                                     "Albums 2 P|#albums",
                                                     "  Trip 2",
                                                     "    Day 9 1",
                                                     "    Day 10 2",
                                                 }));
    const FolderNode root = index.sourceTree(photos);
    EXPECT_EQ(root.children[0].id, QStringLiteral("P/#favorites"));
    EXPECT_EQ(root.children.last().children[0].id, QStringLiteral("P/Trip"));
}

TEST_F(SidebarTest, EmptyPhotoLibraryHasNoGroups)
{
    EXPECT_TRUE(index.sourceTree(addNamedSource(QStringLiteral("P"), SourceKind::photos)).children.isEmpty());
}

// A photo library's counts, by folder path and by smart group key ("#favorites"), as a tree reads.
using PhotoCounts = std::map<std::string, qint64>;

void collectCounts(const QList<FolderNode>& nodes, PhotoCounts& counts)
{
    for (const FolderNode& node : nodes) {
        counts[(node.smart ? QStringLiteral("#") + rawValue(*node.smart) : node.path).toStdString()] = node.count;
        collectCounts(node.children, counts);
    }
}

PhotoCounts countsOfTree(const FolderNode& root)
{
    PhotoCounts counts;
    collectCounts(root.children, counts);
    return counts;
}

class PhotoTreeTest : public SidebarTest {
protected:
    PhotoTreeTest()
    {
        addSource(QStringLiteral("A"));
        library = addNamedSource(QStringLiteral("P"), SourceKind::photos);
        addItem({.id = "day", .capturedAt = now - 3600});
        addItem({.id = "clip", .kind = MediaKind::video, .capturedAt = now - 100 * 86400});
        addItem({.id = "raw", .capturedAt = now - 200 * 86400});
        addItem({.id = "loose", .capturedAt = now - 60});
        addLibraryRows();
        // A folder source's rows, in a folder of the same name, count nowhere in the library.
        addFile({.sourceID = "A", .relPath = "Trip/Day 1/a1", .itemID = "day"});
    }

    void addLibraryRows()
    {
        for (const FixtureFile& row : libraryRows)
            addFile(row);
    }

    // The library as its sync lists it: one asset in two albums of one folder, one in albums of
    // two folders, one at the top, a screenshot not yet identified, one whose item row is missing,
    // and two rows without an asset id.
    const QList<FixtureFile> libraryRows{
        {.sourceID = "P", .relPath = "Trip/Day 1/a1", .itemID = "day", .assetID = "a1", .favorite = true},
        {.sourceID = "P", .relPath = "Trip/Day 2/a1", .itemID = "day", .assetID = "a1", .favorite = true},
        {.sourceID = "P", .relPath = "Trip/Day 1/a2", .itemID = "clip", .assetID = "a2"},
        {.sourceID = "P", .relPath = "Home/Garden/a2", .itemID = "clip", .assetID = "a2"},
        {.sourceID = "P", .relPath = "a3", .itemID = "raw", .assetID = "a3", .raw = true},
        {.sourceID = "P", .relPath = "Trip/Day 2/a4", .assetID = "a4", .subtype = screenshotSubtype | 1},
        {.sourceID = "P", .relPath = "Home/a5", .itemID = "later", .assetID = "a5"},
        {.sourceID = "P", .relPath = "Trip/Day 1/loose1", .itemID = "loose", .favorite = true},
        {.sourceID = "P", .relPath = "loose2", .itemID = "loose"},
    };

    // The library's counts read from every one of its rows: the reference for the kept counts.
    PhotoCounts countsFromRows()
    {
        PhotoCounts counts;
        QSet<QString> seen;
        Statement files(db.db(), QStringLiteral("SELECT rel_path, asset_id FROM files WHERE source_id = 'P'"));
        while (files.step()) {
            const QString assetID = files.text(1);
            for (QString folder = parentPath(files.text(0)); !folder.isEmpty(); folder = parentPath(folder)) {
                if (!assetID.isEmpty()) {
                    const QString folderAndAsset = folder + QLatin1Char('\n') + assetID;
                    if (seen.contains(folderAndAsset))
                        continue;
                    seen.insert(folderAndAsset);
                }
                ++counts[folder.toStdString()];
            }
        }
        Statement groups(db.db(),
            QStringLiteral("SELECT COUNT(DISTINCT CASE WHEN f.favorite = 1 THEN f.asset_id END),\n"
                           "\tCOUNT(DISTINCT CASE WHEN i.captured_at >= ? THEN f.asset_id END),\n"
                           "\tCOUNT(DISTINCT CASE WHEN i.kind = 0 THEN f.asset_id END),\n"
                           "\tCOUNT(DISTINCT CASE WHEN i.kind = 1 THEN f.asset_id END),\n"
                           "\tCOUNT(DISTINCT CASE WHEN f.raw = 1 THEN f.asset_id END),\n"
                           "\tCOUNT(DISTINCT CASE WHEN (f.subtype & %1) != 0 THEN f.asset_id END),\n"
                           "\tCOUNT(DISTINCT CASE WHEN instr(f.rel_path, '/') > 0 THEN f.asset_id END)\n"
                           "FROM files f LEFT JOIN items i ON i.id = f.item_id WHERE f.source_id = 'P'")
                .arg(screenshotSubtype));
        groups.bind({QDateTime::currentDateTimeUtc().addSecs(-recentsSeconds)});
        groups.step();
        for (int column = 0; column < int(allSmartFilters.size()); ++column) {
            if (groups.int64(column) > 0)
                counts[(QStringLiteral("#") + rawValue(allSmartFilters[column])).toStdString()] = groups.int64(column);
        }
        return counts;
    }

    std::vector<std::string> keptRows()
    {
        std::vector<std::string> all;
        for (const char* table : {"photo_assets", "photo_asset_items", "photo_groups", "photo_folder_assets", "photo_folders"}) {
            Statement rows(db.db(), QStringLiteral("SELECT * FROM %1 ORDER BY 1, 2, 3").arg(QLatin1String(table)));
            while (rows.step()) {
                QStringList values{QString::fromLatin1(table)};
                for (int column = 0; column < sqlite3_column_count(rows.handle()); ++column)
                    values.append(rows.isNull(column) ? QStringLiteral("NULL") : rows.text(column));
                all.push_back(values.join(u'|').toStdString());
            }
        }
        return all;
    }

    // The tree reads what the rows give, and the kept rows are what counting afresh gives.
    void expectKeptCountsMatchRows()
    {
        EXPECT_EQ(countsOfTree(index.sourceTree(library)), countsFromRows());
        const std::vector<std::string> kept = keptRows();
        Transaction rebuild(db);
        rebuildTallies(db);
        EXPECT_EQ(keptRows(), kept) << "a rebuild of the counts";
    }

    QStringList textRows(const QString& sql)
    {
        Statement rows(db.db(), sql);
        QStringList texts;
        while (rows.step())
            texts.append(rows.text(0));
        return texts;
    }

    qint64 fileID(const QString& relPath)
    {
        return integer(QStringLiteral("SELECT id FROM files WHERE source_id = 'P' AND rel_path = ?"), {relPath});
    }

    const double now = double(QDateTime::currentSecsSinceEpoch());
    Source library;
};

TEST_F(PhotoTreeTest, KeptCountsFollowEveryWriteOfTheLibrary)
{
    ASSERT_EQ(countsFromRows(), PhotoCounts({{"#favorites", 2}, {"#recents", 2}, {"#photos", 3}, {"#videos", 1}, {"#raw", 1},
                                             {"#screenshots", 1}, {"#albums", 5}, {"Trip", 4}, {"Trip/Day 1", 3},
                                             {"Trip/Day 2", 2}, {"Home", 2}, {"Home/Garden", 1}}));
    struct Step {
        const char* what;
        std::function<void()> write;
    };
    const QList<Step> steps{
        {"as listed", [] {}},
        {"one album row of an asset removed", [&] { index.deleteFile(fileID("Trip/Day 2/a1")); }},
        {"an album row moved to another album", [&] { index.renameFile(fileID("Home/Garden/a2"), "Home/a2"); }},
        {"a row without an asset id removed", [&] { index.deleteFile(fileID("Trip/Day 1/loose1")); }},
        {"an item read again as another kind and date",
         [&] { db.run("UPDATE items SET kind = 1, captured_at = ? WHERE id = 'raw'", {now}); }},
        {"the missing item row made", [&] { addItem({.id = "later", .kind = MediaKind::video, .capturedAt = now}); }},
        {"the screenshot identified",
         [&] { index.linkItem(fileID("Trip/Day 2/a4"), "hash-shot", Item{.id = "shot", .quickHash = "hash-shot", .filename = "a4"}); }},
        {"an item row deleted", [&] { db.exec("DELETE FROM items WHERE id = 'day'"); }},
        {"flags and albums changed by a sync",
         [&] {
             index.syncFiles({FileRecord{.relativePath = "Trip/Day 1/a1", .assetID = "a1", .local = true},
                              FileRecord{.relativePath = "Trip/Day 1/a2", .assetID = "a2", .local = true, .raw = true},
                              FileRecord{.relativePath = "a3", .assetID = "a3", .local = true, .favorite = true}},
                             library.id, {});
         }},
        {"an index from before these counts upgraded",
         [&] {
             for (const QString& trigger : textRows("SELECT name FROM sqlite_master WHERE type = 'trigger'"))
                 db.exec("DROP TRIGGER " + trigger);
             for (const QString& table : textRows("SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 'photo%'"))
                 db.exec("DROP TABLE " + table);
             db.exec("PRAGMA user_version = 16");
             index.migrate();
         }},
        {"the library removed", [&] { index.removeSource(library.id); }},
        {"and added again", [&] {
             addSource(library.id, SourceKind::photos);
             addLibraryRows();
         }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.write();
        expectKeptCountsMatchRows();
    }
}

TEST_F(PhotoTreeTest, WriteThatFailsPartWayLeavesTheKeptCountsAsTheyWere)
{
    const std::vector<std::string> before = keptRows();
    // Linking a row makes its item, names it and then dates it: the last step fails.
    db.exec("CREATE TEMP TRIGGER full_disk BEFORE UPDATE OF modified_at ON items BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    EXPECT_THROW(index.linkItem(fileID("Trip/Day 2/a4"), "hash-shot", Item{.id = "shot", .quickHash = "hash-shot", .filename = "a4"}),
                 DatabaseError);
    db.exec("DROP TRIGGER full_disk");
    // A statement that fails on a later row takes back the rows before it, while its transaction
    // goes on and commits.
    {
        Transaction transaction(db);
        EXPECT_THROW(db.exec("UPDATE files SET rel_path = 'Trip/same' WHERE source_id = 'P'"), DatabaseError);
        transaction.commit();
    }
    EXPECT_EQ(keptRows(), before);
    expectKeptCountsMatchRows();
}

TEST_F(SidebarTest, StatusCountersReadStatesFailuresAndItems)
{
    addSource(QStringLiteral("A"));
    addSource(QStringLiteral("B"));
    addSource(QStringLiteral("Empty"));
    addItem({.id = "named"});
    addItem({.id = "other"});
    addFile({.sourceID = "A", .relPath = "found.jpg", .state = FileState::found});
    addFile({.sourceID = "A", .relPath = "x/busy.jpg", .itemID = "named", .state = FileState::identified});
    addFile({.sourceID = "A", .relPath = "ready.jpg", .itemID = "named", .state = FileState::ready});
    addFile({.sourceID = "A", .relPath = "y/broken.jpg", .state = FileState::failed, .error = "cannot read"});
    addFile({.sourceID = "A", .relPath = "empty.jpg", .state = FileState::empty, .error = "empty file"});
    // Its item row is gone: the name comes from the path.
    addFile({.sourceID = "A", .relPath = "z/w/orphan.jpg", .itemID = "gone", .state = FileState::identified});
    addFile({.sourceID = "B", .relPath = "no message.jpg", .state = FileState::failed});
    addFile({.sourceID = "B", .relPath = "b.jpg", .itemID = "other", .state = FileState::identified});

    EXPECT_EQ(index.inFlightFiles(4), QStringList({"named.jpg", "orphan.jpg", "other.jpg"}));
    EXPECT_EQ(index.inFlightFiles(1), QStringList({"named.jpg"}));

    const QHash<QString, Index::SourceProgress> expected{{"A", {.done = 3, .total = 6}}, {"B", {.done = 1, .total = 2}}};
    EXPECT_EQ(index.progressBySource(), expected);

    using Failure = Index::FileFailure;
    EXPECT_EQ(index.recentFailures(50), QList<Failure>({{"no message.jpg", ""}, {"y/broken.jpg", "cannot read"}}));
    EXPECT_EQ(index.recentFailures(1), QList<Failure>({{"no message.jpg", ""}}));

    EXPECT_EQ(index.countItems(), 2);
}

// The status line reads it every second: the statement that progressBySource runs must not read
// every file row.
TEST_F(SidebarTest, PerSourceProgressReadsOnlyTheKeptCounts)
{
    QStringList statements;
    sqlite3_trace_v2(
        db.db(), SQLITE_TRACE_STMT,
        [](unsigned, void* context, void* statement, void*) {
            static_cast<QStringList*>(context)->append(QString::fromUtf8(sqlite3_sql(static_cast<sqlite3_stmt*>(statement))));
            return 0;
        },
        &statements);
    index.progressBySource();
    sqlite3_trace_v2(db.db(), 0, nullptr, nullptr);
    ASSERT_EQ(statements.size(), 1);

    Statement plan(db.db(), QStringLiteral("EXPLAIN QUERY PLAN ") + statements.first());
    QStringList details;
    while (plan.step())
        details.append(plan.text(3));
    EXPECT_EQ(details, QStringList({"SCAN source_states"}));
}

} // namespace
