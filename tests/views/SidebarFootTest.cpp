#include "Pellmar/views/kit/WorkspaceColor.h"
#include "Pellmar/views/sidebar/DeviceRow.h"
#include "Pellmar/views/sidebar/DeviceRowRules.h"
#include "Pellmar/views/sidebar/SwitcherRules.h"
#include "Pellmar/views/sidebar/WorkspaceSwitcher.h"
#include "tests/library/OfflineLibrary.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

Workspace workspace(const QString& id, const QString& name, const QString& tint = QStringLiteral("blue"))
{
    Workspace w;
    w.id = id;
    w.name = name;
    w.symbol = QStringLiteral("camera");
    w.tint = tint;
    return w;
}

Device device(qint64 capacity, qint64 available)
{
    Device d;
    d.url = QStringLiteral("/media/me/DISK");
    d.name = QStringLiteral("DISK");
    d.capacity = capacity;
    d.available = available;
    return d;
}

QStringList actionTexts(const QMenu& menu)
{
    QStringList texts;
    for (const QAction* action : menu.actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

} // namespace

TEST(SwitcherRules, EverythingCannotBeDeletedAndOnlyAnotherWorkspaceSwitches)
{
    QList<WorkspaceMenuEntry> entries = workspaceMenu(workspace("everything", "Everything"));
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[1].command, WorkspaceCommand::duplicate);

    entries = workspaceMenu(workspace("W1", "Work"));
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[2], (WorkspaceMenuEntry{"Delete…", WorkspaceCommand::remove, true}));

    EXPECT_FALSE(clickSwitches("W1", "W1"));
    EXPECT_TRUE(clickSwitches("W1", "everything"));

    const auto buttons = workspaceButtons({workspace("everything", "Everything"), workspace("W1", "Work")}, "W1");
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_FALSE(buttons[0].current);
    EXPECT_TRUE(buttons[1].current);
}

TEST(SwitcherRules, UnknownTintsTakeTheAccentColour)
{
    QPalette palette;
    palette.setColor(QPalette::Highlight, QColor(0x123456));
    EXPECT_EQ(workspaceColor("green", palette), QColor(0x28cd41));
    EXPECT_EQ(workspaceColor("gray", palette), QColor(0x8e8e93));
    for (const char* tint : {"", "teal", "Blue"})
        EXPECT_EQ(workspaceColor(tint, palette), QColor(0x123456)) << tint;
}

TEST(DeviceRowRules, UsedSpaceAndSelection)
{
    const struct {
        qint64 capacity, available;
        const char* used;
    } cases[] = {
        {64'000'000'000, 64'000'000'000, "Zero KB"},
        {64'000'000'000, 16'000'000'000, "48 GB"},
        {1'000, 5'000, "Zero KB"},   // more free than the size: never below zero
    };
    for (const auto& c : cases)
        EXPECT_EQ(deviceRowLook(device(c.capacity, c.available), std::nullopt).usedText, QLatin1String(c.used));

    const Device disk = device(0, 0);
    EXPECT_TRUE(deviceRowLook(disk, QStringLiteral("/media/me/DISK")).selected);
    EXPECT_FALSE(deviceRowLook(disk, QStringLiteral("/media/me/CARD")).selected);
    EXPECT_FALSE(deviceRowLook(disk, std::nullopt).selected);
}

namespace {

class SidebarFootTest : public ::testing::Test {
protected:
    void settle() { QCoreApplication::processEvents(); }

    OfflineLibrary offline;
    Library& library = *offline.library;
};

} // namespace

TEST_F(SidebarFootTest, SwitcherButtonsFollowTheWorkspacesAndTheirMenusAct)
{
    const Workspace work = workspace("W1", "<b>Work</b> & Play", "nonsense");
    library.setWorkspaces({workspace("everything", "Everything"), work});
    library.setWorkspaceID(QStringLiteral("everything"));
    WorkspaceSwitcher switcher(library);
    settle();
    QAbstractButton* button = switcher.button("W1");
    ASSERT_TRUE(button);
    EXPECT_EQ(button->accessibleName(), "<b>Work</b> & Play");
    EXPECT_TRUE(button->toolTip().contains("&lt;b&gt;Work&lt;/b&gt;")) << button->toolTip().toStdString();

    QMenu* menu = switcher.popupMenu("everything", QPoint());
    ASSERT_TRUE(menu);
    EXPECT_EQ(actionTexts(*menu), QStringList({"Edit…", "Duplicate"}));
    menu->close();
    menu = switcher.popupMenu("W1", QPoint());
    EXPECT_EQ(actionTexts(*menu), QStringList({"Edit…", "Duplicate", "-", "Delete…"}));
    menu->actions().last()->trigger();
    EXPECT_EQ(library.deletingWorkspace(), work);
    EXPECT_EQ(library.workspaces().size(), 2);   // deleting waits for the confirmation
    menu->close();

    // A new list keeps the buttons of the workspaces still in it.
    library.setWorkspaces({workspace("everything", "Everything"), work, workspace("W2", "Trips")});
    settle();
    EXPECT_EQ(switcher.button("W1"), button);
    EXPECT_TRUE(switcher.button("W2"));
}

TEST(SwitcherRules, ButtonsThatDoNotFitGoToTheOverflowMenu)
{
    const SwitcherMetrics metrics;   // 26 wide, 6 apart, 12 in from each end
    const struct {
        int count, width, shown;
    } cases[] = {
        {0, 260, 0},
        {3, 260, 3},
        {6, 248, 6},    // six and plus: 24 + 7 × 26 + 6 × 6 = 242
        {7, 248, 5},    // seven and plus: 274; six, more and plus: 274 too, so five
        {12, 260, 5},
        {12, 600, 12},
        {40, 600, 16},
        {5, 40, 0},     // not even one beside more and plus
    };
    for (const auto& c : cases)
        EXPECT_EQ(shownWorkspaceButtons(c.count, c.width, metrics), c.shown) << c.count << " in " << c.width;
}

