#include "bench/index_scale/SyntheticIndex.h"

#include "Pellmar/index/Index.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QSet>

#include <array>
#include <vector>

namespace {

constexpr std::array eventWords{"Summer", "Wedding", "Paris", "Birthday", "Beach", "Hiking",
                                "Christmas", "Garden", "Concert", "Skiing", "Harbour", "Market"};
constexpr std::array cameras{"Canon EOS R5", "NIKON Z 6", "iPhone 13 Pro", "X-T4", "ILCE-7M3", ""};
constexpr std::array dimensions{std::pair{6000, 4000}, std::pair{4032, 3024}, std::pair{1920, 1080},
                                std::pair{3840, 2160}, std::pair{0, 0}};

struct Layout {
    qint64 files;
    qint64 items;
    qint64 secondCopies;
    qint64 secondAlbumRows; // photo library assets listed in a second album: one more row, same copy
    qint64 unlinked;
    qint64 foldersPerFolderSource;
};

Layout layoutFor(qint64 fileCount)
{
    Layout layout;
    layout.files = fileCount;
    layout.items = fileCount * 85 / 100;
    layout.secondCopies = layout.items / 10;
    layout.secondAlbumRows = layout.items / 100;
    layout.unlinked = fileCount - layout.items - layout.secondCopies - layout.secondAlbumRows;
    layout.foldersPerFolderSource = std::max<qint64>(fileCount / 100, 10); // two folder sources
    return layout;
}

QString leafFolder(qint64 index)
{
    const qint64 year = 2010 + index % 15;
    const qint64 event = index / 15;
    QString path = QStringLiteral("%1/%1-%2 %3 %4")
                       .arg(year)
                       .arg(event % 12 + 1, 2, 10, QLatin1Char('0'))
                       .arg(QString::fromLatin1(eventWords[size_t(event % eventWords.size())]))
                       .arg(event);
    if (index % 3 == 0)
        path += QStringLiteral("/Day %1").arg(index % 7 + 1);
    return path;
}

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

QString searchDate(double seconds)
{
    static const QLocale posix(QLocale::C);
    return posix.toString(QDateTime::fromSecsSinceEpoch(qint64(seconds)), QStringLiteral("yyyy MMMM d dddd"));
}

struct FileRow {
    QString sourceID;
    QString relPath;
    qint64 itemIndex = -1; // -1: not linked yet
    qint64 state = 0;
};

} // namespace

QString SyntheticIndex::sampleFolder()
{
    return leafFolder(1);
}

QStringList SyntheticIndex::workspaceMembers()
{
    return {QString::fromLatin1(homeSourceID) + QStringLiteral("|"),
            QString::fromLatin1(driveSourceID) + QLatin1Char('|') + leafFolder(2),
            QString::fromLatin1(photosSourceID) + QStringLiteral("|#favorites")};
}

QString SyntheticIndex::sampleWord()
{
    return QStringLiteral("wedding");
}

