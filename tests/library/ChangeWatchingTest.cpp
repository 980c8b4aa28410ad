#include "FolderSourceFixture.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/engine/ChangeWatcher.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/Walkers.h"
#include "Pellmar/platform/MemoryPhotoLibrary.h"
#include "tests/media/FakeWatcher.h"
#include "tests/support/LogCapture.h"

#include <QMutex>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>

#include <chrono>
#include <functional>

namespace {

using namespace std::chrono_literals;

// A folder source on a real temporary folder whose watcher events the tests report by hand, with
// the manual clock deciding when a pass runs.
class ChangeWatchingTest : public FolderSourceFixture {
protected:
    explicit ChangeWatchingTest(ChangeWatcher::WatcherFactory makeWatcher = {})
        : FolderSourceFixture({}, std::move(makeWatcher))
    {
    }

    QString absolute(const QString& relativePath) const
    {
        return relativePath.isEmpty() ? root : root + QLatin1Char('/') + relativePath;
    }

    void report(const QString& relativePath, quint32 flags = 0)
    {
        watcher.noteFolderChanges(source.id, {absolute(relativePath)}, {flags});
    }

    // Lets the 2 s wait of the pending pass run out and waits for the pass to end.
    void runPass()
    {
        QSignalSpy ended(&watcher, &ChangeWatcher::passEnded);
        offline.clock->advance(2s);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() > 0; }, 10000));
    }

    ChangeWatcher& watcher = library.changeWatcher();
};

TEST_F(ChangeWatchingTest, EachPassBringsTheRowsOfTheReportedFoldersInStepWithTheDisk)
{
    for (const char* path : {"a/1.jpg", "a/b/2.jpg", "c/3.jpg", "4.jpg"})
        write(QString::fromUtf8(path));
    report(QString(), WatchFlags::mustScanSubfolders);
    runPass();
    ASSERT_EQ(fileRows(), diskFiles());
    ASSERT_EQ(folderRows(), diskFolders());

    const struct {
        const char* change;
        std::function<void()> onDisk;
        QStringList reported;
    } steps[] = {
        {"file created", [&] { write(QStringLiteral("a/5.jpg")); }, {"a"}},
        {"file modified", [&] { write(QStringLiteral("a/1.jpg"), "longer content"); }, {"a"}},
        {"file deleted", [&] { QFile::remove(absolute(QStringLiteral("c/3.jpg"))); }, {"c"}},
        {"folder renamed", [&] { QDir(root).rename(QStringLiteral("a/b"), QStringLiteral("a/d")); }, {"a"}},
        {"folder created with a subfolder", [&] { write(QStringLiteral("e/f/6.jpg")); }, {""}},
        {"folder deleted", [&] { QDir(absolute(QStringLiteral("c"))).removeRecursively(); }, {""}},
        {"file renamed", [&] { QDir(root).rename(QStringLiteral("4.jpg"), QStringLiteral("7.jpg")); }, {""}},
        {"path reported with a trailing slash and dot components", [&] { write(QStringLiteral("e/8.jpg")); },
         {"e/f/../", "e/./"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.change);
        step.onDisk();
        for (const QString& folder : step.reported)
            report(folder);
        runPass();
        EXPECT_EQ(fileRows(), diskFiles());
        EXPECT_EQ(folderRows(), diskFolders());
    }
}

TEST_F(ChangeWatchingTest, AMovedFileKeepsItsItemAndItsFavorite)
{
    const QString from = write(QStringLiteral("a/x.jpg"));
    addItem({.id = QStringLiteral("X")});
    addFile({.sourceID = source.id, .relPath = QStringLiteral("a/x.jpg"), .itemID = QStringLiteral("X"),
             .size = QFileInfo(from).size(), .mtime = QFileInfo(from).lastModified().toMSecsSinceEpoch() / 1000.0});
    index.setFavorite(QStringLiteral("X"), true, Index::everythingWorkspaceID);
    ASSERT_TRUE(QDir().mkpath(absolute(QStringLiteral("b"))));
    ASSERT_TRUE(QFile::rename(from, absolute(QStringLiteral("b/x.jpg"))));

    report(QStringLiteral("a"));
    report(QString());
    runPass();

    EXPECT_EQ(text(QStringLiteral("SELECT item_id FROM files WHERE rel_path = 'b/x.jpg'")), QStringLiteral("X"));
    EXPECT_EQ(integer(QStringLiteral("SELECT COUNT(*) FROM files")), 1);
    EXPECT_EQ(index.favoriteIDs(Index::everythingWorkspaceID), QSet<QString>{"X"});
}

TEST_F(ChangeWatchingTest, ReportsAreRecordedByFlagAndABurstIsOnePassTwoSecondsAfterItsFirstReport)
{
    // The root itself changing is not a change of a folder inside it.
    report(QString(), WatchFlags::rootChanged);
    EXPECT_FALSE(watcher.changeTask());
    EXPECT_TRUE(watcher.changedDirectories().isEmpty());

    write(QStringLiteral("a/1.jpg"));
    write(QStringLiteral("c/2.jpg"));
    LogCapture log(logWatch());
    report(QStringLiteral("a"), WatchFlags::mustScanSubfolders);
    report(QStringLiteral("a"));
    EXPECT_EQ(watcher.changedDirectories().value(source.id), QSet<QString>{absolute("a")});
    EXPECT_EQ(watcher.deepDirectories().value(source.id), QSet<QString>{absolute("a")});

    QSignalSpy ended(&watcher, &ChangeWatcher::passEnded);
    offline.clock->advance(1500ms);
    report(QStringLiteral("c"));
    waitForTasks();
    EXPECT_EQ(ended.count(), 0);
    offline.clock->advance(500ms);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 10000));
    EXPECT_EQ(fileRows(), diskFiles());
    EXPECT_FALSE(watcher.changeTask());
    const QStringList lines = log.take();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("applied 2 changed folders, 2 file rows and 2 folder rows, in ")))
        << lines[0].toStdString();
}

