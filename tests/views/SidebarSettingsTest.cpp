#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/kit/ElidedLabel.h"
#include "Pellmar/views/settings/SidebarSettings.h"
#include "tests/library/OfflineLibrary.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

Source source(const QString& id, const QString& name)
{
    Source source;
    source.id = id;
    source.name = name;
    source.rootPath = QStringLiteral("/home/me/") + name;
    return source;
}

FolderNode node(const QString& sourceID, const QString& path, const QString& name)
{
    FolderNode node;
    node.id = sourceID + u'|' + path;
    node.sourceID = sourceID;
    node.path = path;
    node.name = name;
    return node;
}

Workspace workspace(const QString& id, const QString& name)
{
    Workspace workspace;
    workspace.id = id;
    workspace.name = name;
    workspace.symbol = QStringLiteral("folder");
    workspace.tint = QStringLiteral("blue");
    return workspace;
}

TEST(SidebarSettingsRules, PinLabelNamesTheSourceOnlyWhenItDiffersFromTheFolder)
{
    const QList<Source> sources{source("S", "Pictures"), source("T", "")};
    const struct {
        std::optional<FolderNode> node;
        QString label;
    } cases[] = {
        {std::nullopt, QStringLiteral("S|Gone")},                     // no longer in any tree
        {node("S", "2024", "2024"), QStringLiteral("Pictures > 2024")},
        {node("S", "", "Pictures"), QStringLiteral("Pictures")},      // named like its source
        {node("T", "Trips", "Trips"), QStringLiteral("Trips")},       // a source without a name
        {node("X", "Misc", "Misc"), QStringLiteral("Misc")},          // a source that is gone
    };
    for (const auto& c : cases)
        EXPECT_EQ(pinLabel(QStringLiteral("S|Gone"), c.node, sources), c.label);
}

TEST(SidebarSettingsRules, PinsMoveUpAndAreRemovedByKey)
{
    const QStringList pins{"A", "B", "C", "B"};
    EXPECT_EQ(pinsMovedUp(pins, 2), (QStringList{"A", "C", "B", "B"}));
    EXPECT_EQ(pinsMovedUp(pins, 0), pins);
    EXPECT_EQ(pinsMovedUp(pins, 4), pins);
    EXPECT_EQ(pinsWithout(pins, "B"), (QStringList{"A", "C"}));
}

TEST(SidebarSettingsRules, EveryPhotosGroupIsListedInOrderAndOnUnlessHidden)
{
    const QList<ShownRow> rows = smartGroupRows({QStringLiteral("raw"), QStringLiteral("nonsense")});
    QStringList titles;
    QStringList off;
    for (const ShownRow& row : rows) {
        titles.append(row.title);
        if (!row.shown)
            off.append(row.id);
    }
    EXPECT_EQ(titles, (QStringList{"Favorites", "Recents", "Images", "Videos", "RAW", "Screenshots", "Albums"}));
    EXPECT_EQ(off, QStringList{"raw"});
}

class SidebarSettingsTest : public ::testing::Test {
protected:
    SidebarSettingsTest()
    {
        library.setWorkspaces({workspace("everything", "Everything"), workspace("W2", "Work & Play")});
        library.setSources({source("S", "Pictures")});
    }

    template <typename T>
    T* find(SidebarSettings& page, const QString& name)
    {
        // The refresh, then the deletion of the rows it replaced.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return page.findChild<T*>(name);
    }

    OfflineLibrary offline;
    Library& library = *offline.library;
    QList<Workspace> opened;
    WorkspaceSheetFactory sheets = [this](const Workspace& workspace, QWidget* parent) {
        opened.append(workspace);
        return new QDialog(parent);
    };
};

TEST_F(SidebarSettingsTest, FirstRowsCannotMoveUpAndNewWorkspaceOpensTheEditor)
{
    library.setPinned({QStringLiteral("S|A"), QStringLiteral("S|B")});
    SidebarSettings page(library, sheets);
    EXPECT_FALSE(find<QToolButton>(page, "up:everything")->isEnabled());
    EXPECT_TRUE(find<QToolButton>(page, "up:W2")->isEnabled());
    EXPECT_FALSE(find<QToolButton>(page, "pinUp:S|A")->isEnabled());
    EXPECT_TRUE(find<QToolButton>(page, "pinUp:S|B")->isEnabled());

    find<QPushButton>(page, "newWorkspace")->click();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_FALSE(opened[0].id == "everything" || opened[0].id == "W2");
    ASSERT_EQ(page.editing(), opened[0]);
    // A second click while the editor is open opens nothing more.
    find<QPushButton>(page, "edit:W2")->click();
    EXPECT_EQ(opened.size(), 1);

    page.window()->findChild<QDialog*>()->reject();
    EXPECT_FALSE(page.editing());
    find<QPushButton>(page, "edit:W2")->click();
    EXPECT_EQ(opened.value(1), library.workspaces()[1]);
}

TEST_F(SidebarSettingsTest, WithoutAnEditorTheWorkspaceButtonsAreOff)
{
    SidebarSettings page(library, nullptr);
    EXPECT_FALSE(find<QPushButton>(page, "newWorkspace")->isEnabled());
    EXPECT_FALSE(find<QPushButton>(page, "edit:W2")->isEnabled());
}

TEST_F(SidebarSettingsTest, SwitchesHideSourcesAndGroupsAndStayListed)
{
    SidebarSettings page(library, sheets);
    QCheckBox* pictures = find<QCheckBox>(page, "source:S");
    ASSERT_TRUE(pictures->isChecked());
    pictures->click();
    EXPECT_EQ(library.hiddenSources(), QStringList{"S"});
    EXPECT_EQ(library.defaults().stringList(QStringLiteral("hiddenSources")), QStringList{"S"});
    // The only source, hidden, keeps its switch, off.
    EXPECT_EQ(find<QCheckBox>(page, "source:S"), pictures);
    EXPECT_FALSE(pictures->isChecked());

    find<QCheckBox>(page, "smart:raw")->click();
    EXPECT_EQ(library.hiddenSmart(), QStringList{"raw"});
    library.setSmartHidden(SmartFilter::raw, false);
    EXPECT_TRUE(find<QCheckBox>(page, "smart:raw")->isChecked());
}

TEST_F(SidebarSettingsTest, PinsShowTheHintWhenEmptyAndChangeAtOnce)
{
    SidebarSettings page(library, sheets);
    EXPECT_TRUE(find<QLabel>(page, "pinHint"));

    library.setTrees({node("S", "", "Pictures")});
    library.setPinned({QStringLiteral("S|"), QStringLiteral("S|Gone")});
    EXPECT_FALSE(find<QLabel>(page, "pinHint"));
    EXPECT_EQ(find<ElidedLabel>(page, "pin:S|")->fullText(), QStringLiteral("Pictures"));
    EXPECT_EQ(find<ElidedLabel>(page, "pin:S|Gone")->fullText(), QStringLiteral("S|Gone"));

    find<QToolButton>(page, "pinUp:S|Gone")->click();
    EXPECT_EQ(library.pinned(), (QStringList{"S|Gone", "S|"}));
    find<QToolButton>(page, "unpin:S|Gone")->click();
    EXPECT_EQ(library.pinned(), QStringList{"S|"});
    EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
}

} // namespace
