#include "Pellmar/views/destination/DestinationRules.h"

#include "Pellmar/media/ScanningRules.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace destination {

namespace {

bool isAlbum(const PhotosNode& node)
{
    return !node.children.has_value();
}

QList<PhotosNode> albumsOf(const QList<PhotosNode>& nodes)
{
    QList<PhotosNode> albums;
    for (const PhotosNode& node : nodes)
        if (isAlbum(node))
            albums.append(node);
    return albums;
}

void addFolderGroups(const QList<PhotosNode>& nodes, QList<AlbumGroup>& groups)
{
    for (const PhotosNode& node : nodes) {
        if (isAlbum(node))
            continue;
        groups.append({node.id, node.path, albumsOf(*node.children)});
        addFolderGroups(*node.children, groups);
    }
}

QString albumCount(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 album") : QString::number(count) + QStringLiteral(" albums");
}

} // namespace

QString trimBlanks(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (start < end && blank(text[start]))
        ++start;
    while (end > start && blank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

QList<AlbumGroup> albumGroups(const QList<PhotosNode>& tree)
{
    QList<AlbumGroup> groups{{QString::fromUtf16(topAlbumsGroup), QStringLiteral("Albums"), albumsOf(tree)}};
    addFolderGroups(tree, groups);

    QHash<QString, QSet<qsizetype>> countsByName;
    for (const AlbumGroup& group : groups)
        countsByName[group.name].insert(group.albums.size());
    for (AlbumGroup& group : groups)
        if (countsByName.value(group.name).size() > 1)
            group.name += QStringLiteral(" (") + albumCount(group.albums.size()) + u')';

    QHash<QString, int> seen;
    for (AlbumGroup& group : groups) {
        const int n = ++seen[group.name];
        if (n > 1)
            group.name += u' ' + QString::number(n);
    }
    return groups;
}

QList<PhotosNode> filterAlbums(const QList<AlbumGroup>& groups, const QString& groupID, const QString& filter)
{
    const QString term = filter.trimmed().toLower();
    QList<PhotosNode> shown;
    for (const AlbumGroup& group : groups) {
        if (term.isEmpty()) {
            if (group.id == groupID)
                return group.albums;
            continue;
        }
        for (const PhotosNode& album : group.albums)
            if (album.name.toLower().contains(term))
                shown.append(album);
    }
    return shown;
}

ImportTarget albumTarget(const PhotosNode& node)
{
    return ImportTarget::album(PhotosAlbum{node.id, node.path});
}

bool isAtOrBelow(const QString& path, const QString& root)
{
    return path == root || path.startsWith(root + u'/');
}

std::optional<QString> rootKey(const ImportTarget& target, const QList<Source>& locations)
{
    const auto* folder = std::get_if<ImportTarget::Folder>(&target.destination);
    if (!folder)
        return QString::fromUtf16(photosPlace);
    const Source* best = nullptr;
    for (const Source& location : locations)
        if (isAtOrBelow(folder->url, location.rootPath) && (!best || location.rootPath.size() > best->rootPath.size()))
            best = &location;
    return best ? std::optional(best->id) : std::nullopt;
}

QStringList folderListing(const QString& folder, const QStringList& excluded)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    const auto isExcluded = [&excluded](const QFileInfo& entry) {
        const QStringList forms{entry.filePath(), QDir::cleanPath(entry.absoluteFilePath()), entry.canonicalFilePath()};
        for (const QString& path : excluded)
            for (const QString& form : forms)
                if (!form.isEmpty() && isAtOrBelow(form, path))
                    return true;
        return false;
    };

    QStringList listing;
    for (const QFileInfo& entry : entries) {
        if (entry.isHidden() || isExcluded(entry) || !entry.isDir() || isPackageName(entry.fileName()))
            continue;
        listing.append(entry.filePath());
    }
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(listing.begin(), listing.end(), [&collator](const QString& a, const QString& b) {
        return collator.compare(QFileInfo(a).fileName(), QFileInfo(b).fileName()) < 0;
    });
    return listing;
}

QStringList filterFolders(const QStringList& folders, const QString& filter)
{
    const QString term = trimBlanks(filter).toLower();
    if (term.isEmpty())
        return folders;
    QStringList kept;
    for (const QString& folder : folders)
        if (QFileInfo(folder).fileName().toLower().contains(term))
            kept.append(folder);
    return kept;
}

CreatedFolder createFolder(const QString& name, const QString& parent)
{
    if (name.contains(u'/') || name.startsWith(u'.'))
        return {{}, QStringLiteral("A folder name cannot contain a slash or start with a dot.")};
    const QString path = QDir(parent).filePath(name);
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0)
        return {{}, QString::fromLocal8Bit(std::strerror(errno)) + u'.'};
    return {path, {}};
}

QString newFolderParent(const std::optional<ImportTarget>& target, const QString& locationRoot)
{
    if (target)
        if (const auto* folder = std::get_if<ImportTarget::Folder>(&target->destination))
            if (isAtOrBelow(folder->url, locationRoot))
                return folder->url;
    return locationRoot;
}

} // namespace destination
