// Whole-database comparisons end to end: the main window, its progress window, the real engine
// against the simulator's demo databases, and the results window, with nothing stood in for.
#include "catalog/catalog_snapshot.h"
#include "catalog/object_types.h"
#include "compare/comp_line.h"
#include "core/registry.h"
#include "core/settings.h"
#include "dbcompare/run_settings.h"
#include "event_loop_gaps.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_db_compare_results.h"
#include "ui/main/frm_main.h"
#include "ui/tools/frm_db_compare_progress.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"

#include <QAction>

#include <filesystem>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

using test::GapMeter;

std::unique_ptr<SqlsimProcess> StartSim(const std::vector<std::string>& files,
                                        std::vector<std::string> extraArgs = {},
                                        std::vector<std::string> texts = {}) {
    SqlsimOptions o;
    o.version = "10.50.1600.1";
    o.scriptFiles = files;
    o.scriptTexts = std::move(texts);
    o.extraArgs = std::move(extraArgs);
    auto sim = std::make_unique<SqlsimProcess>(o);
    std::string error;
    EXPECT_TRUE(sim->Start(error)) << error;
    return sim;
}

void StoreServer(const std::string& name, const SqlsimProcess& sim, const std::string& mruDb) {
    ServerEntry e;
    e.Name = name;
    e.SQLAuth = true;
    e.LoginName = sim.Options().login;
    e.Pwd = sim.Options().password;
    e.MRUDb = mruDb;
    ServerAddToList(e);
}

