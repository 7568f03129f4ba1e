// Logged-in ODBC connections and the idle connections kept for reuse. Callers still open "a new
// connection per call"; the physical login is repeated only when no idle connection with the
// same driver, server, credentials and database is at hand. Before a kept connection serves
// again the server resets its session (settings, temporary objects, transaction, database), so
// nothing of one call reaches the next; a server that cannot reset gets no reuse.
#pragma once

#include "servers/connection_string.h"
#include "servers/odbc_error.h"
#include "servers/server_entry.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orv {

// Owns one ODBC handle (environment, connection or statement) and frees it.
class OdbcHandle {
public:
    OdbcHandle() = default;
    OdbcHandle(short type, void* handle) : type_(type), handle_(handle) {}
    ~OdbcHandle() { Reset(); }
    OdbcHandle(OdbcHandle&& other) noexcept;
    OdbcHandle& operator=(OdbcHandle&& other) noexcept;
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    void* Get() const { return handle_; }
    short Type() const { return type_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Reset();

private:
    short type_ = 0;
    void* handle_ = nullptr;
};

// All diagnostic records of a handle, messages in UTF-8 without the driver prefixes.
std::vector<OdbcDiagnostic> ReadDiagnostics(short handleType, void* handle);

// The driver named by the string setting OdbcDriver under Software\MAV (default "FreeTDS").
// FreeTDS is used through its registered name when the driver manager knows it, otherwise
// straight from its library file.
OdbcDriverChoice ResolveOdbcDriver();

class OdbcConnection {
public:
    OdbcConnection(OdbcHandle dbc, std::string poolKey)
        : dbc_(std::move(dbc)), poolKey_(std::move(poolKey)) {}
    ~OdbcConnection();
    void* Dbc() const { return dbc_.Get(); }
    const std::string& PoolKey() const { return poolKey_; }
    // True when it came from the idle set rather than a fresh login.
    bool reused = false;
    // True while the session is as the login or the last reset left it: only single reading
    // statements have run since. Such a connection needs no reset before its next use.
    bool sessionUntouched = true;
    std::chrono::steady_clock::time_point idleSince{};

private:
    OdbcHandle dbc_;
    std::string poolKey_;
};
using OdbcConnectionPtr = std::unique_ptr<OdbcConnection>;

// A logged-in connection whose current database is `database` (the login's default when
// empty). `freshLogin` skips the idle set (a login test must really log in). Null on failure,
// with `error` filled.
OdbcConnectionPtr AcquireConnection(const ServerEntry& server, const std::string& database,
                                    bool freshLogin, OdbcError& error);
// Gives a connection back: kept for reuse when `reusable` and reuse is on, else disconnected.
void ReleaseConnection(OdbcConnectionPtr connection, bool reusable);

// Reuse is on by default; the benchmark and tests switch it.
void SetConnectionReuse(bool on);
bool ConnectionReuse();
// Disconnects every idle connection.
void DropIdleConnections();

struct ConnectionStats {
    int64_t logins = 0; // physical logins that succeeded
    int64_t reuses = 0; // calls served by an idle connection
    int64_t resets = 0; // session resets asked of the server before a reuse
};
ConnectionStats GetConnectionStats();

} // namespace orv
