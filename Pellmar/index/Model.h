#pragma once

// The value types every layer passes around: rows of the index, what the walkers hand to it,
// the work items of the two background workers, counters, sidebar and workspace structures,
// devices, cards, import destinations and the photo library's album tree.
//
// Dates are seconds since 1970 as double; fields named `url` hold an absolute file path.
// Text compares code unit by code unit, like file names on Linux and text in SQLite.

#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <variant>

enum class MediaKind : qint64 { photo = 0, video = 1, audio = 2, document = 3 };
enum class FileState : qint64 { found = 0, identified = 1, ready = 2, failed = 3, empty = 4 };
enum class SourceKind : qint64 { folder = 0, photos = 1 };

// Smart groups of the photo library source; the raw values are stored in the user defaults.
enum class SmartFilter { favorites, recents, photos, videos, raw, screenshots, albums };
inline constexpr std::array allSmartFilters{
    SmartFilter::favorites, SmartFilter::recents, SmartFilter::photos, SmartFilter::videos,
    SmartFilter::raw, SmartFilter::screenshots, SmartFilter::albums};

// Sort orders of the grid; the raw value is stored in the user defaults.
enum class SortField { name, kind, captured, modified, added };
inline constexpr std::array allSortFields{
    SortField::name, SortField::kind, SortField::captured, SortField::modified, SortField::added};

constexpr qint64 rawValue(MediaKind kind) { return qint64(kind); }
constexpr qint64 rawValue(FileState state) { return qint64(state); }
constexpr qint64 rawValue(SourceKind kind) { return qint64(kind); }
QString rawValue(SmartFilter filter);
QString rawValue(SortField field);
// The smart group's name in the sidebar and the place title: "Favorites", "Recents", "Images", ...
QString smartGroupLabel(SmartFilter filter);
// The kind's word in the search text and the log: "Photo", "Video", "Audio" or "Document".
QString kindWord(MediaKind kind);

// Each gives the case of a raw value, or nothing for a value that names no case.
std::optional<MediaKind> mediaKindFromRawValue(qint64 raw);
std::optional<FileState> fileStateFromRawValue(qint64 raw);
std::optional<SourceKind> sourceKindFromRawValue(qint64 raw);
std::optional<SmartFilter> smartFilterFromRawValue(const QString& raw);
std::optional<SortField> sortFieldFromRawValue(const QString& raw);

// One distinct content: a row of `items`.
struct Item {
    QString id;
    QString quickHash;
    MediaKind kind = MediaKind::photo;
    QString filename;
    std::optional<double> capturedAt;
    qint64 width = 0;
    qint64 height = 0;
    double duration = 0;
    QString camera;
    QString lens;
    QString previewExtension;
    QString proxyExtension;   // "none" when no proxy can be made
    QString posterExtension;
    QString uti;              // the MIME type name

    // The probable-duplicate key: lower-cased file name, "|", width "x" height, "|", capture time
    // in whole seconds; empty without a capture time or a pixel size.
    QString weakKey() const;

    bool operator==(const Item&) const = default;
};

// One copy of an item: a row of `files` with its source.
struct Location {
    qint64 id = 0;
    QString sourceID;
    QString sourceName;
    QString volumeUUID;
    QString relativePath;
    qint64 size = 0;
    double modified = 0;
    bool local = false;
    QString assetID;

    bool operator==(const Location&) const = default;
};

// The current date as stored: seconds since 1970, fractions kept.
double currentDate();

// The user's home folder, "." and ".." removed and symbolic links kept; read once per process.
QString homePath();
// Where the cloud drive would live in the home folder.
QString iCloudDrivePath();

// One indexed root: a row of `sources`.
struct Source {
    QString id;
    QString name;
    QString rootPath;
    QString volumeUUID;
    QString volumeName;
    double addedAt = 0;
    SourceKind kind = SourceKind::folder;
    // The root's path below the mount point of its volume ("" for the volume's own root), so that a
    // relink to another mount point of the volume keeps it; nothing for a source from before it was kept.
    std::optional<QString> volumePath{};

    // The kind of place, which also orders sources: 0 the home folder, 1 iCloud Drive,
    // 2 the photo library, 3 a mounted volume, 4 anything else.
    int placeRank() const;

    // Keyed by the field names; `kind` as its raw integer, `addedAt` as seconds since 1970.
    QJsonObject toJson() const;
    // Nothing when a key is missing, a value has the wrong type or `kind` names no case.
    static std::optional<Source> fromJson(const QJsonObject& json);

    bool operator==(const Source&) const = default;
};

// One file as a walker or the photo library listing hands it to the index.
struct FileRecord {
    QString relativePath;
    qint64 size = 0;
    double modified = 0;
    QString assetID;
    bool local = false;
    bool favorite = false;
    qint64 subtype = 0;
    bool raw = false;

    bool operator==(const FileRecord&) const = default;
};

struct FolderRecord {
    QString relativePath;
    double modified = 0;

    bool operator==(const FolderRecord&) const = default;
};

// One file waiting for quick indexing.
struct Job {
    qint64 fileID = 0;
    QString sourceID;
    QString relativePath;
    FileState state = FileState::found;
    QString assetID;
    bool local = false;
    // The row's size and modification time when it was read: its work is written only while the
    // row still holds them, so that work on content that changed meanwhile is dropped.
    qint64 size = 0;
    double modified = 0;

