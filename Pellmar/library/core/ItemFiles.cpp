#include "Pellmar/library/Library.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/TileImages.h"
#include "Pellmar/platform/CloudFiles.h"

#include <QCoroFuture>
#include <QDateTime>
#include <QFileInfo>

#include <algorithm>

namespace {

bool inPhotoLibrary(const Location& location)
{
    return !location.assetID.isEmpty();
}

// The first candidate copy (local, with a path) whose file exists, as `exists` tells.
template <typename Exists>
std::optional<Location> firstExisting(const QList<std::pair<Location, QString>>& candidates, Exists exists)
{
    for (const auto& [location, path] : candidates) {
        if (exists(path))
            return location;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> Library::proxyURL(const Item& item) const
{
    if (item.proxyExtension.isEmpty() || item.proxyExtension == QLatin1String("none"))
        return std::nullopt;
    return proxyDirectory_ + u'/' + item.id + u'.' + item.proxyExtension;
}

std::optional<QString> Library::previewURL(const Item& item) const
{
    const QString stem = proxyDirectory_ + u'/' + item.id;
    if (item.kind == MediaKind::video && !item.posterExtension.isEmpty())
        return stem + QStringLiteral(".poster.") + item.posterExtension;
    if (!item.previewExtension.isEmpty())
        return stem + QStringLiteral(".preview.") + item.previewExtension;
    // The photo proxy stands in for a missing preview.
    if (item.proxyExtension == QLatin1String("heic"))
        return stem + QStringLiteral(".heic");
    return std::nullopt;
}

std::optional<QString> Library::tileImageURL(const Item& item) const
{
    if (item.kind != MediaKind::photo || !item.previewExtension.isEmpty() || item.proxyExtension != QLatin1String("heic"))
        return std::nullopt;
    return tileImagePath(proxyDirectory_ + u'/' + item.id + QStringLiteral(".heic"));
}

std::optional<QString> Library::imageURL(const Item& item) const
{
    if (item.proxyExtension == QLatin1String("heic") || item.proxyExtension == QLatin1String("png"))
        return proxyURL(item);
    return previewURL(item);
}

bool Library::canView(const Item& item) const
{
    switch (item.kind) {
    case MediaKind::photo: return imageURL(item).has_value();
    case MediaKind::video: return proxyURL(item).has_value();
    case MediaKind::audio:
    case MediaKind::document: return false;
    }
    return false;
}

QList<Location> Library::locationsOf(const Item& item) const
{
    if (const auto found = itemLocations_.constFind(item.id); found != itemLocations_.cend())
        return found.value();
    if (selection_ && selection_->id == item.id && !locations_.isEmpty())
        return locations_;
    if (!reader_)
        return {};
    try {
        return Index::locationsOfItem(item.id, *reader_);
    } catch (const DatabaseError&) {
        return {};
    }
}

std::optional<QString> Library::url(const Location& location) const
{
    if (inPhotoLibrary(location))
        return std::nullopt;
    const std::optional<Source> source = sourceByID(location.sourceID);
    if (!source || source->kind != SourceKind::folder || !online_.contains(source->id))
        return std::nullopt;
    return source->rootPath + u'/' + location.relativePath;
}

std::optional<Source> Library::sourceByID(const QString& id) const
{
    const auto source = std::find_if(sources_.cbegin(), sources_.cend(), [&](const Source& entry) { return entry.id == id; });
    return source == sources_.cend() ? std::nullopt : std::optional(*source);
}

namespace {

// The local copies that have a path now, with that path.
QList<std::pair<Location, QString>> reachCandidates(const Library& library, const QList<Location>& locations)
{
    QList<std::pair<Location, QString>> candidates;
    for (const Location& location : locations) {
        if (!location.local)
            continue;
        if (const std::optional<QString> path = library.url(location))
            candidates.append({location, *path});
    }
    return candidates;
}

bool fileExists(const QString& path)
{
    return QFileInfo::exists(path);
}

} // namespace

std::optional<Location> Library::reachableURL(const QList<Location>& locations) const
{
    return firstExisting(reachCandidates(*this, locations), fileExists);
}

QCoro::Task<std::optional<Location>> Library::reachableCopy(QList<Location> locations)
{
    const AliveGuard alive(this);
    // Which sources are online is known here; only the files are looked at elsewhere, where a
    // slow drive holds up no one.
    co_return co_await alive(pools_.run(Priority::userInitiated, [candidates = reachCandidates(*this, locations)] {
        return firstExisting(candidates, fileExists);
    }));
}

std::optional<QString> Library::bestFileURL(const Item& item) const
{
    if (const std::optional<Location> copy = reachableURL(locationsOf(item)); copy && copy->local) {
        if (const std::optional<QString> path = url(*copy))
            return path;
    }
    if (item.kind == MediaKind::document)
        return std::nullopt;
    for (const std::optional<QString>& path : {proxyURL(item), previewURL(item)}) {
        if (path && fileExists(*path))
            return path;
    }
    return std::nullopt;
}

namespace {

// The copies that have a path now, with that path, in order.
QList<std::pair<Location, QString>> copiesWithPaths(const Library& library, const QList<Location>& locations)
{
    QList<std::pair<Location, QString>> copies;
    for (const Location& location : locations) {
        if (const std::optional<QString> path = library.url(location))
            copies.append({location, *path});
    }
    return copies;
}

// The first copy that a cloud drive keeps; asks the drive about files in the home folder.
std::optional<Library::CloudCopy> firstCloudCopy(const QList<std::pair<Location, QString>>& copies,
                                                 const CloudFiles& cloud, const QString& home)
{
    for (const auto& [location, path] : copies) {
        if (!location.local)
            return Library::CloudCopy{location, path, false};
        if (path.startsWith(home + QStringLiteral("Library/Mobile Documents/")))
            return Library::CloudCopy{location, path, true};
        if (path.startsWith(home) && cloud.isCloudItem(path))
            return Library::CloudCopy{location, path, true};
    }
    return std::nullopt;
}

} // namespace

std::optional<Library::CloudCopy> Library::isCloudFile(const QList<Location>& locations) const
{
    return firstCloudCopy(copiesWithPaths(*this, locations), *cloud_, homePath() + u'/');
}

namespace {

// What an item's files are looked at for, gathered on the GUI thread.
struct FactsQuestion {
    QString id;
    QList<std::pair<Location, QString>> copies;        // with paths now
    QList<std::pair<Location, QString>> reachCandidates;
    QStringList previewFiles;                          // for sharing, but for a document
};

Library::FileFacts answer(const FactsQuestion& question, const CloudFiles& cloud, const QString& home)
{
    Library::FileFacts facts;
    facts.reachable = firstExisting(question.reachCandidates, fileExists);
    if (facts.reachable) {
        const auto path = std::find_if(question.reachCandidates.cbegin(), question.reachCandidates.cend(),
                                       [&](const auto& entry) { return entry.first == *facts.reachable; });
        facts.shareFile = path->second;
        // QFileInfo reads the birth time through statx; file systems that keep none give nothing.
        if (const QDateTime born = QFileInfo(path->second).birthTime(); born.isValid())
            facts.created = double(born.toMSecsSinceEpoch()) / 1000.0;
    }
    for (qsizetype at = 0; !facts.shareFile && at < question.previewFiles.size(); ++at) {
        if (fileExists(question.previewFiles.at(at)))
            facts.shareFile = question.previewFiles.at(at);
    }
    facts.cloud = firstCloudCopy(question.copies, cloud, home);
    return facts;
}

} // namespace

Library::FileFacts Library::fileFactsOf(const Item& item) const
{
    if (const auto known = fileFacts_.constFind(item.id); known != fileFacts_.cend())
        return known.value();
    const QList<Location> copies = locationsOf(item);
    FileFacts facts;
    for (const auto& [location, path] : reachCandidates(*this, copies)) {
        facts.reachable = location;
        facts.shareFile = path;
        break;
    }
    if (!facts.shareFile && item.kind != MediaKind::document)
        facts.shareFile = previewURL(item);
    for (const auto& [location, path] : copiesWithPaths(*this, copies)) {
        if (!location.local) {
            facts.cloud = CloudCopy{location, path, false};
            break;
        }
    }
    return facts;
}

void Library::refreshFileFacts()
{
    if (fileFactsPending)
        return;
    fileFactsPending = true;
    QMetaObject::invokeMethod(this, [this] {
        fileFactsPending = false;
        Tasks::start(loadFileFacts());
    }, Qt::QueuedConnection);
}

QCoro::Task<> Library::loadFileFacts()
{
    const AliveGuard alive(this);
    const quint64 generation = ++fileFactsGeneration;
    QList<Item> items = selectedItems();
    const bool listed = selection_ && std::any_of(items.cbegin(), items.cend(), [this](const Item& item) {
        return item.id == selection_->id;
    });
    if (selection_ && !listed)
        items.prepend(*selection_);
    QList<FactsQuestion> questions;
    for (const Item& item : std::as_const(items)) {
        const QList<Location> copies = selection_ && selection_->id == item.id ? locations_ : locationsOf(item);
        FactsQuestion question{item.id, copiesWithPaths(*this, copies), reachCandidates(*this, copies), {}};
        if (item.kind != MediaKind::document) {
            for (const std::optional<QString>& path : {proxyURL(item), previewURL(item)}) {
                if (path)
                    question.previewFiles.append(*path);
            }
        }
        questions.append(std::move(question));
    }
    const QHash<QString, FileFacts> facts = co_await alive(pools_.run(
        Priority::userInitiated,
        [questions = std::move(questions), cloud = cloud_, home = homePath() + u'/'] {
            QHash<QString, FileFacts> answers;
            for (const FactsQuestion& question : questions)
                answers.insert(question.id, answer(question, *cloud, home));
            return answers;
        }));
    if (generation == fileFactsGeneration)
        setFileFacts(facts);
}

std::optional<QStringList> Library::photosAssetIDs(const Item& item) const
{
    const QList<Location> copies = locationsOf(item);
    if (copies.isEmpty() || !std::all_of(copies.cbegin(), copies.cend(), inPhotoLibrary))
        return std::nullopt;
    QStringList ids;
    for (const Location& copy : copies)
        ids.append(copy.assetID);
    return ids;
}

bool Library::isFavorite(const Item& item) const
{
    if (photosAssetIDs(item))
        return photoFavorites_.contains(item.id);
    return favorites_.contains(item.id);
}
