#include "deploy/deploy_saved.h"

#include "deploy/deploy_run.h"
#include "deploy/deploy_session.h"
#include "export/export_file.h"

namespace orv {

int RunSavedDeployment(const DbCompareRequest& request, const DbCompareResults& results,
                       const ReplayPlan& plan, ProgressSink& progress, const CancelToken& cancel,
                       std::string& problem, std::string& note, std::time_t now) {
    DeploySession session;
    if (!session.Prepare(request, results, progress, cancel, problem))
        return kReplayExitError;
    const std::vector<DeployObject> included = session.DefaultIncluded();
    DeployOptions options;
    options.ColumnOrderMatters = !request.Options.IgnoreColSeq;
    const DeployScript script = session.Script(included, options, now);
    if (!WriteExportFile(plan.DeployScriptPath, ScriptWithLineFeeds(script.Text), problem))
        return kReplayExitError;
    note = "Deployment script written to " + plan.DeployScriptPath + " (" +
           std::to_string(script.StepCount) + (script.StepCount == 1 ? " step" : " steps") +
           (script.LeftOutSteps ? ", " + std::to_string(script.LeftOutSteps) + " left out" : "") +
           ").";
    const bool nothing = script.StepCount == 0 && script.LeftOutSteps == 0;
    if (!plan.DeployApply)
        return nothing ? kReplayExitIdentical : kReplayExitDifferent;
    if (script.StepCount > 0) {
        // The comparison ran just now, but a change made while the script was being made
        // would still be undone by it.
        const TargetCheck check = session.CheckTarget(included, progress, cancel);
        if (check.Outcome != RunOutcome::Completed) {
            problem = check.Outcome == RunOutcome::Cancelled
                          ? std::string(kStoppedByUser) + " Nothing was run."
                          : "checking the target for changes failed: " + check.Problem +
                                ". Nothing was run.";
            return kReplayExitError;
        }
        if (!check.Changes.empty()) {
            problem = "the target " + request.Database[1] +
                      " changed while the deployment script was made; nothing was run:" +
                      TargetChangeList(check, "\n") + "\nRun the process again.";
            return kReplayExitError;
        }
        const DeployRunResult run =
            RunDeployScript({request.Server[1], request.Database[1], 0}, script, progress, cancel);
        if (run.Outcome != RunOutcome::Completed) {
            problem = DeployFailureText(run);
            return kReplayExitError;
        }
    }
    DeployVerification verification;
    if (!VerifyDeployment(request, included, progress, cancel, verification, problem))
        return kReplayExitError;
    const std::string verdict = VerificationText(verification);
    note += " " + verdict.substr(0, verdict.find('\n')) + ".";
    return verification.AllMatch() && script.LeftOutSteps == 0 ? kReplayExitIdentical
                                                               : kReplayExitDifferent;
}

} // namespace orv
