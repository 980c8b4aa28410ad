#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/frame/AlertDialog.h"
#include "Pellmar/views/frame/DialogPresenter.h"
#include "Pellmar/views/frame/RootView.h"
#include "Pellmar/views/grid/GridView.h"
#include "Pellmar/views/sidebar/SidebarRow.h"
#include "Pellmar/views/toolbar/SearchBar.h"
#include "Pellmar/views/toolbar/SearchToolbar.h"
#include "tests/library/OfflineLibrary.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

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

TEST_F(RootViewTest, CtrlFFocusesTheSearchFieldFromAnywhereInTheWindow)
{
    settle();
    QWidget* sidebar = root.findChild<QWidget*>(QStringLiteral("sidebar"));
    QWidget* workspaceButton = root.findChild<QWidget*>(QStringLiteral("newWorkspace"));
    const struct {
        const char* place;
        QWidget* widget;
    } places[] = {{"grid", &root.grid()}, {"sidebar", sidebar}, {"workspace button", workspaceButton},
                  {"sort button", &root.searchToolbar().bar().sortButton()}, {"nothing", nullptr}};
    for (const auto& p : places) {
        SCOPED_TRACE(p.place);
        if (p.widget)
            p.widget->setFocus(Qt::TabFocusReason);
        else
            root.setFocusField(std::nullopt);
        QWidget* receiver = p.widget ? p.widget : &root;
        QTest::keyClick(receiver, Qt::Key_F, Qt::ControlModifier);
        EXPECT_EQ(root.focusField(), RootView::Field::search);
        EXPECT_TRUE(root.searchField().hasFocus());

        // Escape gives the keyboard back to the grid.
        QTest::keyClick(&root.searchField(), Qt::Key_Escape);
        EXPECT_EQ(root.focusField(), RootView::Field::grid);
    }
}

// Tab goes through the toolbar, then the sidebar, the grid and the inspector; inside the sidebar the
// arrows move the selection, which wears a ring while the sidebar holds the keyboard.
TEST_F(RootViewTest, TabGoesToolbarSidebarGridInspectorAndArrowsMoveInTheSidebar)
{
    // A selected item gives the inspector its buttons.
    Item photo;
    photo.id = QStringLiteral("P");
    photo.filename = QStringLiteral("P.jpg");
    library.setItems({photo});
    library.setSelectedIDs({photo.id});
    library.setSelection(photo);
    settle();
    QWidget* sidebar = root.findChild<QWidget*>(QStringLiteral("sidebar"));
    QWidget* inspector = root.findChild<QWidget*>(QStringLiteral("inspector"));
    ASSERT_TRUE(sidebar && inspector);
    const auto region = [&](QWidget* widget) -> QString {
        if (!widget)
            return "none";
        if (root.toolbar().isAncestorOf(widget))
            return "toolbar";
        if (widget == sidebar || sidebar->isAncestorOf(widget))
            return "sidebar";
        if (widget == &root.grid())
            return "grid";
        if (inspector->isAncestorOf(widget) || widget == inspector)
            return "inspector";
        return "other";
    };
    root.setFocusField(RootView::Field::search);
    QStringList regions{region(QApplication::focusWidget())};
    for (int i = 0; i < 40 && regions.size() < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const QString now = region(QApplication::focusWidget());
        if (now != regions.last() && now != "other")
            regions.append(now);
    }
    EXPECT_EQ(regions, (QStringList{"toolbar", "sidebar", "grid", "inspector"}));

    sidebar->setFocus(Qt::TabFocusReason);
    settle();
    QTest::keyClick(sidebar, Qt::Key_Down);
    settle();
    EXPECT_TRUE(library.favoritesOnly());
    auto* favorites = sidebar->findChild<SidebarRow*>(QStringLiteral("fixed:Favorites"));
    ASSERT_TRUE(favorites);
    EXPECT_TRUE(favorites->hasFocusRing());
    QTest::keyClick(sidebar, Qt::Key_Up);
    settle();
    EXPECT_FALSE(library.favoritesOnly());
    EXPECT_FALSE(favorites->hasFocusRing());
    root.setFocusField(RootView::Field::grid);
    settle();
    for (const SidebarRow* row : sidebar->findChildren<SidebarRow*>())
        EXPECT_FALSE(row->hasFocusRing()) << row->objectName().toStdString();
}

// The buttons that Tab reaches look different while they hold the keyboard.
TEST_F(RootViewTest, FocusedButtonsShowARing)
{
    library.setWorkspaces({Workspace{.id = QStringLiteral("W1"), .name = QStringLiteral("Trips")}});
    settle();
    const struct {
        const char* name;
        QWidget* button;
    } buttons[] = {{"kind", &root.searchToolbar().bar().kindButton()},
                   {"sort", &root.searchToolbar().bar().sortButton()},
                   {"workspace", root.findChild<QWidget*>(QStringLiteral("W1"))}};
    for (const auto& b : buttons) {
        ASSERT_TRUE(b.button) << b.name;
        EXPECT_TRUE(b.button->focusPolicy() & Qt::TabFocus) << b.name;
        root.setFocusField(RootView::Field::grid);
        const QImage unfocused = b.button->grab().toImage();
        b.button->setFocus(Qt::TabFocusReason);
        EXPECT_NE(b.button->grab().toImage(), unfocused) << b.name;
    }
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

    // Centred over the grid's column, so that at the narrowest window the sort button stays left
    // of the inspector.
    const QWidget* inspector = root.findChild<QWidget*>(QStringLiteral("inspector"));
    for (const int width : {1600, RootView::minimumWidth}) {
        root.resize(width, 800);
        settle();
        const auto middle = [&](const QWidget* widget) { return widget->mapTo(&root, widget->rect().center()).x(); };
        EXPECT_NEAR(middle(&bar), middle(detail), 1) << width;
        EXPECT_LT(bar.sortButton().mapTo(&root, QPoint(bar.sortButton().width(), 0)).x(), inspector->mapTo(&root, QPoint()).x())
            << width;
    }
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
