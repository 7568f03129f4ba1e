// The Add Server and Remove Server dialogs on the offscreen platform, with the trial connection
// going over the real ODBC path to the simulator.
#include "core/program_info.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/servers/frm_add_server.h"
#include "ui/servers/frm_delete_server.h"
#include "ui/widgets/qt_list_control.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>

namespace orv {
namespace {

using test::SqlsimProcess;
using test::TestEnv;

template <class W> W* Child(QWidget& w, const char* name) {
    W* c = w.findChild<W*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

void Type(QWidget& w, const char* box, const std::string& text) {
    Child<QLineEdit>(w, box)->setText(QString::fromStdString(text));
}

void ClickOK(QWidget& w) {
    QTest::mouseClick(Child<QPushButton>(w, "cmdOK"), Qt::LeftButton);
}

bool Logged(const TestEnv& env, const std::string& text) {
    const auto lines = env.LogTexts();
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

ServerEntry Stored(const std::string& name, const std::string& db = "master") {
    ServerEntry e;
    e.Name = name;
    e.SQLAuth = true;
    e.LoginName = "sa";
    e.Pwd = "pw";
    e.MRUDb = db;
    return e;
}

std::vector<std::string> StoredNames() {
    std::vector<std::string> names;
    const int32_t n = ServerCount();
    for (int32_t i = 1; i <= n; ++i)
        names.push_back(ServerList()[static_cast<size_t>(i)].Name);
    return names;
}

// One simulator for the whole suite: starting it per test would dominate the run time.
class AddServerWithSimulator : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::SqlsimOptions options;
        options.scriptTexts.push_back("CREATE DATABASE Inventory\nGO\n");
        sim_ = new SqlsimProcess(options);
        std::string error;
        if (!sim_->Start(error))
            startError_ = error.empty() ? "simulator did not start" : error;
    }
    static void TearDownTestSuite() {
        delete sim_;
        sim_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(startError_.empty()) << startError_;
        sim_->ClearStatements();
    }
    // Fills the dialog with the simulator's address and a login.
    static void FillIn(frmAddServer& w, const std::string& password,
                       const std::string& database = "master") {
        Type(w, "txtServer", "  " + sim_->ServerName() + " ");
        Type(w, "txtDatabase", database);
        Type(w, "txtLogin", sim_->Options().login);
        Type(w, "txtPassword", password);
    }
    bool SimulatorReceived(const std::string& sql) const {
        for (const auto& s : sim_->Statements())
            if (s.sql == sql)
                return true;
        return false;
    }

    TestEnv env;
    static SqlsimProcess* sim_;
    static std::string startError_;
};
SqlsimProcess* AddServerWithSimulator::sim_ = nullptr;
std::string AddServerWithSimulator::startError_;

TEST(AddServerDialog, OpensWithItsCaptionsTipsAndSqlServerAuthentication) {
    TestEnv env;
    frmAddServer w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "Add SQL Server");
    EXPECT_EQ(Child<QLabel>(w, "lblGen(0)")->text(), "SQL Server:");
    EXPECT_EQ(Child<QLabel>(w, "lblGen(1)")->text(), "Database:");
    EXPECT_EQ(Child<QLabel>(w, "lblGen(2)")->text(), "Login name:");
    EXPECT_EQ(Child<QLabel>(w, "lblGen(3)")->text(), "Password:");
    EXPECT_EQ(Child<QLabel>(w, "lblGen(4)")->text(), "Connect using:");
    EXPECT_EQ(Child<QLineEdit>(w, "txtServer")->toolTip(), "SQL Server name");
    EXPECT_EQ(Child<QLineEdit>(w, "txtDatabase")->text(), "master");
    EXPECT_EQ(Child<QLineEdit>(w, "txtLogin")->toolTip(), "Login name");
    EXPECT_EQ(Child<QLineEdit>(w, "txtPassword")->toolTip(), "Password");
    EXPECT_EQ(Child<QLineEdit>(w, "txtPassword")->echoMode(), QLineEdit::Password);
    auto* sqlAuth = Child<QRadioButton>(w, "optGen(1)");
    auto* winAuth = Child<QRadioButton>(w, "optGen(0)");
    EXPECT_EQ(sqlAuth->text(), "SQL Server authentication");
    EXPECT_EQ(winAuth->text(), "Windows authentication");
    EXPECT_EQ(winAuth->toolTip(), "Authentication mode");
    EXPECT_TRUE(sqlAuth->isChecked());
    EXPECT_EQ(Child<QPushButton>(w, "cmdOK")->toolTip(), "Accept changes and close dialog (Enter)");
    EXPECT_EQ(Child<QPushButton>(w, "cmdCancel")->text(), "Cancel");
    EXPECT_EQ(Child<QPushButton>(w, "cmdCancel")->toolTip(),
              "Cancel changes and close dialog (Esc)");
    EXPECT_EQ(Child<QPushButton>(w, "cmdHelp")->text(), "Help");
    EXPECT_EQ(Child<QPushButton>(w, "cmdHelp")->toolTip(), "Display help file (F1)");
    EXPECT_TRUE(Logged(env, "Loading frmAddServer"));

