#pragma once

#include "Pellmar/index/Database.h"
#include "Pellmar/index/IndexHealth.h"
#include "Pellmar/index/IndexScope.h"
#include "Pellmar/index/Model.h"
#include "Pellmar/index/SerialExecutor.h"

#include <QFuture>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

class WalkedFiles;

// The one place where the system's SQL lives. An Index owns one connection to "index.sqlite" and
// one serial executor; every operation is a synchronous unit of SQL that runs to its end on that
// executor. Callers submit operations with run(), which queues the job at the call:
//   from a GUI-thread coroutine:  co_await index.run([=](Index& ix) { return ix.pins(id); });
//   from a worker thread:         waitFor(index.run(...));
// The waited form returns the job's result or rethrows its exception (a DatabaseError as itself).
// It blocks its thread, so it belongs to threads that may wait: a worker's loop (TaskPools::runLoop)
// and the jobs of its fan-out, never the GUI thread and never a job of this Index.
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
        return executor_.submit([this, operation = std::move(operation)]() mutable -> std::invoke_result_t<F, Index&> {
            refuseWhenDamaged();
            try {
                return operation(*this);
            } catch (const DatabaseError& error) {
                noteWhenDamage(error);
                throw;
            }
        });
    }

    // Shares what this connection learns of damage to the file with the program's other connections;
    // once the file is known to be damaged, the writer runs no more jobs (each fails at once).
    void setHealth(std::shared_ptr<IndexHealth> health);

    // The connection, for the few callers that run their own SQL inside a job.
    Database& database() { return db_; }

    // Schema and migrations
    // Creates or upgrades the schema to version 13 on the writer, in one transaction. True exactly
    // when tables of a layout too old to upgrade were dropped (the caller then clears the preview
    // files); the file is copied aside first ("index-version1.sqlite"). A file whose tables match
    // no known layout is refused with a DatabaseError and left as it is. The writer then notes the
    // items it removes (RemovedItems.h).
    bool migrate();
    // Takes the sources, workspaces with their members, pins, favorites and mount points over from
    // another index file (a damaged one, opened read-only), each table on its own and as far as it
    // can still be read; rows already here stay.
    void takeOverFrom(const QString& path);

    // Sources
    QList<Source> sources();
    void saveSource(const Source& source);
    // Removes the source with its files, folders, workspace memberships and pins, and the items
    // that have no file left on another source; returns the ids of those items.
    QStringList removeSource(const QString& sourceID);
    // The number of the source's folder rows; nothing when the count gives no row.
    std::optional<qint64> folderCount(const QString& sourceID);
    // The folders that walks found on a device of their own (absolute paths), and adding to them.
    QSet<QString> mountPoints();
    void rememberMountPoints(const QStringList& paths);
    // Moves a source to where its volume is mounted now (its root at `volumePath` below the mount);
    // its volume UUID stays.
    void relinkSource(const QString& sourceID, const QString& rootPath, const QString& name, const QString& volumeName,
                      const QString& volumePath);
    // Keeps the path of a source's root below its volume's mount point where it is not known yet.
    void setSourceVolumePath(const QString& sourceID, const QString& volumePath);

    // Scan bookkeeping

    // The parts of a source that a walk could not see: folders it could not list (relative paths;
    // "" is the root) or the whole root, gone with its drive. The rows below them are kept as they
    // are, since a folder that could not be read is not a folder whose files were deleted.
    struct WalkGaps {
        QStringList unlistedFolders;
        bool rootVanished = false;

        // True when the walk could not see this path: it is an unlisted folder or lies below one.
        bool covers(const QString& relativePath) const;
    };

    // One source's part of a change pass: the files found now under the rescanned folders, and
    // the file paths the index held under those folders before the pass.
    struct FileChanges {
        QString sourceID;
        QList<FileRecord> records;
        QSet<QString> knownPaths;
        WalkGaps gaps;
    };

    // The same for the folders of a change pass.
    struct FolderChanges {
        QString sourceID;
        QList<FolderRecord> folders;
        QSet<QString> knownPaths;
        WalkGaps gaps;
    };

    // Makes the source's file rows match a full walk in one transaction: new paths are inserted,
    // changed ones reset to found, paths the walk did not report deleted (except below its gaps;
    // a complete walk passes no gaps). A reset file keeps naming its item until it is hashed
    // again, so a file that was only touched rejoins it. Returns the rows inserted, reset or deleted.
    qint64 syncFiles(const QList<FileRecord>& records, const QString& sourceID, const WalkGaps& gaps);
    // What a sync compared and wrote.
    struct SyncCounts {
        qint64 files = 0;   // the files of the walk
        qint64 added = 0;
        qint64 reset = 0;
        qint64 deleted = 0;
        qint64 written() const { return added + reset + deleted; }
    };
    // The same for a folder source's walk, read in path order with the source's rows, with the same
    // results; takes the walk's runs, releasing each once merged. A walk that ended with the root
    // gone (a drive unplugged during the walk), or did not end, writes nothing at all. The scan
    // merges in steps instead (SteppedFileSync), so that the user's writes do not wait for it.
    SyncCounts syncFiles(WalkedFiles& walked, const QString& sourceID);
    // Replaces the source's folder rows by those of a full walk (rows below its gaps are kept).
    void replaceSourceFolderRows(const QList<FolderRecord>& folders, const QString& sourceID,
                                 const WalkGaps& gaps);
    // Removes vanished folders with everything below them and writes the folders found now that are
    // new or whose modification time changed.
    // Returns the subtree deletions run plus the folder rows written.
    qint64 replaceFolderRows(const QList<FolderChanges>& changes);
    // The folder (file) paths of a source, or with a prefix those strictly below it; no order.
    QStringList folderPaths(const QString& sourceID, const QString& prefix);
    QStringList filePaths(const QString& sourceID, const QString& prefix);
    // The recorded modification time of every folder row of a source, by path.
    QHash<QString, double> folderStamps(const QString& sourceID);
    // One step of a pass over the stored stamps of a source's files: at most `limit` rows whose id
    // follows `afterID`, in id order.
    struct StoredFile {
        qint64 id = 0;
        QString relativePath;
        qint64 size = 0;
        double modified = 0;
    };
    QList<StoredFile> fileStampsAfter(const QString& sourceID, qint64 afterID, qint64 limit);
    // Applies one change pass; a removed file whose twin (same size and time) appears at a new
    // path hands its item to it. Returns rows removed plus rows inserted, reset or marked not local.
    qint64 applyChanges(const QList<FileChanges>& changes);
    // Compares a fresh walk with the stored rows; writes nothing.
    Verification fileStamps(const QList<FileRecord>& records, const QString& sourceID);

    // Work queues and item writes
    // A write of several statements runs in one transaction: one that fails half-way changes nothing.

    // Files waiting for quick indexing on the given sources: identified ones first, then by row id.
    QList<Job> pendingFiles(qint64 limit, const QStringList& sourceIDs);
    // Items waiting for larger previews that have a ready copy on one of the given sources.
    QList<FullJob> fullPreviewQueue(qint64 limit, const QStringList& sourceIDs);
    QueueStatus stateCounts();
    FullStatus fullPreviewProgress();
    std::optional<Item> itemByHash(const QString& quickHash);
    // A hashed file of an item whose key is a quick hash or extends it, for a file with the same
    // quick hash to compare itself with.
    struct ContentCopy {
        qint64 fileID = 0;
        QString itemID;
        QString itemKey;   // the quick hash, or the quick hash followed by a digest that sets it apart
        QString sourceID;
        QString relativePath;
        qint64 size = 0;
        bool local = false;
        QString assetID;
        std::optional<QString> tailHash;
        bool operator==(const ContentCopy&) const = default;
    };
    // The hashed files of every item keyed by the quick hash or by an extension of it, by row id.
    QList<ContentCopy> contentCopies(const QString& quickHash);
    // Keeps the tail digest read from a file, while the file is still hashed under `itemKey`.
    void setTailHash(qint64 fileID, const QString& itemKey, const QString& tailHash);
    // Moves files found to differ from the rest of their item to an item of their own: `item`
    // (new, with its search text taken from the former item) unless an item holds its key already.
    // Each file moves only while it still names `formerItemID`; an item left without files goes.
    // Returns the id of the item that holds them now.
    QString separateCopies(const QList<qint64>& fileIDs, const QString& formerItemID, const Item& item);
    // Creates the item of a content, or joins the one that exists, and links the file to it
    // (state identified). Returns the id of the item that stands for the hash.
    QString linkItem(qint64 fileID, const QString& quickHash, const Item& item);
    // The same for the row of a job, only while the row is as the job read it (same size,
    // modification time, locality and state); nothing, with nothing written, when it changed or is gone.
    std::optional<QString> linkItem(const Job& job, const QString& quickHash, const Item& item);
    void updateFileSize(qint64 fileID, qint64 size, bool local);
    // Drops the item of a content key, with its search row, when no file names it.
    void dropOrphanItem(const QString& quickHash);
    void markPreviewed(qint64 fileID, const QString& itemID, const QString& previewExtension,
                       const QString& posterExtension);
    // The same for the row of a job, while it is as the job holds it (after linkItem, pass the job
    // with state identified); false, with nothing written, when it changed or is gone.
    bool markPreviewed(const Job& job, const QString& itemID, const QString& previewExtension,
                       const QString& posterExtension);
    void setProxy(const QString& itemID, const QString& proxyExtension, const QString& posterExtension);
    void setPreview(const QString& itemID, const QString& previewExtension);
    void setFullError(const QString& itemID, const QString& message);
    void setFileState(qint64 fileID, const QString& error, FileState state);
    // The same for the row of a job, while it is as the job holds it; false, with nothing written,
    // when it changed or is gone.
    bool setFileState(const Job& job, const QString& error, FileState state);
    void setSearchText(const QString& itemID, const QString& text);
    // What one file's quick indexing found, for recordIndexedFiles: its content key, the item that
    // held that key when it was looked up (or the new one made for it), the unhashed key of its
    // former stand-in item, its search text, and the picture extensions rendered for `item.id`.
    struct IndexedFile {
        Job job;
        QString quickHash;
        Item item;
        std::optional<QString> orphanKey;
        QString searchText;
        QString previewExtension;
        QString posterExtension;
        std::optional<QString> tailHash;   // the digest of the file's last 64 KiB, when it was read
        // The file was read as content no other file had and its tail not compared: should another
        // file have come to hold its quick hash meanwhile, it is not joined to that one unseen.
        bool tailUnchecked = false;
    };
    // What recordIndexedFiles did with one file: written, or left as it was because its row
    // changed meanwhile (`error` empty) or because one of its writes failed (`error` says why),
    // or because it came to share its quick hash with an item unchecked (`deferred`: read it again).
    struct IndexedOutcome {
        bool written = false;
        bool deferred = false;
        QString error;
    };
    // Called inside recordIndexedFiles's transaction for a file that carries a picture, once it is
    // linked: `standingID` is the item that holds its content now, which differs from the item the
    // picture was rendered for when another file of the same new content was linked first. Returns
    // whether the picture now lies under `standingID`'s name; when not, no extension is recorded.
    using PicturePlacer = std::function<bool(const IndexedFile& file, const QString& standingID)>;
    // Ends the quick indexing of several files in one transaction. For each file, in order and
    // only while its row is as its job read it: links it to the item of its content (inserting the
    // item unless one holds the key), drops the item of `orphanKey` when no file names it, writes
    // the item's search text, stores the picture extensions where the item has none, and marks the
    // row ready. A file whose writes fail leaves its row as it was and the others go on. Throws,
    // with nothing written, when the transaction cannot begin or commit, or when a failure ends it
    // part way (an interrupt, a full disk): then with that first error.
    QList<IndexedOutcome> recordIndexedFiles(const QList<IndexedFile>& files, const PicturePlacer& placePicture);
    void renameFile(qint64 fileID, const QString& newRelativePath);
    // Empties files, items, folders and search; sources, workspaces and pins stay. Favorites stay
    // by content: each waits under its item's content key and goes to the new item of that key
    // once a file of it is indexed again.
    void clearAll();
    // Every item forgets its preview, poster and proxy and its last larger-preview failure; ready
    // and failed files are found again, without their error.
    void forgetPreviews();
    void deleteFile(qint64 fileID);

