// Session ids and sys.dm_exec_connections: each session its own @@SPID from 51 up, handed out
// again once its session ends; one row per client connection with what the network side told
// of it; refused to a login without the server-wide right, and unknown to SQL Server 2000.
#include "test_engine_support.h"

namespace sqlsim::test {
namespace {

ConnectionFacts Facts(bool encrypted, int clientPort) {
    ConnectionFacts c;
    c.encrypted = encrypted;
    c.clientAddress = "127.0.0.1";
    c.clientPort = clientPort;
    c.localAddress = "127.0.0.1";
    c.localPort = 1433;
    return c;
}

std::unique_ptr<Session> Connect(EngineFixture& f, const std::string& login, bool encrypted,
                                 int clientPort) {
    ServerMessage err;
    const ConnectionFacts facts = Facts(encrypted, clientPort);
    auto s = f.engine->openSession(login, "master", err, &facts);
    EXPECT_NE(s, nullptr) << err.text;
    return s;
}

std::string Spid(EngineFixture& f, Session& s) {
    ResultSet r = f.query("SELECT @@SPID", &s);
    return r.rows.empty() ? "<no row>" : r.at(0, 0);
}

TEST(EngineConnections, EachSessionHasItsOwnIdAndAnEndedOnesIdIsReused) {
    EngineFixture f; // its own session, opened first, holds 51
    EXPECT_EQ(f.session->sessionId(), 51);
    auto a = Connect(f, "sa", false, 40001);
    auto b = Connect(f, "sa", true, 40002);
    EXPECT_EQ(Spid(f, *f.session), "51");
    EXPECT_EQ(Spid(f, *a), "52");
    EXPECT_EQ(Spid(f, *b), "53");
    a.reset();
    auto c = Connect(f, "sa", false, 40003);
    EXPECT_EQ(c->sessionId(), 52); // the lowest free one
    auto d = Connect(f, "sa", false, 40004);
    EXPECT_EQ(d->sessionId(), 54);
}

TEST(EngineConnections, OneRowPerClientConnectionAsItIsNow) {
    EngineFixture f;
    auto plain = Connect(f, "sa", false, 40001);
    auto tls = Connect(f, "sa", true, 40002);
    const std::string sql = "SELECT session_id, encrypt_option, net_transport, auth_scheme, "
                            "client_net_address, client_tcp_port, local_tcp_port "
                            "FROM sys.dm_exec_connections ORDER BY session_id";
    // The fixture's own session has no connection and so no row.
    ResultSet r = f.query(sql, plain.get());
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.at(0, 0), "52");
    EXPECT_EQ(r.at(0, 1), "FALSE");
    EXPECT_EQ(r.at(1, 0), "53");
    EXPECT_EQ(r.at(1, 1), "TRUE");
    EXPECT_EQ(r.at(1, 2), "TCP");
    EXPECT_EQ(r.at(1, 3), "SQL");
    EXPECT_EQ(r.at(1, 4), "127.0.0.1");
    EXPECT_EQ(r.at(1, 5), "40002");
    EXPECT_EQ(r.at(1, 6), "1433");
    EXPECT_EQ(r.cols[1].type, SqlType::NVarChar);

    // The question the program asks about its own connection, from each side.
    const std::string own =
        "SELECT encrypt_option FROM sys.dm_exec_connections WHERE session_id = @@SPID";
    EXPECT_EQ(f.query(own, plain.get()).at(0, 0), "FALSE");
    EXPECT_EQ(f.query(own, tls.get()).at(0, 0), "TRUE");

    // A connection that has gone is gone from the view; the rows are read afresh each time,
    // in another database too.
    tls.reset();
    f.script("CREATE DATABASE Other");
    EXPECT_EQ(
        f.query("USE Other; SELECT COUNT(*) FROM sys.dm_exec_connections", plain.get()).at(0, 0),
        "1");
}

TEST(EngineConnections, RefusedWhereSqlServerRefusesIt) {
    const struct {
        const char* version;
        const char* login;
        int number;
        const char* text;
    } cases[] = {
        // VIEW SERVER STATE is the system administrator's alone here.
        {k2008, "bob", 297, "The user does not have permission to perform this action."},
        // SQL Server 2000 has neither the view nor the sys schema.
        {k2000, "sa", 208, "Invalid object name 'sys.dm_exec_connections'."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " " + c.login);
        EngineFixture f(c.version);
        auto s = Connect(f, c.login, false, 40001);
        CaptureSink sink =
            f.run("SELECT encrypt_option FROM sys.dm_exec_connections WHERE session_id = @@SPID",
                  s.get());
        ASSERT_NE(sink.error(), nullptr);
        EXPECT_EQ(sink.error()->number, c.number);
        EXPECT_EQ(sink.error()->text, c.text);
        // @@SPID itself is there in every version, for every login.
        EXPECT_EQ(Spid(f, *s), "52");
    }
}

} // namespace
} // namespace sqlsim::test
