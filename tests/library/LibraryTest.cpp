#include "FakeReadings.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/index/Database.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>

namespace {

class LibraryTest : public ::testing::Test {
protected:
    ~LibraryTest() override
    {
        library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    Library& construct()
    {
        Library::Services services;
        services.supportDirectory = support;
        services.defaults = &defaults;
        services.clock = clock;
        services.idleReadings = fakes.readings();
        services.volumes = std::make_shared<VolumeService>();
        services.fatalStop = [this](const QString& message) { fatalStops.append(message); };
        volumes = services.volumes.get();
        library = std::make_unique<Library>(std::move(services));
        return *library;
    }

    Library& startUp()
    {
        Library& started = construct();
        waitForStartup();
        return started;
    }

    void waitForStartup()
    {
        QSignalSpy finished(library.get(), &Library::startupFinished);
        ASSERT_TRUE(finished.wait(10000));
    }

    QTemporaryDir dir;
    QString support = dir.filePath(QStringLiteral("data/Quorvin"));
    QString proxies = support + QStringLiteral("/Proxies");
    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    FakeReadings fakes;
    std::unique_ptr<Library> library;
    VolumeService* volumes = nullptr;   // owned by the library
    QStringList fatalStops;
};

void writeFile(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("preview");
}

TEST_F(LibraryTest, ViewSettingsComeFromTheDefaultsAndFallBackWhenMissingOrUnusable)
{
    {
        Library& fresh = construct();
        EXPECT_EQ(fresh.sort(), SortField::captured);
        EXPECT_FALSE(fresh.ascending());
        EXPECT_EQ(fresh.workspaceID(), QStringLiteral("everything"));
        EXPECT_TRUE(fresh.hiddenSources().isEmpty());
        EXPECT_TRUE(fresh.hiddenSmart().isEmpty());
        EXPECT_EQ(fresh.importDefault(), std::nullopt);
        EXPECT_EQ(fresh.lastAutoRefresh, Library::distantPast);
        library.reset();
    }

    const QStringList hidden{QStringLiteral("S1"), QStringLiteral("S2")};
    defaults.set(QStringLiteral("ascending"), true);
    defaults.set(QStringLiteral("workspace"), QStringLiteral("NO-SUCH-WORKSPACE"));
    defaults.set(QStringLiteral("hiddenSources"), hidden);
    defaults.set(QStringLiteral("hiddenSmart"), QStringList{QStringLiteral("raw")});
    defaults.set(QStringLiteral("importDefault"), QStringLiteral("folder|/home/me/Pictures"));
    for (const auto& [stored, expected] : {std::pair{"size", SortField::captured}, std::pair{"name", SortField::name},
                                           std::pair{"added", SortField::added}, std::pair{"", SortField::captured}}) {
        SCOPED_TRACE(stored);
        defaults.set(QStringLiteral("sort"), QString::fromLatin1(stored));
        Library& configured = construct();
        EXPECT_EQ(configured.sort(), expected);
        EXPECT_TRUE(configured.ascending());
        EXPECT_EQ(configured.workspaceID(), QStringLiteral("NO-SUCH-WORKSPACE"));
        EXPECT_EQ(configured.hiddenSources(), hidden);
        EXPECT_EQ(configured.hiddenSmart(), QStringList{QStringLiteral("raw")});
        EXPECT_EQ(configured.importDefault(), QStringLiteral("folder|/home/me/Pictures"));
        library.reset();
    }
}

TEST_F(LibraryTest, RegistersTheSettingsDefaultsWithoutOverridingTheUsersValues)
{
    defaults.set(QStringLiteral("videoProxy"), 480);
    construct();
    EXPECT_EQ(defaults.value(QStringLiteral("openInQuorvin")), QVariant(true));
    EXPECT_EQ(defaults.value(QStringLiteral("confirmTrash")), QVariant(true));
    EXPECT_EQ(defaults.value(QStringLiteral("fullPreviews")), QVariant(QStringLiteral("idle")));
    EXPECT_EQ(defaults.value(QStringLiteral("notOnBattery")), QVariant(true));
    EXPECT_EQ(defaults.integer(QStringLiteral("proxySize")), 2048);
    EXPECT_EQ(defaults.integer(QStringLiteral("videoProxy")), 480);
}

TEST_F(LibraryTest, FirstRunCreatesTheFoldersAndTheIndexAndASecondRunKeepsThem)
{
    ASSERT_FALSE(QDir(support).exists());
    Library& first = startUp();
    EXPECT_EQ(first.supportDirectory(), support);
    EXPECT_EQ(first.proxyDirectory(), proxies);
    EXPECT_TRUE(QDir(proxies).exists());
    EXPECT_TRUE(QFile::exists(support + QStringLiteral("/index.sqlite")));
    EXPECT_NE(first.reader(), nullptr);
    writeFile(proxies + QStringLiteral("/I1.jpg"));
    library.reset();

    startUp();
    EXPECT_TRUE(QFile::exists(proxies + QStringLiteral("/I1.jpg")));
}

TEST_F(LibraryTest, DroppingAnOldSchemaEmptiesTheProxiesFolder)
{
    ASSERT_TRUE(QDir().mkpath(proxies));
    {
        QFile fixture(QStringLiteral(QUORVIN_FIXTURES "/index/version1.sql"));
        ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
        Database old(support + QStringLiteral("/index.sqlite"));
        old.exec(QString::fromUtf8(fixture.readAll()));
        old.exec(QStringLiteral("PRAGMA user_version = 1"));
    }
    writeFile(proxies + QStringLiteral("/I1.jpg"));
    ASSERT_TRUE(QDir().mkpath(proxies + QStringLiteral("/posters")));

    startUp();
    EXPECT_TRUE(QDir(proxies).exists());
    EXPECT_TRUE(QDir(proxies).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

// An index that cannot be opened or upgraded stops the program with the error's text and is left
// as it is, so the user can still save it; start-up never goes on to scan or add sources.
TEST_F(LibraryTest, FatalStopReportsTheErrorAndLeavesTheIndexFileAlone)
{
    const QString index = support + QStringLiteral("/index.sqlite");
    ASSERT_TRUE(QDir().mkpath(proxies));
    {
        QFile fixture(QStringLiteral(QUORVIN_FIXTURES "/index/version1.sql"));
        ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
        Database damaged(index);
        damaged.exec(QString::fromUtf8(fixture.readAll()));
        damaged.exec(QStringLiteral("PRAGMA user_version = 5"));
    }
    QFile file(index);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    writeFile(proxies + QStringLiteral("/I1.jpg"));

    Library& refused = construct();
    QSignalSpy finished(&refused, &Library::startupFinished);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !fatalStops.isEmpty(); }, 10000));
    EXPECT_EQ(fatalStops, QStringList{QStringLiteral("The index at %1 says it is version 5 but its tables match no "
                                                     "known layout; it was left as it is.")
                                          .arg(index)});
    library.reset();
    EXPECT_TRUE(finished.isEmpty());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    file.close();
    EXPECT_TRUE(QFile::exists(proxies + QStringLiteral("/I1.jpg")));

