// The results window of a data comparison over hand-built results: the counts per pair, the
// differing rows side by side with the difference colours, the status filter, the per-column
// counts, the incomplete mark, and the buttons that do not need a server.
#include "compare/comp_line.h"
#include "data_compare_results_fixture.h"
#include "dbcompare/data_sync_script.h"
#include "test_env.h"
#include "ui/main/frm_data_compare_results.h"
#include "ui/tools/frm_data_compare_key.h"
#include "ui/tools/frm_data_compare_progress.h"
#include "ui/tools/frm_sync_script.h"
#include "ui/widgets/qt_text_view.h"

#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace orv {
namespace {

using test::SampleDataResults;
using test::TestEnv;

constexpr int kOrders = 1;
constexpr int kPayments = 2;
constexpr int kLog = 3;

// The difference status a cell's background stands for (-1: none).
int32_t CellColour(const DataCompareRowsModel& model, int row, int column) {
    const QVariant v = model.data(model.index(row, column), Qt::BackgroundRole);
    if (!v.isValid())
        return -1;
    const QColor c = v.value<QBrush>().color();
    for (int32_t s : {LineUnmarked, LineSame, LineChanged, LineOnlyInSource, LineOnlyInTarget}) {
        const Colour k = StatusToColor(s);
        if (c == QColor(k & 0xFF, (k >> 8) & 0xFF, (k >> 16) & 0xFF))
            return s;
    }
    return -2;
}

class DataResultsWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<frmDataCompareResults> Open(std::shared_ptr<DataCompareResults> r = nullptr) {
        if (!r)
            r = SampleDataResults();
        DataCompareRequest request;
        request.Place[0].Server.Name = "SRC01";
        request.Place[0].Database = "Shop";
        request.Place[1].Server.Name = "TGT01";
        request.Place[1].Database = "ShopCopy";
        auto w = std::make_unique<frmDataCompareResults>(r, "Compare Data in All Tables", request);
        w->showScript = [this](const std::string& script, const std::string& covers,
                               const std::string& fileName) {
            scripts.push_back({script, covers, fileName});
        };
        w->show();
        QApplication::processEvents();
        return w;
    }

    struct Shown {
        std::string script, covers, fileName;
    };
    TestEnv env;
    std::vector<Shown> scripts;
};

TEST_F(DataResultsWindowTest, ListsEveryPairWithItsCountsAndStartsOnTheFirstDifference) {
    auto w = Open();
    QTreeWidget* tables = w->TableList();
    ASSERT_EQ(tables->topLevelItemCount(), 6); // five pairs and the totals
    // table, status, compared, identical, different, only in source, only in target, conflicts
    const std::vector<std::vector<std::string>> expected = {
        {"dbo.Customers", "identical", "3", "3", "0", "0", "0", "0"},
        {"dbo.Orders", "different", "8", "4", "2", "1", "1", "0"},
        {"dbo.Payments", "different", "3", "2", "0", "0", "0", "1"},
        {"dbo.Log", "not comparable: no key", "", "", "", "", "", ""},
        {"dbo.Archive", "only in source", "", "", "", "", "", ""},
        {"All tables", "", "14", "9", "2", "1", "1", "1"},
    };
    for (int row = 0; row < 6; ++row)
        for (int col = 0; col < 8; ++col)
            EXPECT_EQ(tables->topLevelItem(row)->text(col).toStdString(),
                      expected[static_cast<size_t>(row)][static_cast<size_t>(col)])
                << "row " << row << " column " << col;
    EXPECT_EQ(tables->topLevelItem(kOrders)->text(9).toStdString(), "OrderID (primary key)");
    EXPECT_EQ(w->CurrentTable(), kOrders);
    EXPECT_FALSE(w->IncompleteLabel()->isVisible());
    EXPECT_EQ(w->windowTitle().toStdString(), "Data Comparison - Compare Data in All Tables");
    // Its help page, from the button and from F1.
    QTest::mouseClick(w->findChild<QPushButton*>("cmdHelp"), Qt::LeftButton);
    QTest::keyClick(w.get(), Qt::Key_F1);
    EXPECT_EQ(env.prompter.helpTopics, (std::vector<int>{510, 510}));
    EXPECT_TRUE(std::filesystem::exists(std::string(ORV_HELP_DIR) + "/510.html"));
    EXPECT_NE(w->PairLabel()->text().toStdString().find("Only in source, not compared: Legacy"),
              std::string::npos);
}

