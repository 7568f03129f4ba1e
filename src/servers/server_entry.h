// One stored SQL Server instance, and the connection record each panel works with.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

struct ServerEntry {
    std::string Name;
    bool SQLAuth = false;
    std::string LoginName;
    std::string Pwd;
    std::string MRUDb;
    int32_t EntryNumber = 0; // i of its key Server<i>; 0 when not a stored entry
    std::string Version;
    int32_t VersionMajor = 0;
    // How the connection is encrypted: "request" (TLS when the server offers it, the driver's
    // own default), "require" (a server without TLS is refused) or "off".
    std::string Encryption = "request";
    // A PEM file of the CA that must have signed the server's certificate; empty: the
    // certificate is not checked (TLS still encrypts, but cannot tell an impostor).
    std::string CAFile;
    bool SchemaRetryTried = false;
    bool SchemaRetrySucceeded = false;
};

// The whole number before the first "." of a version text; 0 when empty.
int32_t VersionMajorOf(const std::string& version);

} // namespace orv
