#include "Pellmar/media/PhotosReading.h"

#include "Pellmar/index/IndexScope.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/Walkers.h"

#include <QHash>
#include <QMimeDatabase>
#include <QMimeType>
#include <QPromise>
#include <QSet>

#include <algorithm>
#include <map>
#include <memory>

namespace {

// Every MIME type of a camera RAW format descends from this one.
const QString rawImageMimeType = QStringLiteral("image/x-dcraw");
constexpr qint64 progressInterval = 500;

// What one listing builds; made afresh by every call.
struct PhotosListing {
    QList<FileRecord> records;
    QSet<QString> seen;
    QHash<QString, bool> rawByAsset;
    const ScanProgress& progress;
};

QString titleOf(const PhotoCollection& collection)
{
    return collection.localizedTitle.value_or(QStringLiteral("Untitled"));
}

bool isRawResource(const PhotoAssetResource& resource, const QMimeDatabase& mimeTypes)
{
    const QMimeType type = mimeTypes.mimeTypeForName(resource.uniformTypeIdentifier);
    if (type.isValid() && type.inherits(rawImageMimeType))
        return true;
    return rawExtensions().contains(pathExtension(resource.originalFilename).toLower());
}

bool isRawAsset(const PhotoLibrary& library, const PhotoAsset& asset)
{
    if (asset.mediaType != PhotoMediaType::image)
        return false;
    const QMimeDatabase mimeTypes;
    const QList<PhotoAssetResource> resources = library.resources(asset.localIdentifier);
    return std::ranges::any_of(resources, [&](const auto& resource) { return isRawResource(resource, mimeTypes); });
}

void photosFileRecord(const PhotoLibrary& library, const PhotoAsset& asset, const QString& albumPath,
                      PhotosListing& listing)
{
    const QString identifier = asset.localIdentifier;
    QString assetKey = identifier;
    assetKey.replace(QLatin1Char('/'), QLatin1Char('_'));

    auto cached = listing.rawByAsset.constFind(identifier);
    if (cached == listing.rawByAsset.cend())
        cached = listing.rawByAsset.insert(identifier, isRawAsset(library, asset));

    FileRecord record;
    record.relativePath = albumPath.isEmpty() ? assetKey : albumPath + QLatin1Char('/') + assetKey;
    record.modified = asset.modificationDate.value_or(asset.creationDate.value_or(distantPast));
    record.assetID = identifier;
    record.local = true;
    record.favorite = asset.favorite;
    record.subtype = asset.mediaSubtypes;
    record.raw = *cached;
    listing.records.append(record);
    listing.seen.insert(identifier);

    if (listing.progress && listing.records.size() % progressInterval == 0)
        listing.progress(listing.records.size());
}

void walkPhotosCollections(const PhotoLibrary& library, const QList<PhotoCollection>& collections,
                           const QString& parentPath, PhotosListing& listing)
{
    for (const PhotoCollection& collection : collections) {
        QString title = titleOf(collection);
        title.replace(QLatin1Char('/'), QLatin1Char('-'));
        const QString albumPath = parentPath.isEmpty() ? title : parentPath + QLatin1Char('/') + title;
        if (collection.isFolder) {
            walkPhotosCollections(library, library.fetchCollections(collection.localIdentifier), albumPath, listing);
        } else if (collection.type == PhotoCollection::albumType
                   && collection.subtype != PhotoCollection::sharedAlbumSubtype) {
            for (const PhotoAsset& asset : library.fetchAssets(collection.localIdentifier, photosFetchOptions()))
                photosFileRecord(library, asset, albumPath, listing);
        }
    }
}

QList<PhotosNode> photosAlbumTree(const PhotoLibrary& library, const QList<PhotoCollection>& collections,
                                  const QString& parentPath, QSet<QString>& taken)
{
    QList<PhotosNode> nodes;
    for (const PhotoCollection& collection : collections) {
        if (taken.contains(collection.localIdentifier))
            continue;
        taken.insert(collection.localIdentifier);
        const QString name = titleOf(collection);
        const QString path = parentPath.isEmpty() ? name : parentPath + QStringLiteral(" > ") + name;
        if (collection.isFolder) {
            nodes.append({collection.localIdentifier, name, path,
                          photosAlbumTree(library, library.fetchCollections(collection.localIdentifier), path, taken)});
        } else if (collection.type == PhotoCollection::albumType
                   && collection.subtype == PhotoCollection::regularAlbumSubtype) {
            nodes.append({collection.localIdentifier, name, path, std::nullopt});
        }
    }
    // Sorted as the index's trees are: ignoring case, numbers by their value, whatever the locale.
    std::ranges::stable_sort(nodes, [](const PhotosNode& a, const PhotosNode& b) { return treeNameLess(a.name, b.name); });
    return nodes;
}

QString photosFolderDescription(const PhotoLibrary& library, const PhotosNode& folder)
{
    const QList<PhotoCollection> found = library.fetchFolders({folder.id});
    const qint64 type = found.isEmpty() ? -1 : found.first().type;
    const qint64 subtype = found.isEmpty() ? -1 : found.first().subtype;
    return QStringLiteral("%1 type %2 subtype %3 albums %4")
        .arg(folder.id)
        .arg(type)
        .arg(subtype)
        .arg(folder.children ? folder.children->size() : 0);
}

} // namespace

