#include "tools/probe/ProbeLibrary.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/engine/ChangeWatcher.h"
#include "Pellmar/library/engine/QuickIndexWorker.h"
#include "Pellmar/media/Watcher.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace {

QtMessageHandler otherMessages = nullptr;

// Prints the lines of the change watching category on standard output as they are logged.
void printWatchLines(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (context.category && std::strcmp(context.category, logWatch().categoryName()) == 0) {
        std::fprintf(stdout, "%s\n", qUtf8Printable(message));
        std::fflush(stdout);
        return;
    }
    otherMessages(type, context, message);
}

// watch DIR: prints each delivered batch as it arrives, one line per path with its flags in
// hexadecimal, until interrupted.
const ProbeCommand watchCommand(
    QStringLiteral("watch"), QStringLiteral("DIR"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() != 1)
            return probeUsage(watchCommand, io);
        const QString root = QDir::cleanPath(QDir::current().absoluteFilePath(args[0]));
        if (!QFileInfo(root).isDir()) {
            io.err << root << ": not a folder" << Qt::endl;
            return 1;
        }
        qint64 batches = 0;
        InotifyWatcher watcher(root, [&](const QStringList& paths, const QList<quint32>& flags) {
            io.out << "batch " << ++batches << ": " << paths.size() << (paths.size() == 1 ? " path" : " paths") << '\n';
            for (qsizetype i = 0; i < paths.size(); ++i)
                io.out << "  0x" << QString::number(flags.value(i), 16).rightJustified(2, QLatin1Char('0')) << '\t' << paths[i] << '\n';
            io.out.flush();
        });
        io.err << "watching " << root << " (interrupt to stop)" << Qt::endl;
        return QCoreApplication::exec();
    });

// follow SUPPORT_DIR: runs the Library on the index in SUPPORT_DIR with a watcher on each online
// folder source and the quick-index worker, and prints what the change passes apply, until interrupted.
const ProbeCommand followCommand(
    QStringLiteral("follow"), QStringLiteral("SUPPORT_DIR"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() != 1)
            return probeUsage(followCommand, io);
        const QString supportDirectory = QDir::current().absoluteFilePath(args[0]);
        if (!QFileInfo(supportDirectory + QStringLiteral("/index.sqlite")).isFile()) {
            io.err << "no index.sqlite in " << supportDirectory << Qt::endl;
            return 1;
        }
        otherMessages = qInstallMessageHandler(printWatchLines);
        ProbeLibrary probe(supportDirectory, readyVolumeService(), WorkerControl::Bodies{.quickIndex = quickIndexWorker});
        // Reading the sources again starts the watchers of those that are online.
        QCoro::waitFor(probe.library->reload());
        io.err << "following " << probe.library->changeWatcher().watchedSources().size()
               << " folder sources (interrupt to stop)" << Qt::endl;
        return QCoreApplication::exec();
    });

} // namespace
