#pragma once

#include <QList>
#include <QString>

#include <chrono>
#include <optional>

class BlockDevices;

// One mounted file system as the rest of the program sees a volume.
struct MountedVolume {
    QString url;      // the mount path
    QString device;   // what is mounted, as the mount table names it ("/dev/sdb1", "tmpfs")
    QString uuid;     // the file system's UUID; empty when it cannot be read
    QString name;     // the file system's label, else the mount folder's name; never empty
    bool removable = false;
    bool ejectable = false;   // on a bus that can be unplugged (USB, memory card, FireWire, Thunderbolt)
    bool local = true;        // not a network share
    bool hidden = false;      // a system, kernel or bind mount the user never sees as a volume
    bool responding = true;   // false once reading its free space did not answer in time
    QString type{};           // the file system type
    quint64 deviceNumber = 0; // the st_dev of its files; 0 when unknown (the volume of a path is then found by its mount path)
    qint64 capacity = 0;      // bytes; 0 when not reported
    qint64 available = 0;

    bool operator==(const MountedVolume&) const = default;
};

// The mounted volumes of the machine; tests fill in a fake.
class Volumes {
public:
    virtual ~Volumes() = default;

    // The volumes the user sees, in mount-table order: kernel, system and bind mounts left out.
    virtual QList<MountedVolume> mounted() const = 0;

    // The volume that holds an existing path; nothing when the path cannot be read.
    virtual std::optional<MountedVolume> volumeOf(const QString& path) const = 0;

    // The process's view of the real mount table, read afresh at each call (without free space).
    static const Volumes& system();
};

// The name a volume without a label goes by: its mount folder's name, "/" for the root.
QString mountFolderName(const QString& mountPath);

// Every mount of a mount table file as a volume (hidden ones flagged), with the facts of its device.
QList<MountedVolume> readVolumes(const QString& mountTable, const BlockDevices& devices);

// Fills in the capacity and free space of the visible volumes. Each reading may take `limit`; a volume
// that does not answer by then (a hung network share) is marked as not responding.
void readFreeSpace(QList<MountedVolume>& volumes, std::chrono::milliseconds limit);

// Of `volumes`, the one that holds an existing path: the mount with the path's device number (the
// deepest one that holds the path), else, for volumes of unknown device, the deepest mount path
// that holds it. Stats the path.
std::optional<MountedVolume> volumeHolding(const QList<MountedVolume>& volumes, const QString& path);
