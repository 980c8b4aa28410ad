#include "FakeReadings.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"
#include "tests/index/IndexFixture.h"
#include "tests/support/LogCapture.h"

#include <QCoroSignal>
#include <QCoroTask>
#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

#include <mutex>

using namespace std::chrono_literals;

namespace {

// Collects the statements that one connection runs, from its executor's thread.
class StatementSpy {
public:
    explicit StatementSpy(Index& connection) : connection_(connection)
    {
        waitFor(connection_.run([this](Index& index) {
            sqlite3_trace_v2(index.database().db(), SQLITE_TRACE_STMT, &StatementSpy::trace, this);
        }));
    }
    ~StatementSpy()
    {
        waitFor(connection_.run([](Index& index) { sqlite3_trace_v2(index.database().db(), 0, nullptr, nullptr); }));
    }

    // The statements run since the last call.
    QStringList take()
    {
        std::lock_guard locker(lock_);
        return std::exchange(statements_, {});
    }

private:
    static int trace(unsigned, void* context, void* statement, void*)
    {
        auto* self = static_cast<StatementSpy*>(context);
        std::lock_guard locker(self->lock_);
        self->statements_.append(QString::fromUtf8(sqlite3_sql(static_cast<sqlite3_stmt*>(statement))));
        return 0;
    }

    Index& connection_;
    std::mutex lock_;
    QStringList statements_;
};

// A Library on the fixture's index whose ticker does not run: the tests refresh by hand and
// move the clock themselves.
class StatusTickerTest : public IndexFixture {
protected:
    StatusTickerTest()
    {
        addSource(QStringLiteral("S1"));
        open(false);
    }

