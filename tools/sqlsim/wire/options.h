// The command line of the sqlsim executable.
#pragma once

#include "wire/faults.h"
#include "wire/link.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sqlsim::wire {

struct Options {
    std::string host = "127.0.0.1";
    uint16_t port = 0;
    std::string portFile;
    std::string version = "10.50.1600.1";
    std::vector<std::string> logins; // NAME:PASSWORD
    bool allowIntegrated = false;
    std::string statementLog;
    std::string dataDir;
    std::vector<std::string> scripts;
    Faults faults;
    LinkSettings link;
    // PEM files of the certificate (with its chain) and key TLS is offered with.
    std::string tlsCert;
    std::string tlsKey;
    bool tlsRequire = false;
    bool help = false;
};

extern const char* const kUsage;

// Returns false and fills `error` for an unknown option, a missing value or a bad number.
bool parseOptions(const std::vector<std::string>& args, Options& out, std::string& error);

// Writes "<port>\n" to `path` via a temporary file and a rename, so a reader never sees a
// half-written number.
bool writePortFile(const std::string& path, uint16_t port, std::string& error);

} // namespace sqlsim::wire
