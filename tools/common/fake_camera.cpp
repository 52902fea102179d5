#include "common/fake_camera.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <list>
#include <thread>

#include "platform/base64.h"
#include "common/fake_camera_faults.h"
#include "common/scene_renderer.h"
#include "common/simulated_cameras.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"

namespace orbtools {

struct FakeCamera::Threads {
    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::thread acceptor;
    std::mutex lock;
    std::list<Connection> connections;
    // Joins the connections that have ended (a polling client makes one per picture).
    void Reap() {
        std::lock_guard l(lock);
        for (auto it = connections.begin(); it != connections.end();) {
            if (it->done->load()) {
                it->thread.join();
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
    }
};

std::vector<uint8_t> SceneJpeg(int width, int height, int quality) {
    HDIB pic = RenderScene(SimulatedLensOf(SimulatedLens::Fisheye, width, height));
    std::vector<uint8_t> out;
    orb::JpegEncodeMemory(pic, quality, out);
    orb::DestroyDIB(pic);
    return out;
}

FakeCamera::FakeCamera(FakeCameraOptions options) : options_(std::move(options)), threads_(new Threads) {}

FakeCamera::~FakeCamera() { Stop(); }

int FakeCamera::Start(int port) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return 0;
    const int yes = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only
    socklen_t len = sizeof a;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listenFd_, 64) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return 0;
    }
    port_ = ntohs(a.sin_port);
    stop_ = false;
    threads_->acceptor = std::thread([this] { AcceptLoop(); });
    return port_;
}

void FakeCamera::Stop() {
    stop_ = true;
    if (threads_->acceptor.joinable()) threads_->acceptor.join();
    std::list<Threads::Connection> done;
    {
        std::lock_guard l(threads_->lock);
        done.swap(threads_->connections);
    }
    for (auto& c : done)
        if (c.thread.joinable()) c.thread.join();
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
}

std::vector<std::string> FakeCamera::Requests() const {
    std::lock_guard l(lock_);
    return requests_;
}

std::vector<std::string> FakeCamera::Commands() const {
    std::lock_guard l(lock_);
    return commands_;
}

bool IsCameraCommand(const std::string& request) {
    static const char* const kPaths[] = {"/cgi-bin/cmd/encoder?", "/vb.htm?", "/admin.cgi?", "/SetMultimedia.cgi?",
                                         "/SetPTZ.cgi?", "/-wvhttp-01-/control.cgi?"};
    const size_t space = request.find(' ');
    if (space == std::string::npos) return false;
    for (const char* path : kPaths)
        if (request.compare(space + 1, std::strlen(path), path) == 0) return true;
    return false;
}

void FakeCamera::SetFault(FakeFault fault) {
    std::lock_guard l(lock_);
    options_.fault = fault;
}

void FakeCamera::SetCredentials(const std::string& account, const std::string& password) {
    std::lock_guard l(lock_);
    options_.account = account;
    options_.password = password;
}

std::vector<uint8_t> FakeCamera::PictureFor(int frame) {
    std::lock_guard l(lock_);
    if (options_.picture) return options_.picture(frame);
    if (defaultPicture_.empty()) defaultPicture_ = SceneJpeg(options_.width, options_.height);
    return defaultPicture_;
}

void FakeCamera::AcceptLoop() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        threads_->Reap();
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::lock_guard l(threads_->lock);
        threads_->connections.push_back({std::thread([this, fd, done] {
                                             Serve(fd);
                                             *done = true;
                                         }),
                                         done});
    }
}

