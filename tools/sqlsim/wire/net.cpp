#include "wire/net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sqlsim::wire {

void Fd::reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

bool sendAll(int fd, std::span<const uint8_t> data) {
    size_t off = 0;
    while (off < data.size()) {
        ssize_t n = ::send(fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        off += static_cast<size_t>(n);
    }
    return true;
}

bool recvAll(int fd, uint8_t* buf, size_t n) {
    size_t off = 0;
    while (off < n) {
        ssize_t r = ::recv(fd, buf + off, n - off, 0);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        off += static_cast<size_t>(r);
    }
    return true;
}

Fd listenTcp(const std::string& host, uint16_t port, std::string& error) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        error = std::string("socket: ") + std::strerror(errno);
        return {};
    }
    int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
        error = "not an IPv4 address: " + host;
        return {};
    }
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error = "bind " + host + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return {};
    }
    if (::listen(fd.get(), 128) != 0) {
        error = std::string("listen: ") + std::strerror(errno);
        return {};
    }
    return fd;
}

namespace {

Endpoint endpointOf(int fd, bool peer) {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    auto* a = reinterpret_cast<sockaddr*>(&addr);
    if ((peer ? ::getpeername(fd, a, &len) : ::getsockname(fd, a, &len)) != 0)
        return {};
    char text[INET6_ADDRSTRLEN] = {0};
    if (addr.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&addr);
        ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        return {text, ntohs(v4->sin_port)};
    }
    if (addr.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&addr);
        ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        return {text, ntohs(v6->sin6_port)};
    }
    return {};
}

} // namespace

Endpoint localEndpoint(int fd) {
    return endpointOf(fd, false);
}

Endpoint peerEndpoint(int fd) {
    return endpointOf(fd, true);
}

uint16_t localPort(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return 0;
    return ntohs(addr.sin_port);
}

} // namespace sqlsim::wire