class DbCompareEndToEnd : public ::testing::Test {
protected:
    // The demo pair: OrvaneDemoSource in the Source panel, OrvaneDemoTarget in the Target one.
    std::unique_ptr<frmMain> OpenDemo() {
        sim =
            StartSim({test::FixtureFile("demo_source.sql"), test::FixtureFile("demo_target.sql")});
        StoreServer(sim->ServerName(), *sim, "OrvaneDemoSource");
        StoreServer("localhost," + std::to_string(sim->Port()), *sim, "OrvaneDemoTarget");
        SetRegDword(HKEY_CURRENT_USER, kKeyServers, "AutoConnect", 1);
        MainWindowDialogs dialogs;
        dialogs.showComparison = [this](QWidget*, const ComparisonReportRequest&) {
            verdicts.push_back(gstrReportText);
        };
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

    static frmDbCompareResults* LatestResults(frmMain& w) {
        const auto all = w.findChildren<frmDbCompareResults*>();
        return all.isEmpty() ? nullptr : all.last();
    }

    // The colours of each line of a view.
    static std::vector<QColor> LineColours(QtTextView& view) {
        std::vector<QColor> out;
        for (int64_t line = 0; line < view.Lines(); ++line)
            out.push_back(view.BackgroundAt(view.LineStart(line)));
        return out;
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
    std::vector<std::string> verdicts;
};

TEST_F(DbCompareEndToEnd, F8ComparesTheDemoAndEachPairMatchesCompareSelectedObjects) {
    auto w = OpenDemo();
    GapMeter gaps;
    QTest::keyClick(w.get(), Qt::Key_F8);
    frmDbCompareResults* results = LatestResults(*w);
    ASSERT_NE(results, nullptr);
    EXPECT_LE(gaps.MaxGapMs(), test::kLongestHealthyGapMs)
        << "the event loop stalled during the run";
    const DbCompareResults& r = results->Results();
    ASSERT_TRUE(r.Complete()) << r.Problem;
    EXPECT_FALSE(results->IncompleteLabel()->isVisible());
    EXPECT_TRUE(results->isVisible());
    EXPECT_FALSE(w->Busy());
    EXPECT_EQ(r.Types, (std::vector<ObjectType>{50, 10, 20, 30, 40, 60}));
    const StatusCounts totals = r.Totals();
    EXPECT_GT(totals[PairStatus::Different], 0);
    EXPECT_GT(totals[PairStatus::Identical], 0);
    // The summary's total row is the model's count.
    QTreeWidgetItem* total = results->Summary()->topLevelItem(6);
    ASSERT_NE(total, nullptr);
    EXPECT_EQ(total->text(0).toStdString(), "All types");
    EXPECT_EQ(total->text(6).toLongLong(), totals.Total());
    EXPECT_EQ(total->text(2).toLongLong(), totals[PairStatus::Different]);
    EXPECT_EQ(results->ShownCount(), static_cast<int>(r.Pairs.size()));

    // Procedures and views, every pair found on both sides: shown in the panels by the window's
    // double-click, judged there by Compare Selected Objects, which must agree, and marked in
    // the same colours.
    results->SetStatusFilter(StatusFilter::All);
    int judged = 0;
    for (int row = 0; row < results->ShownCount(); ++row) {
        const PairVerdict* p = results->ShownPair(row);
        if ((p->Type != kTypeProcedure && p->Type != kTypeView) ||
            (p->Status != PairStatus::Identical && p->Status != PairStatus::Different))
            continue;
        results->SelectRow(row);
        results->ChooseCurrentPair();
        QApplication::processEvents();
        EXPECT_EQ(w->CurrentType(), p->Type);
        const std::string name = p->Source.Name;
        EXPECT_NE(w->TextView(0)->Text().find(name), std::string::npos) << name;
        EXPECT_NE(w->TextView(1)->Text().find(name), std::string::npos) << name;
        verdicts.clear();
        w->MenuItem("mnuComparisonSelObj")->trigger();
        ASSERT_EQ(verdicts.size(), 1u) << name;
        const bool identical = verdicts[0].find("are identical.") != std::string::npos;
        EXPECT_EQ(identical, p->Status == PairStatus::Identical) << name << "\n" << verdicts[0];
        if (p->Status == PairStatus::Different) {
            EXPECT_EQ(LineColours(*results->SourceView()), LineColours(*w->TextView(0))) << name;
            EXPECT_EQ(LineColours(*results->TargetView()), LineColours(*w->TextView(1))) << name;
        }
        ++judged;
    }
    EXPECT_GT(judged, 10);
    EXPECT_TRUE(env.prompter.messages.empty());

    // Export from the window writes the HTML report of this run.
    const std::string file = env.PathOf("demo.html");
    env.prompter.fileAnswers.push_back(file);
    QTest::mouseClick(results->findChild<QPushButton*>("cmdCopyToFile"), Qt::LeftButton);
    const std::string html = test::ReadTextFile(file);
    EXPECT_NE(html.find("OrvaneDemoTarget"), std::string::npos);
    EXPECT_NE(html.find("usp_Report_ReorderList"), std::string::npos);
}

TEST_F(DbCompareEndToEnd, BulkDetailsAndSelectiveRunsOnTheDemo) {
    auto w = OpenDemo();
    w->MenuItem("mnuComparisonAllObjects(1)")->trigger();
    frmDbCompareResults* details = LatestResults(*w);
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->windowTitle().toStdString(),
              "Structure Comparison - Compare All Procedures - Details");
    EXPECT_TRUE(details->Results().Details);
    EXPECT_EQ(details->Results().Types, std::vector<ObjectType>{kTypeProcedure});
    for (const PairVerdict& p : details->Results().Pairs)
        EXPECT_EQ(p.Type, kTypeProcedure);

    w->MenuItem("mnuComparisonAllObjects_Simple(1)")->trigger();
    frmDbCompareResults* simple = LatestResults(*w);
    ASSERT_NE(simple, nullptr);
    EXPECT_FALSE(simple->Results().Details);
    EXPECT_EQ(simple->Results().Pairs.size(), details->Results().Pairs.size());
    // The details report adds the differing lines to the simple one.
    EXPECT_GT(details->ReportText().size(), simple->ReportText().size());
    // Closed, a results window goes away.
    QPointer<frmDbCompareResults> closing = details;
    QTest::mouseClick(details->findChild<QPushButton*>("cmdExit"), Qt::LeftButton);
    QTRY_VERIFY(closing.isNull());

    // Two procedures picked in the Source list: they and their namesakes only.
    QtComboControl* types = w->TypeSelector();
    types->setCurrentIndex(types->findData(kTypeProcedure));
    QApplication::processEvents();
    QtListControl* source = w->ObjectList(0);
    for (int r = 0; r < source->Count(); ++r)
        source->SetSelected(r, false);
    int picked = 0;
    for (int r = 0; r < source->Count() && picked < 2; ++r) {
        const std::string name = source->CellText(r, 0);
        if (name.find("usp_Report_ReorderList") != std::string::npos ||
            name.find("usp_Customer_Get") != std::string::npos) {
            source->MakeVisible(r);
            const QRect rect = source->visualItemRect(source->topLevelItem(r));
            QTest::mouseClick(source->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              rect.center());
            ++picked;
        }
    }
    ASSERT_EQ(picked, 2);
    for (int r = 0; r < w->ObjectList(1)->Count(); ++r)
        w->ObjectList(1)->SetSelected(r, false);
    w->MenuItem("mnuComparisonAllObjectsSelective_Simple(1)")->trigger();
    frmDbCompareResults* selective = LatestResults(*w);
    ASSERT_NE(selective, nullptr);
    std::vector<std::string> names;
    for (const PairVerdict& p : selective->Results().Pairs)
        names.push_back(p.Source.Name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"usp_Customer_Get", "usp_Report_ReorderList"}));
    EXPECT_EQ(selective->Results().Kind, DbCompareKind::Selective);
    EXPECT_TRUE(env.prompter.messages.empty());
}

