#include "Pellmar/platform/Volumes.h"

#include "Pellmar/platform/BlockDevices.h"
#include "Pellmar/platform/MountTable.h"

#include <QFile>
#include <QFileInfo>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <thread>

namespace {

bool holds(const QString& mountPath, const QString& path)
{
    return mountPath == QLatin1String("/") || path == mountPath
        || (path.startsWith(mountPath) && path.at(mountPath.size()) == QLatin1Char('/'));
}

struct FreeSpace {
    qint64 capacity = 0;
    qint64 available = 0;
};

// statvfs on a thread of its own, so that a share that hangs holds up only that thread, which ends
// whenever the call returns.
std::optional<FreeSpace> freeSpaceWithin(const QString& path, std::chrono::milliseconds limit)
{
    struct Reading {
        std::mutex lock;
        std::condition_variable done;
        std::optional<std::optional<FreeSpace>> result;
    };
    auto reading = std::make_shared<Reading>();
    std::thread([reading, path = QFile::encodeName(path)] {
        struct statvfs figures {};
        std::optional<FreeSpace> space;
        if (statvfs(path.constData(), &figures) == 0)
            space = FreeSpace{qint64(figures.f_blocks) * qint64(figures.f_frsize),
                              qint64(figures.f_bavail) * qint64(figures.f_frsize)};
        const std::lock_guard guard(reading->lock);
        reading->result = space;
        reading->done.notify_all();
    }).detach();
    std::unique_lock guard(reading->lock);
    if (!reading->done.wait_for(guard, limit, [&] { return reading->result.has_value(); }))
        return std::nullopt;
    return *reading->result;
}

class SystemVolumes : public Volumes {
public:
    QList<MountedVolume> mounted() const override
    {
        QList<MountedVolume> visible = readVolumes(QStringLiteral("/proc/self/mountinfo"), BlockDevices());
        visible.removeIf([](const MountedVolume& volume) { return volume.hidden; });
        return visible;
    }

    std::optional<MountedVolume> volumeOf(const QString& path) const override
    {
        return volumeHolding(readVolumes(QStringLiteral("/proc/self/mountinfo"), BlockDevices()), path);
    }
};

} // namespace

const Volumes& Volumes::system()
{
    static const SystemVolumes volumes;
    return volumes;
}

QString mountFolderName(const QString& mountPath)
{
    const QString name = mountPath.section(QLatin1Char('/'), -1);
    return name.isEmpty() ? QStringLiteral("/") : name;
}

QList<MountedVolume> readVolumes(const QString& mountTable, const BlockDevices& devices)
{
    QList<MountedVolume> volumes;
    QList<quint64> seenDevices;
    for (const MountEntry& entry : readMountTable(mountTable)) {
        MountedVolume volume;
        volume.url = entry.mountPoint;
        volume.device = entry.source;
        volume.type = entry.type;
        volume.deviceNumber = entry.deviceNumber;
        volume.local = !entry.network;
        volume.hidden = isHiddenMount(entry, seenDevices);
        const BlockDeviceFacts facts = devices.facts(entry.deviceNumber, entry.source);
        volume.uuid = facts.uuid;
        volume.name = facts.label;
        volume.removable = facts.removable;
        volume.ejectable = facts.ejectable;
        // Where udev knows nothing of a block device (a container), a local file system mounted where
        // removable media are mounted is taken for one.
        if (!facts.known && major(entry.deviceNumber) != 0 && volume.local && isUnderMountRoot(volume.url))
            volume.removable = true;
        if (volume.name.isEmpty())
            volume.name = mountFolderName(volume.url);
        volumes.append(volume);
    }
    return volumes;
}

void readFreeSpace(QList<MountedVolume>& volumes, std::chrono::milliseconds limit)
{
    for (MountedVolume& volume : volumes) {
        if (volume.hidden)
            continue;
        const std::optional<FreeSpace> space = freeSpaceWithin(volume.url, limit);
        volume.responding = space.has_value();
        volume.capacity = space ? space->capacity : 0;
        volume.available = space ? space->available : 0;
    }
}

std::optional<MountedVolume> volumeHolding(const QList<MountedVolume>& volumes, const QString& path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    // Of several mounts of the device (bind mounts), the deepest that holds the path, and of equals
    // the one mounted last, as the kernel resolves it.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    std::optional<MountedVolume> best;
    qsizetype bestDepth = -1;
    for (const MountedVolume& volume : volumes) {
        const bool inside = holds(volume.url, canonical);
        if (volume.deviceNumber != 0 ? volume.deviceNumber != quint64(status.st_dev) : !inside)
            continue;
        const qsizetype depth = inside ? volume.url.size() : 0;
        if (depth >= bestDepth) {
            best = volume;
            bestDepth = depth;
        }
    }
    return best;
}