bool hasPhotosAccess(const PhotoLibrary& library)
{
    return isPhotoAccessGranted(library.authorizationStatus());
}

QFuture<bool> requestPhotosAuthorization(PhotoLibrary& library)
{
    auto promise = std::make_shared<QPromise<bool>>();
    QFuture<bool> future = promise->future();
    promise->start();
    library.requestAuthorization([promise](PhotoAuthorizationStatus status) {
        promise->addResult(isPhotoAccessGranted(status));
        promise->finish();
    });
    return future;
}

PhotosObserver::PhotosObserver(std::function<void()> changed)
    : changed_(std::move(changed))
{
}

void PhotosObserver::photoLibraryDidChange()
{
    changed_();
}

PhotoAssetFetchOptions photosFetchOptions()
{
    return {{PhotoMediaType::image, PhotoMediaType::video}, true};
}

QList<FileRecord> listPhotosAssets(const PhotoLibrary& library, const ScanProgress& progress)
{
    PhotosListing listing{{}, {}, {}, progress};
    walkPhotosCollections(library, library.fetchTopLevelUserCollections(), QString(), listing);
    for (const PhotoAsset& asset : library.fetchAssets(photosFetchOptions()))
        if (!listing.seen.contains(asset.localIdentifier))
            photosFileRecord(library, asset, QString(), listing);
    if (progress)
        progress(listing.records.size());
    return listing.records;
}

QList<PhotosNode> logDuplicateFolderNames(const PhotoLibrary& library)
{
    QSet<QString> taken;
    const QList<PhotosNode> tree = photosAlbumTree(library, library.fetchTopLevelUserCollections(), QString(), taken);

    std::map<QString, QList<PhotosNode>> foldersByPath;
    QList<PhotosNode> stack = tree;
    while (!stack.isEmpty()) {
        const PhotosNode node = stack.takeLast();
        if (!node.children)
            continue;
        foldersByPath[node.path].append(node);
        stack.append(*node.children);
    }
    for (const auto& [path, folders] : foldersByPath) {
        if (folders.size() < 2)
            continue;
        QStringList descriptions;
        for (const PhotosNode& folder : folders)
            descriptions.append(photosFolderDescription(library, folder));
        qCInfo(logPhotos).noquote() << QStringLiteral("Photos has %1 folders named %2: %3")
                                           .arg(folders.size())
                                           .arg(path, descriptions.join(QStringLiteral("; ")));
    }
    return tree;
}
