#include "Pellmar/media/CardCopy.h"

#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/PartialOutput.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 corruptionOffset = 64 * 1024 + 1;

// The hidden temporary name of a copy under way is ".NAME.importing-" and 32 hex digits.
const QString importingMark = QStringLiteral(".importing-");

// Whether a file's descriptor can be linked into a folder by its /proc name, which an unnamed
// temporary file needs.
bool canLinkUnnamedFiles()
{
    static const bool procMounted = ::access("/proc/self/fd", X_OK) == 0;
    return procMounted;
}

bool exists(const QString& path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

bool writeAll(int descriptor, const char* data, qint64 size, const QString& cardPath)
{
    while (size > 0) {
        if (CopyWriteFaultInjection::active()) {
            if (const int error = CopyWriteFaultInjection::errorFor(cardPath)) {
                errno = error;
                return false;
            }
        }
        const ssize_t written = ::write(descriptor, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

bool copyContents(int from, int to, const QString& cardPath)
{
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 read = readFully(from, buffer);
        if (read < 0)
            return false;
        if (read == 0)
            return true;
        if (!writeAll(to, buffer.constData(), read, cardPath))
            return false;
    }
}

void corruptForTests(int descriptor, const QString& cardPath)
{
    if (!CopyCorruptionInjection::active() || CopyCorruptionInjection::errorFor(cardPath) == 0)
        return;
    char byte = 0;
    if (::pread(descriptor, &byte, 1, corruptionOffset) == 1) {
        byte = char(byte ^ 0x5a);
        [[maybe_unused]] const ssize_t written = ::pwrite(descriptor, &byte, 1, corruptionOffset);
    }
}

// Moves the temporary file to the first free name; never replaces a file that appears meanwhile.
std::optional<QString> moveIntoPlace(int folder, const QByteArray& temporary, const QString& folderPath,
                                     const QString& name)
{
    for (;;) {
        const QString target = uniqueDestination(folderPath, name);
        const QByteArray targetName = QFile::encodeName(QFileInfo(target).fileName());
        if (::renameat2(folder, temporary.constData(), folder, targetName.constData(), RENAME_NOREPLACE) == 0)
            return target;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return std::nullopt;
        // A file system without the no-replace move: a hard link never replaces either.
        if (::linkat(folder, temporary.constData(), folder, targetName.constData(), 0) == 0) {
            ::unlinkat(folder, temporary.constData(), 0);
            return target;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
}

// Links the unnamed copy into the folder under the first free name; a link never replaces a file.
std::optional<QString> linkIntoPlace(int copy, int folder, const QString& folderPath, const QString& name)
{
    const QByteArray copyPath = "/proc/self/fd/" + QByteArray::number(copy);
    for (;;) {
        const QString target = uniqueDestination(folderPath, name);
        const QByteArray targetName = QFile::encodeName(QFileInfo(target).fileName());
        if (::linkat(AT_FDCWD, copyPath.constData(), folder, targetName.constData(), AT_SYMLINK_FOLLOW) == 0)
            return target;
        if (errno != EEXIST)
            return std::nullopt;
    }
}

} // namespace

QString uniqueDestination(const QString& folder, const QString& name)
{
    const QDir directory(folder);
    const QString first = directory.filePath(name);
    if (!exists(first))
        return first;
    // A leading dot starts a hidden name, not an extension.
    const qsizetype dot = name.lastIndexOf(u'.');
    const bool hasExtension = dot > 0 && dot < name.size() - 1;
    const QString base = hasExtension ? name.left(dot) : name;
    const QString extension = hasExtension ? name.mid(dot) : QString();
    for (qint64 n = 2;; ++n) {
        const QString candidate = directory.filePath(base + u' ' + QString::number(n) + extension);
        if (!exists(candidate))
            return candidate;
    }
}

std::optional<QString> copyIntoFolder(const CardFile& file, const QString& folderPath)
{
    if (!QDir().mkpath(folderPath))
        return std::nullopt;
    const RegularFile card(file.url);
    const FileDescriptor folder(::open(QFile::encodeName(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!card.isOpen() || !folder.isOpen())
        return std::nullopt;

    const QString name = QFileInfo(file.url).fileName();
    // An unnamed file, where the file system has them, leaves nothing behind when the program dies
    // before the copy is linked in; elsewhere a hidden temporary name does, until the next import.
    QByteArray temporary;
    FileDescriptor copy(canLinkUnnamedFiles() ? ::openat(folder.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666) : -1);
    if (!copy.isOpen()) {
        temporary = QFile::encodeName(u'.' + name + importingMark + QUuid::createUuid().toString(QUuid::Id128));
        copy = FileDescriptor(::openat(folder.get(), temporary.constData(),
                                       O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    }
    if (!copy.isOpen())
        return std::nullopt;

    const double seconds = std::floor(file.modified);
    const timespec modified[2] = {{0, UTIME_OMIT}, {time_t(seconds), long((file.modified - seconds) * 1e9)}};
    bool written = copyContents(card.descriptor(), copy.get(), file.url);
    if (written) {
        corruptForTests(copy.get(), file.url);
        ::futimens(copy.get(), modified);   // a date that cannot be set is no reason to fail
        written = ::fsync(copy.get()) == 0;
    }
    std::optional<QString> target;
    if (written) {
        target = temporary.isEmpty() ? linkIntoPlace(copy.get(), folder.get(), folderPath, name)
                                     : moveIntoPlace(folder.get(), temporary, folderPath, name);
    }
    if (!target) {
        const int error = errno;   // what the caller reports
        if (!temporary.isEmpty())
            ::unlinkat(folder.get(), temporary.constData(), 0);
        errno = error;
        return std::nullopt;
    }
    ::fsync(folder.get());
    return target;
}

namespace {

const timespec* keptTimes(const struct stat& status, timespec (&times)[2])
{
    times[0] = {0, UTIME_OMIT};
    times[1] = status.st_mtim;
    return times;
}

// Whether `folder` is `directory` or lies below it, links resolved.
bool isWithin(const QString& folder, const QString& directory)
{
    const QString inner = QFileInfo(folder).canonicalFilePath();
    const QString outer = QFileInfo(directory).canonicalFilePath();
    return !inner.isEmpty() && !outer.isEmpty() && (inner == outer || inner.startsWith(outer + u'/'));
}

std::optional<QString> copyLink(const QString& path, const QString& folder, const struct stat& status)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), target.data(), size_t(target.size()));
    if (length < 0 || length >= target.size())
        return std::nullopt;
    target.truncate(length);
    timespec times[2];
    for (;;) {
        const QString destination = uniqueDestination(folder, QFileInfo(path).fileName());
        const QByteArray name = QFile::encodeName(destination);
        if (::symlink(target.constData(), name.constData()) == 0) {
            ::utimensat(AT_FDCWD, name.constData(), keptTimes(status, times), AT_SYMLINK_NOFOLLOW);
            return destination;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
}

std::optional<QString> copyDirectory(const QString& path, const QString& folder, const struct stat& status)
{
    // A folder copied into itself would copy its own copy without end.
    if (!QDir().mkpath(folder) || isWithin(folder, path))
        return std::nullopt;
    QString destination;
    for (;;) {
        destination = uniqueDestination(folder, QFileInfo(path).fileName());
        if (::mkdir(QFile::encodeName(destination).constData(), 0777) == 0)
            break;
        if (errno != EEXIST)
            return std::nullopt;
    }
    const QStringList entries =
        QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        if (!copyEntryIntoFolder(QDir(path).filePath(entry), destination)) {
            // Nothing of a folder that could not be copied whole stays behind.
            QDir(destination).removeRecursively();
            return std::nullopt;
        }
    }
    timespec times[2];
    ::utimensat(AT_FDCWD, QFile::encodeName(destination).constData(), keptTimes(status, times), 0);
    return destination;
}

} // namespace

void removeInterruptedCopies(const QString& folder)
{
    static const QRegularExpression temporaryName(QStringLiteral("^\\..+\\.importing-[0-9a-f]{32}$"));
    removeLeftoverTemporaries(folder, temporaryName);
}

std::optional<QString> copyEntryIntoFolder(const QString& entry, const QString& folder)
{
    const QString path = QDir::cleanPath(entry);
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    if (S_ISLNK(status.st_mode))
        return copyLink(path, folder, status);
    if (S_ISDIR(status.st_mode))
        return copyDirectory(path, folder, status);
    if (!S_ISREG(status.st_mode))
        return std::nullopt;
    const double modified = double(status.st_mtim.tv_sec) + double(status.st_mtim.tv_nsec) / 1e9;
    return copyIntoFolder(CardFile{path, qint64(status.st_size), modified, MediaKind::document}, folder);
}
