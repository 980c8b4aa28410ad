#include "Pellmar/views/kit/WorkspaceMembers.h"

#include <gtest/gtest.h>

namespace {

FolderNode node(const QString& sourceID, const QString& path, std::optional<SmartFilter> smart = std::nullopt)
{
    FolderNode node;
    node.sourceID = sourceID;
    node.path = path;
    node.smart = smart;
    return node;
}

} // namespace

TEST(MembersOutside, DropsTheKeysInsideTheNode)
{
    const QSet<QString> members{"S|", "S|Pictures", "S|Pictures/2024", "S|Pictures 2", "T|", "T|Pictures/2024",
                                "P|#albums", "P|#albums/Trip", "P|#favorites"};
    const struct {
        FolderNode node;
        QSet<QString> expected;
    } cases[] = {
        {node("S", ""), {"T|", "T|Pictures/2024", "P|#albums", "P|#albums/Trip", "P|#favorites"}},
        {node("S", "Pictures"), members - QSet<QString>{"S|Pictures/2024"}},
        {node("P", "", SmartFilter::albums), members - QSet<QString>{"P|#albums/Trip"}},
        {node("X", "Pictures"), members},
    };
    for (const auto& c : cases)
        EXPECT_EQ(membersOutside(members, c.node), c.expected) << c.node.sourceID.toStdString() << c.node.path.toStdString();
    EXPECT_TRUE(membersOutside({}, node("S", "")).isEmpty());
}
