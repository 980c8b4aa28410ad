// Readers given a FIFO, a device or a folder named like a media file refuse it at once with a clear
// error; none of them waits for a writer that never comes or reads without end.

#include "Pellmar/index/Hashing.h"
#include "Pellmar/index/SerialExecutor.h"
#include "Pellmar/media/CardFiles.h"
#include "Pellmar/media/DocumentThumbnails.h"
#include "Pellmar/media/ImageDecoding.h"
#include "Pellmar/media/MediaInfo.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosWriting.h"
#include "Pellmar/media/Posters.h"
#include "Pellmar/media/Thumbnails.h"
#include "Pellmar/media/VideoProxy.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

namespace {

// Runs a step that must refuse the file; its error names the reason.
void expectRefused(const std::function<void()>& step, const char* name)
{
    try {
        step();
        ADD_FAILURE() << name << " accepted the file";
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find(notRegularFileText), std::string::npos) << name << ": " << error.what();
    }
}

TEST(SpecialFiles, EveryReaderRefusesWhatIsNotARegularFile)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("clip.mov"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString folder = dir.filePath(QStringLiteral("photo.jpg"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString output = dir.filePath(QStringLiteral("out"));

    for (const QString& path : {fifo, QStringLiteral("/dev/zero"), folder}) {
        SCOPED_TRACE(path.toStdString());
        expectRefused([&] { quickHash(path, 10); }, "quick hash");
        expectRefused([&] { makePhotoPreview(path, output, 100); }, "larger preview");
        expectRefused([&] { makePoster(path, output, 100); }, "poster");
        expectRefused([&] { makeVideoProxy(path, output); }, "video proxy");
        EXPECT_FALSE(QFile::exists(output));

        for (const MediaInfo& info : {readImageMetadata(path), readVideoMetadata(path)})
            EXPECT_TRUE(info.width == 0 && info.duration == 0 && !info.capturedAt && info.camera.isEmpty());
        EXPECT_FALSE(makeThumbnail(path, QByteArray(), output));
        EXPECT_FALSE(rawEmbeddedPreview(path, 100));
        EXPECT_FALSE(tiffPreview(path, 100));
        EXPECT_TRUE(quickLookThumbnail(path, 100).isNull());
        EXPECT_FALSE(verifyCopy(path, CardFile{path, 0, 0, MediaKind::video}));
    }

    // The photo library copies only regular files in: importing a FIFO imports nothing.
    PhotosFolderLibrary library(dir.filePath(QStringLiteral("Library.photoslibrary")));
    EXPECT_THROW(waitFor(addFilesToPhotos(library, {CardFile{fifo, 0, 0, MediaKind::video}}, std::nullopt)), PhotoLibraryError);
    EXPECT_TRUE(library.fetchAssets(PhotoAssetFetchOptions{}).isEmpty());

    // An original in the library that became a FIFO is neither read nor rendered.
    const QString clip = dir.filePath(QStringLiteral("real.mov"));
    QFile regular(clip);
    ASSERT_TRUE(regular.open(QIODevice::WriteOnly));
    regular.write("not much of a video");
    regular.close();
    waitFor(addFilesToPhotos(library, {CardFile{clip, 0, 0, MediaKind::video}}, std::nullopt));
    const QList<PhotoAsset> assets = library.fetchAssets(PhotoAssetFetchOptions{});
    ASSERT_EQ(assets.size(), 1);
    const QString stored = library.requestVideoFile(assets.first().localIdentifier).value_or(QString());
    ASSERT_TRUE(QFile::remove(stored));
    ASSERT_EQ(::mkfifo(QFile::encodeName(stored).constData(), 0644), 0);
    EXPECT_THROW(library.requestData(library.resources(assets.first().localIdentifier).first(), [](const QByteArray&) { return true; }),
                 PhotoLibraryError);
    EXPECT_FALSE(library.requestImage(assets.first().localIdentifier, PhotoImageDeliveryMode::highQuality, 100));
}

} // namespace
