#include "OfflineLibrary.h"

#include <gtest/gtest.h>

namespace {

FolderNode node(const QString& sourceID, const QString& path, QList<FolderNode> children = {})
{
    return FolderNode{.id = sourceID + u'/' + path, .sourceID = sourceID, .path = path, .children = std::move(children)};
}

QStringList keysOf(const QList<FolderNode>& nodes)
{
    QStringList keys;
    for (const FolderNode& n : nodes)
        keys << n.key();
    return keys;
}

} // namespace

TEST(WorkspaceTrees, WholeSourcesAndMemberFoldersInKeyOrder)
{
    OfflineLibrary offline;
    Library& library = *offline.library;
    library.setTrees({node("A", "", {node("A", "b"), node("A", "C")}), node("B", "", {node("B", "x")}), node("Z", "")});
    library.setWorkspaces({Workspace{.id = "everything"},
                           Workspace{.id = "W", .members = {"A|b", "A|C", "A|gone", "B|", "B|x"}}});

    library.setWorkspaceID("everything");
    EXPECT_EQ(keysOf(library.workspaceTrees()), QStringList({"A|", "B|", "Z|"}));
    library.setWorkspaceID("W");
    // Upper case sorts first; a folder of a whole source adds nothing; an unknown key is skipped.
    EXPECT_EQ(keysOf(library.workspaceTrees()), QStringList({"A|C", "A|b", "B|"}));
    library.setWorkspaceID("nobody");
    EXPECT_TRUE(library.workspaceTrees().isEmpty());
}
