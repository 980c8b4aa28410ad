#include "Pellmar/index/Model.h"

#include <QDateTime>
#include <QDir>
#include <QJsonValue>

#include <cmath>
#include <limits>

QString rawValue(SmartFilter filter)
{
    switch (filter) {
    case SmartFilter::favorites: return QStringLiteral("favorites");
    case SmartFilter::recents: return QStringLiteral("recents");
    case SmartFilter::photos: return QStringLiteral("photos");
    case SmartFilter::videos: return QStringLiteral("videos");
    case SmartFilter::raw: return QStringLiteral("raw");
    case SmartFilter::screenshots: return QStringLiteral("screenshots");
    case SmartFilter::albums: return QStringLiteral("albums");
    }
    return {};
}

QString rawValue(SortField field)
{
    switch (field) {
    case SortField::name: return QStringLiteral("name");
    case SortField::kind: return QStringLiteral("kind");
    case SortField::captured: return QStringLiteral("captured");
    case SortField::modified: return QStringLiteral("modified");
    case SortField::added: return QStringLiteral("added");
    }
    return {};
}

QString smartGroupLabel(SmartFilter filter)
{
    switch (filter) {
    case SmartFilter::favorites: return QStringLiteral("Favorites");
    case SmartFilter::recents: return QStringLiteral("Recents");
    case SmartFilter::photos: return QStringLiteral("Images");
    case SmartFilter::videos: return QStringLiteral("Videos");
    case SmartFilter::raw: return QStringLiteral("RAW");
    case SmartFilter::screenshots: return QStringLiteral("Screenshots");
    case SmartFilter::albums: return QStringLiteral("Albums");
    }
    return {};
}

QString kindWord(MediaKind kind)
{
    switch (kind) {
    case MediaKind::photo: return QStringLiteral("Photo");
    case MediaKind::video: return QStringLiteral("Video");
    case MediaKind::audio: return QStringLiteral("Audio");
    case MediaKind::document: return QStringLiteral("Document");
    }
    return {};
}

namespace {

template <typename Enum>
std::optional<Enum> caseOfInteger(qint64 raw, Enum last)
{
    if (raw < 0 || raw > qint64(last))
        return std::nullopt;
    return Enum(raw);
}

template <typename Enum, std::size_t count>
std::optional<Enum> caseOfText(const QString& raw, const std::array<Enum, count>& cases)
{
    for (Enum value : cases) {
        if (rawValue(value) == raw)
            return value;
    }
    return std::nullopt;
}

} // namespace

std::optional<MediaKind> mediaKindFromRawValue(qint64 raw) { return caseOfInteger(raw, MediaKind::document); }
std::optional<FileState> fileStateFromRawValue(qint64 raw) { return caseOfInteger(raw, FileState::empty); }
std::optional<SourceKind> sourceKindFromRawValue(qint64 raw) { return caseOfInteger(raw, SourceKind::photos); }
std::optional<SmartFilter> smartFilterFromRawValue(const QString& raw) { return caseOfText(raw, allSmartFilters); }
std::optional<SortField> sortFieldFromRawValue(const QString& raw) { return caseOfText(raw, allSortFields); }

QString Item::weakKey() const
{
    if (!capturedAt || width < 1 || height < 1)
        return {};
    // A time outside the 64-bit range (or not a number) cannot be written in whole seconds.
    const double seconds = std::trunc(*capturedAt);
    if (!(seconds >= -0x1p63 && seconds < 0x1p63))
        return {};
    return filename.toLower() + u'|' + QString::number(width) + u'x' + QString::number(height) + u'|'
        + QString::number(qint64(seconds));
}

double currentDate()
{
    return QDateTime::currentMSecsSinceEpoch() / 1000.0;
}

QString homePath()
{
    static const QString path = QDir::cleanPath(QDir::homePath());
    return path;
}

QString iCloudDrivePath()
{
    static const QString path = homePath() + QStringLiteral("/Library/Mobile Documents/com~apple~CloudDocs");
    return path;
}

int Source::placeRank() const
{
    static const std::array<QString, 3> mountRoots{
        QStringLiteral("/media/"), QStringLiteral("/run/media/"), QStringLiteral("/mnt/")};

    if (kind == SourceKind::photos)
        return 2;
    if (rootPath == homePath())
        return 0;
    if (rootPath == iCloudDrivePath())
        return 1;
    for (const QString& root : mountRoots) {
        if (rootPath.startsWith(root))
            return 3;
    }
    return 4;
}

QJsonObject Source::toJson() const
{
    QJsonObject json{
        {QStringLiteral("id"), id},
        {QStringLiteral("name"), name},
        {QStringLiteral("rootPath"), rootPath},
        {QStringLiteral("volumeUUID"), volumeUUID},
        {QStringLiteral("volumeName"), volumeName},
        {QStringLiteral("addedAt"), addedAt},
        {QStringLiteral("kind"), rawValue(kind)},
    };
    if (volumePath)
        json.insert(QStringLiteral("volumePath"), *volumePath);
    return json;
}

std::optional<Source> Source::fromJson(const QJsonObject& json)
{
    bool valid = true;
    const auto text = [&](const char* key) {
        const QJsonValue value = json.value(QLatin1String(key));
        valid = valid && value.isString();
        return value.toString();
    };
    const auto number = [&](const char* key) {
        const QJsonValue value = json.value(QLatin1String(key));
        valid = valid && value.isDouble();
        return value.toDouble();
    };

    Source source;
    source.id = text("id");
    source.name = text("name");
    source.rootPath = text("rootPath");
    source.volumeUUID = text("volumeUUID");
    source.volumeName = text("volumeName");
    source.addedAt = number("addedAt");
    // toInteger gives -1, which names no kind, for a number that is not a whole one.
    const std::optional<SourceKind> kind = sourceKindFromRawValue(json.value(QLatin1String("kind")).toInteger(-1));
    if (!valid || !kind)
        return std::nullopt;
    source.kind = *kind;
    if (const QJsonValue volumePath = json.value(QLatin1String("volumePath")); volumePath.isString())
        source.volumePath = volumePath.toString();
    return source;
}

QString FolderNode::key() const
{
    return sourceID + u'|' + (smart ? u'#' + rawValue(*smart) : path);
}

QString ImportTarget::id() const
{
    if (const auto* folder = std::get_if<Folder>(&destination))
        return QStringLiteral("folder|") + folder->url;
    if (const auto* album = std::get_if<PhotosAlbum>(&destination))
        return QStringLiteral("album|") + album->id + u'|' + album->name;
    return QStringLiteral("new");
}

qint64& LocationSummary::count(MediaKind kind)
{
    switch (kind) {
    case MediaKind::photo:
        return photos;
    case MediaKind::video:
        return videos;
    case MediaKind::audio:
        return audio;
    case MediaKind::document:
        return documents;
    }
    Q_UNREACHABLE();
    return documents;
}
