#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// What the system knows of the block device that holds a file system.
struct BlockDeviceFacts {
    QString uuid;
    QString label;
    bool removable = false;   // removable media: a card reader's card, a flash drive
    bool ejectable = false;   // on a hot-plug bus (USB, memory card, FireWire, Thunderbolt)
    bool known = false;       // udev or sysfs knows the device at all

    bool operator==(const BlockDeviceFacts&) const = default;
};

// The properties ("E:KEY=value" lines) of a udev database record.
QHash<QString, QString> parseUdevDatabase(const QByteArray& record);

// Undoes udev's "\xNN" escapes of unsafe characters in labels and link names.
QString decodeUdevText(const QByteArray& encoded);

// Reads the facts of block devices from udev (libudev, else its database files, else the
// /dev/disk/by-uuid and by-label links) and sysfs. A reader on another root than "/" reads the
// files below it only, as tests lay them out: run/udev/data, sys/dev/block, dev/disk.
class BlockDevices {
public:
    explicit BlockDevices(QString root = QStringLiteral("/"));

    // Nothing known for a device without a major number (memory and network file systems).
    BlockDeviceFacts facts(quint64 deviceNumber, const QString& deviceNode) const;

private:
    QHash<QString, QString> udevProperties(quint64 deviceNumber) const;
    // The name of the link in a /dev/disk folder that points at the device node; empty when none does.
    QString linkName(const QString& folder, const QString& deviceNode) const;
    // The sysfs folder of the device, device-mapper slaves followed down to a real disk.
    QString sysfsFolder(quint64 deviceNumber) const;

    QString root_;   // empty for the system's own root
};
