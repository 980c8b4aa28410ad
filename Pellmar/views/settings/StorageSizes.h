#pragma once

#include <QString>

// The disk space the index and the previews take, as allocated on disk. Reads the file system:
// never call it on the GUI thread.
struct StorageSizes {
    qint64 index = 0;      // "index.sqlite" with its "-wal" and "-shm" files
    qint64 previews = 0;   // every file below the previews folder

    bool operator==(const StorageSizes&) const = default;
};

// The blocks allocated to the file at `path` (not following a symbolic link), or 0 when it cannot
// be read.
qint64 allocatedSize(const QString& path);

// Files that are missing or cannot be read count 0; so does a missing previews folder.
StorageSizes measureStorage(const QString& supportDirectory, const QString& proxyDirectory);
