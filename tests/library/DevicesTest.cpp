#include "OfflineLibrary.h"

#include "Pellmar/library/engine/Devices.h"
#include "Pellmar/library/frame/Tasks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

MountedVolume volume(const QString& url, const QString& name, bool removable, bool ejectable, bool local = true)
{
    MountedVolume volume;
    volume.url = url;
    volume.name = name;
    volume.removable = removable;
    volume.ejectable = ejectable;
    volume.local = local;
    volume.capacity = 64'000'000'000;
    volume.available = 1'000'000;
    return volume;
}

Source folderSource(const QString& id, const QString& root)
{
    return Source{id, id, root, QString(), QString(), 1, SourceKind::folder};
}

TEST(DeviceList, ListsThePluggedInDrivesAndCardsThatAreNotIndexed)
{
    struct Case {
        const char* what;
        MountedVolume volume;
        bool listed;
    };
    const Case cases[] = {
        {"boot disk", volume("/", "/", true, true), false},
        {"network share", volume("/mnt/nas", "nas", true, true, false), false},
        {"internal second disk", volume("/data", "data", false, false), false},
        {"USB stick", volume("/media/u/STICK", "STICK", true, true), true},
        {"SD card in a built-in reader", volume("/media/u/EOS_DIGITAL", "EOS_DIGITAL", true, false), true},
        {"USB hard drive that says it is fixed", volume("/media/u/Backup", "Backup", false, true), true},
        {"drive that is a source", volume("/media/u/Archive", "Archive", true, true), false},
        {"drive that holds a source's folder", volume("/media/u/Photos", "Photos", true, true), false},
        {"a card beside a source on a card of a longer name", volume("/media/u/Card", "Card", true, false), true},
    };
    const QList<Source> sources{folderSource("A", "/media/u/Archive"), folderSource("P", "/media/u/Photos/2024"),
                                folderSource("C", "/media/u/Card 2/DCIM"),
                                Source{"L", "Photos", "/media/u/STICK", "", "", 1, SourceKind::photos}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QList<Device> devices = deviceList({c.volume}, sources);
        EXPECT_EQ(devices.size(), c.listed ? 1 : 0);
    }

    MountedVolume nameless = volume("/media/u/3A2F-11C0", QString(), true, true);
    EXPECT_EQ(deviceList({nameless}, {}),
              (QList<Device>{{"/media/u/3A2F-11C0", "3A2F-11C0", nameless.capacity, nameless.available}}));
}

// A library with one memory card plugged in: a folder holding DCIM/IMG_0001.JPG.
class DevicesTest : public ::testing::Test {
protected:
    DevicesTest()
    {
        QDir().mkpath(card.filePath(QStringLiteral("DCIM/100CANON")));
        QFile photo(card.filePath(QStringLiteral("DCIM/100CANON/IMG_0001.JPG")));
        EXPECT_TRUE(photo.open(QIODevice::WriteOnly));
        photo.write("jpeg");
        plug();
    }

    ~DevicesTest() override { EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000)); }

    void plug() { offline.placeVolumes({volume(card.path(), QStringLiteral("EOS_DIGITAL"), true, true)}); }
    void unplug() { offline.placeVolumes({}); }

    QTemporaryDir card;
    OfflineLibrary offline;
    Library& library = *offline.library;
};

TEST_F(DevicesTest, UnpluggingTheSelectedCardClearsItsSelectionsAndFiles)
{
    library.refreshDevices();
    ASSERT_EQ(library.devices().size(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return library.deviceFiles().value(card.path()).size() == 1; }, 5000));
    const Device device = library.devices().first();
    library.selectDevice(device);
    const CardFile file = library.deviceFiles().value(card.path()).first();
    library.setSelectedCardFile(file);
    library.setSelectedCards({file.url});

    // A refresh while it stays keeps everything.
    library.refreshDevices();
    EXPECT_EQ(library.selectedDevice(), device.url);
    EXPECT_EQ(library.selectedCards().size(), 1);

    unplug();
    library.refreshDevices();
    EXPECT_TRUE(library.devices().isEmpty());
    EXPECT_TRUE(library.deviceFiles().isEmpty());
    EXPECT_EQ(library.selectedDevice(), std::nullopt);
    EXPECT_EQ(library.selectedCardFile(), std::nullopt);
    EXPECT_TRUE(library.selectedCards().isEmpty());
}

TEST_F(DevicesTest, AListingThatEndsAfterTheCardWasUnpluggedIsDropped)
{
    library.refreshDevices();   // starts listing the card
    unplug();
    library.refreshDevices();   // in the same turn: the listing cannot have come back yet
    ASSERT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
    EXPECT_TRUE(library.deviceFiles().isEmpty());

    plug();
    library.refreshDevices();
    EXPECT_TRUE(QTest::qWaitFor([&] { return library.deviceFiles().contains(card.path()); }, 5000));
}

TEST_F(DevicesTest, EjectingSaysWhyTheSystemRefusedAndDropsTheCardOnceItIsGone)
{
    library.refreshDevices();
    const Device device = library.devices().first();
    offline.ejector->refusal = QStringLiteral("Error unmounting /dev/sdb1: target is busy");
    QCoro::waitFor(library.ejectDevice(device));
    EXPECT_EQ(offline.ejector->ejected, QStringList{card.path()});
    EXPECT_EQ(library.lastError(), QStringLiteral("Could not eject EOS_DIGITAL. Error unmounting /dev/sdb1: target is busy"));
    EXPECT_EQ(library.devices().size(), 1);

    library.setLastError(std::nullopt);
    offline.ejector->refusal.reset();
    offline.ejector->unmount = [this](const QString&) { unplug(); };
    QCoro::waitFor(library.ejectDevice(device));
    EXPECT_EQ(library.lastError(), std::nullopt);
    EXPECT_TRUE(library.devices().isEmpty());
}

} // namespace
