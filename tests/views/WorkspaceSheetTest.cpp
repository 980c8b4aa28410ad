#include "Pellmar/views/workspace/MemberRows.h"
#include "Pellmar/views/workspace/WorkspaceSheet.h"
#include "Pellmar/views/workspace/WorkspaceSheetRules.h"
#include "Pellmar/views/kit/Icons.h"
#include "tests/library/OfflineLibrary.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

Workspace workspace(const QString& id, const QString& name, QSet<QString> members = {})
{
    return Workspace{.id = id, .name = name, .symbol = "camera", .tint = "blue", .members = std::move(members)};
}

FolderNode folder(const QString& path, QList<FolderNode> children = {})
{
    return FolderNode{.id = "S/" + path,
                      .sourceID = "S",
                      .path = path,
                      .name = path.isEmpty() ? QStringLiteral("Home") : path.section(u'/', -1),
                      .children = std::move(children)};
}

} // namespace

TEST(WorkspaceSheetRules, TitleSaveAndPalettes)
{
    const QList<Workspace> list{workspace("everything", "Everything"), workspace("W1", "Work")};
    EXPECT_EQ(workspaceSheetTitle(workspace("W1", ""), list), "Edit Workspace");
    EXPECT_EQ(workspaceSheetTitle(workspace("NEW", "Work Copy"), list), "New Workspace");

    const struct {
        Workspace draft;
        bool canSave;
    } cases[] = {
        {workspace("W1", "   ", {"S|"}), false},
        {workspace("W1", " Trips ", {"S|"}), true},
        {workspace("W1", "Trips"), false},   // no member
        {workspace("everything", "All of it"), true},
        {workspace("everything", "\t"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(canSaveWorkspace(c.draft), c.canSave) << c.draft.id.toStdString() << c.draft.name.toStdString();

    EXPECT_EQ(workspaceSymbols().size(), 42);
    for (const QString& symbol : workspaceSymbols())
        EXPECT_TRUE(Icons::isKnown(symbol)) << symbol.toStdString();
    EXPECT_EQ(workspaceTints().size(), 9);
    EXPECT_EQ(tintHelp("accent"), "System accent");
    EXPECT_EQ(tintHelp("blue"), "Blue");
}

class WorkspaceSheetTest : public ::testing::Test {
protected:
    WorkspaceSheetTest()
    {
        library.index().run([](Index& index) { index.migrate(); }).waitForFinished();
        library.setSources({Source{.id = "S", .name = "Home", .rootPath = "/srv/home"}});
        library.setTrees({folder("", {folder("a", {folder("a/b", {folder("a/b/c")}), folder("a/x")}), folder("ab")})});
        library.setWorkspaces({workspace("everything", "Everything")});
    }

    OfflineLibrary offline;
    Library& library = *offline.library;
};

TEST_F(WorkspaceSheetTest, MemberClicksFollowTheThreeStates)
{
    Workspace draft = workspace("NEW", "Trips");
    WorkspaceSheet sheet(library, draft);
    EXPECT_EQ(sheet.title().text(), "New Workspace");
    EXPECT_FALSE(sheet.saveButton().isEnabled());   // a name but no member
    QWidget* section = sheet.memberSection();
    ASSERT_TRUE(section);
    MemberRows* source = section->findChild<MemberRows*>();
    ASSERT_TRUE(source);
    ASSERT_TRUE(source->disclosure());
    source->disclosure()->click();
    MemberRows* a = source->childRows().value(0);
    ASSERT_TRUE(a);
    a->disclosure()->click();
    MemberRows* ab = a->childRows().value(0);
    ASSERT_TRUE(ab);
    EXPECT_FALSE(ab->disclosure());   // the third level never opens

    ab->toggleButton().click();
    EXPECT_EQ(sheet.draft().members, QSet<QString>{"S|a/b"});
    EXPECT_EQ(source->state(), MemberState::mixed);
    EXPECT_EQ(a->state(), MemberState::mixed);
    EXPECT_TRUE(sheet.saveButton().isEnabled());

    source->toggleButton().click();   // the source replaces what it holds
    EXPECT_EQ(sheet.draft().members, QSet<QString>{"S|"});
    EXPECT_EQ(ab->state(), MemberState::on);

    ab->toggleButton().click();   // taken out of the source
    EXPECT_EQ(sheet.draft().members, (QSet<QString>{"S|ab", "S|a/x"}));
    EXPECT_EQ(ab->state(), MemberState::off);
    EXPECT_EQ(source->state(), MemberState::mixed);
}

TEST_F(WorkspaceSheetTest, SaveStoresTheCopyOnceAndClosesAtOnce)
{
    Workspace draft = workspace("NEW", "", {"S|"});
    draft.symbol = "no.such.symbol";
    WorkspaceSheet sheet(library, draft);
    sheet.show();
    EXPECT_FALSE(sheet.symbolButton("camera")->isChecked());   // an unknown symbol marks nothing
    EXPECT_TRUE(sheet.tintButton("blue")->isChecked());
    QTest::keyClicks(&sheet.nameField(), " Trips ");
    sheet.tintButton("green")->click();
    sheet.symbolButton("airplane")->click();
    EXPECT_TRUE(sheet.symbolButton("airplane")->isChecked());

    QSignalSpy accepted(&sheet, &QDialog::accepted);
    sheet.saveButton().click();
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_FALSE(sheet.isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return library.workspaces().size() == 2; }, 5000));
    const Workspace saved = library.workspaces().last();
    EXPECT_EQ(saved.id, "NEW");
    EXPECT_EQ(saved.name, " Trips ");   // stored as typed
    EXPECT_EQ(saved.symbol, "airplane");
    EXPECT_EQ(saved.tint, "green");
    EXPECT_EQ(saved.members, QSet<QString>{"S|"});
}

TEST_F(WorkspaceSheetTest, EverythingShowsTheNoteAndCancelStoresNothing)
{
    WorkspaceSheet sheet(library, workspace("everything", "Everything"));
    EXPECT_EQ(sheet.title().text(), "Edit Workspace");
    EXPECT_FALSE(sheet.memberSection());
    EXPECT_TRUE(sheet.findChild<QLabel*>("everythingNote"));
    EXPECT_TRUE(sheet.saveButton().isEnabled());   // only a name is needed
    sheet.show();
    QTest::keyClicks(&sheet.nameField(), " changed");
    sheet.cancelButton().click();
    QCoreApplication::processEvents();
    EXPECT_EQ(library.workspaces().first().name, "Everything");
}
