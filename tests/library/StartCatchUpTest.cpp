#include "FolderSourceFixture.h"

#include "Pellmar/library/engine/ChangeWatcher.h"

#include <QSignalSpy>

#include <chrono>
#include <functional>

namespace {

using namespace std::chrono_literals;

// A folder source listed once in full, then caught up as at a start: the watcher's report of its
// root once the watches are in place, with the manual clock deciding when a pass runs.
class StartCatchUpTest : public FolderSourceFixture {
protected:
    StartCatchUpTest()
    {
        for (const char* path : {"a/1.jpg", "a/b/2.jpg", "c/3.jpg", "4.jpg"})
            write(QString::fromUtf8(path));
        watcher.noteFolderChanges(source.id, {root}, {WatchFlags::mustScanSubfolders});
        runPass();
        // Every row written to the files or folders tables from now on is counted.
        db.run(QStringLiteral("CREATE TABLE written (n INTEGER)"));
        for (const char* table : {"files", "folders"}) {
            for (const char* event : {"INSERT", "UPDATE", "DELETE"}) {
                db.run(QStringLiteral("CREATE TRIGGER count_%1_%2 AFTER %2 ON %1 BEGIN INSERT INTO written VALUES (1); END")
                           .arg(QString::fromUtf8(table), QString::fromUtf8(event)));
            }
        }
    }

    // The watcher's report once its watches are in place, and every pass it leads to, the passes
    // the stamp pass asks for included.
    void catchUp()
    {
        watcher.noteFolderChanges(source.id, {root}, {WatchFlags::mustScanSubfolders | WatchFlags::catchUp});
        runPass();
        ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.stampPasses().isEmpty(); }, 10000));
        if (watcher.changeTask())
            runPass();
    }

    void runPass()
    {
        QSignalSpy ended(&watcher, &ChangeWatcher::passEnded);
        offline.clock->advance(2s);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() > 0; }, 10000));
    }

    qint64 rowsWritten() { return integer(QStringLiteral("SELECT count(*) FROM written")); }

    ChangeWatcher& watcher = library.changeWatcher();
};

TEST_F(StartCatchUpTest, AnUnchangedSourceWritesNoRow)
{
    ASSERT_EQ(fileRows(), diskFiles());
    catchUp();
    EXPECT_EQ(rowsWritten(), 0);
    EXPECT_FALSE(watcher.changeTask());
}

// Each change is made while nothing watches, and found by the catch-up alone.
TEST_F(StartCatchUpTest, FindsWhatChangedWhileNothingWatched)
{
    const struct {
        const char* change;
        std::function<void()> onDisk;
    } steps[] = {
        {"file added", [&] { write(QStringLiteral("c/5.jpg")); }},
        {"file removed", [&] { QFile::remove(QDir(root).filePath(QStringLiteral("a/1.jpg"))); }},
        {"folder added with a subfolder", [&] { write(QStringLiteral("e/f/6.jpg")); }},
        {"folder removed", [&] { QDir(QDir(root).filePath(QStringLiteral("c"))).removeRecursively(); }},
        {"file rewritten in place", [&] { write(QStringLiteral("a/b/2.jpg"), "longer content"); }},
        {"file added at the root", [&] { write(QStringLiteral("7.jpg")); }},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.change);
        step.onDisk();
        catchUp();
        EXPECT_EQ(fileRows(), diskFiles());
        EXPECT_EQ(folderRows(), diskFolders());
    }
}

// A catch-up of a source whose folders the index never recorded lists it in full.
TEST_F(StartCatchUpTest, ASourceWithoutRecordedFoldersIsListedInFull)
{
    db.run(QStringLiteral("DELETE FROM folders"));
    write(QStringLiteral("a/b/8.jpg"));
    catchUp();
    EXPECT_EQ(fileRows(), diskFiles());
    EXPECT_EQ(folderRows(), diskFolders());
}

} // namespace
