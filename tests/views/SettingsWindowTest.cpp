#include "Pellmar/views/settings/SettingsWindow.h"
#include "tests/library/OfflineLibrary.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QSet>
#include <QTabBar>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class SettingsWindowTest : public ::testing::Test {
protected:
    QString pickerText(const char* name) const
    {
        const auto* picker = window.findChild<QComboBox*>(QLatin1String(name));
        return picker ? picker->currentText() : QStringLiteral("(missing)");
    }
    bool toggleOn(const char* name) const
    {
        const auto* toggle = window.findChild<QCheckBox*>(QLatin1String(name));
        return toggle && toggle->isChecked();
    }

    OfflineLibrary offline;
    SettingsWindow window{*offline.library, IndexActions{}};
};

TEST_F(SettingsWindowTest, FourTabsInOrderEach460WideAndAsTallAsItsPage)
{
    QTabBar& tabs = window.tabBar();
    QStringList titles;
    for (int i = 0; i < tabs.count(); ++i) {
        titles.append(tabs.tabText(i));
        EXPECT_FALSE(tabs.tabIcon(i).isNull()) << i;
    }
    EXPECT_EQ(titles, (QStringList{"General", "Sidebar", "Previews", "Index"}));

    window.show();
    // The window is its page's height and a constant for the tab bar and frame.
    QList<int> heights;
    QSet<int> frames;
    for (int i = 0; i < tabs.count(); ++i) {
        tabs.setCurrentIndex(i);
        EXPECT_EQ(window.width(), SettingsWindow::tabWidth) << i;
        heights.append(window.height());
        frames.insert(window.height() - window.pages().currentWidget()->sizeHint().height());
    }
    EXPECT_EQ(frames.size(), 1);
    EXPECT_EQ(QSet<int>(heights.begin(), heights.end()).size(), heights.size());
}

TEST_F(SettingsWindowTest, EscapeAndCtrlWClose)
{
    for (const QKeyCombination keys : {QKeyCombination(Qt::Key_Escape), Qt::CTRL | Qt::Key_W}) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : &window, keys.key(), keys.keyboardModifiers());
        EXPECT_FALSE(window.isVisible()) << QKeySequence(keys).toString().toStdString();
    }
}

TEST_F(SettingsWindowTest, AFreshSettingsFileShowsTheRegisteredDefaults)
{
    EXPECT_EQ(pickerText("openInQuorvin"), "In Quorvin");
    EXPECT_TRUE(toggleOn("confirmTrash"));
    EXPECT_EQ(pickerText("fullPreviews"), "When idle");
    EXPECT_TRUE(toggleOn("notOnBattery"));
    EXPECT_EQ(pickerText("proxySize"), "2048 px");
    EXPECT_EQ(pickerText("videoProxy"), "720p");
}

} // namespace
