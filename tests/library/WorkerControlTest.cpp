#include "FakeReadings.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"
#include "tests/support/LogCapture.h"

#include <QCoroTask>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A worker body that records each run and ends when the test releases it, or, when it honours
// cancellation, as soon as its run is cancelled.
class StubBody {
public:
    struct Run {
        WorkerInputs inputs;
        CancelToken token;
        Alarm release;
        bool ended = false;
    };

    bool endsOnCancel = true;
    QList<std::shared_ptr<Run>> runs;

    WorkerControl::Body body()
    {
        return [this](WorkerInputs inputs, CancelToken token) -> QCoro::Task<> {
            auto run = std::make_shared<Run>();
            run->inputs = std::move(inputs);
            run->token = token;
            runs.append(run);
            if (endsOnCancel) {
                const auto hook = token.ringOnCancel(&run->release);
                co_await run->release.rung();
            } else {
                co_await run->release.rung();
            }
            run->ended = true;
        };
    }

    Run& last() { return *runs.last(); }
};

class WorkerControlTest : public ::testing::Test {
protected:
    WorkerControlTest() { open(); }

    void open(bool startUp = true)
    {
        Library::Services services;
        services.supportDirectory = dir.filePath(QStringLiteral("Quorvin"));
        services.defaults = &defaults;
        services.clock = clock;
        services.idleReadings = fakes.readings();
        services.volumes = std::make_shared<VolumeService>();
        services.workerBodies = {quick.body(), full.body()};
        services.startUp = startUp;
        library = std::make_unique<Library>(std::move(services));
        if (!startUp)
            return;
        QSignalSpy started(library.get(), &Library::startupFinished);
        ASSERT_TRUE(started.wait(10000));
    }

