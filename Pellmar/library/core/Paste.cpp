#include "Pellmar/library/Library.h"

#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/FolderCopy.h"
#include "Pellmar/platform/ClipboardFiles.h"
#include "Pellmar/platform/Desktop.h"

#include <QDir>
#include <QFileInfo>

bool Library::canPaste(const QString& sourceID, const QString& path) const
{
    const auto source = std::find_if(sources_.cbegin(), sources_.cend(),
                                     [&](const Source& known) { return known.id == sourceID; });
    if (source == sources_.cend() || source->kind != SourceKind::folder || !online_.contains(sourceID))
        return false;
    // The roots of the home folder, of the cloud folder and of a drive take no pastes.
    return !path.isEmpty() || source->placeRank() == 4;
}

void Library::revealFolder(const QString& sourceID, const QString& path)
{
    const std::optional<Source> source = sourceByID(sourceID);
    if (!source || source->kind != SourceKind::folder || !online_.contains(sourceID))
        return;
    desktop_->revealFolder(QDir(source->rootPath).filePath(path));
}

void Library::paste(const QString& sourceID, const QString& path)
{
    if (!canPaste(sourceID, path))
        return;
    const auto source = std::find_if(sources_.cbegin(), sources_.cend(),
                                     [&](const Source& known) { return known.id == sourceID; });
    const QStringList files = filesOnClipboard();
    if (files.isEmpty()) {
        setLastError(QStringLiteral("Copy a file first, then paste it here."));
        return;
    }
    Tasks::start(pasteFiles(files, QDir(source->rootPath).filePath(path), *source));
}

QCoro::Task<> Library::pasteFiles(QStringList files, QString folder, Source source)
{
    const AliveGuard alive(this);
    struct Outcome {
        QStringList failed;             // the names of what was not pasted
        std::optional<QString> stopped; // why the run stopped before its end
    };
    const Outcome outcome = co_await alive(pools_.run(Priority::userInitiated, [files, folder] {
        Outcome result;
        const CopyDestination destination(folder);
        for (const QString& file : files) {
            if (!result.stopped)
                result.stopped = destination.lost();
            if (result.stopped || !copyEntryIntoFolder(file, destination))
                result.failed.append(QFileInfo(file).fileName());
        }
        return result;
    }));
    const QString failed = outcome.failed.isEmpty()
                             ? QString()
                             : QStringLiteral("Could not paste ") + outcome.failed.join(QStringLiteral(", ")) + u'.';
    if (outcome.stopped)
        setLastError(*outcome.stopped + u' ' + failed);
    else if (!failed.isEmpty())
        setLastError(failed);
    co_await alive(scan(source));
}
