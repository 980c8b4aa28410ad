// Reading and writing the photo library, run against both libraries: the one kept in a folder and
// the one held in memory. Each test fills its library through a Filler, which writes the folder
// library's database directly (that library takes no folders, smart or shared albums of its own).

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/index/SerialExecutor.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosReading.h"
#include "Pellmar/media/PhotosWriting.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/Walkers.h"
#include "tests/support/LogCapture.h"
#include "Pellmar/platform/MemoryPhotoLibrary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

using Resource = MemoryPhotoLibrary::Resource;

class Filler {
public:
    virtual ~Filler() = default;
    virtual PhotoLibrary& library() = 0;
    virtual void folder(const QString& id, const std::optional<QString>& title, const QString& parent = {}) = 0;
    virtual void album(const QString& id, const std::optional<QString>& title, const QString& parent = {},
                       qint64 type = PhotoCollection::albumType,
                       qint64 subtype = PhotoCollection::regularAlbumSubtype) = 0;
    virtual void asset(const PhotoAsset& asset, const QList<Resource>& resources = {}) = 0;
    virtual void members(const QString& album, const QStringList& assets) = 0;
    virtual void removeCollection(const QString& id) = 0;
};

class MemoryFiller : public Filler {
public:
    PhotoLibrary& library() override { return *memory; }
    void folder(const QString& id, const std::optional<QString>& title, const QString& parent) override
    {
        memory->addFolder(id, title, parent);
    }
    void album(const QString& id, const std::optional<QString>& title, const QString& parent, qint64 type,
               qint64 subtype) override
    {
        memory->addAlbum(id, title, parent, type, subtype);
    }
    void asset(const PhotoAsset& asset, const QList<Resource>& resources) override { memory->addAsset(asset, resources); }
    void members(const QString& album, const QStringList& assets) override { memory->addToAlbum(album, assets); }
    void removeCollection(const QString& id) override { memory->removeCollection(id); }

    std::shared_ptr<MemoryPhotoLibrary> memory = std::make_shared<MemoryPhotoLibrary>();
};

class FolderFiller : public Filler {
public:
    FolderFiller()
    {
        waitFor(folderLibrary->performChanges([](PhotoLibraryChanges&) {}));   // creates the library
        db = std::make_unique<Database>(root.filePath(QStringLiteral("library.sqlite")));
    }
    PhotoLibrary& library() override { return *folderLibrary; }
    void folder(const QString& id, const std::optional<QString>& title, const QString& parent) override
    {
        db->run(QStringLiteral("INSERT INTO collections VALUES (?, ?, ?, 1, ?, ?)"),
                {id, parent, title, PhotoCollection::folderType, PhotoCollection::regularFolderSubtype});
    }
    void album(const QString& id, const std::optional<QString>& title, const QString& parent, qint64 type,
               qint64 subtype) override
    {
        db->run(QStringLiteral("INSERT INTO collections VALUES (?, ?, ?, 0, ?, ?)"), {id, parent, title, type, subtype});
    }
    void asset(const PhotoAsset& asset, const QList<Resource>& resources) override
    {
        db->run(QStringLiteral("INSERT INTO assets VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {asset.localIdentifier, qint64(asset.mediaType), asset.mediaSubtypes, asset.creationDate,
                 asset.modificationDate, asset.favorite, asset.pixelWidth, asset.pixelHeight, asset.duration});
        for (qint64 index = 0; index < resources.size(); ++index) {
            const Resource& resource = resources[index];
            QString file;
            if (resource.onThisDevice) {
                file = QStringLiteral("originals/%1-%2/%3")
                           .arg(asset.localIdentifier.section('/', 0, 0))
                           .arg(index)
                           .arg(resource.originalFilename);
                QDir(root.path()).mkpath(file.section('/', 0, -2));
                QFile out(root.filePath(file));
                EXPECT_TRUE(out.open(QIODevice::WriteOnly));
                out.write(resource.data);
            }
            db->run(QStringLiteral("INSERT INTO resources VALUES (?, ?, ?, ?, ?, ?, ?)"),
                    {asset.localIdentifier, index, qint64(resource.type), resource.uniformTypeIdentifier,
                     resource.originalFilename, file, resource.fileSize});
        }
    }
    void members(const QString& album, const QStringList& assets) override
    {
        for (const QString& asset : assets)
            db->run(QStringLiteral("INSERT INTO album_assets VALUES (?, ?)"), {album, asset});
    }
    void removeCollection(const QString& id) override
    {
        db->run(QStringLiteral("DELETE FROM collections WHERE id = ?"), {id});
    }

