// Running a deployment script on its target: batch by batch on one connection, so the script's
// one transaction spans them all; the first failing batch ends the run, and whatever is still
// open is rolled back. Stop cancels the running batch and rolls back too.
#pragma once

#include "deploy/deploy_script.h"
#include "servers/odbc_error.h"
#include "servers/worker_query.h"
#include "util/progress.h"

#include <cstddef>
#include <string>

namespace orv {

struct DeployRunResult {
    RunOutcome Outcome = RunOutcome::Completed;
    // On a failure: the batch (index into Batches), its step and the server's message.
    size_t FailedBatch = 0;
    std::string FailedStep;
    int FailedStepNumber = 0; // 0 for a batch of the script's frame
    OdbcError Error;
    bool RolledBack = false; // a transaction was open and is rolled back
    size_t BatchesRun = 0;
};

// Runs every batch at `place`; progress counts batches and names each step. Never throws.
DeployRunResult RunDeployScript(const QueryPlace& place, const DeployScript& script,
                                ProgressSink& progress, const CancelToken& cancel);

// "Step 4 (Alter table [dbo].[Orders]) failed: <message> The deployment was rolled back."
std::string DeployFailureText(const DeployRunResult& result);

} // namespace orv
