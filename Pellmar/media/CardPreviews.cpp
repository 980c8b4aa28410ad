#include "Pellmar/media/CardPreviews.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Hashing.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/MediaInfo.h"
#include "Pellmar/media/Thumbnails.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString cardPreviewKey(const CardFile& file)
{
    QString modified = QString::number(file.modified, 'f', QLocale::FloatingPointShortest);
    if (!modified.contains(u'.'))
        modified += QStringLiteral(".0");
    return file.url + u'|' + modified + u'|' + QString::number(file.size);
}

std::optional<QString> privateFolder(const QString& path)
{
    const QString folder = QDir::cleanPath(path);
    const QFileInfo info(folder);
    const QByteArray name = QFile::encodeName(info.fileName());
    const auto refuse = [&folder](const char* why) -> std::optional<QString> {
        qCWarning(logIndex).noquote() << "private folder" << folder << "refused:" << why;
        return std::nullopt;
    };
    if (!QDir().mkpath(info.path()))
        return refuse("its parent cannot be made");
    const FileDescriptor parent(::open(QFile::encodeName(info.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.isOpen())
        return refuse(std::strerror(errno));
    if (::mkdirat(parent.get(), name.constData(), 0700) != 0 && errno != EEXIST)
        return refuse(std::strerror(errno));
    // O_NOFOLLOW: a link planted in its place is refused, not followed.
    const FileDescriptor opened(::openat(parent.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!opened.isOpen())
        return refuse(errno == ELOOP ? "it is a symbolic link" : std::strerror(errno));
    struct stat status {};
    if (::fstat(opened.get(), &status) != 0)
        return refuse(std::strerror(errno));
    if (status.st_uid != ::geteuid())
        return refuse("it belongs to another user");
    if ((status.st_mode & 077) != 0 && ::fchmod(opened.get(), 0700) != 0)
        return refuse(std::strerror(errno));
    return folder;
}

QString cardPreviewFolderPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/QuorvinCardPreviews");
}

std::optional<QString> cardPreview(const CardFile& file, const QString& folder)
{
    if (file.kind != MediaKind::photo)
        return std::nullopt;
    const QString target = folder + u'/' + sha256Text(cardPreviewKey(file).toUtf8()) + QStringLiteral(".jpg");
    if (QFileInfo::exists(target))
        return target;
    try {
        // A FIFO or device named like a photo is refused before a byte is read.
        const QByteArray head = RegularFile(file.url).readHead(headByteBudget(file.url));
        if (makeThumbnail(file.url, head, target))
            return target;
    } catch (const FileError&) {
    } catch (const DatabaseError&) {
    }
    return std::nullopt;
}