    QTemporaryDir dir;
    QDir root{dir.filePath(QStringLiteral("Photos Library.photoslibrary"))};
    std::shared_ptr<PhotosFolderLibrary> folderLibrary = std::make_shared<PhotosFolderLibrary>(root.path());
    std::unique_ptr<Database> db;
};

enum class LibraryKind { memory, folder };

void PrintTo(LibraryKind kind, std::ostream* out)
{
    *out << (kind == LibraryKind::memory ? "Memory" : "Folder");
}

std::string kindName(const ::testing::TestParamInfo<LibraryKind>& info)
{
    return ::testing::PrintToString(info.param);
}

PhotoAsset image(const QString& id, double created, bool favorite = false)
{
    PhotoAsset asset;
    asset.localIdentifier = id;
    asset.creationDate = created;
    asset.modificationDate = created + 1;
    asset.favorite = favorite;
    return asset;
}

FileRecord record(const QString& path, const QString& id, double modified, bool favorite = false, qint64 subtype = 0,
                  bool raw = false)
{
    return {path, 0, modified, id, true, favorite, subtype, raw};
}

// The tree as one line of text, to compare and print.
QString outline(const QList<PhotosNode>& nodes)
{
    QStringList parts;
    for (const PhotosNode& node : nodes) {
        QString part = node.id + QLatin1Char(' ') + node.name + QStringLiteral(" (") + node.path + QLatin1Char(')');
        if (node.children)
            part += QStringLiteral(" [") + outline(*node.children) + QLatin1Char(']');
        parts.append(part);
    }
    return parts.join(QStringLiteral(", "));
}

class CountingObserver : public PhotoLibraryChangeObserver {
public:
    void photoLibraryDidChange() override { ++notices; }
    std::atomic<int> notices = 0;
};

class PhotosLibraryTest : public ::testing::TestWithParam<LibraryKind> {
protected:
    PhotosLibraryTest()
    {
        if (GetParam() == LibraryKind::memory)
            filler = std::make_unique<MemoryFiller>();
        else
            filler = std::make_unique<FolderFiller>();
        library().registerChangeObserver(observer);
    }

    PhotoLibrary& library() { return filler->library(); }

    QString cardFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = card.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QByteArray dataOf(const QString& assetID)
    {
        QByteArray data;
        library().requestData(library().resources(assetID).value(0), [&](const QByteArray& chunk) {
            data += chunk;
            return true;
        });
        return data;
    }

    std::unique_ptr<Filler> filler;
    std::shared_ptr<CountingObserver> observer = std::make_shared<CountingObserver>();
    QTemporaryDir card;
};

