#include "tools/probe/ProbeLibrary.h"

#include "Pellmar/library/engine/QuickIndexWorker.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>

namespace {

// startup SUPPORT_DIR [--add DIR]...: runs the whole start-up of the Library on the index in
// SUPPORT_DIR, as the program does on this computer (its home folder, photo library and volumes),
// with the settings kept in SUPPORT_DIR/probe.conf so that the user's own stay as they are. Waits
// until the scans and quick indexing have ended, then prints the sources and their files by state.
// A damaged index ends it with the damage on standard error and exit code 1.
const ProbeCommand startupCommand(
    QStringLiteral("startup"), QStringLiteral("SUPPORT_DIR [--add DIR]..."), [](const QStringList& args, ProbeIo& io) {
        if (args.isEmpty() || args.size() % 2 != 1)
            return probeUsage(startupCommand, io);
        for (qsizetype i = 1; i < args.size(); i += 2) {
            if (args[i] != QLatin1String("--add"))
                return probeUsage(startupCommand, io);
        }
        const QString supportDirectory = QDir::current().absoluteFilePath(args[0]);
        if (!QDir().mkpath(supportDirectory)) {
            io.err << "cannot make " << supportDirectory << Qt::endl;
            return 1;
        }
        Defaults defaults(supportDirectory + QStringLiteral("/probe.conf"));
        Library::Services services = Library::Services::system();
        services.supportDirectory = supportDirectory;
        services.defaults = &defaults;
        services.volumes = readyVolumeService();
        // Quick indexing only: larger previews would keep the probe busy for as long again.
        services.workerBodies = WorkerControl::Bodies{.quickIndex = quickIndexWorker, .fullPreviews = {}};
        services.arguments = QStringList{QStringLiteral("quorvin-probe")} + args.mid(1);
        bool stopped = false;
        services.fatalStop = [&io, &stopped](const QString& message) {
            io.err << message << Qt::endl;
            stopped = true;
        };

        QElapsedTimer timer;
        timer.start();
        Library library(std::move(services));
        bool started = false;
        QObject::connect(&library, &Library::startupFinished, [&started] { started = true; });
        while (!started && !stopped)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (stopped)
            return 1;
        // A damage found during the start-up is told through the event loop.
        QCoreApplication::processEvents();
        if (const std::optional<QString> damage = library.indexDamage()) {
            io.err << *damage << Qt::endl;
            return 1;
        }
        while (library.scanning() || library.processing())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

        for (const Source& source : library.sources()) {
            const QueueStatus states =
                waitFor(library.index().run([id = source.id](Index& ix) { return filesByState(ix, id); }));
            io.out << source.name << " (" << (source.rootPath.isEmpty() ? source.volumeName : source.rootPath) << ", "
                   << (library.online().contains(source.id) ? "online" : "offline") << "): found " << states.found
                   << ", identified " << states.identified << ", ready " << states.ready << ", failed "
                   << states.failed << ", empty " << states.empty << '\n';
        }
        if (library.lastError())
            io.out << "last error: " << *library.lastError() << '\n';
        io.out << "start-up, scans and quick indexing took " << QString::number(double(timer.nsecsElapsed()) / 1e9, 'f', 3)
               << " s\n";
        io.out.flush();
        return 0;
    });

} // namespace