    QTest::mouseClick(Child<QPushButton>(w, "cmdHelp"), Qt::LeftButton);
    QTest::keyClick(&w, Qt::Key_F1);
    EXPECT_EQ(env.prompter.helpTopics, (std::vector<int>{60, 60}));
}

TEST(AddServerDialog, WindowsAuthenticationEmptiesAndGreysTheLoginFields) {
    TestEnv env;
    frmAddServer w;
    w.show();
    auto* login = Child<QLineEdit>(w, "txtLogin");
    auto* password = Child<QLineEdit>(w, "txtPassword");
    auto* frame = Child<QGroupBox>(w, "fraLogin");
    EXPECT_TRUE(frame->isEnabled());
    EXPECT_EQ(login->palette().color(QPalette::Base), QColor(Qt::white));
    login->setText("sa");
    password->setText("secret");

    QTest::mouseClick(Child<QRadioButton>(w, "optGen(0)"), Qt::LeftButton);
    EXPECT_FALSE(frame->isEnabled());
    EXPECT_FALSE(Child<QLabel>(w, "lblGen(2)")->isEnabled());
    EXPECT_FALSE(Child<QLabel>(w, "lblGen(3)")->isEnabled());
    EXPECT_EQ(login->text(), "");
    EXPECT_EQ(password->text(), "");
    EXPECT_EQ(password->palette().color(QPalette::Base), frame->palette().color(QPalette::Window));

    QTest::mouseClick(Child<QRadioButton>(w, "optGen(1)"), Qt::LeftButton);
    EXPECT_TRUE(frame->isEnabled());
    EXPECT_TRUE(Child<QLabel>(w, "lblGen(3)")->isEnabled());
    EXPECT_EQ(password->palette().color(QPalette::Base), QColor(Qt::white));
}

TEST(AddServerDialog, EachMissingFieldIsNamedAndFocusedAndNothingIsStored) {
    TestEnv env;
    frmAddServer w;
    w.show();
    auto message = [&] { return env.prompter.messages.back(); };

    // Enter runs OK.
    Type(w, "txtServer", "   ");
    QTest::keyClick(Child<QLineEdit>(w, "txtServer"), Qt::Key_Return);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(message().text, "Please enter server name.");
    EXPECT_EQ(message().icon, MsgIcon::None);
    EXPECT_EQ(message().title, kExecutableName);
    EXPECT_EQ(w.focusWidget(), Child<QLineEdit>(w, "txtServer"));
    EXPECT_TRUE(Child<QLineEdit>(w, "txtServer")->hasSelectedText());

    Type(w, "txtServer", "sim");
    Type(w, "txtDatabase", " ");
    ClickOK(w);
    EXPECT_EQ(message().text, "Please enter database name.");
    EXPECT_EQ(w.focusWidget(), Child<QLineEdit>(w, "txtDatabase"));

    Type(w, "txtDatabase", "master");
    Type(w, "txtLogin", "  ");
    ClickOK(w);
    EXPECT_EQ(message().text, "Please enter Login name.");
    EXPECT_EQ(w.focusWidget(), Child<QLineEdit>(w, "txtLogin"));

    EXPECT_EQ(env.prompter.messages.size(), 3u);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.ServerAdded());
    EXPECT_EQ(ServerCount(), 0);
    EXPECT_TRUE(Logged(env, "Unloading cmdOK_Click"));
}