    ~WorkerControlTest() override
    {
        library.reset();
        // Runs that do not honour cancellation end when released.
        for (StubBody* body : {&quick, &full}) {
            for (const auto& run : body->runs)
                run->release.ring();
        }
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    WorkerControl& workers() { return library->workers(); }
    bool overridden() const { return library->idle().userOverride(); }

    // Lets the newest quick run end and waits until its end sequence is over.
    void finishQuickRun()
    {
        quick.last().release.ring();
        QCoro::waitFor(workers().stopWorker());
    }

    static void waitUntil(const std::function<bool()>& condition)
    {
        ASSERT_TRUE(QTest::qWaitFor(condition, 5000));
    }

    QTemporaryDir dir;
    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    FakeReadings fakes;
    StubBody quick;
    StubBody full;
    std::unique_ptr<Library> library;
};

Source folderSource(const QString& id)
{
    return {id, id, QStringLiteral("/media/") + id, QString(), QString(), 0, SourceKind::folder};
}

TEST_F(WorkerControlTest, ASecondStartAsksForARerunWithFreshSourcesThenLargerPreviewsFollow)
{
    library->setSources({folderSource(QStringLiteral("S1"))});
    workers().startWorker();
    ASSERT_EQ(quick.runs.size(), 1);
    EXPECT_TRUE(library->processing());
    EXPECT_TRUE(library->worker());
    EXPECT_EQ(quick.last().inputs.index, &library->index());
    EXPECT_EQ(quick.last().inputs.proxyDirectory, library->proxyDirectory());

    workers().startWorker();
    EXPECT_EQ(quick.runs.size(), 1);
    EXPECT_TRUE(library->rerun());

    // A source added during a run is not in its snapshot; the rerun takes it.
    library->setSources({folderSource(QStringLiteral("S1")), folderSource(QStringLiteral("S2"))});
    EXPECT_EQ(quick.last().inputs.sources.keys(), QList{QStringLiteral("S1")});
    LogCapture searches(logSearch());
    quick.last().release.ring();
    waitUntil([&] { return quick.runs.size() == 2; });
    EXPECT_FALSE(library->rerun());
    EXPECT_TRUE(library->processing());
    EXPECT_EQ(quick.last().inputs.sources.size(), 2);
    EXPECT_TRUE(searches.take().contains(QStringLiteral("search called by quick index finish")));
    EXPECT_TRUE(full.runs.isEmpty());

    finishQuickRun();
    EXPECT_FALSE(library->worker());
    EXPECT_FALSE(library->processing());
    ASSERT_EQ(full.runs.size(), 1);
    EXPECT_TRUE(library->fullProcessing());
    EXPECT_TRUE(library->fullWorker());
}

TEST_F(WorkerControlTest, QuickIndexingStopsLargerPreviewsAndTheyFollowItUnlessPaused)
{
    workers().startFullWorker(false);
    ASSERT_EQ(full.runs.size(), 1);
    library->setFullWaiting(true);
    library->setFullInFlight({QStringLiteral("a.jpg")});

    workers().startWorker();
    EXPECT_TRUE(full.last().token.isCancelled());
    EXPECT_FALSE(library->fullWorker());
    EXPECT_FALSE(library->fullProcessing());
    EXPECT_FALSE(library->fullWaiting());
    EXPECT_TRUE(library->fullInFlight().isEmpty());
    waitUntil([&] { return full.last().ended; });

    finishQuickRun();
    ASSERT_EQ(full.runs.size(), 2);
    EXPECT_TRUE(library->fullProcessing());

    workers().pauseFullPreviews();
    EXPECT_TRUE(library->fullPaused());
    EXPECT_TRUE(full.last().token.isCancelled());
    EXPECT_FALSE(library->fullProcessing());
    workers().startWorker();
    finishQuickRun();
    EXPECT_EQ(full.runs.size(), 2);
    EXPECT_TRUE(library->fullPaused());
}

TEST_F(WorkerControlTest, ResumingDuringQuickIndexingSetsTheOverrideAndWaitsForItsEndUnlessPaused)
{
    defaults.set(QStringLiteral("fullPreviews"), QStringLiteral("never"));
    workers().startWorker();
    workers().startFullWorker(true);
    EXPECT_TRUE(full.runs.isEmpty());
    EXPECT_TRUE(overridden());
    EXPECT_TRUE(library->idle().mayRunFull());

    finishQuickRun();
    ASSERT_EQ(full.runs.size(), 1);
    EXPECT_TRUE(overridden());
    // A run that ends by itself takes the override with it.
    full.last().release.ring();
    waitUntil([&] { return !library->fullProcessing(); });
    EXPECT_FALSE(library->fullWorker());
    EXPECT_FALSE(overridden());

    // Paused: the resume sets the override but keeps the pause while quick indexing runs.
    workers().pauseFullPreviews();
    workers().startWorker();
    workers().startFullWorker(true);
    EXPECT_TRUE(overridden());
    finishQuickRun();
    EXPECT_EQ(full.runs.size(), 1);
    EXPECT_TRUE(library->fullPaused());
    // A resume with no quick indexing starts larger previews and ends the pause; a pause clears the override.
    workers().startFullWorker(true);
    EXPECT_EQ(full.runs.size(), 2);
    EXPECT_FALSE(library->fullPaused());
    workers().pauseFullPreviews();
    EXPECT_FALSE(overridden());
}

TEST_F(WorkerControlTest, AResumeEndsTheWaitOfARunningWorker)
{
    workers().startFullWorker(false);
    library->setFullWaiting(true);
    workers().startFullWorker(false);
    EXPECT_TRUE(library->fullWaiting());
    workers().startFullWorker(true);
    EXPECT_FALSE(library->fullWaiting());
    EXPECT_EQ(full.runs.size(), 1);
}

TEST_F(WorkerControlTest, AStoppedRunThatEndsLateLeavesTheNewerRunAlone)
{
    quick.endsOnCancel = false;
    full.endsOnCancel = false;

    workers().startWorker();
    workers().startWorker();
    QCoro::Task<> stopping = workers().stopWorker();
    EXPECT_FALSE(library->worker());
    EXPECT_FALSE(library->processing());
    EXPECT_FALSE(library->rerun());
    workers().startWorker();
    ASSERT_EQ(quick.runs.size(), 2);
    const std::optional<TaskHandle> newer = library->worker();

    // The stop waits for the stopped run, which still works after its cancellation.
    QCoreApplication::processEvents();
    EXPECT_FALSE(stopping.isReady());
    quick.runs.first()->release.ring();
    QCoro::waitFor(std::move(stopping));
    EXPECT_EQ(library->worker(), newer);
    EXPECT_TRUE(library->processing());
    EXPECT_TRUE(full.runs.isEmpty());

    finishQuickRun();
    ASSERT_EQ(full.runs.size(), 1);
    QCoro::Task<> stoppingFull = workers().stopFullWorker();
    workers().startFullWorker(true);
    ASSERT_EQ(full.runs.size(), 2);
    const std::optional<TaskHandle> newerFull = library->fullWorker();
    full.runs.first()->release.ring();
    QCoro::waitFor(std::move(stoppingFull));
    EXPECT_EQ(library->fullWorker(), newerFull);
    EXPECT_TRUE(library->fullProcessing());
    EXPECT_TRUE(overridden());
}

TEST_F(WorkerControlTest, DestroyingTheLibraryEndsItsRuns)
{
    workers().startWorker();
    library.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return quick.last().ended; }, 5000));

    open(false);
    workers().startFullWorker(false);
    library.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return full.last().ended; }, 5000));
}

} // namespace
