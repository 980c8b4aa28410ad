#include "Pellmar/media/FolderDescriptors.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

namespace {

// Descriptors a chain keeps open at most; trees deeper than this reopen their upper levels on the way back.
constexpr size_t openLevelLimit = 16;

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool sameFolder(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

void sumPackage(FolderChain& chain, qint64& total)
{
    const FolderListing listing = listFolder(chain.descriptor(), true);
    for (const FolderListing::Entry& entry : listing.entries) {
        if (entry.kind == FolderListing::Kind::regularFile) {
            total += entry.size;
        } else if (entry.kind == FolderListing::Kind::folder) {
            if (chain.descend(listing.nameOf(entry).toByteArray().constData(), false) != 0)
                continue;
            sumPackage(chain, total);
            if (!chain.ascend())
                return;
        }
    }
}

} // namespace

double secondsOf(const struct timespec& time)
{
    return double(time.tv_sec) + double(time.tv_nsec) / 1e9;
}

FolderChain::~FolderChain()
{
    for (const Level& level : levels_) {
        if (level.descriptor >= 0)
            ::close(level.descriptor);
    }
}

int FolderChain::push(int descriptor)
{
    if (descriptor < 0)
        return errno;
    Level level;
    level.descriptor = descriptor;
    if (::fstat(descriptor, &level.status) != 0) {
        const int error = errno;
        ::close(descriptor);
        return error;
    }
    levels_.push_back(level);
    if (levels_.size() - lowestOpen_ > openLevelLimit) {
        ::close(levels_[lowestOpen_].descriptor);
        levels_[lowestOpen_].descriptor = -1;
        ++lowestOpen_;
    }
    return 0;
}

int FolderChain::start(int folder, const char* path, bool followLink)
{
    return push(::openat(folder, path, folderFlags | (followLink ? 0 : O_NOFOLLOW)));
}

int FolderChain::descend(const char* name, bool followLink)
{
    if (levels_.empty() || levels_.back().descriptor < 0)
        return EBADF;
    return push(::openat(levels_.back().descriptor, name, folderFlags | (followLink ? 0 : O_NOFOLLOW)));
}

bool FolderChain::ascend()
{
    Level child = levels_.back();
    levels_.pop_back();
    bool reopened = true;
    if (!levels_.empty() && levels_.back().descriptor < 0) {
        Level& parent = levels_.back();
        struct stat status {};
        const int descriptor = child.descriptor < 0 ? -1 : ::openat(child.descriptor, "..", folderFlags);
        if (descriptor >= 0 && ::fstat(descriptor, &status) == 0 && sameFolder(status, parent.status)) {
            parent.descriptor = descriptor;
            lowestOpen_ = levels_.size() - 1;
        } else {
            if (descriptor >= 0)
                ::close(descriptor);
            reopened = false;
        }
    }
    if (child.descriptor >= 0)
        ::close(child.descriptor);
    if (lowestOpen_ > levels_.size())
        lowestOpen_ = levels_.size();
    return reopened;
}

FolderListing listFolder(int folder, bool statFiles)
{
    FolderListing listing;
    struct stat self {};
    if (::fstat(folder, &self) == 0)
        listing.modified = secondsOf(self.st_mtim);
    // The stream gets a descriptor of its own, so that closing it leaves the caller's open.
    const int streamDescriptor = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR* stream = streamDescriptor < 0 ? nullptr : ::fdopendir(streamDescriptor);
    if (!stream) {
        if (streamDescriptor >= 0)
            ::close(streamDescriptor);
        listing.complete = false;
        return listing;
    }
    ::rewinddir(stream);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(stream);
        if (!entry) {
            if (errno != 0)
                listing.complete = false;
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        FolderListing::Entry item;
        item.nameOffset = listing.names.size();
        item.nameLength = qsizetype(std::strlen(name));
        listing.names.append(name, item.nameLength);
        const bool needsStat = entry->d_type == DT_UNKNOWN || (statFiles && entry->d_type == DT_REG);
        if (!needsStat) {
            item.kind = entry->d_type == DT_DIR ? FolderListing::Kind::folder : FolderListing::Kind::other;
        } else {
            struct stat status {};
            if (::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
                // Gone since the listing: nothing to record. Any other failure leaves the folder incomplete.
                if (errno != ENOENT)
                    listing.complete = false;
                continue;
            }
            item.kind = S_ISREG(status.st_mode) ? FolderListing::Kind::regularFile
                : S_ISDIR(status.st_mode)       ? FolderListing::Kind::folder
                                                : FolderListing::Kind::other;
            item.size = qint64(status.st_size);
            item.modified = secondsOf(status.st_mtim);
        }
        listing.entries.push_back(std::move(item));
    }
    ::closedir(stream);
    return listing;
}

qint64 packageSizeAt(int folder, const char* name)
{
    FolderChain chain;
    if (chain.start(folder, name, false) != 0)
        return 0;
    qint64 total = 0;
    sumPackage(chain, total);
    return total;
}
