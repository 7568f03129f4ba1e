// The main window: two panels side by side (Source 0, Target 1), each a chain of selections
// server -> database -> type -> owner -> object ending in the object's SQL text, plus the
// menus, buttons, keys and the text views' context menu that act on them.
#pragma once

#include "compare/compare_sel_procs.h"
#include "dbcompare/data_compare.h"
#include "dbcompare/db_compare.h"
#include "dbcompare/saved_replay.h"
#include "servers/server_entry.h"
#include "ui/main/data_compare_key_offer.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;

namespace orv {

class DbCatalogCache;
class DifferenceNavigator;
struct MainControllers;
class frmFindObject;
class frmMissingReferences;
class frmDataAnalyzer;
class MainGeometry;
class QtComboControl;
class QtListControl;
class QtTextView;
class SnapshotPanelController;

// The other windows the main window opens. The defaults open the real windows; tests may put
// their own in place to drive a window without its modal loop.
struct MainWindowDialogs {
    // Add Server: true when a server was added.
    std::function<bool(QWidget* owner)> addServer;
    // Remove Server: true when servers were removed.
    std::function<bool(QWidget* owner)> removeServer;
    // The report window, modal, for a comparison.
    std::function<void(QWidget* owner, const ComparisonReportRequest& request)> showComparison;
    // The report window, modal, for any other report (caption, help context); the text is in
    // gstrReportText.
    std::function<void(QWidget* owner, const std::string& caption, int helpContext)> showReport;
    // Data view of a table: extended name, object name, database, panel, object id.
    std::function<void(QWidget* owner, const std::string& extendedName,
                       const std::string& objectName, const std::string& database, int panel,
                       int32_t objectId)>
        viewData;
    // Database information for a panel: leaves its report in gstrReportText.
    std::function<void(QWidget* owner, int panel)> databaseInfo;
    // Attach Database: true when a database was attached.
    std::function<bool(QWidget* owner)> attachDatabase;
    // Options: true when the user confirmed.
    std::function<bool(QWidget* owner)> options;
    std::function<void(QWidget* owner)> timeout;
    // A whole-database comparison with its progress window, modal: the results (never null).
    std::function<DbCompareResultsPtr(QWidget* owner, const std::string& caption,
                                      const DbCompareRequest& request)>
        runDbCompare;
    // The results window of a whole-database comparison; not modal.
    std::function<void(QWidget* owner, DbCompareResultsPtr results, const std::string& caption,
                       const DbCompareRequest& request)>
        showDbCompareResults;
    // The list of saved comparison processes: the number of the one to run, 0 for none.
    std::function<int32_t(QWidget* owner)> chooseSavedComparison;
    // A data comparison with its progress window, modal: the results (never null).
    std::function<DataCompareResultsPtr(QWidget* owner, const std::string& caption,
                                        const DataCompareRequest& request)>
        runDataCompare;
    // The results window of a data comparison; not modal.
    std::function<void(QWidget* owner, DataCompareResultsPtr results, const std::string& caption,
                       const DataCompareRequest& request)>
        showDataCompareResults;
    // Asks for the comparison key of a pair that has none: the columns picked, empty to skip.
    std::function<std::vector<std::string>(QWidget* owner, const DataKeyQuestion& question)>
        pickDataKey;
};

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(MainWindowDialogs dialogs = {}, QWidget* parent = nullptr);
    ~frmMain() override;

    // The load: everything up to the automatic connect (the window is built by the constructor).
    void FormLoad();

    // Selection flow.
    bool CheckMdacVersion();
    bool ServerInfoSet();
    void PromptAddServer();
    void InitializeDisplay(bool pblnLoadMRUDb);
    bool LoadServer(int panel, bool pblnLoadMRUDb);
    bool CanConnectToDb(ServerEntry& server, const std::string& database);
    void ClearPanel(int panel);
    void ServerChosen(int panel);
    void DatabaseChosen(int panel, int row);
    void DatabaseChanged(int panel, const std::string& database);
    void ObjectTypeChanged(int source, int optionIndex, int panelMask);
    void OwnerChosen(int panel);
    void ObjectChosen(int panel, int row);
    void RefreshDisplayForPanel(int panel);
    void GetNamesOfSelServerDbAndObject(int panel, std::string& serverName,
                                        std::string& databaseName, std::string& objectName,
                                        int32_t& objectId);
    ComparedObjectNames GetComparedObjectNames();
    static int SelectListRowByName(QtListControl& list, const std::string& name, bool makeVisible,
                                   bool clearWhenMissing);

