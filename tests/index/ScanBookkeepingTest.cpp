#include "IndexFixture.h"

#include "Pellmar/index/Index.h"

#include <QStringList>

#include <algorithm>

namespace {

constexpr double base = 1700000000.0;

FileRecord record(const QString& path, qint64 size, double modified, bool local, const QString& assetID = {})
{
    FileRecord file;
    file.relativePath = path;
    file.size = size;
    file.modified = modified;
    file.local = local;
    file.assetID = assetID;
    return file;
}

FileRecord onDisk(const QString& path, qint64 size = 100, double modified = base)
{
    return record(path, size, modified, true);
}

Index::FileChanges fileChanges(const QString& sourceID, const QList<FileRecord>& records,
                               const QSet<QString>& knownPaths, const Index::WalkGaps& gaps = {})
{
    Index::FileChanges changes;
    changes.sourceID = sourceID;
    changes.records = records;
    changes.knownPaths = knownPaths;
    changes.gaps = gaps;
    return changes;
}

Index::FolderChanges folderChanges(const QString& sourceID, const QList<FolderRecord>& folders,
                                   const QSet<QString>& knownPaths, const Index::WalkGaps& gaps = {})
{
    Index::FolderChanges changes;
    changes.sourceID = sourceID;
    changes.folders = folders;
    changes.knownPaths = knownPaths;
    changes.gaps = gaps;
    return changes;
}

Index::WalkGaps unlisted(const QStringList& folders)
{
    Index::WalkGaps gaps;
    gaps.unlistedFolders = folders;
    return gaps;
}

FolderRecord folder(const QString& path)
{
    return FolderRecord{.relativePath = path, .modified = base};
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

class ScanTest : public IndexFixture {
protected:
    const QString source = QStringLiteral("S");
    const Index::WalkGaps complete;

    ScanTest() { addSource(source); }

    qint64 fileID(const QString& path)
    {
        return integer(QStringLiteral("SELECT id FROM files WHERE source_id = ? AND rel_path = ?"), {source, path});
    }
    QString itemOf(const QString& path)
    {
        return text(QStringLiteral("SELECT item_id FROM files WHERE source_id = ? AND rel_path = ?"), {source, path});
    }
    qint64 stateOf(const QString& path)
    {
        return integer(QStringLiteral("SELECT state FROM files WHERE source_id = ? AND rel_path = ?"), {source, path});
    }
    qint64 items() { return integer(QStringLiteral("SELECT COUNT(*) FROM items")); }
    qint64 searchRows() { return integer(QStringLiteral("SELECT COUNT(*) FROM search")); }

    // Links the file at `path` to a new item of content `hash`, named after the file, with search text.
    QString identify(const QString& path, const QString& hash, std::optional<double> capturedAt = base)
    {
        Item item;
        item.id = QStringLiteral("ITEM-") + hash;
        item.quickHash = hash;
        item.filename = path.section(u'/', -1);
        item.capturedAt = capturedAt;
        item.width = 40;
        item.height = 30;
        const QString id = index.linkItem(fileID(path), hash, item);
        index.setSearchText(id, path);
        index.markPreviewed(fileID(path), id, QStringLiteral("jpg"), {});
        return id;
    }
};

// The stamp test decides, row by row, whether a file is unchanged, only no longer on this
// computer, or changed (reset to found, to be hashed again). Times within one second are equal.
TEST_F(ScanTest, StampTable)
{
    struct Case {
        const char* name;
        bool storedLocal;
        FileRecord record;   // against a stored row of size 100, time `base`
        qint64 expectedCount;
        qint64 expectedState;
        bool expectedLocal;
    };
    const QString asset = QStringLiteral("asset-1");
    const Case cases[] = {
        {"same", true, onDisk("f", 100, base), 0, 2, true},
        {"one second later is the same", true, onDisk("f", 100, base + 1.0), 0, 2, true},
        {"one second earlier is the same", true, onDisk("f", 100, base - 1.0), 0, 2, true},
        {"one and a half seconds later is a change", true, onDisk("f", 100, base + 1.5), 1, 0, true},
        {"another size is a change", true, onDisk("f", 101, base), 1, 0, true},
        {"evicted: only no longer local, size not compared", true,
         record("f", 7, base + 0.5, false), 0, 2, false},
        {"evicted and changed", true, record("f", 100, base + 2, false),
         1, 0, false},
        {"back on this computer", false, onDisk("f", 100, base), 1, 0, true},
        {"asset: size and locality are not compared", true,
         record("f", 5, base + 1, false, asset), 0, 2, true},
        {"asset: a new time is a change", true,
         record("f", 100, base + 3, true, asset), 1, 0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        index.clearAll();
        FileRecord stored = onDisk("f");
        stored.local = c.storedLocal;
        stored.assetID = c.record.assetID;
        ASSERT_EQ(index.syncFiles({stored}, source, complete), 1);
        identify("f", "h");

        EXPECT_EQ(index.syncFiles({c.record}, source, complete), c.expectedCount);
        EXPECT_EQ(stateOf("f"), c.expectedState);
        EXPECT_EQ(integer("SELECT local FROM files WHERE rel_path = 'f'") == 1, c.expectedLocal);
        const bool reset = c.expectedState == 0;
        EXPECT_EQ(text("SELECT quick_hash FROM files WHERE rel_path = 'f'"), reset ? QString() : QStringLiteral("h"));
        // A reset file still names its item until it is hashed again.
        EXPECT_EQ(itemOf("f"), QStringLiteral("ITEM-h"));
    }
}

TEST_F(ScanTest, SyncInsertsResetsAndDeletesAndCountsEach)
{
    ASSERT_EQ(index.syncFiles({onDisk("a"), onDisk("b"), onDisk("c/d")}, source, complete), 3);
    identify("a", "ha");
    identify("c/d", "hd");
    EXPECT_EQ(items(), 2);

    // A file deleted from the folder: the only change is a deletion, and it counts.
    EXPECT_EQ(index.syncFiles({onDisk("a"), onDisk("b")}, source, complete), 1);
    EXPECT_EQ(sorted(index.filePaths(source, {})), (QStringList{"a", "b"}));
    EXPECT_EQ(items(), 1);
    EXPECT_EQ(searchRows(), 1);

    EXPECT_EQ(index.syncFiles({onDisk("a", 1), onDisk("e")}, source, complete), 3);   // reset, insert, delete
    EXPECT_EQ(index.syncFiles({onDisk("a", 1), onDisk("e")}, source, complete), 0);
    // A path listed twice is one path: the row it does not stand for still goes.
    EXPECT_EQ(index.syncFiles({onDisk("a", 1), onDisk("a", 1)}, source, complete), 1);
    EXPECT_EQ(index.syncFiles({onDisk("a", 1), onDisk("e")}, source, complete), 1);
    EXPECT_EQ(index.syncFiles({}, source, complete), 2);
    EXPECT_EQ(integer("SELECT COUNT(*) FROM files"), 0);
    EXPECT_EQ(items(), 0);
    EXPECT_EQ(searchRows(), 0);
}

// Rows are written in one transaction: a write that fails halfway leaves the rows as they were,
// and the next sync works.
TEST_F(ScanTest, FailedSyncLeavesNothingHalfWritten)
{
    ASSERT_EQ(index.syncFiles({onDisk("keep"), onDisk("change"), onDisk("gone")}, source, complete), 3);
    db.exec(QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE INSERT ON files WHEN NEW.rel_path = 'bad' BEGIN SELECT "
                           "RAISE(ABORT, 'refused'); END"));

    EXPECT_THROW(index.syncFiles({onDisk("new"), onDisk("keep"), onDisk("change", 5), onDisk("bad")}, source, complete),
                 DatabaseError);
    EXPECT_EQ(sorted(index.filePaths(source, {})), (QStringList{"change", "gone", "keep"}));
    EXPECT_EQ(integer("SELECT size FROM files WHERE rel_path = 'change'"), 100);

    db.exec(QStringLiteral("DROP TRIGGER refuse"));
    EXPECT_EQ(index.syncFiles({onDisk("new"), onDisk("keep"), onDisk("change", 5)}, source, complete), 3);
}

// A walk that could not read a folder, or lost its drive, deletes nothing it did not see.
TEST_F(ScanTest, PartialWalkKeepsWhatItCouldNotSee)
{
    const QStringList all{"a/1", "a/b/2", "a-b/3", "ab/4", "top"};
    QList<FileRecord> records;
    for (const QString& path : all)
        records.append(onDisk(path));
    ASSERT_EQ(index.syncFiles(records, source, complete), 5);
    index.replaceSourceFolderRows({folder("a"), folder("a/b"), folder("a-b"), folder("ab")}, source, complete);

    // Folder "a" could not be listed: its files and folders stay, its siblings follow the walk.
    const Index::WalkGaps unreadA = unlisted({"a"});
    EXPECT_EQ(index.syncFiles({onDisk("top")}, source, unreadA), 2);
    EXPECT_EQ(sorted(index.filePaths(source, {})), (QStringList{"a/1", "a/b/2", "top"}));
    index.replaceSourceFolderRows({}, source, unreadA);
    EXPECT_EQ(sorted(index.folderPaths(source, {})), (QStringList{"a", "a/b"}));

    // The drive went away during the walk: what was listed is written, nothing is deleted.
    Index::WalkGaps vanished;
    vanished.rootVanished = true;
    EXPECT_EQ(index.syncFiles({onDisk("top", 9)}, source, vanished), 1);
    EXPECT_EQ(sorted(index.filePaths(source, {})), (QStringList{"a/1", "a/b/2", "top"}));
    index.replaceSourceFolderRows({}, source, vanished);
    EXPECT_EQ(sorted(index.folderPaths(source, {})), (QStringList{"a", "a/b"}));
    EXPECT_EQ(index.syncFiles({}, source, unlisted({""})), 0);
    EXPECT_EQ(index.filePaths(source, {}).size(), 3);

    // The same for a change pass.
    EXPECT_EQ(index.applyChanges({fileChanges(source, {}, {"a/1", "a/b/2", "top"}, vanished)}), 0);
    EXPECT_EQ(index.applyChanges({fileChanges(source, {}, {"a/1", "a/b/2"}, unlisted({"a/b"}))}), 1);
    EXPECT_EQ(sorted(index.filePaths(source, {})), (QStringList{"a/b/2", "top"}));
    EXPECT_EQ(index.replaceFolderRows({folderChanges(source, {}, {"a", "a/b"}, unlisted({"a/b"}))}), 1);
    EXPECT_EQ(index.folderPaths(source, {}), QStringList{"a/b"});
}

TEST_F(ScanTest, PathsBelowAPrefixAndSubtreeDeletionsKeepSiblingsThatShareTheName)
{
    index.replaceSourceFolderRows({folder("p"), folder("p/q"), folder("p/q/r"), folder("p0"), folder("pa"),
                                   folder("p-x")},
                                  source, complete);
    index.syncFiles({onDisk("p/f"), onDisk("p/q/g"), onDisk("p1/h"), onDisk("p.txt")}, source, complete);
    EXPECT_EQ(sorted(index.folderPaths(source, "p")), (QStringList{"p/q", "p/q/r"}));
    EXPECT_EQ(sorted(index.filePaths(source, "p")), (QStringList{"p/f", "p/q/g"}));
    EXPECT_TRUE(index.filePaths(QStringLiteral("other"), {}).isEmpty());

    EXPECT_EQ(index.replaceFolderRows({folderChanges(source, {folder("new")}, {"p", "pa"})}), 3);   // two subtree deletions and one row written
    EXPECT_EQ(sorted(index.folderPaths(source, {})), (QStringList{"new", "p-x", "p0"}));
    EXPECT_EQ(text("SELECT parent_path FROM folders WHERE rel_path = 'new'"), QString());
    index.replaceSourceFolderRows({folder("x/y/z")}, source, complete);
    EXPECT_EQ(text("SELECT parent_path FROM folders WHERE rel_path = 'x/y/z'"), QStringLiteral("x/y"));
    EXPECT_EQ(index.replaceFolderRows({}), 0);
}

// A file that moved keeps its item: favorites and previews hang on the item's id.
TEST_F(ScanTest, MovedFilesCarryTheirItemsOver)
{
    index.syncFiles({onDisk("old/a.jpg", 10), onDisk("old/b.jpg", 10), onDisk("old/c.jpg", 10), onDisk("raw", 99)},
                    source, complete);
    const QString a = identify("old/a.jpg", "ha");
    const QString b = identify("old/b.jpg", "hb");
    identify("old/c.jpg", "hc", std::nullopt);
    const QString s = QStringLiteral("T");
    addSource(s);

    // a.jpg and b.jpg move to new/; c.jpg goes to another source under a new name; "raw" had no
    // item and is simply deleted.
    const auto removed =
        fileChanges(source, {}, {"old/a.jpg", "old/b.jpg", "old/c.jpg", "raw", "never-indexed"});
    const auto added = fileChanges(
        source, {onDisk("new/b.jpg", 10, base + 0.5), onDisk("new/a.jpg", 10, base - 1), onDisk("new/other", 11)}, {});
    const auto elsewhere = fileChanges(s, {onDisk("C.JPG", 10)}, {});
    EXPECT_EQ(index.applyChanges({removed, added, elsewhere}), 4 + 4);

    EXPECT_EQ(itemOf("new/a.jpg"), a);
    EXPECT_EQ(itemOf("new/b.jpg"), b);
    EXPECT_EQ(text("SELECT item_id FROM files WHERE source_id = 'T'"), QStringLiteral("ITEM-hc"));
    EXPECT_EQ(text("SELECT quick_hash FROM files WHERE rel_path = 'new/a.jpg'"), QStringLiteral("ha"));
    EXPECT_EQ(stateOf("new/a.jpg"), 0);
    EXPECT_EQ(itemOf("new/other"), QString());
    EXPECT_EQ(items(), 3);
    EXPECT_EQ(searchRows(), 3);
    EXPECT_EQ(text("SELECT filename || ' ' || weak_id FROM items WHERE id = 'ITEM-hc'"), QStringLiteral("C.JPG "));
    EXPECT_EQ(text("SELECT filename || ' ' || weak_id FROM items WHERE id = ?", {a}),
              QStringLiteral("a.jpg a.jpg|40x30|1700000000"));

    // A file reset and not hashed again yet moves with its item, still without a hash.
    EXPECT_EQ(index.applyChanges({fileChanges(source, {onDisk("new/a.jpg", 10, base + 9)}, {})}), 1);
    EXPECT_EQ(index.applyChanges({fileChanges(source, {onDisk("last/a.jpg", 10, base + 9)}, {"new/a.jpg"})}), 2);
    EXPECT_EQ(itemOf("last/a.jpg"), a);
    EXPECT_EQ(integer("SELECT quick_hash IS NULL FROM files WHERE rel_path = 'last/a.jpg'"), 1);
}

TEST_F(ScanTest, ChangePassRemovesRowsAndTheirLastItemsButKeepsResetOnes)
{
    index.syncFiles({onDisk("gone"), onDisk("kept"), onDisk("twin1"), onDisk("twin2")}, source, complete);
    identify("gone", "hg");
    identify("kept", "hk");
    const QString twins = identify("twin1", "ht");
    Item unused;
    unused.id = QStringLiteral("unused");
    unused.quickHash = QStringLiteral("ht");
    index.linkItem(fileID("twin2"), QStringLiteral("ht"), unused);

    EXPECT_EQ(index.applyChanges({fileChanges(source, {onDisk("kept", 100, base + 5)}, {"gone", "kept", "twin1"})}), 3);
    EXPECT_EQ(sorted(index.filePaths(source, {})), (QStringList{"kept", "twin2"}));
    EXPECT_EQ(itemOf("kept"), QStringLiteral("ITEM-hk"));
    EXPECT_EQ(itemOf("twin2"), twins);
    EXPECT_EQ(items(), 2);
    EXPECT_EQ(searchRows(), 2);

    // A cloud file evicted from this computer counts in a change pass.
    EXPECT_EQ(index.applyChanges({fileChanges(source, {record("twin2", 1, base, false)}, {})}), 1);
    EXPECT_EQ(integer("SELECT local FROM files WHERE rel_path = 'twin2'"), 0);

    // Two changed folders, one inside the other, both knew the removed file: it goes once.
    index.syncFiles({onDisk("kept"), onDisk("twin2"), onDisk("a/b/gone")}, source, complete);
    EXPECT_EQ(index.applyChanges({fileChanges(source, {}, {"a/b/gone"}), fileChanges(source, {}, {"a/b/gone"})}), 1);
    EXPECT_EQ(sorted(index.filePaths(source, {})), (QStringList{"kept", "twin2"}));
}

TEST_F(ScanTest, FileStampsComparesWithoutWriting)
{
    EXPECT_EQ(index.fileStamps({onDisk("a"), onDisk("b")}, source), (Verification{2, 0, 0, 2}));
    index.syncFiles({onDisk("a"), onDisk("b"), onDisk("c")}, source, complete);
    identify("b", "hb");
    EXPECT_EQ(index.fileStamps({onDisk("a", 100, base + 1), onDisk("b", 5), onDisk("d")}, source),
              (Verification{3, 1, 1, 1}));
    // The changed file is neither reset nor resized, and nothing is added or deleted.
    EXPECT_EQ(stateOf("b"), 2);
    EXPECT_EQ(integer("SELECT size FROM files WHERE rel_path = 'b'"), 100);
    EXPECT_EQ(sorted(index.filePaths(source, {})), (QStringList{"a", "b", "c"}));
}

} // namespace
