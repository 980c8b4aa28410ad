#include "Pellmar/library/Library.h"

#include "Pellmar/index/Database.h"
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

// A folder on its way to becoming a source. A second request for the same folder waits for
// `done` and then rescans the source the first one made, instead of making a second source over
// the same files.
struct FolderAddition {
    QPromise<void> done;
    std::optional<Source> source;   // set once the source is stored
};

namespace {

// Ends an addition however its coroutine ends, so that nobody waits for it forever.
class AdditionEnd {
public:
    AdditionEnd(Library& library, QString path, std::shared_ptr<FolderAddition> addition)
        : library_(&library), path_(std::move(path)), addition_(std::move(addition))
    {
    }
    ~AdditionEnd()
    {
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
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());

    while (const std::shared_ptr<FolderAddition> pending = foldersBeingAdded.value(path)) {
        co_await alive(pending->done.future());
        if (pending->source) {
            co_await alive(scan(*pending->source));
            co_return;
        }
    }
    const auto known = std::find_if(sources_.cbegin(), sources_.cend(),
                                     [&](const Source& source) { return source.rootPath == path; });
    if (known != sources_.cend()) {
        co_await alive(scan(*known));
        co_return;
    }

    const auto addition = std::make_shared<FolderAddition>();
    addition->done.start();
    foldersBeingAdded.insert(path, addition);
    const AdditionEnd end(*this, path, addition);

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
    co_await alive(scan(source));
}