    bool operator==(const Job&) const = default;
};

// One item waiting for larger previews, with the copy chosen to render them from.
struct FullJob {
    QString itemID;
    QString sourceID;
    QString relativePath;
    MediaKind kind = MediaKind::photo;
    QString assetID;
    QString filename;

    bool operator==(const FullJob&) const = default;
};

// Number of file rows in each FileState.
struct QueueStatus {
    qint64 found = 0;
    qint64 identified = 0;
    qint64 ready = 0;
    qint64 failed = 0;
    qint64 empty = 0;

    bool operator==(const QueueStatus&) const = default;
};

// Items whose larger previews are finished, of those that qualify.
struct FullStatus {
    qint64 done = 0;
    qint64 total = 0;

    bool operator==(const FullStatus&) const = default;
};

// Outcome of comparing a source's indexed files with the disk again.
struct Verification {
    qint64 checked = 0;
    qint64 changed = 0;
    qint64 missing = 0;
    qint64 added = 0;

    bool operator==(const Verification&) const = default;
};

// What a scope holds.
struct LocationSummary {
    qint64 photos = 0;
    qint64 videos = 0;
    qint64 audio = 0;
    qint64 documents = 0;
    qint64 documentSize = 0;
    qint64 size = 0;
    qint64 notLocal = 0;
    qint64 onlyHere = 0;
    std::optional<double> earliest;
    std::optional<double> latest;

    // The member that counts items of the kind.
    qint64& count(MediaKind kind);

    bool operator==(const LocationSummary&) const = default;
};

// A node of a sidebar tree.
struct FolderNode {
    QString id;
    QString sourceID;
    QString path;
    QString name;
    qint64 count = 0;
    QList<FolderNode> children;
    std::optional<SmartFilter> smart;   // only on the smart groups of the photo library source

    // Source id, "|", then "#" and the smart filter's raw value, or the path. Workspace members,
    // pins and scopes use this form and split it at the first "|".
    QString key() const;

    bool operator==(const FolderNode&) const = default;
};

// A named, coloured subset of the library; the built-in one has the id "everything".
struct Workspace {
    QString id;
    QString name;
    QString symbol;
    QString tint;
    qint64 position = 0;
    QSet<QString> members;   // keys in the form of FolderNode::key()

    bool operator==(const Workspace&) const = default;
};

// A mounted volume of the device list.
struct Device {
    QString url;   // the mount point
    QString name;
    qint64 capacity = 0;
    qint64 available = 0;

    QString id() const { return url; }

    bool operator==(const Device&) const = default;
};

// A media file on a card before import.
struct CardFile {
    QString url;
    qint64 size = 0;
    double modified = 0;
    MediaKind kind = MediaKind::photo;

    bool operator==(const CardFile&) const = default;
};

// An album of the photo library.
struct PhotosAlbum {
    QString id;     // the album's local identifier
    QString name;

    bool operator==(const PhotosAlbum&) const = default;
};

// A node of the photo library's folder and album tree.
struct PhotosNode {
    QString id;
    QString name;
    QString path;                               // the titles from the top, joined by " > "
    std::optional<QList<PhotosNode>> children;  // present for a folder, absent for an album

    bool operator==(const PhotosNode&) const = default;
};

// Where an import goes: a folder, an existing photo library album, or an album to create.
struct ImportTarget {
    struct Folder {
        QString url;
        bool operator==(const Folder&) const = default;
    };
    struct NewAlbum {
        QString name;
        bool operator==(const NewAlbum&) const = default;
    };

    std::variant<Folder, PhotosAlbum, NewAlbum> destination;

    static ImportTarget folder(const QString& url) { return {Folder{url}}; }
    static ImportTarget album(const PhotosAlbum& album) { return {album}; }
    static ImportTarget newAlbum(const QString& name) { return {NewAlbum{name}}; }

    // "folder|" and the path, "album|" with the album's id, "|" and name, or "new" for any
    // album to create. Also the stored form of a destination in the user defaults.
    QString id() const;

    bool operator==(const ImportTarget&) const = default;
};

// A running import.
struct ImportJob {
    QString device;
    QString destination;
    qint64 done = 0;
    qint64 total = 0;
    qint64 bytesDone = 0;
    qint64 bytesTotal = 0;
    double started = 0;
    QString current;

    bool operator==(const ImportJob&) const = default;
};

// A finished import.
struct ImportResult {
    qint64 count = 0;
    qint64 deleted = 0;
    std::optional<QString> folder;
    std::optional<QString> album;
    Device device;
    bool cancelled = false;
    // Originals left on the card, though their deletion was asked for, because their copy did not
    // compare equal to them (they changed during the import) or they could not be deleted.
    qint64 kept = 0;

    bool operator==(const ImportResult&) const = default;
};

// Metadata read from a file.
struct MediaInfo {
    std::optional<double> capturedAt;
    qint64 width = 0;
    qint64 height = 0;
    double duration = 0;
    QString camera;
    QString lens;
};

// What the focused grid offers the menu commands.
struct GridCommands {
    bool hasSelection = false;
    bool canPaste = false;
    bool hasItems = false;
    std::function<void()> copy;
    std::function<void()> paste;
    std::function<void()> deleteSelection;   // "delete" is reserved in C++
    std::function<void()> selectAll;
};
