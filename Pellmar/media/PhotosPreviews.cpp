#include "Pellmar/media/PhotosPreviews.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Index.h"
#include "Pellmar/media/ImageDecoding.h"
#include "Pellmar/media/PhotosIndexing.h"
#include "Pellmar/media/Thumbnails.h"
#include "Pellmar/media/TileImages.h"
#include "Pellmar/media/VideoProxy.h"

#include <QDir>
#include <QFile>

#include <exception>
#include <limits>
#include <optional>

namespace {

constexpr int posterSide = 1280;
// Asked for when "proxySize" holds no usable size: the size the program registers for it.
constexpr int defaultProxySize = 2048;

struct Outcome {
    QString proxyExtension;
    QString posterExtension;
};

Outcome buildPhotoProxy(const FullJob& job, const QDir& folder, const PhotoLibrary& library, const Defaults& defaults)
{
    const qint64 proxySize = defaults.integer(QStringLiteral("proxySize"));
    const int side = proxySize > 0 && proxySize <= std::numeric_limits<int>::max() ? int(proxySize) : defaultProxySize;
    const std::optional<QImage> image = library.requestImage(job.assetID, PhotoImageDeliveryMode::highQuality, side);
    if (!image)
        throw DatabaseError(QStringLiteral("original is not on this computer"));
    const QString proxy = folder.filePath(job.itemID + QStringLiteral(".heic"));
    writeImageFile(*image, proxy, ImageFileType::heic, 0.8);
    writeTileImage(*image, proxy);

    // A small preview that exists is redrawn from the better rendering; it is never made here.
    const QString preview = folder.filePath(job.itemID + QStringLiteral(".preview.jpg"));
    if (QFile::exists(preview)) {
        const QImage scaled = redraw(*image, photosPreviewSide);
        try {
            if (!scaled.isNull())
                writeImageFile(scaled, preview, ImageFileType::jpeg, 0.8);
        } catch (const std::exception&) {
            // The earlier preview stays; the proxy is what this job is for.
        }
    }
    return {QStringLiteral("heic"), {}};
}

Outcome buildVideoProxy(const FullJob& job, const QDir& folder, const PhotoLibrary& library,
                        const std::function<bool()>& isCancelled, const Defaults& defaults)
{
    Outcome outcome;
    if (const std::optional<QImage> image =
            library.requestImage(job.assetID, PhotoImageDeliveryMode::highQuality, posterSide)) {
        writeImageFile(*image, folder.filePath(job.itemID + QStringLiteral(".poster.jpg")), ImageFileType::jpeg, 0.85);
        outcome.posterExtension = QStringLiteral("jpg");
    }
    const std::optional<QString> videoFile = library.requestVideoFile(job.assetID);
    if (!videoFile) {
        outcome.proxyExtension = QStringLiteral("none");   // the video's file is not on this computer
        return outcome;
    }
    makeVideoProxy(*videoFile, folder.filePath(job.itemID + QStringLiteral(".mp4")), isCancelled, defaults);
    outcome.proxyExtension = QStringLiteral("mp4");
    return outcome;
}

} // namespace

void buildPhotosFullPreview(const FullJob& job, Index& index, const QString& previewFolder,
                            const PhotoLibrary& library, const std::function<bool()>& isCancelled,
                            const Defaults& defaults)
{
    try {
        fetchPhotosAsset(library, job.assetID);
        const QDir folder(previewFolder);
        Outcome outcome{QStringLiteral("none"), {}};
        if (job.kind == MediaKind::photo)
            outcome = buildPhotoProxy(job, folder, library, defaults);
        else if (job.kind == MediaKind::video)
            outcome = buildVideoProxy(job, folder, library, isCancelled, defaults);
        waitFor(index.run([itemID = job.itemID, outcome](Index& ix) {
            ix.setProxy(itemID, outcome.proxyExtension, outcome.posterExtension);
        }));
    } catch (const std::exception& error) {
        // A stopped export is no failure of the item: it stays waiting for the next run.
        if (isCancelled && isCancelled())
            return;
        const QString message = QString::fromUtf8(error.what());
        try {
            waitFor(index.run([itemID = job.itemID, message](Index& ix) { ix.setFullError(itemID, message); }));
        } catch (const std::exception&) {
            // The index could not take the failure either; the item stays waiting.
        }
    }
}
