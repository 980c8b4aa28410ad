#include "FakeReadings.h"
#include "tests/media/MediaFixtures.h"

#include "Pellmar/index/Hashing.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/QuickIndexFile.h"
#include "Pellmar/library/engine/QuickIndexWorker.h"
#include "Pellmar/library/engine/ReadGate.h"
#include "Pellmar/library/engine/ReadingMarks.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>

#include <sqlite3.h>

#include <sys/stat.h>

namespace {

struct FileRow {
    FileState state;
    QString error;
    QString itemID;

    bool operator==(const FileRow&) const = default;
    friend void PrintTo(const FileRow& row, std::ostream* out)
    {
        *out << "state " << rawValue(row.state) << ", error \"" << row.error.toStdString() << "\", item \""
             << row.itemID.toStdString() << '"';
    }
};

// A Library with the real quick-index worker and a folder source on a temporary folder.
class QuickIndexTest : public ::testing::Test {
protected:
    QuickIndexTest()
    {
        start();
        addSource(source);
    }

    // Starts the program on its support folder (again, once the Library before has gone).
    void start()
    {
        Library::Services services;
        services.supportDirectory = supportFolder();
        services.defaults = &defaults;
        services.clock = std::make_shared<ManualClock>();
        services.idleReadings = fakes.readings();
        services.volumes = std::make_shared<VolumeService>();
        services.workerBodies.quickIndex = quickIndexWorker;
        library = std::make_unique<Library>(std::move(services));
        QSignalSpy started(library.get(), &Library::startupFinished);
        EXPECT_TRUE(started.wait(10000));
    }

    // Ends the Library as the program ends.
    void stopLibrary()
    {
        library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 10000));
    }

    QString supportFolder() const { return dir.filePath(QStringLiteral("Quorvin")); }

    ~QuickIndexTest() override
    {
        library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 10000));
    }

    void addSource(const Source& added)
    {
        QDir().mkpath(added.rootPath);
        waitFor(library->index().run([added](Index& index) { index.saveSource(added); }));
        QList<Source> sources = library->sources();
        sources.append(added);
        library->setSources(sources);
    }

    QString proxies() const { return library->proxyDirectory(); }

    // Scans the source and waits until the worker has indexed what the scan found.
    void scanAndIndex(const Source& scanned)
    {
        QCoro::waitFor(library->scan(scanned));
        ASSERT_EQ(library->lastError(), std::nullopt);
        waitForWorker();
    }

    void waitForWorker()
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !library->processing(); }, 30000));
    }

    std::optional<FileRow> row(const QString& relativePath, const QString& sourceID = QStringLiteral("S1"))
    {
        return waitFor(library->readIndex().run([=](Index& index) -> std::optional<FileRow> {
            Statement rows(index.database().db(), QStringLiteral("SELECT state, COALESCE(error, ''), COALESCE(item_id, "
                                                                 "'') FROM files WHERE source_id = ? AND rel_path = ?"));
            rows.bind({sourceID, relativePath});
            if (!rows.step())
                return std::nullopt;
            return FileRow{fileStateFromRawValue(rows.int64(0)).value(), rows.text(1), rows.text(2)};
        }));
    }

    QString value(const QString& sql, const QString& itemID)
    {
        return waitFor(library->readIndex().run([=](Index& index) {
            Statement rows(index.database().db(), sql);
            rows.bind({itemID});
            return rows.step() ? rows.text(0) : QStringLiteral("(none)");
        }));
    }
    QString itemColumn(const QString& column, const QString& itemID)
    {
        return value(QStringLiteral("SELECT %1 FROM items WHERE id = ?").arg(column), itemID);
    }
    QString searchText(const QString& itemID)
    {
        return value(QStringLiteral("SELECT text FROM search WHERE item_id = ?"), itemID);
    }

    void write(const QString& relativePath, const QByteArray& bytes, const QString& root = {})
    {
        writeBytes((root.isEmpty() ? source.rootPath : root) + QLatin1Char('/') + relativePath, bytes);
    }

    QTemporaryDir dir;
    Source source{QStringLiteral("S1"), QStringLiteral("Pictures"), dir.filePath(QStringLiteral("Pictures")), QString(),
                  QString(), 1, SourceKind::folder};
    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    FakeReadings fakes;
    std::unique_ptr<Library> library;
};

