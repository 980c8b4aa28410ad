#include "Pellmar/index/FileStream.h"

void FileBatch::add(QByteArrayView folderPath, QByteArrayView name, qint64 size, double modified, bool local)
{
    File file{.pathStart = paths_.size(), .size = size, .modified = modified, .local = local};
    if (!folderPath.isEmpty()) {
        paths_.append(folderPath);
        paths_.append('/');
    }
    paths_.append(name);
    file.pathLength = paths_.size() - file.pathStart;
    files_.push_back(file);
}

bool FileStream::push(FileBatch batch)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return abandoned_ || qsizetype(queue_.size()) < capacity_; });
    if (abandoned_)
        return false;
    queue_.push_back(std::move(batch));
    changed_.notify_all();
    return true;
}

void FileStream::finish(const Index::WalkGaps& gaps)
{
    const std::lock_guard lock(mutex_);
    if (finished_)
        return;
    gaps_ = gaps;
    finished_ = true;
    changed_.notify_all();
}

bool FileStream::abandoned() const
{
    const std::lock_guard lock(mutex_);
    return abandoned_;
}

std::optional<FileBatch> FileStream::next()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return finished_ || !queue_.empty(); });
    if (queue_.empty())
        return std::nullopt;
    FileBatch batch = std::move(queue_.front());
    queue_.pop_front();
    changed_.notify_all();
    return batch;
}

void FileStream::abandon()
{
    const std::lock_guard lock(mutex_);
    abandoned_ = true;
    queue_.clear();
    changed_.notify_all();
}

StreamEnding::~StreamEnding()
{
    Index::WalkGaps lost;
    lost.rootVanished = true;
    stream_->finish(lost);
}
