#include "Pellmar/media/Walkers.h"

#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosReading.h"
#include "Pellmar/media/ScanningRules.h"

#include <QDir>
#include <QFile>

#include <plist/plist.h>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fts.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 progressInterval = 500;
// A placeholder is a small property list; anything larger is not one.
constexpr qint64 placeholderSizeLimit = 1 << 20;

double secondsOf(const struct timespec& time)
{
    return double(time.tv_sec) + double(time.tv_nsec) / 1e9;
}

QByteArray childPath(const QByteArray& folder, QByteArrayView name)
{
    QByteArray path;
    path.reserve(folder.size() + 1 + name.size());
    if (folder != "/")
        path += folder;
    path += '/';
    path += name;
    return path;
}

QString childRelativePath(const QString& folder, const QString& name)
{
    return folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
}

// Size recorded in a cloud placeholder (a binary or XML property list); 0 when it cannot be read.
qint64 placeholderSize(const QByteArray& path)
{
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly) || file.size() > placeholderSizeLimit)
        return 0;
    const QByteArray data = file.readAll();
    plist_t root = nullptr;
    plist_from_memory(data.constData(), uint32_t(data.size()), &root);
    if (!root)
        return 0;
    qint64 size = 0;
    if (plist_get_node_type(root) == PLIST_DICT) {
        const plist_t value = plist_dict_get_item(root, "NSURLFileSizeKey");
        switch (value ? plist_get_node_type(value) : PLIST_NONE) {
        case PLIST_UINT: {
            uint64_t number = 0;
            plist_get_uint_val(value, &number);
            size = qint64(number);
            break;
        }
        case PLIST_REAL: {
            double number = 0;
            plist_get_real_val(value, &number);
            size = qint64(number);
            break;
        }
        case PLIST_BOOLEAN: {
            uint8_t flag = 0;
            plist_get_bool_val(value, &flag);
            size = flag ? 1 : 0;
            break;
        }
        default:
            break;
        }
    }
    plist_free(root);
    return size;
}

// A cloud placeholder stands for a file that is not on this machine: ".name.icloud".
bool isPlaceholderName(const QString& name)
{
    return name.size() > 8 && name.startsWith(QLatin1Char('.')) && !name.startsWith(QLatin1String("._"))
        && name.endsWith(QLatin1String(".icloud"));
}

QString representedName(const QString& placeholderName)
{
    return placeholderName.mid(1, placeholderName.size() - 1 - int(sizeof(".icloud") - 1));
}

// One folder opened for listing; its entries are read at once and the folder is closed before the
// walk goes below it, so a deep tree holds one descriptor at a time.
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
    int openError = 0;    // the folder could not be opened
    bool complete = true; // false when reading it, or an entry's values, failed part way
};

FolderListing listFolder(const QByteArray& path, bool statFiles, bool followLink)
{
    FolderListing listing;
    if (ListingFaultInjection::active()) {
        if (const int error = ListingFaultInjection::errorFor(QFile::decodeName(path))) {
            listing.openError = error;
            return listing;
        }
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        listing.openError = errno;
        return listing;
    }
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        listing.openError = errno;
        ::close(fd);
        return listing;
    }
    struct stat self {};
    if (::fstat(fd, &self) == 0)
        listing.modified = secondsOf(self.st_mtim);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folder);
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
            if (::fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
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
    ::closedir(folder);
    return listing;
}

// One walk of a folder source.
class FolderWalk {
public:
    enum class Mode { files, foldersOnly };

    FolderWalk(const Source& source, const QString& relativePath, Mode mode, const ScanOptions& options)
        : mode_(mode)
        , options_(options)
    {
        root_ = QDir::cleanPath(source.rootPath);
        homeSource_ = root_ == homePath();
        const QStringList components = relativePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString& component : components)
            pathIsSound_ = pathIsSound_ && component != QLatin1String(".") && component != QLatin1String("..");
        targetRelative_ = components.join(QLatin1Char('/'));
        baseDepth_ = int(components.size());
        const QString target = targetRelative_.isEmpty() ? root_ : childRelativePath(root_, targetRelative_);
        target_ = QFile::encodeName(target == QLatin1String("//") ? QStringLiteral("/") : target);
    }

    // Whether the walk can start: the root is a folder and the path stays inside it.
    bool begin()
    {
        result_.gaps.rootVanished = !rootDevice(rootDevice_);
        return !result_.gaps.rootVanished && pathIsSound_;
    }

    // Records the root as missing when it went away or another file system took its place meanwhile
    // (a drive unmounted during the walk leaves its empty mount folder behind).
    ScanResult finish()
    {
        dev_t device = 0;
        if (!result_.gaps.rootVanished && (!rootDevice(device) || device != rootDevice_))
            result_.gaps.rootVanished = true;
        return std::move(result_);
    }

    const QString& targetRelative() const { return targetRelative_; }
    const QByteArray& target() const { return target_; }
    ScanResult& result() { return result_; }

    void walkDeep()
    {
        // A target that cannot be opened at all gives no records and no progress.
        if (walkFolder(target_, targetRelative_, baseDepth_, true))
            reportProgressAtEnd();
    }

    void walkOneLevel()
    {
        if (stopRequested())
            return;
        const FolderListing listing = listTarget();
        const bool homeLevel = homeSource_ && baseDepth_ == 0;
        for (const FolderListing::Entry& entry : listing.entries) {
            const std::optional<QString> name = diskFileName(listing.nameOf(entry), target_);
            if (!name)
                continue;
            if (entry.kind != FolderListing::Kind::folder) {
                considerFile(entry, listing.nameOf(entry), *name, target_, targetRelative_, homeLevel);
            } else if (isPackageName(*name) && !isHiddenName(*name) && !homeLevel
                       && !libraryBundleExtensions().contains(pathExtension(*name).toLower())) {
                addPackage(childPath(target_, listing.nameOf(entry)), childRelativePath(targetRelative_, *name));
            }
        }
        reportProgressAtEnd();
    }

