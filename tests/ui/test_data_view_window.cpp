// The data view window against the simulator: what it says when it cannot show a table, what a
// full load shows, and Stop, Exit, Esc and closing while it loads.
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/tools/frm_data_view.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/gauge.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;

// "INSERT INTO t VALUES (1, 'n 1'), ..." in batches the simulator takes in one go.
std::string NumberedTable(const std::string& name, int rows, const std::string& filler = "") {
    std::string sql = "USE DvShop\nGO\nCREATE TABLE dbo." + name +
                      " (Id int NOT NULL, Label varchar(4000) NULL)\nGO\n";
    for (int first = 1; first <= rows; first += 200) {
        sql += "INSERT INTO dbo." + name + " VALUES ";
        for (int i = first; i < first + 200 && i <= rows; ++i) {
            sql += (i == first ? "(" : ", (") + std::to_string(i) + ", 'n " + std::to_string(i) +
                   filler + "')";
        }
        sql += "\nGO\n";
    }
    return sql;
}

class DataViewWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        SqlsimOptions options;
        options.scriptFiles = {test::FixtureFile("dv_shop.sql")};
        options.scriptTexts = {NumberedTable("Numbers1000", 1000), NumberedTable("Numbers125", 125),
                               NumberedTable("Wide", 1000, std::string(2000, 'w'))};
        sim_ = new SqlsimProcess(options);
        std::string error;
        if (!sim_->Start(error))
            startError_ = error;
    }
    static void TearDownTestSuite() {
        delete sim_;
        sim_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(startError_.empty()) << startError_;
        ServerEntry& panel = PanelServers()[0];
        panel = ServerEntry{};
        panel.Name = sim_->ServerName();
        panel.SQLAuth = true;
        panel.LoginName = "sa";
        panel.Pwd = sim_->Options().password;
    }
    void TearDown() override { PanelServers()[0] = ServerEntry{}; }

    std::string LongName(const std::string& table) const {
        return table + " (Database: DvShop, Server: " + sim_->ServerName() + ")";
    }

    int32_t ObjectId(const std::string& table) {
        RecordsetPtr rs;
        int32_t errNumber = 0;
        std::string errText;
        ExecAdoCmd(PanelServers()[0], kAdCmdText,
                   "SELECT id FROM sysobjects WHERE name = '" + table + "'", rs, "DvShop",
                   errNumber, errText);
        EXPECT_TRUE(rs && !rs->IsEOF()) << errText;
        return rs && !rs->IsEOF() ? static_cast<int32_t>(rs->Value(0).Long()) : 0;
    }

    // Shows the window for a table; `step` runs on every pass of the event loop while the window
    // is up and gets to close it. A window still open after 60 s is closed as a failure.
    bool Show(frmDataView& w, const std::string& table, std::function<void(frmDataView&)> step) {
        QTimer timer;
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [&] { step(w); });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] {
            ADD_FAILURE() << "the window did not close";
            w.done(0);
        });
        timer.start();
        guard.start(60000);
        return w.ShowUp("[dbo].[" + table + "]", table, "DvShop", 0, ObjectId(table));
    }

    // Closes the window once loading has finished, after `inspect` has looked at it.
    static std::function<void(frmDataView&)> AfterLoad(std::function<void(frmDataView&)> inspect) {
        auto done = std::make_shared<bool>(false);
        return [inspect, done](frmDataView& w) {
            if (*done || !w.Activated() || w.Loading())
                return;
            *done = true;
            inspect(w);
            Button(w, "cmdExit")->click();
        };
    }

    static QLabel* Label(frmDataView& w, const char* name) {
        auto* l = w.findChild<QLabel*>(name);
        EXPECT_NE(l, nullptr) << name;
        return l;
    }
    static QPushButton* Button(frmDataView& w, const char* name) {
        auto* b = w.findChild<QPushButton*>(name);
        EXPECT_NE(b, nullptr) << name;
        return b;
    }
    static std::string Text(frmDataView& w, const char* name) {
        return Label(w, name)->text().toStdString();
    }

    test::TestEnv env;
    static SqlsimProcess* sim_;
    static std::string startError_;
};

SqlsimProcess* DataViewWindow::sim_ = nullptr;
std::string DataViewWindow::startError_;

TEST_F(DataViewWindow, EmptyTableIsExplainedAndNoWindowOpens) {
    frmDataView w;
    bool stepped = false;
    EXPECT_FALSE(Show(w, "Empty", [&](frmDataView&) { stepped = true; }));
    ASSERT_FALSE(env.prompter.messages.empty());
    const ShownMessage& m = env.prompter.messages.back();
    EXPECT_EQ(m.icon, MsgIcon::Information);
    EXPECT_EQ(m.title, "View Data");
    EXPECT_EQ(m.text, "Table " + LongName("Empty") + " doesn't contain any data.");
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(stepped) << "no event loop ran for a window";
    EXPECT_EQ(DataViewLoaded(), 0);
    EXPECT_EQ(CurrentDataView(), nullptr);
}

