// The connection state machine over a socket pair, with a scripted session standing in for
// the engine: login outcomes, result streaming, DONE bits, attention, RPC handling and the
// statement log.
#include "test_wire_harness.h"
#include "wire/connection.h"
#include "wire/request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace sqlsim;
using namespace sqlsim::wiretest;

TEST(WireConnection, LoginAcceptsDefaultLoginAndReportsEnvironment) {
    Harness h(wire::kTds73);
    h.settings.productVersion = "9.00.5000.00";
    auto pre = h.client->send(wire::kPrelogin, std::vector<uint8_t>{0x01, 0, 6, 0, 1, 0xFF, 0});
    ASSERT_TRUE(pre);
    auto preMsg = h.client->readMessage();
    ASSERT_TRUE(preMsg);
    // The encryption option of our answer says "not supported".
    wire::ByteReader r(*preMsg);
    bool sawEncryption = false;
    while (true) {
        uint8_t opt = r.u8();
        if (opt == 0xFF)
            break;
        uint16_t off = r.u16be();
        uint16_t len = r.u16be();
        if (opt == 1) {
            ASSERT_EQ(len, 1);
            EXPECT_EQ((*preMsg)[off], 2);
            sawEncryption = true;
        }
    }
    EXPECT_TRUE(sawEncryption);

    auto toks = h.client->login("SA", "sqlsim", "Sales");
    const Tok* ack = findTok(toks, 0xAD);
    ASSERT_NE(ack, nullptr);
    EXPECT_EQ(ack->tdsVersion, wire::kTds73);
    EXPECT_EQ(ack->verMajor, 9);
    EXPECT_EQ(ack->verMinor, 0);
    EXPECT_EQ(ack->verBuild, 5000);
    const Tok* db = findTok(toks, 0xE3);
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->envType, 1);
    EXPECT_EQ(db->newValue, "Sales");
    bool sawCollation = false, sawPacket = false;
    for (const auto& t : toks) {
        if (t.type == 0xE3 && t.envType == 7) {
            sawCollation = true;
            EXPECT_EQ(t.newValue, std::string("\x09\x04\xD0\x00\x34", 5));
        }
        if (t.type == 0xE3 && t.envType == 4) {
            sawPacket = true;
            EXPECT_EQ(t.newValue, "4096");
        }
    }
    EXPECT_TRUE(sawCollation);
    EXPECT_TRUE(sawPacket);
    EXPECT_EQ(toks.back().type, 0xFD);
    EXPECT_EQ(toks.back().status, 0);
    EXPECT_EQ(h.provider.lastLogin, "SA");
}

TEST(WireConnection, WrongPasswordAndUnknownLoginAreRefusedAndClosed) {
    for (auto [user, pass] : {std::pair{"sa", "SQLSIM"}, std::pair{"bob", "sqlsim"}}) {
        Harness h;
        auto toks = h.client->login(user, pass);
        const Tok* err = findTok(toks, 0xAA);
        ASSERT_NE(err, nullptr);
        EXPECT_EQ(err->number, 18456);
        EXPECT_EQ(err->severity, 14);
        EXPECT_EQ(err->text, std::string("Login failed for user '") + user + "'.");
        EXPECT_EQ(findTok(toks, 0xAD), nullptr);
        EXPECT_TRUE(toks.back().status & 0x02);
        // The server hangs up after a failed login.
        EXPECT_FALSE(h.client->readMessage());
    }
}

TEST(WireConnection, ConfiguredLoginsReplaceTheDefault) {
    Harness h;
    h.settings.credentials.add("app", "p:w");
    auto toks = h.client->login("sa", "sqlsim");
    EXPECT_NE(findTok(toks, 0xAA), nullptr);

    Harness h2;
    h2.settings.credentials.add("app", "p:w");
    EXPECT_NE(findTok(h2.client->login("APP", "p:w"), 0xAD), nullptr);
}