TEST_F(DataResultsWindowTest, ShowsBothValuesOfEachColumnSideBySideColouredWhereTheyDiffer) {
    auto w = Open();
    const DataCompareRowsModel& m = *w->RowModel();
    ASSERT_EQ(m.columnCount(), 8);
    std::vector<std::string> headers;
    for (int c = 0; c < m.columnCount(); ++c)
        headers.push_back(
            m.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString());
    EXPECT_EQ(headers, (std::vector<std::string>{
                           "Status", "OrderID (key)", "CustomerID (source)", "CustomerID (target)",
                           "Total (source)", "Total (target)", "Note (source)", "Note (target)"}));
    // Per row: the texts, then the colour of each cell (-1 none).
    const int n = -1, chg = LineChanged, src = LineOnlyInSource, tgt = LineOnlyInTarget;
    struct Expect {
        std::vector<std::string> texts;
        std::vector<int32_t> colours;
    };
    const std::vector<Expect> rows = {
        {{"different", "2", "11", "11", "10.00", "12.50", "x", "x"}, {n, n, n, n, chg, chg, n, n}},
        {{"different", "3", "12", "12", "5.00", "5.00", "a", "NULL"}, {n, n, n, n, n, n, chg, chg}},
        // A side the row is missing from is empty, not NULL.
        {{"only in source", "5", "13", "", "1.00", "", "NULL", ""},
         {src, src, src, n, src, n, src, n}},
        {{"only in target", "7", "", "14", "", "2.00", "", "new"},
         {tgt, tgt, n, tgt, n, tgt, n, tgt}},
    };
    ASSERT_EQ(m.rowCount(), 4);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 8; ++c) {
            EXPECT_EQ(m.CellText(r, c).toStdString(), rows[size_t(r)].texts[size_t(c)])
                << "row " << r << " column " << c;
            EXPECT_EQ(CellColour(m, r, c), rows[size_t(r)].colours[size_t(c)])
                << "row " << r << " column " << c;
        }
    // A NULL is set apart from a text: grey italics.
    auto italic = [&m](int row, int column) {
        return m.data(m.index(row, column), Qt::FontRole).value<QFont>().italic();
    };
    EXPECT_TRUE(italic(1, 7));  // Note (target) NULL
    EXPECT_FALSE(italic(1, 6)); // Note (source) 'a'
    EXPECT_FALSE(italic(3, 6)); // no source row at all
    // A conflict is yellow all along.
    w->SelectTable(kPayments);
    ASSERT_EQ(w->RowModel()->rowCount(), 1);
    for (int c = 0; c < w->RowModel()->columnCount(); ++c)
        EXPECT_EQ(CellColour(*w->RowModel(), 0, c), LineUnmarked) << c;
    EXPECT_EQ(w->RowModel()->CellText(0, 0).toStdString(), "conflict");
}

TEST_F(DataResultsWindowTest, FiltersRowsByStatusAndCountsRowsPerColumn) {
    auto w = Open();
    const std::vector<std::pair<RowFilter, std::vector<std::string>>> cases = {
        {RowFilter::All, {"2", "3", "5", "7"}},
        {RowFilter::Different, {"2", "3"}},
        {RowFilter::OnlyInSource, {"5"}},
        {RowFilter::OnlyInTarget, {"7"}},
        {RowFilter::Conflict, {}},
    };
    for (const auto& [filter, keys] : cases) {
        w->SetRowFilter(filter);
        std::vector<std::string> shown;
        for (int r = 0; r < w->ShownRowCount(); ++r)
            shown.push_back(w->RowModel()->CellText(r, 1).toStdString());
        EXPECT_EQ(shown, keys) << static_cast<int>(filter);
        EXPECT_EQ(w->ShownLabel()->text().toStdString(),
                  std::to_string(keys.size()) + " of 4 differing rows shown");
    }
    // The combo box drives the same filter; another pair keeps it.
    w->StatusFilter()->setCurrentIndex(w->StatusFilter()->findText("Only in target"));
    EXPECT_EQ(w->ShownRowCount(), 1);
    w->SelectTable(kPayments);
    EXPECT_EQ(w->ShownRowCount(), 0);
    w->SetRowFilter(RowFilter::All);
    w->SelectTable(kOrders);

    // Per column: name, rows differing; then the columns that were not compared.
    QTreeWidget* columns = w->ColumnList();
    std::vector<std::pair<std::string, std::string>> listed;
    for (int r = 0; r < columns->topLevelItemCount(); ++r)
        listed.emplace_back(columns->topLevelItem(r)->text(0).toStdString(),
                            columns->topLevelItem(r)->text(1).toStdString());
    EXPECT_EQ(listed,
              (std::vector<std::pair<std::string, std::string>>{{"CustomerID", "0"},
                                                                {"Total", "1"},
                                                                {"Note", "1"},
                                                                {"Legacy", "only in source"},
                                                                {"Stamp", "ignored"}}));
}

