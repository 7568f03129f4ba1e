// What a connection asks for on the wire, seen through a relay between the program and the
// simulator: the encryption a server's settings name reaches the PRELOGIN message as FreeTDS
// spells it, "require" against a server that offers no TLS sends no login at all, and against
// one that offers TLS neither the password nor a query nor its rows travel in the clear.
#include "servers/connection_encryption.h"
#include "servers_sim.h"
#include "tcp_relay.h"
#include "test_certificates.h"

namespace orv::test {
namespace {

constexpr uint8_t kPrelogin = 0x12;
constexpr uint8_t kLogin7 = 0x10;
constexpr uint8_t kReply = 0x04;

// The ENCRYPTION option's byte of the first PRELOGIN message (the client's request or the
// server's answer, as `bytes` are either side's); -1 when there is none.
int EncryptionByte(const std::string& bytes) {
    const std::vector<TdsMessage> messages = TdsMessages(bytes);
    // The server answers the PRELOGIN in a reply packet.
    if (messages.empty() || (messages[0].type != kPrelogin && messages[0].type != kReply))
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

bool SentLogin(const std::string& clientBytes) {
    for (const TdsMessage& m : TdsMessages(clientBytes))
        if (m.type == kLogin7)
            return true;
    return false;
}

using ServerEncryption = ServersSimTest;

TEST_F(ServerEncryption, EachSettingAsksTheServerItsOwnWay) {
    const struct {
        const char* setting;
        int prelogin; // ENCRYPT_OFF 0 (TLS for the login at least, if offered), ON 1, NOT_SUP 2
        bool connects;
    } cases[] = {{"request", 0, true}, {"off", 2, true}, {"require", 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        TcpRelay relay(static_cast<uint16_t>(sim_->Port()));
        ASSERT_TRUE(relay.Listening());
        ServerEntry e = Sa();
        e.Name = "127.0.0.1," + std::to_string(relay.Port());
        e.Encryption = c.setting;
        OdbcError error;
        OdbcConnectionPtr connection = AcquireConnection(e, "Shop", true, error);
        EXPECT_EQ(connection != nullptr, c.connects) << error.description;
        connection.reset();
        DropIdleConnections();
        const std::string sent = relay.ClientBytes();
        EXPECT_EQ(EncryptionByte(sent), c.prelogin);
        // The simulator offers no TLS: "require" stops before the login, password and all.
        EXPECT_EQ(SentLogin(sent), c.connects);
        if (!c.connects) {
            EXPECT_NE(error.description.find("Encryption is required for this server: a server "
                                             "that offers none is refused."),
                      std::string::npos)
                << error.description;
        }
    }
}

// The forms a text can take on the wire: as typed, as UTF-16 (query texts, names, rows) and
// as LOGIN7 scrambles a password (each UTF-16 byte's nibbles swapped, then XOR 0xA5).
std::vector<std::string> WireForms(const std::string& ascii) {
    std::string utf16, scrambled;
    for (char ch : ascii) {
        for (unsigned char b : {static_cast<unsigned char>(ch), static_cast<unsigned char>(0)}) {
            utf16 += static_cast<char>(b);
            scrambled += static_cast<char>((((b << 4) | (b >> 4)) & 0xFF) ^ 0xA5);
        }
    }
    return {ascii, utf16, scrambled};
}

bool Shows(const std::string& wire, const std::string& ascii) {
    for (const std::string& form : WireForms(ascii))
        if (wire.find(form) != std::string::npos)
            return true;
    return false;
}

// A simulator that offers TLS with a certificate made for this test, and a relay in front.
class TlsServer : public ::testing::Test {
protected:
    // Starts the simulator with the test's certificate (or the one made out to another host)
    // and `extra` options, posing as `version`.
    void StartServer(const std::vector<std::string>& extra = {},
                     const std::string& version = "10.50.1600.1", bool elsewhere = false) {
        std::string error;
        ASSERT_TRUE(MakeTestCertificates(env.Dir(), certs, error)) << error;
        SqlsimOptions o;
        o.version = version;
        o.scriptTexts = {kShopScript};
        o.extraLogins = {std::string(kClerk) + ":" + kPassword};
        o.extraArgs = {"--tls-cert", elsewhere ? certs.elsewhereCertFile : certs.serverCertFile,
                       "--tls-key", elsewhere ? certs.elsewhereKeyFile : certs.serverKeyFile};
        o.extraArgs.insert(o.extraArgs.end(), extra.begin(), extra.end());
        sim = std::make_unique<SqlsimProcess>(o);
        ASSERT_TRUE(sim->Start(error)) << error;
        relay = std::make_unique<TcpRelay>(static_cast<uint16_t>(sim->Port()));
        ASSERT_TRUE(relay->Listening());
    }
    void TearDown() override { DropIdleConnections(); }

    ServerEntry Through(const std::string& encryption) const {
        ServerEntry e;
        e.Name = "127.0.0.1," + std::to_string(relay->Port());
        e.SQLAuth = true;
        e.LoginName = "sa";
        e.Pwd = kPassword;
        e.Encryption = encryption;
        return e;
    }

    // Runs the marked query through `server`; the text it returned, or the error.
    std::string Query(const ServerEntry& server) {
        RecordsetPtr rs;
        int32_t errNumber = 0;
        std::string errDescription;
        const int32_t result = ExecAdoCmd(server, kAdCmdText,
                                          std::string("SELECT Name FROM Items WHERE Id = 1 AND ") +
                                              kQueryMarker + " = " + kQueryMarker,
                                          rs, "Shop", errNumber, errDescription);
        if (result != 0 || !rs || rs->IsEOF())
            return "error: " + errDescription;
        return rs->Value(0).Text();
    }

    static constexpr const char* kPassword = "Sim#Pass1";
    // A login without the server-wide right to read sys.dm_exec_connections.
    static constexpr const char* kClerk = "clerk";
    static constexpr const char* kQueryMarker = "'Marker_5731'";
    TestEnv env;
    TestCertificates certs;
    std::unique_ptr<SqlsimProcess> sim;
    std::unique_ptr<TcpRelay> relay;
};

TEST_F(ServerEncryption, ACaFileMeansTheServerMustSpeakTls) {
    TestCertificates certs;
    std::string made;
    ASSERT_TRUE(MakeTestCertificates(env.Dir(), certs, made)) << made;
    TcpRelay relay(static_cast<uint16_t>(sim_->Port()));
    ServerEntry e = Sa();
    e.Name = "127.0.0.1," + std::to_string(relay.Port());
    e.CAFile = certs.caFile;
    OdbcError error;
    // "request" would fall back to a plain login here; with a CA file it does not.
    EXPECT_EQ(AcquireConnection(e, "Shop", true, error), nullptr);
    EXPECT_EQ(EncryptionByte(relay.ClientBytes()), 1);
    EXPECT_FALSE(SentLogin(relay.ClientBytes()));

    e.Encryption = "off";
    EXPECT_EQ(AcquireConnection(e, "Shop", true, error), nullptr);
    EXPECT_EQ(error.description, "A CA certificate file needs encryption: with encryption off "
                                 "the server's certificate is never seen.");
    e.Encryption = "require";
    e.CAFile = env.PathOf("missing.pem");
    EXPECT_EQ(AcquireConnection(e, "Shop", true, error), nullptr);
    EXPECT_EQ(error.description, "The CA certificate file " + e.CAFile + " cannot be read.");
    ASSERT_TRUE(WriteTextFile(e.CAFile, "not a certificate\n"));
    EXPECT_EQ(AcquireConnection(e, "Shop", true, error), nullptr);
    EXPECT_EQ(error.description,
              "The CA certificate file " + e.CAFile + " holds no PEM certificate.");
}

TEST_F(TlsServer, RequireEncryptsTheWholeSessionBothWays) {
    StartServer();
    EXPECT_EQ(Query(Through("require")), "Zürich €");
    const std::string sent = relay->ClientBytes();
    const std::string received = relay->ServerBytes();
    EXPECT_EQ(EncryptionByte(sent), 1);
    EXPECT_EQ(EncryptionByte(received), 1); // the whole session
    EXPECT_FALSE(SentLogin(sent));
    EXPECT_FALSE(Shows(sent, kPassword));
    EXPECT_FALSE(Shows(sent, kQueryMarker));
    EXPECT_FALSE(Shows(received, "Items"));
    EXPECT_FALSE(Shows(received, "Z\xC3\xBCrich"));
    EXPECT_FALSE(Shows(received, "Shop")); // the database the login answer names
}

TEST_F(TlsServer, RequestEncryptsTheLoginOnlyWhenTheServerOffersTls) {
    StartServer();
    EXPECT_EQ(Query(Through("request")), "Zürich €");
    const std::string sent = relay->ClientBytes();
    EXPECT_EQ(EncryptionByte(sent), 0);
    EXPECT_EQ(EncryptionByte(relay->ServerBytes()), 0); // the login only
    EXPECT_FALSE(Shows(sent, kPassword));
    // After the login the session is plain, as the server answered: the same search that finds
    // nothing above finds the query here.
    EXPECT_TRUE(Shows(sent, kQueryMarker));
}

TEST_F(TlsServer, AServerThatInsistsEncryptsRequestAndRefusesOff) {
    StartServer({"--tls-require"});
    EXPECT_EQ(Query(Through("request")), "Zürich €");
    EXPECT_EQ(EncryptionByte(relay->ServerBytes()), 1);
    EXPECT_FALSE(Shows(relay->ClientBytes(), kQueryMarker));

    TcpRelay offRelay(static_cast<uint16_t>(sim->Port()));
    ServerEntry off = Through("off");
    off.Name = "127.0.0.1," + std::to_string(offRelay.Port());
    OdbcError error;
    EXPECT_EQ(AcquireConnection(off, "Shop", true, error), nullptr);
    EXPECT_EQ(EncryptionByte(offRelay.ClientBytes()), 2);
    EXPECT_EQ(EncryptionByte(offRelay.ServerBytes()), 3);
    EXPECT_FALSE(SentLogin(offRelay.ClientBytes()));
    EXPECT_FALSE(Shows(offRelay.ClientBytes(), kPassword));
}

TEST_F(TlsServer, ACaFileAdmitsOnlyTheServerItSigned) {
    StartServer();
    ServerEntry wrong = Through("require");
    wrong.CAFile = certs.otherCaFile;
    OdbcError error;
    EXPECT_EQ(AcquireConnection(wrong, "Shop", true, error), nullptr);
    EXPECT_NE(error.description.find("The server's certificate must be signed by the CA in " +
                                     certs.otherCaFile +
                                     " and made out to 127.0.0.1; a server whose certificate is "
                                     "not is refused."),
              std::string::npos)
        << error.description;
    EXPECT_FALSE(SentLogin(relay->ClientBytes()));
    EXPECT_FALSE(Shows(relay->ClientBytes(), kPassword));

    ServerEntry right = Through("require");
    right.CAFile = certs.caFile;
    EXPECT_EQ(Query(right), "Zürich €");
}

// What the program learns of its own connection: the server reports TLS for the whole
// session as encrypted, and a login encrypted alone ("request" against a server that offers
// TLS) as not; a login refused the view leaves it to what the setting alone can tell (SQL
// Server 2000, which has no such view, is the main window's test).
TEST_F(TlsServer, TheServerSaysWhetherItsConnectionIsEncrypted) {
    StartServer();
    const struct {
        const char* setting;
        const char* login;
        EncryptionState state;
        const char* reason;
    } cases[] = {
        {"require", "sa", EncryptionState::Encrypted,
         "The server reports this connection as "
         "encrypted"},
        {"request", "sa", EncryptionState::NotEncrypted,
         "The server reports this connection "
         "as not encrypted"},
        {"off", "sa", EncryptionState::NotEncrypted,
         "The server reports this connection as "
         "not encrypted"},
        {"require", kClerk, EncryptionState::Encrypted,
         "The user does not have permission to perform this action."},
        {"request", kClerk, EncryptionState::Unknown,
         "With \"request\" it depends on the "
         "server"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.setting) + " " + c.login);
        ServerEntry server = Through(c.setting);
        server.LoginName = c.login;
        server.VersionMajor = 10;
        const EncryptionReport report = AskConnectionEncryption(server, "Shop", 30);
        EXPECT_EQ(report.State, c.state) << report.Reason;
        EXPECT_NE(report.Reason.find(c.reason), std::string::npos) << report.Reason;
        DropIdleConnections();
    }
}

// A certificate signed by the right CA but made out to another host: with a CA file FreeTDS
// checks the name ("check certificate hostname", on by default and set by the program's
// section) and refuses the server before the login; without one it checks nothing at all, so
// "require" alone encrypts but cannot tell an impostor.
TEST_F(TlsServer, ACertificateForAnotherHostIsRefusedOnlyWithACaFile) {
    StartServer({}, "10.50.1600.1", true);
    ServerEntry checked = Through("require");
    checked.CAFile = certs.caFile;
    OdbcError error;
    EXPECT_EQ(AcquireConnection(checked, "Shop", true, error), nullptr);
    EXPECT_NE(error.description.find("The server's certificate must be signed by the CA in " +
                                     certs.caFile + " and made out to 127.0.0.1"),
              std::string::npos)
        << error.description;
    EXPECT_FALSE(SentLogin(relay->ClientBytes()));
    EXPECT_FALSE(Shows(relay->ClientBytes(), kPassword));

    EXPECT_EQ(Query(Through("require")), "Zürich €");
    EXPECT_EQ(Query(Through("request")), "Zürich €");
}

} // namespace
} // namespace orv::test
