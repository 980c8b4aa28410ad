#include "FolderSourceFixture.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/platform/MemoryPhotoLibrary.h"
#include "tests/support/LogCapture.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QPromise>

#include <algorithm>

namespace {

// A quick-index worker whose first run, once armed, waits in the middle of a batch and, when
// released, ends it by writing the preview file of the item "ONLY_S". Other runs do nothing.
struct LateBatchWorker {
    struct State {
        bool armed = false;
        int runs = 0;
        QPromise<void> release;
        bool running = false;
        CancelToken token;
    };

    static QCoro::Task<> run(std::shared_ptr<State> state, WorkerInputs inputs, CancelToken token)
    {
        if (!state->armed || state->runs++ > 0)
            co_return;
        state->token = token;
        state->running = true;
        co_await state->release.future();
        QFile preview(inputs.proxyDirectory + QStringLiteral("/ONLY_S.preview.jpg"));
        preview.open(QIODevice::WriteOnly);
    }

    std::shared_ptr<State> worker = std::make_shared<State>();
    WorkerControl::Bodies bodies()
    {
        return {.quickIndex = [state = worker](WorkerInputs inputs, CancelToken token) {
                    return run(state, std::move(inputs), std::move(token));
                },
                .fullPreviews = {}};
    }
};

// The folder source "S" of the fixture, a second folder source "B" on another temporary folder,
// an offline source "C" and a photo library source "P".
class SourcePassesTest : protected LateBatchWorker, public FolderSourceFixture {
protected:
    SourcePassesTest() : FolderSourceFixture(bodies())
    {
        QDir().mkpath(otherRoot);
        for (const Source& added : {other, offlineSource, photosSource})
            index.saveSource(added);
        library.setSources({source, other, offlineSource, photosSource});
        library.setOnline({source.id, other.id, photosSource.id});
        setSharedPhotoLibrary(photos);
    }
    ~SourcePassesTest() override
    {
        waitForTasks();
        setSharedPhotoLibrary(nullptr);
    }

    QStringList column(const QString& sql, const SqlValues& values = {})
    {
        QStringList values_;
        Statement rows(db.db(), sql);
        rows.bind(values);
        while (rows.step())
            values_.append(rows.text(0));
        values_.sort();
        return values_;
    }

    static QStringList ids(const QList<Source>& sources)
    {
        QStringList list;
        for (const Source& listed : sources)
            list.append(listed.id);
        list.sort();
        return list;
    }

    QStringList proxyFiles() const
    {
        return QDir(library.proxyDirectory()).entryList(QDir::Files, QDir::Name);
    }

