// The connection side of a camera: its sockets, the receive buffer, the two receive
// operations that keep the thread's windows alive while they wait, and the Basic
// credential texts.
#pragma once
#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace orb {
struct CameraView;
struct CommandWorker;
}
struct CameraRecord;

namespace orb {

constexpr size_t kReceiveBufferSize = 1024000;
constexpr int32_t kReceiveLimit = 1000000;  // a fill count this large means a full buffer
constexpr int kReceiveChunk = 2048;

struct CaptureState {
    Socket stream;   // carries the pictures
    Socket command;  // set-up and pan/tilt/zoom commands
    sockaddr_in address{};
    std::vector<uint8_t> buffer;  // kReceiveBufferSize (+1 for a terminating NUL) once capture starts
    int32_t fill = 0;
    int64_t droppedAt = 0;  // when the status line last told of a dropped picture (monotonic ns)
    std::atomic<int32_t> stop{0};
    std::atomic<int32_t> running{0};
    std::atomic<int32_t> cancels{0};  // cancels of what blocks, counted (the video loop watches it)
    std::mutex socketLock;  // guards the sockets against a cancel from the window thread
    std::thread thread;     // the capture thread, started and joined by the view
    // The thread that sends the camera's commands (camera/command_worker.h), once one was
    // sent; last, so that it has ended before anything it uses goes.
    std::shared_ptr<CommandWorker> worker;
    CaptureState() = default;
    CaptureState(const CaptureState&) = delete;
    CaptureState& operator=(const CaptureState&) = delete;
};

// Base64 of "account:password" (decoded from the record), no line end.
std::string BasicCredential(const CameraRecord& record);
// The credential and "\r\n\r\n" when account and password are both set, else "\r\n\r\n".
std::string CredentialHeaderTail(const CameraRecord& record);

// The status code of an HTTP answer's first line ("HTTP/1.x NNN"), or 0 when the bytes do
// not start with one.
int AnswerStatus(const uint8_t* data, size_t size);
// Shows a refusal (401) or an error status (400 and above) of the camera on the view; false
// (nothing shown) for any other answer.
bool ShowRefusal(CameraView& view, const uint8_t* data, size_t size);

// Writes a status line of the camera's view (line numbers as the status texts use them).
void CameraStatus(CameraView& view, int line, const std::string& text);

// Resolves the record's address into the capture state (port = the given one); false when
// the name cannot be resolved or the capture stops meanwhile (a name that hangs is abandoned).
bool ResolveCamera(CameraView& view, int32_t port);
// The same into `out`, abandoned when *stop becomes non-zero (null: the capture's stop).
bool ResolveCameraAddress(const CameraView& view, int32_t port, sockaddr_in& out, const std::atomic<int32_t>* stop);

// One read at the fill count; the count, 0 when the camera closed, negative on error or
// stop. The caller advances the fill count.
long ReceiveOnce(CameraView& view);

// Opens and closes the command connection; closes the stream connection. A non-zero *stop
// (null: the capture's stop request) ends the connection's waits.
int OpenCommandConnection(CameraView& view, const std::atomic<int32_t>* stop = nullptr, int connectMs = 5000);
int CloseCommandConnection(CameraView& view);
int CloseStreamConnection(CameraView& view);
// Shuts the stream socket so a receive blocked in the capture thread returns at once (the
// command connection belongs to the view's command worker).
void CancelBlockingReceive(CameraView& view);

// The watchdog: zeroed by every good read, advanced once a second by the view's timer.
void FeedWatchdog(CameraView& view);
int32_t WatchdogCount(CameraView& view);

}  // namespace orb
