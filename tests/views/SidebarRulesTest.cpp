#include "Pellmar/views/sidebar/SidebarRules.h"

#include <gtest/gtest.h>

namespace {

Source source(const QString& id, const QString& name, const QString& root, SourceKind kind = SourceKind::folder)
{
    return Source{.id = id, .name = name, .rootPath = root, .kind = kind};
}

FolderNode tree(const QString& sourceID, const QString& path, QList<FolderNode> children = {},
                std::optional<SmartFilter> smart = std::nullopt)
{
    return FolderNode{.id = sourceID + u'/' + (smart ? u'#' + rawValue(*smart) : path),
                      .sourceID = sourceID,
                      .path = path,
                      .name = path.isEmpty() ? sourceID : path.section(u'/', -1),
                      .count = 3,
                      .children = std::move(children),
                      .smart = smart};
}

std::optional<FolderNode> findIn(const QList<FolderNode>& nodes, const QString& key)
{
    for (const FolderNode& node : nodes) {
        if (node.key() == key)
            return node;
        if (auto found = findIn(node.children, key))
            return found;
    }
    return std::nullopt;
}

// Home (H) with Pictures/2024, the photo library (P) with favorites and albums, a drive (D), a
// folder elsewhere (F) and a tree whose source is unknown (X).
struct Places {
    QList<Source> sources{source("H", "Home", homePath()), source("P", "Photo Library", "/lib", SourceKind::photos),
                          source("D", "Backup", "/media/me/Backup"), source("F", "Archive", "/srv/archive")};
    QList<FolderNode> trees{
        tree("H", "", {tree("H", "Pictures", {tree("H", "Pictures/2024")})}),
        tree("P", "", {tree("P", "", {}, SmartFilter::favorites),
                       tree("P", "", {tree("P", "Trip")}, SmartFilter::albums)}),
        tree("D", "", {tree("D", "DCIM")}),
        tree("F", ""),
        tree("X", ""),
    };

    SidebarInputs inputs() const
    {
        SidebarInputs in;
        in.workspaceTrees = trees;
        in.nodeForKey = [this](const QString& key) { return findIn(trees, key); };
        in.sources = sources;
        in.workspaceID = "everything";
        return in;
    }
};

// The entries as short texts: "kind:text", rows with their depth.
QStringList outline(const QList<SidebarEntry>& entries)
{
    QStringList lines;
    for (const SidebarEntry& e : entries) {
        switch (e.kind) {
        case SidebarEntryKind::row: lines << QStringLiteral("row%1:%2").arg(e.look.depth).arg(e.look.text); break;
        case SidebarEntryKind::header: lines << "header:" + e.look.text; break;
        case SidebarEntryKind::emptyText: lines << "empty:" + e.look.text; break;
        case SidebarEntryKind::device: lines << "device:" + e.look.text; break;
        case SidebarEntryKind::progress: lines << "progress"; break;
        default: lines << "block:" + e.look.text; break;
        }
    }
    return lines;
}

const SidebarEntry* find(const QList<SidebarEntry>& entries, const QString& key)
{
    for (const SidebarEntry& e : entries) {
        if (e.key == key)
            return &e;
    }
    return nullptr;
}

} // namespace

TEST(FlattenSidebar, SectionsByPlaceAndHiddenSources)
{
    Places places;
    SidebarInputs in = places.inputs();
    in.hiddenSources = {"F"};
    in.devices = {Device{.url = "/media/me/CARD", .name = "CARD"}};
    EXPECT_EQ(outline(flattenSidebar(in)),
              QStringList({"row0:All items", "row0:Favorites", "row0:Not backed up", "header:This Computer", "row0:H",
                           "row0:P", "header:Drives", "row0:D", "header:Devices", "device:CARD", "header:Folders",
                           "row0:X"}));
}

TEST(FlattenSidebar, EmptySectionsPerWorkspace)
{
    SidebarInputs in;
    in.workspaceID = "everything";
    const QList<SidebarEntry> everything = flattenSidebar(in);
    EXPECT_EQ(outline(everything).mid(3), QStringList({"header:Drives", "empty:Plug in a drive or add a folder"}));
    EXPECT_TRUE(find(everything, "section:Drives")->look.canAdd);

    in.workspaceID = "W1";
    EXPECT_EQ(outline(flattenSidebar(in)).size(), 3);   // only the fixed rows
}

