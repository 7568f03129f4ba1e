// Data comparisons as the main window offers them, end to end against the simulator: the Data
// Comparisons menu, F9 and the Compare Data button on a single pair, the selected tables and
// all tables, with the counts written down at the top of the fixture; the key question for a
// pair without a key; Stop; and the results window acting on real results.
#include "core/paths.h"
#include "core/registry.h"
#include "core/saved_comparison.h"
#include "core/settings.h"
#include "dbcompare/data_compare_report.h"
#include "dbcompare/data_key_store.h"
#include "save_settings_scope.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_data_compare_results.h"
#include "ui/main/frm_main.h"
#include "ui/tools/frm_data_compare_progress.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

struct CaughtRun {
    std::string caption;
    DataCompareRequest request;
};

// A pair's verdict and counts as the fixture's header writes them down.
struct Verdict {
    std::string table;
    DataPairStatus status;
    int64_t compared, identical, different, onlySource, onlyTarget;
};

class MainWindowDataCompare : public ::testing::Test {
protected:
    void SetUp() override {
        SqlsimOptions o;
        o.version = "10.50.1600.1";
        o.scriptFiles = {test::FixtureFile(fixture)};
        o.extraArgs = simArgs;
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        for (const auto& [name, db] :
             {std::pair{sim->ServerName(), databases[0]},
              std::pair{"localhost," + std::to_string(sim->Port()), databases[1]}}) {
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
        dialogs.addServer = [](QWidget*) { return false; };
        // The real progress window and engine; the run is recorded on the way.
        dialogs.runDataCompare = [this](QWidget* owner, const std::string& caption,
                                        const DataCompareRequest& request) {
            runs.push_back({caption, request});
            frmDataCompareProgress progress(owner);
            DataCompareRequest r = request;
            if (stopAfterFirstRows)
                r.RowsRead = [&progress](int64_t, int64_t) {
                    // Press Stop as a person would, and let the run see it before going on.
                    QMetaObject::invokeMethod(
                        &progress, [&progress] { progress.StopButton()->click(); },
                        Qt::QueuedConnection);
                    for (int i = 0; i < 500 && !progress.StopRequested(); ++i)
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                };
            return progress.ShowUp(caption, r);
        };
        dialogs.showDataCompareResults = [this](QWidget*, DataCompareResultsPtr results,
                                                const std::string& caption,
                                                const DataCompareRequest& request) {
            shown.push_back(caption);
            lastResults = results;
            lastRequest = request;
        };
        dialogs.pickDataKey = [this](QWidget*, const DataKeyQuestion& q) {
            questions.push_back(q);
            return keyAnswer;
        };
        LoadSettings(LoadServerList);
        auto w = std::make_unique<frmMain>(std::move(dialogs));
        w->FormLoad();
        w->show();
        QApplication::processEvents();
        QTest::keyClick(w.get(), Qt::Key_F5);
        QApplication::processEvents();
        w->ServerSelector(1)->setCurrentIndex(1);
        QApplication::processEvents();
        EXPECT_EQ(w->DatabaseList(0)->CurrentText(), databases[0]);
        EXPECT_EQ(w->DatabaseList(1)->CurrentText(), databases[1]);
        return w;
    }

    static int RowOf(QtListControl* list, const std::string& name) {
        for (int r = 0; r < list->Count(); ++r)
            if (list->CellText(r, 0) == name)
                return r;
        return -1;
    }

    static void Click(QtListControl* list, const std::string& name,
                      Qt::KeyboardModifiers mods = {}) {
        const int row = RowOf(list, name);
        ASSERT_GE(row, 0) << name;
        list->scrollToItem(list->topLevelItem(row));
        QApplication::processEvents();
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, mods, rect.center());
        QApplication::processEvents();
    }

