#include "Pellmar/media/Walkers.h"

#include "Pellmar/media/CloudPlaceholders.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosReading.h"
#include "Pellmar/media/ScanningRules.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 progressInterval = 500;
// Files packed in one run by a walk that hands its files on in runs.
constexpr qsizetype batchSize = 4096;

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

// Orders the entries of a folder as the paths of the walk's files sort by bytes: the key of a folder
// that the walk enters ends with "/", the character that the paths below it continue with.
struct EntryKey {
    QByteArrayView name;
    bool folder = false;
};

bool operator<(const EntryKey& a, const EntryKey& b)
{
    const qsizetype common = std::min(a.name.size(), b.name.size());
    if (common > 0) {
        if (const int order = std::memcmp(a.name.data(), b.name.data(), size_t(common)); order != 0)
            return order < 0;
    }
    // One name begins the other: what follows decides, "/" after a folder's name, nothing after a file's.
    const auto following = [common](const EntryKey& key) -> int {
        if (key.name.size() > common)
            return uchar(key.name[common]);
        return key.folder ? '/' : -1;
    };
    return following(a) < following(b);
}

// The errno a test injects for opening a folder, or 0.
int injectedListingError(const QByteArray& path)
{
    return ListingFaultInjection::active() ? ListingFaultInjection::errorFor(QFile::decodeName(path)) : 0;
}

// The device a folder lies on, as a test may have it read.
dev_t deviceOf(const struct stat& status, const QByteArray& path)
{
    if (FolderDeviceInjection::active()) {
        if (const int device = FolderDeviceInjection::errorFor(QFile::decodeName(path)))
            return dev_t(device);
    }
    return status.st_dev;
}

