#include "FakeReadings.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/MemoryPhotoLibrary.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A Library whose quick-index worker only counts its runs, and a folder source on a temporary folder.
class ScanTest : public ::testing::Test {
protected:
    ScanTest()
    {
        Library::Services services;
        services.supportDirectory = dir.filePath(QStringLiteral("Quorvin"));
        services.defaults = &defaults;
        services.clock = clock;
        services.idleReadings = fakes.readings();
        services.volumes = std::make_shared<VolumeService>();
        services.workerBodies.quickIndex = [this](WorkerInputs, CancelToken) -> QCoro::Task<> {
            ++workerRuns;
            co_return;
        };
        library = std::make_unique<Library>(std::move(services));
        QSignalSpy started(library.get(), &Library::startupFinished);
        EXPECT_TRUE(started.wait(10000));
        for (const char* path : {"a.jpg", "trip/b.jpg", "trip/day 2/c.mov"})
            write(QString::fromLatin1(path));
        waitFor(library->index().run([source = source](Index& index) { index.saveSource(source); }));
        library->setSources({source});
    }

    ~ScanTest() override
    {
        library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    void write(const QString& path)
    {
        const QString file = root + QLatin1Char('/') + path;
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("content of " + path.toUtf8());
    }

    QStringList indexedPaths(const QString& table)
    {
        return waitFor(library->readIndex().run([table](Index& index) {
            QStringList paths;
            Statement rows(index.database().db(), QStringLiteral("SELECT rel_path FROM %1 ORDER BY rel_path").arg(table));
            while (rows.step())
                paths.append(rows.text(0));
            return paths;
        }));
    }

    void scan() { QCoro::waitFor(library->scan(source)); }
    void rescan() { QCoro::waitFor(library->rescan(source)); }

    QTemporaryDir dir;
    QString root = dir.filePath(QStringLiteral("Pictures"));
    Source source{QStringLiteral("S1"), QStringLiteral("Pictures"), root, QString(), QString(), 1, SourceKind::folder};
    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    FakeReadings fakes;
    std::unique_ptr<Library> library;
    int workerRuns = 0;
};

TEST_F(ScanTest, AScanWritesFilesAndFoldersRemembersTheSourceAndStartsTheWorker)
{
    QSignalSpy changes(library.get(), &Library::changed);
    scan();
    EXPECT_EQ(library->lastError(), std::nullopt);
    EXPECT_EQ(indexedPaths(QStringLiteral("files")),
              (QStringList{QStringLiteral("a.jpg"), QStringLiteral("trip/b.jpg"), QStringLiteral("trip/day 2/c.mov")}));
    EXPECT_EQ(indexedPaths(QStringLiteral("folders")), (QStringList{QStringLiteral("trip"), QStringLiteral("trip/day 2")}));
    EXPECT_EQ(defaults.stringList(QStringLiteral("allFilesSources")), QStringList{QStringLiteral("S1")});
    EXPECT_EQ(library->scanning(), std::nullopt);
    EXPECT_EQ(library->scanFound(), 3);
    EXPECT_EQ(library->status().found, 3);
    ASSERT_EQ(library->trees().size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return workerRuns == 1; }, 5000));
    bool showedName = false;
    for (const QList<QVariant>& change : changes)
        showedName |= change.at(0).value<Library::Prop>() == Library::Prop::scanning;
    EXPECT_TRUE(showedName);

    // Files gone from the disk leave the index at the next scan, and so do their folders.
    ASSERT_TRUE(QDir(root + QStringLiteral("/trip/day 2")).removeRecursively());
    scan();
    EXPECT_EQ(indexedPaths(QStringLiteral("files")), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("trip/b.jpg")}));
    EXPECT_EQ(indexedPaths(QStringLiteral("folders")), QStringList{QStringLiteral("trip")});
    EXPECT_EQ(defaults.stringList(QStringLiteral("allFilesSources")), QStringList{QStringLiteral("S1")});
}

TEST_F(ScanTest, AnUnpluggedSourceIsNotConnectedAndKeepsItsRows)
{
    scan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return workerRuns == 1; }, 5000));
    ASSERT_TRUE(QDir(root).removeRecursively());
    for (const bool verify : {false, true}) {
        SCOPED_TRACE(verify);
        library->setLastError(std::nullopt);
        verify ? rescan() : scan();
        EXPECT_EQ(library->lastError(), QStringLiteral("Pictures is not connected"));
        EXPECT_EQ(library->scanning(), std::nullopt);
        EXPECT_EQ(indexedPaths(QStringLiteral("files")).size(), 3);
    }
    EXPECT_EQ(library->verification(), std::nullopt);
    QCoreApplication::processEvents();
    EXPECT_EQ(workerRuns, 1);
}

TEST_F(ScanTest, AVerificationCountsWithoutChangingTheIndex)
{
    scan();
    rescan();
    ASSERT_TRUE(library->verification());
    EXPECT_EQ(library->verification()->source, QStringLiteral("Pictures"));
    EXPECT_EQ(library->verification()->result, (Verification{.checked = 3}));

    write(QStringLiteral("new.jpg"));
    ASSERT_TRUE(QFile::remove(root + QStringLiteral("/a.jpg")));
    rescan();
    EXPECT_EQ(library->verification()->result, (Verification{.checked = 3, .missing = 1, .added = 1}));
    EXPECT_EQ(indexedPaths(QStringLiteral("files")).size(), 3);
    EXPECT_FALSE(indexedPaths(QStringLiteral("files")).contains(QStringLiteral("new.jpg")));
}

TEST_F(ScanTest, APhotoLibraryScanAsksForAccessOnceAndGoesOnWhenGranted)
{
    const Source photosSource{QStringLiteral("P1"), QStringLiteral("Photos"), QString(), QString(), QString(), 2,
                              SourceKind::photos};
    library->setSources({source, photosSource});
    for (const auto answer : {PhotoAuthorizationStatus::denied, PhotoAuthorizationStatus::authorized}) {
        SCOPED_TRACE(int(answer));
        auto photos = std::make_shared<MemoryPhotoLibrary>();
        photos->setAuthorizationStatus(PhotoAuthorizationStatus::notDetermined);
        photos->setAnswerToRequest(answer);
        setSharedPhotoLibrary(photos);
        library->setLastError(std::nullopt);
        QCoro::waitFor(library->scan(photosSource));
        setSharedPhotoLibrary(nullptr);
        const bool granted = answer == PhotoAuthorizationStatus::authorized;
        EXPECT_EQ(library->lastError(),
                  granted ? std::nullopt
                          : std::optional(QStringLiteral("Photo Library access is off. Turn it on by letting Quorvin "
                                                         "read and write the Photo Library's folder, then scan it again.")));
        EXPECT_EQ(library->online().contains(QStringLiteral("P1")), granted);
        EXPECT_EQ(library->scanning(), std::nullopt);
    }
    EXPECT_TRUE(defaults.stringList(QStringLiteral("allFilesSources")).isEmpty());
}

} // namespace
