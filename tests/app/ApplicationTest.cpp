#include "Pellmar/app/Application.h"
#include "Pellmar/app/MainWindow.h"
#include "Pellmar/views/frame/RootView.h"
#include "Pellmar/views/grid/GridView.h"
#include "Pellmar/views/settings/SettingsWindow.h"
#include "tests/app/FakeUpdater.h"
#include "tests/library/OfflineLibrary.h"

#include <QAction>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

TEST(ApplicationTest, EveryWindowShowsTheOneLibrary)
{
    OfflineLibrary offline;
    FakeUpdater updater;
    Application application(*offline.library, updater);
    MainWindow* first = application.openWindow();
    MainWindow* second = application.openWindow();
    ASSERT_NE(first, second);
    EXPECT_EQ(application.windows().size(), 2);

    Device card;
    card.url = QStringLiteral("/media/me/CARD");
    offline.library->setDevices({card});
    offline.library->setSelectedDevice(card.url);
    QCoreApplication::processEvents();
    // A change of the one Library shows in both windows.
    EXPECT_NE(first->root().content(), &first->root().grid());
    EXPECT_NE(second->root().content(), &second->root().grid());
}

TEST(ApplicationTest, TheProgramEndsWithItsLastMainWindow)
{
    OfflineLibrary offline;
    FakeUpdater updater;
    Application application(*offline.library, updater);
    QSignalSpy last(&application, &Application::lastWindowClosed);
    MainWindow* first = application.openWindow();
    MainWindow* second = application.openWindow();

    first->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return application.windows().size() == 1; }, 5000));
    EXPECT_EQ(last.count(), 0);

    second->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return application.windows().isEmpty(); }, 5000));
    EXPECT_EQ(last.count(), 1);
}

TEST(ApplicationTest, TheWindowRefusesLessThan1100By700)
{
    OfflineLibrary offline;
    FakeUpdater updater;
    Application application(*offline.library, updater);
    MainWindow* window = application.openWindow();
    window->resize(800, 500);
    QCoreApplication::processEvents();
    EXPECT_GE(window->root().width(), 1100);
    EXPECT_GE(window->root().height(), 700);
}

TEST(ApplicationTest, SettingsOpensTheOneSettingsWindowWhichDoesNotKeepTheProgramAlive)
{
    OfflineLibrary offline;
    FakeUpdater updater;
    Application application(*offline.library, updater);
    QSignalSpy last(&application, &Application::lastWindowClosed);
    MainWindow* window = application.openWindow();
    auto* settings = window->findChild<QAction*>(QStringLiteral("settings"));
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));

    settings->trigger();
    SettingsWindow* shown = application.showSettings();
    settings->trigger();
    EXPECT_EQ(application.showSettings(), shown);
    EXPECT_TRUE(shown->isVisible());

    window->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return last.count() == 1; }, 5000));
}
