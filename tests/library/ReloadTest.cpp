#include "OfflineLibrary.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/library/engine/Reload.h"
#include "Pellmar/library/frame/Tasks.h"
#include "tests/index/IndexFixture.h"

#include <QCoroTask>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(WorkerAfterReload, QuickIndexingComesFirstAndPausedPreviewsWait)
{
    struct Case {
        QueueStatus status;
        FullStatus full;
        bool paused;
        ReloadWorker worker;
    };
    const Case cases[] = {
        {{.found = 1}, {.done = 0, .total = 5}, false, ReloadWorker::quickIndex},
        {{.identified = 1}, {}, true, ReloadWorker::quickIndex},
        {{.ready = 9}, {.done = 4, .total = 5}, false, ReloadWorker::fullPreviews},
        {{.ready = 9}, {.done = 4, .total = 5}, true, ReloadWorker::none},
        {{.ready = 9, .failed = 2}, {.done = 5, .total = 5}, false, ReloadWorker::none},
        {{}, {}, false, ReloadWorker::none},
    };
    for (const Case& c : cases)
        EXPECT_EQ(workerAfterReload(c.status, c.full, c.paused), c.worker);
}

// An index with two folder sources, added in the order drive then home, and a workspace "trips"
// holding home; the library has not read any of it yet.
class ReloadTest : public IndexFixture {
protected:
    ReloadTest()
    {
        index.saveSource({QStringLiteral("drive"), QStringLiteral("Drive"), home.filePath(QStringLiteral("absent")),
                          QString(), QString(), 1, SourceKind::folder});
        index.saveSource({QStringLiteral("home"), QStringLiteral("Home"), home.path(), QString(), QString(), 2,
                          SourceKind::folder});
        index.saveWorkspace({QStringLiteral("trips"), QStringLiteral("Trips"), QStringLiteral("airplane"),
                             QStringLiteral("green"), 1, {QStringLiteral("home|")}});
        index.savePins({QStringLiteral("home|trips")}, QStringLiteral("trips"));
    }

    ~ReloadTest() override { EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000)); }

    void reload() { QCoro::waitFor(library.reload()); }

    QTemporaryDir home;
    OfflineLibrary offline{dir.path()};
    Library& library = *offline.library;
    const QString everything = Index::everythingWorkspaceID;
};

TEST_F(ReloadTest, ReadsSourcesWorkspacesPinsAndFavoritesAndWhichSourcesAreOnline)
{
    addItem({.id = QStringLiteral("I1")});
    index.setFavorite(QStringLiteral("I1"), true, QStringLiteral("trips"));
    library.setWorkspaceID(QStringLiteral("trips"));
    reload();
    ASSERT_EQ(library.sources().size(), 2);
    EXPECT_EQ(library.online(), QSet<QString>{QStringLiteral("home")});
    EXPECT_EQ(library.workspaces(), index.workspaces());
    EXPECT_EQ(library.pinned(), QStringList{QStringLiteral("home|trips")});
    EXPECT_EQ(library.favorites(), QSet<QString>{QStringLiteral("I1")});
    EXPECT_EQ(library.lastError(), std::nullopt);
}

TEST_F(ReloadTest, ADeletedWorkspaceFallsBackToEverythingBeforePinsAreRead)
{
    index.savePins({QStringLiteral("drive|")}, everything);
    library.setWorkspaceID(QStringLiteral("deleted"));
    reload();
    EXPECT_EQ(library.workspaceID(), everything);
    EXPECT_EQ(library.pinned(), QStringList{QStringLiteral("drive|")});
}

TEST_F(ReloadTest, OldPinsMoveIntoTheIndexOnceAndNeverOverExistingOnes)
{
    const QStringList old{QStringLiteral("home|b"), QStringLiteral("home|a")};
    offline.defaults.set(QStringLiteral("pinned"), old);
    library.setWorkspaceID(everything);
    reload();
    EXPECT_EQ(index.pins(everything), old);
    EXPECT_EQ(library.pinned(), old);
    EXPECT_FALSE(offline.defaults.contains(QStringLiteral("pinned")));

    offline.defaults.set(QStringLiteral("pinned"), QStringList{QStringLiteral("drive|")});
    reload();
    EXPECT_EQ(index.pins(everything), old);
    EXPECT_FALSE(offline.defaults.contains(QStringLiteral("pinned")));
}

TEST_F(ReloadTest, AFailureReadingWorkspacesStillRefreshesTheDevices)
{
    QTemporaryDir card;
    MountedVolume volume;
    volume.url = card.path();
    volume.name = QStringLiteral("CARD");
    volume.removable = true;
    offline.placeVolumes({volume});
    db.run(QStringLiteral("ALTER TABLE workspaces RENAME TO workspaces_gone"));
    library.setWorkspaces({});
    reload();
    EXPECT_EQ(library.sources().size(), 2);
    EXPECT_EQ(library.online(), QSet<QString>{QStringLiteral("home")});
    EXPECT_TRUE(library.lastError().has_value());
    EXPECT_TRUE(library.workspaces().isEmpty());
    EXPECT_EQ(library.devices().size(), 1);
}

} // namespace
