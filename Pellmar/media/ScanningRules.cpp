#include "Pellmar/media/ScanningRules.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosReading.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool exists(const QString& path)
{
    return ::access(QFile::encodeName(path).constData(), F_OK) == 0;
}

bool isDirectory(const QString& path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Playlists name media files but hold no sound or picture; the MIME database files most of them
// under audio/ or video/.
bool isPlaylist(const QMimeType& type)
{
    static const QSet<QString> playlists{
        QStringLiteral("audio/x-mpegurl"), QStringLiteral("application/vnd.apple.mpegurl"),
        QStringLiteral("audio/x-scpls"), QStringLiteral("audio/x-ms-asx"), QStringLiteral("audio/x-iriver-pla"),
        QStringLiteral("video/vnd.mpegurl")};
    return playlists.contains(type.name());
}

std::optional<MediaKind> kindOfMimeType(const QMimeType& type)
{
    const auto isOf = [&type](QLatin1String prefix) {
        if (type.name().startsWith(prefix))
            return true;
        for (const QString& ancestor : type.allAncestors()) {
            if (ancestor.startsWith(prefix))
                return true;
        }
        return false;
    };
    if (isOf(QLatin1String("video/")))
        return MediaKind::video;
    if (isOf(QLatin1String("image/")))
        return MediaKind::photo;
    if (isOf(QLatin1String("audio/")))
        return MediaKind::audio;
    return std::nullopt;
}

} // namespace

const QSet<QString>& rawExtensions()
{
    static const QSet<QString> table{
        QStringLiteral("raf"), QStringLiteral("dng"), QStringLiteral("cr2"), QStringLiteral("cr3"),
        QStringLiteral("nef"), QStringLiteral("arw"), QStringLiteral("orf"), QStringLiteral("rw2"),
        QStringLiteral("pef"), QStringLiteral("srw"), QStringLiteral("3fr"), QStringLiteral("fff"),
        QStringLiteral("iiq"), QStringLiteral("x3f"), QStringLiteral("erf"), QStringLiteral("mef"),
        QStringLiteral("mos"), QStringLiteral("nrw"), QStringLiteral("rwl")};
    return table;
}

const QSet<QString>& homeSubfolderNames()
{
    // Linux keeps videos in "Videos" where the Mac has "Movies". A desktop in another language
    // gives these folders names in that language (xdg-user-dirs), which count as well.
    static const QSet<QString> table = [] {
        QSet<QString> names{QStringLiteral("Pictures"), QStringLiteral("Desktop"), QStringLiteral("Downloads"),
                            QStringLiteral("Movies"), QStringLiteral("Documents"), QStringLiteral("Videos")};
        for (const auto location : {QStandardPaths::DesktopLocation, QStandardPaths::DocumentsLocation,
                                    QStandardPaths::DownloadLocation, QStandardPaths::PicturesLocation,
                                    QStandardPaths::MoviesLocation}) {
            const QFileInfo folder(QStandardPaths::writableLocation(location));
            if (QDir::cleanPath(folder.path()) == homePath())
                names.insert(folder.fileName());
        }
        return names;
    }();
    return table;
}

const QSet<QString>& skippedFolderNames()
{
    static const QSet<QString> table{
        QStringLiteral("node_modules"), QStringLiteral("Cache"), QStringLiteral("Caches"), QStringLiteral("cache"),
        QStringLiteral("User Data"), QStringLiteral("tmp"), QStringLiteral("Temp"), QStringLiteral("DerivedData"),
        QStringLiteral("build"), QStringLiteral(".build")};
    return table;
}

const QSet<QString>& projectMarkers()
{
    static const QSet<QString> table{
        QStringLiteral(".git"), QStringLiteral("package.json"), QStringLiteral("Package.swift"),
        QStringLiteral("Cargo.toml"), QStringLiteral("pyproject.toml"), QStringLiteral("Gemfile")};
    return table;
}

const QSet<QString>& libraryBundleExtensions()
{
    static const QSet<QString> table{QStringLiteral("photoslibrary"), QStringLiteral("lrlibrary")};
    return table;
}

const QSet<QString>& packageExtensions()
{
    // Folders that Macs present as one file and that people carry to Linux: applications and their
    // plug-ins, documents of office, music and video applications, media libraries, disk images
    // and developer projects.
    static const QSet<QString> table{
        QStringLiteral("app"), QStringLiteral("appex"), QStringLiteral("bundle"), QStringLiteral("component"),
        QStringLiteral("framework"), QStringLiteral("kext"), QStringLiteral("mdimporter"), QStringLiteral("plugin"),
        QStringLiteral("prefpane"), QStringLiteral("qlgenerator"), QStringLiteral("saver"), QStringLiteral("xpc"),
        QStringLiteral("rtfd"), QStringLiteral("pages"), QStringLiteral("numbers"), QStringLiteral("key"),
        QStringLiteral("scptd"), QStringLiteral("pkg"), QStringLiteral("mpkg"),
        QStringLiteral("fcpbundle"), QStringLiteral("fcpxmld"), QStringLiteral("imovielibrary"),
        QStringLiteral("photoslibrary"), QStringLiteral("photolibrary"), QStringLiteral("aplibrary"),
        QStringLiteral("musiclibrary"), QStringLiteral("tvlibrary"), QStringLiteral("lrlibrary"),
        QStringLiteral("logicx"), QStringLiteral("band"), QStringLiteral("sparsebundle"),
        QStringLiteral("xcodeproj"), QStringLiteral("xcworkspace"), QStringLiteral("playground")};
    return table;
}

QString pathExtension(const QString& path)
{
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > nameStart ? path.mid(dot + 1) : QString();
}

