#include "ui/main/data_compare_controller.h"

#include "catalog/schemas.h"
#include "core/settings.h"
#include "dbcompare/data_compare_report.h"
#include "dbcompare/run_settings.h"
#include "dbcompare/saved_replay.h"
#include "export/export_file.h"
#include "ui/main/frm_data_compare_results.h"
#include "ui/main/frm_main.h"
#include "ui/main/frm_report.h"
#include "ui/main/snapshot_panel_controller.h"
#include "ui/tools/frm_data_compare_progress.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QAction>
#include <QPushButton>

namespace orv {

namespace {

constexpr const char* kCannotCompare = "Cannot Compare";

void CannotCompare(const std::string& text) {
    CurrentPrompter().MessageBox(MsgIcon::Information, kCannotCompare, text);
}

// The row a single-pair comparison takes from a list: the current row when it is selected,
// else the first selected one; -1 when none is.
int ChosenRow(const QtListControl& list) {
    const int current = list.CurrentRow();
    if (current >= 0 && current < list.Count() && list.Selected(current))
        return current;
    for (int r = 0; r < list.Count(); ++r)
        if (list.Selected(r))
            return r;
    return -1;
}

// The schema and own name of a listed table. By catalog id, because a listed name carries its
// schema only when two schemas hold the same name, and a name may itself contain points.
void NameOfListedTable(ServerEntry server, const std::string& database, const QtListControl& list,
                       int row, std::string& schema, std::string& name) {
    int32_t id = 0;
    ParseInt32(list.CellText(row, 2), id);
    schema.clear();
    name.clear();
    if (id > 0 && Db_GetObjNameById(server, database, id, schema, name) && !name.empty())
        return;
    schema.clear();
    name = list.CellText(row, 0);
}

} // namespace

void DataCompareController::Wire() {
    MainWindowDialogs& dialogs = Main().Dialogs();
    if (!dialogs.runDataCompare)
        dialogs.runDataCompare = [](QWidget* owner, const std::string& caption,
                                    const DataCompareRequest& request) {
            frmDataCompareProgress progress(owner);
            return progress.ShowUp(caption, request);
        };
    if (!dialogs.pickDataKey)
        dialogs.pickDataKey = [](QWidget* owner, const DataKeyQuestion& question) {
            return AskDataKeyInDialog(owner, question);
        };
    if (!dialogs.showDataCompareResults)
        dialogs.showDataCompareResults = [&dialogs](QWidget* owner, DataCompareResultsPtr results,
                                                    const std::string& caption,
                                                    const DataCompareRequest& request) {
            auto* window = new frmDataCompareResults(std::move(results), caption, request, owner);
            window->setAttribute(Qt::WA_DeleteOnClose);
            // Runs the window starts (a pair again with a picked key, a script) go through the
            // same progress window and key question as the main window's own.
            window->runComparison = [owner, run = dialogs.runDataCompare](
                                        const std::string& c, const DataCompareRequest& r) {
                return run(owner, c, r);
            };
            window->askKey = [window, ask = dialogs.pickDataKey](const DataKeyQuestion& q) {
                return ask(window, q);
            };
            window->show();
        };

    // The menu is hidden until its items are connected, which they are below.
    if (QAction* menu = Main().MenuItem("mnuDataComp"))
        menu->setVisible(true);
    const std::pair<const char*, DataCompareScope> items[] = {
        {"mnuDataCompSingle", DataCompareScope::SinglePair},
        {"mnuDataCompSelective", DataCompareScope::SelectedTables},
        {"mnuDataCompAll", DataCompareScope::AllTables}};
    for (const auto& [name, scope] : items)
        if (QAction* a = Main().MenuItem(name))
            connect(a, &QAction::triggered, this, [this, scope = scope] { Run(scope); });
    if (auto* button = Main().findChild<QPushButton*>("cmdCompData"))
        connect(button, &QPushButton::clicked, this, [this] { Main().CompareDataSinglePair(); });
}

bool DataCompareController::GatherPairs(DataCompareScope scope, DataCompareRequest& request) {
    frmMain& main = Main();
    if (main.DatabaseText(0).empty()) {
        CannotCompare("Cannot compare data - the list of Source databases is empty.\r\n\r\n"
                      "Please connect to the server first (F5).");
        return false;
    }
    if (main.DatabaseText(1).empty()) {
        CannotCompare("Cannot compare data - the list of Target databases is empty.\r\n\r\n"
                      "Please choose a server in the Target panel first.");
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        request.Place[i].Server = PanelServer(i);
        request.Place[i].Database = main.DatabaseText(i);
    }
    if (scope == DataCompareScope::AllTables) {
        request.AllTables = true;
        return true;
    }
    if (main.CurrentType() != kTypeTable) {
        CannotCompare(
            "Cannot compare data - the lists show " +
            ToLowerAscii(GetObjectTypeName(main.CurrentType(), false)) +
            ", not tables.\r\n\r\nPlease choose Tables in the type selector (F6) and select "
            "the tables to compare.");
        return false;
    }
    if (scope == DataCompareScope::SinglePair) {
        DataTablePair pair;
        for (int i = 0; i < 2; ++i) {
            const int row = ChosenRow(*main.ObjectList(i));
            if (row < 0) {
                CannotCompare(i == 0
                                  ? "Cannot compare data - no table is selected in the Source "
                                    "list.\r\n\r\nPlease select the table to compare in the Source "
                                    "list and the one to compare it with in the Target list."
                                  : "Cannot compare data - no table is selected in the Target "
                                    "list.\r\n\r\nPlease select the table to compare the Source "
                                    "table with in the Target list.");
                return false;
            }
            NameOfListedTable(request.Place[i].Server, request.Place[i].Database,
                              *main.ObjectList(i), row, pair.Schema[i], pair.Name[i]);
        }
        request.Tables.push_back(std::move(pair));
        return true;
    }
    const QtListControl& list = *main.ObjectList(0);
    for (int r = 0; r < list.Count(); ++r) {
        if (!list.Selected(r))
            continue;
        DataTablePair pair;
        NameOfListedTable(request.Place[0].Server, request.Place[0].Database, list, r,
                          pair.Schema[0], pair.Name[0]);
        // The namesake on the Target side.
        pair.Schema[1] = pair.Schema[0];
        pair.Name[1] = pair.Name[0];
        request.Tables.push_back(std::move(pair));
    }
    if (request.Tables.empty()) {
        CannotCompare(
            "Cannot compare data - no tables are selected in the Source list.\r\n\r\n"
            "Please select the tables to compare in the Source list (Ctrl+click or "
            "Shift+click selects several); each is compared with the table of the same name "
            "in the Target database.");
        return false;
    }
    return true;
}

void DataCompareController::Run(DataCompareScope scope) {
    frmMain& main = Main();
    if (main.Busy() || !main.CheckMdacVersion() ||
        main.Snapshots().RefusesEither(SnapshotRefusal::NoData))
        return;
    DataCompareRequest request;
    {
        HourglassPointer hourglass;
        if (!GatherPairs(scope, request))
            return;
    }
    ApplyCurrentDataSettings(request);
    const std::string caption = DataCompareCaption(scope);

    main.SetBusy(true);
    DataCompareResultsPtr results = main.Dialogs().runDataCompare(&main, caption, request);
    // A single pair without a usable key: ask for one, remember it, and compare again.
    if (scope == DataCompareScope::SinglePair && results && results->Tables.size() == 1 &&
        NeedsPickedKey(results->Tables.front()) && main.Dialogs().pickDataKey) {
        const DataTableResult pair = results->Tables.front();
        const std::vector<std::string> key =
            OfferDataKey(request, pair, [&main](const DataKeyQuestion& q) {
                return main.Dialogs().pickDataKey(&main, q);
            });
        if (!key.empty()) {
            request = SinglePairRequest(request, pair, key);
            results = main.Dialogs().runDataCompare(&main, caption, request);
        }
    }
    main.SetBusy(false);
    if (!results)
        return;
    if (results->Outcome == RunOutcome::Failed)
        CurrentPrompter().MessageBox(
            MsgIcon::Warning, kCannotCompare,
            "The data comparison did not complete: " +
                (results->Problem.empty() ? std::string("an error occurred.") : results->Problem) +
                "\r\n\r\nThe results show the tables compared before it ended.");
    if (main.Dialogs().showDataCompareResults)
        main.Dialogs().showDataCompareResults(&main, results, caption, request);
}

bool DataCompareController::RunSaved(const ReplayPlan& plan) {
    frmMain& main = Main();
    if (main.Busy())
        return false;
    ServerEntry servers[2] = {PanelServer(0), PanelServer(1)};
    DataCompareRequest settings;
    ApplyCurrentDataSettings(settings);
    const DataCompareRequest request = DataReplayRequest(plan, std::move(settings), servers);
    const DataCompareScope scope = plan.DataAllTables            ? DataCompareScope::AllTables
                                   : plan.DataTables.size() == 1 ? DataCompareScope::SinglePair
                                                                 : DataCompareScope::SelectedTables;
    const std::string caption = DataCompareCaption(scope);
    main.SetBusy(true);
    const DataCompareResultsPtr results = main.Dialogs().runDataCompare(&main, caption, request);
    main.SetBusy(false);
    if (!results)
        return false;
    if (!results->Complete()) {
        CurrentPrompter().MessageBox(
            MsgIcon::Warning, kCannotCompare,
            "The data comparison did not complete: " +
                (results->Problem.empty() ? std::string("an error occurred.") : results->Problem) +
                (plan.ExportPath.empty() ? std::string()
                                         : "\r\n\r\nNothing was exported to " + plan.ExportPath +
                                               "; an existing file of that name is unchanged."));
    } else {
        if (!plan.ExportPath.empty()) {
            std::string error;
            if (!ReplayExportAllowed(plan.ExportPath, plan.ExportFormat, error) ||
                !WriteExportFile(
                    plan.ExportPath,
                    FormatDataCompareReport(*results, plan.ExportFormat, request.RowKeepLimit),
                    error))
                CurrentPrompter().MessageBox(MsgIcon::Error, "Cannot Export", error);
        }
        if (plan.Print) {
            QtTextView view;
            view.SetText(DataCompareText(*results));
            PrintViewOrOfferPdf(view);
        }
    }
    if (main.Dialogs().showDataCompareResults)
        main.Dialogs().showDataCompareResults(&main, results, caption, request);
    return true;
}

} // namespace orv
