// The tools of the main window against the simulator: the Data Analyzer (menu, button,
// results, export, Stop, a server gone while it runs), the Ignore Columns dialog and the two
// listings of ignored columns, the colour legend, About and the help index, with their
// captions and keys. With ORV_SHOT_DIR set, each window is also saved there as a picture.
#include "catalog/ignored_columns.h"
#include "compare/comp_line.h"
#include "core/paths.h"
#include "core/settings.h"
#include "explore/ignored_columns_edit.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/servers/frm_export_servers.h"
#include "ui/tools/frm_about.h"
#include "ui/tools/frm_color_schema.h"
#include "ui/tools/frm_data_analyzer.h"
#include "ui/tools/frm_ignore_columns.h"
#include "ui/widgets/qt_list_control.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace orv {
namespace {

using test::ReadTextFile;

const char* const kToolsScript =
    "CREATE DATABASE Tools\nGO\nUSE Tools\nGO\n"
    "CREATE TABLE dbo.[Or]]ders] (Id int NOT NULL, [Na]]me] varchar(20) NULL, "
    "Secret varchar(10) NULL)\nGO\n"
    "INSERT INTO dbo.[Or]]ders] VALUES (1, 'ab', 's1')\n"
    "INSERT INTO dbo.[Or]]ders] VALUES (2, 'ab', 's2')\n"
    "INSERT INTO dbo.[Or]]ders] VALUES (3, NULL, NULL)\nGO\n"
    "CREATE TABLE dbo.Plain (Id int NOT NULL)\nGO\n";

// Saves a window as a picture when ORV_SHOT_DIR names a folder.
void Shoot(QWidget* w, const char* name) {
    const char* dir = std::getenv("ORV_SHOT_DIR");
    if (dir == nullptr || w == nullptr)
        return;
    QApplication::processEvents();
    w->grab().save(QString(dir) + "/" + name + ".png");
}

// Runs `handle` on the modal dialog that the next command opens; the returned flag tells
// whether it ran.
std::shared_ptr<bool> OnModal(std::function<void(QWidget*)> handle) {
    auto ran = std::make_shared<bool>(false);
    QTimer::singleShot(0, [handle, ran] {
        QWidget* modal = QApplication::activeModalWidget();
        EXPECT_NE(modal, nullptr) << "no dialog opened";
        *ran = modal != nullptr;
        if (modal)
            handle(modal);
    });
    return ran;
}

class MainWindowTools : public ::testing::Test {
protected:
    void SetUp() override {
        test::SqlsimOptions o;
        o.version = "10.50.1600.1";
        o.scriptTexts = {kToolsScript};
        sim = std::make_unique<test::SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        ServerEntry e;
        e.Name = sim->ServerName();
        e.SQLAuth = true;
        e.LoginName = o.login;
        e.Pwd = o.password;
        e.MRUDb = "Tools";
        ServerAddToList(e);
        MainWindowDialogs dialogs;
        dialogs.addServer = [](QWidget*) { return false; };
        dialogs.showReport = [this](QWidget*, const std::string& caption, int topic) {
            reports.push_back(caption + "|" + std::to_string(topic) + "|" + gstrReportText);
        };
        LoadSettings(LoadServerList);
        w = std::make_unique<frmMain>(std::move(dialogs));
        w->FormLoad();
        w->show();
        QApplication::processEvents();
        QTest::keyClick(w.get(), Qt::Key_F5);
        QApplication::processEvents();
        ASSERT_EQ(w->DatabaseList(0)->CurrentText(), "Tools");
        ASSERT_EQ(w->ObjectList(0)->CellText(w->ObjectList(0)->CurrentRow(), 0), "Or]ders");
    }
    void TearDown() override {
        w.reset();
        PanelServers()[0] = ServerEntry{};
        PanelServers()[1] = ServerEntry{};
    }

    // The table's section as lists were named before they carried the schema, and as the
    // dialog names them now.
    std::string Section() const { return sim->ServerName() + ".Tools.Or]ders"; }
    std::string Canonical() const { return sim->ServerName() + ".Tools.dbo.Or]ders"; }

