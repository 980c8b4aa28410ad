#pragma once

// The walkers turn a folder source, or one folder of it, into the file and folder records the
// index stores, applying the scanning rules as they go. They only read; they never throw and never
// touch the index. What they cannot read they name in the result, so that an unplugged or failing
// drive is never mistaken for deleted files.

#include "Pellmar/index/Index.h"
#include "Pellmar/index/Model.h"
#include "Pellmar/index/WalkedFiles.h"
#include "Pellmar/media/FaultInjection.h"
#include "Pellmar/media/FolderDescriptors.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Takes the number of files found so far. Called on the walking thread; must return at once.
using ScanProgress = std::function<void(qint64 filesFound)>;
// Asked on the walking thread before each folder is listed; true stops the walk there. Must return
// at once (a cancellation token's isCancelled()).
using StopRequest = std::function<bool()>;

struct ScanOptions {
    bool deep = true;               // the whole subtree; otherwise the folder's direct entries
    bool collectFolders = false;    // also list the folders below the walked one (deep walks)
    ScanProgress progress;          // called every 500 files and once at the end; may be empty
    StopRequest stopRequested;      // may be empty: the walk then runs to its end
    // Folders that earlier walks found on a device of their own (absolute paths). One that is now an
    // empty folder on its parent's device is a drive that is away: the walk names it as unlisted,
    // like everything below it, so that the index keeps its rows.
    QSet<QString> knownMountPoints;
    // When set, a deep walk hands its files on in runs, in byte order of their paths, instead of
    // collecting them in the result. Called on the walking thread.
    std::function<void(FileBatch&&)> filesReady;
};

// What one walk saw, and what it could not see: folders it could not list in full (or that hold an
// entry it could not read), and whether the source's root was gone at the start or at the end of
// the walk (a drive unplugged or unmounted). The index keeps its rows below those gaps. A walk
// that was stopped names the folder it walked as unlisted, so nothing it did not reach is taken
// for deleted.
struct ScanResult {
    QList<FileRecord> files;        // in byte order of their paths for a deep walk of a folder source
    QList<FolderRecord> folders;    // in walking order
    Index::WalkGaps gaps;
    bool stopped = false;           // stopRequested answered true before the walk's end
    // The walked folder and the folders below it that lie on another device than their parent's
    // (absolute paths): drives mounted inside the source.
    QStringList mountPoints;
    // Why the source could not be read, for the user, when the walk knows more than "not connected".
    QString failure;
};

// The files (and, on request, the folders) of a source or of one folder of it. For the photo
// library source, its listing, or when the library cannot be read (or a read fails part way) no
// records and the root named as missing; the path, depth and folder request are not used then.
ScanResult scanSource(const Source& source, const QString& relativePath, const ScanOptions& options = {});

// Walks a whole folder source into packed runs for Index::syncFiles, and ends them with the walk's
// gaps, the root counted as gone when `available` (if given) says so at the end. The result holds
// everything but the files.
ScanResult walkPacked(const Source& source, WalkedFiles& walked, ScanOptions options,
                      const std::function<bool()>& available = {});

// The folders of a source or of one subtree of it, without files: the walked folder itself first
// (when the relative path is not empty and names a folder), then the admitted folders below it.
// Of the options, only stopRequested and knownMountPoints apply.
ScanResult scanSubtree(const Source& source, const QString& relativePath, const ScanOptions& options = {});

// The names of the folders directly inside a folder that the scanning rules admit, in listing order;
// empty when the folder is not there, nothing when it is there and cannot be listed in full.
std::optional<QStringList> listSubfolders(const QString& relativePath, const Source& source);

// The modification date of a file or folder (a symbolic link's own), or the distant past when it
// cannot be read.
double contentModificationDate(const QString& path);

// The byte size of a package: the sum of the sizes of every regular file below it, hidden ones
// included. Symbolic links are not followed.
qint64 packageSize(const QString& path);

// Opening a folder for listing fails, as on a failing drive (tests only).
using ListingFaultInjection = FaultInjection<struct FolderListingFault>;
// A folder for which the function returns a number other than 0 reads as lying on the device of that
// number (tests only): a drive mounted on a folder is that number for the folder and all below it.
using FolderDeviceInjection = FaultInjection<struct FolderDeviceFault>;