TEST(FlattenSidebar, FixedRowHighlights)
{
    const struct {
        const char* what;
        std::optional<QString> source;
        bool favorites, notBackedUp;
        std::optional<QString> device;
        QList<bool> selected;   // All items, Favorites, Not backed up
    } cases[] = {
        {"nothing chosen", {}, false, false, {}, {true, false, false}},
        {"favorites", {}, true, false, {}, {false, true, false}},
        {"source and favorites", "H", true, false, {}, {false, true, false}},
        {"not backed up", {}, false, true, {}, {false, false, true}},
        {"a device", {}, true, true, "/media/me/CARD", {false, false, false}},
    };
    for (const auto& c : cases) {
        SidebarInputs in;
        in.sourceFilter = c.source;
        in.favoritesOnly = c.favorites;
        in.notBackedUp = c.notBackedUp;
        in.selectedDevice = c.device;
        const QList<SidebarEntry> entries = flattenSidebar(in);
        EXPECT_EQ((QList<bool>{entries[0].look.selected, entries[1].look.selected, entries[2].look.selected}),
                  c.selected)
            << c.what;
    }
}

TEST(FlattenSidebar, PinsKeepTheirOrderAndSkipWhatNoLongerResolves)
{
    Places places;
    SidebarInputs in = places.inputs();
    in.pinned = {"P|#favorites", "H|Gone", "D|DCIM", "H|", "H|Pictures"};
    in.selectedNodeID = "D|DCIM";
    const QList<SidebarEntry> entries = flattenSidebar(in);
    const struct {
        const char* key;
        const char* icon;
        const char* caption;
    } pins[] = {
        {"pin:P|#favorites", "heart", "Photo Library"},
        {"pin:D|DCIM", "folder", "Backup"},
        {"pin:H|", "laptopcomputer", ""},
        {"pin:H|Pictures", "folder", ""},   // the home folder's folders carry no caption
    };
    for (int i = 0; i < 4; ++i) {
        const SidebarEntry& e = entries[3 + i];
        EXPECT_EQ(e.key, pins[i].key);
        EXPECT_EQ(e.look.icon, pins[i].icon) << pins[i].key;
        EXPECT_EQ(e.look.caption, pins[i].caption) << pins[i].key;
        EXPECT_EQ(e.look.selected, i == 1) << pins[i].key;
        EXPECT_FALSE(e.look.chevron) << pins[i].key;
    }
    EXPECT_EQ(entries[7].kind, SidebarEntryKind::header);
}

TEST(FlattenSidebar, TreeRows)
{
    Places places;
    SidebarInputs in = places.inputs();
    in.expanded = {"H/", "H/Pictures", "P/"};
    in.hiddenSmart = {"favorites"};
    in.online = {"D"};
    in.sourceProgress = {{"H", {5, 10}}, {"D", {10, 10}}};
    const QList<SidebarEntry> entries = flattenSidebar(in);
    const struct {
        const char* key;
        int depth;
        const char* icon;
        std::optional<bool> chevron, dot;
        bool reserves;
    } rows[] = {
        {"tree:H/", 0, "laptopcomputer", true, {}, true},
        {"tree:H/Pictures", 1, "folder", true, {}, true},
        {"tree:H/Pictures/2024", 2, "folder", {}, {}, true},
        {"tree:P/", 0, "photo.on.rectangle", true, {}, true},
        {"tree:P/#albums", 1, "rectangle.stack", false, {}, true},
        {"tree:D/", 0, "externaldrive", false, true, true},
        {"tree:F/", 0, "externaldrive", {}, false, false},   // alone in its section, without children
        {"tree:X/", 0, "externaldrive", {}, false, false},
    };
    for (const auto& r : rows) {
        const SidebarEntry* e = find(entries, r.key);
        ASSERT_TRUE(e) << r.key;
        EXPECT_EQ(e->look.depth, r.depth) << r.key;
        EXPECT_EQ(e->look.icon, r.icon) << r.key;
        EXPECT_EQ(e->look.chevron, r.chevron) << r.key;
        EXPECT_EQ(e->look.dot, r.dot) << r.key;
        EXPECT_EQ(e->look.reservesChevron, r.reserves) << r.key;
    }
    EXPECT_FALSE(find(entries, "tree:P/#favorites"));   // hidden
    EXPECT_TRUE(find(entries, "progress:H/"));
    EXPECT_FALSE(find(entries, "progress:D/"));   // done
    EXPECT_EQ(outline(entries).indexOf("progress"), outline(entries).indexOf("row0:H") + 1);

    // A photo library whose groups are all hidden does not open.
    in.hiddenSmart = {"favorites", "albums"};
    EXPECT_FALSE(find(flattenSidebar(in), "tree:P/")->look.chevron);
}

