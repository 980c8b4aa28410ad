#include "Pellmar/media/VideoProxy.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/RegularFiles.h"
#include "Pellmar/media/FfmpegFiles.h"
#include "Pellmar/media/MediaLibraries.h"
#include "Pellmar/media/PartialOutput.h"

#include <QFile>

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// Encoder settings, shared with bench/media.sh so that the comparison runs the same encode.
constexpr const char* x264Preset = "veryfast";
constexpr const char* x264Crf = "23";
constexpr int64_t stereoBitRate = 128000;
constexpr int64_t monoBitRate = 64000;

// What an export session answers with when it failed or was cancelled.
constexpr int exportStatusFailed = 4;
constexpr int exportStatusCancelled = 5;

struct SwrDeleter {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct FifoDeleter {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
struct OutputDeleter {
    void operator()(AVFormatContext* context) const
    {
        if (context->pb)
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};

// An FFmpeg call of the export failed.
struct FfmpegFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(int error)
{
    throw FfmpegFailure(ffmpegErrorText(error).toStdString());
}

void check(int result)
{
    if (result < 0)
        fail(result);
}

int even(double value)
{
    return std::max(2, int(std::lround(value / 2)) * 2);
}

// Copies the planes of a yuv420p frame turned clockwise by `turns` quarter turns into `turned`.
void turnPlanes(const AVFrame* source, AVFrame* turned, int turns)
{
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        const int width = source->width >> shift;
        const int height = source->height >> shift;
        const uint8_t* from = source->data[plane];
        const int fromStride = source->linesize[plane];
        uint8_t* to = turned->data[plane];
        const int toStride = turned->linesize[plane];
        const int toWidth = turns % 2 ? height : width;
        const int toHeight = turns % 2 ? width : height;
        for (int y = 0; y < toHeight; ++y) {
            for (int x = 0; x < toWidth; ++x) {
                int sx = x, sy = y;
                if (turns == 1) {
                    sx = y;
                    sy = height - 1 - x;
                } else if (turns == 2) {
                    sx = width - 1 - x;
                    sy = height - 1 - y;
                } else if (turns == 3) {
                    sx = width - 1 - y;
                    sy = x;
                }
                to[y * toStride + x] = from[sy * fromStride + sx];
            }
        }
    }
}

class ProxyExport {
public:
    ProxyExport(const ProxyExport&) = delete;
    ProxyExport& operator=(const ProxyExport&) = delete;
    ~ProxyExport() { sws_freeContext(scaler_); }

