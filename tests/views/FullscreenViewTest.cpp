#include "Pellmar/views/details/ProxyPlayer.h"
#include "Pellmar/views/frame/FullscreenView.h"
#include "Pellmar/views/frame/RootView.h"
#include "Pellmar/views/grid/Thumbnail.h"
#include "Pellmar/views/kit/Formatters.h"
#include "tests/library/OfflineLibrary.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMediaPlayer>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

Item item(const QString& id, MediaKind kind = MediaKind::photo)
{
    Item item;
    item.id = id;
    item.kind = kind;
    item.filename = id + QStringLiteral(".jpg");
    return item;
}

Item withFiles(Item item, const char* preview, const char* proxy, const char* poster)
{
    item.previewExtension = QString::fromLatin1(preview);
    item.proxyExtension = QString::fromLatin1(proxy);
    item.posterExtension = QString::fromLatin1(poster);
    return item;
}

// A shown, active root view; the viewer opens by putting the Library in fullscreen.
class FullscreenViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.show();
        root.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&root));
    }

    void open(const Item& shown)
    {
        library.setSelection(shown);
        library.setFullscreen(true);
        QCoreApplication::processEvents();
    }
    FullscreenView& viewer() const { return root.viewer(); }

    OfflineLibrary offline;
    Library& library = *offline.library;
    RootView root{library};
};

} // namespace

TEST(FullscreenRules, StepsWithinTheItemsWithoutWrapping)
{
    const QList<Item> items{item("A"), item("B"), item("C")};
    EXPECT_EQ(FullscreenView::step(items, "B", 1), items[2]);
    EXPECT_EQ(FullscreenView::step(items, "B", -1), items[0]);
    EXPECT_FALSE(FullscreenView::step(items, "C", 1));
    EXPECT_FALSE(FullscreenView::step(items, "A", -1));
    EXPECT_FALSE(FullscreenView::step(items, "GONE", 1));
}

TEST(FullscreenRules, ThePictureKeepsTheItemsShapeInsideTheMargins)
{
    Item wide = item("W");
    wide.width = 4000;
    wide.height = 1000;
    Item unknown = item("U");
    unknown.width = 0;
    unknown.height = 3000;
    const QSize window(1248, 812);   // 1200 × 700 inside the margins
    EXPECT_EQ(FullscreenView::pictureRect(window, wide), QRect(24, 256, 1200, 300));
    EXPECT_EQ(FullscreenView::pictureRect(window, unknown).size(), QSize(933, 700));
    EXPECT_EQ(FullscreenView::pictureRect(window, unknown).center(), QRect(24, 56, 1200, 700).center());
}

TEST_F(FullscreenViewTest, ShowsAVideosProxyElseTheStillPictureElseNothing)
{
    using Kind = FullscreenView::Media::Kind;
    const QString proxies = library.proxyDirectory() + u'/';
    const struct {
        Item item;
        Kind kind;
        QString path;
    } cases[] = {
        {withFiles(item("V1", MediaKind::video), "", "mp4", "jpg"), Kind::video, proxies + "V1.mp4"},
        {withFiles(item("V2", MediaKind::video), "", "none", "jpg"), Kind::image, proxies + "V2.poster.jpg"},
        {withFiles(item("V3", MediaKind::video), "", "", ""), Kind::none, ""},
        {withFiles(item("P1"), "jpg", "heic", ""), Kind::image, proxies + "P1.heic"},
        {withFiles(item("P2"), "jpg", "", ""), Kind::image, proxies + "P2.preview.jpg"},
        {withFiles(item("D1", MediaKind::document), "png", "png", ""), Kind::image, proxies + "D1.png"},
        {withFiles(item("A1", MediaKind::audio), "", "", ""), Kind::none, ""},
    };
    for (const auto& c : cases) {
        open(c.item);
        EXPECT_EQ(viewer().shownMedia(), (FullscreenView::Media{c.kind, c.path})) << c.item.id.toStdString();
        EXPECT_EQ(viewer().findChild<QLabel*>()->isVisibleTo(&viewer()), c.kind == Kind::none) << c.item.id.toStdString();
    }
}

TEST_F(FullscreenViewTest, FullscreenWithoutASelectionShowsNoViewer)
{
    library.setFullscreen(true);
    QCoreApplication::processEvents();
    EXPECT_FALSE(viewer().isVisible());
    EXPECT_FALSE(root.toolbar().isVisible());

    open(item("A"));
    EXPECT_TRUE(viewer().isVisible());
    EXPECT_TRUE(viewer().hasFocus());
}

