#pragma once

// Copying a file into a folder without ever replacing a file there: each file is written into an
// unnamed file of the destination folder (or, where the file system has none, under a hidden
// temporary name there), flushed, and put in place under the first free name, so no partial file is
// ever visible under a real name. Blocks on the disk; callers run it off the GUI thread.

#include "Pellmar/index/Model.h"
#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/FaultInjection.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The folder a run copies into, held open from the start of the run. The run writes into this very
// folder and asks before each file whether its path still leads there: a folder that was removed or
// renamed, or whose drive was unplugged, is never made again (the empty mount folder a drive leaves
// would take the copies onto the computer's own disk).
class CopyDestination {
public:
    // Opens the folder at `path`; a missing folder is not created.
    explicit CopyDestination(QString path);

    const QString& path() const { return path_; }
    int descriptor() const { return folder_.get(); }
    // Why the run must stop, as the user reads it; nothing while the path still names the folder
    // opened (same device and inode).
    std::optional<QString> lost() const;

private:
    QString path_;
    FileDescriptor folder_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// Copies `file` into the destination under a free form of its name, with its modification date.
// The new file's path, or nothing when the copy failed, in which case nothing is left behind and
// errno says why.
std::optional<QString> copyIntoFolder(const CardFile& file, const CopyDestination& folder);

// Copies the regular file open as `from` into the open folder under a free form of `name` (bytes,
// so any name the file system holds), with the modification date given. The name it took, or
// nothing with nothing left behind. `faultKey` is the path fault injections are asked about.
std::optional<QByteArray> copyFileInto(int from, int folder, const QByteArray& name, const timespec& modified,
                                       const QString& faultKey);

// A free name for `name` in the open folder: the name itself, else "base 2.ext", "base 3.ext", ...
// (or "name 2" without an extension). Anything of that name, a dangling link too, makes it taken.
QByteArray freeName(int folder, const QByteArray& name);

// Removes the hidden temporaries that copies into `folder` left when an earlier run of the program
// died during them.
void removeInterruptedCopies(const QString& folder);

// Tests: a write of the copy fails with the returned errno (the card file's path is passed).
using CopyWriteFaultInjection = FaultInjection<struct CopyWriteFault>;
// Tests: while the function returns non-zero for the card file's path, the copy gets one byte
// changed past its first 64 KiB after it is written, as a failing disk would.
using CopyCorruptionInjection = FaultInjection<struct CopyCorruptionFault>;