TEST(WireConnection, UnknownDatabaseGives4060Then18456) {
    Harness h;
    auto toks = h.client->login("sa", "sqlsim", "Nowhere");
    const Tok* first = findTok(toks, 0xAA, 0);
    const Tok* second = findTok(toks, 0xAA, 1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->number, 4060);
    EXPECT_EQ(first->text,
              "Cannot open database \"Nowhere\" requested by the login. The login failed.");
    EXPECT_EQ(second->number, 18456);
    EXPECT_EQ(findTok(toks, 0xAD), nullptr);
}

TEST(WireConnection, IntegratedLoginNeedsPermissionAndAnswersNtlm) {
    {
        Harness h;
        auto toks = h.client->roundTrip(wire::kLogin7, buildLogin7(wire::kTds74, "", "", "", 0x80));
        const Tok* err = findTok(toks, 0xAA);
        ASSERT_NE(err, nullptr);
        EXPECT_EQ(err->number, 18452);
    }
    {
        Harness h;
        h.settings.credentials.setAllowIntegrated(true);
        std::vector<uint8_t> negotiate = {'N', 'T', 'L', 'M', 'S',  'S',  'P',  0,
                                          1,   0,   0,   0,   0x07, 0x82, 0x08, 0xA2};
        auto toks = h.client->roundTrip(wire::kLogin7,
                                        buildLogin7(wire::kTds74, "", "", "", 0x80, negotiate));
        const Tok* challenge = findTok(toks, 0xED);
        ASSERT_NE(challenge, nullptr);
        ASSERT_GE(challenge->sspi.size(), 48u);
        EXPECT_EQ(std::string(challenge->sspi.begin(), challenge->sspi.begin() + 8),
                  std::string("NTLMSSP\0", 8));
        EXPECT_EQ(challenge->sspi[8], 2);
        std::vector<uint8_t> authenticate = {'N', 'T', 'L', 'M', 'S', 'S', 'P', 0, 3, 0, 0, 0};
        auto done = h.client->roundTrip(wire::kSspi, authenticate);
        ASSERT_NE(findTok(done, 0xAD), nullptr);
        EXPECT_EQ(h.provider.lastLogin, "");
    }
}

// What the engine is told of the connection for sys.dm_exec_connections, and the session id
// every packet header carries from the login's answer on.
TEST(WireConnection, TheEngineLearnsTheConnectionAndHeadersCarryTheSessionId) {
    {
        Harness h;
        ASSERT_TRUE(
            h.client->send(wire::kPrelogin, std::vector<uint8_t>{0x01, 0, 6, 0, 1, 0xFF, 0}));
        ASSERT_TRUE(h.client->readMessage());
        EXPECT_EQ(h.client->lastSpid, 0); // no session yet
        h.loginOk();
        EXPECT_EQ(h.client->lastSpid, 51);
        EXPECT_FALSE(h.provider.lastConnection.encrypted); // no TLS offered
        EXPECT_EQ(h.provider.lastConnection.authScheme, "SQL");
        EXPECT_EQ(h.provider.lastConnection.packetSize, 4096);
        h.client->roundTrip(wire::kSqlBatch, h.client->batchPayload("SELECT 1"));
        EXPECT_EQ(h.client->lastSpid, 51);
    }
    {
        Harness h;
        h.settings.credentials.setAllowIntegrated(true);
        ASSERT_NE(
            findTok(h.client->roundTrip(wire::kLogin7, buildLogin7(wire::kTds74, "", "", "", 0x80)),
                    0xAD),
            nullptr);
        EXPECT_EQ(h.provider.lastConnection.authScheme, "NTLM");
    }
}

