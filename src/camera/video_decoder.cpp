#include "camera/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <mutex>
#include <thread>


namespace orb {

namespace {

#if defined(__SANITIZE_THREAD__)
// FFmpeg's frame threads hand their buffers over with atomics of a library not built with
// the thread sanitizer, which it cannot see: under it every decoder keeps to one thread.
constexpr bool kOneThreadEach = true;
#else
constexpr bool kOneThreadEach = false;
#endif

std::mutex g_threadsLock;
int g_extraThreads = 0;  // threads beyond one a decoder, of every open decoder

// The formats of full-range (JPEG) pictures that swscale wants named by range instead.
AVPixelFormat WithoutFullRange(AVPixelFormat f, bool& full) {
    full = true;
    switch (f) {
    case AV_PIX_FMT_YUVJ420P: return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: return AV_PIX_FMT_YUV411P;
    default: full = false; return f;
    }
}

}  // namespace

int DecoderThreadsFor(int cores, int extraInUse) {
    return 1 + std::max(0, std::min(cores - 1, cores - 1 - extraInUse));
}

int DecoderExtraThreadsInUse() {
    std::lock_guard lock(g_threadsLock);
    return g_extraThreads;
}

VideoDecoder::~VideoDecoder() { CloseVideoDecoder(*this); }

DecoderOpen OpenVideoDecoder(VideoDecoder& d, const AVCodecParameters* stream, std::string& codecName) {
    QuietVideoLibraries();
    CloseVideoDecoder(d);
    const char* name = avcodec_get_name(stream->codec_id);
    codecName = name && stream->codec_id != AV_CODEC_ID_NONE ? name : "unknown";
    const AVCodec* codec = avcodec_find_decoder(stream->codec_id);
    if (!codec) return DecoderOpen::NoDecoder;
    d.codec = avcodec_alloc_context3(codec);
    d.frame = av_frame_alloc();
    if (!d.codec || !d.frame || avcodec_parameters_to_context(d.codec, stream) < 0) {
        CloseVideoDecoder(d);
        return DecoderOpen::Failed;
    }
    {
        std::lock_guard lock(g_threadsLock);
        const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        d.threads = kOneThreadEach ? 1 : DecoderThreadsFor(cores, g_extraThreads);
        g_extraThreads += d.threads - 1;
    }
    d.codec->thread_count = d.threads;
    d.codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(d.codec, codec, nullptr) < 0) {
        CloseVideoDecoder(d);
        return DecoderOpen::Failed;
    }
    return DecoderOpen::Ok;
}

void CloseVideoDecoder(VideoDecoder& d) {
    if (d.threads > 0) {
        std::lock_guard lock(g_threadsLock);
        g_extraThreads -= d.threads - 1;
        d.threads = 0;
    }
    avcodec_free_context(&d.codec);
    av_frame_free(&d.frame);
    sws_freeContext(d.scaler);
    d.scaler = nullptr;
}

bool SendVideoPacket(VideoDecoder& d, const AVPacket* packet) {
    if (!d.codec) return false;
    const int r = avcodec_send_packet(d.codec, packet);
    // A decoder that still holds frames takes the packet after they are received; the
    // loop receives after every send, so this only happens at the end.
    return r >= 0 || r == AVERROR_EOF;
}

int ReceiveVideoFrame(VideoDecoder& d) {
    if (!d.codec) return 0;
    return avcodec_receive_frame(d.codec, d.frame) >= 0 ? 1 : 0;
}

bool FrameDamaged(const AVFrame* frame) {
    return frame && (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT) != 0);
}

HDIB ConvertVideoFrame(VideoDecoder& d, const AVFrame* frame, int width, int height) {
    if (!frame || frame->width <= 0 || frame->height <= 0) return nullptr;
    if (width <= 0 || height <= 0) {
        width = frame->width;
        height = frame->height;
    }
    bool fullRange = false;
    const AVPixelFormat from = WithoutFullRange(static_cast<AVPixelFormat>(frame->format), fullRange);
    if (frame->color_range == AVCOL_RANGE_JPEG) fullRange = true;
    const bool bt709 = frame->colorspace == AVCOL_SPC_BT709;
    const int key[] = {frame->width, frame->height, from, width, height, fullRange ? 1 : 0, bt709 ? 1 : 0};
    if (!d.scaler || !std::equal(std::begin(key), std::end(key), std::begin(d.scalerKey))) {
        sws_freeContext(d.scaler);
        const int flags = width == frame->width && height == frame->height ? SWS_POINT : SWS_BILINEAR;
        d.scaler = sws_getContext(frame->width, frame->height, from, width, height, AV_PIX_FMT_BGR24, flags, nullptr,
                                  nullptr, nullptr);
        if (!d.scaler) return nullptr;
        const int* coefficients = sws_getCoefficients(bt709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT);
        sws_setColorspaceDetails(d.scaler, coefficients, fullRange ? 1 : 0, coefficients, 1, 0, 1 << 16, 1 << 16);
        std::copy(std::begin(key), std::end(key), std::begin(d.scalerKey));
    }
    HDIB picture = CreateDIB(width, height, 24);
    if (!picture) return nullptr;
    bool converted;
    {
        DibLock l(picture);
        // The picture's rows run bottom-up: its top row is the last in memory.
        uint8_t* top[4] = {l.rowFromTop(0), nullptr, nullptr, nullptr};
        const int stride[4] = {-l.rowBytes(), 0, 0, 0};
        converted = sws_scale(d.scaler, frame->data, frame->linesize, 0, frame->height, top, stride) == height;
    }
    if (!converted) {
        DestroyDIB(picture);
        return nullptr;
    }
    return picture;
}

}  // namespace orb
