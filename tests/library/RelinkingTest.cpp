#include "OfflineLibrary.h"

#include "Pellmar/library/frame/Tasks.h"
#include "tests/index/IndexFixture.h"

#include <QCoroTask>
#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

namespace {

// Counts the "relinked ..." lines of the watch log.
int relinkLines = 0;
QtMessageHandler previousHandler = nullptr;

void countRelinks(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("relinked ")))
        ++relinkLines;
    previousHandler(type, context, message);
}

// Two drives that came back under other mount points: "Card A", a source named after its volume,
// is now mounted as "Card B"; "Holidays", a folder on the drive "Disk", now lies on "Disk 2".
class RelinkingTest : public IndexFixture {
protected:
    RelinkingTest()
    {
        QDir().mkpath(mounts.filePath(QStringLiteral("Card B")));
        QDir().mkpath(mounts.filePath(QStringLiteral("Disk 2/Photos/Holidays")));
        index.saveSource({QStringLiteral("card"), QStringLiteral("Card A"), QStringLiteral("/media/u/Card A"),
                          QStringLiteral("UUID-CARD"), QStringLiteral("Card A"), 1, SourceKind::folder});
        index.saveSource({QStringLiteral("holidays"), QStringLiteral("Holidays"),
                          QStringLiteral("/media/u/Disk/Photos/Holidays"), QStringLiteral("UUID-DISK"),
                          QStringLiteral("Disk"), 2, SourceKind::folder});
        library.setSources(index.sources());
        relinkLines = 0;
        previousHandler = qInstallMessageHandler(countRelinks);
    }

    ~RelinkingTest() override
    {
        offline.clock->advance(8s);   // the note's time runs out
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
        qInstallMessageHandler(previousHandler);
    }

    MountedVolume mounted(const QString& folder, const QString& uuid) const
    {
        MountedVolume volume;
        volume.url = mounts.filePath(folder);
        volume.uuid = uuid;
        volume.name = folder;
        volume.removable = true;
        return volume;
    }

    QTemporaryDir mounts;
    OfflineLibrary offline{dir.path()};
    Library& library = *offline.library;
};

TEST_F(RelinkingTest, MovesEachSourceToItsVolumesNewPlaceAndSaysSoOnce)
{
    offline.placeVolumes({mounted(QStringLiteral("Disk 2"), QStringLiteral("UUID-DISK")),
                                 mounted(QStringLiteral("Card B"), QStringLiteral("UUID-CARD"))});
    QCoro::waitFor(library.relinkSources());

    const QList<Source> sources = index.sources();
    ASSERT_EQ(sources.size(), 2);
    // Named after its volume: it takes the volume's new name.
    EXPECT_EQ(sources[0].rootPath, mounts.filePath(QStringLiteral("Card B")));
    EXPECT_EQ(sources[0].name, QStringLiteral("Card B"));
    EXPECT_EQ(sources[0].volumeName, QStringLiteral("Card B"));
    EXPECT_EQ(sources[0].volumeUUID, QStringLiteral("UUID-CARD"));
    // A name of its own stays.
    EXPECT_EQ(sources[1].rootPath, mounts.filePath(QStringLiteral("Disk 2/Photos/Holidays")));
    EXPECT_EQ(sources[1].name, QStringLiteral("Holidays"));
    EXPECT_EQ(sources[1].volumeName, QStringLiteral("Disk 2"));
    // The path below the mount point is kept for the next relink.
    EXPECT_EQ(sources[0].volumePath, QString());
    EXPECT_EQ(sources[1].volumePath, QStringLiteral("Photos/Holidays"));

    // One note in source order; the reload brought the library in line.
    EXPECT_EQ(library.relinkNote(), QStringLiteral("Relinked Card B, Holidays"));
    EXPECT_EQ(library.sources(), sources);
    EXPECT_EQ(library.online(), (QSet<QString>{QStringLiteral("card"), QStringLiteral("holidays")}));

    offline.clock->advance(7999ms);
    EXPECT_TRUE(library.relinkNote());
    offline.clock->advance(1ms);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !library.relinkNote(); }, 5000));
}

TEST_F(RelinkingTest, WithoutAVolumeToMoveToNothingChanges)
{
    // The card's UUID on another volume that lacks the folder, and the mount of the root never counts.
    MountedVolume root = mounted(QString(), QStringLiteral("UUID-CARD"));
    root.url = QStringLiteral("/");
    offline.placeVolumes({root, mounted(QStringLiteral("Card B"), QStringLiteral("UUID-OTHER"))});
    const QList<Source> before = library.sources();
    library.setOnline({QStringLiteral("marker")});   // a reload would replace it
    QCoro::waitFor(library.relinkSources());
    EXPECT_EQ(index.sources(), before);
    EXPECT_EQ(library.online(), QSet<QString>{QStringLiteral("marker")});
    EXPECT_EQ(library.relinkNote(), std::nullopt);
    EXPECT_EQ(relinkLines, 0);
}

TEST_F(RelinkingTest, ASourceInPlaceOnItsVolumeKeepsItsPathBelowTheMountPoint)
{
    QDir().mkpath(mounts.filePath(QStringLiteral("Disk/Photos/Holidays")));
    const Source holidays{QStringLiteral("holidays"), QStringLiteral("Holidays"), mounts.filePath(QStringLiteral("Disk/Photos/Holidays")),
                          QStringLiteral("UUID-DISK"), QStringLiteral("Disk"), 2, SourceKind::folder};
    db.run(QStringLiteral("UPDATE sources SET root_path = ? WHERE id = 'holidays'"), {holidays.rootPath});
    library.setSources({holidays});
    offline.placeVolumes({mounted(QStringLiteral("Disk"), QStringLiteral("UUID-DISK"))});
    QCoro::waitFor(library.relinkSources());

    EXPECT_EQ(index.sources().value(1).volumePath, QStringLiteral("Photos/Holidays"));
    EXPECT_EQ(library.sources().value(0).volumePath, QStringLiteral("Photos/Holidays"));
    EXPECT_EQ(relinkLines, 0);
}

TEST_F(RelinkingTest, TwoMountNoticesInARowRelinkOnce)
{
    offline.placeVolumes({mounted(QStringLiteral("Card B"), QStringLiteral("UUID-CARD"))});
    // As the library's observer of mount notices does.
    Tasks::start(library.volumesChanged());
    Tasks::start(library.volumesChanged());
    ASSERT_TRUE(QTest::qWaitFor([&] { return library.relinkNote().has_value(); }, 5000));
    // The second notice asked for one more pass after the first, which found nothing left to move.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !library.relinking; }, 5000));
    EXPECT_EQ(relinkLines, 1);
    EXPECT_EQ(library.relinkNote(), QStringLiteral("Relinked Card B"));
}

} // namespace