TEST(WireConnection, ResultSetWithNullsUnicodeAndDoneBits) {
    Harness h;
    h.provider.fn = [](const std::string&, ResultSink& sink, const std::atomic<bool>&) {
        sink.columns({col("id", SqlType::Int), col("name", SqlType::NVarChar, 40)});
        sink.row({Value::integer(1), Value::str("Zoë ☃")});
        sink.row({Value::integer(-2), Value::null()});
        sink.done(true, 2, true);
        sink.message({208, 1, 16, "Invalid object name 'nope'.", "", 2});
        sink.done(false, 0, false);
    };
    h.loginOk();
    auto toks = h.client->batch("SELECT id, name FROM t; SELECT * FROM nope");
    ASSERT_EQ(toks.size(), 6u);
    ASSERT_EQ(toks[0].type, 0x81);
    ASSERT_EQ(toks[0].cols.size(), 2u);
    EXPECT_EQ(toks[0].cols[0].type, 0x26);
    EXPECT_EQ(toks[0].cols[0].maxLength, 4u);
    EXPECT_EQ(toks[0].cols[1].type, 0xE7);
    EXPECT_EQ(toks[0].cols[1].maxLength, 40u);
    EXPECT_EQ(toks[0].cols[1].name, "name");
    EXPECT_EQ(*toks[1].values[0], std::string("\x01\0\0\0", 4));
    EXPECT_EQ(*toks[1].values[1], utf16("Zoë ☃"));
    EXPECT_EQ(*toks[2].values[0], std::string("\xFE\xFF\xFF\xFF", 4));
    EXPECT_FALSE(toks[2].values[1].has_value());
    // First statement: a count and more to come; second: the error bit, and last.
    EXPECT_EQ(toks[3].type, 0xFD);
    EXPECT_EQ(toks[3].status, 0x0001 | 0x0010);
    EXPECT_EQ(toks[3].count, 2u);
    EXPECT_EQ(toks[4].type, 0xAA);
    EXPECT_EQ(toks[4].number, 208);
    EXPECT_EQ(toks[5].type, 0xFD);
    EXPECT_EQ(toks[5].status, 0x0002);
}

TEST(WireConnection, BatchWithoutDoneStillEndsWithFinalDone) {
    Harness h;
    h.provider.fn = [](const std::string&, ResultSink& sink, const std::atomic<bool>&) {
        sink.message({102, 1, 16, "Incorrect syntax near 'FORM'.", "", 1});
    };
    h.loginOk();
    auto toks = h.client->batch("SELECT * FORM t");
    ASSERT_EQ(toks.size(), 2u);
    EXPECT_EQ(toks[1].type, 0xFD);
    EXPECT_EQ(toks[1].status, 0x0002);
}

TEST(WireConnection, Tds71UsesShortRowCountsAndLongTypesForMax) {
    Harness h(wire::kTds71);
    h.provider.fn = [](const std::string&, ResultSink& sink, const std::atomic<bool>&) {
        sink.columns({col("body", SqlType::NVarChar, -1)});
        sink.row({Value::str("long text")});
        sink.done(true, 1, false);
    };
    h.loginOk();
    // Before 7.2 there are no ALL_HEADERS in front of the text.
    auto toks = h.client->batch("SELECT body FROM doc");
    ASSERT_EQ(toks.size(), 3u);
    EXPECT_EQ(toks[0].cols[0].type, 0x63); // ntext
    EXPECT_EQ(*toks[1].values[0], utf16("long text"));
    EXPECT_EQ(toks[2].count, 1u);
    EXPECT_EQ(h.provider.rec.batches.back(), "SELECT body FROM doc");

    Harness h74;
    h74.provider.fn = h.provider.fn;
    h74.loginOk();
    auto toks74 = h74.client->batch("SELECT body FROM doc");
    EXPECT_EQ(toks74[0].cols[0].type, 0xE7);
    EXPECT_EQ(toks74[0].cols[0].maxLength, 0xFFFFu);
    EXPECT_EQ(*toks74[1].values[0], utf16("long text"));
}