TEST_F(DataViewWindow, FailedCountIsExplainedAndNoWindowOpens) {
    frmDataView w;
    EXPECT_FALSE(w.ShowUp("NoSuchTable", "NoSuchTable", "DvShop", 0, 0));
    ASSERT_FALSE(env.prompter.messages.empty());
    const ShownMessage& m = env.prompter.messages.back();
    EXPECT_EQ(m.icon, MsgIcon::Warning);
    EXPECT_EQ(m.title, "View Data");
    EXPECT_EQ(m.text, "Error while reading data from table " + LongName("NoSuchTable") + ".");
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(DataViewLoaded(), 0);
}

TEST_F(DataViewWindow, FullLoadShowsLabelsHeadersRowNumbersAndNulls) {
    frmDataView w;
    EXPECT_EQ(DataViewLoaded(), 1);
    EXPECT_EQ(CurrentDataView(), &w);
    sim_->ClearStatements();
    bool inspected = false;
    EXPECT_TRUE(Show(w, "Items", AfterLoad([&](frmDataView& v) {
                         inspected = true;
                         EXPECT_EQ(v.windowTitle(), "Data in Table");
                         EXPECT_EQ(Text(v, "lblStats"), "Number of records: 3");
                         EXPECT_EQ(Text(v, "lblTableName(0)"), "Table: " + LongName("Items"));
                         EXPECT_TRUE(Label(v, "lblTableName(0)")->isVisible());
                         EXPECT_EQ(Text(v, "lblCurRec"), "3");
                         EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$")
                                         .match(Label(v, "lblTime")->text())
                                         .hasMatch());
                         EXPECT_EQ(v.Progress()->Value(), 100);
                         // The window's own gauge: bordered, green, 0 to 100.
                         EXPECT_EQ(v.Progress()->BorderStyle(), 1);
                         EXPECT_EQ(v.Progress()->FillColor(), QColor(0, 255, 0));
                         EXPECT_EQ(v.Progress()->Max(), 100);
                         // The finished layout.
                         EXPECT_FALSE(Button(v, "cmdStop")->isVisible());
                         EXPECT_TRUE(Button(v, "cmdExport")->isVisible());
                         EXPECT_FALSE(v.Progress()->isVisible());
                         EXPECT_FALSE(Label(v, "lblCurRec")->isVisible());

                         DataGrid* g = v.Grid();
                         EXPECT_TRUE(g->isVisible());
                         ASSERT_EQ(g->Rows(), 4);
                         ASSERT_EQ(g->Cols(), 5);
                         const char* header[] = {"Row", "ItemId", "Name", "Price", "InStock"};
                         for (int c = 0; c < 5; ++c)
                             EXPECT_EQ(g->TextMatrix(0, c), header[c]);
                         const char* rows[3][5] = {{"1", "1", "Hex bolt M8", "0.25", "True"},
                                                   {"2", "2", "Null", "1.50", "False"},
                                                   {"3", "3", "Wing nut", "Null", "Null"}};
                         for (int r = 0; r < 3; ++r)
                             for (int c = 0; c < 5; ++c)
                                 EXPECT_EQ(g->TextMatrix(r + 1, c), rows[r][c])
                                     << r + 1 << "," << c;
                         EXPECT_EQ(g->ColWidth(0), 540);
                         EXPECT_EQ(g->ColWidth(3), 1440);
                         EXPECT_EQ(g->TopRow(), 1);
                     })));
    EXPECT_TRUE(inspected);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(DataViewLoaded(), 0);
    bool selected = false;
    for (const auto& s : sim_->Statements())
        selected = selected || s.sql == "SELECT * FROM [dbo].[Items]";
    EXPECT_TRUE(selected);
}

TEST_F(DataViewWindow, LargeCountsUseThousandsSeparators) {
    frmDataView w;
    std::string stats;
    Show(w, "Numbers1000", AfterLoad([&](frmDataView& v) {
             stats = Text(v, "lblStats") + "|" + Text(v, "lblCurRec");
         }));
    EXPECT_EQ(stats, "Number of records: 1,000|1,000");
}

