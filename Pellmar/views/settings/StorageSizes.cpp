#include "Pellmar/views/settings/StorageSizes.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <sys/stat.h>

qint64 allocatedSize(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    // st_blocks counts 512-byte units whatever the file system's block size.
    return qint64(info.st_blocks) * 512;
}

StorageSizes measureStorage(const QString& supportDirectory, const QString& proxyDirectory)
{
    StorageSizes sizes;
    const QDir support(supportDirectory);
    for (const char* name : {"index.sqlite", "index.sqlite-wal", "index.sqlite-shm"})
        sizes.index += allocatedSize(support.filePath(QLatin1String(name)));

    QDirIterator walk(proxyDirectory, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (walk.hasNext())
        sizes.previews += allocatedSize(walk.next());
    return sizes;
}
