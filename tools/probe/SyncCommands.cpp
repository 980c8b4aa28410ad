#include "tools/probe/ProbeLibrary.h"

#include "Pellmar/index/Index.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/Walkers.h"

#include <QDir>

namespace {

// sync DB SOURCE_ROOT: walks the folder into its source (added on first use) as a full scan does,
// and prints what changed.
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
        // The walk packs its files, and the index merges them with its rows afterwards, as a scan does.
        WalkedFiles files;
        const ScanResult walk = walkPacked(source, files, options);
        const Index::SyncCounts counts = waitFor(index.run([&files, &source](Index& ix) { return ix.syncFiles(files, source.id); }));
        waitFor(index.run([&source, &walk](Index& ix) {
            ix.rememberMountPoints(walk.mountPoints);
            ix.replaceSourceFolderRows(walk.folders, source.id, walk.gaps);
        }));

        io.out << "source " << source.id << '\n'
               << "walked " << counts.files << " files, " << walk.folders.size() << " folders\n"
               << "added " << counts.added << ", reset " << counts.reset << ", deleted " << counts.deleted
               << ", rows written " << counts.written() << '\n';
        for (const QString& folder : walk.gaps.unlistedFolders)
            io.out << "unreadable, kept: " << (folder.isEmpty() ? QStringLiteral("(root)") : folder) << '\n';
        if (walk.gaps.rootVanished)
            io.out << "root missing, nothing deleted\n";
        io.out.flush();
        return 0;
    });

} // namespace
