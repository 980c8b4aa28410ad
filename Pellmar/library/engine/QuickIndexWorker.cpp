#include "Pellmar/library/engine/QuickIndexWorker.h"

#include "Pellmar/index/Index.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/QuickIndexFile.h"
#include "Pellmar/library/frame/FanOut.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosIndexing.h"
#include "Pellmar/media/ScanningRules.h"

#include <QCoroFuture>
#include <QElapsedTimer>
#include <QScopeGuard>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <tuple>

namespace {

constexpr qint64 batchSize = 24;
constexpr int filesAtOnce = 8;
// The finished files of a batch are written together, at the latest once the first of them has
// waited this long, so that slow files still show up as ready one by one.
constexpr qint64 longestWriteDelayMs = 150;

// A job as it was handed out: the same file comes back with another key once its row changed.
using JobKey = std::tuple<qint64, qint64, double, qint64>;

JobKey keyOf(const Job& job)
{
    return {job.fileID, job.size, job.modified, rawValue(job.state)};
}

QStringList availableSources(const QHash<QString, Source>& sources)
{
    QStringList ids;
    for (const Source& source : sources) {
        if (isSourceAvailable(source))
            ids.append(source.id);
    }
    return ids;
}

// The files of a batch that are read and wait for their writes, written in one transaction
// when the batch ends or the first has waited long enough. Shared by the batch's jobs.
class PendingWrites {
public:
    explicit PendingWrites(const WorkerInputs& inputs) : inputs_(inputs) {}

    void add(ReadFile read)
    {
        QList<ReadFile> due;
        {
            std::lock_guard locker(lock_);
            if (reads_.isEmpty())
                firstAdded_.start();
            reads_.append(std::move(read));
            if (firstAdded_.elapsed() >= longestWriteDelayMs)
                due.swap(reads_);
        }
        record(due);
    }

    void writeAll()
    {
        QList<ReadFile> due;
        {
            std::lock_guard locker(lock_);
            due.swap(reads_);
        }
        record(due);
    }

private:
    // Files that another file of their quick hash overtook are read once more, now comparing their
    // tails with its item; should that happen again they wait for the next run.
    void record(const QList<ReadFile>& due)
    {
        QList<ReadFile> again;
        for (const Job& job : recordFolderFiles(due, *inputs_.index, inputs_.proxyDirectory)) {
            if (std::optional<ReadFile> read =
                    readFolderFile(job, inputs_.sources, *inputs_.index, *inputs_.lookup, inputs_.proxyDirectory))
                again.append(std::move(*read));
        }
        recordFolderFiles(again, *inputs_.index, inputs_.proxyDirectory);
    }

    const WorkerInputs& inputs_;   // outlives the writes: the loop waits for them before it returns
    std::mutex lock_;
    QList<ReadFile> reads_;
    QElapsedTimer firstAdded_;
};

void indexOne(const Job& job, const WorkerInputs& inputs, const CancelToken& token, PendingWrites& writes)
{
    // Files of a stopped run that have not begun wait for the next run.
    if (token.isCancelled())
        return;
    // Marked while it is read: a file that ends the process here fails at the next start.
    const ReadingMarks::Mark mark = inputs.readingMarks ? inputs.readingMarks->markFile(job.fileID) : ReadingMarks::Mark();
    // Shown as "Working on …" while it is read: a folder's file goes from found to ready in one
    // transaction, so the index never holds it in between.
    const QString name = job.relativePath.section(u'/', -1);
    inputs.inFlight->add(name);
    const auto done = qScopeGuard([&] { inputs.inFlight->remove(name); });
    const Source source = inputs.sources.value(job.sourceID);
    if (source.kind == SourceKind::photos) {
        identifyPhotosFile(job, source, *inputs.index, inputs.proxyDirectory, *sharedPhotoLibrary());
    } else if (std::optional<ReadFile> read =
                   readFolderFile(job, inputs.sources, *inputs.index, *inputs.lookup, inputs.proxyDirectory)) {
        writes.add(std::move(*read));
    }
}

// The next batch of waiting files on the sources available now, less those whose writes are still
// under way (their rows stay waiting until that transaction commits). Nothing when the loop ends:
// no source is available, the index cannot be read, or no file of the batch is new to this run.
// Files whose outcome the index could not take come back unchanged: a run that met only those
// would go round for ever.
std::optional<QList<Job>> nextBatch(const WorkerInputs& inputs, const QList<Job>& beingWritten,
                                    std::set<JobKey>& handedOut)
{
    // Files of sources that are unplugged or newly added wait in their rows for a later run.
    const QStringList available = availableSources(inputs.sources);
    if (available.isEmpty())
        return std::nullopt;
    const qint64 wanted = batchSize + beingWritten.size();
    QList<Job> batch;
    try {
        batch = waitFor(
            inputs.index->run([available, wanted](Index& ix) { return ix.pendingFiles(wanted, available); }));
    } catch (const DatabaseError&) {
        return std::nullopt;
    }
    batch.removeIf([&](const Job& job) {
        return std::any_of(beingWritten.begin(), beingWritten.end(),
                           [&](const Job& written) { return written.fileID == job.fileID; });
    });
    batch.resize(std::min(batch.size(), batchSize));
    bool fresh = false;
    for (const Job& job : batch)
        fresh |= handedOut.insert(keyOf(job)).second;
    if (!fresh)
        return std::nullopt;
    return batch;
}

void indexPendingFiles(const WorkerInputs& inputs, const CancelToken& token, TaskPools& pools)
{
    std::set<JobKey> handedOut;
    // A batch's writes run on the index writer while the next batch is read, each batch's after
    // the one before it.
    QFuture<void> writing = QtFuture::makeReadyFuture();
    std::optional<QList<Job>> batch = nextBatch(inputs, {}, handedOut);
    while (batch && !token.isCancelled()) {
        auto writes = std::make_shared<PendingWrites>(inputs);
        waitFor(fanOut(pools, Priority::utility, filesAtOnce, *batch,
                       [&](const Job& job) { indexOne(job, inputs, token, *writes); }));
        waitFor(writing);
        // Fetched while the writer is free, before this batch's writes are queued on it.
        std::optional<QList<Job>> next = token.isCancelled() ? std::nullopt : nextBatch(inputs, *batch, handedOut);
        // Also after a stop: the files that were read are not read again.
        writing = pools.runLoop(Priority::utility, [writes] { writes->writeAll(); });
        batch = std::move(next);
    }
    waitFor(writing);
}

} // namespace

QCoro::Task<> quickIndexWorker(WorkerInputs inputs, CancelToken token)
{
    if (!inputs.library)
        co_return;
    // The pools outlive their jobs: destroying the Library waits for this loop.
    TaskPools& pools = inputs.library->pools();
    co_await pools.runLoop(Priority::utility, [inputs, token, &pools] { indexPendingFiles(inputs, token, pools); });
}
