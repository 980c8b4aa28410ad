#include "Pellmar/platform/Volumes.h"

#include <QFile>
#include <QFileInfo>

#include <libmount/libmount.h>
#include <libudev.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <memory>

namespace {

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

// udev escapes unsafe characters of labels as "\xNN"; the plain ID_FS_LABEL replaces them with "_".
QString decodeUdevText(const char* encoded)
{
    if (!encoded)
        return {};
    QByteArray bytes;
    for (const char* at = encoded; *at; ++at) {
        if (at[0] == '\\' && at[1] == 'x' && at[2] && at[3]) {
            bool ok = false;
            const int value = QByteArray(at + 2, 2).toInt(&ok, 16);
            if (ok) {
                bytes.append(char(value));
                at += 3;
                continue;
            }
        }
        bytes.append(*at);
    }
    return QString::fromUtf8(bytes).trimmed();
}

struct DeviceIdentity {
    QString uuid;
    QString label;
    bool removable = false;
};

// UUID, label and removability of a block device from the udev database; empty without udev.
class UdevReader {
public:
    UdevReader() : udev_(udev_new(), &udev_unref) {}

    DeviceIdentity identity(dev_t number) const
    {
        DeviceIdentity identity;
        if (!udev_ || major(number) == 0)
            return identity;
        std::unique_ptr<udev_device, decltype(&udev_device_unref)> device(
            udev_device_new_from_devnum(udev_.get(), 'b', number), &udev_device_unref);
        if (!device)
            return identity;
        identity.uuid = text(udev_device_get_property_value(device.get(), "ID_FS_UUID"));
        identity.label = decodeUdevText(udev_device_get_property_value(device.get(), "ID_FS_LABEL_ENC"));
        if (identity.label.isEmpty())
            identity.label = text(udev_device_get_property_value(device.get(), "ID_FS_LABEL"));
        identity.removable = isRemovable(device.get());
        return identity;
    }

private:
    static bool isRemovable(udev_device* device)
    {
        if (text(udev_device_get_property_value(device, "ID_BUS")) == QLatin1String("usb")
            || udev_device_get_property_value(device, "ID_DRIVE_FLASH_SD"))
            return true;
        udev_device* disk = udev_device_get_parent_with_subsystem_devtype(device, "block", "disk");
        const char* removable = udev_device_get_sysattr_value(disk ? disk : device, "removable");
        return removable && QByteArray(removable) == "1";
    }

    std::unique_ptr<udev, decltype(&udev_unref)> udev_;
};

struct MountEntry {
    MountedVolume volume;
    dev_t number = 0;
    bool pseudo = false;
};

QList<MountEntry> readMountTable()
{
    QList<MountEntry> entries;
    std::unique_ptr<libmnt_table, decltype(&mnt_unref_table)> table(
        mnt_new_table_from_file("/proc/self/mountinfo"), &mnt_unref_table);
    if (!table)
        return entries;
    std::unique_ptr<libmnt_iter, decltype(&mnt_free_iter)> iterator(mnt_new_iter(MNT_ITER_FORWARD), &mnt_free_iter);
    const UdevReader udev;
    libmnt_fs* fs = nullptr;
    while (mnt_table_next_fs(table.get(), iterator.get(), &fs) == 0) {
        MountEntry entry;
        entry.number = mnt_fs_get_devno(fs);
        entry.pseudo = mnt_fs_is_pseudofs(fs) || mnt_fs_is_swaparea(fs);
        entry.volume.url = text(mnt_fs_get_target(fs));
        entry.volume.device = text(mnt_fs_get_source(fs));
        const DeviceIdentity identity = udev.identity(entry.number);
        entry.volume.uuid = identity.uuid;
        entry.volume.name = identity.label.isEmpty() ? mountFolderName(entry.volume.url) : identity.label;
        entry.volume.removable = identity.removable;
        entries.append(entry);
    }
    return entries;
}

bool isBelow(const QString& path, const QString& folder)
{
    return folder == QLatin1String("/") || path == folder
        || (path.startsWith(folder) && path.at(folder.size()) == QLatin1Char('/'));
}

class SystemVolumes : public Volumes {
public:
    QList<MountedVolume> mounted() const override
    {
        QList<MountedVolume> volumes;
        for (const MountEntry& entry : readMountTable()) {
            if (!entry.pseudo)
                volumes.append(entry.volume);
        }
        return volumes;
    }

    std::optional<MountedVolume> volumeOf(const QString& path) const override
    {
        struct stat status {};
        if (::stat(QFile::encodeName(path).constData(), &status) != 0)
            return std::nullopt;
        // The mount with the file's device number; of several (bind mounts), the deepest that holds
        // the path, and of equals the one mounted last, as the kernel resolves it.
        const QString canonical = QFileInfo(path).canonicalFilePath();
        std::optional<MountedVolume> best;
        qsizetype bestDepth = -1;
        for (const MountEntry& entry : readMountTable()) {
            if (entry.number != status.st_dev)
                continue;
            const qsizetype depth = isBelow(canonical, entry.volume.url) ? entry.volume.url.size() : 0;
            if (depth >= bestDepth) {
                best = entry.volume;
                bestDepth = depth;
            }
        }
        return best;
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
