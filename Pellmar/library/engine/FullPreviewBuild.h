#pragma once

#include "Pellmar/index/Model.h"
#include "Pellmar/library/engine/ReadingMarks.h"
#include "Pellmar/library/frame/Cancellation.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Defaults;
class Index;

// What the larger previews are made with; tests pass fakes. Each is called on a background thread
// and blocks for its work; a renderer reports a failure by throwing.
struct FullRenderers {
    using IsCancelled = std::function<bool()>;

    // A photo as a HEIC of at most the given pixel size; stops early, throwing, once `isCancelled`
    // answers true.
    std::function<void(const QString& file, const QString& output, int maxPixelSize, const IsCancelled& isCancelled)>
        photo;
    // A video's poster frame as a JPEG of at most the given pixel size.
    std::function<void(const QString& file, const QString& output, int maxPixelSize)> poster;
    // A video's MPEG-4 proxy; stops early, throwing, once `isCancelled` answers true.
    std::function<void(const QString& file, const QString& output, const IsCancelled& isCancelled)> videoProxy;
    // A document's picture fitted into a square of the given side; a null image when there is none.
    // Stops early, throwing, once `isCancelled` answers true or the render takes too long.
    std::function<QImage(const QString& file, double side, const IsCancelled& isCancelled)> documentImage;
    // Renders and records an item of the photo library itself.
    std::function<void(const FullJob& job, Index& index, const QString& previewFolder, const IsCancelled& isCancelled)>
        photoLibraryItem;
    // Writes the tile image of a photo proxy written before proxies had one, from the proxy and
    // changing nothing else; false when it cannot.
    std::function<bool(const QString& proxy)> tileImage;
    // Whether a source can be read now: the photo library when access is granted, a folder source
    // when its root is a folder on the volume it was added from.
    std::function<bool(const Source& source)> isAvailable;

    // The media layer's renderers, the shared photo library and the machine's volumes; the video
    // proxy's height follows "videoProxy" in `defaults`, which outlives the renderers.
    static std::shared_ptr<const FullRenderers> system(const Defaults& defaults);
};

// What one worker run renders with, fixed when the run starts.
struct FullBuild {
    Index* index = nullptr;           // the writer
    QString proxyDirectory;
    QHash<QString, Source> sources;   // by id
    const Defaults* defaults = nullptr;
    std::shared_ptr<const FullRenderers> renderers;
    CancelToken token;
    std::shared_ptr<ReadingMarks> readingMarks;   // null: nothing is marked
};

// The ids of the sources that can be read now. Blocks on the disk; never called on the GUI thread.
QStringList renderableSources(const FullBuild& build);

// The photo proxies in the preview folder that have no tile image yet. Blocks on the disk; never
// called on the GUI thread.
QStringList proxiesWithoutTileImage(const QString& proxyDirectory);

// Renders one item's larger files into the preview folder and records them on the index; a failure
// is recorded as the item's error while the item's source is still available (otherwise the item
// waits for it). Files larger than 32 MiB are read through the shared read gate.
// Returns why the index took neither the outcome nor the failure; nothing otherwise. A render cut
// short by cancellation records nothing, so the item waits for the next run. Runs on a background
// thread and blocks.
std::optional<QString> buildFullPreview(const FullJob& job, const FullBuild& build);
