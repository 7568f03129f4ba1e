// The menu bar, the text views' context menu and the window's own keys.
#include "ui/main/frm_main.h"

#include "core/settings.h"
#include "ui/widgets/qt_combo_control.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

namespace orv {

namespace {
const char* const kSevenTypes[7] = {"&Tables",   "&Procedures",    "&Functions",  "&Views",
                                    "T&riggers", "R&elationships", "&Constraints"};
QString Indexed(const char* name, int i) {
    return QString("%1(%2)").arg(name).arg(i);
}
} // namespace

QAction* frmMain::AddAction(QMenu* menu, const char* name, const char* caption,
                            const QKeySequence& shortcut, bool visible) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    if (!shortcut.isEmpty()) {
        a->setShortcut(shortcut);
        // Shortcuts act even when their menu is not shown.
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }
    a->setVisible(visible);
    actions_[name] = a;
    return a;
}

QAction* frmMain::MenuItem(const std::string& name) const {
    auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void frmMain::BuildMenus() {
    QMenuBar* bar = menuBar();
    auto topMenu = [&](const char* name, const char* caption, bool visible) {
        QMenu* m = bar->addMenu(caption);
        m->setObjectName(name);
        m->menuAction()->setObjectName(name);
        m->menuAction()->setVisible(visible);
        actions_[name] = m->menuAction();
        return m;
    };
    auto separator = [&](QMenu* m, const char* name, bool visible) {
        QAction* s = m->addSeparator();
        s->setObjectName(name);
        s->setVisible(visible);
        actions_[name] = s;
    };

    QMenu* file = topMenu("mnuFile", "&File", true);
    connect(AddAction(file, "mnuFIleConnect", "&Connect to the Server", Qt::Key_F5),
            &QAction::triggered, this, [this] { Connect(); });
    separator(file, "mnuFileSep3", true);
    AddAction(file, "mnuFileRefresh(0)", "Refresh - &Source", {}, false);
    AddAction(file, "mnuFileRefresh(1)", "Refresh - &Target", {}, false);
    AddAction(file, "mnuFileSaveSnapshot(0)", "Save Snapshot - S&ource...", {}, false);
    AddAction(file, "mnuFileSaveSnapshot(1)", "Save Snapshot - T&arget...", {}, false);
    separator(file, "mnuFileSep4", false);
    AddAction(file, "mnuFileRunSavedComp", "&Run Saved Comparison Process",
              QKeySequence(Qt::CTRL | Qt::Key_F5), false);
    separator(file, "mnuFileSep1", false);
    connect(AddAction(file, "mnuFIleExit", "E&xit"), &QAction::triggered, this,
            [this] { close(); });

    QMenu* comparison = topMenu("mnuComparison", "&Structure Comparisons", false);
    connect(AddAction(comparison, "mnuComparisonSelObj", "Compare &Selected Objects", Qt::Key_F7),
            &QAction::triggered, this, [this] { CompareSelectedObjects(); });
    AddAction(comparison, "mnuComparisonAllObj", "Compare &All Objects", Qt::Key_F8);
    AddAction(comparison, "mnuComparisonDeployScript", "&Deployment Script",
              QKeySequence(Qt::CTRL | Qt::Key_F7));
    separator(comparison, "mnuComparisonSep1", true);
    QMenu* bulk = comparison->addMenu("&Bulk Comparisons");
    bulk->menuAction()->setObjectName("mnuComparisonBulk");
    QMenu* bulkSimple = bulk->addMenu("&Simple");
    bulkSimple->menuAction()->setObjectName("mnuComparisonBulkSimple");
    QMenu* bulkDetails = bulk->addMenu("&Details");
    bulkDetails->menuAction()->setObjectName("mnuComparisonBulkDetails");
    QMenu* selective = comparison->addMenu("&Selective Comparisons");
    selective->menuAction()->setObjectName("mnuComparisonSelective");
    QMenu* selSimple = selective->addMenu("&Simple");
    selSimple->menuAction()->setObjectName("mnuComparisonSelectiveSimple");
    QMenu* selDetails = selective->addMenu("&Details");
    selDetails->menuAction()->setObjectName("mnuComparisonSelectiveDetails");
    for (int k = 0; k < 7; ++k) {
        const QString all = QString("Compare All ") + kSevenTypes[k];
        const QString sel = QString("Compare Selected ") + kSevenTypes[k];
        AddAction(bulkSimple, Indexed("mnuComparisonAllObjects_Simple", k).toUtf8().constData(),
                  all.toUtf8().constData());
        AddAction(bulkDetails, Indexed("mnuComparisonAllObjects", k).toUtf8().constData(),
                  (all + " - Details").toUtf8().constData());
        AddAction(selSimple,
                  Indexed("mnuComparisonAllObjectsSelective_Simple", k).toUtf8().constData(),
                  sel.toUtf8().constData());
        AddAction(selDetails, Indexed("mnuComparisonAllObjectsSelective", k).toUtf8().constData(),
                  (sel + " - Details").toUtf8().constData());
    }

    QMenu* data = topMenu("mnuDataComp", "&Data Comparisons", false);
    AddAction(data, "mnuDataCompSingle", "Compare &Data in Single Pair of Tables", Qt::Key_F9);
    AddAction(data, "mnuDataCompSelective", "Compare Data in &Selected Tables");
    AddAction(data, "mnuDataCompAll", "Compare Data in &All Tables");

    QMenu* sql = topMenu("mnuSql", "S&QL", false);
    for (int i = 0; i < 2; ++i)
        connect(AddAction(sql, i == 0 ? "mnuSqlCreate(0)" : "mnuSqlCreate(1)",
                          i == 0 ? "Build SQL CREATE Statement - &Source"
                                 : "Build SQL CREATE Statement - &Target"),
                &QAction::triggered, this, [this, i] { BuildSQLCreateStatement(i); });

    QMenu* tools = topMenu("mnuTools", "&Tools", true);
    connect(AddAction(tools, "mnuToolsAddServer", "&Add Server"), &QAction::triggered, this,
            [this] { AddServer(); });
    connect(AddAction(tools, "mnuToolsRemoveServer", "&Remove Server"), &QAction::triggered, this,
            [this] { RemoveServer(); });
    connect(AddAction(tools, "mnuToolsImportServers", "&Import Servers..."), &QAction::triggered,
            this, [this] { ImportServers(); });
    connect(AddAction(tools, "mnuToolsExportServers", "E&xport Servers..."), &QAction::triggered,
            this, [this] { ExportServers(); });
    separator(tools, "mnuSep1", false);
    AddAction(tools, "mnuToolsDataAnalyzer", "Data Analyzer", {}, false);
    separator(tools, "mnuSep6", false);
    QMenu* find = tools->addMenu("&Find Object");
    find->menuAction()->setObjectName("mnuToolsFind");
    find->menuAction()->setVisible(false);
    actions_["mnuToolsFind"] = find->menuAction();
    AddAction(find, "mnuToolsFindInDb(0)", "In &Source Database");
    AddAction(find, "mnuToolsFindInDb(1)", "In &Target Database");
    separator(tools, "mnuSep5", false);
    connect(AddAction(tools, "mnuToolsAttachDb", "Atta&ch Database", {}, false),
            &QAction::triggered, this, [this] { AttachDatabase(); });
    separator(tools, "mnuSep4", false);
    AddAction(tools, "mnuToolsIgnoredColsData", "List All Ignored Columns - &Data Comparisons", {},
              false);
    AddAction(tools, "mnuToolsIgnoredColsStruct",
              "List All Ignored Columns - &Structure Comparisons", {}, false);
    separator(tools, "mnuSep3", true);
    connect(AddAction(tools, "mnuToolsTimeout", "&Timeout"), &QAction::triggered, this,
            [this] { Timeout(); });
    connect(AddAction(tools, "mnuToolsOptions", "&Options..."), &QAction::triggered, this,
            [this] { Options(); });

    QMenu* help = topMenu("mnuHelp", "&Help", false);
    connect(AddAction(help, "mnuHelpIndex", "&Index...", Qt::Key_F1), &QAction::triggered, this,
            [this] { Help(10); });
    AddAction(help, "mnuTipOfDay", "&Tip of the Day...", QKeySequence(Qt::CTRL | Qt::Key_F1));
    connect(AddAction(help, "mnuHelpTechSupport", "Technical &Support"), &QAction::triggered, this,
            [this] { Help(230); });
    AddAction(help, "mnuHelpAbout", "&About...", QKeySequence(Qt::SHIFT | Qt::Key_F1));

    // The developer menu: shown and enabled only in debug mode.
    mnuDebug_ = topMenu("mnuDebug", "&Debug", Settings().DebugMode);
    mnuDebug_->setEnabled(Settings().DebugMode);
    connect(AddAction(mnuDebug_, "mnuDebugAttachDb", "Atta&ch Database"), &QAction::triggered, this,
            [this] { AttachDatabase(); });

    // The context menu of the text views.
    mnuPopUp_ = new QMenu("PopUp", this);
    mnuPopUp_->setObjectName("mnuPopUp");
    QAction* refresh = AddAction(mnuPopUp_, "mnuPopUpRefresh", "Refresh");
    QFont bold = refresh->font();
    bold.setBold(true);
    refresh->setFont(bold);
    mnuPopUp_->setDefaultAction(refresh);
    connect(refresh, &QAction::triggered, this, [this] {
        if (popupPanel_ < 0)
            return;
        if (CheckMdacVersion())
            RefreshDisplayForPanel(popupPanel_);
    });
    separator(mnuPopUp_, "mnuPopUpSep2", false);
    AddAction(mnuPopUp_, "mnuPopUpShowColorSchema", "Show Color Schema");
    AddAction(mnuPopUp_, "mnuPopUpShowDiffs", "Visualize Differences", {}, false);
    separator(mnuPopUp_, "mnuPopUpSep1", true);
    AddAction(mnuPopUp_, "mnuPopUpIgnoreCols", "Ignore Columns");
    connect(AddAction(mnuPopUp_, "mnuPopUpCompareSections", "Compare Highlighted Sections"),
            &QAction::triggered, this, [this] { CompareHighlightedSections(); });
    separator(mnuPopUp_, "mnuPopUpSep3", false);
    QAction* create =
        AddAction(mnuPopUp_, "mnuPopUpCreateSQL", "Build SQL CREATE Statement", {}, false);
    create->setEnabled(false);
    connect(create, &QAction::triggered, this, [this] { BuildSQLCreateStatement(popupPanel_); });
    separator(mnuPopUp_, "mnuPopUpSep4", true);
    AddAction(mnuPopUp_, "mnuPopUpRefToNonExistObj", "Find references to non-existent objects");
}

void frmMain::BuildShortcuts() {
    auto key = [this](Qt::Key k, std::function<void()> run) {
        auto* s = new QShortcut(QKeySequence(k), this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, std::move(run));
    };
    key(Qt::Key_F6, [this] { cmbType_->setFocus(Qt::ShortcutFocusReason); });
    key(Qt::Key_F10, [this] { DatabaseInformation(0); });
    key(Qt::Key_F11, [this] { DatabaseInformation(1); });
}

bool frmMain::ConstraintsMenuItems_MaintainVisibility() {
    const bool on = Settings().AnalyzeConstraints;
    for (const char* name :
         {"mnuComparisonAllObjects_Simple(6)", "mnuComparisonAllObjects(6)",
          "mnuComparisonAllObjectsSelective_Simple(6)", "mnuComparisonAllObjectsSelective(6)"})
        if (QAction* a = MenuItem(name))
            a->setVisible(on);
    return true;
}

} // namespace orv
