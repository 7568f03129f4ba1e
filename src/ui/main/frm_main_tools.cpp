// The tools of the main window: the data analyzer of a panel's table, the ignored-column lists
// (edited for one table, listed for all), the colour legend of the text views, About and the
// help index.
#include "ui/main/frm_main.h"

#include "catalog/ignored_columns.h"
#include "catalog/table_script.h"
#include "compare/compare_sel_procs.h"
#include "core/help_topic.h"
#include "core/settings.h"
#include "explore/ignored_columns_edit.h"
#include "servers/server_list.h"
#include "ui/main/snapshot_panel_controller.h"
#include "ui/tools/frm_about.h"
#include "ui/tools/frm_color_schema.h"
#include "ui/tools/frm_data_analyzer.h"
#include "ui/tools/frm_ignore_columns.h"
#include "ui/widgets/qt_list_control.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

namespace orv {

namespace {

constexpr int kHelpIndexTopic = 550;
constexpr int kIgnoredListTopic = 552;

} // namespace

void frmMain::WireToolCommands() {
    // Tools -> Data Analyzer becomes a menu of its own with one item per panel.
    QMenu* tools = findChild<QMenu*>("mnuTools");
    QAction* old = MenuItem("mnuToolsDataAnalyzer");
    if (tools && old) {
        auto* analyzer = new QMenu("Data Analyzer", tools);
        analyzer->setObjectName("mnuToolsDataAnalyzer");
        analyzer->menuAction()->setObjectName("mnuToolsDataAnalyzer");
        tools->insertMenu(old, analyzer);
        tools->removeAction(old);
        actions_.erase("mnuToolsDataAnalyzer");
        old->deleteLater();
        actions_["mnuToolsDataAnalyzer"] = analyzer->menuAction();
        for (int i = 0; i < 2; ++i)
            connect(
                AddAction(analyzer,
                          i == 0 ? "mnuToolsDataAnalyzerTable(0)" : "mnuToolsDataAnalyzerTable(1)",
                          i == 0 ? "Analyze Data in Source Table" : "Analyze Data in Target Table"),
                &QAction::triggered, this, [this, i] { AnalyzeData(i); });
    }
    MenuItem("mnuSep1")->setVisible(true);
    for (int i = 0; i < 2; ++i)
        connect(cmdAnalyzeData_[i], &QPushButton::clicked, this, [this, i] { AnalyzeData(i); });

    MenuItem("mnuSep4")->setVisible(true);
    QAction* data = MenuItem("mnuToolsIgnoredColsData");
    QAction* structure = MenuItem("mnuToolsIgnoredColsStruct");
    data->setVisible(true);
    structure->setVisible(true);
    connect(data, &QAction::triggered, this, [this] { ListAllIgnoredColumns(kIgnoredForData); });
    connect(structure, &QAction::triggered, this,
            [this] { ListAllIgnoredColumns(kIgnoredForStructure); });

    connect(MenuItem("mnuPopUpIgnoreCols"), &QAction::triggered, this,
            [this] { IgnoreColumns(popupPanel_); });
    connect(MenuItem("mnuPopUpShowColorSchema"), &QAction::triggered, this,
            [this] { ShowColorSchema(); });

    // Help: the menu is shown; F1 opens the index of the help pages.
    MenuItem("mnuHelp")->setVisible(true);
    QAction* index = MenuItem("mnuHelpIndex");
    disconnect(index, &QAction::triggered, this, nullptr);
    connect(index, &QAction::triggered, this, [] { ShowHelpTopic(kHelpIndexTopic); });
    connect(MenuItem("mnuHelpAbout"), &QAction::triggered, this, [this] { ShowAbout(); });
}

frmDataAnalyzer* frmMain::AnalyzeData(int panel) {
    if (panel < 0 || panel > 1 || Snapshots().Refuses(panel, SnapshotRefusal::NoData))
        return nullptr;
    std::string database, objectName, extendedName;
    int32_t type = 0, id = 0;
    if (!CanViewAnalyzeData(1, panel, database, type, objectName, id, extendedName))
        return nullptr;
    const ServerEntry& server = PanelServers()[static_cast<size_t>(panel)];
    const QtListControl& list = *pvlSqlObj_[panel];
    const std::string listed = list.CellText(list.CurrentRow(), 0);
    AnalysisRequest request;
    request.Place = {server, database, Settings().Timeout};
    request.TableName = listed;
    request.ObjectId = id;
    ServerEntry lookup = server;
    GetListedTableIgnoredColumns(kIgnoredForAnalysis, lookup, database, listed, id,
                                 request.Ignored);
    auto* window = new frmDataAnalyzer(this);
    window->setAttribute(Qt::WA_DeleteOnClose, true);
    window->Start(request, GetObjectFullName(server, database, listed, true));
    window->show();
    return window;
}

void frmMain::IgnoreColumns(int panel) {
    if (panel < 0 || panel > 1 ||
        Snapshots().Refuses(panel, SnapshotRefusal::NeedsLive, "Ignore Columns"))
        return;
    const QtListControl& list = *pvlSqlObj_[panel];
    const int row = list.CurrentRow();
    const std::string listed = row >= 0 ? list.CellText(row, 0) : std::string();
    int32_t id = 0;
    if (row >= 0)
        ParseInt32(list.CellText(row, 2), id);
    const std::string database = DatabaseText(panel);
    if (CurrentType() != 50 || database.empty() || listed.empty() || id == 0) {
        CurrentPrompter().MessageBox(MsgIcon::Information, "Ignore Columns",
                                     "Cannot ignore columns - no table is selected in this "
                                     "panel.");
        return;
    }
    ServerEntry& server = PanelServers()[static_cast<size_t>(panel)];
    const IgnoredTable table = ListedIgnoredTable(server, database, listed, id);
    const std::string section = IgnoredColumnsSection(table);
    if (const std::string problem = IgnoredNameProblem(section, true); !problem.empty()) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, "Ignore Columns",
                                     "The columns of " + section +
                                         " cannot be listed in the INI files: " + problem + ".");
        return;
    }
    std::vector<ColumnInfo> columns;
    std::string text;
    int32_t lastIndex = 0, ignoredCount = 0;
    if (!GetTableStructure(server, database, listed, text, columns, lastIndex, false, ignoredCount,
                           kIgnoredForStructure, id, ""))
        return; // the command layer has said why
    std::vector<std::string> names;
    for (const ColumnInfo& c : columns)
        names.push_back(c.ColumnName);
    frmIgnoreColumns dialog(this);
    dialog.Load(table, names);
    dialog.ShowUp();
}

void frmMain::ListAllIgnoredColumns(int32_t kind) {
    const bool data = kind == kIgnoredForData;
    gstrReportText =
        IgnoredColumnsReport(kind, data ? "Data Comparisons" : "Structure Comparisons");
    if (dialogs_.showReport)
        dialogs_.showReport(this,
                            data ? "Ignored Columns - Data Comparisons"
                                 : "Ignored Columns - Structure Comparisons",
                            kIgnoredListTopic);
    gstrReportText.clear();
}

void frmMain::ShowColorSchema() {
    frmColorSchema legend(this);
    legend.exec();
}

void frmMain::ShowAbout() {
    // The driver's version is asked over a connection only when the Source panel is connected.
    const ServerEntry& source = PanelServers()[0];
    frmAbout about(DatabaseText(0).empty() ? nullptr : &source, this);
    about.exec();
}

} // namespace orv