std::optional<QString> diskFileName(QByteArrayView name, QByteArrayView folderPath)
{
    bool ascii = true;
    for (const char byte : name)
        ascii = ascii && uchar(byte) < 0x80;
    if (ascii)
        return QString::fromLatin1(name);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(name);
    if (!utf8.hasError())
        return text;
    qCWarning(logIndex) << "Passed over a name that is not UTF-8:" << QFile::decodeName(folderPath.toByteArray())
                        << name.toByteArray().toPercentEncoding("/");
    return std::nullopt;
}

bool isHiddenName(const QString& name)
{
    return name.startsWith(QLatin1Char('.'));
}

bool isPackageName(const QString& name)
{
    return packageExtensions().contains(pathExtension(name).toLower());
}

bool refusesFolderName(const QString& name, bool homeLevel)
{
    return isHiddenName(name) || skippedFolderNames().contains(name)
        || libraryBundleExtensions().contains(pathExtension(name).toLower())
        || (homeLevel && !homeSubfolderNames().contains(name));
}

namespace {

// Stands for the UUID of a volume that has none readable; no file system's UUID takes this form.
const QString mountTablePrefix = QStringLiteral("mount:");

QString mountTableIdentity(const MountedVolume& volume)
{
    return mountTablePrefix + volume.type + QLatin1Char(':') + volume.device;
}

} // namespace

VolumeIdentity volumeIdentity(const QString& path, const Volumes& volumes)
{
    const std::optional<MountedVolume> volume = volumes.volumeOf(path);
    if (!volume)
        return {};
    return {volume->uuid.isEmpty() ? mountTableIdentity(*volume) : volume->uuid, volume->name,
            QDir::cleanPath(volume->url)};
}

bool isSourceAvailable(const Source& source, const Volumes& volumes)
{
    if (source.kind == SourceKind::photos) {
        const std::shared_ptr<PhotoLibrary> library = sharedPhotoLibrary();
        return hasPhotosAccess(*library) && library->isReadable();
    }
    // A share that stopped answering would hold up the test until it answers again.
    const QList<MountedVolume> mounted = volumes.mounted();
    if (std::any_of(mounted.cbegin(), mounted.cend(), [&](const MountedVolume& volume) {
            return !volume.responding
                && (source.rootPath == volume.url || source.rootPath.startsWith(volume.url + QLatin1Char('/')));
        }))
        return false;
    if (!isDirectory(source.rootPath))
        return false;
    if (source.volumeUUID.isEmpty() && source.volumeName.isEmpty())
        return true;   // added where no volume could be read: any volume will do
    const VolumeIdentity volume = volumeIdentity(source.rootPath, volumes);
    // A volume without a UUID (no udev database, a network share, a file system that has none) is
    // the same one only when its mount source, file system type and name all agree: another volume
    // mounted on the same folder, or of the same name, is not the one whose files the source holds.
    if (source.volumeUUID.startsWith(mountTablePrefix))
        return volume.uuid == source.volumeUUID && volume.name == source.volumeName;
    if (!source.volumeUUID.isEmpty())
        return volume.uuid == source.volumeUUID;
    // Recorded by its name alone (before the mount table was recorded): the name, which for a volume
    // without a label is its mount folder's name. Unmounted, it leaves its empty mount folder on the
    // file system that held it, whose name differs.
    return volume.name == source.volumeName;
}

QSet<QString> availableSources(const QList<Source>& sources, const Volumes& volumes)
{
    QSet<QString> ids;
    for (const Source& source : sources) {
        if (isSourceAvailable(source, volumes))
            ids.insert(source.id);
    }
    return ids;
}

bool isProjectFolder(const QString& folderPath)
{
    for (const QString& marker : projectMarkers()) {
        if (exists(folderPath + QLatin1Char('/') + marker))
            return true;
    }
    return false;
}

bool shouldIndexPath(const QString& relativePath, const Source& source)
{
    if (source.kind != SourceKind::folder)
        return false;
    const QStringList components = relativePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (source.rootPath == homePath() && !components.isEmpty() && !homeSubfolderNames().contains(components.first()))
        return false;
    if (isProjectFolder(source.rootPath))
        return false;
    QString folder = source.rootPath;
    for (const QString& component : components) {
        if (refusesFolderName(component))
            return false;
        folder += QLatin1Char('/') + component;
        if (isProjectFolder(folder))
            return false;
    }
    return true;
}

std::optional<MediaKind> mediaKindForExtension(const QString& path)
{
    const QString extension = pathExtension(path).toLower();
    if (extension.isEmpty())
        return std::nullopt;
    // RAW files, and photo formats that the MIME database leaves out: JPEG's "jfif", stereo
    // cameras' MPO (its first picture is the photo) and JPS, animated PNG, Radiance HDR, large
    // Photoshop documents and BigTIFF.
    static const QSet<QString> photosOutsideMimeDatabase{
        QStringLiteral("jfif"), QStringLiteral("mpo"), QStringLiteral("jps"), QStringLiteral("apng"),
        QStringLiteral("hdr"), QStringLiteral("psb"), QStringLiteral("btf"), QStringLiteral("tf8"),
        QStringLiteral("bigtiff")};
    if (rawExtensions().contains(extension) || photosOutsideMimeDatabase.contains(extension))
        return MediaKind::photo;
    static const QMimeDatabase mimeTypes;
    for (const QMimeType& type : mimeTypes.mimeTypesForFileName(QStringLiteral("file.") + extension)) {
        if (isPlaylist(type))
            return std::nullopt;
        if (const std::optional<MediaKind> kind = kindOfMimeType(type))
            return kind;
    }
    return std::nullopt;
}