    // The main window is active again once a progress window has closed, as on a desktop.
    static void PressF9(frmMain& w) {
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F9);
    }

    static void SelectPair(frmMain& w, const std::string& source, const std::string& target) {
        Click(w.ObjectList(0), source);
        Click(w.ObjectList(1), target);
    }

    static void ExpectVerdicts(const DataCompareResults& r, const std::vector<Verdict>& expected) {
        ASSERT_EQ(r.Tables.size(), expected.size());
        for (size_t k = 0; k < expected.size(); ++k) {
            const DataTableResult& t = r.Tables[k];
            const Verdict& v = expected[k];
            EXPECT_EQ(t.DisplayName(), v.table);
            EXPECT_EQ(t.Status, v.status) << v.table << ": " << t.Reason;
            EXPECT_EQ(t.RowsCompared, v.compared) << v.table;
            EXPECT_EQ(t.Identical, v.identical) << v.table;
            EXPECT_EQ(t.Different, v.different) << v.table;
            EXPECT_EQ(t.OnlyInSource, v.onlySource) << v.table;
            EXPECT_EQ(t.OnlyInTarget, v.onlyTarget) << v.table;
        }
    }

    std::string fixture = "data_ui_pair.sql";
    std::vector<std::string> simArgs;
    std::string databases[2] = {"DuiSource", "DuiTarget"};
    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
    std::vector<CaughtRun> runs;
    std::vector<std::string> shown;
    std::vector<DataKeyQuestion> questions;
    std::vector<std::string> keyAnswer;
    bool stopAfterFirstRows = false;
    DataCompareResultsPtr lastResults;
    DataCompareRequest lastRequest;
};

const Verdict kOrders{"dbo.Orders", DataPairStatus::Different, 9, 5, 2, 1, 1};
const Verdict kCustomers{"dbo.Customers", DataPairStatus::Identical, 3, 3, 0, 0, 0};
const Verdict kOnlyHere{"dbo.OnlyHere", DataPairStatus::OnlyInSource, 0, 0, 0, 0, 0};
const Verdict kDigits{"dbo.Digits", DataPairStatus::Identical, 10, 10, 0, 0, 0};
const Verdict kBig{"dbo.Big", DataPairStatus::Identical, 10000, 10000, 0, 0, 0};

TEST_F(MainWindowDataCompare, TheMenuShowsItsThreeItemsAndTheButtonNamesF9) {
    auto w = OpenWindow();
    QAction* menu = w->MenuItem("mnuDataComp");
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->text().toStdString(), "&Data Comparisons");
    const std::vector<std::tuple<std::string, std::string, QKeySequence>> items = {
        {"mnuDataCompSingle", "Compare &Data in Single Pair of Tables", QKeySequence(Qt::Key_F9)},
        {"mnuDataCompSelective", "Compare Data in &Selected Tables", QKeySequence()},
        {"mnuDataCompAll", "Compare Data in &All Tables", QKeySequence()},
    };
    for (const auto& [name, caption, key] : items) {
        QAction* a = w->MenuItem(name);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_EQ(a->text().toStdString(), caption);
        EXPECT_EQ(a->shortcut(), key) << name;
        EXPECT_TRUE(a->isVisible()) << name;
    }
    auto* button = w->findChild<QPushButton*>("cmdCompData");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text().toStdString(), "Compare &Data");
    EXPECT_EQ(button->toolTip().toStdString(), "Compare data in selected tables  (F9)");
}

