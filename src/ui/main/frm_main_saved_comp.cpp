// Saved comparison processes in the main window: File > Run Saved Comparison Process (Ctrl+F5)
// opens the list of processes; running one sets the two panels up as saved (server, database,
// type, objects), runs the comparison as its menu item would, shows its report or results,
// and exports and prints as the process says.
#include "ui/main/frm_main.h"

#include "core/paths.h"
#include "core/settings.h"
#include "dbcompare/db_compare_report.h"
#include "dbcompare/saved_pair.h"
#include "servers/server_list.h"
#include "ui/main/frm_main_differences.h"
#include "ui/main/frm_report.h"
#include "ui/main/frm_run_saved_comp.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QAction>

namespace orv {

namespace {

constexpr const char* kOff = "OFF";
constexpr const char* kCannotRun = "Cannot Run";
const char* const kSide[2] = {"Source", "Target"};

void Warn(const std::string& text) {
    CurrentPrompter().MessageBox(MsgIcon::Warning, kCannotRun, text);
}

} // namespace

void frmMain::WireSavedCompCommands() {
    if (!dialogs_.chooseSavedComparison)
        dialogs_.chooseSavedComparison = [](QWidget* owner) {
            frmRunSavedComp window(owner);
            return window.ShowUp();
        };
    if (QAction* item = MenuItem("mnuFileRunSavedComp")) {
        item->setVisible(true);
        connect(item, &QAction::triggered, this, [this] { RunSavedComparisonCommand(); });
    }
    if (QAction* separator = MenuItem("mnuFileSep1"))
        separator->setVisible(true);
}

void frmMain::RunSavedComparisonCommand() {
    if (busy_ || !dialogs_.chooseSavedComparison)
        return;
    const int32_t number = dialogs_.chooseSavedComparison(this);
    if (number > 0)
        RunSavedComparison(number);
}

bool frmMain::SetUpPanelsForReplay(const ReplayPlan& plan) {
    for (int side = 0; side < 2; ++side) {
        const std::string& server = plan.ServerName[side];
        if (!EqualsNoCase(PanelServers()[static_cast<size_t>(side)].Name, server) ||
            pvlDb_[side]->Count() == 0) {
            QtComboControl& selector = *cmbServer_[side];
            int index = -1;
            for (int k = 0; k < selector.ListCount() && index < 0; ++k)
                if (EqualsNoCase(selector.List(k), server))
                    index = k;
            if (index < 0) {
                Warn("Cannot run the comparison - the server " + server +
                     " is no longer stored.\r\n\r\nPlease add it (Tools > Add Server) first.");
                return false;
            }
            selector.SetTag(kOff);
            selector.SetListIndex(index);
            selector.SetTag("");
            ServerChosen(side);
            if (pvlDb_[side]->Count() == 0)
                return false; // the connection failed; LoadServer has said why
        }
        const std::string& database = plan.Database[side];
        if (!EqualsNoCase(DatabaseText(side), database)) {
            int row = -1;
            for (int r = 0; r < pvlDb_[side]->Count() && row < 0; ++r) {
                std::string listed = Trim(pvlDb_[side]->RowText(r));
                if (!listed.empty())
                    listed.pop_back(); // the row's separator character
                if (EqualsNoCase(listed, database))
                    row = r;
            }
            if (row < 0) {
                Warn(std::string("Cannot run the comparison - the ") + kSide[side] + " server " +
                     server + " does not list the database " + database + ".");
                return false;
            }
            pvlDb_[side]->SetSelected(row, true);
            pvlDb_[side]->MakeVisible(row);
            if (!EqualsNoCase(DatabaseText(side), database))
                DatabaseChosen(side, row);
        }
    }
    if ((plan.DbKind == DbCompareKind::All && plan.Kind == ReplayKind::WholeDatabase) ||
        plan.Kind == ReplayKind::Data)
        return true;
    const ObjectType type = plan.Types.front();
    if (CurrentType() != type) {
        int index = -1;
        for (int k = 0; k < cmbType_->ListCount(); ++k)
            if (cmbType_->ItemData(k) == type)
                index = k;
        if (index < 0) {
            Warn("Cannot run the comparison - " + ToLowerAscii(GetObjectTypeName(type, false)) +
                 " are not offered in the type selector (see Options).");
            return false;
        }
        // Choosing the type reloads both lists.
        cmbType_->SetListIndex(index);
    }
    if (plan.Kind == ReplayKind::SinglePair) {
        // Source first: with automatic Target selection it moves the Target list, which the
        // Target's own step then settles.
        for (int side = 0; side < 2; ++side)
            if (SelectListRowByName(*pvlSqlObj_[side], plan.PairName[side], true, true) < 0) {
                Warn(std::string("Cannot run the comparison - the ") + kSide[side] + " " +
                     ToLowerAscii(GetObjectTypeName(type, true)) + " " + plan.PairName[side] +
                     " is not in the list of objects.");
                return false;
            }
        return true;
    }
    if (plan.DbKind == DbCompareKind::Selective) {
        for (int side = 0; side < 2; ++side) {
            QtListControl& list = *pvlSqlObj_[side];
            list.SetTag(kOff);
            list.clearSelection();
            for (const SelectedObject& pick : plan.Selected[side]) {
                int row = -1;
                for (int r = 0; r < list.Count() && row < 0; ++r)
                    if (list.CellText(r, 0) == pick.ListedName)
                        row = r;
                // Added to the picks, as a Ctrl+click would.
                if (row >= 0)
                    list.topLevelItem(row)->setSelected(true);
            }
            list.SetTag("");
        }
    }
    return true;
}

bool frmMain::RunSavedComparison(int32_t number) {
    if (busy_ || !CheckMdacVersion())
        return false;
    ComparisonDescription d;
    ReplayPlan plan;
    std::string error;
    if (!ReadComparisonProcess(Paths().CompsIni, number, d, error)) {
        Warn(error);
        return false;
    }
    if (!PlanReplay(d, plan, error)) {
        Warn("Cannot run saved comparison process " + std::to_string(number) + " - " + error);
        return false;
    }
    if (!SetUpPanelsForReplay(plan))
        return false;

    if (plan.Kind == ReplayKind::Data)
        return RunSavedDataComparison(plan);
    if (plan.Kind == ReplayKind::WholeDatabase) {
        const DbCompareResultsPtr results =
            RunDbCompareCommand(plan.DbKind, plan.Types, plan.Details, plan.Filter);
        if (!results)
            return false;
        if (results->Complete())
            ExportAndPrintReplay(plan, *results);
        return true;
    }

    // A single pair: the comparison the F7 command runs, its report after the export.
    busy_ = true;
    CurrentPrompter().SetMousePointer(kPointerHourglass);
    CompareRequest request;
    request.sourceView = txtTXProc_[0];
    request.targetView = txtTXProc_[1];
    request.names = GetComparedObjectNames();
    request.options = CompareOptions::FromSettings();
    request.services = MakeCompareServices();
    CompareResult result = CompareSelProcs(request);
    UnselectMarkedLines(result);
    differences_->Marked(result);
    busy_ = false;
    CurrentPrompter().SetMousePointer(kPointerDefault);
    if (!result.Compared)
        return false;
    std::string listed[2], texts[2];
    int32_t ids[2] = {0, 0};
    for (int side = 0; side < 2; ++side) {
        listed[side] = request.names.ObjectName[side];
        texts[side] = txtTXProc_[side]->Text();
        const int row = pvlSqlObj_[side]->CurrentRow();
        if (row >= 0)
            ParseInt32(pvlSqlObj_[side]->CellText(row, 2), ids[side]);
    }
    const DbCompareResultsPtr results = OnePairResults(plan, listed, ids, texts, result.Identical,
                                                       result.SourceLines, result.TargetLines);
    ExportAndPrintReplay(plan, *results);
    ShowComparisonReport(result, [this](const ComparisonReportRequest& r) {
        if (dialogs_.showComparison)
            dialogs_.showComparison(this, r);
    });
    return true;
}

void frmMain::ExportAndPrintReplay(const ReplayPlan& plan, const DbCompareResults& results) {
    if (!plan.ExportPath.empty()) {
        std::string error;
        if (!ReplayExportAllowed(plan.ExportPath, plan.ExportFormat, error) ||
            !WriteDbCompareReport(results, plan.ExportFormat, plan.ExportPath, error))
            CurrentPrompter().MessageBox(MsgIcon::Error, "Cannot Export", error);
    }
    if (plan.Print) {
        QtTextView view;
        view.SetText(FormatDbCompareReport(results, ReportFormat::Text));
        PrintViewOrOfferPdf(view);
    }
}

} // namespace orv
