// Every kind of connection failure through the connection layer, with a password full of
// characters that get cut or re-encoded: the password must not reach the log, a message, the
// error text handed back, or an error report's text and address.
#include "core/error_report.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "servers/odbc_connection.h"
#include "servers/server_probe.h"
#include "test_env.h"
#include "test_secrets_support.h"

#include <gtest/gtest.h>

namespace orv::test {
namespace {

class SecretsThroughConnectionLayer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sims_ = new SecretSims(3); }
    static void TearDownTestSuite() {
        DropIdleConnections();
        delete sims_;
        sims_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(sims_->error.empty()) << sims_->error;
        SetConnectionReuse(false);
        Settings().Timeout = 1;
        SetErrorReportHandler([this](const ErrorReport& r) { reports_.push_back(r); });
    }
    void TearDown() override { SetErrorReportHandler(nullptr); }

    static ServerEntry Entry(const FailureKind& kind) {
        ServerEntry e;
        e.Name = kind.server;
        e.SQLAuth = true;
        e.LoginName = kind.login;
        e.Pwd = kSecret;
        e.MRUDb = kind.database;
        return e;
    }

    TestEnv env_;
    std::vector<ErrorReport> reports_;
    static SecretSims* sims_;
};
SecretSims* SecretsThroughConnectionLayer::sims_ = nullptr;

TEST_F(SecretsThroughConnectionLayer, NoFailureKindWritesThePasswordAnywhere) {
    int checks = 0;
    for (const FailureKind& kind : FailureKinds(*sims_)) {
        SCOPED_TRACE(kind.name);
        env_.prompter.messages.clear();
        reports_.clear();
        const ServerEntry server = Entry(kind);

        RecordsetPtr rs;
        int32_t number = 0;
        std::string description;
        const std::string sql =
            kind.name == "query error" ? "SELECT Id FROM NoSuchTable" : "SELECT 1 AS One";
        ASSERT_EQ(ExecAdoCmd(server, kAdCmdText, sql, rs, kind.database, number, description), -1);
        ASSERT_FALSE(description.empty());
        EXPECT_EQ(SecretIn(description), "") << description;
        ++checks;

        // The failure message box, and what the probes that keep quiet do with the same server.
        ASSERT_EQ(env_.prompter.messages.size(), 1u);
        TestConnection(server);
        GetServerVersion(server);
        for (const auto& m : env_.prompter.messages)
            EXPECT_EQ(SecretIn(m.title + "\n" + m.text), "") << m.text;
        ++checks;

        // The log holds the connection text with the password masked and the error line.
        const std::string log = env_.LogText();
        EXPECT_NE(log.find("Password=********;User ID=" + kind.login), std::string::npos) << log;
        EXPECT_NE(log.find("Error " + std::to_string(number) + ": "), std::string::npos) << log;
        EXPECT_EQ(SecretIn(log), "") << log;
        ++checks;

        // The failure reported as an unexpected error would be: the window's text and the
        // address it opens.
        ReportUnexpected(number, description, "frmMain", "LoadServer", "Server: " + server.Name);
        ASSERT_EQ(reports_.size(), 1u);
        const std::string text = ErrorReportText(reports_[0]);
        const std::string url =
            ErrorReportUrl(ErrorReportSite(), reports_[0], "what I did", "dba@example.org");
        EXPECT_NE(text.find(description), std::string::npos);
        EXPECT_EQ(SecretIn(text), "") << text;
        EXPECT_EQ(SecretIn(url), "") << url;
        checks += 2;
    }
    std::printf("connection layer: %d secrets checks (5 places x 5 failure kinds)\n", checks);
    EXPECT_EQ(checks, 25);
}

// The check itself: a description that did carry the password would be caught in every form
// the places above write it.
TEST(SecretSearch, FindsThePasswordRawEncodedOrInPart) {
    EXPECT_NE(SecretIn("Login failed: " + kSecret), "");
    EXPECT_NE(SecretIn(FormEncode("pwd=" + kSecret)), "");
    EXPECT_NE(SecretIn("PWD={Zq7Kx' ;}"), "");
    EXPECT_EQ(SecretIn("Password=********;User ID=dba"), "");
}

} // namespace
} // namespace orv::test
