#include "Pellmar/library/Library.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/core/SearchPanel.h"

#include <QCoroFuture>

#include <algorithm>
#include <set>

namespace {

// The grid shows every result without paging.
constexpr qint64 gridLimit = 500;

// What one search works on, read once on the GUI thread before its first query.
struct SearchSnapshot {
    QString query;
    ViewFilter filter;
    SortField sort = SortField::captured;
    bool ascending = false;
    QString workspaceID;

    PanelRequest panelRequest() const
    {
        ViewFilter place = filter;
        place.onlyHere = false;
        return {place, workspaceID};
    }
};

long millisecondsBetween(double from, double to)
{
    return long((to - from) * 1000);
}

// The distinct kinds of the items, by name in ascending order, joined with ",".
QString kindNames(const QList<Item>& items)
{
    std::set<QString> names;
    for (const Item& item : items)
        names.insert(kindWord(item.kind));
    return QStringList(names.begin(), names.end()).join(u',');
}

} // namespace

Index& Library::panelIndex() const
{
    return searchPanel_->connection();
}

std::optional<QStringList> Library::workspaceMembers() const
{
    if (workspaceID_ == Index::everythingWorkspaceID)
        return std::nullopt;
    const auto current = std::find_if(workspaces_.cbegin(), workspaces_.cend(),
                                      [this](const Workspace& workspace) { return workspace.id == workspaceID_; });
    if (current == workspaces_.cend())
        return QStringList();
    // Sorted, so that equal workspaces give equal queries.
    QStringList members(current->members.cbegin(), current->members.cend());
    members.sort();
    return members;
}

QCoro::Task<> Library::search()
{
    const AliveGuard alive(this);
    if (!indexMigrated) {
        qCInfo(logSearch, "search before the index is open: left to the start-up's reload");
        co_return;
    }

    if (sourceFilter_ && std::none_of(sources_.cbegin(), sources_.cend(),
                                      [this](const Source& source) { return source.id == *sourceFilter_; })) {
        qCInfo(logSearch, "search reset filter: source %s is not in sources", qUtf8Printable(*sourceFilter_));
        setSourceFilter(std::nullopt);
        setPathFilter(QString());
        setSmartFilter(std::nullopt);
    }

    const qint64 generation = ++searchGeneration;
    SearchSnapshot snapshot;
    snapshot.query = query_;
    snapshot.filter = ViewFilter{
        .source = sourceFilter_,
        .path = pathFilter_,
        .smart = smartFilter_,
        .favoritesWorkspace = favoritesOnly_ ? std::optional(workspaceID_) : std::nullopt,
        .scope = workspaceMembers(),
        .notBackedUp = notBackedUp_,
        .kind = kindFilter_,
        .onlyHere = onlyHere_ && sourceFilter_.has_value(),
    };
    snapshot.sort = sort_;
    snapshot.ascending = ascending_;
    snapshot.workspaceID = workspaceID_;
    const PanelRequest panelRequest = snapshot.panelRequest();
    searchPanel_->want(panelRequest);

    const ViewFilter& filter = snapshot.filter;
    qCInfo(logSearch, "search start gen %ld source %s path '%s' smart %s within %s favorites %s query '%s'",
           long(generation), qUtf8Printable(filter.source.value_or(QStringLiteral("nil"))), qUtf8Printable(filter.path),
           qUtf8Printable(filter.smart ? rawValue(*filter.smart) : QStringLiteral("nil")),
           qUtf8Printable(filter.scope ? QString::number(filter.scope->size()) : QStringLiteral("all")),
           qUtf8Printable(filter.favoritesWorkspace.value_or(QStringLiteral("nil"))), qUtf8Printable(snapshot.query));
    const double started = clock_->uptime();

    try {
        const QList<Item> items = co_await alive(readIndex_->run([snapshot](Index& index) {
            return index.items(snapshot.query, snapshot.filter, snapshot.sort, snapshot.ascending, gridLimit);
        }));
        const double itemsDone = clock_->uptime();

        QStringList ids;
        ids.reserve(items.size());
        for (const Item& item : items)
            ids.append(item.id);
        const QHash<QString, QList<Location>> locations =
            co_await alive(readIndex_->run([ids](Index& index) { return index.locations(ids); }));
        const double locationsDone = clock_->uptime();

        const QHash<QString, qint64> copyCounts =
            co_await alive(readIndex_->run([ids](Index& index) { return index.copyCounts(ids); }));
        const double gridDone = clock_->uptime();

        if (generation != searchGeneration) {
            qCInfo(logSearch, "search grid gen %ld discarded, latest %ld", long(generation), long(searchGeneration));
            co_return;
        }
        setCopies(copyCounts);
        setItemLocations(locations);
        setItems(items);
        const QSet<QString> shown(ids.cbegin(), ids.cend());
        if (selection_ && !shown.contains(selection_->id)) {
            setSelection(std::nullopt);
            setFullscreen(false);
        }
        setSelectedIDs(QSet<QString>(selectedIDs_).intersect(shown));
        qCInfo(logSearch,
               "search grid gen %ld applied at %ld ms: search %ld locations %ld copyCounts %ld found %ld kinds %s",
               long(generation), millisecondsBetween(started, clock_->uptime()), millisecondsBetween(started, itemsDone),
               millisecondsBetween(itemsDone, locationsDone), millisecondsBetween(locationsDone, gridDone),
               long(items.size()), qUtf8Printable(kindNames(items)));

        const SearchPanel::Result panel = co_await alive(searchPanel_->compute(panelRequest));
        if (generation != searchGeneration || !panel.figures) {
            qCInfo(logSearch, "search panel gen %ld discarded, latest %ld", long(generation), long(searchGeneration));
            co_return;
        }
        const PanelFigures& figures = *panel.figures;
        setSummary(figures.summary);
        setAllCount(figures.itemCount);
        setPhotoFavorites(figures.photoFavorites);
        setFavoriteCount(figures.favoriteCount);
        setNotBackedUpCount(figures.notBackedUpCount);
        setHeroItems(figures.heroItems);
        const LocationSummary& summary = figures.summary;
        qCInfo(logSearch,
               "search panel gen %ld applied at %ld ms: summary %ld hero %ld itemCount %ld favorites %ld summary "
               "photos %ld videos %ld total %ld",
               long(generation), millisecondsBetween(started, clock_->uptime()), long(panel.durations.summary),
               long(panel.durations.hero), long(panel.durations.itemCount), long(panel.durations.favorites),
               long(summary.photos), long(summary.videos),
               long(summary.photos + summary.videos + summary.audio + summary.documents));
    } catch (const DatabaseError& error) {
        qCCritical(logSearch, "search failed: %s", qUtf8Printable(error.description()));
        setLastError(error.description());
    }
}
