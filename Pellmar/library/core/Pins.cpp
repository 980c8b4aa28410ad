#include "Pellmar/library/Library.h"

#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"

void Library::pin(const FolderNode& node)
{
    const QString key = node.key();
    QStringList keys = pinned_;
    if (!keys.removeOne(key))
        keys.append(key);
    setPinned(keys);
    Tasks::start(savePins(keys, workspaceID_));
}

QCoro::Task<> Library::savePins(QStringList keys, QString workspaceID)
{
    const AliveGuard alive(this);
    try {
        co_await alive(index_->run([keys, workspaceID](Index& index) { index.savePins(keys, workspaceID); }));
    } catch (const DatabaseError& error) {
        // The pins stay as the user made them; the next save stores the whole list again.
        setLastError(error.description());
    }
}
