// The database information window against the simulator: the report it leaves behind, Cancel
// and Esc while it runs, the refused close box, and the main window's command around it.
#include "catalog/db_info_report.h"
#include "compare/compare_sel_procs.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/tools/frm_get_db_info.h"
#include "ui/widgets/qt_list_control.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <ctime>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

const char* const kShopBody = "\r\n\r\nDatabase: DbiShop\r\n\r\n"
                              "List of tables\r\n"
                              "   1  Customers (3 records)\r\n"
                              "   2  Orders (1 record)\r\n"
                              "   3  Regions (0 records)\r\n"
                              "\r\n"
                              "List of procedures\r\n"
                              "   1  GetCustomer\r\n"
                              "   2  ListOrders\r\n"
                              "\r\n"
                              "List of functions\r\n"
                              "   1  fnOrderCount\r\n"
                              "\r\n"
                              "List of views\r\n"
                              "   1  vCustomers\r\n"
                              "\r\n"
                              "There are no triggers in this database.\r\n"
                              "\r\n"
                              "List of relationships\r\n"
                              "   1  FK_Orders_Customers\r\n"
                              "\r\n";

class DbInfoWindow : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        SqlsimOptions o;
        o.version = GetParam();
        o.scriptFiles = {test::FixtureFile("dbi_inventory.sql")};
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        ServerEntry& e = PanelServers()[1];
        e = ServerEntry{};
        e.Name = sim->ServerName();
        e.SQLAuth = true;
        e.LoginName = o.login;
        e.Pwd = o.password;
        e.Version = o.version;
        e.VersionMajor = VersionMajorOf(o.version);
        gstrReportText.clear();
    }
    void TearDown() override {
        ResetPanelServers();
        gstrReportText.clear();
    }

    static std::string Label(frmGetDbInfo& w, int i) {
        return w.StatusLabel(i)->text().toStdString();
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
};

TEST_P(DbInfoWindow, CompletedAnalysisLeavesTheDatedReportAndClosesItself) {
    const std::string today = DbInfoDateText(std::time(nullptr));
    frmGetDbInfo w;
    EXPECT_EQ(w.windowTitle(), "Analyzing Database");
    EXPECT_FALSE(w.findChild<QPushButton*>("cmdOK")->isVisibleTo(&w));
    EXPECT_EQ(w.CancelButton()->text(), "Cancel");
    EXPECT_EQ(w.CancelButton()->x(), (w.width() - w.CancelButton()->width()) / 2);
    std::vector<int> steps;
    QObject::connect(&w, &frmGetDbInfo::stepStarted, [&](int step) {
        steps.push_back(step);
        EXPECT_TRUE(w.Running());
        EXPECT_TRUE(w.StatusLabel(step)->isVisible());
    });
    w.ShowUp(1, "DbiShop");

    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Running());
    EXPECT_EQ(steps, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    ASSERT_EQ(gstrReportText.rfind(today, 0), 0u) << gstrReportText;
    EXPECT_EQ(gstrReportText.substr(today.size()), kShopBody);
    const char* names[] = {"tables", "procedures", "functions",
                           "views",  "triggers",   "relationships"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Label(w, i), std::string("Analyzing ") + names[i] + "... Finished");
    EXPECT_FALSE(w.StatusLabel(6)->isVisible());
    EXPECT_EQ(w.TimeLabel()->text().size(), 8);
    EXPECT_TRUE(env.prompter.messages.empty());
    // Every table's schema came from one query, not from one lookup per table.
    int perTableLookups = 0;
    for (const auto& s : sim->Statements())
        if (s.sql.find("WHERE [object_id] = ") != std::string::npos ||
            s.sql.find("WHERE so.name = '") != std::string::npos)
            ++perTableLookups;
    EXPECT_EQ(perTableLookups, 0);
}

TEST_P(DbInfoWindow, CancelDuringTheThirdTypeGivesNoReport) {
    frmGetDbInfo w;
    QObject::connect(&w, &frmGetDbInfo::stepStarted, [&](int step) {
        if (step == 2)
            QTest::mouseClick(w.CancelButton(), Qt::LeftButton);
    });
    w.ShowUp(1, "DbiShop");
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(gstrReportText.empty()) << gstrReportText;
    EXPECT_EQ(Label(w, 0), "Analyzing tables... Finished");
    EXPECT_EQ(Label(w, 1), "Analyzing procedures... Finished");
    EXPECT_EQ(Label(w, 2), "Analyzing functions...");
    EXPECT_FALSE(w.StatusLabel(3)->isVisibleTo(&w));
    // The query of the cancelled type ran, nothing after it.
    int viewListings = 0;
    for (const auto& s : sim->Statements())
        if (s.sql.find("'V'") != std::string::npos && s.sql.find("sysobjects") != std::string::npos)
            ++viewListings;
    EXPECT_EQ(viewListings, 0);
}

