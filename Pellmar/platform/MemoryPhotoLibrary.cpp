#include "Pellmar/platform/MemoryPhotoLibrary.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QPromise>

#include <algorithm>

namespace {

// Chunks of this size reach a data request's receiver, as a library streaming a file would send them.
constexpr qsizetype dataChunkSize = 16384;

} // namespace

void MemoryPhotoLibrary::addFolder(const QString& identifier, const std::optional<QString>& title, const QString& parent)
{
    QMutexLocker lock(&mutex_);
    collections_.append({PhotoCollection{identifier, title, true, PhotoCollection::folderType,
                                         PhotoCollection::regularFolderSubtype},
                         parent, {}});
}

void MemoryPhotoLibrary::addAlbum(const QString& identifier, const std::optional<QString>& title, const QString& parent,
                                  qint64 type, qint64 subtype)
{
    QMutexLocker lock(&mutex_);
    collections_.append({PhotoCollection{identifier, title, false, type, subtype}, parent, {}});
}

void MemoryPhotoLibrary::addAsset(const PhotoAsset& asset, const QList<Resource>& resources, const QImage& rendering)
{
    QMutexLocker lock(&mutex_);
    if (!assets_.contains(asset.localIdentifier))
        assetOrder_.append(asset.localIdentifier);
    assets_.insert(asset.localIdentifier, StoredAsset{asset, resources, rendering, {}, {}});
}

void MemoryPhotoLibrary::addToAlbum(const QString& albumIdentifier, const QStringList& assetIdentifiers)
{
    QMutexLocker lock(&mutex_);
    for (StoredCollection& stored : collections_)
        if (stored.collection.localIdentifier == albumIdentifier && !stored.collection.isFolder)
            for (const QString& asset : assetIdentifiers)
                if (!stored.members.contains(asset))
                    stored.members.append(asset);
}

void MemoryPhotoLibrary::removeCollection(const QString& identifier)
{
    QMutexLocker lock(&mutex_);
    collections_.removeIf([&](const StoredCollection& stored) { return stored.collection.localIdentifier == identifier; });
}

void MemoryPhotoLibrary::setAuthorizationStatus(PhotoAuthorizationStatus status)
{
    QMutexLocker lock(&mutex_);
    status_ = status;
}

void MemoryPhotoLibrary::setAnswerToRequest(PhotoAuthorizationStatus status)
{
    QMutexLocker lock(&mutex_);
    answerToRequest_ = status;
}

void MemoryPhotoLibrary::setReadable(bool readable)
{
    QMutexLocker lock(&mutex_);
    readable_ = readable;
}

void MemoryPhotoLibrary::failNextChange(const PhotoLibraryError& error)
{
    QMutexLocker lock(&mutex_);
    nextChangeError_ = error;
}

void MemoryPhotoLibrary::failDataRequests(const QString& assetIdentifier, const PhotoLibraryError& error)
{
    QMutexLocker lock(&mutex_);
    if (assets_.contains(assetIdentifier))
        assets_[assetIdentifier].dataError = error;
}

void MemoryPhotoLibrary::raiseChangeNotice()
{
    observers_.notify();
}

void MemoryPhotoLibrary::setVideoFile(const QString& assetIdentifier, const QString& path)
{
    QMutexLocker lock(&mutex_);
    if (assets_.contains(assetIdentifier))
        assets_[assetIdentifier].videoFile = path;
}

PhotoAuthorizationStatus MemoryPhotoLibrary::authorizationStatus() const
{
    QMutexLocker lock(&mutex_);
    return status_;
}

void MemoryPhotoLibrary::requestAuthorization(std::function<void(PhotoAuthorizationStatus)> answered)
{
    PhotoAuthorizationStatus status;
    {
        QMutexLocker lock(&mutex_);
        if (status_ == PhotoAuthorizationStatus::notDetermined)
            status_ = answerToRequest_;
        status = status_;
    }
    answered(status);
}

bool MemoryPhotoLibrary::isReadable() const
{
    QMutexLocker lock(&mutex_);
    return readable_;
}

QList<PhotoCollection> MemoryPhotoLibrary::collectionsIn(const QString& parent) const
{
    QList<PhotoCollection> found;
    for (const StoredCollection& stored : collections_)
        if (stored.parent == parent)
            found.append(stored.collection);
    return found;
}

QList<PhotoCollection> MemoryPhotoLibrary::fetchTopLevelUserCollections() const
{
    QMutexLocker lock(&mutex_);
    return collectionsIn({});
}

