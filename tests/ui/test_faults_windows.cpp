// The main window and the data view when the server fails on the wire part-way through a
// session (an answer stalled past the command timeout, the link dropped inside a result, an
// error inside a result, a refused login): each command ends within the timeout with its
// message, the window stays usable (not busy, enabled, Exit working) and the stored servers
// are untouched; pointed back at a healthy server, the same commands work.
#include "catalog/object_types.h"
#include "compare/compare_sel_procs.h"
#include "core/error_report.h"
#include "core/registry.h"
#include "core/settings.h"
#include "fault_database.h"
#include "servers/exec_ado_cmd.h"
#include "servers/odbc_connection.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/tools/frm_data_view.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using Clock = std::chrono::steady_clock;

using test::Fault;
using test::FaultArgs;
using test::FaultName;
using test::FaultScript;
using test::kCutAfterRows;
constexpr int kTimeoutSeconds = test::kFaultTimeoutSeconds;
constexpr int kTables = test::kFaultTables;
constexpr int kTableRows = test::kFaultTableRows;

// Two simulators holding the same database, one healthy and one failing, a stored server
// pointing at the healthy one, a short command timeout and every error report caught.
class WindowFaults : public ::testing::TestWithParam<Fault> {
protected:
    void SetUp() override {
        SqlsimOptions o;
        o.scriptTexts = {FaultScript()};
        healthySim_ = std::make_unique<SqlsimProcess>(o);
        o.extraArgs = FaultArgs(GetParam());
        faultySim_ = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(healthySim_->Start(error)) << error;
        ASSERT_TRUE(faultySim_->Start(error)) << error;
        ServerEntry e;
        e.Name = healthySim_->ServerName();
        e.SQLAuth = true;
        e.LoginName = o.login;
        e.Pwd = o.password;
        e.MRUDb = "FaultDb";
        ServerAddToList(e);
        SetRegDword(HKEY_CURRENT_USER, kKeyMav, "AutoSelTargetObj", 0);
        SetRegDword(HKEY_CURRENT_USER, kKeyMav, "Timeout", kTimeoutSeconds);
    }

    void TearDown() override {
        SetErrorReportHandler(nullptr);
        DropIdleConnections();
        ResetPanelServers();
        gstrReportText.clear();
    }

    // Every later call of both panels goes to the failing server, as if it had gone bad
    // after the user connected.
    void PointPanelsAt(const SqlsimProcess& sim) {
        for (auto& panel : PanelServers())
            panel.Name = sim.ServerName();
    }

    void SpendFirstLoginOfFaultyServer() {
        if (GetParam() != Fault::RefusedLogin)
            return;
        // Logins alternate between accepted and refused; after an accepted one with no idle
        // connection left, the next command's own login is the refused one.
        ServerEntry e = PanelServers()[0];
        e.Name = faultySim_->ServerName();
        if (GetServerVersion(e).empty()) {
            ASSERT_FALSE(GetServerVersion(e).empty());
        }
        DropIdleConnections();
    }

    // Runs `op`, asserting it ends within `calls` command timeouts plus a second.
    void Timed(const char* what, const std::function<void()>& op, int calls = 1) {
        const auto start = Clock::now();
        op();
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        EXPECT_LE(took.count(), (calls * kTimeoutSeconds + 1) * 1000) << what;
        longest = std::max(longest, took);
    }

    std::string Told() const {
        std::string told;
        for (const auto& m : env.prompter.messages)
            told += m.title + ": " + m.text + "\n";
        for (const auto& r : reports)
            told += ErrorReportText(r) + "\n";
        return told;
    }

    // What each fault makes the user read, wherever it surfaced.
    void ExpectFaultTold(const std::string& told) const {
        EXPECT_FALSE(told.empty()) << "the failure went unreported";
        if (GetParam() == Fault::RefusedLogin) {
            EXPECT_NE(told.find("Login failed for user 'sa'."), std::string::npos) << told;
        }
        if (GetParam() == Fault::ErrorMidResult) {
            EXPECT_NE(told.find("Divide by zero error encountered."), std::string::npos) << told;
        }
    }

    void Clear() {
        env.prompter.messages.clear();
        reports.clear();
    }

    test::TestEnv env;
    std::unique_ptr<SqlsimProcess> healthySim_;
    std::unique_ptr<SqlsimProcess> faultySim_;
    std::vector<ErrorReport> reports;
    std::chrono::milliseconds longest{0};
};

int RowOf(QtListControl* list, const std::string& name) {
    for (int r = 0; r < list->Count(); ++r)
        if (list->CellText(r, 0) == name)
            return r;
    return -1;
}