    // Commands.
    void Connect();
    void CompareSelectedObjects();
    // Compares the texts the panels show and marks their differences, without a report;
    // `names` are the objects compared.
    CompareResult CompareShownTexts(ComparedObjectNames& names);
    void CompareHighlightedSections();
    void ShowContextMenu(int panel, const QPoint& globalPos);
    void PrepareContextMenu();
    void CopyToClipboard(int panel);
    void CopyToFileCommand(int panel);
    bool CanViewAnalyzeData(int mode, int panel, std::string& database, int32_t& typeCode,
                            std::string& objectName, int32_t& objectId, std::string& extendedName);
    void ViewData(int panel);
    void DatabaseInformation(int panel);
    void FindNonExistentReferences(int panel);
    void AddServer();
    void RemoveServer();
    void ImportServers();
    void ExportServers();
    void Timeout();
    void Options();
    void Help(int context);
    void AttachDatabase();
    void BuildSQLCreateStatement(int panel);
    bool ConstraintsMenuItems_MaintainVisibility();

    // The features' handlers below hand over to the feature's controller (main_controllers.h).

    // Whole-database comparisons. `typeIndex` is the menu index 0..6 (tables, procedures,
    // functions, views, triggers, relationships, constraints).
    void CompareAllObjects();
    void CompareAllOfType(int typeIndex, bool details);
    void CompareSelectedOfType(int typeIndex, bool details);
    // Shows a compared pair in the panels: its type, and the object in each list. False (and
    // a message) when the panels no longer show the compared databases or the object.
    bool ShowComparedPair(const DbCompareResults& results, const PairVerdict& pair);

    // Saved comparison processes: the list window, then the chosen process run as the menu
    // would run it (panels set up as saved, report or results shown, exported and printed as
    // saved). False, with a message, when the process cannot be run.
    void RunSavedComparisonCommand();
    bool RunSavedComparison(int32_t number);
    // Find Object, the references to non-existent objects and Refresh, over a catalog cache
    // that Refresh empties for the panel's server.
    void FindObject(int panel);
    // Every module of the panel's database, or only the object selected in its list.
    void CheckReferences(int panel, bool selectedObjectOnly);
    // Reads the panel's databases, object list and text again, keeping the database, type,
    // owner and object where they still exist.
    void RefreshPanel(int panel);
    // Shows an object of `database` in the panel and selects `highlight` in line `line`
    // (1-based) of its text. False (and a message) when the panel cannot show it.
    bool ShowObjectAt(int panel, const std::string& server, const std::string& database,
                      ObjectType type, int32_t id, const std::string& listedName, int line,
                      const std::string& highlight);
    const std::shared_ptr<DbCatalogCache>& CatalogCache() const;
    frmFindObject* FindWindow(int panel) const;
    frmMissingReferences* ReferencesWindow() const;
    // The data analyzer, ignored columns, colour legend, About and help index. AnalyzeData
    // opens a results window (not modal) and returns it, or nullptr when the selection is not
    // a table.
    frmDataAnalyzer* AnalyzeData(int panel);
    void IgnoreColumns(int panel);
    void ListAllIgnoredColumns(int32_t kind);
    void ShowColorSchema();
    void ShowAbout();
    // Data comparisons: the pair of tables selected in the two lists (F9, the Compare Data
    // button), the tables selected in the Source list with their namesakes, every table.
    void CompareDataSinglePair();
    void CompareDataSelectedTables();
    void CompareDataAllTables();

    // Layout.
    void ApplyOwnerPlacement();
    void ApplyVerticalArrangement();
    void ApplyCompactArrangement();
    // The controls above and below the design size, the splitter and the scroll bars.
    MainGeometry* Geometry() const { return geometry_; }
    // Next and previous difference, the count, scrolling the texts together.
    DifferenceNavigator* Differences() const { return differences_; }

