#pragma once

#include "Pellmar/index/SerialExecutor.h"
#include "Pellmar/platform/PhotoLibrary.h"

#include <QMutex>
#include <QString>

#include <functional>
#include <memory>

class Database;
class DatabaseError;
class QThread;

// The photo library of this program, kept in a folder:
//   library.sqlite           folders, albums, assets, their resources and favorites
//   originals/<key>/<name>   the files it copied in; the files it was given stay where they were
//   staging/<change>/        copies of a change in progress, next to <change>.lock, which the
//                            process applying the change holds locked
// A change is copied into staging, committed in one transaction, then moved into originals.
// A process that dies on the way leaves a staging folder whose lock nobody holds; the next change
// or opening (in any process) moves its committed assets into place and deletes the rest, so the library
// holds either the whole asset or nothing of it. Several processes may use one library at once;
// every change rewrites the file "changes", which tells the observers in the other processes.
//
// A library that does not exist reads as an empty one; the first change creates it. Reads go through a
// read-only connection, and a change never writes into a database file it did not find well-formed
// (a file of zero bytes, a damaged page), so a damaged library stays as the user left it. The program
// always has access to it. It renders the images Qt can read; it renders no video.
class PhotosFolderLibrary : public PhotoLibrary {
public:
    explicit PhotosFolderLibrary(QString path);
    ~PhotosFolderLibrary() override;

    const QString& path() const { return path_; }

    // The points of a change at which a test may stop the process or make the change fail.
    enum class ChangeStage { copied, committed };
    void setChangeStageHook(std::function<void(ChangeStage)> hook);

    PhotoAuthorizationStatus authorizationStatus() const override;
    void requestAuthorization(std::function<void(PhotoAuthorizationStatus)> answered) override;
    // A library that does not exist yet is readable (and empty) while the folder it would be made
    // in is there; one whose database has gone or fails is not.
    bool isReadable() const override;
    ReadFailures readFailures() const override;
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
    // The file of the asset's first resource (its original) when it is on this computer.
    std::optional<QString> originalFile(const QString& assetIdentifier) const;
    QFuture<void> performChanges(std::function<void(PhotoLibraryChanges&)> block) override;
    void registerChangeObserver(std::weak_ptr<PhotoLibraryChangeObserver> observer) override;

private:
    struct StagedChange;

    // The connection, opened on first use: read-only for reads (nothing when the library does not
    // exist), read-write for a change, which creates a library that does not exist and throws
    // PhotoLibraryError writeFailed for a database that is not well-formed. Callers hold mutex_.
    enum class Access { read, write };
    Database* database(Access access) const;
    // Throws PhotoLibraryError writeFailed unless the file is a sound database of the library.
    void requireWellFormed(const QString& file) const;
    // Counts a failed read and logs it; callers do not hold mutex_.
    void noteReadFailure(const DatabaseError& error) const;
    QList<PhotoCollection> collections(const QString& where, const QStringList& values) const;
    // `from` ends in a WHERE clause; `ordinal` is the library's order of the rows.
    QList<PhotoAsset> assets(const QString& from, const QString& ordinal, const QStringList& values,
                             const PhotoAssetFetchOptions& options) const;
    // The path of a resource's file, empty when it is not on this computer; throws
    // PhotoLibraryError notFound when the library has no such resource.
    QString resourceFile(const QString& assetIdentifier, qint64 index) const;
    // The file of the asset's first resource of that type when it is on this computer, else empty.
    QString localFile(const QString& assetIdentifier, PhotoResourceType type) const;

    void apply(const PhotoLibraryChanges& changes);
    void commit(const PhotoLibraryChanges& changes, const StagedChange& staged);
    // Finishes or undoes the changes of processes that died while applying them. Callers hold mutex_.
    void recoverInterruptedChanges(Database& db) const;
    // Records a change in the file "changes" for the other processes' observers.
    void stampChange() const;
    // On the watch thread: tells the observers when another process has stamped a change.
    void noteStamp();

    const QString path_;
    mutable QMutex mutex_;   // guards the connection
    mutable std::unique_ptr<Database> database_;
    mutable bool writable_ = false;   // whether database_ was opened for changes
    mutable ReadFailures readFailures_;   // guarded by mutex_
    std::function<void(ChangeStage)> changeStageHook_;
    PhotoChangeObservers observers_;
    const QString instanceID_;   // begins each stamp of this library object
    QMutex watchMutex_;
    std::unique_ptr<QThread> watchThread_;
    QByteArray lastStamp_;       // watch thread only
    SerialExecutor changes_;   // declared last: finishes its changes before the rest goes away
};

// Where the program's photo library is: $QUORVIN_PHOTOS_LIBRARY, or "Photos Library.photoslibrary"
// in the user's Pictures folder.
QString defaultPhotosLibraryPath();

// The library the program reads and writes: the folder library at the default path unless another
// one was installed (tests install a MemoryPhotoLibrary).
std::shared_ptr<PhotoLibrary> sharedPhotoLibrary();
void setSharedPhotoLibrary(std::shared_ptr<PhotoLibrary> library);
