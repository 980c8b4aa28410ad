#include "QueueFixture.h"

#include "Pellmar/index/Index.h"

#include <QStringList>

#include <functional>
#include <string_view>

namespace {

// The files of a drive that is unplugged must not stand in line before everybody else's.
TEST_F(QueueTest, PendingFilesComeOnlyFromAvailableSourcesIdentifiedFirst)
{
    for (int i = 0; i < 30; ++i)
        addFile({.sourceID = "B", .relPath = QStringLiteral("b%1").arg(i)});
    addFile({.sourceID = "A", .relPath = "found1"});
    addFile({.sourceID = "A", .relPath = "identified", .state = FileState::identified});
    addFile({.sourceID = "A", .relPath = "found2"});
    addFile({.sourceID = "A", .relPath = "failed", .state = FileState::failed, .error = "bad"});
    addFile({.sourceID = "A", .relPath = "asset", .assetID = "X1", .local = false});

    const QList<Job> jobs = index.pendingFiles(24, {"A"});
    EXPECT_EQ(fileIDs(jobs), (QList<qint64>{fileID("identified"), fileID("found1"), fileID("found2"), fileID("asset")}));
    EXPECT_EQ(jobs[0], (Job{fileID("identified"), "A", "identified", FileState::identified, "", true, 0, 0}));
    EXPECT_EQ(jobs[3], (Job{fileID("asset"), "A", "asset", FileState::found, "X1", false}));

    EXPECT_EQ(index.pendingFiles(2, {"A", "B"}).size(), 2);
    EXPECT_EQ(index.pendingFiles(100, {"A", "B"}).size(), 34);
    EXPECT_EQ(index.pendingFiles(100, {"A", "A"}).size(), 4);
    EXPECT_TRUE(index.pendingFiles(0, {"A"}).isEmpty());
    EXPECT_TRUE(index.pendingFiles(24, {}).isEmpty());
}

TEST_F(QueueTest, FullPreviewQueueHandsOutWaitingItemsWithAReadyCopySmallestFirst)
{
    addItem({.id = "big"});
    addItem({.id = "small"});
    addItem({.id = "twoCopies"});
    addItem({.id = "asset"});
    addItem({.id = "audio", .kind = MediaKind::audio});
    addItem({.id = "identifiedOnly"});
    addItem({.id = "evicted"});
    addItem({.id = "done", .proxyExt = "heic"});
    addItem({.id = "failed"});
    addItem({.id = "otherSource"});
    index.setFullError(QStringLiteral("failed"), QStringLiteral("no decodable image"));
    addFile({.sourceID = "A", .relPath = "big", .itemID = "big", .size = 900});
    addFile({.sourceID = "A", .relPath = "small", .itemID = "small", .size = 10});
    addFile({.sourceID = "A", .relPath = "two1", .itemID = "twoCopies", .size = 50});
    addFile({.sourceID = "A", .relPath = "two2", .itemID = "twoCopies", .size = 50});
    addFile({.sourceID = "A", .relPath = "asset", .itemID = "asset", .size = 60, .assetID = "X", .local = false});
    addFile({.sourceID = "A", .relPath = "audio", .itemID = "audio", .size = 1});
    addFile({.sourceID = "A", .relPath = "identifiedOnly", .itemID = "identifiedOnly", .size = 1,
             .state = FileState::identified});
    addFile({.sourceID = "A", .relPath = "evicted", .itemID = "evicted", .size = 1, .local = false});
    addFile({.sourceID = "A", .relPath = "done", .itemID = "done", .size = 1});
    addFile({.sourceID = "A", .relPath = "failed", .itemID = "failed", .size = 1});
    addFile({.sourceID = "B", .relPath = "otherSource", .itemID = "otherSource", .size = 1});

    QStringList order;
    for (const FullJob& job : index.fullPreviewQueue(10, {"A"}))
        order.append(job.itemID);
    EXPECT_EQ(order, (QStringList{"small", "twoCopies", "asset", "big"}));
    const QList<FullJob> first = index.fullPreviewQueue(1, {"A"});
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(first[0], (FullJob{"small", "A", "small", MediaKind::photo, "", "small.jpg"}));
    EXPECT_TRUE(index.fullPreviewQueue(10, {}).isEmpty());

    // Progress counts every source and every file state, and a failure as done.
    EXPECT_EQ(index.fullPreviewProgress(), (FullStatus{.done = 2, .total = 8}));
    index.setProxy(QStringLiteral("small"), QStringLiteral("heic"), {});
    EXPECT_EQ(index.fullPreviewProgress(), (FullStatus{.done = 3, .total = 8}));
    EXPECT_EQ(index.fullPreviewQueue(1, {"A"})[0].itemID, QStringLiteral("twoCopies"));
}

// With many items waiting, the queue walks ready files in size order from where the last batch
// began; what is done below that point is not read again, and what comes back below it is found.
TEST_F(QueueTest, LongFullPreviewQueueStaysInSizeOrder)
{
    db.exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
        "INSERT INTO items (id, quick_hash, kind, filename, created_at) SELECT 'b' || i, 'hb' || i, 0, 'b.jpg', 0 FROM n; "
        "INSERT INTO files (source_id, rel_path, size, mtime, quick_hash, item_id, state) "
        "SELECT 'B', id, 1, 0, quick_hash, id, 2 FROM items"));
    for (int i = 1; i <= 6; ++i) {
        const QString id = QStringLiteral("a%1").arg(i);
        addItem({.id = id});
        addFile({.sourceID = "A", .relPath = id, .itemID = id, .size = i * 10});
    }
    addItem({.id = "n"});
    addFile({.sourceID = "A", .relPath = "n", .itemID = "n", .size = 1, .state = FileState::identified});
    const auto nextTwo = [this] {
        QStringList ids;
        for (const FullJob& job : index.fullPreviewQueue(2, {"A"}))
            ids.append(job.itemID);
        return ids;
    };
    const auto finish = [this](const QStringList& ids) {
        for (const QString& id : ids)
            index.setProxy(id, QStringLiteral("heic"), {});
    };

    EXPECT_EQ(nextTwo(), (QStringList{"a1", "a2"}));
    finish({"a1", "a2"});
    EXPECT_EQ(nextTwo(), (QStringList{"a3", "a4"}));
    finish({"a3", "a4"});
    index.markPreviewed(fileID("n"), "n", "jpg", {});   // a new ready file, smaller than the rest
    EXPECT_EQ(nextTwo(), (QStringList{"n", "a5"}));
    finish({"n", "a5"});
    EXPECT_EQ(nextTwo(), QStringList{"a6"});

    // Put back by a write the queue does not follow: found once the walk from the floor runs short.
    db.exec(QStringLiteral("UPDATE items SET proxy_ext = '' WHERE id = 'a1'"));
    EXPECT_EQ(nextTwo(), (QStringList{"a1", "a6"}));
    index.setProxy("a2", "", {});
    EXPECT_EQ(nextTwo(), (QStringList{"a1", "a2"}));
    EXPECT_EQ(index.fullPreviewQueue(3, {"B"}).size(), 3);
}

