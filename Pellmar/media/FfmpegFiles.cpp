#include "Pellmar/media/FfmpegFiles.h"

#include "Pellmar/index/RegularFiles.h"

#include <QFile>

#include <cmath>

FormatContext openMediaFile(const QString& path, int* error)
{
    // FFmpeg opens the file without O_NONBLOCK: a FIFO would hold it for good.
    if (isSpecialFile(path)) {
        if (error)
            *error = AVERROR(EINVAL);
        return nullptr;
    }
    AVFormatContext* opened = nullptr;
    const int result = avformat_open_input(&opened, QFile::encodeName(path).constData(), nullptr, nullptr);
    if (error)
        *error = result;
    return FormatContext(result < 0 ? nullptr : opened);
}

AVStream* firstVideoTrack(const AVFormatContext* format)
{
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* stream = format->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return stream;
    }
    return nullptr;
}

const int32_t* displayMatrixOf(const AVStream* stream)
{
    size_t size = 0;
    const auto* matrix = reinterpret_cast<const int32_t*>(
        av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size));
    return matrix && size >= 9 * sizeof(int32_t) ? matrix : nullptr;
}

namespace {

// How the track's display matrix turns its pictures (quarter turns clockwise, 0 to 3) and whether
// it then mirrors them left to right.
struct DisplayTurn {
    int quarterTurns = 0;
    bool mirrored = false;
};

DisplayTurn displayTurnOf(const AVStream* stream)
{
    const int32_t* matrix = displayMatrixOf(stream);
    if (!matrix)
        return {};
    const double a = matrix[0];
    const double b = matrix[1];
    // A negative determinant: the matrix mirrors the picture after turning it, which negates its
    // first column. The angle of the turn is measured clockwise, as players turn the picture.
    const bool mirrored = a * matrix[4] - b * matrix[3] < 0;
    const double clockwise = std::atan2(b, mirrored ? -a : a) * 180.0 / M_PI;
    if (!std::isfinite(clockwise))
        return {};
    return {int(std::lround(clockwise / 90.0) % 4 + 4) % 4, mirrored};
}

} // namespace

int quarterTurnsToUpright(const AVStream* stream)
{
    return displayTurnOf(stream).quarterTurns;
}

int uprightOrientation(const AVStream* stream)
{
    static const int turned[4] = {1, 6, 3, 8};
    static const int turnedThenMirrored[4] = {2, 5, 4, 7};
    const DisplayTurn turn = displayTurnOf(stream);
    return turn.mirrored ? turnedThenMirrored[turn.quarterTurns] : turned[turn.quarterTurns];
}

CodecContext openDecoder(const AVStream* stream, int* error)
{
    int result = AVERROR_DECODER_NOT_FOUND;
    const auto failed = [&] {
        if (error)
            *error = result;
        return nullptr;
    };
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return failed();
    CodecContext context(avcodec_alloc_context3(codec));
    if (!context) {
        result = AVERROR(ENOMEM);
        return failed();
    }
    if ((result = avcodec_parameters_to_context(context.get(), stream->codecpar)) < 0)
        return failed();
    context->pkt_timebase = stream->time_base;
    context->thread_count = 0;   // as many as the machine has
    if ((result = avcodec_open2(context.get(), codec, nullptr)) < 0)
        return failed();
    return context;
}

QString ffmpegErrorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}
