#include "IndexFixture.h"

#include <QDateTime>

#include <sqlite3.h>

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