    // Waits until the analyzer has ended.
    static bool WaitFor(frmDataAnalyzer* a) {
        QElapsedTimer t;
        t.start();
        while (a->Running() && t.elapsed() < 30000)
            QTest::qWait(20);
        return !a->Running();
    }
    static std::string Cell(QTableWidget* g, int r, int c) {
        return g->item(r, c) ? g->item(r, c)->text().toStdString() : std::string();
    }

    test::TestEnv env;
    std::unique_ptr<test::SqlsimProcess> sim;
    std::unique_ptr<frmMain> w;
    std::vector<std::string> reports;
};

TEST_F(MainWindowTools, MenusCaptionsAndKeys) {
    struct Item {
        const char* name;
        const char* caption;
        QKeySequence key;
    };
    const Item items[] = {
        {"mnuToolsDataAnalyzer", "Data Analyzer", {}},
        {"mnuToolsDataAnalyzerTable(0)", "Analyze Data in Source Table", {}},
        {"mnuToolsDataAnalyzerTable(1)", "Analyze Data in Target Table", {}},
        {"mnuToolsIgnoredColsData", "List All Ignored Columns - &Data Comparisons", {}},
        {"mnuToolsIgnoredColsStruct", "List All Ignored Columns - &Structure Comparisons", {}},
        {"mnuHelp", "&Help", {}},
        {"mnuHelpIndex", "&Index...", QKeySequence(Qt::Key_F1)},
        {"mnuHelpAbout", "&About...", QKeySequence(Qt::SHIFT | Qt::Key_F1)},
        {"mnuPopUpIgnoreCols", "Ignore Columns", {}},
        {"mnuPopUpShowColorSchema", "Show Color Schema", {}},
    };
    for (const Item& i : items) {
        QAction* a = w->MenuItem(i.name);
        ASSERT_NE(a, nullptr) << i.name;
        EXPECT_EQ(a->text().toStdString(), i.caption) << i.name;
        EXPECT_TRUE(a->isVisible()) << i.name;
        EXPECT_EQ(a->shortcut(), i.key) << i.name;
    }
    EXPECT_NE(w->MenuItem("mnuToolsDataAnalyzer")->menu(), nullptr);
    EXPECT_TRUE(w->MenuItem("mnuSep1")->isVisible());
    EXPECT_TRUE(w->MenuItem("mnuSep4")->isVisible());
    auto* button = w->findChild<QPushButton*>("cmdAnalyzeData(0)");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip().toStdString(), "Analyze Data in Table");

    // F1 opens the help index.
    QTest::keyClick(w.get(), Qt::Key_F1);
    ASSERT_FALSE(env.prompter.helpTopics.empty());
    EXPECT_EQ(env.prompter.helpTopics.back(), 550);
}

TEST_F(MainWindowTools, AnalyzerFromTheButtonSkipsIgnoredColumnsAndExports) {
    std::string error;
    ASSERT_TRUE(SetIgnoredColumns(kIgnoredForAnalysis, Section(), {"secret"}, error)) << error;
    w->findChild<QPushButton*>("cmdAnalyzeData(0)")->click();
    auto* a = w->findChild<frmDataAnalyzer*>("frmDataAnalyzer");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->isVisible());
    EXPECT_FALSE(a->isModal()) << "the main window stays usable while it runs";
    ASSERT_TRUE(WaitFor(a));
    EXPECT_EQ(a->windowTitle().toStdString(), "Data Analyzer - Or]ders");
    QTableWidget* g = a->Grid();
    ASSERT_EQ(g->rowCount(), 2);
    EXPECT_EQ(Cell(g, 1, 0), "Na]me");
    EXPECT_EQ(Cell(g, 1, 2), "3"); // rows
    EXPECT_EQ(Cell(g, 1, 3), "1"); // NULLs
    EXPECT_EQ(Cell(g, 1, 4), "33.33%");
    EXPECT_EQ(Cell(g, 1, 5), "1"); // distinct
    EXPECT_EQ(Cell(g, 1, 10), "ab (2)");
    EXPECT_EQ(a->findChild<QLabel*>("lblStatus")->text().toStdString(),
              "2 column(s) analyzed, 1 ignored");
    EXPECT_TRUE(env.prompter.messages.empty());
    Shoot(a, "data_analyzer");

    const std::string csv = env.PathOf("profile.csv");
    env.prompter.fileAnswers.push_back(csv);
    a->findChild<QPushButton*>("cmdExportCsv")->click();
    EXPECT_NE(ReadTextFile(csv).find("\r\nNa]me,3,1,1,ab,ab,2.00,2,varchar,0.3333,ab (2)\r\n"),
              std::string::npos)
        << ReadTextFile(csv);
    const std::string html = env.PathOf("profile.html");
    env.prompter.fileAnswers.push_back(html);
    a->findChild<QPushButton*>("cmdExportHtml")->click();
    EXPECT_NE(ReadTextFile(html).find("<td>Na]me</td>"), std::string::npos);
    // A folder that is not there: a message, no file, the window stays.
    env.prompter.fileAnswers.push_back(env.PathOf("gone/profile.csv"));
    EXPECT_FALSE(a->Export(false));
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Export");
    EXPECT_TRUE(a->isVisible());
    // The window deletes itself on closing: watch it through a guard.
    const QPointer<frmDataAnalyzer> closing(a);
    a->findChild<QPushButton*>("cmdExit")->click();
    QApplication::processEvents();
    EXPECT_TRUE(closing.isNull() || !closing->isVisible());
}

