#pragma once

// Owning handles and small helpers over FFmpeg's C structures, shared by the readers, the poster
// maker and the video proxy export.

#include <QString>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <memory>

struct FormatContextDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using FormatContext = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;

// The media file opened for reading its streams (headers only); null when it is not a regular file
// or FFmpeg cannot open it, with the reason in `error` when given.
FormatContext openMediaFile(const QString& path, int* error = nullptr);

// The first video track, passing over cover art (a one-picture "video" stream); null when none.
AVStream* firstVideoTrack(const AVFormatContext* format);

// The track's display matrix (3 x 3, 16.16 fixed point, row vectors), or null when it has none.
const int32_t* displayMatrixOf(const AVStream* stream);

// How many quarter turns clockwise (0 to 3) show the track upright, by its display matrix.
int quarterTurnsToUpright(const AVStream* stream);

// The EXIF orientation (1 to 8) that shows the track's pictures upright, by its display matrix:
// its quarter turns, and a mirroring when the matrix flips the picture.
int uprightOrientation(const AVStream* stream);

// An opened decoder for the stream; null when FFmpeg has none for its codec or the decoder refuses
// the stream's parameters, with the reason in `error` when given.
CodecContext openDecoder(const AVStream* stream, int* error = nullptr);

// FFmpeg's text for an error code.
QString ffmpegErrorText(int error);
