#include "Pellmar/media/PhotosFolderLibrary.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/index/Model.h"
#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/PhotosFolderMedia.h"
#include "Pellmar/media/PhotosFolderStaging.h"
#include "Pellmar/platform/PlaceWords.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMimeDatabase>
#include <QMutexLocker>
#include <QPromise>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace photosfolder;

namespace {

const QString collectionColumns = QStringLiteral("id, title, is_folder, type, subtype");
const QString assetColumns = QStringLiteral(
    "a.id, a.media_type, a.media_subtypes, a.created, a.modified, a.favorite, a.width, a.height, a.duration");

SqlValues valuesOf(const QStringList& texts)
{
    return SqlValues(texts.cbegin(), texts.cend());
}

PhotoCollection readCollection(const Statement& row)
{
    PhotoCollection collection;
    collection.localIdentifier = row.text(0);
    if (!row.isNull(1))
        collection.localizedTitle = row.text(1);
    collection.isFolder = row.boolean(2);
    collection.type = row.int64(3);
    collection.subtype = row.int64(4);
    return collection;
}

PhotoAsset readAsset(const Statement& row)
{
    PhotoAsset asset;
    asset.localIdentifier = row.text(0);
    asset.mediaType = PhotoMediaType(row.int64(1));
    asset.mediaSubtypes = row.int64(2);
    asset.creationDate = row.optionalReal(3);
    asset.modificationDate = row.optionalReal(4);
    asset.favorite = row.boolean(5);
    asset.pixelWidth = row.int64(6);
    asset.pixelHeight = row.int64(7);
    asset.duration = row.real(8);
    return asset;
}

} // namespace

// The copies of one change, in staging until the change is committed.
struct PhotosFolderLibrary::StagedChange {
    struct Copy {
        QString assetIdentifier;
        QString fileName;
        QString uniformTypeIdentifier;
        qint64 size = 0;
        ImportedAssetFacts facts;
    };

    QString folder;
    std::unique_ptr<FileLock> lock;
    QList<Copy> copies;
    bool committed = false;

    // A new folder in staging, locked before it exists so that no other process sees it unlocked.
    void begin(const QString& staging)
    {
        folder = QDir(staging).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces));
        if (!QDir().mkpath(staging))
            throw storeFailed(QStringLiteral("the files"));
        lock = std::make_unique<FileLock>(folder + QStringLiteral(".lock"), true);
        if (!lock->held() || !QDir().mkpath(folder))
            throw storeFailed(QStringLiteral("the files"));
    }

    // Copies of a change that did not commit go; those of a committed change that could not all be
    // moved stay, for the recovery to move once the lock is released.
    ~StagedChange()
    {
        if (folder.isEmpty() || (committed && !QDir(folder).isEmpty()))
            return;
        QDir(folder).removeRecursively();
        QFile::remove(folder + QStringLiteral(".lock"));
    }
};

PhotosFolderLibrary::PhotosFolderLibrary(QString path)
    : path_(std::move(path))
    , instanceID_(QUuid::createUuid().toString(QUuid::WithoutBraces))
    , changes_(QStringLiteral("photos-library"))
{
}

PhotosFolderLibrary::~PhotosFolderLibrary()
{
    if (watchThread_) {
        watchThread_->quit();
        watchThread_->wait();
    }
}

void PhotosFolderLibrary::setChangeStageHook(std::function<void(ChangeStage)> hook)
{
    changeStageHook_ = std::move(hook);
}

void PhotosFolderLibrary::noteReadFailure(const DatabaseError& error) const
{
    qCWarning(logPhotos).noquote() << QStringLiteral("The photo library cannot be read: ") + error.description();
    QMutexLocker lock(&mutex_);
    ++readFailures_.count;
    readFailures_.lastError = QStringLiteral("%1 could not be read (%2). Nothing was removed from the index.")
                                  .arg(QString::fromUtf16(photoLibraryLabel), error.description());
}

PhotoLibrary::ReadFailures PhotosFolderLibrary::readFailures() const
{
    QMutexLocker lock(&mutex_);
    return readFailures_;
}

PhotoAuthorizationStatus PhotosFolderLibrary::authorizationStatus() const
{
    return PhotoAuthorizationStatus::authorized;
}

