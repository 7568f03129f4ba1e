#include "engine/engine.h"

#include "engine/catalog.h"
#include "engine/engine_impl.h"
#include "engine/errors.h"
#include "engine/session.h"
#include "engine/tokens.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace sqlsim {

namespace fs = std::filesystem;

namespace {

class CollectingSink : public ResultSink {
public:
    void columns(const std::vector<ColumnInfo>&) override {}
    bool row(const std::vector<Value>&) override { return true; }
    void done(bool, int64_t, bool) override {}
    void message(const ServerMessage& m) override {
        if (m.severity > 10 && error.empty())
            error = "Msg " + std::to_string(m.number) + ", Level " + std::to_string(m.severity) +
                    ", State " + std::to_string(m.state) + ", Line " + std::to_string(m.line) +
                    ": " + m.text;
    }
    void databaseChanged(const std::string&, const std::string&) override {}
    std::string error;
};

std::string fileNameFor(const std::string& dbName, int dbid) {
    std::string safe;
    for (char c : dbName)
        safe += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return safe + "_" + std::to_string(dbid) + ".sqlite";
}

// Splits a script at lines holding only GO (SQL Server's client-side batch separator).
std::vector<std::string> splitBatches(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::string trimmed = line;
        while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.back())))
            trimmed.pop_back();
        size_t s = trimmed.find_first_not_of(" \t");
        trimmed = s == std::string::npos ? "" : trimmed.substr(s);
        if (iequals(trimmed, "GO") ||
            (trimmed.size() > 3 && iequals(trimmed.substr(0, 3), "GO ") &&
             trimmed.find_first_not_of("0123456789 ", 3) == std::string::npos)) {
            out.push_back(cur);
            cur.clear();
            continue;
        }
        cur += line;
        cur += '\n';
    }
    if (cur.find_first_not_of(" \t\r\n") != std::string::npos)
        out.push_back(cur);
    return out;
}

} // namespace

Db Engine::Impl::openFile(const std::string& path) {
    Db db(path, true);
    // Each session opens its own connection, so SQLite's page cache starts empty with every
    // login; mapped pages come straight from the system's cache instead of a read per page.
    db.exec("PRAGMA synchronous=OFF; PRAGMA journal_mode=WAL; PRAGMA mmap_size=1073741824;");
    return db;
}

std::optional<DatabaseEntry> Engine::Impl::database(const std::string& name) const {
    std::lock_guard<std::mutex> lock(listMutex);
    auto it = databases.find(lower(name));
    if (it == databases.end())
        return std::nullopt;
    return it->second;
}

DatabaseEntry Engine::Impl::registerDatabase(const std::string& name, const std::string& path) {
    Db master = openFile(masterPath);
    Stmt mx(master.get(), "SELECT max(dbid) FROM sysdatabases");
    mx.step();
    int dbid = mx.isNull(0) ? 1 : static_cast<int>(mx.integer(0)) + 1;
    Stmt ins(master.get(), "INSERT INTO sysdatabases (name, dbid, sid, mode, status, status2, "
                           "crdate, reserved, category, cmptlevel, filename, version) VALUES "
                           "(?, ?, X'01', 0, 16, 1090519040, ?, '1900-01-01 00:00:00.000', 0, ?, "
                           "?, ?)");
    ins.bind(1, name).bind(2, dbid).bind(3, nowDateTime());
    ins.bind(4, major <= 8 ? 80 : major * 10).bind(5, path).bind(6, major <= 8 ? 539 : 661);
    ins.step();
    DatabaseEntry e{name, dbid, path};
    std::lock_guard<std::mutex> lock(listMutex);
    databases[lower(name)] = e;
    return e;
}

DatabaseEntry Engine::Impl::createDatabase(const std::string& name) {
    std::lock_guard<std::recursive_mutex> lock(ddlMutex);
    if (database(name))
        throw sqlError(
            1801, "Database '" + name + "' already exists. Choose a different database name.", 3);
    int guess = 0;
    {
        std::lock_guard<std::mutex> l(listMutex);
        guess = static_cast<int>(databases.size()) + 1;
    }
    std::string path = (fs::path(dataDir) / fileNameFor(name, guess)).string();
    for (int k = 2; fs::exists(path); ++k)
        path = (fs::path(dataDir) / fileNameFor(name + "_" + std::to_string(k), guess)).string();
    {
        Db db = openFile(path);
        createCatalog(db.get(), major, name);
    }
    return registerDatabase(name, path);
}