TEST_F(MainWindowDataCompare, F9TheButtonAndTheMenuCompareTheSelectedPairWithTheWrittenDownCounts) {
    auto w = OpenWindow();
    SelectPair(*w, "Orders", "Orders");
    const std::vector<std::pair<std::string, std::function<void()>>> triggers = {
        {"F9", [&] { PressF9(*w); }},
        {"button",
         [&] { QTest::mouseClick(w->findChild<QPushButton*>("cmdCompData"), Qt::LeftButton); }},
        {"menu", [&] { w->MenuItem("mnuDataCompSingle")->trigger(); }},
    };
    for (const auto& [how, trigger] : triggers) {
        runs.clear();
        lastResults.reset();
        trigger();
        ASSERT_EQ(runs.size(), 1u) << how;
        EXPECT_EQ(runs[0].caption, "Compare Data in Single Pair of Tables");
        EXPECT_FALSE(runs[0].request.AllTables);
        ASSERT_EQ(runs[0].request.Tables.size(), 1u);
        EXPECT_EQ(runs[0].request.Tables[0].Schema[0], "dbo");
        EXPECT_EQ(runs[0].request.Tables[0].Name[1], "Orders");
        EXPECT_EQ(runs[0].request.Place[1].Database, "DuiTarget");
        ASSERT_TRUE(lastResults) << how;
        EXPECT_TRUE(lastResults->Complete()) << lastResults->Problem;
        ExpectVerdicts(*lastResults, {kOrders});
        const DataTableResult& t = lastResults->Tables[0];
        EXPECT_EQ(t.KeyFrom, KeyOrigin::PrimaryKey);
        std::vector<std::pair<std::string, int64_t>> perColumn;
        for (size_t c = 0; c < t.Compared.size(); ++c)
            perColumn.emplace_back(t.Compared[c].Name, t.ColumnDiffCounts.at(c));
        EXPECT_EQ(perColumn, (std::vector<std::pair<std::string, int64_t>>{
                                 {"CustomerID", 0}, {"Total", 1}, {"Note", 1}}));
        std::vector<std::string> keys;
        for (const DataRowDiff& row : t.Rows)
            keys.push_back(DataCellText(row.Key.at(0)));
        EXPECT_EQ(keys, (std::vector<std::string>{"2", "3", "5", "9"}));
    }
    EXPECT_TRUE(questions.empty());
    EXPECT_FALSE(w->Busy());

    // The window shows those rows: the changed Total side by side.
    frmDataCompareResults results(lastResults, shown.back(), lastRequest);
    results.show();
    QApplication::processEvents();
    ASSERT_EQ(results.RowModel()->rowCount(), 4);
    const int total = results.RowModel()->ViewColumnOf(1);
    EXPECT_EQ(results.RowModel()->CellText(0, total).toStdString(), "10.00");
    EXPECT_EQ(results.RowModel()->CellText(0, total + 1).toStdString(), "12.50");
}

TEST_F(MainWindowDataCompare, SelectedTablesAreComparedWithTheirNamesakes) {
    auto w = OpenWindow();
    Click(w->ObjectList(0), "Customers");
    Click(w->ObjectList(0), "Orders", Qt::ControlModifier);
    Click(w->ObjectList(0), "OnlyHere", Qt::ControlModifier);
    w->MenuItem("mnuDataCompSelective")->trigger();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].caption, "Compare Data in Selected Tables");
    ASSERT_TRUE(lastResults);
    // In list order.
    ExpectVerdicts(*lastResults, {kCustomers, kOnlyHere, kOrders});
}

// Saved from the results window through the Save Comparison dialog, then run from the list
// of saved processes: the same pairs compared again, the export written, the results shown.
TEST_F(MainWindowDataCompare, ASavedDataComparisonRunsAgainWithItsExport) {
    auto w = OpenWindow();
    Click(w->ObjectList(0), "Customers");
    Click(w->ObjectList(0), "Orders", Qt::ControlModifier);
    w->MenuItem("mnuDataCompSelective")->trigger();
    ASSERT_TRUE(lastResults);
    frmDataCompareResults window(lastResults, shown.back(), lastRequest);
    const std::string file = env.PathOf("saved.csv");
    {
        test::SaveSettingsAnswer answer([&](ComparisonDescription& d) {
            d.Name = "Orders nightly";
            d.SavedFullExportFilePath = file;
            d.ExportType = ExportTypeOf(file);
            return true;
        });
        window.SaveButton()->click();
        EXPECT_EQ(answer.asked, 1);
    }
    ASSERT_FALSE(env.prompter.messages.empty());
    EXPECT_EQ(env.prompter.messages.back().text, "The comparison process was saved as number 1.");
    ComparisonDescription d;
    ASSERT_TRUE(LoadComparisonProcess(Paths().CompsIni, 1, d));
    EXPECT_EQ(ComparisonKindText(d), "Compare Data in Selected Tables");

    runs.clear();
    lastResults.reset();
    EXPECT_TRUE(w->RunSavedComparison(1));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].caption, "Compare Data in Selected Tables");
    EXPECT_EQ(runs[0].request.Place[1].Database, "DuiTarget");
    ASSERT_TRUE(lastResults);
    ExpectVerdicts(*lastResults, {kCustomers, kOrders});
    EXPECT_EQ(test::ReadTextFile(file), DataCompareCsv(*lastResults));
}

