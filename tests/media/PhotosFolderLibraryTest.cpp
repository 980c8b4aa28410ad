// The folder library's own promises: an absent library reads as empty and stays absent, and a
// change that fails, or whose process dies, leaves the library with the whole asset or nothing.

#include "Pellmar/index/Database.h"
#include "Pellmar/index/SerialExecutor.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosReading.h"
#include "Pellmar/media/PhotosWriting.h"
#include "Pellmar/media/Walkers.h"
#include "tests/media/MediaFixtures.h"
#include "tests/support/DamagedPages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSemaphore>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class PhotosFolderLibraryTest : public ::testing::Test {
protected:
    PhotosFolderLibraryTest()
    {
        QFile file(photo);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QList<CardFile> cardFiles() const { return {CardFile{photo, bytes.size(), 0, MediaKind::photo}}; }

    // The folders of changes still in staging.
    QStringList stagedChanges() const
    {
        return QDir(path + QStringLiteral("/staging")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }

    QByteArray dataOf(const PhotoLibrary& library, const QString& assetID) const
    {
        QByteArray data;
        library.requestData(library.resources(assetID).value(0), [&](const QByteArray& chunk) {
            data += chunk;
            return true;
        });
        return data;
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Photos Library.photoslibrary"));
    QString photo = dir.filePath(QStringLiteral("IMG_0001.JPG"));
    QByteArray bytes = QByteArray(200000, 'p');   // more than one chunk
};

TEST_F(PhotosFolderLibraryTest, AbsentLibraryReadsAsEmptyAndIsNotCreated)
{
    PhotosFolderLibrary library(path);
    EXPECT_TRUE(listPhotosAssets(library).isEmpty());
    EXPECT_TRUE(logDuplicateFolderNames(library).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path));
}

// A library on a drive that is not there, or whose database fails, says it cannot be read: its
// empty answers are no sign that its assets went.
TEST_F(PhotosFolderLibraryTest, ReadableOnlyWhileItsFolderAndDatabaseAreThere)
{
    // Not there (never made, or moved away while its parent folder stays) or on a drive that is away.
    EXPECT_FALSE(PhotosFolderLibrary(path).isReadable());
    EXPECT_FALSE(PhotosFolderLibrary(dir.filePath(QStringLiteral("unplugged/Photos Library.photoslibrary"))).isReadable());

    PhotosFolderLibrary library(path);
    waitFor(addFilesToPhotos(library, cardFiles(), std::nullopt));
    EXPECT_TRUE(library.isReadable());
    EXPECT_TRUE(PhotosFolderLibrary(path).isReadable());

    const QString away = dir.filePath(QStringLiteral("away"));
    ASSERT_TRUE(QDir().rename(path, away));
    EXPECT_FALSE(library.isReadable());   // it was there: gone now
    ASSERT_TRUE(QDir().rename(away, path));
    EXPECT_TRUE(library.isReadable());

    // A folder that lost its database: its originals say nothing of which assets are left.
    const QString database = path + QStringLiteral("/library.sqlite");
    ASSERT_TRUE(QFile::rename(database, database + QStringLiteral(".moved")));
    EXPECT_FALSE(PhotosFolderLibrary(path).isReadable());
    ASSERT_TRUE(QFile::rename(database + QStringLiteral(".moved"), database));

    const QString damaged = dir.filePath(QStringLiteral("Damaged.photoslibrary"));
    ASSERT_TRUE(QDir().mkpath(damaged));
    writeBytes(damaged + QStringLiteral("/library.sqlite"), QByteArray(8192, 'x'));
    EXPECT_FALSE(PhotosFolderLibrary(damaged).isReadable());
}

// A library holding 300 assets, whose database file is then damaged: emptied, or one page of the
// assets table past the first overwritten. A scan of it lists nothing and names its root as
// missing, so that the index deletes nothing; neither the scan nor an import writes the file.
TEST_F(PhotosFolderLibraryTest, DamagedLibraryIsUnreadableForTheScanAndNeverWritten)
{
    struct DefaultLibraryAfterwards {
        ~DefaultLibraryAfterwards() { setSharedPhotoLibrary(nullptr); }
    } restore;
    const QString database = path + QStringLiteral("/library.sqlite");
    const auto makeLibrary = [&] {
        QDir(path).removeRecursively();
        waitFor(addFilesToPhotos(*std::make_shared<PhotosFolderLibrary>(path), cardFiles(), std::nullopt));
        Database db(database);
        Transaction transaction(db);
        for (int i = 0; i < 300; ++i)
            db.run(QStringLiteral("INSERT INTO assets (id, media_type, created) VALUES (?, 1, ?)"),
                   {QStringLiteral("asset-%1-with-a-long-identifier-to-fill-pages").arg(i), double(i)});
        transaction.commit();
        db.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    };
    const auto emptyFile = [&] { writeBytes(database, {}); };
    const auto corruptAssetPage = [&] { ASSERT_TRUE(damageLastPageOf(database, QStringLiteral("assets"))); };
    const struct {
        const char* damage;
        std::function<void()> apply;
        bool readableAtFirstLook;   // the first row of the assets table still reads
    } cases[] = {{"zero bytes", emptyFile, false}, {"a corrupt page of assets", corruptAssetPage, true}};

    Source photos;
    photos.kind = SourceKind::photos;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        makeLibrary();
        c.apply();
        const QByteArray damaged = readBytes(database);
        auto library = std::make_shared<PhotosFolderLibrary>(path);
        setSharedPhotoLibrary(library);

        EXPECT_EQ(library->isReadable(), c.readableAtFirstLook);
        const ScanResult scanned = scanSource(photos, QString());
        EXPECT_TRUE(scanned.files.isEmpty());
        EXPECT_TRUE(scanned.gaps.rootVanished);
        if (c.readableAtFirstLook)
            EXPECT_TRUE(scanned.failure.contains(QStringLiteral("malformed"))) << scanned.failure.toStdString();

        EXPECT_THROW(waitFor(addFilesToPhotos(*library, cardFiles(), std::nullopt)), PhotoLibraryError);
        EXPECT_EQ(readBytes(database), damaged);
    }
}

