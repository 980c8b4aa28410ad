#pragma once

// The photo library of this computer, as the program sees it: folders and albums of the user,
// photo and video assets with their resources, favorites, renderings, and changes made in one
// all-or-nothing step. Two implementations stand behind this interface: a library kept in a folder
// (the real one, in the media layer) and MemoryPhotoLibrary, which tests fill by hand.
//
// Local identifiers are opaque texts that may contain "/". Dates are seconds since 1970.
// Every call is thread-safe. Fetches are quick snapshots; the data, image and video requests block
// their thread and belong on a worker thread, never on the GUI thread.

#include <QByteArray>
#include <QFuture>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

// The answer to whether the program may read and write the library.
enum class PhotoAuthorizationStatus : qint64 { notDetermined = 0, restricted = 1, denied = 2, authorized = 3, limited = 4 };

enum class PhotoMediaType : qint64 { unknown = 0, image = 1, video = 2, audio = 3 };

// What one resource of an asset holds: the photo, the video, or something that goes with them
// (the RAW file of a RAW and JPEG pair is an alternate photo).
enum class PhotoResourceType : qint64 { photo = 1, video = 2, audio = 3, alternatePhoto = 4 };

// Bits of PhotoAsset::mediaSubtypes.
inline constexpr qint64 photoSubtypeScreenshot = 4;

// A folder holds albums and folders; an album holds assets. The type and subtype tell the kinds
// of each apart.
struct PhotoCollection {
    // Album types and subtypes.
    static constexpr qint64 albumType = 1;           // an album the user fills
    static constexpr qint64 smartAlbumType = 2;      // an album the library fills by a rule
    static constexpr qint64 regularAlbumSubtype = 2;
    static constexpr qint64 sharedAlbumSubtype = 101;
    // Folder type and subtype.
    static constexpr qint64 folderType = 2;
    static constexpr qint64 regularFolderSubtype = 2;

    QString localIdentifier;
    std::optional<QString> localizedTitle;   // absent when the collection has no title
    bool isFolder = false;
    qint64 type = albumType;
    qint64 subtype = regularAlbumSubtype;

    // Only the user's own regular albums take new assets.
    bool canAddAssets() const { return !isFolder && type == albumType && subtype == regularAlbumSubtype; }

    bool operator==(const PhotoCollection&) const = default;
};

struct PhotoAsset {
    QString localIdentifier;
    PhotoMediaType mediaType = PhotoMediaType::image;
    qint64 mediaSubtypes = 0;
    std::optional<double> creationDate;
    std::optional<double> modificationDate;
    bool favorite = false;
    qint64 pixelWidth = 0;
    qint64 pixelHeight = 0;
    double duration = 0;

    bool operator==(const PhotoAsset&) const = default;
};

struct PhotoAssetResource {
    QString assetLocalIdentifier;
    qint64 index = 0;                  // its place among the asset's resources
    PhotoResourceType type = PhotoResourceType::photo;
    QString uniformTypeIdentifier;     // a MIME type name; may be empty or name no known type
    QString originalFilename;
    std::optional<qint64> fileSize;    // absent when the library does not know it

    bool operator==(const PhotoAssetResource&) const = default;
};

struct PhotoAssetFetchOptions {
    QList<PhotoMediaType> mediaTypes;  // empty: every type
    bool oldestFirst = false;          // by creation date, undated first; else in the library's order
};

enum class PhotoImageDeliveryMode : qint64 { highQuality = 1, fastFormat = 2 };

// The library's own error. Its description is the text the user sees.
class PhotoLibraryError : public std::exception {
public:
    enum class Code : qint64 {
        networkAccessRequired = 3164,  // the data is not on this computer
        fileUnreadable,                // a file to import cannot be read
        writeFailed,                   // the library could not store a change
        notFound,                      // a resource names nothing of the library
    };

    PhotoLibraryError(Code code, QString description);

    Code code() const { return code_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    Code code_;
    QString description_;
    QByteArray utf8_;
};

// One step of changes, recorded by a change block and applied by the library all at once, or
// not at all when any part fails. Creation requests return the local identifier that the new
// album or asset will have.
class PhotoLibraryChanges {
public:
    struct CreateAlbum {
        QString localIdentifier;
        QString title;
    };
    // A new asset made from a copy of a file; the file itself stays where it is.
    struct CreateAsset {
        QString localIdentifier;
        PhotoResourceType resourceType = PhotoResourceType::photo;
        QString filePath;
        QString originalFilename;
    };
    // Adding to an album that is gone by the time the change is applied adds nothing.
    struct AddAssets {
        QString albumIdentifier;
        QStringList assetIdentifiers;
    };
    // Changing an asset that is gone changes nothing.
    struct SetFavorite {
        QString assetIdentifier;
        bool favorite = false;
    };
    using Request = std::variant<CreateAlbum, CreateAsset, AddAssets, SetFavorite>;

