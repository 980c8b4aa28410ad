#include "CardImportFixture.h"

#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/platform/MemoryPhotoLibrary.h"

namespace {

// A photo library that hands back a changed byte for the original of the file named `damaged`, as
// a library on a failing disk would.
class DamagingLibrary final : public MemoryPhotoLibrary {
public:
    void requestData(const PhotoAssetResource& resource,
                     const std::function<bool(const QByteArray& chunk)>& receive) const override
    {
        MemoryPhotoLibrary::requestData(resource, [&](QByteArray chunk) {
            if (resource.originalFilename == damaged && !chunk.isEmpty())
                chunk[chunk.size() - 1] = char(chunk.back() ^ 1);
            return receive(chunk);
        });
    }

    QString damaged;
};

class PhotosImportTest : public CardImportFixture {
protected:
    PhotosImportTest()
    {
        photos->addAlbum(QStringLiteral("ALBUM-1"), QStringLiteral("Trip"));
        setSharedPhotoLibrary(photos);
        QObject::connect(library.get(), &Library::changed, [this](Library::Prop prop) {
            if (prop == Library::Prop::importJob && library->importJob() && !library->importJob()->current.isEmpty()
                && (currents.isEmpty() || currents.last() != library->importJob()->current))
                currents.append(library->importJob()->current);
        });
    }
    ~PhotosImportTest() override { setSharedPhotoLibrary(nullptr); }

    QList<CardFile> cardPhotos(int count)
    {
        QList<CardFile> files;
        for (int i = 1; i <= count; ++i)
            files.append(cardPhoto(QStringLiteral("IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0')), 1024));
        return files;
    }

    int onCard(const QList<CardFile>& files) const
    {
        return int(std::count_if(files.cbegin(), files.cend(), [](const CardFile& file) { return QFileInfo::exists(file.url); }));
    }

    std::shared_ptr<DamagingLibrary> photos = std::make_shared<DamagingLibrary>();
    QStringList currents;   // the names shown for each batch
};

TEST_F(PhotosImportTest, GoesInBatchesOf50AndDeletesOnlyOriginalsThatCompareEqual)
{
    const QList<CardFile> files = cardPhotos(120);
    photos->damaged = QStringLiteral("IMG_0077.JPG");
    const CardFile song = cardPhoto(QStringLiteral("song.mp3"), 10, MediaKind::audio);
    library->startPhotosImport(files + QList<CardFile>{song}, device, PhotosAlbum{"ALBUM-1", "Trip"}, std::nullopt, true);
    ASSERT_EQ(library->importJob()->total, 120);   // the audio file is left out
    waitForResult();

    EXPECT_EQ(currents, (QStringList{"IMG_0001.JPG, IMG_0002.JPG, IMG_0003.JPG, IMG_0004.JPG",
                                     "IMG_0051.JPG, IMG_0052.JPG, IMG_0053.JPG, IMG_0054.JPG",
                                     "IMG_0101.JPG, IMG_0102.JPG, IMG_0103.JPG, IMG_0104.JPG"}));
    EXPECT_EQ(photos->fetchAssets(QStringLiteral("ALBUM-1"), {}).size(), 120);
    const ImportResult expected{120, 119, std::nullopt, QStringLiteral("Trip"), device, false, 1};
    EXPECT_EQ(library->importResult(), expected);
    EXPECT_EQ(onCard(files), 1);
    EXPECT_TRUE(QFileInfo::exists(files[76].url));   // its copy in the library differs
    EXPECT_TRUE(QFileInfo::exists(song.url));
    EXPECT_FALSE(library->lastError());
}

TEST_F(PhotosImportTest, ARefusedBatchKeepsItsOriginalsAndSaysSo)
{
    const QList<CardFile> files = cardPhotos(60);
    photos->failNextChange(PhotoLibraryError(PhotoLibraryError::Code::writeFailed, QStringLiteral("The disk is full.")));
    library->startPhotosImport(files, device, PhotosAlbum{"ALBUM-1", "Trip"}, std::nullopt, true);
    waitForResult();

    EXPECT_EQ(library->lastError(), QStringLiteral("Photo Library did not take 50 files. The disk is full."));
    EXPECT_EQ(library->importResult()->count, 10);
    EXPECT_EQ(library->importResult()->deleted, 10);
    EXPECT_EQ(onCard(files.mid(0, 50)), 50);
    EXPECT_EQ(onCard(files.mid(50)), 0);
}

TEST_F(PhotosImportTest, AnAlbumThatCannotBeCreatedEndsTheImportWithNothingTaken)
{
    const QList<CardFile> files = cardPhotos(3);
    photos->failNextChange(PhotoLibraryError(PhotoLibraryError::Code::writeFailed, QStringLiteral("The disk is full.")));
    library->startPhotosImport(files, device, std::nullopt, QStringLiteral("Card"), true);
    waitForResult();

    EXPECT_EQ(library->lastError(), QStringLiteral("Could not create the album Card. The disk is full."));
    const ImportResult expected{0, 0, std::nullopt, QStringLiteral("Card"), device, false};
    EXPECT_EQ(library->importResult(), expected);
    EXPECT_EQ(onCard(files), 3);
    EXPECT_TRUE(photos->fetchAssets(PhotoAssetFetchOptions{}).isEmpty());
    EXPECT_TRUE(QCoro::waitFor(library->recentImportTargets()).isEmpty());
}

} // namespace
