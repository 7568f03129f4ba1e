// Certificates made when a test runs, so no key is kept in the source tree and none expires:
// a CA, a server certificate it signs for 127.0.0.1 and localhost, another it signs for a
// host that is not this one, and a second CA that has signed nothing the server shows (the
// wrong CA a client may be given).
#pragma once

#include <string>

namespace orv::test {

struct TestCertificates {
    std::string caFile;         // the CA that signed the server's certificate (PEM)
    std::string otherCaFile;    // an unrelated CA (PEM)
    std::string serverCertFile; // the server's certificate for 127.0.0.1 and localhost (PEM)
    std::string serverKeyFile;  // its private key (PEM, mode 0600)
    // Signed by the same CA, made out to elsewhere.example alone (a server that shows
    // another host's certificate).
    std::string elsewhereCertFile;
    std::string elsewhereKeyFile;
};

// Writes the files into `dir`; false with `error` when a step fails.
bool MakeTestCertificates(const std::string& dir, TestCertificates& out, std::string& error);

} // namespace orv::test
