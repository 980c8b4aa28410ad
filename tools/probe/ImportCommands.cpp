#include "tools/probe/ProbeLibrary.h"

#include "Pellmar/media/CardFiles.h"

#include <QDir>
#include <QFileInfo>

namespace {

// import SUPPORT_DIR CARD_DIR DEST_DIR [--delete]: lists the card's media files as the device list
// does (the folder need not be a mounted device), imports them all into DEST_DIR through the
// library, and prints the result.
const ProbeCommand importCommand(
    QStringLiteral("import"), QStringLiteral("SUPPORT_DIR CARD_DIR DEST_DIR [--delete]"),
    [](const QStringList& args, ProbeIo& io) {
        const bool deleteAfter = args.size() == 4 && args[3] == QStringLiteral("--delete");
        if (args.size() != 3 && !deleteAfter)
            return probeUsage(importCommand, io);
        const std::unique_ptr<ProbeLibrary> probe = ProbeLibrary::open(args[0], io);
        if (!probe)
            return 1;
        Library& library = *probe->library;

        const QString cardPath = QFileInfo(args[1]).absoluteFilePath();
        const Device device{cardPath, QDir(cardPath).dirName(), 0, 0};
        const QList<CardFile> files = scanCard(cardPath);
        io.out << files.size() << " media files on the card" << Qt::endl;
        if (files.isEmpty())
            return 0;

        library.startImport(files, device, QFileInfo(args[2]).absoluteFilePath(), deleteAfter);
        ProbeLibrary::finishTasks();
        const std::optional<ImportResult> result = library.importResult();
        if (result) {
            io.out << "imported " << result->count << ", deleted " << result->deleted
                   << (result->cancelled ? ", cancelled" : "") << " into " << result->folder.value_or(QString())
                   << Qt::endl;
        }
        if (library.lastError())
            io.out << "error: " << *library.lastError() << Qt::endl;
        return result && !library.lastError() ? 0 : 1;
    });

} // namespace