// A write of the writer held from its second file made ready until the Library's end interrupts
// the writer, which then fails the held statement as a statement cut short by the interrupt does.
struct HeldWrite {
    std::atomic<int> calls = 0;
    std::promise<void> holding;

    static void hold(sqlite3_context* context, int, sqlite3_value**)
    {
        auto* held = static_cast<HeldWrite*>(sqlite3_user_data(context));
        if (++held->calls != 2)
            return;
        held->holding.set_value();
        // Once interrupted, the writer fails each statement it starts, the ones this one starts too.
        sqlite3* db = sqlite3_context_db_handle(context);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            if (sqlite3_exec(db, "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 10000) "
                                 "SELECT COUNT(*) FROM n",
                             nullptr, nullptr, nullptr)
                == SQLITE_INTERRUPT) {
                sqlite3_result_error_code(context, SQLITE_INTERRUPT);
                return;
            }
        }
    }
};

QByteArray cameraJpeg(const QImage& image, bool withThumbnail)
{
    ExifFields fields;
    fields.texts = {{"Exif.Image.Make", "Canon"},
                    {"Exif.Image.Model", "EOS R5"},
                    {"Exif.Photo.DateTimeOriginal", "2021:03:14 12:00:00"}};
    if (withThumbnail)
        fields.thumbnailJpeg = encodedJpeg(image.scaled(160, 120));
    return jpegWithExif(image, fields);
}

TEST_F(QuickIndexTest, EveryFileEndsReadyEmptyOrFailedWithItsPreviewAndSearchText)
{
    const QByteArray photo = cameraJpeg(quarteredImage(640, 480), true);
    write(QStringLiteral("trip/day 1/a.jpg"), photo);
    write(QStringLiteral("copy of a.jpg"), photo);
    write(QStringLiteral("plain.jpg"), cameraJpeg(quarteredImage(320, 240), false));
    write(QStringLiteral("broken.jpg"), QByteArray("\xff\xd8\xff not really a photo", 24));
    write(QStringLiteral("clip.mp4"), readBytes(mediaFixture(QStringLiteral("counter.mp4"))));
    write(QStringLiteral("broken.mov"), QByteArray("not a movie at all"));
    write(QStringLiteral("notes.pdf"), QByteArray("%PDF-1.4 hardly a document"));
    write(QStringLiteral("empty.jpg"), QByteArray());
    scanAndIndex(source);

    const std::optional<FileRow> a = row(QStringLiteral("trip/day 1/a.jpg"));
    ASSERT_TRUE(a);
    EXPECT_EQ(*a, (FileRow{FileState::ready, {}, a->itemID}));
    // Both copies of the new content, indexed side by side, stand for one item with one preview.
    EXPECT_EQ(row(QStringLiteral("copy of a.jpg"))->itemID, a->itemID);
    EXPECT_EQ(itemColumn(QStringLiteral("preview_ext"), a->itemID), QStringLiteral("jpg"));
    EXPECT_EQ(QImage(proxies() + QLatin1Char('/') + a->itemID + QStringLiteral(".preview.jpg")).size(), QSize(160, 120));
    // The last copy written names the item: the file name stored with the item, this copy's folder.
    const QString described = QStringLiteral("Pictures Canon EOS R5 Photo 2021 March 14 Sunday");
    EXPECT_TRUE(QStringList({QStringLiteral("a.jpg trip day 1 ") + described, QStringLiteral("copy of a.jpg ") + described,
                             QStringLiteral("a.jpg ") + described, QStringLiteral("copy of a.jpg trip day 1 ") + described})
                    .contains(searchText(a->itemID)))
        << searchText(a->itemID).toStdString();
    EXPECT_EQ(itemColumn(QStringLiteral("uti"), a->itemID), QStringLiteral("image/jpeg"));

    // Photos whose pictures cannot be had leave their items without one, and their files ready.
    for (const char* path : {"plain.jpg", "broken.jpg"}) {
        SCOPED_TRACE(path);
        const std::optional<FileRow> file = row(QString::fromLatin1(path));
        ASSERT_TRUE(file);
        EXPECT_EQ(file->state, FileState::ready);
        EXPECT_EQ(itemColumn(QStringLiteral("preview_ext") + QStringLiteral(" || poster_ext"), file->itemID), QString());
    }
    const std::optional<FileRow> clip = row(QStringLiteral("clip.mp4"));
    EXPECT_EQ(clip->state, FileState::ready);
    EXPECT_EQ(itemColumn(QStringLiteral("poster_ext"), clip->itemID), QStringLiteral("jpg"));
    EXPECT_TRUE(QFile::exists(proxies() + QLatin1Char('/') + clip->itemID + QStringLiteral(".poster.jpg")));
    EXPECT_EQ(itemColumn(QStringLiteral("duration"), clip->itemID), QStringLiteral("3.0"));
    // A video without a frame for its poster fails with the reason the poster could not be made.
    const std::optional<FileRow> brokenClip = row(QStringLiteral("broken.mov"));
    ASSERT_TRUE(brokenClip);
    EXPECT_EQ(brokenClip->state, FileState::failed);
    EXPECT_FALSE(brokenClip->error.isEmpty());

    const std::optional<FileRow> notes = row(QStringLiteral("notes.pdf"));
    EXPECT_EQ(notes->state, FileState::ready);
    EXPECT_EQ(searchText(notes->itemID), QStringLiteral("notes.pdf Pictures PDF document Document"));
    EXPECT_EQ(row(QStringLiteral("empty.jpg")), (FileRow{FileState::empty, QStringLiteral("empty file"), {}}));

    // Previews are written under a temporary name and renamed: none is left behind.
    QStringList names = QDir(proxies()).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    QStringList expected{a->itemID + QStringLiteral(".preview.jpg"), clip->itemID + QStringLiteral(".poster.jpg")};
    expected.sort();
    EXPECT_EQ(names, expected);
}

