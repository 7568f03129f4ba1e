#include "ui/main/saved_process_controller.h"

#include "core/paths.h"
#include "core/settings.h"
#include "dbcompare/db_compare_report.h"
#include "dbcompare/saved_pair.h"
#include "ui/main/compare_all_controller.h"
#include "ui/main/data_compare_controller.h"
#include "ui/main/frm_main.h"
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

void SavedProcessController::Wire() {
    MainWindowDialogs& dialogs = Main().Dialogs();
    if (!dialogs.chooseSavedComparison)
        dialogs.chooseSavedComparison = [](QWidget* owner) {
            frmRunSavedComp window(owner);
            return window.ShowUp();
        };
    if (QAction* item = Main().MenuItem("mnuFileRunSavedComp")) {
        item->setVisible(true);
        connect(item, &QAction::triggered, this, [this] { Main().RunSavedComparisonCommand(); });
    }
    if (QAction* separator = Main().MenuItem("mnuFileSep1"))
        separator->setVisible(true);
}

void SavedProcessController::RunCommand() {
    frmMain& main = Main();
    if (main.Busy() || !main.Dialogs().chooseSavedComparison)
        return;
    const int32_t number = main.Dialogs().chooseSavedComparison(&main);
    if (number > 0)
        main.RunSavedComparison(number);
}

bool SavedProcessController::SetUpPanel(int side, const ReplayPlan& plan) {
    frmMain& main = Main();
    QtListControl& databases = *main.DatabaseList(side);
    const std::string& server = plan.ServerName[side];
    if (!EqualsNoCase(PanelServer(side).Name, server) || databases.Count() == 0) {
        QtComboControl& selector = *main.ServerSelector(side);
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
        main.ServerChosen(side);
        if (databases.Count() == 0)
            return false; // the connection failed; LoadServer has said why
    }
    const std::string& database = plan.Database[side];
    if (EqualsNoCase(main.DatabaseText(side), database))
        return true;
    int row = -1;
    for (int r = 0; r < databases.Count() && row < 0; ++r) {
        std::string listed = Trim(databases.RowText(r));
        if (!listed.empty())
            listed.pop_back(); // the row's separator character
        if (EqualsNoCase(listed, database))
            row = r;
    }
    if (row < 0) {
        Warn(std::string("Cannot run the comparison - the ") + kSide[side] + " server " + server +
             " does not list the database " + database + ".");
        return false;
    }
    databases.SetSelected(row, true);
    databases.MakeVisible(row);
    if (!EqualsNoCase(main.DatabaseText(side), database))
        main.DatabaseChosen(side, row);
    return true;
}

bool SavedProcessController::SetUpPanels(const ReplayPlan& plan) {
    frmMain& main = Main();
    for (int side = 0; side < 2; ++side)
        if (!SetUpPanel(side, plan))
            return false;
    if ((plan.DbKind == DbCompareKind::All && plan.Kind == ReplayKind::WholeDatabase) ||
        plan.Kind == ReplayKind::Data)
        return true;
    const ObjectType type = plan.Types.front();
    if (main.CurrentType() != type) {
        const int index = OfferedTypeIndex(type);
        if (index < 0) {
            Warn("Cannot run the comparison - " + ToLowerAscii(GetObjectTypeName(type, false)) +
                 " are not offered in the type selector (see Options).");
            return false;
        }
        // Choosing the type reloads both lists.
        main.TypeSelector()->SetListIndex(index);
    }
    if (plan.Kind == ReplayKind::SinglePair) {
        // Source first: with automatic Target selection it moves the Target list, which the
        // Target's own step then settles.
        for (int side = 0; side < 2; ++side)
            if (frmMain::SelectListRowByName(*main.ObjectList(side), plan.PairName[side], true,
                                             true) < 0) {
                Warn(std::string("Cannot run the comparison - the ") + kSide[side] + " " +
                     ToLowerAscii(GetObjectTypeName(type, true)) + " " + plan.PairName[side] +
                     " is not in the list of objects.");
                return false;
            }
        return true;
    }
    if (plan.DbKind == DbCompareKind::Selective)
        PickSavedObjects(plan);
    return true;
}

void SavedProcessController::PickSavedObjects(const ReplayPlan& plan) {
    for (int side = 0; side < 2; ++side) {
        QtListControl& list = *Main().ObjectList(side);
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

bool SavedProcessController::Run(int32_t number) {
    frmMain& main = Main();
    if (main.Busy() || !main.CheckMdacVersion())
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
    if (!SetUpPanels(plan))
        return false;

    if (plan.Kind == ReplayKind::Data)
        return dataCompare_.RunSaved(plan);
    if (plan.Kind == ReplayKind::WholeDatabase) {
        const DbCompareResultsPtr results =
            compareAll_.Run(plan.DbKind, plan.Types, plan.Details, plan.Filter);
        if (!results)
            return false;
        if (results->Complete())
            ExportAndPrint(plan, *results);
        return true;
    }
    return RunSinglePair(plan);
}

bool SavedProcessController::RunSinglePair(const ReplayPlan& plan) {
    frmMain& main = Main();
    main.SetBusy(true);
    CurrentPrompter().SetMousePointer(kPointerHourglass);
    ComparedObjectNames names;
    const CompareResult result = main.CompareShownTexts(names);
    main.SetBusy(false);
    CurrentPrompter().SetMousePointer(kPointerDefault);
    if (!result.Compared)
        return false;
    std::string listed[2], texts[2];
    int32_t ids[2] = {0, 0};
    for (int side = 0; side < 2; ++side) {
        listed[side] = names.ObjectName[side];
        texts[side] = main.TextView(side)->Text();
        const QtListControl& list = *main.ObjectList(side);
        const int row = list.CurrentRow();
        if (row >= 0)
            ParseInt32(list.CellText(row, 2), ids[side]);
    }
    const DbCompareResultsPtr results = OnePairResults(plan, listed, ids, texts, result.Identical,
                                                       result.SourceLines, result.TargetLines);
    ExportAndPrint(plan, *results);
    ShowComparisonReport(result, [&main](const ComparisonReportRequest& r) {
        if (main.Dialogs().showComparison)
            main.Dialogs().showComparison(&main, r);
    });
    return true;
}

void SavedProcessController::ExportAndPrint(const ReplayPlan& plan,
                                            const DbCompareResults& results) {
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
