#include "servers/worker_query.h"

#include "core/log.h"
#include "servers/connection_string.h"
#include "util/text.h"

namespace orv {

namespace {
// Rows fetched per round: large enough that the per-call cost vanishes, small enough that a
// cancelled read stops holding memory soon.
constexpr int64_t kBlockRows = 512;

} // namespace

OdbcError CancelledQueryError() {
    return {kErrFail, "Operation cancelled.", "HY008", 0};
}

bool RunWorkerQuery(const QueryPlace& place, const CancelToken& cancel, const std::string& sql,
                    const std::function<void(WorkerQuery&, Row&)>& onRow, OdbcError& error) {
    WorkerQuery query(cancel);
    error = {};
    bool ok = query.Open(place, sql, error);
    if (ok) {
        Row row;
        while (query.Next(row, error)) {
            if (cancel.cancelRequested())
                break;
            onRow(query, row);
        }
        ok = error.number == 0 && !cancel.cancelRequested();
    }
    if (!ok && error.number == 0)
        error = CancelledQueryError();
    return ok;
}

WorkerQuery::~WorkerQuery() {
    Close();
}

bool WorkerQuery::OpenBatch(const QueryPlace& place, const std::string& sql, OdbcError& error) {
    batch_ = true;
    return Open(place, sql, error);
}

bool WorkerQuery::NextResult(OdbcError& error) {
    error = {};
    if (!batch_ || batchOver_ || failed_ || !statement_ || !done_ || pos_ < block_.size())
        return false;
    if (!EnterCall()) {
        error = CancelledQueryError();
        failed_ = true;
        return false;
    }
    const bool more = statement_->NextResult(error);
    LeaveCall();
    if (cancelled_ && error.number == 0 && more)
        error = CancelledQueryError();
    if (error.number != 0) {
        if (cancelled_)
            error = CancelledQueryError();
        WriteLogLine("Error " + std::to_string(error.number) + ": " + error.description);
        failed_ = true;
        return false;
    }
    if (!more) {
        batchOver_ = true;
        return false;
    }
    fields_ = statement_->Fields();
    block_.clear();
    pos_ = 0;
    done_ = false;
    return true;
}

bool WorkerQuery::Open(const QueryPlace& place, const std::string& sql, OdbcError& error) {
    const bool batch = batch_;
    Close();
    batch_ = batch;
    batchOver_ = false;
    done_ = false;
    failed_ = false;
    pos_ = 0;
    block_.clear();
    // Runs Cancel at once when the token is already set: then not even a login is made.
    watch_.emplace(token_, [this] { Cancel(); });
    if (cancelled_) {
        error = CancelledQueryError();
        watch_.reset();
        return false;
    }
    WriteLogLine("Conn. string: " + LoggedConnectionText(place.Server, place.Database, true));
    OdbcConnectionPtr connection = AcquireConnection(place.Server, place.Database, false, error);
    if (!connection) {
        WriteLogLine("Error " + std::to_string(error.number) + ": " + error.description);
        return false;
    }
    std::unique_ptr<OdbcStatement> statement = NewStatement(*connection, error);
    if (!statement) {
        ReleaseConnection(std::move(connection), false);
        return false;
    }
    OdbcStatement* running = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) {
            error = CancelledQueryError();
            statement.reset();
            ReleaseConnection(std::move(connection), true);
            return false;
        }
        connection_ = std::move(connection);
        statement_ = std::move(statement);
        running = statement_.get();
        running->SetFetchGate(this);
        if (batch_)
            running->KeepFurtherResults();
        inCall_ = true;
    }
    Command command;
    const bool executed = running->Execute(sql, place.TimeoutSeconds, command, error);
    LeaveCall();
    if (!executed) {
        if (cancelled_)
            error = CancelledQueryError();
        WriteLogLine("Error " + std::to_string(error.number) + ": " + error.description);
        failed_ = true;
        Close();
        return false;
    }
    fields_ = running->Fields();
    if (!running->HasColumns()) {
        done_ = true;
        batchOver_ = true;
    }
    return true;
}

int WorkerQuery::FieldIndex(const std::string& name) const {
    for (size_t i = 0; i < fields_.size(); ++i)
        if (EqualsNoCase(fields_[i].name, name))
            return static_cast<int>(i);
    return -1;
}

bool WorkerQuery::Next(Row& row, OdbcError& error) {
    error = {};
    if (pos_ >= block_.size()) {
        if (done_ || failed_ || !statement_)
            return false;
        block_.clear();
        pos_ = 0;
        if (cancelled_) {
            error = CancelledQueryError();
            failed_ = true;
            return false;
        }
        // The statement marks each wait on the server itself (Enter, Leave): only then may
        // a cancel from another thread reach the driver.
        const bool fetched = statement_->Fetch(kBlockRows, block_, done_, error);
        if (!fetched) {
            if (cancelled_)
                error = CancelledQueryError();
            WriteLogLine("Error " + std::to_string(error.number) + ": " + error.description);
            failed_ = true;
            block_.clear();
            return false;
        }
        if (cancelled_) {
            // The driver may have handed over rows it had before the cancel arrived.
            error = CancelledQueryError();
            failed_ = true;
            block_.clear();
            return false;
        }
        if (block_.empty())
            return false;
    }
    row = std::move(block_[pos_++]);
    return true;
}

void WorkerQuery::Cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    // Only a statement inside a call is cancelled on the server: the driver takes a cancel of
    // an idle statement for closing its cursor, which must not race the reader's next call.
    // An idle reader sees the flag before its next call instead.
    if (statement_ && inCall_)
        statement_->Cancel();
}

bool WorkerQuery::Enter() {
    return EnterCall();
}

bool WorkerQuery::Leave() {
    LeaveCall();
    return !cancelled_;
}

bool WorkerQuery::EnterCall() {
    std::lock_guard lock(mutex_);
    if (cancelled_)
        return false;
    inCall_ = true;
    return true;
}

void WorkerQuery::LeaveCall() {
    std::lock_guard lock(mutex_);
    inCall_ = false;
}

void WorkerQuery::Close() {
    // First: once unlisted no Cancel can come from the token while the handles go.
    watch_.reset();
    std::unique_ptr<OdbcStatement> statement;
    OdbcConnectionPtr connection;
    {
        std::lock_guard lock(mutex_);
        statement = std::move(statement_);
        connection = std::move(connection_);
    }
    statement.reset();
    // A command left with rows in flight, failed or cancelled leaves the connection unfit; so
    // does a batch with results not yet read.
    ReleaseConnection(std::move(connection),
                      reusable_ && done_ && (!batch_ || batchOver_) && !failed_ && !cancelled_);
    batch_ = false;
    block_.clear();
    pos_ = 0;
}

} // namespace orv
