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
