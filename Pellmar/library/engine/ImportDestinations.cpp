#include "Pellmar/library/engine/ImportDestinations.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Hashing.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/media/CardFiles.h"
#include "Pellmar/platform/Defaults.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

bool isAtOrBelow(const QString& path, const QString& root)
{
    return path == root || path.startsWith(root + u'/');
}

} // namespace

bool isOnDevice(const QString& path, const QList<Device>& devices)
{
    for (const Device& device : devices)
        if (isAtOrBelow(path, device.url))
            return true;
    return false;
}

std::optional<ImportTarget> decodeImportTarget(const QString& stored, const QList<Device>& devices)
{
    // At most two splits from the left, so an album's name keeps any "|" it holds.
    QStringList parts;
    qsizetype start = 0;
    while (parts.size() < 2) {
        const qsizetype bar = stored.indexOf(u'|', start);
        if (bar < 0)
            break;
        parts.append(stored.mid(start, bar - start));
        start = bar + 1;
    }
    parts.append(stored.mid(start));
    parts.removeAll(QString());

    if (parts.size() == 2 && parts[0] == u"folder") {
        const QString path = QDir::cleanPath(QFileInfo(parts[1]).absoluteFilePath());
        if (!QFileInfo::exists(path) || isOnDevice(path, devices))
            return std::nullopt;
        return ImportTarget::folder(path);
    }
    if (parts.size() == 3 && parts[0] == u"album")
        return ImportTarget::album(PhotosAlbum{parts[1], parts[2]});
    return std::nullopt;
}

std::optional<Source> coveringSource(const QString& path, const QList<Source>& sources)
{
    std::optional<Source> best;
    for (const Source& source : sources) {
        if (source.kind != SourceKind::folder || !isAtOrBelow(path, source.rootPath))
            continue;
        if (!best || source.rootPath.size() > best->rootPath.size())
            best = source;
    }
    return best;
}

QString destinationLabel(const ImportTarget& target, const QList<Source>& sources)
{
    const QString library = QString::fromUtf16(photoLibraryLabel);
    if (const auto* album = std::get_if<PhotosAlbum>(&target.destination))
        return library + QStringLiteral(" > ") + album->name;
    if (const auto* newAlbum = std::get_if<ImportTarget::NewAlbum>(&target.destination))
        return library + QStringLiteral(" > ") + (newAlbum->name.isEmpty() ? QStringLiteral("New Album") : newAlbum->name);

    const QString path = std::get<ImportTarget::Folder>(target.destination).url;
    const std::optional<Source> source = coveringSource(path, sources);
    if (!source)
        return path;
    QStringList pieces{source->name};
    pieces += path.mid(source->rootPath.size()).split(u'/', Qt::SkipEmptyParts);
    return pieces.join(QStringLiteral(" > "));
}

// Library's side: the same rules over its sources, devices and stored settings.

QCoro::Task<ImportTarget> Library::defaultImportTarget()
{
    const AliveGuard alive(this);
    const std::optional<QString> stored = importDefault();
    const QString downloads = QDir::home().filePath(QStringLiteral("Downloads"));
    co_return co_await alive(pools().run(Priority::userInitiated, [stored, devices = devices(), downloads] {
        if (stored)
            if (std::optional<ImportTarget> target = decodeImportTarget(*stored, devices))
                return *target;
        // The home's own Downloads is made when it is missing: it lies on the computer's own disk,
        // so it cannot stand for a drive that went away. Only this one folder is ever made.
        if (!QFileInfo::exists(downloads))
            QDir().mkdir(downloads);
        return ImportTarget::folder(downloads);
    }));
}

QCoro::Task<QList<ImportTarget>> Library::recentImportTargets()
{
    const AliveGuard alive(this);
    const QStringList stored = defaults().stringList(QStringLiteral("recentDestinations"));
    co_return co_await alive(pools().run(Priority::userInitiated, [stored, devices = devices()] {
        QList<ImportTarget> targets;
        for (const QString& text : stored)
            if (std::optional<ImportTarget> target = decodeImportTarget(text, devices))
                targets.append(*target);
        return targets;
    }));
}

QList<Source> Library::importLocations() const
{
    QList<Source> locations;
    for (const Source& source : sources())
        if (source.kind == SourceKind::folder && online().contains(source.id) && !isOnDevice(source.rootPath, devices()))
            locations.append(source);
    return locations;
}

QString Library::destinationLabel(const ImportTarget& target) const
{
    return ::destinationLabel(target, sources());
}

void Library::rememberDestination(const ImportTarget& target)
{
    constexpr qsizetype kept = 5;
    QStringList recent = defaults().stringList(QStringLiteral("recentDestinations"));
    recent.removeAll(target.id());
    recent.prepend(target.id());
    defaults().set(QStringLiteral("recentDestinations"), QStringList(recent.mid(0, kept)));
}

namespace {

// The card file and the indexed copies of its content that can be reached.
struct IndexedCopies {
    QString cardPath;
    QStringList copies;
};

// Whether the card file equals every indexed copy that can be read.
bool equalsItsCopies(const IndexedCopies& file)
{
    for (const QString& copy : file.copies) {
        try {
            if (!sameContent(file.cardPath, copy))
                return false;
        } catch (const FileError&) {
            // Unreadable now: it proves nothing either way.
        }
    }
    return true;
}

} // namespace

QCoro::Task<QSet<QString>> Library::knownCardFiles(QList<CardFile> files, bool compareInFull)
{
    const AliveGuard alive(this);
    const QHash<QString, QString> hashes =
        co_await alive(pools().run(Priority::userInitiated, [files] { return cardQuickHashes(files); }));
    QSet<QString> known;
    try {
        const QStringList wanted = hashes.values();
        known = co_await alive(index().run([wanted](Index& ix) { return ix.knownHashes(wanted); }));
    } catch (const DatabaseError&) {
        // Every file then counts as not yet in the index.
    }
    QSet<QString> urls;
    for (auto it = hashes.cbegin(); it != hashes.cend(); ++it)
        if (known.contains(it.value()))
            urls.insert(it.key());
    if (!compareInFull)
        co_return urls;

    QList<IndexedCopies> doubtful;
    for (const CardFile& file : files) {
        if (!urls.contains(file.url) || !outgrowsQuickHash(file.size))
            continue;
        QList<Location> locations;
        try {
            locations = co_await alive(readIndex().run([hash = hashes.value(file.url)](Index& ix) {
                const std::optional<Item> item = ix.itemByHash(hash);
                return item ? Index::locationsOfItem(item->id, ix.database()) : QList<Location>();
            }));
        } catch (const DatabaseError&) {
            urls.remove(file.url);   // the index cannot say what it holds: the file is imported
            continue;
        }
        IndexedCopies copies{.cardPath = file.url};
        for (const Location& location : locations)
            if (const std::optional<QString> path = location.local ? url(location) : std::nullopt)
                copies.copies.append(*path);
        doubtful.append(copies);
    }
    const QStringList differing = co_await alive(pools().run(Priority::userInitiated, [doubtful] {
        QStringList found;
        for (const IndexedCopies& file : doubtful)
            if (!equalsItsCopies(file))
                found.append(file.cardPath);
        return found;
    }));
    for (const QString& path : differing)
        urls.remove(path);
    co_return urls;
}
