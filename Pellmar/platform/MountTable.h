#pragma once

#include <QList>
#include <QString>

// One line of a kernel mount table ("/proc/self/mountinfo"), as libmount parses it.
struct MountEntry {
    QString mountPoint;       // where it is mounted, unescaped
    QString source;           // what is mounted ("/dev/sdb1", "nas:/photos", "tmpfs")
    QString type;             // the file system type ("ext4", "vfat", "nfs4", "fuse.sshfs")
    QString root;             // the folder of the file system shown there: "/" unless a bind mount
    quint64 deviceNumber = 0; // the st_dev of files on it
    bool network = false;

    bool operator==(const MountEntry&) const = default;
};

// The entries of a mount table file in its order; empty when it cannot be read.
QList<MountEntry> readMountTable(const QString& path);

// Whether a mounted file system is one the user does not see as a volume: kernel and system file
// systems, anything mounted in the system's own folders, a bind mount, or a second mount of a device
// already listed (`seenDevices` collects the devices of the visible ones).
bool isHiddenMount(const MountEntry& entry, QList<quint64>& seenDevices);

// Whether the mount point lies in one of the folders where removable media are mounted.
bool isUnderMountRoot(const QString& mountPoint);
