#include "tools/probe/Probe.h"

#include "Pellmar/index/Index.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// One line per node: two spaces per level, the name and the count in parentheses.
void printTree(const FolderNode& node, int depth, QTextStream& out)
{
    out << QString(depth * 2, QLatin1Char(' ')) << node.name << " (" << node.count << ")\n";
    for (const FolderNode& child : node.children)
        printTree(child, depth + 1, out);
}

const ProbeCommand treeCommand(
    QStringLiteral("tree"), QStringLiteral("DB SOURCE_ID"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() != 2)
            return probeUsage(treeCommand, io);
        if (!QFileInfo(args[0]).isFile()) {
            io.err << "no index at " << args[0] << Qt::endl;
            return 1;
        }
        Index index(args[0], Index::Access::readOnly);
        const QString sourceID = args[1];
        const std::optional<FolderNode> tree = waitFor(index.run([sourceID](Index& ix) -> std::optional<FolderNode> {
            const QList<Source> sources = ix.sources();
            const auto source = std::ranges::find(sources, sourceID, &Source::id);
            if (source == sources.end())
                return std::nullopt;
            return ix.sourceTree(*source);
        }));
        if (!tree) {
            io.err << "no source " << sourceID << Qt::endl;
            return 1;
        }
        printTree(*tree, 0, io.out);
        io.out.flush();
        return 0;
    });

} // namespace