TEST_F(DataViewWindow, StopKeepsTheRowsLoadedAndSwapsStopForExport) {
    frmDataView w;
    w.SetYieldInterval(0);
    bool stopped = false;
    bool inspected = false;
    auto finish = AfterLoad([&](frmDataView& v) {
        inspected = true;
        DataGrid* g = v.Grid();
        EXPECT_EQ(g->Rows(), 1001);
        EXPECT_EQ(g->TextMatrix(100, 0), "100");
        EXPECT_EQ(g->TextMatrix(100, 2), "n 100");
        EXPECT_EQ(g->TextMatrix(101, 0), "");
        EXPECT_EQ(Text(v, "lblCurRec"), "101");
        EXPECT_FALSE(Button(v, "cmdStop")->isVisible());
        EXPECT_TRUE(Button(v, "cmdExport")->isVisible());
        // Only the buttons change: the progress display stays as it was when stopped.
        EXPECT_TRUE(v.Progress()->isVisible());
        EXPECT_FALSE(Label(v, "lblTableName(0)")->isVisible());
        EXPECT_EQ(g->TopRow(), 1);
    });
    Show(w, "Numbers1000", [&](frmDataView& v) {
        // Record 101 is announced before it is added: Stop now leaves 100 rows.
        if (!stopped && v.Loading() && Text(v, "lblCurRec") == "101") {
            stopped = true;
            // The loading layout, with the gauge at the share announced.
            EXPECT_TRUE(v.Progress()->isVisible());
            EXPECT_EQ(v.Progress()->Value(), 10);
            EXPECT_TRUE(Button(v, "cmdStop")->isVisible());
            EXPECT_EQ(Button(v, "cmdStop")->geometry(), Button(v, "cmdExport")->geometry());
            EXPECT_FALSE(Button(v, "cmdExport")->isVisible());
            EXPECT_FALSE(Label(v, "lblTableName(0)")->isVisible());
            EXPECT_EQ(Text(v, "lblStats"), "Number of records: 1,000");
            Button(v, "cmdStop")->click();
        }
        finish(v);
    });
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(inspected);
}

enum class ExitWay { Button, Close, Escape };

std::string ExitWayName(const ::testing::TestParamInfo<ExitWay>& info) {
    switch (info.param) {
    case ExitWay::Button:
        return "ExitButton";
    case ExitWay::Close:
        return "CloseWindow";
    case ExitWay::Escape:
        return "EscKey";
    }
    return "Unknown";
}

class DataViewExit : public DataViewWindow, public ::testing::WithParamInterface<ExitWay> {};

TEST_P(DataViewExit, LeavingWhileLoadingEndsAtTheNextRecordAndClosesTheWindow) {
    frmDataView w;
    w.SetYieldInterval(0);
    bool asked = false;
    bool stillOpenAfterAsking = false;
    EXPECT_TRUE(Show(w, "Numbers1000", [&](frmDataView& v) {
        if (asked) {
            stillOpenAfterAsking = stillOpenAfterAsking || (v.isVisible() && !v.Loading());
            return;
        }
        if (!v.Loading() || Text(v, "lblCurRec") != "50")
            return;
        asked = true;
        switch (GetParam()) {
        case ExitWay::Button:
            Button(v, "cmdExit")->click();
            break;
        case ExitWay::Close:
            EXPECT_FALSE(v.close()) << "closing is refused while loading";
            break;
        case ExitWay::Escape: {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&v, &esc);
            break;
        }
        }
        EXPECT_TRUE(v.isVisible()) << "the loop, not the handler, closes the window";
    }));
    EXPECT_TRUE(asked);
    EXPECT_FALSE(stillOpenAfterAsking);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Loading());
    EXPECT_EQ(w.Grid()->TextMatrix(49, 0), "49");
    EXPECT_EQ(w.Grid()->TextMatrix(50, 0), "");
    EXPECT_EQ(DataViewLoaded(), 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, DataViewExit,
                         ::testing::Values(ExitWay::Button, ExitWay::Close, ExitWay::Escape),
                         ExitWayName);

TEST_F(DataViewWindow, TopRowFollowsEveryFortiethRecordAndReturnsToTheTop) {
    frmDataView w;
    w.SetYieldInterval(0);
    std::map<std::string, int64_t> topAt; // record announced -> top row at that moment
    auto finish = AfterLoad([&](frmDataView& v) { topAt["end"] = v.Grid()->TopRow(); });
    Show(w, "Numbers125", [&](frmDataView& v) {
        if (v.Loading())
            topAt.emplace(Text(v, "lblCurRec"), v.Grid()->TopRow());
        finish(v);
    });
    // The top row seen when record k + 1 is announced is the one set after record k.
    ASSERT_TRUE(topAt.count("40") && topAt.count("41") && topAt.count("81") && topAt.count("121") &&
                topAt.count("end"));
    EXPECT_EQ(topAt["40"], 1);
    EXPECT_EQ(topAt["41"], 40);
    EXPECT_EQ(topAt["80"], 40);
    EXPECT_EQ(topAt["81"], 40);
    EXPECT_EQ(topAt["120"], 40);
    EXPECT_EQ(topAt["121"], 80);
    EXPECT_EQ(topAt["125"], 80);
    EXPECT_EQ(topAt["end"], 1);
}

