#include "BrowsingFixture.h"

#include <QUuid>

namespace {

using WorkspacesTest = BrowsingFixture;

QStringList idsOf(const QList<Workspace>& workspaces)
{
    QStringList ids;
    for (const Workspace& workspace : workspaces)
        ids.append(workspace.id);
    return ids;
}

const QSet<QString> everySourceWhole{"home|", "drive|", "photos|"};

TEST_F(WorkspacesTest, NewWorkspaceComesAfterTheHighestPositionWithEverySourceWholeAndIsNotStored)
{
    QList<Workspace> list = library.workspaces();
    list[1].position = 4;
    library.setWorkspaces(list);

    const Workspace fresh = library.newWorkspace();
    EXPECT_EQ(fresh.position, 5);
    EXPECT_EQ(fresh.members, everySourceWhole);
    EXPECT_EQ(fresh.name, QString());
    EXPECT_EQ(fresh.symbol, QStringLiteral("camera"));
    EXPECT_EQ(fresh.tint, QStringLiteral("blue"));
    EXPECT_FALSE(QUuid::fromString(fresh.id).isNull());
    EXPECT_EQ(fresh.id, fresh.id.toUpper());
    EXPECT_NE(library.newWorkspace().id, fresh.id);
    EXPECT_EQ(idsOf(index.workspaces()), (QStringList{everything, trips}));

    library.setWorkspaces({});
    EXPECT_EQ(library.newWorkspace().position, 1);
}

TEST_F(WorkspacesTest, DuplicatesStoreTheMembersAndPinsOfWhatTheyCopy)
{
    library.duplicateWorkspace(workspace(everything));
    library.duplicateWorkspace(workspace(trips));
    waitForTasks();

    // Both copies were made before either was stored, so both come after "trips", oldest first.
    const QList<Workspace> list = library.workspaces();
    ASSERT_EQ(list.size(), 4);
    const Workspace& allCopy = list[2];
    const Workspace& tripsCopy = list[3];
    EXPECT_EQ(allCopy.name, QStringLiteral("Everything Copy"));
    EXPECT_EQ(allCopy.symbol, QStringLiteral("house"));
    EXPECT_EQ(allCopy.tint, QStringLiteral("accent"));
    EXPECT_EQ(allCopy.members, everySourceWhole);
    EXPECT_EQ(index.pins(allCopy.id), (QStringList{"home|trips", "drive|"}));
    EXPECT_EQ(tripsCopy.name, QStringLiteral("Trips Copy"));
    EXPECT_EQ(tripsCopy.members, workspace(trips).members);
    EXPECT_EQ(index.pins(tripsCopy.id), QStringList{"photos|#favorites"});
    EXPECT_EQ(library.workspaceID(), everything);
    EXPECT_EQ(library.lastError(), std::nullopt);
}

TEST_F(WorkspacesTest, MovingSwapsWithTheNeighbourAndRenumbersFromZero)
{
    index.saveWorkspace({QStringLiteral("third"), QStringLiteral("Third"), QStringLiteral("star"),
                         QStringLiteral("red"), 7, {}});
    library.setWorkspaces(index.workspaces());
    const auto storedPositions = [this] {
        QList<qint64> positions;
        for (const Workspace& workspace : index.workspaces())
            positions.append(workspace.position);
        return positions;
    };

    // Past either end, or with a value that no longer matches the list, nothing moves.
    Workspace stale = workspace(trips);
    stale.name = QStringLiteral("Old name");
    library.moveWorkspace(workspace(everything), -1);
    library.moveWorkspace(workspace(QStringLiteral("third")), 1);
    library.moveWorkspace(stale, -1);
    waitForTasks();
    EXPECT_EQ(storedPositions(), (QList<qint64>{0, 1, 7}));

    library.moveWorkspace(workspace(trips), -1);
    EXPECT_EQ(idsOf(library.workspaces()), (QStringList{everything, trips, "third"}));
    waitForTasks();
    EXPECT_EQ(idsOf(library.workspaces()), (QStringList{trips, everything, "third"}));
    EXPECT_EQ(storedPositions(), (QList<qint64>{0, 1, 2}));
}

TEST_F(WorkspacesTest, RemovingTheShownWorkspaceShowsEverythingBeforeItIsDeleted)
{
    library.setWorkspace(trips);
    waitForTasks();

    library.removeWorkspace(workspace(trips));
    EXPECT_EQ(library.workspaceID(), everything);
    EXPECT_EQ(offline.defaults.string(QStringLiteral("workspace")), everything);
    waitForTasks();
    EXPECT_EQ(idsOf(library.workspaces()), QStringList{everything});
    EXPECT_EQ(index.pins(trips), QStringList());
    EXPECT_EQ(index.favoriteIDs(trips), QSet<QString>());
    EXPECT_EQ(library.pinned(), (QStringList{"home|trips", "drive|"}));

    library.removeWorkspace(workspace(everything));
    waitForTasks();
    EXPECT_EQ(idsOf(index.workspaces()), QStringList{everything});
}

TEST_F(WorkspacesTest, SwitchingLoadsPinsAndFavoritesAndShowsTheWholeWorkspace)
{
    library.setFilter(QStringLiteral("drive"), QStringLiteral("docs"), std::nullopt);
    waitForTasks();
    library.select(library.items().value(0));
    library.setKindFilter(MediaKind::document);
    library.setQuery(QStringLiteral("notes"));
    library.setWorkspace(trips);
    EXPECT_TRUE(library.selectedIDs().isEmpty());
    EXPECT_EQ(library.selection(), std::nullopt);
    EXPECT_EQ(library.query(), QString());
    EXPECT_EQ(library.kindFilter(), std::nullopt);
    waitForTasks();

    EXPECT_EQ(library.pinned(), QStringList{"photos|#favorites"});
    EXPECT_EQ(library.favorites(), QSet<QString>{"notes"});
    EXPECT_EQ(library.sourceFilter(), std::nullopt);
    EXPECT_EQ(library.pathFilter(), QString());
    EXPECT_EQ(shown(), (QStringList{"dog", "cat", "surf", "beach"}));
    EXPECT_EQ(offline.defaults.string(QStringLiteral("workspace")), trips);

    // The shown workspace or one that does not exist: nothing changes and nothing is searched.
    library.select(library.items().value(0));
    library.setQuery(QStringLiteral("cat"));
    const qint64 searches = library.searchGeneration;
    library.setWorkspace(trips);
    library.setWorkspace(QStringLiteral("gone"));
    waitForTasks();
    EXPECT_EQ(library.searchGeneration, searches);
    EXPECT_EQ(library.query(), QStringLiteral("cat"));
    EXPECT_EQ(library.selectedIDs(), QSet<QString>{"dog"});
}

TEST_F(WorkspacesTest, UnreadablePinsShowAsNoneWithoutAnError)
{
    db.run(QStringLiteral("DROP TABLE pins"));
    library.setWorkspace(trips);
    waitForTasks();
    EXPECT_EQ(library.pinned(), QStringList());
    EXPECT_EQ(library.favorites(), QSet<QString>{"notes"});
    EXPECT_EQ(library.lastError(), std::nullopt);
}

TEST_F(WorkspacesTest, SavingTheShownWorkspaceSearchesItsNewMembersAndAFailedSaveSaysWhy)
{
    library.setWorkspace(trips);
    waitForTasks();
    Workspace edited = workspace(trips);
    edited.members = {QStringLiteral("drive|")};
    QCoro::waitFor(library.saveWorkspace(edited));
    EXPECT_EQ(workspace(trips).members, QSet<QString>{"drive|"});
    EXPECT_EQ(shown(), (QStringList{"notes", "beach"}));

    db.run(QStringLiteral("DROP TABLE workspace_sources"));
    edited.name = QStringLiteral("Broken");
    QCoro::waitFor(library.saveWorkspace(edited));
    ASSERT_TRUE(library.lastError());
    EXPECT_TRUE(library.lastError()->contains(QLatin1String("workspace_sources"))) << qPrintable(*library.lastError());
    EXPECT_EQ(workspace(trips).name, QStringLiteral("Trips"));
    EXPECT_EQ(text(QStringLiteral("SELECT name FROM workspaces WHERE id = ?"), {trips}), QStringLiteral("Trips"));
}

TEST_F(WorkspacesTest, PinsToggleInTheShownWorkspaceAndSurviveReopeningTheIndex)
{
    library.setPinned(index.pins(everything));
    const FolderNode tripsFolder{"home/trips", "home", "trips", "trips", 2, {}, {}};
    const FolderNode docs{"drive/docs", "drive", "docs", "docs", 1, {}, {}};
    library.pin(docs);
    EXPECT_EQ(library.pinned(), (QStringList{"home|trips", "drive|", "drive|docs"}));
    library.pin(tripsFolder);
    EXPECT_EQ(library.pinned(), (QStringList{"drive|", "drive|docs"}));
    waitForTasks();
    EXPECT_EQ(Index(dir.filePath(QStringLiteral("index.sqlite"))).pins(everything),
              (QStringList{"drive|", "drive|docs"}));

    // A key without "|" stays in the list but is not stored; it keeps its place in the positions.
    library.setPinned({QStringLiteral("bare"), QStringLiteral("drive|")});
    library.pin(docs);
    waitForTasks();
    EXPECT_EQ(library.pinned(), (QStringList{"bare", "drive|", "drive|docs"}));
    EXPECT_EQ(index.pins(everything), (QStringList{"drive|", "drive|docs"}));
    EXPECT_EQ(integer(QStringLiteral("SELECT position FROM pins WHERE workspace_id = ? AND path = 'docs'"), {everything}), 2);

    // A failed save keeps the pins as the user made them and says why.
    db.run(QStringLiteral("DROP TABLE pins"));
    library.pin(tripsFolder);
    waitForTasks();
    EXPECT_EQ(library.pinned(), (QStringList{"bare", "drive|", "drive|docs", "home|trips"}));
    EXPECT_TRUE(library.lastError());
}

} // namespace