    // State read by tests, the other windows and the features' controllers.
    bool Busy() const { return busy_; }
    // A feature running a modal step of its own keeps the panels' handlers out meanwhile.
    void SetBusy(bool busy) { busy_ = busy; }
    // The other windows, the defaults in place.
    MainWindowDialogs& Dialogs() { return dialogs_; }
    // The database selected in a panel's list; empty when none is.
    std::string DatabaseText(int panel) const;
    bool Activated() const { return activated_; }
    int ConnectState() const { return connectState_; }
    int PopupPanel() const { return popupPanel_; }
    int32_t CurrentType() const;
    QtListControl* DatabaseList(int panel) const { return pvlDb_[panel]; }
    QtListControl* ObjectList(int panel) const { return pvlSqlObj_[panel]; }
    QtTextView* TextView(int panel) const { return txtTXProc_[panel]; }
    QtComboControl* ServerSelector(int panel) const { return cmbServer_[panel]; }
    QtComboControl* OwnerSelector(int panel) const { return cmbOwners_[panel]; }
    QtComboControl* TypeSelector() const { return cmbType_; }
    QMenu* ContextMenu() const { return mnuPopUp_; }
    // The one-line note of the Target panel (hidden when there is none).
    QLabel* TargetNote() const;
    QAction* MenuItem(const std::string& name) const;
    // The panels that show a snapshot file or scripts folder instead of a live database.
    SnapshotPanelController& Snapshots() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void BuildShortcuts();
    void ConnectSignals();
    void FillServerSelectors();
    void SetButtonToolTips();
    void FitLabels();
    void FormActivate();
    void BuildGeometry(QSize designClient);
    void BuildDifferenceControls();
    // The menu bar and status bar above and below the client area.
    int ChromeHeight() const;
    // Makes `client` the size the arrangement is designed for and sizes the window to it.
    void SetDesignClientSize(QSize client);
    // The size, place, maximized state and splitter of the last run, on the screens there are.
    void RestorePlacement();
    void SavePlacement();
    void Place(QWidget* w, int left, int top, int width, int height);
    void SetTop(QWidget* w, int top);
    void SetLeft(QWidget* w, int left);
    void SetWidth(QWidget* w, int width);
    void SetHeight(QWidget* w, int height);
    QAction* AddAction(QMenu* menu, const char* name, const char* caption,
                       const QKeySequence& shortcut = {}, bool visible = true);
    void ShowObjectDetails(int panel);
    // Shows `text` under the Target object list until that list's selection changes; empty
    // text hides the note.
    void SetTargetNote(const std::string& text);
    void SetConnectState(int state);
    void InstallDefaultDialogs();
    CompareServices MakeCompareServices();
    void UnselectMarkedLines(const CompareResult& result);
    // The menu items and buttons of the data analyzer, ignored columns, legend and About.
    void WireToolCommands();

    MainWindowDialogs dialogs_;
    bool activated_ = false;
    bool busy_ = false;
    int popupPanel_ = -1;
    int connectState_ = 2;
    bool selectingDbByProgram_ = false;

    QWidget* central_ = nullptr;
    QFrame* picToolbar_ = nullptr;
    QPushButton* cmdConnect_ = nullptr;
    QtComboControl* cmbType_ = nullptr;
    QPushButton* cmdCompareAll_ = nullptr;
    QPushButton* cmdCompData_ = nullptr;
    QPushButton* cmdHelp_ = nullptr;
    std::array<QLabel*, 6> lblGen_{};
    std::array<QtComboControl*, 2> cmbServer_{};
    std::array<QtListControl*, 2> pvlDb_{};
    std::array<QtComboControl*, 2> cmbOwners_{};
    std::array<QPushButton*, 2> cmdDbInfo_{};
    std::array<QLabel*, 2> lblDbInfo_{};
    std::array<QtListControl*, 2> pvlSqlObj_{};
    std::array<QPushButton*, 2> cmdNonExistent_{};
    std::array<QPushButton*, 2> cmdAnalyzeData_{};
    std::array<QPushButton*, 2> cmdFind_{};
    std::array<QtTextView*, 2> txtTXProc_{};
    std::array<QPushButton*, 2> cmdCopyClip_{};
    std::array<QPushButton*, 2> cmdCopyToFile_{};
    std::array<QPushButton*, 2> cmdViewData_{};
    QFrame* linDivision_ = nullptr;
    QLabel* imgSplitter_ = nullptr;
    QFrame* picSecToolbar_ = nullptr;
    QPushButton* cmdGetAllOwners_ = nullptr;
    QPushButton* cmdGetOwner_ = nullptr;
    QMenu* mnuPopUp_ = nullptr;
    QMenu* mnuDebug_ = nullptr;
    std::map<std::string, QAction*> actions_;
    int linTop_ = 750, linBottom_ = 7380;
    MainGeometry* geometry_ = nullptr;
    DifferenceNavigator* differences_ = nullptr;
    std::unique_ptr<MainControllers> controllers_;
};

} // namespace orv