QList<PhotoCollection> MemoryPhotoLibrary::fetchCollections(const QString& folderIdentifier) const
{
    QMutexLocker lock(&mutex_);
    const bool isFolder = std::ranges::any_of(collections_, [&](const StoredCollection& stored) {
        return stored.collection.isFolder && stored.collection.localIdentifier == folderIdentifier;
    });
    return isFolder ? collectionsIn(folderIdentifier) : QList<PhotoCollection>();
}

QList<PhotoCollection> MemoryPhotoLibrary::collectionsWith(const QStringList& identifiers, bool folders) const
{
    QMutexLocker lock(&mutex_);
    QList<PhotoCollection> found;
    for (const QString& identifier : identifiers)
        for (const StoredCollection& stored : collections_)
            if (stored.collection.localIdentifier == identifier && stored.collection.isFolder == folders)
                found.append(stored.collection);
    return found;
}

QList<PhotoCollection> MemoryPhotoLibrary::fetchAlbums(const QStringList& identifiers) const
{
    return collectionsWith(identifiers, false);
}

QList<PhotoCollection> MemoryPhotoLibrary::fetchFolders(const QStringList& identifiers) const
{
    return collectionsWith(identifiers, true);
}

QList<PhotoAsset> MemoryPhotoLibrary::ordered(const QStringList& identifiers, const PhotoAssetFetchOptions& options) const
{
    QList<PhotoAsset> found;
    for (const QString& identifier : identifiers) {
        const PhotoAsset& asset = assets_[identifier].asset;
        if (options.mediaTypes.isEmpty() || options.mediaTypes.contains(asset.mediaType))
            found.append(asset);
    }
    if (options.oldestFirst)
        std::ranges::stable_sort(found, {}, [](const PhotoAsset& asset) { return asset.creationDate; });
    return found;
}

QList<PhotoAsset> MemoryPhotoLibrary::fetchAssets(const PhotoAssetFetchOptions& options) const
{
    QMutexLocker lock(&mutex_);
    return ordered(assetOrder_, options);
}

QList<PhotoAsset> MemoryPhotoLibrary::fetchAssets(const QString& albumIdentifier, const PhotoAssetFetchOptions& options) const
{
    QMutexLocker lock(&mutex_);
    for (const StoredCollection& stored : collections_)
        if (stored.collection.localIdentifier == albumIdentifier && !stored.collection.isFolder) {
            QStringList members = stored.members;
            members.removeIf([&](const QString& member) { return !assets_.contains(member); });
            return ordered(members, options);
        }
    return {};
}

QList<PhotoAsset> MemoryPhotoLibrary::fetchAssets(const QStringList& identifiers) const
{
    QMutexLocker lock(&mutex_);
    QStringList known = identifiers;
    known.removeIf([&](const QString& identifier) { return !assets_.contains(identifier); });
    return ordered(known, {});
}

QList<PhotoAssetResource> MemoryPhotoLibrary::resources(const QString& assetIdentifier) const
{
    QMutexLocker lock(&mutex_);
    QList<PhotoAssetResource> found;
    const auto stored = assets_.constFind(assetIdentifier);
    if (stored == assets_.cend())
        return found;
    for (qsizetype index = 0; index < stored->resources.size(); ++index) {
        const Resource& resource = stored->resources[index];
        found.append({assetIdentifier, index, resource.type, resource.uniformTypeIdentifier, resource.originalFilename,
                      resource.fileSize});
    }
    return found;
}

void MemoryPhotoLibrary::requestData(const PhotoAssetResource& resource,
                                     const std::function<bool(const QByteArray& chunk)>& receive) const
{
    QByteArray data;
    {
        QMutexLocker lock(&mutex_);
        const auto stored = assets_.constFind(resource.assetLocalIdentifier);
        if (stored == assets_.cend() || resource.index < 0 || resource.index >= stored->resources.size())
            throw PhotoLibraryError(PhotoLibraryError::Code::notFound, QStringLiteral("The resource is not in the library."));
        if (stored->dataError)
            throw *stored->dataError;
        const Resource& held = stored->resources[resource.index];
        if (!held.onThisDevice)
            throw PhotoLibraryError(PhotoLibraryError::Code::networkAccessRequired,
                                    QStringLiteral("The data is not on this computer."));
        data = held.data;
    }
    for (qsizetype offset = 0; offset < data.size(); offset += dataChunkSize)
        if (!receive(data.mid(offset, dataChunkSize)))
            return;
}

