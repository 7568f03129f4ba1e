// The whole-database comparisons as the main window offers them: the Structure Comparisons menu,
// F8 and the Compare All button, bulk and selective runs for every type, several objects picked
// in the lists without changing a plain click, and a compared pair shown in the panels. The
// runs themselves are caught here (the request each command builds); the engine's own tests
// and the end-to-end tests judge what a run finds.
#include "catalog/object_types.h"
#include "core/registry.h"
#include "core/settings.h"
#include "db_compare_results_fixture.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

const char* const kTypeWords[7] = {"Tables",   "Procedures",    "Functions",  "Views",
                                   "Triggers", "Relationships", "Constraints"};
const char* const kTypeKeys[7] = {"&Tables",   "&Procedures",    "&Functions",  "&Views",
                                  "T&riggers", "R&elationships", "&Constraints"};
const ObjectType kCodes[7] = {50, 10, 20, 30, 40, 60, 80};

std::string Indexed(const std::string& name, int i) {
    return name + "(" + std::to_string(i) + ")";
}

// A run caught instead of performed.
struct CaughtRun {
    std::string caption;
    DbCompareRequest request;
};

class MainWindowDbCompare : public ::testing::Test {
protected:
    void StartSim() {
        SqlsimOptions o;
        o.version = "10.50.1600.1";
        o.scriptFiles = {test::FixtureFile("mw_pair.sql")};
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        // Two stored names for the one simulator, each remembering its own database.
        for (const auto& [name, db] :
             {std::pair{sim->ServerName(), "MwSource"},
              std::pair{"localhost," + std::to_string(sim->Port()), "MwTarget"}}) {
            ServerEntry e;
            e.Name = name;
            e.SQLAuth = true;
            e.LoginName = sim->Options().login;
            e.Pwd = sim->Options().password;
            e.MRUDb = db;
            ServerAddToList(e);
        }
    }

    std::unique_ptr<frmMain> OpenWindow() {
        MainWindowDialogs dialogs;
        // With no stored server the window asks for one; no dialog opens in a test.
        dialogs.addServer = [](QWidget*) { return false; };
        dialogs.runDbCompare = [this](QWidget*, const std::string& caption,
                                      const DbCompareRequest& request) {
            runs.push_back({caption, request});
            auto r = test::SampleResults(request.Kind);
            r->Details = request.Details;
            return DbCompareResultsPtr(r);
        };
        dialogs.showDbCompareResults = [this](QWidget*, DbCompareResultsPtr results,
                                              const std::string& caption, const DbCompareRequest&) {
            shown.push_back(caption);
            lastResults = results;
        };
        LoadSettings(LoadServerList);
        auto w = std::make_unique<frmMain>(std::move(dialogs));
        w->FormLoad();
        w->show();
        QApplication::processEvents();
        return w;
    }

    // Connects the Source panel (MwSource) and loads the Target panel (MwTarget).
    void LoadBothPanels(frmMain& w) {
        QTest::keyClick(&w, Qt::Key_F5);
        QApplication::processEvents();
        w.ServerSelector(1)->setCurrentIndex(1);
        QApplication::processEvents();
        ASSERT_EQ(w.DatabaseList(0)->CurrentText(), "MwSource");
        ASSERT_EQ(w.DatabaseList(1)->CurrentText(), "MwTarget");
    }

    static void ChooseType(frmMain& w, ObjectType type) {
        QtComboControl* types = w.TypeSelector();
        for (int i = 0; i < types->ListCount(); ++i)
            if (types->ItemData(i) == type)
                types->setCurrentIndex(i);
        QApplication::processEvents();
    }

    static int RowOf(QtListControl* list, const std::string& name) {
        for (int r = 0; r < list->Count(); ++r)
            if (list->CellText(r, 0) == name)
                return r;
        return -1;
    }

    static void Click(QtListControl* list, int row, Qt::KeyboardModifiers mods = {}) {
        ASSERT_GE(row, 0);
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, mods, rect.center());
        QApplication::processEvents();
    }

    static std::vector<int> SelectedRows(QtListControl* list) {
        std::vector<int> rows;
        for (int r = 0; r < list->Count(); ++r)
            if (list->Selected(r))
                rows.push_back(r);
        return rows;
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
    std::vector<CaughtRun> runs;
    std::vector<std::string> shown;
    DbCompareResultsPtr lastResults;
};

