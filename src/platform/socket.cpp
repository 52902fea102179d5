#include "platform/socket.h"

#include <algorithm>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace orb {

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_.store(other.fd_.exchange(-1));
    }
    return *this;
}

bool Socket::Close() {
    int fd = fd_.exchange(-1);
    if (fd < 0) return true;
    return ::close(fd) == 0;
}

void Socket::Shutdown() {
    int fd = fd_.load();
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

namespace {

std::mutex g_resolverMutex;
std::function<bool(const char*, in_addr&)>& ResolverHook() {
    static auto* v = new std::function<bool(const char*, in_addr&)>;
    return *v;
}

bool SystemResolve(const char* name, in_addr& out) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &result) != 0 || !result) return false;
    bool ok = false;
    for (addrinfo* it = result; it; it = it->ai_next) {
        if (it->ai_family == AF_INET && it->ai_addr) {
            out = reinterpret_cast<sockaddr_in*>(it->ai_addr)->sin_addr;
            ok = true;
            break;
        }
    }
    freeaddrinfo(result);
    return ok;
}

}  // namespace

bool ResolveIPv4(const char* address, in_addr& out) {
    if (!address || !*address) return false;
    if (inet_pton(AF_INET, address, &out) == 1) return true;
    std::function<bool(const char*, in_addr&)> resolver;
    {
        std::lock_guard lock(g_resolverMutex);
        resolver = ResolverHook();
    }
    return resolver ? resolver(address, out) : SystemResolve(address, out);
}

void SetResolver(std::function<bool(const char*, in_addr&)> resolver) {
    std::lock_guard lock(g_resolverMutex);
    ResolverHook() = std::move(resolver);
}

Socket CreateTcpSocket() { return Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)); }

static bool SetTimeout(const Socket& s, int option, int milliseconds) {
    if (!s.Valid()) return false;
    timeval tv{};
    if (milliseconds > 0) {
        tv.tv_sec = milliseconds / 1000;
        tv.tv_usec = (milliseconds % 1000) * 1000;
    }
    return setsockopt(s.Fd(), SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

bool SetReceiveTimeout(const Socket& s, int milliseconds) { return SetTimeout(s, SO_RCVTIMEO, milliseconds); }
bool SetSendTimeout(const Socket& s, int milliseconds) { return SetTimeout(s, SO_SNDTIMEO, milliseconds); }

bool ConnectTo(const Socket& s, const sockaddr_in& address, int timeoutMs, const std::atomic<int32_t>* stop) {
    if (!s.Valid()) return false;
    int fd = s.Fd();
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
    int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    bool ok = rc == 0;
    if (!ok && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        // Waited for in short slices, so a stop request is seen at once: a camera whose
        // listen queue is full never blocks the thread that stops the view.
        constexpr int kSliceMs = 10;
        int left = timeoutMs > 0 ? timeoutMs : 5000;
        int waited = 0;
        while (left > 0 && !(stop && stop->load())) {
            const int slice = std::min(left, kSliceMs);
            waited = poll(&p, 1, slice);
            if (waited < 0 && errno == EINTR) continue;
            if (waited != 0) break;
            left -= slice;
        }
        if (waited == 1) {
            int err = 0;
            socklen_t len = sizeof err;
            ok = getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
        }
    }
    fcntl(fd, F_SETFL, flags);
    return ok;
}

long SendBytes(const Socket& s, const void* data, size_t size) {
    if (!s.Valid()) return -1;
    ssize_t n;
    do {
        n = ::send(s.Fd(), data, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
}

bool SendAll(const Socket& s, const void* data, size_t size) {
    auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        long n = SendBytes(s, p, size);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

long ReceiveSome(const Socket& s, void* data, size_t size) {
    if (!s.Valid()) return -1;
    ssize_t n;
    do {
        n = ::recv(s.Fd(), data, size, 0);
    } while (n < 0 && errno == EINTR);
    return n;
}

sockaddr_in LoopbackAddress(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

}  // namespace orb