TEST_F(ChangeWatchingTest, ReportsDuringAPassGiveOneMorePassWhoseCancelledWaitAppliesAtOnce)
{
    write(QStringLiteral("a/1.jpg"));
    report(QStringLiteral("a"));
    QSignalSpy ended(&watcher, &ChangeWatcher::passEnded);
    offline.clock->advance(2s);
    // The pass has taken its folders; what is reported now belongs to the next one.
    ASSERT_TRUE(watcher.changedDirectories().isEmpty());
    write(QStringLiteral("b/2.jpg"));
    report(QString());
    report(QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 10000));
    ASSERT_TRUE(watcher.changeTask());
    EXPECT_NE(fileRows(), diskFiles());

    offline.clock->advance(500ms);
    watcher.changeTask()->cancel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 2; }, 10000));
    EXPECT_EQ(fileRows(), diskFiles());
    EXPECT_FALSE(watcher.changeTask());
    offline.clock->advance(10s);
    waitForTasks();
    EXPECT_EQ(ended.count(), 2);
}

TEST_F(ChangeWatchingTest, APassWaitsBehindTheScanOfItsSource)
{
    write(QStringLiteral("a/1.jpg"));
    library.setScanning(source.name);
    report(QStringLiteral("a"));
    runPass();
    EXPECT_TRUE(fileRows().isEmpty());
    EXPECT_TRUE(watcher.changedDirectories().contains(source.id));
    ASSERT_TRUE(watcher.changeTask());

    library.setScanning(std::nullopt);
    runPass();
    EXPECT_EQ(fileRows(), diskFiles());
}

// A drive mounted on a folder of the source, then unmounted, leaves that folder empty: whether the
// pass lists the folder itself or one above it, the rows of the drive's files stay.
TEST_F(ChangeWatchingTest, TheEmptyFolderOfAnUnmountedDriveDeletesNoRows)
{
    MountedVolume drive;
    drive.url = absolute(QStringLiteral("Drive"));
    drive.name = QStringLiteral("Drive");
    const struct {
        const char* folder;
        quint32 flags;
    } reports[] = {{"Drive", WatchFlags::mustScanSubfolders}, {"", WatchFlags::mustScanSubfolders}, {"", 0}};
    for (const auto& reported : reports) {
        SCOPED_TRACE(std::string("reported: '") + reported.folder + "' " + std::to_string(reported.flags));
        offline.volumes->setVolumes({drive});
        write(QStringLiteral("Drive/a.jpg"));
        write(QStringLiteral("Drive/sub/b.jpg"));
        report(QString(), WatchFlags::mustScanSubfolders);
        runPass();
        const QStringList mounted = fileRows();
        ASSERT_EQ(mounted.size(), 2);

        offline.volumes->setVolumes({});
        QDir(absolute(QStringLiteral("Drive"))).removeRecursively();
        QDir(root).mkdir(QStringLiteral("Drive"));
        write(QStringLiteral("new.jpg"));
        report(QString::fromUtf8(reported.folder), reported.flags);
        report(QString());
        runPass();
        EXPECT_EQ(fileRows(), QStringList(mounted) << QStringLiteral("new.jpg 7"));
        QFile::remove(absolute(QStringLiteral("new.jpg")));
        db.run(QStringLiteral("DELETE FROM files"));
    }
}