TEST_F(MainWindowDbCompare, TheMenuShowsItsItemsAndTheConstraintsItemsFollowTheSetting) {
    for (bool constraints : {false, true}) {
        SetRegDword(HKEY_CURRENT_USER, kKeyMav, "AnalyzeConstraints", constraints ? 1 : 0);
        auto w = OpenWindow();
        QAction* menu = w->MenuItem("mnuComparison");
        ASSERT_NE(menu, nullptr);
        EXPECT_TRUE(menu->isVisible());
        EXPECT_EQ(menu->text().toStdString(), "&Structure Comparisons");
        struct Item {
            std::string name, caption;
            QKeySequence key;
        };
        std::vector<Item> items = {
            {"mnuComparisonSelObj", "Compare &Selected Objects", QKeySequence(Qt::Key_F7)},
            {"mnuComparisonAllObj", "Compare &All Objects", QKeySequence(Qt::Key_F8)},
        };
        for (int k = 0; k < 7; ++k) {
            const std::string all = std::string("Compare All ") + kTypeKeys[k];
            const std::string sel = std::string("Compare Selected ") + kTypeKeys[k];
            items.push_back({Indexed("mnuComparisonAllObjects_Simple", k), all, {}});
            items.push_back({Indexed("mnuComparisonAllObjects", k), all + " - Details", {}});
            items.push_back({Indexed("mnuComparisonAllObjectsSelective_Simple", k), sel, {}});
            items.push_back(
                {Indexed("mnuComparisonAllObjectsSelective", k), sel + " - Details", {}});
        }
        for (const Item& item : items) {
            QAction* a = w->MenuItem(item.name);
            ASSERT_NE(a, nullptr) << item.name;
            EXPECT_EQ(a->objectName().toStdString(), item.name);
            EXPECT_EQ(a->text().toStdString(), item.caption) << item.name;
            EXPECT_EQ(a->shortcut(), item.key) << item.name;
            const bool constraintsItem = item.name.find("(6)") != std::string::npos;
            EXPECT_EQ(a->isVisible(), !constraintsItem || constraints) << item.name;
        }
        // The submenus, by their names.
        for (const char* name : {"mnuComparisonBulk", "mnuComparisonBulkSimple",
                                 "mnuComparisonBulkDetails", "mnuComparisonSelective",
                                 "mnuComparisonSelectiveSimple", "mnuComparisonSelectiveDetails"}) {
            bool found = false;
            for (QAction* a : w->findChildren<QAction*>())
                found = found || a->objectName() == name;
            EXPECT_TRUE(found) << name;
        }
        EXPECT_EQ(w->findChild<QPushButton*>("cmdCompareAll")->toolTip().toStdString(),
                  "Compare all objects (F8)");
    }
}

TEST_F(MainWindowDbCompare, WithoutADatabaseOnEitherSideTheRunDoesNotStart) {
    StartSim();
    auto w = OpenWindow();
    QTest::keyClick(w.get(), Qt::Key_F8);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Compare");
    EXPECT_EQ(env.prompter.messages[0].text,
              "Cannot compare - the list of Source databases is empty.\r\n\r\nPlease connect to "
              "the server first (F5).");
    QTest::keyClick(w.get(), Qt::Key_F5);
    QApplication::processEvents();
    env.prompter.messages.clear();
    QTest::mouseClick(w->findChild<QPushButton*>("cmdCompareAll"), Qt::LeftButton);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].text,
              "Cannot compare - the list of Target databases is empty.\r\n\r\nPlease choose a "
              "server in the Target panel first.");
    EXPECT_TRUE(runs.empty());
}

TEST_F(MainWindowDbCompare, F8TheButtonAndTheMenuItemRunCompareAllObjects) {
    StartSim();
    SetRegDword(HKEY_CURRENT_USER, kKeyMav, "AnalyzeConstraints", 1);
    SetRegDword(HKEY_CURRENT_USER, "Software\\MAV\\Comparisons", "CaseSensitive", 1);
    auto w = OpenWindow();
    LoadBothPanels(*w);
    QTest::keyClick(w.get(), Qt::Key_F8);
    QTest::mouseClick(w->findChild<QPushButton*>("cmdCompareAll"), Qt::LeftButton);
    w->MenuItem("mnuComparisonAllObj")->trigger();
    ASSERT_EQ(runs.size(), 3u);
    for (const CaughtRun& run : runs) {
        EXPECT_EQ(run.caption, "Compare All Objects");
        EXPECT_EQ(run.request.Kind, DbCompareKind::All);
        EXPECT_FALSE(run.request.Details);
        // Every type the selector offers, in its order, constraints included while analysed.
        EXPECT_EQ(run.request.Types, (std::vector<ObjectType>{50, 10, 20, 30, 40, 60, 80}));
        EXPECT_EQ(run.request.Server[0].Name, sim->ServerName());
        EXPECT_EQ(run.request.Server[1].Name, "localhost," + std::to_string(sim->Port()));
        EXPECT_EQ(run.request.Database[0], "MwSource");
        EXPECT_EQ(run.request.Database[1], "MwTarget");
        EXPECT_TRUE(run.request.Options.CaseSensitive);
        EXPECT_TRUE(run.request.Selected[0].empty() && run.request.Selected[1].empty());
    }
    EXPECT_EQ(shown, std::vector<std::string>(3, "Compare All Objects"));
    EXPECT_FALSE(w->Busy());
}

