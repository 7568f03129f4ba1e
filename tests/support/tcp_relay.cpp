#include "tcp_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orv::test {

namespace {

int ConnectTo(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

TcpRelay::TcpRelay(uint16_t serverPort) : serverPort_(serverPort) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (listener_ >= 0)
            ::close(listener_);
        listener_ = -1;
        return;
    }
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

TcpRelay::~TcpRelay() {
    stopping_ = true;
    if (acceptor_.joinable())
        acceptor_.join();
    for (std::thread& t : pumps_)
        t.join();
    if (listener_ >= 0)
        ::close(listener_);
}

std::string TcpRelay::ClientBytes() const {
    std::lock_guard lock(mutex_);
    return fromClients_;
}

std::string TcpRelay::ServerBytes() const {
    std::lock_guard lock(mutex_);
    return fromServer_;
}

void TcpRelay::AcceptLoop() {
    while (!stopping_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client >= 0)
            pumps_.emplace_back([this, client] { Pump(client); });
    }
}

// Passes bytes both ways until either side closes (or the relay is stopped), keeping them.
void TcpRelay::Pump(int client) {
    const int server = ConnectTo(serverPort_);
    if (server < 0) {
        ::close(client);
        return;
    }
    pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    char buffer[16384];
    bool open = true;
    while (open && !stopping_) {
        if (::poll(fds, 2, 50) <= 0)
            continue;
        for (int side = 0; side < 2 && open; ++side) {
            if (!(fds[side].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::recv(fds[side].fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                open = false;
                break;
            }
            {
                std::lock_guard lock(mutex_);
                (side == 0 ? fromClients_ : fromServer_).append(buffer, static_cast<size_t>(n));
            }
            open = SendAll(fds[1 - side].fd, buffer, static_cast<size_t>(n));
        }
    }
    ::close(client);
    ::close(server);
}

std::vector<TdsMessage> TdsMessages(const std::string& bytes) {
    std::vector<TdsMessage> out;
    bool open = false;
    for (size_t at = 0; at + 8 <= bytes.size();) {
        const auto type = static_cast<uint8_t>(bytes[at]);
        const auto status = static_cast<uint8_t>(bytes[at + 1]);
        const size_t length =
            (static_cast<uint8_t>(bytes[at + 2]) << 8) | static_cast<uint8_t>(bytes[at + 3]);
        if (length < 8 || at + length > bytes.size())
            break;
        if (!open)
            out.push_back({type, {}});
        out.back().payload.append(bytes, at + 8, length - 8);
        open = (status & 0x01) == 0; // the end-of-message bit closes it
        at += length;
    }
    return out;
}

} // namespace orv::test
