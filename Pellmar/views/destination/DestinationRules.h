#pragma once

// The rules under the destination chooser: the photo library's albums grouped by folder with
// headings that tell equal folder paths apart, which subfolders of a folder the column browser
// lists, the location that holds a destination, the albums a search shows, and making a folder.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One heading of the album list and its albums.
struct AlbumGroup {
    QString id;
    QString name;
    QList<PhotosNode> albums;

    bool operator==(const AlbumGroup&) const = default;
};

namespace destination {

inline constexpr char16_t photosPlace[] = u"photos";
inline constexpr char16_t topAlbumsGroup[] = u"albums";

// "Albums" (the top-level albums) first, then one group per photo library folder, depth first,
// each holding its own direct albums. Groups of one name holding different numbers of albums get
// the count appended; names still equal are numbered from the second on.
QList<AlbumGroup> albumGroups(const QList<PhotosNode>& tree);

// The albums the list shows: the chosen group's while `filter` is blank, else every album of
// every group whose name holds the trimmed filter, ignoring case.
QList<PhotosNode> filterAlbums(const QList<AlbumGroup>& groups, const QString& groupID, const QString& filter);

// The album destination of a node: its id, and its path as the name.
ImportTarget albumTarget(const PhotosNode& node);

// Whether `path` is `root` or lies below it.
bool isAtOrBelow(const QString& path, const QString& root);

// The place that holds a destination: "photos" for an album or a new album; for a folder, the id
// of the location with the longest root that is the folder or holds it, the earlier on a tie.
std::optional<QString> rootKey(const ImportTarget& target, const QList<Source>& locations);

// The subfolders of `folder` that the column browser lists, by name as the file manager orders
// them (digits by value): no hidden entries, files or packages, and nothing that is, or lies
// below, one of `excluded` by its path, its cleaned path or its path with links resolved. A folder
// that cannot be read lists nothing. Reads the disk: never on the GUI thread.
QStringList folderListing(const QString& folder, const QStringList& excluded);

// The children of a listing whose names hold the trimmed filter (spaces and tabs), ignoring case;
// all of them for a blank filter.
QStringList filterFolders(const QStringList& folders, const QString& filter);

// Spaces and tabs off both ends; line breaks stay.
QString trimBlanks(const QString& text);

// Makes the folder `name` in `parent` (no missing parents). The new folder's path, or the text of
// the failure: a name with a slash or a leading dot is refused before the disk is touched.
struct CreatedFolder {
    QString path;
    QString error;
};
CreatedFolder createFolder(const QString& name, const QString& parent);

// The parent a new folder goes into: the destination folder when it is the location's root or
// lies below it, else the location's root.
QString newFolderParent(const std::optional<ImportTarget>& target, const QString& locationRoot);

} // namespace destination