TEST_F(DataResultsWindowTest, AStoppedRunIsMarkedIncompleteWithItsCutPair) {
    auto r = SampleDataResults();
    r->Outcome = RunOutcome::Cancelled;
    r->Problem = "Stopped by the user.";
    r->Tables[kOrders].Incomplete = true;
    auto w = Open(r);
    EXPECT_EQ(w->windowTitle().toStdString(),
              "Data Comparison - Compare Data in All Tables (incomplete)");
    EXPECT_TRUE(w->IncompleteLabel()->isVisible());
    const std::string banner = w->IncompleteLabel()->text().toStdString();
    EXPECT_NE(banner.find("stopped: Stopped by the user."), std::string::npos) << banner;
    EXPECT_EQ(w->TableList()->topLevelItem(kOrders)->text(1).toStdString(),
              "different (incomplete)");
}

TEST_F(DataResultsWindowTest, ButtonsFollowTheChosenPair) {
    auto w = Open();
    struct Case {
        int table;
        bool key, script;
    };
    // Orders: a primary key, differs. Payments: a picked key (may be picked again), differs.
    // Customers: identical. Log: no key. Archive: one side only.
    for (const Case& c : {Case{kOrders, false, true}, Case{kPayments, true, true},
                          Case{0, false, false}, Case{kLog, true, false}, Case{4, false, false}}) {
        w->SelectTable(c.table);
        EXPECT_EQ(w->KeyButton()->isEnabled(), c.key) << c.table;
        EXPECT_EQ(w->ScriptButton()->isEnabled(), c.script) << c.table;
        EXPECT_TRUE(w->ScriptAllButton()->isEnabled());
    }
}

TEST_F(DataResultsWindowTest, SyncScriptCoversTheChosenPairOrEveryDifferingPair) {
    auto w = Open();
    w->SelectTable(kOrders);
    ASSERT_TRUE(w->ShowSyncScript(false));
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_EQ(scripts[0].covers, "dbo.Orders");
    EXPECT_EQ(scripts[0].fileName, "sync_dbo.Orders");
    ASSERT_TRUE(w->ShowSyncScript(true));
    ASSERT_EQ(scripts.size(), 2u);
    EXPECT_EQ(scripts[1].covers, "all differing tables");
    // An identical pair has nothing to script: a message, no window.
    w->SelectTable(0);
    EXPECT_FALSE(w->ShowSyncScript(false));
    EXPECT_EQ(scripts.size(), 2u);
    ASSERT_FALSE(env.prompter.messages.empty());
    EXPECT_EQ(env.prompter.messages.back().title, "No Script");
}

TEST_F(DataResultsWindowTest, CopiesAndPrintsTheSummaryAndTheShownRows) {
    auto w = Open();
    w->SetRowFilter(RowFilter::Different);
    w->CopyToClipboard();
    const std::string text = env.prompter.clipboard;
    EXPECT_NE(text.find("Status\tOrderID (key)\tCustomerID (source)\tCustomerID (target)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("different\t2\t11\t11\t10.00\t12.50\tx\tx\r\n"), std::string::npos);
    EXPECT_NE(text.find("different\t3\t12\t12\t5.00\t5.00\ta\tNULL\r\n"), std::string::npos);
    EXPECT_EQ(text.find("only in source\t5"), std::string::npos);

    // Print puts the same report on paper (here a PDF file).
    const std::string pdf = env.PathOf("results.pdf");
    w->PrintView()->SetPrintOutputFile(QString::fromStdString(pdf));
    QTest::mouseClick(w->findChild<QPushButton*>("cmdPrint"), Qt::LeftButton);
    EXPECT_GT(std::filesystem::file_size(pdf), 0u);
    EXPECT_EQ(w->PrintView()->Text(), w->ReportText());
    EXPECT_TRUE(w->Printed());
}

TEST_F(DataResultsWindowTest, APrintTheUserDeclinedIsNotRememberedAsPrinted) {
    // Saved with the results, a remembered print makes every replay print.
    auto w = Open();
    env.prompter.hasPrinter = false;
    env.prompter.answers.push_back(MsgAnswer::No); // no PDF instead
    QTest::mouseClick(w->findChild<QPushButton*>("cmdPrint"), Qt::LeftButton);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Print");
    EXPECT_FALSE(w->Printed());
    env.prompter.fileAnswers.push_back(env.PathOf("results.pdf"));
    QTest::mouseClick(w->findChild<QPushButton*>("cmdPrint"), Qt::LeftButton);
    EXPECT_TRUE(w->Printed());
}

TEST_F(DataResultsWindowTest, ExportsHtmlOrCsvAllOrNothingAndRefusesOtherNames) {
    auto w = Open();
    const std::string html = env.PathOf("report.html");
    const std::string csv = env.PathOf("rows.csv");
    env.prompter.fileAnswers = {html, csv, env.PathOf("report.txt")};
    w->ExportToFile();
    EXPECT_EQ(w->ExportedPath(), html);
    EXPECT_NE(test::ReadTextFile(html).find("Orders"), std::string::npos);
    w->ExportToFile();
    EXPECT_EQ(w->ExportedPath(), csv);
    EXPECT_NE(test::ReadTextFile(csv).find("dbo.Orders"), std::string::npos);
    const size_t before = env.prompter.messages.size();
    w->ExportToFile();
    ASSERT_EQ(env.prompter.messages.size(), before + 1);
    EXPECT_EQ(env.prompter.messages.back().title, "Cannot Export");
    EXPECT_EQ(w->ExportedPath(), csv);
}

TEST(SyncScriptWindowTest, SavesTheScriptAsItIsAndShowsItWithoutRunningIt) {
    TestEnv env;
    const std::string script = "BEGIN TRANSACTION;\r\nUPDATE [dbo].[T] SET [a] = N'\xC3\xA9';\r\n"
                               "COMMIT TRANSACTION;\r\n";
    frmSyncScript w(script, "dbo.T", "sync_dbo/T");
    w.show();
    QApplication::processEvents();
    EXPECT_EQ(w.windowTitle().toStdString(), "Synchronisation Script - dbo.T");
    EXPECT_EQ(w.ScriptView()->toPlainText().toStdString(),
              "BEGIN TRANSACTION;\nUPDATE [dbo].[T] SET [a] = N'\xC3\xA9';\nCOMMIT TRANSACTION;\n");
    // Cancelled: nothing written.
    EXPECT_FALSE(w.SaveToFile());
    ASSERT_EQ(env.prompter.fileRequests.size(), 1u);
    // The proposed name cannot hold a path separator.
    EXPECT_NE(env.prompter.fileRequests[0].proposedPath.find("sync_dbo_T.sql"), std::string::npos);
    const std::string path = env.PathOf("out.sql");
    env.prompter.fileAnswers = {path};
    ASSERT_TRUE(w.SaveToFile());
    EXPECT_EQ(w.SavedPath(), path);
    EXPECT_EQ(test::ReadTextFile(path), script);
    // A folder that does not exist: a message, no file.
    env.prompter.fileAnswers = {env.PathOf("missing/out.sql")};
    EXPECT_FALSE(w.SaveToFile());
    EXPECT_EQ(env.prompter.messages.back().title, "Cannot Save");
}

} // namespace
} // namespace orv

