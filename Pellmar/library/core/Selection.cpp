#include "Pellmar/library/Library.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"

#include <QCoroFuture>

#include <algorithm>

namespace {

qsizetype indexOfItem(const QList<Item>& items, const QString& id)
{
    const auto found = std::find_if(items.cbegin(), items.cend(), [&](const Item& item) { return item.id == id; });
    return found == items.cend() ? -1 : found - items.cbegin();
}

} // namespace

void Library::click(const Item& item, int clickCount, std::optional<double> eventTime, bool command, bool shift)
{
    clickTime = eventTime;
    const bool inspected = selection_ && selection_->id == item.id;

    if (clickCount >= 2) {
        if (!(inspected && selectedIDs_.size() < 2))
            select(item);
        if (item.kind == MediaKind::document)
            open(item);
        else
            setFullscreen(true);
    } else if (command) {
        if (selectedIDs_.contains(item.id)) {
            setSelectedIDs(QSet<QString>(selectedIDs_) -= QSet<QString>{item.id});
            if (inspected) {
                const auto firstTicked = std::find_if(items_.cbegin(), items_.cend(), [this](const Item& entry) {
                    return selectedIDs_.contains(entry.id);
                });
                showSelection(firstTicked == items_.cend() ? std::nullopt : std::optional(*firstTicked));
            }
        } else {
            setSelectedIDs(QSet<QString>(selectedIDs_) << item.id);
            showSelection(item);
        }
        cursor = selection_ ? std::optional(selection_->id) : std::nullopt;
    } else if (shift && selection_) {
        extendSelection(item);
    } else if (inspected && selectedIDs_.size() <= 1) {
        // Clicking the sole selected item again clears the selection.
        select(std::nullopt);
    } else {
        select(item);
    }
    logClick(QStringLiteral("selection state"), false);
}

void Library::select(const std::optional<Item>& item)
{
    setSelectedIDs(item ? QSet<QString>{item->id} : QSet<QString>());
    cursor = item ? std::optional(item->id) : std::nullopt;
    showSelection(item);
}

void Library::showSelection(const std::optional<Item>& item)
{
    ++selectionToken;
    setSelection(item);
    setLocations({});
    setProbable({});
    if (item)
        Tasks::start(loadSelectionDetail(*item));
    else if (fullscreen_)
        setFullscreen(false);
}

QCoro::Task<> Library::loadSelectionDetail(Item item)
{
    const AliveGuard alive(this);
    const quint64 token = selectionToken;
    // Each step applies only while no newer selection change happened, so the inspector never
    // shows the copies of an item it has moved away from.
    const auto current = [this, token] { return token == selectionToken; };
    const QString id = item.id;

    QList<Location> copies;
    try {
        copies = co_await alive(readIndex_->run([id](Index& index) { return Index::locationsOfItem(id, index.database()); }));
    } catch (const DatabaseError&) {
    }
    if (!current())
        co_return;
    setLocations(copies);

    QList<Location> duplicates;
    try {
        duplicates = co_await alive(readIndex_->run([id](Index& index) { return index.probableDuplicates(id); }));
    } catch (const DatabaseError&) {
    }
    if (!current())
        co_return;
    setProbable(duplicates);

    std::optional<Item> row;
    try {
        row = co_await alive(readIndex_->run([id](Index& index) { return index.itemByID(id); }));
    } catch (const DatabaseError&) {
    }
    if (current() && row)
        setSelection(row);
}

void Library::extendSelection(const Item& item)
{
    const qsizetype anchor = selection_ ? indexOfItem(items_, selection_->id) : -1;
    const qsizetype end = indexOfItem(items_, item.id);
    if (anchor < 0 || end < 0) {
        select(item);
        return;
    }
    QSet<QString> run;
    for (qsizetype at = std::min(anchor, end); at <= std::max(anchor, end); ++at)
        run.insert(items_.at(at).id);
    setSelectedIDs(run);
    cursor = item.id;
}

QList<Item> Library::selectedItems() const
{
    QList<Item> selected;
    for (const Item& item : items_) {
        if (selectedIDs_.contains(item.id))
            selected.append(item);
    }
    return selected;
}

void Library::selectAll()
{
    if (items_.isEmpty())
        return;
    if (!selection_)
        showSelection(items_.first());
    QSet<QString> all;
    for (const Item& item : items_)
        all.insert(item.id);
    setSelectedIDs(all);
}

QCoro::Task<> Library::refreshSearch()
{
    const AliveGuard alive(this);
    co_await alive(search());
}

void Library::logClick(const QString& label, bool clear)
{
    if (!clickTime)
        return;
    const long ms = long((clock_->uptime() - *clickTime) * 1000);
    qCInfo(logSelection, "click to %s: %ld ms", qUtf8Printable(label), ms);
    if (clear)
        clickTime.reset();
}
