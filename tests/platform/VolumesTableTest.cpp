#include "Pellmar/platform/BlockDevices.h"
#include "Pellmar/platform/Volumes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/sysmacros.h>

namespace {

const QString fixtures = QStringLiteral(QUORVIN_FIXTURES "/volumes");

// A small system root: udev's record of a card in a USB reader, a partition of an internal NVMe
// disk, a USB hard drive that says it is not removable (known by its by-uuid and by-label links
// only), and an encrypted volume mapped onto that drive.
class SystemRoot {
public:
    SystemRoot()
    {
        const QString usbCard = QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/block/sdb");
        const QString nvme = QStringLiteral("sys/devices/pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1");
        const QString usbDisk = QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb3/3-1/3-1:1.0/host7/block/sde");
        write(usbCard + "/removable", "1\n");
        write(usbCard + "/sdb1/partition", "1\n");
        write(nvme + "/removable", "0\n");
        write(nvme + "/nvme0n1p3/partition", "3\n");
        write(usbDisk + "/removable", "0\n");
        write(usbDisk + "/sde1/partition", "1\n");
        write(QStringLiteral("sys/devices/virtual/block/dm-0/removable"), "0\n");
        link(QStringLiteral("sys/dev/block/8:17"), usbCard + "/sdb1");
        link(QStringLiteral("sys/dev/block/259:3"), nvme + "/nvme0n1p3");
        link(QStringLiteral("sys/dev/block/8:65"), usbDisk + "/sde1");
        link(QStringLiteral("sys/dev/block/253:0"), QStringLiteral("sys/devices/virtual/block/dm-0"));
        link(QStringLiteral("sys/devices/virtual/block/dm-0/slaves/sde1"), usbDisk + "/sde1");
        QDir(dir.path()).mkpath(QStringLiteral("run/udev/data"));
        QFile::copy(fixtures + "/udev-card", dir.filePath(QStringLiteral("run/udev/data/b8:17")));
        write(QStringLiteral("dev/sde1"), "");
        link(QStringLiteral("dev/disk/by-uuid/5678-EF01"), QStringLiteral("dev/sde1"));
        link(QStringLiteral("dev/disk/by-label/Backup\\x20Disk"), QStringLiteral("dev/sde1"));
    }

    QString path() const { return dir.path(); }

private:
    void write(const QString& relative, const QByteArray& content) const
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    void link(const QString& relative, const QString& target) const
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(QFile::link(dir.filePath(target), path));
    }

    QTemporaryDir dir;
};

TEST(UdevDatabase, ReadsThePropertiesOfARecord)
{
    QFile file(fixtures + "/udev-card");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QHash<QString, QString> properties = parseUdevDatabase(file.readAll());
    EXPECT_EQ(properties.value(QStringLiteral("ID_FS_UUID")), QStringLiteral("1234-ABCD"));
    EXPECT_EQ(properties.value(QStringLiteral("ID_BUS")), QStringLiteral("usb"));
    EXPECT_FALSE(properties.contains(QStringLiteral("disk/by-uuid/1234-ABCD")));   // an S: line, not a property
    EXPECT_TRUE(parseUdevDatabase("E:broken\nE:=x\n\n").isEmpty());
    EXPECT_EQ(decodeUdevText("My\\x20Card\\xc3\\xa9"), QStringLiteral("My Card\u00e9"));
    EXPECT_EQ(decodeUdevText("odd\\x2"), QStringLiteral("odd\\x2"));
}

TEST(BlockDevices, ReadsUdevSysfsAndLinksBelowARoot)
{
    const SystemRoot root;
    const BlockDevices devices(root.path());
    struct Case {
        const char* what;
        quint64 number;
        const char* node;
        BlockDeviceFacts facts;
    };
    const Case cases[] = {
        {"card in a USB reader", makedev(8, 17), "/dev/sdb1", {"1234-ABCD", "EOS_DIGITAL", true, true, true}},
        {"internal disk", makedev(259, 3), "/dev/nvme0n1p3", {"", "", false, false, true}},
        {"USB drive that says it is fixed", makedev(8, 65), "/dev/sde1", {"5678-EF01", "Backup Disk", false, true, true}},
        {"encrypted volume on that drive", makedev(253, 0), "/dev/mapper/secret", {"", "", false, true, true}},
        {"device nobody knows", makedev(8, 49), "/dev/sdd1", {"", "", false, false, false}},
        {"memory file system", makedev(0, 61), "tmpfs", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(devices.facts(c.number, QString::fromUtf8(c.node)), c.facts);
    }
}

TEST(ReadVolumes, ClassifiesTheMountsOfATable)
{
    const SystemRoot root;
    const QList<MountedVolume> volumes = readVolumes(fixtures + "/mountinfo", BlockDevices(root.path()));
    struct Expected {
        const char* url;
        bool hidden;
        bool local;
        bool removable;
        bool ejectable;
        const char* uuid;
        const char* name;
    };
    const Expected expected[] = {
        {"/", false, true, false, false, "", "/"},
        {"/proc", true, true, false, false, "", "proc"},
        {"/sys", true, true, false, false, "", "sys"},
        {"/dev", true, true, false, false, "", "dev"},
        {"/run", true, true, false, false, "", "run"},
        {"/boot/efi", true, true, false, false, "", "efi"},
        {"/snap/core22/1380", true, true, false, false, "", "1380"},
        {"/home", false, true, false, false, "", "home"},
        {"/media/anna/EOS_DIGITAL", false, true, true, true, "1234-ABCD", "EOS_DIGITAL"},
        {"/media/anna/My Card", false, true, true, false, "", "My Card"},   // unknown to udev, under a mount root
        {"/mnt/photos", false, false, false, false, "", "photos"},
        {"/srv/shared", true, true, false, false, "", "shared"},              // a bind mount of /home
        {"/mnt/eos", true, true, true, true, "1234-ABCD", "EOS_DIGITAL"},     // the card mounted twice
        {"/run/media/anna/CARD", false, true, true, false, "", "CARD"},
        {"/tmp", false, true, false, false, "", "tmp"},
        {"/home/anna/remote", false, false, false, false, "", "remote"},
        {"/mnt/ramdisk", false, true, false, false, "", "ramdisk"},             // no block device, so no card
    };
    ASSERT_EQ(volumes.size(), qsizetype(std::size(expected)));
    for (qsizetype i = 0; i < volumes.size(); ++i) {
        const MountedVolume& volume = volumes[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(e.url);
        EXPECT_EQ(volume.url, QString::fromUtf8(e.url));
        EXPECT_EQ(volume.hidden, e.hidden);
        EXPECT_EQ(volume.local, e.local);
        EXPECT_EQ(volume.removable, e.removable);
        EXPECT_EQ(volume.ejectable, e.ejectable);
        EXPECT_EQ(volume.uuid, QString::fromUtf8(e.uuid));
        EXPECT_EQ(volume.name, QString::fromUtf8(e.name));
    }
    EXPECT_TRUE(readVolumes(fixtures + "/missing", BlockDevices(root.path())).isEmpty());
}

} // namespace
