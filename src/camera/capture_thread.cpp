#include "camera/capture_thread.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "analysis/motion_view.h"
#include "camera/camera_commands.h"
#include "camera/command_worker.h"
#include "camera/catalogue.h"
#include "camera/frame_pipeline.h"
#include "camera/http.h"
#include "camera/stream_parser.h"
#include "camera/video_capture.h"
#include "config/library_state.h"
#include "camera/camera_view.h"
#include "platform/texts.h"
#include "platform/clock.h"
#include "platform/window.h"

namespace orb {

CaptureTimeouts& Timeouts() {
    static CaptureTimeouts t;
    return t;
}

namespace {

constexpr int kWatchdogLimit = 63;
constexpr int64_t kDropNoticeNs = 3000000000;

bool Stopping(CameraView& v) { return v.capture.stop.load() != 0; }
bool Pause(CameraView& v, int ms) { return SleepFor(ms, &v.capture.stop); }

void Repaint(CameraView& v) {
    if (v.ui.window) InvalidateRect(v.ui.window);
}

std::string SizeText(int w, int h) {
    char t[64];
    std::snprintf(t, sizeof t, "Width = %d,  Height = %d", w, h);
    return t;
}

}  // namespace

void ShowResolutionCheck(CameraView& v, CaptureRoutine loop) {
    const int w = v.frames.currentW, h = v.frames.currentH;
    const int32_t type = v.record.lensType;
    if (type != kLensNormal && type != kLensMotoPtz && (w != v.record.sourceWidth || h != v.record.sourceHeight)) {
        std::string text = "Bad Image Source Resolution !\nPlease Set image size to\n" +
                           SizeText(v.record.sourceWidth, v.record.sourceHeight);
        if (loop == kStreamLoop || loop == kVideoLoop) text += "\nCurrent Resolution :\n" + SizeText(w, h);
        if (loop == kClosePollLoop) text += "\nCurrent size is :\n" + SizeText(w, h);
        CameraStatus(v, -1, text);
    } else {
        // Pictures flow: the connection lines are done with. What was said of a dropped
        // picture stays a while, long enough to be read.
        if (MonotonicNanoseconds() - v.capture.droppedAt > kDropNoticeNs) CameraStatus(v, 0, "");
        bool warned;  // the size is right again: its warning (line -1) goes
        {
            std::lock_guard lock(v.ui.statusMutex);
            warned = !v.ui.statusLines[1].empty();
        }
        if (warned) CameraStatus(v, -1, "");
    }
}

namespace {

// Shows a cut picture; the size checks and the resolution lines of the loop. A picture
// that is not whole (its end never came, or it does not decode) is neither shown nor
// recorded, and the status line says so.
FrameResult Deliver(CameraView& v, const uint8_t* jpeg, long length, CaptureRoutine loop, bool cut) {
    const int32_t model = v.record.modelIndex;
    const bool lengthPolling = loop == kLengthPollLoop;
    auto dropped = [&](int text) {
        CameraStatus(v, 0, Text(text));
        v.capture.droppedAt = MonotonicNanoseconds();
    };
    if (cut || !JpegEndsWhole(jpeg, static_cast<size_t>(length))) {
        dropped(1012);
        return FrameResult::Dropped;
    }
    bool sizeRefused = false;
    const FrameResult r = RunFramePipeline(v, jpeg, static_cast<size_t>(length), &v.capture.stop, [&](int w, int h) {
        sizeRefused = !AcceptPictureSize(model, lengthPolling, w, h);
        return !sizeRefused;
    });
    if (r == FrameResult::Dropped && !sizeRefused) dropped(1013);
    if (r != FrameResult::Shown) return r;
    ShowResolutionCheck(v, loop);
    return r;
}

// One read of the stream socket, the thread's windows kept alive; negative on a stop.
ReadOnce StreamRead(CameraView& v) {
    return [&v](uint8_t* into, size_t max) -> long {
        const long n = ReceiveSome(v.capture.stream, into, max);
        if (n > 0) PumpMessages();
        return Stopping(v) ? -1 : n;
    };
}

// The stream's body as it comes off the socket: plain, or in chunks that are taken apart
// before the pictures are cut.
struct StreamBody {
    bool chunked = false;
    ChunkDecoder decoder;
    bool done = false;    // the last chunk came
    bool failed = false;  // the chunks made no sense, or the buffer is full
    uint8_t raw[kReceiveChunk];
};

// Appends body bytes (which may lie inside the receive buffer, after the fill count).
bool FeedBody(CaptureState& c, StreamBody& body, const uint8_t* data, long n) {
    if (n <= 0) return true;
    const size_t room = static_cast<size_t>(kReceiveLimit + kReceiveChunk - std::min(c.fill, kReceiveLimit));
    if (!body.chunked) {
        if (static_cast<size_t>(n) > room) return false;
        std::memmove(c.buffer.data() + c.fill, data, static_cast<size_t>(n));
        c.fill += static_cast<int32_t>(n);
        return true;
    }
    size_t used = 0;
    c.fill += static_cast<int32_t>(Dechunk(body.decoder, data, static_cast<size_t>(n), c.buffer.data() + c.fill, room, &used));
    if (body.decoder.state == ChunkDecoder::State::Done) body.done = true;
    return used == static_cast<size_t>(n) && body.decoder.state != ChunkDecoder::State::Error;
}

// One receive of body bytes: the count, 0 when the camera closed, -1 on error, full
// buffer or stop.
long ReceiveBody(CameraView& v, StreamBody& body) {
    CaptureState& c = v.capture;
    if (c.fill >= kReceiveLimit || c.fill < 0) return -1;
    uint8_t* into = body.chunked ? body.raw : c.buffer.data() + c.fill;
    const long n = ReceiveSome(c.stream, into, kReceiveChunk);
    if (n <= 0) return n == 0 ? 0 : -1;
    PumpMessages();
    if (Stopping(v)) return -1;
    if (!body.chunked) {
        c.fill += static_cast<int32_t>(n);
        return n;
    }
    return FeedBody(c, body, body.raw, n) ? n : -1;
}

// Cuts and delivers every picture as its last byte arrives, until the connection ends.
void ReceiveStream(CameraView& v, PushCutter& cutter, StreamBody& body) {
    CaptureState& c = v.capture;
    StageFigures& figures = v.frames.stages;
    int64_t received = ThreadCpuNanoseconds();
    bool closed = body.done || body.failed;
    while (!Stopping(v)) {
        // A paused view takes no pictures, also from a stream that is connected.
        while (v.ui.paused && !Stopping(v)) Pause(v, 500);
        bool delivered = false;
        CutPicture pic;
        while (!v.ui.paused && NextPicture(cutter, c.buffer.data(), c.fill, closed, pic)) {
            // The picture's last byte is here: what follows until the view is updated is
            // the latency a user sees.
            const int64_t arrived = MonotonicNanoseconds();
            figures.Add(kStageReceive, ThreadCpuNanoseconds() - received);
            if (Deliver(v, c.buffer.data() + pic.start, pic.length, kStreamLoop, pic.cut) == FrameResult::Shown)
                figures.AddLatency(MonotonicNanoseconds() - arrived);
            received = ThreadCpuNanoseconds();
            delivered = true;
            const int32_t delay = v.record.captureParam;
            if (delay > 0 && delay <= 3000) Pause(v, delay);
            if (Stopping(v)) return;
        }
        if (delivered || c.fill >= kReceiveLimit / 2) CompactStream(cutter, c.buffer.data(), c.fill, CutterKeepFrom(cutter));
        if (body.failed) {
            CameraStatus(v, -2, "Receving Error !      ");
            CloseStreamConnection(v);
            Pause(v, 300);
            return;
        }
        if (closed) {
            CameraStatus(v, 0, Text(1001));
            CameraStatus(v, 1, "0 Byte Receieved   ");
            CloseStreamConnection(v);
            Pause(v, 300);
            return;
        }
        if (WatchdogCount(v) > kWatchdogLimit) {
            CloseStreamConnection(v);
            Pause(v, 300);
            return;
        }
        const long n = ReceiveBody(v, body);
        if (n < 0) {
            if (Stopping(v)) return;
            body.failed = true;
            continue;  // what is complete is still delivered
        }
        if (n == 0 || body.done) closed = true;
        else FeedWatchdog(v);
    }
}

// The answer's head, complete however the camera splits it; the body's first bytes stay
// in the buffer after it (`got` bytes in all). A failure is told, closed and paused for.
bool ReadStreamHead(CameraView& v, bool binary, AnswerHead& head, long& got) {
    CaptureState& c = v.capture;
    c.fill = 0;
    got = 0;
    int result;
    if (binary) {
        got = ReceiveSome(c.stream, c.buffer.data(), kReceiveChunk);  // the login answer is dropped
        result = got > 0 ? 1 : got == 0 ? 0 : -1;
        got = 0;
    } else {
        result = ReadAnswerHead(c.buffer.data(), c.buffer.size(), got, StreamRead(v), head);
    }
    if (result <= 0) {
        CameraStatus(v, 2, Text(result == 0 ? 2328 : 2329));
        CloseStreamConnection(v);
        CameraStatus(v, 0, Text(1001));
        Pause(v, 3000);
        return false;
    }
    // A refusal or an error status is no stream: say so and try again later.
    if (!binary && ShowRefusal(v, c.buffer.data(), static_cast<size_t>(got))) {
        CloseStreamConnection(v);
        Pause(v, 3000);
        return false;
    }
    return true;
}

void StreamLoop(CameraView* view) {
    CameraView& v = *view;
    CaptureState& c = v.capture;
    const int32_t model = v.record.modelIndex;
    while (!Stopping(v)) {
        if (v.ui.paused) {
            Pause(v, 500);
            continue;
        }
        // Connect and send the request.
        std::string request;
        const bool binary = UsesBinaryLogin(model);
        if (!binary) {
            std::string tmpl;
            if (!GetRequestTemplate(v.record, tmpl)) {
                CameraStatus(v, 0, "Unknown camera model " + std::to_string(model));
                Pause(v, 3000);
                continue;
            }
            request = CompleteRequest(v.record, tmpl);
        }
        CameraStatus(v, 1, Text(1008));
        if (Stopping(v)) break;
        if (!ResolveCamera(v, StreamPort(v.record))) {
            Repaint(v);
            CameraStatus(v, 0, Text(1002));
            Pause(v, 3000);
            continue;
        }
        Socket s = CreateTcpSocket();
        SetReceiveTimeout(s, Timeouts().stream);
        PumpMessages();
        if (Stopping(v)) break;
        if (!s.Valid() || !ConnectTo(s, c.address, 5000, &c.stop)) {
            Repaint(v);
            CameraStatus(v, 1, Text(1002));
            Pause(v, 3000);
            continue;
        }
        {
            std::lock_guard lock(c.socketLock);
            c.stream = std::move(s);
        }
        PumpMessages();
        if (Stopping(v)) break;
        bool sent;
        if (binary) {
            const auto login = BuildLoginRecord(v.record);
            sent = SendBytes(c.stream, login.data(), login.size()) == static_cast<long>(login.size());
        } else {
            sent = SendBytes(c.stream, request.data(), request.size()) == static_cast<long>(request.size());
        }
        if (!sent) {
            CloseStreamConnection(v);
            Repaint(v);
            CameraStatus(v, 0, Text(1000));
            Pause(v, 3000);
            continue;
        }
        AnswerHead head;
        long got = 0;
        if (!ReadStreamHead(v, binary, head, got)) continue;
        SetReceiveTimeout(c.stream, Timeouts().stream);
        StreamBody body;
        body.chunked = head.chunked;
        c.fill = 0;
        if (!FeedBody(c, body, c.buffer.data() + head.length, got - head.length)) body.failed = true;
        PushCutter cutter = MakePushCutter(model, head.boundary);
        FeedWatchdog(v);
        ReceiveStream(v, cutter, body);
    }
    CloseStreamConnection(v);
}

// One connection for one picture, kept as the view's stream. False when there is none (the
// status line says why, after a pause).
bool OpenPollConnection(CameraView& v, bool lengthPolling) {
    CaptureState& c = v.capture;
    if (!ResolveCamera(v, v.record.httpPort)) {
        CameraStatus(v, 0, Text(1002));
        Pause(v, 300);
        return false;
    }
    Socket s = CreateTcpSocket();
    if (!s.Valid()) {
        CameraStatus(v, 1, Text(1002));
        Pause(v, 300);
        return false;
    }
    SetReceiveTimeout(s, lengthPolling ? Timeouts().lengthConnect : Timeouts().closeAnswer);
    PumpMessages();
    if (!ConnectTo(s, c.address, 5000, &c.stop)) {
        Repaint(v);
        CameraStatus(v, 1, Text(1002));
        Pause(v, 300);
        return false;
    }
    {
        std::lock_guard lock(c.socketLock);
        c.stream = std::move(s);
    }
    PumpMessages();
    return true;
}

enum class PollOutcome { Shown, Failed, Ignored };

// Reads the answer on the view's stream, closes it and shows the picture in it. Ignored
// when the view was paused meanwhile: the answer is not shown.
PollOutcome ReceivePollPicture(CameraView& v, CaptureRoutine loop) {
    CaptureState& c = v.capture;
    SetReceiveTimeout(c.stream, loop == kLengthPollLoop ? Timeouts().lengthAnswer : Timeouts().closeAnswer);
    auto read = [&](uint8_t* into, size_t max) -> long {
        const long n = ReceiveSome(c.stream, into, max);
        if (n > 0) {
            FeedWatchdog(v);
            PumpMessages();
        }
        return Stopping(v) ? -1 : n;
    };
    auto abort = [&] { return Stopping(v) || WatchdogCount(v) > kWatchdogLimit; };
    const int64_t cpu0 = ThreadCpuNanoseconds();
    c.fill = 0;
    c.buffer[0] = 0;  // no earlier answer's status line is taken for this one's
    const AnswerPicture a = ReadAnswerPicture(c.buffer.data(), c.buffer.size(), read, abort);
    const int64_t arrived = MonotonicNanoseconds();
    CloseStreamConnection(v);
    StageFigures& figures = v.frames.stages;
    figures.Add(kStageReceive, ThreadCpuNanoseconds() - cpu0);
    if (v.ui.paused) return PollOutcome::Ignored;
    if (a.start < 0 || Deliver(v, c.buffer.data() + a.start, a.length, loop, a.cut) != FrameResult::Shown)
        return PollOutcome::Failed;
    figures.AddLatency(MonotonicNanoseconds() - arrived);
    return PollOutcome::Shown;
}

void PollLoop(CameraView* view, CaptureRoutine loop) {
    CameraView& v = *view;
    CaptureState& c = v.capture;
    const int32_t model = v.record.modelIndex;
    const bool lengthPolling = loop == kLengthPollLoop;
    std::string tmpl;
    const bool haveTemplate = GetRequestTemplate(v.record, tmpl);
    const std::string completed = haveTemplate ? CompleteRequest(v.record, tmpl) : std::string();
    char address[sizeof v.record.address + 1];
    TextOf(v.record.address, address);
    PollRandom random{static_cast<uint32_t>(std::time(nullptr))};
    int failures = 0;
    while (!Stopping(v)) {
        if (v.ui.paused) {
            Pause(v, 500);
            continue;
        }
        if (!haveTemplate) {
            CameraStatus(v, 0, "Unknown camera model " + std::to_string(model));
            Pause(v, 3000);
            continue;
        }
        if (!OpenPollConnection(v, lengthPolling)) continue;
        const std::string request = FormatPollRequest(completed, random.NextNumber(), address);
        if (SendBytes(c.stream, request.data(), request.size()) != static_cast<long>(request.size())) {
            CloseStreamConnection(v);
            CameraStatus(v, 0, Text(1000));
            Pause(v, 300);
            continue;
        }
        const PollOutcome got = ReceivePollPicture(v, loop);
        if (got == PollOutcome::Ignored) continue;
        if (got == PollOutcome::Shown) {
            failures = 0;
            const int32_t delay = v.record.captureParam;
            if (delay > 0 && delay <= 3000) Pause(v, delay);
        } else if (!Stopping(v)) {
            ++failures;
            if (!ShowRefusal(v, c.buffer.data(), kReceiveChunk) &&
                failures > (lengthPolling ? 2 : 1))
                CameraStatus(v, 0, Text(1003));
            Pause(v, 100);  // a camera that answers with nothing is not asked again at once
        }
    }
    CloseStreamConnection(v);
}

void ThreadMain(CameraView* view) {
    const CaptureRoutine loop = CaptureLoopFor(view->record.modelIndex);
    RunSetupOnWorker(*view);  // in order with the view's pan/tilt/zoom commands
    if (loop == kVideoLoop) VideoCaptureLoop(view);
    else if (loop == kStreamLoop) StreamLoop(view);
    else PollLoop(view, loop);
    view->capture.running = 0;
}

}  // namespace

bool StartCapture(CameraView* view) {
    if (!view) return false;
    CaptureState& c = view->capture;
    if (c.thread.joinable()) return true;
    CameraRecord& r = view->record;
    const CaptureRoutine loop = CaptureLoopFor(r.modelIndex);
    if (UsesBinaryLogin(r.modelIndex)) r.secondPort = 6002;
    if (g_lib.callerId == 0 || g_lib.callerId == 1 || g_lib.callerId == 2) {
        PrepareViewZones(*view);
        // The zones stay off until the zone editor switches them on again.
        if (loop != kLengthPollLoop) r.zoneStyle &= ~0xFu;
    }
    if (r.cruiseSpeed < -120 || r.cruiseSpeed > 120) r.cruiseSpeed = 5;
    if (r.captureParam < 0 || r.captureParam > 3000) r.captureParam = 0;
    if (loop != kVideoLoop && c.buffer.size() < kReceiveBufferSize + 1) {
        try {
            c.buffer.assign(kReceiveBufferSize + 1, 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    c.fill = 0;
    if (g_lib.recording && r.motionOn) StartMotionDetector(*view);
    if (g_lib.callerId != 2 || loop != kStreamLoop) PrepareMotionHook(*view);
    view->ui.paused = 0;
    FeedWatchdog(*view);
    c.stop = 0;
    c.running = 1;
    try {
        c.thread = std::thread(ThreadMain, view);
    } catch (const std::system_error&) {
        c.running = 0;
        return false;
    }
    return true;
}

void RequestCaptureStop(CameraView* view, bool closing) {
    if (!view) return;
    view->capture.stop = 1;
    WakeSleepers();
    EndCommandWorker(*view, closing);
    CancelBlockingReceive(*view);
}

void CancelBlockingCalls(CameraView* view) {
    if (!view) return;
    CancelBlockingReceive(*view);
    CancelSetupInFlight(*view);
}

void FinishCaptureStop(CameraView* view) {
    if (!view) return;
    CaptureState& c = view->capture;
    if (c.thread.joinable()) c.thread.join();
    JoinCommandWorker(*view);
    CloseStreamConnection(*view);
    CloseCommandConnection(*view);
}

void StopCapture(CameraView* view) {
    RequestCaptureStop(view);
    FinishCaptureStop(view);
}


}  // namespace orb
