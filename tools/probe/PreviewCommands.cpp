#include "tools/probe/ProbeLibrary.h"

#include "Pellmar/library/engine/FullPreviewBuild.h"
#include "Pellmar/library/engine/FullPreviewWorker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

namespace {

// previews SUPPORT_DIR: renders the larger previews of every waiting item of the index in
// SUPPORT_DIR with the real renderers at the default settings, as the user's "now" asks, and
// prints how many items have theirs and the time taken.
const ProbeCommand previewsCommand(
    QStringLiteral("previews"), QStringLiteral("SUPPORT_DIR"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() != 1)
            return probeUsage(previewsCommand, io);
        if (!QFileInfo(args[0] + QStringLiteral("/index.sqlite")).isFile()) {
            io.err << "no index.sqlite in " << args[0] << Qt::endl;
            return 1;
        }
        // The renderers read their sizes from settings that outlive the Library.
        QTemporaryDir rendererSettings;
        const Defaults rendererDefaults(rendererSettings.filePath(QStringLiteral("Quorvin.conf")));
        ProbeLibrary probe(args[0], readyVolumeService(),
                           WorkerControl::Bodies{.fullPreviews = fullPreviewWorker(FullRenderers::system(rendererDefaults))});
        Library& library = *probe.library;
        library.setSources(waitFor(library.readIndex().run([](Index& index) { return index.sources(); })));

        QElapsedTimer timer;
        timer.start();
        library.workers().startFullWorker(true);
        while (library.fullWorker())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const FullStatus progress = waitFor(library.readIndex().run([](Index& index) { return index.fullPreviewProgress(); }));
        io.out << "larger previews " << progress.done << " of " << progress.total << ", "
               << QString::number(double(timer.nsecsElapsed()) / 1e9, 'f', 3) << " s" << Qt::endl;
        if (library.lastError())
            io.err << *library.lastError() << Qt::endl;
        return library.lastError() ? 1 : 0;
    });

} // namespace
