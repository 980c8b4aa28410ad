#include "FolderSourceFixture.h"

#include <QCoroTask>

namespace {

// Adding the folder "Trips" while the workspace "trips" (holding only S) is current.
class AddFolderTest : public FolderSourceFixture {
protected:
    AddFolderTest()
    {
        QDir().mkpath(trips);
        write(QStringLiteral("../Trips/a.jpg"));
        index.saveWorkspace({QStringLiteral("trips"), QStringLiteral("Trips"), QString(), QString(), 1,
                             {QStringLiteral("S|")}});
        library.setWorkspaces(index.workspaces());
        library.setWorkspaceID(QStringLiteral("trips"));
    }

    QList<Source> tripsSources()
    {
        QList<Source> found;
        for (const Source& known : index.sources()) {
            if (known.rootPath == trips)
                found.append(known);
        }
        return found;
    }

    qint64 filesOf(const Source& added)
    {
        return integer(QStringLiteral("SELECT count(*) FROM files WHERE source_id = ?"), {added.id});
    }

    QString trips = dir.filePath(QStringLiteral("Trips"));
};

TEST_F(AddFolderTest, AddingOneFolderTwiceAtOnceMakesOneSourceAndWalksIt)
{
    Tasks::start(library.indexFolder(trips + QStringLiteral("/./"), std::nullopt));
    Tasks::start(library.indexFolder(trips + QStringLiteral("/"), std::nullopt));
    waitForTasks();

    const QList<Source> added = tripsSources();
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(added[0].name, "Trips");
    EXPECT_EQ(added[0].id, added[0].id.toUpper());
    EXPECT_EQ(filesOf(added[0]), 1);
    const Workspace workspace = index.workspaces().value(1);
    EXPECT_EQ(workspace.members, QSet<QString>({QStringLiteral("S|"), added[0].id + u'|'}));
    EXPECT_EQ(library.lastError(), std::nullopt);
}

TEST_F(AddFolderTest, AddingAFolderThatIsASourceRescansIt)
{
    QCoro::waitFor(library.indexFolder(trips, QStringLiteral("Holidays")));
    library.setSources(index.sources());   // as the reload after an addition leaves them
    write(QStringLiteral("../Trips/b.jpg"));
    QCoro::waitFor(library.indexFolder(trips + QStringLiteral("/x/.."), std::nullopt));

    const QList<Source> added = tripsSources();
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(added[0].name, "Holidays");
    EXPECT_EQ(filesOf(added[0]), 2);
}

TEST_F(AddFolderTest, InTheBuiltInWorkspaceNoWorkspaceIsStored)
{
    library.setWorkspaceID(Index::everythingWorkspaceID);
    QCoro::waitFor(library.indexFolder(trips, std::nullopt));

    EXPECT_EQ(tripsSources().size(), 1);
    EXPECT_EQ(index.workspaces().value(1).members, QSet<QString>({QStringLiteral("S|")}));
}

} // namespace