TEST_F(MainWindowDataCompare, AllTablesListsOneSidedTablesAndTheOneWithoutAKey) {
    auto w = OpenWindow();
    // Whatever the lists show.
    w->MenuItem("mnuDataCompAll")->trigger();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].request.AllTables);
    ASSERT_TRUE(lastResults);
    ExpectVerdicts(*lastResults, {kBig,
                                  kCustomers,
                                  kDigits,
                                  {"dbo.Notes", DataPairStatus::NotComparable, 0, 0, 0, 0, 0},
                                  kOnlyHere,
                                  kOrders,
                                  {"dbo.TargetOnly", DataPairStatus::OnlyInTarget, 0, 0, 0, 0, 0}});
    EXPECT_TRUE(NeedsPickedKey(lastResults->Tables[3]));
    // Several pairs: no question during the run; the results window offers the key.
    EXPECT_TRUE(questions.empty());

    frmDataCompareResults results(lastResults, shown.back(), lastRequest);
    results.runComparison = [&](const std::string& caption, const DataCompareRequest& r) {
        return frmDataCompareProgress(&results).ShowUp(caption, r);
    };
    results.askKey = [](const DataKeyQuestion& q) {
        EXPECT_EQ(q.PairName, "dbo.Notes");
        return std::vector<std::string>{"Code"};
    };
    results.show();
    results.SelectTable(3);
    EXPECT_TRUE(results.KeyButton()->isEnabled());
    ASSERT_TRUE(results.ChooseKey());
    ExpectVerdicts(results.Results(),
                   {kBig,
                    kCustomers,
                    kDigits,
                    {"dbo.Notes", DataPairStatus::Different, 2, 1, 1, 0, 0},
                    kOnlyHere,
                    kOrders,
                    {"dbo.TargetOnly", DataPairStatus::OnlyInTarget, 0, 0, 0, 0, 0}});
    EXPECT_EQ(results.TableList()->topLevelItem(3)->text(1).toStdString(), "different");
    EXPECT_EQ(results.RowModel()->rowCount(), 1);
}

TEST_F(MainWindowDataCompare, APairWithoutAKeyAsksForOneRemembersItAndComparesAgain) {
    auto w = OpenWindow();
    SelectPair(*w, "Notes", "Notes");
    // Skipped: one run, the pair stays not comparable.
    PressF9(*w);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].PairName, "dbo.Notes");
    std::vector<std::string> offered;
    for (const KeyColumnChoice& c : questions[0].Columns)
        offered.push_back(c.Name);
    EXPECT_EQ(offered, (std::vector<std::string>{"Code", "Body"}));
    EXPECT_EQ(runs.size(), 1u);
    ASSERT_TRUE(lastResults);
    EXPECT_EQ(lastResults->Tables.at(0).Status, DataPairStatus::NotComparable);

    // Answered: compared again on the key, which is remembered for the pair.
    runs.clear();
    keyAnswer = {"Code"};
    PressF9(*w);
    ASSERT_EQ(questions.size(), 2u);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].request.Tables.at(0).Key, std::vector<std::string>{"Code"});
    ExpectVerdicts(*lastResults, {{"dbo.Notes", DataPairStatus::Different, 2, 1, 1, 0, 0}});
    EXPECT_EQ(lastResults->Tables[0].KeyFrom, KeyOrigin::Picked);
    const DataCompareRequest& asked = runs[1].request;
    EXPECT_EQ(LoadPickedKey(DataTableFullName(asked.Place[0], "dbo", "Notes"),
                            DataTableFullName(asked.Place[1], "dbo", "Notes")),
              std::vector<std::string>{"Code"});

    // The next time the remembered key is used without asking.
    runs.clear();
    PressF9(*w);
    EXPECT_EQ(questions.size(), 2u);
    EXPECT_EQ(runs.size(), 1u);
    ExpectVerdicts(*lastResults, {{"dbo.Notes", DataPairStatus::Different, 2, 1, 1, 0, 0}});
}

