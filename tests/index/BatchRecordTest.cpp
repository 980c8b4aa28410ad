#include "QueueFixture.h"

#include "Pellmar/index/Index.h"

#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <utility>

namespace {

// The ends of several files go in one transaction, yet each file's writes hold or go on their own:
// a row that changed since it was read is left alone, a failing file leaves its row waiting, and a
// second file of the same new content joins the item of the first with the first's picture name.
TEST_F(QueueTest, RecordingABatchWritesEachFileOnItsOwnTerms)
{
    index.syncFiles({onDisk("a.jpg"), onDisk("copy.jpg"), onDisk("edited.jpg"), onDisk("bad.jpg"), onDisk("b.jpg")},
                    "A", {});
    const QList<Job> jobs = index.pendingFiles(5, {"A"});
    ASSERT_EQ(jobs.size(), 5);
    index.syncFiles({onDisk("a.jpg"), onDisk("copy.jpg"), onDisk("edited.jpg", 2000), onDisk("bad.jpg"), onDisk("b.jpg")},
                    "A", {});
    const auto read = [](const Job& job, const QString& itemID, const QString& hash) {
        return Index::IndexedFile{.job = job, .quickHash = hash, .item = newItem(itemID, hash),
                                  .orphanKey = "unhashed:A:" + job.relativePath, .searchText = job.relativePath,
                                  .previewExtension = "jpg"};
    };
    QList<std::pair<QString, QString>> placed;
    const auto placePicture = [&](const Index::IndexedFile& file, const QString& standingID) {
        if (file.job.relativePath == "bad.jpg")
            throw DatabaseError("cannot move the preview");
        placed.append({file.item.id, standingID});
        return true;
    };
    addItem({.id = "KNOWN", .quickHash = "hk"});
    const QList<Index::IndexedOutcome> outcomes = index.recordIndexedFiles(
        {read(jobs[0], "NEW-A", "ha"), read(jobs[1], "NEW-COPY", "ha"), read(jobs[2], "NEW-E", "he"),
         read(jobs[3], "NEW-BAD", "hk"), read(jobs[4], "NEW-B", "hb")},
        placePicture);

    struct Expected {
        const char* path;
        bool written;
        const char* error;
        FileState state;
        const char* item;
    };
    const Expected expected[] = {
        {"a.jpg", true, "", FileState::ready, "NEW-A"},
        {"copy.jpg", true, "", FileState::ready, "NEW-A"},
        {"edited.jpg", false, "", FileState::found, ""},
        {"bad.jpg", false, "cannot move the preview", FileState::found, ""},
        {"b.jpg", true, "", FileState::ready, "NEW-B"},
    };
    ASSERT_EQ(outcomes.size(), 5);
    for (qsizetype i = 0; i < 5; ++i) {
        SCOPED_TRACE(expected[i].path);
        EXPECT_EQ(outcomes[i].written, expected[i].written);
        EXPECT_EQ(outcomes[i].error, QString::fromUtf8(expected[i].error));
        EXPECT_EQ(integer("SELECT state FROM files WHERE rel_path = ?", {expected[i].path}), rawValue(expected[i].state));
        EXPECT_EQ(itemOf(expected[i].path), QString::fromUtf8(expected[i].item));
    }
    EXPECT_EQ(placed, (QList<std::pair<QString, QString>>{{"NEW-COPY", "NEW-A"}}));
    EXPECT_EQ(text("SELECT group_concat(id) FROM (SELECT id FROM items ORDER BY id)"), QStringLiteral("KNOWN,NEW-A,NEW-B"));
    EXPECT_EQ(itemText("preview_ext", "NEW-A"), QStringLiteral("jpg"));
    EXPECT_EQ(itemText("preview_ext", "KNOWN"), QString());
    EXPECT_EQ(text("SELECT text FROM search WHERE item_id = 'NEW-B'"), QStringLiteral("b.jpg"));
}

// A quit (which interrupts the writer) or a failing disk can end the whole transaction inside one
// file's writes. The batch then writes nothing and reports that first error, not the failure of
// the savepoint cleanup that follows, and the next batch writes as usual.
TEST_F(QueueTest, ABatchEndedPartWayWritesNothingAndReportsItsOwnError)
{
    index.syncFiles({onDisk("a.jpg"), onDisk("b.jpg"), onDisk("c.jpg")}, "A", {});
    const QList<Job> jobs = index.pendingFiles(3, {"A"});
    ASSERT_EQ(jobs.size(), 3);
    QList<Index::IndexedFile> files;
    for (const Job& job : jobs)
        files.append({.job = job, .quickHash = "h" + job.relativePath, .item = newItem("I" + job.relativePath, "h" + job.relativePath),
                      .searchText = job.relativePath});
    const auto placePicture = [](const Index::IndexedFile&, const QString&) { return true; };

    const struct {
        int code;
        const char* error;
    } cases[] = {{SQLITE_INTERRUPT, "interrupted"}, {SQLITE_IOERR, "disk I/O error"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        // b.jpg's link fails with the code, as a statement that met it would.
        int failure = c.code;
        sqlite3_create_function(
            db.db(), "fail_write", 0, SQLITE_UTF8, &failure,
            [](sqlite3_context* context, int, sqlite3_value**) {
                sqlite3_result_error_code(context, *static_cast<int*>(sqlite3_user_data(context)));
            },
            nullptr, nullptr);
        db.exec("CREATE TEMP TRIGGER fail_b AFTER UPDATE OF item_id ON main.files WHEN new.rel_path = 'b.jpg' "
                "BEGIN SELECT fail_write(); END");
        try {
            index.recordIndexedFiles(files, placePicture);
            ADD_FAILURE() << "the batch reported no error";
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.description(), QString::fromLatin1(c.error));
        }
        EXPECT_EQ(count("items"), 0);
        EXPECT_EQ(integer("SELECT COUNT(*) FROM files WHERE state = ? AND item_id IS NULL", {rawValue(FileState::found)}), 3);
        db.exec("DROP TRIGGER temp.fail_b");
    }

    const QList<Index::IndexedOutcome> outcomes = index.recordIndexedFiles(files, placePicture);
    EXPECT_EQ(std::count_if(outcomes.begin(), outcomes.end(), [](const auto& outcome) { return outcome.written; }), 3);
    EXPECT_EQ(integer("SELECT COUNT(*) FROM files WHERE state = ?", {rawValue(FileState::ready)}), 3);
}

// The quick-index worker's writes run once per file: none of them may read a whole table, or
// indexing slows down as the index grows.
TEST_F(QueueTest, PerFileWritesUseIndexesOnly)
{
    index.syncFiles({onDisk("f"), onDisk("g", 5000), onDisk("h", 6000)}, "A", {});
    const qint64 f = fileID("f");
    const qint64 g = fileID("g");
    index.linkItem(g, "hg", newItem("G", "hg"));
    const QList<Job> pending = index.pendingFiles(3, {"A"});
    const Job h = *std::find_if(pending.begin(), pending.end(), [](const Job& job) { return job.relativePath == "h"; });

    QStringList statements;
    sqlite3_trace_v2(
        db.db(), SQLITE_TRACE_STMT,
        [](unsigned, void* context, void* statement, void*) {
            const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
            static_cast<QStringList*>(context)->append(QString::fromUtf8(sql));
            return 0;
        },
        &statements);
    index.pendingFiles(24, {"A"});
    index.itemByHash("h");
    const QString item = index.linkItem(f, "h", newItem("I", "h"));
    index.dropOrphanItem("unhashed:A:f");
    index.setSearchText(item, "f");
    index.markPreviewed(f, item, "jpg", "jpg");
    index.recordIndexedFiles({{.job = h, .quickHash = "h", .item = newItem("H", "h"), .orphanKey = "unhashed:A:h",
                               .searchText = "h", .previewExtension = "jpg"}},
                             [](const Index::IndexedFile&, const QString&) { return true; });
    index.setFileState(g, "empty file", FileState::empty);
    index.updateFileSize(f, 1, true);
    index.setProxy(item, "heic", "");
    index.setFullError(item, "x");
    index.deleteFile(f);
    sqlite3_trace_v2(db.db(), 0, nullptr, nullptr);

    ASSERT_GT(statements.size(), 10);
    for (const QString& sql : statements) {
        Statement plan(db.db(), QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
        while (plan.step()) {
            // A full-text table read without a constraint shows as "VIRTUAL TABLE INDEX 0:" with
            // nothing after the colon; its one-row configuration table is read on every open.
            const QString detail = plan.text(3);
            const bool constrainedFullText = detail.contains(QStringLiteral("VIRTUAL TABLE")) && !detail.endsWith(u':');
            const bool fullScan = detail.startsWith(QStringLiteral("SCAN ")) && !constrainedFullText
                && !detail.contains(QStringLiteral("search_config"));
            EXPECT_FALSE(fullScan) << sql.toStdString() << "\n  " << detail.toStdString();
        }
    }
}

} // namespace
