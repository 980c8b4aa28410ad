#pragma once

// A walk's files on their way to the index. The walking thread hands runs of files, in byte order of
// their UTF-8 paths, to the index job through a queue: a short one when both run side by side, so
// that only a few thousand files are held at a time, or an unbounded one that the index reads once
// the walk has ended, so that the index's writer is not held while a slow drive is walked. Either
// way the files are held packed, a few allocations per run.

#include "Pellmar/index/Index.h"

#include <QByteArray>
#include <QByteArrayView>

#include <condition_variable>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
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

class FileStream {
public:
    static constexpr qsizetype unbounded = std::numeric_limits<qsizetype>::max();

    explicit FileStream(qsizetype capacity = 8) : capacity_(capacity) {}

    // The walking side. Waits while the queue is full; false once the reading side has given up,
    // and the walk should stop then.
    bool push(FileBatch batch);
    // Ends the stream with what the walk could not see; a stream already ended stays as it is.
    void finish(const Index::WalkGaps& gaps);
    // True once the reading side gave up: the walk can stop.
    bool abandoned() const;

    // The reading side. Waits for the next run; nothing once the stream has ended.
    std::optional<FileBatch> next();
    // What the walk could not see; read after next() gave nothing.
    const Index::WalkGaps& gaps() const { return gaps_; }
    // Stops taking runs (the reader failed): a walk waiting to hand one on goes on at once.
    void abandon();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<FileBatch> queue_;
    qsizetype capacity_;
    bool finished_ = false;
    bool abandoned_ = false;
    Index::WalkGaps gaps_;
};

// The walking side's hold on a shared stream. When the last copy goes before the walk ended the
// stream (a walk dropped before it ran, or cut short), it ends the stream as if the root were gone:
// the sync waiting on it returns, and deletes nothing.
class StreamEnding {
public:
    explicit StreamEnding(std::shared_ptr<FileStream> stream) : stream_(std::move(stream)) {}
    StreamEnding(const StreamEnding&) = delete;
    StreamEnding& operator=(const StreamEnding&) = delete;
    ~StreamEnding();

    FileStream& stream() const { return *stream_; }

private:
    std::shared_ptr<FileStream> stream_;
};
