#include "tools/probe/Probe.h"

#include "Pellmar/index/Index.h"

namespace {

const ProbeCommand migrateCommand(
    QStringLiteral("migrate"), QStringLiteral("DB"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() != 1)
            return probeUsage(migrateCommand, io);
        Index index(args[0]);
        const bool dropped = waitFor(index.run([](Index& ix) { return ix.migrate(); }));
        io.out << "dropped old tables: " << (dropped ? "yes" : "no") << Qt::endl;
        return 0;
    });

} // namespace