    ~StatusTickerTest() override
    {
        library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    void open(bool startUp, WorkerControl::Bodies bodies = {})
    {
        library.reset();
        Library::Services services;
        services.workerBodies = std::move(bodies);
        services.supportDirectory = dir.path();
        services.defaults = &defaults;
        services.clock = clock;
        services.idleReadings = fakes.readings();
        services.volumes = std::make_shared<VolumeService>();
        services.startUp = startUp;
        library = std::make_unique<Library>(std::move(services));
    }

    void refresh(Staleness allowed = Staleness::current) { QCoro::waitFor(library->refreshStatus(allowed)); }

    // A new photo item with one ready file on S1.
    void addReadyPhoto()
    {
        const QString id = QStringLiteral("I%1").arg(++items_);
        addItem({.id = id});
        addFile({.sourceID = QStringLiteral("S1"), .relPath = id + QStringLiteral(".jpg"), .itemID = id});
    }

    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    FakeReadings fakes;
    std::unique_ptr<Library> library;

private:
    int items_ = 0;
};

TEST_F(StatusTickerTest, SlowCountersAreReusedWhileTheIndexIsUnchangedAndThrottledWhileItChanges)
{
    addReadyPhoto();
    addFile({.sourceID = QStringLiteral("S1"), .relPath = QStringLiteral("new.jpg")});
    refresh();
    EXPECT_EQ(library->status(), (QueueStatus{.found = 1, .ready = 1}));
    EXPECT_EQ(library->fullStatus(), (FullStatus{.done = 0, .total = 1}));
    EXPECT_EQ(library->itemCount(), 1);
    EXPECT_EQ(library->sourceProgress().value(QStringLiteral("S1")), (Index::SourceProgress{1, 2}));

    // How many grouped counts (file states, per-source progress) and other counter reads (item
    // count, larger-preview progress) one refresh runs.
    StatementSpy spy(library->statusIndex());
    const auto countersRun = [&](Staleness allowed) {
        refresh(allowed);
        const QStringList statements = spy.take();
        return std::pair{statements.filter(QStringLiteral("GROUP BY")).size(),
                         statements.filter(QRegularExpression(QStringLiteral("FROM (items|preview_progress)"))).size()};
    };
    using Runs = std::pair<qsizetype, qsizetype>;

    // Nothing committed: no counter is read again, whatever the refresh allows.
    clock->advance(10s);
    EXPECT_EQ(countersRun(Staleness::withinInterval), Runs(0, 0));
    EXPECT_EQ(countersRun(Staleness::current), Runs(0, 0));

    addFile({.sourceID = QStringLiteral("S1"), .relPath = QStringLiteral("second.jpg")});
    EXPECT_EQ(countersRun(Staleness::current), Runs(2, 2));
    EXPECT_EQ(library->status().found, 2);

    // A commit within a second of the last reading: the ticker shows the kept values until the
    // second has passed.
    addFile({.sourceID = QStringLiteral("S1"), .relPath = QStringLiteral("third.jpg")});
    clock->advance(500ms);
    EXPECT_EQ(countersRun(Staleness::withinInterval), Runs(0, 0));
    EXPECT_EQ(library->status().found, 2);
    clock->advance(500ms);
    EXPECT_EQ(countersRun(Staleness::withinInterval), Runs(2, 2));
    EXPECT_EQ(library->status().found, 3);
    EXPECT_EQ(library->sourceProgress().value(QStringLiteral("S1")), (Index::SourceProgress{1, 4}));
}

TEST(CounterScheduleTest, ACounterIsDueWhenTheIndexChangedAndItsIntervalAllows)
{
    struct Case {
        const char* name;
        std::optional<qint64> keptVersion;
        double duration;
        double sinceLastRun;
        Staleness allowed;
        bool due;
    };
    const Case cases[] = {
        {"never read", std::nullopt, 0, 0, Staleness::withinInterval, true},
        {"unchanged, even for a fresh refresh", 7, 0, 100, Staleness::current, false},
        {"changed, fresh refresh", 8, 5, 0, Staleness::current, true},
        {"changed, within the second", 8, 0.001, 0.99, Staleness::withinInterval, false},
        {"changed, a second later", 8, 0.001, 1.0, Staleness::withinInterval, true},
        {"slow counter, before 200 times its duration", 8, 0.5, 99.9, Staleness::withinInterval, false},
        {"slow counter, at 200 times its duration", 8, 0.5, 100.0, Staleness::withinInterval, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CounterSchedule schedule{.dataVersion = c.keptVersion, .ranAt = 100, .duration = c.duration};
        EXPECT_EQ(schedule.due(7, 100 + c.sinceLastRun, c.allowed), c.due);
    }
}

TEST(WindowRateTest, ARateNeedsASampleOlderThanFiveSecondsAndSamplesLeaveTheirWindow)
{
    struct Step {
        double time;
        qint64 count;
        std::optional<double> rate;
        qsizetype kept;
    };
    const auto run = [](double window, std::initializer_list<Step> steps) {
        QList<Sample> samples;
        for (const Step& step : steps) {
            SCOPED_TRACE(step.time);
            EXPECT_EQ(windowRate(samples, {step.time, step.count}, step.time, window), step.rate);
            EXPECT_EQ(samples.size(), step.kept);
        }
    };
    run(120, {{0, 0, std::nullopt, 1},
              {5, 10, std::nullopt, 2},
              {6, 12, 2.0, 3},
              {120, 240, 2.0, 4},
              {121, 240, 230.0 / 116, 4}});   // the sample of 0 s is gone, the one of 5 s stays
    run(180, {{0, 0, std::nullopt, 1}, {180, 90, 0.5, 2}, {180.5, 90, std::nullopt, 2}});

    // A kept value read earlier adds no sample; its time, not the refresh's, counts for the rate.
    QList<Sample> samples{{0, 0}};
    EXPECT_EQ(windowRate(samples, {0, 0}, 3, 120), std::nullopt);
    EXPECT_EQ(samples.size(), 1);
    EXPECT_EQ(windowRate(samples, {4, 8}, 7, 120), 2.0);
}

TEST_F(StatusTickerTest, TheRatesFollowTheWorkersAndStayWhileLargerPreviewsWait)
{
    library->setProcessing(true);
    library->setFullProcessing(true);
    addReadyPhoto();
    refresh();
    EXPECT_EQ(library->samples().size(), 1);
    EXPECT_EQ(library->fullSamples().size(), 1);

    clock->advance(6s);
    for (int i = 0; i < 3; ++i)
        addReadyPhoto();
    db.run(QStringLiteral("UPDATE items SET proxy_ext = 'heic'"));
    refresh();
    EXPECT_DOUBLE_EQ(library->rate(), 0.5);
    EXPECT_DOUBLE_EQ(library->fullRate(), 4.0 / 6);

    library->setFullWaiting(true);
    clock->advance(6s);
    addReadyPhoto();
    refresh();
    EXPECT_EQ(library->fullSamples().size(), 2);
    EXPECT_DOUBLE_EQ(library->fullRate(), 4.0 / 6);

    library->setProcessing(false);
    library->setFullProcessing(false);
    refresh();
    EXPECT_TRUE(library->samples().isEmpty());
    EXPECT_TRUE(library->inFlight().isEmpty());
    EXPECT_EQ(library->rate(), 0);
    EXPECT_TRUE(library->fullSamples().isEmpty());
    EXPECT_EQ(library->fullRate(), 0);
}

// A folder's file goes from found to ready in one transaction: "Working on …" names the files the
// quick-index worker reads now, from the worker's own state.
TEST_F(StatusTickerTest, WorkingOnNamesTheFilesTheWorkerReadsNow)
{
    QTimer gate;
    gate.setSingleShot(true);
    WorkerControl::Body reading = [&gate](WorkerInputs inputs, CancelToken) -> QCoro::Task<> {
        inputs.inFlight->add(QStringLiteral("IMG_0001.JPG"));
        inputs.inFlight->add(QStringLiteral("IMG_0002.JPG"));
        co_await qCoro(&gate, &QTimer::timeout);
        inputs.inFlight->remove(QStringLiteral("IMG_0001.JPG"));
        inputs.inFlight->remove(QStringLiteral("IMG_0002.JPG"));
    };
    open(false, {reading, {}});
    library->workers().startWorker();
    ASSERT_TRUE(QTest::qWaitFor([&] { return library->processing(); }, 5000));
    refresh();
    EXPECT_EQ(library->inFlight(), (QStringList{"IMG_0001.JPG", "IMG_0002.JPG"}));

    gate.start(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !library->processing(); }, 5000));
    refresh();
    EXPECT_TRUE(library->inFlight().isEmpty());
}

TEST_F(StatusTickerTest, NewItemsStartASearchOnlyWhileIndexingAwayFromTheUserAndNotTwiceIn2Seconds)
{
    struct Step {
        const char* name;
        std::chrono::milliseconds advance;
        bool newItem;
        bool processing;
        bool pointerInGrid;
        bool selection;
        bool searches;
    };
    const Step steps[] = {
        {"first change after start-up", 0ms, true, true, false, false, true},
        {"1.5 s later", 1500ms, true, true, false, false, false},
        {"2.0 s after the search, but the count was taken over", 500ms, false, true, false, false, false},
        {"a new item 2.0 s after the search", 0ms, true, true, false, false, true},
        {"pointer over the grid", 5s, true, true, true, false, false},
        {"pointer gone, count unchanged", 0ms, false, true, false, false, false},
        {"an item in the inspector", 5s, true, true, false, true, false},
        {"not indexing", 5s, true, false, false, false, false},
    };
    LogCapture log(logSearch());
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        clock->advance(step.advance);
        if (step.newItem)
            addReadyPhoto();
        library->setProcessing(step.processing);
        library->pointerInGrid = step.pointerInGrid;
        library->setSelection(step.selection ? std::optional(Item{.id = QStringLiteral("I1")}) : std::nullopt);
        const qint64 items = integer(QStringLiteral("SELECT COUNT(*) FROM items"));
        refresh();
        EXPECT_EQ(log.take().contains(QStringLiteral("search called by indexing refresh")), step.searches);
        EXPECT_EQ(library->itemCount(), items);
    }
}

