#include "Pellmar/index/Index.h"
#include "Pellmar/index/IndexRows.h"
#include "Pellmar/index/IndexScope.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>

namespace {

struct FolderTreeParts {
    const Source& source;
    const QHash<QString, QStringList>& children;
    const QHash<QString, qint64>& counts;
};

FolderNode buildFolderTree(const QString& path, const FolderTreeParts& parts)
{
    QStringList childPaths = parts.children.value(path);
    std::sort(childPaths.begin(), childPaths.end(), treeNameLess);
    QList<FolderNode> childNodes;
    childNodes.reserve(childPaths.size());
    for (const QString& childPath : childPaths)
        childNodes.append(buildFolderTree(childPath, parts));
    return FolderNode{
        .id = parts.source.id + QLatin1Char('/') + path,
        .sourceID = parts.source.id,
        .path = path,
        .name = path.isEmpty() ? parts.source.name : lastComponent(path),
        .count = parts.counts.value(path, 0),
        .children = childNodes,
        .smart = std::nullopt,
    };
}

} // namespace

FolderNode Index::sourceTree(const Source& source)
{
    // The folder counts and the smart groups come from one state of the index.
    ReadSnapshot snapshot(db_);
    QHash<QString, qint64> counts{{QString(), 0}};
    if (source.kind == SourceKind::photos) {
        // The index keeps each folder's count: the rows of one asset (one per album) count once.
        Statement folders(db_.db(), QStringLiteral("SELECT folder, assets FROM photo_folders WHERE source_id = ?"));
        folders.bind({source.id});
        while (folders.step())
            counts.insert(folders.text(0), folders.int64(1));
    } else {
        // Files count in every folder above them: the index keeps how many lie directly in each folder.
        Statement folders(db_.db(), QStringLiteral("SELECT folder, files FROM folder_files WHERE source_id = ?"));
        folders.bind({source.id});
        while (folders.step()) {
            const qint64 files = folders.int64(1);
            for (QString folder = folders.text(0); !folder.isEmpty(); folder = parentPath(folder))
                counts[folder] += files;
        }
    }

    QSet<QString> dirs(counts.keyBegin(), counts.keyEnd());
    if (source.kind == SourceKind::folder) {
        // Folders without files join the tree with count 0, with every folder above them.
        Statement folders(db_.db(), QStringLiteral("SELECT rel_path FROM folders WHERE source_id = ?"));
        folders.bind({source.id});
        while (folders.step()) {
            for (QString folder = folders.text(0); !folder.isEmpty(); folder = parentPath(folder)) {
                if (dirs.contains(folder))
                    break;
                dirs.insert(folder);
            }
        }
    }

    QHash<QString, QStringList> children;
    for (const QString& dir : std::as_const(dirs)) {
        if (!dir.isEmpty())
            children[parentPath(dir)].append(dir);
    }

    FolderNode root = buildFolderTree(QString(), {source, children, counts});
    if (source.kind != SourceKind::photos)
        return root;

    // Each group counts distinct assets; Recents, which moves with the clock, is counted through
    // the index of the assets by capture date. A library without rows has no row here.
    Statement groups(db_.db(),
        QStringLiteral("SELECT favorites, (SELECT COUNT(*) FROM photo_assets WHERE source_id = g.source_id AND captured_at >= ?),\n"
                       "\tphotos, videos, raws, screenshots, in_albums FROM photo_groups AS g WHERE source_id = ?"));
    groups.bind({QDateTime::currentDateTimeUtc().addSecs(-recentsSeconds), source.id});
    if (!groups.step())
        return root;

    // The smart groups are SmartFilter's cases in declaration order, one column each.
    QList<FolderNode> smartNodes;
    for (int column = 0; column < int(allSmartFilters.size()); ++column) {
        const qint64 count = groups.int64(column);
        if (count < 1)
            continue;
        const SmartFilter filter = allSmartFilters[column];
        smartNodes.append(FolderNode{
            .id = source.id + QStringLiteral("/#") + rawValue(filter),
            .sourceID = source.id,
            .path = QString(),
            .name = smartGroupLabel(filter),
            .count = count,
            .children = filter == SmartFilter::albums ? root.children : QList<FolderNode>(),
            .smart = filter,
        });
    }
    root.children = smartNodes;
    return root;
}

QStringList Index::inFlightFiles(qint64 limit)
{
    Statement rows(db_.db(),
        QStringLiteral("SELECT i.filename, f.rel_path FROM files f LEFT JOIN items i ON i.id = f.item_id "
                       "WHERE f.state = 1 ORDER BY f.id LIMIT ?"));
    rows.bind({limit});
    QStringList names;
    while (rows.step())
        names.append(rows.isNull(0) ? lastComponent(rows.text(1)) : rows.text(0));
    return names;
}

QHash<QString, Index::SourceProgress> Index::progressBySource()
{
    Statement rows(db_.db(), QStringLiteral("SELECT source_id, SUM(CASE WHEN state IN (2, 3, 4) THEN files ELSE 0 END), "
                                            "SUM(files) FROM source_states GROUP BY source_id"));
    QHash<QString, SourceProgress> progress;
    while (rows.step())
        progress.insert(rows.text(0), {rows.int64(1), rows.int64(2)});
    return progress;
}

QList<Index::FileFailure> Index::recentFailures(qint64 limit)
{
    Statement rows(db_.db(), QStringLiteral("SELECT rel_path, error FROM files WHERE state = 3 ORDER BY id DESC LIMIT ?"));
    rows.bind({limit});
    QList<FileFailure> failures;
    while (rows.step())
        failures.append({rows.text(0), rows.text(1)});
    return failures;
}

qint64 Index::countItems()
{
    Statement rows(db_.db(), QStringLiteral("SELECT COUNT(*) FROM items"));
    return rows.step() ? rows.int64(0) : 0;
}

qint64 Index::dataVersion()
{
    // A failed reading throws: a made-up version could pass for an unchanged index.
    Statement version(db_.db(), QStringLiteral("PRAGMA data_version"));
    version.step();
    return version.int64(0);
}
