#pragma once

// Copying a file, or a whole folder, into a folder without ever replacing a file there: each file
// is written into an unnamed file of the destination folder (or, where the file system has none,
// under a hidden temporary name there), flushed, and put in place under the first free name, so no
// partial file is ever visible under a real name. Blocks
// on the disk; callers run it off the GUI thread.

#include "Pellmar/index/Model.h"
#include "Pellmar/media/FaultInjection.h"

#include <QString>

#include <optional>

// A free path for `name` in `folder`: the name itself, else "base 2.ext", "base 3.ext", ... (or
// "name 2" without an extension). Anything at a path, a dangling link too, makes it taken.
QString uniqueDestination(const QString& folder, const QString& name);

// Copies `file` into `folder` (created with its parents when missing) under a free form of its
// name, with its modification date. The new file's path, or nothing when the copy failed, in
// which case nothing is left behind and errno says why.
std::optional<QString> copyIntoFolder(const CardFile& file, const QString& folder);

// Removes the hidden temporaries that copies into `folder` left when an earlier run of the program
// died during them.
void removeInterruptedCopies(const QString& folder);

// Copies a file, a symbolic link (as a link) or a folder with everything in it into `folder` under
// a free form of its name, modification times kept. Nothing when it failed, in which case nothing
// of it is left behind; a folder is never copied into itself or into a folder below it.
std::optional<QString> copyEntryIntoFolder(const QString& path, const QString& folder);

// Tests: a write of the copy fails with the returned errno (the card file's path is passed).
using CopyWriteFaultInjection = FaultInjection<struct CopyWriteFault>;
// Tests: while the function returns non-zero for the card file's path, the copy gets one byte
// changed past its first 64 KiB after it is written, as a failing disk would.
using CopyCorruptionInjection = FaultInjection<struct CopyCorruptionFault>;