TEST_F(DbCompareEndToEnd, StopLeavesTheResultsMarkedIncompleteAndTheNextRunWorks) {
    // The Target side of the run is a server that answers nothing for half a minute.
    auto w = OpenDemo();
    auto stalling = StartSim({test::FixtureFile("demo_target.sql")}, {"--fault-stall", "30"});
    const ServerEntry healthy = PanelServers()[1];
    PanelServers()[1].Name = stalling->ServerName();
    std::string stopLabel;
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&] {
        auto* progress = qobject_cast<frmDbCompareProgress*>(QApplication::activeModalWidget());
        if (!progress || !progress->Running())
            return;
        press.stop();
        QTimer::singleShot(300, progress, [progress, &stopLabel] {
            QTest::mouseClick(progress->StopButton(), Qt::LeftButton);
            stopLabel = progress->StepLabel()->text().toStdString();
        });
    });
    press.start(20);
    QElapsedTimer took;
    took.start();
    QTest::mouseClick(w->findChild<QPushButton*>("cmdCompareAll"), Qt::LeftButton);
    EXPECT_LT(took.elapsed(), 15000) << "Stop did not end the run";
    frmDbCompareResults* results = LatestResults(*w);
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(stopLabel, "Stopping - finishing the current object...");
    EXPECT_EQ(results->Results().Outcome, RunOutcome::Cancelled);
    EXPECT_FALSE(results->Results().AllIdentical());
    EXPECT_TRUE(results->IncompleteLabel()->isVisible());
    EXPECT_NE(results->IncompleteLabel()->text().indexOf("stopped"), -1);
    EXPECT_NE(results->windowTitle().indexOf("(incomplete)"), -1);
    EXPECT_NE(results->ReportText().find("INCOMPLETE"), std::string::npos);
    // A stop is the user's own doing: no message.
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_FALSE(w->Busy());

    PanelServers()[1] = healthy;
    QTest::mouseClick(w->findChild<QPushButton*>("cmdCompareAll"), Qt::LeftButton);
    frmDbCompareResults* again = LatestResults(*w);
    ASSERT_NE(again, results);
    EXPECT_TRUE(again->Results().Complete()) << again->Results().Problem;
}

