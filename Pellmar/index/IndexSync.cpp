#include "Pellmar/index/Index.h"

#include "Pellmar/index/FileStamps.h"
#include "Pellmar/index/IndexRows.h"
#include "Pellmar/index/WalkedFiles.h"

#include <QSet>

#include <algorithm>
#include <vector>

namespace {

// Rows read at a time: enough that the reads cost little, few enough that they take little memory.
constexpr int rowChunk = 4096;

// Compares a source's files, handed in byte order of their UTF-8 paths, with the source's rows read
// in the same order (SQLite's binary order of text, which the index on (source_id, rel_path) gives),
// and writes only what differs. A row the files go past without naming it is unseen; finish() deletes
// the unseen rows that no gap of the walk covers. A file out of order (or named twice) is looked up
// on its own, so that any order gives the same rows, only slower.
class FileRowMerge {
public:
    FileRowMerge(Database& db, const QString& sourceID)
        : db_(db)
        , sourceID_(sourceID)
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
        , callTime_(currentDate())
    {
    }

    // One file of the walk: its path in UTF-8 and its record (whose relativePath is not read).
    void add(QByteArrayView path, const FileRecord& record)
    {
        ++counts_.files;
        if (hasLastPath_ && path <= QByteArrayView(lastPath_)) {
            addOutOfOrder(path, record);
            return;
        }
        lastPath_.truncate(0);
        lastPath_.append(path);
        hasLastPath_ = true;
        const Row* row = currentRow();
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
    }

    // New files wait for finish() and are inserted in the order of their records in memory (a
    // list's order), so that they are numbered, and so queued, as listed. The records must live
    // until then.
    void insertNewFilesInListOrder() { insertLater_ = true; }

    // Deletes the unseen rows, except below the walk's gaps; returns what the whole merge wrote.
    Index::SyncCounts finish(const Index::WalkGaps& gaps)
    {
        for (const Row* row = currentRow(); row; row = nextRow())
            noteUnseen(*row);
        std::sort(laterInserts_.begin(), laterInserts_.end());
        insertLater_ = false;
        for (const FileRecord* record : laterInserts_)
            insert(record->relativePath.toUtf8(), *record);
        if (unseen_.empty() || gaps.covers(QString()))
            return counts_;
        // What lies below a folder the walk could not list counts as seen as it is.
        std::vector<QByteArray> sparedPrefixes;
        for (const QString& folder : gaps.unlistedFolders)
            sparedPrefixes.push_back(folder.toUtf8() + '/');
        QList<qint64> deleted;
        QSet<QString> namedItems;
        for (const Unseen& row : unseen_) {
            if (seenLate_.contains(row.id))
                continue;
            const bool spared = std::any_of(sparedPrefixes.begin(), sparedPrefixes.end(),
                                            [&](const QByteArray& prefix) { return row.path.startsWith(prefix); });
            if (spared)
                continue;
            deleted.append(row.id);
            if (row.item)
                namedItems.insert(*row.item);
        }
        deleteFileRows(db_, deleted);
        // Only deleted rows can leave items without files: a reset row keeps its item.
        for (const QString& item : namedItems)
            removeItemIfOrphan(db_, item);
        counts_.deleted = deleted.size();
        return counts_;
    }

private:
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
        std::optional<QString> item;
    };

    QByteArrayView pathOf(const Row& row) const { return QByteArrayView(rowText_).sliced(row.pathStart, row.pathLength); }

    // The row the merge stands on, reading the next chunk when the last one is used up.
    const Row* currentRow()
    {
        if (nextRowIndex_ == rows_.size() && !rowsEnded_)
            readRows();
        return nextRowIndex_ < rows_.size() ? &rows_[nextRowIndex_] : nullptr;
    }

    const Row* nextRow()
    {
        ++nextRowIndex_;
        return currentRow();
    }

