#include "ui/tools/frm_db_compare_progress.h"

#include <memory>

namespace orv {

namespace {

RunProgressLook Look() {
    RunProgressLook look;
    look.ObjectName = "frmDbCompareProgress";
    look.Title = "Comparing";
    look.ItemName = "lblObject";
    look.StopTip = "Stop the comparison and show the objects compared so far (Esc)";
    look.Stopping = "Stopping - finishing the current object...";
    look.UnreadableNote = "not readable";
    look.Width = 520;
    return look;
}

// The results of a run whose engine ended without any: nothing gathered, failed.
DbCompareResultsPtr FailedRun(const DbCompareRequest& request, const std::string& problem) {
    auto r = std::make_shared<DbCompareResults>();
    r->Kind = request.Kind;
    r->Details = request.Details;
    for (int i = 0; i < 2; ++i) {
        r->ServerName[i] = request.Server[i].Name;
        r->DbName[i] = request.Database[i];
    }
    r->Types = request.Types;
    r->Outcome = RunOutcome::Failed;
    r->Problem = problem;
    return r;
}

} // namespace

frmDbCompareProgress::frmDbCompareProgress(QWidget* parent) : frmRunProgress(Look(), parent) {}

DbCompareResultsPtr frmDbCompareProgress::ShowUp(const std::string& caption,
                                                 const DbCompareRequest& request,
                                                 DbCompareEngine engine) {
    return RunEngineInWindow<DbCompareResultsPtr>(*this, caption, request, engine, FailedRun);
}

} // namespace orv
