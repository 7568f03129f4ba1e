// The real executable driven by Debian's own clients, tsql (freetds-bin) and isql (unixodbc),
// plus its start-up and shutdown behaviour.
#include "test_e2e_fixture.h"
#include "test_e2e_support.h"

#include <gtest/gtest.h>

using namespace sqlsim::e2e;

namespace {

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

} // namespace

TEST(E2eClients, IsqlLogsInQueriesAndIsRefusedWithAWrongPassword) {
    TempDir dir;
    Simulator sim(dir, shopScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    ClientConfig cfg(dir, sim.port(), "7.3", "Shop");
    std::string out = cfg.isql("sa", "sqlsim", "SELECT Id, Name, City FROM Customer ORDER BY Id\n");
    EXPECT_TRUE(contains(out, "Zoë Ünal")) << out;
    EXPECT_TRUE(contains(out, "日本語 ☃")) << out;
    EXPECT_TRUE(contains(out, "Paris")) << out;

    std::string refused = cfg.isql("sa", "wrong", "SELECT 1\n");
    EXPECT_TRUE(contains(refused, "Login failed for user 'sa'.")) << refused;
    EXPECT_FALSE(contains(refused, "Zoë"));
}

TEST(E2eClients, TsqlWorksAtEveryProtocolVersion) {
    TempDir dir;
    Simulator sim(dir, shopScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    ClientConfig cfg(dir, sim.port());
    for (std::string v : {"7.1", "7.2", "7.3", "7.4"}) {
        std::string out = cfg.tsql(sim.port(), v, "sa", "sqlsim",
                                   "USE Shop\ngo\nSELECT Name FROM Customer WHERE Id = 2\ngo\n"
                                   "SELECT Name FROM Customer WHERE Id = 1\ngo\nexit\n");
        EXPECT_TRUE(contains(out, "NULL")) << v << "\n" << out;
        EXPECT_TRUE(contains(out, "Zoë Ünal")) << v << "\n" << out;
        EXPECT_FALSE(contains(out, "Msg ")) << v << "\n" << out;
    }
}

TEST(E2eClients, TsqlReportsUnknownDatabaseAndUnknownLogin) {
    TempDir dir;
    Simulator sim(dir, shopScript(), {"--login", "app:secret"});
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    ClientConfig cfg(dir, sim.port());
    std::string db = cfg.run("tsql -H 127.0.0.1 -p " + std::to_string(sim.port()) +
                                 " -U app -P secret -D Nowhere",
                             "SELECT 1\ngo\nexit\n");
    EXPECT_TRUE(contains(db, "Cannot open database \"Nowhere\" requested by the login. The login "
                             "failed."))
        << db;
    // With --login given, the built-in login is gone.
    std::string sa = cfg.tsql(sim.port(), "7.4", "sa", "sqlsim", "SELECT 1\ngo\nexit\n");
    EXPECT_TRUE(contains(sa, "Login failed for user 'sa'.")) << sa;
    std::string ok = cfg.tsql(sim.port(), "7.4", "app", "secret", "SELECT 42\ngo\nexit\n");
    EXPECT_TRUE(contains(ok, "42")) << ok;
}

TEST(E2eClients, StatementLogHoldsWhatEachClientSent) {
    TempDir dir;
    Simulator sim(dir, shopScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    ClientConfig cfg(dir, sim.port(), "7.3", "Shop");
    cfg.tsql(sim.port(), "7.3", "sa", "sqlsim",
             "SELECT Name\nFROM Shop.dbo.Customer\tWHERE Id = 1\ngo\nexit\n");
    cfg.isql("sa", "sqlsim", "SELECT City FROM Customer WHERE Id = 3\n");
    auto log = sim.statementLog();
    bool sawTsql = false, sawIsql = false;
    for (const auto& line : log) {
        if (line == "master\tsa\tSELECT Name\\nFROM Shop.dbo.Customer\\tWHERE Id = 1\\n")
            sawTsql = true;
        // isql prepares its statement; the driver sends it with sp_prepexec.
        if (line.rfind("Shop\tsa\t", 0) == 0 &&
            contains(line, "SELECT City FROM Customer WHERE Id = 3"))
            sawIsql = true;
    }
    std::string all;
    for (const auto& l : log)
        all += l + "\n";
    EXPECT_TRUE(sawTsql) << all;
    EXPECT_TRUE(sawIsql) << all;
}

TEST(E2eClients, FailingScriptStopsStartUpWithItsError) {
    TempDir dir;
    Simulator sim(dir, "CREATE TABLE (\nGO\n");
    EXPECT_FALSE(sim.running());
    EXPECT_EQ(sim.stop(), 1);
    EXPECT_TRUE(contains(sim.stderrText(), "setup.sql")) << sim.stderrText();
    EXPECT_FALSE(fs::exists(dir.path() / "port"));
}

TEST(E2eClients, SigtermStopsCleanlyAndRemovesTheTemporaryDataDir) {
    TempDir dir;
    Simulator sim(dir, shopScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    ClientConfig cfg(dir, sim.port());
    std::string out = cfg.tsql(sim.port(), "7.4", "sa", "sqlsim", "SELECT 1\ngo\nexit\n");
    EXPECT_FALSE(fs::is_empty(dir.path() / "tmp"));
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp"));
}

TEST(E2eClients, DataDirIsKeptAcrossRuns) {
    TempDir dir;
    fs::path data = dir.path() / "data";
    {
        Simulator sim(dir, shopScript(), {"--data-dir", data.string()});
        ASSERT_TRUE(sim.running()) << sim.stderrText();
        EXPECT_EQ(sim.stop(), 0);
    }
    ASSERT_TRUE(fs::exists(data));
    EXPECT_FALSE(fs::is_empty(data));
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp"));
}

TEST(E2eClients, BadCommandLineIsRefused) {
    TempDir dir;
    ClientConfig cfg(dir, 1);
    std::string out =
        cfg.run("sh -c '" + std::string(SQLSIM_BIN) + " --port nonsense; echo rc=$?'", "");
    EXPECT_TRUE(contains(out, "bad port")) << out;
    EXPECT_TRUE(contains(out, "rc=2")) << out;
}
