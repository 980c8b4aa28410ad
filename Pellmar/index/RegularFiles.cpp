#include "Pellmar/index/RegularFiles.h"

#include "Pellmar/index/Database.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

FileError::FileError(const QString& path, int errorNumber)
    : std::runtime_error((path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errorNumber))).toStdString())
    , path_(path)
    , errorNumber_(errorNumber)
{
}

FileError::FileError(const QString& path, const QString& reason)
    : std::runtime_error((path + QStringLiteral(": ") + reason).toStdString())
    , path_(path)
    , errorNumber_(0)
{
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (descriptor_ >= 0)
            ::close(descriptor_);
        descriptor_ = other.release();
    }
    return *this;
}

FileDescriptor::~FileDescriptor()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

int FileDescriptor::release()
{
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
}

RegularFile::RegularFile(const QString& path)
    : path_(path)
{
    open(AT_FDCWD, QFile::encodeName(path), 0);
}

RegularFile::RegularFile(int folder, const QByteArray& name)
    : path_(QFile::decodeName(name))
{
    open(folder, name, O_NOFOLLOW);
}

void RegularFile::open(int folder, const QByteArray& path, int flags)
{
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
    FileDescriptor opened(::openat(folder, path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | flags));
    if (!opened.isOpen() || ::fstat(opened.get(), &status_) != 0) {
        errorNumber_ = errno;
        errorText_ = QString::fromLocal8Bit(std::strerror(errorNumber_));
        return;
    }
    if (!S_ISREG(status_.st_mode)) {
        errorText_ = QString::fromLatin1(notRegularFileText);
        return;
    }
    // Reads of a regular file do not block anyway; clear the flag so that nothing downstream sees it.
    ::fcntl(opened.get(), F_SETFL, ::fcntl(opened.get(), F_GETFL) & ~O_NONBLOCK);
    descriptor_ = std::move(opened);
}

void RegularFile::require() const
{
    if (isOpen())
        return;
    if (errorNumber_ != 0)
        throw FileError(path_, errorNumber_);
    throw FileError(path_, errorText_);
}

QByteArray RegularFile::readHead(qint64 count) const
{
    require();
    QByteArray head(count, Qt::Uninitialized);
    const qint64 filled = readFully(descriptor(), head);
    if (filled < 0)
        throw FileError(path_, errno);
    head.resize(filled);
    return head;
}

bool isSpecialFile(const QString& path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode);
}

void refuseSpecialFile(const QString& path)
{
    if (isSpecialFile(path))
        throw DatabaseError(QString::fromLatin1(notRegularFileText));
}

qint64 readFully(int descriptor, QByteArray& buffer)
{
    qint64 filled = 0;
    while (filled < buffer.size()) {
        const ssize_t count = ::read(descriptor, buffer.data() + filled, size_t(buffer.size() - filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        filled += count;
    }
    return filled;
}