TEST(FlattenSidebar, ATapSelectsAndOpensOrClosesOnlyTheSelectedRow)
{
    const struct {
        std::optional<bool> chevron;
        bool selected, toggles;
    } cases[] = {
        {false, false, true},   // closed: select and open
        {true, false, false},   // open, not selected: only select
        {true, true, true},     // open and selected: close
        {false, true, true},
        {{}, true, false},      // nothing to open
    };
    for (const auto& c : cases)
        EXPECT_EQ(tapToggles(SidebarLook{.selected = c.selected, .chevron = c.chevron}), c.toggles);
}

TEST(FlattenSidebar, StatusBlocks)
{
    SidebarInputs in;
    in.verification = SourceVerification{.source = "Backup", .result = {}};
    in.failures = {{"a/broken.jpg", "Not a picture"}};
    in.lastError = "Could not read <b>disk</b> & more";
    QList<SidebarEntry> entries = flattenSidebar(in);
    ASSERT_EQ(entries.size(), 6);   // after the three fixed rows
    EXPECT_EQ(entries[3].look.text, "Verified Backup");
    EXPECT_EQ(entries[3].look.caption, "0 checked, 0 changed, 0 missing, 0 added");
    EXPECT_EQ(entries[4].look.text, "1 files could not be read");
    EXPECT_FALSE(entries[4].look.open);
    EXPECT_EQ(entries[5].look.text, "Could not read <b>disk</b> & more");

    in.failuresOpen = true;
    in.verification->result = {.checked = 12'000, .changed = 1, .missing = 2, .added = 3};
    entries = flattenSidebar(in);
    EXPECT_EQ(entries[3].look.caption, "12,000 checked, 1 changed, 2 missing, 3 added");
    EXPECT_EQ(entries[5].kind, SidebarEntryKind::failure);
    EXPECT_EQ(entries[5].look.caption, "Not a picture");
    EXPECT_EQ(entries[6].kind, SidebarEntryKind::error);
}

TEST(SidebarRowGeometry, IndentHeightAndCount)
{
    EXPECT_EQ(sidebarRowIndent(0), 10);
    EXPECT_EQ(sidebarRowIndent(3), 52);
    EXPECT_EQ(sidebarRowHeight(true), 38);
    EXPECT_EQ(sidebarRowHeight(false), 30);
    EXPECT_EQ(sidebarCountText(1234), "1,234");
    EXPECT_EQ(sidebarCountText(0), "");
    EXPECT_EQ(sidebarCountText(-2), "");
}

TEST(FolderMenus, PerNodeType)
{
    const Places places;
    const auto texts = [](const QList<FolderMenuEntry>& entries) {
        QStringList list;
        for (const FolderMenuEntry& e : entries)
            list << (e.separatorBefore ? "-" + e.text : e.text);
        return list;
    };
    const Source home = places.sources[0], photos = places.sources[1], drive = places.sources[2],
                 other = places.sources[3];
    const struct {
        const char* what;
        FolderNode node;
        SidebarLook look;
        FolderMenuInputs inputs;
        QStringList expected;
    } cases[] = {
        {"a folder of an unplugged drive", tree("D", "DCIM"), {}, {.source = drive}, {"Pin to Sidebar"}},
        {"a pinned folder at home, open", tree("H", "Pictures"), {.chevron = true},
         {.pinned = true, .online = true, .source = home, .canPaste = true},
         {"Unpin", "Show in Files", "Paste", "Collapse"}},
        {"the home root", tree("H", ""), {}, {.online = true, .source = home},
         {"Pin to Sidebar", "Show in Files", "-Rescan", "Verify", "-Stop Indexing…"}},
        {"a drive's root", tree("D", ""), {.chevron = false}, {.online = true, .source = drive},
         {"Pin to Sidebar", "Show in Files", "Expand", "-Rescan", "-Stop Indexing…"}},
        {"the photo library's root", tree("P", ""), {.chevron = false}, {.online = true, .source = photos},
         {"Pin to Sidebar", "Expand", "-Rescan"}},
        {"a folder's root elsewhere", tree("F", ""), {}, {.online = true, .source = other, .canPaste = true},
         {"Pin to Sidebar", "Show in Files", "Paste", "-Rescan", "Verify", "-Stop Indexing…"}},
        {"a root without its source", tree("X", ""), {}, {}, {"Pin to Sidebar"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(texts(treeMenu(c.node, c.look, c.inputs)), c.expected) << c.what;
}
