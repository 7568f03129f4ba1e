// A relay between clients and a server on loopback that keeps every byte each way: what a
// test of the wire needs to see what actually travelled (no password, no query text in the
// clear, the encryption a client asked for).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orv::test {

class TcpRelay {
public:
    // Listens on 127.0.0.1 at a free port and passes every connection on to `serverPort`.
    explicit TcpRelay(uint16_t serverPort);
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    bool Listening() const { return listener_ >= 0; }
    uint16_t Port() const { return port_; }
    // Everything the clients sent, each connection's bytes after the previous one's.
    std::string ClientBytes() const;
    std::string ServerBytes() const;

private:
    void AcceptLoop();
    void Pump(int client);

    uint16_t serverPort_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::string fromClients_, fromServer_;
    std::thread acceptor_;
    std::vector<std::thread> pumps_;
};

// The TDS packets in `bytes` as (type, payload) pairs, payloads of one message joined; a
// short tail is left out.
struct TdsMessage {
    uint8_t type = 0;
    std::string payload;
};
std::vector<TdsMessage> TdsMessages(const std::string& bytes);

} // namespace orv::test
