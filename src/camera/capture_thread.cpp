#include "camera/capture_thread.h"

#include <cstdio>
#include <ctime>
#include <string>

#include "analysis/motion_view.h"
#include "camera/camera_commands.h"
#include "camera/catalogue.h"
#include "camera/frame_pipeline.h"
#include "camera/http.h"
#include "camera/stream_parser.h"
#include "host/library_state.h"
#include "host/panoview.h"
#include "host/texts.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "ui/ui_state.h"

namespace orb {

CaptureTimeouts& Timeouts() {
    static CaptureTimeouts t;
    return t;
}

namespace {

constexpr int kWatchdogLimit = 63;

bool Stopping(PanoView& v) { return v.capture.stop.load() != 0; }
bool Pause(PanoView& v, int ms) { return SleepFor(ms, &v.capture.stop); }

void Repaint(PanoView& v) {
    if (v.ui.window) InvalidateRect(v.ui.window);
}

std::string SizeText(int w, int h) {
    char t[64];
    std::snprintf(t, sizeof t, "Width = %d,  Height = %d", w, h);
    return t;
}

// Shows a cut picture; the size checks and the resolution lines of the loop.
FrameResult Deliver(PanoView& v, const uint8_t* jpeg, long length, CaptureRoutine loop) {
    const int32_t model = v.record.modelIndex;
    const bool lengthPolling = loop == kLengthPollLoop;
    const FrameResult r = RunFramePipeline(v, jpeg, static_cast<size_t>(length), &v.capture.stop,
                                           [&](int w, int h) { return AcceptPictureSize(model, lengthPolling, w, h); });
    if (r != FrameResult::Shown) return r;
    const int w = v.frames.currentW, h = v.frames.currentH;
    const int32_t type = v.record.lensType;
    if (type != kLensNormal && type != kLensMotoPtz && (w != v.record.sourceWidth || h != v.record.sourceHeight)) {
        std::string text = "Bad Image Source Resolution !\nPlease Set image size to\n" +
                           SizeText(v.record.sourceWidth, v.record.sourceHeight);
        if (loop == kStreamLoop) text += "\nCurrent Resolution :\n" + SizeText(w, h);
        if (loop == kClosePollLoop) text += "\nCurrent size is :\n" + SizeText(w, h);
        CameraStatus(v, -1, text);
    } else {
        CameraStatus(v, 0, "");  // pictures flow: the connection lines are done with
    }
    return r;
}

void StreamLoop(PanoView* view) {
    PanoView& v = *view;
    CaptureState& c = v.capture;
    const int32_t model = v.record.modelIndex;
    Delimiter delimiter = DelimiterFor(model);
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
        if (!s.Valid() || !ConnectTo(s, c.address)) {
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
        // The answer's header: its first bytes stay as the start of the stream.
        c.fill = 0;
        const long first = ReceiveSome(c.stream, c.buffer.data(), kReceiveChunk);
        if (first <= 0) {
            CameraStatus(v, 2, Text(first == 0 ? 2328 : 2329));
            CloseStreamConnection(v);
            CameraStatus(v, 0, Text(1001));
            Pause(v, 3000);
            continue;
        }
        // A refusal or an error status is no stream: say so and try again later.
        if (!binary && ShowRefusal(v, c.buffer.data(), static_cast<size_t>(first))) {
            CloseStreamConnection(v);
            Pause(v, 3000);
            continue;
        }
        c.fill = binary ? 0 : static_cast<int32_t>(first);
        if (DelimiterFromAnswer(model)) delimiter = DelimiterFromHeader(c.buffer.data(), static_cast<size_t>(first));
        FeedWatchdog(v);

        // Receive: cut a picture at every counting delimiter. The receive stage's CPU is
        // what the thread used between two pictures' hand-overs.
        StageFigures& figures = v.frames.stages;
        int64_t received = ThreadCpuNanoseconds();
        while (!Stopping(v)) {
            if (WatchdogCount(v) > kWatchdogLimit) {
                CloseStreamConnection(v);
                Pause(v, 300);
                break;
            }
            const int32_t before = c.fill;
            if (ReceiveAtLeast(v, 4096) < 0) {
                if (Stopping(v)) break;
                CameraStatus(v, -2, "Receving Error !      ");
                CloseStreamConnection(v);
                Pause(v, 300);
                break;
            }
            FeedWatchdog(v);
            const long d = SearchPass(c.buffer.data(), before, c.fill, delimiter);
            if (d < 0) continue;
            // The picture's last byte is here: what follows until the view is updated is
            // the latency a user sees.
            const int64_t arrived = MonotonicNanoseconds();
            const long start = PictureStart(c.buffer.data(), d);
            if (start >= 0) {
                figures.Add(kStageReceive, ThreadCpuNanoseconds() - received);
                if (Deliver(v, c.buffer.data() + start, d - start, kStreamLoop) == FrameResult::Shown)
                    figures.AddLatency(MonotonicNanoseconds() - arrived);
                received = ThreadCpuNanoseconds();
            }
            CompactBuffer(c.buffer.data(), c.fill, d);
            const int32_t delay = v.record.captureParam;
            if (delay > 0 && delay <= 3000) Pause(v, delay);
        }
    }
    CloseStreamConnection(v);
}

void PollLoop(PanoView* view, CaptureRoutine loop) {
    PanoView& v = *view;
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
        if (!ResolveCamera(v, v.record.httpPort)) {
            CameraStatus(v, 0, Text(1002));
            Pause(v, 300);
            continue;
        }
        Socket s = CreateTcpSocket();
        if (!s.Valid()) {
            CameraStatus(v, 1, Text(1002));
            Pause(v, 300);
            continue;
        }
        SetReceiveTimeout(s, lengthPolling ? Timeouts().lengthConnect : Timeouts().closeAnswer);
        PumpMessages();
        if (!ConnectTo(s, c.address)) {
            Repaint(v);
            CameraStatus(v, 1, Text(1002));
            Pause(v, 300);
            continue;
        }
        {
            std::lock_guard lock(c.socketLock);
            c.stream = std::move(s);
        }
        PumpMessages();
        const std::string request = FormatPollRequest(completed, random.NextNumber(), address);
        if (SendBytes(c.stream, request.data(), request.size()) != static_cast<long>(request.size())) {
            CloseStreamConnection(v);
            CameraStatus(v, 0, Text(1000));
            Pause(v, 300);
            continue;
        }
        SetReceiveTimeout(c.stream, lengthPolling ? Timeouts().lengthAnswer : Timeouts().closeAnswer);
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
        const AnswerPicture a = lengthPolling ? CutLengthFramed(c.buffer.data(), c.buffer.size(), read, abort)
                                              : CutCloseFramed(model, c.buffer.data(), c.buffer.size(), read, abort);
        const int64_t arrived = MonotonicNanoseconds();
        CloseStreamConnection(v);
        StageFigures& figures = v.frames.stages;
        figures.Add(kStageReceive, ThreadCpuNanoseconds() - cpu0);
        bool usable = false;
        if (a.start >= 0) {
            // Skip forward to a real start of image; too little left is no picture.
            long start = a.start, length = a.length;
            while (length >= kMinPicture && !IsStartOfImage(c.buffer.data() + start)) ++start, --length;
            if (length >= kMinPicture) usable = Deliver(v, c.buffer.data() + start, length, loop) == FrameResult::Shown;
            if (usable) figures.AddLatency(MonotonicNanoseconds() - arrived);
        }
        if (usable) {
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

void ThreadMain(PanoView* view) {
    const CaptureRoutine loop = CaptureLoopFor(view->record.modelIndex);
    SendSetupCommands(*view);
    if (loop == kStreamLoop) StreamLoop(view);
    else PollLoop(view, loop);
    view->capture.running = 0;
}

}  // namespace

bool StartCapture(PanoView* view) {
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
    if (c.buffer.size() < kReceiveBufferSize + 1) {
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

void StopCapture(PanoView* view) {
    if (!view) return;
    CaptureState& c = view->capture;
    c.stop = 1;
    WakeSleepers();
    CancelBlockingReceive(*view);
    if (c.thread.joinable()) c.thread.join();
    CloseStreamConnection(*view);
    CloseCommandConnection(*view);
}

void InstallCaptureHooks() {
    ViewHooks& h = Hooks();
    if (!h.startCapture) h.startCapture = StartCapture;
    if (!h.stopCapture) h.stopCapture = StopCapture;
    if (!h.cancelBlocking) h.cancelBlocking = [](PanoView* v) { CancelBlockingReceive(*v); };
    if (!h.ptz) h.ptz = [](PanoView* v, int code) { SendPtzCommand(*v, code, 0); };
}

}  // namespace orb