TEST_F(PhotosFolderLibraryTest, FailureBetweenCopyAndCommitLeavesNothing)
{
    PhotosFolderLibrary library(path);
    library.setChangeStageHook([](PhotosFolderLibrary::ChangeStage stage) {
        if (stage == PhotosFolderLibrary::ChangeStage::copied)
            throw PhotoLibraryError(PhotoLibraryError::Code::writeFailed, QStringLiteral("No space left."));
    });
    try {
        waitFor(addFilesToPhotos(library, cardFiles(), std::nullopt));
        FAIL() << "the injected failure did not arrive";
    } catch (const PhotoLibraryError& error) {
        EXPECT_EQ(error.description(), QStringLiteral("No space left."));
    }
    EXPECT_TRUE(library.fetchAssets(PhotoAssetFetchOptions{}).isEmpty());
    EXPECT_TRUE(stagedChanges().isEmpty());
    EXPECT_TRUE(QDir(path + QStringLiteral("/originals")).isEmpty());
}

TEST_F(PhotosFolderLibraryTest, RendersImportedImagesAndVideoPostersAndGivesVideoFiles)
{
    const QString png = dir.filePath(QStringLiteral("wide.png"));
    QImage picture(400, 200, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(png));
    const QString clip = mediaFixture(QStringLiteral("portrait.mov"));
    PhotosFolderLibrary library(path);
    waitFor(addFilesToPhotos(library, {CardFile{png, 0, 0, MediaKind::photo}, CardFile{clip, 0, 0, MediaKind::video}},
                             std::nullopt));
    const QList<PhotoAsset> assets = library.fetchAssets(PhotoAssetFetchOptions{});
    ASSERT_EQ(assets.size(), 2);

    const std::optional<QImage> rendered =
        library.requestImage(assets[0].localIdentifier, PhotoImageDeliveryMode::fastFormat, 100);
    ASSERT_TRUE(rendered);
    EXPECT_EQ(rendered->size(), QSize(100, 50));
    EXPECT_EQ(assets[0].pixelWidth, 400);
    EXPECT_FALSE(library.requestVideoFile(assets[0].localIdentifier));

    const std::optional<QString> video = library.requestVideoFile(assets[1].localIdentifier);
    ASSERT_TRUE(video);
    EXPECT_NE(*video, clip);   // the library's own copy
    EXPECT_EQ(readBytes(*video), readBytes(clip));
    // A video renders as its upright poster frame, never enlarged.
    const std::optional<QImage> poster = library.requestImage(assets[1].localIdentifier, PhotoImageDeliveryMode::highQuality, 100);
    ASSERT_TRUE(poster);
    EXPECT_EQ(poster->size(), QSize(36, 64));
}