// Twelve workspaces in a sidebar's width: no two buttons overlap, every workspace is a button or in
// the overflow menu, and a button answers only inside the circle it draws.
TEST_F(SidebarFootTest, ManyWorkspacesNeverOverlap)
{
    QList<Workspace> twelve;
    QStringList ids;
    for (int i = 1; i <= 12; ++i) {
        twelve.append(workspace(QStringLiteral("W%1").arg(i), QStringLiteral("Space %1").arg(i)));
        ids.append(twelve.last().id);
    }
    library.setWorkspaces(twelve);
    library.setWorkspaceID(QStringLiteral("W1"));
    WorkspaceSwitcher switcher(library);
    switcher.resize(260, 50);
    switcher.show();
    settle();

    QList<QWidget*> shown;
    QStringList listed;
    for (const QString& id : ids) {
        if (switcher.button(id)->isVisible()) {
            shown.append(switcher.button(id));
            listed.append(id);
        }
    }
    shown << &switcher.moreButton() << &switcher.newButton();
    for (QWidget* widget : shown) {
        EXPECT_TRUE(switcher.rect().contains(widget->geometry())) << widget->objectName().toStdString();
        for (QWidget* other : shown)
            EXPECT_TRUE(widget == other || !widget->geometry().intersects(other->geometry()))
                << widget->objectName().toStdString() << " over " << other->objectName().toStdString();
    }
    EXPECT_EQ(listed + switcher.overflow(), ids);
    ASSERT_FALSE(switcher.overflow().isEmpty());

    QMenu* menu = switcher.popupOverflowMenu(QPoint());
    ASSERT_EQ(menu->actions().size(), switcher.overflow().size());
    EXPECT_EQ(menu->actions().last()->text(), "Space 12");
    menu->actions().last()->trigger();
    EXPECT_EQ(library.workspaceID(), "W12");
    menu->close();

    // The corner of a button's square lies outside its circle: no menu there.
    QAbstractButton* first = switcher.button("W1");
    QSignalSpy menus(first, &QWidget::customContextMenuRequested);
    QContextMenuEvent corner(QContextMenuEvent::Mouse, QPoint(1, 1));
    QCoreApplication::sendEvent(first, &corner);
    QContextMenuEvent middle(QContextMenuEvent::Mouse, first->rect().center());
    QCoreApplication::sendEvent(first, &middle);
    EXPECT_EQ(menus.size(), 1);

    // Wide enough for all: no overflow.
    switcher.resize(600, 50);
    settle();
    EXPECT_TRUE(switcher.overflow().isEmpty());
    EXPECT_FALSE(switcher.moreButton().isVisible());
}

TEST_F(SidebarFootTest, PlusOpensTheEditorOnAnUnsavedWorkspace)
{
    library.setWorkspaces({workspace("everything", "Everything")});
    library.setWorkspaceID(QStringLiteral("everything"));
    WorkspaceSwitcher switcher(library);
    switcher.newButton().click();
    ASSERT_TRUE(library.editingWorkspace());
    EXPECT_EQ(library.editingWorkspace()->name, "");
    EXPECT_EQ(library.workspaces().size(), 1);
}

TEST_F(SidebarFootTest, HoverSwapsTheUsedSizeAndEject)
{
    const Device disk = device(2'000'000'000, 500'000'000);
    DeviceRow row(library, disk);
    row.resize(240, DeviceRow::rowHeight);
    row.show();
    EXPECT_EQ(row.usedLabel().text(), "1.5 GB");
    EXPECT_TRUE(row.usedLabel().isVisible());
    EXPECT_FALSE(row.ejectButton().isVisible());

    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QCoreApplication::sendEvent(&row, &enter);
    EXPECT_FALSE(row.usedLabel().isVisible());
    EXPECT_TRUE(row.ejectButton().isVisible());
    QList<Device> ejected;
    QObject::connect(&row, &DeviceRow::ejectRequested, [&](const Device& d) { ejected << d; });
    row.ejectButton().click();
    EXPECT_EQ(ejected, QList<Device>{disk});

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&row, &leave);
    EXPECT_TRUE(row.usedLabel().isVisible());
    EXPECT_FALSE(row.ejectButton().isVisible());
}

TEST_F(SidebarFootTest, DeviceRowClickSelectsTheDeviceAndHighlightsOnlyItsRow)
{
    const Device disk = device(0, 0);
    Device card = device(0, 0);
    card.url = QStringLiteral("/media/me/CARD");
    library.setDevices({disk, card});
    DeviceRow diskRow(library, disk);
    DeviceRow cardRow(library, card);
    diskRow.show();
    QTest::mouseClick(&diskRow, Qt::LeftButton);
    settle();
    EXPECT_EQ(library.selectedDevice(), disk.id());
    EXPECT_TRUE(diskRow.isSelected());
    EXPECT_FALSE(cardRow.isSelected());

    QMenu* menu = cardRow.popupMenu(QPoint());
    EXPECT_EQ(actionTexts(*menu), QStringList({"Index This Drive", "-", "Eject"}));
    QList<Device> indexed;
    QObject::connect(&cardRow, &DeviceRow::indexRequested, [&](const Device& d) { indexed << d; });
    menu->actions().first()->trigger();
    EXPECT_EQ(indexed, QList<Device>{card});
    menu->close();
}
