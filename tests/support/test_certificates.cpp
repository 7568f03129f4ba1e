#include "test_certificates.h"

#include <arpa/inet.h>
#include <ctime>
#include <fcntl.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <memory>
#include <unistd.h>

namespace orv::test {

namespace {

struct KeyDeleter {
    void operator()(gnutls_x509_privkey_t k) const { gnutls_x509_privkey_deinit(k); }
};
struct CrtDeleter {
    void operator()(gnutls_x509_crt_t c) const { gnutls_x509_crt_deinit(c); }
};
using Key = std::unique_ptr<std::remove_pointer_t<gnutls_x509_privkey_t>, KeyDeleter>;
using Crt = std::unique_ptr<std::remove_pointer_t<gnutls_x509_crt_t>, CrtDeleter>;

// Records the first failing step: every GnuTLS call below goes through it.
class Steps {
public:
    explicit Steps(std::string& error) : error_(error) {}
    bool operator()(int rc, const char* what) {
        if (rc < 0 && error_.empty())
            error_ = std::string(what) + ": " + gnutls_strerror(rc);
        return rc >= 0;
    }
    bool ok() const { return error_.empty(); }

private:
    std::string& error_;
};

Key NewKey(Steps& step) {
    gnutls_x509_privkey_t k = nullptr;
    if (!step(gnutls_x509_privkey_init(&k), "key"))
        return nullptr;
    Key key(k);
    // An elliptic-curve key is made in a moment, where an RSA one would slow every test.
    step(gnutls_x509_privkey_generate(k, GNUTLS_PK_ECDSA,
                                      GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1), 0),
         "key generation");
    return key;
}

// A certificate for `key` named `commonName`, valid from an hour ago for thirty days.
Crt NewCertificate(Steps& step, gnutls_x509_privkey_t key, const std::string& commonName,
                   unsigned serial) {
    gnutls_x509_crt_t c = nullptr;
    if (!step(gnutls_x509_crt_init(&c), "certificate"))
        return nullptr;
    Crt crt(c);
    const time_t now = std::time(nullptr);
    const unsigned char serialBytes[] = {static_cast<unsigned char>(serial)};
    step(gnutls_x509_crt_set_version(c, 3), "version");
    step(gnutls_x509_crt_set_serial(c, serialBytes, sizeof serialBytes), "serial");
    step(gnutls_x509_crt_set_activation_time(c, now - 3600), "activation time");
    step(gnutls_x509_crt_set_expiration_time(c, now + 30 * 86400), "expiration time");
    step(gnutls_x509_crt_set_dn_by_oid(c, GNUTLS_OID_X520_COMMON_NAME, 0, commonName.data(),
                                       static_cast<unsigned>(commonName.size())),
         "subject");
    step(gnutls_x509_crt_set_key(c, key), "public key");
    unsigned char id[64];
    size_t idSize = sizeof id;
    if (step(gnutls_x509_crt_get_key_id(c, 0, id, &idSize), "key id"))
        step(gnutls_x509_crt_set_subject_key_id(c, id, idSize), "subject key id");
    return crt;
}

Crt NewCa(Steps& step, gnutls_x509_privkey_t key, const std::string& commonName, unsigned serial) {
    Crt ca = NewCertificate(step, key, commonName, serial);
    if (!ca)
        return nullptr;
    step(gnutls_x509_crt_set_basic_constraints(ca.get(), 1, -1), "CA constraints");
    step(gnutls_x509_crt_set_key_usage(ca.get(), GNUTLS_KEY_KEY_CERT_SIGN | GNUTLS_KEY_CRL_SIGN),
         "CA key usage");
    step(gnutls_x509_crt_sign2(ca.get(), ca.get(), key, GNUTLS_DIG_SHA256, 0), "CA signature");
    return ca;
}

bool WriteFile(const std::string& path, const gnutls_datum_t& data, mode_t mode,
               std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    bool ok = fd >= 0 && ::write(fd, data.data, data.size) == static_cast<ssize_t>(data.size);
    if (fd >= 0)
        ok = ::close(fd) == 0 && ok;
    if (!ok && error.empty())
        error = "cannot write " + path;
    return ok;
}

bool WriteCertificate(Steps& step, gnutls_x509_crt_t crt, const std::string& path,
                      std::string& error) {
    gnutls_datum_t pem{};
    if (!step(gnutls_x509_crt_export2(crt, GNUTLS_X509_FMT_PEM, &pem), "certificate export"))
        return false;
    const bool ok = WriteFile(path, pem, 0644, error);
    gnutls_free(pem.data);
    return ok;
}

// A server certificate for `key`, made out to `dnsName` (and `ip` when given), signed by `ca`.
Crt NewServerCertificate(Steps& step, gnutls_x509_privkey_t key, const std::string& dnsName,
                         const unsigned char* ip, unsigned serial, gnutls_x509_crt_t ca,
                         gnutls_x509_privkey_t caKey) {
    Crt server = NewCertificate(step, key, dnsName, serial);
    if (!step.ok())
        return nullptr;
    step(gnutls_x509_crt_set_subject_alt_name(server.get(), GNUTLS_SAN_DNSNAME, dnsName.data(),
                                              static_cast<unsigned>(dnsName.size()),
                                              GNUTLS_FSAN_SET),
         "DNS name");
    if (ip)
        step(gnutls_x509_crt_set_subject_alt_name(server.get(), GNUTLS_SAN_IPADDRESS, ip, 4,
                                                  GNUTLS_FSAN_APPEND),
             "IP address");
    step(gnutls_x509_crt_set_basic_constraints(server.get(), 0, -1), "server constraints");
    step(gnutls_x509_crt_set_key_usage(server.get(), GNUTLS_KEY_DIGITAL_SIGNATURE),
         "server key usage");
    step(gnutls_x509_crt_set_key_purpose_oid(server.get(), GNUTLS_KP_TLS_WWW_SERVER, 0),
         "server purpose");
    unsigned char caId[64];
    size_t caIdSize = sizeof caId;
    if (step(gnutls_x509_crt_get_subject_key_id(ca, caId, &caIdSize, nullptr), "CA key id"))
        step(gnutls_x509_crt_set_authority_key_id(server.get(), caId, caIdSize),
             "authority key id");
    step(gnutls_x509_crt_sign2(server.get(), ca, caKey, GNUTLS_DIG_SHA256, 0), "server signature");
    return server;
}

bool WriteKey(Steps& step, gnutls_x509_privkey_t key, const std::string& path, std::string& error) {
    gnutls_datum_t pem{};
    if (!step(gnutls_x509_privkey_export2(key, GNUTLS_X509_FMT_PEM, &pem), "key export"))
        return false;
    const bool ok = WriteFile(path, pem, 0600, error);
    gnutls_free(pem.data);
    return ok;
}

} // namespace