TEST_F(MainWindowTools, AnalyzerWhenTheServerIsGoneSaysSoAndStaysUsable) {
    sim->Stop();
    w->MenuItem("mnuToolsDataAnalyzerTable(0)")->trigger();
    auto* a = w->findChild<frmDataAnalyzer*>("frmDataAnalyzer");
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(WaitFor(a));
    // The panel's own name lookup may have said so first; the analyzer says it in any case.
    ASSERT_FALSE(env.prompter.messages.empty());
    EXPECT_EQ(env.prompter.messages.back().title, "Cannot Analyze");
    EXPECT_EQ(env.prompter.messages.back().text.rfind("Server connection failed.\r\n\r\n", 0), 0u)
        << env.prompter.messages.back().text;
    EXPECT_EQ(a->Grid()->rowCount(), 0);
    EXPECT_FALSE(a->findChild<QPushButton*>("cmdExportCsv")->isEnabled());
    // The window deletes itself on closing: watch it through a guard.
    const QPointer<frmDataAnalyzer> closing(a);
    a->findChild<QPushButton*>("cmdExit")->click();
    QApplication::processEvents();
    EXPECT_TRUE(closing.isNull() || !closing->isVisible());
    // Not a table: the analyzer says why and opens nothing.
    w->findChild<QPushButton*>("cmdAnalyzeData(1)")->click();
    EXPECT_EQ(env.prompter.messages.back().text,
              "Cannot analyze - the list of databases is empty.");
}

TEST_F(MainWindowTools, StopKeepsTheColumnsDoneAndClosingWaitsForTheRun) {
    frmDataAnalyzer a;
    a.show();
    // An engine that gives one column, then waits for Stop.
    a.Start(AnalysisRequest{}, "T",
            [](const AnalysisRequest&, ProgressSink& p, const CancelToken& cancel) {
                auto r = std::make_shared<AnalysisResults>();
                p.Begin("Analyzing T", 3);
                ColumnProfile c;
                c.Name = "First";
                c.Rows = 5;
                c.Done = true;
                r->Columns.push_back(c);
                p.Advance(1, "First");
                while (!cancel.cancelRequested())
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                r->Outcome = RunOutcome::Cancelled;
                return AnalysisResultsPtr(r);
            });
    QTest::qWait(150);
    EXPECT_TRUE(a.Running());
    EXPECT_EQ(a.findChild<QLabel*>("lblStatus")->text().toStdString(), "Column 2 of 3");
    a.findChild<QPushButton*>("cmdStop")->click();
    ASSERT_TRUE(WaitFor(&a));
    EXPECT_EQ(a.Grid()->rowCount(), 1);
    EXPECT_EQ(a.findChild<QLabel*>("lblStatus")->text().toStdString(),
              "Stopped: 1 column(s) analyzed");
    EXPECT_TRUE(a.findChild<QPushButton*>("cmdExportCsv")->isEnabled());
    EXPECT_TRUE(env.prompter.messages.empty()) << "a stop is no failure";
}

