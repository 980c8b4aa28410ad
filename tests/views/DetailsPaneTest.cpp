#include "Pellmar/views/details/DetailsPane.h"
#include "Pellmar/views/details/ItemDetailPanel.h"
#include "Pellmar/views/details/ItemPreview.h"
#include "Pellmar/views/details/PanelFrame.h"
#include "Pellmar/views/details/ProxyPlayer.h"
#include "Pellmar/views/grid/Thumbnail.h"
#include "tests/library/OfflineLibrary.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMediaPlayer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

Item item(const QString& id, MediaKind kind)
{
    Item item;
    item.id = id;
    item.kind = kind;
    item.filename = id + (kind == MediaKind::video ? QStringLiteral(".mov") : QStringLiteral(".jpg"));
    item.width = 1920;
    item.height = 1080;
    return item;
}

Source folderSource(const QString& id, const QString& root)
{
    Source source;
    source.id = id;
    source.name = id;
    source.rootPath = root;
    return source;
}

Location copyOn(const QString& source, const QString& path, qint64 id)
{
    Location location;
    location.id = id;
    location.sourceID = source;
    location.sourceName = source;
    location.relativePath = path;
    location.size = 1'000;
    location.local = true;
    return location;
}

QStringList shownButtons(const QWidget& panel)
{
    QStringList shown;
    for (const QPushButton* button : panel.findChildren<QPushButton*>()) {
        if (button->isVisible())
            shown.append(button->text());
    }
    return shown;
}

// The titles of the shown buttons of a panel that its column cuts off at either side.
QStringList clippedButtons(QWidget& panel)
{
    auto& frame = dynamic_cast<PanelFrame&>(panel);
    const QRect column = frame.viewport()->rect();
    QStringList clipped;
    for (const QPushButton* button : frame.content().findChildren<QPushButton*>()) {
        if (!button->isVisible())
            continue;
        const QRect shown(button->mapTo(frame.viewport(), QPoint(0, 0)), button->size());
        if (shown.left() < column.left() || shown.right() > column.right())
            clipped.append(button->text());
    }
    return clipped;
}

class DetailsPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.resize(340, 700);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    void settle() { QCoreApplication::processEvents(); }

    OfflineLibrary offline;
    Library& library = *offline.library;
    DetailsPane view{library};
};

} // namespace

TEST_F(DetailsPaneTest, VideoWithAProxyPlaysItAndKeepsThePlayerForTheSameFile)
{
    Item video = item(QStringLiteral("VIDEO"), MediaKind::video);
    video.proxyExtension = QStringLiteral("mp4");
    video.posterExtension = QStringLiteral("jpg");
    library.setSelectedIDs({video.id});
    library.setSelection(video);
    settle();

    ASSERT_EQ(view.panelKind(), inspector::Panel::item);
    ItemPreview& preview = view.itemDetail().preview();
    ASSERT_EQ(preview.kind(), inspector::PreviewKind::player);
    ASSERT_NE(preview.player(), nullptr);
    QMediaPlayer* player = preview.player()->player();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(preview.player()->url(), QUrl::fromLocalFile(*library.proxyURL(video)));
    // With its sound, and its poster until it plays.
    EXPECT_NE(player->audioOutput(), nullptr);
    EXPECT_TRUE(preview.player()->showsPoster());
    EXPECT_EQ(preview.player()->poster().path(), library.previewURL(video));

    // Copies arriving and the same item shown again keep the player and its place.
    library.setLocations({copyOn(QStringLiteral("HOME"), QStringLiteral("VIDEO.mov"), 1)});
    library.setSelection(video);
    settle();
    EXPECT_EQ(preview.player()->player(), player);

    // Another video gets a new player, stopped at its start.
    Item other = item(QStringLiteral("OTHER"), MediaKind::video);
    other.proxyExtension = QStringLiteral("mp4");
    library.setSelectedIDs({other.id});
    library.setSelection(other);
    settle();
    EXPECT_NE(preview.player()->player(), player);
    EXPECT_EQ(preview.player()->url(), QUrl::fromLocalFile(*library.proxyURL(other)));
    EXPECT_EQ(preview.player()->player()->playbackState(), QMediaPlayer::StoppedState);
    EXPECT_FALSE(preview.player()->showsPoster());   // it has none
}

