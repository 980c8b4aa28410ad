// How much of the read-only connection the status ticker takes on a large index: once while
// nothing is written, once while a writer commits every second as quick indexing does. Time is
// a manual clock that moves one second per tick, so the run takes only as long as the queries;
// the figure is the SQLite statement time on the counters' connection per tick.
//
// Usage: status_ticker_bench BASE FILES [TICKS]   (bench/status.sh runs it)

#include "bench/index_scale/SyntheticIndex.h"

#include "Pellmar/index/Index.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Sums the run time of every statement of one connection.
class StatementClock {
public:
    explicit StatementClock(Index& connection)
    {
        waitFor(connection.run([this](Index& index) {
            sqlite3_trace_v2(index.database().db(), SQLITE_TRACE_PROFILE, &StatementClock::profile, this);
        }));
    }

    double takeMilliseconds() { return double(nanoseconds_.exchange(0)) / 1e6; }

private:
    static int profile(unsigned, void* context, void*, void* nanoseconds)
    {
        static_cast<StatementClock*>(context)->nanoseconds_ += *static_cast<sqlite3_int64*>(nanoseconds);
        return 0;
    }

    std::atomic<qint64> nanoseconds_ = 0;
};

struct Summary {
    double mean = 0;
    double median = 0;
    double max = 0;
};

Summary summarize(std::vector<double> costs)
{
    std::sort(costs.begin(), costs.end());
    Summary summary;
    for (const double cost : costs)
        summary.mean += cost / double(costs.size());
    summary.median = costs[costs.size() / 2];
    summary.max = costs.back();
    return summary;
}

// One tick of the ticker per second of the manual clock; `beforeTick` runs first (a commit).
template <typename F>
Summary tick(Library& library, ManualClock& clock, StatementClock& statements, int ticks, Staleness allowed,
             F beforeTick)
{
    std::vector<double> costs;
    for (int i = 0; i < ticks; ++i) {
        beforeTick();
        clock.advance(1s);
        statements.takeMilliseconds();
        QCoro::waitFor(library.refreshStatus(allowed));
        costs.push_back(statements.takeMilliseconds());
    }
    return summarize(costs);
}

void print(const char* scenario, const Summary& summary)
{
    std::printf("| %s | %.2f | %.2f | %.1f |\n", scenario, summary.mean, summary.median, summary.max);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3 || args.size() > 4) {
        std::fprintf(stderr, "usage: %s BASE FILES [TICKS]\n", argv[0]);
        return 2;
    }
    const QString base = args[1];
    const qint64 files = args[2].toLongLong();
    const int ticks = args.size() == 4 ? args[3].toInt() : 60;
    if (!QFileInfo::exists(base)) {
        QElapsedTimer timer;
        timer.start();
        SyntheticIndex::generate(base, files);
        std::fprintf(stderr, "generated %lld files in %.1f s\n", files, double(timer.elapsed()) / 1000.0);
    }

    // The Library works on a copy, since the writer below changes it.
    QTemporaryDir support(QFileInfo(base).absolutePath() + QStringLiteral("/status-XXXXXX"));
    const QString path = support.filePath(QStringLiteral("index.sqlite"));
    if (!QFile::copy(base, path))
        qFatal("cannot copy %s", qPrintable(base));
    Index(path).migrate();

    Defaults defaults(support.filePath(QStringLiteral("Quorvin.conf")));
    auto clock = std::make_shared<ManualClock>();
    Library::Services services;
    services.supportDirectory = support.path();
    services.defaults = &defaults;
    services.clock = clock;
    services.idleReadings = IdleMonitor::Readings::system();
    services.volumes = std::make_shared<VolumeService>();
    services.startUp = false;
    Library library(std::move(services));
    library.setSources(waitFor(library.index().run([](Index& index) { return index.sources(); })));

    StatementClock statements(library.statusIndex());
    QCoro::waitFor(library.refreshStatus());
    const double first = statements.takeMilliseconds();

    const auto nothing = [] {};
    // Quick indexing as the writer does it: about a hundred files a second, each its own commit.
    // Every other second the same number goes back to waiting, so a run of any length keeps
    // writing (the index has only some 50,000 waiting files, and a tick without a commit is free).
    const auto commit = [&, second = 0]() mutable {
        const QString sql = ++second % 2
            ? QStringLiteral("UPDATE files SET state = 2 WHERE id = (SELECT id FROM files WHERE state = 0 LIMIT 1)")
            : QStringLiteral("UPDATE files SET state = 0 WHERE id = (SELECT id FROM files WHERE state = 2 LIMIT 1)");
        waitFor(library.index().run([sql](Index& index) {
            for (int i = 0; i < 100; ++i)
                index.database().exec(sql);
        }));
    };

    std::printf("Status refresh on %lld files, %d ticks each: SQLite statement time on the counters' connection, "
                "ms per tick (one tick a second).\n\n",
                files, ticks);
    std::printf("first refresh (cold): %.1f ms\n\n", first);
    std::printf("| Scenario | mean | median | max |\n|---|---:|---:|---:|\n");
    print("ticker, nothing written", tick(library, *clock, statements, ticks, Staleness::withinInterval, nothing));
    library.setProcessing(true);
    print("ticker, writer commits every second", tick(library, *clock, statements, ticks, Staleness::withinInterval, commit));
    print("every counter every second (no reuse), writer commits",
          tick(library, *clock, statements, std::min(ticks, 10), Staleness::current, commit));
    library.setProcessing(false);
    return 0;
}