TEST_F(QuickIndexTest, ASecondCopyOfKnownContentGetsNoNewPreviewButItsOwnPlaceInTheSearchText)
{
    const QByteArray photo = cameraJpeg(quarteredImage(640, 480), true);
    write(QStringLiteral("a.jpg"), photo);
    scanAndIndex(source);
    const QString item = row(QStringLiteral("a.jpg"))->itemID;
    const QString preview = proxies() + QLatin1Char('/') + item + QStringLiteral(".preview.jpg");
    ASSERT_TRUE(QFile::remove(preview));

    write(QStringLiteral("Rome/renamed.jpg"), photo);
    scanAndIndex(source);
    EXPECT_EQ(*row(QStringLiteral("Rome/renamed.jpg")), (FileRow{FileState::ready, {}, item}));
    EXPECT_FALSE(QFile::exists(preview));
    EXPECT_TRUE(searchText(item).startsWith(QStringLiteral("a.jpg Rome Pictures Canon EOS R5 Photo")));
}

// A batch is read while the one before it is still being written: copies of one content spread
// over several batches still make one item with one preview, and no picture is left behind.
TEST_F(QuickIndexTest, CopiesOfOneContentAcrossBatchesMakeOneItemWithOnePreview)
{
    const QByteArray photo = cameraJpeg(quarteredImage(640, 480), true);
    const QByteArray other = cameraJpeg(quarteredImage(480, 640), true);
    for (int i = 0; i < 60; ++i)
        write(QStringLiteral("copy%1.jpg").arg(i, 2, 10, QLatin1Char('0')), photo);
    write(QStringLiteral("other.jpg"), other);
    scanAndIndex(source);

    const QString item = row(QStringLiteral("copy00.jpg"))->itemID;
    for (int i = 0; i < 60; ++i) {
        const QString name = QStringLiteral("copy%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
        EXPECT_EQ(*row(name), (FileRow{FileState::ready, {}, item})) << name.toStdString();
    }
    const QString otherItem = row(QStringLiteral("other.jpg"))->itemID;
    EXPECT_NE(otherItem, item);
    QStringList pictures = QDir(proxies()).entryList(QDir::Files);
    pictures.sort();
    QStringList expected{item + QStringLiteral(".preview.jpg"), otherItem + QStringLiteral(".preview.jpg")};
    expected.sort();
    EXPECT_EQ(pictures, expected);
    EXPECT_EQ(itemColumn(QStringLiteral("preview_ext"), item), QStringLiteral("jpg"));
}

// Files whose size and first 64 KiB agree share a quick hash, but are copies only when their last
// 64 KiB agree too. Every file here shares one quick hash: versions with another tail get items of
// their own, also when many are read side by side in one batch, while files that differ only in
// the middle stay one item and real copies on two sources make one item, each with one preview.
TEST_F(QuickIndexTest, FilesSharingTheirHeadAreOneItemOnlyWhenTheirTailsAgreeToo)
{
    const Source drive{QStringLiteral("S2"), QStringLiteral("Drive"), dir.filePath(QStringLiteral("Drive")), QString(),
                       QString(), 2, SourceKind::folder};
    addSource(drive);
    const QByteArray photo = cameraJpeg(quarteredImage(640, 480), true);
    constexpr qsizetype size = 200000;
    const auto version = [&](char mark) { return photo + QByteArray(150000 - photo.size(), '.') + QByteArray(50000, mark); };
    QByteArray middle = photo + QByteArray(size - photo.size(), '.');
    QList<QStringList> sameItem{{QStringLiteral("a1.jpg"), QStringLiteral("S2:a2.jpg")},
                                {QStringLiteral("b.jpg")},
                                {QStringLiteral("m1.jpg"), QStringLiteral("m2.jpg")}};
    write(QStringLiteral("a1.jpg"), version('a'));
    write(QStringLiteral("a2.jpg"), version('a'), drive.rootPath);
    write(QStringLiteral("b.jpg"), version('b'));
    write(QStringLiteral("m1.jpg"), middle);
    middle[100000] = 'x';
    write(QStringLiteral("m2.jpg"), middle);
    for (char mark = 'A'; mark < 'M'; ++mark) {
        const QString name = QStringLiteral("n/") + QLatin1Char(mark);
        write(name + QStringLiteral("1.jpg"), version(mark));
        write(name + QStringLiteral("2.jpg"), version(mark));
        sameItem.append({name + QStringLiteral("1.jpg"), name + QStringLiteral("2.jpg")});
    }
    scanAndIndex(source);
    scanAndIndex(drive);

    QSet<QString> items;
    for (const QStringList& files : sameItem) {
        QSet<QString> ofGroup;
        for (const QString& file : files) {
            const QStringList parts = file.split(QLatin1Char(':'));
            const std::optional<FileRow> read = parts.size() == 2 ? row(parts[1], parts[0]) : row(file);
            ASSERT_TRUE(read) << file.toStdString();
            EXPECT_EQ(read->state, FileState::ready) << file.toStdString();
            ofGroup.insert(read->itemID);
        }
        EXPECT_EQ(ofGroup.size(), 1) << files.join(u',').toStdString();
        items.unite(ofGroup);
    }
    EXPECT_EQ(items.size(), sameItem.size());
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM items WHERE id != ?"), QString()), QString::number(items.size()));
    // Every key begins with the one quick hash; all but one extend it by a tail digest.
    const QString quick = quickHash({}, size, version('a'));
    for (const QString& item : items) {
        const QString key = itemColumn(QStringLiteral("quick_hash"), item);
        EXPECT_TRUE(key == quick || (key.size() == 128 && key.startsWith(quick))) << key.toStdString();
    }
    QStringList pictures = QDir(proxies()).entryList(QDir::Files);
    QStringList expected;
    for (const QString& item : items)
        expected.append(item + QStringLiteral(".preview.jpg"));
    pictures.sort();
    expected.sort();
    EXPECT_EQ(pictures, expected);
}

// New items get ids that grow with time, so that the tables keyed by item id take a run's items
// side by side; they stay uppercase UUIDs like every other id.
TEST_F(QuickIndexTest, NewItemIdsAreUuidsThatGrowWithTime)
{
    write(QStringLiteral("first.mp3"), QByteArray("first song"));
    scanAndIndex(source);
    write(QStringLiteral("second.mp3"), QByteArray("second song"));
    scanAndIndex(source);
    const QString first = row(QStringLiteral("first.mp3"))->itemID;
    const QString second = row(QStringLiteral("second.mp3"))->itemID;
    for (const QString& id : {first, second}) {
        EXPECT_FALSE(QUuid::fromString(id).isNull()) << id.toStdString();
        EXPECT_EQ(id, id.toUpper());
    }
    EXPECT_LT(first, second);
}

TEST_F(QuickIndexTest, FilesThatAreNotRegularAreFailedWithoutBeingOpened)
{
    write(QStringLiteral("a.jpg"), QByteArray("x"));
    QCoro::waitFor(library->scan(source));
    waitForWorker();
    // Replaced by a FIFO after the scan: opening it for reading would wait for a writer for good.
    const QString pipe = source.rootPath + QStringLiteral("/a.jpg");
    ASSERT_TRUE(QFile::remove(pipe));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    waitFor(library->index().run([id = source.id](Index& index) {
        index.syncFiles({FileRecord{.relativePath = QStringLiteral("a.jpg"), .size = 7, .modified = 5, .local = true}},
                        id, {});
    }));
    library->workers().startWorker();
    waitForWorker();
    EXPECT_EQ(*row(QStringLiteral("a.jpg")), (FileRow{FileState::failed, pipe + QStringLiteral(": not a regular file"), {}}));
}

// Rows of an unplugged drive neither hold up other sources nor end up failed or empty.
TEST_F(QuickIndexTest, AnUnavailableSourceWaitsWhileOthersAreIndexed)
{
    const Source drive{QStringLiteral("S2"), QStringLiteral("Drive"), dir.filePath(QStringLiteral("Drive")), QString(),
                       QString(), 2, SourceKind::folder};
    addSource(drive);
    for (int i = 0; i < 30; ++i)
        write(QStringLiteral("d%1.jpg").arg(i), QByteArray("drive file ") + QByteArray::number(i), drive.rootPath);
    QCoro::waitFor(library->scan(drive));
    waitForWorker();
    // Files of the drive, found again since the drive was last seen, and then it goes.
    waitFor(library->index().run([id = drive.id](Index& index) {
        QList<FileRecord> files;
        for (int i = 0; i < 30; ++i)
            files.append(FileRecord{.relativePath = QStringLiteral("d%1.jpg").arg(i), .size = 99, .modified = 1, .local = true});
        index.syncFiles(files, id, {});
    }));
    ASSERT_TRUE(QDir(drive.rootPath).removeRecursively());

    write(QStringLiteral("a.jpg"), QByteArray("a photo"));
    scanAndIndex(source);
    EXPECT_EQ(row(QStringLiteral("a.jpg"))->state, FileState::ready);
    EXPECT_EQ(row(QStringLiteral("d0.jpg"), drive.id)->state, FileState::found);

    // A file whose work meets a source that went away is left waiting rather than failed.
    const Job job = waitFor(library->index().run([id = drive.id](Index& index) { return index.pendingFiles(1, {id}); })).value(0);
    indexFolderFile(job, drive, library->index(), proxies());
    EXPECT_EQ(row(job.relativePath, drive.id)->state, FileState::found);
    // With the source there, a file that vanished counts as empty.
    QDir().mkpath(drive.rootPath);
    indexFolderFile(job, drive, library->index(), proxies());
    EXPECT_EQ(row(job.relativePath, drive.id), (FileRow{FileState::empty, QStringLiteral("empty file"), {}}));
}

// Only media files over 32 MiB wait for the read gate that the larger previews share.
TEST_F(QuickIndexTest, MediaFilesOver32MiBWaitForTheReadGate)
{
    QList<FileRecord> files;
    for (const qint64 size : {ReadGate::ungatedMaximum, ReadGate::ungatedMaximum + 1}) {
        const QString name = QStringLiteral("%1.mp3").arg(size);
        write(name, QByteArray("ID3 tag"));
        ASSERT_TRUE(QFile::resize(source.rootPath + QLatin1Char('/') + name, size));   // sparse
        files.append(FileRecord{.relativePath = name, .size = size, .modified = 1, .local = true});
    }
    // Rows as a scan leaves them, without starting the worker.
    const QList<Job> jobs = waitFor(library->index().run([id = source.id, files](Index& index) {
        index.syncFiles(files, id, {});
        return index.pendingFiles(2, {id});
    }));
    ASSERT_EQ(jobs.size(), 2);

    std::optional<Gate::Pass> held = ReadGate::shared().acquire();
    for (const Job& job : jobs) {
        SCOPED_TRACE(job.relativePath.toStdString());
        const bool gated = job.size > ReadGate::ungatedMaximum;
        auto indexed = std::async(std::launch::async, [&] { indexFolderFile(job, source, library->index(), proxies()); });
        if (gated) {
            EXPECT_TRUE(QTest::qWaitFor([] { return ReadGate::shared().waiting() == 1; }, 10000));
            EXPECT_EQ(row(job.relativePath)->state, FileState::found);
            held.reset();
        }
        if (indexed.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the file waited for the gate";
            held.reset();
            indexed.wait();
        }
        EXPECT_EQ(row(job.relativePath)->state, FileState::ready);
    }
}

// A quit while a batch is written (the Library goes, interrupting the writer in the middle of the
// batch's transaction) fails no file: the batch's files wait, and the next start makes each ready.
TEST_F(QuickIndexTest, AQuitDuringABatchLeavesItsFilesWaitingForTheNextStart)
{
    QStringList names;
    for (int i = 1; i <= 6; ++i) {
        names.append(QStringLiteral("song %1.mp3").arg(i));
        write(names.last(), names.last().toUtf8());
    }
    HeldWrite held;
    std::future<void> holding = held.holding.get_future();
    waitFor(library->index().run([&held](Index& index) {
        sqlite3_create_function(index.database().db(), "hold_write", 0, SQLITE_UTF8, &held, HeldWrite::hold, nullptr, nullptr);
        index.database().exec(QStringLiteral("CREATE TEMP TRIGGER hold_ready AFTER UPDATE OF state ON main.files WHEN "
                                             "new.state = 2 BEGIN SELECT hold_write(); END"));
    }));
    Tasks::start(library->scan(source));
    ASSERT_TRUE(QTest::qWaitFor([&] { return holding.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 30000));
    library.reset();

    {
        Database db(dir.filePath(QStringLiteral("Quorvin/index.sqlite")));
        Statement failed(db.db(), QStringLiteral("SELECT COUNT(*) FROM files WHERE state = ?"));
        EXPECT_TRUE(failed.bind({rawValue(FileState::failed)}).step());
        EXPECT_EQ(failed.int64(0), 0);
    }
    start();
    const auto allReady = [&] {
        return std::all_of(names.begin(), names.end(), [&](const QString& name) {
            const std::optional<FileRow> file = row(name);
            return file && file->state == FileState::ready;
        });
    };
    EXPECT_TRUE(QTest::qWaitFor(allReady, 30000));
}

// Rebuilding the index gives every file a new item; each favorite goes to the new item of its
// content, in its workspace.
TEST_F(QuickIndexTest, RebuildingTheIndexKeepsFavoritesOnTheirContent)
{
    write(QStringLiteral("a.mp3"), QByteArray("song a"));
    write(QStringLiteral("b.mp3"), QByteArray("song b"));
    scanAndIndex(source);
    const QString before = row(QStringLiteral("a.mp3"))->itemID;
    waitFor(library->index().run([before](Index& index) { index.setFavorite(before, true, QStringLiteral("W")); }));

    QCoro::waitFor(library->clearIndex());
    const auto ready = [&](const QString& name) {
        const std::optional<FileRow> file = row(name);
        return file && file->state == FileState::ready;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready(QStringLiteral("a.mp3")) && ready(QStringLiteral("b.mp3")); }, 30000));
    const QString after = row(QStringLiteral("a.mp3"))->itemID;
    EXPECT_NE(after, before);
    EXPECT_EQ(waitFor(library->readIndex().run([](Index& index) { return index.favoriteIDs(QStringLiteral("W")); })),
              QSet<QString>{after});
}

