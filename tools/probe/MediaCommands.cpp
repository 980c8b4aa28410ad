#include "tools/probe/Probe.h"

#include "Pellmar/media/MediaInfo.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/Thumbnails.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

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
        QFile file(args[0]);
        if (!file.open(QIODevice::ReadOnly)) {
            io.err << "cannot read " << args[0] << ": " << file.errorString() << Qt::endl;
            return 1;
        }
        const QByteArray head = file.read(headByteBudget(args[0]));
        if (!makeThumbnail(args[0], head, args[1])) {
            io.err << "no small preview: the file carries no usable embedded thumbnail" << Qt::endl;
            return 1;
        }
        io.out << "wrote " << args[1] << Qt::endl;
        return 0;
    });

} // namespace