TEST(WireConnection, LargeResultLeavesInPacketsWhileProduced) {
    Harness h;
    std::atomic<int> produced{0};
    std::atomic<int> producedWhenFirstPacketArrived{-1};
    h.provider.fn = [&](const std::string&, ResultSink& sink, const std::atomic<bool>&) {
        sink.columns({col("n", SqlType::BigInt), col("pad", SqlType::VarChar, 100)});
        for (int i = 0; i < 20000; ++i) {
            if (!sink.row({Value::integer(i), Value::str(std::string(50, 'x'))}))
                return;
            ++produced;
        }
        sink.done(true, 20000, false);
    };
    h.loginOk();
    ASSERT_TRUE(h.client->send(wire::kSqlBatch, h.client->batchPayload("SELECT big")));
    // The first packet shows up long before the engine is done; a server that buffered
    // the whole result would only send once all 20000 rows exist.
    uint8_t hdr[8];
    ASSERT_TRUE(wire::recvAll(h.client->fd(), hdr, 8));
    producedWhenFirstPacketArrived = produced.load();
    EXPECT_LT(producedWhenFirstPacketArrived.load(), 20000);
    // Drain the rest and check every packet respects the negotiated size.
    std::vector<uint8_t> rest;
    size_t packets = 1;
    auto h0 = wire::parseHeader(hdr);
    EXPECT_EQ(h0.length, 4096);
    std::vector<uint8_t> skip(h0.length - 8);
    ASSERT_TRUE(wire::recvAll(h.client->fd(), skip.data(), skip.size()));
    std::vector<size_t> sizes;
    auto m = h.client->readMessage(&sizes);
    ASSERT_TRUE(m);
    packets += sizes.size();
    for (size_t k = 0; k + 1 < sizes.size(); ++k)
        EXPECT_EQ(sizes[k], 4096u);
    EXPECT_GT(packets, 100u);
}

TEST(WireConnection, AttentionCancelsRunningBatchAndConnectionStaysUsable) {
    Harness h;
    std::atomic<bool> sawCancel{false};
    h.provider.fn = [&](const std::string& sql, ResultSink& sink, const std::atomic<bool>& cancel) {
        if (sql == "WAIT") {
            sink.columns({col("n", SqlType::Int)});
            for (int i = 0; i < 500 && !cancel; ++i) {
                sink.row({Value::integer(i)});
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            sawCancel = cancel.load();
            sink.done(true, 0, false);
            return;
        }
        sink.columns({col("one", SqlType::Int)});
        sink.row({Value::integer(1)});
        sink.done(true, 1, false);
    };
    h.loginOk();
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(h.client->send(wire::kSqlBatch, h.client->batchPayload("WAIT")));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(h.client->send(wire::kAttention, {}));
    // Read until the DONE carrying the attention bit; everything before it is discarded
    // by a real client.
    bool acked = false;
    while (!acked) {
        auto m = h.client->readMessage();
        ASSERT_TRUE(m);
        for (const auto& t : decodeTokens(*m, h.client->version()))
            if (t.type == 0xFD && (t.status & 0x0020))
                acked = true;
    }
    EXPECT_TRUE(sawCancel);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    auto toks = h.client->batch("SELECT 1");
    ASSERT_EQ(toks.size(), 3u);
    EXPECT_EQ(*toks[1].values[0], std::string("\x01\0\0\0", 4));
    EXPECT_EQ(toks[2].status & 0x0020, 0);
}

TEST(WireConnection, AttentionAfterTheResultIsStillAcknowledged) {
    Harness h;
    h.loginOk();
    auto toks = h.client->batch("SELECT 1");
    ASSERT_FALSE(toks.empty());
    ASSERT_TRUE(h.client->send(wire::kAttention, {}));
    auto m = h.client->readMessage();
    ASSERT_TRUE(m);
    auto ack = decodeTokens(*m, h.client->version());
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0].status, 0x0020);
    EXPECT_FALSE(h.client->batch("SELECT 2").empty());
}

