// TCP sockets over POSIX, owned by RAII handles. Every wait is bounded by a receive
// time-out; a blocking receive is cancelled from another thread by ShutdownSocket.
#pragma once
#include <netinet/in.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace orb {

class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept : fd_(other.fd_.exchange(-1)) {}
    Socket& operator=(Socket&& other) noexcept;
    ~Socket() { Close(); }

    bool Valid() const { return fd_.load() >= 0; }
    int Fd() const { return fd_.load(); }
    // Closes the socket; true when close succeeded or none was open.
    bool Close();
    // Shuts both directions so a receive blocked in another thread returns at once.
    void Shutdown();

private:
    std::atomic<int> fd_{-1};
};

// Resolves a camera address to an IPv4 address (network byte order); false when it
// cannot be resolved. Dotted text is parsed first; names go to the installed resolver.
bool ResolveIPv4(const char* address, in_addr& out);
// Replaces the name resolver (tests); empty restores the system's.
void SetResolver(std::function<bool(const char* name, in_addr& out)> resolver);

// A new TCP socket, invalid on failure.
Socket CreateTcpSocket();
// Sets the receive time-out (SO_RCVTIMEO) in milliseconds; 0 means none.
bool SetReceiveTimeout(const Socket& s, int milliseconds);
// Sets the send time-out (SO_SNDTIMEO) in milliseconds.
bool SetSendTimeout(const Socket& s, int milliseconds);
// Connects with a bounded wait (milliseconds); true when connected. A non-zero *stop ends
// the wait within a few milliseconds (the connect then fails).
bool ConnectTo(const Socket& s, const sockaddr_in& address, int timeoutMs = 5000,
               const std::atomic<int32_t>* stop = nullptr);
// One send call (MSG_NOSIGNAL); the count sent or -1.
long SendBytes(const Socket& s, const void* data, size_t size);
// Sends everything; true when all bytes went out.
bool SendAll(const Socket& s, const void* data, size_t size);
// One receive call: count, 0 when the peer closed, -1 on error or time-out.
long ReceiveSome(const Socket& s, void* data, size_t size);

// A loopback address with the port in host order.
sockaddr_in LoopbackAddress(uint16_t port);

}  // namespace orb
