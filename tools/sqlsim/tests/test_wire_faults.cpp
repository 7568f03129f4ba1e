// The fault switches: connections dropped mid-result, stalled answers that a cancel still
// ends, logins refused in turn and errors in the middle of a result, each leaving the
// connection (or the next one) in the state a client has to cope with.
#include "test_wire_harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

using namespace sqlsim;
using namespace sqlsim::wiretest;

namespace {

using Clock = std::chrono::steady_clock;

// "ROWS n" answers n rows and counts how many the connection accepted; "AFTER" marks that
// the statement following a cut-off result ran.
struct Rowing {
    std::atomic<int> accepted{0};
    std::atomic<bool> ranAfter{false};

    BatchFn fn() {
        return [this](const std::string& sql, ResultSink& sink, const std::atomic<bool>&) {
            if (sql.rfind("ROWS ", 0) != 0) {
                ranAfter = ranAfter || sql == "AFTER";
                sink.done(false, 0, false);
                return;
            }
            int n = std::stoi(sql.substr(5));
            sink.columns({col("n", SqlType::Int)});
            for (int i = 0; i < n; ++i) {
                if (!sink.row({Value::integer(i)}))
                    return; // as the engine does: the batch stops here
                ++accepted;
            }
            sink.done(true, n, false);
        };
    }
};

size_t countRows(const std::vector<Tok>& toks) {
    size_t n = 0;
    for (const auto& t : toks)
        n += t.type == 0xD1;
    return n;
}

std::vector<uint8_t> resetCall() {
    ByteWriter w;
    w.bytes(allHeaders());
    w.usVarchar("sp_reset_connection");
    w.u16(0);
    return w.data();
}

} // namespace

TEST(WireFaults, DropAfterRowsCutsOnlyLongerResultsAndClosesTheConnection) {
    Harness h;
    Rowing r;
    h.provider.fn = r.fn();
    h.settings.faults.dropAfterRows = 3;
    h.loginOk();
    // A result no longer than the limit arrives whole.
    auto whole = h.client->batch("ROWS 3");
    EXPECT_EQ(countRows(whole), 3u);
    ASSERT_NE(findTok(whole, 0xFD), nullptr);
    EXPECT_EQ(r.accepted.load(), 3);

    ASSERT_TRUE(h.client->send(wire::kSqlBatch, h.client->batchPayload("ROWS 10")));
    bool sawEom = true;
    auto data = h.client->readUntilClosed(sawEom);
    EXPECT_FALSE(sawEom); // the response never ends: the client must see a broken link
    auto toks = decodeTokens(data, h.client->version());
    EXPECT_EQ(countRows(toks), 3u);
    EXPECT_EQ(findTok(toks, 0xFD), nullptr);
    EXPECT_EQ(r.accepted.load(), 6); // the engine was told to stop at the cut
}

TEST(WireFaults, ErrorMidResultEndsTheResultAndTheBatchButNotTheConnection) {
    Harness h;
    Rowing r;
    h.provider.fn = r.fn();
    h.settings.faults.errorMidResult = 2;
    h.loginOk();
    auto toks = h.client->batch("ROWS 5");
    EXPECT_EQ(countRows(toks), 2u);
    const Tok* err = findTok(toks, 0xAA);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(err->number, 8134);
    EXPECT_EQ(err->severity, 16);
    ASSERT_EQ(toks.back().type, 0xFD);
    EXPECT_TRUE(toks.back().status & 0x0002);  // error bit
    EXPECT_FALSE(toks.back().status & 0x0001); // nothing more follows
    EXPECT_EQ(toks.back().count, 2u);
    EXPECT_EQ(r.accepted.load(), 2);

    // Short results are untouched and the connection carries on.
    auto next = h.client->batch("ROWS 2");
    EXPECT_EQ(countRows(next), 2u);
    EXPECT_EQ(findTok(next, 0xAA), nullptr);
}

