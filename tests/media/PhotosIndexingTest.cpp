#include "Pellmar/media/PhotosIndexing.h"

#include "Pellmar/index/Hashing.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosReading.h"
#include "Pellmar/media/PhotosWriting.h"
#include "Pellmar/media/SearchDate.h"
#include "Pellmar/platform/MemoryPhotoLibrary.h"
#include "tests/index/IndexFixture.h"
#include "tests/media/MediaFixtures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Resource = MemoryPhotoLibrary::Resource;

constexpr double march14th2021 = 1615726800.0;

PhotoAsset photoAsset(const QString& id, double created = march14th2021, bool favorite = false)
{
    PhotoAsset asset;
    asset.localIdentifier = id;
    asset.mediaType = PhotoMediaType::image;
    asset.creationDate = created;
    asset.favorite = favorite;
    asset.pixelWidth = 4000;
    asset.pixelHeight = 3000;
    return asset;
}

Resource resource(const QString& filename, const QByteArray& data, PhotoResourceType type = PhotoResourceType::photo)
{
    return Resource{type, {}, filename, data.size(), data, true};
}

QByteArray randomBytes(qsizetype count, quint32 seed = 7)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

Source photosSource()
{
    Source source;
    source.id = source.name = QStringLiteral("Photos");
    source.kind = SourceKind::photos;
    return source;
}

class PhotosIndexingTest : public IndexFixture {
protected:
    PhotosIndexingTest()
    {
        addSource(source.id, SourceKind::photos);
        QDir().mkpath(previews);
    }

    // A file row of the photo library source in state found, as a listing stores it.
    Job photosFile(const QString& relativePath, const QString& assetID)
    {
        addFile({.sourceID = source.id, .relPath = relativePath, .assetID = assetID});
        const qint64 id = integer(QStringLiteral("SELECT id FROM files WHERE rel_path = ?"), {relativePath});
        return Job{id, source.id, relativePath, FileState::found, assetID, true};
    }

    void identify(const Job& job) { identifyPhotosFile(job, source, index, previews, library); }

    // The quick hash of `bytes` read as a file, as the folder path hashes a copy on disk.
    QString hashOnDisk(const QByteArray& bytes)
    {
        const QString path = dir.filePath(QStringLiteral("copy-on-disk"));
        writeBytes(path, bytes);
        return quickHash(path, bytes.size());
    }

    QString fileColumn(const QString& column, const Job& job)
    {
        return text(QStringLiteral("SELECT %1 FROM files WHERE id = ?").arg(column), {job.fileID});
    }
    Item itemOf(const Job& job) { return index.itemByID(fileColumn(QStringLiteral("item_id"), job)).value_or(Item()); }
    QString searchTextOf(const QString& itemID)
    {
        return text(QStringLiteral("SELECT text FROM search WHERE item_id = ?"), {itemID});
    }
    QString previewFile(const QString& name) const { return QDir(previews).filePath(name); }

    Source source = photosSource();
    QString previews = dir.filePath(QStringLiteral("Proxies"));
    MemoryPhotoLibrary library;
};

TEST_F(PhotosIndexingTest, LocalPhotoBecomesHashedItemWithPreviewAndSearchText)
{
    ExifFields exif;
    exif.texts = {{"Exif.Image.Make", "Canon"},
                  {"Exif.Image.Model", "Canon EOS R5"},
                  {"Exif.Photo.LensModel", "RF24-70mm F2.8 L IS USM"},
                  {"Exif.Photo.DateTimeOriginal", "2001:01:01 00:00:00"}};
    const QByteArray jpeg = jpegWithExif(quarteredImage(800, 600), exif);
    library.addFolder(QStringLiteral("F"), QStringLiteral("Trips"));
    library.addAlbum(QStringLiteral("A"), QStringLiteral("Rome 2021"), QStringLiteral("F"));
    library.addAsset(photoAsset(QStringLiteral("ABC/L0/001"), march14th2021, true),
                     {resource(QStringLiteral("IMG_0001.JPG"), jpeg)}, quarteredImage(1600, 1200));
    const Job job = photosFile(QStringLiteral("Trips/Rome 2021/ABC_L0_001"), QStringLiteral("ABC/L0/001"));

    identify(job);

    EXPECT_EQ(fileColumn(QStringLiteral("state"), job), QStringLiteral("2"));
    EXPECT_EQ(fileColumn(QStringLiteral("quick_hash"), job), hashOnDisk(jpeg));
    EXPECT_EQ(fileColumn(QStringLiteral("size"), job).toLongLong(), jpeg.size());
    EXPECT_EQ(fileColumn(QStringLiteral("local"), job), QStringLiteral("1"));
    const Item item = itemOf(job);
    EXPECT_EQ(item.quickHash, hashOnDisk(jpeg));
    EXPECT_EQ(item.kind, MediaKind::photo);
    EXPECT_EQ(item.filename, QStringLiteral("IMG_0001.JPG"));
    EXPECT_EQ(item.capturedAt, march14th2021) << "dates come from the asset, not the file";
    EXPECT_EQ(item.width, 4000);
    EXPECT_EQ(item.camera, QStringLiteral("Canon EOS R5"));
    EXPECT_EQ(item.lens, QStringLiteral("RF24-70mm F2.8 L IS USM"));
    EXPECT_EQ(item.previewExtension, QStringLiteral("jpg"));
    EXPECT_EQ(item.posterExtension, QString());
    EXPECT_EQ(QImage(previewFile(item.id + QStringLiteral(".preview.jpg"))).size(), QSize(640, 480));
    EXPECT_EQ(searchTextOf(item.id),
              QStringLiteral("IMG_0001.JPG Trips Rome 2021 Photos Favorite Canon EOS R5 RF24-70mm F2.8 L IS USM Photo ")
                  + searchDateFormatter().string(march14th2021));
}

