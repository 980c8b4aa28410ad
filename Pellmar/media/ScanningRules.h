#pragma once

// What of a folder source is indexed, whether a source can be read now, and on which volume a
// folder lies. Constant tables and stateless functions, safe on any thread; those that touch the
// file system block for their calls.

#include "Pellmar/index/Model.h"
#include "Pellmar/platform/Volumes.h"

#include <QByteArrayView>
#include <QSet>
#include <QString>

#include <optional>

// File-name extensions of camera RAW photos, lower case.
const QSet<QString>& rawExtensions();
// The folders directly in the home folder that a source rooted at the home folder indexes: the
// usual names and the names the user's desktop gives them (read once).
const QSet<QString>& homeSubfolderNames();
// Folder names never walked: dependencies, caches, temporary and build products. Exact case.
const QSet<QString>& skippedFolderNames();
// Names whose presence directly inside a folder marks a software project.
const QSet<QString>& projectMarkers();
// Extensions of photo-library folders, whose contents belong to their application, lower case.
const QSet<QString>& libraryBundleExtensions();
// Extensions of folders that are one document or application (packages), lower case.
const QSet<QString>& packageExtensions();

// The text after the last "." of a path's last component, as written; empty when the name has
// none or only a leading one (".profile").
QString pathExtension(const QString& path);
// A file name as read from a folder on disk; nothing, with a log line, when it is not UTF-8.
std::optional<QString> diskFileName(QByteArrayView name, QByteArrayView folderPath);
// Hidden on Linux: the name begins with ".".
bool isHiddenName(const QString& name);
// A folder with this name is a package, listed as one file and never walked.
bool isPackageName(const QString& name);
// Whether a folder of this name is passed over without looking inside: a hidden name, one of
// skippedFolderNames, a photo-library extension, or, directly in the home folder of a source rooted
// there (`homeLevel`), any name but homeSubfolderNames.
bool refusesFolderName(const QString& name, bool homeLevel = false);

struct VolumeIdentity {
    QString uuid;
    QString name;
    QString mountPath;

    bool operator==(const VolumeIdentity&) const = default;
};

// UUID, name and mount point of the volume that holds a path; empty texts when they cannot be read.
// For a volume without a readable UUID, what the mount table says of it (its file system type and
// mount source) stands in for the UUID.
VolumeIdentity volumeIdentity(const QString& path, const Volumes& volumes = Volumes::system());

// Whether a source can be read now: a folder source's root is a folder on the volume it was
// added from, known by its UUID or, for a volume without one, by its mount source, type and name
// together (any volume when none was recorded); the photo library when access is granted and it can be read. Every scan asks
// this first, so that an unmounted volume's empty mount folder never reads as its files deleted.
bool isSourceAvailable(const Source& source, const Volumes& volumes = Volumes::system());
// The ids of the sources that isSourceAvailable finds available now.
QSet<QString> availableSources(const QList<Source>& sources, const Volumes& volumes = Volumes::system());

// Whether a project marker exists directly inside the folder.
bool isProjectFolder(const QString& folderPath);

// Whether the folder or file at a relative path ("" for the root) of a source is indexed.
bool shouldIndexPath(const QString& relativePath, const Source& source);

// The kind of a file by its name's extension: photo, video or audio; nothing for anything else.
std::optional<MediaKind> mediaKindForExtension(const QString& path);
