// What the comparison commands of orvane-cli share: a named server resolved to its stored entry
// (or any server with --login), and Ctrl-C turned into a Stop.
#pragma once

#include "servers/server_entry.h"
#include "util/progress.h"

#include <csignal>
#include <string>

namespace orv {

// Ctrl-C stops the comparison (which then reports what it gathered) instead of killing the
// program, for the lifetime of the object.
class InterruptStops {
public:
    explicit InterruptStops(CancelToken& token);
    ~InterruptStops();
    InterruptStops(const InterruptStops&) = delete;
    InterruptStops& operator=(const InterruptStops&) = delete;

private:
    struct sigaction previous_ {};
    bool installed_ = false;
};

// The stored server of that name, or with --login any server; its version read from the
// registry or the server. A server that cannot be reached is reported with the driver's words.
bool ResolveCliServer(const std::string& name, const std::string& login,
                      const std::string& password, ServerEntry& entry, std::string& error);

} // namespace orv