    void writeProxy(const QString& name)
    {
        QFile file(library.proxyDirectory() + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QString otherRoot = dir.filePath(QStringLiteral("Other"));
    Source other{QStringLiteral("B"), QStringLiteral("Other"), otherRoot, QString(), QString(), 2, SourceKind::folder};
    Source offlineSource{QStringLiteral("C"), QStringLiteral("Away"), dir.filePath(QStringLiteral("gone")), QString(),
                         QString(), 3, SourceKind::folder};
    Source photosSource{QStringLiteral("P"), QStringLiteral("Photo Library"), QString(), QString(),
                        QStringLiteral("Photos"), 4, SourceKind::photos};
    std::shared_ptr<MemoryPhotoLibrary> photos = std::make_shared<MemoryPhotoLibrary>();
};

TEST_F(SourcePassesTest, FirstWalksFillTheFolderRowsOfOnlineFolderSourcesWithoutAny)
{
    write(QStringLiteral("trip/day 1/a.jpg"));
    QDir().mkpath(otherRoot + QStringLiteral("/new"));
    QDir().mkpath(dir.filePath(QStringLiteral("gone/x")));   // there, but not online
    // B was walked before: its rows stay as they are, also the one of a folder that is gone.
    db.run(QStringLiteral("INSERT INTO folders (source_id, rel_path, parent_path, mtime) VALUES ('B', 'old', '', 0)"));

    LogCapture log(logWatch());
    QCoro::waitFor(library.walkNewSources());

    EXPECT_EQ(column(QStringLiteral("SELECT source_id || ':' || rel_path FROM folders")),
              QStringList({"B:old", "S:trip", "S:trip/day 1"}));
    EXPECT_EQ(log.take(), QStringList{"folder walk of Pictures: 2 folders in 0 ms"});
    // The sidebar shows the walked folders.
    const auto tree = std::find_if(library.trees().cbegin(), library.trees().cend(),
                                   [](const FolderNode& node) { return node.sourceID == QLatin1String("S"); });
    ASSERT_NE(tree, library.trees().cend());
    EXPECT_EQ(tree->children.size(), 1);
}

TEST_F(SourcePassesTest, AllFilesRescansScanEachOnlineFolderSourceNotListedOnce)
{
    write(QStringLiteral("a.jpg"));
    QFile(otherRoot + QStringLiteral("/b.jpg")).open(QIODevice::WriteOnly);
    offline.defaults.set(QStringLiteral("allFilesSources"), QStringList{QStringLiteral("S")});

    {
        // While a user's scan runs, the pass steps aside; while a pass runs, another returns at once.
        library.setScanning(QStringLiteral("Elsewhere"));
        QCoro::waitFor(library.rescanAllFiles());
        library.setScanning(std::nullopt);
        library.rescanningAll = true;
        QCoro::waitFor(library.rescanAllFiles());
        library.rescanningAll = false;
        EXPECT_EQ(integer(QStringLiteral("SELECT COUNT(*) FROM files")), 0);
    }

    LogCapture log(logWatch());
    QCoro::waitFor(library.rescanAllFiles());
    EXPECT_FALSE(library.rescanningAll);
    // S is listed, C is offline and P is no folder source: only B is scanned, and now listed.
    EXPECT_EQ(column(QStringLiteral("SELECT source_id || ':' || rel_path FROM files")), QStringList{"B:b.jpg"});
    EXPECT_EQ(log.take(), QStringList{"all-files rescan of Other in 0 ms"});
    EXPECT_EQ(offline.defaults.stringList(QStringLiteral("allFilesSources")), QStringList({"S", "B"}));

    QCoro::waitFor(library.rescanAllFiles());
    EXPECT_TRUE(log.take().isEmpty());
}

TEST_F(SourcePassesTest, ThePhotoLibraryBecomesASourceOnceAndIsScannedEachTime)
{
    index.removeSource(photosSource.id);
    library.setSources({source});
    photos->addAsset(PhotoAsset{.localIdentifier = QStringLiteral("A/1")},
                     {{.originalFilename = QStringLiteral("IMG_1.HEIC"), .data = "heic"}});

    QCoro::waitFor(library.addPhotosSource());
    const QList<Source> sources = index.sources();
    ASSERT_EQ(sources.size(), 4);
    const Source made = sources.last();
    EXPECT_EQ(made.kind, SourceKind::photos);
    EXPECT_EQ(made.name, QStringLiteral("Photo Library"));
    EXPECT_EQ(made.volumeName, QStringLiteral("Photos"));
    EXPECT_TRUE(made.rootPath.isEmpty());
    EXPECT_TRUE(made.volumeUUID.isEmpty());
    EXPECT_TRUE(library.sources().contains(made));   // reloaded
    EXPECT_EQ(column(QStringLiteral("SELECT asset_id FROM files WHERE source_id = ?"), {made.id}), QStringList{"A/1"});

    photos->addAsset(PhotoAsset{.localIdentifier = QStringLiteral("A/2")},
                     {{.originalFilename = QStringLiteral("IMG_2.HEIC"), .data = "heic"}});
    QCoro::waitFor(library.addPhotosSource());
    EXPECT_EQ(index.sources().size(), 4);
    EXPECT_EQ(column(QStringLiteral("SELECT asset_id FROM files WHERE source_id = ?"), {made.id}),
              QStringList({"A/1", "A/2"}));
    EXPECT_EQ(library.lastError(), std::nullopt);
}

TEST_F(SourcePassesTest, APhotoLibraryNotMadeYetScansAsEmptyWithoutAnError)
{
    setSharedPhotoLibrary(std::make_shared<PhotosFolderLibrary>(dir.filePath(QStringLiteral("Photos.library"))));
    QCoro::waitFor(library.scan(photosSource));
    EXPECT_EQ(library.lastError(), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("Photos.library"))));

