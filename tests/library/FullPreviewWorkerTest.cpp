#include "FakeReadings.h"
#include "FullPreviewFixture.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/FullPreviewWorker.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

namespace {

// A Library whose larger-preview worker renders with fakes, on a manual clock, with one folder source.
class FullPreviewWorkerTest : public ::testing::Test {
protected:
    FullPreviewWorkerTest()
    {
        defaults.set("fullPreviews", "always");
        Library::Services services;
        services.supportDirectory = dir.filePath(QStringLiteral("Quorvin"));
        services.defaults = &defaults;
        services.clock = clock;
        services.idleReadings = readings.readings();
        services.volumes = std::make_shared<VolumeService>();
        services.workerBodies.fullPreviews = fullPreviewWorker(fakes.renderers());
        services.startUp = false;
        library = std::make_unique<Library>(std::move(services));
        items.emplace(library->index(), source);
        library->setSources({source});
    }

    ~FullPreviewWorkerTest() override
    {
        fakes.letGo();
        library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    void start(bool userRequested = false) { library->workers().startFullWorker(userRequested); }
    static void waitUntil(const std::function<bool()>& condition) { ASSERT_TRUE(QTest::qWaitFor(condition, 5000)); }
    void waitUntilEnded()
    {
        waitUntil([this] { return !library->fullWorker(); });
    }

    QTemporaryDir dir;
    Source source{"S1", "Pictures", dir.filePath(QStringLiteral("Pictures")), {}, {}, 1, SourceKind::folder};
    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    FakeReadings readings;
    FakeRenderers fakes;
    std::unique_ptr<Library> library;
    std::optional<FullPreviewItems> items;
};

// Smallest first, two at a time: the third render starts when one of the first two ends; the run
// ends by itself when nothing is left.
TEST_F(FullPreviewWorkerTest, RendersTwoAtATimeUntilNothingIsLeft)
{
    for (const auto& [id, size] : {std::pair{"c", 3}, {"a", 1}, {"b", 2}})
        items->add(id, MediaKind::photo, size);
    fakes.holdRenders();
    start();
    EXPECT_TRUE(library->fullProcessing());
    waitUntil([&] { return fakes.running() == 2; });
    EXPECT_EQ(library->fullInFlight(), (QStringList{"a.file", "b.file", "c.file"}));
    EXPECT_FALSE(library->fullWaiting());
    QCoreApplication::processEvents();
    EXPECT_EQ(fakes.calls().size(), 2);

    fakes.letOneGo();
    waitUntil([&] { return fakes.calls().size() == 3; });
    EXPECT_EQ(fakes.running(), 2);
    fakes.letGo();
    waitUntilEnded();
    for (const char* id : {"a", "b", "c"})
        EXPECT_EQ(items->row(id).proxy, "heic") << id;
    EXPECT_FALSE(library->fullProcessing());
    EXPECT_TRUE(library->fullInFlight().isEmpty());
}

// Once every item has its previews, the photo proxies without a tile image get one, the rest nothing.
TEST_F(FullPreviewWorkerTest, ProxiesWithoutATileImageGetOneOnceEveryItemIsRendered)
{
    const QDir proxies(library->proxyDirectory());
    ASSERT_TRUE(proxies.mkpath(QStringLiteral(".")));
    for (const char* name : {"old.heic", "done.heic", "done.tile.jpg", "clip.mp4", "doc.preview.png", "doc.png"}) {
        QFile file(proxies.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    items->add("a", MediaKind::photo);   // its fake render writes a proxy alone
    start();
    waitUntilEnded();
    EXPECT_EQ(fakes.tileImages(), (QStringList{"a.heic", "old.heic"}));
}

// With "never" the run waits, asking again every 5 s, until the user asks for the previews now; it
// goes on within 0.25 s of that, and its end clears the request.
TEST_F(FullPreviewWorkerTest, WaitsWhileNotAllowedUntilTheUserAsks)
{
    defaults.set("fullPreviews", "never");
    items->add("a", MediaKind::photo);
    start();
    waitUntil([&] { return library->fullWaiting() && clock->sleepers() > 0; });
    for (int i = 0; i < 3; ++i) {
        clock->advance(5s);
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(library->fullWaiting());
    EXPECT_TRUE(library->fullWorker());
    EXPECT_TRUE(fakes.calls().isEmpty());

    library->idle().setUserOverride(true);
    clock->advance(250ms);
    waitUntilEnded();
    EXPECT_EQ(items->row("a").proxy, "heic");
    EXPECT_FALSE(library->fullWaiting());
    EXPECT_FALSE(library->idle().userOverride());
}

// Nothing to read from: the run ends at once instead of waiting for a drive.
TEST_F(FullPreviewWorkerTest, EndsWhenNoSourceCanBeRead)
{
    items->add("a", MediaKind::photo);
    fakes.available = false;
    start();
    waitUntilEnded();
    EXPECT_TRUE(fakes.calls().isEmpty());
    EXPECT_EQ(items->row("a").proxy, "");
    EXPECT_FALSE(library->fullWaiting());
}

// An index that takes neither results nor failures would hand out the same items forever: each is
// tried once, then the run ends and says why.
TEST_F(FullPreviewWorkerTest, AnIndexThatRecordsNothingEndsTheRun)
{
    items->add("a", MediaKind::photo);
    items->add("b", MediaKind::video);
    items->refuseItemWrites();
    start();
    waitUntilEnded();
    QStringList calls = fakes.calls();   // the two render side by side
    calls.sort();
    EXPECT_EQ(calls, (QStringList{"a.file photo 2048", "b.file video"}));
    ASSERT_TRUE(library->lastError().has_value());
    EXPECT_TRUE(library->lastError()->startsWith("Larger previews stopped: ")) << library->lastError()->toStdString();
}

// Clearing previews waits on the stop: it ends only once the renders under way have ended.
TEST_F(FullPreviewWorkerTest, AStopEndsAfterTheRendersUnderWay)
{
    items->add("a", MediaKind::photo, 1);
    items->add("b", MediaKind::photo, 2);
    items->add("c", MediaKind::photo, 3);
    fakes.holdRenders();
    start();
    waitUntil([&] { return fakes.running() == 2; });

    bool stopped = false;
    Tasks::start([](Library& library, bool& stopped) -> QCoro::Task<> {
        co_await library.workers().stopFullWorker();
        stopped = true;
    }(*library, stopped));
    EXPECT_FALSE(library->fullWorker());
    EXPECT_FALSE(library->fullProcessing());
    QCoreApplication::processEvents();
    EXPECT_FALSE(stopped);

    fakes.letGo();
    waitUntil([&] { return stopped; });
    EXPECT_EQ(fakes.running(), 0);
    EXPECT_EQ(fakes.calls().size(), 2);   // the third item waits for the next run
    EXPECT_EQ(items->row("c").proxy, "");
}

} // namespace
