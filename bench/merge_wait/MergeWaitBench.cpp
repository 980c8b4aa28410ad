// How long a write of the user's waits while a scan merges a large walk with the index: the merge
// runs on the index's writer in steps (SteppedFileSync, as the scan runs it), or in one job (as
// Index::syncFiles runs it), while another thread submits a small write every 20 ms and times it
// from submission to its end.
//
// Usage: merge_wait_bench DATABASE [FILES] [STEP_MS]   (default 1,000,000 files and the scan's step;
// DATABASE is made anew)

#include "Pellmar/index/Index.h"
#include "Pellmar/index/WalkedFiles.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The step the scan uses (Scan.cpp), unless another is given.
milliseconds mergeStep{10};
constexpr double base = 1700000000.0;

// A walk of `files` files in folders of 100, in byte order of their paths, in runs of 4,096.
WalkedFiles walkOf(qint64 files, double modified)
{
    WalkedFiles walked;
    FileBatch batch;
    char folder[16];
    char name[16];
    for (qint64 i = 0; i < files; ++i) {
        std::snprintf(folder, sizeof folder, "d%06lld", static_cast<long long>(i / 100));
        std::snprintf(name, sizeof name, "f%03lld.jpg", static_cast<long long>(i % 100));
        batch.add(folder, name, 1000 + i % 5000, modified, true);
        if (batch.size() == 4096)
            walked.append(std::exchange(batch, FileBatch()));
    }
    walked.append(std::move(batch));
    walked.finish({});
    return walked;
}

struct Figures {
    double mergeSeconds = 0;
    qint64 writes = 0;
    double longestWait = 0;   // ms
    double p99Wait = 0;       // ms
    double medianWait = 0;    // ms
};

// Runs `merge` on a thread of its own (it submits jobs to the index and waits for them) while the
// user's writes are submitted every 20 ms.
template <typename Merge>
Figures measure(Index& index, Merge merge)
{
    std::atomic<bool> merging = true;
    std::vector<double> waits;
    std::thread user([&] {
        qint64 n = 0;
        while (merging) {
            const Clock::time_point submitted = Clock::now();
            waitFor(index.run([n](Index& ix) {
                ix.database().run(QStringLiteral("UPDATE sources SET name = ? WHERE id = 'S'"), {QString::number(n)});
            }));
            waits.push_back(std::chrono::duration<double, std::milli>(Clock::now() - submitted).count());
            ++n;
            std::this_thread::sleep_for(milliseconds(20));
        }
    });
    const Clock::time_point started = Clock::now();
    merge();
    Figures figures;
    figures.mergeSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    merging = false;
    user.join();
    std::sort(waits.begin(), waits.end());
    figures.writes = qint64(waits.size());
    if (!waits.empty()) {
        figures.longestWait = waits.back();
        figures.p99Wait = waits[std::min(waits.size() - 1, size_t(double(waits.size()) * 0.99))];
        figures.medianWait = waits[waits.size() / 2];
    }
    return figures;
}

void print(const char* what, const Figures& f)
{
    std::printf("%-44s merge %7.2f s   user writes %5lld   wait median %7.1f ms   p99 %7.1f ms   longest %7.1f ms\n",
                what, f.mergeSeconds, static_cast<long long>(f.writes), f.medianWait, f.p99Wait, f.longestWait);
    std::fflush(stdout);
}

Figures stepped(Index& index, WalkedFiles walked)
{
    return measure(index, [&] {
        SteppedFileSync sync(walked, QStringLiteral("S"));
        while (!waitFor(index.run([&sync](Index& ix) { return sync.step(ix, mergeStep); }))) {
        }
    });
}

Figures oneJob(Index& index, WalkedFiles walked)
{
    return measure(index, [&] { waitFor(index.run([&walked](Index& ix) { ix.syncFiles(walked, QStringLiteral("S")); })); });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: merge_wait_bench DATABASE [FILES]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const qint64 files = argc > 2 ? std::atoll(argv[2]) : 1000000;
    if (argc > 3)
        mergeStep = milliseconds(std::atoll(argv[3]));
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));

    Index index(path);
    waitFor(index.run([](Index& ix) {
        ix.migrate();
        ix.database().run(QStringLiteral("INSERT INTO sources (id, name, root_path, volume_uuid, volume_name, added_at, kind) "
                                         "VALUES ('S', 'S', '/S', '', '', 0, 0)"));
    }));
    std::printf("%lld files, steps of %lld ms\n", static_cast<long long>(files), static_cast<long long>(mergeStep.count()));
    // Each rescan gives the files new times, so that each writes every row, as the first one does.
    print("first scan, in steps (every row inserted)", stepped(index, walkOf(files, base)));
    print("rescan, all changed, in steps", stepped(index, walkOf(files, base + 10)));
    print("rescan, all changed, in one job", oneJob(index, walkOf(files, base + 20)));
    print("rescan, unchanged, in steps", stepped(index, walkOf(files, base + 20)));
    print("rescan, unchanged, in one job", oneJob(index, walkOf(files, base + 20)));
    return 0;
}