bool MakeTestCertificates(const std::string& dir, TestCertificates& out, std::string& error) {
    error.clear();
    Steps step(error);
    Key caKey = NewKey(step);
    Key otherKey = NewKey(step);
    Key serverKey = NewKey(step);
    Key elsewhereKey = NewKey(step);
    if (!step.ok())
        return false;
    Crt ca = NewCa(step, caKey.get(), "Orvane Test CA", 1);
    Crt other = NewCa(step, otherKey.get(), "Unrelated Test CA", 2);
    if (!step.ok())
        return false;
    const unsigned char loopback[] = {127, 0, 0, 1};
    Crt server = NewServerCertificate(step, serverKey.get(), "localhost", loopback, 3, ca.get(),
                                      caKey.get());
    Crt elsewhere = NewServerCertificate(step, elsewhereKey.get(), "elsewhere.example", nullptr, 4,
                                         ca.get(), caKey.get());
    if (!step.ok())
        return false;

    out.caFile = dir + "/ca.pem";
    out.otherCaFile = dir + "/other-ca.pem";
    out.serverCertFile = dir + "/server.pem";
    out.serverKeyFile = dir + "/server-key.pem";
    out.elsewhereCertFile = dir + "/elsewhere.pem";
    out.elsewhereKeyFile = dir + "/elsewhere-key.pem";
    return WriteKey(step, serverKey.get(), out.serverKeyFile, error) &&
           WriteKey(step, elsewhereKey.get(), out.elsewhereKeyFile, error) &&
           WriteCertificate(step, ca.get(), out.caFile, error) &&
           WriteCertificate(step, other.get(), out.otherCaFile, error) &&
           WriteCertificate(step, server.get(), out.serverCertFile, error) &&
           WriteCertificate(step, elsewhere.get(), out.elsewhereCertFile, error);
}

} // namespace orv::test
