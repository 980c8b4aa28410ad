#pragma once

#include "Pellmar/index/Index.h"
#include "Pellmar/index/IndexScope.h"
#include "Pellmar/index/Model.h"

#include <QFuture>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

// What the panel beside the grid depends on: the view's place and filters, without the search
// text, the only-here filter and the order, and the workspace whose favorites it counts.
struct PanelRequest {
    ViewFilter filter;   // onlyHere is always false
    QString workspaceID;

    bool operator==(const PanelRequest&) const = default;
};

// The figures of the panel.
struct PanelFigures {
    LocationSummary summary;
    QList<Item> heroItems;
    qint64 itemCount = 0;   // items in the workspace, whatever the view
    QSet<QString> photoFavorites;
    qint64 favoriteCount = 0;
    qint64 notBackedUpCount = 0;
};

// Computes the panel on a read-only connection of its own, so that the grid of a newer search
// never queues behind it. The figures of the last request are kept and given again while the
// index has not changed, so that typing in the search field costs the grid queries only.
class SearchPanel {
public:
    // Milliseconds spent in the queries: summary, hero items, the item count, and the favorites
    // and single-copy counts together. All zero when kept figures were given.
    struct Durations {
        qint64 summary = 0;
        qint64 hero = 0;
        qint64 itemCount = 0;
        qint64 favorites = 0;
    };
    struct Result {
        // Absent when the computation gave up because the newest search wants other figures.
        std::optional<PanelFigures> figures;
        Durations durations;
    };

    explicit SearchPanel(std::unique_ptr<Index> connection);

    Index& connection() const { return *connection_; }

    // Called by every search with its request, newest last. A computation for another request
    // gives up at its next query: its figures would be dropped anyway.
    void want(const PanelRequest& request);

    // Runs the panel queries, or gives the kept figures when the request and the index are
    // unchanged since they were computed. Throws the first query's DatabaseError.
    QFuture<Result> compute(PanelRequest request);

private:
    struct Kept {
        PanelRequest request;
        qint64 dataVersion = 0;
        PanelFigures figures;
    };

    Result computeOnConnection(Index& index, const PanelRequest& request);
    bool isWanted(const PanelRequest& request);

    std::mutex wantedLock_;
    PanelRequest wanted_;
    std::optional<Kept> kept_;   // touched only by jobs of the connection, which run one at a time
    std::unique_ptr<Index> connection_;   // declared last: destroyed first, after its jobs have finished
};
