#include "tools/probe/ProbeLibrary.h"

#include "Pellmar/library/engine/QuickIndexWorker.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {

// index SUPPORT_DIR FOLDER [--quit-after MS]: adds the folder as a source of the index in
// SUPPORT_DIR (made when missing), scans it through the Library, lets the quick-index worker run to
// its end, and prints the files by state and the time taken. With --quit-after, the Library is
// destroyed as a quit does, MS milliseconds after the scan began, if the worker still runs then.
const ProbeCommand indexCommand(
    QStringLiteral("index"), QStringLiteral("SUPPORT_DIR FOLDER [--quit-after MS]"), [](const QStringList& args, ProbeIo& io) {
        bool validQuit = true;
        const std::optional<qint64> quitAfter =
            args.size() == 4 && args[2] == QLatin1String("--quit-after") ? std::optional(args[3].toLongLong(&validQuit)) : std::nullopt;
        if ((args.size() != 2 && !quitAfter) || !validQuit)
            return probeUsage(indexCommand, io);
        const QString supportDirectory = QDir::current().absoluteFilePath(args[0]);
        const QString rootPath = QDir::cleanPath(QDir::current().absoluteFilePath(args[1]));
        if (!QDir().mkpath(supportDirectory)) {
            io.err << "cannot make " << supportDirectory << Qt::endl;
            return 1;
        }
        {
            Index index(supportDirectory + QStringLiteral("/index.sqlite"));
            waitFor(index.run([](Index& ix) { ix.migrate(); }));
        }
        ProbeLibrary probe(supportDirectory, readyVolumeService(), WorkerControl::Bodies{.quickIndex = quickIndexWorker});
        Library& library = *probe.library;
        const auto [source, sources] = waitFor(library.index().run([rootPath](Index& ix) {
            const Source added = folderSourceFor(ix, rootPath);
            return std::pair(added, ix.sources());
        }));
        library.setSources(sources);

        QElapsedTimer timer;
        timer.start();
        QCoro::waitFor(library.scan(source));
        if (library.lastError()) {
            io.err << *library.lastError() << Qt::endl;
            return 1;
        }
        const double scanned = double(timer.nsecsElapsed()) / 1e9;
        bool quit = false;
        if (quitAfter)
            QTimer::singleShot(std::max<qint64>(0, *quitAfter - timer.elapsed()), &library, [&quit] { quit = true; });
        while (library.processing()) {
            if (quit) {
                probe.library.reset();
                io.out << "quit while indexing" << Qt::endl;
                return 0;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        const double total = double(timer.nsecsElapsed()) / 1e9;

        const QueueStatus states =
            waitFor(library.index().run([id = source.id](Index& ix) { return filesByState(ix, id); }));
        const qint64 files = states.found + states.identified + states.ready + states.failed + states.empty;
        io.out << "source " << source.id << " (" << source.name << ")\n"
               << "found " << states.found << ", identified " << states.identified << ", ready " << states.ready
               << ", failed " << states.failed << ", empty " << states.empty << '\n'
               << "scan " << QString::number(scanned, 'f', 3) << " s, scan and quick index "
               << QString::number(total, 'f', 3) << " s, " << QString::number(double(files) / total, 'f', 1)
               << " files/s\n";
        io.out.flush();
        return 0;
    });

} // namespace
