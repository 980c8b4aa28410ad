#include "Pellmar/library/engine/ChangeWatcher.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/FileStamps.h"
#include "Pellmar/index/Index.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/FolderDescriptors.h"
#include "Pellmar/media/Walkers.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

// What a source's watcher cannot see: the changes made while the program was closed, or while its
// watches were being placed. A folder whose names changed has a new modification time, so only the
// folders whose time differs from the recorded one are listed again; a file changed in place leaves
// its folder's time alone and is found by the stamp pass, in small steps at background priority.

namespace {

// The stored files whose stamps one step of the stamp pass compares with the disk's.
constexpr qint64 stampStep = 2000;

QString parentOf(const QString& relativePath)
{
    const qsizetype slash = relativePath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : relativePath.left(slash);
}

QString absoluteIn(const QString& root, const QString& relativePath)
{
    return relativePath.isEmpty() ? root : root + QLatin1Char('/') + relativePath;
}

// The absolute paths of the folders whose names are not those the index recorded, with the root
// (whose time is not recorded). A new folder is listed in depth by its parent's listing; a recorded
// folder that is gone is dropped by its parent's.
QStringList differingFolders(const Source& source, const QHash<QString, double>& recorded, const ScanResult& walked)
{
    const QString root = QDir::cleanPath(source.rootPath);
    QSet<QString> found;
    QSet<QString> changed;
    for (const FolderRecord& folder : walked.folders) {
        found.insert(folder.relativePath);
        const auto stored = recorded.constFind(folder.relativePath);
        if (stored == recorded.cend() || *stored != folder.modified)
            changed.insert(folder.relativePath);
    }
    QStringList differing{root};
    for (const QString& folder : std::as_const(changed)) {
        const QString parent = parentOf(folder);
        const bool listedByParent = !recorded.contains(folder) && (parent.isEmpty() || changed.contains(parent));
        if (!listedByParent)
            differing.append(absoluteIn(root, folder));
    }
    for (auto stored = recorded.cbegin(); stored != recorded.cend(); ++stored) {
        const QString parent = parentOf(stored.key());
        if (!found.contains(stored.key()) && !walked.gaps.covers(stored.key()) && !parent.isEmpty()
            && found.contains(parent) && !changed.contains(parent))
            differing.append(absoluteIn(root, parent));
    }
    differing.removeDuplicates();
    return differing;
}

// Whether a file on disk still has the size and time the index stored for it. A package's size is
// that of its contents, so only its time is compared.
bool sameStamp(const QString& path, const Index::StoredFile& file)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    return sameTime(file.modified, secondsOf(status.st_mtim)) && (!S_ISREG(status.st_mode) || status.st_size == file.size);
}

} // namespace

QCoro::Task<std::optional<QStringList>> ChangeWatcher::foldersToCatchUp(Source source)
{
    const AliveGuard alive(this);
    QHash<QString, double> recorded;
    try {
        recorded = co_await alive(
            library_.readIndex().run([id = source.id](Index& index) { return index.folderStamps(id); }));
    } catch (const DatabaseError&) {
        co_return std::nullopt;
    }
    // Nothing recorded to compare with: the source's folders were never listed, or it has none.
    if (recorded.isEmpty())
        co_return std::nullopt;
    const CancelToken stop = listingStop_.token();
    co_return co_await alive(library_.pools().run(
        Priority::utility, [source, recorded = std::move(recorded), stop, known = library_.knownMountPoints] {
            ScanOptions options;
            options.stopRequested = [stop] { return stop.isCancelled(); };
            options.knownMountPoints = known;
            return std::optional(differingFolders(source, recorded, scanSubtree(source, QString(), options)));
        }));
}

void ChangeWatcher::startStampPass(const Source& source)
{
    if (const auto running = stampPasses_.constFind(source.id); running != stampPasses_.cend())
        running->cancel();
    TaskHandle handle;
    stampPasses_.insert(source.id, handle);
    Tasks::startLongLived(stampPassBody(source, handle));
}

QCoro::Task<> ChangeWatcher::stampPassBody(Source source, TaskHandle handle)
{
    const AliveGuard alive(this);
    const CancelToken token = handle.token();
    const QString root = QDir::cleanPath(source.rootPath);
    qint64 after = 0;
    qint64 checked = 0;
    QSet<QString> reported;
    while (!token.isCancelled() && library_.online().contains(source.id)) {
        QList<Index::StoredFile> step;
        try {
            step = co_await alive(library_.readIndex().run(
                [id = source.id, after](Index& index) { return index.fileStampsAfter(id, after, stampStep); }));
        } catch (const DatabaseError&) {
            break;
        }
        if (step.isEmpty())
            break;
        after = step.last().id;
        checked += step.size();
        const QStringList folders = co_await alive(library_.pools().run(Priority::background, [root, step, token] {
            QStringList differing;
            for (const Index::StoredFile& file : step) {
                if (token.isCancelled())
                    break;
                if (!sameStamp(absoluteIn(root, file.relativePath), file))
                    differing.append(absoluteIn(root, parentOf(file.relativePath)));
            }
            return differing;
        }));
        bool more = false;
        for (const QString& folder : folders) {
            if (reported.contains(folder))
                continue;
            reported.insert(folder);
            changedDirectories_[source.id].insert(folder);
            more = true;
        }
        if (more && !changeTask_)
            startChangeTask();
    }
    if (stampPasses_.value(source.id) == handle)
        stampPasses_.remove(source.id);
    qCInfo(logWatch, "compared the stamps of %ld files of %s, %ld folders to list again", long(checked),
           qUtf8Printable(source.name), long(reported.size()));
}
