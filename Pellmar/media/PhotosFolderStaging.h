#pragma once

#include "Pellmar/platform/PhotoLibrary.h"

#include <QString>

// The folder-backed photo library's files on disk: the names inside the library folder, the
// locks that keep processes from writing at once, and the durable copies that stage a change
// until its rows commit.
namespace photosfolder {

inline constexpr qint64 dataChunkSize = 65536;

inline const QString databaseName = QStringLiteral("library.sqlite");
inline const QString originalsName = QStringLiteral("originals");
inline const QString stagingName = QStringLiteral("staging");
inline const QString stampName = QStringLiteral("changes");

// The folder of one asset's files: the UUID part of its identifier, which never holds "/".
QString assetFolderName(const QString& assetIdentifier);
// Where an asset folder of that name lies when it is in place, relative to the library.
QString originalsFolder(const QString& folderName);
QString safeFileName(const QString& name);

// An exclusive lock on a file, held until the object goes away; the other processes test it
// without waiting.
class FileLock {
public:
    FileLock(const QString& path, bool wait);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return descriptor_ >= 0; }

private:
    int descriptor_ = -1;
};

PhotoLibraryError storeFailed(const QString& what);
// Moves one asset's staged folder to its place among the originals. A folder that cannot be moved
// stays in staging, where the recovery finds it. Returns whether it moved.
bool moveToOriginals(const QString& libraryPath, const QString& stagedAssetFolder);
// Makes the names of a folder's entries durable, as fsync does for a file's data.
void syncFolder(const QString& folder);
// Copies a regular file and flushes the copy to the disk.
void copyFile(const QString& from, const QString& to);

} // namespace photosfolder
