#include "Pellmar/index/Index.h"

#include "Pellmar/index/FileStamps.h"
#include "Pellmar/index/IndexRows.h"
#include "Pellmar/index/WalkedFiles.h"

#include <QSet>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace {

// Rows read at a time: enough that the reads cost little, few enough that they take little memory.
constexpr int rowChunk = 4096;
// Rows deleted between two looks at the clock.
constexpr int deleteChunk = 256;

} // namespace

// What a merge knows between its steps. Rows read from the index are not kept across steps: other
// jobs may have written the source's rows in between.
struct FileMergeState {
    struct Row {
        qint64 id = 0;
        qsizetype pathStart = 0;
        qsizetype pathLength = 0;
        qsizetype itemStart = 0;
        qsizetype itemLength = -1;   // -1: no item
        StoredStamp stamp;
    };
    struct Unseen {
        qint64 id = 0;
        QByteArray path;
    };

    QString sourceID;
    double callTime = currentDate();
    std::vector<Row> rows;
    QByteArray rowText;   // the paths and item ids of rows
    size_t nextRowIndex = 0;
    bool rowsEnded = false;
    // Every row at or before this path has been compared; the next read starts after it.
    QByteArray cursor;
    bool hasCursor = false;
    QByteArray lastPath;   // the last file taken in order
    bool hasLastPath = false;
    std::vector<Unseen> unseen;
    QSet<qint64> seenLate;   // rows named by a file out of order
    Index::SyncCounts counts;

    // The stepped merge of a walk: its runs, the place reached, and the rows left to delete.
    std::vector<FileBatch> batches;
    size_t batchIndex = 0;
    size_t fileIndex = 0;
    Index::WalkGaps gaps;
    bool rowsExhausted = false;
    std::optional<std::vector<Unseen>> toDelete;   // chosen once every row has been compared
    size_t deleteIndex = 0;
};

namespace {

// Compares a source's files, handed in byte order of their UTF-8 paths, with the source's rows read
// in the same order (SQLite's binary order of text, which the index on (source_id, rel_path) gives),
// and writes only what differs. A row the files go past without naming it is unseen; the unseen rows
// that no gap of the walk covers are deleted at the end, each only while it still has the path it
// had when passed. A file out of order (or named twice) is looked up on its own, so that any order
// gives the same rows, only slower. One FileRowMerge lives for one transaction; its state may go on
// in the next one.
class FileRowMerge {
public:
    FileRowMerge(Database& db, FileMergeState& state)
        : db_(db)
        , s_(state)
        , firstRows_(db.db(), QStringLiteral("SELECT id, rel_path, size, mtime, local, item_id FROM files "
                                             "WHERE source_id = ? ORDER BY rel_path LIMIT %1").arg(rowChunk))
        , nextRows_(db.db(), QStringLiteral("SELECT id, rel_path, size, mtime, local, item_id FROM files "
                                            "WHERE source_id = ? AND rel_path > ? ORDER BY rel_path LIMIT %1").arg(rowChunk))
        , probe_(db.db(), QStringLiteral("SELECT id, size, mtime, local FROM files WHERE source_id = ? AND rel_path = ?"))
        , insert_(db.db(), insertFileSql)
        , updateFlags_(db.db(), QStringLiteral("UPDATE files SET favorite = ?, subtype = ?, raw = ? WHERE id = ?"))
        , reset_(db.db(), QStringLiteral("UPDATE files SET size = ?, mtime = ?, quick_hash = NULL, tail_hash = NULL, state = 0, error = NULL, "
                                         "asset_id = ?, local = ? WHERE id = ?"))
        , markNotLocal_(db.db(), QStringLiteral("UPDATE files SET local = 0 WHERE id = ?"))
    {
        // Rows read in an earlier transaction may have changed since: read again from the cursor.
        s_.rows.clear();
        s_.rowText.truncate(0);
        s_.nextRowIndex = 0;
        s_.rowsEnded = false;
    }

