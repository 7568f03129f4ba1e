// The two messages that open a connection: PRELOGIN (version and encryption handshake)
// and LOGIN7 (who the client is and which database it wants).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sqlsim::wire {

// The ENCRYPTION option's values, in the client's request and in the server's answer.
enum EncryptionByte : uint8_t {
    kEncryptOff = 0,    // client: can encrypt, but only if it must; answer: the login only
    kEncryptOn = 1,     // client: wants TLS; answer: the whole session is encrypted
    kEncryptNotSup = 2, // cannot encrypt (or, from a server: offers no TLS at all)
    kEncryptReq = 3,    // client: insists; answer: this server insists and the client cannot
};

struct PreloginRequest {
    bool hasEncryption = false;
    uint8_t encryption = kEncryptOff;
};

PreloginRequest parsePrelogin(std::span<const uint8_t> payload);

// What a server can do about TLS: no certificate, one it offers, or one it insists on.
enum class TlsOffer { None, Available, Required };

// The ENCRYPTION value SQL Server answers to `request`: without a certificate "not
// supported"; with one, the login at least is encrypted when the client can, the whole session
// when the client asks or the server insists; kEncryptReq when the server insists on TLS the
// client cannot speak (the connection ends after the answer).
uint8_t answerEncryption(const PreloginRequest& request, TlsOffer offer);

// Our PRELOGIN answer: version, the negotiated `encryption`, no instance, no MARS.
std::vector<uint8_t> buildPreloginResponse(uint32_t serverVersionBigEndian,
                                           uint8_t encryption = kEncryptNotSup);

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
