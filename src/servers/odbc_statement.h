// Running one command on a connection and reading its rows into field values.
#pragma once

#include "servers/command_parameters.h"
#include "servers/odbc_connection.h"
#include "servers/recordset.h"

#include <memory>
#include <string>
#include <vector>

namespace orv {

// A statement running on a connection: its result columns and the rows still to be read.
// Lets another thread cancel a statement only while the statement waits on the server. A
// cancel that comes between two driver calls (while a row's columns are being read) would be
// taken by the driver as closing an idle cursor under the reading thread's feet.
class StatementCallGate {
public:
    virtual ~StatementCallGate() = default;
    // Before a call that waits on the server: false, and no call made, when the run stopped.
    virtual bool Enter() = 0;
    // After it: false when the run stopped meanwhile (the call's result is then not used).
    virtual bool Leave() = 0;
};

class OdbcStatement {
public:
    OdbcStatement(OdbcConnection& connection, OdbcHandle stmt);
    ~OdbcStatement();

    // Runs `sql` with the given parameters (bound in order to the "?" markers) and moves to the
    // first result that has columns. `timeoutSeconds` 0 waits without limit.
    bool Execute(const std::string& sql, int32_t timeoutSeconds, Command& command,
                 OdbcError& error);
    // False when the command produced no result with columns (the record set stays closed).
    bool HasColumns() const { return !fields_.empty(); }
    const std::vector<FieldInfo>& Fields() const { return fields_; }
    // Reads up to `maxRows` rows (all when maxRows <= 0). `done` turns true at the end of the
    // result; output parameters are known from then on.
    bool Fetch(int64_t maxRows, std::vector<std::vector<FieldValue>>& rows, bool& done,
               OdbcError& error);
    // A batch of several queries: Fetch then stops at the end of each result instead of reading
    // past the rest of the batch, and NextResult moves on.
    void KeepFurtherResults() { keepFurther_ = true; }
    // Moves to the batch's next result that has columns. False with `error` empty at the end of
    // the batch; false with `error` filled when the next query failed.
    bool NextResult(OdbcError& error);
    // Copies the values the server returned into the in/out parameters of the command.
    void ReadOutputParameters(Command& command);
    // Asks the server to stop the command (SQLCancel). Another thread may call it while this
    // one waits in Execute or Fetch, which then fail with the driver's "cancelled" error; the
    // caller must keep the statement alive until the call returns.
    void Cancel();
    // Fetch marks each row fetch, and the reading of the batch's rest, through `gate`, which
    // must outlive the statement's use.
    void SetFetchGate(StatementCallGate* gate) { gate_ = gate; }

private:
    bool ReadRow(std::vector<FieldValue>& row, OdbcError& error);
    bool Describe(OdbcError& error);
    OdbcError StatementError(const std::string& fallback);

    OdbcConnection& connection_;
    OdbcHandle stmt_;
    std::vector<FieldInfo> fields_;
    bool keepFurther_ = false;
    StatementCallGate* gate_ = nullptr;
    struct Bound;
    std::vector<std::unique_ptr<Bound>> bound_;
};

// Creates a statement on the connection; null with `error` filled when it cannot.
std::unique_ptr<OdbcStatement> NewStatement(OdbcConnection& connection, OdbcError& error);

} // namespace orv