    // Reads the rows after the last one read. A row inserted meanwhile always lies before the chunk
    // that the merge stands on, or after the last row, when no chunk follows: none is read back.
    void readRows()
    {
        Statement& statement = anyRowsRead_ ? nextRows_ : firstRows_;
        if (anyRowsRead_)
            statement.bind({sourceID_, QString::fromUtf8(lastRowPath_)});
        else
            statement.bind({sourceID_});
        anyRowsRead_ = true;
        rows_.clear();
        rowText_.truncate(0);
        nextRowIndex_ = 0;
        while (statement.step()) {
            Row row{.id = statement.int64(0)};
            row.pathStart = rowText_.size();
            rowText_.append(statement.utf8(1));
            row.pathLength = rowText_.size() - row.pathStart;
            row.stamp = StoredStamp{statement.int64(2), statement.real(3), statement.boolean(4)};
            if (!statement.isNull(5)) {
                row.itemStart = rowText_.size();
                rowText_.append(statement.utf8(5));
                row.itemLength = rowText_.size() - row.itemStart;
            }
            rows_.push_back(row);
        }
        statement.reset();
        rowsEnded_ = rows_.size() < size_t(rowChunk);
        if (!rows_.empty())
            lastRowPath_ = pathOf(rows_.back()).toByteArray();
    }

    void noteUnseen(const Row& row)
    {
        Unseen unseen{.id = row.id, .path = pathOf(row).toByteArray()};
        if (row.itemLength >= 0)
            unseen.item = QString::fromUtf8(QByteArrayView(rowText_).sliced(row.itemStart, row.itemLength));
        unseen_.push_back(std::move(unseen));
    }

    void addOutOfOrder(QByteArrayView path, const FileRecord& record)
    {
        probe_.bind({sourceID_, QString::fromUtf8(path)});
        if (!probe_.step()) {
            insert(path, record);
            return;
        }
        const qint64 rowID = probe_.int64(0);
        const StoredStamp stored{probe_.int64(1), probe_.real(2), probe_.boolean(3)};
        probe_.reset();
        seenLate_.insert(rowID);   // in case the merge passed it by as unseen
        update(rowID, stored, record);
    }

    void insert(QByteArrayView path, const FileRecord& record)
    {
        if (insertLater_) {
            laterInserts_.push_back(&record);
            return;
        }
        SqlValues values = newFileValues(sourceID_, record, callTime_);
        values[1] = QString::fromUtf8(path);
        insert_.bind(values).step();
        ++counts_.added;
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
            ++counts_.reset;
        }
    }

    Database& db_;
    const QString sourceID_;
    Statement firstRows_;
    Statement nextRows_;
    Statement probe_;
    Statement insert_;
    Statement updateFlags_;
    Statement reset_;
    Statement markNotLocal_;
    const double callTime_;

    std::vector<Row> rows_;
    QByteArray rowText_;   // the paths and item ids of rows_
    size_t nextRowIndex_ = 0;
    bool rowsEnded_ = false;
    bool anyRowsRead_ = false;
    QByteArray lastRowPath_;
    QByteArray lastPath_;
    bool hasLastPath_ = false;
    std::vector<Unseen> unseen_;
    QSet<qint64> seenLate_;   // rows named by a file out of order
    bool insertLater_ = false;
    std::vector<const FileRecord*> laterInserts_;
    Index::SyncCounts counts_;
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

    Transaction transaction(db_);
    FileRowMerge merge(db_, sourceID);
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
    if (walked.gaps().rootVanished)
        return {};   // a walk that lost its root tells nothing about the rows
    Transaction transaction(db_);
    FileRowMerge merge(db_, sourceID);
    FileRecord record;   // a folder's files carry their stamps only
    std::vector<FileBatch> batches = walked.takeBatches();
    for (FileBatch& batch : batches) {
        for (const FileBatch::File& file : batch.files()) {
            record.size = file.size;
            record.modified = file.modified;
            record.local = file.local;
            merge.add(batch.pathOf(file), record);
        }
        batch = FileBatch();   // merged: its memory goes back while the rows read take theirs
    }
    const SyncCounts counts = merge.finish(walked.gaps());
    transaction.commit();
    return counts;
}
