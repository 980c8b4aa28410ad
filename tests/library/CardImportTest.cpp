#include "CardImportFixture.h"

#include "Pellmar/media/CardCopy.h"

#include <QSignalSpy>

#include <functional>

namespace {

using CardImportTest = CardImportFixture;

TEST_F(CardImportTest, ImportsUnderFreeNamesAndDeletesOnlyCheckedOriginals)
{
    QFile::copy(QFINDTESTDATA("CardImportTest.cpp"), QDir(destination).filePath(QStringLiteral("a.jpg")));
    QFile::copy(QFINDTESTDATA("CardImportTest.cpp"), QDir(destination).filePath(QStringLiteral("a 2.jpg")));
    const CardFile a = cardPhoto(QStringLiteral("a.jpg"));
    const CardFile b = cardPhoto(QStringLiteral("b.jpg"));
    const CardFile c = cardPhoto(QStringLiteral("c.jpg"), 0);
    const QByteArray aBytes = contents(a.url);
    const QByteArray bBytes = contents(b.url);
    QFile::copy(b.url, QDir(cardFolder).filePath(QStringLiteral("._b.jpg")));

    // The copy of b gets a byte changed past 64 KiB, as a failing disk would: its original stays.
    const CopyCorruptionInjection corruption([&](const QString& path) { return path == b.url ? 1 : 0; });
    QList<ImportJob> jobs;
    QObject::connect(library.get(), &Library::changed, [&](Library::Prop prop) {
        if (prop == Library::Prop::importJob && library->importJob())
            jobs.append(*library->importJob());
    });
    library->startImport({a, b, c}, device, destination, true);
    ASSERT_TRUE(library->importTask);
    waitForResult();

    EXPECT_EQ(destinationEntries(), (QStringList{"a 2.jpg", "a 3.jpg", "a.jpg", "b.jpg", "c.jpg"}));
    EXPECT_EQ(contents(QDir(destination).filePath(QStringLiteral("a 3.jpg"))), aBytes);
    EXPECT_NE(contents(QDir(destination).filePath(QStringLiteral("b.jpg"))), bBytes);
    EXPECT_EQ(QFileInfo(QDir(destination).filePath(QStringLiteral("a 3.jpg"))).lastModified().toSecsSinceEpoch(), 1'600'000'000);
    EXPECT_FALSE(QFileInfo::exists(a.url));
    EXPECT_TRUE(QFileInfo::exists(b.url));
    EXPECT_TRUE(QFileInfo::exists(QDir(cardFolder).filePath(QStringLiteral("._b.jpg"))));
    EXPECT_FALSE(QFileInfo::exists(c.url));

    const ImportResult expected{3, 2, destination, std::nullopt, device, false, 1};
    EXPECT_EQ(library->importResult(), expected);
    EXPECT_FALSE(library->importJob());
    EXPECT_FALSE(library->importTask);
    EXPECT_FALSE(library->lastError());
    // A destination in no source becomes one.
    const QList<Source> sources = waitFor(library->readIndex().run([](Index& index) { return index.sources(); }));
    ASSERT_EQ(sources.size(), 1);
    EXPECT_EQ(sources[0].rootPath, destination);
    ASSERT_FALSE(jobs.isEmpty());
    EXPECT_EQ(jobs.first().destination, QStringLiteral("Import"));
    EXPECT_EQ(jobs.last().done, 3);
    EXPECT_EQ(jobs.last().bytesDone, jobs.last().bytesTotal);
    EXPECT_EQ(QCoro::waitFor(library->recentImportTargets()), QList<ImportTarget>{ImportTarget::folder(destination)});
}

TEST_F(CardImportTest, WithoutDeleteNothingIsCheckedOrDeleted)
{
    const CardFile a = cardPhoto(QStringLiteral("a.jpg"));
    const CopyCorruptionInjection corruption([](const QString&) { return 1; });
    library->startImport({a}, device, destination, false);
    waitForResult();
    EXPECT_TRUE(QFileInfo::exists(a.url));
    EXPECT_EQ(library->importResult()->count, 1);
    EXPECT_EQ(library->importResult()->deleted, 0);
}

TEST_F(CardImportTest, FailedCopiesLeaveNoFileAndAreCountedInLastError)
{
    struct Case {
        int failing;
        int error;
        QString message;
    };
    const QString place = QDir::toNativeSeparators(destination);
    const Case cases[] = {{1, EIO, QStringLiteral("1 file could not be imported. Writing into %1 failed (Input/output "
                                                  "error); their originals are still on the card.").arg(place)},
                          {2, ENOSPC, QStringLiteral("2 files could not be imported. The disk of %1 is full: free some "
                                                     "space there, then import them again; their originals are still "
                                                     "on the card.").arg(place)}};
    for (const Case& c : cases) {
        library->setLastError(std::nullopt);
        QList<CardFile> files;
        for (int i = 0; i < 3; ++i)
            files.append(cardPhoto(QStringLiteral("f%1-%2.jpg").arg(c.failing).arg(i)));
        // The write past the first 64 KiB fails: the copy breaks off halfway.
        QHash<QString, int> writes;
        const CopyWriteFaultInjection fault([&](const QString& path) {
            const int index = files.indexOf(CardFile{path, 200 * 1024, 1'600'000'000.25, MediaKind::photo});
            return index < c.failing && ++writes[path] > 1 ? c.error : 0;
        });
        library->startImport(files, device, destination, true);
        waitForResult();
        EXPECT_EQ(library->lastError(), c.message);
        EXPECT_EQ(library->importResult()->count, 3 - c.failing);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(QFileInfo::exists(files[i].url), i < c.failing) << i;
            EXPECT_EQ(destinationEntries().contains(QFileInfo(files[i].url).fileName()), i >= c.failing) << i;
        }
        for (const QString& entry : destinationEntries())
            EXPECT_FALSE(entry.startsWith(u'.')) << entry.toStdString();
    }
}

TEST_F(CardImportTest, ADestinationThatGoesAwayStopsTheImportAndTheCardKeepsWhatWasNotChecked)
{
    const QString moved = dir.filePath(QStringLiteral("Pictures/Moved"));
    const struct {
        const char* change;
        std::function<void()> apply;
    } cases[] = {
        // An unplugged drive leaves an empty mount folder of the same name behind.
        {"replaced by an empty folder", [&] { QDir(destination).removeRecursively(); QDir().mkpath(destination); }},
        {"renamed", [&] { QDir().rename(destination, moved); }},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.change);
        QDir(moved).removeRecursively();
        QDir(destination).removeRecursively();
        QDir().mkpath(destination);
        library->setLastError(std::nullopt);
        library->setImportResult(std::nullopt);
        const QList<CardFile> files{cardPhoto(QStringLiteral("a.jpg")), cardPhoto(QStringLiteral("b.jpg")),
                                    cardPhoto(QStringLiteral("c.jpg"))};
        // The folder goes away while the second file is written.
        const CopyWriteFaultInjection change([&](const QString& path) {
            if (path == files[1].url && QFileInfo::exists(QDir(destination).filePath(QStringLiteral("a.jpg"))))
                entry.apply();
            return 0;
        });
        library->startImport(files, device, destination, true);
        waitForResult();

        EXPECT_FALSE(QFileInfo::exists(files[0].url));   // copied and checked before the change
        EXPECT_TRUE(QFileInfo::exists(files[1].url));
        EXPECT_TRUE(QFileInfo::exists(files[2].url));
        EXPECT_FALSE(QFileInfo::exists(QDir(destination).filePath(QStringLiteral("c.jpg"))));
        EXPECT_EQ(library->importResult()->deleted, 1);
        ASSERT_TRUE(library->lastError());
        EXPECT_TRUE(library->lastError()->startsWith(QStringLiteral("The folder “") + destination
                                                     + QStringLiteral("” was moved or removed")))
            << library->lastError()->toStdString();
    }
}

TEST_F(CardImportTest, AMissingDestinationIsNeverMade)
{
    const CardFile a = cardPhoto(QStringLiteral("a.jpg"));
    QDir(destination).removeRecursively();
    library->startImport({a}, device, destination, true);
    waitForResult();

    EXPECT_FALSE(QFileInfo::exists(destination));
    EXPECT_TRUE(QFileInfo::exists(a.url));
    EXPECT_EQ(library->importResult()->count, 0);
    ASSERT_TRUE(library->lastError());
    EXPECT_EQ(*library->lastError(), QStringLiteral("The folder “") + destination
                                         + QStringLiteral("” is not there, so nothing was copied into it. 1 file could not be imported."));
}

TEST_F(CardImportTest, CancellingFinishesTheFileInHandKeepsItsOriginalAndStartsNoOther)
{
    const QList<CardFile> files{cardPhoto(QStringLiteral("a.jpg")), cardPhoto(QStringLiteral("b.jpg"))};
    QObject::connect(library.get(), &Library::changed, [&](Library::Prop prop) {
        if (prop == Library::Prop::importJob && library->importJob() && library->importJob()->current == u"a.jpg")
            library->importTask->cancel();
    });
    library->startImport(files, device, destination, true);
    waitForResult();
    EXPECT_EQ(destinationEntries(), QStringList{"a.jpg"});
    EXPECT_TRUE(QFileInfo::exists(files[0].url));
    const ImportResult expected{1, 0, destination, std::nullopt, device, true};
    EXPECT_EQ(library->importResult(), expected);
}

TEST_F(CardImportTest, StoppedBeforeTheFirstFileEndsEmptyAndCancelled)
{
    const CardFile a = cardPhoto(QStringLiteral("a.jpg"));
    library->startImport({a}, device, destination, true);
    library->importTask->cancel();
    waitForResult();
    EXPECT_TRUE(destinationEntries().isEmpty());
    const ImportResult expected{0, 0, destination, std::nullopt, device, true};
    EXPECT_EQ(library->importResult(), expected);
}

TEST_F(CardImportTest, NoFilesOrARunningImportChangeNothing)
{
    const ImportResult earlier{7, 0, destination, std::nullopt, device, false};
    library->setImportResult(earlier);
    library->startImport({}, device, destination, false);
    EXPECT_FALSE(library->importTask);
    EXPECT_EQ(library->importResult(), earlier);

    const CardFile a = cardPhoto(QStringLiteral("a.jpg"));
    library->startImport({a}, device, destination, false);
    const std::optional<TaskHandle> running = library->importTask;
    library->startImport({a}, device, dir.filePath(QStringLiteral("Other")), false);
    library->startPhotosImport({a}, device, PhotosAlbum{"A1", "Album"}, std::nullopt, false);
    EXPECT_EQ(library->importTask, running);
    EXPECT_EQ(library->importJob()->total, 1);
    waitForResult();
    EXPECT_EQ(destinationEntries(), QStringList{"a.jpg"});
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("Other"))));
}

TEST_F(CardImportTest, AnImportIntoAnIndexedFolderRescansTheSourceThatCoversIt)
{
    QCoro::waitFor(library->indexFolder(dir.filePath(QStringLiteral("Pictures")), std::nullopt));
    ASSERT_EQ(library->sources().size(), 1);
    const QString sourceID = library->sources().first().id;

    library->startImport({cardPhoto(QStringLiteral("a.jpg"))}, device, destination, false);
    waitForResult();
    EXPECT_EQ(library->sources().size(), 1);
    EXPECT_EQ(waitFor(library->readIndex().run([sourceID](Index& index) { return index.filePaths(sourceID, QString()); })),
              QStringList{"Import/a.jpg"});
}

} // namespace
