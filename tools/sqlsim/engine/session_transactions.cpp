// Transactions that outlive a batch, and what an error does to the rest of its batch.
#include "engine/session.h"
#include "engine/session_internal.h"

#include <algorithm>
#include <set>

namespace sqlsim {

namespace {

// Errors that end only the statement that raised them: the batch goes on and @@ERROR holds
// the number. Constraint and conversion-on-assignment failures, the transaction statement
// refusals and a missing procedure are of this kind; conversion failures in expressions
// (241, 245), names that do not resolve (207, 208), parse errors and whatever this server
// cannot run end the batch ("Database Engine error severities"; @@ERROR).
bool endsOnlyStatement(int number) {
    static const std::set<int> n = {
        226,  266,  544,  1088, 547,  515,  628,  1222, 1913, 2601, 2627, 2714, 2732,
        2754, 2767, 2778, 2812, 3701, 3902, 3903, 4902, 6401, 8101, 8134, 8152,
    };
    return n.count(number) > 0;
}

// After these SQL Server adds that the statement was undone.
bool endsWithNotice(int number) {
    return number == 547 || number == 2627 || number == 2601 || number == 515 || number == 8152;
}

ServerMessage terminatedNotice(int line) {
    ServerMessage m;
    m.number = 3621;
    m.severity = 0;
    m.state = 0;
    m.line = line;
    m.text = "The statement has been terminated.";
    return m;
}

// The optional transaction or savepoint name after BEGIN/COMMIT/ROLLBACK/SAVE [TRAN].
std::optional<std::string> nameAt(const std::vector<Token>& toks, size_t i, size_t end,
                                  const std::map<std::string, Value>& variables) {
    if (i >= end || toks[i].kind == Token::Kind::End || toks[i].isOp(";") || toks[i].is("WITH"))
        return std::nullopt;
    const Token& t = toks[i];
    if (t.kind == Token::Kind::Variable) {
        auto it = variables.find(t.value);
        if (it == variables.end())
            throw sqlError(137, "Must declare the scalar variable \"" + t.text + "\".", 1, 15);
        return it->second.kind == Value::Kind::Int ? std::to_string(it->second.i) : it->second.text;
    }
    if (t.kind == Token::Kind::Quoted)
        return t.value;
    if (t.kind == Token::Kind::Word && !isReservedWord(t.value))
        return t.text; // as written: transaction names compare case-sensitively
    throw syntaxNear(t);
}

} // namespace

bool SessionImpl::afterError(ServerMessage m, ResultSink& sink, bool more) {
    sink.message(m);
    lastError_ = m.number;
    lastRowCount_ = 0;
    if (endsWithNotice(m.number))
        sink.message(terminatedNotice(m.line));
    // Names that do not resolve are found when the statement is compiled, like parse errors.
    const bool compileError = m.severity == 15 || m.number == 207 || m.number == 208;
    bool goesOn = !compileError && m.severity < 20 && endsOnlyStatement(m.number);
    // SET XACT_ABORT ON: "if a Transact-SQL statement raises a run-time error, the entire
    // transaction is terminated and rolled back"; compile errors are not affected. Errors of
    // severity 20 and above end the connection's work the same way.
    if (!compileError && m.severity > 10 && (xactAbort_ || m.severity >= 20)) {
        if (tranCount_ > 0)
            endTransaction(false);
        goesOn = false;
    }
    if (!goesOn)
        batchAborted_ = true;
    sink.done(false, 0, goesOn && more);
    return goesOn;
}

void SessionImpl::joinTransaction(const std::string& kind) {
    static const std::set<std::string> readers = {
        "SELECT", "SET",      "DECLARE", "PRINT", "USE",    "RAISERROR",  "WAITFOR", "BEGIN TRAN",
        "COMMIT", "ROLLBACK", "GRANT",   "DENY",  "REVOKE", "CHECKPOINT", "RETURN"};
    if (tranCount_ == 0 || readers.count(kind) || !sqlite3_get_autocommit(conn_.get()))
        return;
    // Deferred: the first statement inside it writes, and a write that finds another
    // session's transaction holding the file waits for it within the busy timeout.
    Db::exec_on(conn_.get(), "BEGIN");
}

void SessionImpl::endTransaction(bool commit) {
    auto finish = [&](sqlite3* db) {
        if (db && !sqlite3_get_autocommit(db))
            Db::exec_on(db, commit ? "COMMIT" : "ROLLBACK");
    };
    tranCount_ = 0;
    tranName_.clear();
    savepoints_.clear();
    finish(conn_.get());
    if (loginFile_)
        finish(loginFile_->conn.get());
    for (auto& f : parked_)
        finish(f.conn.get());
    parked_.clear();
}

void SessionImpl::runTransaction(const std::vector<Token>& toks, const Statement& st) {
    const std::string& k = st.kind;
    size_t i = st.begin + 1;
    if (k == "BEGIN TRAN" && toks[i].is("DISTRIBUTED"))
        ++i;
    const bool wordTran = toks[i].is("TRAN") || toks[i].is("TRANSACTION");
    if (wordTran || ((k == "COMMIT" || k == "ROLLBACK") && toks[i].is("WORK")))
        ++i;
    else if (k == "BEGIN TRAN" || k == "SAVE")
        throw syntaxNear(toks[i]);
    // WORK takes no name.
    std::optional<std::string> name;
    if (!toks[i - 1].is("WORK"))
        name = nameAt(toks, i, st.end, variables_);
    if (k == "BEGIN TRAN") {
        if (tranCount_ == 0)
            tranName_ = name.value_or("");
        ++tranCount_;
        return;
    }
    if (k == "COMMIT") {
        // A name on COMMIT is read and ignored: it commits the innermost level.
        if (tranCount_ == 0)
            throw sqlError(
                3902, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
        if (--tranCount_ == 0)
            endTransaction(true);
        return;
    }
    if (k == "SAVE") {
        if (!name)
            throw syntaxNear(toks[i]);
        if (tranCount_ == 0)
            throw sqlError(628,
                           "Cannot issue SAVE TRANSACTION when there is no active transaction.");
        joinTransaction(k);
        savepoints_.push_back(*name);
        Db::exec_on(conn_.get(),
                    "SAVEPOINT " + sqlId("sqlsim_save_" + std::to_string(savepoints_.size())));
        return;
    }
    // ROLLBACK: without a name, or with the outermost transaction's, everything goes; with a
    // savepoint's, the work since it goes and @@TRANCOUNT stays (ROLLBACK TRANSACTION).
    if (tranCount_ == 0)
        throw sqlError(3903,
                       "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
    if (!name || *name == tranName_) {
        endTransaction(false);
        return;
    }
    auto it = std::find(savepoints_.rbegin(), savepoints_.rend(), *name);
    if (it == savepoints_.rend())
        throw sqlError(6401, "Cannot roll back " + *name +
                                 ". No transaction or savepoint of that name was found.");
    const size_t kept = static_cast<size_t>(savepoints_.rend() - it);
    savepoints_.resize(kept);
    Db::exec_on(conn_.get(), "ROLLBACK TO " + sqlId("sqlsim_save_" + std::to_string(kept)));
}

} // namespace sqlsim