TEST(AddServerDialog, AServerStoredUnderAnotherLetterCaseIsRefusedBeforeAnyConnection) {
    TestEnv env;
    ServerAddToList(Stored("SalesSrv"));
    frmAddServer w;
    w.show();
    Type(w, "txtServer", "salessrv");
    Type(w, "txtLogin", "sa");
    ClickOK(w);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].text, "This server is already added to the list.");
    EXPECT_EQ(w.focusWidget(), Child<QLineEdit>(w, "txtServer"));
    EXPECT_TRUE(Logged(env, "ServerExists: salessrv"));
    // No trial connection was made.
    EXPECT_FALSE(Logged(env, "Server: salessrv"));
    EXPECT_EQ(ServerCount(), 1);
}

TEST(AddServerDialog, EscClosesWithoutAddingAndShowUpSaysSo) {
    TestEnv env;
    frmAddServer w;
    bool added = true;
    QTimer::singleShot(0, &w, [&] {
        Type(w, "txtServer", "someserver");
        QTest::keyClick(Child<QLineEdit>(w, "txtServer"), Qt::Key_Escape);
    });
    w.ShowUp(added);
    EXPECT_FALSE(added);
    EXPECT_EQ(ServerCount(), 0);
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_TRUE(Logged(env, "Unloading frmAddServer"));
}

TEST_F(AddServerWithSimulator, AWorkingLoginIsStoredAndShowUpReportsTheAddition) {
    ServerAddToList(Stored("first"));
    PanelServers()[1] = Stored("somewhere else");
    frmAddServer w;
    bool added = false;
    QTimer::singleShot(0, &w, [&] {
        FillIn(w, sim_->Options().password);
        ClickOK(w);
    });
    w.ShowUp(added);
    EXPECT_TRUE(added);
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(SimulatorReceived("SELECT TOP 1 name FROM sysdatabases"));

    ASSERT_EQ(StoredNames(), (std::vector<std::string>{"first", sim_->ServerName()}));
    const ServerEntry& e = ServerList()[2];
    EXPECT_TRUE(e.SQLAuth);
    EXPECT_EQ(e.LoginName, sim_->Options().login);
    EXPECT_EQ(e.Pwd, sim_->Options().password);
    EXPECT_EQ(e.MRUDb, "master");
    // Both panels start again from the first stored server.
    EXPECT_EQ(PanelServers()[0].Name, "first");
    EXPECT_EQ(PanelServers()[1].Name, "first");

    const auto log = env.LogTexts();
    const std::vector<std::string> expected = {
        "Loading frmAddServer",  "Unloading cmdOK_Click", "Server: " + sim_->ServerName(),
        "Database: master",      "SQLAuth: True",         "ServerAddToList: " + sim_->ServerName(),
        "Unloading frmAddServer"};
    size_t at = 0;
    for (const std::string& line : log)
        if (at < expected.size() && line == expected[at])
            ++at;
    EXPECT_EQ(at, expected.size())
        << "missing or out of order: " << expected[std::min(at, expected.size() - 1)];
}