    // One file of the walk: its path in UTF-8 and its record (whose relativePath is not read).
    void add(QByteArrayView path, const FileRecord& record)
    {
        ++s_.counts.files;
        if (s_.hasLastPath && path <= QByteArrayView(s_.lastPath)) {
            addOutOfOrder(path, record);
            return;
        }
        s_.lastPath.truncate(0);
        s_.lastPath.append(path);
        s_.hasLastPath = true;
        const FileMergeState::Row* row = currentRow();
        while (row && pathOf(*row) < path) {
            noteUnseen(*row);
            row = nextRow();
        }
        if (row && pathOf(*row) == path) {
            update(row->id, row->stamp, record);
            nextRow();
        } else {
            insert(path, record);
        }
        moveCursor(path);
    }

    // New files wait for the end and are inserted in the order of their records in memory (a
    // list's order), so that they are numbered, and so queued, as listed. The records must live
    // until then.
    void insertNewFilesInListOrder() { insertLater_ = true; }

    // Notes the rows after the last file as unseen until `timeUp` says so; true once none is left.
    bool passRemainingRows(const std::function<bool()>& timeUp)
    {
        const FileMergeState::Row* row = currentRow();
        while (row) {
            noteUnseen(*row);
            moveCursor(pathOf(*row));
            row = nextRow();
            if (row && timeUp())
                return false;
        }
        return true;
    }

    // Inserts the files held back for list order.
    void insertHeldFiles()
    {
        std::sort(laterInserts_.begin(), laterInserts_.end());
        insertLater_ = false;
        for (const FileRecord* record : laterInserts_)
            insert(record->relativePath.toUtf8(), *record);
    }

    // Chooses the unseen rows to delete: none below the walk's gaps or named late by a file.
    void chooseDeletions(const Index::WalkGaps& gaps)
    {
        s_.toDelete.emplace();
        if (s_.unseen.empty() || gaps.covers(QString()))
            return;
        // What lies below a folder the walk could not list counts as seen as it is.
        std::vector<QByteArray> sparedPrefixes;
        for (const QString& folder : gaps.unlistedFolders)
            sparedPrefixes.push_back(folder.toUtf8() + '/');
        for (FileMergeState::Unseen& row : s_.unseen) {
            const bool spared = s_.seenLate.contains(row.id)
                || std::any_of(sparedPrefixes.begin(), sparedPrefixes.end(),
                               [&](const QByteArray& prefix) { return row.path.startsWith(prefix); });
            if (!spared)
                s_.toDelete->push_back(std::move(row));
        }
        s_.unseen = {};
    }

    // Deletes chosen rows until `timeUp` says so; true once none is left. A row renamed or deleted
    // by another write since it was passed is left alone.
    bool deleteChosen(const std::function<bool()>& timeUp)
    {
        Statement current(db_.db(), QStringLiteral("SELECT rel_path, item_id FROM files WHERE id = ?"));
        std::vector<FileMergeState::Unseen>& rows = *s_.toDelete;
        while (s_.deleteIndex < rows.size()) {
            const size_t end = std::min(rows.size(), s_.deleteIndex + deleteChunk);
            QList<qint64> deleted;
            QSet<QString> namedItems;
            for (; s_.deleteIndex < end; ++s_.deleteIndex) {
                const FileMergeState::Unseen& row = rows[s_.deleteIndex];
                current.bind({row.id});
                if (!current.step() || current.utf8(0) != QByteArrayView(row.path))
                    continue;
                if (!current.isNull(1))
                    namedItems.insert(current.text(1));
                deleted.append(row.id);
            }
            current.reset();
            deleteFileRows(db_, deleted);
            // Only deleted rows can leave items without files: a reset row keeps its item.
            for (const QString& item : namedItems)
                removeItemIfOrphan(db_, item);
            s_.counts.deleted += deleted.size();
            if (timeUp())
                break;
        }
        return s_.deleteIndex == rows.size();
    }

    // The whole end in one go: for a merge that runs in one transaction.
    Index::SyncCounts finish(const Index::WalkGaps& gaps)
    {
        const auto never = [] { return false; };
        passRemainingRows(never);
        insertHeldFiles();
        chooseDeletions(gaps);
        deleteChosen(never);
        return s_.counts;
    }

private:
    using Row = FileMergeState::Row;

