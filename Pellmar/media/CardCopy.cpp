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

// "base n.ext" for a name "base.ext", "name n" for a name without an extension; a leading dot
// starts a hidden name, not an extension.
QByteArray numberedName(const QByteArray& name, qint64 n)
{
    const qsizetype dot = name.lastIndexOf('.');
    const bool hasExtension = dot > 0 && dot < name.size() - 1;
    const QByteArray number = ' ' + QByteArray::number(n);
    return hasExtension ? name.left(dot) + number + name.mid(dot) : name + number;
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
std::optional<QByteArray> moveIntoPlace(int folder, const QByteArray& temporary, const QByteArray& name)
{
    for (;;) {
        const QByteArray targetName = freeName(folder, name);
        if (::renameat2(folder, temporary.constData(), folder, targetName.constData(), RENAME_NOREPLACE) == 0)
            return targetName;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return std::nullopt;
        // A file system without the no-replace move: a hard link never replaces either.
        if (::linkat(folder, temporary.constData(), folder, targetName.constData(), 0) == 0) {
            ::unlinkat(folder, temporary.constData(), 0);
            return targetName;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
}

// Links the unnamed copy into the folder under the first free name; a link never replaces a file.
std::optional<QByteArray> linkIntoPlace(int copy, int folder, const QByteArray& name)
{
    const QByteArray copyPath = "/proc/self/fd/" + QByteArray::number(copy);
    for (;;) {
        const QByteArray targetName = freeName(folder, name);
        if (::linkat(AT_FDCWD, copyPath.constData(), folder, targetName.constData(), AT_SYMLINK_FOLLOW) == 0)
            return targetName;
        if (errno != EEXIST)
            return std::nullopt;
    }
}

} // namespace

QByteArray freeName(int folder, const QByteArray& name)
{
    const auto taken = [folder](const QByteArray& candidate) {
        struct stat status {};
        return ::fstatat(folder, candidate.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    };
    if (!taken(name))
        return name;
    for (qint64 n = 2;; ++n) {
        const QByteArray candidate = numberedName(name, n);
        if (!taken(candidate))
            return candidate;
    }
}

CopyDestination::CopyDestination(QString path)
    : path_(std::move(path)),
      folder_(::open(QFile::encodeName(path_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    struct stat status {};
    if (folder_.isOpen() && ::fstat(folder_.get(), &status) == 0) {
        device_ = status.st_dev;
        inode_ = status.st_ino;
    } else {
        folder_ = FileDescriptor();
    }
}

std::optional<QString> CopyDestination::lost() const
{
    const QString name = QStringLiteral("“") + path_ + QStringLiteral("”");
    if (!folder_.isOpen())
        return QStringLiteral("The folder ") + name + QStringLiteral(" is not there, so nothing was copied into it.");
    struct stat status {};
    if (::stat(QFile::encodeName(path_).constData(), &status) != 0 || status.st_dev != device_ || status.st_ino != inode_)
        return QStringLiteral("The folder ") + name
             + QStringLiteral(" was moved or removed, or its drive was disconnected: nothing more was copied.");
    return std::nullopt;
}

std::optional<QByteArray> copyFileInto(int from, int folder, const QByteArray& name, const timespec& modified,
                                       const QString& faultKey)
{
    // An unnamed file, where the file system has them, leaves nothing behind when the program dies
    // before the copy is linked in; elsewhere a hidden temporary name does, until the next import.
    QByteArray temporary;
    FileDescriptor copy(canLinkUnnamedFiles() ? ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666) : -1);
    if (!copy.isOpen()) {
        temporary = '.' + name + importingMark.toLatin1() + QUuid::createUuid().toString(QUuid::Id128).toLatin1();
        copy = FileDescriptor(::openat(folder, temporary.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    }
    if (!copy.isOpen())
        return std::nullopt;

    const timespec times[2] = {{0, UTIME_OMIT}, modified};
    bool written = copyContents(from, copy.get(), faultKey);
    if (written) {
        corruptForTests(copy.get(), faultKey);
        ::futimens(copy.get(), times);   // a date that cannot be set is no reason to fail
        written = ::fsync(copy.get()) == 0;
    }
    std::optional<QByteArray> target;
    if (written)
        target = temporary.isEmpty() ? linkIntoPlace(copy.get(), folder, name) : moveIntoPlace(folder, temporary, name);
    if (!target) {
        const int error = errno;   // what the caller reports
        if (!temporary.isEmpty())
            ::unlinkat(folder, temporary.constData(), 0);
        errno = error;
        return std::nullopt;
    }
    ::fsync(folder);
    return target;
}

std::optional<QString> copyIntoFolder(const CardFile& file, const CopyDestination& folder)
{
    const RegularFile card(file.url);
    if (!card.isOpen() || folder.descriptor() < 0)
        return std::nullopt;
    const double seconds = std::floor(file.modified);
    const timespec modified{time_t(seconds), long((file.modified - seconds) * 1e9)};
    const std::optional<QByteArray> name =
        copyFileInto(card.descriptor(), folder.descriptor(), QFile::encodeName(QFileInfo(file.url).fileName()), modified, file.url);
    if (!name)
        return std::nullopt;
    return QDir(folder.path()).filePath(QFile::decodeName(*name));
}

void removeInterruptedCopies(const QString& folder)
{
    static const QRegularExpression temporaryName(QStringLiteral("^\\..+\\.importing-[0-9a-f]{32}$"));
    removeLeftoverTemporaries(folder, temporaryName);
}
