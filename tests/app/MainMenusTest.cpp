#include "Pellmar/app/Application.h"
#include "Pellmar/app/EditCommands.h"
#include "Pellmar/app/MainMenus.h"
#include "Pellmar/app/MainWindow.h"
#include "Pellmar/views/frame/RootView.h"
#include "Pellmar/views/grid/GridView.h"
#include "tests/app/FakeUpdater.h"
#include "tests/library/OfflineLibrary.h"

#include "Pellmar/library/frame/Tasks.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
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

TEST(EditCommandStates, FollowTheTextFieldOrTheGridElseAreAllOff)
{
    using States = EditCommands::States;
    const auto grid = [](bool selection, bool paste, bool items) {
        GridCommands commands;
        commands.hasSelection = selection;
        commands.canPaste = paste;
        commands.hasItems = items;
        return EditCommands::Target{nullptr, commands};
    };
    QLineEdit field;
    QLineEdit readOnly;
    readOnly.setReadOnly(true);
    const struct {
        EditCommands::Target target;
        States expected;
    } cases[] = {
        {{}, States{false, false, false, false, false}},
        {{&field, std::nullopt}, States{true, true, true, true, true}},
        {{&readOnly, std::nullopt}, States{false, true, false, false, true}},
        {grid(false, false, false), States{false, false, false, false, false}},
        {grid(false, false, true), States{false, false, false, false, true}},
        {grid(true, false, true), States{false, true, false, true, true}},
        {grid(true, true, true), States{false, true, true, true, true}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EditCommands::states(c.target), c.expected);
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

// Every edit command, by its shortcut and from the menu, with the keyboard on each kind of widget.
// A button, the menu bar and the sidebar pass the commands to the grid; none of them hands a
// command back as a key press, which came back to the menu's own shortcut until the stack ran out.
TEST_F(MainMenusTest, EditCommandsActOnceWhereverTheKeyboardIs)
{
    QLineEdit& search = window->root().searchField();
    const QSet<QString> all{QStringLiteral("A"), QStringLiteral("B")};
    const struct {
        const char* place;
        QWidget* widget;
        QString text;          // the search field's text after the commands
        std::optional<QSet<QString>> selected;  // the grid's selection after them
        QString clipboard;
    } places[] = {
        {"button", window->findChild<QWidget*>(QStringLiteral("kindMenu")), "beach", all, ""},
        {"menu bar", window->menuBar(), "beach", all, ""},
        {"grid", &window->root().grid(), "beach", all, ""},
        {"sidebar", window->findChild<QWidget*>(QStringLiteral("sidebar")), "beach", all, ""},
        // Last: its edits start a search that replaces the items.
        {"search field", &search, "", std::nullopt, "beach"},
    };
    for (const auto& p : places) {
        SCOPED_TRACE(p.place);
        ASSERT_NE(p.widget, nullptr);
        library.setItems({item("A"), item("B")});
        library.setSelectedIDs({QStringLiteral("A")});
        QGuiApplication::clipboard()->clear();
        search.setText(QStringLiteral("beach"));
        p.widget->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == p.widget; }, 5000));
        search.selectAll();

        const EditCommands::Target target = EditCommands::target(window);
        EXPECT_EQ(target.field == &search, p.widget == &search);
        EXPECT_EQ(target.grid.has_value(), p.widget != &search);

        for (const Qt::Key key : {Qt::Key_C, Qt::Key_X, Qt::Key_V, Qt::Key_A})
            QTest::keyClick(p.widget, key, Qt::ControlModifier);
        for (const char* name : {"copy", "cut", "paste", "selectAll", "delete"})
            action(name).trigger();

        EXPECT_EQ(search.text(), p.text);
        if (p.selected)
            EXPECT_EQ(library.selectedIDs(), *p.selected);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), p.clipboard);
    }
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