TEST_F(PhotosIndexingTest, LocalVideoIsKeyedByItsFirst64KiBAndGetsAPoster)
{
    const QByteArray video = randomBytes(200000);
    PhotoAsset asset = photoAsset(QStringLiteral("V1"));
    asset.mediaType = PhotoMediaType::video;
    asset.duration = 12.5;
    library.addAsset(asset, {resource(QStringLiteral("clip.mov"), video, PhotoResourceType::video)},
                     quarteredImage(1280, 720));
    const Job job = photosFile(QStringLiteral("V1"), QStringLiteral("V1"));

    identify(job);

    EXPECT_EQ(fileColumn(QStringLiteral("state"), job), QStringLiteral("2"));
    const Item item = itemOf(job);
    EXPECT_EQ(item.quickHash, hashOnDisk(video));
    EXPECT_EQ(item.kind, MediaKind::video);
    EXPECT_EQ(item.duration, 12.5);
    EXPECT_EQ(item.posterExtension, QStringLiteral("jpg"));
    EXPECT_EQ(item.previewExtension, QString());
    EXPECT_EQ(QImage(previewFile(item.id + QStringLiteral(".poster.jpg"))).size(), QSize(640, 360));
    EXPECT_FALSE(QFile::exists(previewFile(item.id + QStringLiteral(".preview.jpg"))));
    EXPECT_EQ(searchTextOf(item.id), QStringLiteral("clip.mov Photos Video ") + searchDateFormatter().string(march14th2021))
        << "an asset in no album adds no album words";
}

// A HEIC and a short clip imported into the folder-backed library are indexed to a preview and a
// poster, with the displayed size, duration and capture date that the files carry.
TEST_F(PhotosIndexingTest, FolderLibraryImportsAreIndexedWithTheirTrueSizeAndDate)
{
    ExifFields exif;
    exif.texts = {{"Exif.Photo.DateTimeOriginal", "2001:01:01 00:00:00"}};
    const QString heic = dir.filePath(QStringLiteral("IMG_0002.HEIC"));
    writeBytes(heic, heicFile(quarteredImage(800, 600), std::nullopt, exif));
    PhotosFolderLibrary folderLibrary(dir.filePath(QStringLiteral("Photos Library.photoslibrary")));
    waitFor(addFilesToPhotos(folderLibrary, {CardFile{heic, 0, 0, MediaKind::photo},
                                             CardFile{mediaFixture(QStringLiteral("portrait.mov")), 0, 0, MediaKind::video}},
                             std::nullopt));
    const QList<PhotoAsset> assets = folderLibrary.fetchAssets(PhotoAssetFetchOptions{});
    ASSERT_EQ(assets.size(), 2);

    const struct {
        PhotoMediaType type;
        QSize size;
        double duration;
        double capturedAt;
        QString picture;
        QSize pictureSize;
    } cases[] = {{PhotoMediaType::image, {800, 600}, 0, double(QDateTime(QDate(2001, 1, 1), QTime(0, 0)).toSecsSinceEpoch()),
                  QStringLiteral(".preview.jpg"), {640, 480}},
                 {PhotoMediaType::video, {36, 64}, 2, 1625405400.0, QStringLiteral(".poster.jpg"), {36, 64}}};
    for (const auto& c : cases) {
        const auto asset = std::find_if(assets.begin(), assets.end(), [&](const PhotoAsset& a) { return a.mediaType == c.type; });
        ASSERT_NE(asset, assets.end());
        SCOPED_TRACE(asset->localIdentifier.toStdString());
        const Job job = photosFile(asset->localIdentifier, asset->localIdentifier);
        identifyPhotosFile(job, source, index, previews, folderLibrary);

        EXPECT_EQ(fileColumn(QStringLiteral("state"), job), QStringLiteral("2")) << fileColumn(QStringLiteral("error"), job).toStdString();
        const Item item = itemOf(job);
        EXPECT_EQ(QSize(int(item.width), int(item.height)), c.size);
        EXPECT_NEAR(item.duration, c.duration, 0.1);
        EXPECT_EQ(item.capturedAt, c.capturedAt);
        const QImage picture(previewFile(item.id + c.picture));
        EXPECT_EQ(picture.size(), c.pictureSize);
        if (c.type == PhotoMediaType::image)
            EXPECT_EQ(quarterColourAt(picture, 10, 10), QStringLiteral("red"));
    }
}