TEST(WireFaults, StallDelaysEveryRequestButTheResetAndAttentionEndsIt) {
    Harness h;
    Rowing r;
    h.provider.fn = r.fn();
    h.loginOk(); // logins are never stalled
    h.settings.faults.stallSeconds = 0.3;
    auto start = Clock::now();
    EXPECT_EQ(countRows(h.client->batch("ROWS 1")), 1u);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));

    h.settings.faults.stallSeconds = 30;
    start = Clock::now();
    auto reset = h.client->roundTrip(wire::kRpc, resetCall());
    ASSERT_NE(findTok(reset, 0xFE), nullptr);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));

    start = Clock::now();
    ASSERT_TRUE(h.client->send(wire::kSqlBatch, h.client->batchPayload("ROWS 4")));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(h.client->send(wire::kAttention, {}));
    auto m = h.client->readMessage();
    ASSERT_TRUE(m);
    auto ack = decodeTokens(*m, h.client->version());
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0].status, 0x0020);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(r.accepted.load(), 1); // the cancelled batch never ran

    h.settings.faults.stallSeconds = 0;
    EXPECT_EQ(countRows(h.client->batch("ROWS 2")), 2u);
}

TEST(WireFaults, StallOnHoldsOnlyTheMatchingStatementUntilTheAttention) {
    Harness h;
    Rowing r;
    h.provider.fn = r.fn();
    h.loginOk();
    h.settings.faults.stallSeconds = 30;
    h.settings.faults.stallOn = "rows 7";
    auto start = Clock::now();
    EXPECT_EQ(countRows(h.client->batch("ROWS 1")), 1u);
    EXPECT_EQ(countRows(h.client->batch("ROWS 30")), 30u);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(r.accepted.load(), 31);

    // Any letter case matches; the request waits until the client cancels it.
    ASSERT_TRUE(h.client->send(wire::kSqlBatch, h.client->batchPayload("Rows 7")));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(r.accepted.load(), 31) << "the matching statement ran without stalling";
    start = Clock::now();
    ASSERT_TRUE(h.client->send(wire::kAttention, {}));
    auto m = h.client->readMessage();
    ASSERT_TRUE(m);
    auto ack = decodeTokens(*m, h.client->version());
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0].status, 0x0020);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(r.accepted.load(), 31);
    EXPECT_EQ(countRows(h.client->batch("ROWS 2")), 2u);
}

