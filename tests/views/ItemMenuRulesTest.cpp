#include "Pellmar/views/details/MenuRules.h"

#include <gtest/gtest.h>

using namespace inspector;

namespace {

// The entries as one line each: "-" for a divider, "(title)" for a greyed entry.
QStringList lines(const QList<MenuEntry>& entries)
{
    QStringList all;
    for (const MenuEntry& entry : entries)
        all << (entry.isDivider() ? QStringLiteral("-") : entry.enabled ? entry.title : u'(' + entry.title + u')');
    return all;
}

Library::CloudCopy cloudCopy(bool downloaded)
{
    return {Location{}, QStringLiteral("/home/me/Cloud/a.jpg"), downloaded};
}

ItemFacts fileItem()
{
    ItemFacts facts;
    facts.copies = 1;
    facts.allInPhotos = false;
    facts.noneInPhotos = true;
    facts.reachable = true;
    facts.shareFile = true;
    facts.imageFile = true;
    facts.canView = true;
    return facts;
}

} // namespace

TEST(ItemMenu, Scenarios)
{
    ItemFacts noCopies;
    noCopies.copies = 0;

    ItemFacts onlyInPhotos;
    onlyInPhotos.copies = 1;
    onlyInPhotos.noneInPhotos = false;
    onlyInPhotos.imageFile = true;
    onlyInPhotos.shareFile = true;

    ItemFacts unplugged = fileItem();
    unplugged.copies = 2;
    unplugged.reachable = false;
    unplugged.shareFile = false;
    unplugged.missingSources = {QStringLiteral("A"), QStringLiteral("B")};
    ItemFacts unpluggedViewerOff = unplugged;
    unpluggedViewerOff.openInQuorvin = false;

    ItemFacts notDownloaded = unplugged;
    notDownloaded.cloud = cloudCopy(false);

    ItemFacts downloaded = fileItem();
    downloaded.cloud = cloudCopy(true);

    ItemFacts both = fileItem();
    both.copies = 2;
    both.noneInPhotos = false;

    ItemFacts favorite = fileItem();
    favorite.favorite = true;

    const QString tail = "-,Rename…,Move to Trash";
    const struct {
        const char* name;
        ItemFacts facts;
        QString menu;
    } cases[] = {
        {"no copies", noCopies, "Open,-,(Copy),(Share),Add to Favorites"},
        {"only in the photo library", onlyInPhotos, "Open,Open in Photo Library,-,Copy,Share,Add to Favorites"},
        {"two unplugged drives", unplugged,
         "(A or B is not plugged in),-,Open,(Open in),(Show in Files),-,(Copy),Copy Path,(Share),Add to Favorites"},
        {"unplugged, viewer setting off", unpluggedViewerOff,
         "(A or B is not plugged in),-,(Open),(Open in),(Show in Files),-,(Copy),Copy Path,(Share),Add to Favorites"},
        {"cloud copy not downloaded", notDownloaded,
         "(Not downloaded),-,Open,(Open in),(Show in Files),-,(Copy),Copy Path,(Share),Add to Favorites,-,Download"},
        {"downloaded cloud copy", downloaded,
         "Open,Open in,Show in Files,-,Copy,Copy Path,Share,Add to Favorites,-,Remove Download," + tail},
        {"file and photo library copies", both,
         "Open,Open in,Open in Photo Library,Show in Files,-,Copy,Copy Path,Share,Add to Favorites," + tail},
        {"favorite", favorite, "Open,Open in,Show in Files,-,Copy,Copy Path,Share,Remove from Favorites," + tail},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lines(itemMenuEntries(c.facts)).join(u','), c.menu) << c.name;
}

TEST(ItemMenu, PhotoLibraryEntryNeedsAProgramToShowIt)
{
    ItemFacts facts = fileItem();
    facts.noneInPhotos = false;
    facts.canShowInPhotos = false;
    EXPECT_FALSE(lines(itemMenuEntries(facts)).contains("Open in Photo Library"));
    EXPECT_FALSE(lines(actionBarEntries(facts)).contains("Open in Photo Library"));
}

TEST(ActionBar, ButtonsPresentOnlyWhereTheyAct)
{
    ItemFacts unplugged = fileItem();
    unplugged.reachable = false;
    unplugged.shareFile = true;   // a preview file exists

    ItemFacts photos;
    photos.copies = 1;
    photos.noneInPhotos = false;

    ItemFacts documentOffline = unplugged;
    documentOffline.shareFile = false;   // a document is never shared as its preview

    ItemFacts noCopies;
    noCopies.copies = 0;
    noCopies.shareFile = true;
    noCopies.favorite = true;

    const struct {
        const char* name;
        ItemFacts facts;
        QString bar;
    } cases[] = {
        {"only copy unplugged", unplugged, "Open,Share,Favorite"},
        {"photo library item", photos, "Open,Open in Photo Library,Favorite"},
        {"document out of reach", documentOffline, "Open,Favorite"},
        {"no known copies", noCopies, "Share,Unfavorite"},
        {"reachable file", fileItem(), "Open,Open in,Share,Favorite"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lines(actionBarEntries(c.facts)).join(u','), c.bar) << c.name;
}

TEST(GroupMenu, Table)
{
    GroupFacts three;
    three.count = 3;
    three.allFavorite = false;
    three.anyReachable = true;

    GroupFacts many;
    many.count = 1'500;

    GroupFacts clouds;
    clouds.count = 2;
    clouds.anyDownloaded = true;
    clouds.anyNotDownloaded = true;
    clouds.anyReachable = true;

    const struct {
        const char* name;
        GroupFacts facts;
        QString menu;
    } cases[] = {
        {"three with a reachable copy", three, "Copy 3 Items,Share…,Add to Favorites,-,Move 3 Items to Trash"},
        {"count without grouping, all favorites, nothing reachable", many,
         "Copy 1500 Items,Share…,Remove from Favorites"},
        {"downloaded and not", clouds,
         "Copy 2 Items,Share…,Remove from Favorites,-,Download,Remove Download,-,Move 2 Items to Trash"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lines(groupMenuEntries(c.facts)).join(u','), c.menu) << c.name;
}
