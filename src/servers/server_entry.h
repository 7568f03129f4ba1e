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

// --encryption and --ca-file: what stands in for the stored servers' values for one run;
// empty values leave them as stored.
struct ConnectionSecurity {
    std::string Encryption;
    std::string CAFile;
};
inline void ApplyConnectionSecurity(const ConnectionSecurity& security, ServerEntry& entry) {
    if (!security.Encryption.empty())
        entry.Encryption = security.Encryption;
    if (!security.CAFile.empty())
        entry.CAFile = security.CAFile;
}

// The whole number before the first "." of a version text; 0 when empty.
int32_t VersionMajorOf(const std::string& version);

} // namespace orv
