#include "Pellmar/library/Library.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/library/engine/SourceFolders.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/ChangedFolders.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/platform/FolderChooser.h"
#include "Pellmar/platform/VolumeService.h"

#include <QDir>
#include <QFileInfo>
#include <QPromise>
#include <QUuid>

// A folder on its way to becoming a source. The next request waits for `done`, so that a folder
// in or over the source the first one made is known as such, instead of making a second source
// over the same files.
struct FolderAddition {
    QPromise<void> done;
    std::optional<Source> source;   // set once the source is stored
};

namespace {

// Ends an addition once its source is known (before the walk, which can take long), and however
// its coroutine ends, so that nobody waits for it forever.
class AdditionEnd {
public:
    AdditionEnd(Library& library, QString path, std::shared_ptr<FolderAddition> addition)
        : library_(&library), path_(std::move(path)), addition_(std::move(addition))
    {
    }
    ~AdditionEnd() { finish(); }
    void finish()
    {
        if (finished_)
            return;
        finished_ = true;
        if (library_)
            library_->foldersBeingAdded.remove(path_);
        addition_->done.finish();
    }
    AdditionEnd(const AdditionEnd&) = delete;
    AdditionEnd& operator=(const AdditionEnd&) = delete;

private:
    QPointer<Library> library_;
    QString path_;
    std::shared_ptr<FolderAddition> addition_;
    bool finished_ = false;
};

} // namespace

void Library::addSource()
{
    if (!folderChooser_)
        return;
    folderChooser_->chooseFolder([self = QPointer<Library>(this)](const QString& path) {
        if (self)
            Tasks::start(self->indexFolder(path, std::nullopt));
    });
}

QCoro::Task<> Library::indexFolder(QString folder, std::optional<QString> name)
{
    const AliveGuard alive(this);
    const QString cleaned = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());

    // Additions run one at a time, in the order asked: whether a folder overlaps a source can only
    // be told once the sources added before it are there.
    QList<Source> added;
    while (!foldersBeingAdded.isEmpty()) {
        const std::shared_ptr<FolderAddition> pending = *foldersBeingAdded.cbegin();
        co_await alive(pending->done.future());
        if (pending->source)
            added.append(*pending->source);
    }
    const auto addition = std::make_shared<FolderAddition>();
    addition->done.start();
    foldersBeingAdded.insert(cleaned, addition);
    AdditionEnd end(*this, cleaned, addition);

    const SourceFolderCheck check =
        co_await alive(pools_.run(Priority::userInitiated, [cleaned] { return checkSourceFolder(cleaned); }));
    if (!check.problem.isEmpty()) {
        qCWarning(logWatch, "%s", qUtf8Printable(check.problem));
        setLastError(check.problem);
        co_return;
    }
    const QString path = check.path;
    const SourceOverlap overlap = sourceOverlap(path, sources_ + added);
    if (overlap.inside) {
        // The folder's files are already that source's: show the folder there and look at it again.
        if (overlap.inside->rootPath != path)
            setFilter(overlap.inside->id, QDir(overlap.inside->rootPath).relativeFilePath(path), std::nullopt);
        end.finish();
        co_await alive(scan(*overlap.inside));
        co_return;
    }
    if (!overlap.held.isEmpty()) {
        setLastError(holdsSourcesProblem(path, overlap.held));
        co_return;
    }

    const VolumeIdentity volume =
        co_await alive(pools_.run(Priority::userInitiated, [path, volumes = volumes_] { return volumeIdentity(path, *volumes); }));
    const Source source{QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(),
                        name ? *name : QFileInfo(path).fileName(),
                        path,
                        volume.uuid,
                        volume.name,
                        currentDate(),
                        SourceKind::folder,
                        volumePathOf(path, volume.mountPath)};
    try {
        co_await alive(index_->run([source](Index& index) { index.saveSource(source); }));
        addition->source = source;
        const auto current = std::find_if(workspaces_.cbegin(), workspaces_.cend(),
                                          [this](const Workspace& workspace) { return workspace.id == workspaceID_; });
        if (current != workspaces_.cend() && current->id != Index::everythingWorkspaceID) {
            Workspace widened = *current;
            widened.members.insert(source.id + u'|');
            co_await alive(index_->run([widened](Index& index) { index.saveWorkspace(widened); }));
        }
    } catch (const DatabaseError& error) {
        setLastError(error.description());
        co_return;
    }
    co_await alive(reload());
    end.finish();
    co_await alive(scan(source));
}