// Albums in walk order, each oldest first, then the root; titles and ids with "/"; folders,
// untitled, shared, smart and other albums; favorites, screenshots, RAW and missing dates.
TEST_P(PhotosLibraryTest, ListsEveryAlbumMemberThenTheRestAtTheRoot)
{
    Filler& f = *filler;
    PhotoAsset video = image(QStringLiteral("V/1/L0"), 50);
    video.mediaType = PhotoMediaType::video;
    PhotoAsset screenshot = image(QStringLiteral("S/1/L0"), 60);
    screenshot.mediaSubtypes = photoSubtypeScreenshot;
    PhotoAsset undatedChange = image(QStringLiteral("U/1/L0"), 70);
    undatedChange.modificationDate.reset();
    PhotoAsset undated = image(QStringLiteral("N/1/L0"), 0);
    undated.creationDate.reset();
    undated.modificationDate.reset();
    PhotoAsset sound = image(QStringLiteral("A/9/L0"), 5);
    sound.mediaType = PhotoMediaType::audio;

    f.asset(image(QStringLiteral("X/1/L0"), 20, true),
            {{PhotoResourceType::photo, QStringLiteral("image/jpeg"), QStringLiteral("x.jpg"), 3, "xxx"},
             {PhotoResourceType::alternatePhoto, QStringLiteral("image/x-canon-cr2"), QStringLiteral("x.cr2"), 3, "raw",
              false}});
    f.asset(image(QStringLiteral("Y/1/L0"), 10));
    f.asset(video, {{PhotoResourceType::video, QStringLiteral("image/x-canon-cr2"), QStringLiteral("v.CR2"), 0, {}}});
    f.asset(screenshot);
    f.asset(undatedChange, {{PhotoResourceType::photo, QStringLiteral("x-unknown/type"), QStringLiteral("u.NEF"), 0, {}}});
    f.asset(undated);
    f.asset(sound);
    f.asset(image(QStringLiteral("H/1/L0"), 80));

    f.album(QStringLiteral("A/1"), QStringLiteral("Family"));
    f.members(QStringLiteral("A/1"), {QStringLiteral("X/1/L0"), QStringLiteral("Y/1/L0"), QStringLiteral("A/9/L0")});
    f.folder(QStringLiteral("F/1"), QStringLiteral("Trips"));
    f.album(QStringLiteral("A/2"), QStringLiteral("Rome/Paris"), QStringLiteral("F/1"));
    f.members(QStringLiteral("A/2"), {QStringLiteral("V/1/L0"), QStringLiteral("X/1/L0")});
    f.folder(QStringLiteral("F/2"), QStringLiteral("Empty"));
    f.album(QStringLiteral("A/3"), std::nullopt);
    f.members(QStringLiteral("A/3"), {QStringLiteral("U/1/L0")});
    f.album(QStringLiteral("A/4"), QStringLiteral("Shared"), {}, PhotoCollection::albumType,
            PhotoCollection::sharedAlbumSubtype);
    f.members(QStringLiteral("A/4"), {QStringLiteral("S/1/L0"), QStringLiteral("H/1/L0")});
    f.album(QStringLiteral("A/5"), QStringLiteral("Favorites"), {}, PhotoCollection::smartAlbumType, 203);
    f.members(QStringLiteral("A/5"), {QStringLiteral("X/1/L0"), QStringLiteral("N/1/L0")});
    f.album(QStringLiteral("A/6"), QStringLiteral("Imported"), {}, PhotoCollection::albumType, 6);
    f.members(QStringLiteral("A/6"), {QStringLiteral("H/1/L0")});

    const QList<FileRecord> expected{
        record(QStringLiteral("Family/Y_1_L0"), QStringLiteral("Y/1/L0"), 11),
        record(QStringLiteral("Family/X_1_L0"), QStringLiteral("X/1/L0"), 21, true, 0, true),
        record(QStringLiteral("Trips/Rome-Paris/X_1_L0"), QStringLiteral("X/1/L0"), 21, true, 0, true),
        record(QStringLiteral("Trips/Rome-Paris/V_1_L0"), QStringLiteral("V/1/L0"), 51),
        record(QStringLiteral("Untitled/U_1_L0"), QStringLiteral("U/1/L0"), 70, false, 0, true),
        record(QStringLiteral("Imported/H_1_L0"), QStringLiteral("H/1/L0"), 81),
        record(QStringLiteral("N_1_L0"), QStringLiteral("N/1/L0"), -62135769600.0),
        record(QStringLiteral("S_1_L0"), QStringLiteral("S/1/L0"), 61, false, photoSubtypeScreenshot),
    };
    EXPECT_EQ(listPhotosAssets(library()), expected);

    EXPECT_EQ(outline(logDuplicateFolderNames(library())),
              QStringLiteral("F/2 Empty (Empty) [], A/1 Family (Family), "
                             "F/1 Trips (Trips) [A/2 Rome/Paris (Trips > Rome/Paris)], A/3 Untitled (Untitled)"));
}

TEST_P(PhotosLibraryTest, ReportsProgressEvery500RecordsAndOnceAtTheEnd)
{
    const struct {
        int assets;
        QList<qint64> calls;
    } cases[] = {{0, {0}}, {1000, {500, 1000, 1000}}, {1234, {500, 1000, 1234}}};
    int made = 0;
    for (const auto& c : cases) {
        for (; made < c.assets; ++made)
            filler->asset(image(QStringLiteral("P/%1").arg(made), made));
        QList<qint64> calls;
        const QList<FileRecord> records = listPhotosAssets(library(), [&](qint64 count) { calls.append(count); });
        EXPECT_EQ(records.size(), c.assets);
        EXPECT_EQ(calls, c.calls) << c.assets << " assets";
    }
}