TEST_F(DetailsPaneTest, DoubleClickOnAPhotoOpensTheViewer)
{
    Item photo = item(QStringLiteral("PHOTO"), MediaKind::photo);
    photo.previewExtension = QStringLiteral("jpg");
    library.setSelectedIDs({photo.id});
    library.setSelection(photo);
    settle();

    ItemPreview& preview = view.itemDetail().preview();
    ASSERT_EQ(preview.kind(), inspector::PreviewKind::picture);
    EXPECT_EQ(preview.picture().path(), library.previewURL(photo));
    // Starting the media backend would hold the window up; a photo does without it.
    EXPECT_EQ(preview.player(), nullptr);
    QTest::mouseDClick(&preview.picture(), Qt::LeftButton);
    EXPECT_TRUE(library.fullscreen());
}

TEST_F(DetailsPaneTest, ReachabilityIsLookedUpOnceOffTheGuiThreadAndShown)
{
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("a"));
    QFile file(home.filePath(QStringLiteral("a/PHOTO.jpg")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    library.setSources({folderSource(QStringLiteral("HOME"), home.path()), folderSource(QStringLiteral("DISK"), "/nowhere")});
    library.setOnline({QStringLiteral("HOME")});

    const Item photo = item(QStringLiteral("PHOTO"), MediaKind::photo);
    const Location gone = copyOn(QStringLiteral("HOME"), QStringLiteral("a/gone.jpg"), 1);
    const Location here = copyOn(QStringLiteral("HOME"), QStringLiteral("a/PHOTO.jpg"), 2);
    const Location unplugged = copyOn(QStringLiteral("DISK"), QStringLiteral("PHOTO.jpg"), 3);
    library.setSelectedIDs({photo.id});
    library.setSelection(photo);
    library.setLocations({unplugged, gone, here});

    ASSERT_TRUE(QTest::qWaitFor([&] { return library.fileFacts().value(photo.id).reachable.has_value(); }, 5000));
    const Library::FileFacts facts = library.fileFacts().value(photo.id);
    EXPECT_EQ(facts.reachable, here);
    EXPECT_EQ(facts.shareFile, home.filePath(QStringLiteral("a/PHOTO.jpg")));
    settle();
    EXPECT_FALSE(view.itemDetail().statusText().isVisible());

    // The drive that held the only existing file goes away: the unplugged names show.
    library.setOnline({});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !library.fileFacts().value(photo.id).reachable; }, 5000));
    settle();
    EXPECT_TRUE(view.itemDetail().statusText().isVisible());
    EXPECT_EQ(view.itemDetail().statusText().text(), "On DISK or HOME, not plugged in");
    EXPECT_EQ(view.itemDetail().copiesHeader().text(), "Where it is, 3 copies");
}