TEST_F(DataViewWindow, RecordsWiderThanTheColumnListEndTheLoadWithTheGridError) {
    frmDataView w;
    bool inspected = false;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (inspected || !w.Activated())
            return;
        inspected = true;
        EXPECT_EQ(w.Grid()->Cols(), 1);
        EXPECT_EQ(w.Grid()->TextMatrix(1, 0), "");
        EXPECT_TRUE(Button(w, "cmdExport")->isVisible());
        EXPECT_FALSE(w.Progress()->isVisible());
        Button(w, "cmdExit")->click();
    });
    timer.start();
    // Counted by name, but no table has this id: the column list is empty, the records are not.
    EXPECT_TRUE(w.ShowUp("[dbo].[Items]", "Items", "DvShop", 0, 987654));
    EXPECT_TRUE(inspected);
    ASSERT_FALSE(env.prompter.messages.empty());
    const ShownMessage& m = env.prompter.messages.back();
    EXPECT_EQ(m.icon, MsgIcon::Error);
    EXPECT_EQ(m.text, "Error in Sub frmDataView.LoadData, error nr 381 (Subscript out of range).");
}

TEST_F(DataViewWindow, AGridOutOfMemoryKeepsTheRowsLoadedAndSaysHowMany) {
    frmDataView w;
    // Room for the row table and one arena block: about 500 of the 2 KB rows.
    DataGridStore& store = w.Grid()->Model().Store();
    store.SetMemoryLimit(1001 * 8 + (1u << 20) + 64);
    int64_t filled = 0;
    Show(w, "Wide", AfterLoad([&](frmDataView& v) {
             while (filled < 1000 && !v.Grid()->TextMatrix(filled + 1, 0).empty())
                 ++filled;
             EXPECT_TRUE(Button(v, "cmdExport")->isVisible());
         }));
    EXPECT_GT(filled, 300);
    EXPECT_LT(filled, 1000);
    ASSERT_FALSE(env.prompter.messages.empty());
    const ShownMessage& m = env.prompter.messages.back();
    EXPECT_EQ(m.icon, MsgIcon::Information);
    EXPECT_EQ(m.text, "Only first " + std::to_string(filled) + " records can be displayed.");
    EXPECT_EQ(w.Grid()->TextMatrix(filled, 2).size(), 2000u + 2u + std::to_string(filled).size());
}

TEST_F(DataViewWindow, ResizingWidensAndLengthensTheGridAndMovesTheButtonsSideways) {
    frmDataView w;
    struct Place {
        QRect grid, exportButton, exit;
    };
    Place base, wider, smaller, restored;
    QSize baseSize, restoredSize;
    bool sawMaximized = false;
    Show(w, "Items", AfterLoad([&](frmDataView& v) {
             auto place = [&v] {
                 return Place{v.Grid()->geometry(), Button(v, "cmdExport")->geometry(),
                              Button(v, "cmdExit")->geometry()};
             };
             base = place();
             const QSize size = v.size();
             v.resize(size.width() + 40, size.height() + 30);
             wider = place();
             v.resize(size.width() - 100, size.height() - 100);
             smaller = place();
             // Maximized and back to the small normal size: all returns to the design.
             baseSize = size;
             v.showMaximized();
             QApplication::processEvents();
             sawMaximized = v.isMaximized() && v.width() > size.width();
             v.showNormal();
             QApplication::processEvents();
             restored = place();
             restoredSize = v.size();
         }));
    EXPECT_EQ(wider.grid, base.grid.adjusted(0, 0, 40, 30));
    EXPECT_EQ(wider.exportButton, base.exportButton.translated(40, 0));
    EXPECT_EQ(wider.exit, base.exit.translated(40, 0));
    // Below the design size nothing shrinks or moves back.
    EXPECT_EQ(smaller.grid, wider.grid);
    EXPECT_EQ(smaller.exit, wider.exit);
    ASSERT_TRUE(sawMaximized) << "the platform did not maximize the window";
    EXPECT_EQ(restoredSize, baseSize);
    EXPECT_EQ(restored.grid, base.grid);
    EXPECT_EQ(restored.exportButton, base.exportButton);
    EXPECT_EQ(restored.exit, base.exit);
}

} // namespace
} // namespace orv
