// The larger-preview worker on a folder of photos and clips, as the program runs it: the real
// renderers, two at a time on the background threads, recorded in a fresh index. Prints the time it
// took for every item, then what the worker costs while it only waits (process CPU time over a
// stretch of real time with "fullPreviews" set to "never").
//
// Usage: full_preview_bench FOLDER [WAIT_SECONDS]   (bench/full.sh runs it)

#include "Pellmar/index/Index.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/FullPreviewBuild.h"
#include "Pellmar/library/engine/FullPreviewWorker.h"
#include "bench/BenchLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return double(time.tv_sec) + double(time.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Waiting items for every photo and clip of the folder, as quick indexing leaves them.
int addItems(Index& index, const QString& folder)
{
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    return waitFor(index.run([files](Index& ix) {
        int added = 0;
        for (const QFileInfo& file : files) {
            const QString extension = file.suffix().toLower();
            const MediaKind kind = extension == QLatin1String("mp4") ? MediaKind::video : MediaKind::photo;
            const QString id = QStringLiteral("ITEM-%1").arg(++added);
            ix.database().run(QStringLiteral("INSERT INTO items (id, quick_hash, kind, filename, created_at) "
                                             "VALUES (?, ?, ?, ?, 0)"),
                              {id, id, qint64(kind), file.fileName()});
            ix.database().run(QStringLiteral("INSERT INTO files (source_id, rel_path, size, mtime, quick_hash, "
                                             "item_id, state) VALUES ('BENCH', ?, ?, 0, ?, ?, 2)"),
                              {file.fileName(), file.size(), id, id});
        }
        return added;
    }));
}

void runUntilWorkerEnds(Library& library)
{
    QEventLoop loop;
    QObject::connect(&library, &Library::changed, &loop, [&](Library::Prop property) {
        if (property == Library::Prop::fullWorker && !library.fullWorker())
            loop.quit();
    });
    if (library.fullWorker())
        loop.exec();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: %s FOLDER [WAIT_SECONDS]\n", argv[0]);
        return 2;
    }
    const QString folder = QFileInfo(args[1]).absoluteFilePath();
    const int waitSeconds = args.size() == 3 ? args[2].toInt() : 20;

    QTemporaryDir support;
    Defaults defaults(support.filePath(QStringLiteral("Quorvin.conf")));
    Library::Services services = benchServices(support.path(), defaults, std::make_shared<RealClock>());
    services.workerBodies.fullPreviews = fullPreviewWorker(FullRenderers::system(defaults));
    Library library(std::move(services));
    defaults.set(QStringLiteral("fullPreviews"), QStringLiteral("always"));
    defaults.set(QStringLiteral("proxySize"), 2048);
    defaults.set(QStringLiteral("videoProxy"), 720);

    const Source source{QStringLiteral("BENCH"), QStringLiteral("Bench"), folder, {}, {}, 0, SourceKind::folder};
    waitFor(library.index().run([source](Index& index) {
        index.migrate();
        index.saveSource(source);
    }));
    library.setSources({source});
    const int items = addItems(library.index(), folder);

    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = cpuSeconds();
    library.workers().startFullWorker(false);
    runUntilWorkerEnds(library);
    const double seconds = double(timer.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;
    const qint64 recorded = waitFor(library.index().run([](Index& index) { return index.fullPreviewProgress().done; }));

    // Waiting: the worker polls every 0.25 s and asks for permission every 5 s.
    defaults.set(QStringLiteral("fullPreviews"), QStringLiteral("never"));
    // Every item waits again, so that the worker has work it is not allowed to do.
    waitFor(library.index().run([](Index& index) { index.database().exec(QStringLiteral("UPDATE items SET proxy_ext = ''")); }));
    const double waitCpuBefore = cpuSeconds();
    library.workers().startFullWorker(false);
    QEventLoop waiting;
    QTimer::singleShot(waitSeconds * 1000, &waiting, &QEventLoop::quit);
    waiting.exec();
    const double waitCpu = cpuSeconds() - waitCpuBefore;
    QCoro::waitFor(library.workers().stopFullWorker());

    std::printf("worker\t%d\t%lld\t%.3f\t%.3f\n", items, recorded, seconds, cpu);
    std::printf("waiting\t%d\t%.4f\n", waitSeconds, waitCpu);
    return 0;
}