private:
    bool rootDevice(dev_t& device) const
    {
        struct stat status {};
        if (::stat(QFile::encodeName(root_).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
            return false;
        device = status.st_dev;
        return true;
    }

    FolderListing listTarget()
    {
        FolderListing listing = listFolder(target_, mode_ == Mode::files, true);
        // A target that is gone while its root is there was deleted; anything else is a failure.
        if (listing.openError != 0 && listing.openError != ENOENT && listing.openError != ENOTDIR)
            noteUnreadable(targetRelative_);
        else if (!listing.complete)
            noteUnreadable(targetRelative_);
        return listing;
    }

    void noteUnreadable(const QString& relativePath)
    {
        result_.gaps.unlistedFolders.append(relativePath);
    }

    static bool holdsProjectMarker(const FolderListing& listing)
    {
        static const QList<QByteArray> markers = [] {
            QList<QByteArray> names;
            for (const QString& marker : projectMarkers())
                names.append(marker.toUtf8());
            return names;
        }();
        for (const FolderListing::Entry& entry : listing.entries) {
            const QByteArrayView name = listing.nameOf(entry);
            for (const QByteArray& marker : markers) {
                if (name == marker)
                    return true;
            }
        }
        return false;
    }

    // Once asked to stop, the walk lists no further folder, and the whole target counts as unseen.
    bool stopRequested()
    {
        if (!result_.stopped && options_.stopRequested && options_.stopRequested()) {
            result_.stopped = true;
            noteUnreadable(targetRelative_);
        }
        return result_.stopped;
    }

    // Returns whether the folder could be opened.
    bool walkFolder(const QByteArray& path, const QString& relativePath, int depth, bool isTarget)
    {
        if (stopRequested())
            return false;
        FolderListing listing;
        if (isTarget) {
            listing = listTarget();
            if (listing.openError != 0)
                return false;
        } else {
            listing = listFolder(path, mode_ == Mode::files, false);
            // A folder listed by its parent that cannot be opened now: unplugged, failing or
            // removed meanwhile. Its rows are kept until a walk sees it gone from its parent.
            if (listing.openError != 0) {
                noteUnreadable(relativePath);
                return false;
            }
            if (holdsProjectMarker(listing))
                return true;
            if (!listing.complete)
                noteUnreadable(relativePath);
            if (options_.collectFolders || mode_ == Mode::foldersOnly)
                result_.folders.append(FolderRecord{relativePath, listing.modified});
        }

        const int childDepth = depth + 1;
        const bool homeLevel = homeSource_ && childDepth == 1;
        for (const FolderListing::Entry& entry : listing.entries) {
            const std::optional<QString> name = diskFileName(listing.nameOf(entry), path);
            if (!name)
                continue;
            if (entry.kind != FolderListing::Kind::folder) {
                if (mode_ == Mode::files)
                    considerFile(entry, listing.nameOf(entry), *name, path, relativePath, homeLevel);
                continue;
            }
            if (refusesFolderName(*name, homeLevel))
                continue;
            const QByteArray folderPath = childPath(path, listing.nameOf(entry));
            const QString folderRelative = childRelativePath(relativePath, *name);
            if (isPackageName(*name)) {
                if (mode_ == Mode::files && !homeLevel && !isProjectFolder(QFile::decodeName(folderPath)))
                    addPackage(folderPath, folderRelative);
                continue;
            }
            walkFolder(folderPath, folderRelative, childDepth, false);
        }
        return true;
    }

    void considerFile(const FolderListing::Entry& entry, QByteArrayView nativeName, const QString& name, const QByteArray& folderPath,
                      const QString& folder, bool homeLevel)
    {
        if (homeLevel || entry.kind != FolderListing::Kind::regularFile)
            return;
        FileRecord record;
        record.size = entry.size;
        record.modified = entry.modified;
        record.local = true;
        if (isHiddenName(name)) {
            if (!isPlaceholderName(name))
                return;
            record.relativePath = childRelativePath(folder, representedName(name));
            record.size = placeholderSize(childPath(folderPath, nativeName));
            record.local = false;
        } else {
            if (name == QLatin1String("Icon\r"))
                return;
            record.relativePath = childRelativePath(folder, name);
        }
        addFile(std::move(record));
    }

    void addPackage(const QByteArray& path, const QString& relativePath)
    {
        FileRecord record;
        record.relativePath = relativePath;
        record.size = packageSize(QFile::decodeName(path));
        record.modified = contentModificationDate(QFile::decodeName(path));
        record.local = true;
        addFile(std::move(record));
    }

    void addFile(FileRecord record)
    {
        result_.files.append(std::move(record));
        if (options_.progress && result_.files.size() % progressInterval == 0)
            options_.progress(result_.files.size());
    }

    void reportProgressAtEnd()
    {
        if (options_.progress)
            options_.progress(result_.files.size());
    }

    Mode mode_;
    const ScanOptions& options_;
    QString root_;
    QString targetRelative_;
    QByteArray target_;
    int baseDepth_ = 0;
    bool homeSource_ = false;
    bool pathIsSound_ = true;
    dev_t rootDevice_ = 0;
    ScanResult result_;
};

} // namespace