private:
    // Where the larger-preview queue's walk over ready files in size order starts: no waiting item
    // has a ready copy smaller than `floor` on `sources`, as far as this Index has seen. The writes
    // that can add one lower it; a walk from the floor that comes up short starts again from the
    // smallest size when anything was written since the last whole walk.
    struct FullQueueCursor {
        QStringList sources;
        qint64 floor = std::numeric_limits<qint64>::min();
        std::optional<std::pair<qint64, qint64>> changesAtWholeWalk;   // data_version, total changes
    };
    FullQueueCursor fullQueue_;

    void lowerFullQueueFloor(qint64 size);
    // The bodies of markPreviewed and setFileState, inside the caller's transaction.
    void markFilePreviewed(qint64 fileID, const QString& itemID, const QString& previewExtension,
                           const QString& posterExtension);
    void writeFileState(qint64 fileID, const QString& error, FileState state);

public:
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
    // A file counts as a copy of its item only while it has a hash: one reset by a change keeps
    // naming its item until it is hashed again, but is no copy of it in the meantime.
    // Copies per item: every plain file is one, all files of one photo library asset are one.
    // Items without files are absent.
    QHash<QString, qint64> copyCounts(const QStringList& itemIDs);
    // Every copy of the items, each item's list ordered by when its source was added.
    QHash<QString, QList<Location>> locations(const QStringList& itemIDs);
    // The files of other items with the same weak id (same name, pixel size and capture second).
    QList<Location> probableDuplicates(const QString& itemID);
    // The copies of one item, read on any connection to the index.
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
    // Changes whenever another connection has committed to the index since the last reading on
    // this one ("PRAGMA data_version"); a connection's own writes leave it alone.
    qint64 dataVersion();

private:
    // Throws, on the writer of a file known to be damaged, the error that stopped its writes.
    void refuseWhenDamaged() const;
    void noteWhenDamage(const DatabaseError& error) const;

    Database db_;
    const Access access_;
    std::shared_ptr<IndexHealth> health_;
    SerialExecutor executor_; // declared last: destroyed first, after its jobs have finished
};
