#include "Pellmar/platform/MountTable.h"

#include <QFile>
#include <QSet>

#include <libmount/libmount.h>
#include <sys/sysmacros.h>

#include <memory>

namespace {

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

// File systems of the kernel and of the system, never a place for the user's files.
const QSet<QString>& systemTypes()
{
    static const QSet<QString> types{
        "autofs",   "binfmt_misc", "bpf",     "cgroup",      "cgroup2",  "configfs", "debugfs",    "devpts",
        "devtmpfs", "efivarfs",    "fusectl", "hugetlbfs",   "mqueue",   "nsfs",     "proc",       "pstore",
        "ramfs",    "rpc_pipefs",  "securityfs", "selinuxfs", "squashfs", "tracefs", "sysfs",      "fuse.portal",
        "fuse.gvfsd-fuse", "fuse.snapfuse", "overlay", "nfsd",
    };
    return types;
}

// Network file systems that libmount does not count as such.
const QSet<QString>& userSpaceNetworkTypes()
{
    static const QSet<QString> types{"fuse.sshfs", "fuse.rclone", "davfs", "fuse.davfs2", "fuse.s3fs"};
    return types;
}

bool isBelowOrAt(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

bool isSystemFolder(const QString& mountPoint)
{
    if (isUnderMountRoot(mountPoint))
        return false;
    for (const char* folder : {"/proc", "/sys", "/dev", "/run", "/snap", "/boot", "/efi"}) {
        if (isBelowOrAt(mountPoint, QLatin1String(folder)))
            return true;
    }
    return false;
}

} // namespace

QList<MountEntry> readMountTable(const QString& path)
{
    QList<MountEntry> entries;
    std::unique_ptr<libmnt_table, decltype(&mnt_unref_table)> table(
        mnt_new_table_from_file(QFile::encodeName(path).constData()), &mnt_unref_table);
    if (!table)
        return entries;
    std::unique_ptr<libmnt_iter, decltype(&mnt_free_iter)> iterator(mnt_new_iter(MNT_ITER_FORWARD), &mnt_free_iter);
    libmnt_fs* fs = nullptr;
    while (mnt_table_next_fs(table.get(), iterator.get(), &fs) == 0) {
        MountEntry entry;
        entry.mountPoint = text(mnt_fs_get_target(fs));
        entry.source = text(mnt_fs_get_source(fs));
        entry.type = text(mnt_fs_get_fstype(fs));
        entry.root = text(mnt_fs_get_root(fs));
        entry.deviceNumber = mnt_fs_get_devno(fs);
        entry.network = mnt_fs_is_netfs(fs) || userSpaceNetworkTypes().contains(entry.type);
        entries.append(entry);
    }
    return entries;
}

bool isHiddenMount(const MountEntry& entry, QList<quint64>& seenDevices)
{
    const bool isRoot = entry.mountPoint == QLatin1String("/");
    if (!isRoot && (systemTypes().contains(entry.type) || isSystemFolder(entry.mountPoint)))
        return true;
    // A bind mount shows a folder of a file system that is mounted elsewhere. Btrfs names its
    // subvolumes there, so only a second mount of the device tells its binds apart.
    if (!isRoot && entry.root != QLatin1String("/") && entry.type != QLatin1String("btrfs"))
        return true;
    // Each memory file system and network share has a device number of its own, so a repeated
    // number is a second mount of one device.
    if (seenDevices.contains(entry.deviceNumber))
        return true;
    seenDevices.append(entry.deviceNumber);
    return false;
}

bool isUnderMountRoot(const QString& mountPoint)
{
    for (const char* root : {"/media/", "/run/media/", "/mnt/"}) {
        if (mountPoint.startsWith(QLatin1String(root)))
            return true;
    }
    return false;
}
