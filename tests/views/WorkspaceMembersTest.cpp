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

namespace {

FolderNode folder(const QString& path, QList<FolderNode> children = {})
{
    FolderNode n = node("S", path);
    n.id = "S/" + path;
    n.name = path.section(u'/', -1);
    n.children = std::move(children);
    return n;
}

// Source S: a (a/b (a/b/c, a/b/d), a/x) and ab beside a.
struct MemberTree {
    FolderNode abc = folder("a/b/c");
    FolderNode ab = folder("a/b", {abc, folder("a/b/d")});
    FolderNode a = folder("a", {ab, folder("a/x")});
    FolderNode aSibling = folder("ab");
    FolderNode root = [this] {
        FolderNode r = folder("", {a, aSibling});
        r.id = "S";
        return r;
    }();

    NodeLookup lookup() const
    {
        return [this](const QString& key) -> std::optional<FolderNode> {
            for (const FolderNode* n : {&root, &a, &ab, &abc, &aSibling}) {
                if (n->key() == key)
                    return *n;
            }
            return std::nullopt;
        };
    }
};

} // namespace

TEST(MemberHelpers, AncestorKeysAndMemberChildren)
{
    EXPECT_EQ(ancestorKeys(node("S", "a/b/c")), QStringList({"S|", "S|a/b", "S|a"}));
    EXPECT_EQ(ancestorKeys(node("S", "a")), QStringList({"S|"}));
    EXPECT_TRUE(ancestorKeys(node("S", "")).isEmpty());

    // The photo library lists its albums right under its root; other smart groups never show.
    FolderNode albums = node("P", "", SmartFilter::albums);
    albums.children = {node("P", "Trip"), node("P", "Family")};
    FolderNode photos = node("P", "");
    photos.children = {node("P", "", SmartFilter::favorites), albums, node("P", "", SmartFilter::videos)};
    QStringList keys;
    for (const FolderNode& child : memberChildren(photos))
        keys << child.key();
    EXPECT_EQ(keys, QStringList({"P|Trip", "P|Family"}));
}

TEST(MemberHelpers, StatesFollowTheChosenKeys)
{
    const MemberTree t;
    const QSet<QString> onlyAB{"S|a/b"};
    EXPECT_EQ(memberState(t.root, onlyAB), MemberState::mixed);
    EXPECT_EQ(memberState(t.a, onlyAB), MemberState::mixed);
    EXPECT_EQ(memberState(t.ab, onlyAB), MemberState::on);
    EXPECT_EQ(memberState(t.abc, onlyAB), MemberState::on);   // covered by a/b
    EXPECT_EQ(memberState(t.aSibling, QSet<QString>{"S|a"}), MemberState::off);   // "ab" is not inside "a"
    EXPECT_EQ(memberState(t.a, QSet<QString>{"S|ab"}), MemberState::off);
}

TEST(MemberHelpers, ToggleSequences)
{
    const MemberTree t;
    const NodeLookup lookup = t.lookup();
    const struct {
        const char* what;
        const FolderNode& node;
        QSet<QString> before;
        QSet<QString> after;
    } cases[] = {
        {"a source takes the place of its folders", t.root, {"S|a/b", "S|ab", "T|x"}, {"S|", "T|x"}},
        {"a member leaves", t.root, {"S|", "T|x"}, {"T|x"}},
        {"a mixed row turns on", t.a, {"S|a/b", "S|ab"}, {"S|a", "S|ab"}},
        {"out of a member source", t.ab, {"S|"}, {"S|ab", "S|a/x"}},
        {"out of a member folder, two levels down", t.abc, {"S|a"}, {"S|a/x", "S|a/b/d"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(toggleMember(c.node, c.before, lookup), c.after) << c.what;
    // Turning on never leaves a key below another.
    EXPECT_EQ(memberState(t.ab, toggleMember(t.ab, {"S|a/b/c"}, lookup)), MemberState::on);
    // An ancestor that no longer resolves is only dropped.
    EXPECT_EQ(toggleMember(t.ab, {"S|"}, [](const QString&) { return std::optional<FolderNode>(); }), QSet<QString>());
}