TEST_F(DbCompareEndToEnd, ALinkDroppedDuringTheRunIsToldAndTheResultsAreMarkedIncomplete) {
    auto w = OpenDemo();
    auto dropping =
        StartSim({test::FixtureFile("demo_target.sql")}, {"--fault-drop-after-rows", "7"});
    const ServerEntry healthy = PanelServers()[1];
    PanelServers()[1].Name = dropping->ServerName();
    QTest::mouseClick(w->findChild<QPushButton*>("cmdCompareAll"), Qt::LeftButton);
    frmDbCompareResults* results = LatestResults(*w);
    ASSERT_NE(results, nullptr);
    const DbCompareResults& r = results->Results();
    EXPECT_EQ(r.Outcome, RunOutcome::Failed);
    EXPECT_FALSE(r.Problem.empty());
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Compare");
    EXPECT_EQ(env.prompter.messages[0].text,
              "The comparison did not complete: " + r.Problem +
                  "\r\n\r\nThe results show the objects compared before it ended.");
    EXPECT_TRUE(results->IncompleteLabel()->isVisible());
    EXPECT_NE(results->IncompleteLabel()->text().indexOf("failed"), -1);
    EXPECT_FALSE(w->Busy());
    PanelServers()[1] = healthy;
}

// File > Save Snapshot through the real menu, file dialog answer and progress window: the file
// holds the Target panel's database, and that snapshot compares identical with it; a file that
// cannot be written is a message box and no file.
TEST_F(DbCompareEndToEnd, SaveSnapshotWritesThePanelsDatabaseAndAFailureIsAMessage) {
    auto w = OpenDemo();
    QAction* save = w->MenuItem("mnuFileSaveSnapshot(1)");
    ASSERT_NE(save, nullptr);
    EXPECT_TRUE(save->isVisible());
    const std::string file = env.PathOf("target.orvsnap");
    env.prompter.fileAnswers.push_back(file);
    save->trigger();
    ASSERT_EQ(env.prompter.fileRequests.size(), 1u);
    EXPECT_EQ(env.prompter.fileRequests[0].title, "Save Snapshot");
    EXPECT_EQ(env.prompter.fileRequests[0].proposedPath, "OrvaneDemoTarget.orvsnap");
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(env.prompter.messages[0].title, "Save Snapshot");
    EXPECT_EQ(env.prompter.messages[0].text,
              "The snapshot of OrvaneDemoTarget was saved to " + file + ".");
    EXPECT_FALSE(w->Busy());

    auto snapshot = std::make_shared<CatalogSnapshot>();
    std::string error;
    ASSERT_TRUE(ReadSnapshotFile(file, *snapshot, error)) << error;
    EXPECT_EQ(snapshot->Header.Database, "OrvaneDemoTarget");
    DbCompareRequest request;
    ApplyCurrentSettings(request);
    request.Server[0] = request.Server[1] = PanelServers()[1];
    request.Database[0] = request.Database[1] = "OrvaneDemoTarget";
    request.Snapshot[0] = snapshot;
    request.SnapshotFile[0] = file;
    NullProgressSink sink;
    const CancelToken cancel;
    const DbCompareResultsPtr r = RunDbCompare(request, sink, cancel);
    ASSERT_TRUE(r->Complete()) << r->Problem;
    for (const PairVerdict& p : r->Pairs)
        EXPECT_TRUE(p.Status == PairStatus::Identical || p.Status == PairStatus::NotComparable)
            << p.Source.Name;

    const std::string nowhere = env.PathOf("missing/folder/x.orvsnap");
    env.prompter.fileAnswers.push_back(nowhere);
    w->MenuItem("mnuFileSaveSnapshot(0)")->trigger();
    ASSERT_EQ(env.prompter.messages.size(), 2u);
    EXPECT_EQ(env.prompter.messages[1].icon, MsgIcon::Warning);
    EXPECT_EQ(env.prompter.messages[1].title, "Cannot Save Snapshot");
    EXPECT_EQ(env.prompter.messages[1].text.rfind(
                  "The snapshot file " + nowhere + " could not be written: ", 0),
              0u)
        << env.prompter.messages[1].text;
    EXPECT_FALSE(std::filesystem::exists(nowhere));
    EXPECT_FALSE(w->Busy());
}

} // namespace
} // namespace orv
