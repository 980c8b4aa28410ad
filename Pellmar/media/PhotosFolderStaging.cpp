#include "Pellmar/media/PhotosFolderStaging.h"

#include "Pellmar/index/RegularFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace photosfolder {

QString assetFolderName(const QString& assetIdentifier)
{
    return assetIdentifier.section(QLatin1Char('/'), 0, 0);
}

QString originalsFolder(const QString& folderName)
{
    return originalsName + QLatin1Char('/') + folderName;
}

QString safeFileName(const QString& name)
{
    return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ? QStringLiteral("original") : name;
}

FileLock::FileLock(const QString& path, bool wait)
{
    descriptor_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor_ >= 0 && ::flock(descriptor_, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

FileLock::~FileLock()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

PhotoLibraryError storeFailed(const QString& what)
{
    return PhotoLibraryError(PhotoLibraryError::Code::writeFailed, QStringLiteral("The library could not store %1.").arg(what));
}

bool moveToOriginals(const QString& libraryPath, const QString& stagedAssetFolder)
{
    const QDir library(libraryPath);
    library.mkpath(originalsName);
    return QDir().rename(stagedAssetFolder, library.filePath(originalsFolder(QFileInfo(stagedAssetFolder).fileName())));
}

void syncFolder(const QString& folder)
{
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = descriptor >= 0 && ::fsync(descriptor) == 0;
    if (descriptor >= 0)
        ::close(descriptor);
    if (!synced)
        throw storeFailed(QStringLiteral("the files"));
}

void copyFile(const QString& from, const QString& to)
{
    const RegularFile original(from);
    QFile source;
    if (!original.isOpen() || !source.open(original.descriptor(), QIODevice::ReadOnly))
        throw PhotoLibraryError(PhotoLibraryError::Code::fileUnreadable,
                                QStringLiteral("The file %1 could not be read.").arg(from));
    QFile copy(to);
    if (!copy.open(QIODevice::WriteOnly))
        throw storeFailed(QFileInfo(from).fileName());
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(dataChunkSize);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
            throw PhotoLibraryError(PhotoLibraryError::Code::fileUnreadable,
                                    QStringLiteral("The file %1 could not be read.").arg(from));
        if (copy.write(chunk) != chunk.size())
            throw storeFailed(QFileInfo(from).fileName());
    }
    if (!copy.flush() || ::fsync(copy.handle()) != 0)
        throw storeFailed(QFileInfo(from).fileName());
}

} // namespace photosfolder
