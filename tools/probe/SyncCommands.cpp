#include "tools/probe/ProbeLibrary.h"

#include "Pellmar/index/Index.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/Walkers.h"

#include <QDir>

namespace {

// sync DB SOURCE_ROOT: walks the folder into its source (added on first use) as a full scan does,
// and prints what changed; the rows are counted before they are written.
const ProbeCommand syncCommand(
    QStringLiteral("sync"), QStringLiteral("DB SOURCE_ROOT"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() != 2)
            return probeUsage(syncCommand, io);
        const QString rootPath = QDir::cleanPath(QDir::current().absoluteFilePath(args[1]));
        Index index(args[0]);
        waitFor(index.run([](Index& ix) { return ix.migrate(); }));
        const Source source = waitFor(index.run([rootPath](Index& ix) { return folderSourceFor(ix, rootPath); }));
        // The one test every scan goes through: an unmounted volume's empty mount folder is no sign
        // that its files were deleted.
        if (!isSourceAvailable(source)) {
            io.out << "source " << source.id << " is unavailable: its volume \"" << source.volumeName
                   << "\" is not mounted there; nothing deleted\n";
            io.out.flush();
            return 1;
        }

        ScanOptions options;
        options.collectFolders = true;
        options.knownMountPoints = waitFor(index.run([](Index& ix) { return ix.mountPoints(); }));
        const ScanResult walk = scanSource(source, QString(), options);
        const auto [stamps, written] = waitFor(index.run([&source, &walk](Index& ix) {
            ix.rememberMountPoints(walk.mountPoints);
            const Verification stamps = ix.fileStamps(walk.files, source.id);
            const qint64 written = ix.syncFiles(walk.files, source.id, walk.gaps);
            ix.replaceSourceFolderRows(walk.folders, source.id, walk.gaps);
            return std::pair(stamps, written);
        }));

        io.out << "source " << source.id << '\n'
               << "walked " << walk.files.size() << " files, " << walk.folders.size() << " folders\n"
               << "added " << stamps.added << ", reset " << stamps.changed << ", deleted "
               << (walk.gaps.unlistedFolders.isEmpty() && !walk.gaps.rootVanished ? QString::number(stamps.missing)
                                                                                   : QStringLiteral("(partial walk)"))
               << ", rows written " << written << '\n';
        for (const QString& folder : walk.gaps.unlistedFolders)
            io.out << "unreadable, kept: " << (folder.isEmpty() ? QStringLiteral("(root)") : folder) << '\n';
        if (walk.gaps.rootVanished)
            io.out << "root missing, nothing deleted\n";
        io.out.flush();
        return 0;
    });

} // namespace
