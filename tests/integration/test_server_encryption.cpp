// What a connection asks for on the wire, seen through a relay between the program and the
// simulator: the encryption a server's settings name reaches the PRELOGIN message as FreeTDS
// spells it, and "require" against a server that offers no TLS sends no login at all.
#include "servers_sim.h"
#include "tcp_relay.h"

namespace orv::test {
namespace {

constexpr uint8_t kPrelogin = 0x12;
constexpr uint8_t kLogin7 = 0x10;

// The ENCRYPTION option's byte of the first PRELOGIN message; -1 when there is none.
int ClientEncryptionByte(const std::string& clientBytes) {
    const std::vector<TdsMessage> messages = TdsMessages(clientBytes);
    if (messages.empty() || messages[0].type != kPrelogin)
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
        EXPECT_EQ(ClientEncryptionByte(sent), c.prelogin);
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

} // namespace
} // namespace orv::test
