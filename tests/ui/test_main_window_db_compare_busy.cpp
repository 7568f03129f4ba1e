// One feature at a time: while a comparison's modal step runs, the main window's other features
// (each in its own controller) start nothing, and they work again once it has ended.
#include "core/settings.h"
#include "db_compare_results_fixture.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace orv {
namespace {

// The procedure both databases hold, as a comparison of the panels' databases found it.
struct PairToShow {
    DbCompareResults results;
    PairVerdict pair;
};
PairToShow GetCustomerPair(const frmMain& w) {
    PairToShow p;
    for (int i = 0; i < 2; ++i) {
        p.results.ServerName[i] = PanelServers()[static_cast<size_t>(i)].Name;
        p.results.DbName[i] = w.DatabaseText(i);
    }
    p.pair.Type = kTypeProcedure;
    p.pair.HasSource = p.pair.HasTarget = true;
    p.pair.Source.Name = p.pair.Target.Name = "GetCustomer";
    p.pair.Source.Schema = p.pair.Target.Schema = "dbo";
    return p;
}

TEST(MainWindowFeatures, WhileOneRunsTheOthersStartNothing) {
    test::TestEnv env;
    test::SqlsimOptions o;
    o.version = "10.50.1600.1";
    o.scriptFiles = {test::FixtureFile("mw_pair.sql")};
    test::SqlsimProcess sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    for (const auto& [name, db] :
         {std::pair{sim.ServerName(), "MwSource"},
          std::pair{"localhost," + std::to_string(sim.Port()), "MwTarget"}}) {
        ServerEntry e;
        e.Name = name;
        e.SQLAuth = true;
        e.LoginName = sim.Options().login;
        e.Pwd = sim.Options().password;
        e.MRUDb = db;
        ServerAddToList(e);
    }

    int dbRuns = 0, dataRuns = 0, savedLists = 0;
    frmMain* window = nullptr;
    // What the other features did while the data comparison was on.
    bool pairShown = true, objectShown = true, savedRan = true;
    MainWindowDialogs dialogs;
    dialogs.addServer = [](QWidget*) { return false; };
    dialogs.runDbCompare = [&](QWidget*, const std::string&, const DbCompareRequest& request) {
        ++dbRuns;
        return DbCompareResultsPtr(test::SampleResults(request.Kind));
    };
    dialogs.showDbCompareResults = [](QWidget*, DbCompareResultsPtr, const std::string&,
                                      const DbCompareRequest&) {};
    dialogs.chooseSavedComparison = [&](QWidget*) {
        ++savedLists;
        return 0;
    };
    dialogs.showDataCompareResults = [](QWidget*, DataCompareResultsPtr, const std::string&,
                                        const DataCompareRequest&) {};
    dialogs.runDataCompare = [&](QWidget*, const std::string&, const DataCompareRequest&) {
        ++dataRuns;
        frmMain& w = *window;
        EXPECT_TRUE(w.Busy());
        w.CompareAllObjects();
        w.CompareSelectedOfType(1, false);
        w.CompareDataAllTables();
        w.RunSavedComparisonCommand();
        savedRan = w.RunSavedComparison(1);
        w.FindObject(0);
        // A pair and an object the panels could show at any other time.
        const PairToShow p = GetCustomerPair(w);
        pairShown = w.ShowComparedPair(p.results, p.pair);
        objectShown = w.ShowObjectAt(0, PanelServers()[0].Name, w.DatabaseText(0), kTypeProcedure,
                                     0, "dbo.GetCustomer", 1, "");
        auto r = std::make_shared<DataCompareResults>();
        return DataCompareResultsPtr(r);
    };
    LoadSettings(LoadServerList);
    auto w = std::make_unique<frmMain>(std::move(dialogs));
    window = w.get();
    w->FormLoad();
    w->show();
    QApplication::processEvents();
    QTest::keyClick(w.get(), Qt::Key_F5);
    QApplication::processEvents();
    w->ServerSelector(1)->setCurrentIndex(1);
    QApplication::processEvents();
    ASSERT_EQ(w->DatabaseList(1)->CurrentText(), "MwTarget");

    w->CompareDataAllTables();
    EXPECT_EQ(dataRuns, 1);
    EXPECT_EQ(dbRuns, 0);
    EXPECT_EQ(savedLists, 0);
    EXPECT_FALSE(savedRan);
    EXPECT_EQ(w->FindWindow(0), nullptr);
    EXPECT_FALSE(pairShown);
    EXPECT_FALSE(objectShown);

    // Once it has ended, the same commands run.
    EXPECT_FALSE(w->Busy());
    w->CompareAllObjects();
    EXPECT_EQ(dbRuns, 1);
    w->RunSavedComparisonCommand();
    EXPECT_EQ(savedLists, 1);
    w->FindObject(0);
    EXPECT_NE(w->FindWindow(0), nullptr);
    EXPECT_TRUE(w->ShowObjectAt(0, PanelServers()[0].Name, w->DatabaseText(0), kTypeProcedure, 0,
                                "dbo.GetCustomer", 1, ""));
    const PairToShow p = GetCustomerPair(*w);
    EXPECT_TRUE(w->ShowComparedPair(p.results, p.pair));
    EXPECT_TRUE(env.prompter.messages.empty());
}

} // namespace
} // namespace orv