// "Proxies" keeps no file that no item names: files of ids the index does not know (left by a
// batch that a kill cut short) go after a run, and an edit that gives a file new content takes
// its former item's preview with the item.
TEST_F(QuickIndexTest, PreviewFilesThatNoItemNamesGo)
{
    const QString stray = proxies() + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()
                          + QStringLiteral(".preview.jpg");
    writeBytes(stray, QByteArray("left by a kill"));
    // The pass over the whole folder runs once per start, after a quick-index run.
    library.reset();
    start();
    write(QStringLiteral("a.jpg"), cameraJpeg(quarteredImage(640, 480), true));
    scanAndIndex(source);
    const QString former = row(QStringLiteral("a.jpg"))->itemID;
    const QString formerPreview = proxies() + QLatin1Char('/') + former + QStringLiteral(".preview.jpg");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(stray); }, 10000));
    EXPECT_TRUE(QFile::exists(formerPreview));

    write(QStringLiteral("a.jpg"), cameraJpeg(quarteredImage(480, 640), true));
    scanAndIndex(source);
    const QString edited = row(QStringLiteral("a.jpg"))->itemID;
    ASSERT_NE(edited, former);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(formerPreview); }, 10000));
    EXPECT_TRUE(QFile::exists(proxies() + QLatin1Char('/') + edited + QStringLiteral(".preview.jpg")));
}