ScanResult scanSource(const Source& source, const QString& relativePath, const ScanOptions& options)
{
    if (source.kind == SourceKind::photos) {
        // A library that cannot be read lists nothing, which is no sign that its assets went: the
        // result names the source's root as missing then, as for an unplugged drive.
        const std::shared_ptr<PhotoLibrary> library = sharedPhotoLibrary();
        ScanResult result;
        if (options.stopRequested && options.stopRequested()) {
            result.stopped = true;
            result.gaps.unlistedFolders.append(QString());
            return result;
        }
        const bool readable = library->isReadable();
        if (readable)
            result.files = listPhotosAssets(*library, options.progress);
        result.gaps.rootVanished = !readable;
        return result;
    }
    FolderWalk walk(source, relativePath, FolderWalk::Mode::files, options);
    if (!walk.begin())
        return walk.finish();
    if (options.deep)
        walk.walkDeep();
    else
        walk.walkOneLevel();
    return walk.finish();
}

ScanResult scanSubtree(const Source& source, const QString& relativePath, const StopRequest& stopRequested)
{
    if (source.kind == SourceKind::photos)
        return {};
    ScanOptions options;
    options.stopRequested = stopRequested;
    FolderWalk walk(source, relativePath, FolderWalk::Mode::foldersOnly, options);
    if (!walk.begin())
        return walk.finish();
    if (!walk.targetRelative().isEmpty()) {
        struct stat status {};
        if (::stat(walk.target().constData(), &status) == 0 && S_ISDIR(status.st_mode))
            walk.result().folders.append(FolderRecord{relativePath, secondsOf(status.st_mtim)});
    }
    walk.walkDeep();
    return walk.finish();
}

std::optional<QStringList> listSubfolders(const QString& relativePath, const Source& source)
{
    if (source.kind == SourceKind::photos)
        return QStringList();
    const QString folder = relativePath.isEmpty() ? source.rootPath : source.rootPath + QLatin1Char('/') + relativePath;
    const QByteArray folderPath = QFile::encodeName(folder);
    const FolderListing listing = listFolder(folderPath, false, true);
    if (listing.openError == ENOENT || listing.openError == ENOTDIR)
        return QStringList();
    if (listing.openError != 0 || !listing.complete)
        return std::nullopt;
    QStringList subfolders;
    for (const FolderListing::Entry& entry : listing.entries) {
        if (entry.kind != FolderListing::Kind::folder)
            continue;
        const std::optional<QString> name = diskFileName(listing.nameOf(entry), folderPath);
        if (name && !isPackageName(*name) && !isHiddenName(*name)
            && shouldIndexPath(childRelativePath(relativePath, *name), source))
            subfolders.append(*name);
    }
    return subfolders;
}

double contentModificationDate(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return distantPast;
    return secondsOf(status.st_mtim);
}

qint64 packageSize(const QString& path)
{
    const QByteArray nativePath = QFile::encodeName(path);
    char* roots[] = {const_cast<char*>(nativePath.constData()), nullptr};
    qint64 total = 0;
    // FTS_PHYSICAL: symbolic links are reported as links, never followed.
    if (FTS* tree = ::fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR, nullptr)) {
        while (FTSENT* entry = ::fts_read(tree)) {
            if (entry->fts_info == FTS_F)
                total += qint64(entry->fts_statp->st_size);
        }
        ::fts_close(tree);
    }
    return total;
}
