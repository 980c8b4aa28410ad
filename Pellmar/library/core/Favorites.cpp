#include "Pellmar/library/Library.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosWriting.h"
#include "Pellmar/platform/PlaceWords.h"

void Library::setFavorites(bool on, const QList<Item>& items)
{
    for (const Item& item : items) {
        const bool current =
            photosAssetIDs(item) ? photoFavorites_.contains(item.id) : favorites_.contains(item.id);
        if (current != on)
            flipFavorite(item);
    }
}

void Library::flipFavorite(const Item& item)
{
    if (const std::optional<QStringList> assetIDs = photosAssetIDs(item)) {
        // The star of a photo library item changes only once the library has taken the change.
        Tasks::start(togglePhotosFavorite(*assetIDs, !photoFavorites_.contains(item.id), item));
        return;
    }
    const bool was = favorites_.contains(item.id);
    QSet<QString> changed = favorites_;
    if (was)
        changed.remove(item.id);
    else
        changed.insert(item.id);
    setFavorites(changed);
    Tasks::start(toggleFavorite(item, !was));
}

QCoro::Task<> Library::togglePhotosFavorite(QStringList assetIDs, bool on, Item item)
{
    const AliveGuard alive(this);
    try {
        co_await alive(setPhotosFavorite(*sharedPhotoLibrary(), assetIDs, on));
        co_await alive(index_->run([id = item.id, on](Index& index) { index.setPhotoFavorite(id, on); }));
    } catch (const std::exception& error) {
        setLastError(QString::fromUtf16(photoLibraryLabel) + QStringLiteral(" did not change the favorite for ") +
                     item.filename + QStringLiteral(". ") + QString::fromUtf8(error.what()));
        co_return;
    }
    QSet<QString> changed = photoFavorites_;
    if (on)
        changed.insert(item.id);
    else
        changed.remove(item.id);
    setPhotoFavorites(changed);
    co_await alive(recountFavorites());
}

QCoro::Task<> Library::toggleFavorite(Item item, bool on)
{
    const AliveGuard alive(this);
    try {
        co_await alive(index_->run([id = item.id, on, workspace = workspaceID_](Index& index) {
            index.setFavorite(id, on, workspace);
        }));
    } catch (const DatabaseError& error) {
        // The star keeps its new state until favorites are read again.
        setLastError(error.description());
    }
    co_await alive(recountFavorites());
}

QCoro::Task<> Library::recountFavorites()
{
    const AliveGuard alive(this);
    try {
        const qint64 count = co_await alive(
            readIndex_->run([workspace = workspaceID_, members = workspaceMembers()](Index& index) {
                return index.countFavorites(workspace, members);
            }));
        setFavoriteCount(count);
    } catch (const DatabaseError&) {
    }
    if (favoritesOnly_)
        co_await alive(search());
}