TEST_F(MainWindowDataCompare, StopKeepsAnIncompleteResultAndTheNextRunWorks) {
    auto w = OpenWindow();
    SelectPair(*w, "Big", "Big");
    stopAfterFirstRows = true;
    PressF9(*w);
    ASSERT_TRUE(lastResults);
    EXPECT_EQ(lastResults->Outcome, RunOutcome::Cancelled);
    EXPECT_EQ(lastResults->Problem, kStoppedByUser);
    ASSERT_EQ(lastResults->Tables.size(), 1u);
    EXPECT_TRUE(lastResults->Tables[0].Incomplete);
    EXPECT_LT(lastResults->Tables[0].RowsCompared, 10000);
    // A stopped run is not a failure: no message.
    EXPECT_TRUE(env.prompter.messages.empty());
    frmDataCompareResults results(lastResults, shown.back(), lastRequest);
    results.show();
    QApplication::processEvents();
    EXPECT_TRUE(results.IncompleteLabel()->isVisible());
    EXPECT_NE(results.windowTitle().toStdString().find("(incomplete)"), std::string::npos);

    stopAfterFirstRows = false;
    PressF9(*w);
    ASSERT_TRUE(lastResults->Complete());
    ExpectVerdicts(*lastResults, {kBig});
}

TEST_F(MainWindowDataCompare, TheScriptComesFromTheKeptRowsOrFromComparingAgainWhenTheyWereCut) {
    // Orders differs in 4 rows; with 2 kept the script needs a second comparison.
    for (const uint32_t kept : {5000u, 2u}) {
        SetRegDword(HKEY_CURRENT_USER, kKeyMav, "MaxRowsInDiffTable", kept);
        auto w = OpenWindow();
        SelectPair(*w, "Orders", "Orders");
        w->MenuItem("mnuDataCompSingle")->trigger();
        ASSERT_TRUE(lastResults);
        ASSERT_EQ(lastResults->Tables.size(), 1u);
        EXPECT_EQ(lastResults->Tables[0].Rows.size(), std::min<size_t>(kept, 4)) << kept;
        frmDataCompareResults results(lastResults, shown.back(), lastRequest);
        std::string script, covers;
        results.showScript = [&](const std::string& text, const std::string& what,
                                 const std::string&) {
            script = text;
            covers = what;
        };
        results.show();
        ASSERT_TRUE(results.ShowSyncScript(false)) << kept;
        EXPECT_EQ(covers, "dbo.Orders");
        // Every differing row has its statement, whichever way the script was made.
        for (const char* statement :
             {"DELETE FROM [dbo].[Orders] WHERE [OrderID] = 9;",
              "INSERT INTO [dbo].[Orders] ([OrderID], [CustomerID], [Total], [Note]) VALUES (5,",
              "WHERE [OrderID] = 2;", "WHERE [OrderID] = 3;", "BEGIN TRANSACTION", "COMMIT"})
            EXPECT_NE(script.find(statement), std::string::npos)
                << kept << ": " << statement << "\n"
                << script;
    }
}

TEST_F(MainWindowDataCompare, NothingRunsWithoutTablesToCompare) {
    auto w = OpenWindow();
    struct Case {
        std::function<void()> prepare;
        std::string action;
        std::string message;
    };
    const std::vector<Case> cases = {
        {[&] {
             Click(w->ObjectList(0), "Orders");
             w->ObjectList(1)->clearSelection();
         },
         "mnuDataCompSingle",
         "Cannot compare data - no table is selected in the Target list.\r\n\r\nPlease select "
         "the table to compare the Source table with in the Target list."},
        {[&] {
             QtComboControl* types = w->TypeSelector();
             for (int i = 0; i < types->ListCount(); ++i)
                 if (types->ItemData(i) == kTypeProcedure)
                     types->setCurrentIndex(i);
             QApplication::processEvents();
         },
         "mnuDataCompSelective",
         "Cannot compare data - the lists show procedures, not tables.\r\n\r\nPlease choose "
         "Tables in the type selector (F6) and select the tables to compare."},
    };
    for (const Case& c : cases) {
        env.prompter.messages.clear();
        c.prepare();
        w->MenuItem(c.action)->trigger();
        ASSERT_EQ(env.prompter.messages.size(), 1u) << c.action;
        EXPECT_EQ(env.prompter.messages[0].title, "Cannot Compare");
        EXPECT_EQ(env.prompter.messages[0].text, c.message);
    }
    EXPECT_TRUE(runs.empty());
}

// A server whose long results fail part way.
class MainWindowDataCompareFault : public MainWindowDataCompare {
protected:
    MainWindowDataCompareFault() { simArgs = {"--fault-error-mid-result", "700"}; }
};

