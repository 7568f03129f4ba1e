// Moving between databases and putting a session back as it was after login, without
// reopening the SQLite file a pooled connection goes back to.
#include "engine/errors.h"
#include "engine/session.h"

namespace sqlsim {

namespace {

// Swallows what the housekeeping statements report: their outcome is not the client's.
class DiscardSink : public ResultSink {
public:
    void columns(const std::vector<ColumnInfo>&) override {}
    bool row(const std::vector<Value>&) override { return true; }
    void done(bool, int64_t, bool) override {}
    void message(const ServerMessage&) override {}
    void databaseChanged(const std::string&, const std::string&) override {}
};

std::string bracketed(const std::string& name) {
    std::string out = "[";
    for (char c : name) {
        out += c;
        if (c == ']')
            out += ']';
    }
    return out + "]";
}

void rollbackOpenTransaction(sqlite3* db) {
    if (db && !sqlite3_get_autocommit(db))
        Db::exec_on(db, "ROLLBACK");
}

} // namespace

SessionImpl::~SessionImpl() {
    // Temporary tables end with the session that made them, as they do on the real server.
    try {
        dropTempTables();
    } catch (...) {
    }
}

void SessionImpl::switchTo(const DatabaseEntry& db) {
    if (db.path == currentPath_)
        return;
    std::optional<OpenFile> incoming;
    if (loginFile_ && loginFile_->path == db.path) {
        incoming = std::move(*loginFile_);
        loginFile_.reset();
    } else {
        incoming = openFile(db);
    }
    auto login = engine_.database(loginDb_);
    bool leavingLogin = login && login->path == currentPath_;
    OpenFile previous = adopt(std::move(*incoming));
    if (leavingLogin)
        loginFile_ = std::move(previous);
}

void SessionImpl::noteTempTable(const std::string& db, const std::string& schema,
                                const std::string& name) {
    tempTables_.push_back({db, schema, name});
}

void SessionImpl::dropTempTables() {
    std::vector<TempTable> tables;
    tables.swap(tempTables_);
    for (const auto& t : tables) {
        DiscardSink sink;
        std::atomic<bool> cancel{false};
        // A table the client dropped itself, or whose database is gone, fails here harmlessly.
        executeBatch("DROP TABLE " + bracketed(t.db) + "." + bracketed(t.schema) + "." +
                         bracketed(t.name),
                     sink, cancel);
    }
}

bool SessionImpl::reset(ServerMessage& error) {
    rollbackOpenTransaction(conn_.get());
    if (loginFile_)
        rollbackOpenTransaction(loginFile_->conn.get());
    dropTempTables();
    auto login = engine_.database(loginDb_);
    if (!login) {
        error.number = 4060;
        error.severity = 11;
        error.text =
            "Cannot open database \"" + loginDb_ + "\" requested by the login. The login failed.";
        return false;
    }
    switchTo(*login);
    currentDb_ = login->name;
    nocount_ = false;
    dateOrder = DateOrder::Mdy;
    noexec_ = false;
    rowLimit_ = 0;
    lastRowCount_ = 0;
    lastIdentity.reset();
    variables_.clear();
    variableTypes_.clear();
    viewMode = false;
    return true;
}

} // namespace sqlsim