TEST_F(AddServerWithSimulator, ARefusedLoginKeepsTheDialogOpenAndStoresNothing) {
    frmAddServer w;
    w.show();
    FillIn(w, "wrong password");
    ClickOK(w);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    const ShownMessage& m = env.prompter.messages[0];
    EXPECT_EQ(m.icon, MsgIcon::Warning);
    EXPECT_EQ(m.title, "Cannot Connect To The Server");
    // The server's own reason comes on the line after the general one.
    EXPECT_EQ(m.text, "Cannot connect to the server - server does not exist or access denied."
                      "\r\nLogin failed for user 'sa'.\r\n\r\nPlease enter correct server data.");
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.ServerAdded());
    EXPECT_EQ(w.focusWidget(), Child<QLineEdit>(w, "txtServer"));
    EXPECT_EQ(Child<QLineEdit>(w, "txtServer")->selectedText(),
              Child<QLineEdit>(w, "txtServer")->text());
    EXPECT_EQ(ServerCount(), 0);
    // The command layer's own box is not shown besides.
    EXPECT_EQ(env.prompter.messages.size(), 1u);

    // Correcting the password on the same dialog then works.
    Type(w, "txtPassword", sim_->Options().password);
    ClickOK(w);
    EXPECT_TRUE(w.ServerAdded());
    EXPECT_EQ(StoredNames(), std::vector<std::string>{sim_->ServerName()});
}

// The encryption chosen is the one the trial connection uses and the one stored: "require"
// against a server that offers no TLS is refused with the reason, "off" is stored as chosen.
TEST_F(AddServerWithSimulator, TheChosenEncryptionIsTriedAndStored) {
    frmAddServer w;
    w.show();
    auto* encryption = Child<QComboBox>(w, "cboEncryption");
    ASSERT_EQ(encryption->count(), 3);
    EXPECT_EQ(encryption->currentText(), "request");
    EXPECT_EQ(Child<QLabel>(w, "lblGen(5)")->text(), "Encryption:");
    FillIn(w, sim_->Options().password);
    encryption->setCurrentText("require");
    ClickOK(w);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_NE(env.prompter.messages[0].text.find(
                  "Encryption is required for this server: a server that offers none is refused."),
              std::string::npos)
        << env.prompter.messages[0].text;
    EXPECT_EQ(ServerCount(), 0);
    encryption->setCurrentText("off");
    ClickOK(w);
    EXPECT_TRUE(w.ServerAdded());
    LoadServerList();
    ASSERT_EQ(ServerCount(), 1);
    EXPECT_EQ(ServerList()[1].Encryption, "off");
}

// The CA file is chosen through the file dialog and tried before it is stored: against a server
// that offers no TLS it cannot be checked, so the server is refused; an edited path is stored.
TEST_F(AddServerWithSimulator, ACaFileIsChosenTriedAndStored) {
    frmAddServer w;
    w.show();
    EXPECT_EQ(Child<QLabel>(w, "lblGen(6)")->text(), "CA certificate:");
    const std::string ca = env.PathOf("ca.pem");
    ASSERT_TRUE(
        test::WriteTextFile(ca, "-----BEGIN CERTIFICATE-----\nAA==\n-----END CERTIFICATE-----\n"));
    env.prompter.fileAnswers.push_back(ca);
    QTest::mouseClick(Child<QPushButton>(w, "cmdCAFile"), Qt::LeftButton);
    ASSERT_EQ(env.prompter.fileRequests.size(), 1u);
    EXPECT_FALSE(env.prompter.fileRequests[0].save);
    EXPECT_EQ(Child<QLineEdit>(w, "txtCAFile")->text().toStdString(), ca);
    FillIn(w, sim_->Options().password);
    ClickOK(w);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_NE(env.prompter.messages[0].text.find("The server's certificate must be signed by "
                                                 "the CA in " +
                                                 ca),
              std::string::npos)
        << env.prompter.messages[0].text;
    EXPECT_EQ(ServerCount(), 0);
    // Stored as given once the connection works (here: without a CA file it does, and the
    // value is then not written at all).
    Child<QLineEdit>(w, "txtCAFile")->setText("");
    ClickOK(w);
    EXPECT_TRUE(w.ServerAdded());
    LoadServerList();
    ASSERT_EQ(ServerCount(), 1);
    EXPECT_EQ(ServerList()[1].CAFile, "");
}

