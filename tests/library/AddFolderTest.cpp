#include "FolderSourceFixture.h"

#include <QCoroTask>

#include <sys/stat.h>

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

TEST_F(AddFolderTest, AFolderInASourceIsThatSourceShownAtTheFolder)
{
    write(QStringLiteral("2024/x.jpg"));
    QDir().mkpath(root + QStringLiteral("/2024/May"));
    QFile::link(root + QStringLiteral("/2024"), dir.filePath(QStringLiteral("Linked")));
    const struct {
        QString folder;
        QString shownPath;
    } cases[] = {
        {root + QStringLiteral("/2024/May"), QStringLiteral("2024/May")},
        {dir.filePath(QStringLiteral("Linked")), QStringLiteral("2024")},   // a symlink is its real folder
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.folder.toStdString());
        QCoro::waitFor(library.indexFolder(entry.folder, std::nullopt));
        EXPECT_EQ(index.sources().size(), 1);
        EXPECT_EQ(library.sourceFilter(), source.id);
        EXPECT_EQ(library.pathFilter(), entry.shownPath);
        EXPECT_EQ(filesOf(source), 1);   // the source was looked at again
        EXPECT_EQ(library.lastError(), std::nullopt);
    }
}

TEST_F(AddFolderTest, AFolderThatHoldsASourceIsRefusedNamingIt)
{
    QCoro::waitFor(library.indexFolder(dir.path(), std::nullopt));

    EXPECT_EQ(index.sources().size(), 1);
    ASSERT_TRUE(library.lastError());
    EXPECT_TRUE(library.lastError()->contains(QStringLiteral("already indexed (“Pictures”)"))) << library.lastError()->toStdString();
}

TEST_F(AddFolderTest, AFolderAddedWhileItsParentIsBeingAddedJoinsIt)
{
    QDir().mkpath(trips + QStringLiteral("/Rome"));
    Tasks::start(library.indexFolder(trips, std::nullopt));
    Tasks::start(library.indexFolder(trips + QStringLiteral("/Rome"), std::nullopt));
    waitForTasks();

    ASSERT_EQ(tripsSources().size(), 1);
    EXPECT_EQ(index.sources().size(), 2);
    EXPECT_EQ(library.pathFilter(), "Rome");
}

TEST_F(AddFolderTest, BadPathsAreRefusedSayingWhatIsWrong)
{
    const QByteArray latin1Name = QFile::encodeName(dir.path()) + "/Caf\xe9";
    ASSERT_EQ(::mkdir(latin1Name.constData(), 0700), 0);
    write(QStringLiteral("../notes.txt"));
    const struct {
        QString folder;
        QString says;
    } cases[] = {
        {dir.filePath(QStringLiteral("Gone")), QStringLiteral("there is no folder at that path.")},
        {dir.filePath(QStringLiteral("notes.txt")), QStringLiteral("it is a file, not a folder.")},
        {QString::fromLocal8Bit(latin1Name), QStringLiteral("its name is not valid UTF-8.")},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.folder.toStdString());
        library.setLastError(std::nullopt);
        QCoro::waitFor(library.indexFolder(entry.folder, std::nullopt));
        EXPECT_EQ(index.sources().size(), 1);
        ASSERT_TRUE(library.lastError());
        EXPECT_TRUE(library.lastError()->startsWith(QStringLiteral("“") + entry.folder + QStringLiteral("” cannot be indexed: ")
                                                   + entry.says))
            << library.lastError()->toStdString();
    }
}

} // namespace