namespace {

// RPC payload: proc by id or name, then parameters encoded as a driver would.
struct RpcBuilder {
    ByteWriter w;
    explicit RpcBuilder(uint16_t procId) {
        w.bytes(allHeaders());
        w.u16(0xFFFF);
        w.u16(procId);
        w.u16(0);
    }
    explicit RpcBuilder(const std::string& name) {
        w.bytes(allHeaders());
        w.usVarchar(name);
        w.u16(0);
    }
    RpcBuilder& nvarchar(const std::string& name, const std::string& v) {
        w.bVarchar(name);
        w.u8(0);
        w.u8(0xE7);
        std::string u = utf16(v);
        w.u16(static_cast<uint16_t>(std::max<size_t>(u.size(), 2)));
        w.bytes(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("\x09\x04\xD0\x00\x34"), 5));
        w.u16(static_cast<uint16_t>(u.size()));
        w.bytes(u);
        return *this;
    }
    RpcBuilder& intn(const std::string& name, std::optional<int32_t> v, bool output = false) {
        w.bVarchar(name);
        w.u8(output ? 1 : 0);
        w.u8(0x26);
        w.u8(4);
        if (!v) {
            w.u8(0);
        } else {
            w.u8(4);
            w.u32(static_cast<uint32_t>(*v));
        }
        return *this;
    }
};

} // namespace

TEST(WireConnection, ExecuteSqlSubstitutesParametersIntoABatch) {
    Harness h;
    h.provider.fn = [](const std::string&, ResultSink& sink, const std::atomic<bool>&) {
        sink.columns({col("x", SqlType::Int)});
        sink.row({Value::integer(5)});
        sink.done(true, 1, false);
    };
    h.loginOk();
    RpcBuilder b(10);
    b.nvarchar("", "SELECT x FROM t WHERE a = @P1 AND b = @P2 AND c = '@P1'")
        .nvarchar("", "@P1 int,@P2 nvarchar(10)")
        .intn("@P1", 42)
        .nvarchar("@P2", "O'Neil");
    auto toks = h.client->roundTrip(wire::kRpc, b.w.data());
    ASSERT_EQ(h.provider.rec.batches.size(), 1u);
    EXPECT_EQ(h.provider.rec.batches[0],
              "SELECT x FROM t WHERE a = 42 AND b = N'O''Neil' AND c = '@P1'");
    // Statements inside a procedure end with DONEINPROC; the call with status and DONEPROC.
    ASSERT_EQ(toks.size(), 5u);
    EXPECT_EQ(toks[2].type, 0xFF);
    EXPECT_EQ(toks[2].status & 0x0010, 0x0010);
    EXPECT_EQ(toks[3].type, 0x79);
    EXPECT_EQ(toks[3].intValue, 0);
    EXPECT_EQ(toks[4].type, 0xFE);
    EXPECT_EQ(toks[4].status, 0);
}

TEST(WireConnection, PreparedStatementsKeepTheirTextByHandle) {
    Harness h;
    h.loginOk();
    RpcBuilder prep(13); // sp_prepexec
    prep.intn("@handle", std::nullopt, true)
        .nvarchar("", "@P1 int")
        .nvarchar("", "SELECT * FROM t WHERE id = @P1")
        .intn("", 3);
    auto toks = h.client->roundTrip(wire::kRpc, prep.w.data());
    const Tok* handle = findTok(toks, 0xAC);
    ASSERT_NE(handle, nullptr);
    ASSERT_GT(handle->intValue, 0);

    RpcBuilder exec(12); // sp_execute
    exec.intn("", handle->intValue).intn("", 9);
    h.client->roundTrip(wire::kRpc, exec.w.data());
    ASSERT_EQ(h.provider.rec.batches.size(), 2u);
    EXPECT_EQ(h.provider.rec.batches[0], "SELECT * FROM t WHERE id = 3");
    EXPECT_EQ(h.provider.rec.batches[1], "SELECT * FROM t WHERE id = 9");

    RpcBuilder unprep(15);
    unprep.intn("", handle->intValue);
    h.client->roundTrip(wire::kRpc, unprep.w.data());
    RpcBuilder again(12);
    again.intn("", handle->intValue);
    auto err = h.client->roundTrip(wire::kRpc, again.w.data());
    const Tok* e = findTok(err, 0xAA);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->number, 8179);
    EXPECT_TRUE(findTok(err, 0xFE)->status & 0x0002);
}

