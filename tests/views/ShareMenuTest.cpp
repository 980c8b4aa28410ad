#include "Pellmar/platform/ShareServices.h"
#include "Pellmar/views/kit/ShareMenu.h"
#include "tests/library/FakeDesktop.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <gtest/gtest.h>

namespace {

TEST(ShareMenuTest, OpensBelowItsAnchorWithTheDesktopsServicesAndNowhereWithoutAWindow)
{
    const auto desktop = std::make_shared<FakeDesktop>();
    ShareMenu picker(std::make_shared<ShareServices>(desktop, QStringLiteral("/usr/bin/xdg-email"), ShareServices::AttachmentFolder()));
    const QStringList files{QStringLiteral("/photos/a.jpg")};

    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    EXPECT_EQ(picker.show(files, std::nullopt), nullptr);

    auto* menu = qobject_cast<QMenu*>(picker.show(files, QRect(40, 50, 100, 20)));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), QPoint(40, 70));
    QStringList titles;
    for (const QAction* action : menu->actions())
        titles.append(action->text());
    EXPECT_EQ(titles, (QStringList{"Copy", "Email"}));

    menu->actions().first()->trigger();
    EXPECT_EQ(desktop->calls, QStringList{"copy files /photos/a.jpg images 0"});
    menu->close();
}

} // namespace
