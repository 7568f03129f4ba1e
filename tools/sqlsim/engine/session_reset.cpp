// Moving between databases and putting a session back as it was after login, without
// reopening the SQLite file a pooled connection goes back to.
#include "engine/errors.h"
#include "engine/session.h"
#include "engine/session_internal.h"

#include <algorithm>

namespace sqlsim {

namespace {

std::string bracketed(const std::string& name) {
    std::string out = "[";
    for (char c : name) {
        out += c;
        if (c == ']')
            out += ']';
    }
    return out + "]";
}

} // namespace

SessionImpl::~SessionImpl() {
    // A transaction still open when the connection closes is rolled back, and temporary
    // tables end with the session that made them, as they do on the real server.
    try {
        endTransaction(false);
        dropTempTables();
    } catch (...) {
    }
    engine_.releaseSessionId(sessionId_);
}

void SessionImpl::switchTo(const DatabaseEntry& db) {
    if (db.path == currentPath_)
        return;
    std::optional<OpenFile> incoming;
    auto parked = std::find_if(parked_.begin(), parked_.end(),
                               [&](const OpenFile& f) { return f.path == db.path; });
    if (loginFile_ && loginFile_->path == db.path) {
        incoming = std::move(*loginFile_);
        loginFile_.reset();
    } else if (parked != parked_.end()) {
        // Back to a database this transaction already wrote: its own connection holds the lock.
        incoming = std::move(*parked);
        parked_.erase(parked);
    } else {
        incoming = openFile(db);
    }
    auto login = engine_.database(loginDb_);
    bool leavingLogin = login && login->path == currentPath_;
    OpenFile previous = adopt(std::move(*incoming));
    if (leavingLogin)
        loginFile_ = std::move(previous);
    else if (previous.conn && !sqlite3_get_autocommit(previous.conn.get()))
        parked_.push_back(std::move(previous)); // its transaction ends with COMMIT or ROLLBACK
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
    // sp_reset_connection rolls back what the previous user of a pooled connection left open.
    endTransaction(false);
    xactAbort_ = false;
    lastError_ = 0;
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