    QByteArrayView pathOf(const Row& row) const { return QByteArrayView(s_.rowText).sliced(row.pathStart, row.pathLength); }

    void moveCursor(QByteArrayView path)
    {
        s_.cursor.truncate(0);
        s_.cursor.append(path);
        s_.hasCursor = true;
    }

    // The row the merge stands on, reading the next chunk when the last one is used up.
    const Row* currentRow()
    {
        if (s_.nextRowIndex == s_.rows.size() && !s_.rowsEnded)
            readRows();
        return s_.nextRowIndex < s_.rows.size() ? &s_.rows[s_.nextRowIndex] : nullptr;
    }

    const Row* nextRow()
    {
        ++s_.nextRowIndex;
        return currentRow();
    }

    // Reads the rows after those already read, or after the cursor at the start of a transaction.
    // A row inserted meanwhile always lies before the chunk that the merge stands on, or after the
    // last row, when no chunk follows: none is read back.
    void readRows()
    {
        const QByteArray after = s_.rows.empty() ? s_.cursor : pathOf(s_.rows.back()).toByteArray();
        const bool fromStart = s_.rows.empty() && !s_.hasCursor;
        Statement& statement = fromStart ? firstRows_ : nextRows_;
        if (fromStart)
            statement.bind({s_.sourceID});
        else
            statement.bind({s_.sourceID, QString::fromUtf8(after)});
        s_.rows.clear();
        s_.rowText.truncate(0);
        s_.nextRowIndex = 0;
        while (statement.step()) {
            Row row{.id = statement.int64(0)};
            row.pathStart = s_.rowText.size();
            s_.rowText.append(statement.utf8(1));
            row.pathLength = s_.rowText.size() - row.pathStart;
            row.stamp = StoredStamp{statement.int64(2), statement.real(3), statement.boolean(4)};
            if (!statement.isNull(5)) {
                row.itemStart = s_.rowText.size();
                s_.rowText.append(statement.utf8(5));
                row.itemLength = s_.rowText.size() - row.itemStart;
            }
            s_.rows.push_back(row);
        }
        statement.reset();
        s_.rowsEnded = s_.rows.size() < size_t(rowChunk);
    }

    void noteUnseen(const Row& row) { s_.unseen.push_back({.id = row.id, .path = pathOf(row).toByteArray()}); }

    void addOutOfOrder(QByteArrayView path, const FileRecord& record)
    {
        probe_.bind({s_.sourceID, QString::fromUtf8(path)});
        if (!probe_.step()) {
            insert(path, record);
            return;
        }
        const qint64 rowID = probe_.int64(0);
        const StoredStamp stored{probe_.int64(1), probe_.real(2), probe_.boolean(3)};
        probe_.reset();
        s_.seenLate.insert(rowID);   // in case the merge passed it by as unseen
        update(rowID, stored, record);
    }

    void insert(QByteArrayView path, const FileRecord& record)
    {
        if (insertLater_) {
            laterInserts_.push_back(&record);
            return;
        }
        SqlValues values = newFileValues(s_.sourceID, record, s_.callTime);
        values[1] = QString::fromUtf8(path);
        insert_.bind(values).step();
        ++s_.counts.added;
    }

    // A reset file keeps naming its former item, with no quick hash, until it has been hashed again:
    // a file that was only touched or copied back then rejoins that same item with its favorites and
    // previews, and linkItem lets the former item go when the content turns out to be new.
    void update(qint64 rowID, const StoredStamp& stored, const FileRecord& record)
    {
        bool needsReset = false;
        if (!record.assetID.isEmpty()) {
            // A photo library asset: its flags follow the library on every sync, and only its time
            // tells a change (its size and locality come and go with the library's own storage).
            updateFlags_.bind({record.favorite, record.subtype, record.raw, rowID}).step();
            needsReset = !sameTime(stored.modified, record.modified);
        } else {
            switch (compareStamp(stored, record)) {
            case StampOutcome::noLongerLocal: markNotLocal_.bind({rowID}).step(); break;
            case StampOutcome::reset: needsReset = true; break;
            case StampOutcome::unchanged: break;
            }
        }
        if (needsReset) {
            reset_.bind({record.size, record.modified, record.assetID, record.local, rowID}).step();
            ++s_.counts.reset;
        }
    }

