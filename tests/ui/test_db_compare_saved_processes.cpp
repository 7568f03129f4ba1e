// Saved comparison processes end to end against the simulator's demo pair: each kind saved
// from its own window, listed, renamed, deleted and run again from File > Run Saved Comparison
// Process, whose report, results and export must match a fresh run of the same comparison.
#include "core/paths.h"
#include "core/registry.h"
#include "core/settings.h"
#include "dbcompare/db_compare_report.h"
#include "save_settings_scope.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_db_compare_results.h"
#include "ui/main/frm_main.h"
#include "ui/main/frm_report.h"
#include "ui/main/frm_run_saved_comp.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

namespace orv {
namespace {

using test::ReadTextFile;
using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

class SavedProcessesEndToEnd : public ::testing::Test {
protected:
    std::unique_ptr<frmMain> OpenDemo() {
        SqlsimOptions o;
        o.version = "10.50.1600.1";
        o.scriptFiles = {test::FixtureFile("demo_source.sql"),
                         test::FixtureFile("demo_target.sql")};
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        EXPECT_TRUE(sim->Start(error)) << error;
        Store(sim->ServerName(), "OrvaneDemoSource");
        Store("localhost," + std::to_string(sim->Port()), "OrvaneDemoTarget");
        SetRegDword(HKEY_CURRENT_USER, kKeyServers, "AutoConnect", 1);
        MainWindowDialogs dialogs;
        dialogs.showComparison = [this](QWidget*, const ComparisonReportRequest& r) {
            verdicts.push_back(gstrReportText);
            lastRequest = r;
        };
        dialogs.chooseSavedComparison = [this](QWidget*) { return toRun; };
        LoadSettings(LoadServerList);
        auto w = std::make_unique<frmMain>(std::move(dialogs));
        w->FormLoad();
        w->show();
        QApplication::processEvents();
        w->ServerSelector(1)->setCurrentIndex(1);
        QApplication::processEvents();
        EXPECT_EQ(w->DatabaseList(1)->CurrentText(), "OrvaneDemoTarget");
        return w;
    }

    void Store(const std::string& name, const std::string& mruDb) {
        ServerEntry e;
        e.Name = name;
        e.SQLAuth = true;
        e.LoginName = sim->Options().login;
        e.Pwd = sim->Options().password;
        e.MRUDb = mruDb;
        ServerAddToList(e);
    }

    static void ChooseType(frmMain& w, ObjectType type) {
        QtComboControl* types = w.TypeSelector();
        types->setCurrentIndex(types->findData(type));
        QApplication::processEvents();
    }

    static int Row(QtListControl& list, const std::string& name) {
        for (int r = 0; r < list.Count(); ++r)
            if (list.CellText(r, 0) == name || list.CellText(r, 0) == "dbo." + name)
                return r;
        return -1;
    }

    static frmDbCompareResults* LatestResults(frmMain& w) {
        const auto all = w.findChildren<frmDbCompareResults*>();
        return all.isEmpty() ? nullptr : all.last();
    }

    // Saves through the real Save Comparison path, the dialog answered with `name`, `file`.
    int32_t SaveFrom(const std::function<void()>& save, const std::string& name,
                     const std::string& file) {
        test::SaveSettingsAnswer answer([&](ComparisonDescription& d) {
            d.Name = name;
            d.SavedFullExportFilePath = file;
            d.ExportType = ExportTypeOf(file);
            return true;
        });
        const size_t before = env.prompter.messages.size();
        save();
        EXPECT_EQ(answer.asked, 1);
        EXPECT_EQ(env.prompter.messages.size(), before + 1);
        const std::string text = env.prompter.messages.back().text;
        const std::string prefix = "The comparison process was saved as number ";
        EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
        return std::atoi(text.substr(prefix.size()).c_str());
    }

