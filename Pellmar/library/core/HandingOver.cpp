#include "Pellmar/library/Library.h"

#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/platform/Desktop.h"
#include "Pellmar/platform/PlaceWords.h"

#include <QCoroFuture>
#include <QFileInfo>

#include <algorithm>

namespace {

// The copies of an item as the index has them now; none when they cannot be read.
QCoro::Task<QList<Location>> freshLocations(Library* library, QString itemID)
{
    const AliveGuard alive(library);
    try {
        co_return co_await alive(library->readIndex().run([itemID](Index& index) {
            return Index::locationsOfItem(itemID, index.database());
        }));
    } catch (const DatabaseError&) {
        co_return QList<Location>();
    }
}

} // namespace

QCoro::Task<> Library::showInPhotos(Item item)
{
    const AliveGuard alive(this);
    const QList<Location> copies = co_await alive(freshLocations(this, item.id));
    const auto inPhotos = std::find_if(copies.cbegin(), copies.cend(),
                                       [](const Location& copy) { return !copy.assetID.isEmpty(); });
    if (inPhotos == copies.cend())
        co_return;
    // The photo library is a folder of ours: its original is a file the file manager can select.
    const std::optional<QString> original =
        co_await alive(pools_.run(Priority::userInitiated, [assetID = inPhotos->assetID]() -> std::optional<QString> {
            const std::shared_ptr<PhotoLibrary> photos = sharedPhotoLibrary();
            const auto* folder = dynamic_cast<const PhotosFolderLibrary*>(photos.get());
            return folder ? folder->originalFile(assetID) : std::nullopt;
        }));
    if (original) {
        desktop_->reveal(*original);
        co_return;
    }
    desktop_->open(defaultPhotosLibraryPath());
    setLastError(QString::fromUtf16(photoLibraryLabel) + QStringLiteral(" opened, but could not show ") + item.filename +
                 u'.');
}

bool Library::canShowInPhotos() const
{
    return dynamic_cast<const PhotosFolderLibrary*>(sharedPhotoLibrary().get()) != nullptr;
}

QCoro::Task<> Library::revealInFinder(Item item)
{
    const AliveGuard alive(this);
    const QList<Location> copies = co_await alive(freshLocations(this, item.id));
    const std::optional<Location> copy = co_await alive(reachableCopy(copies));
    if (const std::optional<QString> path = copy && copy->local ? url(*copy) : std::nullopt)
        desktop_->reveal(*path);
}

QCoro::Task<> Library::copyPaths(Item item)
{
    const AliveGuard alive(this);
    const QList<Location> copies = co_await alive(freshLocations(this, item.id));
    const std::optional<Location> copy = co_await alive(reachableCopy(copies));
    std::optional<QString> path = copy && copy->local ? url(*copy) : std::nullopt;
    if (!path) {
        // Where the file would be: the path stays useful while its drive is unplugged.
        const auto fileCopy = std::find_if(copies.cbegin(), copies.cend(),
                                           [](const Location& location) { return location.assetID.isEmpty(); });
        if (fileCopy != copies.cend()) {
            if (const std::optional<Source> source = sourceByID(fileCopy->sourceID))
                path = source->rootPath + u'/' + fileCopy->relativePath;
        }
    }
    if (path)
        desktop_->copyText(*path);
}

void Library::shareSelection(const QString& anchorKey)
{
    // What bestFileURL gives, found when the selection's files were looked at off the GUI thread.
    QStringList files;
    for (const Item& item : selectedItems()) {
        if (const std::optional<QString> path = fileFactsOf(item).shareFile)
            files.append(*path);
    }
    if (!files.isEmpty())
        share(files, anchorKey);
}

void Library::beginRename(const Item& item, const Location& location)
{
    setNewName(QFileInfo(location.relativePath).fileName());
    setRenaming(ItemCopy{item, location});
}