void PhotosFolderLibrary::requestAuthorization(std::function<void(PhotoAuthorizationStatus)> answered)
{
    answered(PhotoAuthorizationStatus::authorized);
}

bool PhotosFolderLibrary::isReadable() const
{
    try {
        QMutexLocker lock(&mutex_);
        // Without its database the library is not there to read (moved, deleted, on a drive that
        // is away, or never made): an empty answer would pass for every asset deleted.
        if (!QFileInfo::exists(QDir(path_).filePath(databaseName)))
            return false;
        Statement row(database(Access::read)->db(), QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM assets LIMIT 1)"));
        return row.step();
    } catch (const DatabaseError& error) {
        noteReadFailure(error);
        return false;
    }
}

QList<PhotoCollection> PhotosFolderLibrary::collections(const QString& where, const QStringList& values) const
{
    QList<PhotoCollection> found;
    try {
        QMutexLocker lock(&mutex_);
        Database* db = database(Access::read);
        if (!db)
            return found;
        Statement rows(db->db(), QStringLiteral("SELECT ") + collectionColumns + QStringLiteral(" FROM collections WHERE ")
                                     + where + QStringLiteral(" ORDER BY rowid"));
        rows.bind(valuesOf(values));
        while (rows.step())
            found.append(readCollection(rows));
    } catch (const DatabaseError& error) {
        noteReadFailure(error);
    }
    return found;
}

QList<PhotoCollection> PhotosFolderLibrary::fetchTopLevelUserCollections() const
{
    return collections(QStringLiteral("parent_id = ''"), {});
}

QList<PhotoCollection> PhotosFolderLibrary::fetchCollections(const QString& folderIdentifier) const
{
    return collections(
        QStringLiteral("parent_id = ? AND EXISTS (SELECT 1 FROM collections f WHERE f.id = ? AND f.is_folder = 1)"),
        {folderIdentifier, folderIdentifier});
}

QList<PhotoCollection> PhotosFolderLibrary::fetchAlbums(const QStringList& identifiers) const
{
    QList<PhotoCollection> found;
    for (const QString& identifier : identifiers)
        found += collections(QStringLiteral("id = ? AND is_folder = 0"), {identifier});
    return found;
}

QList<PhotoCollection> PhotosFolderLibrary::fetchFolders(const QStringList& identifiers) const
{
    QList<PhotoCollection> found;
    for (const QString& identifier : identifiers)
        found += collections(QStringLiteral("id = ? AND is_folder = 1"), {identifier});
    return found;
}

