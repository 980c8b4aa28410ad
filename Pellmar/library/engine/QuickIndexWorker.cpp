#include "Pellmar/library/engine/QuickIndexWorker.h"

#include "Pellmar/index/Index.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/QuickIndexFile.h"
#include "Pellmar/library/frame/FanOut.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosIndexing.h"
#include "Pellmar/media/ScanningRules.h"

#include <QCoroFuture>

#include <set>
#include <tuple>

namespace {

constexpr qint64 batchSize = 24;
constexpr int filesAtOnce = 8;

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

void indexOne(const Job& job, const WorkerInputs& inputs, const CancelToken& token)
{
    // Files of a stopped run that have not begun wait for the next run.
    if (token.isCancelled())
        return;
    const Source source = inputs.sources.value(job.sourceID);
    if (source.kind == SourceKind::photos)
        identifyPhotosFile(job, source, *inputs.index, inputs.proxyDirectory, *sharedPhotoLibrary());
    else
        indexFolderFile(job, source, *inputs.index, inputs.proxyDirectory);
}

void indexPendingFiles(const WorkerInputs& inputs, const CancelToken& token, TaskPools& pools)
{
    std::set<JobKey> handedOut;
    while (!token.isCancelled()) {
        // Files of sources that are unplugged or newly added wait in their rows for a later run.
        const QStringList available = availableSources(inputs.sources);
        if (available.isEmpty())
            return;
        QList<Job> batch;
        try {
            batch = waitFor(inputs.index->run([available](Index& ix) { return ix.pendingFiles(batchSize, available); }));
        } catch (const DatabaseError&) {
            return;
        }
        // Files whose outcome the index could not take come back unchanged: a run that met only
        // those would go round for ever.
        bool fresh = false;
        for (const Job& job : batch)
            fresh |= handedOut.insert(keyOf(job)).second;
        if (!fresh)
            return;
        waitFor(fanOut(pools, Priority::utility, filesAtOnce, batch,
                       [&inputs, &token](const Job& job) { indexOne(job, inputs, token); }));
    }
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
