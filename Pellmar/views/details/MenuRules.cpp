#include "Pellmar/views/details/MenuRules.h"

#include "Pellmar/platform/Defaults.h"
#include "Pellmar/views/details/DetailRules.h"
#include "Pellmar/views/kit/PlaceWords.h"

#include <algorithm>

namespace inspector {

namespace {

MenuEntry divider()
{
    return {};
}

bool inPhotos(const Location& location)
{
    return !location.assetID.isEmpty();
}

} // namespace

ItemFacts ItemFacts::of(Library& library, const Item& item, const QList<Location>& copies)
{
    const Library::FileFacts files = library.fileFactsOf(item);
    ItemFacts facts;
    facts.copies = copies.size();
    facts.allInPhotos = std::all_of(copies.cbegin(), copies.cend(), inPhotos);
    facts.noneInPhotos = std::none_of(copies.cbegin(), copies.cend(), inPhotos);
    facts.reachable = files.reachable && files.reachable->local && library.url(*files.reachable);
    facts.cloud = files.cloud;
    facts.missingSources = offlineSourceNames(copies, library.online());
    facts.shareFile = files.shareFile.has_value();
    facts.imageFile = library.imageURL(item).has_value();
    facts.openInQuorvin = library.defaults().boolean(QStringLiteral("openInQuorvin"));
    facts.canView = library.canView(item);
    facts.favorite = library.isFavorite(item);
    facts.canShowInPhotos = library.canShowInPhotos();
    return facts;
}

std::optional<QString> itemNotice(const ItemFacts& facts)
{
    const bool unavailable = !facts.allInPhotos && !facts.reachable;
    if (!unavailable)
        return std::nullopt;
    if (facts.cloud && !facts.cloud->downloaded)
        return QStringLiteral("Not downloaded");
    if (!facts.missingSources.isEmpty())
        return facts.missingSources.join(QStringLiteral(" or ")) + QStringLiteral(" is not plugged in");
    return std::nullopt;
}

QList<MenuEntry> itemMenuEntries(const ItemFacts& facts)
{
    const bool unavailable = !facts.allInPhotos && !facts.reachable;
    const bool copyDisabled = !facts.reachable && (facts.noneInPhotos || !facts.imageFile);
    const bool openDisabled = facts.noneInPhotos && unavailable && (!facts.openInQuorvin || !facts.canView);

    QList<MenuEntry> entries;
    if (const std::optional<QString> notice = itemNotice(facts))
        entries << MenuEntry{Action::none, *notice, false} << divider();
    entries << MenuEntry{Action::open, QStringLiteral("Open"), !openDisabled};
    if (!facts.allInPhotos)
        entries << MenuEntry{Action::openIn, QStringLiteral("Open in"), !unavailable};
    if (!facts.noneInPhotos && facts.canShowInPhotos)
        entries << MenuEntry{Action::showInPhotos, QString::fromUtf16(openInPhotoLibraryLabel), true};
    if (!facts.allInPhotos)
        entries << MenuEntry{Action::reveal, QString::fromUtf16(showInFilesLabel), facts.reachable};
    entries << divider();
    entries << MenuEntry{Action::copy, QStringLiteral("Copy"), !copyDisabled};
    if (!facts.allInPhotos)
        entries << MenuEntry{Action::copyPath, QStringLiteral("Copy Path"), true};
    entries << MenuEntry{Action::share, QStringLiteral("Share"), facts.shareFile};
    entries << MenuEntry{Action::favorite,
                         facts.favorite ? QStringLiteral("Remove from Favorites") : QStringLiteral("Add to Favorites"), true};
    if (facts.cloud) {
        entries << divider();
        entries << (facts.cloud->downloaded ? MenuEntry{Action::removeDownload, QStringLiteral("Remove Download"), true}
                                            : MenuEntry{Action::download, QStringLiteral("Download"), true});
    }
    if (facts.reachable) {
        entries << divider();
        entries << MenuEntry{Action::rename, QStringLiteral("Rename…"), true};
        entries << MenuEntry{Action::trash, QStringLiteral("Move to Trash"), true};
    }
    return entries;
}

QList<MenuEntry> actionBarEntries(const ItemFacts& facts)
{
    QList<MenuEntry> entries;
    if (facts.copies > 0)
        entries << MenuEntry{Action::open, QStringLiteral("Open"), true};
    if (facts.reachable)
        entries << MenuEntry{Action::openIn, QStringLiteral("Open in"), true};
    if (!facts.noneInPhotos && facts.canShowInPhotos)
        entries << MenuEntry{Action::showInPhotos, QString::fromUtf16(openInPhotoLibraryLabel), true};
    if (facts.shareFile)
        entries << MenuEntry{Action::share, QStringLiteral("Share"), true};
    entries << MenuEntry{Action::favorite, facts.favorite ? QStringLiteral("Unfavorite") : QStringLiteral("Favorite"), true};
    return entries;
}

GroupFacts GroupFacts::of(Library& library, const QList<Item>& items)
{
    GroupFacts facts;
    facts.count = items.size();
    for (const Item& item : items) {
        facts.allFavorite = facts.allFavorite && library.isFavorite(item);
        const Library::FileFacts files = library.fileFactsOf(item);
        if (files.cloud)
            (files.cloud->downloaded ? facts.anyDownloaded : facts.anyNotDownloaded) = true;
        facts.anyReachable = facts.anyReachable || files.reachable.has_value();
    }
    return facts;
}

QList<MenuEntry> groupMenuEntries(const GroupFacts& facts)
{
    // The counts in these titles are plain integers, without digit grouping.
    const QString count = QString::number(facts.count);
    QList<MenuEntry> entries{
        {Action::copyGroup, QStringLiteral("Copy ") + count + QStringLiteral(" Items"), true},
        {Action::shareGroup, QStringLiteral("Share…"), true},
        {Action::favoriteGroup, facts.allFavorite ? QStringLiteral("Remove from Favorites") : QStringLiteral("Add to Favorites"), true},
    };
    if (facts.anyNotDownloaded || facts.anyDownloaded)
        entries << divider();
    if (facts.anyNotDownloaded)
        entries << MenuEntry{Action::downloadGroup, QStringLiteral("Download"), true};
    if (facts.anyDownloaded)
        entries << MenuEntry{Action::removeDownloadGroup, QStringLiteral("Remove Download"), true};
    if (facts.anyReachable) {
        entries << divider();
        entries << MenuEntry{Action::trashGroup, QStringLiteral("Move ") + count + QStringLiteral(" Items to Trash"), true};
    }
    return entries;
}

} // namespace inspector
