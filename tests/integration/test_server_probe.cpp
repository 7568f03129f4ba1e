#include "servers/server_probe.h"
#include "servers_sim.h"

#include <algorithm>

namespace orv::test {
namespace {

using ServerProbeTest = ServersSimTest;

std::vector<std::string> Tail(const std::vector<std::string>& v, size_t n) {
    return {v.end() - static_cast<std::ptrdiff_t>(std::min(n, v.size())), v.end()};
}

TEST_F(ServerProbeTest, MasterIsCheckedThroughTheOldCatalog) {
    ServerEntry e = Sa();
    EXPECT_TRUE(TestConnection(e));
    auto statements = sim_->Statements();
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_EQ(statements[0].sql, "SELECT TOP 1 name FROM sysdatabases");
    EXPECT_EQ(statements[0].database, "master");
    auto log = env.LogTexts();
    EXPECT_NE(std::find(log.begin(), log.end(), "Server: " + sim_->ServerName()), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "Database: master"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "SQLAuth: True"), log.end());
    EXPECT_FALSE(QuietConnectionErrors);
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_EQ(env.prompter.pointer, kPointerDefault);
}

TEST_F(ServerProbeTest, AnOldServerWithoutTheNewCatalogIsAcceptedByABareLogin) {
    ServerEntry e = Sa();
    e.MRUDb = "Shop";
    QuietConnectionErrors = true; // the trial leaves it off whatever it found
    EXPECT_TRUE(TestConnection(e));
    EXPECT_FALSE(QuietConnectionErrors);
    auto statements = sim_->Statements();
    ASSERT_GE(statements.size(), 1u);
    EXPECT_EQ(statements[0].sql, "SELECT TOP 1 name FROM sys.databases");
    auto log = env.LogTexts();
    EXPECT_NE(std::find(log.begin(), log.end(), "llngReturn = -1, trying again"), log.end());
    // The bare login carries no catalog.
    EXPECT_EQ(Tail(log, 1)[0].rfind("Conn. string: ", 0), 0u);
    EXPECT_EQ(Tail(log, 1)[0].find("Initial Catalog"), std::string::npos);
    EXPECT_TRUE(env.prompter.messages.empty());
}

TEST_F(ServerProbeTest, ARefusedLoginFailsWithoutShowingTheProvidersMessage) {
    ServerEntry e = Sa("wrong");
    EXPECT_FALSE(TestConnection(e));
    e.MRUDb = "Shop";
    EXPECT_FALSE(TestConnection(e));
    EXPECT_TRUE(env.prompter.messages.empty());
    auto log = env.LogTexts();
    EXPECT_NE(std::find(log.begin(), log.end(), "Error -2147217843: Login failed for user 'sa'."),
              log.end());
}

TEST(ServerProbeText, TheGeneralFailureReadsAsAMissingServer) {
    EXPECT_EQ(TestConnectionFailureText(-2147467259, "Unable to connect"),
              "SQL Server does not exist or access denied.");
    EXPECT_EQ(TestConnectionFailureText(-2147217843, "Login failed for user 'sa'."),
              "Login failed for user 'sa'.");
}

} // namespace
} // namespace orv::test
