#include "tools/probe/ProbeLibrary.h"

#include <QElapsedTimer>
#include <QThread>

#include <atomic>

namespace {

// quit-time SUPPORT_DIR: starts the count of items with a single copy (the slowest panel query) on
// the library's read connection, lets it run for a moment, then times the library's destruction.
const ProbeCommand quitTimeCommand(
    QStringLiteral("quit-time"), QStringLiteral("SUPPORT_DIR"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() != 1)
            return probeUsage(quitTimeCommand, io);
        const std::unique_ptr<ProbeLibrary> probe = ProbeLibrary::open(args[0], io);
        if (!probe)
            return 1;
        std::unique_ptr<Library>& library = probe->library;

        std::atomic<bool> started = false;
        QElapsedTimer queryTime;
        QFuture<qint64> query = library->readIndex().run([&started](Index& index) {
            started = true;
            return index.countNotBackedUp(std::nullopt);
        });
        while (!started)
            QThread::msleep(1);
        queryTime.start();
        QThread::msleep(300);

        QElapsedTimer destruction;
        destruction.start();
        library.reset();
        const double destroyed = double(destruction.nsecsElapsed()) / 1e6;
        QString outcome = QStringLiteral("finished");
        try {
            waitFor(query);
        } catch (const DatabaseError& error) {
            outcome = error.description();
        }
        io.out << "query ran " << queryTime.elapsed() << " ms before it " << outcome << "; ~Library took "
               << QString::number(destroyed, 'f', 1) << " ms" << Qt::endl;
        return 0;
    });

} // namespace
