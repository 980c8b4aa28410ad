#pragma once

// Copying what was pasted into a folder: a file, a symbolic link (as a link) or a whole folder,
// entry by entry through open folders, so that names that are not valid UTF-8 are copied as the
// bytes they are. Blocks on the disk; callers run it off the GUI thread.

#include "Pellmar/media/CardCopy.h"

#include <QString>

#include <optional>

// Copies the entry at `path` into the destination under a free form of its name, modification
// times kept. Nothing when it failed, in which case nothing of it is left behind; a folder is never
// copied into itself or into a folder below it.
std::optional<QString> copyEntryIntoFolder(const QString& path, const CopyDestination& folder);
