#include "Pellmar/library/engine/FullPreviewBuild.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Index.h"
#include "Pellmar/library/engine/ReadGate.h"
#include "Pellmar/media/DocumentThumbnails.h"
#include "Pellmar/media/ImageDecoding.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosPreviews.h"
#include "Pellmar/media/Posters.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/TileImages.h"
#include "Pellmar/media/VideoProxy.h"
#include "Pellmar/platform/Defaults.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <exception>
#include <limits>

namespace {

constexpr int posterSide = 1280;
constexpr double documentPreviewSide = 440;
constexpr double documentProxySide = 1280;
// Used when "proxySize" holds no usable size: the size the program registers for it.
constexpr int registeredProxySize = 2048;

QString errorText(const std::exception& error)
{
    if (const auto* databaseError = dynamic_cast<const DatabaseError*>(&error))
        return databaseError->description();
    return QString::fromUtf8(error.what());
}

// Read for every photo, so that a changed setting applies to the next one rendered.
int proxySizeNow(const Defaults& defaults)
{
    const qint64 size = defaults.integer(QStringLiteral("proxySize"));
    return size > 0 && size <= std::numeric_limits<int>::max() ? int(size) : registeredProxySize;
}

void writePng(const QImage& image, const QString& output)
{
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly))
        throw DatabaseError(QStringLiteral("cannot create proxy"));
    QImageWriter writer(&file, "png");
    if (!writer.write(image) || !file.commit())
        throw DatabaseError(QStringLiteral("proxy write failed"));
}

template <typename Write>
void record(const FullBuild& build, Write write)
{
    waitFor(build.index->run(std::move(write)));
}

void recordProxy(const FullBuild& build, const QString& itemID, const QString& proxy, const QString& poster = {})
{
    record(build, [itemID, proxy, poster](Index& index) { index.setProxy(itemID, proxy, poster); });
}

// Renders the item's files and records them; throws at the first failure.
void renderAndRecord(const FullJob& job, const QString& file, const FullBuild& build)
{
    const FullRenderers& render = *build.renderers;
    const QDir folder(build.proxyDirectory);
    const QString& id = job.itemID;
    switch (job.kind) {
    case MediaKind::photo:
        render.photo(file, folder.filePath(id + QStringLiteral(".heic")), proxySizeNow(*build.defaults),
                     [token = build.token] { return token.isCancelled(); });
        recordProxy(build, id, QStringLiteral("heic"));
        return;
    case MediaKind::video: {
        // Without a new poster the one stored earlier (the small one, if any) stays in use.
        QString posterExtension;
        try {
            render.poster(file, folder.filePath(id + QStringLiteral(".poster.jpg")), posterSide);
            posterExtension = QStringLiteral("jpg");
        } catch (const std::exception&) {
        }
        render.videoProxy(file, folder.filePath(id + QStringLiteral(".mp4")),
                          [token = build.token] { return token.isCancelled(); });
        recordProxy(build, id, QStringLiteral("mp4"), posterExtension);
        return;
    }
    case MediaKind::document: {
        const auto isCancelled = [token = build.token] { return token.isCancelled(); };
        const QImage preview = render.documentImage(file, documentPreviewSide, isCancelled);
        if (!preview.isNull()) {
            writePng(preview, folder.filePath(id + QStringLiteral(".preview.png")));
            record(build, [id](Index& index) { index.setPreview(id, QStringLiteral("png")); });
        }
        const QImage proxy = render.documentImage(file, documentProxySide, isCancelled);
        if (proxy.isNull()) {
            recordProxy(build, id, QStringLiteral("none"));
            return;
        }
        writePng(proxy, folder.filePath(id + QStringLiteral(".png")));
        recordProxy(build, id, QStringLiteral("png"));
        return;
    }
    case MediaKind::audio:
        break;
    }
    recordProxy(build, id, QStringLiteral("none"));
}

} // namespace

std::shared_ptr<const FullRenderers> FullRenderers::system(const Defaults& defaults)
{
    auto renderers = std::make_shared<FullRenderers>();
    renderers->photo = makePhotoPreview;
    renderers->poster = makePoster;
    renderers->videoProxy = [&defaults](const QString& file, const QString& output, const IsCancelled& isCancelled) {
        makeVideoProxy(file, output, isCancelled, defaults);
    };
    renderers->documentImage = [](const QString& file, double side, const IsCancelled& isCancelled) {
        return quickLookThumbnail(file, side, isCancelled);
    };
    renderers->photoLibraryItem = [&defaults](const FullJob& job, Index& index, const QString& previewFolder,
                                              const IsCancelled& isCancelled) {
        buildPhotosFullPreview(job, index, previewFolder, *sharedPhotoLibrary(), isCancelled, defaults);
    };
    renderers->tileImage = makeTileImage;
    renderers->isAvailable = [](const Source& source) { return isSourceAvailable(source); };
    return renderers;
}

QStringList renderableSources(const FullBuild& build)
{
    QStringList ids;
    for (const Source& source : build.sources) {
        if (build.renderers->isAvailable(source))
            ids.append(source.id);
    }
    return ids;
}

QStringList proxiesWithoutTileImage(const QString& proxyDirectory)
{
    QStringList proxies;
    // A photo proxy is named "<item id>.heic", with no other dot.
    QDirIterator files(proxyDirectory, {QStringLiteral("*.heic")}, QDir::Files);
    while (files.hasNext()) {
        const QFileInfo file = files.nextFileInfo();
        if (file.fileName().count(u'.') == 1 && !QFileInfo::exists(tileImagePath(file.filePath())))
            proxies.append(file.filePath());
    }
    proxies.sort();
    return proxies;
}

std::optional<QString> buildFullPreview(const FullJob& job, const FullBuild& build)
{
    // A stopped run starts no more renders; the rest of its batch waits for the next run.
    if (build.token.isCancelled())
        return std::nullopt;
    // Marked while it is rendered: an item whose file ends the process here fails at the next start.
    const ReadingMarks::Mark mark = build.readingMarks ? build.readingMarks->markItem(job.itemID) : ReadingMarks::Mark();
    const Source source = build.sources.value(job.sourceID);
    if (source.kind == SourceKind::photos) {
        build.renderers->photoLibraryItem(job, *build.index, build.proxyDirectory,
                                          [token = build.token] { return token.isCancelled(); });
        return std::nullopt;
    }
    const QString file = source.rootPath + QLatin1Char('/') + job.relativePath;
    // Held through the record, and handed on when this returns, whatever happened.
    const std::optional<Gate::Pass> pass = ReadGate::passFor(file);
    try {
        renderAndRecord(job, file, build);
        return std::nullopt;
    } catch (const std::exception& error) {
        // A render cut short by a stop is no failure of the item, nor is one whose source went away
        // meanwhile (a drive unplugged): the item waits for the source to come back.
        if (build.token.isCancelled() || !build.renderers->isAvailable(source))
            return std::nullopt;
        const QString message = errorText(error);
        try {
            record(build, [id = job.itemID, message](Index& index) { index.setFullError(id, message); });
            return std::nullopt;
        } catch (const std::exception& recordError) {
            return errorText(recordError);
        }
    }
}
