// The real executable through unixODBC and the FreeTDS driver, the way the program reaches it:
// types, protocol versions, bound parameters, timeouts, many clients and a large result.
#include "test_e2e_odbc.h"
#include "test_e2e_fixture.h"
#include "test_e2e_support.h"

#include <gtest/gtest.h>

#include <barrier>
#include <chrono>
#include <thread>

using namespace sqlsim::e2e;

namespace {

using Rows = std::vector<OdbcConnection::Row>;

std::string connStr(const Simulator& sim, const std::string& version = "7.3",
                    const std::string& db = "Shop", const std::string& user = "sa",
                    const std::string& pw = "sqlsim") {
    return OdbcConnection::connectionString(sim.port(), version, user, pw, db);
}

} // namespace

TEST(E2eOdbc, NullsAndUnicodeAtEveryProtocolVersion) {
    TempDir dir;
    Simulator sim(dir, shopScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    for (std::string v : {"7.1", "7.2", "7.3", "7.4"}) {
        OdbcConnection c;
        ASSERT_TRUE(c.connect(connStr(sim, v))) << v << " " << c.errorText();
        Rows rows;
        ASSERT_TRUE(c.query("SELECT Id, Name, City FROM Customer ORDER BY Id", rows))
            << v << " " << c.errorText();
        ASSERT_EQ(rows.size(), 3u) << v;
        EXPECT_EQ(rows[0][1], "Zoë Ünal") << v;
        EXPECT_EQ(rows[0][2], "Köln") << v;
        EXPECT_EQ(rows[1][0], "2") << v;
        EXPECT_FALSE(rows[1][1].has_value()) << v;
        EXPECT_FALSE(rows[1][2].has_value()) << v;
        EXPECT_EQ(rows[2][1], "日本語 ☃") << v;
    }
}

TEST(E2eOdbc, EveryColumnTypeArrivesWithItsValue) {
    TempDir dir;
    Simulator sim(dir, typesScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"c_tinyint", "255"},
        {"c_smallint", "-32768"},
        {"c_int", "2147483647"},
        {"c_bigint", "9223372036854775807"},
        {"c_bit", "1"},
        {"c_real", "1.5"},
        {"c_float", "2.25"},
        {"c_decimal", "12345678.91"},
        // The simulator keeps exact numerics to fifteen significant digits.
        {"c_numeric", "-1234567890.5678"},
        {"c_money", "922337203685477.5807"},
        {"c_smallmoney", "-214748.3648"},
        {"c_datetime", "2010-06-15 13:45:30.997"},
        {"c_smalldatetime", "2010-06-15 13:45:00"},
        {"c_char", "ab   "},
        {"c_varchar", "Grüße"},
        {"c_nchar", "ü    "},
        {"c_nvarchar", "Ωmega"},
        {"c_nvarcharmax", "long ☃ text"},
        {"c_varcharmax", "long text"},
        {"c_text", "text value"},
        {"c_ntext", "ntext ☃"},
        {"c_image", "0102"},
        {"c_binary", "deadbeef"},
        {"c_varbinary", "00ff"},
        {"c_varbinarymax", "cafe"},
        {"c_guid", "6F9619FF-8B86-D011-B42D-00C04FC964FF"},
    };
    // 7.1 has no (max) types: those columns travel as text/ntext/image there.
    for (std::string v : {"7.1", "7.4"}) {
        OdbcConnection c;
        ASSERT_TRUE(c.connect(connStr(sim, v))) << c.errorText();
        Rows rows;
        ASSERT_TRUE(c.query("SELECT * FROM AllTypes", rows)) << c.errorText();
        ASSERT_EQ(rows.size(), 2u);
        auto cols = c.columns();
        ASSERT_EQ(cols.size(), expected.size());
        for (size_t k = 0; k < expected.size(); ++k) {
            EXPECT_EQ(cols[k].name, expected[k].first);
            EXPECT_EQ(rows[0][k].value_or("<NULL>"), expected[k].second)
                << v << " " << expected[k].first;
            EXPECT_FALSE(rows[1][k].has_value()) << v << " " << expected[k].first;
        }
        // The driver sees the SQL types SQL Server reports.
        EXPECT_EQ(cols[0].type, SQL_TINYINT);
        EXPECT_EQ(cols[3].type, SQL_BIGINT);
        EXPECT_EQ(cols[4].type, SQL_BIT);
        // The driver reports decimal and numeric alike.
        EXPECT_EQ(cols[7].type, SQL_NUMERIC);
        EXPECT_EQ(cols[7].size, 10u);
        EXPECT_EQ(cols[7].digits, 2);
        EXPECT_EQ(cols[8].type, SQL_NUMERIC);
        EXPECT_EQ(cols[11].type, SQL_TYPE_TIMESTAMP);
        EXPECT_EQ(cols[13].type, SQL_CHAR);
        EXPECT_EQ(cols[14].type, SQL_VARCHAR);
        EXPECT_EQ(cols[14].size, 20u);
        EXPECT_EQ(cols[16].type, SQL_WVARCHAR);
        EXPECT_EQ(cols[16].size, 20u);
        EXPECT_EQ(cols[19].type, SQL_LONGVARCHAR);
        EXPECT_EQ(cols[20].type, SQL_WLONGVARCHAR);
        EXPECT_EQ(cols[21].type, SQL_LONGVARBINARY);
        EXPECT_EQ(cols[22].type, SQL_BINARY);
        EXPECT_EQ(cols[25].type, SQL_GUID);
    }
}