QList<PhotoAsset> PhotosFolderLibrary::assets(const QString& from, const QString& ordinal, const QStringList& values,
                                              const PhotoAssetFetchOptions& options) const
{
    QString sql = QStringLiteral("SELECT ") + assetColumns + QStringLiteral(" FROM ") + from;
    if (!options.mediaTypes.isEmpty()) {
        QStringList types;
        for (PhotoMediaType type : options.mediaTypes)
            types.append(QString::number(qint64(type)));
        sql += QStringLiteral(" AND a.media_type IN (") + types.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    sql += options.oldestFirst ? QStringLiteral(" ORDER BY a.created IS NOT NULL, a.created, ") + ordinal
                               : QStringLiteral(" ORDER BY ") + ordinal;
    QList<PhotoAsset> found;
    try {
        QMutexLocker lock(&mutex_);
        Database* db = database(Access::read);
        if (!db)
            return found;
        Statement rows(db->db(), sql);
        rows.bind(valuesOf(values));
        while (rows.step())
            found.append(readAsset(rows));
    } catch (const DatabaseError& error) {
        noteReadFailure(error);
    }
    return found;
}

QList<PhotoAsset> PhotosFolderLibrary::fetchAssets(const PhotoAssetFetchOptions& options) const
{
    return assets(QStringLiteral("assets a WHERE 1"), QStringLiteral("a.rowid"), {}, options);
}

QList<PhotoAsset> PhotosFolderLibrary::fetchAssets(const QString& albumIdentifier,
                                                   const PhotoAssetFetchOptions& options) const
{
    return assets(QStringLiteral("album_assets m JOIN assets a ON a.id = m.asset_id WHERE m.album_id = ?"),
                  QStringLiteral("m.rowid"), {albumIdentifier}, options);
}

QList<PhotoAsset> PhotosFolderLibrary::fetchAssets(const QStringList& identifiers) const
{
    QList<PhotoAsset> found;
    for (const QString& identifier : identifiers)
        found += assets(QStringLiteral("assets a WHERE a.id = ?"), QStringLiteral("a.rowid"), {identifier}, {});
    return found;
}

QList<PhotoAssetResource> PhotosFolderLibrary::resources(const QString& assetIdentifier) const
{
    QList<PhotoAssetResource> found;
    try {
        QMutexLocker lock(&mutex_);
        Database* db = database(Access::read);
        if (!db)
            return found;
        Statement rows(db->db(), QStringLiteral("SELECT idx, type, uti, original_filename, size FROM resources "
                                                "WHERE asset_id = ? ORDER BY idx"));
        rows.bind({assetIdentifier});
        while (rows.step())
            found.append({assetIdentifier, rows.int64(0), PhotoResourceType(rows.int64(1)), rows.text(2), rows.text(3),
                          rows.isNull(4) ? std::nullopt : std::optional<qint64>(rows.int64(4))});
    } catch (const DatabaseError& error) {
        noteReadFailure(error);
    }
    return found;
}

QString PhotosFolderLibrary::resourceFile(const QString& assetIdentifier, qint64 index) const
{
    try {
        QMutexLocker lock(&mutex_);
        if (Database* db = database(Access::read)) {
            Statement row(db->db(), QStringLiteral("SELECT file FROM resources WHERE asset_id = ? AND idx = ?"));
            row.bind({assetIdentifier, index});
            if (row.step())
                return row.text(0).isEmpty() ? QString() : QDir(path_).filePath(row.text(0));
        }
    } catch (const DatabaseError& error) {
        throw PhotoLibraryError(PhotoLibraryError::Code::notFound, error.description());
    }
    throw PhotoLibraryError(PhotoLibraryError::Code::notFound, QStringLiteral("The resource is not in the library."));
}

QString PhotosFolderLibrary::localFile(const QString& assetIdentifier, PhotoResourceType type) const
{
    for (const PhotoAssetResource& resource : resources(assetIdentifier)) {
        if (resource.type != type)
            continue;
        try {
            const QString path = resourceFile(assetIdentifier, resource.index);
            return QFileInfo::exists(path) ? path : QString();
        } catch (const PhotoLibraryError&) {
            return {};   // gone since the resources were read
        }
    }
    return {};
}

void PhotosFolderLibrary::requestData(const PhotoAssetResource& resource,
                                      const std::function<bool(const QByteArray& chunk)>& receive) const
{
    const QString path = resourceFile(resource.assetLocalIdentifier, resource.index);
    if (path.isEmpty())
        throw PhotoLibraryError(PhotoLibraryError::Code::networkAccessRequired,
                                QStringLiteral("The data is not on this computer."));
    const RegularFile stored(path);
    QFile file;
    if (!stored.isOpen() || !file.open(stored.descriptor(), QIODevice::ReadOnly))
        throw PhotoLibraryError(PhotoLibraryError::Code::notFound,
                                QStringLiteral("The file of %1 is missing from the library.").arg(resource.originalFilename));
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(dataChunkSize);
        if (chunk.isEmpty())
            throw PhotoLibraryError(PhotoLibraryError::Code::notFound,
                                    QStringLiteral("The file of %1 could not be read.").arg(resource.originalFilename));
        if (!receive(chunk))
            return;
    }
}

std::optional<QImage> PhotosFolderLibrary::requestImage(const QString& assetIdentifier, PhotoImageDeliveryMode,
                                                        int side) const
{
    for (const PhotoResourceType type : {PhotoResourceType::photo, PhotoResourceType::video}) {
        const QString path = localFile(assetIdentifier, type);
        if (!path.isEmpty())
            return renderedAssetFile(path, type, side);
    }
    return std::nullopt;
}