TEST_F(AddServerWithSimulator, AnotherDatabaseOnAnOldServerIsAcceptedOnABareLogin) {
    frmAddServer w;
    w.show();
    FillIn(w, sim_->Options().password, "Inventory");
    ClickOK(w);
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_TRUE(w.ServerAdded());
    EXPECT_TRUE(SimulatorReceived("SELECT TOP 1 name FROM sys.databases"));
    EXPECT_TRUE(Logged(env, "Database: Inventory"));
    EXPECT_TRUE(Logged(env, "llngReturn = -1, trying again"));
    ASSERT_EQ(ServerCount(), 1);
    EXPECT_EQ(ServerList()[1].MRUDb, "Inventory");
}

TEST_F(AddServerWithSimulator, TheBareLoginDoesNotCheckThatTheDatabaseExists) {
    frmAddServer w;
    w.show();
    FillIn(w, sim_->Options().password, "NoSuchDb");
    ClickOK(w);
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_TRUE(w.ServerAdded());
    EXPECT_TRUE(Logged(env, "llngReturn = -1, trying again"));
    EXPECT_EQ(ServerList()[1].MRUDb, "NoSuchDb");

    // A wrong password fails the bare login too.
    RemoveServerFromList(sim_->ServerName());
    frmAddServer second;
    second.show();
    Type(second, "txtServer", sim_->ServerName());
    Type(second, "txtDatabase", "NoSuchDb");
    Type(second, "txtLogin", sim_->Options().login);
    Type(second, "txtPassword", "nope");
    ClickOK(second);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Connect To The Server");
    EXPECT_EQ(ServerCount(), 0);
}

// Windows authentication sends no login of its own: the trial connection asks for integrated
// security. Whether this machine's driver can provide it decides the outcome, so both are
// checked for what must hold.
TEST(AddServerDialog, WindowsAuthenticationTriesIntegratedSecurityWithoutTheTypedLogin) {
    TestEnv env;
    test::SqlsimOptions options;
    options.extraArgs.push_back("--allow-integrated");
    SqlsimProcess sim(options);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    frmAddServer w;
    w.show();
    Type(w, "txtServer", sim.ServerName());
    Type(w, "txtLogin", "sa");
    Type(w, "txtPassword", "typed-before-switching");
    QTest::mouseClick(Child<QRadioButton>(w, "optGen(0)"), Qt::LeftButton);
    ClickOK(w);
    EXPECT_TRUE(Logged(env, "SQLAuth: False"));
    for (const std::string& line : env.LogTexts()) {
        if (line.rfind("Conn. string: ", 0) != 0)
            continue;
        EXPECT_NE(line.find("Integrated Security=SSPI"), std::string::npos) << line;
        EXPECT_EQ(line.find("User ID"), std::string::npos) << line;
        EXPECT_EQ(line.find("typed-before-switching"), std::string::npos) << line;
    }
    if (w.ServerAdded()) {
        ASSERT_EQ(ServerCount(), 1);
        EXPECT_FALSE(ServerList()[1].SQLAuth);
        EXPECT_EQ(ServerList()[1].LoginName, "");
        EXPECT_EQ(ServerList()[1].Pwd, "");
    } else {
        ASSERT_EQ(env.prompter.messages.size(), 1u);
        EXPECT_EQ(env.prompter.messages[0].title, "Cannot Connect To The Server");
        EXPECT_EQ(ServerCount(), 0);
    }
}

