#pragma once

// Marks of the files being read, kept in a small file of the support folder, so that a file that
// ends the process while it is read (a decoder that aborts, an out-of-memory kill) is failed at the
// next start instead of being read again at every start. Each reading thread holds a slot of the
// file while it reads: a mark costs one write of a few bytes, which the page cache keeps when the
// process dies, and nothing of the index writer's time. Thread-safe.

#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>
#include <vector>

class ReadingMarks {
public:
    // What a process that ended while reading left marked.
    struct Left {
        QList<qint64> fileIDs;   // file rows that quick indexing was reading
        QStringList itemIDs;     // items whose larger previews were being made

        bool isEmpty() const { return fileIDs.isEmpty() && itemIDs.isEmpty(); }
    };

    // A mark held while its reading lasts; cleared when it goes. An empty mark marks nothing.
    class Mark {
    public:
        Mark() = default;
        Mark(Mark&& other) noexcept;
        Mark& operator=(Mark&&) = delete;
        ~Mark();

    private:
        friend class ReadingMarks;
        Mark(ReadingMarks* marks, int slot) : marks_(marks), slot_(slot) {}
        ReadingMarks* marks_ = nullptr;
        int slot_ = -1;
    };

    // The failure recorded for what was left marked.
    static const QString endedWhileReadText;

    // Opens (or makes, private to the user) the marks file at `path` and takes what it holds as
    // left. Without the file, marks mark nothing.
    explicit ReadingMarks(const QString& path);
    ~ReadingMarks();
    ReadingMarks(const ReadingMarks&) = delete;
    ReadingMarks& operator=(const ReadingMarks&) = delete;

    const Left& left() const { return left_; }
    // Clears the left marks once their failures are recorded.
    void forgetLeft();

    Mark markFile(qint64 fileID);
    Mark markItem(const QString& itemID);

private:
    Mark mark(const QByteArray& text);
    void write(int slot, const QByteArray& text);
    void release(int slot);

    int descriptor_ = -1;
    std::mutex lock_;
    std::vector<bool> used_;   // by slot
    Left left_;
    int leftSlots_ = 0;
};
