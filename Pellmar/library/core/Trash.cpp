#include "Pellmar/library/Library.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/FileTrash.h"

#include <QFileInfo>

void Library::trashSelection()
{
    if (selectedIDs_.size() >= 2) {
        requestGroupTrash();
        return;
    }
    if (!selection_)
        return;
    // The selection's files were looked at off the GUI thread: a key press never waits for a drive.
    if (const std::optional<Location> copy = fileFactsOf(*selection_).reachable)
        requestTrash(*selection_, *copy);
}

namespace {

// Asks, or trashes, once the copies that would stay were compared with the one that goes: a copy
// that turned out to differ from them asks as the only copy of its own item.
QCoro::Task<> settleThenTrash(Library* library, Item item, Location location)
{
    const AliveGuard alive(library);
    const SettledCopy settled = co_await alive(library->settleCopy(item, location));
    if (library->defaults().boolean(QStringLiteral("confirmTrash")))
        library->setTrashing(ItemCopy{settled.item, location});
    else
        library->trash(settled.item, location);
}

// The same for a group: an item whose chosen copy turned out to have no equal copy among those it
// was compared with is left out, since "one copy of each" would take its only one.
QCoro::Task<> settleThenTrashGroup(Library* library, QList<ItemCopy> copies)
{
    const AliveGuard alive(library);
    QList<ItemCopy> kept;
    for (const ItemCopy& copy : copies) {
        const SettledCopy settled = co_await alive(library->settleCopy(copy.item, copy.location));
        if (!settled.separated || settled.equalCopies > 0)
            kept.append(ItemCopy{settled.item, copy.location});
    }
    if (kept.isEmpty())
        co_return;
    if (library->defaults().boolean(QStringLiteral("confirmTrash")))
        library->setTrashingGroup(kept);
    else
        co_await alive(library->moveToTrash(kept));
}

} // namespace

void Library::requestTrash(const Item& item, const Location& location)
{
    Tasks::start(settleThenTrash(this, item, location));
}

QList<ItemCopy> Library::trashableCopies() const
{
    QList<ItemCopy> copies;
    for (const Item& item : selectedItems()) {
        // The copy found when the selection's files were looked at, off the GUI thread (until
        // then, the first copy that has a path); the Trash refuses a file that has gone since.
        if (const std::optional<Location> copy = fileFactsOf(item).reachable) {
            const std::optional<Source> source = sourceByID(copy->sourceID);
            if (copy->local && copy->assetID.isEmpty() && source && source->kind == SourceKind::folder
                && online_.contains(source->id))
                copies.append(ItemCopy{item, *copy});
        }
    }
    return copies;
}

void Library::requestGroupTrash()
{
    const QList<ItemCopy> copies = trashableCopies();
    if (!copies.isEmpty())
        Tasks::start(settleThenTrashGroup(this, copies));
}

void Library::trash(const Item& item, const Location& location)
{
    Q_UNUSED(item);
    if (!location.local)
        return;
    if (const std::optional<QString> path = url(location))
        Tasks::start(trashFile(*path, location));
}

QCoro::Task<> Library::trashFile(QString path, Location location)
{
    const AliveGuard alive(this);
    if (const std::optional<QString> refusal =
            co_await alive(pools_.run(Priority::userInitiated, [path] { return moveFileToTrash(path); }))) {
        setLastError(QStringLiteral("Could not move ") + QFileInfo(path).fileName() + QStringLiteral(" to the Trash. ")
                     + *refusal);
        co_return;
    }
    co_await alive(forgetTrashed(location));
}

QCoro::Task<> Library::forgetTrashed(Location location)
{
    const AliveGuard alive(this);
    try {
        co_await alive(index_->run([id = location.id](Index& index) { index.deleteFile(id); }));
    } catch (const DatabaseError& error) {
        setLastError(error.description());
    }
    co_await alive(refreshAfterFileChange());
}

QCoro::Task<> Library::moveToTrash(QList<ItemCopy> copies)
{
    const AliveGuard alive(this);
    qint64 failures = 0;
    QString firstRefusal;   // the reason of the first file the Trash refused, with its name
    for (const ItemCopy& copy : copies) {
        const std::optional<QString> path = copy.location.local ? url(copy.location) : std::nullopt;
        if (!path)
            continue;
        if (const std::optional<QString> refusal =
                co_await alive(pools_.run(Priority::userInitiated, [path = *path] { return moveFileToTrash(path); }))) {
            if (firstRefusal.isEmpty())
                firstRefusal = QFileInfo(*path).fileName() + QStringLiteral(": ") + *refusal;
            ++failures;
            continue;
        }
        try {
            co_await alive(index_->run([id = copy.location.id](Index& index) { index.deleteFile(id); }));
        } catch (const DatabaseError&) {
            ++failures;
        }
    }
    const QString reason = firstRefusal.isEmpty() ? QString() : u' ' + firstRefusal;
    if (failures == 1)
        setLastError(QStringLiteral("1 file could not be moved to the Trash.") + reason);
    else if (failures > 1)
        setLastError(QString::number(failures) + QStringLiteral(" files could not be moved to the Trash.") + reason);
    select(std::nullopt);
    co_await alive(refreshAfterFileChange());
}
