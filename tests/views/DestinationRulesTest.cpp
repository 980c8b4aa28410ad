#include "Pellmar/views/destination/DestinationRules.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace destination;

namespace {

PhotosNode album(const QString& id, const QString& path)
{
    return {id, path.section(QStringLiteral(" > "), -1), path, std::nullopt};
}

PhotosNode folder(const QString& id, const QString& path, QList<PhotosNode> children)
{
    return {id, path.section(QStringLiteral(" > "), -1), path, std::move(children)};
}

QStringList names(const QList<AlbumGroup>& groups)
{
    QStringList list;
    for (const AlbumGroup& g : groups)
        list.append(g.name);
    return list;
}

Source location(const QString& id, const QString& root)
{
    Source s;
    s.id = id;
    s.rootPath = root;
    return s;
}

QStringList fileNames(const QStringList& paths)
{
    QStringList list;
    for (const QString& p : paths)
        list.append(p.section(u'/', -1));
    return list;
}

} // namespace

TEST(DestinationRulesTest, AlbumGroupsHeadEqualFolderPathsApart)
{
    EXPECT_EQ(albumGroups({}), (QList<AlbumGroup>{{QStringLiteral("albums"), QStringLiteral("Albums"), {}}}));

    const QList<PhotosNode> tree{
        album(QStringLiteral("a1"), QStringLiteral("Top")),
        folder(QStringLiteral("f1"), QStringLiteral("Trips"), {album(QStringLiteral("a2"), QStringLiteral("Trips > Alps")),
               folder(QStringLiteral("f2"), QStringLiteral("Trips > Old"), {album(QStringLiteral("a3"), QStringLiteral("Trips > Old > 1999"))})}),
        folder(QStringLiteral("f3"), QStringLiteral("Trips"), {album(QStringLiteral("a4"), QStringLiteral("Trips > X")),
               album(QStringLiteral("a5"), QStringLiteral("Trips > Y")), album(QStringLiteral("a6"), QStringLiteral("Trips > Z"))}),
        folder(QStringLiteral("f4"), QStringLiteral("Kids"), {}),
        folder(QStringLiteral("f5"), QStringLiteral("Kids"), {}),
    };
    const QList<AlbumGroup> groups = albumGroups(tree);
    EXPECT_EQ(names(groups), (QStringList{QStringLiteral("Albums"), QStringLiteral("Trips (1 album)"),
                                          QStringLiteral("Trips > Old"), QStringLiteral("Trips (3 albums)"),
                                          QStringLiteral("Kids"), QStringLiteral("Kids 2")}));
    EXPECT_EQ(groups[0].albums.size(), 1);
    EXPECT_EQ(groups[1].albums.size(), 1);   // the nested folder's album is its own group's

    // Album search: blank shows the chosen group, a term searches every group by name.
    EXPECT_EQ(filterAlbums(groups, QStringLiteral("f3"), QStringLiteral("  ")).size(), 3);
    EXPECT_TRUE(filterAlbums(groups, QStringLiteral("gone"), {}).isEmpty());
    const QList<PhotosNode> found = filterAlbums(groups, QStringLiteral("albums"), QStringLiteral(" ALP "));
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(albumTarget(found[0]), ImportTarget::album({QStringLiteral("a2"), QStringLiteral("Trips > Alps")}));
}

TEST(DestinationRulesTest, RootKeyPicksTheDeepestLocationWithASlashTest)
{
    const QList<Source> locations{location(QStringLiteral("home"), QStringLiteral("/home/u")),
                                  location(QStringLiteral("pics"), QStringLiteral("/home/u/Pictures")),
                                  location(QStringLiteral("pics2"), QStringLiteral("/home/u/Pictures")),
                                  location(QStringLiteral("down"), QStringLiteral("/x/Down"))};
    const struct {
        ImportTarget target;
        std::optional<QString> key;
    } cases[] = {
        {ImportTarget::folder(QStringLiteral("/home/u/Pictures/2024")), QStringLiteral("pics")},
        {ImportTarget::folder(QStringLiteral("/home/u/Pictures")), QStringLiteral("pics")},
        {ImportTarget::folder(QStringLiteral("/home/u/PicturesOld")), QStringLiteral("home")},
        {ImportTarget::folder(QStringLiteral("/x/Downloads")), std::nullopt},
        {ImportTarget::album({QStringLiteral("a"), QStringLiteral("A")}), QStringLiteral("photos")},
        {ImportTarget::newAlbum(QStringLiteral("N")), QStringLiteral("photos")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rootKey(c.target, locations), c.key) << c.target.id().toStdString();
}

TEST(DestinationRulesTest, NewFolderParentNeedsTheSlashTest)
{
    const struct {
        std::optional<ImportTarget> target;
        const char* parent;
    } cases[] = {
        {ImportTarget::folder(QStringLiteral("/x/Down/a")), "/x/Down/a"},
        {ImportTarget::folder(QStringLiteral("/x/Down")), "/x/Down"},
        {ImportTarget::folder(QStringLiteral("/x/Downloads")), "/x/Down"},   // a sibling, not a child
        {ImportTarget::newAlbum(QStringLiteral("N")), "/x/Down"},
        {std::nullopt, "/x/Down"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(newFolderParent(c.target, QStringLiteral("/x/Down")), QString::fromUtf8(c.parent)) << c.parent;
}

TEST(DestinationRulesTest, CreateFolder)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString refused = QStringLiteral("A folder name cannot contain a slash or start with a dot.");
    const struct {
        const char* name;
        const char* parent;
        bool made;
        const char* error;
    } cases[] = {
        {"New", "", true, ""},
        {"New", "", false, "File exists."},
        {"a/b", "", false, nullptr},
        {".hidden", "", false, nullptr},
        {"Child", "/missing", false, "No such file or directory."},
    };
    for (const auto& c : cases) {
        const CreatedFolder made = createFolder(QString::fromUtf8(c.name), root + QString::fromUtf8(c.parent));
        EXPECT_EQ(!made.path.isEmpty(), c.made) << c.name;
        EXPECT_EQ(made.error, c.error ? QString::fromUtf8(c.error) : refused) << c.name;
    }
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/New")).isDir());
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/a")));
}

TEST(DestinationRulesTest, FolderListingShowsOnlyPlainSubfolders)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char* name : {"Photos 10", "photos 2", "Card", "CardOld", ".hidden", "Tool.app", "Sub"})
        ASSERT_TRUE(QDir(root).mkpath(QString::fromUtf8(name)));
    QFile(root + QStringLiteral("/file.jpg")).open(QIODevice::WriteOnly);
    // A link to the excluded card is hidden by its resolved path.
    ASSERT_TRUE(QFile::link(root + QStringLiteral("/Card"), root + QStringLiteral("/Link")));

    const QStringList listing = folderListing(root, {root + QStringLiteral("/Card")});
    EXPECT_EQ(fileNames(listing), (QStringList{QStringLiteral("CardOld"), QStringLiteral("photos 2"),
                                               QStringLiteral("Photos 10"), QStringLiteral("Sub")}));
    EXPECT_TRUE(folderListing(root + QStringLiteral("/missing"), {}).isEmpty());
    EXPECT_TRUE(folderListing(root + QStringLiteral("/Sub"), {}).isEmpty());

    EXPECT_EQ(fileNames(filterFolders(listing, QStringLiteral("  PHOTO\t"))),
              (QStringList{QStringLiteral("photos 2"), QStringLiteral("Photos 10")}));
    EXPECT_EQ(filterFolders(listing, QStringLiteral("   ")), listing);
}