    QString createAlbum(const QString& title);
    QString createAsset(PhotoResourceType resourceType, const QString& filePath, const QString& originalFilename);
    void addAssets(const QString& albumIdentifier, const QStringList& assetIdentifiers);
    void setFavorite(const QString& assetIdentifier, bool favorite);

    const std::vector<Request>& requests() const { return requests_; }

private:
    std::vector<Request> requests_;
};

class PhotoLibraryChangeObserver {
public:
    virtual ~PhotoLibraryChangeObserver() = default;
    // Called on a thread of the library's choosing after every change, whoever made it.
    virtual void photoLibraryDidChange() = 0;
};

class PhotoLibrary {
public:
    virtual ~PhotoLibrary() = default;

    // Access, for reading and writing alike.
    virtual PhotoAuthorizationStatus authorizationStatus() const = 0;
    // Asks the user when they have not decided yet; `answered` runs once, on any thread.
    virtual void requestAuthorization(std::function<void(PhotoAuthorizationStatus)> answered) = 0;
    // Whether what the library holds can be read now. When it cannot (its drive is not there, its
    // store fails), the fetches answer empty, which says nothing about what it holds.
    virtual bool isReadable() const = 0;
    // The reads of the library's store that failed since it was opened. A fetch that fails answers
    // empty or short, so a pass that sees the count change while it read has an incomplete listing
    // and takes the library as unreadable.
    struct ReadFailures {
        qint64 count = 0;
        QString lastError;   // the latest failure's text for the user; empty when none failed
    };
    virtual ReadFailures readFailures() const = 0;

    // The folders and albums at the top of the user's tree, in the library's order.
    virtual QList<PhotoCollection> fetchTopLevelUserCollections() const = 0;
    // The folders and albums inside a folder; none for anything else.
    virtual QList<PhotoCollection> fetchCollections(const QString& folderIdentifier) const = 0;
    // The albums, and the folders, with these identifiers, in the order of the identifiers;
    // identifiers that name nothing of that kind are left out.
    virtual QList<PhotoCollection> fetchAlbums(const QStringList& identifiers) const = 0;
    virtual QList<PhotoCollection> fetchFolders(const QStringList& identifiers) const = 0;

    virtual QList<PhotoAsset> fetchAssets(const PhotoAssetFetchOptions& options) const = 0;
    virtual QList<PhotoAsset> fetchAssets(const QString& albumIdentifier, const PhotoAssetFetchOptions& options) const = 0;
    // In the order of the identifiers; unknown identifiers are left out.
    virtual QList<PhotoAsset> fetchAssets(const QStringList& identifiers) const = 0;
    virtual QList<PhotoAssetResource> resources(const QString& assetIdentifier) const = 0;

    // Hands the resource's bytes to `receive`, chunk by chunk, on the calling thread, until the
    // end or until `receive` returns false. Never uses a network: throws PhotoLibraryError
    // networkAccessRequired when the data is not on this computer, and other codes on failure.
    virtual void requestData(const PhotoAssetResource& resource,
                             const std::function<bool(const QByteArray& chunk)>& receive) const = 0;
    // A rendering of the asset that fits in a square of `side` pixels, keeping its aspect ratio;
    // nothing when the library cannot render it from what is on this computer. Blocks.
    virtual std::optional<QImage> requestImage(const QString& assetIdentifier, PhotoImageDeliveryMode mode,
                                               int side) const = 0;
    // The path of the unedited video file when it is on this computer.
    virtual std::optional<QString> requestVideoFile(const QString& assetIdentifier) const = 0;

    // Runs `block` once, on a thread of the library's choosing, and applies the changes it
    // records in one step. The future fails with the block's exception or with a
    // PhotoLibraryError, and then nothing has changed; otherwise every observer is told.
    virtual QFuture<void> performChanges(std::function<void(PhotoLibraryChanges&)> block) = 0;

    // The library keeps the observer only as long as its owner does.
    virtual void registerChangeObserver(std::weak_ptr<PhotoLibraryChangeObserver> observer) = 0;
};

// The observers of one library: what both implementations share to tell them of a change.
class PhotoChangeObservers {
public:
    void add(std::weak_ptr<PhotoLibraryChangeObserver> observer);
    // Tells every observer still alive, on the calling thread; drops the others.
    void notify();

private:
    QMutex mutex_;
    std::vector<std::weak_ptr<PhotoLibraryChangeObserver>> observers_;
};

// Whether the status lets the program read and write the library.
bool isPhotoAccessGranted(PhotoAuthorizationStatus status);
