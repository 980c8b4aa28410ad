#include "Pellmar/app/Application.h"
#include "Pellmar/app/EditCommands.h"
#include "Pellmar/app/MainMenus.h"
#include "Pellmar/app/MainWindow.h"
#include "Pellmar/views/frame/RootView.h"
#include "tests/app/FakeUpdater.h"
#include "tests/library/OfflineLibrary.h"

#include "Pellmar/library/frame/Tasks.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace {

Workspace workspace(int number, const QString& name)
{
    Workspace workspace;
    workspace.id = QStringLiteral("W%1").arg(number);
    workspace.name = name;
    workspace.position = number;
    return workspace;
}

QList<Workspace> workspaces(int count)
{
    QList<Workspace> list;
    for (int i = 1; i <= count; ++i)
        list.append(workspace(i, QStringLiteral("Space %1").arg(i)));
    return list;
}

Item item(const QString& id)
{
    Item item;
    item.id = id;
    item.filename = id + QStringLiteral(".jpg");
    return item;
}

// A shown, active main window over a Library whose state each test sets by hand.
class MainMenusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }

    QAction& action(const char* name) const
    {
        auto* found = window->findChild<QAction*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return *found;
    }
    QList<QAction*> workspaceItems() const
    {
        return window->findChild<QMenu*>(QStringLiteral("workspaceMenu"))->actions();
    }

    OfflineLibrary offline;
    Library& library = *offline.library;
    FakeUpdater updater;
    Application application{library, updater};
    MainWindow* window = application.openWindow();
};

} // namespace

TEST(EditCommandStates, FollowTheFocusedGridElseAreAllOn)
{
    using States = EditCommands::States;
    const auto grid = [](bool selection, bool paste, bool items) {
        GridCommands commands;
        commands.hasSelection = selection;
        commands.canPaste = paste;
        commands.hasItems = items;
        return commands;
    };
    const struct {
        std::optional<GridCommands> grid;
        States expected;
    } cases[] = {
        {std::nullopt, States{true, true, true, true, true}},
        {grid(false, false, false), States{false, false, false, false, false}},
        {grid(false, false, true), States{false, false, false, false, true}},
        {grid(true, false, true), States{false, true, false, true, true}},
        {grid(true, true, true), States{false, true, true, true, true}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EditCommands::states(c.grid), c.expected);
}

TEST(WorkspaceMenuEntries, TheFirstNineOnCtrlDigitsWithAmpersandsShown)
{
    EXPECT_TRUE(MainMenus::workspaceEntries({}).isEmpty());

    const QList<MainMenus::WorkspaceEntry> one = MainMenus::workspaceEntries({workspace(1, "Trips & Travel")});
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0], (MainMenus::WorkspaceEntry{"Trips && Travel", QKeySequence(Qt::CTRL | Qt::Key_1), "W1"}));

    const QList<MainMenus::WorkspaceEntry> twelve = MainMenus::workspaceEntries(workspaces(12));
    ASSERT_EQ(twelve.size(), 9);
    EXPECT_EQ(twelve.last().id, "W9");
    EXPECT_EQ(twelve.last().shortcut, QKeySequence(QStringLiteral("Ctrl+9")));
}

TEST_F(MainMenusTest, WorkspaceMenuFollowsTheListAsItChanges)
{
    library.setWorkspaces(workspaces(12));
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspaceItems().size() == 9; }, 5000));
    EXPECT_EQ(workspaceItems()[8]->shortcut(), QKeySequence(QStringLiteral("Ctrl+9")));
    workspaceItems()[2]->trigger();
    EXPECT_EQ(library.workspaceID(), "W3");

    QList<Workspace> renamed = library.workspaces();
    renamed[0].name = QStringLiteral("Family");
    renamed.swapItemsAt(0, 1);
    library.setWorkspaces(renamed);
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspaceItems()[1]->text() == "Family"; }, 5000));
    EXPECT_EQ(workspaceItems()[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+2")));
    EXPECT_EQ(workspaceItems()[0]->text(), "Space 2");
}

TEST_F(MainMenusTest, WithTheGridFocusedAndNothingSelectedCopyCutAndDeleteAreOff)
{
    library.setItems({item("A"), item("B")});
    window->root().setFocusField(RootView::Field::grid);
    QCoreApplication::processEvents();

    EXPECT_FALSE(action("cut").isEnabled());
    EXPECT_FALSE(action("copy").isEnabled());
    EXPECT_FALSE(action("delete").isEnabled());
    EXPECT_TRUE(action("selectAll").isEnabled());

    library.setSelectedIDs({QStringLiteral("A")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return action("copy").isEnabled(); }, 5000));
    EXPECT_TRUE(action("delete").isEnabled());
    EXPECT_FALSE(action("cut").isEnabled());
}

TEST_F(MainMenusTest, InTheSearchFieldTheEditCommandsEditItsText)
{
    QLineEdit& search = window->root().searchField();
    window->root().setFocusField(RootView::Field::search);
    QTest::keyClicks(&search, QStringLiteral("beach"));
    search.deselect();

    for (const char* name : {"cut", "copy", "paste", "delete", "selectAll"})
        EXPECT_TRUE(action(name).isEnabled()) << name;

    // The shortcut reaches the field, not the menu, and so does the menu item.
    QTest::keyClick(&search, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(search.selectedText(), "beach");
    search.deselect();
    action("selectAll").trigger();
    EXPECT_EQ(search.selectedText(), "beach");
    action("delete").trigger();
    EXPECT_EQ(search.text(), "");
}

TEST_F(MainMenusTest, CtrlShiftOAsksForAFolderAndIndexesIt)
{
    waitFor(library.index().run([](Index& index) { index.migrate(); }));
    const QString folder = offline.dir.filePath(QStringLiteral("Trip"));
    ASSERT_TRUE(QDir().mkpath(folder));
    offline.folderChooser->answer = folder;

    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(offline.folderChooser->requests, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return library.sources().size() == 1; }, 5000));
    EXPECT_EQ(library.sources().first().rootPath, folder);
    EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
}

TEST_F(MainMenusTest, CheckForUpdatesFollowsTheUpdater)
{
    QAction& check = action("checkForUpdates");
    EXPECT_FALSE(check.isEnabled());
    updater.setCanCheck(true);
    EXPECT_TRUE(check.isEnabled());
    check.trigger();
    EXPECT_EQ(updater.checks, 1);
    updater.setCanCheck(false);
    EXPECT_FALSE(check.isEnabled());
}