TEST(RemoveServerDialog, ListsTheStoredServersUnderItsCaptions) {
    TestEnv env;
    for (const char* name : {"alpha", "beta", "gamma"})
        ServerAddToList(Stored(name));
    frmDeleteServer w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "Remove Server");
    EXPECT_EQ(Child<QLabel>(w, "lblSelect")->text(), "Select Server to be removed from the list.");
    auto* list = Child<QtListControl>(w, "lstServers");
    EXPECT_EQ(list->toolTip(), "List of SQL servers");
    ASSERT_EQ(list->Count(), 3);
    EXPECT_EQ(list->CellText(0, 0), "alpha");
    EXPECT_EQ(list->CellText(2, 0), "gamma");
    EXPECT_EQ(Child<QPushButton>(w, "cmdRemove")->text(), "&Remove");
    EXPECT_EQ(Child<QPushButton>(w, "cmdRemove")->toolTip(),
              "Remove selected server from the list");
    EXPECT_EQ(Child<QPushButton>(w, "cmdExit")->text(), "E&xit");
    EXPECT_EQ(Child<QPushButton>(w, "cmdExit")->toolTip(), "Close dialog (Esc)");
}

TEST(RemoveServerDialog, NothingSelectedAsksForASelection) {
    TestEnv env;
    ServerAddToList(Stored("alpha"));
    frmDeleteServer w;
    w.show();
    QTest::mouseClick(Child<QPushButton>(w, "cmdRemove"), Qt::LeftButton);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(env.prompter.messages[0].text,
              "Please select the server to be removed from the list.");
    EXPECT_EQ(w.focusWidget(), Child<QtListControl>(w, "lstServers"));
    EXPECT_EQ(ServerCount(), 1);
}

TEST(RemoveServerDialog, AnsweringNoLeavesTheListAndTheDialogAsTheyWere) {
    TestEnv env;
    for (const char* name : {"alpha", "beta"})
        ServerAddToList(Stored(name));
    const std::string before = test::ReadTextFile(env.RegistryFile());
    frmDeleteServer w;
    w.show();
    Child<QtListControl>(w, "lstServers")->SetSelected(1, true);
    env.prompter.answers.push_back(MsgAnswer::No);
    QTest::mouseClick(Child<QPushButton>(w, "cmdRemove"), Qt::LeftButton);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    const ShownMessage& m = env.prompter.messages[0];
    EXPECT_EQ(m.icon, MsgIcon::Question);
    EXPECT_EQ(m.buttons, MsgButtons::YesNo);
    EXPECT_EQ(m.title, "Confirm Removing Server");
    EXPECT_EQ(m.text,
              "Are you sure that you want to remove\r\n\r\nbeta\r\n\r\nfrom the list of servers?");
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.ServerDeleted());
    EXPECT_EQ(test::ReadTextFile(env.RegistryFile()), before);
}

TEST(RemoveServerDialog, AnsweringYesRemovesTheServerAndResetsBothPanels) {
    TestEnv env;
    for (const char* name : {"alpha", "beta", "gamma"})
        ServerAddToList(Stored(name));
    PanelServers()[0] = Stored("alpha");
    PanelServers()[1] = Stored("gamma");
    frmDeleteServer w;
    bool deleted = false;
    QTimer::singleShot(0, &w, [&] {
        Child<QtListControl>(w, "lstServers")->SetSelected(0, true);
        env.prompter.answers.push_back(MsgAnswer::Yes);
        QTest::mouseClick(Child<QPushButton>(w, "cmdRemove"), Qt::LeftButton);
    });
    w.ShowUp(deleted);
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"beta", "gamma"}));
    EXPECT_EQ(PanelServers()[0].Name, "beta");
    EXPECT_EQ(PanelServers()[1].Name, "beta");

    // A fresh dialog shows what is left, and Exit closes it with nothing changed.
    frmDeleteServer again;
    bool deletedAgain = true;
    int rows = 0;
    QTimer::singleShot(0, &again, [&] {
        rows = Child<QtListControl>(again, "lstServers")->Count();
        QTest::mouseClick(Child<QPushButton>(again, "cmdExit"), Qt::LeftButton);
    });
    again.ShowUp(deletedAgain);
    EXPECT_EQ(rows, 2);
    EXPECT_FALSE(deletedAgain);
}

} // namespace
} // namespace orv
