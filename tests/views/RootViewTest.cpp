#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/frame/AlertDialog.h"
#include "Pellmar/views/frame/DialogPresenter.h"
#include "Pellmar/views/frame/RootView.h"
#include "Pellmar/views/grid/GridView.h"
#include "Pellmar/views/toolbar/SearchBar.h"
#include "Pellmar/views/toolbar/SearchToolbar.h"
#include "tests/library/OfflineLibrary.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

Device device(const QString& url, const QString& name)
{
    Device device;
    device.url = url;
    device.name = name;
    return device;
}

// A shown, active root view over a Library whose state each test sets by hand.
class RootViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.show();
        root.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&root));
    }

    // Lets the view's coalesced refresh run.
    void settle() { QCoreApplication::processEvents(); }

    OfflineLibrary offline;
    Library& library = *offline.library;
    RootView root{library};
};

} // namespace

TEST(RootViewRules, SearchFieldIsTheDetailColumnLess24AndAtLeast260)
{
    const struct {
        int content;
        int field;
    } cases[] = {{600, 576}, {900, 876}, {284, 260}, {200, 260}, {0, 260}};
    for (const auto& c : cases)
        EXPECT_EQ(RootView::searchFieldWidth(c.content), c.field) << c.content;
}

TEST(RootViewRules, SelectedDeviceIsTheListedDeviceWithThatId)
{
    const QList<Device> devices{device("/media/me/CARD", "CARD"), device("/media/me/DISK", "DISK")};
    EXPECT_FALSE(RootView::selectedDevice(devices, std::nullopt));
    EXPECT_FALSE(RootView::selectedDevice({}, QStringLiteral("/media/me/CARD")));
    EXPECT_FALSE(RootView::selectedDevice(devices, QStringLiteral("/media/me/GONE")));
    EXPECT_EQ(RootView::selectedDevice(devices, QStringLiteral("/media/me/DISK")), devices[1]);
}

TEST_F(RootViewTest, ShowsTheGridUnlessAListedDeviceIsSelected)
{
    settle();
    EXPECT_EQ(root.content(), &root.grid());

    library.setDevices({device("/media/me/CARD", "CARD")});
    library.setSelectedDevice(QStringLiteral("/media/me/CARD"));
    settle();
    EXPECT_NE(root.content(), &root.grid());

    // The device was unplugged while still selected.
    library.setDevices({});
    settle();
    EXPECT_EQ(root.content(), &root.grid());
}

TEST_F(RootViewTest, CtrlFFocusesTheSearchFieldFromTheGrid)
{
    root.setFocusField(RootView::Field::grid);
    ASSERT_EQ(root.focusField(), RootView::Field::grid);

    QTest::keyClick(&root.grid(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(root.focusField(), RootView::Field::search);
    EXPECT_TRUE(root.searchField().hasFocus());

    // Escape gives the keyboard back to the grid.
    QTest::keyClick(&root.searchField(), Qt::Key_Escape);
    EXPECT_EQ(root.focusField(), RootView::Field::grid);
}

TEST_F(RootViewTest, FullscreenHidesTheToolbarAndLeavingItGivesTheGridTheKeyboard)
{
    settle();
    root.setFocusField(RootView::Field::search);
    ASSERT_TRUE(root.toolbar().isVisible());

    library.setFullscreen(true);   // nothing selected
    settle();
    EXPECT_FALSE(root.toolbar().isVisible());
    root.setFocusField(std::nullopt);

    library.setFullscreen(false);
    settle();
    EXPECT_TRUE(root.toolbar().isVisible());
    EXPECT_EQ(root.focusField(), RootView::Field::grid);
}

TEST_F(RootViewTest, SearchBarFollowsTheDetailColumnsWidth)
{
    root.resize(1600, 800);
    settle();
    const QWidget* detail = root.grid().parentWidget()->parentWidget();
    const SearchBar& bar = root.searchToolbar().bar();
    EXPECT_EQ(bar.width(), RootView::searchFieldWidth(detail->width()));
    EXPECT_GT(bar.width(), 576);
}

TEST_F(RootViewTest, DeletingAWorkspaceCanBeConfirmed)
{
    Workspace family;
    family.id = QStringLiteral("FAMILY");
    family.name = QStringLiteral("Family");
    library.setDeletingWorkspace(family);
    ASSERT_TRUE(QTest::qWaitFor([&] { return root.dialogs().dialog() != nullptr; }, 5000));
    auto* alert = qobject_cast<AlertDialog*>(root.dialogs().dialog());
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "Delete \"Family\"?");
    EXPECT_TRUE(alert->confirmButton()->isEnabled());
    alert->confirmButton()->click();
    EXPECT_FALSE(library.deletingWorkspace());
}

TEST_F(RootViewTest, StoppingASourceCanBeConfirmedAndForgetsIt)
{
    waitFor(library.index().run([](Index& index) { index.migrate(); }));
    const Source trip{QStringLiteral("TRIP"), QStringLiteral("Trip"), offline.dir.filePath(QStringLiteral("Trip")),
                      QString(), QString(), 1, SourceKind::folder};
    waitFor(library.index().run([trip](Index& index) { index.saveSource(trip); }));
    library.setSources({trip});
    library.setStoppingSource(trip);
    ASSERT_TRUE(QTest::qWaitFor([&] { return root.dialogs().dialog() != nullptr; }, 5000));
    auto* alert = qobject_cast<AlertDialog*>(root.dialogs().dialog());
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "Stop indexing \"Trip\"?");
    ASSERT_TRUE(alert->confirmButton()->isEnabled());
    alert->confirmButton()->click();
    EXPECT_FALSE(library.stoppingSource());
    ASSERT_TRUE(QTest::qWaitFor([&] { return library.sources().isEmpty(); }, 5000));
    EXPECT_TRUE(waitFor(library.index().run([](Index& index) { return index.sources(); })).isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
}