// An album deleted while the program holds its id: its assets go to the root, it leaves the tree,
// and an import into it still imports the files.
TEST_P(PhotosLibraryTest, VanishedAlbumLeavesItsAssetsAtTheRootAndImportsWithoutIt)
{
    filler->asset(image(QStringLiteral("X/1"), 1));
    filler->album(QStringLiteral("A/1"), QStringLiteral("Gone"));
    filler->members(QStringLiteral("A/1"), {QStringLiteral("X/1")});
    filler->removeCollection(QStringLiteral("A/1"));

    EXPECT_EQ(listPhotosAssets(library()), QList<FileRecord>{record(QStringLiteral("X_1"), QStringLiteral("X/1"), 2)});
    EXPECT_TRUE(logDuplicateFolderNames(library()).isEmpty());

    const QString photo = cardFile(QStringLiteral("IMG_1.JPG"), "jpeg");
    waitFor(addFilesToPhotos(library(), {CardFile{photo, 4, 0, MediaKind::photo}}, QStringLiteral("A/1")));
    const QList<FileRecord> records = listPhotosAssets(library());
    ASSERT_EQ(records.size(), 2);
    EXPECT_FALSE(records[1].relativePath.contains('/'));
    EXPECT_TRUE(QFile::exists(photo));
}

TEST_P(PhotosLibraryTest, LogsFolderPathsThatOccurTwice)
{
    filler->folder(QStringLiteral("F/1"), QStringLiteral("Trips"));
    filler->album(QStringLiteral("A/1"), QStringLiteral("Rome"), QStringLiteral("F/1"));
    filler->folder(QStringLiteral("F/2"), QStringLiteral("Trips"));
    filler->folder(QStringLiteral("F/3"), QStringLiteral("Work"));

    LogCapture capture(logPhotos());
    const QList<PhotosNode> tree = logDuplicateFolderNames(library());

    ASSERT_EQ(tree.size(), 3);
    EXPECT_EQ(tree[0].id, QStringLiteral("F/1"));   // equal names keep the order of the library
    EXPECT_EQ(tree[1].id, QStringLiteral("F/2"));
    EXPECT_EQ(capture.take(),
              QStringList{QStringLiteral("Photos has 2 folders named Trips: F/2 type 2 subtype 2 albums 0; "
                                         "F/1 type 2 subtype 2 albums 1")});
}

TEST_P(PhotosLibraryTest, AlbumTreeSortsNamesIgnoringCaseAndNumbersByValueWhateverTheLocale)
{
    filler->album(QStringLiteral("A/1"), QStringLiteral("Album 10"));
    filler->album(QStringLiteral("A/2"), QStringLiteral("album 9"));
    filler->album(QStringLiteral("A/3"), QStringLiteral("album 1"));

    QStringList names;
    for (const PhotosNode& node : logDuplicateFolderNames(library()))
        names.append(node.name);
    EXPECT_EQ(names, (QStringList{QStringLiteral("album 1"), QStringLiteral("album 9"), QStringLiteral("Album 10")}));
}

TEST_P(PhotosLibraryTest, CreatesAnAlbumImportsCopiesIntoItAndSetsFavorites)
{
    const QString albumID = waitFor(createPhotosAlbum(library(), QStringLiteral("Card/2024")));
    EXPECT_TRUE(albumID.contains('/'));
    const QList<PhotoCollection> albums = library().fetchAlbums({albumID});
    ASSERT_EQ(albums.size(), 1);
    EXPECT_EQ(albums[0].localizedTitle, QStringLiteral("Card/2024"));

    const QString photo = cardFile(QStringLiteral("IMG_0001.JPG"), "photo bytes");
    const QString clip = cardFile(QStringLiteral("MVI_0002.MOV"), "video bytes");
    waitFor(addFilesToPhotos(library(), {CardFile{photo, 11, 0, MediaKind::photo}, CardFile{clip, 11, 0, MediaKind::video}},
                             albumID));

    const QList<PhotoAsset> inAlbum = library().fetchAssets(albumID, {});
    ASSERT_EQ(inAlbum.size(), 2);
    EXPECT_EQ(inAlbum[0].mediaType, PhotoMediaType::image);
    EXPECT_EQ(inAlbum[1].mediaType, PhotoMediaType::video);
    const QList<PhotoAssetResource> resources = library().resources(inAlbum[1].localIdentifier);
    ASSERT_EQ(resources.size(), 1);
    EXPECT_EQ(resources[0].type, PhotoResourceType::video);
    EXPECT_EQ(resources[0].originalFilename, QStringLiteral("MVI_0002.MOV"));
    EXPECT_EQ(dataOf(inAlbum[0].localIdentifier), QByteArray("photo bytes"));
    EXPECT_TRUE(QFile::exists(photo) && QFile::exists(clip));   // copied, never moved

    waitFor(setPhotosFavorite(library(), {inAlbum[1].localIdentifier, QStringLiteral("gone/L0/001")}, true));
    const QList<FileRecord> records = listPhotosAssets(library());
    ASSERT_EQ(records.size(), 2);
    EXPECT_TRUE(records[0].relativePath.startsWith(QStringLiteral("Card-2024/")));
    EXPECT_FALSE(records[0].favorite);
    EXPECT_TRUE(records[1].favorite);
    EXPECT_EQ(observer->notices, 3);   // one notice per change

    // An empty import is a change without requests.
    waitFor(addFilesToPhotos(library(), {}, std::nullopt));
    EXPECT_EQ(library().fetchAssets(PhotoAssetFetchOptions{}).size(), 2);
}

