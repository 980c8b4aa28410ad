#include "Pellmar/views/sidebar/DeviceRow.h"
#include "Pellmar/views/sidebar/SidebarRow.h"
#include "Pellmar/views/sidebar/SidebarView.h"
#include "tests/library/OfflineLibrary.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

FolderNode folder(const QString& path, QList<FolderNode> children = {})
{
    return FolderNode{.id = "H/" + path,
                      .sourceID = "H",
                      .path = path,
                      .name = path.isEmpty() ? QStringLiteral("Home") : path.section(u'/', -1),
                      .count = 2,
                      .children = std::move(children)};
}

class SidebarViewTest : public ::testing::Test {
protected:
    SidebarViewTest()
    {
        library.setSources({Source{.id = "H", .name = "Home", .rootPath = "/srv/home-photos"}});
        library.setOnline({"H"});
        library.setWorkspaces({Workspace{.id = "everything", .name = "Everything", .symbol = "house"}});
        library.setWorkspaceID("everything");
        library.setTrees({folder("", {folder("Pictures", {folder("Pictures/2024")}), folder("Music")})});
        QVBoxLayout* layout = new QVBoxLayout(&window);
        layout->addWidget(field);
        layout->addWidget(view);
        window.resize(260, 700);
        window.show();
        settle();
    }

    void settle() { QCoreApplication::processEvents(); }

    SidebarRow* row(const QString& key) const { return qobject_cast<SidebarRow*>(view->entryWidget(key)); }

    void click(const QString& key, bool onChevron = false)
    {
        SidebarRow* target = row(key);
        ASSERT_TRUE(target) << key.toStdString();
        const QPoint at = onChevron ? target->chevronRect().center() : QPoint(target->width() / 2, target->height() / 2);
        QTest::mouseClick(target, Qt::LeftButton, {}, at);
        settle();
    }

    OfflineLibrary offline;
    Library& library = *offline.library;
    QWidget window;
    QLineEdit* field = new QLineEdit(&window);
    SidebarView* view = new SidebarView(library, &window);
};

} // namespace

TEST_F(SidebarViewTest, ClicksSelectAndOpenWhileTheChevronOnlyOpens)
{
    field->setFocus();
    settle();
    click("tree:H/");   // closed: selected and opened
    EXPECT_EQ(library.selectedNodeID(), "H|");
    EXPECT_TRUE(library.expanded().contains("H/"));

    click("tree:H/Pictures", true);   // the chevron opens without selecting
    EXPECT_TRUE(library.expanded().contains("H/Pictures"));
    EXPECT_EQ(library.selectedNodeID(), "H|");
    ASSERT_TRUE(row("tree:H/Pictures/2024"));

    click("tree:H/Pictures");   // open and not selected: only selected
    EXPECT_EQ(library.selectedNodeID(), "H|Pictures");
    EXPECT_TRUE(library.expanded().contains("H/Pictures"));
    click("tree:H/Pictures");   // selected and open: closed
    EXPECT_FALSE(library.expanded().contains("H/Pictures"));
    EXPECT_EQ(library.selectedNodeID(), "H|Pictures");
    EXPECT_FALSE(row("tree:H/Pictures/2024"));

    click("tree:H/Music");   // nothing to open
    EXPECT_EQ(library.selectedNodeID(), "H|Music");

    click("fixed:Favorites");
    EXPECT_TRUE(library.favoritesOnly());
    EXPECT_FALSE(library.selectedNodeID());
    EXPECT_TRUE(row("fixed:Favorites")->look().selected);
    click("fixed:All items");
    EXPECT_FALSE(library.favoritesOnly());
    EXPECT_TRUE(row("fixed:All items")->look().selected);

    // The keyboard stayed where it was.
    EXPECT_EQ(QApplication::focusWidget(), field);
}

TEST_F(SidebarViewTest, RefreshesKeepRowsAndAnOpenMenuWorking)
{
    library.setExpanded({"H/"});
    settle();
    SidebarRow* pictures = row("tree:H/Pictures");
    ASSERT_TRUE(pictures);
    QMenu* menu = view->popupMenu("tree:H/Pictures", QPoint());
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->actions().first()->text(), "Pin to Sidebar");

    // The ticker brings new counts: the same row shows them.
    FolderNode root = library.trees().first();
    root.children[0].count = 1234;
    library.setTrees({root});
    settle();
    EXPECT_EQ(row("tree:H/Pictures"), pictures);
    EXPECT_EQ(pictures->look().count, 1234);

    // Even with the row gone, the open menu still acts on its folder.
    library.setExpanded({});
    settle();
    EXPECT_FALSE(row("tree:H/Pictures"));
    menu->actions().first()->trigger();
    EXPECT_EQ(library.pinned(), QStringList({"H|Pictures"}));
    menu->close();
    settle();
    EXPECT_TRUE(row("pin:H|Pictures"));
}

TEST_F(SidebarViewTest, ShownRowsEaseTheirChangesAndAWorkspaceSwitchFadesTheOldList)
{
    library.setExpanded({"H/"});
    settle();
    SidebarRow* music = row("tree:H/Music");
    SidebarRow* pictures = row("tree:H/Pictures");
    ASSERT_TRUE(music && pictures);
    EXPECT_EQ(music->highlightLevel(), 0);
    EXPECT_EQ(pictures->chevronTurn(), 0);

    // Selecting one row and opening another: both start where they were and arrive.
    library.setFilter("H", "Music", std::nullopt);
    library.setExpanded({"H/", "H/Pictures"});
    view->rebuild();
    EXPECT_LT(music->highlightLevel(), 1);
    EXPECT_LT(pictures->chevronTurn(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return music->highlightLevel() == 1 && pictures->chevronTurn() == 1; }, 5000));

    // A row that appears shows its look at once; the row left eases out.
    library.setExpanded({"H/"});
    view->rebuild();
    ASSERT_FALSE(row("tree:H/Pictures/2024"));
    library.setFilter("H", "Pictures/2024", std::nullopt);
    library.setExpanded({"H/", "H/Pictures"});
    view->rebuild();
    ASSERT_TRUE(row("tree:H/Pictures/2024"));
    EXPECT_EQ(row("tree:H/Pictures/2024")->highlightLevel(), 1);
    EXPECT_GT(music->highlightLevel(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return music->highlightLevel() == 0; }, 5000));

    // A switch covers the list with a picture of the old one that lets clicks through and goes.
    library.setWorkspaces({Workspace{.id = "everything", .name = "Everything", .symbol = "house"},
                           Workspace{.id = "W", .name = "Trips", .symbol = "airplane"}});
    library.setWorkspaceID("W");
    settle();
    ASSERT_TRUE(view->fadingContent());
    EXPECT_TRUE(view->fadingContent()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->fadingContent(); }, 5000));
}

TEST_F(SidebarViewTest, DevicesShowUnderTheirSectionAndEject)
{
    const Device card{.url = "/media/me/CARD", .name = "CARD", .capacity = 1'000, .available = 500};
    library.setDevices({card});
    settle();
    auto* row = qobject_cast<DeviceRow*>(view->entryWidget("device:/media/me/CARD"));
    ASSERT_TRUE(row);
    ASSERT_TRUE(view->entryWidget("section:Devices"));
    row->ejectButton().click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !offline.ejector->ejected.isEmpty(); }, 5000));
    EXPECT_EQ(offline.ejector->ejected, QStringList{"/media/me/CARD"});
}