TEST_F(QueueTest, CountersOnAnEmptyIndexAndByState)
{
    EXPECT_EQ(index.stateCounts(), QueueStatus{});
    EXPECT_EQ(index.fullPreviewProgress(), FullStatus{});
    addFile({.sourceID = "A", .relPath = "f1"});
    addFile({.sourceID = "A", .relPath = "f2"});
    addFile({.sourceID = "A", .relPath = "i", .state = FileState::identified});
    addFile({.sourceID = "B", .relPath = "e", .state = FileState::empty, .error = "empty file"});
    addFile({.sourceID = "B", .relPath = "odd", .state = FileState(9)});
    EXPECT_EQ(index.stateCounts(), (QueueStatus{.found = 2, .identified = 1, .ready = 0, .failed = 0, .empty = 1}));
}

TEST_F(QueueTest, LinkingTwoFilesOfOneContentJoinsTheFirstItem)
{
    ASSERT_EQ(index.syncFiles({onDisk("one", 1000), onDisk("two", 3000)}, QStringLiteral("A"), {}), 2);
    Item first = newItem(QStringLiteral("FIRST"), QStringLiteral("h"));
    first.capturedAt = 500.7;
    first.width = 4;
    first.height = 3;
    EXPECT_EQ(index.itemByHash(QStringLiteral("h")), std::nullopt);
    EXPECT_EQ(index.linkItem(fileID("two"), QStringLiteral("h"), first), QStringLiteral("FIRST"));
    EXPECT_EQ(index.linkItem(fileID("one"), QStringLiteral("h"), newItem(QStringLiteral("SECOND"), QStringLiteral("h"))),
              QStringLiteral("FIRST"));

    EXPECT_EQ(count(QStringLiteral("items")), 1);
    EXPECT_EQ(itemOf("one"), QStringLiteral("FIRST"));
    EXPECT_EQ(itemOf("two"), QStringLiteral("FIRST"));
    EXPECT_EQ(integer("SELECT state FROM files WHERE rel_path = 'one'"), 1);
    EXPECT_EQ(integer("SELECT modified_at FROM items"), 3000);
    EXPECT_EQ(itemText("weak_id", "FIRST"), QStringLiteral("first.jpg|4x3|500"));
    EXPECT_EQ(index.itemByHash(QStringLiteral("h")), first);

    // A file id without a row is refused before anything is written.
    EXPECT_THROW(index.linkItem(999, QStringLiteral("new"), newItem(QStringLiteral("NEW"), QStringLiteral("new"))),
                 DatabaseError);
    EXPECT_EQ(index.itemByHash(QStringLiteral("new")), std::nullopt);
}

