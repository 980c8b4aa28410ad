#include "IndexFixture.h"

namespace {

class WorkspaceTest : public IndexFixture {
protected:
    // Every row of a workspace's members, pins and favorites, as "table:source|path" or "table:item".
    QStringList rowsOf(const QString& workspaceID)
    {
        Statement rows(db.db(),
                       QStringLiteral("SELECT 'member:' || source_id || '|' || path FROM workspace_sources WHERE workspace_id = ?1 "
                                      "UNION ALL SELECT 'pin:' || source_id || '|' || path FROM pins WHERE workspace_id = ?1 "
                                      "UNION ALL SELECT 'favorite:' || item_id FROM favorites WHERE workspace_id = ?1 "
                                      "UNION ALL SELECT 'workspace:' || name FROM workspaces WHERE id = ?1 ORDER BY 1"));
        rows.bind({workspaceID});
        QStringList list;
        while (rows.step())
            list.append(rows.text(0));
        return list;
    }

    // Fills a workspace with one member, one pin and one favorite.
    void fill(const QString& workspaceID)
    {
        index.saveWorkspace({workspaceID, workspaceID, QStringLiteral("star"), QStringLiteral("red"), 1, {"S|a"}});
        index.savePins({QStringLiteral("S|a")}, workspaceID);
        index.setFavorite(QStringLiteral("item"), true, workspaceID);
    }
};

const QString everything = QStringLiteral("everything");

TEST_F(WorkspaceTest, SavedWorkspacesComeBackByPositionThenAgeWithTheirMembers)
{
    index.saveWorkspace({"w1", "Trips", "airplane", "blue", 1,
                         {"S|", "S|a/b", "S|x|y", "P|#favorites", "bare"}});
    index.saveWorkspace({"w2", "Work", "briefcase", "green", 1, {}});
    db.run(QStringLiteral("UPDATE workspaces SET created_at = 5 WHERE id = 'w1'"));
    db.run(QStringLiteral("UPDATE workspaces SET created_at = 6 WHERE id = 'w2'"));
    // Members of a workspace without a row are ignored.
    db.run(QStringLiteral("INSERT INTO workspace_sources (workspace_id, source_id, path) VALUES ('ghost', 'S', '')"));

    const Workspace builtIn{"everything", "Everything", "house", "accent", 0, {}};
    const Workspace trips{"w1", "Trips", "airplane", "blue", 1, {"S|", "S|a/b", "S|x|y", "P|#favorites", "bare|"}};
    const Workspace work{"w2", "Work", "briefcase", "green", 1, {}};
    EXPECT_EQ(index.workspaces(), QList<Workspace>({builtIn, trips, work}));

    // Saving again replaces the members as a whole and keeps the creation date; moving it
    // behind the other reorders the list.
    const Workspace moved{"w1", "Travel", "airplane", "blue", 2, {"S|c"}};
    index.saveWorkspace(moved);
    EXPECT_EQ(index.workspaces(), QList<Workspace>({builtIn, work, moved}));
    EXPECT_EQ(integer(QStringLiteral("SELECT created_at FROM workspaces WHERE id = 'w1'")), 5);

    // The built-in workspace stores its looks but never members.
    const Workspace renamed{"everything", "All", "globe", "purple", 3, {"S|"}};
    index.saveWorkspace(renamed);
    EXPECT_EQ(index.workspaces(), QList<Workspace>({work, moved, {"everything", "All", "globe", "purple", 3, {}}}));
    EXPECT_EQ(integer(QStringLiteral("SELECT COUNT(*) FROM workspace_sources WHERE workspace_id = 'everything'")), 0);
}

TEST_F(WorkspaceTest, DeletingAWorkspaceTakesItsMembersPinsAndFavoritesOnly)
{
    addItem({.id = "item"});
    fill(QStringLiteral("w1"));
    fill(QStringLiteral("w2"));
    index.savePins({QStringLiteral("S|a")}, everything);
    index.setFavorite(QStringLiteral("item"), true, everything);

    index.deleteWorkspace(QStringLiteral("w1"));
    EXPECT_EQ(rowsOf(QStringLiteral("w1")), QStringList());
    EXPECT_EQ(rowsOf(QStringLiteral("w2")), QStringList({"favorite:item", "member:S|a", "pin:S|a", "workspace:w2"}));

    index.deleteWorkspace(everything);
    EXPECT_EQ(rowsOf(everything), QStringList({"favorite:item", "pin:S|a", "workspace:Everything"}));
}

// A statement that fails in the middle of a write leaves the workspace as it was, and the
// connection takes the next write.
TEST_F(WorkspaceTest, FailedWritesLeaveNothingHalfDone)
{
    addItem({.id = "item"});
    fill(QStringLiteral("w1"));
    const QStringList before = rowsOf(QStringLiteral("w1"));
    db.exec(QStringLiteral(
        "CREATE TRIGGER refuse_member BEFORE INSERT ON workspace_sources WHEN NEW.source_id = 'bad' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END;"
        "CREATE TRIGGER refuse_pin BEFORE INSERT ON pins WHEN NEW.source_id = 'bad' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END;"
        "CREATE TRIGGER refuse_delete BEFORE DELETE ON workspaces WHEN OLD.id = 'w1' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END;"));

    const std::vector<std::pair<const char*, std::function<void()>>> failingWrites{
        {"save", [&] { index.saveWorkspace({"w1", "Renamed", "star", "red", 1, {"S|b", "bad|"}}); }},
        {"pins", [&] { index.savePins({QStringLiteral("S|b"), QStringLiteral("bad|x")}, QStringLiteral("w1")); }},
        {"delete", [&] { index.deleteWorkspace(QStringLiteral("w1")); }},
    };
    for (const auto& [name, write] : failingWrites) {
        SCOPED_TRACE(name);
        try {
            write();
            ADD_FAILURE() << "no error";
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.description(), QStringLiteral("constraint failed"));
        }
        EXPECT_EQ(rowsOf(QStringLiteral("w1")), before);
    }

