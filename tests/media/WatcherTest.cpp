#include "Pellmar/media/Watcher.h"

#include "Pellmar/index/Log.h"
#include "tests/media/TestTree.h"
#include "tests/support/LogCapture.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

struct Batch {
    QStringList paths;
    QList<quint32> flags;
    QString thread;
    qint64 elapsed = 0;   // milliseconds since the collector was made
};

// Collects delivered batches and lets the test wait, with a deadline, for one that matches.
class BatchCollector {
public:
    WatchHandler handler()
    {
        return [this](const QStringList& paths, const QList<quint32>& flags) {
            const std::lock_guard lock(mutex_);
            batches_.append(Batch{paths, flags, QThread::currentThread()->objectName(), clock_.elapsed()});
            changed_.notify_all();
        };
    }

    // Index of the first batch from `from` on that names the path, or -1 when none came in time.
    // The first batch from `from` on that reports `path`, with all of `flags` where some are asked for.
    qsizetype waitForPath(const QString& path, qsizetype from = 0, quint32 flags = 0)
    {
        std::unique_lock lock(mutex_);
        qsizetype found = -1;
        changed_.wait_for(lock, std::chrono::milliseconds(5000), [&] {
            for (qsizetype i = from; i < batches_.size(); ++i) {
                const qsizetype at = batches_[i].paths.indexOf(path);
                if (at >= 0 && (batches_[i].flags.at(at) & flags) == flags) {
                    found = i;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    QList<Batch> batches() const
    {
        const std::lock_guard lock(mutex_);
        return batches_;
    }

    qint64 now() const { return clock_.elapsed(); }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    QList<Batch> batches_;
    QElapsedTimer clock_ = [] { QElapsedTimer timer; timer.start(); return timer; }();
};

// Once ready, the watcher has delivered its first batch: the root, to be rescanned for what changed
// while the watches were set up. Later changes come from batch 1 on.
constexpr qsizetype afterSetup = 1;

void waitUntilReady(const InotifyWatcher& watcher)
{
    const QDeadlineTimer deadline(5000);
    while (!watcher.isReady() && !deadline.hasExpired())
        QThread::yieldCurrentThread();
    ASSERT_TRUE(watcher.isReady());
}

bool mentions(const QList<Batch>& batches, qsizetype end, const QString& prefix)
{
    for (qsizetype i = 0; i < end; ++i) {
        for (const QString& path : batches[i].paths) {
            if (path.startsWith(prefix))
                return true;
        }
    }
    return false;
}

class WatcherTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TestTree tree{dir.path()};
    BatchCollector collector;
};

TEST_F(WatcherTest, BurstOfWritesInOneFolderArrivesAsOneBatch)
{
    tree.folder(QStringLiteral("Album"));
    tree.folder(QStringLiteral("Other"));
    InotifyWatcher watcher(dir.path(), collector.handler());
    waitUntilReady(watcher);

    const qint64 start = collector.now();
    for (int i = 0; i < 20; ++i)
        tree.file(QStringLiteral("Album/%1.jpg").arg(i));
    const qsizetype first = collector.waitForPath(tree.path(QStringLiteral("Album")));
    ASSERT_EQ(first, afterSetup);
    const Batch batch = collector.batches().at(first);
    EXPECT_LE(batch.elapsed - start, watchLatencyMilliseconds + 600);
    EXPECT_EQ(batch.paths, QStringList{tree.path(QStringLiteral("Album"))});
    EXPECT_EQ(batch.flags, QList<quint32>{0});
    EXPECT_EQ(batch.thread, QStringLiteral("com.davrenoskil.pellmar.watch"));

    // A later change elsewhere comes in the next batch: nothing of the burst was left for a second one.
    tree.file(QStringLiteral("Other/x.jpg"));
    EXPECT_EQ(collector.waitForPath(tree.path(QStringLiteral("Other"))), afterSetup + 1);
    EXPECT_FALSE(mentions(collector.batches(), afterSetup + 2, tree.path(QStringLiteral("Album/"))));
}

TEST_F(WatcherTest, NewRenamedAndPrunedFoldersAreFollowed)
{
    tree.files({QStringLiteral("Old/a.jpg"), QStringLiteral(".hidden/a"), QStringLiteral("node_modules/a"),
                QStringLiteral("Report.pages/a"), QStringLiteral("Trip/a.jpg")});
    InotifyWatcher watcher(dir.path(), collector.handler(), 100);
    waitUntilReady(watcher);

    // A new nested tree is watched, also below folders made before their parent was watched.
    ASSERT_TRUE(QDir().mkpath(tree.path(QStringLiteral("New/a/b/c"))));
    qsizetype seen = collector.waitForPath(dir.path(), afterSetup);
    ASSERT_GE(seen, 0);
    tree.file(QStringLiteral("New/a/b/c/photo.jpg"));
    seen = collector.waitForPath(tree.path(QStringLiteral("New/a/b/c")), seen + 1);
    ASSERT_GE(seen, 0);

    // A renamed folder is reported under its new name.
    ASSERT_TRUE(QDir().rename(tree.path(QStringLiteral("Old")), tree.path(QStringLiteral("Renamed"))));
    seen = collector.waitForPath(dir.path(), seen + 1);
    ASSERT_GE(seen, 0);
    tree.file(QStringLiteral("Renamed/b.jpg"));
    seen = collector.waitForPath(tree.path(QStringLiteral("Renamed")), seen + 1);
    ASSERT_GE(seen, 0);

    // Folders the scanning rules refuse are not watched.
    tree.files({QStringLiteral(".hidden/b"), QStringLiteral("node_modules/b"), QStringLiteral("Report.pages/b")});
    tree.file(QStringLiteral("Trip/b.jpg"));
    seen = collector.waitForPath(tree.path(QStringLiteral("Trip")), seen + 1);
    ASSERT_GE(seen, 0);
    const QList<Batch> batches = collector.batches();
    for (const char* pruned : {".hidden", "node_modules", "Report.pages", "Old"})
        EXPECT_FALSE(mentions(batches, seen + 1, tree.path(QString::fromUtf8(pruned)))) << pruned;
}

TEST_F(WatcherTest, ChangesMadeWhileTheWatchesAreSetUpAreReportedForARescan)
{
    tree.files({QStringLiteral("A/a.jpg"), QStringLiteral("B/b.jpg")});
    // A photo arrives in B after the watcher started, just before B's watch is in place.
    const QString late = tree.path(QStringLiteral("B"));
    const WatchFaultInjection arrival([&](const QString& folder) {
        if (folder == late)
            tree.file(QStringLiteral("B/new.jpg"));
        return 0;
    });
    InotifyWatcher watcher(dir.path(), collector.handler(), 100);
    waitUntilReady(watcher);

    ASSERT_EQ(collector.batches().size(), afterSetup);
    const Batch setup = collector.batches().first();
    EXPECT_EQ(setup.paths, QStringList{dir.path()});
    EXPECT_EQ(setup.flags, QList<quint32>{WatchFlags::mustScanSubfolders | WatchFlags::catchUp});
    EXPECT_TRUE(QFile::exists(tree.path(QStringLiteral("B/new.jpg"))));
}

TEST_F(WatcherTest, RootGivenThroughASymbolicLinkIsWatched)
{
    tree.folder(QStringLiteral("Real/Sub"));
    const QString link = tree.path(QStringLiteral("Link"));
    ASSERT_TRUE(QFile::link(tree.path(QStringLiteral("Real")), link));
    InotifyWatcher watcher(link, collector.handler(), 100);
    waitUntilReady(watcher);

    tree.file(QStringLiteral("Real/a.jpg"));
    EXPECT_GE(collector.waitForPath(link, afterSetup), 0);
    tree.file(QStringLiteral("Real/Sub/b.jpg"));
    EXPECT_GE(collector.waitForPath(link + QStringLiteral("/Sub")), 0);
}

TEST_F(WatcherTest, OverflowAndRootRemovalAreFlagged)
{
    const QString root = tree.path(QStringLiteral("Root"));
    tree.file(QStringLiteral("Root/Sub/a.jpg"));
    InotifyWatcher watcher(root, collector.handler(), 100);
    waitUntilReady(watcher);

    watcher.injectQueueOverflow();
    qsizetype seen = collector.waitForPath(root, afterSetup);
    ASSERT_GE(seen, 0);
    EXPECT_EQ(collector.batches().at(seen).flags, QList<quint32>{WatchFlags::mustScanSubfolders});

    // The removal of what the root held may come in batches of its own before the root's.
    ASSERT_TRUE(QDir(root).removeRecursively());
    EXPECT_GE(collector.waitForPath(root, seen + 1, WatchFlags::rootChanged), 0);
}

TEST_F(WatcherTest, RenamedRootIsReportedOnceAndNothingUnderItsOldPathFollows)
{
    const QString root = tree.path(QStringLiteral("Root"));
    tree.file(QStringLiteral("Root/Sub/a.jpg"));
    InotifyWatcher watcher(root, collector.handler(), 300);
    waitUntilReady(watcher);

    ASSERT_TRUE(QDir().rename(root, tree.path(QStringLiteral("Moved"))));
    tree.file(QStringLiteral("Moved/Sub/b.jpg"));
    const qsizetype seen = collector.waitForPath(root, afterSetup);
    ASSERT_GE(seen, 0);
    const Batch moved = collector.batches().at(seen);
    EXPECT_EQ(moved.paths, QStringList{root});
    EXPECT_EQ(moved.flags, QList<quint32>{WatchFlags::rootChanged});
}

TEST_F(WatcherTest, RefusedWatchesAreLoggedOnceAndReportedForRescan)
{
    tree.files({QStringLiteral("A/x.jpg"), QStringLiteral("B/y.jpg"), QStringLiteral("C/z.jpg")});
    const QString refusedA = tree.path(QStringLiteral("A"));
    const QString refusedB = tree.path(QStringLiteral("B"));
    const WatchFaultInjection limit([&](const QString& folder) { return folder == refusedA || folder == refusedB ? ENOSPC : 0; });
    LogCapture watchLog(logWatch());
    InotifyWatcher watcher(dir.path(), collector.handler(), 100);
    waitUntilReady(watcher);

    const qsizetype first = collector.waitForPath(refusedA);
    ASSERT_GE(first, 0);
    const Batch batch = collector.batches().at(first);
    ASSERT_TRUE(batch.paths.contains(refusedB));
    for (const QString& refused : {refusedA, refusedB})
        EXPECT_EQ(batch.flags.at(batch.paths.indexOf(refused)), WatchFlags::mustScanSubfolders | WatchFlags::notWatched);
    const QStringList watchLines = watchLog.take();
    EXPECT_EQ(watchLines.size(), 1) << watchLines.join(QLatin1Char('\n')).toStdString();

    tree.file(QStringLiteral("C/w.jpg"));
    EXPECT_GE(collector.waitForPath(tree.path(QStringLiteral("C")), first + 1), 0);
}

TEST_F(WatcherTest, HandlerMayStopItsOwnWatcher)
{
    tree.folder(QStringLiteral("A"));
    std::atomic<int> deliveries = 0;
    InotifyWatcher* self = nullptr;
    InotifyWatcher watcher(dir.path(), [&](const QStringList&, const QList<quint32>& flags) {
        if (flags == QList<quint32>{WatchFlags::mustScanSubfolders | WatchFlags::catchUp})
            return;   // the report of the set-up
        ++deliveries;
        self->stop();
    }, 10);
    self = &watcher;
    waitUntilReady(watcher);

    tree.file(QStringLiteral("A/x.jpg"));
    const QDeadlineTimer deadline(5000);
    while (deliveries < 1 && !deadline.hasExpired())
        QThread::yieldCurrentThread();
    ASSERT_EQ(deliveries, 1);
    tree.file(QStringLiteral("A/y.jpg"));
    watcher.stop();
    EXPECT_EQ(deliveries, 1);
}

TEST_F(WatcherTest, NothingIsDeliveredOnceStopReturns)
{
    tree.folder(QStringLiteral("Flood"));
    std::atomic<bool> stopped = false;
    std::atomic<int> lateDeliveries = 0;
    std::atomic<int> deliveries = 0;
    auto watcher = std::make_unique<InotifyWatcher>(dir.path(), [&](const QStringList&, const QList<quint32>&) {
        if (stopped)
            ++lateDeliveries;
        ++deliveries;
    }, 10);
    waitUntilReady(*watcher);

    std::atomic<bool> flooding = true;
    std::thread writer([&] {
        for (int i = 0; flooding; ++i)
            tree.file(QStringLiteral("Flood/%1.jpg").arg(i % 200));
    });
    const QDeadlineTimer deadline(5000);
    while (deliveries < 3 && !deadline.hasExpired())
        QThread::yieldCurrentThread();
    EXPECT_GE(deliveries, 3);

    watcher->stop();
    stopped = true;
    for (int i = 0; i < 500; ++i)
        tree.file(QStringLiteral("Flood/after%1.jpg").arg(i));
    watcher.reset();
    flooding = false;
    writer.join();
    EXPECT_EQ(lateDeliveries, 0);
}

} // namespace