// Work on a file takes time; whatever happened to its row meanwhile (the content changed, the file
// went, another run did the work) must win over a write of what was read before.
TEST_F(QueueTest, JobWritesApplyOnlyToTheRowAsItWasRead)
{
    const QString source = QStringLiteral("A");
    const std::function<void()> edited = [&] { index.syncFiles({onDisk("f.jpg", 2000, 100)}, source, {}); };
    const std::function<void()> grown = [&] { index.syncFiles({onDisk("f.jpg", 1000, 200)}, source, {}); };
    const std::function<void()> deleted = [&] { index.syncFiles({}, source, {}); };
    const std::function<void()> linkedElsewhere = [&] {
        index.linkItem(fileID("f.jpg"), QStringLiteral("h"), newItem("OTHER", "h"));
    };
    struct Case {
        const char* what;
        bool beforeLinking;
        std::function<void()> change;
    };
    for (const Case& meanwhile : {Case{"nothing", true, [] {}}, Case{"edited", true, edited},
                                  Case{"grown", true, grown}, Case{"deleted", true, deleted},
                                  Case{"linked by another run", true, linkedElsewhere},
                                  Case{"edited after linking", false, edited},
                                  Case{"deleted after linking", false, deleted}}) {
        SCOPED_TRACE(meanwhile.what);
        index.clearAll();
        index.syncFiles({onDisk("f.jpg")}, source, {});
        const Job job = index.pendingFiles(1, {source}).value(0);
        ASSERT_EQ(job.size, 100);
        ASSERT_EQ(job.modified, 1000);
        const bool unchanged = std::string_view(meanwhile.what) == "nothing";

        if (meanwhile.beforeLinking)
            meanwhile.change();
        const qint64 itemsBefore = count(QStringLiteral("items"));
        const std::optional<QString> linked = index.linkItem(job, QStringLiteral("h"), newItem("NEW", "h"));
        if (meanwhile.beforeLinking) {
            EXPECT_EQ(linked.has_value(), unchanged);
            EXPECT_EQ(count(QStringLiteral("items")), itemsBefore + (unchanged ? 1 : 0));
            if (!linked) {
                EXPECT_FALSE(index.setFileState(job, QStringLiteral("unreadable"), FileState::failed));
                continue;
            }
        } else {
            ASSERT_TRUE(linked);
            meanwhile.change();
        }
        Job identified = job;
        identified.state = FileState::identified;
        EXPECT_EQ(index.markPreviewed(identified, *linked, QStringLiteral("jpg"), {}), unchanged);
        EXPECT_EQ(integer("SELECT COUNT(*) FROM files WHERE state = 2"), unchanged ? 1 : 0);
    }
    // A waiting row as read takes a failure.
    index.clearAll();
    index.syncFiles({onDisk("f.jpg")}, source, {});
    EXPECT_TRUE(index.setFileState(index.pendingFiles(1, {source}).value(0), QStringLiteral("unreadable"),
                                   FileState::failed));
    EXPECT_EQ(text("SELECT error FROM files"), QStringLiteral("unreadable"));
}

