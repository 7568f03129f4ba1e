// What the user can trigger in the main window besides the selection chain: connect, compare,
// the context menu, the panel buttons, servers, settings, help and the CREATE script.
#include "ui/main/frm_main.h"

#include "catalog/create_builder.h"
#include "catalog/ignored_columns.h"
#include "catalog/owners.h"
#include "catalog/schemas.h"
#include "catalog/table_script.h"
#include "compare/compare_sel_procs.h"
#include "compare/tx_text.h"
#include "core/copy_to_file.h"
#include "core/error_report.h"
#include "core/help_topic.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "servers/server_transfer.h"
#include "ui/main/frm_main_differences.h"
#include "ui/main/snapshot_panel_controller.h"
#include "ui/servers/frm_export_servers.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QAction>
#include <QMenu>

#include <exception>

namespace orv {

namespace {
constexpr const char* kAppTitle = "Orvane";
constexpr const char* kModule = "frmMain";

void Inform(const std::string& title, const std::string& text) {
    CurrentPrompter().MessageBox(MsgIcon::Information, title, text);
}
void Warn(const std::string& title, const std::string& text) {
    CurrentPrompter().MessageBox(MsgIcon::Warning, title, text);
}
} // namespace

void frmMain::Connect() {
    if (CheckMdacVersion())
        InitializeDisplay(true);
}

CompareServices frmMain::MakeCompareServices() {
    CompareServices s;
    s.ignoredColumns = [this](int panel) {
        const QtListControl& list = *pvlSqlObj_[panel];
        int32_t id = 0;
        ParseInt32(list.CellText(list.CurrentRow(), 2), id);
        return ListedTableIgnoredColumns(
            kIgnoredForStructure, PanelServers()[static_cast<size_t>(panel)], DatabaseText(panel),
            list.CellText(list.CurrentRow(), 0), id);
    };
    s.tableScriptWithoutIgnored = [this](int panel) {
        int32_t ignored = 0;
        const ServerEntry& r = PanelServers()[static_cast<size_t>(panel)];
        const QtListControl& list = *pvlSqlObj_[panel];
        const std::string name = list.CellText(list.CurrentRow(), 0);
        int32_t id = 0;
        ParseInt32(list.CellText(list.CurrentRow(), 2), id);
        return GetTableScript(r, name, DatabaseText(panel), true, ignored, id, "", false);
    };
    s.setBusy = [this](bool busy) { busy_ = busy; };
    return s;
}

CompareResult frmMain::CompareShownTexts(ComparedObjectNames& names) {
    CompareRequest request;
    request.givenTexts = false;
    request.sourceView = txtTXProc_[0];
    request.targetView = txtTXProc_[1];
    request.names = GetComparedObjectNames();
    request.options = CompareOptions::FromSettings();
    request.services = MakeCompareServices();
    CompareResult result = CompareSelProcs(request);
    UnselectMarkedLines(result);
    differences_->Marked(result);
    names = request.names;
    return result;
}

void frmMain::CompareSelectedObjects() {
    busy_ = true;
    CurrentPrompter().SetMousePointer(kPointerHourglass);
    ComparedObjectNames names;
    const CompareResult result = CompareShownTexts(names);
    if (result.Compared)
        ShowComparisonReport(result, [this](const ComparisonReportRequest& r) {
            if (dialogs_.showComparison)
                dialogs_.showComparison(this, r);
        });
    busy_ = false;
    CurrentPrompter().SetMousePointer(kPointerDefault);
}

void frmMain::UnselectMarkedLines(const CompareResult& result) {
    // The marking leaves its last range selected, and a selection hides the colour under it.
    if (!result.Marked)
        return;
    for (auto* view : txtTXProc_) {
        view->SetSelStart(0);
        view->SetSelLength(0);
    }
}

void frmMain::CompareHighlightedSections() {
    if (!CheckMdacVersion())
        return;
    const char* title = "Compare Highlighted Sections";
    if (Trim(txtTXProc_[0]->Text()).empty() || Trim(txtTXProc_[1]->Text()).empty()) {
        Inform(title, "Cannot continue - there is no structure displayed for selected object.");
        return;
    }
    const std::string source = txtTXProc_[0]->SelText();
    const std::string target = txtTXProc_[1]->SelText();
    const std::string howTo =
        "\r\n\r\nPlease select some section in Source text first, then some section in Target, "
        "and then (immediately after highlighting Target) right click and select 'Compare "
        "Highlighted Sections'.";
    if (source.empty()) {
        Inform(title,
               "Cannot continue - there is no highlighted section in Source object." + howTo);
        txtTXProc_[0]->SetFocus();
        return;
    }
    if (target.empty()) {
        Inform(title,
               "Cannot continue - there is no highlighted section in Target object." + howTo);
        txtTXProc_[1]->SetFocus();
        return;
    }
    CompareRequest request;
    request.givenTexts = true;
    request.sourceText = source;
    request.targetText = target;
    request.sourceView = txtTXProc_[0];
    request.targetView = txtTXProc_[1];
    request.names = GetComparedObjectNames();
    request.options = CompareOptions::FromSettings();
    request.services = MakeCompareServices();
    CompareResult result = CompareSelProcs(request);
    UnselectMarkedLines(result);
    differences_->Marked(result);
    if (result.Compared)
        ShowComparisonReport(result, [this](const ComparisonReportRequest& r) {
            if (dialogs_.showComparison)
                dialogs_.showComparison(this, r);
        });
    busy_ = false;
    CurrentPrompter().SetMousePointer(kPointerDefault);
}

void frmMain::PrepareContextMenu() {
    const bool anyText =
        !Trim(txtTXProc_[0]->Text()).empty() || !Trim(txtTXProc_[1]->Text()).empty();
    for (const char* name : {"mnuPopUpRefresh", "mnuPopUpShowDiffs", "mnuPopUpCompareSections",
                             "mnuPopUpIgnoreCols", "mnuPopUpShowColorSchema", "mnuPopUpCreateSQL"})
        if (QAction* a = MenuItem(name))
            a->setEnabled(anyText);
    if (anyText)
        MenuItem("mnuPopUpIgnoreCols")->setEnabled(CurrentType() == 50);
    const int32_t t = CurrentType();
    MenuItem("mnuPopUpRefToNonExistObj")->setEnabled(t == 10 || t == 20 || t == 30);
}

void frmMain::ShowContextMenu(int panel, const QPoint& globalPos) {
    if (!activated_ || busy_)
        return;
    busy_ = true;
    popupPanel_ = panel;
    PrepareContextMenu();
    mnuPopUp_->exec(globalPos, mnuPopUp_->defaultAction());
    popupPanel_ = -1;
    busy_ = false;
}

void frmMain::CopyToClipboard(int panel) {
    if (pvlSqlObj_[panel]->SelCount() == 0) {
        Inform("Cannot Copy", "There is nothing to copy.");
        return;
    }
    TXText_CopyToClipboard(*txtTXProc_[panel]);
}

void frmMain::CopyToFileCommand(int panel) {
    if (pvlSqlObj_[panel]->SelCount() == 0) {
        Inform("Cannot Copy", "There is nothing to copy.");
        return;
    }
    CompLines lines;
    int32_t errorCode = 0;
    const int64_t count = TXText_ConvTextToArray(*txtTXProc_[panel], lines, errorCode);
    if (errorCode != 0 || count < 1)
        return;
    const std::string text = TXText_ConvArrayToText(lines, count, errorCode);
    std::string saved;
    CopyToFile(text, pvlSqlObj_[panel]->CellText(pvlSqlObj_[panel]->CurrentRow(), 0), saved);
}

bool frmMain::CanViewAnalyzeData(int mode, int panel, std::string& database, int32_t& typeCode,
                                 std::string& objectName, int32_t& objectId,
                                 std::string& extendedName) {
    database.clear();
    typeCode = 0;
    objectName.clear();
    objectId = 0;
    extendedName.clear();
    try {
        if (!CheckMdacVersion())
            return false;
        std::string verb, Verb;
        if (mode == 0) {
            verb = "view";
            Verb = "View";
        } else if (mode == 1) {
            verb = "analyze";
            Verb = "Analyze";
        } else {
            CurrentPrompter().MessageBox(MsgIcon::None, "",
                                         "Function CanViewAnalyzeData - wrong parameter passed.");
        }
        database = DatabaseText(panel);
        if (database.empty()) {
            Inform("Cannot " + Verb, "Cannot " + verb + " - the list of databases is empty.");
            return false;
        }
        if (CurrentType() != 50) {
            Inform(kAppTitle,
                   "This functionality is enabled only when Tables are selected as active "
                   "objects.\r\n\r\nTo set Tables as active objects set focus to Objects Type "
                   "combo box (using mouse or by pressing key F6) and select first item from "
                   "the list.");
            cmbType_->setFocus(Qt::OtherFocusReason);
            return false;
        }
        QtListControl& list = *pvlSqlObj_[panel];
        int32_t id = 0;
        ParseInt32(list.CellText(list.CurrentRow(), 2), id);
        if (list.Count() == 0 || list.CurrentText().empty() || id == 0) {
            Inform("Cannot " + Verb, "Cannot " + verb + " - the list of tables is empty.");
            return false;
        }
        typeCode = CurrentType();
        // The listed name may carry a schema prefix and the name itself may hold ".": both the
        // name and its qualified form are read by the table's id.
        objectId = id;
        extendedName = GetExtendedObjectName(PanelServers()[static_cast<size_t>(panel)], database,
                                             list.CurrentText(), 50, id, &objectName);
        return true;
    } catch (const std::exception& e) {
        ReportUnexpected(5, e.what(), kModule, "CanViewAnalyzeData");
        return false;
    }
}

void frmMain::ViewData(int panel) {
    std::string database, objectName, extendedName;
    int32_t type = 0, id = 0;
    if (Snapshots().Refuses(panel, SnapshotRefusal::NoData))
        return;
    try {
        if (CanViewAnalyzeData(0, panel, database, type, objectName, id, extendedName) &&
            dialogs_.viewData)
            dialogs_.viewData(this, extendedName, objectName, database, panel, id);
    } catch (const std::exception& e) {
        ReportUnexpected(5, e.what(), kModule, "cmdViewData_Click");
    }
}

void frmMain::DatabaseInformation(int panel) {
    if (Snapshots().Refuses(panel, SnapshotRefusal::NeedsLive, "Database Information"))
        return;
    if (DatabaseText(panel).empty()) {
        Warn("Cannot Display Info",
             "Cannot display database info - the list of databases is empty.");
        return;
    }
    gstrReportText.clear();
    if (dialogs_.databaseInfo)
        dialogs_.databaseInfo(this, panel);
    if (!gstrReportText.empty() && dialogs_.showReport)
        dialogs_.showReport(this, "Database Information", 8);
    gstrReportText.clear();
}

void frmMain::FindNonExistentReferences(int panel) {
    if (busy_)
        return;
    busy_ = true;
    if (CheckMdacVersion()) {
        if (DatabaseText(panel).empty())
            Warn("Cannot Find",
                 "Cannot find references to non-existent objects - the list of databases is "
                 "empty.");
        else
            CheckReferences(panel, false);
    }
    busy_ = false;
}

void frmMain::AddServer() {
    if (CheckMdacVersion())
        PromptAddServer();
}

void frmMain::RemoveServer() {
    if (ServerCount() == 0) {
        Inform(kAppTitle, "There are no servers stored in the list.");
        return;
    }
    if (dialogs_.removeServer && dialogs_.removeServer(this)) {
        ResetPanelServers();
        FillServerSelectors();
        InitializeDisplay(false);
    }
}

void frmMain::ImportServers() {
    FileDialogRequest request;
    request.save = false;
    request.title = "Import Servers";
    request.filter = "Registration files (*.reg)|*.reg|All files (*.*)|*.*";
    const std::optional<std::string> path = CurrentPrompter().FileDialog(request);
    if (!path)
        return;
    const ServerTransfer t = ImportServersFromReg(*path);
    CurrentPrompter().MessageBox(t.ok ? MsgIcon::Information : MsgIcon::Warning, kAppTitle,
                                 t.message);
    if (t.servers > 0) {
        ResetPanelServers();
        FillServerSelectors();
        InitializeDisplay(false);
    }
}

void frmMain::ExportServers() {
    if (ServerCount() == 0) {
        Inform(kAppTitle, "There are no servers stored in the list.");
        return;
    }
    frmExportServers choice(this);
    if (choice.exec() != QDialog::Accepted)
        return;
    FileDialogRequest request;
    request.title = "Export Servers";
    request.filter = "Registration files (*.reg)|*.reg";
    request.proposedPath = "servers.reg";
    request.flags = 2; // ask before replacing a file
    const std::optional<std::string> path = CurrentPrompter().FileDialog(request);
    if (!path)
        return;
    const ServerTransfer t = ExportServersToReg(*path, choice.IncludePasswords());
    CurrentPrompter().MessageBox(t.ok ? MsgIcon::Information : MsgIcon::Warning, kAppTitle,
                                 t.message);
}

void frmMain::Timeout() {
    if (dialogs_.timeout)
        dialogs_.timeout(this);
}

void frmMain::Options() {
    try {
        const ProgramSettings before = Settings();
        if (!dialogs_.options || !dialogs_.options(this))
            return;
        const ProgramSettings& now = Settings();
        if (now.ShowOwners != before.ShowOwners) {
            ApplyOwnerPlacement();
            if (now.ShowOwners) {
                if (DatabaseText(0).empty() && DatabaseText(1).empty()) {
                    InitializeDisplay(false);
                    return;
                }
                for (int i = 0; i < 2; ++i)
                    LoadOwners(PanelServers()[static_cast<size_t>(i)], DatabaseText(i), *cmbType_,
                               *cmbOwners_[i]);
            }
        }
        if (now.CursorLocation != before.CursorLocation) {
            Inform(kAppTitle, "Cursor location setting was changed.\r\n\r\nPlease click OK and "
                              "wait while the connections are refreshed.");
            InitializeDisplay(false);
        }
        if (now.CacheSize != before.CacheSize && now.CursorLocation != kCursorServerSide)
            Inform(kAppTitle, "Cache Size setting was changed.\r\n\r\nPlease note that this "
                              "setting has meaning only when Cursor Location is set to "
                              "server-side.");
        if (now.AnalyzeConstraints != before.AnalyzeConstraints) {
            Inform(kAppTitle, "Setting 'Treat Constraints as a separate object type' "
                              "changed.\r\n\r\nPlease click OK and wait while the display is "
                              "refreshed.");
            cmbType_->SetTag("OFF");
            FillObjectTypeCombo(*cmbType_);
            cmbType_->SetTag("");
            InitializeDisplay(false);
            ConstraintsMenuItems_MaintainVisibility();
        }
    } catch (const std::exception& e) {
        ReportUnexpected(5, e.what(), kModule, "mnuToolsOptions_Click");
    }
}

void frmMain::Help(int context) {
    ShowHelpTopic(context);
}

void frmMain::AttachDatabase() {
    if (busy_)
        return;
    if (!CheckMdacVersion() || !ServerInfoSet())
        return;
    if (Snapshots().Refuses(0, SnapshotRefusal::NeedsLive, "Attach Database"))
        return;
    if (DatabaseText(0).empty()) {
        Warn(kAppTitle, "Please connect to the server first.");
        return;
    }
    if (dialogs_.attachDatabase && dialogs_.attachDatabase(this))
        InitializeDisplay(true);
}

void frmMain::BuildSQLCreateStatement(int panel) {
    try {
        if (!CheckMdacVersion())
            return;
        popupPanel_ = panel;
        if (panel < 0 || panel > 1)
            return;
        if (Snapshots().Refuses(panel, SnapshotRefusal::NeedsLive, "SQL CREATE Statement")) {
            popupPanel_ = -1;
            return;
        }
        if (Trim(txtTXProc_[panel]->Text()).empty()) {
            Inform("Cannot Continue",
                   "Cannot continue - there is no structure displayed for selected object.");
            popupPanel_ = -1;
            return;
        }
        ServerEntry copy = PanelServers()[static_cast<size_t>(panel)];
        QtListControl& list = *pvlSqlObj_[panel];
        int32_t id = 0;
        ParseInt32(list.CellText(list.CurrentRow(), 2), id);
        std::string dropPart;
        const std::string script =
            SQL_BuildCreateStatement(copy, copy.Name, DatabaseText(panel), list.CurrentText(),
                                     CurrentType(), id, ",", dropPart);
        if (!script.empty()) {
            gstrReportText = script;
            if (dialogs_.showReport)
                dialogs_.showReport(this, "SQL CREATE Statement", 0);
            gstrReportText.clear();
        }
    } catch (const std::exception& e) {
        ReportUnexpected(5, e.what(), kModule, "BuildSQLCreateStatement");
    }
    popupPanel_ = -1;
}

} // namespace orv
