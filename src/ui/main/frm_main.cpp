// The main window's load, first activation, and the selection chain of both panels.
#include "ui/main/frm_main.h"

#include "catalog/catalog_error.h"
#include "catalog/listing.h"
#include "catalog/object_text.h"
#include "catalog/object_types.h"
#include "catalog/owners.h"
#include "catalog/table_script.h"
#include "compare/tx_text.h"
#include "core/error_report.h"
#include "core/log.h"
#include "core/registry.h"
#include "core/screen.h"
#include "core/settings.h"
#include "servers/data_access.h"
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "ui/main/frm_main_differences.h"
#include "ui/main/frm_main_geometry.h"
#include "ui/main/main_controllers.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

#include <exception>

namespace orv {

namespace {
constexpr const char* kOff = "OFF";
constexpr const char* kModule = "frmMain";
const char* TrueFalse(bool b) {
    return b ? "True" : "False";
}

void ProcessPending() {
    CurrentPrompter().ProcessEvents();
}

// Runs one handler body; an unexpected error goes to the error report with the procedure name.
template <class F> void Guarded(const char* proc, F&& body, const std::string& extra = "") {
    try {
        body();
    } catch (const std::exception& e) {
        ReportUnexpected(5, e.what(), kModule, proc, extra);
    }
}
} // namespace

frmMain::frmMain(MainWindowDialogs dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(std::move(dialogs)) {
    setObjectName("frmMain");
    setAttribute(Qt::WA_DeleteOnClose, false);
    InstallDefaultDialogs();
    BuildMenus();
    BuildControls();
    BuildDifferenceControls();
    BuildShortcuts();
    ConnectSignals();
    WireToolCommands();
    controllers_ = std::make_unique<MainControllers>(*this);
}

void frmMain::CompareAllObjects() {
    controllers_->compareAll.CompareAllObjects();
}
void frmMain::CompareAllOfType(int typeIndex, bool details) {
    controllers_->compareAll.CompareAllOfType(typeIndex, details);
}
void frmMain::CompareSelectedOfType(int typeIndex, bool details) {
    controllers_->compareAll.CompareSelectedOfType(typeIndex, details);
}
bool frmMain::ShowComparedPair(const DbCompareResults& results, const PairVerdict& pair) {
    return controllers_->compareAll.ShowComparedPair(results, pair);
}

void frmMain::CompareDataSinglePair() {
    controllers_->dataCompare.Run(DataCompareScope::SinglePair);
}
void frmMain::CompareDataSelectedTables() {
    controllers_->dataCompare.Run(DataCompareScope::SelectedTables);
}
void frmMain::CompareDataAllTables() {
    controllers_->dataCompare.Run(DataCompareScope::AllTables);
}

void frmMain::FindObject(int panel) {
    controllers_->explore.FindObject(panel);
}
void frmMain::CheckReferences(int panel, bool selectedObjectOnly) {
    controllers_->explore.CheckReferences(panel, selectedObjectOnly);
}
void frmMain::RefreshPanel(int panel) {
    controllers_->explore.RefreshPanel(panel);
}
bool frmMain::ShowObjectAt(int panel, const std::string& server, const std::string& database,
                           ObjectType type, int32_t id, const std::string& listedName, int line,
                           const std::string& highlight) {
    return controllers_->explore.ShowObjectAt(panel, server, database, type, id, listedName, line,
                                              highlight);
}
SnapshotPanelController& frmMain::Snapshots() const {
    return controllers_->snapshots;
}
const std::shared_ptr<DbCatalogCache>& frmMain::CatalogCache() const {
    return controllers_->explore.CatalogCache();
}
frmFindObject* frmMain::FindWindow(int panel) const {
    return controllers_->explore.FindWindow(panel);
}
frmMissingReferences* frmMain::ReferencesWindow() const {
    return controllers_->explore.ReferencesWindow();
}

void frmMain::RunSavedComparisonCommand() {
    controllers_->savedProcesses.RunCommand();
}
bool frmMain::RunSavedComparison(int32_t number) {
    return controllers_->savedProcesses.Run(number);
}

frmMain::~frmMain() {
    // The lists outlive this object's own part of the destruction: a list emptied while the
    // window's children are deleted must not end the note of a window that is no longer whole.
    if (pvlSqlObj_[1]) {
        pvlSqlObj_[1]->disconnect(this);
        pvlSqlObj_[1]->model()->disconnect(this);
    }
    // The difference navigator follows the text views' scroll bars: it goes before they do.
    delete differences_;
    differences_ = nullptr;
}

void frmMain::ConnectSignals() {
    for (int i = 0; i < 2; ++i) {
        // A choice of the entry already shown is a click too: it loads the panel (the Target
        // panel's selector shows a server before anything is loaded in it).
        connect(cmbServer_[i], &QtComboControl::Chosen, this, [this, i] {
            if (cmbServer_[i]->Tag() == kOff)
                return;
            const std::string entry = cmbServer_[i]->Text();
            if (SnapshotPanelController::IsSnapshotEntry(entry))
                controllers_->snapshots.EntryChosen(i, entry);
            else
                ServerChosen(i);
        });
        connect(cmbOwners_[i], &QtComboControl::Chosen, this, [this, i] {
            if (cmbOwners_[i]->Tag() != kOff)
                OwnerChosen(i);
        });
        pvlDb_[i]->onSelectionChanged = [this, i](int row) {
            // The database changes when the user picks one; the program's own marks (the
            // remembered database) are followed by the load that made them.
            if (pvlDb_[i]->Tag() != kOff && !selectingDbByProgram_ && pvlDb_[i]->Selected(row))
                DatabaseChosen(i, row);
        };
        pvlSqlObj_[i]->onSelectionChanged = [this, i](int row) {
            if (pvlSqlObj_[i]->Selected(row))
                ObjectChosen(i, row);
        };
        if (i == 1) {
            // The note about a missing namesake lasts until the Target selection changes, or
            // the Target list is emptied or filled anew.
            const auto endNote = [this] { SetTargetNote(""); };
            connect(pvlSqlObj_[1], &QTreeWidget::itemSelectionChanged, this, endNote);
            connect(pvlSqlObj_[1], &QTreeWidget::currentItemChanged, this, endNote);
            connect(pvlSqlObj_[1]->model(), &QAbstractItemModel::modelReset, this, endNote);
        }
        pvlSqlObj_[i]->onKeyPress = [this, i](int, int shift) {
            if (shift == 7)
                ShowObjectDetails(i);
        };
        txtTXProc_[i]->onMouseDown = [this, i](int button, int, int x, int y) {
            if (button == 2)
                ShowContextMenu(i, txtTXProc_[i]->viewport()->mapToGlobal(
                                       QPoint(TwipsToPixels(x), TwipsToPixels(y))));
        };
        txtTXProc_[i]->onGotFocus = [this, i] {
            // Moving into a view starts without a highlighted section. Coming back to it from
            // the context menu or another window, or clicking into it, is no such move: the
            // section highlighted there is what Compare Highlighted Sections reads (a left
            // click places the cursor itself).
            switch (txtTXProc_[i]->LastFocusReason()) {
            case Qt::PopupFocusReason:
            case Qt::ActiveWindowFocusReason:
            case Qt::MouseFocusReason:
                return;
            default:
                txtTXProc_[i]->SetSelLength(0);
            }
        };
        connect(cmdCopyClip_[i], &QPushButton::clicked, this, [this, i] { CopyToClipboard(i); });
        connect(cmdCopyToFile_[i], &QPushButton::clicked, this,
                [this, i] { CopyToFileCommand(i); });
        connect(cmdViewData_[i], &QPushButton::clicked, this, [this, i] { ViewData(i); });
        connect(cmdDbInfo_[i], &QPushButton::clicked, this, [this, i] { DatabaseInformation(i); });
        connect(cmdNonExistent_[i], &QPushButton::clicked, this,
                [this, i] { FindNonExistentReferences(i); });
    }
    connect(cmbType_, &QtComboControl::Chosen, this, [this] {
        if (cmbType_->Tag() != kOff)
            ObjectTypeChanged(10, -1, 3);
    });
    connect(cmdConnect_, &QPushButton::clicked, this, [this] { Connect(); });
    connect(cmdHelp_, &QPushButton::clicked, this, [this] { Help(10); });
}

void frmMain::FormLoad() {
    Guarded("Form_Load", [&] {
        // The arrangement steps below place the controls for the design size.
        const ArrangeScope arranging(geometry_);
        mnuDebug_->menuAction()->setVisible(Settings().DebugMode);
        mnuDebug_->setEnabled(Settings().DebugMode);
        setWindowTitle("Orvane");
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect sg = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
        const bool compact =
            IsSmallScreen(sg.width() * kTwipsPerPixel, sg.height() * kTwipsPerPixel);
        if (compact)
            ApplyCompactArrangement();
        move(sg.x() + (sg.width() - width()) / 2, sg.y() + (sg.height() - height()) / 2);
        ConstraintsMenuItems_MaintainVisibility();
        InitializeTXTextControl(*txtTXProc_[0]);
        InitializeTXTextControl(*txtTXProc_[1]);
        ResetPanelServers();
        cmbType_->SetTag(kOff);
        FillObjectTypeCombo(*cmbType_);
        cmbType_->SetTag("");
        FillServerSelectors();
        SetConnectState(2);
        SetButtonToolTips();
        if (AutoConnect()) {
            if (!CheckMdacVersion())
                return;
            InitializeDisplay(true);
        }
        ApplyOwnerPlacement();
        ApplyVerticalArrangement();
        if (compact) {
            // The compact panels keep their own heights: the full-size heights would push the
            // text views under the buttons and past the window's edge.
            for (int i = 0; i < 2; ++i) {
                SetTop(pvlSqlObj_[i], 2220);
                SetTop(txtTXProc_[i], 3495);
                SetHeight(txtTXProc_[i], 1425);
            }
        }
        if (QAction* a = MenuItem("mnuPopUpShowColorSchema"))
            a->setVisible(true);
        RestorePlacement();
    });
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!activated_) {
        activated_ = true;
        // After the window is on screen, as the first activation does.
        QMetaObject::invokeMethod(
            this, [this] { FormActivate(); }, Qt::QueuedConnection);
    }
}

void frmMain::FormActivate() {
    Guarded("Form_Activate", [&] {
        {
            const ArrangeScope arranging(geometry_);
            imgSplitter_->resize(imgSplitter_->width(), TwipsToPixels(linBottom_ - linTop_));
        }
        ServerInfoSet();
    });
}

void frmMain::closeEvent(QCloseEvent* event) {
    // Closing the main window closes every other window of the program.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible())
            w->close();
    SavePlacement();
    QMainWindow::closeEvent(event);
}

void frmMain::FillServerSelectors() {
    const int32_t n = ServerCount();
    // The selectors start again on the stored servers: a panel showing a snapshot is live
    // again with them.
    if (controllers_)
        for (int i = 0; i < 2; ++i)
            controllers_->snapshots.Leave(i);
    for (auto* sel : cmbServer_) {
        const std::string saved = sel->Tag();
        sel->SetTag(kOff);
        sel->Clear();
        for (int32_t k = 1; k <= n; ++k)
            sel->AddItem(ServerList()[static_cast<size_t>(k)].Name);
        // After the stored servers: a panel may show a snapshot or a scripts folder instead.
        sel->AddItem(kSnapshotFileEntry);
        sel->AddItem(kScriptsFolderEntry);
        if (n > 0) {
            sel->SetListIndex(0);
            sel->SetTag(saved);
        } else {
            sel->SetListIndex(-1);
            sel->SetTag("");
        }
    }
}

void frmMain::SetConnectState(int state) {
    connectState_ = state;
    cmdConnect_->setProperty("connectState", state);
    // 1: loading; the caption is greyed while the Source server loads.
    cmdConnect_->setStyleSheet(state == 1 ? "color: gray;" : "");
}

bool frmMain::CheckMdacVersion() {
    const std::string version = DataAccessVersion();
    WriteLogLine("MDAC Version = " + version);
    if (DataAccessVersionNumber(version) >= kMinimumDataAccessVersion)
        return true;
    CurrentPrompter().MessageBox(
        MsgIcon::Error, "Cannot Continue - MDAC Missing Or Out Of Date",
        "The program detected that this computer has no MDAC installed, or the installed "
        "version of MDAC is lower than 2.5.\r\n\r\nTo connect to the server this program "
        "requires MDAC 2.5 or higher to be installed.\r\n\r\nMDAC means: Microsoft Data Access "
        "Components.\r\n\r\nFor more information about installing Microsoft Data Access "
        "Components please visit \r\n\r\nhttps://www.unixodbc.org/\r\n\r\nor contact\r\n\r\n"
        "support@brackwater-software.example.");
    return false;
}

bool frmMain::ServerInfoSet() {
    WriteTrace("Begin ServerInfoSet");
    if (!CheckMdacVersion())
        return false;
    if (!PanelServers()[0].Name.empty()) {
        WriteTrace("End ServerInfoSet");
        return true;
    }
    CurrentPrompter().MessageBox(
        MsgIcon::Information, "No SQL Server",
        "There is no SQL server to connect to.\r\n\r\nPlease add server by filling in following "
        "form or by clicking menu item 'Tools' -> 'Add Server' and specifying info for the "
        "server.");
    PromptAddServer();
    return false;
}

void frmMain::PromptAddServer() {
    if (!dialogs_.addServer || !dialogs_.addServer(this))
        return;
    ResetPanelServers();
    FillServerSelectors();
    InitializeDisplay(false);
}

void frmMain::ClearPanel(int i) {
    pvlDb_[i]->SetTag(kOff);
    pvlDb_[i]->SetRedraw(false);
    pvlDb_[i]->Clear();
    pvlDb_[i]->SetTag("");
    pvlDb_[i]->SetRedraw(true);
    pvlSqlObj_[i]->SetTag(kOff);
    pvlSqlObj_[i]->Clear();
    pvlSqlObj_[i]->SetTag("");
    txtTXProc_[i]->SetText("");
    cmbOwners_[i]->SetTag(kOff);
    cmbOwners_[i]->Clear();
    cmbOwners_[i]->SetTag("");
    if (controllers_)
        controllers_->encryption.Disconnected(i);
    ProcessPending();
}

void frmMain::InitializeDisplay(bool pblnLoadMRUDb) {
    WriteTrace(std::string("Begin InitializeDisplay, pblnLoadMRUDb = ") + TrueFalse(pblnLoadMRUDb));
    Guarded("InitializeDisplay", [&] {
        ClearPanel(0);
        ClearPanel(1);
        SetConnectState(2);
        if (!ServerInfoSet())
            return;
        SetConnectState(1);
        LoadServer(0, pblnLoadMRUDb);
        // A snapshot in the Target panel needs no server: it is shown again at once.
        if (controllers_ && controllers_->snapshots.Shows(1))
            LoadServer(1, false);
        SetConnectState(0);
    });
    WriteTrace("End InitializeDisplay");
}

bool frmMain::LoadServer(int panel, bool pblnLoadMRUDb) {
    if (controllers_ && controllers_->snapshots.Shows(panel)) {
        controllers_->encryption.Disconnected(panel);
        return controllers_->snapshots.Load(panel);
    }
    ServerEntry& r = PanelServers()[static_cast<size_t>(panel)];
    QtListControl& dbList = *pvlDb_[panel];
    bool result = false;
    int step = 1;
    std::string d;
    int64_t recordCount = 0;
    int64_t walked = 0;
    WriteTrace("Begin LoadServer, p_Serv.strName = " + r.Name);
    try {
        step = 2;
        CheckSQLServerVersion(r);
        step = 3;
        RecordsetPtr rs;
        int32_t errNumber = 0;
        std::string errDescription;
        if (ExecAdoCmd(r, kAdCmdText, "SELECT name FROM sysdatabases ORDER BY name", rs, "master",
                       errNumber, errDescription) != -1) {
            step = 4;
            dbList.SetTag(kOff);
            dbList.SetRedraw(false);
            dbList.Clear();
            if (dbList.ColumnCount() == 0)
                dbList.AddColumn("", 0);
            step = 5;
            if (rs) {
                recordCount = rs->RecordCount();
                step = 6;
                if (!(rs->IsBOF() && rs->IsEOF())) {
                    rs->MoveFirst();
                    while (!rs->IsEOF()) {
                        ++walked;
                        const std::string name = rs->Value(0).Text();
                        if (!Settings().FilterOfflineDbs || CanConnectToDb(r, name)) {
                            dbList.AddItem(name);
                            WriteTrace("   Added database " + name);
                        }
                        rs->MoveNext();
                    }
                    if (dbList.Count() > 0)
                        dbList.SetCurrentRow(0);
                }
                rs->Close();
            }
            step = 7;
            dbList.SetTag("");
            dbList.SetRedraw(true);
            ProcessPending();
            d = dbList.CurrentText();
            step = 8;
            if (pblnLoadMRUDb && PreserveDbSel() && !r.MRUDb.empty()) {
                selectingDbByProgram_ = true;
                const int row = SelectListRowByName(dbList, r.MRUDb, false, true);
                selectingDbByProgram_ = false;
                if (row >= 0)
                    d = r.MRUDb;
            }
            step = 9;
            LoadOwners(r, d, *cmbType_, *cmbOwners_[panel]);
            pvlSqlObj_[panel]->SetTag(kOff);
            pvlSqlObj_[panel]->SetCurrentRow(0);
            pvlSqlObj_[panel]->SetTag("");
            LoadObjects(r, *pvlSqlObj_[panel], *txtTXProc_[panel], CurrentType(), d, true);
            result = true;
        }
    } catch (const std::exception& e) {
        selectingDbByProgram_ = false;
        dbList.SetTag("");
        dbList.SetRedraw(true);
        ReportUnexpected(5, e.what(), kModule, "LoadServer",
                         "Server name: " + r.Name + ", ver. " + r.Version + ", db name: " + d +
                             ", pblnLoadMRUDb: " + TrueFalse(pblnLoadMRUDb) + ", db count = " +
                             std::to_string(recordCount) + ", db num = " + std::to_string(walked) +
                             ", line num = " + std::to_string(step) + ", err count = 0");
        result = false;
    }
    // The status bar says how the connection just made travels; a refused one has none.
    if (controllers_) {
        if (result)
            controllers_->encryption.Connected(panel, d.empty() ? "master" : d);
        else
            controllers_->encryption.Disconnected(panel);
    }
    WriteTrace("End LoadServer");
    ProcessPending();
    return result;
}

bool frmMain::CanConnectToDb(ServerEntry& server, const std::string& database) {
    const bool saved = QuietConnectionErrors;
    QuietConnectionErrors = true;
    std::string query;
    bool ok = false;
    try {
        query = BuildObjSQLString(kTypeTable, Settings().IgnoreSysObjects);
        RecordsetPtr rs;
        int32_t errNumber = 0;
        std::string errDescription;
        ok = ExecAdoCmd(server, kAdCmdText, query, rs, database, errNumber, errDescription) != -1;
        if (rs)
            rs->Close();
    } catch (const std::exception& e) {
        QuietConnectionErrors = saved;
        ReportUnexpected(5, e.what(), kModule, "CanConnectToDb",
                         "db name = '" + database + "', sql = '" + query + "'");
        return false;
    }
    QuietConnectionErrors = saved;
    return ok;
}

void frmMain::ServerChosen(int panel) {
    if (controllers_)
        controllers_->snapshots.Leave(panel);
    ServerEntry probe;
    probe.Name = cmbServer_[panel]->Text();
    FindServer(probe);
    ServerEntry& r = PanelServers()[static_cast<size_t>(panel)];
    r.Name = probe.Name;
    r.SQLAuth = probe.SQLAuth;
    r.LoginName = probe.LoginName;
    r.Pwd = probe.Pwd;
    r.MRUDb = probe.MRUDb;
    r.EntryNumber = probe.EntryNumber;
    r.Version = probe.Version;
    r.VersionMajor = VersionMajorOf(r.Version);
    r.Encryption = probe.Encryption;
    r.CAFile = probe.CAFile;
    LoadServer(panel, true);
}

void frmMain::DatabaseChosen(int panel, int row) {
    // The row's text carries one separator character at its end.
    std::string d = Trim(pvlDb_[panel]->RowText(row));
    if (!d.empty())
        d.pop_back();
    DatabaseChanged(panel, d);
}

void frmMain::DatabaseChanged(int panel, const std::string& d) {
    if (controllers_ && controllers_->snapshots.Shows(panel)) {
        controllers_->snapshots.ListObjects(panel);
        return;
    }
    ServerEntry& r = PanelServers()[static_cast<size_t>(panel)];
    pvlSqlObj_[panel]->SetTag(kOff);
    pvlSqlObj_[panel]->SetCurrentRow(0);
    pvlSqlObj_[panel]->SetTag("");
    LoadObjects(r, *pvlSqlObj_[panel], *txtTXProc_[panel], CurrentType(), d, true);
    LoadOwners(r, d, *cmbType_, *cmbOwners_[panel]);
    if (r.EntryNumber > 0) {
        r.MRUDb = d;
        auto& list = ServerList();
        if (static_cast<size_t>(r.EntryNumber) < list.size())
            list[static_cast<size_t>(r.EntryNumber)].MRUDb = d;
        SetStoredServerString(r, "MRUDb", d);
    }
}

int32_t frmMain::CurrentType() const {
    return cmbType_->CurrentItemData();
}

std::string frmMain::DatabaseText(int panel) const {
    return pvlDb_[panel]->CurrentText();
}

void frmMain::ObjectTypeChanged(int source, int optionIndex, int panelMask) {
    if (busy_)
        return;
    busy_ = true;
    Guarded("ObjectTypeChanged", [&] {
        if (cmbType_->Tag() == kOff || !ServerInfoSet())
            return;
        int32_t code = 0;
        if (source == 10) {
            code = CurrentType();
        } else {
            static const int32_t byOption[7] = {50, 10, 20, 30, 40, 60, 70};
            code = optionIndex >= 0 && optionIndex < 7 ? byOption[optionIndex] : 0;
        }
        std::string plural = GetObjectTypeName(code, false);
        if (plural.empty())
            plural = "objects";
        for (auto* list : pvlSqlObj_)
            list->SetToolTipText("List of all " + plural);
        if (DatabaseText(0).empty() && DatabaseText(1).empty()) {
            busy_ = false;
            InitializeDisplay(false);
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if (!(panelMask & (1 << i)))
                continue;
            const std::string d = DatabaseText(i);
            pvlSqlObj_[i]->SetTag(kOff);
            pvlSqlObj_[i]->SetCurrentRow(0);
            pvlSqlObj_[i]->SetTag("");
            if (controllers_->snapshots.Shows(i))
                controllers_->snapshots.ListObjects(i);
            else
                LoadObjects(PanelServers()[static_cast<size_t>(i)], *pvlSqlObj_[i], *txtTXProc_[i],
                            code, d, true);
        }
    });
    busy_ = false;
}

void frmMain::OwnerChosen(int panel) {
    if (controllers_->snapshots.Shows(panel)) {
        controllers_->snapshots.ListObjects(panel);
        return;
    }
    FilterObjectsByOwner(PanelServers()[static_cast<size_t>(panel)], *cmbType_, *pvlDb_[panel],
                         *pvlSqlObj_[panel], *txtTXProc_[panel], cmbOwners_[panel]->Text());
}

void frmMain::ObjectChosen(int panel, int row) {
    Guarded("pvlSqlObj_SelectChange", [&] {
        QtListControl& list = *pvlSqlObj_[panel];
        if (list.Tag() != kOff && controllers_->snapshots.Shows(panel)) {
            list.SetTag(kOff);
            controllers_->snapshots.ShowObject(panel, row);
            list.SetTag("");
        } else if (list.Tag() != kOff) {
            const int markedBefore = list.RowMarkedBefore();
            list.SetTag(kOff);
            const std::string name = list.CellText(row, 0);
            int32_t id = 0;
            ParseInt32(list.CellText(row, 2), id);
            const TextShown shown = UpdateProcedureTextBox(
                PanelServers()[static_cast<size_t>(panel)], *txtTXProc_[panel], list, CurrentType(),
                DatabaseText(panel), name, id, OnCommandFailure::KeepView);
            if (shown == TextShown::CommandFailed) {
                // The server could not be asked (gone, refusing, too slow): the message has
                // been shown, and the panel stays as it was, its text still the marked
                // object's. Clicking the row again asks again.
                list.SetTag(kOff);
                if (markedBefore >= 0 && markedBefore < list.Count())
                    list.SetSelected(markedBefore, true);
                else
                    list.SetSelected(row, false);
                list.SetTag("");
                return;
            }
            list.SetTag("");
        }
        if (activated_ && !busy_ && panel == 0 && Settings().AutoSelTargetObj &&
            pvlSqlObj_[0]->Tag() != kOff) {
            const std::string name = pvlSqlObj_[0]->CellText(pvlSqlObj_[0]->CurrentRow(), 0);
            if (!name.empty()) {
                // With no namesake the Target panel keeps the object it shows, which is then
                // not this one's counterpart: the note says so.
                if (SelectListRowByName(*pvlSqlObj_[1], name, false, false) >= 0)
                    SetTargetNote("");
                else if (!DatabaseText(1).empty())
                    SetTargetNote("No " + ToLowerAscii(GetObjectTypeName(CurrentType(), true)) +
                                  " named " + name + " in Target");
            }
        }
    });
}

void frmMain::RefreshDisplayForPanel(int panel) {
    busy_ = false;
    Guarded("RefreshDisplayForPanel", [&] {
        QtListControl& list = *pvlSqlObj_[panel];
        const std::string name = list.CellText(list.CurrentRow(), 0);
        ObjectTypeChanged(10, -1, panel == 0 ? 1 : 2);
        if (!name.empty())
            SelectListRowByName(list, name, false, false);
    });
}

void frmMain::GetNamesOfSelServerDbAndObject(int panel, std::string& serverName,
                                             std::string& databaseName, std::string& objectName,
                                             int32_t& objectId) {
    serverName.clear();
    databaseName.clear();
    objectName.clear();
    objectId = 0;
    if (panel != 0 && panel != 1)
        return;
    serverName = PanelServers()[static_cast<size_t>(panel)].Name;
    databaseName = DatabaseText(panel);
    const QtListControl& list = *pvlSqlObj_[panel];
    objectName = list.CellText(list.CurrentRow(), 0);
    ParseInt32(list.CellText(list.CurrentRow(), 2), objectId);
}

ComparedObjectNames frmMain::GetComparedObjectNames() {
    ComparedObjectNames n;
    n.TypeCode = CurrentType();
    n.TypeNamePlural = GetObjectTypeName(n.TypeCode, false);
    n.EncObjTypes = ObjectTypeFlagText(n.TypeCode);
    for (int i = 0; i < 2; ++i) {
        const ServerEntry& r = PanelServers()[static_cast<size_t>(i)];
        n.ServerName[i] = r.Name;
        n.DbName[i] = DatabaseText(i);
        n.ObjectName[i] = pvlSqlObj_[i]->CellText(pvlSqlObj_[i]->CurrentRow(), 0);
        n.FullName[i] = GetObjectFullName(r, n.DbName[i], n.ObjectName[i], false);
    }
    return n;
}

int frmMain::SelectListRowByName(QtListControl& list, const std::string& name, bool makeVisible,
                                 bool clearWhenMissing) {
    auto clearMarks = [&] {
        for (int r = 0; r < list.Count(); ++r)
            if (list.Selected(r))
                list.SetSelected(r, false);
    };
    if (name.empty()) {
        clearMarks();
        return -1;
    }
    for (int r = 0; r < list.Count(); ++r) {
        if (list.CellText(r, 0) == name) {
            list.SetSelected(r, true);
            if (makeVisible)
                list.MakeVisible(r);
            return r;
        }
    }
    if (clearWhenMissing)
        clearMarks();
    return -1;
}

void frmMain::SetTargetNote(const std::string& text) {
    txtTXProc_[1]->SetNote(text);
}

QLabel* frmMain::TargetNote() const {
    return txtTXProc_[1]->NoteLabel();
}

void frmMain::ShowObjectDetails(int panel) {
    const QtListControl& list = *pvlSqlObj_[panel];
    std::string id, name, date;
    for (int r = 0; r < list.Count(); ++r) {
        if (!list.Selected(r))
            continue;
        name = list.CellText(r, 0);
        date = list.CellText(r, 1);
        int32_t n = 0;
        if (ParseInt32(list.CellText(r, 2), n)) {
            // "#,###": thousands separated, nothing for zero.
            std::string digits = std::to_string(n < 0 ? -static_cast<int64_t>(n) : n);
            std::string grouped;
            for (size_t k = 0; k < digits.size(); ++k) {
                if (k > 0 && (digits.size() - k) % 3 == 0)
                    grouped += ',';
                grouped += digits[k];
            }
            id = n == 0 ? "" : (n < 0 ? "-" : "") + grouped;
        }
        break;
    }
    CurrentPrompter().MessageBox(MsgIcon::None, "",
                                 "Id: " + id + ", Name: " + name + ", Ref. Date: " + date);
}

} // namespace orv