    static std::string Export(const DbCompareResults& r, ReportFormat format,
                              const std::string& path) {
        std::string error;
        EXPECT_TRUE(WriteDbCompareReport(r, format, path, error)) << error;
        return ReadTextFile(path);
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
    std::vector<std::string> verdicts;
    ComparisonReportRequest lastRequest;
    int32_t toRun = 0;
};

TEST_F(SavedProcessesEndToEnd, EachKindIsSavedListedRenamedDeletedAndRunAsAFreshRun) {
    auto w = OpenDemo();

    // A single pair: dbo.Customers, which gained a column in the Target.
    ChooseType(*w, kTypeTable);
    for (int side = 0; side < 2; ++side) {
        const int row = Row(*w->ObjectList(side), "Customers");
        ASSERT_GE(row, 0);
        w->ObjectList(side)->SetSelected(row, true);
    }
    QApplication::processEvents();
    w->CompareSelectedObjects();
    ASSERT_EQ(verdicts.size(), 1u);
    const std::string freshVerdict = verdicts.back();
    EXPECT_NE(freshVerdict.find("different"), std::string::npos) << freshVerdict;
    const std::string pairFile = env.PathOf("pair.html");
    const int32_t pair = SaveFrom(
        [&] {
            frmReport report;
            report.Describe("Comparison Report", DescribeComparison(lastRequest));
            report.SaveComparison();
        },
        "Customers", pairFile);

    // Compare All Objects, then all views with details, then two picked procedures.
    w->CompareAllObjects();
    frmDbCompareResults* results = LatestResults(*w);
    ASSERT_NE(results, nullptr);
    const DbCompareResultsPtr freshAll = std::make_shared<DbCompareResults>(results->Results());
    const std::string allFile = env.PathOf("all.csv");
    const int32_t all = SaveFrom([&] { results->SaveComparison(); }, "Everything", allFile);

    w->CompareAllOfType(3, true);
    results = LatestResults(*w);
    const DbCompareResultsPtr freshViews = std::make_shared<DbCompareResults>(results->Results());
    EXPECT_EQ(freshViews->Types, (std::vector<ObjectType>{kTypeView}));
    const int32_t views = SaveFrom([&] { results->SaveComparison(); }, "Views", "");

    ChooseType(*w, kTypeProcedure);
    QtListControl* source = w->ObjectList(0);
    source->clearSelection();
    w->ObjectList(1)->clearSelection();
    for (const char* name : {"usp_Customer_Get", "usp_Report_ReorderList"}) {
        const int row = Row(*source, name);
        ASSERT_GE(row, 0) << name;
        source->topLevelItem(row)->setSelected(true);
    }
    w->CompareSelectedOfType(1, false);
    results = LatestResults(*w);
    const DbCompareResultsPtr freshPicked = std::make_shared<DbCompareResults>(results->Results());
    EXPECT_EQ(freshPicked->Pairs.size(), 2u);
    const int32_t picked = SaveFrom([&] { results->SaveComparison(); }, "", "");
    EXPECT_EQ(std::vector<int32_t>({pair, all, views, picked}), std::vector<int32_t>({1, 2, 3, 4}));

    // The list shows each process with what it compares and where it exports.
    {
        frmRunSavedComp list(w.get());
        QtListControl* rows = list.List();
        ASSERT_EQ(rows->Count(), 4);
        const std::string target = "localhost," + std::to_string(sim->Port());
        const std::vector<std::string> expected[] = {
            {"1", "Customers", "Compare Table Customers", sim->ServerName(), "OrvaneDemoSource",
             target, "OrvaneDemoTarget", pairFile + " (HTML)"},
            {"2", "Everything", "Compare All Objects", sim->ServerName(), "OrvaneDemoSource",
             target, "OrvaneDemoTarget", allFile + " (CSV)"},
            {"3", "Views", "Compare All Views - Details"},
            {"4", "Process 4", "Compare Selected Procedures"},
        };
        for (int r = 0; r < 4; ++r)
            for (size_t c = 0; c < expected[r].size(); ++c)
                EXPECT_EQ(rows->CellText(r, static_cast<int>(c)), expected[r][c])
                    << "row " << r << " column " << c;

        // ORV_SCREENSHOT=folder keeps pictures of the list and of the Save dialog.
        if (const char* folder = std::getenv("ORV_SCREENSHOT")) {
            list.show();
            QApplication::processEvents();
            list.grab().save(QString(folder) + "/run-saved-comp.png");
            ComparisonDescription d;
            ASSERT_TRUE(LoadComparisonProcess(Paths().CompsIni, 2, d));
            frmSaveComparison dialog(d);
            dialog.show();
            QApplication::processEvents();
            dialog.grab().save(QString(folder) + "/save-comparison.png");
            list.hide();
        }

        // Rename the third, delete the fourth (the second question answered No keeps it).
        ASSERT_TRUE(list.SelectNumber(3));
        list.askName = [](QWidget*, const std::string& current) -> std::optional<std::string> {
            EXPECT_EQ(current, "Views");
            return std::string("Views, nightly");
        };
        list.RenameCurrent();
        EXPECT_EQ(rows->CellText(2, 1), "Views, nightly");
        ASSERT_TRUE(list.SelectNumber(4));
        env.prompter.answers.push_back(MsgAnswer::No);
        list.DeleteCurrent();
        EXPECT_EQ(rows->Count(), 4);
        list.DeleteCurrent();
        EXPECT_EQ(rows->Count(), 3);
        EXPECT_EQ(env.prompter.messages.back().text,
                  "Delete saved comparison process 4 (Process 4)?");
        ComparisonDescription back;
        EXPECT_FALSE(LoadComparisonProcess(Paths().CompsIni, 4, back));
        ASSERT_TRUE(LoadComparisonProcess(Paths().CompsIni, 3, back));
        EXPECT_EQ(back.Name, "Views, nightly");

        // Run closes the window with the process chosen.
        ASSERT_TRUE(list.SelectNumber(2));
        list.show();
        QTest::mouseClick(list.findChild<QPushButton*>("cmdRun"), Qt::LeftButton);
        EXPECT_EQ(list.Chosen(), 2);
        EXPECT_FALSE(list.isVisible());
    }

    // Run each from the menu with the panels elsewhere: the Target panel on the Source's
    // server and the type selector on triggers.
    const size_t messagesBefore = env.prompter.messages.size();
    w->ServerSelector(1)->setCurrentIndex(0);
    QApplication::processEvents();
    ChooseType(*w, kTypeTrigger);

    toRun = all;
    w->MenuItem("mnuFileRunSavedComp")->trigger();
    results = LatestResults(*w);
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(w->DatabaseList(1)->CurrentText(), "OrvaneDemoTarget");
    EXPECT_EQ(FormatDbCompareReport(results->Results(), ReportFormat::Text),
              FormatDbCompareReport(*freshAll, ReportFormat::Text));
    EXPECT_EQ(ReadTextFile(allFile), Export(*freshAll, ReportFormat::Csv, env.PathOf("f.csv")));

    toRun = views;
    w->RunSavedComparisonCommand();
    results = LatestResults(*w);
    EXPECT_EQ(FormatDbCompareReport(results->Results(), ReportFormat::Text),
              FormatDbCompareReport(*freshViews, ReportFormat::Text));

    toRun = pair;
    w->RunSavedComparisonCommand();
    ASSERT_EQ(verdicts.size(), 2u);
    EXPECT_EQ(verdicts.back(), freshVerdict);
    EXPECT_EQ(w->CurrentType(), kTypeTable);
    EXPECT_EQ(w->ObjectList(0)->CurrentText(), w->ObjectList(1)->CurrentText());
    const std::string html = ReadTextFile(pairFile);
    EXPECT_NE(html.find("Customers"), std::string::npos);
    EXPECT_NE(html.find("different"), std::string::npos);
    EXPECT_EQ(env.prompter.messages.size(), messagesBefore);
}

TEST_F(SavedProcessesEndToEnd, AProcessThatCannotBeSetUpSaysWhyAndRunsNothing) {
    auto w = OpenDemo();
    ComparisonDescription d;
    d.CompType = kCompTypeStructure;
    d.CompSubType = kCompSubTypeAllObjects;
    d.EncObjTypes = "1,0,0,0,0,0,0";
    d.ServerName[0] = "GONE01";
    d.ServerName[1] = sim->ServerName();
    d.DbName[0] = d.DbName[1] = "OrvaneDemoSource";
    ASSERT_EQ(SaveComparisonProcess(Paths().CompsIni, d), 1);
    d.ServerName[0] = sim->ServerName();
    d.DbName[1] = "NoSuchDb";
    ASSERT_EQ(SaveComparisonProcess(Paths().CompsIni, d), 2);
    const std::vector<std::pair<int32_t, std::string>> cases = {
        {1, "Cannot run the comparison - the server GONE01 is no longer stored."},
        {2, "Cannot run the comparison - the Target server " + sim->ServerName() +
                " does not list the database NoSuchDb."},
        {3, "There is no saved comparison process number 3."},
    };
    for (const auto& [number, text] : cases) {
        EXPECT_FALSE(w->RunSavedComparison(number));
        ASSERT_FALSE(env.prompter.messages.empty());
        EXPECT_EQ(env.prompter.messages.back().text.rfind(text, 0), 0u)
            << env.prompter.messages.back().text;
        EXPECT_EQ(LatestResults(*w), nullptr);
    }
    // Ctrl+F5 opens the list (here: chooses process 3) from the main window.
    env.prompter.messages.clear();
    toRun = 3;
    EXPECT_TRUE(w->MenuItem("mnuFileRunSavedComp")->isVisible());
    QTest::keyClick(w.get(), Qt::Key_F5, Qt::ControlModifier);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].text, "There is no saved comparison process number 3.");
}

} // namespace
} // namespace orv
