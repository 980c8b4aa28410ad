#include "Pellmar/library/Library.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoroFuture>

#include <chrono>
#include <exception>

using namespace std::chrono_literals;

namespace {

constexpr double autoSearchInterval = 2.0;
constexpr double quickRateWindow = 120.0;
constexpr double fullRateWindow = 180.0;
constexpr qint64 inFlightLimit = 4;
constexpr qint64 failureLimit = 50;

template <typename T>
struct CounterReading {
    qint64 dataVersion = 0;
    std::optional<T> value;   // nothing: the kept result still serves
    double seconds = 0;
};

// Brings one slow counter up to date: reads it unless its kept result may serve, and stamps its
// schedule. A failed reading leaves the schedule and the property as they were.
template <typename T, typename Read, typename Apply>
QCoro::Task<> refreshCounter(Library* library, CounterSchedule StatusCounters::*counter, Staleness allowed, Read read,
                             Apply apply)
{
    const AliveGuard alive(library);
    const CounterSchedule schedule = library->statusCounters.*counter;
    const double uptime = library->clock().uptime();
    CounterReading<T> reading;
    try {
        reading = co_await alive(library->statusIndex().run([=](Index& index) {
            CounterReading<T> result;
            result.dataVersion = index.dataVersion();
            if (!schedule.due(result.dataVersion, uptime, allowed))
                return result;
            const auto started = std::chrono::steady_clock::now();
            result.value = read(index);
            result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            return result;
        }));
    } catch (const std::exception&) {
        co_return;
    }
    CounterSchedule& kept = library->statusCounters.*counter;
    if (reading.value) {
        kept = {reading.dataVersion, uptime, reading.seconds, library->clock().now()};
        apply(*library, *reading.value);
    } else if (kept.dataVersion == reading.dataVersion) {
        kept.currentAt = library->clock().now();
    }
}

} // namespace

std::optional<double> windowRate(QList<Sample>& samples, Sample sample, double now, double window)
{
    if (samples.isEmpty() || sample.time > samples.last().time)
        samples.append(sample);
    samples.removeIf([&](const Sample& kept) { return now - kept.time > window; });
    if (samples.isEmpty())
        return std::nullopt;
    const Sample& oldest = samples.first();
    const Sample& newest = samples.last();
    if (now - oldest.time <= 5.0 || newest.time <= oldest.time)
        return std::nullopt;
    return double(newest.count - oldest.count) / (newest.time - oldest.time);
}

QCoro::Task<> Library::statusTicker(CancelToken token)
{
    const AliveGuard alive(this);
    // The sleep may end after this Library is gone, so the ticker keeps the clock alive itself.
    const std::shared_ptr<Clock> clock = clock_;
    while (!token.isCancelled()) {
        co_await alive(clock->sleep(1s, token));
        co_await alive(refreshStatus(Staleness::withinInterval));
    }
}

QCoro::Task<> Library::refreshStatus(Staleness allowed)
{
    const AliveGuard alive(this);
    co_await alive(refreshCounter<QueueStatus>(
        this, &StatusCounters::states, allowed, [](Index& index) { return index.stateCounts(); },
        [](Library& library, const QueueStatus& value) { library.setStatus(value); }));
    co_await alive(refreshCounter<FullStatus>(
        this, &StatusCounters::fullPreviews, allowed, [](Index& index) { return index.fullPreviewProgress(); },
        [](Library& library, const FullStatus& value) { library.setFullStatus(value); }));

    // While the count is not read again it stays as it was, which starts no search.
    qint64 count = itemCount_;
    co_await alive(refreshCounter<qint64>(
        this, &StatusCounters::items, allowed, [](Index& index) { return index.countItems(); },
        [&count](Library&, const qint64& value) { count = value; }));
    // New items appear in the grid while quick indexing runs, but never under the user's pointer
    // or beside an item the inspector shows.
    if (count != itemCount_ && processing_ && !selection_ && !pointerInGrid
        && clock_->now() - lastAutoRefresh >= autoSearchInterval) {
        setItemCount(count);
        lastAutoRefresh = clock_->now();
        qCInfo(logSearch, "search called by indexing refresh");
        co_await alive(search());
    }
    setItemCount(count);

    const QSet<QString> wasOnline = online_;
    const QSet<QString> nowOnline = co_await alive(pools_.run(Priority::utility, [sources = sources_, volumes = volumes_] {
        return availableSources(sources, *volumes);
    }));
    setOnline(nowOnline);
    if (nowOnline != wasOnline) {
        startWatching();
        Tasks::start(rescanAllFiles());
    }

    co_await alive(refreshCounter<QHash<QString, Index::SourceProgress>>(
        this, &StatusCounters::bySource, allowed, [](Index& index) { return index.progressBySource(); },
        [](Library& library, const QHash<QString, Index::SourceProgress>& value) { library.setSourceProgress(value); }));

    const double now = clock_->now();
    if (processing_) {
        // The files the worker reads now, then those the index holds half done (identified).
        QStringList names = workers_->quickInFlight(inFlightLimit);
        try {
            const QStringList identified = co_await alive(
                statusIndex().run([](Index& index) { return index.inFlightFiles(inFlightLimit); }));
            for (const QString& name : identified) {
                if (names.size() < inFlightLimit && !names.contains(name))
                    names.append(name);
            }
        } catch (const std::exception&) {
        }
        setInFlight(names);
        // A sample carries the time at which its count was last known to be current.
        QList<Sample> kept = samples_;
        const qint64 done = status_.ready + status_.failed + status_.empty;
        const std::optional<double> rate = windowRate(kept, {statusCounters.states.currentAt, done}, now, quickRateWindow);
        setSamples(kept);
        if (rate)
            setRate(*rate);
    } else {
        setInFlight({});
        setSamples({});
        setRate(0);
    }

    if (fullProcessing_ && !fullWaiting_) {
        QList<Sample> kept = fullSamples_;
        const std::optional<double> rate =
            windowRate(kept, {statusCounters.fullPreviews.currentAt, fullStatus_.done}, now, fullRateWindow);
        setFullSamples(kept);
        if (rate)
            setFullRate(*rate);
    } else if (!fullProcessing_) {
        setFullSamples({});
        setFullRate(0);
    }
}

QCoro::Task<> Library::refreshTrees()
{
    const AliveGuard alive(this);
    const QList<Source> sources = sources_;
    QList<FolderNode> trees;
    for (const Source& source : sources) {
        try {
            trees.append(co_await alive(treesIndex().run([source](Index& index) { return index.sourceTree(source); })));
        } catch (const std::exception&) {
        }
    }
    setTrees(trees);
}

QCoro::Task<> Library::loadFailures()
{
    const AliveGuard alive(this);
    QList<Index::FileFailure> failures;
    try {
        failures = co_await alive(statusIndex().run([](Index& index) { return index.recentFailures(failureLimit); }));
    } catch (const std::exception&) {
    }
    setFailures(failures);
}