    ProxyExport(const QString& path, int boxLong, int boxShort, std::function<bool()> isCancelled)
        : isCancelled_(std::move(isCancelled))
    {
        input_ = openMediaFile(path);
        if (!input_ || avformat_find_stream_info(input_.get(), nullptr) < 0)
            throw DatabaseError(QStringLiteral("no export session"));
        video_ = firstVideoTrack(input_.get());
        hasVideoTrack_ = video_ != nullptr;
        videoDecoder_ = video_ ? openDecoder(video_) : nullptr;
        if (!videoDecoder_)
            video_ = nullptr;
        const int audioIndex = av_find_best_stream(input_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        audio_ = audioIndex >= 0 ? input_->streams[audioIndex] : nullptr;
        audioDecoder_ = audio_ ? openDecoder(audio_) : nullptr;
        if (!audioDecoder_)
            audio_ = nullptr;
        if (!video_ && !audio_)
            throw DatabaseError(QStringLiteral("no export session"));
        if (video_)
            planVideo(boxLong, boxShort);
    }

    void run(const QString& target)
    {
        AVFormatContext* output = nullptr;
        check(avformat_alloc_output_context2(&output, nullptr, "mp4", QFile::encodeName(target).constData()));
        output_.reset(output);
        if (video_)
            openVideoEncoder();
        if (audio_)
            openAudioEncoder();
        check(avio_open(&output_->pb, QFile::encodeName(target).constData(), AVIO_FLAG_WRITE));
        AVDictionary* options = nullptr;
        av_dict_set(&options, "movflags", "+faststart", 0);
        const int headerResult = avformat_write_header(output_.get(), &options);
        av_dict_free(&options);
        check(headerResult);

        Packet packet(av_packet_alloc());
        for (;;) {
            if (isCancelled_ && isCancelled_())
                throw DatabaseError(QStringLiteral("export status %1").arg(exportStatusCancelled));
            const int result = av_read_frame(input_.get(), packet.get());
            if (result == AVERROR_EOF)
                break;
            check(result);
            if (video_ && packet->stream_index == video_->index)
                decode(videoDecoder_.get(), packet.get());
            else if (audio_ && packet->stream_index == audio_->index)
                decode(audioDecoder_.get(), packet.get());
            av_packet_unref(packet.get());
        }
        if (video_) {
            decode(videoDecoder_.get(), nullptr);
            encode(videoEncoder_.get(), videoOut_, nullptr);
        }
        if (audio_) {
            decode(audioDecoder_.get(), nullptr);
            drainAudio(true);
            encode(audioEncoder_.get(), audioOut_, nullptr);
        }
        check(av_write_trailer(output_.get()));
        check(avio_closep(&output_->pb));
        // A clip none of whose pictures decodes would leave a proxy with nothing to show.
        if (hasVideoTrack_ && videoFramesWritten_ == 0)
            throw DatabaseError(QStringLiteral("export status %1").arg(exportStatusFailed));
    }

private:
    // The output size: the shown size (pixel aspect and turn applied) fitted into the box, which
    // stands up for a portrait video; then the size to scale to before the turn.
    void planVideo(int boxLong, int boxShort)
    {
        turns_ = quarterTurnsToUpright(video_);
        const AVRational aspect = av_guess_sample_aspect_ratio(input_.get(), video_, nullptr);
        double shownWidth = videoDecoder_->width * (aspect.num > 0 && aspect.den > 0 ? av_q2d(aspect) : 1.0);
        double shownHeight = videoDecoder_->height;
        if (turns_ % 2)
            std::swap(shownWidth, shownHeight);
        if (shownWidth < 1 || shownHeight < 1)
            throw DatabaseError(QStringLiteral("no export session"));
        const bool portrait = shownHeight > shownWidth;
        const double boxWidth = portrait ? boxShort : boxLong;
        const double boxHeight = portrait ? boxLong : boxShort;
        const double scale = std::min({1.0, boxWidth / shownWidth, boxHeight / shownHeight});
        outWidth_ = even(shownWidth * scale);
        outHeight_ = even(shownHeight * scale);
        scaledWidth_ = turns_ % 2 ? outHeight_ : outWidth_;
        scaledHeight_ = turns_ % 2 ? outWidth_ : outHeight_;
    }

    AVStream* addStream(AVCodecContext* encoder)
    {
        if (output_->oformat->flags & AVFMT_GLOBALHEADER)
            encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        AVStream* stream = avformat_new_stream(output_.get(), nullptr);
        if (!stream)
            fail(AVERROR(ENOMEM));
        stream->time_base = encoder->time_base;
        return stream;
    }

    void openVideoEncoder()
    {
        const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
        if (!codec)
            fail(AVERROR_ENCODER_NOT_FOUND);
        videoEncoder_.reset(avcodec_alloc_context3(codec));
        AVCodecContext* encoder = videoEncoder_.get();
        encoder->width = outWidth_;
        encoder->height = outHeight_;
        encoder->pix_fmt = AV_PIX_FMT_YUV420P;
        encoder->sample_aspect_ratio = AVRational{1, 1};
        encoder->time_base = video_->time_base;
        encoder->framerate = av_guess_frame_rate(input_.get(), video_, nullptr);
        encoder->thread_count = 0;
        av_opt_set(encoder->priv_data, "preset", x264Preset, 0);
        av_opt_set(encoder->priv_data, "crf", x264Crf, 0);
        videoOut_ = addStream(encoder);
        check(avcodec_open2(encoder, codec, nullptr));
        check(avcodec_parameters_from_context(videoOut_->codecpar, encoder));

        videoStart_ = video_->start_time == AV_NOPTS_VALUE ? 0 : video_->start_time;
    }

    void openAudioEncoder()
    {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!codec)
            fail(AVERROR_ENCODER_NOT_FOUND);
        audioEncoder_.reset(avcodec_alloc_context3(codec));
        AVCodecContext* encoder = audioEncoder_.get();
        AVChannelLayout inputLayout{};
        if (av_channel_layout_check(&audioDecoder_->ch_layout) && audioDecoder_->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
            check(av_channel_layout_copy(&inputLayout, &audioDecoder_->ch_layout));
        else
            av_channel_layout_default(&inputLayout, std::max(1, audioDecoder_->ch_layout.nb_channels));
        const int channels = std::min(2, inputLayout.nb_channels);
        av_channel_layout_default(&encoder->ch_layout, channels);
        encoder->sample_rate = audioDecoder_->sample_rate > 0 ? std::min(audioDecoder_->sample_rate, 48000) : 44100;
        encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
        encoder->bit_rate = channels == 2 ? stereoBitRate : monoBitRate;
        encoder->time_base = AVRational{1, encoder->sample_rate};
        audioOut_ = addStream(encoder);
        check(avcodec_open2(encoder, codec, nullptr));
        check(avcodec_parameters_from_context(audioOut_->codecpar, encoder));

        SwrContext* resampler = nullptr;
        const int result = swr_alloc_set_opts2(&resampler, &encoder->ch_layout, encoder->sample_fmt, encoder->sample_rate,
                                               &inputLayout, audioDecoder_->sample_fmt, audioDecoder_->sample_rate, 0,
                                               nullptr);
        av_channel_layout_uninit(&inputLayout);
        resampler_.reset(resampler);
        check(result);
        check(swr_init(resampler));
        fifo_.reset(av_audio_fifo_alloc(encoder->sample_fmt, channels, encoder->frame_size));
        if (!fifo_)
            fail(AVERROR(ENOMEM));
        audioStart_ = av_rescale_q(input_->start_time == AV_NOPTS_VALUE ? 0 : input_->start_time, AV_TIME_BASE_Q,
                                   audio_->time_base);
    }

    void decode(AVCodecContext* decoder, const AVPacket* packet)
    {
        const int sent = avcodec_send_packet(decoder, packet);
        if (sent < 0 && sent != AVERROR_EOF && sent != AVERROR_INVALIDDATA)
            fail(sent);
        Frame frame(av_frame_alloc());
        for (;;) {
            const int result = avcodec_receive_frame(decoder, frame.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return;
            check(result);
            if (decoder == videoDecoder_.get())
                encodeVideo(frame.get());
            else
                encodeAudio(frame.get());
            av_frame_unref(frame.get());
        }
    }

    static Frame newPicture(int width, int height)
    {
        Frame picture(av_frame_alloc());
        picture->format = AV_PIX_FMT_YUV420P;
        picture->width = width;
        picture->height = height;
        check(av_frame_get_buffer(picture.get(), 0));
        return picture;
    }

    // The picture to write the next frame into: the one before, unless the encoder still holds it.
    // A fresh picture is a fresh mapping of memory that the kernel zeroes page by page, which cost
    // as much as the scaling itself.
    static AVFrame* reusablePicture(Frame& picture, int width, int height)
    {
        if (!picture || picture->width != width || picture->height != height || !av_frame_is_writable(picture.get()))
            picture = newPicture(width, height);
        return picture.get();
    }

    void encodeVideo(const AVFrame* frame)
    {
        prepareScaler(frame);
        AVFrame* picture = reusablePicture(scaled_, scaledWidth_, scaledHeight_);
        check(sws_scale_frame(scaler_, picture, frame));
        if (turns_) {
            AVFrame* turned = reusablePicture(turned_, outWidth_, outHeight_);
            turnPlanes(picture, turned, turns_);
            picture = turned;
        }
        int64_t time = frame->best_effort_timestamp == AV_NOPTS_VALUE ? lastVideoTime_ + 1
                                                                        : frame->best_effort_timestamp - videoStart_;
        time = std::max(time, lastVideoTime_ + 1);
        lastVideoTime_ = time;
        picture->pts = time;
        encode(videoEncoder_.get(), videoOut_, picture);
        ++videoFramesWritten_;
    }

    // The scaler works in slices on every core, so that a large picture scaled down keeps pace with
    // the decoder and the encoder; made again only when a frame's size or format differs from the one before.
    void prepareScaler(const AVFrame* frame)
    {
        if (scaler_ && frame->width == scalerInput_.width && frame->height == scalerInput_.height
            && frame->format == scalerInput_.format)
            return;
        sws_freeContext(scaler_);
        scaler_ = sws_alloc_context();
        if (!scaler_)
            fail(AVERROR(ENOMEM));
        scalerInput_ = {frame->width, frame->height, frame->format};
        check(av_opt_set_int(scaler_, "srcw", frame->width, 0));
        check(av_opt_set_int(scaler_, "srch", frame->height, 0));
        check(av_opt_set_int(scaler_, "src_format", frame->format, 0));
        check(av_opt_set_int(scaler_, "dstw", scaledWidth_, 0));
        check(av_opt_set_int(scaler_, "dsth", scaledHeight_, 0));
        check(av_opt_set_int(scaler_, "dst_format", AV_PIX_FMT_YUV420P, 0));
        check(av_opt_set_int(scaler_, "sws_flags", SWS_BICUBIC, 0));
        check(av_opt_set_int(scaler_, "threads", 0, 0));   // as many as the machine has
        check(sws_init_context(scaler_, nullptr, nullptr));
    }

    void encodeAudio(const AVFrame* frame)
    {
        if (!audioOffsetKnown_) {
            // Where the first sound begins, so that sound and picture keep their distance.
            const int64_t first = frame->best_effort_timestamp == AV_NOPTS_VALUE ? audioStart_ : frame->best_effort_timestamp;
            samplesSent_ = std::max<int64_t>(
                0, av_rescale_q(first - audioStart_, audio_->time_base, audioEncoder_->time_base));
            audioOffsetKnown_ = true;
        }
        const int capacity = swr_get_out_samples(resampler_.get(), frame->nb_samples);
        if (capacity <= 0)
            return;
        uint8_t** samples = nullptr;
        check(av_samples_alloc_array_and_samples(&samples, nullptr, audioEncoder_->ch_layout.nb_channels, capacity,
                                                 audioEncoder_->sample_fmt, 0));
        const int converted = swr_convert(resampler_.get(), samples, capacity,
                                          const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
        const int written = converted > 0 ? av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(samples), converted) : 0;
        av_freep(&samples[0]);
        av_freep(&samples);
        check(converted);
        check(written);
        drainAudio(false);
    }

    // Hands the collected samples to the encoder in frames of its size; the last one may be short.
    void drainAudio(bool finishing)
    {
        AVCodecContext* encoder = audioEncoder_.get();
        const int frameSize = encoder->frame_size > 0 ? encoder->frame_size : 1024;
        while (av_audio_fifo_size(fifo_.get()) >= frameSize || (finishing && av_audio_fifo_size(fifo_.get()) > 0)) {
            Frame frame(av_frame_alloc());
            frame->nb_samples = std::min(frameSize, av_audio_fifo_size(fifo_.get()));
            frame->format = encoder->sample_fmt;
            frame->sample_rate = encoder->sample_rate;
            check(av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout));
            check(av_frame_get_buffer(frame.get(), 0));
            check(av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->data), frame->nb_samples));
            frame->pts = samplesSent_;
            samplesSent_ += frame->nb_samples;
            encode(encoder, audioOut_, frame.get());
        }
    }

