#include "Pellmar/index/WalkedFiles.h"

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

void WalkedFiles::append(FileBatch batch)
{
    if (!batch.isEmpty())
        batches_.push_back(std::move(batch));
}
