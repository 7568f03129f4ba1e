// What a worker knows of its server, as a value: nothing is written into a server entry, which
// other threads may be reading.
#pragma once

#include "servers/worker_query.h"

#include <cstdint>
#include <string>

namespace orv {

struct ServerFacts {
    int32_t VersionMajor = 0;
    // The version text the server gave (or the entry held), as it was.
    std::string VersionText;
    // A server with schemas and the newer catalog (2005 and later).
    bool Later() const { return VersionMajor > 8; }
};

// The server's version facts: from the entry's version text, else asked of the server. False
// when the question failed or was stopped; `failedSql` then holds it.
bool ReadServerFacts(const QueryPlace& place, const CancelToken& cancel, ServerFacts& facts,
                     OdbcError& error, std::string& failedSql);

} // namespace orv