TEST(WireConnection, OtherProceduresGoToTheEngineWithDecodedParameters) {
    Harness h;
    h.loginOk();
    RpcBuilder b("sp_attach_db");
    b.nvarchar("@dbname", "Copy").nvarchar("@filename1", "/tmp/x.sqlite");
    auto toks = h.client->roundTrip(wire::kRpc, b.w.data());
    ASSERT_EQ(h.provider.rec.rpcs.size(), 1u);
    EXPECT_EQ(h.provider.rec.rpcs[0], "sp_attach_db");
    ASSERT_EQ(h.provider.rec.rpcParams[0].size(), 2u);
    EXPECT_EQ(h.provider.rec.rpcParams[0][0].name, "@dbname");
    EXPECT_EQ(h.provider.rec.rpcParams[0][1].value.text, "/tmp/x.sqlite");
    // The engine's own return status is passed on, not replaced.
    const Tok* rs = findTok(toks, 0x79);
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->intValue, 7);
    EXPECT_EQ(findTok(toks, 0x79, 1), nullptr);
}

TEST(WireConnection, StatementLogRecordsDatabaseLoginAndEscapedText) {
    auto dir = std::filesystem::temp_directory_path() /
               ("wire-log-" + std::to_string(::getpid()) + "-" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "statements.log").string();
    wire::StatementLog log;
    ASSERT_TRUE(log.open(path));
    {
        Harness h;
        h.settings.log = &log;
        h.loginOk();
        h.client->batch("SELECT 'a\tb'\r\nFROM x\\y");
        h.client->batch("USE Sales");
        RpcBuilder b(10);
        b.nvarchar("", "SELECT @P1").nvarchar("", "@P1 int").intn("@P1", 1);
        h.client->roundTrip(wire::kRpc, b.w.data());
        RpcBuilder p("sp_who");
        h.client->roundTrip(wire::kRpc, p.w.data());
    }
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "master\tsa\tSELECT 'a\\tb'\\r\\nFROM x\\\\y");
    EXPECT_EQ(lines[1], "master\tsa\tUSE Sales");
    // The database is the one current before the request ran.
    EXPECT_EQ(lines[2], "Sales\tsa\tsp_executesql SELECT @P1");
    EXPECT_EQ(lines[3], "Sales\tsa\tsp_who");
    std::filesystem::remove_all(dir);
}

TEST(WireConnection, UseReportsTheNewDatabase) {
    Harness h;
    h.loginOk();
    auto toks = h.client->batch("USE Sales");
    const Tok* env = findTok(toks, 0xE3);
    ASSERT_NE(env, nullptr);
    EXPECT_EQ(env->envType, 1);
    EXPECT_EQ(env->newValue, "Sales");
    EXPECT_EQ(env->oldValue, "master");
}

TEST(WireConnection, MalformedRpcIsAnsweredWithAnErrorAndBrokenFramingCloses) {
    Harness h;
    h.loginOk();
    // An RPC whose parameter claims more bytes than were sent.
    std::vector<uint8_t> bad = allHeaders();
    for (uint8_t b : {0xFF, 0xFF, 10, 0, 0, 0, 0, 0, 0xE7, 0x40, 0x00})
        bad.push_back(b);
    auto toks = h.client->roundTrip(wire::kRpc, bad);
    const Tok* err = findTok(toks, 0xAA);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(err->number, 8016);
    EXPECT_TRUE(toks.back().status & 0x0002);
    EXPECT_TRUE(h.provider.rec.batches.empty());
    EXPECT_FALSE(h.client->batch("SELECT 1").empty());
    // A packet header shorter than itself leaves no way to find the next message.
    std::vector<uint8_t> header = {wire::kSqlBatch, 1, 0, 4, 0, 0, 1, 0};
    ASSERT_TRUE(wire::sendAll(h.client->fd(), header));
    EXPECT_FALSE(h.client->readMessage());
}

