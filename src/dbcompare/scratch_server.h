// A simulator of Orvane's own, started for one run: on 127.0.0.1, a free port, a temporary
// folder and a login with a password made for it, in the version mode asked for. It is stopped
// (and its folder removed) when the object goes away, however the run ends.
#pragma once

#include "servers/server_entry.h"

#include <string>
#include <sys/types.h>

namespace orv {

// The simulator's program: $ORVANE_SQLSIM when set, else orvane-sqlsim beside the running
// program, else orvane-sqlsim on the PATH; empty when none is found.
std::string FindSimulatorProgram();

class ScratchServer {
public:
    ScratchServer() = default;
    ~ScratchServer();
    ScratchServer(const ScratchServer&) = delete;
    ScratchServer& operator=(const ScratchServer&) = delete;

    // Starts `program` posing as `version` and waits until it listens. False with a message
    // (what the simulator wrote on its standard error included) otherwise.
    bool Start(const std::string& program, const std::string& version, std::string& error);
    void Stop();
    // The server to connect to: SQL Server authentication with the run's own login.
    const ServerEntry& Entry() const { return entry_; }

private:
    std::string dir_;
    pid_t pid_ = -1;
    ServerEntry entry_;
};

} // namespace orv
