#include "Pellmar/media/PhotosIndexing.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Hashing.h"
#include "Pellmar/index/Index.h"
#include "Pellmar/media/MediaInfo.h"
#include "Pellmar/media/SearchDate.h"
#include "Pellmar/media/SearchText.h"
#include "Pellmar/media/Thumbnails.h"

#include <QDir>
#include <QStringList>
#include <QUuid>

#include <exception>
#include <optional>

namespace {

// The resource that holds the asset's photo or video: the first of either type, else the first
// resource of any type; nothing when the asset has none.
std::optional<PhotoAssetResource> primaryResource(const PhotoLibrary& library, const QString& assetID)
{
    const QList<PhotoAssetResource> resources = library.resources(assetID);
    for (const PhotoAssetResource& resource : resources)
        if (resource.type == PhotoResourceType::photo || resource.type == PhotoResourceType::video)
            return resource;
    if (resources.isEmpty())
        return std::nullopt;
    return resources.first();
}

// At least the first `count` bytes of the resource (the whole file when it is shorter; possibly
// more, up to the end of the chunk that reached the count), or nothing when its data is not on
// this computer. Stops the request as soon as enough has arrived; other failures are thrown.
std::optional<QByteArray> head(const PhotoLibrary& library, const PhotoAssetResource& resource, qint64 count)
{
    QByteArray received;
    try {
        library.requestData(resource, [&](const QByteArray& chunk) {
            received.append(chunk);
            return received.size() < count;
        });
    } catch (const PhotoLibraryError& error) {
        if (error.code() == PhotoLibraryError::Code::networkAccessRequired)
            return std::nullopt;
        throw;
    }
    return received;
}

// The words a search finds the item by: its name, the album path of this copy, the source, the
// favorite mark, camera, lens, kind and capture date, leaving out the empty ones.
QString searchText(const Item& item, const QString& relativePath, const Source& source, bool favorite)
{
    QStringList words{item.filename,
                      folderWords(relativePath),
                      source.name,
                      favorite ? QStringLiteral("Favorite") : QString(),
                      item.camera,
                      item.lens,
                      kindWord(item.kind),
                      item.capturedAt ? searchDateFormatter().string(*item.capturedAt) : QString()};
    words.removeAll(QString());
    return words.join(u' ');
}

Item newItem(const QString& key, const PhotoAsset& asset, const QString& filename,
             const std::optional<QByteArray>& headBytes)
{
    const bool video = asset.mediaType == PhotoMediaType::video;
    Item item;
    item.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    item.quickHash = key;
    item.kind = video ? MediaKind::video : MediaKind::photo;
    item.filename = filename;
    item.capturedAt = asset.creationDate;
    item.width = asset.pixelWidth;
    item.height = asset.pixelHeight;
    item.duration = asset.duration;
    // Dates and pixel sizes come from the asset; the file only adds camera and lens.
    if (!video && headBytes) {
        const MediaInfo info = readImageMetadata(filename, headBytes);
        item.camera = info.camera;
        item.lens = info.lens;
    }
    return item;
}

struct SmallPicture {
    QString previewExtension;
    QString posterExtension;
};

// Writes the library's small rendering as the item's poster (a video) or preview (anything
// else); keeps the item's extensions when the library renders nothing.
SmallPicture writeSmallPicture(const PhotoLibrary& library, const PhotoAsset& asset, const Item& item,
                               const QString& itemID, const QString& previewFolder)
{
    SmallPicture picture{item.previewExtension, item.posterExtension};
    std::optional<QImage> image =
        library.requestImage(asset.localIdentifier, PhotoImageDeliveryMode::highQuality, photosPreviewSide);
    if (!image)
        image = library.requestImage(asset.localIdentifier, PhotoImageDeliveryMode::fastFormat, photosPreviewSide);
    if (!image)
        return picture;
    const QDir folder(previewFolder);
    if (asset.mediaType == PhotoMediaType::video) {
        writeImageFile(*image, folder.filePath(itemID + QStringLiteral(".poster.jpg")), ImageFileType::jpeg, 0.85);
        picture.posterExtension = QStringLiteral("jpg");
    } else {
        writeImageFile(*image, folder.filePath(itemID + QStringLiteral(".preview.jpg")), ImageFileType::jpeg, 0.8);
        picture.previewExtension = QStringLiteral("jpg");
    }
    return picture;
}

} // namespace

PhotoAsset fetchPhotosAsset(const PhotoLibrary& library, const QString& assetID)
{
    const QList<PhotoAsset> assets = library.fetchAssets(QStringList{assetID});
    if (assets.isEmpty())
        throw DatabaseError(QStringLiteral("no longer in the Photos library"));
    return assets.first();
}

void identifyPhotosFile(const Job& job, const Source& source, Index& index, const QString& previewFolder,
                        const PhotoLibrary& library)
{
    const qint64 failedReads = library.readFailures().count;
    try {
        const PhotoAsset asset = fetchPhotosAsset(library, job.assetID);
        const std::optional<PhotoAssetResource> resource = primaryResource(library, job.assetID);
        if (!resource)
            throw DatabaseError(QStringLiteral("no longer in the Photos library"));
        const QString filename = resource->originalFilename;
        const qint64 size = resource->fileSize.value_or(0);

        const qint64 headSize =
            asset.mediaType == PhotoMediaType::video ? quickHashPrefixLength : headByteBudget(filename);
        const std::optional<QByteArray> headBytes = head(library, *resource, headSize);
        const bool local = headBytes.has_value();
        const qint64 fileID = job.fileID;
        waitFor(index.run([=](Index& ix) { ix.updateFileSize(fileID, size, local); }));
        // Empty files share one quick hash; keyed by it they would all pass for copies of each other.
        if (headBytes && headBytes->isEmpty()) {
            waitFor(index.run([=](Index& ix) {
                ix.setFileState(fileID, QStringLiteral("empty file"), FileState::empty);
            }));
            return;
        }

        const QString placeholderKey = QStringLiteral("unhashed:") + job.assetID;
        const QString key = headBytes ? quickHash(filename, size, headBytes) : placeholderKey;
        const std::optional<Item> existing = waitFor(index.run([=](Index& ix) { return ix.itemByHash(key); }));
        const Item item = existing ? *existing : newItem(key, asset, filename, headBytes);
        const QString itemID = waitFor(index.run([=](Index& ix) { return ix.linkItem(fileID, key, item); }));
        // The item made while the asset's file was not on this computer goes once no file names it.
        if (key != placeholderKey)
            waitFor(index.run([=](Index& ix) { ix.dropOrphanItem(placeholderKey); }));

        SmallPicture picture{item.previewExtension, item.posterExtension};
        if (item.previewExtension.isEmpty() && item.posterExtension.isEmpty())
            picture = writeSmallPicture(library, asset, item, itemID, previewFolder);

        const QString text = searchText(item, job.relativePath, source, asset.favorite);
        waitFor(index.run([=](Index& ix) { ix.setSearchText(itemID, text); }));
        waitFor(index.run([=](Index& ix) {
            ix.markPreviewed(fileID, itemID, picture.previewExtension, picture.posterExtension);
        }));
    } catch (const std::exception& error) {
        // The library's own store failed to read: the asset says nothing wrong of itself, and stays
        // pending until the library reads again.
        if (library.readFailures().count != failedReads)
            return;
        const QString message = QString::fromUtf8(error.what());
        try {
            waitFor(index.run([fileID = job.fileID, message](Index& ix) {
                ix.setFileState(fileID, message, FileState::failed);
            }));
        } catch (const std::exception&) {
            // The index could not take the failure either; the file stays as it was.
        }
    }
}