TEST_P(PhotosLibraryTest, FailedWritesReportTheirErrorAndChangeNothing)
{
    filler->asset(image(QStringLiteral("X/1"), 1));
    const QString albumID = waitFor(createPhotosAlbum(library(), QStringLiteral("Album")));
    const int notices = observer->notices;

    // One unreadable file fails the whole batch: the readable one is not imported either.
    const QString photo = cardFile(QStringLiteral("IMG_1.JPG"), "jpeg");
    try {
        waitFor(addFilesToPhotos(library(),
                                 {CardFile{photo, 4, 0, MediaKind::photo},
                                  CardFile{card.filePath(QStringLiteral("missing.JPG")), 4, 0, MediaKind::photo}},
                                 albumID));
        FAIL() << "imported a missing file";
    } catch (const PhotoLibraryError& error) {
        EXPECT_EQ(error.code(), PhotoLibraryError::Code::fileUnreadable);
    }

    try {
        waitFor(setPhotosFavorite(library(), {QStringLiteral("gone/1"), QStringLiteral("gone/2")}, true));
        FAIL() << "set the favorite of no photo";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.description(), QStringLiteral("The photo is no longer in the library."));
    }

    EXPECT_EQ(library().fetchAssets(PhotoAssetFetchOptions{}).size(), 1);
    EXPECT_TRUE(library().fetchAssets(albumID, {}).isEmpty());
    EXPECT_FALSE(library().fetchAssets(QStringList{QStringLiteral("X/1")}).value(0).favorite);
    EXPECT_EQ(observer->notices, notices);
}

TEST_P(PhotosLibraryTest, DataRequestsNeverFetchWhatIsNotOnThisComputer)
{
    filler->asset(image(QStringLiteral("L/1"), 1),
                  {{PhotoResourceType::photo, QStringLiteral("image/jpeg"), QStringLiteral("l.jpg"), 5, "local"}});
    filler->asset(image(QStringLiteral("C/1"), 2),
                  {{PhotoResourceType::photo, QStringLiteral("image/jpeg"), QStringLiteral("c.jpg"), 5, "cloud", false}});

    EXPECT_EQ(dataOf(QStringLiteral("L/1")), QByteArray("local"));
    try {
        dataOf(QStringLiteral("C/1"));
        FAIL() << "read data that is not on this computer";
    } catch (const PhotoLibraryError& error) {
        EXPECT_EQ(qint64(error.code()), 3164);
    }
}

INSTANTIATE_TEST_SUITE_P(Libraries, PhotosLibraryTest, ::testing::Values(LibraryKind::memory, LibraryKind::folder),
                         kindName);