TEST_F(StatusTickerTest, OnlineSourcesFollowTheirRootsAndTreesComeFromTheIndex)
{
    const QString root = dir.filePath(QStringLiteral("drive"));
    ASSERT_TRUE(QDir().mkpath(root));
    Source drive{QStringLiteral("S1"), QStringLiteral("Drive"), root, QString(), QString(), 1, SourceKind::folder};
    Source gone{QStringLiteral("S2"), QStringLiteral("Gone"), dir.filePath(QStringLiteral("nothing")), QString(),
                QString(), 2, SourceKind::folder};
    library->setSources({drive, gone});
    addFile({.sourceID = QStringLiteral("S1"), .relPath = QStringLiteral("a/x.jpg")});

    refresh();
    EXPECT_EQ(library->online(), QSet{QStringLiteral("S1")});
    ASSERT_TRUE(QDir(root).removeRecursively());
    refresh();
    EXPECT_TRUE(library->online().isEmpty());

    // Trees do not depend on the drive being there.
    QCoro::waitFor(library->refreshTrees());
    ASSERT_EQ(library->trees().size(), 2);
    EXPECT_EQ(library->trees().at(0).children.size(), 1);
    EXPECT_EQ(library->trees().at(1).sourceID, QStringLiteral("S2"));
}

TEST_F(StatusTickerTest, TheTickerRefreshesOnceASecond)
{
    addReadyPhoto();
    open(true);
    QSignalSpy started(library.get(), &Library::startupFinished);
    ASSERT_TRUE(started.wait(10000));
    EXPECT_EQ(library->itemCount(), 1);   // counted by the start-up's reload
    addReadyPhoto();
    clock->advance(1s);
    EXPECT_TRUE(QTest::qWaitFor([&] { return library->itemCount() == 2; }, 5000));
}

} // namespace