    // An index that cannot be opened at all: the constructor reports it and starts nothing.
    fatalStops.clear();
    ASSERT_TRUE(QFile::remove(index));
    ASSERT_TRUE(QDir().mkpath(index));
    construct();
    EXPECT_EQ(fatalStops, QStringList{QStringLiteral("cannot open %1 (unable to open database file). If its disk is "
                                                     "full, free some space; make sure its folder can be written to; "
                                                     "then open Quorvin again.")
                                          .arg(index)});
}

TEST_F(LibraryTest, SettersNotifyOnlyOnChangeButTupleValuesAndInPlaceEditsAlways)
{
    Library& library = startUp();
    QSignalSpy changes(&library, &Library::changed);
    const auto notified = [&] {
        QList<Library::Prop> props;
        for (const QList<QVariant>& change : changes)
            props.append(change.at(0).value<Library::Prop>());
        changes.clear();
        return props;
    };

    library.setQuery(QString());
    library.setSort(SortField::captured);
    library.setRate(0);
    library.setTrees({});
    library.setTicker(library.ticker());
    EXPECT_TRUE(notified().isEmpty());

    FolderNode root{QStringLiteral("S1/"), QStringLiteral("S1"), QString(), QStringLiteral("Photos"), 3, {}, {}};
    root.children.append({QStringLiteral("S1/a"), QStringLiteral("S1"), QStringLiteral("a"), QStringLiteral("a"), 1, {}, {}});
    library.setQuery(QStringLiteral("beach"));
    library.setTrees({root});
    library.setTrees({root});
    library.setFullWorker(TaskHandle());
    EXPECT_EQ(notified(), (QList{Library::Prop::query, Library::Prop::trees, Library::Prop::fullWorker}));

    library.setFailures({});
    library.setFailures({});
    library.setSourceProgress({});
    library.setTrashing(std::nullopt);
    library.editHiddenSources([](QStringList& ids) { ids.removeAll(QStringLiteral("absent")); });
    library.editImportJob([](std::optional<ImportJob>&) {});
    EXPECT_EQ(notified(), (QList{Library::Prop::failures, Library::Prop::failures, Library::Prop::sourceProgress,
                                 Library::Prop::trashing, Library::Prop::hiddenSources, Library::Prop::importJob}));
}

TEST_F(LibraryTest, ThePhotoLibrarySourceIsScannedOnceAndOnlyWhenThereIsOne)
{
    startUp();
    EXPECT_FALSE(defaults.contains(QStringLiteral("photosSmartGroups")));
    library.reset();

    const Source photos{QStringLiteral("P1"), QStringLiteral("Photos"), QString(), QString(), QString(), 10,
                        SourceKind::photos};
    const Source folder{QStringLiteral("F1"), QStringLiteral("Pictures"), QStringLiteral("/home/me/Pictures"),
                        QString(), QString(), 5, SourceKind::folder};
    // Start-up begins at a later turn of the event loop, after these sources are stored.
    construct().index().run([folder](Index& index) { index.saveSource(folder); });
    waitForStartup();
    EXPECT_FALSE(defaults.contains(QStringLiteral("photosSmartGroups")));
    library.reset();

    construct().index().run([photos](Index& index) { index.saveSource(photos); });
    waitForStartup();
    EXPECT_TRUE(defaults.boolean(QStringLiteral("photosSmartGroups")));
}

// Quitting while a long query runs on each connection must not keep the GUI thread until they end.
TEST_F(LibraryTest, DestroyingALibraryInterruptsTheQueriesStillRunning)
{
    Library& running = construct();
    const auto endless = [](Index& ix) -> qint64 {
        Statement count(ix.database().db(), QStringLiteral("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                                                           "FROM n) SELECT COUNT(*) FROM n"));
        return count.step() ? count.int64(0) : 0;
    };
    std::atomic<int> started = 0;
    QList<QFuture<qint64>> queries;
    for (Index* connection : {&running.index(), &running.readIndex()}) {
        queries.append(connection->run([&started, endless](Index& ix) {
            ++started;
            return endless(ix);
        }));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return started == 2; }, 10000));

    library.reset();   // returns only once both jobs have ended
    for (const QFuture<qint64>& query : queries)
        EXPECT_TRUE(query.isFinished());
}

TEST_F(LibraryTest, DestroyingALibraryWithItsTasksInFlightLeavesNothingBehind)
{
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        construct();
        // Destroyed at different points: during the migration, with the idle readings on their way, with
        // the idle monitor sleeping.
        for (int turn = 0; turn < round % 4; ++turn)
            QCoreApplication::processEvents();
        Q_EMIT volumes->volumesChanged();
        clock->advance(std::chrono::seconds(round));
        library.reset();
        ASSERT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
        EXPECT_EQ(clock->sleepers(), 0);
    }
    startUp();
}

} // namespace