TEST(E2eOdbc, LoginRefusalsCarryTheServerErrorNumbers) {
    TempDir dir;
    Simulator sim(dir, shopScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    OdbcConnection wrong;
    EXPECT_FALSE(wrong.connect(connStr(sim, "7.3", "Shop", "sa", "nope")));
    EXPECT_TRUE(wrong.hasNative(18456)) << wrong.errorText();
    OdbcConnection noDb;
    EXPECT_FALSE(noDb.connect(connStr(sim, "7.3", "Nowhere")));
    EXPECT_TRUE(noDb.hasNative(4060)) << noDb.errorText();
    EXPECT_TRUE(noDb.hasNative(18456)) << noDb.errorText();
}

TEST(E2eOdbc, BoundParameterTravelsAsRpcAndIsLogged) {
    TempDir dir;
    Simulator sim(dir, shopScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    for (std::string v : {"7.1", "7.4"}) {
        OdbcConnection c;
        ASSERT_TRUE(c.connect(connStr(sim, v))) << c.errorText();
        Rows rows;
        ASSERT_TRUE(c.queryWithParam("SELECT Name FROM Customer WHERE City = ?", "Paris", rows))
            << v << " " << c.errorText();
        ASSERT_EQ(rows.size(), 1u) << v;
        EXPECT_EQ(rows[0][0], "日本語 ☃") << v;
        // Quotes in the value must not break out of the literal.
        ASSERT_TRUE(
            c.queryWithParam("SELECT Name FROM Customer WHERE City = ?", "x' OR 'a'='a", rows))
            << v << " " << c.errorText();
        EXPECT_TRUE(rows.empty()) << v;
    }
    int logged = 0;
    for (const auto& line : sim.statementLog())
        if (line.rfind("Shop\tsa\tsp_", 0) == 0 &&
            line.find("SELECT Name FROM Customer WHERE City = @P1") != std::string::npos)
            ++logged;
    EXPECT_EQ(logged, 4);
}

TEST(E2eOdbc, QueryTimeoutCancelsAndTheConnectionStaysUsable) {
    TempDir dir;
    Simulator sim(dir, shopScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    OdbcConnection c;
    ASSERT_TRUE(c.connect(connStr(sim))) << c.errorText();
    c.setQueryTimeout(1);
    Rows rows;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(c.query("WAITFOR DELAY '00:00:10'", rows));
    auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_FALSE(c.errors().empty());
    EXPECT_EQ(c.errors()[0].state, "HYT00") << c.errorText();
    EXPECT_LT(elapsed, std::chrono::seconds(5));
    ASSERT_TRUE(c.query("SELECT COUNT(*) FROM Customer", rows)) << c.errorText();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "3");
}

TEST(E2eOdbc, ThirtyTwoClientsAtOnce) {
    TempDir dir;
    Simulator sim(dir, shopScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    constexpr int kClients = 32;
    std::barrier sync(kClients);
    std::atomic<int> correct{0};
    std::vector<std::string> failures(kClients);
    std::vector<std::thread> threads;
    const char* names[] = {"Zoë Ünal", nullptr, "日本語 ☃"};
    for (int i = 0; i < kClients; ++i) {
        threads.emplace_back([&, i] {
            OdbcConnection c;
            bool ok = c.connect(connStr(sim, i % 2 ? "7.4" : "7.2"));
            // Every client is connected before any of them queries.
            sync.arrive_and_wait();
            if (!ok) {
                failures[i] = c.errorText();
                return;
            }
            int id = i % 3 + 1;
            for (int round = 0; round < 5; ++round) {
                Rows rows;
                if (!c.query("SELECT Name FROM Customer WHERE Id = " + std::to_string(id), rows) ||
                    rows.size() != 1 ||
                    rows[0][0] != (names[id - 1] ? std::optional<std::string>(names[id - 1])
                                                 : std::nullopt)) {
                    failures[i] = "wrong answer " + c.errorText();
                    return;
                }
            }
            ++correct;
        });
    }
    for (auto& t : threads)
        t.join();
    for (int i = 0; i < kClients; ++i)
        EXPECT_TRUE(failures[i].empty()) << "client " << i << ": " << failures[i];
    EXPECT_EQ(correct.load(), kClients);
}

TEST(E2eOdbc, MillionRowsStreamWithFlatMemory) {
    TempDir dir;
    Simulator sim(dir, shopScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    OdbcConnection c;
    ASSERT_TRUE(c.connect(connStr(sim, "7.4"))) << c.errorText();
    long long count = 0;
    ASSERT_TRUE(c.countRows("SELECT a.n, b.n FROM Ten a CROSS JOIN Ten b", count)) << c.errorText();
    ASSERT_EQ(count, 100);
    long before = sim.peakRssKb();
    ASSERT_TRUE(c.countRows(kMillionRows, count)) << c.errorText();
    EXPECT_EQ(count, 1000000);
    long after = sim.peakRssKb();
    RecordProperty("peak_rss_kb_before", static_cast<int>(before));
    RecordProperty("peak_rss_kb_after", static_cast<int>(after));
    std::printf("sqlsim peak RSS: %ld kB before, %ld kB after 1,000,000 rows\n", before, after);
    // Six int columns of a million rows are over 30 MB on the wire; a server that kept the
    // result would grow by at least that much.
    EXPECT_LT(after - before, 16 * 1024);
}

TEST(E2eOdbc, StoppingWithClientsConnectedIsClean) {
    TempDir dir;
    Simulator sim(dir, shopScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    OdbcConnection idle;
    ASSERT_TRUE(idle.connect(connStr(sim))) << idle.errorText();
    OdbcConnection busy;
    ASSERT_TRUE(busy.connect(connStr(sim))) << busy.errorText();
    std::thread waiting([&] {
        Rows rows;
        busy.query("WAITFOR DELAY '00:00:20'", rows);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    waiting.join();
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp"));
}

// The driver answers a DOMAIN\user login with NTLM; with --allow-integrated that is accepted
// and the statement log shows an empty login name.
TEST(E2eOdbc, IntegratedLoginThroughNtlm) {
    TempDir dir;
    Simulator sim(dir, shopScript(), {"--allow-integrated"});
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    OdbcConnection c;
    ASSERT_TRUE(c.connect(connStr(sim, "7.4", "Shop", "CORP\\alice", "anything"))) << c.errorText();
    Rows rows;
    ASSERT_TRUE(c.query("SELECT COUNT(*) FROM Customer", rows)) << c.errorText();
    EXPECT_EQ(rows[0][0], "3");
    auto log = sim.statementLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Shop\t\tSELECT COUNT(*) FROM Customer");

    TempDir dir2;
    Simulator strict(dir2, shopScript());
    ASSERT_TRUE(strict.running()) << strict.stderrText();
    OdbcConnection refused;
    EXPECT_FALSE(refused.connect(connStr(strict, "7.4", "Shop", "CORP\\alice", "anything")));
    EXPECT_TRUE(refused.hasNative(18452)) << refused.errorText();
}

// A pooled connection is put back as it was right after login before it is reused, either by
// the driver flagging the next request or by calling the reset procedure.
TEST(E2eOdbc, SessionResetReturnsToTheLoginDatabase) {
    TempDir dir;
    Simulator sim(dir, shopScript());
    ASSERT_TRUE(sim.running()) << sim.stderrText();
    OdbcConnection c;
    ASSERT_TRUE(c.connect(connStr(sim))) << c.errorText();
    Rows rows;
    auto currentDb = [&] {
        EXPECT_TRUE(c.query("SELECT DB_NAME()", rows)) << c.errorText();
        return rows.empty() ? std::string("<none>") : rows[0][0].value_or("<NULL>");
    };
    ASSERT_TRUE(c.query("USE master", rows)) << c.errorText();
    EXPECT_EQ(currentDb(), "master");
    ASSERT_TRUE(c.query("{call sp_reset_connection}", rows)) << c.errorText();
    EXPECT_EQ(currentDb(), "Shop");

    ASSERT_TRUE(c.query("USE master", rows)) << c.errorText();
    if (c.requestReset()) {
        EXPECT_EQ(currentDb(), "Shop");
    }
    // The log keeps what the client sent and nothing of the driver's housekeeping.
    bool loggedUse = false;
    for (const auto& line : sim.statementLog()) {
        EXPECT_EQ(line.find("sp_reset_connection"), std::string::npos) << line;
        loggedUse |= line == "Shop\tsa\tUSE master";
    }
    EXPECT_TRUE(loggedUse);
}
