// Thin RAII and retry wrappers around POSIX sockets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace sqlsim::wire {

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& o) noexcept : fd_(o.release()) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o)
            reset(o.release());
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int f = fd_;
        fd_ = -1;
        return f;
    }
    void reset(int fd = -1);
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Sends everything, retrying short writes and EINTR; false when the peer is gone.
bool sendAll(int fd, std::span<const uint8_t> data);
// Reads exactly `n` bytes; false on end of stream or error.
bool recvAll(int fd, uint8_t* buf, size_t n);

// Creates a listening TCP socket on host:port (port 0: any free one).
Fd listenTcp(const std::string& host, uint16_t port, std::string& error);
uint16_t localPort(int fd);

// One end of a connected TCP socket: the address as text ("127.0.0.1") and the port; empty
// and 0 when the socket has none.
struct Endpoint {
    std::string address;
    uint16_t port = 0;
};
Endpoint localEndpoint(int fd);
Endpoint peerEndpoint(int fd);

} // namespace sqlsim::wire