    // One that was read before and is gone now is named, and its rows stay.
    addFile({.sourceID = QStringLiteral("P"), .relPath = QStringLiteral("IMG_1.HEIC"), .assetID = QStringLiteral("A/1")});
    library.setSourceProgress({{QStringLiteral("P"), {.done = 1, .total = 1}}});
    QCoro::waitFor(library.scan(photosSource));
    EXPECT_EQ(library.lastError(), QStringLiteral("Photo Library is not connected"));
    EXPECT_EQ(integer(QStringLiteral("SELECT COUNT(*) FROM files WHERE source_id = 'P'")), 1);
}

TEST_F(SourcePassesTest, RemovingASourceForgetsItsRowsAndThePreviewFilesOfItsOwnItems)
{
    addCopy(QStringLiteral("trip/only.jpg"), {.id = QStringLiteral("ONLY_S"), .previewExt = QStringLiteral("jpg")});
    addCopy(QStringLiteral("shared.jpg"), {.id = QStringLiteral("SHARED"), .previewExt = QStringLiteral("jpg")});
    addFile({.sourceID = QStringLiteral("B"), .relPath = QStringLiteral("shared.jpg"), .itemID = QStringLiteral("SHARED")});
    addItem({.id = QStringLiteral("ONLY_S2")});   // an id that begins like another one
    addFile({.sourceID = QStringLiteral("B"), .relPath = QStringLiteral("b.jpg"), .itemID = QStringLiteral("ONLY_S2")});
    db.run(QStringLiteral("INSERT INTO folders (source_id, rel_path, parent_path, mtime) VALUES ('S', 'trip', '', 0)"));
    db.run(QStringLiteral("INSERT INTO pins (workspace_id, source_id, path, position) VALUES ('everything', 'S', 'trip', 0)"));
    for (const char* name : {"ONLY_S.preview.jpg", "ONLY_S.poster.jpg", "ONLY_S.mp4", "ONLY_S.heic", "ONLY_S.tile.jpg",
                             "SHARED.preview.jpg", "ONLY_S2.preview.jpg"})
        writeProxy(QString::fromLatin1(name));

    // The quick-index worker is in the middle of a batch of S's files when the removal begins.
    worker->armed = true;
    worker->release.start();
    library.workers().startWorker();
    ASSERT_TRUE(QTest::qWaitFor([this] { return worker->running; }, 5000));
    Tasks::start(library.removeSource(QStringLiteral("S")));
    ASSERT_TRUE(QTest::qWaitFor([this] { return worker->token.isCancelled(); }, 5000));
    worker->release.finish();
    waitForTasks();

    for (const char* table : {"files", "folders", "pins", "workspace_sources"}) {
        SCOPED_TRACE(table);
        EXPECT_EQ(integer(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE source_id = 'S'").arg(QLatin1String(table))), 0);
    }
    EXPECT_EQ(column(QStringLiteral("SELECT id FROM items")), QStringList({"ONLY_S2", "SHARED"}));
    EXPECT_EQ(column(QStringLiteral("SELECT item_id FROM search")), QStringList{"SHARED"});
    EXPECT_EQ(proxyFiles(), QStringList({"ONLY_S2.preview.jpg", "SHARED.preview.jpg"}));
    EXPECT_EQ(ids(library.sources()), QStringList({"B", "C", "P"}));
    EXPECT_TRUE(onDisk(QStringLiteral("trip/only.jpg")));   // the files themselves stay
}

TEST_F(SourcePassesTest, RemovingAnUnknownSourceStillReloads)
{
    library.setSources({});
    QCoro::waitFor(library.removeSource(QStringLiteral("NOPE")));
    EXPECT_EQ(ids(library.sources()), QStringList({"B", "C", "P", "S"}));
    EXPECT_EQ(library.lastError(), std::nullopt);
}

} // namespace
