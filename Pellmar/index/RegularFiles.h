#pragma once

// Readers open files only through these. A FIFO named like a photo would block a reader for good and
// a device could be read without end, so anything that is not a regular file is refused at once: the
// open itself never blocks, and the open file is checked before a byte is read.

#include <QByteArray>
#include <QString>

#include <stdexcept>
#include <sys/stat.h>

// Thrown when a file cannot be opened or read; carries the path and the reason.
class FileError : public std::runtime_error {
public:
    FileError(const QString& path, int errorNumber);
    // A reason of our own, such as notRegularFileText; errorNumber() is 0 then.
    FileError(const QString& path, const QString& reason);

    const QString& path() const { return path_; }
    int errorNumber() const { return errorNumber_; }

private:
    QString path_;
    int errorNumber_;
};

// Why a reader refuses a FIFO, a device, a socket or a folder.
inline constexpr char notRegularFileText[] = "not a regular file";

// A descriptor that closes itself.
class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor = -1) : descriptor_(descriptor) {}
    FileDescriptor(FileDescriptor&& other) noexcept : descriptor_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();

    int get() const { return descriptor_; }
    bool isOpen() const { return descriptor_ >= 0; }
    int release();

private:
    int descriptor_;
};

// A regular file opened for reading.
class RegularFile {
public:
    // Symbolic links followed.
    explicit RegularFile(const QString& path);
    // A file inside an open folder; a symbolic link is not followed and counts as no regular file.
    RegularFile(int folder, const QByteArray& name);

    bool isOpen() const { return descriptor_.isOpen(); }
    int descriptor() const { return descriptor_.get(); }
    const struct stat& status() const { return status_; }
    // Why the file is not open: notRegularFileText, or the system's reason.
    const QString& errorText() const { return errorText_; }
    // Throws FileError unless the file is open.
    void require() const;
    // Up to `count` bytes from where the last read ended (the start, for a file just opened); throws
    // FileError when the file is not open or reading fails.
    QByteArray readHead(qint64 count) const;

private:
    void open(int folder, const QByteArray& path, int flags);

    QString path_;
    FileDescriptor descriptor_;
    struct stat status_ {};
    QString errorText_;
    int errorNumber_ = 0;
};

// Whether the path names a FIFO, a device, a socket or a folder (links followed; false when it cannot
// be looked up). Readers that hand a path to a library, which opens it again, ask this first.
bool isSpecialFile(const QString& path);
// Throws DatabaseError notRegularFileText when isSpecialFile(path), for the media layer's writers
// of previews, posters and proxies, whose failures are DatabaseErrors.
void refuseSpecialFile(const QString& path);

// Fills `buffer` from the descriptor's position; fewer bytes only at the end of the file; -1 on an error.
qint64 readFully(int descriptor, QByteArray& buffer);