// A file that is touched or copied back is reset and hashed again; when its content is the same it
// rejoins its item, and the favorites and previews that hang on the item's id stay.
TEST_F(QueueTest, TouchedFileRejoinsItsItemAndChangedContentLetsItGo)
{
    const QString source = QStringLiteral("A");
    index.syncFiles({onDisk("photo.jpg"), onDisk("other.jpg")}, source, {});
    const QString item = index.linkItem(fileID("photo.jpg"), QStringLiteral("h1"), newItem("ITEM", "h1"));
    index.setSearchText(item, QStringLiteral("photo"));
    index.markPreviewed(fileID("photo.jpg"), item, QStringLiteral("jpg"), {});
    index.setProxy(item, QStringLiteral("heic"), {});
    db.run(QStringLiteral("INSERT INTO favorites (workspace_id, item_id, added_at) VALUES ('everything', ?, 0)"), {item});

    ASSERT_EQ(index.syncFiles({onDisk("photo.jpg", 1002), onDisk("other.jpg")}, source, {}), 1);
    EXPECT_EQ(integer("SELECT state FROM files WHERE rel_path = 'photo.jpg'"), 0);
    EXPECT_EQ(index.itemByHash(QStringLiteral("h1"))->id, item);

    EXPECT_EQ(index.linkItem(fileID("photo.jpg"), QStringLiteral("h1"), newItem("NEW-UUID", "h1")), item);
    EXPECT_EQ(itemText("proxy_ext", item), QStringLiteral("heic"));
    EXPECT_EQ(count(QStringLiteral("items")), 1);
    EXPECT_EQ(integer("SELECT COUNT(*) FROM favorites f JOIN items i ON i.id = f.item_id"), 1);

    // Edited for real: the new content gets its own item and the former one goes with its search row.
    index.syncFiles({onDisk("photo.jpg", 2000), onDisk("other.jpg")}, source, {});
    EXPECT_EQ(index.linkItem(fileID("photo.jpg"), QStringLiteral("h2"), newItem("EDITED", "h2")), QStringLiteral("EDITED"));
    EXPECT_EQ(index.itemByHash(QStringLiteral("h1")), std::nullopt);
    EXPECT_EQ(count(QStringLiteral("search")), 0);

    // Truncated to nothing: an empty file stands for no item.
    index.syncFiles({onDisk("photo.jpg", 3000, 0), onDisk("other.jpg")}, source, {});
    index.setFileState(fileID("photo.jpg"), QStringLiteral("empty file"), FileState::empty);
    EXPECT_EQ(itemOf("photo.jpg"), QString());
    EXPECT_EQ(count(QStringLiteral("items")), 0);
    EXPECT_EQ(text("SELECT error FROM files WHERE rel_path = 'photo.jpg'"), QStringLiteral("empty file"));

    // A failure of a file that is identified keeps its item.
    index.linkItem(fileID("other.jpg"), QStringLiteral("h3"), newItem("OTHER", "h3"));
    index.setFileState(fileID("other.jpg"), QStringLiteral("unreadable"), FileState::failed);
    EXPECT_EQ(itemOf("other.jpg"), QStringLiteral("OTHER"));
}