TEST_F(PhotosFolderLibraryTest, AudioFileIsRefusedAsAPhoto)
{
    PhotosFolderLibrary library(path);
    const QString audio = mediaFixture(QStringLiteral("audio.m4a"));
    EXPECT_THROW(waitFor(addFilesToPhotos(library, {CardFile{audio, 0, 0, MediaKind::audio}}, std::nullopt)), PhotoLibraryError);
    EXPECT_TRUE(library.fetchAssets(PhotoAssetFetchOptions{}).isEmpty());
    EXPECT_TRUE(stagedChanges().isEmpty());
}

TEST_F(PhotosFolderLibraryTest, ImportedPhotoHasItsShownSizeAndRendersNoLarger)
{
    const QString turned = dir.filePath(QStringLiteral("turned.jpg"));
    writeBytes(turned, jpegWithExif(quarteredImage(400, 200), ExifFields{{}, 6, {}}));
    PhotosFolderLibrary library(path);
    waitFor(addFilesToPhotos(library, {CardFile{turned, 0, 0, MediaKind::photo}}, std::nullopt));
    const QList<PhotoAsset> assets = library.fetchAssets(PhotoAssetFetchOptions{});
    ASSERT_EQ(assets.size(), 1);
    EXPECT_EQ(QSize(int(assets[0].pixelWidth), int(assets[0].pixelHeight)), QSize(200, 400));

    const struct {
        int side;
        QSize size;
    } cases[] = {{100, {50, 100}}, {400, {200, 400}}, {2048, {200, 400}}};
    for (const auto& c : cases) {
        const std::optional<QImage> rendered =
            library.requestImage(assets[0].localIdentifier, PhotoImageDeliveryMode::highQuality, c.side);
        ASSERT_TRUE(rendered) << c.side;
        EXPECT_EQ(rendered->size(), c.size) << c.side;
    }
}

