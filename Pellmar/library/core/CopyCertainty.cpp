#include "Pellmar/library/Library.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Hashing.h"
#include "Pellmar/library/frame/AliveGuard.h"

#include <QDir>
#include <QFile>
#include <QUuid>

namespace {

struct OtherCopy {
    qint64 fileID = 0;
    QString path;
};

// What comparing one copy with the others found: the other copies equal to it and whether any
// differs, and the digest of its whole content when one does.
struct Comparison {
    QList<qint64> equal;
    bool anyDiffers = false;
    QString digest;
};

Comparison compareCopies(const QString& path, const QList<OtherCopy>& others)
{
    Comparison found;
    for (const OtherCopy& other : others) {
        try {
            if (sameContent(path, other.path))
                found.equal.append(other.fileID);
            else
                found.anyDiffers = true;
        } catch (const FileError&) {
            // A copy that cannot be read now proves nothing either way.
        }
    }
    if (found.anyDiffers) {
        try {
            found.digest = contentHash(path);
        } catch (const FileError&) {
            found.anyDiffers = false;   // without its digest the copy cannot be keyed apart
        }
    }
    return found;
}

// The separated item's pictures: its head, and so its small preview or poster, is the former
// item's. A picture that cannot be copied is left to be made again.
Item pictureCopies(Item item, const QString& formerID, const QString& proxyDirectory)
{
    const QDir proxies(proxyDirectory);
    const auto copied = [&](const QString& extension, const QString& role) {
        if (extension.isEmpty())
            return QString();
        const QString name = QStringLiteral(".%1.%2").arg(role, extension);
        return QFile::copy(proxies.filePath(formerID + name), proxies.filePath(item.id + name)) ? extension : QString();
    };
    item.previewExtension = copied(item.previewExtension, QStringLiteral("preview"));
    item.posterExtension = copied(item.posterExtension, QStringLiteral("poster"));
    return item;
}

} // namespace

QCoro::Task<SettledCopy> Library::settleCopy(Item item, Location location)
{
    const AliveGuard alive(this);
    SettledCopy settled{.item = item};
    const std::optional<QString> path = location.local ? url(location) : std::nullopt;
    // A file the quick hash reads whole, or content that was never hashed, has no copy to doubt.
    if (!path || !outgrowsQuickHash(location.size) || item.quickHash.size() < 64
        || item.quickHash.startsWith(QStringLiteral("unhashed:")))
        co_return settled;
    QList<Location> locations;
    try {
        locations = co_await alive(
            readIndex_->run([id = item.id](Index& ix) { return Index::locationsOfItem(id, ix.database()); }));
    } catch (const DatabaseError&) {
        co_return settled;   // nothing known of other copies: no claim is made on them
    }
    QList<OtherCopy> others;
    for (const Location& other : locations) {
        if (other.id == location.id || !other.local)
            continue;
        if (const std::optional<QString> otherPath = url(other))
            others.append(OtherCopy{other.id, *otherPath});
    }
    if (others.isEmpty())
        co_return settled;

    const Comparison found = co_await alive(
        pools_.run(Priority::userInitiated, [path = *path, others] { return compareCopies(path, others); }));
    settled.equalCopies = found.equal.size();
    if (!found.anyDiffers)
        co_return settled;

    Item separate = item;
    separate.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    separate.quickHash = item.quickHash.left(64) + found.digest;
    separate.proxyExtension.clear();   // the larger preview is made again from this content
    separate = co_await alive(pools_.run(Priority::userInitiated, [separate, formerID = item.id, proxies = proxyDirectory_] {
        return pictureCopies(separate, formerID, proxies);
    }));
    QList<qint64> fileIDs{location.id};
    fileIDs.append(found.equal);
    QString heldBy;
    try {
        heldBy = co_await alive(index_->run([fileIDs, formerID = item.id, separate](Index& ix) {
            return ix.separateCopies(fileIDs, formerID, separate);
        }));
    } catch (const DatabaseError& error) {
        setLastError(error.description());
        co_return settled;
    }
    // Another split made the item of this content before: it holds the copies now.
    if (heldBy != separate.id) {
        for (const QString& role : {QStringLiteral("preview"), QStringLiteral("poster")})
            QFile::remove(QDir(proxyDirectory_).filePath(separate.id + QStringLiteral(".%1.jpg").arg(role)));
        separate.id = heldBy;
    }
    settled.item = separate;
    settled.separated = true;
    co_await alive(refreshAfterFileChange());
    co_return settled;
}
