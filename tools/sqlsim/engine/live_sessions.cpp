// Session ids and sys.dm_exec_connections: which sessions are alive, and what the network side
// told the engine of each client's connection.
#include "engine/errors.h"
#include "engine/session.h"
#include "engine/types.h"

namespace sqlsim {

namespace {

// SQL Server keeps the numbers below 51 for its own sessions.
constexpr int kFirstUserSession = 51;

// The columns a client can rely on, in SQL Server's order and types; the rest of the
// view (reads, writes, handles) has nothing behind it here.
constexpr const char* kConnectionsColumns =
    "session_id int, most_recent_session_id int, connect_time datetime, "
    "net_transport nvarchar(40), protocol_type nvarchar(40), encrypt_option nvarchar(40), "
    "auth_scheme nvarchar(40), net_packet_size int, client_net_address varchar(48), "
    "client_tcp_port int, local_net_address varchar(48), local_tcp_port int";

} // namespace

int Engine::Impl::claimSessionId(LiveSession session) {
    std::lock_guard lock(sessionMutex);
    int id = kFirstUserSession;
    for (const auto& [taken, live] : liveSessions) {
        if (taken > id)
            break;
        if (taken == id)
            ++id;
    }
    liveSessions.emplace(id, std::move(session));
    return id;
}

void Engine::Impl::releaseSessionId(int id) {
    std::lock_guard lock(sessionMutex);
    liveSessions.erase(id);
}

std::map<int, LiveSession> Engine::Impl::sessionsNow() const {
    std::lock_guard lock(sessionMutex);
    return liveSessions;
}

ResolvedTable SessionImpl::connectionsView(const std::string& written) {
    // The view needs VIEW SERVER STATE, which only the system administrator holds here.
    if (!iequals(login_, "sa"))
        throw sqlError(297, "The user does not have permission to perform this action.");
    // Filled afresh on every use: the rows are the connections open at that moment.
    const std::string table = sqlId("temp") + "." + sqlId("sys.dm_exec_connections");
    Db::exec_on(conn_.get(), "CREATE TEMP TABLE IF NOT EXISTS " + sqlId("sys.dm_exec_connections") +
                                 " (" + kConnectionsColumns + ")");
    Db::exec_on(conn_.get(), "DELETE FROM " + table);
    Stmt insert(conn_.get(),
                "INSERT INTO " + table + " VALUES (?, ?, ?, 'TCP', 'TSQL', ?, ?, ?, ?, ?, ?, ?)");
    for (const auto& [id, live] : engine_.sessionsNow()) {
        if (!live.connection)
            continue;
        const ConnectionFacts& c = *live.connection;
        insert.reset();
        insert.bind(1, id).bind(2, id).bind(3, live.connectTime);
        insert.bind(4, std::string(c.encrypted ? "TRUE" : "FALSE")).bind(5, c.authScheme);
        insert.bind(6, c.packetSize).bind(7, c.clientAddress).bind(8, c.clientPort);
        insert.bind(9, c.localAddress).bind(10, c.localPort);
        insert.step();
    }
    return {table, written, 0};
}

} // namespace sqlsim
