// The fault switches of the real executable as the program's driver meets them: what the
// driver reports for each fault, and that the server carries on serving afterwards.
#include "test_e2e_fixture.h"
#include "test_e2e_odbc.h"
#include "test_e2e_support.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace sqlsim::e2e;

namespace {

using Rows = std::vector<OdbcConnection::Row>;
using Clock = std::chrono::steady_clock;

std::string shop(const Simulator& sim) {
    return OdbcConnection::connectionString(sim.port(), "7.3", "sa", "sqlsim", "Shop");
}

} // namespace

TEST(E2eFaults, RefusedLoginsAndAnErrorInsideAResult) {
    TempDir dir;
    Simulator sim(dir, shopScript(),
                  {"--fault-refuse-login-every", "2", "--fault-error-mid-result", "4"});
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    OdbcConnection first, second, third;
    ASSERT_TRUE(first.connect(shop(sim))) << first.errorText();
    EXPECT_FALSE(second.connect(shop(sim)));
    EXPECT_TRUE(second.hasNative(18456)) << second.errorText();
    ASSERT_TRUE(third.connect(shop(sim))) << third.errorText();

    long long count = -1;
    EXPECT_FALSE(first.countRows("SELECT n FROM Ten ORDER BY n", count));
    EXPECT_TRUE(first.hasNative(8134)) << first.errorText();
    EXPECT_LE(count, 4);
    // Results within the limit are whole, and the connection is still good.
    Rows rows;
    ASSERT_TRUE(first.query("SELECT Id FROM Customer ORDER BY Id", rows)) << first.errorText();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2][0], "3");
}

TEST(E2eFaults, DroppedConnectionFailsOnlyItself) {
    TempDir dir;
    Simulator sim(dir, shopScript(), {"--fault-drop-after-rows", "5"});
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    OdbcConnection c;
    ASSERT_TRUE(c.connect(shop(sim))) << c.errorText();
    long long count = -1;
    EXPECT_FALSE(c.countRows("SELECT n FROM Ten", count));
    EXPECT_LE(count, 5);
    Rows rows;
    EXPECT_FALSE(c.query("SELECT COUNT(*) FROM Customer", rows)); // the link is gone

    OdbcConnection fresh;
    ASSERT_TRUE(fresh.connect(shop(sim))) << fresh.errorText();
    ASSERT_TRUE(fresh.query("SELECT COUNT(*) FROM Customer", rows)) << fresh.errorText();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "3");
}

TEST(E2eFaults, StalledAnswerEndsAtTheQueryTimeout) {
    TempDir dir;
    Simulator sim(dir, shopScript(), {"--fault-stall", "1.5"});
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    OdbcConnection c;
    ASSERT_TRUE(c.connect(shop(sim))) << c.errorText();
    c.setQueryTimeout(1);
    Rows rows;
    auto start = Clock::now();
    EXPECT_FALSE(c.query("SELECT COUNT(*) FROM Customer", rows));
    ASSERT_FALSE(c.errors().empty());
    EXPECT_EQ(c.errors()[0].state, "HYT00") << c.errorText();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1450));

    c.setQueryTimeout(0);
    start = Clock::now();
    ASSERT_TRUE(c.query("SELECT COUNT(*) FROM Customer", rows)) << c.errorText();
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1500));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "3");
}