TEST_P(DbInfoWindow, EscCancelsAndTheCloseBoxIsRefusedWhileRunning) {
    {
        frmGetDbInfo w;
        bool stayedOpen = false;
        QObject::connect(&w, &frmGetDbInfo::stepStarted, [&](int step) {
            if (step == 1) {
                w.close();
                stayedOpen = w.isVisible() && w.Running();
            }
        });
        w.ShowUp(1, "DbiShop");
        EXPECT_TRUE(stayedOpen);
        EXPECT_FALSE(w.isVisible()); // closed by itself once done
        EXPECT_FALSE(gstrReportText.empty());
    }
    gstrReportText.clear();
    {
        frmGetDbInfo w;
        QObject::connect(&w, &frmGetDbInfo::stepStarted, [&](int step) {
            if (step == 4)
                QTest::keyClick(&w, Qt::Key_Escape);
        });
        w.ShowUp(1, "DbiShop");
        EXPECT_TRUE(gstrReportText.empty());
        EXPECT_EQ(Label(w, 3), "Analyzing views... Finished");
        EXPECT_EQ(Label(w, 4), "Analyzing triggers...");
    }
}

TEST_P(DbInfoWindow, AMissingDatabaseIsReportedAsEmptyNotAsAFailure) {
    frmGetDbInfo w;
    w.ShowUp(1, "DbiEmpty");
    const std::string body = gstrReportText.substr(gstrReportText.find("\r\n"));
    EXPECT_EQ(body, "\r\n\r\nDatabase: DbiEmpty\r\n\r\n"
                    "There are no tables in this database.\r\n\r\n"
                    "There are no procedures in this database.\r\n\r\n"
                    "There are no functions in this database.\r\n\r\n"
                    "There are no views in this database.\r\n\r\n"
                    "There are no triggers in this database.\r\n\r\n"
                    "There are no relationships in this database.\r\n\r\n");
}

INSTANTIATE_TEST_SUITE_P(Versions, DbInfoWindow,
                         ::testing::Values(std::string("8.00.2039"), std::string("10.50.1600.1")),
                         [](const auto& info) {
                             return info.param[0] == '8' ? std::string("V8") : std::string("V10");
                         });

// Stores the simulator as the only server, opening DbiShop, with this encryption, and loads
// the settings as the program does at start.
void StoreShopServer(const SqlsimProcess& sim, const std::string& encryption) {
    ServerEntry e;
    e.Name = sim.ServerName();
    e.SQLAuth = true;
    e.LoginName = sim.Options().login;
    e.Pwd = sim.Options().password;
    e.MRUDb = "DbiShop";
    e.Encryption = encryption;
    ServerAddToList(e);
    LoadSettings(LoadServerList);
}

// The main window's command: F11 analyses the Target panel's database and the report window
// gets the finished text under its caption; without a database nothing opens.
TEST(DbInfoCommand, F11ShowsTheReportOfTheTargetDatabase) {
    TestEnv env;
    SqlsimOptions o;
    o.scriptFiles = {test::FixtureFile("dbi_inventory.sql")};
    SqlsimProcess sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    StoreShopServer(sim, "request");

    std::vector<std::string> shown;
    MainWindowDialogs dialogs;
    dialogs.showReport = [&](QWidget*, const std::string& caption, int help) {
        shown.push_back(caption + "|" + std::to_string(help) + "|" + gstrReportText);
    };
    frmMain w(std::move(dialogs));
    w.FormLoad();
    w.show();
    QApplication::processEvents();

    QTest::keyClick(&w, Qt::Key_F11);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Display Info");
    EXPECT_EQ(env.prompter.messages[0].text,
              "Cannot display database info - the list of databases is empty.");
    EXPECT_TRUE(shown.empty());

    w.ServerChosen(1);
    QApplication::processEvents();
    ASSERT_EQ(w.DatabaseList(1)->CurrentText(), "DbiShop");
    QTest::keyClick(&w, Qt::Key_F11);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("Database Information|8|", 0), 0u) << shown[0];
    EXPECT_NE(shown[0].find(kShopBody), std::string::npos) << shown[0];
    EXPECT_TRUE(gstrReportText.empty());
    ResetPanelServers();
}

// The main window connects with each stored server's own encryption: one that requires TLS
// is refused by a server without it, with the reason, whichever way it is chosen.
TEST(StoredEncryption, TheMainWindowConnectsAsTheServerSays) {
    TestEnv env;
    SqlsimOptions o;
    o.scriptFiles = {test::FixtureFile("dbi_inventory.sql")};
    SqlsimProcess sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    StoreShopServer(sim, "require");
    frmMain w{MainWindowDialogs{}};
    w.FormLoad();
    w.show();
    QApplication::processEvents();
    w.ServerChosen(1);
    QApplication::processEvents();
    EXPECT_EQ(PanelServers()[1].Encryption, "require");
    bool told = false;
    for (const ShownMessage& m : env.prompter.messages)
        told = told || m.text.find("Encryption is required for this server") != std::string::npos;
    EXPECT_TRUE(told) << env.LogText();
    EXPECT_TRUE(sim.Statements().empty());
    ResetPanelServers();
}

} // namespace
} // namespace orv