TEST_F(MainWindowDbCompare, BulkSimpleAndDetailsRunEveryObjectOfTheirType) {
    StartSim();
    SetRegDword(HKEY_CURRENT_USER, kKeyMav, "AnalyzeConstraints", 1);
    auto w = OpenWindow();
    LoadBothPanels(*w);
    for (int k = 0; k < 7; ++k)
        for (bool details : {false, true}) {
            runs.clear();
            w->MenuItem(
                 Indexed(details ? "mnuComparisonAllObjects" : "mnuComparisonAllObjects_Simple", k))
                ->trigger();
            ASSERT_EQ(runs.size(), 1u) << k;
            const DbCompareRequest& r = runs[0].request;
            EXPECT_EQ(r.Kind, DbCompareKind::Bulk);
            EXPECT_EQ(r.Details, details);
            EXPECT_EQ(r.Types, std::vector<ObjectType>{kCodes[k]});
            EXPECT_EQ(runs[0].caption,
                      std::string("Compare All ") + kTypeWords[k] + (details ? " - Details" : ""));
            EXPECT_EQ(lastResults->Details, details);
        }
    EXPECT_TRUE(env.prompter.messages.empty());
}

TEST_F(MainWindowDbCompare, SeveralObjectsArePickedWithCtrlAndShiftWhileAPlainClickStaysOne) {
    StartSim();
    auto w = OpenWindow();
    LoadBothPanels(*w);
    ChooseType(*w, kTypeProcedure);
    QtListControl* source = w->ObjectList(0);
    ASSERT_GE(source->Count(), 2);
    Click(source, 0);
    EXPECT_EQ(SelectedRows(source), std::vector<int>{0});
    const std::string first = w->TextView(0)->Text();
    Click(source, 1, Qt::ControlModifier);
    EXPECT_EQ(SelectedRows(source), (std::vector<int>{0, 1}));
    // The row just picked is the one shown.
    EXPECT_NE(w->TextView(0)->Text(), first);
    EXPECT_NE(w->TextView(0)->Text().find(source->CellText(1, 0)), std::string::npos);
    // A plain click picks one row again, and shows it.
    Click(source, 0);
    EXPECT_EQ(SelectedRows(source), std::vector<int>{0});
    EXPECT_EQ(w->TextView(0)->Text(), first);
    Click(source, 1, Qt::ShiftModifier);
    EXPECT_EQ(SelectedRows(source), (std::vector<int>{0, 1}));
    // Ctrl+click on a picked row lets it go.
    Click(source, 0, Qt::ControlModifier);
    EXPECT_EQ(SelectedRows(source), std::vector<int>{1});
}

