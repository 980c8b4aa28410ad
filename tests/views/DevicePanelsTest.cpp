#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/details/DetailsPane.h"
#include "Pellmar/views/device/DevicePanels.h"
#include "tests/library/OfflineLibrary.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class DevicePanelsTest : public ::testing::Test {
protected:
    DevicePanelsTest()
    {
        QDir().mkpath(device.url);
        view.resize(340, 700);
        view.show();
    }

    ~DevicePanelsTest() override
    {
        offline.library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    CardFile file(const char* name, MediaKind kind, qint64 size)
    {
        return {device.url + QStringLiteral("/DCIM/") + QLatin1String(name), size, 1'700'000'000, kind};
    }

    void selectDevice()
    {
        library.setDevices({device});
        library.setSelectedDevice(device.id());
    }

    // What the pane shows once it has caught up with the Library.
    template <typename Panel>
    Panel& shown()
    {
        QCoreApplication::processEvents();
        auto* panel = qobject_cast<Panel*>(view.currentWidget());
        EXPECT_TRUE(panel) << view.currentWidget()->objectName().toStdString();
        return *panel;
    }

    OfflineLibrary offline;
    Library& library = *offline.library;
    DetailsPane view{library};
    Device device{QDir::cleanPath(offline.dir.filePath(QStringLiteral("CARD"))), QStringLiteral("CARD"), 64'000'000'000,
                  62'800'000'000};
    CardFile photo = file("IMG_1.JPG", MediaKind::photo, 2'000'000);
    CardFile video = file("MVI_2.MOV", MediaKind::video, 30'000'000);
    CardFile audio = file("NOTE_3.WAV", MediaKind::audio, 1'000'000);
    CardFile document = file("MANUAL.PDF", MediaKind::document, 3'000);
};

} // namespace

// The pane follows the card selection: the device until the card is listed and after, one focused
// file, several ticked files, and back to the place the grid shows once the device is gone.
TEST_F(DevicePanelsTest, EachCardSelectionShowsItsPanel)
{
    selectDevice();
    DevicePanel& devicePanel = shown<DevicePanel>();
    EXPECT_EQ(devicePanel.nameLabel().text(), QStringLiteral("CARD"));
    EXPECT_EQ(devicePanel.usageLabel().text(), QStringLiteral("1.2 GB used of 64 GB"));
    EXPECT_TRUE(devicePanel.lookingRow().isVisible());
    EXPECT_TRUE(devicePanel.factLines().isEmpty());
    EXPECT_FALSE(devicePanel.importButton().isEnabled());
    EXPECT_TRUE(devicePanel.indexButton().isEnabled());
    EXPECT_TRUE(devicePanel.ejectButton().isEnabled());

    // The listing arriving is enough for the counts to appear; they cover the whole card, whatever
    // the search text leaves in the grid.
    library.setDeviceFiles({{device.id(), {photo, video, audio, document}}});
    library.setQuery(QStringLiteral("MVI"));
    shown<DevicePanel>();
    EXPECT_FALSE(devicePanel.lookingRow().isVisible());
    EXPECT_EQ(devicePanel.factLines(),
              (QStringList{"Photos: 1", "Videos: 1", "Audio: 1", "Size: 33 MB"}));
    EXPECT_TRUE(devicePanel.importButton().isEnabled());

    library.setSelectedCardFile(video);
    library.setSelectedCards({video.url});
    CardFilePanel& filePanel = shown<CardFilePanel>();
    EXPECT_EQ(filePanel.nameLabel().text(), QStringLiteral("MVI_2.MOV"));
    EXPECT_EQ(filePanel.deviceLine().text(), QStringLiteral("On CARD"));
    EXPECT_EQ(filePanel.factLines().mid(0, 2), (QStringList{"Kind: Video", "Size: 30 MB"}));

    library.setSelectedCards({photo.url, audio.url, document.url, QStringLiteral("/elsewhere/IMG_9.JPG")});
    CardGroupPanel& groupPanel = shown<CardGroupPanel>();
    EXPECT_EQ(groupPanel.heading().text(), QStringLiteral("3 files selected"));
    EXPECT_EQ(groupPanel.summary().text(), QStringLiteral("On CARD, 1 photos, 0 videos, 3 MB"));

    library.setDevices({});
    EXPECT_EQ(shown<QWidget>().objectName(), QStringLiteral("locationPanel"));
}

TEST_F(DevicePanelsTest, ImportOpensTheSheetForTheWholeCardOrTheTickedFiles)
{
    // The subset is in place when the device that presents the sheet is set.
    QList<QSet<QString>> subsetWhenOpened;
    QObject::connect(&library, &Library::changed, [&](Library::Prop property) {
        if (property == Library::Prop::importDevice && library.importDevice())
            subsetWhenOpened.append(library.importSubset());
    });
    const QString gone = device.url + QStringLiteral("/DCIM/GONE.JPG");
    selectDevice();
    library.setDeviceFiles({{device.id(), {photo, video}}});

    library.setImportSubset({QStringLiteral("left over")});
    shown<DevicePanel>().importButton().click();
    library.setImportDevice(std::nullopt);

    library.setImportSubset({QStringLiteral("left over")});
    library.setSelectedCardFile(photo);
    library.setSelectedCards({photo.url});
    shown<CardFilePanel>().importButton().click();   // the whole card, not only this file
    library.setImportDevice(std::nullopt);

    library.setSelectedCards({photo.url, video.url, gone});
    shown<CardGroupPanel>().importButton().click();   // every ticked file, also one the card lost

    EXPECT_EQ(subsetWhenOpened, (QList<QSet<QString>>{{}, {}, {photo.url, video.url, gone}}));
    EXPECT_EQ(library.importDevice(), device);
}

TEST_F(DevicePanelsTest, EjectAndIndexActOnTheShownDevice)
{
    waitFor(library.index().run([](Index& index) { index.migrate(); }));
    selectDevice();
    library.setDeviceFiles({{device.id(), {}}});
    DevicePanel& panel = shown<DevicePanel>();
    EXPECT_FALSE(panel.importButton().isEnabled());   // an empty card has nothing to import

    offline.ejector->refusal = QStringLiteral("The card is busy.");
    panel.ejectButton().click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return library.lastError().has_value(); }, 5000));
    EXPECT_EQ(offline.ejector->ejected, QStringList{device.url});
    EXPECT_EQ(library.lastError(), QStringLiteral("Could not eject CARD. The card is busy."));

    panel.indexButton().click();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const QList<Source>& sources = library.sources();
        return std::any_of(sources.cbegin(), sources.cend(),
                           [&](const Source& s) { return s.rootPath == device.url && s.name == QStringLiteral("CARD"); });
    }, 10000));
}
