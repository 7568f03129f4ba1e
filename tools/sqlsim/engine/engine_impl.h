// Engine-wide state shared by all sessions: the list of databases and the lock that
// serialises catalog changes.
#pragma once

#include "engine/engine.h"
#include "engine/sqlite_util.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace sqlsim {

struct DatabaseEntry {
    std::string name;
    int dbid = 0;
    std::string path;
};

// A session that holds its id, and the connection it serves (none for the engine's own).
struct LiveSession {
    std::string login;
    std::string connectTime; // datetime text
    std::optional<ConnectionFacts> connection;
};

struct Engine::Impl {
    EngineOptions options;
    int major = 10;
    std::string dataDir;
    std::string masterPath;
    bool ownsDataDir = false; // a temporary directory made here, removed with the engine

    // Held while the catalog or the list of databases changes.
    std::recursive_mutex ddlMutex;
    mutable std::mutex listMutex;
    std::map<std::string, DatabaseEntry> databases; // key: lower-case name

    // The ids of live sessions; ids are handed out again once their session ends.
    mutable std::mutex sessionMutex;
    std::map<int, LiveSession> liveSessions;
    int claimSessionId(LiveSession session);
    void releaseSessionId(int id);
    std::map<int, LiveSession> sessionsNow() const;

    std::optional<DatabaseEntry> database(const std::string& name) const;
    // Creates a database file with an empty catalog and registers it in master.
    DatabaseEntry createDatabase(const std::string& name);
    // Registers an existing database file under a new name.
    DatabaseEntry attachDatabase(const std::string& name, const std::string& path);
    // Opens a connection to a database file, configured the way every session expects.
    static Db openFile(const std::string& path);
    DatabaseEntry registerDatabase(const std::string& name, const std::string& path);
};

} // namespace sqlsim
