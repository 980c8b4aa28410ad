#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/destination/DestinationBrowser.h"
#include "Pellmar/views/device/ImportSheet.h"
#include "Pellmar/views/frame/AlertDialog.h"
#include "tests/library/OfflineLibrary.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class ImportSheetTest : public ::testing::Test {
protected:
    ImportSheetTest()
    {
        waitFor(library.index().run([](Index& index) { index.migrate(); }));
        QDir().mkpath(cardFolder);
        QDir().mkpath(destination);
        for (const char* name : {"IMG_0001.JPG", "IMG_0002.JPG", "MVI_0003.MOV"})
            files.append(cardFile(QString::fromUtf8(name)));
        window.resize(900, 700);
        window.show();
    }

    ~ImportSheetTest() override
    {
        delete sheet;
        offline.library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    CardFile cardFile(const QString& name)
    {
        const QString path = QDir(cardFolder).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(50'000, name.at(6).toLatin1()));
        return {path, 50'000, 1'600'000'000, name.endsWith(u"MOV") ? MediaKind::video : MediaKind::photo};
    }

    void open()
    {
        sheet = new ImportSheet(library, device, &window);
        sheet->open();
    }
    void list() { library.setDeviceFiles({{device.id(), files}}); }

    OfflineLibrary offline;
    Library& library = *offline.library;
    QTemporaryDir dir;
    Device device{dir.filePath(QStringLiteral("CARD")), QStringLiteral("CARD"), 64'000'000'000, 60'000'000'000};
    QString cardFolder = device.url + QStringLiteral("/DCIM/100CANON");
    QString destination = QDir::cleanPath(dir.filePath(QStringLiteral("Pictures")));
    QList<CardFile> files;
    QWidget window;
    QPointer<ImportSheet> sheet;
};

} // namespace

TEST_F(ImportSheetTest, ImportCopiesTheFilesAndDeletesOriginalsOnlyWhenConfirmed)
{
    list();
    open();
    Q_EMIT sheet->browser().targetChanged(ImportTarget::folder(destination));
    EXPECT_EQ(sheet->planLabel().text(), QStringLiteral("Will copy 3 files, 150 KB to ") + destination);

    // The first switch-on asks, with the toggle still off; Cancel keeps it off.
    sheet->deleteToggle().click();
    ASSERT_TRUE(sheet->deleteConfirmation());
    EXPECT_FALSE(sheet->deleteToggle().isChecked());
    EXPECT_EQ(sheet->deleteConfirmation()->title(), QStringLiteral("Delete from the card after importing?"));
    sheet->deleteConfirmation()->cancelButton()->click();
    EXPECT_FALSE(sheet->deleteToggle().isChecked());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet->deleteConfirmation(); }, 5000));
    sheet->deleteToggle().click();
    ASSERT_TRUE(sheet->deleteConfirmation());
    sheet->deleteConfirmation()->confirmButton()->click();
    EXPECT_TRUE(sheet->deleteToggle().isChecked());
    // Once confirmed, off and on again does not ask.
    sheet->deleteToggle().click();
    sheet->deleteToggle().click();
    EXPECT_TRUE(sheet->deleteToggle().isChecked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet->deleteConfirmation(); }, 5000));
    EXPECT_TRUE(sheet->plan().planLine.endsWith(QStringLiteral(", then delete them from the card")));

    // Return in the search field only searches.
    ASSERT_TRUE(sheet->importButton().isEnabled());
    sheet->browser().searchField().setFocus();
    QTest::keyClick(&sheet->browser().searchField(), Qt::Key_Return);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(library.importJob());

    sheet->importButton().click();
    EXPECT_FALSE(sheet->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return library.importResult().has_value(); }, 20000));
    EXPECT_EQ(library.importResult()->count, 3);
    EXPECT_EQ(QDir(destination).entryList(QDir::Files, QDir::Name),
              (QStringList{QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0002.JPG"), QStringLiteral("MVI_0003.MOV")}));
    for (const CardFile& file : files)
        EXPECT_FALSE(QFileInfo::exists(file.url)) << file.url.toStdString();
}

TEST_F(ImportSheetTest, SkippingWaitsForTheListingAndChecksOnce)
{
    library.defaults().set(QStringLiteral("importSkipDuplicates"), true);
    open();
    Q_EMIT sheet->browser().targetChanged(ImportTarget::folder(destination));
    EXPECT_TRUE(sheet->skipToggle().isChecked());
    EXPECT_EQ(sheet->plan().subtitle, QStringLiteral("Looking for photos and videos"));
    EXPECT_FALSE(sheet->checking());   // nothing to check before the card is listed
    EXPECT_FALSE(sheet->importButton().isEnabled());

    list();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->checking(); }, 5000));
    EXPECT_EQ(sheet->plan().planLine, QStringLiteral("Checking which files are already in Quorvin"));
    EXPECT_FALSE(sheet->importButton().isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet->checking(); }, 10000));
    EXPECT_EQ(sheet->plan().subtitle, QStringLiteral("2 photos, 1 videos, 150 KB"));
    EXPECT_TRUE(sheet->plan().planLine.endsWith(QStringLiteral(", skipping 0 duplicates")));
    EXPECT_TRUE(sheet->importButton().isEnabled());

    // Off and on again reuses the result.
    sheet->skipToggle().click();
    EXPECT_FALSE(library.defaults().boolean(QStringLiteral("importSkipDuplicates")));
    sheet->skipToggle().click();
    EXPECT_FALSE(sheet->checking());

    // Escape closes without importing.
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(library.importJob());
}