TEST_F(PhotosIndexingTest, AssetNotOnThisDeviceKeepsAPlaceholderUntilItsFileIsLocal)
{
    ExifFields exif;
    exif.texts = {{"Exif.Image.Model", "X100V"}};
    const QByteArray jpeg = jpegWithExif(quarteredImage(400, 300), exif);
    Resource remote = resource(QStringLiteral("IMG_7.JPG"), jpeg);
    remote.onThisDevice = false;
    library.addAsset(photoAsset(QStringLiteral("R/7")), {remote}, quarteredImage(800, 600));
    const Job inAlbumA = photosFile(QStringLiteral("A/R_7"), QStringLiteral("R/7"));
    const Job inAlbumB = photosFile(QStringLiteral("B/R_7"), QStringLiteral("R/7"));

    identify(inAlbumA);
    identify(inAlbumB);

    const Item placeholder = itemOf(inAlbumA);
    EXPECT_EQ(placeholder.quickHash, QStringLiteral("unhashed:R/7"));
    EXPECT_EQ(itemOf(inAlbumB).id, placeholder.id);
    EXPECT_EQ(fileColumn(QStringLiteral("local"), inAlbumA), QStringLiteral("0"));
    EXPECT_EQ(fileColumn(QStringLiteral("state"), inAlbumA), QStringLiteral("2"));
    EXPECT_EQ(placeholder.camera, QString()) << "no bytes, no camera";
    EXPECT_EQ(placeholder.previewExtension, QStringLiteral("jpg")) << "the library still renders a local image";
    EXPECT_TRUE(QFile::exists(previewFile(placeholder.id + QStringLiteral(".preview.jpg"))));

    // The file arrives on this device; each copy joins the hashed item when it is indexed again.
    library.addAsset(photoAsset(QStringLiteral("R/7")), {resource(QStringLiteral("IMG_7.JPG"), jpeg)},
                     quarteredImage(800, 600));
    identify(inAlbumA);
    const Item hashed = itemOf(inAlbumA);
    EXPECT_EQ(hashed.quickHash, hashOnDisk(jpeg));
    EXPECT_EQ(hashed.camera, QStringLiteral("X100V"));
    EXPECT_EQ(fileColumn(QStringLiteral("local"), inAlbumA), QStringLiteral("1"));
    EXPECT_TRUE(index.itemByID(placeholder.id)) << "the other copy still names the placeholder";

    identify(inAlbumB);
    EXPECT_EQ(itemOf(inAlbumB).id, hashed.id);
    EXPECT_FALSE(index.itemByID(placeholder.id));
    EXPECT_EQ(searchTextOf(placeholder.id), QString());
    EXPECT_EQ(integer(QStringLiteral("SELECT COUNT(*) FROM items")), 1);
}