TEST_F(MainWindowDbCompare, SelectiveRunsCompareThePickedObjectsOfTheirType) {
    StartSim();
    auto w = OpenWindow();
    LoadBothPanels(*w);
    ChooseType(*w, kTypeProcedure);
    QtListControl* source = w->ObjectList(0);
    QtListControl* target = w->ObjectList(1);
    const int getCustomer = RowOf(source, "GetCustomer");
    const int onlyInSource = RowOf(source, "OnlyInSource");
    ASSERT_GE(getCustomer, 0);
    ASSERT_GE(onlyInSource, 0);
    Click(source, getCustomer);
    Click(source, onlyInSource, Qt::ControlModifier);
    Click(target, RowOf(target, "GetCustomer"));
    for (bool details : {false, true}) {
        runs.clear();
        w->MenuItem(Indexed(details ? "mnuComparisonAllObjectsSelective"
                                    : "mnuComparisonAllObjectsSelective_Simple",
                            1))
            ->trigger();
        ASSERT_EQ(runs.size(), 1u);
        const DbCompareRequest& r = runs[0].request;
        EXPECT_EQ(r.Kind, DbCompareKind::Selective);
        EXPECT_EQ(r.Details, details);
        EXPECT_EQ(r.Types, std::vector<ObjectType>{kTypeProcedure});
        EXPECT_EQ(runs[0].caption,
                  std::string("Compare Selected Procedures") + (details ? " - Details" : ""));
        ASSERT_EQ(r.Selected[0].size(), 2u);
        std::vector<std::string> names;
        for (const SelectedObject& o : r.Selected[0]) {
            names.push_back(o.ListedName);
            EXPECT_EQ(o.Type, kTypeProcedure);
            EXPECT_EQ(std::to_string(o.Id), source->CellText(RowOf(source, o.ListedName), 2));
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"GetCustomer", "OnlyInSource"}));
        ASSERT_EQ(r.Selected[1].size(), 1u);
        EXPECT_EQ(r.Selected[1][0].ListedName, "GetCustomer");
    }

    // The lists show procedures: a selective run of tables has nothing picked to run on.
    runs.clear();
    w->MenuItem(Indexed("mnuComparisonAllObjectsSelective_Simple", 0))->trigger();
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Compare");
    EXPECT_EQ(env.prompter.messages[0].text,
              "Cannot compare - the lists show procedures, not tables.\r\n\r\nPlease choose "
              "Tables in the type selector (F6) and select the tables to compare.");
    // Nothing picked at all.
    ChooseType(*w, kTypeTable);
    for (QtListControl* list : {source, target})
        for (int r = 0; r < list->Count(); ++r)
            list->SetSelected(r, false);
    env.prompter.messages.clear();
    w->MenuItem(Indexed("mnuComparisonAllObjectsSelective", 0))->trigger();
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].text,
              "Cannot compare - no tables are selected.\r\n\r\nPlease select the tables to "
              "compare in the Source and Target lists (Ctrl+click or Shift+click selects "
              "several).");
    EXPECT_TRUE(runs.empty());
}

TEST_F(MainWindowDbCompare, AComparedPairIsShownInBothPanels) {
    StartSim();
    auto w = OpenWindow();
    LoadBothPanels(*w);
    ChooseType(*w, kTypeProcedure);
    QtListControl* source = w->ObjectList(0);
    QtListControl* target = w->ObjectList(1);
    auto idOf = [](QtListControl* list, const std::string& name) {
        return std::stoi(list->CellText(RowOf(list, name), 2));
    };
    DbCompareResults r;
    r.ServerName[0] = sim->ServerName();
    r.ServerName[1] = "localhost," + std::to_string(sim->Port());
    r.DbName[0] = "MwSource";
    r.DbName[1] = "MwTarget";
    const PairVerdict pair =
        test::MakePair(kTypeProcedure, PairStatus::Different, "dbo", "GetCustomer", "a", "b",
                       idOf(source, "GetCustomer"), idOf(target, "GetCustomer"));
    const PairVerdict onlySource =
        test::MakePair(kTypeProcedure, PairStatus::OnlyInSource, "dbo", "OnlyInSource", "x", "",
                       idOf(source, "OnlyInSource"), 0);
    // From the tables, the type changes to procedures and both rows are picked and shown.
    ChooseType(*w, kTypeTable);
    ASSERT_TRUE(w->ShowComparedPair(r, pair));
    EXPECT_EQ(w->CurrentType(), kTypeProcedure);
    EXPECT_EQ(SelectedRows(source), std::vector<int>{RowOf(source, "GetCustomer")});
    EXPECT_EQ(SelectedRows(target), std::vector<int>{RowOf(target, "GetCustomer")});
    EXPECT_NE(w->TextView(0)->Text().find("GetCustomer"), std::string::npos);
    EXPECT_NE(w->TextView(1)->Text().find("GetCustomer"), std::string::npos);
    // A one-sided pair leaves the other panel without an object.
    ASSERT_TRUE(w->ShowComparedPair(r, onlySource));
    EXPECT_EQ(SelectedRows(source), std::vector<int>{RowOf(source, "OnlyInSource")});
    EXPECT_TRUE(SelectedRows(target).empty());
    EXPECT_TRUE(w->TextView(1)->Text().empty());
    EXPECT_TRUE(env.prompter.messages.empty());
    // Results of other servers cannot be shown here.
    DbCompareResults other = r;
    other.ServerName[1] = "ELSEWHERE";
    EXPECT_FALSE(w->ShowComparedPair(other, pair));
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Show");
    EXPECT_EQ(env.prompter.messages[0].text,
              "Cannot show the pair - the Target panel no longer shows the server ELSEWHERE.");
}

} // namespace
} // namespace orv
