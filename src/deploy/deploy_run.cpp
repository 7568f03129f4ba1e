// Every batch on one connection, which the script's transaction needs; the connection never
// goes back for reuse, since a failed or stopped run may leave NOEXEC or a transaction behind.
#include "deploy/deploy_run.h"

#include "servers/odbc_connection.h"
#include "servers/odbc_statement.h"

#include <memory>

namespace orv {
namespace {

// Runs one batch to its end (any rows it returns are read and dropped); Stop cancels it on
// the server.
bool RunBatch(OdbcStatement& statement, const std::string& sql, int32_t timeout,
              const CancelToken& cancel, OdbcError& error) {
    CancelCallback stop(cancel, [&statement] { statement.Cancel(); });
    Command command;
    if (!statement.Execute(sql, timeout, command, error))
        return false;
    if (!statement.HasColumns())
        return true;
    std::vector<std::vector<FieldValue>> rows;
    for (bool done = false; !done;) {
        rows.clear();
        if (!statement.Fetch(1000, rows, done, error))
            return false;
    }
    return true;
}

// Undoes whatever the script left open; true when a transaction was still open.
bool RollBack(OdbcConnection& connection) {
    OdbcError error;
    std::unique_ptr<OdbcStatement> statement = NewStatement(connection, error);
    if (!statement)
        return false;
    Command command;
    const bool open = statement->Execute("SELECT @@TRANCOUNT AS trancount", 30, command, error);
    int64_t count = 0;
    if (open && statement->HasColumns()) {
        std::vector<std::vector<FieldValue>> rows;
        bool done = false;
        if (statement->Fetch(0, rows, done, error) && !rows.empty() && !rows[0].empty())
            count = rows[0][0].Long();
    }
    statement = NewStatement(connection, error);
    if (statement)
        statement->Execute("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION", 30, command, error);
    return count > 0;
}

} // namespace

DeployRunResult RunDeployScript(const QueryPlace& place, const DeployScript& script,
                                ProgressSink& progress, const CancelToken& cancel) {
    DeployRunResult result;
    try {
        progress.Begin("Running the deployment script on " + place.Database,
                       static_cast<int64_t>(script.Batches.size()));
        OdbcError error;
        // A connection of its own: the script changes the session (NOEXEC, XACT_ABORT).
        OdbcConnectionPtr connection = AcquireConnection(place.Server, place.Database, true, error);
        if (!connection) {
            result.Outcome = RunOutcome::Failed;
            result.Error = error;
            return result;
        }
        bool began = false;
        for (size_t i = 0; i < script.Batches.size(); ++i) {
            const DeployBatch& batch = script.Batches[i];
            std::unique_ptr<OdbcStatement> statement = NewStatement(*connection, error);
            bool ok = statement && !cancel.cancelRequested() &&
                      RunBatch(*statement, batch.Sql, place.TimeoutSeconds, cancel, error);
            if (!ok) {
                result.Outcome =
                    cancel.cancelRequested() ? RunOutcome::Cancelled : RunOutcome::Failed;
                result.FailedBatch = i;
                result.FailedStep = batch.Step;
                result.FailedStepNumber = batch.StepNumber;
                result.Error = error;
                statement.reset();
                // XACT_ABORT has rolled back already after most errors; what is left open
                // goes now. Either way nothing the script did after BEGIN TRANSACTION stays.
                RollBack(*connection);
                result.RolledBack = began;
                break;
            }
            began = began || batch.Sql == "BEGIN TRANSACTION";
            ++result.BatchesRun;
            progress.Advance(1, batch.Step.empty() ? std::string() : batch.Step);
        }
        ReleaseConnection(std::move(connection), false);
    } catch (const std::exception& e) {
        result.Outcome = RunOutcome::Failed;
        result.Error.description = e.what();
    }
    return result;
}

std::string DeployFailureText(const DeployRunResult& result) {
    if (result.Outcome == RunOutcome::Completed)
        return {};
    const std::string after =
        result.RolledBack ? " The deployment was rolled back." : " Nothing was changed.";
    if (result.Outcome == RunOutcome::Cancelled)
        return std::string(kStoppedByUser) + after;
    std::string message = result.Error.description;
    if (!message.empty() && message.back() != '.')
        message += '.';
    if (result.FailedStep.empty())
        return "The deployment script failed: " + message + after;
    return "Step " + std::to_string(result.FailedStepNumber) + " (" + result.FailedStep +
           ") failed: " + message + after;
}

} // namespace orv
