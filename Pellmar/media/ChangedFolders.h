#pragma once

// Helpers of the library that look at the file system for it: the records of one changed folder
// of a folder source, the relink probe that finds a source's root on a remounted volume, and the
// test whether a path is one of the listed devices. They keep no state and write nothing.

#include "Pellmar/index/Index.h"
#include "Pellmar/index/Model.h"
#include "Pellmar/media/Walkers.h"
#include "Pellmar/platform/Volumes.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// Where a source whose root is gone lies now.
struct RelinkTarget {
    QString path;          // the new root path
    QString volumeName;    // the name of the volume it lies on
    QString volumePath;    // the root's path below the volume's mount point
    bool ambiguous = false; // more than one mounted volume holds a matching folder

    bool operator==(const RelinkTarget&) const = default;
};

// The mounted volumes the relink probe considers: those with a UUID, in mount-table order, each
// named after its mount folder when it has no name.
QList<MountedVolume> relinkVolumes(const Volumes& volumes = Volumes::system());

// The new root of a folder source whose root folder is gone (or is an empty mount point on another
// volume) and that lives on again on another mount of the same volume, at the same path below the
// mount point; nothing when the source needs or allows no relinking. For a source from before that
// path was kept, the part of its root after a folder named like its volume stands for it; without
// such a folder nothing is relinked, rather than the source widened to the whole drive.
std::optional<RelinkTarget> relinkCandidates(const Source& source, const QList<MountedVolume>& volumes);

// What one changed folder of a folder source holds now, with the paths of the index it replaces.
struct FolderRecords {
    QList<FileRecord> files;
    QSet<QString> knownFilePaths;     // the known file paths the files replace
    QList<FolderRecord> folders;
    QSet<QString> knownFolderPaths;   // the known folder paths the folders replace
    Index::WalkGaps gaps;             // what could not be read: the index keeps its rows there
    QStringList mountPoints;          // what the walks found on a device of their own (ScanResult)
};

// Walks one changed folder ("" for the root) again. `knownFiles` and `knownFolders` are the
// index's paths under it. Not deep: the folder's own files, and new subfolders in depth; the
// known files of subfolders that are still there are left alone. Deep: everything below it.
// A stop request ends the walks at their next folder; what they did not reach is a gap. The folders
// of drives that are away are gaps as well (ScanOptions::knownMountPoints).
FolderRecords folderRecords(const Source& source, const QString& folder, const QStringList& knownFiles,
                            const QStringList& knownFolders, bool deep, const StopRequest& stopRequested = {},
                            const QSet<QString>& knownMountPoints = {});

// A path's part below a mount point ("" for the mount point itself); nothing when the mount point
// is unknown (empty) or does not hold the path.
std::optional<QString> volumePathOf(const QString& path, const QString& mountPath);

// Whether the path is exactly the path of one of the devices.
bool isDevicePath(const QString& path, const QList<Device>& devices);
