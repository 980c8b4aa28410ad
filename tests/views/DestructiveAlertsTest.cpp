#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/device/ImportSheet.h"
#include "Pellmar/views/frame/AlertDialog.h"
#include "Pellmar/views/frame/DialogPresenter.h"
#include "Pellmar/views/settings/IndexSettings.h"
#include "tests/library/OfflineLibrary.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

ItemCopy copy(const QString& itemID)
{
    ItemCopy copy;
    copy.item.id = itemID;
    copy.item.filename = itemID + QStringLiteral(".jpg");
    copy.location.id = 7;
    copy.location.sourceName = QStringLiteral("Home");
    copy.location.relativePath = itemID + QStringLiteral(".jpg");
    return copy;
}

// Every confirmation of an operation that removes or deletes something, in the views that ask
// it, over a Library whose operations only log what they were asked.
class DestructiveAlertsTest : public ::testing::Test {
protected:
    DestructiveAlertsTest()
    {
        waitFor(library.index().run([](Index& index) { index.migrate(); }));
        window.resize(900, 700);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    ~DestructiveAlertsTest() override
    {
        delete sheet;
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
    }

    DialogActions dialogActions()
    {
        DialogActions actions;
        actions.trash = [this](const ItemCopy& copy) { log.append("trash " + copy.item.id); };
        actions.moveToTrash = [this](const QList<ItemCopy>& copies) { log.append(QStringLiteral("trash %1").arg(copies.size())); };
        actions.removeWorkspace = [this](const Workspace& workspace) { log.append("delete " + workspace.id); };
        actions.removeSource = [this](const Source& source) { log.append("stop " + source.id); };
        return actions;
    }
    IndexActions indexActions()
    {
        const auto step = [this](const QString& name) -> IndexActions::Step {
            return [this, name]() -> QCoro::Task<> {
                log.append(name);
                co_return;
            };
        };
        const auto idle = []() -> QCoro::Task<> { co_return; };
        IndexActions actions;
        actions.stopFullWorker = idle;
        actions.stopWorker = idle;
        actions.resetPreviews = step(QStringLiteral("clear previews"));
        actions.clearIndex = step(QStringLiteral("rebuild"));
        return actions;
    }

    // The presenter's alert once the Library asks for it.
    AlertDialog* presented()
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return presenter->dialog() != nullptr; }, 5000));
        return qobject_cast<AlertDialog*>(presenter->dialog());
    }
    AlertDialog* importConfirmation()
    {
        if (!sheet) {
            sheet = new ImportSheet(library, device, &window);
            sheet->open();
        }
        sheet->deleteToggle().click();
        return sheet->deleteConfirmation();
    }
    static void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }

    OfflineLibrary offline;
    Library& library = *offline.library;
    QTemporaryDir dir;
    Device device{dir.filePath(QStringLiteral("CARD")), QStringLiteral("CARD"), 64'000'000'000, 60'000'000'000};
    QStringList log;
    QWidget window;
    DialogPresenter* presenter = new DialogPresenter(library, window, dialogActions());
    IndexSettings* indexPage = new IndexSettings(library, indexActions(), &window);
    QPointer<ImportSheet> sheet;
};

} // namespace

// The keyboard starts on Cancel; Return and Escape cancel, even with Tab on the confirming button;
// Tab and Space confirm.
TEST_F(DestructiveAlertsTest, ReturnAndEscapeCancelAndOnlyTabSpaceConfirms)
{
    Workspace family;
    family.id = QStringLiteral("FAMILY");
    family.name = QStringLiteral("Family");
    Source card;
    card.id = QStringLiteral("CARD");
    card.name = QStringLiteral("Card");
    const auto click = [this](const char* button) {
        indexPage->findChild<QPushButton*>(QLatin1String(button))->click();
        return indexPage->confirmation();
    };
    const struct {
        const char* alert;
        std::function<AlertDialog*()> open;
        std::function<bool()> confirmed;
    } cases[] = {
        {"trash one", [&] { library.setTrashing(copy("A")); return presented(); }, [&] { return log == QStringList{"trash A"}; }},
        {"trash many", [&] { library.setTrashingGroup(QList<ItemCopy>{copy("A"), copy("B")}); return presented(); },
         [&] { return log == QStringList{"trash 2"}; }},
        {"delete a workspace", [&] { library.setDeletingWorkspace(family); return presented(); },
         [&] { return log == QStringList{"delete FAMILY"}; }},
        {"stop indexing", [&] { library.setStoppingSource(card); return presented(); },
         [&] { return log == QStringList{"stop CARD"}; }},
        {"clear previews", [&] { return click("clearPreviews"); }, [&] { return log.contains("clear previews"); }},
        {"rebuild", [&] { return click("rebuildIndex"); }, [&] { return log.contains("rebuild"); }},
        {"delete after import", [&] { return importConfirmation(); }, [&] { return sheet->deleteToggle().isChecked(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.alert);
        log.clear();
        const auto openOnCancel = [&] {
            QPointer<AlertDialog> alert = c.open();
            EXPECT_TRUE(alert && QTest::qWaitFor([&] { return QApplication::focusWidget() == alert->cancelButton(); }, 5000));
            return alert;
        };
        for (const QList<Qt::Key>& keys : QList<QList<Qt::Key>>{{Qt::Key_Return}, {Qt::Key_Escape}, {Qt::Key_Tab, Qt::Key_Return}}) {
            QPointer<AlertDialog> alert = openOnCancel();
            ASSERT_TRUE(alert);
            for (const Qt::Key key : keys)
                press(key);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !alert; }, 5000));
            QCoreApplication::processEvents();
            EXPECT_TRUE(log.isEmpty()) << log.join(u',').toStdString();
            EXPECT_FALSE(c.confirmed());
        }
        QPointer<AlertDialog> alert = openOnCancel();
        ASSERT_TRUE(alert);
        press(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), alert->confirmButton());
        press(Qt::Key_Space);
        EXPECT_TRUE(QTest::qWaitFor(c.confirmed, 5000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !alert; }, 5000));
    }
}