// A drive mounted on a folder of the source and then away leaves that folder empty on the source's
// own device. Once a walk has seen the drive there, neither a scan nor a deep change pass takes its
// files for deleted, in the same run or, through the index, in the next.
TEST_F(ChangeWatchingTest, TheRowsOfADriveThatIsAwayStayInScansPassesAndTheNextRun)
{
    for (const char* path : {"top.jpg", "Drive/a.jpg", "Drive/sub/b.jpg"})
        write(QString::fromUtf8(path));
    const QString drive = absolute(QStringLiteral("Drive"));
    {
        // The drive's folders all lie on its own device.
        const FolderDeviceInjection mounted([&](const QString& folder) {
            return folder == drive || folder.startsWith(drive + u'/') ? 4242 : 0;
        });
        report(QString(), WatchFlags::mustScanSubfolders);
        runPass();
    }
    const QStringList whileMounted = fileRows();
    ASSERT_EQ(whileMounted.size(), 3);
    EXPECT_EQ(index.mountPoints(), QSet<QString>{drive});

    QDir(drive).removeRecursively();
    QDir(root).mkdir(QStringLiteral("Drive"));
    // The next run knows of the drive only what the index tells.
    library.knownMountPoints.clear();
    Tasks::start(library.reload());
    waitForTasks();
    ASSERT_EQ(library.knownMountPoints, QSet<QString>{drive});

    const struct {
        const char* walk;
        std::function<void()> run;
    } walks[] = {
        {"scan", [&] {
             Tasks::start(library.scan(source));
             waitForTasks();
         }},
        {"deep pass of the root", [&] {
             report(QString(), WatchFlags::mustScanSubfolders);
             runPass();
         }},
        {"deep pass of the drive's folder", [&] {
             report(QStringLiteral("Drive"), WatchFlags::mustScanSubfolders);
             runPass();
         }},
    };
    for (const auto& walk : walks) {
        SCOPED_TRACE(walk.walk);
        walk.run();
        EXPECT_EQ(fileRows(), whileMounted);
        EXPECT_TRUE(folderRows().contains(QStringLiteral("Drive/sub")));
    }
}

// A Library with a photo library source on a photo library in memory.
class PhotosPassTest : public ChangeWatchingTest {
protected:
    PhotosPassTest()
    {
        photos->addAsset(PhotoAsset{.localIdentifier = QStringLiteral("A1"), .creationDate = 1.0});
        photos->addAsset(PhotoAsset{.localIdentifier = QStringLiteral("A2"), .creationDate = 2.0});
        setSharedPhotoLibrary(photos);
        index.saveSource(photosSource);
        library.setSources({source, photosSource});
        library.setOnline({source.id, photosSource.id});
    }

    ~PhotosPassTest() override { setSharedPhotoLibrary(nullptr); }

    qint64 photoRows() { return integer(QStringLiteral("SELECT COUNT(*) FROM files WHERE source_id = 'P'")); }

    // The photo library passes' lines since the last call.
    QStringList passLines() { return log.take().filter(QStringLiteral("Apple Photos")); }

    LogCapture log{logWatch()};

    std::shared_ptr<MemoryPhotoLibrary> photos = std::make_shared<MemoryPhotoLibrary>();
    Source photosSource{QStringLiteral("P"), QStringLiteral("Apple Photos"), QString(), QString(), QString(), 2,
                        SourceKind::photos};
};

TEST_F(PhotosPassTest, NoticesDuringAPassGiveExactlyOneMorePassWithItsOwnWait)
{
    QSignalSpy ended(&watcher, &ChangeWatcher::photosPassEnded);
    watcher.notePhotosChange();
    offline.clock->advance(1s);
    watcher.notePhotosChange();
    watcher.notePhotosChange();
    offline.clock->advance(2s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 10000));
    EXPECT_EQ(passLines(), QStringList{"Apple Photos changed, 2 rows changed"});
    EXPECT_EQ(photoRows(), 2);

    // The second pass waits its own 3 s, and no third one follows.
    ASSERT_TRUE(watcher.photosTask());
    offline.clock->advance(2s);
    waitForTasks();
    EXPECT_EQ(ended.count(), 1);
    offline.clock->advance(1s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 2; }, 10000));
    EXPECT_EQ(passLines(), QStringList{"Apple Photos changed, 0 rows changed"});
    EXPECT_FALSE(watcher.photosTask());
}

TEST_F(PhotosPassTest, ANoticeDuringAScanGivesOnePassWhenTheScanEnds)
{
    QSignalSpy ended(&watcher, &ChangeWatcher::photosPassEnded);
    library.setScanning(source.name);
    watcher.notePhotosChange();
    offline.clock->advance(3s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 10000));
    watcher.notePhotosChange();
    offline.clock->advance(3s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 2; }, 10000));
    EXPECT_TRUE(passLines().isEmpty());
    EXPECT_EQ(photoRows(), 0);
    EXPECT_FALSE(watcher.photosTask());

    library.setScanning(std::nullopt);
    ASSERT_TRUE(watcher.photosTask());
    offline.clock->advance(3s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 3; }, 10000));
    EXPECT_EQ(passLines(), QStringList{"Apple Photos changed, 2 rows changed"});
    EXPECT_FALSE(watcher.photosTask());
}

