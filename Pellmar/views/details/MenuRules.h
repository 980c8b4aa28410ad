#pragma once

// The entries of the item menu, the selection menu and the inspector's action bar, computed from
// plain facts about the item or the selection, so that tests read them from tables.

#include "Pellmar/library/Library.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace inspector {

// What an entry does when chosen; the widget maps it to a Library operation.
enum class Action {
    none, open, openIn, showInPhotos, reveal, copy, copyPath, share, favorite, download, removeDownload,
    rename, trash, copyGroup, shareGroup, favoriteGroup, downloadGroup, removeDownloadGroup, trashGroup,
};

struct MenuEntry {
    Action action = Action::none;   // none with an empty title: a divider
    QString title;
    bool enabled = true;

    bool isDivider() const { return action == Action::none && title.isEmpty(); }
    bool operator==(const MenuEntry&) const = default;
};

// What the item menu and the action bar know of one item.
struct ItemFacts {
    qsizetype copies = 0;
    bool allInPhotos = true;      // every copy is in the photo library (true without copies)
    bool noneInPhotos = true;     // no copy is in the photo library (true without copies)
    bool reachable = false;       // a copy's file can be opened now
    std::optional<Library::CloudCopy> cloud;
    QStringList missingSources;   // sources of file copies that are not plugged in
    bool shareFile = false;       // a file to share exists
    bool imageFile = false;       // a still picture of the item is known
    bool openInQuorvin = true;    // the setting
    bool canView = false;         // the program's viewer can show the item
    bool favorite = false;
    bool canShowInPhotos = true;  // a program shows items of the photo library

    static ItemFacts of(Library& library, const Item& item, const QList<Location>& copies);
};

// The greyed line at the top of the item menu when its file copies cannot be opened now.
std::optional<QString> itemNotice(const ItemFacts& facts);
QList<MenuEntry> itemMenuEntries(const ItemFacts& facts);

// The buttons of the inspector's action bar, in order.
QList<MenuEntry> actionBarEntries(const ItemFacts& facts);

// What the selection menu and the selection panel know of the selected items.
struct GroupFacts {
    qsizetype count = 0;
    bool allFavorite = true;
    bool anyNotDownloaded = false;
    bool anyDownloaded = false;
    bool anyReachable = false;

    static GroupFacts of(Library& library, const QList<Item>& items);
};
QList<MenuEntry> groupMenuEntries(const GroupFacts& facts);

} // namespace inspector