// A file whose reading ended the program (a decoder that aborted, an out-of-memory kill) fails at
// the next start with its text, instead of being read again at every start.
TEST_F(QuickIndexTest, AFileThatEndedTheProgramWhileItWasReadFailsAtTheNextStart)
{
    write(QStringLiteral("fatal.jpg"), cameraJpeg(quarteredImage(320, 240), true));
    write(QStringLiteral("fine.jpg"), cameraJpeg(quarteredImage(640, 480), true));
    scanAndIndex(source);
    const qint64 fatalID = waitFor(library->index().run([](Index& index) {
        index.database().run(QStringLiteral("UPDATE files SET state = 0"));
        Statement rows(index.database().db(), QStringLiteral("SELECT id FROM files WHERE rel_path = 'fatal.jpg'"));
        EXPECT_TRUE(rows.step());
        return rows.int64(0);
    }));
    stopLibrary();

    // The program ends while it reads the file: its marks are never cleared, as after a kill.
    auto* killed = new ReadingMarks(supportFolder() + QStringLiteral("/reading.marks"));
    new ReadingMarks::Mark(killed->markFile(fatalID));

    start();
    waitForWorker();
    EXPECT_EQ(row(QStringLiteral("fatal.jpg"))->state, FileState::failed);
    EXPECT_EQ(row(QStringLiteral("fatal.jpg"))->error, ReadingMarks::endedWhileReadText);
    EXPECT_EQ(row(QStringLiteral("fine.jpg"))->state, FileState::ready);
    // Failed once: the start after that finds nothing left.
    stopLibrary();
    EXPECT_TRUE(ReadingMarks(supportFolder() + QStringLiteral("/reading.marks")).left().isEmpty());
    start();
}

// The index and the previews show every photo: the support folder is the user's alone, made so
// under any umask and tightened at start when an earlier run left it open.
TEST_F(QuickIndexTest, TheSupportFolderIsTheUsersAlone)
{
    const auto mode = [this] {
        struct stat status {};
        EXPECT_EQ(::stat(QFile::encodeName(supportFolder()).constData(), &status), 0);
        return status.st_mode & 07777;
    };
    EXPECT_EQ(mode(), 0700u);
    stopLibrary();
    ASSERT_EQ(::chmod(QFile::encodeName(supportFolder()).constData(), 0755), 0);
    start();
    EXPECT_EQ(mode(), 0700u);
}

} // namespace
