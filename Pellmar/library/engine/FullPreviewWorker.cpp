#include "Pellmar/library/engine/FullPreviewWorker.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/FullPreviewBuild.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/FanOut.h"

#include <algorithm>
#include <chrono>

using namespace std::chrono_literals;

namespace {

constexpr qint64 batchSize = 4;
constexpr int rendersAtOnce = 2;
// A wait asks for permission again after 20 polls of 0.25 s.
constexpr int pollsPerWait = 20;
constexpr auto pollInterval = 250ms;
// Tile images written for older proxies per job, between two looks at whether the run may go on.
constexpr qsizetype tileImagesPerJob = 8;

// Why a batch made of items this run has already tried cannot go on: the index took neither their
// results nor their failures, and would hand out the same items forever.
QString unrecordedReason(const QList<FullJob>& batch, const QHash<QString, QString>& unrecorded)
{
    for (const FullJob& job : batch) {
        const QString reason = unrecorded.value(job.itemID);
        if (!reason.isEmpty())
            return QStringLiteral("Larger previews stopped: %1").arg(reason);
    }
    return QStringLiteral("Larger previews stopped: the index does not record them");
}

QCoro::Task<> renderWhileAllowed(WorkerInputs inputs, CancelToken token, std::shared_ptr<const FullRenderers> renderers)
{
    Library* const library = inputs.library.data();
    if (!library)
        co_return;
    const AliveGuard alive(library);
    // A sleep may end after the Library is gone, so the run keeps the clock alive itself.
    const std::shared_ptr<Clock> clock = library->sharedClock();
    IdleMonitor& idle = *inputs.idle;
    const FullBuild build{.index = inputs.index, .proxyDirectory = inputs.proxyDirectory,
                          .sources = inputs.sources, .defaults = &library->defaults(),
                          .renderers = std::move(renderers), .token = token,
                          .readingMarks = inputs.readingMarks};
    // The items this run has rendered, each with why its outcome was not recorded (empty when it was).
    QHash<QString, QString> tried;
    bool allRendered = false;

    // State is written only while the run is not cancelled: a stopped run leaves it to the next one.
    while (!token.isCancelled()) {
        if (!idle.mayRunFull()) {
            library->setFullWaiting(true);
            library->setFullInFlight({});
            for (int poll = 0; poll < pollsPerWait && !token.isCancelled() && !idle.userOverride(); ++poll)
                co_await alive(clock->sleep(pollInterval, token));
            continue;
        }

        const QStringList readable =
            co_await alive(library->pools().run(Priority::background, [build] { return renderableSources(build); }));
        QList<FullJob> batch;
        try {
            batch = co_await alive(
                build.index->run([readable](Index& index) { return index.fullPreviewQueue(batchSize, readable); }));
        } catch (const DatabaseError&) {
            break;
        }
        if (token.isCancelled())
            break;
        const qsizetype offered = batch.size();
        const QList<FullJob> stuck = batch;
        batch.removeIf([&tried](const FullJob& job) { return tried.contains(job.itemID); });
        if (batch.isEmpty()) {
            if (offered > 0)
                library->setLastError(unrecordedReason(stuck, tried));
            allRendered = offered == 0;
            break;
        }

        QStringList names;
        for (const FullJob& job : batch)
            names.append(job.filename);
        library->setFullWaiting(false);
        library->setFullInFlight(names);
        const QList<std::optional<QString>> unrecorded = co_await alive(fanOut(
            library->pools(), Priority::background, rendersAtOnce, batch,
            [build](const FullJob& job) { return buildFullPreview(job, build); }));
        for (qsizetype i = 0; i < batch.size(); ++i)
            tried.insert(batch[i].itemID, unrecorded[i].value_or(QString()));
    }

    // Once every item has its previews, the proxies written before proxies came with a tile image
    // get theirs, a few at a time while the run may go on; the rest wait for the next run.
    if (!allRendered || token.isCancelled())
        co_return;
    QStringList missing = co_await alive(library->pools().run(
        Priority::background, [folder = build.proxyDirectory] { return proxiesWithoutTileImage(folder); }));
    while (!missing.isEmpty() && !token.isCancelled() && idle.mayRunFull()) {
        const QStringList some = missing.first(std::min(tileImagesPerJob, missing.size()));
        missing.remove(0, some.size());
        co_await alive(library->pools().run(Priority::background, [some, token, renderers = build.renderers] {
            for (const QString& proxy : some) {
                if (!token.isCancelled())
                    renderers->tileImage(proxy);
            }
        }));
    }
}

} // namespace

WorkerControl::Body fullPreviewWorker(std::shared_ptr<const FullRenderers> renderers)
{
    return [renderers](WorkerInputs inputs, CancelToken token) {
        return renderWhileAllowed(std::move(inputs), token, renderers);
    };
}
