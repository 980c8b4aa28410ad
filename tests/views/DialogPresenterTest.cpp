#include "Pellmar/views/frame/AlertDialog.h"
#include "Pellmar/views/frame/DialogPresenter.h"
#include "tests/library/OfflineLibrary.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

ItemCopy copy(const QString& itemID, const QString& relativePath)
{
    ItemCopy copy;
    copy.item.id = itemID;
    copy.location.id = 7;
    copy.location.sourceName = QStringLiteral("Home");
    copy.location.relativePath = relativePath;
    return copy;
}

Source source(const QString& name)
{
    Source source;
    source.id = name.toUpper();
    source.name = name;
    return source;
}

// A shown, active window with a presenter whose operations record their calls.
class DialogPresenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(600, 400);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    DialogActions recording()
    {
        DialogActions actions;
        actions.rename = [this](const ItemCopy& copy, const QString& name) {
            calls.append("rename " + copy.item.id + " " + name);
        };
        actions.removeSource = [this](const Source& source) { calls.append("removeSource " + source.id); };
        actions.trash = [this](const ItemCopy& copy) { calls.append("trash " + copy.item.id); };
        return actions;
    }

    AlertDialog* alert() const { return qobject_cast<AlertDialog*>(presenter->dialog()); }
    bool settles(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 5000); }

    OfflineLibrary offline;
    Library& library = *offline.library;
    QWidget window;
    QStringList calls;
    DialogPresenter* presenter = new DialogPresenter(library, window, recording());
};

} // namespace

TEST_F(DialogPresenterTest, CancellingARenameKeepsTheTypedNameAndRenamesNothing)
{
    library.setNewName(QStringLiteral("beach.jpg"));
    library.setRenaming(copy("A", "trip/beach.jpg"));
    ASSERT_TRUE(settles([&] { return alert() != nullptr; }));
    EXPECT_EQ(alert()->message(), "Renames the copy on Home in trip.");
    QLineEdit* field = alert()->field();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), "beach.jpg");
    EXPECT_EQ(field->selectedText(), "beach");

    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("shore.jpg"));
    EXPECT_EQ(library.newName(), "shore.jpg");
    alert()->cancelButton()->click();

    EXPECT_FALSE(library.renaming());
    EXPECT_EQ(library.newName(), "shore.jpg");
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(DialogPresenterTest, ConfirmingARenameUsesTheCurrentName)
{
    library.setRenaming(copy("A", "beach.jpg"));
    ASSERT_TRUE(settles([&] { return alert() != nullptr; }));
    library.setNewName(QStringLiteral("dunes.jpg"));
    EXPECT_EQ(alert()->field()->text(), "dunes.jpg");
    alert()->confirmButton()->click();
    EXPECT_EQ(calls, QStringList{"rename A dunes.jpg"});
    EXPECT_FALSE(library.renaming());
}

TEST_F(DialogPresenterTest, OneAtATimeInOrderAndResetElsewhereClosesIt)
{
    library.setTrashing(copy("B", "b.jpg"));
    library.setStoppingSource(source("Card"));
    ASSERT_TRUE(settles([&] { return presenter->surface() == DialogPresenter::Surface::stopIndexing; }));
    EXPECT_EQ(alert()->title(), "Stop indexing \"Card\"?");

    alert()->confirmButton()->click();
    EXPECT_EQ(calls, QStringList{"removeSource CARD"});
    ASSERT_TRUE(settles([&] { return presenter->surface() == DialogPresenter::Surface::trashCopy; }));
    EXPECT_EQ(alert()->title(), "Move \"b.jpg\" to the Trash?");

    // Another view clears the request: the alert goes, and nothing is trashed.
    QPointer<QDialog> shown = presenter->dialog();
    library.setTrashing(std::nullopt);
    ASSERT_TRUE(settles([&] { return !presenter->dialog(); }));
    EXPECT_EQ(calls, QStringList{"removeSource CARD"});
    EXPECT_TRUE(settles([&] { return shown.isNull(); }));
}

TEST_F(DialogPresenterTest, AnotherValueReplacesTheOneShown)
{
    library.setStoppingSource(source("Card"));
    ASSERT_TRUE(settles([&] { return alert() != nullptr; }));
    library.setStoppingSource(source("Disk"));
    ASSERT_TRUE(settles([&] { return alert() && alert()->title() == "Stop indexing \"Disk\"?"; }));
    EXPECT_EQ(library.stoppingSource(), source("Disk"));
}

TEST_F(DialogPresenterTest, AConfirmationWithoutItsOperationCannotBeConfirmed)
{
    Workspace workspace;
    workspace.id = QStringLiteral("W");
    library.setDeletingWorkspace(workspace);
    ASSERT_TRUE(settles([&] { return alert() != nullptr; }));
    EXPECT_FALSE(alert()->confirmButton()->isEnabled());
    alert()->cancelButton()->click();
    EXPECT_FALSE(library.deletingWorkspace());
}

TEST_F(DialogPresenterTest, ClosingTheImportSheetClearsItsDevice)
{
    Device card;
    card.url = QStringLiteral("/media/me/CARD");
    card.name = QStringLiteral("CARD");
    library.setImportDevice(card);
    ASSERT_TRUE(settles([&] { return presenter->surface() == DialogPresenter::Surface::importSheet; }));
    presenter->dialog()->reject();
    EXPECT_FALSE(library.importDevice());

    // A second request on the same device opens a fresh sheet.
    library.setImportDevice(card);
    EXPECT_TRUE(settles([&] { return presenter->dialog() != nullptr; }));
}

TEST_F(DialogPresenterTest, OnlyTheActiveWindowShowsItAndOnlyOnce)
{
    QWidget other;
    other.resize(600, 400);
    auto* otherPresenter = new DialogPresenter(library, other, {});
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));

    library.setStoppingSource(source("Card"));
    ASSERT_TRUE(settles([&] { return otherPresenter->dialog() != nullptr; }));
    EXPECT_EQ(presenter->dialog(), nullptr);

    // Going back to the first window does not show it a second time.
    window.activateWindow();
    QCoreApplication::processEvents();
    EXPECT_EQ(presenter->dialog(), nullptr);
}
