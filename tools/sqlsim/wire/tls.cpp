#include "wire/tls.h"

#include "wire/net.h"
#include "wire/packet.h"

#include <algorithm>
#include <cerrno>
#include <gnutls/gnutls.h>
#include <sys/socket.h>

namespace sqlsim::wire {

namespace {

// TDS 7.x carries TLS up to 1.2 inside its packets; 1.3 belongs to the later protocol that
// starts with TLS before any TDS. Holding to 1.2 also keeps one reader and one writer
// thread safe on a session, which a 1.3 key update would not be.
constexpr const char* kPriorities = "NORMAL:-VERS-TLS1.3";
// The handshake's records leave in packets no larger than a client's smallest packet size.
constexpr size_t kHandshakePacket = 4096;

gnutls_session_t S(void* p) {
    return static_cast<gnutls_session_t>(p);
}

} // namespace

bool PlainTransport::read(uint8_t* buf, size_t n) {
    return recvAll(fd_, buf, n);
}

bool PlainTransport::write(std::span<const uint8_t> data) {
    return sendAll(fd_, data);
}

TlsCredentials::TlsCredentials() {
    gnutls_certificate_credentials_t c = nullptr;
    if (gnutls_certificate_allocate_credentials(&c) == GNUTLS_E_SUCCESS)
        cred_ = c;
}

TlsCredentials::~TlsCredentials() {
    if (cred_)
        gnutls_certificate_free_credentials(static_cast<gnutls_certificate_credentials_t>(cred_));
}

bool TlsCredentials::load(const std::string& certFile, const std::string& keyFile,
                          std::string& error) {
    if (!cred_) {
        error = "cannot allocate TLS credentials";
        return false;
    }
    int rc = gnutls_certificate_set_x509_key_file(
        static_cast<gnutls_certificate_credentials_t>(cred_), certFile.c_str(), keyFile.c_str(),
        GNUTLS_X509_FMT_PEM);
    if (rc < 0) {
        error = "cannot use certificate " + certFile + " with key " + keyFile + ": " +
                gnutls_strerror(rc);
        return false;
    }
    loaded_ = true;
    return true;
}

TlsTransport::~TlsTransport() {
    if (session_)
        gnutls_deinit(S(session_));
}

std::unique_ptr<TlsTransport> TlsTransport::accept(int fd, const TlsCredentials& credentials,
                                                   std::string& error) {
    std::unique_ptr<TlsTransport> t(new TlsTransport(fd));
    gnutls_session_t session = nullptr;
    int rc = gnutls_init(&session, GNUTLS_SERVER);
    if (rc != GNUTLS_E_SUCCESS) {
        error = std::string("TLS session: ") + gnutls_strerror(rc);
        return nullptr;
    }
    t->session_ = session;
    rc = gnutls_priority_set_direct(session, kPriorities, nullptr);
    if (rc == GNUTLS_E_SUCCESS)
        rc = gnutls_credentials_set(session, GNUTLS_CRD_CERTIFICATE, credentials.handle());
    if (rc != GNUTLS_E_SUCCESS) {
        error = std::string("TLS session: ") + gnutls_strerror(rc);
        return nullptr;
    }
    gnutls_certificate_server_set_request(session, GNUTLS_CERT_IGNORE);
    gnutls_transport_set_ptr(session, t.get());
    gnutls_transport_set_pull_function(session, &TlsTransport::pullWrapped);
    gnutls_transport_set_push_function(session, &TlsTransport::pushWrapped);
    do {
        rc = gnutls_handshake(session);
    } while (rc < 0 && !gnutls_error_is_fatal(rc));
    if (rc < 0) {
        error = std::string("TLS handshake: ") + gnutls_strerror(rc);
        return nullptr;
    }
    // From here on the records stand on the socket by themselves.
    gnutls_transport_set_pull_function(session, &TlsTransport::pullRaw);
    gnutls_transport_set_push_function(session, &TlsTransport::pushRaw);
    return t;
}

ssize_t TlsTransport::pullWrapped(void* self, void* data, size_t size) {
    auto* t = static_cast<TlsTransport*>(self);
    while (t->packetPos_ >= t->packet_.size()) {
        uint8_t header[kHeaderSize];
        if (!recvAll(t->fd_, header, kHeaderSize))
            return 0;
        PacketHeader h;
        try {
            h = parseHeader(header);
        } catch (const std::exception&) {
            gnutls_transport_set_errno(S(t->session_), EPROTO);
            return -1;
        }
        // Anything but PRELOGIN while the handshake runs is a client that lost its way.
        if (h.type != kPrelogin) {
            gnutls_transport_set_errno(S(t->session_), EPROTO);
            return -1;
        }
        t->packet_.assign(h.length - kHeaderSize, '\0');
        t->packetPos_ = 0;
        if (!t->packet_.empty() &&
            !recvAll(t->fd_, reinterpret_cast<uint8_t*>(t->packet_.data()), t->packet_.size()))
            return 0;
    }
    const size_t n = std::min(size, t->packet_.size() - t->packetPos_);
    std::copy_n(t->packet_.data() + t->packetPos_, n, static_cast<char*>(data));
    t->packetPos_ += n;
    return static_cast<ssize_t>(n);
}

ssize_t TlsTransport::pushWrapped(void* self, const void* data, size_t size) {
    auto* t = static_cast<TlsTransport*>(self);
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> packet;
    uint8_t id = 1;
    size_t off = 0;
    do {
        const size_t n = std::min(size - off, kHandshakePacket - kHeaderSize);
        const size_t len = n + kHeaderSize;
        const bool last = off + n == size;
        packet.assign({kPrelogin, static_cast<uint8_t>(last ? kStatusEom : 0),
                       static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len & 0xFF), 0, 0, id++,
                       0});
        packet.insert(packet.end(), bytes + off, bytes + off + n);
        if (!sendAll(t->fd_, packet)) {
            gnutls_transport_set_errno(S(t->session_), EPIPE);
            return -1;
        }
        off += n;
    } while (off < size);
    return static_cast<ssize_t>(size);
}

ssize_t TlsTransport::pullRaw(void* self, void* data, size_t size) {
    auto* t = static_cast<TlsTransport*>(self);
    while (true) {
        ssize_t n = ::recv(t->fd_, data, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            gnutls_transport_set_errno(S(t->session_), errno);
        return n;
    }
}

ssize_t TlsTransport::pushRaw(void* self, const void* data, size_t size) {
    auto* t = static_cast<TlsTransport*>(self);
    while (true) {
        ssize_t n = ::send(t->fd_, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            gnutls_transport_set_errno(S(t->session_), errno);
        return n;
    }
}

bool TlsTransport::read(uint8_t* buf, size_t n) {
    size_t off = 0;
    while (off < n) {
        ssize_t r = gnutls_record_recv(S(session_), buf + off, n - off);
        if (r == GNUTLS_E_INTERRUPTED || r == GNUTLS_E_AGAIN)
            continue;
        if (r <= 0)
            return false;
        off += static_cast<size_t>(r);
    }
    return true;
}

bool TlsTransport::write(std::span<const uint8_t> data) {
    size_t off = 0;
    while (off < data.size()) {
        ssize_t r = gnutls_record_send(S(session_), data.data() + off, data.size() - off);
        if (r == GNUTLS_E_INTERRUPTED || r == GNUTLS_E_AGAIN)
            continue;
        if (r <= 0)
            return false;
        off += static_cast<size_t>(r);
    }
    return true;
}

} // namespace sqlsim::wire
