#include "Pellmar/media/FolderCopy.h"

#include "Pellmar/index/RegularFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileDescriptor openFolderAt(int parent, const QByteArray& name)
{
    return FileDescriptor(::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// The names in an open folder as the bytes they are, in byte order; nothing when it cannot be read.
std::optional<QList<QByteArray>> entryNames(int folder)
{
    const int listing = ::dup(folder);
    DIR* directory = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!directory) {
        if (listing >= 0)
            ::close(listing);
        return std::nullopt;
    }
    QList<QByteArray> names;
    errno = 0;
    while (const dirent* entry = ::readdir(directory)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
        errno = 0;
    }
    const bool complete = errno == 0;
    ::closedir(directory);
    if (!complete)
        return std::nullopt;
    std::sort(names.begin(), names.end());
    return names;
}

// Removes an entry and, for a folder, everything in it.
void removeEntry(int parent, const QByteArray& name)
{
    const FileDescriptor folder = openFolderAt(parent, name);
    if (!folder.isOpen()) {
        ::unlinkat(parent, name.constData(), 0);
        return;
    }
    for (const QByteArray& entry : entryNames(folder.get()).value_or(QList<QByteArray>()))
        removeEntry(folder.get(), entry);
    ::unlinkat(parent, name.constData(), AT_REMOVEDIR);
}

// Whether the open folder `inner` is the folder with this status or lies below it.
bool liesWithin(int inner, const struct stat& outer)
{
    FileDescriptor current(::dup(inner));
    for (;;) {
        struct stat status {};
        if (!current.isOpen() || ::fstat(current.get(), &status) != 0)
            return true;   // cannot tell: refuse rather than copy without end
        if (status.st_dev == outer.st_dev && status.st_ino == outer.st_ino)
            return true;
        FileDescriptor parent = openFolderAt(current.get(), "..");
        struct stat parentStatus {};
        if (!parent.isOpen() || ::fstat(parent.get(), &parentStatus) != 0)
            return true;
        if (parentStatus.st_dev == status.st_dev && parentStatus.st_ino == status.st_ino)
            return false;   // the root
        current = std::move(parent);
    }
}

std::optional<QByteArray> copyEntry(int from, const QByteArray& name, int to, const QString& faultKey);

std::optional<QByteArray> copyLink(int from, const QByteArray& name, int to, const struct stat& status)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlinkat(from, name.constData(), target.data(), size_t(target.size()));
    if (length < 0 || length >= target.size())
        return std::nullopt;
    target.truncate(length);
    const timespec times[2] = {{0, UTIME_OMIT}, status.st_mtim};
    for (;;) {
        const QByteArray copy = freeName(to, name);
        if (::symlinkat(target.constData(), to, copy.constData()) == 0) {
            ::utimensat(to, copy.constData(), times, AT_SYMLINK_NOFOLLOW);
            return copy;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
}

std::optional<QByteArray> copyFolder(int from, const QByteArray& name, int to, const struct stat& status,
                                     const QString& faultKey)
{
    const FileDescriptor original = openFolderAt(from, name);
    if (!original.isOpen())
        return std::nullopt;
    const std::optional<QList<QByteArray>> entries = entryNames(original.get());
    if (!entries)
        return std::nullopt;
    QByteArray copy;
    for (;;) {
        copy = freeName(to, name);
        if (::mkdirat(to, copy.constData(), 0777) == 0)
            break;
        if (errno != EEXIST)
            return std::nullopt;
    }
    const FileDescriptor folder = openFolderAt(to, copy);
    bool whole = folder.isOpen();
    for (qsizetype i = 0; whole && i < entries->size(); ++i)
        whole = copyEntry(original.get(), entries->at(i), folder.get(), faultKey).has_value();
    if (!whole) {
        // Nothing of a folder that could not be copied whole stays behind.
        removeEntry(to, copy);
        return std::nullopt;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, status.st_mtim};
    ::futimens(folder.get(), times);
    return copy;
}

std::optional<QByteArray> copyEntry(int from, const QByteArray& name, int to, const QString& faultKey)
{
    struct stat status {};
    if (::fstatat(from, name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    if (S_ISLNK(status.st_mode))
        return copyLink(from, name, to, status);
    if (S_ISDIR(status.st_mode))
        return copyFolder(from, name, to, status, faultKey);
    const RegularFile file(from, name);
    if (!file.isOpen())
        return std::nullopt;
    return copyFileInto(file.descriptor(), to, name, file.status().st_mtim, faultKey);
}

} // namespace

std::optional<QString> copyEntryIntoFolder(const QString& entry, const CopyDestination& folder)
{
    const QString path = QDir::cleanPath(entry);
    const QFileInfo info(path);
    const FileDescriptor parent(
        ::open(QFile::encodeName(info.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const QByteArray name = QFile::encodeName(info.fileName());
    struct stat status {};
    if (!parent.isOpen() || folder.descriptor() < 0 || name.isEmpty()
        || ::fstatat(parent.get(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    // A folder copied into itself would copy its own copy without end.
    if (S_ISDIR(status.st_mode) && liesWithin(folder.descriptor(), status))
        return std::nullopt;
    const std::optional<QByteArray> copy = copyEntry(parent.get(), name, folder.descriptor(), path);
    if (!copy)
        return std::nullopt;
    ::fsync(folder.descriptor());
    return QDir(folder.path()).filePath(QFile::decodeName(*copy));
}
