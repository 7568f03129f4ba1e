// The main window's word on how each panel's connection travels, read from the status bar after
// the real Connect button and server selector connected, with a recording relay between the
// program and the simulator to show what was asked on the wire.
#include "core/settings.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "tcp_relay.h"
#include "test_certificates.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TcpRelay;
using test::TestEnv;

constexpr const char* kScript =
    "CREATE DATABASE Wire\nGO\nUSE Wire\nGO\n"
    "CREATE TABLE Notes (Id int NOT NULL, Body nvarchar(40) NULL)\nGO\n";

// The ENCRYPTION option of the first PRELOGIN message in `bytes` (either side's); -1 if none.
int EncryptionByte(const std::string& bytes) {
    const std::vector<test::TdsMessage> messages = test::TdsMessages(bytes);
    if (messages.empty())
        return -1;
    const std::string& p = messages[0].payload;
    for (size_t at = 0; at + 5 <= p.size() && static_cast<uint8_t>(p[at]) != 0xFF; at += 5) {
        const size_t offset =
            (static_cast<uint8_t>(p[at + 1]) << 8) | static_cast<uint8_t>(p[at + 2]);
        if (p[at] == 0x01 && offset < p.size())
            return static_cast<uint8_t>(p[offset]);
    }
    return -1;
}

// One simulator, TLS or not, with a relay in front, stored as a server with an encryption.
struct Side {
    std::unique_ptr<SqlsimProcess> sim;
    std::unique_ptr<TcpRelay> relay;

    void Start(const TestEnv& env, const std::string& version, bool tls) {
        SqlsimOptions o;
        o.version = version;
        o.scriptTexts = {kScript};
        if (tls) {
            test::TestCertificates certs;
            std::string made;
            ASSERT_TRUE(test::MakeTestCertificates(env.Dir(), certs, made)) << made;
            o.extraArgs = {"--tls-cert", certs.serverCertFile, "--tls-key", certs.serverKeyFile};
        }
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        relay = std::make_unique<TcpRelay>(static_cast<uint16_t>(sim->Port()));
        ASSERT_TRUE(relay->Listening());
    }
    // `host`: the name the server is stored under (two names may reach the one simulator).
    void Store(const std::string& encryption, const std::string& host = "127.0.0.1") const {
        ServerEntry e;
        e.Name = host + "," + std::to_string(relay->Port());
        e.SQLAuth = true;
        e.LoginName = sim->Options().login;
        e.Pwd = sim->Options().password;
        e.MRUDb = "Wire";
        e.Encryption = encryption;
        ServerAddToList(e);
    }
    bool AskedTheView() const {
        for (const auto& s : sim->Statements())
            if (s.sql.find("dm_exec_connections") != std::string::npos)
                return true;
        return false;
    }
};

QLabel* EncryptionLabel(frmMain& w, int panel) {
    return w.statusBar()->findChild<QLabel*>(QString("lblEncryption(%1)").arg(panel));
}

std::string Shown(frmMain& w, int panel) {
    QLabel* label = EncryptionLabel(w, panel);
    if (!label)
        return "<no label>";
    return label->isVisible() ? label->text().toStdString() : "<hidden>";
}

// Connect loads the Source panel, as the user's click does.
void ClickConnect(frmMain& w) {
    auto* connect = w.findChild<QPushButton*>("cmdConnect");
    ASSERT_NE(connect, nullptr);
    QTest::mouseClick(connect, Qt::LeftButton);
    QApplication::processEvents();
}

// The next server in the Target selector, chosen with the keyboard.
void ChooseNextTargetServer(frmMain& w) {
    QtComboControl* selector = w.ServerSelector(1);
    selector->setFocus();
    QTest::keyClick(selector, Qt::Key_Down);
    QApplication::processEvents();
}

std::unique_ptr<frmMain> OpenWindow() {
    LoadSettings(LoadServerList);
    auto w = std::make_unique<frmMain>(MainWindowDialogs{});
    w->FormLoad();
    w->show();
    QApplication::processEvents();
    return w;
}