QString parentFolder(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// Whether a folder lies on another device than its parent: a drive is mounted there.
bool isMountPoint(const QString& folder)
{
    struct stat own {};
    struct stat parent {};
    const QByteArray path = QFile::encodeName(folder);
    const QByteArray parentPath = QFile::encodeName(parentFolder(folder));
    return ::stat(path.constData(), &own) == 0 && ::stat(parentPath.constData(), &parent) == 0
        && deviceOf(own, path) != deviceOf(parent, parentPath);
}

// Whether a folder that was a mount point is now an empty folder on its parent's device: the
// folder a drive that is away left behind.
bool isAbsentDrive(const QString& folder)
{
    struct stat own {};
    if (::lstat(QFile::encodeName(folder).constData(), &own) != 0 || !S_ISDIR(own.st_mode) || isMountPoint(folder))
        return false;
    FolderChain chain;
    if (chain.start(AT_FDCWD, QFile::encodeName(folder).constData(), false) != 0)
        return false;
    const FolderListing listing = listFolder(chain.descriptor(), false);
    return listing.complete && listing.entries.empty();
}

// Opens a folder below a source's root, one component at a time, each relative to the one before, so
// that the path's length does not matter. Links in the relative path are followed, as a path's are.
int openBelowRoot(FolderChain& chain, const QString& root, const QStringList& components)
{
    if (const int error = chain.start(AT_FDCWD, QFile::encodeName(root).constData(), true))
        return error;
    for (const QString& component : components) {
        if (const int error = chain.descend(QFile::encodeName(component).constData(), true))
            return error;
    }
    return 0;
}

QStringList soundComponents(const QString& relativePath, bool& sound)
{
    const QStringList components = relativePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    sound = true;
    for (const QString& component : components)
        sound = sound && component != QLatin1String(".") && component != QLatin1String("..");
    return components;
}

// Whether a folder inside an open folder holds one of the files that mark a software project.
bool holdsProjectMarkerAt(int folder, QByteArrayView name)
{
    for (const QString& marker : projectMarkers()) {
        const QByteArray path = name.toByteArray() + '/' + marker.toUtf8();
        struct stat status {};
        if (::fstatat(folder, path.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0)
            return true;
    }
    return false;
}

// One walk of a folder source. Every folder is opened relative to its parent's descriptor, so that
// the depth of a tree and the length of its paths are limited only by the scanning rules.
class FolderWalk {
public:
    enum class Mode { files, foldersOnly };

    FolderWalk(const Source& source, const QString& relativePath, Mode mode, const ScanOptions& options)
        : mode_(mode)
        , options_(options)
        , source_(source)
    {
        root_ = QDir::cleanPath(source.rootPath);
        homeSource_ = root_ == homePath();
        components_ = soundComponents(relativePath, pathIsSound_);
        targetRelative_ = components_.join(QLatin1Char('/'));
        baseDepth_ = int(components_.size());
        const QString target = targetRelative_.isEmpty() ? root_ : childRelativePath(root_, targetRelative_);
        target_ = QFile::encodeName(target == QLatin1String("//") ? QStringLiteral("/") : target);
    }

    // Whether the walk can start: the source is available (its root a folder on the volume it was
    // added from, not the empty mount folder an unmounted volume leaves) and the path stays inside it.
    bool begin()
    {
        result_.gaps.rootVanished = !isSourceAvailable(source_) || !rootDevice(rootDevice_);
        if (result_.gaps.rootVanished || !pathIsSound_)
            return false;
        if (targetRelative_.isEmpty())
            return true;
        const QString target = QFile::decodeName(target_);
        if (insideAbsentDrive(target)) {
            noteUnreadable(targetRelative_);
            return false;
        }
        if (isMountPoint(target))
            result_.mountPoints.append(target);
        return true;
    }

    // Records the root as missing when it went away or another file system took its place meanwhile
    // (a drive unmounted during the walk leaves its empty mount folder behind).
    ScanResult finish()
    {
        if (!batch_.isEmpty())
            options_.filesReady(std::exchange(batch_, FileBatch()));
        dev_t device = 0;
        if (!result_.gaps.rootVanished
            && (!rootDevice(device) || device != rootDevice_ || !isSourceAvailable(source_)))
            result_.gaps.rootVanished = true;
        return std::move(result_);
    }

    // Walks the whole subtree; recordTarget lists the target folder itself first among the folders.
    void walkDeep(bool recordTarget = false)
    {
        if (stopRequested())
            return;
        FolderChain chain;
        FolderListing listing;
        if (!openTarget(chain, listing))
            return;   // a target that cannot be opened at all gives no records and no progress
        if (recordTarget && !targetRelative_.isEmpty())
            result_.folders.append(FolderRecord{targetRelative_, secondsOf(chain.status().st_mtim)});
        walkEntries(chain, listing, target_, targetRelative_, baseDepth_);
        reportProgressAtEnd();
    }

    void walkOneLevel()
    {
        if (stopRequested())
            return;
        FolderChain chain;
        FolderListing listing;
        if (openTarget(chain, listing)) {
            const bool homeLevel = homeSource_ && baseDepth_ == 0;
            const QByteArray relativeUtf8 = targetRelative_.toUtf8();
            for (const FolderListing::Entry& entry : listing.entries) {
                const QByteArrayView nativeName = listing.nameOf(entry);
                const std::optional<QString> name = diskFileName(nativeName, target_);
                if (!name)
                    continue;
                if (entry.kind != FolderListing::Kind::folder) {
                    considerFile(chain.descriptor(), entry, nativeName, *name, relativeUtf8, homeLevel);
                } else if (isPackageName(*name) && !isHiddenName(*name) && !homeLevel
                           && !libraryBundleExtensions().contains(pathExtension(*name).toLower())) {
                    addPackage(chain.descriptor(), nativeName, relativeUtf8);
                }
            }
        }
        reportProgressAtEnd();
    }

private:
    // Whether the target is, or lies inside, a folder that a drive now away left behind.
    bool insideAbsentDrive(const QString& target) const
    {
        const QString rootPrefix = root_ == QLatin1String("/") ? root_ : root_ + QLatin1Char('/');
        for (const QString& mount : options_.knownMountPoints) {
            if (mount.startsWith(rootPrefix) && (target == mount || target.startsWith(mount + QLatin1Char('/')))
                && isAbsentDrive(mount))
                return true;
        }
        return false;
    }

    bool isKnownMountPoint(const QByteArray& path) const
    {
        return !options_.knownMountPoints.isEmpty() && options_.knownMountPoints.contains(QFile::decodeName(path));
    }

    bool rootDevice(dev_t& device) const
    {
        struct stat status {};
        if (::stat(QFile::encodeName(root_).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
            return false;
        device = status.st_dev;
        return true;
    }

    // Opens and lists the walk's target. A target that is gone while its root is there was deleted;
    // anything else that keeps it from being listed in full is a gap.
    bool openTarget(FolderChain& chain, FolderListing& listing)
    {
        int error = injectedListingError(target_);
        if (error == 0)
            error = openBelowRoot(chain, root_, components_);
        if (error != 0) {
            if (error != ENOENT && error != ENOTDIR)
                noteUnreadable(targetRelative_);
            return false;
        }
        listing = listFolder(chain.descriptor(), mode_ == Mode::files);
        if (!listing.complete)
            noteUnreadable(targetRelative_);
        return true;
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

    // Walks the folder the chain has just descended into (never the target). Returns false when the
    // walk cannot go back to the parent, which leaves the rest of the parent unlisted.
    // `wasMountPoint`: the folder lies on its parent's device now, but a drive was mounted there.
    bool walkFolder(FolderChain& chain, const QByteArray& path, const QString& relativePath, int depth,
                    bool wasMountPoint)
    {
        const FolderListing listing = listFolder(chain.descriptor(), mode_ == Mode::files);
        if (wasMountPoint && listing.complete && listing.entries.empty()) {
            // The drive is away: what the index holds below its folder stays.
            noteUnreadable(relativePath);
            if (options_.collectFolders || mode_ == Mode::foldersOnly)
                result_.folders.append(FolderRecord{relativePath, listing.modified});
        } else if (!holdsProjectMarker(listing)) {
            if (!listing.complete)
                noteUnreadable(relativePath);
            if (options_.collectFolders || mode_ == Mode::foldersOnly)
                result_.folders.append(FolderRecord{relativePath, listing.modified});
            walkEntries(chain, listing, path, relativePath, depth);
        }
        return chain.ascend();
    }

    struct NamedEntry {
        const FolderListing::Entry* entry = nullptr;
        QString name;
        EntryKey key;
    };

    // A folder's entries with names that are UTF-8, in the order their paths sort by bytes, so that
    // the files of a deep walk come out in the order of the index's rows.
    static std::vector<NamedEntry> orderedEntries(const FolderListing& listing, const QByteArray& path)
    {
        std::vector<NamedEntry> named;
        named.reserve(listing.entries.size());
        for (const FolderListing::Entry& entry : listing.entries) {
            const QByteArrayView nativeName = listing.nameOf(entry);
            std::optional<QString> name = diskFileName(nativeName, path);
            if (!name)
                continue;
            EntryKey key{nativeName, entry.kind == FolderListing::Kind::folder && !isPackageName(*name)};
            if (entry.kind != FolderListing::Kind::folder && isPlaceholderName(*name))
                key.name = representedName(nativeName);
            named.push_back(NamedEntry{&entry, std::move(*name), key});
        }
        std::stable_sort(named.begin(), named.end(), [](const NamedEntry& a, const NamedEntry& b) { return a.key < b.key; });
        return named;
    }

    void walkEntries(FolderChain& chain, const FolderListing& listing, const QByteArray& path, const QString& relativePath, int depth)
    {
        const int childDepth = depth + 1;
        const bool homeLevel = homeSource_ && childDepth == 1;
        const dev_t device = deviceOf(chain.status(), path);
        const QByteArray relativeUtf8 = relativePath.toUtf8();
        for (const NamedEntry& named : orderedEntries(listing, path)) {
            const FolderListing::Entry& entry = *named.entry;
            const QByteArrayView nativeName = listing.nameOf(entry);
            const QString& name = named.name;
            if (entry.kind != FolderListing::Kind::folder) {
                if (mode_ == Mode::files)
                    considerFile(chain.descriptor(), entry, nativeName, name, relativeUtf8, homeLevel);
                continue;
            }
            if (refusesFolderName(name, homeLevel))
                continue;
            const QString folderRelative = childRelativePath(relativePath, name);
            if (isPackageName(name)) {
                if (mode_ == Mode::files && !homeLevel && !holdsProjectMarkerAt(chain.descriptor(), nativeName))
                    addPackage(chain.descriptor(), nativeName, relativeUtf8);
                continue;
            }
            // A folder listed by its parent that cannot be opened now: unplugged, failing or removed
            // meanwhile. Its rows are kept until a walk sees it gone from its parent.
            if (stopRequested())
                continue;   // the files of a folder already listed are still recorded
            const QByteArray folderPath = childPath(path, nativeName);
            int error = injectedListingError(folderPath);
            if (error == 0)
                error = chain.descend(nativeName.toByteArray().constData(), false);
            if (error != 0) {
                noteUnreadable(folderRelative);
                continue;
            }
            const bool ownDevice = deviceOf(chain.status(), folderPath) != device;
            if (ownDevice)
                result_.mountPoints.append(QFile::decodeName(folderPath));
            if (!walkFolder(chain, folderPath, folderRelative, childDepth, !ownDevice && isKnownMountPoint(folderPath))) {
                // This folder was moved away while the walk was below it: the rest of it is unlisted.
                noteUnreadable(relativePath);
                return;
            }
        }
    }

    // `folderUtf8`: the relative path of the folder that holds the file, in UTF-8.
    void considerFile(int folder, const FolderListing::Entry& entry, QByteArrayView nativeName, const QString& name,
                      const QByteArray& folderUtf8, bool homeLevel)
    {
        if (homeLevel || entry.kind != FolderListing::Kind::regularFile)
            return;
        if (isHiddenName(name)) {
            if (isPlaceholderName(name))
                addFile(folderUtf8, representedName(nativeName), placeholderSize(folder, nativeName.toByteArray()),
                        entry.modified, false);
        } else if (name != QLatin1String("Icon\r")) {
            addFile(folderUtf8, nativeName, entry.size, entry.modified, true);
        }
    }

    void addPackage(int folder, QByteArrayView nativeName, const QByteArray& folderUtf8)
    {
        const QByteArray name = nativeName.toByteArray();
        struct stat status {};
        const double modified = ::fstatat(folder, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0
            ? secondsOf(status.st_mtim)
            : distantPast;
        addFile(folderUtf8, name, packageSizeAt(folder, name.constData()), modified, true);
    }

    // `name` is the file's name as its path ends, in UTF-8.
    void addFile(const QByteArray& folderUtf8, QByteArrayView name, qint64 size, double modified, bool local)
    {
        if (options_.filesReady) {
            batch_.add(folderUtf8, name, size, modified, local);
            if (batch_.size() >= batchSize)
                options_.filesReady(std::exchange(batch_, FileBatch()));
        } else {
            QString path = QString::fromUtf8(name);
            if (!folderUtf8.isEmpty())
                path = QString::fromUtf8(folderUtf8) + QLatin1Char('/') + path;
            result_.files.append(FileRecord{.relativePath = std::move(path), .size = size, .modified = modified, .local = local});
        }
        ++filesFound_;
        if (options_.progress && filesFound_ % progressInterval == 0)
            options_.progress(filesFound_);
    }

    void reportProgressAtEnd()
    {
        if (options_.progress)
            options_.progress(filesFound_);
    }

    Mode mode_;
    const ScanOptions& options_;
    const Source& source_;
    QString root_;
    QStringList components_;
    QString targetRelative_;
    QByteArray target_;
    int baseDepth_ = 0;
    bool homeSource_ = false;
    bool pathIsSound_ = true;
    dev_t rootDevice_ = 0;
    ScanResult result_;
    FileBatch batch_;   // the files not yet handed on, when the walk hands them on in runs
    qint64 filesFound_ = 0;
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
        // A read that fails part way leaves the listing short: the whole listing counts as unread.
        const qint64 failuresBefore = library->readFailures().count;
        const bool readable = library->isReadable();
        if (readable)
            result.files = listPhotosAssets(*library, options.progress);
        const PhotoLibrary::ReadFailures failures = library->readFailures();
        if (!readable || failures.count != failuresBefore) {
            result.files.clear();
            result.gaps.rootVanished = true;
            if (failures.count != failuresBefore)
                result.failure = failures.lastError;
        }
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

ScanResult walkPacked(const Source& source, WalkedFiles& walked, ScanOptions options, const std::function<bool()>& available)
{
    // Left unfinished, the walked files count as a walk whose root was gone: nothing is deleted.
    if (source.kind == SourceKind::photos)
        return {};   // the library's assets are not files of folders
    options.deep = true;
    options.filesReady = [&walked](FileBatch&& files) { walked.append(std::move(files)); };
    ScanResult result = scanSource(source, QString(), options);
    if (available && !result.gaps.rootVanished && !available())
        result.gaps.rootVanished = true;
    walked.finish(result.gaps);
    return result;
}

ScanResult scanSubtree(const Source& source, const QString& relativePath, const ScanOptions& options)
{
    if (source.kind == SourceKind::photos)
        return {};
    ScanOptions foldersOnly;
    foldersOnly.stopRequested = options.stopRequested;
    foldersOnly.knownMountPoints = options.knownMountPoints;
    FolderWalk walk(source, relativePath, FolderWalk::Mode::foldersOnly, foldersOnly);
    if (!walk.begin())
        return walk.finish();
    walk.walkDeep(true);
    return walk.finish();
}

std::optional<QStringList> listSubfolders(const QString& relativePath, const Source& source)
{
    if (source.kind == SourceKind::photos)
        return QStringList();
    bool sound = true;
    const QStringList components = soundComponents(relativePath, sound);
    const QString folder = relativePath.isEmpty() ? source.rootPath : source.rootPath + QLatin1Char('/') + relativePath;
    const QByteArray folderPath = QFile::encodeName(folder);
    FolderChain chain;
    int error = sound ? injectedListingError(folderPath) : ENOENT;
    if (error == 0)
        error = openBelowRoot(chain, source.rootPath, components);
    if (error == ENOENT || error == ENOTDIR)
        return QStringList();
    if (error != 0)
        return std::nullopt;
    const FolderListing listing = listFolder(chain.descriptor(), false);
    if (!listing.complete)
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
    return packageSizeAt(AT_FDCWD, QFile::encodeName(path).constData());
}
