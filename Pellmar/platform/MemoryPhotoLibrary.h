#pragma once

#include "Pellmar/platform/PhotoLibrary.h"

#include <QHash>
#include <QMutex>

// A photo library held in memory, for tests: they fill it with folders, albums and assets, script
// its access status and its failures, and raise change notices. It applies changes on the
// caller's thread and reads the files it imports into memory.
class MemoryPhotoLibrary : public PhotoLibrary {
public:
    struct Resource {
        PhotoResourceType type = PhotoResourceType::photo;
        QString uniformTypeIdentifier;
        QString originalFilename;
        std::optional<qint64> fileSize;
        QByteArray data;
        bool onThisDevice = true;   // false: data requests fail with networkAccessRequired
    };

    // Filling. A parent identifier names a folder; an empty one puts the collection at the top.
    void addFolder(const QString& identifier, const std::optional<QString>& title, const QString& parent = {});
    void addAlbum(const QString& identifier, const std::optional<QString>& title, const QString& parent = {},
                  qint64 type = PhotoCollection::albumType, qint64 subtype = PhotoCollection::regularAlbumSubtype);
    // A rendering, when given, is what image requests scale down.
    void addAsset(const PhotoAsset& asset, const QList<Resource>& resources = {}, const QImage& rendering = {});
    void addToAlbum(const QString& albumIdentifier, const QStringList& assetIdentifiers);
    // Takes the album, or folder, out of the tree, as when the user deletes it.
    void removeCollection(const QString& identifier);

    // Scripting.
    void setAuthorizationStatus(PhotoAuthorizationStatus status);
    // The status that a request turns an undecided status into (authorized unless set).
    void setAnswerToRequest(PhotoAuthorizationStatus status);
    // Whether the library answers as readable (true unless set).
    void setReadable(bool readable);
    // The next change fails with this error and changes nothing.
    void failNextChange(const PhotoLibraryError& error);
    // Data requests for the asset's resources fail with this error.
    void failDataRequests(const QString& assetIdentifier, const PhotoLibraryError& error);
    // Tells the observers that something changed, as the library does after a change by anyone.
    void raiseChangeNotice();

    // The file that video requests for the asset give.
    void setVideoFile(const QString& assetIdentifier, const QString& path);

    PhotoAuthorizationStatus authorizationStatus() const override;
    void requestAuthorization(std::function<void(PhotoAuthorizationStatus)> answered) override;
    bool isReadable() const override;
    ReadFailures readFailures() const override { return {}; }
    QList<PhotoCollection> fetchTopLevelUserCollections() const override;
    QList<PhotoCollection> fetchCollections(const QString& folderIdentifier) const override;
    QList<PhotoCollection> fetchAlbums(const QStringList& identifiers) const override;
    QList<PhotoCollection> fetchFolders(const QStringList& identifiers) const override;
    QList<PhotoAsset> fetchAssets(const PhotoAssetFetchOptions& options) const override;
    QList<PhotoAsset> fetchAssets(const QString& albumIdentifier, const PhotoAssetFetchOptions& options) const override;
    QList<PhotoAsset> fetchAssets(const QStringList& identifiers) const override;
    QList<PhotoAssetResource> resources(const QString& assetIdentifier) const override;
    void requestData(const PhotoAssetResource& resource,
                     const std::function<bool(const QByteArray& chunk)>& receive) const override;
    std::optional<QImage> requestImage(const QString& assetIdentifier, PhotoImageDeliveryMode mode,
                                       int side) const override;
    std::optional<QString> requestVideoFile(const QString& assetIdentifier) const override;
    QFuture<void> performChanges(std::function<void(PhotoLibraryChanges&)> block) override;
    void registerChangeObserver(std::weak_ptr<PhotoLibraryChangeObserver> observer) override;

private:
    struct StoredCollection {
        PhotoCollection collection;
        QString parent;
        QStringList members;   // assets of an album, in the order they were added
    };
    struct StoredAsset {
        PhotoAsset asset;
        QList<Resource> resources;
        QImage rendering;
        QString videoFile;
        std::optional<PhotoLibraryError> dataError;
    };

    QList<PhotoCollection> collectionsIn(const QString& parent) const;
    QList<PhotoCollection> collectionsWith(const QStringList& identifiers, bool folders) const;
    QList<PhotoAsset> ordered(const QStringList& identifiers, const PhotoAssetFetchOptions& options) const;
    void apply(const PhotoLibraryChanges& changes);

    mutable QMutex mutex_;
    PhotoAuthorizationStatus status_ = PhotoAuthorizationStatus::authorized;
    PhotoAuthorizationStatus answerToRequest_ = PhotoAuthorizationStatus::authorized;
    bool readable_ = true;
    std::optional<PhotoLibraryError> nextChangeError_;
    QList<StoredCollection> collections_;   // in the order they were added
    QStringList assetOrder_;
    QHash<QString, StoredAsset> assets_;
    PhotoChangeObservers observers_;
};