// Watchers whose making blocks until the test lets it go, as on a drive slow to answer.
class SlowWatcherTest : public ChangeWatchingTest {
protected:
    SlowWatcherTest()
        : ChangeWatchingTest([this](const QString& path, WatchHandler handler) {
            madeOn = QThread::currentThread();
            release.acquire();
            made = std::make_shared<FakeWatcher>(path, std::move(handler));
            return made;
        })
    {
    }

    ~SlowWatcherTest() override { release.release(10); }

    QSemaphore release;
    std::atomic<QThread*> madeOn = nullptr;
    std::shared_ptr<FakeWatcher> made;
};

TEST_F(SlowWatcherTest, AWatcherIsMadeAndStoppedOffTheGuiThread)
{
    library.startWatching();
    EXPECT_EQ(watcher.watchedSources(), QStringList{source.id});
    library.setOnline({});
    library.startWatching();   // while the watcher is still being made
    EXPECT_TRUE(watcher.watchedSources().isEmpty());

    release.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return made && made->isStopped(); }, 10000));
    EXPECT_NE(madeOn.load(), QThread::currentThread());
}

// Fake watchers, kept by root, that the test makes report what the system refused.
class RefusedWatchTest : public ChangeWatchingTest {
protected:
    RefusedWatchTest()
        : ChangeWatchingTest([this](const QString& path, WatchHandler handler) {
            auto made = std::make_shared<FakeWatcher>(path, std::move(handler));
            const QMutexLocker locked(&lock);
            watchers.append(made);
            return made;
        })
    {
    }

    std::shared_ptr<FakeWatcher> madeWatcher(qsizetype count)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] {
            const QMutexLocker locked(&lock);
            return watchers.size() >= count;
        }, 10000));
        const QMutexLocker locked(&lock);
        return watchers.value(count - 1);
    }

    QMutex lock;
    QList<std::shared_ptr<FakeWatcher>> watchers;
};

TEST_F(RefusedWatchTest, AFolderTheSystemRefusesToWatchIsShownUntilItsWatcherGoes)
{
    write(QStringLiteral("a/1.jpg"));
    library.startWatching();
    const std::shared_ptr<FakeWatcher> first = madeWatcher(1);
    ASSERT_TRUE(first);
    const QString refused = absolute(QStringLiteral("a"));
    first->deliver({refused}, {WatchFlags::mustScanSubfolders | WatchFlags::notWatched});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !library.unwatchedSources().isEmpty(); }, 10000));
    EXPECT_EQ(library.unwatchedSources(), QSet<QString>{source.id});
    // The refused folder is listed again in depth, as after any report that asks for it.
    EXPECT_TRUE(watcher.deepDirectories().value(source.id).contains(refused));
    runPass();
    EXPECT_EQ(fileRows(), diskFiles());

    // Offline, the source has no watcher and nothing to show; a late report of the old watcher
    // changes nothing.
    library.setOnline({});
    library.startWatching();
    EXPECT_TRUE(library.unwatchedSources().isEmpty());
    watcher.noteFolderChanges(source.id, {refused}, {WatchFlags::mustScanSubfolders | WatchFlags::notWatched});
    EXPECT_TRUE(library.unwatchedSources().isEmpty());

    // A new watcher whose watches are all in place shows nothing.
    library.setOnline({source.id});
    library.startWatching();
    ASSERT_TRUE(madeWatcher(2));
    EXPECT_TRUE(library.unwatchedSources().isEmpty());
}

// The real watcher on the source's folder: what is done on disk reaches the index.
TEST_F(ChangeWatchingTest, FilesChangedInAWatchedFolderReachTheIndex)
{
    write(QStringLiteral("a/1.jpg"));
    library.startWatching();
    const auto passUntilInStep = [&] {
        for (int round = 0; round < 10 && (fileRows() != diskFiles() || folderRows() != diskFolders()); ++round) {
            if (!QTest::qWaitFor([&] { return !watcher.changedDirectories().isEmpty(); }, 5000))
                break;
            runPass();
        }
    };
    passUntilInStep();   // the watcher reports its root once its watches are in place
    ASSERT_EQ(fileRows(), diskFiles());

    write(QStringLiteral("a/2.jpg"));
    write(QStringLiteral("n/m/3.jpg"));
    QDir(root).rename(QStringLiteral("a/1.jpg"), QStringLiteral("a/renamed.jpg"));
    passUntilInStep();
    EXPECT_EQ(fileRows(), diskFiles());
    EXPECT_EQ(folderRows(), diskFolders());
}

} // namespace
