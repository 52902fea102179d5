#include "orbiscope-fakecam/rtsp_camera.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

#include "common/fake_camera.h"

namespace orbtools {

namespace {

using PictureLoop = std::vector<std::vector<uint8_t>>;

void InitGstreamer() {
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

bool HaveElement(const char* name) {
    GstElementFactory* f = gst_element_factory_find(name);
    if (!f) return false;
    gst_object_unref(f);
    return true;
}

// The encoder that turns decoded pictures into the codec's access units, as a launch text.
std::string EncoderOf(RtspCodec codec, int width, int height, int fps, int loopFrames) {
    // Roughly what cameras send: a tenth of a bit a pixel, at least 500 kbit/s.
    const int kbits = std::max(500, static_cast<int>(static_cast<int64_t>(width) * height * fps / 10000));
    const std::string keys = std::to_string(loopFrames);
    if (codec == RtspCodec::H264)
        return "x264enc speed-preset=veryfast bframes=0 key-int-max=" + keys + " bitrate=" + std::to_string(kbits) +
               " byte-stream=true ! video/x-h264,stream-format=byte-stream,alignment=au,profile=main";
    return "x265enc speed-preset=ultrafast key-int-max=" + keys + " bitrate=" + std::to_string(kbits) +
           " option-string=bframes=0 ! video/x-h265,stream-format=byte-stream,alignment=au";
}

// Encodes the JPEG pictures into one loop of access units, the first a key frame.
bool EncodeLoop(RtspCodec codec, const PictureLoop& jpegs, int width, int height, int fps, PictureLoop& out, std::string& error) {
    out.clear();
    if (codec == RtspCodec::Mjpeg || codec == RtspCodec::Unknown) {
        out = jpegs;
        return true;
    }
    const int n = static_cast<int>(jpegs.size());
    const std::string launch = "appsrc name=src format=time caps=image/jpeg,width=" + std::to_string(width) +
                               ",height=" + std::to_string(height) + ",framerate=" + std::to_string(fps) +
                               "/1 ! jpegdec ! videoconvert ! video/x-raw,format=I420 ! " +
                               EncoderOf(codec, width, height, fps, n) + " ! appsink name=sink sync=false";
    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch(launch.c_str(), &err);
    if (!pipeline || err) {
        error = std::string("cannot build the encoder: ") + (err ? err->message : "?");
        if (err) g_error_free(err);
        if (pipeline) gst_object_unref(pipeline);
        return false;
    }
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const GstClockTime duration = GST_SECOND / static_cast<GstClockTime>(std::max(1, fps));
    for (int i = 0; i < n; ++i) {
        GstBuffer* b = gst_buffer_new_memdup(jpegs[static_cast<size_t>(i)].data(), jpegs[static_cast<size_t>(i)].size());
        GST_BUFFER_PTS(b) = static_cast<GstClockTime>(i) * duration;
        GST_BUFFER_DURATION(b) = duration;
        gst_app_src_push_buffer(GST_APP_SRC(src), b);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    while (GstSample* s = gst_app_sink_pull_sample(GST_APP_SINK(sink))) {
        GstBuffer* b = gst_sample_get_buffer(s);
        GstMapInfo m;
        if (b && gst_buffer_map(b, &m, GST_MAP_READ)) {
            out.emplace_back(m.data, m.data + m.size);
            gst_buffer_unmap(b, &m);
        }
        gst_sample_unref(s);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(src);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    if (static_cast<int>(out.size()) != n) {
        error = "the encoder gave " + std::to_string(out.size()) + " of " + std::to_string(n) + " pictures";
        return false;
    }
    return true;
}

// What the server's media run: the loop's buffers from our feeder, payloaded for RTP.
std::string MediaLaunch(RtspCodec codec) {
    const std::string src = "( appsrc name=src is-live=true do-timestamp=true format=time ";
    switch (codec) {
    case RtspCodec::H264:
        return src + "caps=video/x-h264,stream-format=byte-stream,alignment=au ! h264parse ! "
                     "rtph264pay name=pay0 pt=96 config-interval=-1 )";
    case RtspCodec::H265:
        return src + "caps=video/x-h265,stream-format=byte-stream,alignment=au ! h265parse ! "
                     "rtph265pay name=pay0 pt=96 config-interval=-1 )";
    case RtspCodec::Mjpeg: return src + "caps=image/jpeg ! jpegparse ! rtpjpegpay name=pay0 pt=26 )";
    case RtspCodec::Unknown: return src + "caps=image/jpeg ! rtpgstpay name=pay0 pt=96 )";
    }
    return "";
}

}  // namespace

bool ParseRtspCodec(const std::string& word, RtspCodec& codec) {
    if (word == "h264") codec = RtspCodec::H264;
    else if (word == "h265") codec = RtspCodec::H265;
    else if (word == "mjpeg") codec = RtspCodec::Mjpeg;
    else if (word == "unknown") codec = RtspCodec::Unknown;
    else return false;
    return true;
}

bool RtspCodecAvailable(RtspCodec codec) {
    InitGstreamer();
    switch (codec) {
    case RtspCodec::H264: return HaveElement("x264enc") && HaveElement("h264parse") && HaveElement("rtph264pay");
    case RtspCodec::H265: return HaveElement("x265enc") && HaveElement("h265parse") && HaveElement("rtph265pay");
    case RtspCodec::Mjpeg: return HaveElement("jpegparse") && HaveElement("rtpjpegpay");
    case RtspCodec::Unknown: return HaveElement("rtpgstpay");
    }
    return false;
}

struct RtspCamera::Impl {
    RtspCamera* owner = nullptr;
    RtspCameraOptions o;
    mutable std::mutex lock;
    std::shared_ptr<const PictureLoop> loop;  // what every stream sends from its next key frame on
    std::string error;
    RtspFault fault = RtspFault::None;
    int limit = 0;

    struct Stream {
        GstElement* src = nullptr;  // the media's appsrc (a reference of ours)
        GstRTSPMedia* media = nullptr;
        std::shared_ptr<const PictureLoop> loop;
        size_t next = 0;
        bool ended = false;
        bool playing = false;  // the client asked to play: what goes out from now on is sent
    };
    std::vector<Stream> streams;

    GMainContext* context = nullptr;
    GMainLoop* mainLoop = nullptr;
    GstRTSPServer* server = nullptr;
    guint source = 0;
    std::thread serverThread;

    std::thread feeder;
    std::mutex feederLock;
    std::condition_variable feederWake;
    bool feederStop = false;
    std::mt19937 random{20261207};

    PictureLoop Pictures(int width, int height) const {
        PictureLoop jpegs;
        for (int i = 0; i < std::max(1, o.loopFrames); ++i)
            jpegs.push_back(o.picture && width == o.width && height == o.height ? o.picture(i)
                                                                                : NumberedJpeg(width, height, i));
        return jpegs;
    }

    bool Encode(int width, int height) {
        PictureLoop encoded;
        std::string why;
        if (!EncodeLoop(o.codec, Pictures(width, height), width, height, o.framesPerSecond, encoded, why)) {
            std::lock_guard l(lock);
            error = why;
            return false;
        }
        std::lock_guard l(lock);
        loop = std::make_shared<const PictureLoop>(std::move(encoded));
        return true;
    }

    GstRTSPAuth* MakeAuth(const std::string& account, const std::string& password) const {
        if (account.empty()) return nullptr;
        GstRTSPAuth* auth = gst_rtsp_auth_new();
        GstRTSPToken* token = gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, "user", nullptr);
        if (o.digest) {
            gst_rtsp_auth_add_digest(auth, account.c_str(), password.c_str(), token);
            gst_rtsp_auth_set_supported_methods(auth, GST_RTSP_AUTH_DIGEST);
        } else {
            gchar* basic = gst_rtsp_auth_make_basic(account.c_str(), password.c_str());
            gst_rtsp_auth_add_basic(auth, basic, token);
            g_free(basic);
            gst_rtsp_auth_set_supported_methods(auth, GST_RTSP_AUTH_BASIC);
        }
        gst_rtsp_token_unref(token);
        return auth;
    }

    static void OnUnprepared(GstRTSPMedia* media, gpointer self) {
        auto* impl = static_cast<Impl*>(self);
        std::lock_guard l(impl->lock);
        for (auto it = impl->streams.begin(); it != impl->streams.end(); ++it)
            if (it->media == media) {
                gst_object_unref(it->src);
                impl->streams.erase(it);
                return;
            }
    }

    static void OnMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer self) {
        auto* impl = static_cast<Impl*>(self);
        GstElement* element = gst_rtsp_media_get_element(media);
        GstElement* src = gst_bin_get_by_name_recurse_up(GST_BIN(element), "src");
        gst_object_unref(element);
        if (!src) return;
        g_signal_connect(media, "unprepared", G_CALLBACK(OnUnprepared), impl);
        std::lock_guard l(impl->lock);
        Stream s;
        s.src = src;
        s.media = media;
        s.loop = impl->loop;
        impl->streams.push_back(std::move(s));
        ++impl->owner->sessions_;
    }

    static void OnRequest(GstRTSPClient*, GstRTSPContext* ctx, gpointer self) {
        auto* impl = static_cast<Impl*>(self);
        gchar* value = nullptr;
        if (ctx->request && gst_rtsp_message_get_header(ctx->request, GST_RTSP_HDR_AUTHORIZATION, &value, 0) == GST_RTSP_OK &&
            value) {
            if (g_ascii_strncasecmp(value, "Digest", 6) == 0) ++impl->owner->digestRequests_;
            else if (g_ascii_strncasecmp(value, "Basic", 5) == 0) ++impl->owner->basicRequests_;
        }
    }

    static void OnSetup(GstRTSPClient* client, GstRTSPContext* ctx, gpointer self) {
        auto* impl = static_cast<Impl*>(self);
        OnRequest(client, ctx, self);
        gchar* value = nullptr;
        if (ctx->request && gst_rtsp_message_get_header(ctx->request, GST_RTSP_HDR_TRANSPORT, &value, 0) == GST_RTSP_OK &&
            value) {
            if (std::strstr(value, "RTP/AVP/TCP")) ++impl->owner->tcpSetups_;
            else ++impl->owner->udpSetups_;
        }
    }

    // Before the client's PLAY a stream gets its first picture only (the media learns its
    // format from it and holds it back until PLAY, when it goes out first); the rest follow
    // from PLAY on, as a camera sends them.
    static void OnPlay(GstRTSPClient*, GstRTSPContext* ctx, gpointer self) {
        auto* impl = static_cast<Impl*>(self);
        std::lock_guard l(impl->lock);
        for (Stream& s : impl->streams)
            if (s.media == ctx->media) s.playing = true;
    }

    static void OnClient(GstRTSPServer*, GstRTSPClient* client, gpointer self) {
        g_signal_connect(client, "play-request", G_CALLBACK(OnPlay), self);
        g_signal_connect(client, "pre-describe-request", G_CALLBACK(OnPreDescribe), self);
        g_signal_connect(client, "setup-request", G_CALLBACK(OnSetup), self);
    }
    static GstRTSPStatusCode OnPreDescribe(GstRTSPClient* client, GstRTSPContext* ctx, gpointer self) {
        OnRequest(client, ctx, self);
        return GST_RTSP_STS_OK;
    }

    static GstRTSPFilterResult RemoveClient(GstRTSPServer*, GstRTSPClient*, gpointer) { return GST_RTSP_FILTER_REMOVE; }
    static GstRTSPFilterResult RemoveSession(GstRTSPSessionPool*, GstRTSPSession*, gpointer) { return GST_RTSP_FILTER_REMOVE; }

    void DropClients() {
        if (!server) return;
        gst_rtsp_server_client_filter(server, RemoveClient, nullptr);
        GstRTSPSessionPool* pool = gst_rtsp_server_get_session_pool(server);
        gst_rtsp_session_pool_filter(pool, RemoveSession, nullptr);
        g_object_unref(pool);
    }

    // One picture to every stream, at the camera's rate.
    void Feed() {
        const auto period = std::chrono::microseconds(1000000 / std::max(1, o.framesPerSecond));
        auto next = std::chrono::steady_clock::now();
        std::unique_lock wait(feederLock);
        while (!feederStop) {
            next += period;
            feederWake.wait_until(wait, next, [&] { return feederStop; });
            if (feederStop) break;
            wait.unlock();
            FeedOnce();
            wait.lock();
        }
    }

    void FeedOnce() {
        std::vector<std::pair<GstElement*, GstBuffer*>> pushes;
        std::vector<GstElement*> ends;
        {
            std::lock_guard l(lock);
            if (fault == RtspFault::Stall) return;
            for (Stream& s : streams) {
                if (s.ended) continue;
                if (!s.playing && s.next > 0) continue;
                if (limit > 0 && owner->sent_.load() >= limit) {
                    s.ended = true;
                    ends.push_back(GST_ELEMENT(gst_object_ref(s.src)));
                    continue;
                }
                // A new size starts with the new loop's key frame.
                if (s.next == 0 || s.next >= s.loop->size()) {
                    s.loop = loop;
                    s.next = 0;
                }
                const std::vector<uint8_t>& au = (*s.loop)[s.next];
                const size_t index = s.next++;
                GstBuffer* b = gst_buffer_new_memdup(au.data(), au.size());
                if (fault == RtspFault::Garbage && index % 5 == 4 && au.size() > 96) {
                    GstMapInfo m;
                    if (gst_buffer_map(b, &m, GST_MAP_WRITE)) {
                        for (size_t i = 64; i < m.size; i += 3) m.data[i] = static_cast<uint8_t>(random());
                        gst_buffer_unmap(b, &m);
                    }
                }
                pushes.emplace_back(GST_ELEMENT(gst_object_ref(s.src)), b);
                ++owner->sent_;
            }
        }
        for (auto& [src, b] : pushes) {
            gst_app_src_push_buffer(GST_APP_SRC(src), b);
            gst_object_unref(src);
        }
        for (GstElement* src : ends) {
            gst_app_src_end_of_stream(GST_APP_SRC(src));
            gst_object_unref(src);
        }
    }
};

RtspCamera::RtspCamera(RtspCameraOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->owner = this;
    impl_->o = std::move(options);
    impl_->limit = impl_->o.pictureLimit;
}

RtspCamera::~RtspCamera() { Stop(); }

std::string RtspCamera::Error() const {
    std::lock_guard l(impl_->lock);
    return impl_->error;
}

int RtspCamera::Start(int port) {
    InitGstreamer();
    Impl& m = *impl_;
    if (m.server) return port_;
    if (!RtspCodecAvailable(m.o.codec)) {
        std::lock_guard l(m.lock);
        m.error = "this GStreamer lacks the encoder or payloader of the codec";
        return 0;
    }
    if (!m.loop && !m.Encode(m.o.width, m.o.height)) return 0;

    m.context = g_main_context_new();
    m.server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(m.server, "127.0.0.1");
    gst_rtsp_server_set_service(m.server, std::to_string(port).c_str());
    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(factory, MediaLaunch(m.o.codec).c_str());
    gst_rtsp_media_factory_set_shared(factory, FALSE);
    g_signal_connect(factory, "media-configure", G_CALLBACK(Impl::OnMediaConfigure), &m);
    if (!m.o.account.empty())
        gst_rtsp_media_factory_add_role(factory, "user", GST_RTSP_PERM_MEDIA_FACTORY_ACCESS, G_TYPE_BOOLEAN, TRUE,
                                        GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT, G_TYPE_BOOLEAN, TRUE, nullptr);
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(m.server);
    gst_rtsp_mount_points_add_factory(mounts, m.o.path.c_str(), factory);
    g_object_unref(mounts);
    if (GstRTSPAuth* auth = m.MakeAuth(m.o.account, m.o.password)) {
        gst_rtsp_server_set_auth(m.server, auth);
        g_object_unref(auth);
    }
    g_signal_connect(m.server, "client-connected", G_CALLBACK(Impl::OnClient), &m);
    m.source = gst_rtsp_server_attach(m.server, m.context);
    if (m.source == 0) {
        std::lock_guard l(m.lock);
        m.error = "cannot listen on 127.0.0.1:" + std::to_string(port);
        g_object_unref(m.server);
        m.server = nullptr;
        g_main_context_unref(m.context);
        m.context = nullptr;
        return 0;
    }
    port_ = gst_rtsp_server_get_bound_port(m.server);
    m.mainLoop = g_main_loop_new(m.context, FALSE);
    m.serverThread = std::thread([&m] {
        g_main_context_push_thread_default(m.context);
        g_main_loop_run(m.mainLoop);
        g_main_context_pop_thread_default(m.context);
    });
    {
        std::lock_guard l(m.feederLock);
        m.feederStop = false;
    }
    m.feeder = std::thread([&m] { m.Feed(); });
    return port_;
}

void RtspCamera::Stop() {
    Impl& m = *impl_;
    if (!m.server) return;
    {
        std::lock_guard l(m.feederLock);
        m.feederStop = true;
    }
    m.feederWake.notify_all();
    if (m.feeder.joinable()) m.feeder.join();
    if (GSource* s = g_main_context_find_source_by_id(m.context, m.source)) g_source_destroy(s);
    m.DropClients();
    // The server's own thread tears the clients down; then it ends.
    GSource* quit = g_idle_source_new();
    g_source_set_callback(
        quit, [](gpointer loop) -> gboolean {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
        },
        m.mainLoop, nullptr);
    g_source_attach(quit, m.context);
    g_source_unref(quit);
    if (m.serverThread.joinable()) m.serverThread.join();
    {
        std::lock_guard l(m.lock);
        for (Impl::Stream& s : m.streams) gst_object_unref(s.src);
        m.streams.clear();
    }
    g_object_unref(m.server);
    m.server = nullptr;
    g_main_loop_unref(m.mainLoop);
    m.mainLoop = nullptr;
    g_main_context_unref(m.context);
    m.context = nullptr;
}

void RtspCamera::SetFault(RtspFault fault) {
    Impl& m = *impl_;
    if (fault == RtspFault::Drop) {
        if (m.server) m.DropClients();
        fault = RtspFault::None;
    }
    std::lock_guard l(m.lock);
    m.fault = fault;
}

void RtspCamera::SetCredentials(const std::string& account, const std::string& password) {
    Impl& m = *impl_;
    if (!m.server || m.o.account.empty()) return;
    GstRTSPAuth* auth = m.MakeAuth(account, password);
    gst_rtsp_server_set_auth(m.server, auth);
    if (auth) g_object_unref(auth);
}

bool RtspCamera::SetSize(int width, int height) {
    Impl& m = *impl_;
    if (!m.Encode(width, height)) return false;
    // Every stream takes the new loop at its next picture: that is the new loop's key frame.
    std::lock_guard l(m.lock);
    for (Impl::Stream& s : m.streams) s.next = 0;
    return true;
}

void RtspCamera::SetPictureLimit(int limit) {
    std::lock_guard l(impl_->lock);
    impl_->limit = limit;
}

int RtspCamera::ActiveStreams() const {
    std::lock_guard l(impl_->lock);
    return static_cast<int>(impl_->streams.size());
}

std::vector<std::vector<uint8_t>> RtspCamera::Loop() const {
    std::lock_guard l(impl_->lock);
    return impl_->loop ? *impl_->loop : std::vector<std::vector<uint8_t>>{};
}

}  // namespace orbtools
