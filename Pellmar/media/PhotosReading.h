#pragma once

// Reading the photo library: access, change notices, the listing of every photo and video as the
// file records of the photo library source, and the tree of the user's folders and albums that
// the import destination chooser offers. Nothing here touches the index or throws; everything but
// the access request is synchronous and belongs off the GUI thread.
//
// A record's relative path is its album path ("Folder/Album", each title with "/" replaced by "-",
// "Untitled" for a collection without a title), "/" and the asset key (the local identifier with
// "/" replaced by "_"); an asset in no walked album has the asset key alone.

#include "Pellmar/index/Model.h"
#include "Pellmar/media/Walkers.h"
#include "Pellmar/platform/PhotoLibrary.h"

#include <QFuture>
#include <QList>
#include <QString>

#include <functional>

// Whether the program may read and write the library, without asking.
bool hasPhotosAccess(const PhotoLibrary& library);

// Asks for read-write access when the user has not decided yet; true when it is granted.
QFuture<bool> requestPhotosAuthorization(PhotoLibrary& library);

// Registered with the library by its owner; calls `changed`, from any thread, after every change.
class PhotosObserver : public PhotoLibraryChangeObserver {
public:
    explicit PhotosObserver(std::function<void()> changed);

    void photoLibraryDidChange() override;

private:
    const std::function<void()> changed_;
};

// Images and videos, oldest first: the options of every asset fetch of the listing.
PhotoAssetFetchOptions photosFetchOptions();

// One record per album that holds an asset, album by album in the order of the tree, each
// album's assets oldest first; then one record at the root for each asset in no walked album.
// The progress callback takes the number of records, every 500 records and once at the end.
QList<FileRecord> listPhotosAssets(const PhotoLibrary& library, const ScanProgress& progress = {});

// The user's folders and regular albums, each level sorted by name; logs, in the category
// "photos", the folder paths that occur more than once.
QList<PhotosNode> logDuplicateFolderNames(const PhotoLibrary& library);
