#include "Pellmar/platform/Defaults.h"
#include "Pellmar/views/destination/DestinationBrowser.h"
#include "Pellmar/views/kit/ElidedLabel.h"
#include "Pellmar/views/settings/GeneralSettings.h"
#include "tests/library/OfflineLibrary.h"

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class GeneralSettingsTest : public ::testing::Test {
protected:
    GeneralSettingsTest()
    {
        window.resize(460, 200);
        window.show();
    }

    void click(const char* button) { page->findChild<QPushButton*>(QLatin1String(button))->click(); }
    void settle() { QCoreApplication::processEvents(); }

    OfflineLibrary offline;
    Library& library = *offline.library;
    const ImportTarget downloads = ImportTarget::folder(QDir::home().filePath(QStringLiteral("Downloads")));
    QTemporaryDir elsewhere;
    QWidget window;
    GeneralSettings* page = new GeneralSettings(library, &window);
};

TEST_F(GeneralSettingsTest, WithoutAStoredDefaultTheLabelShowsDownloadsAndChoosePreselectsIt)
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->importLabel().fullText() == library.destinationLabel(downloads); }, 5000));
    click("choose");
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->sheet() != nullptr; }, 5000));
    EXPECT_EQ(page->sheet()->choice(), downloads);
    EXPECT_EQ(page->sheet()->browser().target(), downloads);
    EXPECT_TRUE(page->sheet()->useButton().isEnabled());
}

TEST_F(GeneralSettingsTest, UseThisDestinationNeedsAChoiceAndStoresIt)
{
    const ImportTarget chosen = ImportTarget::folder(QDir::cleanPath(elsewhere.path()));
    library.defaults().set(QStringLiteral("recentDestinations"), QStringList{chosen.id()});
    DestinationSheet sheet(library, std::nullopt, &window);
    sheet.show();
    EXPECT_FALSE(sheet.useButton().isEnabled());

    // The recent destination, read off the GUI thread, is the row under the "Recent" header.
    QListWidget& places = sheet.browser().places();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.browser().loaded() && places.count() > 1; }, 5000));
    ASSERT_EQ(places.item(0)->text(), QStringLiteral("Recent"));
    Q_EMIT places.itemClicked(places.item(1));
    EXPECT_EQ(sheet.choice(), chosen);
    ASSERT_TRUE(sheet.useButton().isEnabled());
    sheet.useButton().click();
    EXPECT_EQ(library.defaults().string(QStringLiteral("importDefault")), chosen.id());
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->importLabel().fullText() == library.destinationLabel(chosen); }, 5000));

    click("resetToDownloads");
    EXPECT_FALSE(library.defaults().contains(QStringLiteral("importDefault")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->importLabel().fullText() == library.destinationLabel(downloads); }, 5000));
}

TEST_F(GeneralSettingsTest, EscapeClosesTheSheetWithoutStoring)
{
    click("choose");
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->sheet() != nullptr; }, 5000));
    page->sheet()->setChoice(ImportTarget::folder(elsewhere.path()));
    QTest::keyClick(page->sheet(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page->sheet(); }, 5000));
    EXPECT_FALSE(library.defaults().contains(QStringLiteral("importDefault")));
    EXPECT_EQ(library.importDefault(), std::nullopt);
}

TEST_F(GeneralSettingsTest, PickingHowItemsOpenIsStoredAtOnce)
{
    auto* open = page->findChild<QComboBox*>(QStringLiteral("openInQuorvin"));
    ASSERT_EQ(open->currentText(), QStringLiteral("In Quorvin"));
    open->setFocus();
    QTest::keyClick(open, Qt::Key_Down);
    EXPECT_EQ(open->currentText(), QStringLiteral("With the default app"));
    EXPECT_FALSE(library.defaults().boolean(QStringLiteral("openInQuorvin")));
    EXPECT_TRUE(library.defaults().contains(QStringLiteral("openInQuorvin")));
}

} // namespace