namespace orv {
namespace {

// Not a check: pictures of the new windows for the README and for looking at them. Run with
// --gtest_also_run_disabled_tests; ORV_SHOT_DIR names the folder (default the working one).
TEST(DataCompareWindowPictures, DISABLED_SaveEachWindow) {
    TestEnv env;
    const char* dir = std::getenv("ORV_SHOT_DIR");
    const QString folder = QString::fromUtf8(dir ? dir : ".") + "/";
    DataCompareRequest request;
    frmDataCompareResults results(test::SampleDataResults(), "Compare Data in All Tables", request);
    results.resize(1280, 760);
    results.show();
    results.SelectTable(kOrders);
    QApplication::processEvents();
    EXPECT_TRUE(results.grab().save(folder + "data-results.png"));

    frmDataCompareKey key("dbo.Log", "no key.",
                          {{"LoggedAt", "datetime", "datetime", false},
                           {"Source", "varchar(20)", "varchar(20)", false},
                           {"Message", "nvarchar(400)", "nvarchar(400)", true}},
                          {"LoggedAt", "Source"});
    key.show();
    QApplication::processEvents();
    EXPECT_TRUE(key.grab().save(folder + "data-key.png"));

    frmSyncScript script(SyncScriptFromResults(*test::SampleDataResults(), {1}), "dbo.Orders",
                         "sync_dbo.Orders");
    script.show();
    QApplication::processEvents();
    EXPECT_TRUE(script.grab().save(folder + "data-script.png"));

    frmDataCompareProgress progress;
    QObject::connect(&progress, &frmDataCompareProgress::started, &progress, [&] {
        QTimer::singleShot(600, &progress, [&] {
            EXPECT_TRUE(progress.grab().save(folder + "data-progress.png"));
            progress.Stop();
        });
    });
    progress.ShowUp("Compare Data in All Tables", request,
                    [](const DataCompareRequest& r, ProgressSink& sink, const CancelToken& cancel) {
                        sink.Begin("Comparing the data of dbo.Orders", 0);
                        int64_t n = 0;
                        while (!cancel.cancelRequested()) {
                            n += 1000;
                            sink.Advance(2000, "dbo.Orders: " + std::to_string(n) +
                                                   " source rows, " + std::to_string(n - 250) +
                                                   " target rows read");
                            if (r.RowsRead)
                                r.RowsRead(n, n - 250);
                            std::this_thread::sleep_for(std::chrono::milliseconds(20));
                        }
                        return DataCompareResultsPtr();
                    });
}

} // namespace
} // namespace orv