DatabaseEntry Engine::Impl::attachDatabase(const std::string& name, const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(ddlMutex);
    if (database(name))
        throw sqlError(
            1801, "Database '" + name + "' already exists. Choose a different database name.", 3);
    std::error_code ec;
    if (!fs::exists(path, ec))
        throw sqlError(5120,
                       "Unable to open the physical file \"" + path +
                           "\". Operating system error 2: \"2(The system cannot find the "
                           "file specified.)\".",
                       101);
    {
        std::lock_guard<std::mutex> l(listMutex);
        for (const auto& [k, e] : databases)
            if (fs::equivalent(e.path, path, ec))
                throw sqlError(5120,
                               "Unable to open the physical file \"" + path +
                                   "\". Operating system error 32: \"32(The process "
                                   "cannot access the file because it is being used by "
                                   "another process.)\".",
                               101);
    }
    try {
        Db db(path, false);
        Stmt probe(db.get(), "SELECT count(*) FROM sysobjects");
        probe.step();
        upgradeCatalog(db.get());
        db.exec("PRAGMA journal_mode=WAL");
        setCatalogDatabaseName(db.get(), "main", name);
    } catch (const SqliteError&) {
        throw sqlError(5172,
                       "The header for file '" + path +
                           "' is not a valid database file header. The FILE SIZE property "
                           "is incorrect.",
                       15);
    }
    return registerDatabase(name, path);
}

Engine::Engine(EngineOptions options) : impl_(std::make_unique<Impl>()) {
    // SQLite's memory statistics take a global lock on every allocation, and the functions that
    // run per row (row checksums above all) allocate by the million. Settable only before
    // SQLite first starts; later engines in the same process find it set.
    static const int memoryStatisticsOff = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)memoryStatisticsOff;
    impl_->options = std::move(options);
    try {
        impl_->major = std::stoi(impl_->options.productVersion);
    } catch (...) {
        impl_->major = 10;
    }
    if (impl_->options.dataDir.empty()) {
        std::string pattern = (fs::temp_directory_path() / "sqlsim-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary data directory");
        impl_->dataDir = pattern;
        impl_->ownsDataDir = true;
    } else {
        impl_->dataDir = impl_->options.dataDir;
    }
    fs::create_directories(impl_->dataDir);
    impl_->masterPath = (fs::path(impl_->dataDir) / "master.sqlite").string();
    bool fresh = !fs::exists(impl_->masterPath);
    {
        Db master = Impl::openFile(impl_->masterPath);
        if (fresh) {
            createCatalog(master.get(), impl_->major, "master");
            createMasterTables(master.get(), impl_->major);
        }
    }
    if (fresh) {
        impl_->registerDatabase("master", impl_->masterPath);
        for (const char* sys : {"tempdb", "model", "msdb"})
            impl_->createDatabase(sys);
    } else {
        // A kept data directory: reload the list of databases from master.
        Db master = Impl::openFile(impl_->masterPath);
        Stmt st(master.get(), "SELECT name, dbid, filename FROM sysdatabases");
        while (st.step())
            impl_->databases[lower(st.text(0))] =
                DatabaseEntry{st.text(0), static_cast<int>(st.integer(1)), st.text(2)};
    }
}

Engine::~Engine() {
    if (impl_ && impl_->ownsDataDir) {
        std::error_code ec;
        fs::remove_all(impl_->dataDir, ec);
    }
}

bool Engine::runScript(const std::string& sqlText, std::string& error) {
    ServerMessage err;
    auto session = openSession("sa", "master", err);
    if (!session) {
        error = err.text;
        return false;
    }
    static_cast<SessionImpl&>(*session).setupScript = true;
    std::atomic<bool> cancel{false};
    for (const auto& batch : splitBatches(sqlText)) {
        if (batch.find_first_not_of(" \t\r\n") == std::string::npos)
            continue;
        CollectingSink sink;
        session->executeBatch(batch, sink, cancel);
        if (!sink.error.empty()) {
            error = sink.error + "\nin batch:\n" + batch;
            return false;
        }
    }
    return true;
}

bool Engine::databaseExists(const std::string& name) const {
    return impl_->database(name).has_value();
}

std::unique_ptr<Session> Engine::openSession(const std::string& login, const std::string& database,
                                             ServerMessage& error,
                                             const ConnectionFacts* connection) {
    std::string name = database.empty() ? "master" : database;
    auto db = impl_->database(name);
    if (!db) {
        error.number = 4060;
        error.state = 1;
        error.severity = 11;
        error.text =
            "Cannot open database \"" + name + "\" requested by the login. The login failed.";
        return nullptr;
    }
    return std::make_unique<SessionImpl>(*impl_, login, *db, connection);
}

int Engine::majorVersion() const {
    return impl_->major;
}
const EngineOptions& Engine::options() const {
    return impl_->options;
}

} // namespace sqlsim
