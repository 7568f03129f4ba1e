// The data comparison's progress window over an engine that reports like the real one (steps,
// rows read on each side) and waits to be stopped, and the key dialog.
#include "test_env.h"
#include "ui/tools/frm_data_compare_key.h"
#include "ui/tools/frm_data_compare_progress.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace orv {
namespace {

using test::TestEnv;

// Reads rows until stopped, then gives back the pair it was in, cut short.
DataCompareResultsPtr ReadUntilStopped(const DataCompareRequest& request, ProgressSink& sink,
                                       const CancelToken& cancel) {
    sink.Begin("Comparing rows", 2);
    sink.Advance(0, "dbo.Orders");
    int64_t rows = 0;
    while (!cancel.cancelRequested()) {
        rows += 100;
        if (request.RowsRead)
            request.RowsRead(rows, rows - 50);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    auto r = std::make_shared<DataCompareResults>();
    r->Outcome = RunOutcome::Cancelled;
    r->Problem = kStoppedByUser;
    DataTableResult t;
    t.Status = DataPairStatus::Different;
    t.Incomplete = true;
    t.RowsCompared = rows;
    r->Tables.push_back(t);
    return r;
}

TEST(DataCompareProgressTest, ShowsRowsReadOnEachSideAndStopKeepsAnIncompleteResult) {
    TestEnv env;
    frmDataCompareProgress w;
    DataCompareRequest request;
    int64_t chained = 0;
    request.RowsRead = [&chained](int64_t s, int64_t) { chained = s; };
    std::string rowsText, tableText;
    QObject::connect(&w, &frmDataCompareProgress::started, &w, [&] {
        // Let it read a while, then look and press Stop.
        QTimer::singleShot(400, &w, [&] {
            QApplication::processEvents();
            rowsText = w.RowsLabel()->text().toStdString();
            tableText = w.TableLabel()->text().toStdString();
            QTest::mouseClick(w.StopButton(), Qt::LeftButton);
        });
    });
    DataCompareResultsPtr r =
        w.ShowUp("Compare Data in Single Pair of Tables", request, ReadUntilStopped);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Outcome, RunOutcome::Cancelled);
    EXPECT_FALSE(r->Complete());
    ASSERT_EQ(r->Tables.size(), 1u);
    EXPECT_TRUE(r->Tables[0].Incomplete);
    EXPECT_TRUE(w.StopRequested());
    EXPECT_FALSE(w.Running());
    EXPECT_EQ(tableText, "dbo.Orders");
    EXPECT_EQ(rowsText.rfind("Rows read - Source: ", 0), 0u) << rowsText;
    EXPECT_NE(rowsText, "Rows read - Source: 0    Target: 0");
    // The caller's own callback still hears of the rows, and the last count is shown.
    EXPECT_GT(chained, 0);
    EXPECT_EQ(w.RowsRead(0), chained);
    EXPECT_EQ(w.windowTitle().toStdString(),
              "Comparing Data - Compare Data in Single Pair of Tables");
}

TEST(DataCompareProgressTest, AnEngineThatThrowsOrGivesNothingEndsAsAFailedRun) {
    TestEnv env;
    DataCompareRequest request;
    request.Place[0].Server.Name = "SRC";
    request.Place[1].Database = "Copy";
    const std::vector<std::pair<DataCompareEngine, std::string>> engines = {
        {[](const DataCompareRequest&, ProgressSink&, const CancelToken&) -> DataCompareResultsPtr {
             throw std::runtime_error("lost the link");
         },
         "lost the link"},
        {[](const DataCompareRequest&, ProgressSink&, const CancelToken&) {
             return DataCompareResultsPtr();
         },
         "The comparison ended without results."},
    };
    for (const auto& [engine, problem] : engines) {
        frmDataCompareProgress w;
        DataCompareResultsPtr r = w.ShowUp("x", request, engine);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->Outcome, RunOutcome::Failed);
        EXPECT_EQ(r->Problem, problem);
        EXPECT_EQ(r->ServerName[0], "SRC");
        EXPECT_EQ(r->DbName[1], "Copy");
    }
}

TEST(DataCompareKeyDialogTest, TheKeyIsTheTickedColumnsInTheOrderTheyWereTicked) {
    TestEnv env;
    const std::vector<KeyColumnChoice> columns = {
        {"Region", "char(2)", "char(2)", false},
        {"Code", "varchar(10)", "varchar(10)", false},
        {"Note", "nvarchar(40)", "nvarchar(40)", true},
    };
    frmDataCompareKey none("dbo.Rates", "no key.", columns, {});
    EXPECT_FALSE(none.OkButton()->isEnabled());
    EXPECT_EQ(none.KeyLabel()->text().toStdString(), "Key: none ticked yet");
    ASSERT_TRUE(none.SetTicked("Code", true));
    ASSERT_TRUE(none.SetTicked("Region", true));
    EXPECT_FALSE(none.SetTicked("Missing", true));
    EXPECT_TRUE(none.OkButton()->isEnabled());
    EXPECT_EQ(none.Picked(), (std::vector<std::string>{"Code", "Region"}));
    EXPECT_EQ(none.ColumnList()->topLevelItem(0)->text(3).toStdString(), "2");
    EXPECT_EQ(none.ColumnList()->topLevelItem(1)->text(3).toStdString(), "1");
    none.SetTicked("Code", false);
    EXPECT_EQ(none.Picked(), (std::vector<std::string>{"Region"}));
    EXPECT_EQ(none.KeyLabel()->text().toStdString(), "Key: Region");

    // A remembered key starts ticked in its order; Skip gives no key.
    frmDataCompareKey remembered("dbo.Rates", "no key.", columns, {"Note", "Code"});
    EXPECT_EQ(remembered.Picked(), (std::vector<std::string>{"Note", "Code"}));
    QTimer::singleShot(0, &remembered, [&] { remembered.SkipButton()->click(); });
    EXPECT_TRUE(remembered.ShowUp().empty());
    frmDataCompareKey accepted("dbo.Rates", "no key.", columns, {"Region"});
    QTimer::singleShot(0, &accepted, [&] { accepted.OkButton()->click(); });
    EXPECT_EQ(accepted.ShowUp(), std::vector<std::string>{"Region"});
}

} // namespace
} // namespace orv
