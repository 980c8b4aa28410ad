#include "tools/probe/Probe.h"

#include "Pellmar/media/Watcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

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

} // namespace
