#include "Pellmar/media/Posters.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/FfmpegFiles.h"
#include "Pellmar/media/MediaLibraries.h"
#include "Pellmar/media/Thumbnails.h"

#include <QImage>
#include <QSize>

extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr double latestPosterTime = 1.0;

[[noreturn]] void fail(int error)
{
    throw DatabaseError(ffmpegErrorText(error));
}

// The first frame at or after `target` (in the stream's time base), or the last one when the
// stream ends before it.
Frame frameAtOrAfter(AVFormatContext* format, AVStream* stream, AVCodecContext* decoder, int64_t target)
{
    Packet packet(av_packet_alloc());
    Frame frame(av_frame_alloc());
    Frame last;
    bool draining = false;
    for (;;) {
        int result = avcodec_receive_frame(decoder, frame.get());
        if (result == 0) {
            const int64_t time = frame->best_effort_timestamp;
            if (time == AV_NOPTS_VALUE || time >= target)
                return frame;
            last = std::move(frame);
            frame.reset(av_frame_alloc());
            continue;
        }
        if (result == AVERROR_EOF)
            break;
        if (result != AVERROR(EAGAIN))
            fail(result);
        if (draining)
            break;
        result = av_read_frame(format, packet.get());
        if (result == AVERROR_EOF) {
            draining = true;
            avcodec_send_packet(decoder, nullptr);
            continue;
        }
        if (result < 0)
            fail(result);
        if (packet->stream_index == stream->index)
            avcodec_send_packet(decoder, packet.get());
        av_packet_unref(packet.get());
    }
    if (!last)
        throw DatabaseError(QStringLiteral("no video frame"));
    return last;
}

// The frame in RGB, scaled by its pixel aspect to fit within maxPixelSize on either side.
QImage pictureOf(const AVFrame* frame, AVRational sampleAspect, int maxPixelSize)
{
    const double aspect = sampleAspect.num > 0 && sampleAspect.den > 0 ? av_q2d(sampleAspect) : 1.0;
    const double shownWidth = frame->width * aspect;
    const double scale = std::min(1.0, maxPixelSize / std::max(shownWidth, double(frame->height)));
    const QSize size(std::max(1, int(std::lround(shownWidth * scale))), std::max(1, int(std::lround(frame->height * scale))));
    QImage picture(size, QImage::Format_RGB888);
    const std::unique_ptr<SwsContext, decltype(&sws_freeContext)> scaler(
        sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), size.width(), size.height(),
                       AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr),
        &sws_freeContext);
    if (!scaler || picture.isNull())
        throw DatabaseError(QStringLiteral("no video frame"));
    uint8_t* planes[4] = {picture.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(picture.bytesPerLine()), 0, 0, 0};
    sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
    return picture;
}

} // namespace

QImage posterImage(const QString& path, int maxPixelSize)
{
    initMediaLibraries();
    refuseSpecialFile(path);
    int error = 0;
    const FormatContext format = openMediaFile(path, &error);
    if (!format)
        fail(error);
    if ((error = avformat_find_stream_info(format.get(), nullptr)) < 0)
        fail(error);
    AVStream* stream = firstVideoTrack(format.get());
    if (!stream)
        throw DatabaseError(QStringLiteral("no video track"));
    const CodecContext decoder = openDecoder(stream, &error);
    if (!decoder)
        fail(error);   // "Decoder not found" only when there is none; a decoder that refuses the stream says why

    const double duration = format->duration > 0 ? double(format->duration) / AV_TIME_BASE : 0.0;
    const double seconds = std::min(duration / 2, latestPosterTime);
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    const int64_t target = start + int64_t(std::llround(seconds / av_q2d(stream->time_base)));
    // To the key frame at or before the time; the frames from there are decoded up to it.
    av_seek_frame(format.get(), stream->index, target, AVSEEK_FLAG_BACKWARD);

    const Frame frame = frameAtOrAfter(format.get(), stream, decoder.get(), target);
    const QImage picture = pictureOf(frame.get(), av_guess_sample_aspect_ratio(format.get(), stream, frame.get()), maxPixelSize);
    return applyOrientation(picture, uprightOrientation(stream));
}

void makePoster(const QString& path, const QString& output, int maxPixelSize)
{
    writeImageFile(posterImage(path, maxPixelSize), output, ImageFileType::jpeg, posterQuality);
}