TEST_F(PhotosIndexingTest, SameContentJoinsTheItemAndKeepsItsPreviewAndFields)
{
    const QByteArray jpeg = encodedJpeg(quarteredImage(400, 300));
    library.addAsset(photoAsset(QStringLiteral("FIRST")), {resource(QStringLiteral("IMG_1.JPG"), jpeg)},
                     quarteredImage(800, 600));
    QImage blue(800, 600, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    library.addAsset(photoAsset(QStringLiteral("SECOND"), march14th2021 + 86400 * 400, true),
                     {resource(QStringLiteral("COPY.JPG"), jpeg)}, blue);
    const Job first = photosFile(QStringLiteral("Holiday/FIRST"), QStringLiteral("FIRST"));
    const Job second = photosFile(QStringLiteral("SECOND"), QStringLiteral("SECOND"));

    identify(first);
    const Item item = itemOf(first);
    const QByteArray preview = readBytes(previewFile(item.id + QStringLiteral(".preview.jpg")));
    identify(second);

    EXPECT_EQ(itemOf(second), item);
    EXPECT_EQ(readBytes(previewFile(item.id + QStringLiteral(".preview.jpg"))), preview);
    EXPECT_EQ(fileColumn(QStringLiteral("state"), second), QStringLiteral("2"));
    EXPECT_EQ(searchTextOf(item.id),
              QStringLiteral("IMG_1.JPG Photos Favorite Photo ") + searchDateFormatter().string(march14th2021))
        << "the item's own name and date, this copy's album and favorite mark";
}

TEST_F(PhotosIndexingTest, PrimaryResourceNamesTheFileAndItsSizeMayBeUnknown)
{
    struct Case {
        const char* name;
        QList<Resource> resources;
        QString filename;
        QByteArray bytes;
        qint64 size;
    };
    const QByteArray raw = randomBytes(50, 1), jpeg = randomBytes(1000, 2), memo = randomBytes(1000, 3),
                     heic = randomBytes(1000, 4);
    Resource unsized = resource(QStringLiteral("unsized.heic"), heic);
    unsized.fileSize.reset();
    const QList<Case> cases{
        {"photo after its RAW alternate",
         {resource(QStringLiteral("IMG_2.CR2"), raw, PhotoResourceType::alternatePhoto),
          resource(QStringLiteral("IMG_2.JPG"), jpeg)},
         QStringLiteral("IMG_2.JPG"), jpeg, jpeg.size()},
        {"neither photo nor video", {resource(QStringLiteral("memo.m4a"), memo, PhotoResourceType::audio)},
         QStringLiteral("memo.m4a"), memo, memo.size()},
        {"size unknown", {unsized}, QStringLiteral("unsized.heic"), heic, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString assetID = QString::fromLatin1(c.name);
        library.addAsset(photoAsset(assetID), c.resources);   // renders nothing
        const Job job = photosFile(assetID, assetID);

        identify(job);

        EXPECT_EQ(fileColumn(QStringLiteral("state"), job), QStringLiteral("2"));
        const Item item = itemOf(job);
        EXPECT_EQ(item.filename, c.filename);
        EXPECT_EQ(item.quickHash, quickHash(c.filename, c.size, c.bytes));
        EXPECT_EQ(fileColumn(QStringLiteral("size"), job).toLongLong(), c.size);
        EXPECT_EQ(item.previewExtension, QString()) << "no rendering, no preview";
        EXPECT_EQ(item.posterExtension, QString());
    }
    EXPECT_TRUE(QDir(previews).isEmpty());
}

TEST_F(PhotosIndexingTest, FilesThatCannotBeIndexedKeepTheReason)
{
    struct Case {
        const char* name;
        QString error;
        bool linked;   // the link made before the failure stays
        FileState state = FileState::failed;
    };
    const QByteArray jpeg = encodedJpeg(quarteredImage(400, 300));
    library.addAsset(photoAsset(QStringLiteral("no resources")));
    library.addAsset(photoAsset(QStringLiteral("unreadable")), {resource(QStringLiteral("U.JPG"), jpeg)});
    library.failDataRequests(QStringLiteral("unreadable"),
                             PhotoLibraryError(PhotoLibraryError::Code::notFound, QStringLiteral("The file of U.JPG is missing.")));
    library.addAsset(photoAsset(QStringLiteral("preview unwritable")), {resource(QStringLiteral("P.JPG"), jpeg)},
                     quarteredImage(800, 600));
    library.addAsset(photoAsset(QStringLiteral("empty")), {resource(QStringLiteral("E.JPG"), {})});
    const QList<Case> cases{
        {"empty", QStringLiteral("empty file"), false, FileState::empty},
        {"gone", QStringLiteral("no longer in the Photos library"), false},
        {"no resources", QStringLiteral("no longer in the Photos library"), false},
        {"unreadable", QStringLiteral("The file of U.JPG is missing."), false},
        {"preview unwritable", QStringLiteral("cannot create proxy"), true},
    };
    previews = dir.filePath(QStringLiteral("no such folder"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString assetID = QString::fromLatin1(c.name);
        const Job job = photosFile(assetID, assetID);

        identify(job);

        EXPECT_EQ(fileColumn(QStringLiteral("state"), job).toLongLong(), rawValue(c.state));
        EXPECT_EQ(fileColumn(QStringLiteral("error"), job), c.error);
        EXPECT_EQ(fileColumn(QStringLiteral("item_id"), job).isEmpty(), !c.linked);
    }
}

} // namespace
