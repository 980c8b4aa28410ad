#pragma once

// A folder walk's files on their way to the index. The walk packs them in runs, in byte order of
// their UTF-8 paths, a few allocations per run; the index merges them with its rows once the walk
// has ended, so that the index's writer is not held while a slow drive is walked.

#include "Pellmar/index/Index.h"

#include <QByteArray>
#include <QByteArrayView>

#include <chrono>
#include <memory>
#include <utility>
#include <vector>

// A run of files, their paths packed one after the other so that a run costs a few allocations.
class FileBatch {
public:
    struct File {
        qsizetype pathStart = 0;
        qsizetype pathLength = 0;
        qint64 size = 0;
        double modified = 0;
        bool local = true;
    };

    // Adds the file `name` of the folder `folderPath` ("" for the source's root).
    void add(QByteArrayView folderPath, QByteArrayView name, qint64 size, double modified, bool local);

    const std::vector<File>& files() const { return files_; }
    QByteArrayView pathOf(const File& file) const { return QByteArrayView(paths_).sliced(file.pathStart, file.pathLength); }
    qsizetype size() const { return qsizetype(files_.size()); }
    bool isEmpty() const { return files_.empty(); }

private:
    QByteArray paths_;
    std::vector<File> files_;
};

// The runs of one walk and what it could not see. The walk fills it, then the sync reads it, one
// after the other. Until the walk has ended it counts as a walk whose root was gone, so that a walk
// cut short leaves nothing that a sync would take for deleted files.
class WalkedFiles {
public:
    WalkedFiles() { gaps_.rootVanished = true; }

    void append(FileBatch batch);
    // Ends the walk with what it could not see.
    void finish(const Index::WalkGaps& gaps) { gaps_ = gaps; }

    // Hands the runs over, leaving none.
    std::vector<FileBatch> takeBatches() { return std::exchange(batches_, {}); }
    const Index::WalkGaps& gaps() const { return gaps_; }

private:
    std::vector<FileBatch> batches_;
    Index::WalkGaps gaps_;
};

struct FileMergeState;

// The merge of a folder walk with its source's rows (Index::syncFiles), taken in steps: each step is
// one transaction that ends soon after its time is up, so that a write the user asks for meanwhile
// waits for one step at most. The rows deleted come last, each only while it still has the path it
// had when the merge passed it. A merge left between steps (stopped, or failed in a step) has written
// only rows it compared, and has deleted nothing unless it was deleting.
class SteppedFileSync {
public:
    // Takes the walk's runs. A walk that ended with the root gone, or did not end, merges nothing.
    SteppedFileSync(WalkedFiles& walked, QString sourceID);
    ~SteppedFileSync();
    SteppedFileSync(const SteppedFileSync&) = delete;
    SteppedFileSync& operator=(const SteppedFileSync&) = delete;

    // One step, inside a job of the index; true once the merge has ended.
    bool step(Index& index, std::chrono::nanoseconds budget);
    // What the steps so far compared and wrote.
    const Index::SyncCounts& counts() const;

private:
    std::unique_ptr<FileMergeState> state_;
    bool done_ = false;
};