TEST_F(MainWindowTools, IgnoreColumnsDialogWritesTheListsThatChanged) {
    const std::string data = IgnoredColumnsFile(kIgnoredForData);
    ASSERT_TRUE(test::WriteTextFile(data, "[other.db.T]\r\nCol1=Keep\r\n"));
    auto dialogShown = OnModal([this](QWidget* modal) {
        auto* d = qobject_cast<frmIgnoreColumns*>(modal);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle().toStdString(), "Ignore Columns");
        EXPECT_EQ(d->findChild<QLabel*>("lblTable")->text().toStdString(), "Table: " + Canonical());
        QTableWidget* g = d->Grid();
        ASSERT_EQ(g->rowCount(), 3);
        EXPECT_EQ(g->horizontalHeaderItem(1)->text().toStdString(), "Structure comparisons");
        EXPECT_EQ(g->horizontalHeaderItem(2)->text().toStdString(), "Data comparisons");
        EXPECT_EQ(g->horizontalHeaderItem(3)->text().toStdString(), "Data analysis");
        EXPECT_TRUE(d->SetIgnored("Secret", 1, true));
        EXPECT_TRUE(d->SetIgnored("Na]me", 2, true));
        EXPECT_TRUE(d->SetIgnored("Secret", 3, true));
        Shoot(d, "ignore_columns");
        d->findChild<QPushButton*>("cmdOK")->click();
    });
    w->IgnoreColumns(0);
    EXPECT_TRUE(*dialogShown);
    std::vector<std::string> cols;
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, Canonical(), cols), 1);
    EXPECT_EQ(cols, std::vector<std::string>{"Secret"});
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForStructure, Canonical(), cols), 1);
    EXPECT_EQ(cols, std::vector<std::string>{"Na]me"});
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForAnalysis, Canonical(), cols), 1);
    EXPECT_NE(ReadTextFile(data).find("[other.db.T]\r\nCol1=Keep\r\n"), std::string::npos);

    // The structure list now leaves Na]me out of a comparison's table script.
    w->ListAllIgnoredColumns(kIgnoredForStructure);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "Ignored Columns - Structure Comparisons|552|List All Ignored Columns - "
                          "Structure Comparisons\r\nFile: " +
                              IgnoredColumnsFile(kIgnoredForStructure) + "\r\n\r\n" + Canonical() +
                              "\r\n    Na]me\r\n\r\n1 table, 1 column.\r\n");
    w->MenuItem("mnuToolsIgnoredColsData")->trigger();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[1].find("other.db.T\r\n    Keep"), std::string::npos) << reports[1];

    // A file that cannot be written: a message, the dialog stays with the choices made, and
    // the other lists are saved.
    const std::string blocked = env.PathOf("blocked");
    ASSERT_TRUE(test::WriteTextFile(blocked, "not a folder"));
    Paths().IgnoredColsDataIni = blocked + "/orv_ignored_cols_data.ini";
    bool stayed = false;
    OnModal([&](QWidget* modal) {
        auto* d = qobject_cast<frmIgnoreColumns*>(modal);
        ASSERT_NE(d, nullptr);
        d->SetIgnored("Id", 1, true);
        d->SetIgnored("Id", 2, true);
        d->findChild<QPushButton*>("cmdOK")->click();
        stayed = d->isVisible();
        EXPECT_EQ(d->Ticked(1), (std::vector<std::string>{"Id"}));
        d->reject();
    });
    w->IgnoreColumns(0);
    EXPECT_TRUE(stayed);
    ASSERT_FALSE(env.prompter.messages.empty());
    EXPECT_EQ(env.prompter.messages.back().title, "Cannot Save");
    EXPECT_NE(env.prompter.messages.back().text.find("unchanged"), std::string::npos);
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForStructure, Canonical(), cols), 2);
    Paths().IgnoredColsDataIni = data;
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, Canonical(), cols), 1) << "nothing lost";
}

