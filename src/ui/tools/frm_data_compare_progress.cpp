#include "ui/tools/frm_data_compare_progress.h"

#include <memory>

namespace orv {

namespace {

RunProgressLook Look() {
    RunProgressLook look;
    look.ObjectName = "frmDataCompareProgress";
    look.Title = "Comparing Data";
    look.ItemName = "lblTable";
    look.StopTip = "Stop the comparison and show the rows compared so far (Esc)";
    look.Stopping = "Stopping - the rows compared so far are kept...";
    look.SideCounts = "Rows read";
    // The rows of a table are a step of unknown size: no gauge could mean anything.
    look.UnsizedCount = " rows read in this step";
    look.HideUnsizedGauge = true;
    look.Width = 540;
    return look;
}

// The results of a run whose engine ended without any: nothing compared, failed.
DataCompareResultsPtr FailedRun(const DataCompareRequest& request, const std::string& problem) {
    auto r = std::make_shared<DataCompareResults>();
    for (int i = 0; i < 2; ++i) {
        r->ServerName[i] = request.Place[i].Server.Name;
        r->DbName[i] = request.Place[i].Database;
    }
    r->CaseSensitive = request.CaseSensitive;
    r->Outcome = RunOutcome::Failed;
    r->Problem = problem;
    return r;
}

} // namespace

frmDataCompareProgress::frmDataCompareProgress(QWidget* parent) : frmRunProgress(Look(), parent) {}

DataCompareResultsPtr frmDataCompareProgress::ShowUp(const std::string& caption,
                                                     const DataCompareRequest& request,
                                                     DataCompareEngine engine) {
    // The caller's own callback still hears of every count.
    DataCompareRequest run = request;
    run.RowsRead = [this, chained = request.RowsRead](int64_t source, int64_t target) {
        SetSideCounts(source, target);
        if (chained)
            chained(source, target);
    };
    return RunEngineInWindow<DataCompareResultsPtr>(*this, caption, run, engine, FailedRun);
}

} // namespace orv
