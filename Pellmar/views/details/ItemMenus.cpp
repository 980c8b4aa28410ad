#include "Pellmar/views/details/ItemMenus.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Desktop.h"
#include "Pellmar/views/details/MenuRules.h"
#include "Pellmar/views/kit/MenuText.h"

#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QPointer>

namespace inspector {

namespace {

QIcon appIcon(const QString& icon)
{
    if (icon.isEmpty())
        return {};
    if (icon.startsWith(u'/'))
        return QIcon(icon);
    return QIcon::fromTheme(icon);
}

QMenu* newMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    return menu;
}

} // namespace

QList<OpenInEntry> openInEntries(const AppChoices& choices, const AppLookup& lookup)
{
    const auto entry = [&](const QString& id) {
        OpenInEntry made{id, id, {}};
        if (made.title.endsWith(QLatin1String(".desktop")))
            made.title.chop(8);
        if (const std::optional<AppEntryInfo> info = lookup(id)) {
            if (!info->name.isEmpty())
                made.title = info->name;
            made.icon = info->icon;
        }
        return made;
    };
    QList<OpenInEntry> entries;
    if (choices.main)
        entries << entry(*choices.main) << OpenInEntry{};
    for (const QString& id : choices.others)
        entries << entry(id);
    return entries;
}

void fillOpenInMenu(QMenu& menu, Library& library, const Item& item)
{
    const auto lookup = [](const QString& id) -> std::optional<AppEntryInfo> {
        const std::optional<DesktopEntry> entry = desktopEntry(id);
        return entry ? std::optional(AppEntryInfo{entry->name, entry->icon}) : std::nullopt;
    };
    QPointer<Library> owner(&library);
    for (const OpenInEntry& entry : openInEntries(library.openWithApps(item), lookup)) {
        if (entry.appID.isEmpty()) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(appIcon(entry.icon), menuText(entry.title));
        QObject::connect(action, &QAction::triggered, &menu, [owner, item, app = entry.appID] {
            if (owner)
                Tasks::start(owner->openOriginal(item, app));
        });
    }
}

void fillItemMenu(QMenu& menu, Library& library, const Item& item, const QString& anchor)
{
    const ItemFacts facts = ItemFacts::of(library, item, library.locationsOf(item));
    // What the entries act on, as the menu shows it.
    const Library::FileFacts files = library.fileFactsOf(item);
    QPointer<Library> owner(&library);
    for (const MenuEntry& entry : itemMenuEntries(facts)) {
        if (entry.isDivider()) {
            menu.addSeparator();
            continue;
        }
        if (entry.action == Action::openIn) {
            QMenu* apps = menu.addMenu(entry.title);
            apps->setEnabled(entry.enabled);
            if (entry.enabled)
                fillOpenInMenu(*apps, library, item);
            continue;
        }
        QAction* action = menu.addAction(entry.title);
        action->setEnabled(entry.enabled);
        QObject::connect(action, &QAction::triggered, &menu, [owner, item, files, anchor, what = entry.action] {
            if (!owner)
                return;
            Library& l = *owner;
            switch (what) {
            case Action::open: l.open(item); break;
            case Action::showInPhotos: Tasks::start(l.showInPhotos(item)); break;
            case Action::reveal: Tasks::start(l.revealInFinder(item)); break;
            case Action::copy: l.copyItem(item); break;
            case Action::copyPath: Tasks::start(l.copyPaths(item)); break;
            case Action::share:
                if (files.shareFile)
                    l.share({*files.shareFile}, anchor);
                break;
            case Action::favorite: l.flipFavorite(item); break;
            case Action::download:
                if (files.cloud)
                    l.download(files.cloud->location);
                break;
            case Action::removeDownload:
                if (files.cloud)
                    l.removeDownload(files.cloud->location);
                break;
            case Action::rename:
                if (files.reachable)
                    l.beginRename(item, *files.reachable);
                break;
            case Action::trash:
                if (files.reachable)
                    l.requestTrash(item, *files.reachable);
                break;
            default: break;
            }
        });
    }
}

void fillGroupMenu(QMenu& menu, Library& library, const QString& anchor)
{
    const QList<Item> group = library.selectedItems();
    QPointer<Library> owner(&library);
    const GroupFacts facts = GroupFacts::of(library, group);
    for (const MenuEntry& entry : groupMenuEntries(facts)) {
        if (entry.isDivider()) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(entry.title);
        QObject::connect(action, &QAction::triggered, &menu, [owner, group, anchor, on = !facts.allFavorite, what = entry.action] {
            if (!owner)
                return;
            Library& l = *owner;
            switch (what) {
            case Action::copyGroup: l.copySelectedItems(); break;
            case Action::shareGroup: l.shareSelection(anchor); break;
            case Action::favoriteGroup: l.setFavorites(on, group); break;
            case Action::downloadGroup:
            case Action::removeDownloadGroup:
                // The selection as it is now, not as the menu showed it.
                for (const Item& item : l.selectedItems()) {
                    const std::optional<Library::CloudCopy> cloud = l.fileFactsOf(item).cloud;
                    if (cloud && !cloud->downloaded && what == Action::downloadGroup)
                        l.download(cloud->location);
                    if (cloud && cloud->downloaded && what == Action::removeDownloadGroup)
                        l.removeDownload(cloud->location);
                }
                break;
            case Action::trashGroup: l.requestGroupTrash(); break;
            default: break;
            }
        });
    }
}

void popupItemMenu(Library& library, const Item& item, const QString& anchor, const QPoint& at, QWidget* parent)
{
    QMenu* menu = newMenu(parent);
    fillItemMenu(*menu, library, item, anchor);
    menu->popup(at);
}

void popupGroupMenu(Library& library, const QString& anchor, const QPoint& at, QWidget* parent)
{
    QMenu* menu = newMenu(parent);
    fillGroupMenu(*menu, library, anchor);
    menu->popup(at);
}

} // namespace inspector