    void encode(AVCodecContext* encoder, AVStream* stream, const AVFrame* frame)
    {
        const int sent = avcodec_send_frame(encoder, frame);
        if (sent < 0 && sent != AVERROR_EOF)
            fail(sent);
        Packet packet(av_packet_alloc());
        for (;;) {
            const int result = avcodec_receive_packet(encoder, packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return;
            check(result);
            // The encoder leaves frame lengths out; the last frame of the track needs one.
            if (packet->duration == 0 && encoder->codec_type == AVMEDIA_TYPE_VIDEO && encoder->framerate.num > 0)
                packet->duration = av_rescale_q(1, av_inv_q(encoder->framerate), encoder->time_base);
            av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            check(av_interleaved_write_frame(output_.get(), packet.get()));
        }
    }

    std::function<bool()> isCancelled_;
    FormatContext input_;
    AVStream* video_ = nullptr;
    AVStream* audio_ = nullptr;
    CodecContext videoDecoder_;
    CodecContext audioDecoder_;
    std::unique_ptr<AVFormatContext, OutputDeleter> output_;
    CodecContext videoEncoder_;
    CodecContext audioEncoder_;
    AVStream* videoOut_ = nullptr;
    AVStream* audioOut_ = nullptr;
    SwsContext* scaler_ = nullptr;
    Frame scaled_;
    Frame turned_;
    struct {
        int width = 0;
        int height = 0;
        int format = -1;
    } scalerInput_;
    std::unique_ptr<SwrContext, SwrDeleter> resampler_;
    std::unique_ptr<AVAudioFifo, FifoDeleter> fifo_;
    int turns_ = 0;
    int outWidth_ = 0;
    int outHeight_ = 0;
    int scaledWidth_ = 0;
    int scaledHeight_ = 0;
    int64_t videoStart_ = 0;
    int64_t lastVideoTime_ = -1;
    int64_t audioStart_ = 0;
    int64_t samplesSent_ = 0;
    bool audioOffsetKnown_ = false;
    bool hasVideoTrack_ = false;
    int64_t videoFramesWritten_ = 0;
};

} // namespace

void makeVideoProxy(const QString& path, const QString& output, const std::function<bool()>& isCancelled,
                    const Defaults& defaults)
{
    initMediaLibraries();
    refuseSpecialFile(path);
    const bool fullHD = defaults.integer(QStringLiteral("videoProxy")) == 1080;
    ProxyExport session(path, fullHD ? 1920 : 1280, fullHD ? 1080 : 720, isCancelled);

    PartialOutput partial(output);
    try {
        session.run(partial.path());
    } catch (const FfmpegFailure&) {
        // FFmpeg's own words ("Invalid argument") tell the user nothing: the export failed.
        throw DatabaseError(QStringLiteral("export status %1").arg(exportStatusFailed));
    }
    partial.commit();
}
