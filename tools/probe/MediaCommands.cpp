#include "tools/probe/Probe.h"

#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/platform/Defaults.h"

#include "Pellmar/media/ImageDecoding.h"
#include "Pellmar/media/MediaInfo.h"
#include "Pellmar/media/Posters.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/Thumbnails.h"
#include "Pellmar/media/VideoProxy.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <optional>

namespace {

QJsonObject mediaInfoJson(const MediaInfo& info)
{
    QJsonObject json{
        {QStringLiteral("width"), info.width},
        {QStringLiteral("height"), info.height},
        {QStringLiteral("duration"), info.duration},
        {QStringLiteral("camera"), info.camera},
        {QStringLiteral("lens"), info.lens},
    };
    json.insert(QStringLiteral("capturedAt"), info.capturedAt ? QJsonValue(*info.capturedAt) : QJsonValue());
    if (info.capturedAt)
        json.insert(QStringLiteral("capturedAtText"),
                    QDateTime::fromMSecsSinceEpoch(qint64(*info.capturedAt * 1000), Qt::UTC).toString(Qt::ISODateWithMs));
    return json;
}

const ProbeCommand infoCommand(
    QStringLiteral("info"), QStringLiteral("FILE"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() != 1)
            return probeUsage(infoCommand, io);
        const QString& path = args[0];
        if (!QFileInfo(path).isFile()) {
            io.err << "not a file: " << path << Qt::endl;
            return 1;
        }
        // Like the quick-index worker: photos by their metadata, videos and audio by the container.
        const auto kind = mediaKindForExtension(path);
        const bool timed = kind == MediaKind::video || kind == MediaKind::audio;
        const MediaInfo info = timed ? readVideoMetadata(path) : readImageMetadata(path);
        io.out << QJsonDocument(mediaInfoJson(info)).toJson(QJsonDocument::Indented);
        io.out.flush();
        return 0;
    });

const ProbeCommand thumbCommand(
    QStringLiteral("thumb"), QStringLiteral("FILE OUT.jpg"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() != 2)
            return probeUsage(thumbCommand, io);
        const RegularFile file(args[0]);
        if (!file.isOpen()) {
            io.err << "cannot read " << args[0] << ": " << file.errorText() << Qt::endl;
            return 1;
        }
        const QByteArray head = file.readHead(headByteBudget(args[0]));
        if (!makeThumbnail(args[0], head, args[1])) {
            io.err << "no small preview: the file carries no usable embedded thumbnail" << Qt::endl;
            return 1;
        }
        io.out << "wrote " << args[1] << Qt::endl;
        return 0;
    });

// Without a SIZE, the "proxySize" setting, else its registered 2048.
const ProbeCommand proxyCommand(
    QStringLiteral("proxy"), QStringLiteral("FILE OUT.heic [SIZE]"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() < 2 || args.size() > 3)
            return probeUsage(proxyCommand, io);
        bool ok = true;
        const qint64 setting = Defaults::standard().integer(QStringLiteral("proxySize"));
        const qint64 size = args.size() == 3 ? args[2].toLongLong(&ok) : (setting > 0 ? setting : 2048);
        if (!ok || size < 1 || size > 65535)
            return probeUsage(proxyCommand, io);
        makePhotoPreview(args[0], args[1], int(size));
        io.out << "wrote " << args[1] << Qt::endl;
        return 0;
    });

const ProbeCommand posterCommand(
    QStringLiteral("poster"), QStringLiteral("CLIP OUT.jpg"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() != 2)
            return probeUsage(posterCommand, io);
        makePoster(args[0], args[1], smallPreviewSize);
        io.out << "wrote " << args[1] << Qt::endl;
        return 0;
    });

// With a height, that height instead of the "videoProxy" setting, through settings of its own.
const ProbeCommand videoProxyCommand(
    QStringLiteral("vproxy"), QStringLiteral("CLIP OUT.mp4 [720|1080]"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() < 2 || args.size() > 3 || (args.size() == 3 && args[2] != QLatin1String("720") && args[2] != QLatin1String("1080")))
            return probeUsage(videoProxyCommand, io);
        std::optional<QTemporaryDir> scratch;
        const Defaults* defaults = &Defaults::standard();
        std::optional<Defaults> chosen;
        if (args.size() == 3) {
            scratch.emplace();
            chosen.emplace(scratch->filePath(QStringLiteral("probe.conf")));
            chosen->set(QStringLiteral("videoProxy"), args[2].toInt());
            defaults = &*chosen;
        }
        makeVideoProxy(args[0], args[1], {}, *defaults);
        io.out << "wrote " << args[1] << Qt::endl;
        return 0;
    });

} // namespace
