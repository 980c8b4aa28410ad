#include "FolderSourceFixture.h"

#include "Pellmar/library/frame/Cancellation.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QPromise>

namespace {

// A quick-index worker whose first run stops in the middle of a batch: its preview file is
// written, its rows not yet. The test lets it finish its batch.
struct MidBatchWorker {
    struct State {
        QPromise<void> release;
        bool waiting = false;
        CancelToken token;
        int runs = 0;
        std::function<void(Index&)> rows;   // what the batch records at its end
        std::function<void()> laterRun;     // called as each run after the first starts
    };

    static QCoro::Task<> run(std::shared_ptr<State> state, WorkerInputs inputs, CancelToken token)
    {
        if (state->runs++ > 0) {
            if (state->laterRun)
                state->laterRun();
            co_return;
        }
        QFile preview(inputs.proxyDirectory + QStringLiteral("/x.preview.jpg"));
        preview.open(QIODevice::WriteOnly);
        preview.close();
        state->token = token;
        state->waiting = true;
        co_await state->release.future();
        co_await inputs.index->run(state->rows);
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

class MaintenanceTest : protected MidBatchWorker, public FolderSourceFixture {
protected:
    MaintenanceTest() : FolderSourceFixture(bodies()) {}

    QStringList proxies() const
    {
        return QDir(library.proxyDirectory()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // Starts the worker, runs the repair while the worker is inside its batch, then lets it go on.
    // `whileStopping` runs once the repair has stopped the worker and waits for its end.
    void runDuringABatch(const std::function<QCoro::Task<>()>& repair, const std::function<void()>& whileStopping = {})
    {
        worker->release.start();
        library.workers().startWorker();
        ASSERT_TRUE(QTest::qWaitFor([this] { return worker->waiting; }, 5000));
        Tasks::start(repair());
        ASSERT_TRUE(QTest::qWaitFor([this] { return worker->token.isCancelled(); }, 5000));
        if (whileStopping)
            whileStopping();
        worker->release.finish();
        waitForTasks();
    }

    // Items that name a preview file that is not there.
    qint64 danglingPreviews()
    {
        qint64 count = 0;
        Statement rows(db.db(), QStringLiteral("SELECT id, preview_ext FROM items WHERE preview_ext != ''"));
        while (rows.step())
            count += QFileInfo::exists(library.proxyDirectory() + u'/' + rows.text(0) + QStringLiteral(".preview.") + rows.text(1)) ? 0 : 1;
        return count;
    }
};

TEST_F(MaintenanceTest, ClearingPreviewsEmptiesTheFolderAndSendsReadyAndFailedFilesBack)
{
    addItem({.id = QStringLiteral("x"), .previewExt = QStringLiteral("jpg"), .posterExt = QStringLiteral("jpg")});
    const struct {
        const char* path;
        FileState before;
        FileState after;
    } cases[] = {
        {"ready.jpg", FileState::ready, FileState::found},
        {"failed.jpg", FileState::failed, FileState::found},
        {"identified.jpg", FileState::identified, FileState::identified},
        {"empty.jpg", FileState::empty, FileState::empty},
    };
    for (const auto& entry : cases)
        addFile({.sourceID = source.id, .relPath = QString::fromLatin1(entry.path), .itemID = QStringLiteral("x"),
                 .state = entry.before, .error = QStringLiteral("bad")});
    worker->rows = [](Index& index) { index.setPreview(QStringLiteral("x"), QStringLiteral("jpg")); };

    runDuringABatch([this] { return library.resetPreviews(); });

    EXPECT_TRUE(QFileInfo(library.proxyDirectory()).isDir());
    EXPECT_EQ(proxies(), QStringList());
    EXPECT_EQ(danglingPreviews(), 0);
    EXPECT_EQ(text(QStringLiteral("SELECT preview_ext || poster_ext || proxy_ext FROM items")), "");
    for (const auto& entry : cases)
        EXPECT_EQ(integer(QStringLiteral("SELECT state FROM files WHERE rel_path = ?"), {QString::fromLatin1(entry.path)}),
                  qint64(entry.after))
            << entry.path;
    EXPECT_EQ(integer(QStringLiteral("SELECT count(*) FROM files WHERE error IS NULL")), 2);
    EXPECT_EQ(worker->runs, 2);   // started again afterwards
}

TEST_F(MaintenanceTest, RebuildingForgetsFilesAndItemsKeepsTheRestAndWalksTheSources)
{
    addCopy(QStringLiteral("a.jpg"), {.id = "a", .previewExt = "jpg"});
    index.saveWorkspace({QStringLiteral("w"), QStringLiteral("W"), QString(), QString(), 1, {QStringLiteral("S|")}});
    index.savePins({QStringLiteral("S|")}, QStringLiteral("w"));
    index.setFavorite(QStringLiteral("a"), true, QStringLiteral("w"));
    // The batch records an item after the rebuild began: it must not outlive the rebuild.
    worker->rows = [](Index& index) {
        index.database().run(QStringLiteral("INSERT INTO items (id, quick_hash, kind, filename) VALUES ('ghost', 'g', 0, 'g.jpg')"));
    };

    runDuringABatch([this] { return library.clearIndex(); });

    EXPECT_EQ(integer(QStringLiteral("SELECT count(*) FROM items WHERE id NOT IN "
                                     "(SELECT item_id FROM files WHERE item_id IS NOT NULL)")),
              0);
    EXPECT_EQ(danglingPreviews(), 0);
    EXPECT_EQ(text(QStringLiteral("SELECT group_concat(rel_path) FROM files")), "a.jpg");   // walked again
    EXPECT_EQ(index.sources(), QList<Source>{source});
    EXPECT_EQ(index.workspaces().value(1).members, QSet<QString>{QStringLiteral("S|")});
    EXPECT_EQ(index.pins(QStringLiteral("w")), QStringList{QStringLiteral("S|")});
    // The favorite waits for its content to be indexed again.
    EXPECT_EQ(text(QStringLiteral("SELECT group_concat(quick_hash || ':' || workspace_id) FROM kept_favorites")), "hash-a:w");
    EXPECT_EQ(library.selection(), std::nullopt);
}

// A start asked for while a repair waits for the workers (by the status ticker, or by the end of
// the stopped run) is held back until the repair has written the index.
TEST_F(MaintenanceTest, AWorkerAskedForDuringARepairStartsOnlyOnceTheIndexIsWritten)
{
    addCopy(QStringLiteral("a.jpg"), {.id = "a", .previewExt = "jpg"});
    const struct {
        const char* repair;
        std::function<QCoro::Task<>()> run;
        QString rowsBeforeTheWrite;   // rows that the repair's write leaves none of
    } cases[] = {
        {"clear previews", [this] { return library.resetPreviews(); },
         QStringLiteral("SELECT count(*) FROM items WHERE preview_ext != ''")},
        {"rebuild", [this] { return library.clearIndex(); }, QStringLiteral("SELECT count(*) FROM items")},
    };
    for (const auto& c : cases) {
        *worker = {};
        worker->rows = [](Index&) {};
        QList<bool> afterTheWrite;
        worker->laterRun = [&] { afterTheWrite.append(integer(c.rowsBeforeTheWrite) == 0); };

        runDuringABatch(c.run, [this] { library.workers().startWorker(); });

        EXPECT_FALSE(afterTheWrite.isEmpty()) << c.repair;
        EXPECT_FALSE(afterTheWrite.contains(false)) << c.repair;
        worker->laterRun = nullptr;
    }
}

} // namespace
