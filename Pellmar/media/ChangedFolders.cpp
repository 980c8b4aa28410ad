#include "Pellmar/media/ChangedFolders.h"

#include "Pellmar/media/Walkers.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

void addGaps(Index::WalkGaps& gaps, const Index::WalkGaps& more)
{
    gaps.unlistedFolders += more.unlistedFolders;
    gaps.rootVanished = gaps.rootVanished || more.rootVanished;
}

QString pathBelow(const QString& folder, const QString& relativePath)
{
    return relativePath.isEmpty() ? folder : folder + QLatin1Char('/') + relativePath;
}

} // namespace

QList<MountedVolume> relinkVolumes(const Volumes& volumes)
{
    QList<MountedVolume> identified;
    for (MountedVolume volume : volumes.mounted()) {
        if (volume.uuid.isEmpty())
            continue;
        volume.url = QDir::cleanPath(volume.url);
        if (volume.name.isEmpty())
            volume.name = mountFolderName(volume.url);
        identified.append(volume);
    }
    return identified;
}

std::optional<RelinkTarget> relinkCandidates(const Source& source, const QList<MountedVolume>& volumes)
{
    if (source.kind == SourceKind::photos || source.volumeUUID.isEmpty())
        return std::nullopt;
    // A root that exists on another volume is the empty mount point the volume left behind.
    if (QFileInfo::exists(source.rootPath)) {
        const std::optional<MountedVolume> holder = volumeHolding(volumes, source.rootPath);
        if (!holder || holder->uuid == source.volumeUUID)
            return std::nullopt;
    }

    std::optional<QString> tail = source.volumePath;
    if (!tail) {
        // Kept from before: the components after the last one named like the volume.
        const QStringList components = source.rootPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (qsizetype i = components.size() - 1; i >= 0 && !tail; --i) {
            if (components[i] == source.volumeName)
                tail = components.mid(i + 1).join(QLatin1Char('/'));
        }
        if (!tail)
            return std::nullopt;
    }

    QList<RelinkTarget> found;
    for (const MountedVolume& volume : volumes) {
        if (volume.uuid != source.volumeUUID || volume.url == QLatin1String("/"))
            continue;
        const QString path = tail->isEmpty() ? volume.url : QDir::cleanPath(volume.url + QLatin1Char('/') + *tail);
        if (QFileInfo::exists(path))
            found.append(RelinkTarget{path, volume.name, *tail, false});
    }
    if (found.isEmpty() || found.first().path == source.rootPath)
        return std::nullopt;
    RelinkTarget target = found.first();
    target.ambiguous = found.size() > 1;
    return target;
}

FolderRecords folderRecords(const Source& source, const QString& folder, const QStringList& knownFiles,
                            const QStringList& knownFolders, bool deep, const StopRequest& stopRequested,
                            const QSet<QString>& knownMountPoints)
{
    FolderRecords result;
    const QString prefix = folder.isEmpty() ? QString() : folder + QLatin1Char('/');

    // A folder that is there and cannot be listed says nothing about what it holds: keep it all.
    const std::optional<QStringList> listed = listSubfolders(folder, source);
    if (!listed) {
        result.gaps.unlistedFolders.append(folder);
        return result;
    }
    const QSet<QString> current(listed->cbegin(), listed->cend());

    // The subfolders that hold known files; known files directly in the folder are replaced as they are.
    QSet<QString> withFiles;
    for (const QString& path : knownFiles) {
        const QString rest = path.mid(prefix.size());
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        if (slash >= 0)
            withFiles.insert(rest.left(slash));
        else
            result.knownFilePaths.insert(path);
    }
    const QSet<QString> rescan = deep ? current : current - withFiles;
    const QSet<QString> lost = deep ? withFiles : (withFiles - current) | (current - withFiles);
    for (const QString& path : knownFiles) {
        const QString rest = path.mid(prefix.size());
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        if (slash >= 0 && lost.contains(rest.left(slash)))
            result.knownFilePaths.insert(path);
    }

    ScanOptions deepWalk;
    deepWalk.stopRequested = stopRequested;
    deepWalk.knownMountPoints = knownMountPoints;
    ScanOptions oneLevel = deepWalk;
    oneLevel.deep = false;
    ScanResult scan = scanSource(source, folder, oneLevel);
    result.files = std::move(scan.files);
    addGaps(result.gaps, scan.gaps);
    result.mountPoints += scan.mountPoints;
    for (const QString& name : *listed) {
        if (!rescan.contains(name))
            continue;
        ScanResult below = scanSource(source, prefix + name, deepWalk);
        result.files += below.files;
        addGaps(result.gaps, below.gaps);
        result.mountPoints += below.mountPoints;
    }

    QSet<QString> knownSubfolders;
    for (const QString& path : knownFolders) {
        const QString rest = path.mid(prefix.size());
        if (!rest.isEmpty() && !rest.contains(QLatin1Char('/')))
            knownSubfolders.insert(rest);
    }
    for (const QString& name : std::as_const(knownSubfolders)) {
        if (deep || !current.contains(name))
            result.knownFolderPaths.insert(prefix + name);
    }

    if (!folder.isEmpty())
        result.folders.append(FolderRecord{folder, contentModificationDate(pathBelow(source.rootPath, folder))});
    for (const QString& name : *listed) {
        const QString path = prefix + name;
        // A known subfolder that was not listed keeps its recorded time: that time says when its
        // own names were last listed, which a start's catch-up compares with the disk's.
        if (!rescan.contains(name) && knownSubfolders.contains(name))
            continue;
        ScanResult subtree = scanSubtree(source, path, deepWalk);
        result.folders += subtree.folders;
        addGaps(result.gaps, subtree.gaps);
        result.mountPoints += subtree.mountPoints;
    }
    return result;
}

std::optional<QString> volumePathOf(const QString& path, const QString& mountPath)
{
    if (mountPath.isEmpty())
        return std::nullopt;
    if (path == mountPath)
        return QString();
    const QString prefix = mountPath == QLatin1String("/") ? mountPath : mountPath + QLatin1Char('/');
    if (!path.startsWith(prefix))
        return std::nullopt;
    return path.mid(prefix.size());
}

bool isDevicePath(const QString& path, const QList<Device>& devices)
{
    return std::any_of(devices.cbegin(), devices.cend(), [&path](const Device& device) { return device.url == path; });
}
