#include "Pellmar/platform/BlockDevices.h"

#include "Pellmar/platform/SysfsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libudev.h>
#include <sys/sysmacros.h>

#include <memory>

namespace {

constexpr qint64 maxRecordSize = 1 << 20;

QByteArray readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(maxRecordSize);
}

QString deviceName(quint64 deviceNumber)
{
    return QStringLiteral("%1:%2").arg(major(deviceNumber)).arg(minor(deviceNumber));
}

// The properties of a block device as libudev reports them; empty without udev.
QHash<QString, QString> libudevProperties(quint64 deviceNumber)
{
    QHash<QString, QString> properties;
    std::unique_ptr<udev, decltype(&udev_unref)> context(udev_new(), &udev_unref);
    if (!context)
        return properties;
    std::unique_ptr<udev_device, decltype(&udev_device_unref)> device(
        udev_device_new_from_devnum(context.get(), 'b', dev_t(deviceNumber)), &udev_device_unref);
    if (!device)
        return properties;
    for (udev_list_entry* entry = udev_device_get_properties_list_entry(device.get()); entry;
         entry = udev_list_entry_get_next(entry))
        properties.insert(QString::fromUtf8(udev_list_entry_get_name(entry)),
                          QString::fromUtf8(udev_list_entry_get_value(entry)));
    return properties;
}

// Whether a sysfs device path runs over a bus whose devices can be unplugged while running.
bool isOnHotPlugBus(const QString& devicePath)
{
    for (const QString& component : devicePath.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (component.startsWith(QLatin1String("usb")) || component.startsWith(QLatin1String("mmc"))
            || component.startsWith(QLatin1String("fw")) || component.contains(QLatin1String("ieee1394"))
            || component.contains(QLatin1String("thunderbolt")))
            return true;
    }
    return false;
}

} // namespace

QHash<QString, QString> parseUdevDatabase(const QByteArray& record)
{
    QHash<QString, QString> properties;
    for (const QByteArray& line : record.split('\n')) {
        if (!line.startsWith("E:"))
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 3)
            continue;
        properties.insert(QString::fromUtf8(line.mid(2, equals - 2)), QString::fromUtf8(line.mid(equals + 1)));
    }
    return properties;
}

QString decodeUdevText(const QByteArray& encoded)
{
    QByteArray bytes;
    for (qsizetype at = 0; at < encoded.size(); ++at) {
        if (encoded[at] == '\\' && at + 3 < encoded.size() && encoded[at + 1] == 'x') {
            bool ok = false;
            const int value = encoded.mid(at + 2, 2).toInt(&ok, 16);
            if (ok) {
                bytes.append(char(value));
                at += 3;
                continue;
            }
        }
        bytes.append(encoded[at]);
    }
    return QString::fromUtf8(bytes).trimmed();
}

BlockDevices::BlockDevices(QString root) : root_(QDir::cleanPath(root))
{
    // Paths below the root are joined as root_ + "/sys/...".
    if (root_ == QLatin1String("/"))
        root_.clear();
}

QHash<QString, QString> BlockDevices::udevProperties(quint64 deviceNumber) const
{
    if (root_.isEmpty()) {
        QHash<QString, QString> properties = libudevProperties(deviceNumber);
        if (!properties.isEmpty())
            return properties;
    }
    return parseUdevDatabase(readSmallFile(root_ + QStringLiteral("/run/udev/data/b") + deviceName(deviceNumber)));
}

QString BlockDevices::linkName(const QString& folder, const QString& deviceNode) const
{
    const QString target = QFileInfo(root_ + deviceNode).canonicalFilePath();
    if (target.isEmpty())
        return {};
    const QDir links(root_ + QStringLiteral("/dev/disk/") + folder);
    for (const QFileInfo& link : links.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (link.canonicalFilePath() == target)
            return decodeUdevText(QFile::encodeName(link.fileName()));
    }
    return {};
}

QString BlockDevices::sysfsFolder(quint64 deviceNumber) const
{
    QString folder = QFileInfo(root_ + QStringLiteral("/sys/dev/block/") + deviceName(deviceNumber)).canonicalFilePath();
    // A mapped device (an encrypted or logical volume) lies on its slaves; the first one tells the disk.
    for (int depth = 0; depth < 8 && !folder.isEmpty(); ++depth) {
        const QStringList slaves = QDir(folder + QStringLiteral("/slaves")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
        if (slaves.isEmpty())
            break;
        folder = QFileInfo(folder + QStringLiteral("/slaves/") + slaves.first()).canonicalFilePath();
    }
    return folder;
}

BlockDeviceFacts BlockDevices::facts(quint64 deviceNumber, const QString& deviceNode) const
{
    BlockDeviceFacts facts;
    if (major(deviceNumber) == 0)
        return facts;
    const QHash<QString, QString> properties = udevProperties(deviceNumber);
    facts.uuid = properties.value(QStringLiteral("ID_FS_UUID"));
    facts.label = decodeUdevText(properties.value(QStringLiteral("ID_FS_LABEL_ENC")).toUtf8());
    if (facts.label.isEmpty())
        facts.label = properties.value(QStringLiteral("ID_FS_LABEL"));
    if (deviceNode.startsWith(QLatin1Char('/'))) {
        if (facts.uuid.isEmpty())
            facts.uuid = linkName(QStringLiteral("by-uuid"), deviceNode);
        if (facts.label.isEmpty())
            facts.label = linkName(QStringLiteral("by-label"), deviceNode);
    }

    const QString bus = properties.value(QStringLiteral("ID_BUS"));
    facts.removable = properties.contains(QStringLiteral("ID_DRIVE_FLASH_SD"))
        || properties.contains(QStringLiteral("ID_DRIVE_MEDIA_FLASH_SD"));
    facts.ejectable = bus == QLatin1String("usb") || bus == QLatin1String("ieee1394");

    const QString folder = sysfsFolder(deviceNumber);
    if (!folder.isEmpty()) {
        // A partition's removable flag is its disk's.
        const bool partition = QFileInfo::exists(folder + QStringLiteral("/partition"));
        const QString disk = partition ? QFileInfo(folder).path() : folder;
        facts.removable = facts.removable || readSysfsAttribute(disk + QStringLiteral("/removable")) == QLatin1String("1");
        facts.ejectable = facts.ejectable || isOnHotPlugBus(disk.mid(root_.size()));
    }
    facts.known = !properties.isEmpty() || !folder.isEmpty();
    return facts;
}
