// A catalog query that a worker thread runs: its rows streamed forward only, every failure
// returned as a value (no message box, no process-wide quiet flag), and stopped by the run's
// token: while a command runs the query is registered with it, so Stop cuts the command short
// on the server instead of waiting for it to end.
#pragma once

#include "servers/odbc_connection.h"
#include "servers/odbc_error.h"
#include "servers/odbc_statement.h"
#include "servers/recordset.h"
#include "servers/server_entry.h"
#include "util/progress.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orv {

// Where a worker's queries go and how long one may wait for the server.
struct QueryPlace {
    ServerEntry Server; // a copy: the worker never touches a panel's entry
    std::string Database;
    int32_t TimeoutSeconds = 0; // 0 waits without limit
};

using Row = std::vector<FieldValue>;

class WorkerQuery : private StatementCallGate {
public:
    // `cancel` must outlive the query.
    explicit WorkerQuery(const CancelToken& cancel) : token_(cancel) {}
    ~WorkerQuery();
    WorkerQuery(const WorkerQuery&) = delete;
    WorkerQuery& operator=(const WorkerQuery&) = delete;

    // Logs in (or takes an idle connection) and runs `sql` in the place's database. False with
    // `error` filled when the login or the command failed or was cancelled (the token was set
    // before or while it ran).
    bool Open(const QueryPlace& place, const std::string& sql, OdbcError& error);
    // The same for a batch of several queries, whose results are read one after another:
    // Next ends at the end of each, NextResult moves to the next.
    bool OpenBatch(const QueryPlace& place, const std::string& sql, OdbcError& error);
    // Moves to the batch's next result with columns, once every row of the current one was
    // read. False at the end of the batch (error.number stays 0) or when a query failed or was
    // cancelled (error filled).
    bool NextResult(OdbcError& error);
    const std::vector<FieldInfo>& Fields() const { return fields_; }
    // The column's index (any letter case), -1 when the result has no such column.
    int FieldIndex(const std::string& name) const;
    // The next row. False at the end of the rows (error.number stays 0) or when reading failed
    // part-way or was cancelled (error filled): rows seen so far are never the whole result then.
    bool Next(Row& row, OdbcError& error);
    // Any thread: stops the command as soon as the server hears of it; the reading thread's
    // Open or Next then fails. The token does this by itself; this is for a reader that stops
    // one query of its own accord (the other side of a merge that failed).
    void Cancel();
    bool Cancelled() const { return cancelled_.load(); }
    // Gives the connection back, for reuse only when every row was read without a failure.
    void Close();
    // Ends the query and disconnects: for a one-off question that is to leave the pool as it
    // found it.
    void CloseAndDisconnect() {
        reusable_ = false;
        Close();
    }

private:
    const CancelToken& token_;
    // Registered from Open to Close: the token then cancels the running command.
    std::optional<CancelCallback> watch_;
    // Marks the reader inside a driver call (false when the query was cancelled already).
    bool EnterCall();
    void LeaveCall();
    // The statement's fetches: each wait on the server is a call a cancel may reach.
    bool Enter() override;
    bool Leave() override;

    std::mutex mutex_; // guards the statement's life and inCall_ against a concurrent Cancel
    bool inCall_ = false;
    OdbcConnectionPtr connection_;
    std::unique_ptr<OdbcStatement> statement_;
    std::vector<FieldInfo> fields_;
    std::vector<Row> block_;
    size_t pos_ = 0;
    bool done_ = false;
    bool failed_ = false;
    bool reusable_ = true;
    // A batch: done_ means the end of the current result; the batch is over when batchOver_.
    bool batch_ = false;
    bool batchOver_ = false;
    std::atomic<bool> cancelled_{false};
};

// The error of a query its token stopped.
OdbcError CancelledQueryError();

// Runs `sql` at `place`, handing each row to `onRow`, and gives the connection back. False with
// `error` filled when it failed or the token stopped it: the rows handed over are then never the
// whole result.
bool RunWorkerQuery(const QueryPlace& place, const CancelToken& cancel, const std::string& sql,
                    const std::function<void(WorkerQuery&, Row&)>& onRow, OdbcError& error);

} // namespace orv
