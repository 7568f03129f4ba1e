// Pieces the session's source files share: the cancel signal, SQLite error mapping and the
// words that start a statement.
#pragma once

#include "engine/engine.h"
#include "engine/errors.h"

#include <set>
#include <string>

namespace sqlsim {

// Thrown when the client cancelled: the batch stops without further results.
struct Cancelled {};
// Thrown when dynamic SQL met an error that ends the batch: the batch that ran it ends too,
// its error already told.
struct BatchAborted {};
// An error raised inside BEGIN TRY: it goes to the CATCH block instead of the client.
struct CaughtError {
    ServerMessage msg;
};

// Swallows what the housekeeping statements report: their outcome is not the client's.
class DiscardSink : public ResultSink {
public:
    void columns(const std::vector<ColumnInfo>&) override {}
    bool row(const std::vector<Value>&) override { return true; }
    void done(bool, int64_t, bool) override {}
    void message(const ServerMessage&) override {}
    void databaseChanged(const std::string&, const std::string&) override {}
};

// 266: a procedure (or sp_executesql's batch) ended with another @@TRANCOUNT than it began with.
inline SqlError transactionCountChanged(int major, int before, int now) {
    const std::string counts = "Previous count = " + std::to_string(before) +
                               ", current count = " + std::to_string(now) + ".";
    return sqlError(266,
                    major <= 8 ? "Transaction count after EXECUTE indicates that a COMMIT or "
                                 "ROLLBACK TRANSACTION statement is missing. " +
                                     counts
                               : "Transaction count after EXECUTE indicates a mismatching number "
                                 "of BEGIN and COMMIT statements. " +
                                     counts,
                    2);
}

const std::set<std::string>& statementStarters();
// SQLite's error text as the SQL Server error it stands for; throws Cancelled on interrupt.
SqlError fromSqlite(const std::string& msg);

} // namespace sqlsim