void Click(QtListControl* list, int row) {
    ASSERT_GE(row, 0);
    list->scrollToItem(list->topLevelItem(row));
    QApplication::processEvents();
    QRect rect = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QApplication::processEvents();
}

// Shows a data view the way the View Data command does and closes it with Exit once loading
// has ended, after `inspect` has looked at it. False when the window never opened.
bool ShowDataView(frmDataView& w, const std::string& table, int32_t id,
                  const std::function<void(frmDataView&)>& inspect) {
    QTimer poll;
    poll.setInterval(5);
    bool done = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done || !w.Activated() || w.Loading())
            return;
        done = true;
        inspect(w);
        w.findChild<QPushButton*>("cmdExit")->click();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        ADD_FAILURE() << "the data view did not close";
        w.done(0);
    });
    poll.start();
    guard.start(30000);
    return w.ShowUp("[dbo].[" + table + "]", table, "FaultDb", 0, id);
}

using MainWindowFaults = WindowFaults;

TEST_P(MainWindowFaults, EveryCommandEndsToldAndTheWindowCarriesOn) {
    int viewsOpened = 0;
    std::vector<std::string> shownReports;
    MainWindowDialogs dialogs;
    dialogs.showComparison = [&](QWidget*, const ComparisonReportRequest&) {
        shownReports.push_back("comparison");
    };
    dialogs.showReport = [&](QWidget*, const std::string& caption, int) {
        shownReports.push_back(caption + "|" + gstrReportText);
    };
    dialogs.viewData = [&](QWidget* owner, const std::string&, const std::string& objectName,
                           const std::string&, int, int32_t objectId) {
        frmDataView view(owner);
        if (ShowDataView(view, objectName, objectId, [](frmDataView&) {}))
            ++viewsOpened;
    };
    LoadSettings(LoadServerList);
    frmMain w(std::move(dialogs));
    w.FormLoad();
    w.show();
    QApplication::processEvents();
    SetErrorReportHandler([this](const ErrorReport& r) { reports.push_back(r); });
    QTest::keyClick(&w, Qt::Key_F5);
    QApplication::processEvents();
    w.ServerSelector(1)->setCurrentIndex(-1);
    w.ServerSelector(1)->setCurrentIndex(0);
    QApplication::processEvents();
    ASSERT_EQ(w.DatabaseList(1)->CurrentText(), "FaultDb");
    w.TypeSelector()->setCurrentIndex(1); // Procedures
    QApplication::processEvents();
    ASSERT_EQ(w.ObjectList(0)->Count(), kTables + 1);
    ASSERT_EQ(w.ObjectList(1)->Count(), kTables + 1);
    Clear(); // choosing the Target server passes through an empty selection first
    const std::string registryBefore = test::ReadTextFile(env.RegistryFile());
    ASSERT_FALSE(registryBefore.empty());

    SpendFirstLoginOfFaultyServer();
    PointPanelsAt(*faultySim_);
    const bool refused = GetParam() == Fault::RefusedLogin;

    // Showing an object's text: a command that could not run (a stall past the timeout, a
    // refused login) leaves the panel as it was, the marked object's text in its view; a
    // result cut short leaves nothing of it, old or cut, in the view. Either way the view
    // never shows a text that is not the marked object's.
    const bool commandFails = refused || GetParam() == Fault::Stall;
    const std::string shownBefore[2] = {w.TextView(0)->Text(), w.TextView(1)->Text()};
    ASSERT_EQ(shownBefore[0].rfind("CREATE PROCEDURE dbo.P01", 0), 0u);
    for (int panel = 0; panel < 2; ++panel) {
        Timed("show text",
              [&] { Click(w.ObjectList(panel), RowOf(w.ObjectList(panel), "PLong")); });
        EXPECT_FALSE(w.Busy());
    }
    if (commandFails) {
        EXPECT_EQ(w.TextView(0)->Text(), shownBefore[0]);
        EXPECT_EQ(w.ObjectList(0)->CurrentText(), "P01");
        EXPECT_TRUE(w.ObjectList(0)->Selected(w.ObjectList(0)->CurrentRow()));
    } else {
        EXPECT_EQ(w.TextView(0)->Text(), "");
    }
    ExpectFaultTold(Told());
    if (refused) { // the next login goes through
        EXPECT_EQ(w.TextView(1)->Text().rfind("CREATE PROCEDURE dbo.PLong", 0), 0u);
    } else if (commandFails) {
        EXPECT_EQ(w.TextView(1)->Text(), shownBefore[1]);
        EXPECT_EQ(w.ObjectList(1)->CurrentText(), "P01");
    } else {
        EXPECT_EQ(w.TextView(1)->Text(), "");
    }

    // Comparing what could not be read: never "identical".
    Clear();
    QTest::keyClick(&w, Qt::Key_F7);
    QApplication::processEvents();
    EXPECT_FALSE(w.Busy());
    if (commandFails) {
        // The marked objects' own texts: P01 against PLong, or P01 against P01.
        ASSERT_EQ(shownReports.size(), 1u);
    } else {
        EXPECT_TRUE(shownReports.empty());
        ASSERT_EQ(env.prompter.messages.size(), 1u) << Told();
        EXPECT_EQ(env.prompter.messages[0].title, "Cannot Compare");
    }
    shownReports.clear();

    // Database information: no report, or one that says it was aborted.
    Clear();
    SpendFirstLoginOfFaultyServer();
    Timed("database information", [&] { w.DatabaseInformation(0); });
    for (const auto& r : shownReports) {
        EXPECT_NE(r.find("*** OPERATION ABORTED - ERROR OCCURRED.***"), std::string::npos) << r;
        EXPECT_EQ(r.find("There are no tables in this database."), std::string::npos) << r;
    }
    ExpectFaultTold(Told());
    EXPECT_EQ(gstrReportText, "");
    shownReports.clear();

    // Listing another type: the lists come out empty rather than short.
    Clear();
    SpendFirstLoginOfFaultyServer();
    Timed(
        "listing", [&] { w.TypeSelector()->setCurrentIndex(0); }, 2);
    EXPECT_FALSE(w.Busy());
    EXPECT_EQ(w.ObjectList(0)->Count(), 0);
    EXPECT_EQ(w.ObjectList(1)->Count(), refused ? kTables : 0);
    ExpectFaultTold(Told());

    // Counting records for View Data: the healthy server lists the tables, the failing one is
    // asked for the count.
    PointPanelsAt(*healthySim_);
    w.TypeSelector()->setCurrentIndex(1);
    w.TypeSelector()->setCurrentIndex(0);
    QApplication::processEvents();
    ASSERT_EQ(w.ObjectList(0)->Count(), kTables);
    Click(w.ObjectList(0), RowOf(w.ObjectList(0), "T01"));
    PointPanelsAt(*faultySim_);
    Clear();
    SpendFirstLoginOfFaultyServer();
    // The command looks up the table's owner and then counts: two calls to the server.
    Timed(
        "view data", [&] { w.ViewData(0); }, 2);
    if (refused) {
        // The owner lookup met the refused login and said so; the count's login went through.
        ExpectFaultTold(Told());
        EXPECT_EQ(viewsOpened, 1);
    } else if (GetParam() == Fault::Stall) {
        EXPECT_EQ(viewsOpened, 0);
        ASSERT_GE(env.prompter.messages.size(), 2u) << Told();
        EXPECT_EQ(env.prompter.messages.back().title, "View Data");
        EXPECT_EQ(
            env.prompter.messages.back().text.rfind("Error while reading data from table T01", 0),
            0u);
    } else {
        // The count is one row; the rows themselves are cut, and the window says so.
        EXPECT_EQ(viewsOpened, 1);
        ASSERT_EQ(env.prompter.messages.size(), 1u) << Told();
        EXPECT_EQ(env.prompter.messages[0].text.rfind("Error in Sub frmDataView.LoadData", 0), 0u);
    }

    // Nothing about the session was written back while the server failed.
    EXPECT_EQ(test::ReadTextFile(env.RegistryFile()), registryBefore);

    // Healthy again: the window answers every command as before.
    PointPanelsAt(*healthySim_);
    Clear();
    EXPECT_TRUE(w.isEnabled());
    w.TypeSelector()->setCurrentIndex(1);
    QApplication::processEvents();
    ASSERT_EQ(w.ObjectList(0)->Count(), kTables + 1);
    Click(w.ObjectList(0), RowOf(w.ObjectList(0), "PLong"));
    Click(w.ObjectList(1), RowOf(w.ObjectList(1), "PLong"));
    EXPECT_NE(w.TextView(0)->Text().find("-- line 1599 of a long explanation"), std::string::npos);
    w.CompareSelectedObjects();
    ASSERT_EQ(shownReports.size(), 1u) << Told();
    w.DatabaseInformation(0);
    ASSERT_EQ(shownReports.size(), 2u);
    EXPECT_NE(shownReports[1].find("   1  T01 (30 records)\r\n"), std::string::npos);
    EXPECT_TRUE(Told().empty()) << Told();
    EXPECT_FALSE(w.Busy());
    std::printf("longest command under %s: %lld ms\n", FaultName(GetParam()),
                static_cast<long long>(longest.count()));
}

