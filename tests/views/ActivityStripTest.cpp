#include "Pellmar/views/strip/ActivityStrip.h"
#include "tests/library/OfflineLibrary.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class ActivityStripTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        strip.resize(700, 200);
        strip.show();
    }

    template <typename W = QWidget>
    W& part(const char* name)
    {
        auto* widget = strip.findChild<W*>(QLatin1String(name));
        EXPECT_TRUE(widget) << name;
        return *widget;
    }
    bool shown(const char* name) { return part(name).isVisibleTo(&strip); }
    void settle() { QCoreApplication::processEvents(); }

    // Larger previews being made for an online source.
    void buildingPreviews()
    {
        Source source;
        source.id = QStringLiteral("S");
        source.name = QStringLiteral("Photos");
        library.setSources({source});
        library.setOnline({QStringLiteral("S")});
        library.setFullStatus({10, 50});
        library.setFullProcessing(true);
        settle();
    }

    OfflineLibrary offline;
    Library& library = *offline.library;
    ActivityStrip strip{library};
};

} // namespace

TEST_F(ActivityStripTest, ShowsNothingWithoutWorkAndOnlyTheBlocksThatApply)
{
    settle();
    for (const char* block : {"relinkBlock", "importProgressBlock", "importResultBlock", "scanBlock", "indexingBlock",
                              "waitingBlock", "previewBlock"})
        EXPECT_FALSE(shown(block)) << block;

    library.setRelinkNote(QStringLiteral("Reconnected <b>Photos</b>"));
    library.setStatus({.found = 4});
    settle();
    EXPECT_TRUE(shown("relinkBlock"));
    EXPECT_EQ(part<QLabel>("relinkNote").text(), "Reconnected <b>Photos</b>");
    EXPECT_EQ(part<QLabel>("relinkNote").textFormat(), Qt::PlainText);
    EXPECT_TRUE(shown("waitingBlock"));
    EXPECT_EQ(part<QLabel>("waitingText").text(), "4 files waiting to be indexed");
}

TEST_F(ActivityStripTest, PauseAndResumeDriveTheLargerPreviews)
{
    buildingPreviews();
    ASSERT_TRUE(shown("previewBlock"));
    auto& button = part<QPushButton>("previewButton");
    EXPECT_EQ(button.text(), "Pause");

    button.click();
    EXPECT_TRUE(library.fullPaused());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !library.fullProcessing(); }));
    settle();
    EXPECT_EQ(part<QLabel>("previewTitle").text(), "Previews paused");
    EXPECT_EQ(button.text(), "Resume");

    // Resume starts the worker again (its body here does nothing and ends at once).
    button.click();
    EXPECT_FALSE(library.fullPaused());
}

TEST_F(ActivityStripTest, ATickUpdatesTheBlocksInPlace)
{
    buildingPreviews();
    QPushButton* button = &part<QPushButton>("previewButton");
    QWidget* block = &part("previewBlock");
    library.setFullStatus({11, 50});
    library.setFullInFlight({QStringLiteral("a.heic")});
    settle();
    EXPECT_EQ(&part<QPushButton>("previewButton"), button);
    EXPECT_EQ(&part("previewBlock"), block);
    EXPECT_EQ(part<QLabel>("previewCounts").text(), "11 of 50");
    EXPECT_TRUE(shown("previewWorkingOn"));
}

TEST_F(ActivityStripTest, ImportResultRowClosesAndLosesEjectWhenTheCardGoes)
{
    Device card;
    card.url = QStringLiteral("/media/me/CARD & CO");
    card.name = QStringLiteral("CARD & CO");
    ImportResult result;
    result.count = 2;
    result.folder = QStringLiteral("/home/me/Trip");
    result.device = card;
    library.setDevices({card});
    library.setImportResult(result);
    settle();
    EXPECT_EQ(part<QLabel>("importSentence").text(), "Imported 2 files to Trip");
    EXPECT_EQ(part<QPushButton>("showImport").text(), "Show in Files");
    EXPECT_TRUE(shown("ejectCard"));
    EXPECT_EQ(part<QPushButton>("ejectCard").text(), "Eject CARD && CO");

    QList<Device> ejected;
    QObject::connect(&strip, &ActivityStrip::ejectRequested, [&](const Device& device) { ejected << device; });
    part<QPushButton>("ejectCard").click();
    EXPECT_EQ(ejected, QList<Device>{card});

    library.setDevices({});
    settle();
    EXPECT_FALSE(shown("ejectCard"));
    part<QToolButton>("closeImportResult").click();
    EXPECT_FALSE(library.importResult());
    settle();
    EXPECT_FALSE(shown("importResultBlock"));
}