// Each setting against a server with and without TLS, in both panels: what the server says
// of the connection is what the window shows; nothing shows before a connection, and a
// refused connection shows none.
TEST(MainWindowEncryption, EachPanelSaysHowItsConnectionTravels) {
    const struct {
        const char* name;
        bool tls;
        const char* setting;
        int asked;          // the PRELOGIN request: 0 login at least, 1 whole session, 2 none
        int answered;       // the server's answer: 2 not supported, 1 whole session, 0 login only
        const char* source; // what the Source panel's status says
    } cases[] = {
        {"request without TLS", false, "request", 0, 2, "Source: not encrypted"},
        {"request with TLS", true, "request", 0, 0, "Source: not encrypted"}, // login alone
        {"require with TLS", true, "require", 1, 1, "Source: encrypted"},
        {"off with TLS", true, "off", 2, 2, "Source: not encrypted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestEnv env;
        Side side;
        side.Start(env, "10.50.1600.1", c.tls);
        side.Store(c.setting);
        auto w = OpenWindow();
        EXPECT_EQ(Shown(*w, 0), "<hidden>"); // nothing connected yet
        ClickConnect(*w);
        ASSERT_EQ(w->DatabaseText(0), "Wire") << env.LogText();
        EXPECT_EQ(Shown(*w, 0), c.source);
        EXPECT_EQ(Shown(*w, 1), "<hidden>");
        EXPECT_TRUE(side.AskedTheView());
        EXPECT_EQ(EncryptionByte(side.relay->ClientBytes()), c.asked);
        EXPECT_EQ(EncryptionByte(side.relay->ServerBytes()), c.answered);
        EXPECT_TRUE(env.prompter.messages.empty());
        ResetPanelServers();
    }
}

TEST(MainWindowEncryption, RequireAgainstTlsInTheTargetAndRequestWithoutInTheSource) {
    TestEnv env;
    Side plain, tls;
    plain.Start(env, "10.50.1600.1", false);
    tls.Start(env, "10.50.1600.1", true);
    plain.Store("request");
    tls.Store("require");
    auto w = OpenWindow();
    ClickConnect(*w);
    ChooseNextTargetServer(*w);
    ASSERT_EQ(w->DatabaseText(1), "Wire") << env.LogText();
    EXPECT_EQ(Shown(*w, 0), "Source: not encrypted");
    EXPECT_EQ(Shown(*w, 1), "Target: encrypted");
    const std::string tip = EncryptionLabel(*w, 1)->toolTip().toStdString();
    EXPECT_NE(tip.find("The server reports this connection as encrypted"), std::string::npos)
        << tip;
    EXPECT_EQ(tip.rfind(ServerList()[2].Name + ": ", 0), 0u) << tip;
    // Connect again: both panels are cleared and the Source connects anew.
    ClickConnect(*w);
    EXPECT_EQ(Shown(*w, 0), "Source: not encrypted");
    EXPECT_EQ(Shown(*w, 1), "<hidden>");
    ResetPanelServers();
}

TEST(MainWindowEncryption, ARefusedConnectionShowsNone) {
    TestEnv env;
    Side plain;
    plain.Start(env, "10.50.1600.1", false);
    plain.Store("request");
    plain.Store("require", "localhost"); // the same server again, demanding TLS it lacks
    auto w = OpenWindow();
    ClickConnect(*w);
    ChooseNextTargetServer(*w);
    EXPECT_EQ(Shown(*w, 0), "Source: not encrypted");
    EXPECT_EQ(Shown(*w, 1), "<hidden>");
    ASSERT_FALSE(env.prompter.messages.empty());
    EXPECT_NE(env.prompter.messages.back().text.find("Encryption is required for this server"),
              std::string::npos);
    ResetPanelServers();
}

// SQL Server 2000 keeps no view of its connections: the window does not ask, and says what
// the setting alone tells.
TEST(MainWindowEncryption, SqlServer2000IsNotAskedAndTheSettingTellsWhatItCan) {
    const struct {
        const char* setting;
        const char* shown;
        const char* tip;
    } cases[] = {
        {"request", "Source: encryption unknown", "With \"request\" it depends on the server"},
        {"require", "Source: encrypted", "It is encrypted all the same"},
        {"off", "Source: not encrypted", "Its encryption is \"off\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        TestEnv env;
        Side side;
        side.Start(env, "8.00.2039", true);
        side.Store(c.setting);
        auto w = OpenWindow();
        ClickConnect(*w);
        ASSERT_EQ(w->DatabaseText(0), "Wire") << env.LogText();
        EXPECT_EQ(Shown(*w, 0), c.shown);
        const std::string tip = EncryptionLabel(*w, 0)->toolTip().toStdString();
        EXPECT_NE(tip.find("SQL Server 2000 does not report whether a connection is encrypted."),
                  std::string::npos)
            << tip;
        EXPECT_NE(tip.find(c.tip), std::string::npos) << tip;
        EXPECT_FALSE(side.AskedTheView());
        ResetPanelServers();
    }
}

} // namespace
} // namespace orv