TEST_F(MainWindowDataCompareFault, AFailurePartWayIsToldTheResultsAreIncompleteAndTheNextRunWorks) {
    auto w = OpenWindow();
    SelectPair(*w, "Big", "Big");
    PressF9(*w);
    ASSERT_TRUE(lastResults);
    EXPECT_EQ(lastResults->Outcome, RunOutcome::Failed);
    ASSERT_EQ(lastResults->Tables.size(), 1u);
    EXPECT_TRUE(lastResults->Tables[0].Incomplete);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(env.prompter.messages[0].text.rfind("The data comparison did not complete: The "
                                                  "comparison of dbo.Big stopped: ",
                                                  0),
              0u)
        << env.prompter.messages[0].text;
    frmDataCompareResults results(lastResults, shown.back(), lastRequest);
    results.show();
    QApplication::processEvents();
    EXPECT_TRUE(results.IncompleteLabel()->isVisible());
    EXPECT_NE(results.IncompleteLabel()->text().toStdString().find("the comparison failed"),
              std::string::npos);

    // Short results still come back whole.
    SelectPair(*w, "Orders", "Orders");
    PressF9(*w);
    ASSERT_TRUE(lastResults->Complete()) << lastResults->Problem;
    ExpectVerdicts(*lastResults, {kOrders});
}

// The engine's own fixture pair, whose differences its header writes down, through the menu.
class MainWindowDataCompareShared : public MainWindowDataCompare {
protected:
    MainWindowDataCompareShared() {
        fixture = "data_compare_pair.sql";
        databases[0] = "DcSource";
        databases[1] = "DcTarget";
    }
};

TEST_F(MainWindowDataCompareShared, AllTablesGiveTheWrittenDownCounts) {
    auto w = OpenWindow();
    w->MenuItem("mnuDataCompAll")->trigger();
    ASSERT_TRUE(lastResults);
    EXPECT_TRUE(lastResults->Complete()) << lastResults->Problem;
    const auto notComparable = DataPairStatus::NotComparable;
    ExpectVerdicts(*lastResults,
                   {{"dbo.Customers", DataPairStatus::Different, 21, 12, 6, 2, 1},
                    {"dbo.Docs", DataPairStatus::Different, 3, 2, 1, 0, 0},
                    {"dbo.EmptyBoth", DataPairStatus::Identical, 0, 0, 0, 0, 0},
                    {"dbo.EmptySource", DataPairStatus::Different, 2, 0, 0, 0, 2},
                    {"dbo.Ident", DataPairStatus::Different, 4, 1, 1, 1, 1},
                    {"dbo.KeyTypes", notComparable, 0, 0, 0, 0, 0},
                    {"dbo.NoKey", notComparable, 0, 0, 0, 0, 0},
                    {"dbo.NullUnique", notComparable, 0, 0, 0, 0, 0},
                    {"dbo.OnlySource", DataPairStatus::OnlyInSource, 0, 0, 0, 0, 0},
                    {"dbo.OnlyTarget", DataPairStatus::OnlyInTarget, 0, 0, 0, 0, 0},
                    {"dbo.OrderLines", DataPairStatus::Different, 7, 4, 1, 1, 1},
                    {"dbo.Picked", notComparable, 0, 0, 0, 0, 0},
                    {"dbo.we]ird.na'me --", DataPairStatus::Different, 4, 2, 1, 0, 1}});
    // The window lists them all with the totals.
    frmDataCompareResults results(lastResults, shown.back(), lastRequest);
    results.show();
    QApplication::processEvents();
    ASSERT_EQ(results.TableList()->topLevelItemCount(), 14);
    EXPECT_EQ(results.TableList()->topLevelItem(13)->text(2).toStdString(), "41");
}

TEST_F(MainWindowDataCompareShared, ASinglePairWhoseNameHoldsPointsQuotesAndBrackets) {
    auto w = OpenWindow();
    const std::string weird = "we]ird.na'me --";
    SelectPair(*w, weird, weird);
    PressF9(*w);
    ASSERT_EQ(runs.size(), 1u);
    // Named by catalog id, not by cutting the listed name at a point.
    EXPECT_EQ(runs[0].request.Tables.at(0).Schema[0], "dbo");
    EXPECT_EQ(runs[0].request.Tables.at(0).Name[0], weird);
    ASSERT_TRUE(lastResults);
    ExpectVerdicts(*lastResults, {{"dbo." + weird, DataPairStatus::Different, 4, 2, 1, 0, 1}});
}

} // namespace
} // namespace orv