TEST(PhotosAccessTest, GrantedWhenAuthorizedOrLimitedAndAsksOnlyWhenUndecided)
{
    const struct {
        PhotoAuthorizationStatus status;
        PhotoAuthorizationStatus answer;
        bool before;
        bool afterRequest;
    } cases[] = {
        {PhotoAuthorizationStatus::authorized, PhotoAuthorizationStatus::denied, true, true},
        {PhotoAuthorizationStatus::limited, PhotoAuthorizationStatus::denied, true, true},
        {PhotoAuthorizationStatus::notDetermined, PhotoAuthorizationStatus::limited, false, true},
        {PhotoAuthorizationStatus::notDetermined, PhotoAuthorizationStatus::denied, false, false},
        {PhotoAuthorizationStatus::denied, PhotoAuthorizationStatus::authorized, false, false},
        {PhotoAuthorizationStatus::restricted, PhotoAuthorizationStatus::authorized, false, false},
    };
    for (const auto& c : cases) {
        MemoryPhotoLibrary library;
        library.setAuthorizationStatus(c.status);
        library.setAnswerToRequest(c.answer);
        EXPECT_EQ(hasPhotosAccess(library), c.before) << qint64(c.status);
        EXPECT_EQ(waitFor(requestPhotosAuthorization(library)), c.afterRequest) << qint64(c.status);
    }

    QTemporaryDir dir;
    PhotosFolderLibrary folder(dir.filePath(QStringLiteral("absent.photoslibrary")));
    EXPECT_TRUE(hasPhotosAccess(folder));
}

TEST(PhotosObserverTest, ScriptedNoticeAndFailedChangeReachTheCaller)
{
    MemoryPhotoLibrary library;
    int changes = 0;
    auto photosObserver = std::make_shared<PhotosObserver>([&] { ++changes; });
    library.registerChangeObserver(photosObserver);
    library.raiseChangeNotice();
    EXPECT_EQ(changes, 1);

    library.failNextChange(PhotoLibraryError(PhotoLibraryError::Code::writeFailed, QStringLiteral("Disk full.")));
    try {
        waitFor(createPhotosAlbum(library, QStringLiteral("New")));
        FAIL() << "the scripted failure did not arrive";
    } catch (const PhotoLibraryError& error) {
        EXPECT_EQ(error.description(), QStringLiteral("Disk full."));
    }
    EXPECT_TRUE(library.fetchTopLevelUserCollections().isEmpty());
    EXPECT_EQ(changes, 1);

    photosObserver.reset();   // an observer that went away is no longer called
    library.raiseChangeNotice();
    EXPECT_EQ(changes, 1);
}

// The photo library source reads the shared library: available while access is granted, and
// scanned as the listing whatever folder, depth or folder request the scan names.
TEST(PhotosSourceTest, AvailableWithAccessAndScannedAsTheListing)
{
    struct DefaultLibraryAfterwards {
        ~DefaultLibraryAfterwards() { setSharedPhotoLibrary(nullptr); }
    } restore;
    auto memory = std::make_shared<MemoryPhotoLibrary>();
    setSharedPhotoLibrary(memory);
    Source photos;
    photos.kind = SourceKind::photos;

    const struct {
        PhotoAuthorizationStatus status;
        bool available;
    } cases[] = {{PhotoAuthorizationStatus::authorized, true}, {PhotoAuthorizationStatus::limited, true},
                 {PhotoAuthorizationStatus::notDetermined, false}, {PhotoAuthorizationStatus::denied, false}};
    for (const auto& c : cases) {
        memory->setAuthorizationStatus(c.status);
        EXPECT_EQ(isSourceAvailable(photos), c.available) << qint64(c.status);
    }

    memory->addAsset(image(QStringLiteral("X/1"), 1));
    memory->addAlbum(QStringLiteral("A/1"), QStringLiteral("Album"));
    memory->addToAlbum(QStringLiteral("A/1"), {QStringLiteral("X/1")});
    QList<qint64> calls;
    const ScanResult scanned = scanSource(photos, QStringLiteral("Album"),
                                          {.deep = false, .collectFolders = true, .progress = [&](qint64 count) { calls.append(count); }});
    EXPECT_EQ(scanned.files, QList<FileRecord>{record(QStringLiteral("Album/X_1"), QStringLiteral("X/1"), 2)});
    EXPECT_TRUE(scanned.folders.isEmpty());
    EXPECT_FALSE(scanned.gaps.rootVanished);
    EXPECT_EQ(calls, QList<qint64>{1});

    // A library that cannot be read is offline, and its scan names the root as missing rather than
    // listing no assets.
    memory->setAuthorizationStatus(PhotoAuthorizationStatus::authorized);
    memory->setReadable(false);
    EXPECT_FALSE(isSourceAvailable(photos));
    calls.clear();
    const ScanResult unreadable = scanSource(photos, QString(), {.progress = [&](qint64 count) { calls.append(count); }});
    EXPECT_TRUE(unreadable.files.isEmpty());
    EXPECT_TRUE(unreadable.gaps.rootVanished);
    EXPECT_TRUE(calls.isEmpty());
}

} // namespace
