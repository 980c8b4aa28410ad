#pragma once

// Folders opened relative to their parent's descriptor, so that neither the length of a path nor the
// depth of a tree limits what can be read, and listings read through a descriptor.

#include <QByteArray>
#include <QByteArrayView>

#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

// The date of a file whose modification date cannot be read: 1 January of year 1, UTC.
inline constexpr double distantPast = -62135769600.0;

double secondsOf(const struct timespec& time);

// The chain of folders from where a walk starts down to the folder it is in. Only the deepest few
// levels keep their descriptors open; a level whose descriptor was closed is reopened through its
// child's ".." when the walk returns to it, and is accepted only if it is still the same folder.
class FolderChain {
public:
    FolderChain() = default;
    ~FolderChain();
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;

    // Opens the first folder: a path relative to a folder descriptor (AT_FDCWD for the working folder
    // or an absolute path). Returns 0 or the errno of the failure.
    int start(int folder, const char* path, bool followLink);
    // Opens a folder inside the deepest one and makes it the deepest. Returns 0 or the errno.
    int descend(const char* name, bool followLink);
    // Closes the deepest folder and returns to its parent. False when the parent cannot be reopened or
    // is no longer the folder it was (moved away meanwhile); the chain stays usable for going up.
    bool ascend();

    int descriptor() const { return levels_.back().descriptor; }
    const struct stat& status() const { return levels_.back().status; }
    bool isEmpty() const { return levels_.empty(); }

private:
    struct Level {
        int descriptor = -1;
        struct stat status {};
    };
    int push(int descriptor);

    std::vector<Level> levels_;
    size_t lowestOpen_ = 0;   // every level below this one has its descriptor closed
};

// The entries of one folder, read at once so that the folder can be closed before the walk goes on.
struct FolderListing {
    enum class Kind { regularFile, folder, other };
    struct Entry {
        qsizetype nameOffset = 0;   // in names
        qsizetype nameLength = 0;
        Kind kind = Kind::other;
        qint64 size = 0;
        double modified = distantPast;
    };

    QByteArrayView nameOf(const Entry& entry) const { return QByteArrayView(names).sliced(entry.nameOffset, entry.nameLength); }

    std::vector<Entry> entries;
    QByteArray names;    // every entry's name, one after the other, so that a listing costs few allocations
    double modified = distantPast;   // the folder's own modification date
    bool complete = true; // false when reading it, or an entry's values, failed part way
};

// Lists an open folder (the descriptor stays open and is not moved). Regular files get their size and
// date when statFiles is set; entries whose type the listing does not give are always looked up.
FolderListing listFolder(int folder, bool statFiles);

// The byte size of a package inside an open folder: the sum of the sizes of every regular file below
// it, hidden ones included. Symbolic links are not followed.
qint64 packageSizeAt(int folder, const char* name);