// A child process imports one file and is killed at a stage of the change; the library, opened
// again, holds the whole asset or nothing, and no staged copy is left behind.
TEST_F(PhotosFolderLibraryTest, ProcessKilledDuringAnImportLeavesTheWholeAssetOrNothing)
{
    const struct {
        PhotosFolderLibrary::ChangeStage stage;
        qsizetype assets;
    } cases[] = {{PhotosFolderLibrary::ChangeStage::copied, 0}, {PhotosFolderLibrary::ChangeStage::committed, 1}};
    for (const auto& c : cases) {
        QDir(path).removeRecursively();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PhotosFolderLibrary library(path);
            library.setChangeStageHook([&](PhotosFolderLibrary::ChangeStage stage) {
                if (stage == c.stage)
                    ::raise(SIGKILL);
            });
            try {
                waitFor(addFilesToPhotos(library, cardFiles(), std::nullopt));
            } catch (...) {
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        PhotosFolderLibrary reopened(path);
        const QList<PhotoAsset> assets = reopened.fetchAssets(PhotoAssetFetchOptions{});
        ASSERT_EQ(assets.size(), c.assets);
        if (!assets.isEmpty()) {
            EXPECT_EQ(dataOf(reopened, assets[0].localIdentifier), bytes);
        }
        EXPECT_TRUE(stagedChanges().isEmpty());
        EXPECT_TRUE(QFile::exists(photo));
    }
}

// A committed import whose folder cannot be moved into place yet keeps its staged copy, the
// asset's only one, until a later opening can move it.
TEST_F(PhotosFolderLibraryTest, CommittedCopyThatCannotMoveIntoPlaceIsKept)
{
    {
        PhotosFolderLibrary library(path);
        library.setChangeStageHook([](PhotosFolderLibrary::ChangeStage stage) {
            if (stage == PhotosFolderLibrary::ChangeStage::committed)
                throw PhotoLibraryError(PhotoLibraryError::Code::writeFailed, QStringLiteral("Stopped after the commit."));
        });
        EXPECT_THROW(waitFor(addFilesToPhotos(library, cardFiles(), std::nullopt)), PhotoLibraryError);
    }
    ASSERT_EQ(stagedChanges().size(), 1);
    const QDir change(path + QStringLiteral("/staging/") + stagedChanges().first());
    const QStringList assetFolders = change.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(assetFolders.size(), 1);
    // Something already stands where the asset's folder goes.
    const QString obstacle = path + QStringLiteral("/originals/") + assetFolders.first();
    ASSERT_TRUE(QDir().mkpath(obstacle + QStringLiteral("/in the way")));

    {
        PhotosFolderLibrary blocked(path);
        EXPECT_EQ(blocked.fetchAssets(PhotoAssetFetchOptions{}).size(), 1);
        EXPECT_EQ(stagedChanges().size(), 1);
    }
    ASSERT_TRUE(QDir(obstacle).removeRecursively());
    PhotosFolderLibrary reopened(path);
    const QList<PhotoAsset> assets = reopened.fetchAssets(PhotoAssetFetchOptions{});
    ASSERT_EQ(assets.size(), 1);
    EXPECT_EQ(dataOf(reopened, assets[0].localIdentifier), bytes);
    EXPECT_TRUE(stagedChanges().isEmpty());
}

// Two libraries on one folder stand for two processes: neither undoes the other's change.
TEST_F(PhotosFolderLibraryTest, TwoWritersAtOnceKeepBothChanges)
{
    PhotosFolderLibrary first(path);
    PhotosFolderLibrary second(path);
    QFuture<QString> album = createPhotosAlbum(first, QStringLiteral("Album"));
    QFuture<QStringList> imported = addFilesToPhotos(second, cardFiles(), std::nullopt);
    QFuture<QStringList> importedAgain = addFilesToPhotos(first, cardFiles(), std::nullopt);
    waitFor(album);
    waitFor(imported);
    waitFor(importedAgain);

    const QList<PhotoAsset> assets = second.fetchAssets(PhotoAssetFetchOptions{});
    ASSERT_EQ(assets.size(), 2);
    for (const PhotoAsset& asset : assets)
        EXPECT_EQ(dataOf(first, asset.localIdentifier), bytes);
    EXPECT_EQ(second.fetchTopLevelUserCollections().size(), 1);
    EXPECT_TRUE(stagedChanges().isEmpty());
}

// Each library object stands for a process of its own.
TEST_F(PhotosFolderLibraryTest, ObserversHearOfChangesMadeByAnotherProcess)
{
    PhotosFolderLibrary watched(path);
    PhotosFolderLibrary other(path);
    QSemaphore notices;
    const auto observer = std::make_shared<PhotosObserver>([&] { notices.release(); });
    watched.registerChangeObserver(observer);

    waitFor(createPhotosAlbum(other, QStringLiteral("From elsewhere")));
    EXPECT_TRUE(notices.tryAcquire(1, 10000));

    waitFor(createPhotosAlbum(watched, QStringLiteral("From here")));
    EXPECT_EQ(notices.available(), 1);   // told once, by the change itself
    waitFor(addFilesToPhotos(other, cardFiles(), std::nullopt));
    EXPECT_TRUE(notices.tryAcquire(2, 10000));
    EXPECT_EQ(notices.available(), 0);   // a notice of its own change would have arrived first
}

} // namespace