TEST_F(MainWindowTools, ColourLegendAndAbout) {
    auto legendShown = OnModal([](QWidget* modal) {
        auto* d = qobject_cast<frmColorSchema*>(modal);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle().toStdString(), "Color Schema");
        QTableWidget* g = d->Legend();
        ASSERT_EQ(g->rowCount(), 4);
        for (int r = 0; r < 4; ++r) {
            const int status = g->item(r, 0)->data(Qt::UserRole).toInt();
            const Colour c = StatusToColor(status);
            EXPECT_EQ(g->item(r, 0)->background().color(),
                      QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF))
                << status;
            EXPECT_EQ(g->item(r, 1)->text().toStdString(), LineStatusMeaning(status));
        }
        Shoot(d, "color_schema");
        d->accept();
    });
    ASSERT_TRUE(w->MenuItem("mnuPopUpShowColorSchema")->isEnabled());
    w->MenuItem("mnuPopUpShowColorSchema")->trigger();
    EXPECT_TRUE(*legendShown);

    auto aboutShown = OnModal([this](QWidget* modal) {
        auto* d = qobject_cast<frmAbout*>(modal);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle().toStdString(), "About Orvane");
        EXPECT_EQ(d->Fact("Version"), "1.0");
        EXPECT_EQ(d->Fact("Licence"), "GNU General Public License, version 3 or later");
        EXPECT_EQ(d->Fact("Log file"), Paths().LogFile);
        EXPECT_EQ(d->Fact("Settings and servers"), env.RegistryFile());
        // No keyring in this test's process: the file keeps them.
        EXPECT_EQ(d->Fact("Passwords"),
                  "Passwords are kept in " + env.RegistryFile() + " (readable only by you).");
        EXPECT_EQ(d->Fact("Qt").rfind(qVersion(), 0), 0u);
        EXPECT_NE(d->Fact("unixODBC driver manager").find("ODBC version 03."), std::string::npos);
        // Connected: the driver answers over a connection.
        EXPECT_NE(d->Fact("ODBC driver").find("(reaching " + sim->ServerName() + ")"),
                  std::string::npos)
            << d->Fact("ODBC driver");
        Shoot(d, "about");
        d->accept();
    });
    w->MenuItem("mnuHelpAbout")->trigger(); // Shift+F1, as the menu test checks
    EXPECT_TRUE(*aboutShown);
}

} // namespace
// Export asks first whether passwords go along, warns once they do, and Import brings a list
// back in (the file holds no password unless it was asked for).
TEST_F(MainWindowTools, ExportAsksAboutPasswordsAndImportBringsServersIn) {
    const std::string plain = env.PathOf("plain.reg");
    const std::string withPasswords = env.PathOf("with.reg");
    env.prompter.fileAnswers = {plain, withPasswords};
    for (const bool include : {false, true}) {
        auto shown = OnModal([include](QWidget* modal) {
            auto* d = dynamic_cast<frmExportServers*>(modal);
            ASSERT_NE(d, nullptr);
            EXPECT_EQ(d->windowTitle().toStdString(), "Export Servers");
            auto* warning = d->findChild<QLabel*>("lblPasswordsWarning");
            EXPECT_FALSE(warning->isVisibleTo(d));
            d->findChild<QCheckBox*>("chkIncludePasswords")->setChecked(include);
            EXPECT_EQ(warning->isVisibleTo(d), include);
            EXPECT_EQ(warning->text().toStdString(),
                      "The exported file will hold the passwords in plain text. Keep it private "
                      "and delete it once it has been imported.");
            d->accept();
        });
        w->MenuItem("mnuToolsExportServers")->trigger();
        EXPECT_TRUE(*shown);
    }
    EXPECT_EQ(test::ReadTextFile(plain).find("Pwd"), std::string::npos);
    EXPECT_NE(test::ReadTextFile(withPasswords).find("\"Pwd\"=\"Sim#Pass1\""), std::string::npos);
    ASSERT_GE(env.prompter.messages.size(), 2u);
    EXPECT_EQ(env.prompter.messages.back().text,
              "Exported 1 server to " + withPasswords + " with their passwords.");

    RemoveServerFromList(sim->ServerName());
    env.prompter.fileAnswers = {withPasswords};
    w->MenuItem("mnuToolsImportServers")->trigger();
    EXPECT_EQ(env.prompter.messages.back().text, "Imported 1 server from " + withPasswords + ".");
    ASSERT_EQ(ServerCount(), 1);
    EXPECT_EQ(ServerList()[1].Pwd, "Sim#Pass1");
}

} // namespace orv