// At the narrowest the window makes the pane, every button of an item with all its actions and of a
// selection shows whole: the rows of buttons go on in a second line, long names are shortened.
TEST_F(DetailsPaneTest, EveryButtonFitsTheNarrowestPane)
{
    QTemporaryDir home;
    const QString name = QStringLiteral("Summer_holiday_on_the_coast_2024_06_18_102030_edited_final.jpg");
    QDir(home.path()).mkpath(QStringLiteral("a"));
    QFile file(home.filePath(QStringLiteral("a/") + name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString longSource = QStringLiteral("Photographs_and_videos_of_the_family_archive_2001_2024");
    library.setSources({folderSource(QStringLiteral("HOME"), home.path()), folderSource(longSource, home.path())});
    library.setOnline({QStringLiteral("HOME"), longSource});
    Item photo = item(QStringLiteral("PHOTO"), MediaKind::photo);
    photo.filename = name;
    Item other = item(QStringLiteral("OTHER"), MediaKind::photo);
    Location inPhotos = copyOn(QStringLiteral("LIB"), QStringLiteral("Holidays/") + name, 3);
    inPhotos.assetID = QStringLiteral("ASSET-1");
    const QList<Location> copies{copyOn(QStringLiteral("HOME"), QStringLiteral("a/") + name, 1),
                                 copyOn(longSource, QStringLiteral("a/") + name, 2), inPhotos};
    library.setItems({photo, other});
    library.setItemLocations({{photo.id, copies}});

    view.resize(280, 700);
    library.setSelectedIDs({photo.id});
    library.setSelection(photo);
    library.setLocations(copies);
    ASSERT_TRUE(QTest::qWaitFor([&] { return library.fileFacts().value(photo.id).reachable.has_value(); }, 5000));
    settle();
    ItemDetailPanel& detail = view.itemDetail();
    ASSERT_TRUE(QTest::qWaitFor([&] { return detail.findChild<QPushButton*>(QStringLiteral("showInFiles")); }, 5000));
    QCoreApplication::processEvents();
    const QStringList shown = shownButtons(detail);
    for (const char* title : {"Open", "Open in", "Open in Photo Library", "Share", "Favorite", "Show in Files"})
        EXPECT_TRUE(shown.contains(QLatin1String(title))) << title << " is not shown: " << shown.join(", ").toStdString();
    EXPECT_EQ(clippedButtons(detail).join(", ").toStdString(), "");
    EXPECT_LE(detail.content().width(), detail.viewport()->width());

    library.setSelection(std::nullopt);
    library.setSelectedIDs({photo.id, other.id});
    settle();
    ASSERT_EQ(view.panelKind(), inspector::Panel::group);
    QWidget& group = view.panel(inspector::Panel::group);
    QCoreApplication::processEvents();
    EXPECT_TRUE(shownButtons(group).contains(QStringLiteral("Add to Favorites")));
    EXPECT_EQ(clippedButtons(group).join(", ").toStdString(), "");
}

// The fact and copy rows are kept while a refresh brings the same ones, and made anew when the
// copies' reachability or the selected item changes.
TEST_F(DetailsPaneTest, FactAndCopyRowsFollowReachabilityAndTheSelection)
{
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("a"));
    QFile file(home.filePath(QStringLiteral("a/PHOTO.jpg")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    library.setSources({folderSource(QStringLiteral("HOME"), home.path())});
    library.setOnline({QStringLiteral("HOME")});
    const Item photo = item(QStringLiteral("PHOTO"), MediaKind::photo);
    Item other = item(QStringLiteral("OTHER"), MediaKind::photo);
    other.width = 640;
    other.height = 480;
    const QList<Location> copies{copyOn(QStringLiteral("HOME"), QStringLiteral("a/PHOTO.jpg"), 1)};
    const auto showInFiles = [&] { return view.itemDetail().findChild<QPushButton*>(QStringLiteral("showInFiles")); };

    library.setSelectedIDs({photo.id});
    library.setSelection(photo);
    library.setLocations(copies);
    ASSERT_TRUE(QTest::qWaitFor([&] { return showInFiles() != nullptr; }, 5000));
    const QStringList photoFacts = view.itemDetail().factLines();
    EXPECT_TRUE(photoFacts.join(u'\n').contains(QStringLiteral("1920"))) << photoFacts.join(u'\n').toStdString();

    library.setOnline({});
    EXPECT_TRUE(QTest::qWaitFor([&] { return showInFiles() == nullptr; }, 5000));

    library.setSelectedIDs({other.id});
    library.setSelection(other);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.itemDetail().factLines() != photoFacts; }, 5000));
    EXPECT_TRUE(view.itemDetail().factLines().join(u'\n').contains(QStringLiteral("640")));
}
