#include "Pellmar/media/PhotosWriting.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/platform/PlaceWords.h"

#include <QFileInfo>

#include <memory>

#include <fcntl.h>

QFuture<QString> createPhotosAlbum(PhotoLibrary& library, const QString& title)
{
    auto identifiers = std::make_shared<QStringList>();
    return library
        .performChanges([title, identifiers](PhotoLibraryChanges& changes) {
            identifiers->append(changes.createAlbum(title));
        })
        .then([identifiers] {
            if (identifiers->isEmpty())
                throw DatabaseError(QString::fromUtf16(photoLibraryLabel) + QStringLiteral(" did not create the album."));
            return identifiers->first();
        });
}

QFuture<QStringList> addFilesToPhotos(PhotoLibrary& library, const QList<CardFile>& files,
                                      const std::optional<QString>& albumID)
{
    auto placeholders = std::make_shared<QStringList>();
    return library
        .performChanges([&library, files, albumID, placeholders](PhotoLibraryChanges& changes) {
            const QList<PhotoCollection> albums = albumID ? library.fetchAlbums({*albumID}) : QList<PhotoCollection>();
            placeholders->clear();
            for (const CardFile& file : files) {
                const PhotoResourceType type = file.kind == MediaKind::video ? PhotoResourceType::video : PhotoResourceType::photo;
                placeholders->append(changes.createAsset(type, file.url, QFileInfo(file.url).fileName()));
            }
            if (!albums.isEmpty() && albums.first().canAddAssets())
                changes.addAssets(albums.first().localIdentifier, *placeholders);
        })
        .then([placeholders] { return *placeholders; });
}

bool photosOriginalMatches(const PhotoLibrary& library, const QString& assetID, const CardFile& file)
{
    const QList<PhotoAssetResource> resources = library.resources(assetID);
    const RegularFile card(file.url);
    if (resources.isEmpty() || !card.isOpen())
        return false;
    ::posix_fadvise(card.descriptor(), 0, 0, POSIX_FADV_DONTNEED);
    QByteArray cardBytes;
    qint64 compared = 0;
    bool same = true;
    try {
        library.requestData(resources.first(), [&](const QByteArray& chunk) {
            cardBytes.resize(chunk.size());
            same = readFully(card.descriptor(), cardBytes) == chunk.size() && cardBytes == chunk;
            compared += chunk.size();
            return same;
        });
    } catch (const PhotoLibraryError&) {
        return false;
    }
    QByteArray rest(1, Qt::Uninitialized);
    return same && compared == file.size && readFully(card.descriptor(), rest) == 0;
}

QFuture<void> setPhotosFavorite(PhotoLibrary& library, const QStringList& assetIDs, bool favorite)
{
    return library.performChanges([&library, assetIDs, favorite](PhotoLibraryChanges& changes) {
        const QList<PhotoAsset> assets = library.fetchAssets(assetIDs);
        if (assets.isEmpty())
            throw DatabaseError(QStringLiteral("The photo is no longer in the library."));
        for (const PhotoAsset& asset : assets)
            changes.setFavorite(asset.localIdentifier, favorite);
    });
}