TEST(WireConnection, TransactionRequestsAreAcknowledged) {
    Harness h;
    h.loginOk();
    auto request = [&](uint16_t type) {
        std::vector<uint8_t> p = allHeaders();
        p.push_back(static_cast<uint8_t>(type));
        p.push_back(0);
        p.push_back(0); // isolation level / name length
        return h.client->roundTrip(wire::kTransactionManager, p);
    };
    auto begin = request(5);
    const Tok* env = findTok(begin, 0xE3);
    ASSERT_NE(env, nullptr);
    EXPECT_EQ(env->envType, 8);
    EXPECT_EQ(env->newValue.size(), 8u);
    EXPECT_EQ(begin.back().type, 0xFD);
    auto commit = request(7);
    env = findTok(commit, 0xE3);
    ASSERT_NE(env, nullptr);
    EXPECT_EQ(env->envType, 9);
    EXPECT_EQ(env->oldValue, begin[0].newValue);
    // The connection carries on with ordinary requests.
    EXPECT_NE(findTok(h.client->batch("SELECT 1"), 0xFD), nullptr);
}

namespace {

std::string currentDb(TestClient& c) {
    auto toks = c.batch("SELECT DB_NAME()");
    const Tok* row = findTok(toks, 0xD1);
    if (!row || !row->values[0])
        return "<none>";
    return wire::utf16leToUtf8(std::span<const uint8_t>(
        reinterpret_cast<const uint8_t*>(row->values[0]->data()), row->values[0]->size()));
}

} // namespace

TEST(WireConnection, ResetFlagPutsTheSessionBackAsAfterLogin) {
    Harness h;
    ASSERT_NE(findTok(h.client->login("sa", "sqlsim", "Sales"), 0xAD), nullptr);
    h.client->batch("USE master");
    EXPECT_EQ(currentDb(*h.client), "master");
    RpcBuilder prep(11); // sp_prepare
    prep.intn("@handle", std::nullopt, true).nvarchar("", "").nvarchar("", "SELECT 1");
    // The tokens outlive this statement: the handle is read again after the reset.
    const auto prepared = h.client->roundTrip(wire::kRpc, prep.w.data());
    const Tok* handle = findTok(prepared, 0xAC);
    ASSERT_NE(handle, nullptr);

    ASSERT_TRUE(h.client->send(wire::kSqlBatch, h.client->batchPayload("SELECT DB_NAME()"), 512,
                               wire::kStatusResetConnection));
    auto m = h.client->readMessage();
    ASSERT_TRUE(m);
    auto toks = decodeTokens(*m, h.client->version());
    ASSERT_FALSE(toks.empty());
    EXPECT_EQ(toks[0].type, 0xE3);
    EXPECT_EQ(toks[0].envType, 18);
    const Tok* row = findTok(toks, 0xD1);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(*row->values[0], utf16("Sales"));
    // The session is reset in place; a new one would cost a schema read per reuse.
    EXPECT_EQ(h.provider.opened.load(), 1);
    EXPECT_EQ(h.provider.rec.resets, 1);

    RpcBuilder exec(12);
    exec.intn("", handle->intValue);
    EXPECT_EQ(findTok(h.client->roundTrip(wire::kRpc, exec.w.data()), 0xAA)->number, 8179);
}

TEST(WireConnection, ResetProcedureCallDoesTheSame) {
    Harness h;
    ASSERT_NE(findTok(h.client->login("sa", "sqlsim", "Sales"), 0xAD), nullptr);
    h.client->batch("USE master");
    RpcBuilder reset("sp_reset_connection");
    auto toks = h.client->roundTrip(wire::kRpc, reset.w.data());
    EXPECT_EQ(findTok(toks, 0xAA), nullptr);
    ASSERT_NE(findTok(toks, 0xFE), nullptr);
    EXPECT_EQ(findTok(toks, 0xFE)->status, 0);
    EXPECT_EQ(currentDb(*h.client), "Sales");
    // The engine never saw it as a procedure of its own.
    EXPECT_TRUE(h.provider.rec.rpcs.empty());
}