std::optional<QImage> MemoryPhotoLibrary::requestImage(const QString& assetIdentifier, PhotoImageDeliveryMode,
                                                       int side) const
{
    QMutexLocker lock(&mutex_);
    const auto stored = assets_.constFind(assetIdentifier);
    if (stored == assets_.cend() || stored->rendering.isNull())
        return std::nullopt;
    return stored->rendering.scaled(side, side, Qt::KeepAspectRatio, Qt::FastTransformation);
}

std::optional<QString> MemoryPhotoLibrary::requestVideoFile(const QString& assetIdentifier) const
{
    QMutexLocker lock(&mutex_);
    const auto stored = assets_.constFind(assetIdentifier);
    if (stored == assets_.cend() || stored->videoFile.isEmpty())
        return std::nullopt;
    return stored->videoFile;
}

QFuture<void> MemoryPhotoLibrary::performChanges(std::function<void(PhotoLibraryChanges&)> block)
{
    QPromise<void> promise;
    QFuture<void> future = promise.future();
    promise.start();
    try {
        PhotoLibraryChanges changes;
        block(changes);
        apply(changes);
    } catch (...) {
        promise.setException(std::current_exception());
        promise.finish();
        return future;
    }
    promise.finish();
    observers_.notify();
    return future;
}

void MemoryPhotoLibrary::apply(const PhotoLibraryChanges& changes)
{
    // Everything that can fail happens before the first change: the failure leaves no trace.
    QHash<QString, QByteArray> imported;
    for (const auto& request : changes.requests())
        if (const auto* create = std::get_if<PhotoLibraryChanges::CreateAsset>(&request)) {
            QFile file(create->filePath);
            if (!file.open(QIODevice::ReadOnly))
                throw PhotoLibraryError(PhotoLibraryError::Code::fileUnreadable,
                                        QStringLiteral("The file %1 could not be read.").arg(create->filePath));
            imported.insert(create->localIdentifier, file.readAll());
        }

    QMutexLocker lock(&mutex_);
    if (nextChangeError_) {
        const PhotoLibraryError error = *nextChangeError_;
        nextChangeError_.reset();
        throw error;
    }
    for (const auto& request : changes.requests()) {
        if (const auto* album = std::get_if<PhotoLibraryChanges::CreateAlbum>(&request)) {
            collections_.append({PhotoCollection{album->localIdentifier, album->title}, {}, {}});
        } else if (const auto* create = std::get_if<PhotoLibraryChanges::CreateAsset>(&request)) {
            const QByteArray& data = imported[create->localIdentifier];
            const bool isVideo = create->resourceType == PhotoResourceType::video;
            PhotoAsset asset;
            asset.localIdentifier = create->localIdentifier;
            asset.mediaType = isVideo ? PhotoMediaType::video : PhotoMediaType::image;
            asset.creationDate = QFileInfo(create->filePath).lastModified().toMSecsSinceEpoch() / 1000.0;
            asset.modificationDate = QDateTime::currentMSecsSinceEpoch() / 1000.0;
            assetOrder_.append(asset.localIdentifier);
            assets_.insert(asset.localIdentifier,
                           StoredAsset{asset, {Resource{create->resourceType, {}, create->originalFilename, data.size(), data}},
                                       {}, {}, {}});
        } else if (const auto* add = std::get_if<PhotoLibraryChanges::AddAssets>(&request)) {
            for (StoredCollection& stored : collections_)
                if (stored.collection.localIdentifier == add->albumIdentifier && stored.collection.canAddAssets())
                    for (const QString& asset : add->assetIdentifiers)
                        if (assets_.contains(asset) && !stored.members.contains(asset))
                            stored.members.append(asset);
        } else if (const auto* favorite = std::get_if<PhotoLibraryChanges::SetFavorite>(&request)) {
            if (assets_.contains(favorite->assetIdentifier)) {
                PhotoAsset& asset = assets_[favorite->assetIdentifier].asset;
                asset.favorite = favorite->favorite;
                asset.modificationDate = QDateTime::currentMSecsSinceEpoch() / 1000.0;
            }
        }
    }
}

void MemoryPhotoLibrary::registerChangeObserver(std::weak_ptr<PhotoLibraryChangeObserver> observer)
{
    observers_.add(std::move(observer));
}
