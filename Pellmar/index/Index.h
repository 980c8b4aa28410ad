#pragma once

#include "Pellmar/index/Database.h"
#include "Pellmar/index/IndexScope.h"
#include "Pellmar/index/Model.h"
#include "Pellmar/index/SerialExecutor.h"

#include <QFuture>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <type_traits>

// The one place where the system's SQL lives. An Index owns one connection to "index.sqlite" and
// one serial executor; every operation is a synchronous unit of SQL that runs to its end on that
// executor. Callers submit operations with run():
//   from a GUI-thread coroutine:  co_await index.run([=](Index& ix) { return ix.pins(id); });
//   from a worker thread:         waitFor(index.run(...));
// The operations themselves are synchronous and must only be called from inside a job.
class Index {
public:
    enum class Access { writer, readOnly };

    // The writer takes every write; the read-only instance ("PRAGMA query_only = 1") serves the
    // user interface's reads.
    explicit Index(const QString& path, Access access = Access::writer);
    Index(const Index&) = delete;
    Index& operator=(const Index&) = delete;

    template <typename F>
    auto run(F operation) -> QFuture<std::invoke_result_t<F, Index&>>
    {
        Q_ASSERT_X(!executor_.isCurrentThread(), "Index::run", "a job must not wait for a job of its own Index");
        return executor_.submit([this, operation = std::move(operation)]() mutable { return operation(*this); });
    }

    // The connection, for the few callers that run their own SQL inside a job.
    Database& database() { return db_; }

    // Schema and migrations
    // Creates or upgrades the schema to version 8 on the writer. True exactly when tables of a layout
    // too old to upgrade were dropped (the caller then clears the preview files).
    bool migrate();

    // Sources
    QList<Source> sources();
    void saveSource(const Source& source);
    void removeSource(const QString& sourceID);

    // Scan bookkeeping

    // Work queues and item writes

    // Grid queries
    // The grid of a view: items whose search text has every word of `searchText` (as prefixes),
    // filtered by the view, sorted, at most `limit` of them.
    QList<Item> items(const QString& searchText, const ViewFilter& filter, SortField sort, bool ascending, qint64 limit);
    // Up to six of the newest items of the view that have a picture to show; the search text
    // and the only-here filter play no part.
    QList<Item> heroItems(const ViewFilter& filter);
    // The hashes of the list that some item already has.
    QSet<QString> knownHashes(const QStringList& quickHashes);

    // Workspaces, favorites and pins
    // The built-in workspace: the whole index; it has no stored members and is never deleted.
    static inline const QString everythingWorkspaceID = QStringLiteral("everything");
    // Member and pin keys have the form of FolderNode::key(): a source id, "|", then a folder path
    // ('' for the whole source) or "#" and a smart group; they are stored split at the first "|".
    // Items marked favorite in the workspace that still exist.
    QSet<QString> favoriteIDs(const QString& workspaceID);
    void setFavorite(const QString& itemID, bool on, const QString& workspaceID);
    // By position, then oldest first, each with its members.
    QList<Workspace> workspaces();
    // Stores the workspace and replaces its members as a whole ("everything" never has members).
    void saveWorkspace(const Workspace& workspace);
    // Deletes the workspace with its members, pins and favorites; "everything" is kept.
    void deleteWorkspace(const QString& workspaceID);
    QStringList pins(const QString& workspaceID);
    // Replaces the workspace's pins; a key without "|" is skipped but keeps its place in the order.
    void savePins(const QStringList& keys, const QString& workspaceID);
    // Items with a photo library copy marked favorite there, whatever the workspace.
    QSet<QString> photoFavoriteIDs();
    // Sets the favorite flag on every photo library row of the item; folder files are not touched.
    void setPhotoFavorite(const QString& itemID, bool on);

    // Panel counts, summary, copies and locations
    // Items with a file inside one of the scope keys.
    qint64 countScope(const QStringList& keys);
    // Items with a single copy, in the scope when one is given.
    qint64 countNotBackedUp(const std::optional<QStringList>& keys);
    // Favorites of the workspace (and photo library favorites), in the scope when one is given.
    qint64 countFavorites(const QString& workspaceID, const std::optional<QStringList>& keys);
    // What the view's place holds, whatever the search text and the only-here filter.
    LocationSummary summary(const ViewFilter& filter);
    std::optional<Item> itemByID(const QString& itemID);
    // Copies per item: every plain file is one, all files of one photo library asset are one.
    // Items without files are absent.
    QHash<QString, qint64> copyCounts(const QStringList& itemIDs);
    // Every file of the items, each item's list ordered by when its source was added.
    QHash<QString, QList<Location>> locations(const QStringList& itemIDs);
    // The files of other items with the same weak id (same name, pixel size and capture second).
    QList<Location> probableDuplicates(const QString& itemID);
    // The files of one item, read on any connection to the index.
    static QList<Location> locationsOfItem(const QString& itemID, Database& database);

    // Sidebar trees and status counters
    struct SourceProgress {
        qint64 done = 0;    // files ready, failed or empty
        qint64 total = 0;
        bool operator==(const SourceProgress&) const = default;
    };
    struct FileFailure {
        QString relativePath;
        QString error;
        bool operator==(const FileFailure&) const = default;
    };
    // The source's root node: its folders with the number of files below each, or for the photo
    // library the smart groups that have assets, the album tree under Albums.
    FolderNode sourceTree(const Source& source);
    // Names of the files being identified, lowest file row first.
    QStringList inFlightFiles(qint64 limit);
    // Per source id; sources without files are absent.
    QHash<QString, SourceProgress> progressBySource();
    // Failed files, the most recently added rows first.
    QList<FileFailure> recentFailures(qint64 limit);
    qint64 countItems();

private:
    Database db_;
    SerialExecutor executor_; // declared last: destroyed first, after its jobs have finished
};