TEST_F(FullscreenViewTest, ArrowsStepThroughTheGridAndEscapeCloses)
{
    library.setItems({item("A"), item("B")});
    open(library.items()[0]);

    QTest::keyClick(&viewer(), Qt::Key_Left);   // the first item: nothing before it
    EXPECT_EQ(library.selection(), library.items()[0]);
    QTest::keyClick(&viewer(), Qt::Key_Right);
    QCoreApplication::processEvents();
    EXPECT_EQ(library.selection(), library.items()[1]);
    EXPECT_EQ(viewer().item(), library.items()[1]);
    EXPECT_TRUE(library.fullscreen());

    // The grid was searched again without the shown item: the arrows do nothing.
    library.setItems({item("C")});
    QTest::keyClick(&viewer(), Qt::Key_Left);
    EXPECT_EQ(library.selection()->id, "B");

    QTest::keyClick(&viewer(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(library.fullscreen());
    EXPECT_FALSE(viewer().isVisible());
    EXPECT_EQ(root.focusField(), RootView::Field::grid);
}

// The proxy plays in the viewer over its poster; Space plays and pauses while the arrows and Escape
// keep their meaning, and the player pauses when the viewer goes.
TEST_F(FullscreenViewTest, AVideoPlaysWithTheViewersKeys)
{
    Item video = withFiles(item("V", MediaKind::video), "", "mp4", "jpg");
    ASSERT_TRUE(QDir().mkpath(library.proxyDirectory()));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUORVIN_FIXTURES "/media/counter.mp4"), library.proxyDirectory() + "/V.mp4"));
    library.setItems({video, withFiles(item("P"), "jpg", "", "")});
    open(video);

    ProxyPlayer* player = viewer().player();
    ASSERT_NE(player, nullptr);
    EXPECT_TRUE(player->isVisible());
    EXPECT_FALSE(viewer().picture().isVisible());
    EXPECT_TRUE(player->showsPoster());
    EXPECT_EQ(player->poster().path(), library.proxyDirectory() + "/V.poster.jpg");
    EXPECT_TRUE(viewer().hasFocus());

    QTest::keyClick(&viewer(), Qt::Key_Space);
    if (player->player()->error() != QMediaPlayer::NoError)
        GTEST_SKIP() << "no media backend plays here: " << player->player()->errorString().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return player->player()->playbackState() == QMediaPlayer::PlayingState; }, 5000));
    EXPECT_FALSE(player->showsPoster());
    QTest::keyClick(&viewer(), Qt::Key_Space);
    EXPECT_EQ(player->player()->playbackState(), QMediaPlayer::PausedState);

    QTest::keyClick(&viewer(), Qt::Key_Space);
    QTest::keyClick(&viewer(), Qt::Key_Right);
    QCoreApplication::processEvents();
    EXPECT_EQ(library.selection()->id, "P");
    EXPECT_FALSE(player->isVisible());
    EXPECT_NE(player->player()->playbackState(), QMediaPlayer::PlayingState);
    EXPECT_TRUE(viewer().picture().isVisible());

    QTest::keyClick(&viewer(), Qt::Key_Left);
    QCoreApplication::processEvents();
    EXPECT_TRUE(player->isVisible());
    QTest::keyClick(&viewer(), Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player->player()->playbackState() == QMediaPlayer::PlayingState; }, 5000));
    QTest::keyClick(&viewer(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(library.fullscreen());
    EXPECT_NE(player->player()->playbackState(), QMediaPlayer::PlayingState);
}

TEST_F(FullscreenViewTest, TheCloseButtonLeavesFullscreen)
{
    open(item("A"));
    viewer().findChild<QToolButton*>(QStringLiteral("close"))->click();
    EXPECT_FALSE(library.fullscreen());
}

TEST(LongDateTimeText, LongDateWithoutWeekdayAndShortTime)
{
    const double noon = 1'796'947'200;   // December 10, 2026, 12:00 UTC
    const QDateTime local = QDateTime::fromSecsSinceEpoch(qint64(noon));
    const QString expected = QLocale().toString(local.date(), QStringLiteral("MMMM d, yyyy")) + " at "
                             + QLocale().toString(local.time(), QLocale::ShortFormat);
    EXPECT_EQ(longDateTimeText(noon), expected);
    EXPECT_TRUE(expected.startsWith("December 1"));
    EXPECT_EQ(longDateTimeText(std::nan("")), QString());
}