    Database& db_;
    FileMergeState& s_;
    Statement firstRows_;
    Statement nextRows_;
    Statement probe_;
    Statement insert_;
    Statement updateFlags_;
    Statement reset_;
    Statement markNotLocal_;
    bool insertLater_ = false;
    std::vector<const FileRecord*> laterInserts_;
};

} // namespace

qint64 Index::syncFiles(const QList<FileRecord>& records, const QString& sourceID, const WalkGaps& gaps)
{
    std::vector<std::pair<QByteArray, const FileRecord*>> sorted;
    sorted.reserve(size_t(records.size()));
    for (const FileRecord& record : records)
        sorted.emplace_back(record.relativePath.toUtf8(), &record);
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const bool pathListedTwice = std::adjacent_find(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
                                     return a.first == b.first;
                                 }) != sorted.end();

    FileMergeState state;
    state.sourceID = sourceID;
    Transaction transaction(db_);
    FileRowMerge merge(db_, state);
    if (pathListedTwice) {
        // Each record in the order given: a later record of a path finds the row an earlier one wrote.
        for (const FileRecord& record : records)
            merge.add(record.relativePath.toUtf8(), record);
    } else {
        merge.insertNewFilesInListOrder();
        for (const auto& [path, record] : sorted)
            merge.add(path, *record);
    }
    const SyncCounts counts = merge.finish(gaps);
    transaction.commit();
    return counts.written();
}

Index::SyncCounts Index::syncFiles(WalkedFiles& walked, const QString& sourceID)
{
    SteppedFileSync sync(walked, sourceID);
    sync.step(*this, std::chrono::nanoseconds::max());
    return sync.counts();
}

SteppedFileSync::SteppedFileSync(WalkedFiles& walked, QString sourceID)
    : state_(std::make_unique<FileMergeState>())
    , done_(walked.gaps().rootVanished)   // a walk that lost its root tells nothing about the rows
{
    state_->sourceID = std::move(sourceID);
    state_->gaps = walked.gaps();
    if (!done_)
        state_->batches = walked.takeBatches();
}

SteppedFileSync::~SteppedFileSync() = default;

const Index::SyncCounts& SteppedFileSync::counts() const
{
    return state_->counts;
}

bool SteppedFileSync::step(Index& index, std::chrono::nanoseconds budget)
{
    if (done_)
        return true;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    const auto timeUp = [&] { return budget != std::chrono::nanoseconds::max() && Clock::now() - started >= budget; };
    FileMergeState& s = *state_;
    Database& db = index.database();
    Transaction transaction(db);
    FileRowMerge merge(db, s);
    FileRecord record;   // a folder's files carry their stamps only
    while (s.batchIndex < s.batches.size()) {
        FileBatch& batch = s.batches[s.batchIndex];
        while (s.fileIndex < size_t(batch.size())) {
            const FileBatch::File& file = batch.files()[s.fileIndex++];
            record.size = file.size;
            record.modified = file.modified;
            record.local = file.local;
            merge.add(batch.pathOf(file), record);
            if (timeUp()) {
                transaction.commit();
                return false;
            }
        }
        batch = FileBatch();   // merged: its memory goes back while the rows read take theirs
        ++s.batchIndex;
        s.fileIndex = 0;
    }
    s.batches = {};
    if (!s.rowsExhausted) {
        s.rowsExhausted = merge.passRemainingRows(timeUp);
        if (!s.rowsExhausted) {
            transaction.commit();
            return false;
        }
    }
    if (!s.toDelete)
        merge.chooseDeletions(s.gaps);
    const bool deletedAll = merge.deleteChosen(timeUp);
    transaction.commit();
    done_ = deletedAll;
    return done_;
}
