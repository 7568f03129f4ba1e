// The two messages that open a connection: PRELOGIN (version and encryption handshake)
// and LOGIN7 (who the client is and which database it wants).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sqlsim::wire {

struct PreloginRequest {
    bool hasEncryption = false;
    uint8_t encryption = 0; // 0 off, 1 on, 2 not supported, 3 required
};

PreloginRequest parsePrelogin(std::span<const uint8_t> payload);

// Our answer: no encryption at all, so the login travels in the clear.
std::vector<uint8_t> buildPreloginResponse(uint32_t serverVersionBigEndian);

// TDS protocol versions as they appear in LOGIN7 and LOGINACK.
constexpr uint32_t kTds71 = 0x71000001;
constexpr uint32_t kTds72 = 0x72090002;
constexpr uint32_t kTds73 = 0x730B0003;
constexpr uint32_t kTds74 = 0x74000004;

struct Login7 {
    uint32_t tdsVersion = 0;
    uint32_t packetSize = 0;
    uint8_t optionFlags2 = 0;
    std::string hostName;
    std::string userName;
    std::string password;
    std::string appName;
    std::string serverName;
    std::string language;
    std::string database;
    std::vector<uint8_t> sspi;

    bool integratedSecurity() const { return (optionFlags2 & 0x80) != 0; }
};

Login7 parseLogin7(std::span<const uint8_t> payload);

// The password travels with each byte's nibbles swapped and then XORed with 0xA5.
std::string decodePassword(std::span<const uint8_t> obfuscated);
std::vector<uint8_t> encodePassword(std::string_view utf8);

// The protocol level we speak for a client asking for `requested`: at most 7.4, at least 7.1.
uint32_t negotiateTdsVersion(uint32_t requested);

// "10.50.1600.1" -> the four version bytes LOGINACK and PRELOGIN carry (major, minor, build).
struct ProductVersion {
    uint8_t major = 10;
    uint8_t minor = 50;
    uint16_t build = 1600;
};
ProductVersion parseProductVersion(const std::string& text);

} // namespace sqlsim::wire
