// TLS as SQL Server speaks it inside TDS 7.x: the handshake's records travel as the payload of
// PRELOGIN packets, and once it is done TLS records go straight onto the socket, carrying
// ordinary TDS packets inside. The connection reads and writes through a Transport, so plain
// and encrypted connections share one path for every byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <sys/types.h>

namespace sqlsim::wire {

// Where a connection's bytes go: the socket itself, or a TLS session over it.
class Transport {
public:
    virtual ~Transport() = default;
    // Reads exactly `n` bytes; false on end of stream or error.
    virtual bool read(uint8_t* buf, size_t n) = 0;
    // Sends everything; false when the peer is gone.
    virtual bool write(std::span<const uint8_t> data) = 0;
};

class PlainTransport : public Transport {
public:
    explicit PlainTransport(int fd) : fd_(fd) {}
    bool read(uint8_t* buf, size_t n) override;
    bool write(std::span<const uint8_t> data) override;

private:
    int fd_;
};

// The server's certificate chain and key, loaded once and shared by every connection.
class TlsCredentials {
public:
    TlsCredentials();
    ~TlsCredentials();
    TlsCredentials(const TlsCredentials&) = delete;
    TlsCredentials& operator=(const TlsCredentials&) = delete;

    // PEM files; false with `error` saying which file and why.
    bool load(const std::string& certFile, const std::string& keyFile, std::string& error);
    bool loaded() const { return loaded_; }
    void* handle() const { return cred_; }

private:
    void* cred_ = nullptr; // gnutls_certificate_credentials_t
    bool loaded_ = false;
};

// One connection's TLS session, server side. Thread use: once the handshake is done, one
// thread may read while another writes, as the connection's reader and request threads do.
class TlsTransport : public Transport {
public:
    ~TlsTransport() override;
    TlsTransport(const TlsTransport&) = delete;
    TlsTransport& operator=(const TlsTransport&) = delete;

    // Runs the handshake with the client on `fd`, its records wrapped in PRELOGIN packets
    // both ways. Null with `error` when the client left or the handshake failed.
    static std::unique_ptr<TlsTransport> accept(int fd, const TlsCredentials& credentials,
                                                std::string& error);

    bool read(uint8_t* buf, size_t n) override;
    bool write(std::span<const uint8_t> data) override;

private:
    explicit TlsTransport(int fd) : fd_(fd) {}
    static ssize_t pullWrapped(void* self, void* data, size_t size);
    static ssize_t pushWrapped(void* self, const void* data, size_t size);
    static ssize_t pullRaw(void* self, void* data, size_t size);
    static ssize_t pushRaw(void* self, const void* data, size_t size);

    int fd_;
    void* session_ = nullptr; // gnutls_session_t
    // What is left of the PRELOGIN packet the handshake is reading.
    std::string packet_;
    size_t packetPos_ = 0;
};

} // namespace sqlsim::wire