// The clean-ups of items left without files look only at the items a write touches, so an item
// write that fails half-way must leave nothing behind: an item that no file names would stay in
// the grid for good.
TEST_F(QueueTest, FailedItemWritesChangeNothing)
{
    const QString source = QStringLiteral("A");
    index.syncFiles({onDisk("a.jpg"), onDisk("b.jpg"), onDisk("new.jpg")}, source, {});
    for (const char* name : {"a", "b"}) {
        const QString path = QString::fromLatin1(name) + QStringLiteral(".jpg");
        const QString item = index.linkItem(fileID(path), QStringLiteral("h") + QLatin1String(name),
                                            newItem(QString::fromLatin1(name).toUpper(), QStringLiteral("h") + QLatin1String(name)));
        index.setSearchText(item, path);
        index.markPreviewed(fileID(path), item, QStringLiteral("jpg"), {});
    }
    // "b.jpg" was touched: reset, it still names its item B until it is hashed again.
    index.syncFiles({onDisk("a.jpg"), onDisk("b.jpg", 2000), onDisk("new.jpg")}, source, {});
    const auto snapshot = [this] {
        return QStringList{
            text("SELECT group_concat(x, ';') FROM (SELECT rel_path || ',' || ifnull(item_id, '') || ',' || "
                 "ifnull(quick_hash, '') || ',' || state AS x FROM files ORDER BY id)"),
            text("SELECT group_concat(x, ';') FROM (SELECT id || ',' || filename || ',' || weak_id AS x FROM items ORDER BY id)"),
            text("SELECT group_concat(item_id, ';') FROM (SELECT item_id FROM search ORDER BY item_id)")}
            .join(QStringLiteral(" | "))
            .toStdString();
    };

    const struct {
        const char* name;
        const char* refuse;   // the body of a trigger that makes the write's last statement fail
        std::function<void()> write;
    } cases[] = {
        {"link", "BEFORE UPDATE OF item_id ON files WHEN NEW.item_id = 'NEW'",
         [&] { index.linkItem(fileID("new.jpg"), QStringLiteral("hn"), newItem("NEW", "hn")); }},
        {"link drops the former item", "BEFORE DELETE ON items",
         [&] { index.linkItem(fileID("b.jpg"), QStringLiteral("hx"), newItem("X", "hx")); }},
        {"delete", "BEFORE DELETE ON items", [&] { index.deleteFile(fileID("a.jpg")); }},
        {"rename", "BEFORE UPDATE OF filename ON items", [&] { index.renameFile(fileID("a.jpg"), "c.jpg"); }},
        {"failure of a reset file", "BEFORE DELETE ON items",
         [&] { index.setFileState(fileID("b.jpg"), QStringLiteral("unreadable"), FileState::failed); }},
        {"search text", "BEFORE INSERT ON search_content", [&] { index.setSearchText("A", "other words"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = snapshot();
        db.exec(QStringLiteral("CREATE TEMP TRIGGER refuse %1 BEGIN SELECT RAISE(ABORT, 'refused'); END")
                    .arg(QLatin1String(c.refuse)));
        EXPECT_THROW(c.write(), DatabaseError);
        db.exec(QStringLiteral("DROP TRIGGER refuse"));
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(QueueTest, PreviewProxyAndErrorWrites)
{
    addItem({.id = "I"});
    addFile({.sourceID = "A", .relPath = "f", .itemID = "I", .state = FileState::identified});
    index.markPreviewed(fileID("f"), "I", "jpg", "");
    index.markPreviewed(fileID("f"), "I", "png", "jpg");
    EXPECT_EQ(itemText("preview_ext || '/' || poster_ext", "I"), QStringLiteral("jpg/jpg"));
    EXPECT_EQ(integer("SELECT state FROM files"), 2);

    index.setProxy("I", "mp4", "");
    EXPECT_EQ(itemText("proxy_ext || '/' || poster_ext", "I"), QStringLiteral("mp4/jpg"));
    index.setProxy("I", "none", "png");
    EXPECT_EQ(itemText("proxy_ext || '/' || poster_ext", "I"), QStringLiteral("none/png"));
    index.setPreview("I", "heic");
    index.setFullError("I", "too large");
    EXPECT_EQ(itemText("preview_ext || '/' || full_error", "I"), QStringLiteral("heic/too large"));

    index.updateFileSize(fileID("f"), 77, false);
    EXPECT_EQ(integer("SELECT size * 10 + local FROM files"), 770);
}

TEST_F(QueueTest, SearchTextDeletionsAndOrphans)
{
    addItem({.id = "I"});
    addItem({.id = "J"});
    addFile({.sourceID = "A", .relPath = "i1", .itemID = "I"});
    addFile({.sourceID = "B", .relPath = "i2", .itemID = "I"});
    addFile({.sourceID = "A", .relPath = "j", .itemID = "J"});
    index.setSearchText("I", "first words");
    index.setSearchText("I", "second words");
    index.setSearchText("J", "words of j");
    EXPECT_EQ(integer("SELECT COUNT(*) FROM search WHERE item_id = 'I'"), 1);
    EXPECT_EQ(text("SELECT item_id FROM search WHERE search MATCH 'second'"), QStringLiteral("I"));

    index.deleteFile(fileID("i1"));
    EXPECT_EQ(count("items"), 2);
    index.deleteFile(fileID("i2"));
    EXPECT_EQ(count("items"), 1);
    EXPECT_EQ(text("SELECT group_concat(item_id) FROM search"), QStringLiteral("J"));

    // A placeholder item goes once nothing names it.
    addItem({.id = "P", .quickHash = "unhashed:A:j"});
    index.dropOrphanItem("unhashed:A:j");
    index.dropOrphanItem("hash-J");
    EXPECT_EQ(text("SELECT group_concat(id) FROM items"), QStringLiteral("J"));
}

TEST_F(QueueTest, RenameFollowsTheItemAndMakesRoomAtTheNewPath)
{
    addItem({.id = "I", .capturedAt = 100.9, .width = 2, .height = 1});
    addItem({.id = "D"});
    addItem({.id = "K"});
    addFile({.sourceID = "A", .relPath = "dir/a.JPG", .itemID = "I"});
    addFile({.sourceID = "B", .relPath = "copy.jpg", .itemID = "I"});
    addFile({.sourceID = "A", .relPath = "dir/b.jpg", .itemID = "D"});
    addFile({.sourceID = "A", .relPath = "k.jpg", .itemID = "K"});
    index.setSearchText("D", "d");

    index.renameFile(fileID("dir/a.JPG"), "dir/b.jpg");
    EXPECT_EQ(itemText("filename || ' ' || weak_id", "I"), QStringLiteral("b.jpg b.jpg|2x1|100"));
    EXPECT_EQ(count("files"), 3);
    EXPECT_EQ(text("SELECT group_concat(id) FROM (SELECT id FROM items ORDER BY id)"), QStringLiteral("I,K"));
    EXPECT_EQ(count("search"), 0);

    index.renameFile(fileID("k.jpg"), "K2.jpg/");
    EXPECT_EQ(itemText("filename || '|' || weak_id", "K"), QStringLiteral("K2.jpg|"));
    EXPECT_THROW(index.renameFile(fileID("copy.jpg"), "/"), DatabaseError);
    EXPECT_EQ(text("SELECT rel_path FROM files WHERE source_id = 'B'"), QStringLiteral("copy.jpg"));
}

// A rebuild forgets files and items, not what the user made. Favorites wait by content and go to
// the new item of their content once it is indexed again, in every workspace that had them.
TEST_F(QueueTest, ClearAllKeepsSourcesWorkspacesPinsAndFavoritesByContent)
{
    addItem({.id = "I"});
    addItem({.id = "J"});
    addFile({.sourceID = "A", .relPath = "f", .itemID = "I"});
    addFile({.sourceID = "A", .relPath = "g", .itemID = "J"});
    index.setSearchText("I", "x");
    index.replaceSourceFolderRows({FolderRecord{"dir", 1}}, "A", {});
    db.exec("INSERT INTO favorites VALUES ('everything', 'I', 5), ('W', 'I', 6), ('everything', 'J', 7), ('V', 'J', 8); "
            "INSERT INTO pins VALUES ('everything', 'A', 'dir', 0); INSERT INTO workspace_sources VALUES ('everything', 'A', '')");
    index.clearAll();
    for (const char* table : {"files", "items", "folders", "search", "favorites"})
        EXPECT_EQ(count(table), 0) << table;
    for (const char* table : {"sources", "workspaces", "workspace_sources", "pins"})
        EXPECT_GT(count(table), 0) << table;

    // A workspace deleted meanwhile takes its waiting favorites with it.
    index.deleteWorkspace("V");

    index.syncFiles({onDisk("f")}, "A", {});
    EXPECT_EQ(index.linkItem(fileID("f"), "hash-I", newItem("NEW", "hash-I")), "NEW");
    EXPECT_EQ(text("SELECT group_concat(workspace_id || ':' || item_id || ':' || added_at, ' ') FROM "
                   "(SELECT * FROM favorites ORDER BY workspace_id)"),
              "W:NEW:6.0 everything:NEW:5.0");
    // J's content has not come back yet: its favorite still waits.
    EXPECT_EQ(text("SELECT group_concat(quick_hash || ':' || workspace_id) FROM kept_favorites"), "hash-J:everything");
}

} // namespace
