#include "Pellmar/media/PhotosWriting.h"

#include "Pellmar/index/Database.h"

#include <QFileInfo>

#include <memory>

QFuture<QString> createPhotosAlbum(PhotoLibrary& library, const QString& title)
{
    auto identifiers = std::make_shared<QStringList>();
    return library
        .performChanges([title, identifiers](PhotoLibraryChanges& changes) {
            identifiers->append(changes.createAlbum(title));
        })
        .then([identifiers] {
            if (identifiers->isEmpty())
                throw DatabaseError(QStringLiteral("Apple Photos did not create the album."));
            return identifiers->first();
        });
}

QFuture<void> addFilesToPhotos(PhotoLibrary& library, const QList<CardFile>& files,
                               const std::optional<QString>& albumID)
{
    return library.performChanges([&library, files, albumID](PhotoLibraryChanges& changes) {
        const QList<PhotoCollection> albums = albumID ? library.fetchAlbums({*albumID}) : QList<PhotoCollection>();
        QStringList placeholders;
        for (const CardFile& file : files) {
            const PhotoResourceType type = file.kind == MediaKind::video ? PhotoResourceType::video : PhotoResourceType::photo;
            placeholders.append(changes.createAsset(type, file.url, QFileInfo(file.url).fileName()));
        }
        if (!albums.isEmpty() && albums.first().canAddAssets())
            changes.addAssets(albums.first().localIdentifier, placeholders);
    });
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