TEST(WireFaults, EveryNthLoginIsRefusedAcrossConnections) {
    FakeProvider provider;
    wire::ServerSettings settings;
    settings.faults.refuseLoginEvery = 3;
    std::vector<int> outcome; // 0 accepted, else the error number
    for (int k = 0; k < 6; ++k) {
        int sv[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
        wire::Connection conn(wire::Fd(sv[0]), provider, settings);
        std::thread t([&conn] { conn.run(); });
        {
            TestClient client(sv[1]);
            auto toks = client.login("sa", "sqlsim");
            const Tok* err = findTok(toks, 0xAA);
            outcome.push_back(findTok(toks, 0xAD) ? 0 : err ? err->number : -1);
            if (err) {
                EXPECT_EQ(err->text, "Login failed for user 'sa'.");
            }
        }
        t.join();
    }
    EXPECT_EQ(outcome, (std::vector<int>{0, 0, 18456, 0, 0, 18456}));
    EXPECT_EQ(provider.opened.load(), 4); // a refused login never gets a session
}

namespace {

using Ms = std::chrono::milliseconds;
using LinkClock = wire::LinkSchedule::Clock;

} // namespace

TEST(WireLink, AnAnswerWaitsTheLatencyOnceAndItsBytesTakeTheirTimeOnTheLink) {
    wire::LinkSettings link{20, 1000}; // 20 ms, 1,000 kB/s: a byte a microsecond
    wire::LinkSchedule schedule(link);
    const LinkClock::time_point t0{};
    schedule.beginAnswer();
    // The first packet: the latency after it was ready, then its own 4,000 bytes.
    EXPECT_EQ(schedule.reserve(4000, t0), t0 + Ms(24));
    // Packets that follow at once queue behind it; the latency is not paid again.
    EXPECT_EQ(schedule.reserve(4000, t0 + Ms(24)), t0 + Ms(28));
    EXPECT_EQ(schedule.reserve(2000, t0 + Ms(28)), t0 + Ms(30));
    // A packet the server was slow to produce still takes its time: no burst after a pause.
    EXPECT_EQ(schedule.reserve(3000, t0 + Ms(100)), t0 + Ms(103));

    // The next request's answer starts its own round trip from when its bytes are ready.
    schedule.beginAnswer();
    EXPECT_EQ(schedule.reserve(1000, t0 + Ms(500)), t0 + Ms(521));

    // Latency alone: every byte of the answer leaves with the first.
    link.bandwidthKbps = 0;
    schedule.beginAnswer();
    EXPECT_EQ(schedule.reserve(1'000'000, t0), t0 + Ms(20));
    EXPECT_EQ(schedule.reserve(1'000'000, t0 + Ms(20)), t0 + Ms(20));
    // Switched off, nothing waits.
    link.latencyMs = 0;
    EXPECT_FALSE(schedule.shaped());
    schedule.beginAnswer();
    EXPECT_EQ(schedule.reserve(1'000'000, t0), t0);
}

TEST(WireLink, AShapedConnectionAnswersAsAPlainOneAndStillHearsTheAttention) {
    Harness h;
    Rowing r;
    h.provider.fn = r.fn();
    h.settings.link = {1, 100'000};
    h.loginOk();
    // Many packets' worth of rows arrive whole and in order through the pacing.
    auto toks = h.client->batch("ROWS 5000");
    EXPECT_EQ(countRows(toks), 5000u);
    ASSERT_NE(findTok(toks, 0xFD), nullptr);

    h.settings.faults.stallSeconds = 30;
    ASSERT_TRUE(h.client->send(wire::kSqlBatch, h.client->batchPayload("ROWS 4")));
    ASSERT_TRUE(h.client->send(wire::kAttention, {}));
    auto m = h.client->readMessage();
    ASSERT_TRUE(m);
    auto ack = decodeTokens(*m, h.client->version());
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0].status, 0x0020);
    h.settings.faults.stallSeconds = 0;
    EXPECT_EQ(countRows(h.client->batch("ROWS 2")), 2u);
}

TEST(WireLink, WorkAfterAResultOverlapsItsBytesOnTheLink) {
    // 5,000 rows of about 6 bytes at 100 kB/s are 0.3 s on the link; the statement after them
    // then works 0.3 s before its own (empty) answer, as a later statement of a batch does.
    // A server that waited for the link before working again would take 0.6 s.
    Harness h;
    h.provider.fn = [](const std::string&, ResultSink& sink, const std::atomic<bool>&) {
        sink.columns({col("n", SqlType::Int)});
        for (int i = 0; i < 5000; ++i)
            if (!sink.row({Value::integer(i)}))
                return;
        sink.done(true, 5000, true);
        std::this_thread::sleep_for(Ms(300));
        sink.done(false, 0, false);
    };
    h.settings.link = {0, 100};
    h.loginOk();
    const auto start = LinkClock::now();
    auto toks = h.client->batch("ROWS THEN WORK");
    const auto took = LinkClock::now() - start;
    ASSERT_EQ(countRows(toks), 5000u);
    // Every row arrives, in order, however the link carried them.
    int32_t expected = 0;
    for (const auto& t : toks) {
        if (t.type != 0xD1)
            continue;
        int32_t n = 0;
        ASSERT_TRUE(t.values.at(0) && t.values[0]->size() == sizeof n);
        std::memcpy(&n, t.values[0]->data(), sizeof n); // little-endian, as the wire is
        EXPECT_EQ(n, expected++);
    }
    EXPECT_GE(took, Ms(280));
    EXPECT_LT(took, Ms(500));
}