namespace {

// Sends everything (one byte at a time when dripping, pauseMs apart when given); false when
// the client went away.
bool SendAll(int fd, const void* data, size_t size, bool drip, const std::atomic<bool>& stop, int pauseMs = 0) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0 && !stop) {
        pollfd w{fd, POLLOUT, 0};
        if (poll(&w, 1, 100) <= 0) continue;
        if (pauseMs > 0 && !PauseBetweenBytes(pauseMs, stop)) break;
        const ssize_t n = ::send(fd, p, drip || pauseMs > 0 ? 1 : size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return size == 0;
}

bool SendText(int fd, const std::string& t, bool drip, const std::atomic<bool>& stop, int pauseMs = 0) {
    return SendAll(fd, t.data(), t.size(), drip, stop, pauseMs);
}

// Reads the request head (bounded in size and time).
std::string ReadRequest(int fd, const std::atomic<bool>& stop) {
    std::string req;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    char buf[1024];
    while (!stop && req.size() < 16384 && std::chrono::steady_clock::now() < until) {
        if (req.find("\r\n\r\n") != std::string::npos) break;
        // The binary login of some models is a fixed 128 bytes without line ends.
        if (req.size() >= 128 && req.find('\0') < 128) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        req.append(buf, static_cast<size_t>(n));
    }
    return req;
}

// A command's body follows its header in sends of its own; it ends with CR LF.
void ReadBody(int fd, std::string& request, const std::atomic<bool>& stop) {
    const size_t head = request.find("\r\n\r\n");
    if (head == std::string::npos) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    char buf[512];
    while (!stop && request.size() < 16384 && std::chrono::steady_clock::now() < until) {
        const std::string body = request.substr(head + 4);
        if (body.size() >= 2 && body.compare(body.size() - 2, 2, "\r\n") == 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<size_t>(n));
    }
}

// Closes with a reset instead of an orderly end: the client's receive fails.
void ResetConnection(int fd) {
    const linger abort{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(fd);
}

bool Sleep(const std::atomic<bool>& stop, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return !stop;
}

// Writes an answer the way the framing asks: header lines in its spelling, the body in
// chunks when it is chunked, separate writes with pauses when it is split.
struct Wire {
    int fd;
    const FakeFraming& f;
    bool drip;
    const std::atomic<bool>& stop;
    bool chunked = false;  // set once the head went out
    int pauseMs = 0;       // between two bytes (a trickling camera)

    std::string Header(std::string name, const std::string& value) const {
        if (f.lowerCaseHeaders)
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return name + (f.noBlankAfterColon ? ":" : ": ") + value + "\r\n";
    }
    std::string Status() const { return f.http11 || f.chunkBytes ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.0 200 OK\r\n"; }
    bool Raw(const void* data, size_t n) { return SendAll(fd, data, n, drip, stop, pauseMs); }
    bool Body(const void* data, size_t n) {
        if (!chunked) return Raw(data, n);
        const auto* p = static_cast<const uint8_t*>(data);
        const size_t piece = f.chunkBytes > 0 ? static_cast<size_t>(f.chunkBytes) : n;
        for (size_t at = 0; at < n; at += piece) {
            const size_t k = std::min(piece, n - at);
            char line[32];
            std::snprintf(line, sizeof line, "%zx\r\n", k);
            if (!Raw(line, std::strlen(line)) || !Raw(p + at, k) || !Raw("\r\n", 2)) return false;
        }
        return true;
    }
    bool Body(const std::string& t) { return Body(t.data(), t.size()); }
    bool End() { return !chunked || Raw("0\r\n\r\n", 5); }
    void Pause() {
        if (f.splitDelayMs >= 0) Sleep(stop, f.splitDelayMs);
    }
};

}  // namespace

void FakeCamera::AnswerCommand(int fd, std::string request, FakeFault fault) {
    // The image set-up (a POST) and the video codec set-up (a GET) carry a body.
    if (request.compare(0, 5, "POST ") == 0 || request.compare(0, 19, "GET /vb.htm?videoco") == 0)
        ReadBody(fd, request, stop_);
    std::string account, password;
    {
        std::lock_guard l(lock_);
        commands_.push_back(request);
        account = options_.account;
        password = options_.password;
    }
    std::string answer;
    if (fault == FakeFault::Reset) return ResetConnection(fd);
    if (fault == FakeFault::Refuse) {
    } else if (!account.empty() &&
               request.find("Authorization: Basic " + orb::Base64Encode(account + ":" + password) + "\r\n") == std::string::npos) {
        ++refusals_;
        answer = "HTTP/1.0 401 Unauthorized\r\n\r\n";
    } else if (fault == FakeFault::HttpError) {
        answer = "HTTP/1.0 500 Internal Server Error\r\n\r\n";
    } else if (fault == FakeFault::ShortAnswer) {
        answer = "HTTP/1.0 200 OK\r\n\r\n";
    } else {
        // As long as the request or longer, in one send: the client's check of a command
        // answer is that it overwrote the whole request.
        answer = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nOK\r\n";
        answer.resize(std::max<size_t>(answer.size(), std::min<size_t>(request.size() + 64, 1900)), ' ');
    }
    if (!answer.empty()) SendText(fd, answer, false, stop_, BytePauseMs(fault));
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}

namespace {

void Finish(int fd) {
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}

// A stalled camera: nothing more goes out until the client gives up (or the camera stops).
void HoldUntilClientLeaves(int fd, const std::atomic<bool>& stop) {
    while (Sleep(stop, 50)) {
        pollfd p{fd, POLLIN, 0};
        char c;
        if (poll(&p, 1, 0) > 0 && ::recv(fd, &c, 1, MSG_DONTWAIT) == 0) break;
    }
}

// The part head before a picture of the push stream; false when the client went.
bool SendPartHead(Wire& wire, const std::string& boundary, int frame, size_t length, const std::atomic<bool>& stop) {
    const FakeFraming& f = wire.f;
    std::string part = frame > 0 || f.firstBoundary ? boundary + "\r\n" : "";
    if (f.extraPartHeaders)
        part += wire.Header("X-Status", "0") + wire.Header("X-Tags", "ALARM") +
                wire.Header("X-Timestamp", std::to_string(1700000000 + frame));
    part += wire.Header("Content-Type", "image/jpeg");
    if (f.partLength) part += wire.Header("Content-Length", std::to_string(length));
    part += "\r\n";
    if (!f.splitPartHeader) return wire.Body(part);
    // Cut inside the last header line, with a pause: the client's read ends there.
    const size_t cut = part.size() - 6;
    if (!wire.Body(part.substr(0, cut))) return false;
    Sleep(stop, 20);
    return wire.Body(part.substr(cut));
}

}  // namespace

void FakeCamera::Serve(int fd) {
    FakeCameraOptions o;
    {
        std::lock_guard l(lock_);
        o = options_;
        o.picture = nullptr;
    }
    if (o.fault == FakeFault::Silent) {
        HoldSilently(fd, stop_);
        return Finish(fd);
    }
    const std::string request = ReadRequest(fd, stop_);
    if (IsCameraCommand(request)) return AnswerCommand(fd, request, o.fault);
    if (!request.empty()) {
        std::lock_guard l(lock_);
        requests_.push_back(request);
    }
    if (o.fault == FakeFault::Reset) return ResetConnection(fd);
    if (!Admit(fd, o, request)) return Finish(fd);
    if (o.answer != FakeAnswer::Push) return AnswerOnePicture(fd, o);
    if (StreamPictures(fd, o)) Finish(fd);
}

bool FakeCamera::Admit(int fd, const FakeCameraOptions& o, const std::string& request) {
    if (o.fault == FakeFault::Refuse || request.empty()) return false;
    if (!o.account.empty()) {
        const std::string credential = orb::Base64Encode(o.account + ":" + o.password);
        if (request.find("Authorization: Basic " + credential + "\r\n") == std::string::npos &&
            request.find("Authorization:Basic " + credential + "\r\n") == std::string::npos) {
            ++refusals_;
            SendText(fd, "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"camera\"\r\n\r\n", false, stop_);
            return false;
        }
    }
    if (o.fault == FakeFault::HttpError) {
        SendText(fd, "HTTP/1.0 500 Internal Server Error\r\n\r\n", false, stop_);
        return false;
    }
    if (o.fault == FakeFault::Stall) {
        HoldUntilClientLeaves(fd, stop_);
        return false;
    }
    return true;
}

void FakeCamera::AnswerOnePicture(int fd, const FakeCameraOptions& o) {
    const bool drip = o.fault == FakeFault::Drip;
    Wire wire{fd, o.framing, drip, stop_};
    wire.pauseMs = BytePauseMs(o.fault);
    const FakeFraming& f = o.framing;
    // Each answer takes its own frame number: a client may ask again before the last
    // byte of the previous answer has left here.
    const int frame = answered_++;
    if (o.pictureLimit > 0 && frame >= o.pictureLimit) return Finish(fd);  // served them all
    const std::vector<uint8_t> pic = PictureFor(frame);
    std::string head = wire.Status() + wire.Header("Content-Type", "image/jpeg");
    const bool length = o.answer == FakeAnswer::Length || f.keepAlive;  // an open connection needs a length
    if (f.chunkBytes) head += wire.Header("Transfer-Encoding", "chunked");
    else if (length) head += wire.Header("Content-Length", std::to_string(pic.size()));
    if (f.keepAlive) head += wire.Header("Connection", "keep-alive");
    head += "\r\n";
    const size_t body = o.fault == FakeFault::CloseMidPicture ? pic.size() / 2 : pic.size();
    bool sent = wire.Raw(head.data(), head.size());
    wire.chunked = f.chunkBytes != 0;
    wire.Pause();
    if (sent && wire.Body(pic.data(), body) && (body < pic.size() || wire.End())) ++pictures_;
    if (f.keepAlive) {
        // Until the client closes its end (or the camera stops).
        while (Sleep(stop_, 20)) {
            pollfd p{fd, POLLIN, 0};
            char c;
            if (poll(&p, 1, 0) > 0 && ::recv(fd, &c, 1, MSG_DONTWAIT) <= 0) break;
        }
    } else {
        Sleep(stop_, o.framesPerSecond > 0 ? 1000 / o.framesPerSecond : 0);
    }
    Finish(fd);
}

bool FakeCamera::StreamPictures(int fd, FakeCameraOptions& o) {
    const int pause = o.framesPerSecond > 0 ? 1000 / o.framesPerSecond : 0;
    Wire wire{fd, o.framing, o.fault == FakeFault::Drip, stop_};
    wire.pauseMs = BytePauseMs(o.fault);
    const FakeFraming& f = o.framing;
    const std::string name = o.boundary.size() > 2 && o.boundary.compare(0, 2, "--") == 0 ? o.boundary.substr(2) : o.boundary;
    const std::string boundary = o.fault == FakeFault::WrongBoundary ? "--otherboundary" : o.boundary;
    std::string head = wire.Status() +
                       wire.Header("Content-Type", "multipart/x-mixed-replace;boundary=" + (f.declaredDashes ? boundary : name));
    if (f.chunkBytes) head += wire.Header("Transfer-Encoding", "chunked");
    if (!wire.Raw((head + "\r\n").data(), head.size() + 2)) return true;
    wire.chunked = f.chunkBytes != 0;
    uint32_t noise = 12345;
    for (int frame = 0; !stop_; ++frame) {
        const LiveFault live = TakeLiveFault(fd, o, frame);
        if (live != LiveFault::Carry) return live == LiveFault::End;
        std::vector<uint8_t> pic = PictureFor(frame);
        if (o.fault == FakeFault::HugePicture && frame == 1) pic = OversizedJpeg(frame);
        if (o.fault == FakeFault::Garbage) {
            std::string junk(200 + frame % 300, ' ');
            for (char& ch : junk) ch = static_cast<char>((noise = noise * 1103515245 + 12345) >> 16);
            if (!wire.Body(junk)) return true;
        }
        if (!SendPartHead(wire, boundary, frame, pic.size(), stop_)) return true;
        wire.Pause();
        if (o.fault == FakeFault::CloseMidPicture && frame == 1) {
            wire.Body(pic.data(), pic.size() / 2);
            return true;
        }
        if (!wire.Body(pic.data(), pic.size()) || !wire.Body("\r\n")) return true;
        ++pictures_;
        if (o.pictureLimit > 0 && frame + 1 >= o.pictureLimit) {
            wire.End();
            return true;
        }
        if (!Sleep(stop_, pause)) return true;
    }
    return true;
}

FakeCamera::LiveFault FakeCamera::TakeLiveFault(int fd, FakeCameraOptions& o, int& frame) {
    // A fault asked for while the stream runs takes effect at once (soak runs inject them).
    FakeFault live;
    {
        std::lock_guard l(lock_);
        live = options_.fault;
    }
    if (live == o.fault) return LiveFault::Carry;
    if (live == FakeFault::Stall || live == FakeFault::Silent) {
        HoldUntilClientLeaves(fd, stop_);
        return LiveFault::End;
    }
    // The next connection trickles.
    if (live == FakeFault::Refuse || live == FakeFault::Trickle) return LiveFault::End;
    if (live == FakeFault::Reset) {
        ResetConnection(fd);
        return LiveFault::Closed;
    }
    if (live == FakeFault::Garbage || live == FakeFault::CloseMidPicture) o.fault = live;
    if (live == FakeFault::CloseMidPicture) frame = 1;  // the picture now going out is cut
    return LiveFault::Carry;
}

}  // namespace orbtools
