// Results stream row by row, cancellation stops work promptly, WAITFOR honours attention.
#include "test_engine_support.h"

#include <chrono>
#include <sys/resource.h>
#include <thread>

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

// Counts rows without keeping them, so only the engine's own memory shows.
class CountingSink : public ResultSink {
public:
    std::vector<ColumnInfo> cols;
    long long rows = 0;
    long long sum = 0;
    std::vector<Done> dones;
    std::vector<ServerMessage> messages;
    std::atomic<bool>* cancelAt = nullptr;
    long long cancelAfter = -1;

    void columns(const std::vector<ColumnInfo>& c) override { cols = c; }
    bool row(const std::vector<Value>& v) override {
        ++rows;
        sum += v[0].i;
        if (cancelAt && rows == cancelAfter)
            cancelAt->store(true);
        return true;
    }
    void done(bool h, int64_t c, bool m) override { dones.push_back({h, c, m}); }
    void message(const ServerMessage& m) override { messages.push_back(m); }
    void databaseChanged(const std::string&, const std::string&) override {}
};

long maxRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

const char* kThousand =
    "CREATE TABLE dbo.Digits (d int NOT NULL)\nGO\n"
    "INSERT INTO Digits VALUES (0)\nINSERT INTO Digits VALUES (1)\nINSERT INTO Digits VALUES (2)\n"
    "INSERT INTO Digits VALUES (3)\nINSERT INTO Digits VALUES (4)\nINSERT INTO Digits VALUES (5)\n"
    "INSERT INTO Digits VALUES (6)\nINSERT INTO Digits VALUES (7)\nINSERT INTO Digits VALUES (8)\n"
    "INSERT INTO Digits VALUES (9)\nGO\n"
    "CREATE TABLE dbo.Thousand (n int NOT NULL, label varchar(20) NULL)\nGO\n"
    "INSERT INTO Thousand (n, label) SELECT a.d * 100 + b.d * 10 + c.d, 'row' "
    "FROM Digits a, Digits b, Digits c\nGO\n";

} // namespace

TEST(EngineStreaming, MillionRowsStreamWithFlatMemory) {
    EngineFixture f;
    f.script(kThousand);
    ResultSet check = f.query("SELECT COUNT(*), MIN(n), MAX(n) FROM Thousand");
    EXPECT_EQ(check.at(0, 0), "1000");
    EXPECT_EQ(check.at(0, 2), "999");
    long before = maxRssKb();
    CountingSink sink;
    std::atomic<bool> cancel{false};
    auto start = std::chrono::steady_clock::now();
    f.session->executeBatch("SELECT a.n, b.label FROM Thousand a, Thousand b", sink, cancel);
    auto secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long growthKb = maxRssKb() - before;
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(sink.rows, 1000000);
    EXPECT_EQ(sink.sum, 499500LL * 1000);
    ASSERT_EQ(sink.dones.size(), 1u);
    EXPECT_EQ(sink.dones[0].count, 1000000);
    // A result held in memory would need well over 50 MB here.
    EXPECT_LT(growthKb, 20 * 1024) << "peak memory grew by " << growthKb << " kB";
    RecordProperty("million_rows_seconds", std::to_string(secs));
    RecordProperty("million_rows_rss_growth_kb", std::to_string(growthKb));
    std::printf("1,000,000 rows in %.2f s, peak memory growth %ld kB\n", secs, growthKb);
}

TEST(EngineStreaming, CancelStopsALongResultAndTheSessionStaysUsable) {
    EngineFixture f;
    f.script(kThousand);
    CountingSink sink;
    std::atomic<bool> cancel{false};
    sink.cancelAt = &cancel;
    sink.cancelAfter = 500;
    f.session->executeBatch("SELECT a.n FROM Thousand a, Thousand b\nSELECT 1", sink, cancel);
    EXPECT_EQ(sink.rows, 500);
    EXPECT_TRUE(sink.dones.empty()); // the wire side acknowledges the attention itself
    EXPECT_TRUE(sink.messages.empty());
    ResultSet r = f.query("SELECT COUNT(*) FROM Thousand");
    EXPECT_EQ(r.at(0, 0), "1000");
}

TEST(EngineStreaming, ClientGoneStopsRows) {
    EngineFixture f;
    f.script(kThousand);
    CaptureSink sink;
    sink.stopAfter = 10;
    std::atomic<bool> cancel{false};
    f.session->executeBatch("SELECT n FROM Thousand ORDER BY n", sink, cancel);
    ASSERT_EQ(sink.sets.size(), 1u);
    EXPECT_EQ(sink.sets[0].rows.size(), 10u);
    EXPECT_TRUE(sink.dones.empty());
}

TEST(EngineStreaming, WaitForDelayWaitsAndHonoursCancel) {
    EngineFixture f;
    std::atomic<bool> cancel{false};
    auto start = std::chrono::steady_clock::now();
    CaptureSink waited;
    f.session->executeBatch("WAITFOR DELAY '00:00:00.300'\nSELECT 1 AS x", waited, cancel);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(290));
    EXPECT_EQ(waited.sets.size(), 1u);

    CaptureSink cancelled;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel.store(true);
    });
    start = std::chrono::steady_clock::now();
    f.session->executeBatch("WAITFOR DELAY '00:01:00'\nSELECT 1 AS x", cancelled, cancel);
    took = std::chrono::steady_clock::now() - start;
    canceller.join();
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    EXPECT_TRUE(cancelled.sets.empty());
    cancel.store(false);
    EXPECT_EQ(f.query("SELECT 2 AS y").at(0, 0), "2");

    CaptureSink bad = f.run("WAITFOR DELAY 'soon'");
    ASSERT_NE(bad.error(), nullptr);
    EXPECT_EQ(bad.error()->number, 148);
}
