#include "Pellmar/library/core/SearchPanel.h"

#include <QElapsedTimer>

SearchPanel::SearchPanel(std::unique_ptr<Index> connection)
    : connection_(std::move(connection))
{
}

void SearchPanel::want(const PanelRequest& request)
{
    std::lock_guard lock(wantedLock_);
    wanted_ = request;
}

bool SearchPanel::isWanted(const PanelRequest& request)
{
    std::lock_guard lock(wantedLock_);
    return wanted_ == request;
}

QFuture<SearchPanel::Result> SearchPanel::compute(PanelRequest request)
{
    return connection_->run(
        [this, request = std::move(request)](Index& index) { return computeOnConnection(index, request); });
}

SearchPanel::Result SearchPanel::computeOnConnection(Index& index, const PanelRequest& request)
{
    Result result;
    // Read before the queries: a change committed while they run makes the next request compute again.
    const qint64 dataVersion = index.dataVersion();
    // The recents group moves with the clock, so its figures are never kept.
    const bool keepable = request.filter.smart != SmartFilter::recents;
    if (keepable && kept_ && kept_->request == request && kept_->dataVersion == dataVersion) {
        result.figures = kept_->figures;
        return result;
    }

    QElapsedTimer timer;
    timer.start();
    PanelFigures figures;
    const std::optional<QStringList>& scope = request.filter.scope;

    if (!isWanted(request))
        return result;
    figures.summary = index.summary(request.filter);
    result.durations.summary = timer.restart();
    if (!isWanted(request))
        return result;

    figures.heroItems = index.heroItems(request.filter);
    result.durations.hero = timer.restart();
    if (!isWanted(request))
        return result;

    figures.itemCount = scope ? index.countScope(*scope) : index.countItems();
    result.durations.itemCount = timer.restart();
    if (!isWanted(request))
        return result;

    figures.photoFavorites = index.photoFavoriteIDs();
    figures.favoriteCount = index.countFavorites(request.workspaceID, scope);
    figures.notBackedUpCount = index.countNotBackedUp(scope);
    result.durations.favorites = timer.restart();

    if (keepable)
        kept_ = Kept{request, dataVersion, figures};
    result.figures = std::move(figures);
    return result;
}
