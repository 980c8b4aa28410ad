#include "tools/probe/Probe.h"

#include "Pellmar/index/Hashing.h"

#include <QFileInfo>

namespace {

const ProbeCommand quickHashCommand(
    QStringLiteral("quickhash"), QStringLiteral("FILE [SIZE]"), [](const QStringList& args, ProbeIo& io) {
        if (args.isEmpty() || args.size() > 2)
            return probeUsage(quickHashCommand, io);
        bool ok = true;
        const qint64 size = args.size() == 2 ? args[1].toLongLong(&ok) : QFileInfo(args[0]).size();
        if (!ok)
            return probeUsage(quickHashCommand, io);
        io.out << quickHash(args[0], size) << Qt::endl;
        return 0;
    });

const ProbeCommand folderHashCommand(
    QStringLiteral("folderhash"), QStringLiteral("DIR SEED"), [](const QStringList& args, ProbeIo& io) {
        bool ok = false;
        const qint64 seed = args.size() == 2 ? args[1].toLongLong(&ok) : 0;
        if (!ok)
            return probeUsage(folderHashCommand, io);
        io.out << folderHash(args[0], seed) << Qt::endl;
        return 0;
    });

} // namespace
