// Decoding a video camera's stream (H.264, H.265, Motion-JPEG: what FFmpeg's libraries
// decode) into the pictures the rest of the pipeline takes: 24-bit, bottom-up B,G,R rows.
// The decoders of all cameras share the machine's cores: each gets one thread, and the
// cores beyond that go to the first decoders that ask, so that sixteen cameras do not
// start sixteen times as many threads as there are cores.
#pragma once
#include <cstdint>
#include <string>

#include "platform/dib.h"
#include "record/video_file.h"  // QuietVideoLibraries

struct AVCodecContext;
struct AVCodecParameters;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace orb {

// The threads a decoder gets when `extraInUse` threads beyond one a decoder are taken by
// the decoders already open: one, plus what is left of `cores - 1` extra threads in all.
int DecoderThreadsFor(int cores, int extraInUse);
// Threads beyond one a decoder, taken by every open decoder of the process.
int DecoderExtraThreadsInUse();

struct VideoDecoder {
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;  // the last frame received
    SwsContext* scaler = nullptr;
    int scalerKey[7] = {};  // what the scaler was made for
    int threads = 0;  // what this decoder was given
    VideoDecoder() = default;
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;
    ~VideoDecoder();
};

enum class DecoderOpen { Ok, NoDecoder, Failed };
// Opens a decoder for the stream's parameters; `codecName` gets the codec's name (also
// when this build has no decoder for it).
DecoderOpen OpenVideoDecoder(VideoDecoder& decoder, const AVCodecParameters* stream, std::string& codecName);
void CloseVideoDecoder(VideoDecoder& decoder);

// Hands one packet to the decoder (null: the stream ended, give out what is held); false
// when the decoder refused it.
bool SendVideoPacket(VideoDecoder& decoder, const AVPacket* packet);
// The next decoded frame into decoder.frame: 1, or 0 when the decoder needs more packets
// (or has given out everything after the end).
int ReceiveVideoFrame(VideoDecoder& decoder);
// The decoder found errors in the frame (it was concealed, or parts are missing).
bool FrameDamaged(const AVFrame* frame);

// The frame as a picture of width x height (the frame's own size when 0), scaled when the
// sizes differ; null when the frame cannot be converted.
HDIB ConvertVideoFrame(VideoDecoder& decoder, const AVFrame* frame, int width = 0, int height = 0);

}  // namespace orb
