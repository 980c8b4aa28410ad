#include "Pellmar/media/PhotosFolderMedia.h"

#include "Pellmar/media/ImageDecoding.h"
#include "Pellmar/media/MediaInfo.h"
#include "Pellmar/media/Posters.h"
#include "Pellmar/media/ScanningRules.h"

#include <QDateTime>
#include <QFileInfo>

#include <exception>

ImportedAssetFacts importedAssetFacts(const QString& path, PhotoResourceType type)
{
    const bool video = type == PhotoResourceType::video;
    if (!video && mediaKindForExtension(path) == MediaKind::audio)
        throw PhotoLibraryError(PhotoLibraryError::Code::fileUnreadable,
                                QStringLiteral("The file %1 is not a photo.").arg(QFileInfo(path).fileName()));
    const MediaInfo info = video ? readVideoMetadata(path) : readImageMetadata(path);
    ImportedAssetFacts facts;
    facts.width = info.width;
    facts.height = info.height;
    facts.duration = info.duration;
    facts.created = info.capturedAt;
    if (!facts.created) {
        const QDateTime modified = QFileInfo(path).lastModified();
        if (modified.isValid())
            facts.created = double(modified.toMSecsSinceEpoch()) / 1000.0;
    }
    return facts;
}

std::optional<QImage> renderedAssetFile(const QString& path, PhotoResourceType type, int side)
{
    try {
        return type == PhotoResourceType::video ? posterImage(path, side) : decodePhoto(path, side);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