    index.saveWorkspace({"w1", "Renamed", "star", "red", 1, {"S|b"}});
    EXPECT_EQ(rowsOf(QStringLiteral("w1")),
              QStringList({"favorite:item", "member:S|b", "pin:S|a", "workspace:Renamed"}));
}

TEST_F(WorkspaceTest, PinsKeepTheirOrderAndPlacesPerWorkspace)
{
    index.savePins({"S|z", "no bar", "S|a", "S|z", "P|#recents"}, QStringLiteral("w1"));
    index.savePins({"S|b"}, QStringLiteral("w2"));

    EXPECT_EQ(index.pins(QStringLiteral("w1")), QStringList({"S|z", "S|a", "P|#recents"}));
    EXPECT_EQ(index.pins(QStringLiteral("w2")), QStringList({"S|b"}));
    // The skipped key keeps its place: positions have a gap where it stood.
    Statement positions(db.db(), QStringLiteral("SELECT group_concat(position) FROM (SELECT position FROM pins "
                                                "WHERE workspace_id = 'w1' ORDER BY position)"));
    ASSERT_TRUE(positions.step());
    EXPECT_EQ(positions.text(0), QStringLiteral("0,2,4"));

    index.savePins({}, QStringLiteral("w1"));
    EXPECT_EQ(index.pins(QStringLiteral("w1")), QStringList());
    EXPECT_EQ(index.pins(QStringLiteral("w2")), QStringList({"S|b"}));
}

TEST_F(WorkspaceTest, FavoritesBelongToOneWorkspaceAndOnlyExistingItemsCount)
{
    for (const char* id : {"a", "b", "c"})
        addItem({.id = QString::fromLatin1(id)});
    index.setFavorite("a", true, "w1");
    index.setFavorite("a", true, "w2");
    index.setFavorite("b", true, "w2");
    index.setFavorite("c", true, "w2");
    db.run(QStringLiteral("UPDATE favorites SET added_at = 7 WHERE item_id = 'a'"));

    index.setFavorite("a", true, "w1");   // already a favorite: keeps its first date
    index.setFavorite("b", false, "w1");  // no favorite there: nothing changes
    db.run(QStringLiteral("DELETE FROM items WHERE id = 'c'"));

    EXPECT_EQ(index.favoriteIDs("w1"), QSet<QString>({"a"}));
    EXPECT_EQ(index.favoriteIDs("w2"), QSet<QString>({"a", "b"}));
    EXPECT_EQ(integer(QStringLiteral("SELECT added_at FROM favorites WHERE workspace_id = 'w1'")), 7);

    index.setFavorite("a", false, "w2");
    EXPECT_EQ(index.favoriteIDs("w2"), QSet<QString>({"b"}));
    EXPECT_EQ(index.favoriteIDs("w1"), QSet<QString>({"a"}));
}

TEST_F(WorkspaceTest, PhotoFavoritesMarkEveryPhotoLibraryRowOfTheItemOnly)
{
    addSource(QStringLiteral("P"), SourceKind::photos);
    addSource(QStringLiteral("S"));
    addItem({.id = "both"});
    addItem({.id = "folderOnly"});
    addFile({.sourceID = "P", .relPath = "Album 1/x", .itemID = "both", .assetID = "x"});
    addFile({.sourceID = "P", .relPath = "Album 2/x", .itemID = "both", .assetID = "x"});
    addFile({.sourceID = "S", .relPath = "x.jpg", .itemID = "both"});
    addFile({.sourceID = "S", .relPath = "y.jpg", .itemID = "folderOnly"});
    const QString flags = QStringLiteral("SELECT group_concat(rel_path || '=' || favorite, ' ') FROM "
                                         "(SELECT rel_path, favorite FROM files ORDER BY rel_path)");

    index.setPhotoFavorite("both", true);
    index.setPhotoFavorite("folderOnly", true);
    EXPECT_EQ(text(flags), QStringLiteral("Album 1/x=1 Album 2/x=1 x.jpg=0 y.jpg=0"));
    EXPECT_EQ(index.photoFavoriteIDs(), QSet<QString>({"both"}));

    index.setPhotoFavorite("both", false);
    EXPECT_EQ(text(flags), QStringLiteral("Album 1/x=0 Album 2/x=0 x.jpg=0 y.jpg=0"));
    EXPECT_EQ(index.photoFavoriteIDs(), QSet<QString>());
}

} // namespace
