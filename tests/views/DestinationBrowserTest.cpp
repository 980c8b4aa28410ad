#include "Pellmar/views/destination/BrowserRows.h"
#include "Pellmar/views/destination/DestinationBrowser.h"
#include "Pellmar/views/destination/FolderColumns.h"
#include "Pellmar/views/kit/ElidedLabel.h"
#include "tests/library/OfflineLibrary.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace destination;
using Kind = PlaceRow::Kind;

namespace {

Source location(const QString& id, const QString& root, double added = 0)
{
    Source s;
    s.id = id;
    s.name = root.section(u'/', -1);
    s.rootPath = root;
    s.addedAt = added;
    return s;
}

QString label(const ImportTarget& target)
{
    if (const auto* folder = std::get_if<ImportTarget::Folder>(&target.destination))
        return QStringLiteral("Loc > ") + folder->url.section(u'/', -1);
    return QStringLiteral("Photo Library > album");
}

QStringList titles(const QList<PlaceRow>& rows)
{
    QStringList list;
    for (const PlaceRow& row : rows)
        list.append(row.title + (row.highlighted ? QStringLiteral("*") : QString()));
    return list;
}

} // namespace

TEST(DestinationBrowserRowsTest, EmptyChooser)
{
    const BrowserInput in{std::nullopt, std::nullopt, {}, {}, false, true, label};
    EXPECT_EQ(titles(placeRows(in)), QStringList{QStringLiteral("Locations")});
    EXPECT_EQ(caption(in), QStringLiteral("Choose where the files go"));
    EXPECT_EQ(bottomBar(in), (BottomBar{QStringLiteral("New Folder…"), false, QStringLiteral("Search this column")}));
    EXPECT_FALSE(currentLocation(in));
}

TEST(DestinationBrowserRowsTest, PlacesFollowTheTargetUntilOneIsPicked)
{
    const QList<Source> locations{location(QStringLiteral("home"), QStringLiteral("/home/u")),
                                  location(QStringLiteral("pics"), QStringLiteral("/home/u/Pictures"))};
    const ImportTarget deep = ImportTarget::folder(QStringLiteral("/home/u/Pictures/2024"));
    const ImportTarget outside = ImportTarget::folder(QStringLiteral("/srv/x"));
    const ImportTarget album = ImportTarget::album({QStringLiteral("a"), QStringLiteral("album")});
    const struct {
        const char* what;
        std::optional<ImportTarget> target;
        std::optional<QString> root;
        bool access;
        QStringList rows;
        const char* caption;
    } cases[] = {
        {"deeper location wins", deep, std::nullopt, true,
         {"Recent", "2024*", "album", "Locations", "u", "Pictures*", "Photo Library"}, "Loc > 2024"},
        {"outside any location opens the first", outside, std::nullopt, false,
         {"Recent", "2024", "album", "Locations", "u*", "Pictures"}, "Loc > x"},
        {"album opens the photo library", album, std::nullopt, true,
         {"Recent", "2024", "album*", "Locations", "u", "Pictures", "Photo Library*"}, "Photo Library > album"},
        {"a picked place holds", deep, QStringLiteral("home"), true,
         {"Recent", "2024*", "album", "Locations", "u*", "Pictures", "Photo Library"}, "Loc > 2024"},
        {"photo library with a folder target", deep, QStringLiteral("photos"), true,
         {"Recent", "2024*", "album", "Locations", "u", "Pictures", "Photo Library*"}, "Photo Library"},
    };
    for (const auto& c : cases) {
        const BrowserInput in{c.target, c.root, {deep, album}, locations, c.access, false, label};
        EXPECT_EQ(titles(placeRows(in)), c.rows) << c.what;
        EXPECT_EQ(caption(in), QString::fromUtf8(c.caption)) << c.what;
    }
    const BrowserInput photos{album, std::nullopt, {}, locations, true, false, label};
    EXPECT_EQ(bottomBar(photos), (BottomBar{std::nullopt, false, QStringLiteral("Search albums")}));
    const BrowserInput photosNew{album, std::nullopt, {}, locations, true, true, label};
    EXPECT_EQ(bottomBar(photosNew), (BottomBar{QStringLiteral("New Album…"), true, QStringLiteral("Search albums")}));
}

namespace {

class DestinationBrowserTest : public ::testing::Test {
protected:
    DestinationBrowserTest()
    {
        QDir().mkpath(root + QStringLiteral("/Trips/2024"));
        QDir().mkpath(root + QStringLiteral("/Work"));
        library.setSources({location(QStringLiteral("loc"), root)});
        library.setOnline({QStringLiteral("loc")});
        const QList<PhotosNode> tree{{QStringLiteral("a1"), QStringLiteral("Alps"), QStringLiteral("Alps"), std::nullopt},
                                     {QStringLiteral("f1"), QStringLiteral("Old"), QStringLiteral("Old"),
                                      QList<PhotosNode>{{QStringLiteral("a2"), QStringLiteral("Alpine"),
                                                         QStringLiteral("Old > Alpine"), std::nullopt}}}};
        browser = new DestinationBrowser(library, true, PhotosAlbums{[] { return true; }, [tree] { return tree; }},
                                         poolFolderLister(library.pools()), &window);
        QObject::connect(browser, &DestinationBrowser::targetChanged, [this](const auto& target) { chosen.append(target); });
        window.resize(720, 420);
        browser->resize(720, 420);
        window.show();
        EXPECT_TRUE(QTest::qWaitFor([this] { return browser->loaded(); }, 5000));
    }

