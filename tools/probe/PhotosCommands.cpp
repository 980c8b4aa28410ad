#include "tools/probe/Probe.h"

#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosReading.h"

#include <QDir>

namespace {

void printTree(const QList<PhotosNode>& nodes, int depth, ProbeIo& io)
{
    for (const PhotosNode& node : nodes) {
        io.out << QString(depth * 2, QLatin1Char(' ')) << node.name << '\t' << node.id << '\t'
               << (node.children ? QStringLiteral("folder") : QStringLiteral("album")) << '\n';
        if (node.children)
            printTree(*node.children, depth + 1, io);
    }
}

// photos-list [LIBRARY]: the photo library's file records (relative path, asset id, modified,
// favorite, subtype, raw; tab-separated) and their count, then its folder and album tree, indented.
// Without LIBRARY, the program's own library ($QUORVIN_PHOTOS_LIBRARY or the default folder).
const ProbeCommand photosListCommand(
    QStringLiteral("photos-list"), QStringLiteral("[LIBRARY]"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() > 1)
            return probeUsage(photosListCommand, io);
        const QString path = args.isEmpty() ? defaultPhotosLibraryPath() : QDir::current().absoluteFilePath(args[0]);
        const PhotosFolderLibrary library(path);

        const QList<FileRecord> records = listPhotosAssets(library);
        const QList<PhotosNode> tree = logDuplicateFolderNames(library);
        for (const FileRecord& record : records)
            io.out << record.relativePath << '\t' << record.assetID << '\t' << QString::number(record.modified, 'f', 3)
                   << '\t' << (record.favorite ? "favorite" : "-") << '\t' << record.subtype << '\t'
                   << (record.raw ? "raw" : "-") << '\n';
        io.out << records.size() << " records" << Qt::endl;
        printTree(tree, 0, io);
        io.out.flush();
        return 0;
    });

} // namespace