using DataViewFaults = WindowFaults;

TEST_P(DataViewFaults, CutRowsAreToldTheWindowClosesAndAHealthyLoadIsWhole) {
    // The object id comes from the healthy server; both hold the same database.
    ServerEntry& panel = PanelServers()[0];
    panel = ServerEntry{};
    panel.Name = healthySim_->ServerName();
    panel.SQLAuth = true;
    panel.LoginName = "sa";
    panel.Pwd = healthySim_->Options().password;
    RecordsetPtr rs;
    int32_t errNumber = 0;
    std::string errText;
    ASSERT_NE(ExecAdoCmd(panel, kAdCmdText, "SELECT id FROM sysobjects WHERE name = 'T01'", rs,
                         "FaultDb", errNumber, errText),
              -1);
    const int32_t id = static_cast<int32_t>(rs->Value(0).Long());
    rs.reset();
    Settings().Timeout = kTimeoutSeconds;
    SetErrorReportHandler([this](const ErrorReport& r) { reports.push_back(r); });
    const std::string registryBefore = test::ReadTextFile(env.RegistryFile());
    SpendFirstLoginOfFaultyServer();
    PointPanelsAt(*faultySim_);

    bool opened = false;
    Timed("data view", [&] {
        frmDataView w;
        opened = ShowDataView(w, "T01", id, [&](frmDataView& v) {
            // The finished layout, with only the rows that came before the cut.
            EXPECT_FALSE(v.findChild<QPushButton*>("cmdStop")->isVisible());
            EXPECT_TRUE(v.findChild<QPushButton*>("cmdExport")->isVisible());
            EXPECT_TRUE(v.findChild<QPushButton*>("cmdExit")->isEnabled());
            EXPECT_EQ(v.Grid()->TextMatrix(1, 1), "1");
            EXPECT_EQ(v.Grid()->TextMatrix(kCutAfterRows + 1, 1), "");
        });
        EXPECT_FALSE(w.isVisible());
    });
    EXPECT_EQ(DataViewLoaded(), 0);
    ASSERT_FALSE(env.prompter.messages.empty());
    const ShownMessage& m = env.prompter.messages.back();
    if (GetParam() == Fault::Stall || GetParam() == Fault::RefusedLogin) {
        // The count's own message, then the window's.
        ASSERT_EQ(env.prompter.messages.size(), 2u) << Told();
        EXPECT_EQ(env.prompter.messages[0].text.rfind(
                      "Error while attempting to count records in table: ", 0),
                  0u);
        ExpectFaultTold(Told());
        EXPECT_FALSE(opened);
        EXPECT_EQ(m.title, "View Data");
        EXPECT_EQ(m.icon, MsgIcon::Warning);
        EXPECT_EQ(m.text, "Error while reading data from table T01 (Database: FaultDb, Server: " +
                              faultySim_->ServerName() + ").");
    } else {
        ASSERT_EQ(env.prompter.messages.size(), 1u) << Told();
        EXPECT_TRUE(opened);
        EXPECT_EQ(m.icon, MsgIcon::Error);
        EXPECT_EQ(m.text.rfind("Error in Sub frmDataView.LoadData, error nr ", 0), 0u) << m.text;
        EXPECT_EQ(m.text.find("error nr 5 ("), std::string::npos) << "the driver's error number";
        ExpectFaultTold(Told());
    }
    EXPECT_TRUE(reports.empty()) << Told();

    // The same table from a healthy server loads whole.
    PointPanelsAt(*healthySim_);
    Clear();
    frmDataView w;
    EXPECT_TRUE(ShowDataView(w, "T01", id, [&](frmDataView& v) {
        EXPECT_EQ(v.Grid()->Rows(), kTableRows + 1);
        EXPECT_EQ(v.Grid()->TextMatrix(kTableRows, 1), std::to_string(kTableRows));
    }));
    EXPECT_TRUE(Told().empty()) << Told();
    EXPECT_EQ(test::ReadTextFile(env.RegistryFile()), registryBefore);
    std::printf("data view under %s: %lld ms\n", FaultName(GetParam()),
                static_cast<long long>(longest.count()));
}

auto FaultCaseName = [](const ::testing::TestParamInfo<Fault>& info) {
    return std::string(FaultName(info.param));
};

INSTANTIATE_TEST_SUITE_P(Faults, MainWindowFaults,
                         ::testing::Values(Fault::Stall, Fault::Drop, Fault::ErrorMidResult,
                                           Fault::RefusedLogin),
                         FaultCaseName);
INSTANTIATE_TEST_SUITE_P(Faults, DataViewFaults,
                         ::testing::Values(Fault::Stall, Fault::Drop, Fault::ErrorMidResult,
                                           Fault::RefusedLogin),
                         FaultCaseName);

} // namespace
} // namespace orv