    QListWidgetItem* placeRow(const QString& title) const
    {
        const auto found = browser->places().findItems(title, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    QStringList rows(QListWidget& list) const
    {
        QStringList titles;
        for (int i = 0; i < list.count(); ++i)
            titles.append(list.item(i)->text());
        return titles;
    }

    OfflineLibrary offline;
    Library& library = *offline.library;
    QTemporaryDir dir;
    QString root = QDir::cleanPath(dir.filePath(QStringLiteral("Pictures")));
    QWidget window;
    DestinationBrowser* browser = nullptr;
    QList<std::optional<ImportTarget>> chosen;
};

} // namespace

TEST_F(DestinationBrowserTest, NewFolderGoesIntoTheChosenFolderAndIsSelected)
{
    browser->setTarget(ImportTarget::folder(root + QStringLiteral("/Trips")));
    FolderColumns& columns = browser->columns();
    ASSERT_TRUE(QTest::qWaitFor([&] { return columns.coordinator().selectedPath().size() == 1; }, 5000));

    browser->create(QStringLiteral("  Card 1 \t"));
    const ImportTarget made = ImportTarget::folder(root + QStringLiteral("/Trips/Card 1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return browser->target() == made; }, 5000));
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/Trips/Card 1")).isDir());
    EXPECT_EQ(chosen.last(), made);
    // The columns load again and select the new folder.
    ASSERT_TRUE(QTest::qWaitFor([&] { return columns.coordinator().selectedPath().size() == 2; }, 5000)) << columns.coordinator().selectedPath().join(u',').toStdString() << " / " << columns.coordinator().columns().value(1).children.value_or(QStringList{"none"}).join(u',').toStdString();
    EXPECT_EQ(columns.coordinator().selectedPath().last(), root + QStringLiteral("/Trips/Card 1"));

    // An existing name and a refused name leave the destination and name the failure.
    const ImportTarget trips = ImportTarget::folder(root + QStringLiteral("/Trips"));
    browser->setTarget(trips);
    browser->create(QStringLiteral("Card 1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return library.lastError().has_value(); }, 5000));
    EXPECT_EQ(*library.lastError(), QStringLiteral("Could not create Card 1. File exists."));
    browser->create(QStringLiteral(".dot"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return library.lastError()->startsWith(QStringLiteral("Could not create .dot")); }, 5000));
    EXPECT_EQ(*library.lastError(), QStringLiteral("Could not create .dot. A folder name cannot contain a slash or start with a dot."));
    browser->create(QStringLiteral("   "));
    EXPECT_EQ(browser->target(), trips);
}

TEST_F(DestinationBrowserTest, PhotoLibraryAlbumsSearchAndNewAlbum)
{
    browser->setTarget(ImportTarget::folder(root));
    browser->searchField().setText(QStringLiteral("Tr"));
    Q_EMIT browser->places().itemClicked(placeRow(QStringLiteral("Photo Library")));
    EXPECT_EQ(chosen.last(), std::nullopt);   // a folder is no destination in the photo library
    EXPECT_TRUE(browser->searchField().text().isEmpty());   // a new place empties the search
    EXPECT_EQ(browser->captionLabel().fullText(), QStringLiteral("Photo Library"));
    EXPECT_EQ(rows(browser->groups()), (QStringList{QStringLiteral("Albums"), QStringLiteral("Old")}));
    EXPECT_EQ(rows(browser->albums()), QStringList{QStringLiteral("Alps")});

    browser->searchField().setText(QStringLiteral(" alp"));
    EXPECT_EQ(rows(browser->albums()), (QStringList{QStringLiteral("Alps"), QStringLiteral("Old > Alpine")}));
    // The field's clear button shows while it holds text and empties it.
    auto* clear = browser->searchField().findChild<QAction*>(QStringLiteral("clearSearch"));
    ASSERT_NE(clear, nullptr);
    EXPECT_TRUE(clear->isVisible());
    clear->trigger();
    EXPECT_TRUE(browser->searchField().text().isEmpty());
    EXPECT_FALSE(clear->isVisible());
    browser->searchField().setText(QStringLiteral(" alp"));
    Q_EMIT browser->albums().itemClicked(browser->albums().item(1));
    EXPECT_EQ(browser->target(), ImportTarget::album({QStringLiteral("a2"), QStringLiteral("Old > Alpine")}));

    browser->create(QStringLiteral("Card"));
    EXPECT_EQ(browser->target(), ImportTarget::newAlbum(QStringLiteral("Card")));
    EXPECT_EQ(rows(browser->albums()).last(), QStringLiteral("Card (new)"));

    // Back to the location: its root folder becomes the destination at once.
    Q_EMIT browser->places().itemClicked(placeRow(QStringLiteral("Pictures")));
    EXPECT_EQ(browser->target(), ImportTarget::folder(root));
}