std::optional<QString> PhotosFolderLibrary::requestVideoFile(const QString& assetIdentifier) const
{
    const QString path = localFile(assetIdentifier, PhotoResourceType::video);
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

std::optional<QString> PhotosFolderLibrary::originalFile(const QString& assetIdentifier) const
{
    const QList<PhotoAssetResource> all = resources(assetIdentifier);
    if (all.isEmpty())
        return std::nullopt;
    const QString path = localFile(assetIdentifier, all.first().type);
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

QFuture<void> PhotosFolderLibrary::performChanges(std::function<void(PhotoLibraryChanges&)> block)
{
    return changes_.submit([this, block = std::move(block)] {
        PhotoLibraryChanges changes;
        block(changes);
        apply(changes);
        stampChange();
        observers_.notify();
    });
}

void PhotosFolderLibrary::registerChangeObserver(std::weak_ptr<PhotoLibraryChangeObserver> observer)
{
    observers_.add(std::move(observer));
    // The folder is watched from the first observer on, so it is made when it does not exist yet.
    QMutexLocker lock(&watchMutex_);
    if (watchThread_ || !QDir().mkpath(path_))
        return;
    QFile stamp(QDir(path_).filePath(stampName));
    if (stamp.open(QIODevice::ReadOnly))
        lastStamp_ = stamp.readAll();
    watchThread_ = std::make_unique<QThread>();
    watchThread_->setObjectName(QStringLiteral("photos-library-watch"));
    auto* watcher = new QFileSystemWatcher(QStringList{path_});
    watcher->moveToThread(watchThread_.get());
    QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, watcher, [this] { noteStamp(); });
    QObject::connect(watchThread_.get(), &QThread::finished, watcher, &QObject::deleteLater);
    watchThread_->start();
}

void PhotosFolderLibrary::stampChange() const
{
    // The change itself is stored; a stamp that cannot be written only costs the other processes
    // this one notice.
    QSaveFile stamp(QDir(path_).filePath(stampName));
    if (stamp.open(QIODevice::WriteOnly)) {
        stamp.write((instanceID_ + QLatin1Char(' ') + QUuid::createUuid().toString(QUuid::WithoutBraces)).toUtf8());
        stamp.commit();
    }
}

void PhotosFolderLibrary::noteStamp()
{
    QFile file(QDir(path_).filePath(stampName));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray stamp = file.readAll();
    if (stamp == lastStamp_)
        return;
    lastStamp_ = stamp;
    if (!stamp.startsWith(instanceID_.toUtf8()))   // this object's own changes were told already
        observers_.notify();
}

void PhotosFolderLibrary::apply(const PhotoLibraryChanges& changes)
{
    {
        QMutexLocker lock(&mutex_);
        recoverInterruptedChanges(*database(Access::write));
    }

    StagedChange staged;
    const QMimeDatabase mimeTypes;
    for (const auto& request : changes.requests()) {
        const auto* create = std::get_if<PhotoLibraryChanges::CreateAsset>(&request);
        if (!create)
            continue;
        if (!staged.lock)
            staged.begin(QDir(path_).filePath(stagingName));
        const QString name = safeFileName(create->originalFilename);
        const QString assetFolder = QDir(staged.folder).filePath(assetFolderName(create->localIdentifier));
        const ImportedAssetFacts facts = importedAssetFacts(create->filePath, create->resourceType);
        if (!QDir().mkpath(assetFolder))
            throw storeFailed(name);
        copyFile(create->filePath, QDir(assetFolder).filePath(name));
        syncFolder(assetFolder);
        staged.copies.append(StagedChange::Copy{create->localIdentifier, name,
                                                mimeTypes.mimeTypeForFile(name, QMimeDatabase::MatchExtension).name(),
                                                QFileInfo(create->filePath).size(), facts});
    }
    if (staged.lock) {
        // The copies' names are on the disk before the commit names the copies.
        syncFolder(staged.folder);
        syncFolder(QDir(path_).filePath(stagingName));
        syncFolder(path_);
    }
    if (changeStageHook_)
        changeStageHook_(ChangeStage::copied);

    commit(changes, staged);
    staged.committed = true;
    if (changeStageHook_)
        changeStageHook_(ChangeStage::committed);

    for (const StagedChange::Copy& copy : staged.copies)
        moveToOriginals(path_, QDir(staged.folder).filePath(assetFolderName(copy.assetIdentifier)));
}

void PhotosFolderLibrary::commit(const PhotoLibraryChanges& changes, const StagedChange& staged)
{
    const double now = currentDate();
    try {
        QMutexLocker lock(&mutex_);
        Database& db = *database(Access::write);
        Transaction transaction(db);
        qsizetype copyIndex = 0;
        // The first statement of the transaction is a write, so it takes the write lock at once
        // (waiting for another process when needed) and never works on a stale snapshot.
        for (const auto& request : changes.requests()) {
            if (const auto* album = std::get_if<PhotoLibraryChanges::CreateAlbum>(&request)) {
                db.run(QStringLiteral("INSERT INTO collections (id, parent_id, title, is_folder, type, subtype) "
                                      "VALUES (?, '', ?, 0, ?, ?)"),
                       {album->localIdentifier, album->title, PhotoCollection::albumType, PhotoCollection::regularAlbumSubtype});
            } else if (const auto* create = std::get_if<PhotoLibraryChanges::CreateAsset>(&request)) {
                const StagedChange::Copy& copy = staged.copies[copyIndex++];
                const bool isVideo = create->resourceType == PhotoResourceType::video;
                db.run(QStringLiteral("INSERT INTO assets (id, media_type, created, modified, width, height, duration) "
                                      "VALUES (?, ?, ?, ?, ?, ?, ?)"),
                       {create->localIdentifier, qint64(isVideo ? PhotoMediaType::video : PhotoMediaType::image),
                        copy.facts.created, now, copy.facts.width, copy.facts.height, copy.facts.duration});
                db.run(QStringLiteral("INSERT INTO resources (asset_id, idx, type, uti, original_filename, file, size) "
                                      "VALUES (?, 0, ?, ?, ?, ?, ?)"),
                       {create->localIdentifier, qint64(create->resourceType), copy.uniformTypeIdentifier, copy.fileName,
                        originalsFolder(assetFolderName(create->localIdentifier)) + QLatin1Char('/') + copy.fileName,
                        copy.size});
            } else if (const auto* add = std::get_if<PhotoLibraryChanges::AddAssets>(&request)) {
                for (const QString& asset : add->assetIdentifiers)
                    db.run(QStringLiteral("INSERT OR IGNORE INTO album_assets (album_id, asset_id) "
                                          "SELECT c.id, a.id FROM collections c, assets a WHERE c.id = ? AND a.id = ? "
                                          "AND c.is_folder = 0 AND c.type = ? AND c.subtype = ?"),
                           {add->albumIdentifier, asset, PhotoCollection::albumType, PhotoCollection::regularAlbumSubtype});
            } else if (const auto* favorite = std::get_if<PhotoLibraryChanges::SetFavorite>(&request)) {
                db.run(QStringLiteral("UPDATE assets SET favorite = ?, modified = ? WHERE id = ?"),
                       {favorite->favorite, now, favorite->assetIdentifier});
            }
        }
        transaction.commit();
    } catch (const DatabaseError& error) {
        throw PhotoLibraryError(PhotoLibraryError::Code::writeFailed, error.description());
    }
}

QString defaultPhotosLibraryPath()
{
    const QString configured = qEnvironmentVariable("QUORVIN_PHOTOS_LIBRARY");
    if (!configured.isEmpty())
        return configured;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation))
        .filePath(QStringLiteral("Photos Library.photoslibrary"));
}

namespace {

QMutex sharedLibraryMutex;
std::shared_ptr<PhotoLibrary> sharedLibrary;

} // namespace

std::shared_ptr<PhotoLibrary> sharedPhotoLibrary()
{
    QMutexLocker lock(&sharedLibraryMutex);
    if (!sharedLibrary)
        sharedLibrary = std::make_shared<PhotosFolderLibrary>(defaultPhotosLibraryPath());
    return sharedLibrary;
}

void setSharedPhotoLibrary(std::shared_ptr<PhotoLibrary> library)
{
    QMutexLocker lock(&sharedLibraryMutex);
    sharedLibrary = std::move(library);
}
