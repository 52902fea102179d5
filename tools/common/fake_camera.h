// A camera of our own on 127.0.0.1: it checks the request's Basic credentials (401 when
// wrong) and answers the way the camera models do: an endless multipart push stream, one
// picture per request framed by Content-Length, or one picture per request that ends when
// it closes the connection. Faults can be asked for, to see the client cope.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orbtools {

enum class FakeAnswer { Push, Length, Close };
enum class FakeFault {
    None,
    CloseMidPicture,  // the second picture stops half-way and the connection closes
    Stall,            // the request is read, nothing is ever sent
    Drip,             // everything goes out one byte per send
    Garbage,          // random bytes between the parts
    WrongBoundary,    // the parts are separated by another boundary than the model's
    Refuse,           // the connection is closed at once
    HttpError,        // "500 Internal Server Error"
    ShortAnswer,      // commands are answered with less than they asked
    Reset,            // the request is read, then the connection is reset
    HugePicture,      // the second picture of a push stream is larger than any receive buffer
    Silent,           // the connection is taken and nothing is ever read or sent (commands too)
    Trickle,          // everything goes out one byte a second (commands too)
};

// How the answers are put on the wire: the framings that real cameras and proxies use.
struct FakeFraming {
    int splitDelayMs = -1;          // >= 0: headers and body in separate writes, this far apart
    int chunkBytes = 0;             // chunked transfer encoding: chunks of this size, -1 one per write
    bool lowerCaseHeaders = false;  // "content-length:"
    bool noBlankAfterColon = false; // "Content-Length:123"
    bool keepAlive = false;         // single pictures: the connection stays open after the answer
    bool partLength = true;         // parts carry a Content-Length
    bool firstBoundary = true;      // a boundary before the first part
    bool declaredDashes = false;    // the Content-Type declares the boundary with its two dashes
    bool extraPartHeaders = false;  // X-Status, X-Tags, X-Timestamp before the part's Content-Type
    bool splitPartHeader = false;   // a part header line split over two writes
    bool http11 = false;            // "HTTP/1.1" status line
};

struct FakeCameraOptions {
    FakeAnswer answer = FakeAnswer::Push;
    std::string boundary = "--myboundary";  // as it appears in the stream
    std::string account, password;          // plain text; empty account = no check
    int width = 640, height = 480;
    int framesPerSecond = 25;
    FakeFault fault = FakeFault::None;
    FakeFraming framing;
    // Push streams end after this many pictures, the connection closed; single-picture
    // answers stop coming after this many in all (0: no limit).
    int pictureLimit = 0;
    // The pictures to serve (JPEG bytes); without it, the test scene through a fisheye.
    std::function<std::vector<uint8_t>(int frame)> picture;
};

class FakeCamera {
public:
    explicit FakeCamera(FakeCameraOptions options);
    ~FakeCamera();
    FakeCamera(const FakeCamera&) = delete;
    FakeCamera& operator=(const FakeCamera&) = delete;

    // Listens on 127.0.0.1 (port 0: any free port); the port, or 0 on failure.
    int Start(int port = 0);
    void Stop();
    int Port() const { return port_; }

    // What was received and sent, for tests: the picture requests, and the set-up and
    // pan/tilt/zoom commands (with their bodies) apart from them.
    std::vector<std::string> Requests() const;
    std::vector<std::string> Commands() const;
    int Connections() const { return connections_.load(); }
    int PicturesSent() const { return pictures_.load(); }
    int Refusals() const { return refusals_.load(); }  // 401 answers
    // Changes take effect for the next connection.
    void SetFault(FakeFault fault);
    void SetCredentials(const std::string& account, const std::string& password);

private:
    void AcceptLoop();
    void Serve(int fd);
    // False when the connection is answered already (refused, an error, a stall).
    bool Admit(int fd, const FakeCameraOptions& o, const std::string& request);
    void AnswerOnePicture(int fd, const FakeCameraOptions& o);
    // The push stream; false when the connection was reset (and closed) on the way.
    bool StreamPictures(int fd, FakeCameraOptions& o);
    // A fault set while a stream runs: carry on (the options updated), end the stream, or
    // the connection was reset and is closed.
    enum class LiveFault { Carry, End, Closed };
    LiveFault TakeLiveFault(int fd, FakeCameraOptions& o, int& frame);
    void AnswerCommand(int fd, std::string request, FakeFault fault);
    std::vector<uint8_t> PictureFor(int frame);

    FakeCameraOptions options_;
    mutable std::mutex lock_;
    std::vector<std::string> requests_, commands_;
    std::vector<uint8_t> defaultPicture_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0}, pictures_{0}, refusals_{0}, answered_{0};
    struct Threads;
    std::unique_ptr<Threads> threads_;
};

// True for the request of a set-up or pan/tilt/zoom command rather than for pictures.
bool IsCameraCommand(const std::string& request);

// The default picture: the test scene through a centred fisheye, as JPEG.
std::vector<uint8_t> SceneJpeg(int width, int height, int quality = 80);
// Pictures of the kinds cameras send, each one different for each frame number: the scene
// with an EXIF segment holding a 128 x 104 thumbnail (as cameras write it, before the
// picture's own tables); a tiny grey picture of a few hundred bytes; a picture of noise
// close to the receive buffer's size.
std::vector<uint8_t> ExifJpeg(int width, int height, int frame);
std::vector<uint8_t> TinyJpeg(int frame);
std::vector<uint8_t> HugeJpeg(int frame);
// A picture larger than any receive buffer.
std::vector<uint8_t> OversizedJpeg(int frame);
// The test scene with the frame number drawn in as bars, so that every frame differs.
std::vector<uint8_t> NumberedJpeg(int width, int height, int frame);

}  // namespace orbtools
