#include "tests/library/FakeReadings.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"
#include "tests/support/LogCapture.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Starts the Library as the program does, on this process's own home folder (HomeTestMain) with
// the files "Pictures/trip/a.jpg", "Bilder/b.jpg" (the desktop's pictures folder, in German) and
// "Music/m.mp3", a support folder and settings of its own, and the command line the test gives.
// The workers do nothing.
class StartupTest : public ::testing::Test {
protected:
    StartupTest()
    {
        EXPECT_TRUE(home.startsWith(QDir::tempPath())) << "runs only on a temporary home";
        write(home + QStringLiteral("/Pictures/trip/a.jpg"));
        write(home + QStringLiteral("/Bilder/b.jpg"));
        write(home + QStringLiteral("/Music/m.mp3"));
        QFile dirs(home + QStringLiteral("/.config/user-dirs.dirs"));
        EXPECT_TRUE(QDir().mkpath(home + QStringLiteral("/.config")) && dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
        write(work.filePath(QStringLiteral("Card/DCIM/x.jpg")));
        previousFolder = QDir::currentPath();
        QDir::setCurrent(work.path());
    }
    ~StartupTest() override
    {
        stop();
        QDir::setCurrent(previousFolder);
        QDir(home).removeRecursively();
        QDir().mkpath(home);
    }

    static void write(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("content");
    }

    Library& start(const QStringList& arguments)
    {
        create(arguments);
        QSignalSpy finished(library.get(), &Library::startupFinished);
        EXPECT_TRUE(finished.wait(30000));
        return *library;
    }

    // The Library as the program makes it, its start-up queued and not yet run.
    void create(const QStringList& arguments)
    {
        Library::Services services;
        services.supportDirectory = work.filePath(QStringLiteral("support"));
        services.defaults = &defaults;
        services.clock = std::make_shared<ManualClock>();
        services.idleReadings = fakes.readings();
        services.volumes = std::make_shared<VolumeService>();
        services.addsSources = true;
        services.arguments = QStringList{QStringLiteral("quorvin")} + arguments;
        library = std::make_unique<Library>(std::move(services));
    }

    void stop()
    {
        library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    QStringList sourceRows(const QString& sql)
    {
        Database db(work.filePath(QStringLiteral("support/index.sqlite")));
        Statement rows(db.db(), sql);
        QStringList values;
        while (rows.step())
            values.append(rows.text(0));
        values.sort();
        return values;
    }

    static QStringList names(const QList<Source>& sources)
    {
        QStringList list;
        for (const Source& source : sources)
            list.append(source.name + u'|' + source.rootPath);
        return list;
    }

    QString home = QDir::homePath();
    QTemporaryDir work;
    QString previousFolder;
    Defaults defaults{work.filePath(QStringLiteral("Quorvin.conf"))};
    FakeReadings fakes;
    std::unique_ptr<Library> library;
};

TEST_F(StartupTest, AFirstStartAddsTheHomeThePhotoLibraryAndTheLaunchFoldersAndALaterOneNothing)
{
    const QString card = work.filePath(QStringLiteral("Card"));
    LogCapture log(logWatch());
    {
        // A relative folder is taken in the current folder; an "--add" at the end adds nothing.
        Library& first = start({QStringLiteral("--add"), QStringLiteral("Card"), QStringLiteral("--add")});
        EXPECT_EQ(names(first.sources()),
                  QStringList({"This Computer|" + home, QStringLiteral("Photo Library|"), "Card|" + card}));
        EXPECT_EQ(first.lastError(), std::nullopt);   // the photo library was never made: empty
        EXPECT_TRUE(defaults.boolean(QStringLiteral("addedDefaultSources")));
        const QString homeID = first.sources()[0].id;
        const QString cardID = first.sources()[2].id;
        EXPECT_EQ(defaults.stringList(QStringLiteral("allFilesSources")), QStringList({homeID, cardID}));
        // The home source holds the folders people keep media in, whatever their desktop calls them.
        EXPECT_EQ(sourceRows(QStringLiteral("SELECT rel_path FROM files")),
                  QStringList({"Bilder/b.jpg", "DCIM/x.jpg", "Pictures/trip/a.jpg"}));
        stop();
    }
    log.take();

    Library& second = start({QStringLiteral("--add"), QStringLiteral("Card")});
    EXPECT_EQ(names(second.sources()),
              QStringList({"This Computer|" + home, QStringLiteral("Photo Library|"), "Card|" + card}));
    const QStringList secondLines = log.take();
    for (const QString& line : secondLines) {
        EXPECT_FALSE(line.startsWith(QStringLiteral("folder walk of"))) << qPrintable(line);
        EXPECT_FALSE(line.startsWith(QStringLiteral("all-files rescan of"))) << qPrintable(line);
    }
}

TEST_F(StartupTest, SourcesOfAnOlderVersionAreWalkedAndRescannedOnceAtTheNextStart)
{
    start({QStringLiteral("--add"), QStringLiteral("Card")});
    const QString homeID = library->sources()[0].id;
    const QString cardID = library->sources()[2].id;
    stop();
    // As an older version left them: the home source without folder rows, the card never scanned whole.
    {
        Database db(work.filePath(QStringLiteral("support/index.sqlite")));
        db.run(QStringLiteral("DELETE FROM folders WHERE source_id = ?"), {homeID});
    }
    defaults.set(QStringLiteral("allFilesSources"), QStringList{homeID});

    LogCapture log(logWatch());
    for (int run = 0; run < 2; ++run) {
        start({});
        stop();
    }
    QStringList lines = log.take();
    lines.removeIf([](const QString& line) {
        return !line.startsWith(QStringLiteral("folder walk of")) && !line.startsWith(QStringLiteral("all-files rescan of"));
    });
    EXPECT_EQ(lines, QStringList({QStringLiteral("folder walk of This Computer: 3 folders in 0 ms"),
                                  QStringLiteral("all-files rescan of Card in 0 ms")}));
    EXPECT_EQ(defaults.stringList(QStringLiteral("allFilesSources")), QStringList({homeID, cardID}));
    EXPECT_EQ(sourceRows(QStringLiteral("SELECT rel_path FROM folders WHERE source_id = '%1'").arg(homeID)),
              QStringList({"Bilder", "Pictures", "Pictures/trip"}));
}

TEST_F(StartupTest, WithEverySourceRemovedTheNextStartAddsTheDefaultsAgain)
{
    defaults.set(QStringLiteral("addedDefaultSources"), true);
    Library& started = start({});
    EXPECT_EQ(names(started.sources()), QStringList({"This Computer|" + home, QStringLiteral("Photo Library|")}));
    const QList<Source> added = started.sources();
    for (const Source& source : added)
        QCoro::waitFor(started.removeSource(source.id));
    EXPECT_TRUE(started.sources().isEmpty());
    stop();

    EXPECT_EQ(names(start({}).sources()), QStringList({"This Computer|" + home, QStringLiteral("Photo Library|")}));
}

// The window asks for a search as soon as it shows, which on a first start can be before the new
// index has its tables: that search is left to the start-up's own, and no error reaches the user.
TEST_F(StartupTest, ASearchBeforeTheIndexHasItsTablesShowsNoError)
{
    create({});
    QCoro::waitFor(library->search());
    EXPECT_EQ(library->lastError(), std::nullopt);
    QSignalSpy finished(library.get(), &Library::startupFinished);
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(library->lastError(), std::nullopt);
}

} // namespace