void SyntheticIndex::generate(const QString& path, qint64 fileCount)
{
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QString::fromLatin1(suffix));

    Index index(path);
    index.migrate();
    Database& db = index.database();
    db.exec(QStringLiteral("PRAGMA synchronous = OFF"));

    const Layout layout = layoutFor(fileCount);
    QRandomGenerator random(20261210);
    // Dates follow the day of generation, so that the most recent items fall in the Recents group.
    const double now = double(QDateTime::currentSecsSinceEpoch() / 86400 * 86400);

    Transaction transaction(db);

    const QString home = QString::fromLatin1(homeSourceID);
    const QString drive = QString::fromLatin1(driveSourceID);
    const QString photos = QString::fromLatin1(photosSourceID);
    Statement source(db.db(), QStringLiteral("INSERT INTO sources (id, name, root_path, volume_uuid, volume_name, "
                                             "added_at, kind) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    source.bind({home, "Home", "/home/user", "", "", now - 3000, qint64(0)}).step();
    source.bind({drive, "Archive", "/media/user/Archive", "5F1E-22AB", "Archive", now - 2000, qint64(0)}).step();
    source.bind({photos, "Apple Photos", "", "", "", now - 1000, qint64(1)}).step();

    // Folders of the two folder sources, with every intermediate folder.
    std::vector<QString> leaves;
    leaves.reserve(size_t(layout.foldersPerFolderSource));
    for (qint64 f = 0; f < layout.foldersPerFolderSource; ++f)
        leaves.push_back(leafFolder(f));
    Statement folder(db.db(), QStringLiteral("INSERT OR IGNORE INTO folders (source_id, rel_path, parent_path, mtime) "
                                             "VALUES (?, ?, ?, ?)"));
    for (const QString& sourceID : {home, drive}) {
        QSet<QString> written;
        for (const QString& leaf : leaves) {
            for (QString p = leaf; !p.isEmpty() && !written.contains(p); p = parentOf(p)) {
                written.insert(p);
                folder.bind({sourceID, p, parentOf(p), now - 5000}).step();
            }
        }
    }

    // Files: each item's first copy, then second copies on another source, photo library assets
    // listed in a second album, then files not yet linked. Home holds 60 % of first copies, the
    // drive 30 %, the photo library 10 %; the drive ends up with about a third of all files.
    std::vector<FileRow> files;
    files.reserve(size_t(layout.files));
    qint64 homeFiles = 0;
    qint64 driveFiles = 0;
    const auto folderFile = [&](const QString& sourceID, const QString& name) {
        qint64& count = sourceID == home ? homeFiles : driveFiles;
        return leaves[size_t(count++ % qint64(leaves.size()))] + QLatin1Char('/') + name;
    };
    // An asset at the library's top level has its key alone as its path; an album member has the
    // album path (folders and album) before it.
    const auto assetKey = [](qint64 asset) {
        return QStringLiteral("%1-0000-4000-8000-000000000000_L0_001").arg(asset, 8, 16, QLatin1Char('0'));
    };
    const auto albumPath = [](qint64 album) {
        return album % 3 == 0 ? QStringLiteral("Trips/Album %1").arg(album) : QStringLiteral("Album %1").arg(album);
    };
    constexpr qint64 albumCount = 60;
    struct AlbumMember {
        qint64 item;
        qint64 asset;
        qint64 album;
    };
    std::vector<AlbumMember> albumMembers;
    qint64 assets = 0;
    const auto nameOf = [](qint64 item) { return QStringLiteral("IMG_%1.JPG").arg(item, 7, 10, QLatin1Char('0')); };
    const auto firstSource = [&](qint64 item) {
        const qint64 bucket = item % 20;
        return bucket < 12 ? home : bucket < 18 ? drive : photos;
    };
    for (qint64 item = 0; item < layout.items; ++item) {
        const QString sourceID = firstSource(item);
        const qint64 state = item % 200 == 0 ? 1 : 2;
        if (sourceID != photos) {
            files.push_back({sourceID, folderFile(sourceID, nameOf(item)), item, state});
            continue;
        }
        const qint64 asset = assets++;
        if (asset % 4 == 0) {
            files.push_back({sourceID, assetKey(asset), item, state});
            continue;
        }
        const qint64 album = asset % albumCount;
        albumMembers.push_back({item, asset, album});
        files.push_back({sourceID, albumPath(album) + QLatin1Char('/') + assetKey(asset), item, state});
    }
    for (qint64 copy = 0; copy < layout.secondCopies; ++copy) {
        const qint64 item = copy * 10 + 3;
        const QString sourceID = firstSource(item) == drive ? home : drive;
        files.push_back({sourceID, folderFile(sourceID, nameOf(item)), item, 2});
    }
    for (qint64 row = 0; row < layout.secondAlbumRows; ++row) {
        const AlbumMember& member = albumMembers[size_t(row * qint64(albumMembers.size()) / layout.secondAlbumRows)];
        const QString path = albumPath((member.album + 1) % albumCount) + QLatin1Char('/') + assetKey(member.asset);
        files.push_back({photos, path, member.item, 2});
    }
    for (qint64 pending = 0; pending < layout.unlinked; ++pending) {
        const QString sourceID = pending % 2 ? home : drive;
        const qint64 state = pending % 13 == 0 ? 3 : pending % 29 == 0 ? 4 : 0;
        files.push_back({sourceID, folderFile(sourceID, QStringLiteral("NEW_%1.MOV").arg(pending)), -1, state});
    }

    // Items, with weak-id twins: every hundredth item repeats the name, size and date of its neighbour.
    Statement itemInsert(db.db(), QStringLiteral(
        "INSERT INTO items (id, quick_hash, kind, filename, captured_at, width, height, duration, camera, lens, "
        "preview_ext, proxy_ext, poster_ext, full_error, created_at, weak_id, modified_at, added_at, uti) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, '', ?, ?, ?, NULL, ?, ?, ?, ?, ?)"));
    Statement searchInsert(db.db(), QStringLiteral("INSERT INTO search (item_id, text) VALUES (?, ?)"));
    std::vector<QString> itemIDs(size_t(layout.items));
    std::vector<QString> hashes(size_t(layout.items));
    for (qint64 item = 0; item < layout.items; ++item) {
        const qint64 twinOf = item % 100 == 1 ? item - 1 : item;
        const qint64 bucket = qint64(quint64(item) * 2654435761ULL / 128 % 100); // independent of the source
        const qint64 kind = bucket < 80 ? 0 : bucket < 95 ? 1 : bucket < 98 ? 2 : 3;
        const auto [width, height] = kind == 2 || kind == 3 ? std::pair{0, 0} : dimensions[size_t(twinOf % 4)];
        const bool hasCapture = twinOf % 50 != 7;
        // Spread over fifteen years before now.
        const double captured = now - double(quint64(twinOf) * 2654435761ULL % 473040000ULL);
        const QString filename = nameOf(twinOf);
        const QString weak = hasCapture && width > 0 && height > 0
            ? QStringLiteral("%1|%2x%3|%4").arg(filename.toLower()).arg(width).arg(height).arg(qint64(captured))
            : QString();
        const QString camera = kind == 0 ? QString::fromLatin1(cameras[size_t(item % cameras.size())]) : QString();
        itemIDs[size_t(item)] = QStringLiteral("C%1-0000-4000-8000-000000000000").arg(item, 7, 10, QLatin1Char('0'));
        hashes[size_t(item)] = QStringLiteral("%1").arg(quint64(item) * 0x9E3779B97F4A7C15ULL, 64, 16, QLatin1Char('0'));
        const double modified = now - 86400.0 * double(item % 3000);
        const bool hasProxy = item % 10 < 7;
        itemInsert
            .bind({itemIDs[size_t(item)], hashes[size_t(item)], kind, filename,
                   hasCapture ? SqlValue(captured) : SqlValue(), qint64(width), qint64(height),
                   kind == 1 || kind == 2 ? 12.5 : 0.0, camera, kind <= 1 ? "jpg" : "",
                   hasProxy ? (kind == 1 ? "mp4" : "heic") : "", kind == 1 ? "jpg" : "", now - 100.0 * double(item % 9000),
                   weak, modified, modified + 60.0, kind == 1 ? "video/mp4" : "image/jpeg"})
            .step();
        const QString text = filename + QLatin1Char(' ') + camera
            + (hasCapture ? QLatin1Char(' ') + searchDate(captured) : QString()) + QLatin1Char(' ')
            + QString::fromLatin1(eventWords[size_t(item % eventWords.size())]);
        searchInsert.bind({itemIDs[size_t(item)], text}).step();
    }

    Statement fileInsert(db.db(), QStringLiteral(
        "INSERT INTO files (source_id, rel_path, size, mtime, quick_hash, item_id, state, error, asset_id, local, "
        "favorite, subtype, raw, added_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const FileRow& file : files) {
        const bool linked = file.itemIndex >= 0;
        const bool isAsset = file.sourceID == photos;
        const QString assetID = isAsset ? file.relPath.section(QLatin1Char('/'), -1).replace(QLatin1Char('_'), QLatin1Char('/'))
                                        : QString();
        const qint64 seed = linked ? file.itemIndex : qint64(random.bounded(1 << 30));
        // The source of an item follows its index modulo 20; its flags follow the rest.
        const qint64 flagSeed = seed / 20;
        fileInsert
            .bind({file.sourceID, file.relPath, 1000000 + seed % 5000000, now - 86400.0 * double(seed % 3000),
                   linked ? SqlValue(hashes[size_t(file.itemIndex)]) : SqlValue(),
                   linked ? SqlValue(itemIDs[size_t(file.itemIndex)]) : SqlValue(), file.state,
                   file.state == 3 ? SqlValue("unreadable image") : file.state == 4 ? SqlValue("empty file") : SqlValue(),
                   assetID, isAsset && flagSeed % 20 == 0 ? qint64(0) : qint64(1), isAsset && flagSeed % 25 == 0,
                   isAsset && flagSeed % 30 == 0 ? qint64(screenshotSubtype) : qint64(0), flagSeed % 40 == 0,
                   now - 50.0 * double(seed % 9000)})
            .step();
    }

    // Favorites in two workspaces, members and pins.
    Statement workspace(db.db(), QStringLiteral("INSERT INTO workspaces (id, name, symbol, tint, position, created_at) "
                                                "VALUES (?, ?, ?, ?, ?, ?)"));
    const QString custom = QString::fromLatin1(workspaceID);
    workspace.bind({custom, "Family", "person.2", "orange", qint64(1), now}).step();
    Statement member(db.db(), QStringLiteral("INSERT INTO workspace_sources (workspace_id, source_id, path) VALUES (?, ?, ?)"));
    for (const QString& key : workspaceMembers()) {
        const ScopeKey split = ScopeKey::parse(key);
        member.bind({custom, split.sourceID, split.path}).step();
    }
    Statement favorite(db.db(), QStringLiteral("INSERT OR IGNORE INTO favorites (workspace_id, item_id, added_at) VALUES (?, ?, ?)"));
    const qint64 favoritesPerWorkspace = std::max<qint64>(layout.items / 170, 10);
    for (qint64 f = 0; f < favoritesPerWorkspace; ++f) {
        favorite.bind({Index::everythingWorkspaceID, itemIDs[size_t(f * 157 % layout.items)], now - double(f)}).step();
        favorite.bind({custom, itemIDs[size_t(f * 131 % layout.items)], now - double(f)}).step();
    }
    Statement pin(db.db(), QStringLiteral("INSERT INTO pins (workspace_id, source_id, path, position) VALUES (?, ?, ?, ?)"));
    for (qint64 p = 0; p < 5; ++p)
        pin.bind({Index::everythingWorkspaceID, home, leafFolder(p), p}).step();

    transaction.commit();
    db.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}
