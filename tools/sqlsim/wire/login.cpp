#include "wire/login.h"

#include "wire/bytes.h"

#include <cstdlib>
#include <sstream>

namespace sqlsim::wire {

PreloginRequest parsePrelogin(std::span<const uint8_t> payload) {
    PreloginRequest req;
    ByteReader r(payload);
    while (true) {
        uint8_t option = r.u8();
        if (option == 0xFF)
            break;
        uint16_t offset = r.u16be();
        uint16_t length = r.u16be();
        if (static_cast<size_t>(offset) + length > payload.size())
            throw ProtocolError("prelogin option outside the message");
        if (option == 0x01 && length >= 1) {
            req.hasEncryption = true;
            req.encryption = payload[offset];
        }
    }
    return req;
}

uint8_t answerEncryption(const PreloginRequest& request, TlsOffer offer) {
    if (offer == TlsOffer::None)
        return kEncryptNotSup;
    // A client that sent no ENCRYPTION option is taken as one that can encrypt if it must.
    const uint8_t asked =
        request.hasEncryption ? request.encryption : static_cast<uint8_t>(kEncryptOff);
    if (asked == kEncryptNotSup)
        return offer == TlsOffer::Required ? kEncryptReq : kEncryptNotSup;
    if (asked == kEncryptOff && offer == TlsOffer::Available)
        return kEncryptOff;
    return kEncryptOn;
}

std::vector<uint8_t> buildPreloginResponse(uint32_t serverVersionBigEndian, uint8_t encryption) {
    // Options: VERSION (6 bytes), ENCRYPTION (1), INSTOPT (1), THREADID (0), MARS (1).
    struct Opt {
        uint8_t token;
        std::vector<uint8_t> data;
    };
    std::vector<Opt> opts;
    ByteWriter v;
    v.u32be(serverVersionBigEndian);
    v.u16(0);
    opts.push_back({0x00, v.data()});
    opts.push_back({0x01, {encryption}});
    opts.push_back({0x02, {0x00}});
    opts.push_back({0x03, {}});
    opts.push_back({0x04, {0x00}});
    ByteWriter w;
    size_t offset = opts.size() * 5 + 1;
    for (auto& o : opts) {
        w.u8(o.token);
        w.u16be(static_cast<uint16_t>(offset));
        w.u16be(static_cast<uint16_t>(o.data.size()));
        offset += o.data.size();
    }
    w.u8(0xFF);
    for (auto& o : opts)
        w.bytes(o.data);
    return w.data();
}

std::string decodePassword(std::span<const uint8_t> obfuscated) {
    std::vector<uint8_t> plain(obfuscated.size());
    for (size_t i = 0; i < obfuscated.size(); ++i) {
        uint8_t x = obfuscated[i] ^ 0xA5;
        plain[i] = static_cast<uint8_t>((x << 4) | (x >> 4));
    }
    return utf16leToUtf8(plain);
}

std::vector<uint8_t> encodePassword(std::string_view utf8) {
    std::string u = utf8ToUtf16le(utf8);
    std::vector<uint8_t> out(u.size());
    for (size_t i = 0; i < u.size(); ++i) {
        auto b = static_cast<uint8_t>(u[i]);
        out[i] = static_cast<uint8_t>(((b << 4) | (b >> 4)) ^ 0xA5);
    }
    return out;
}

namespace {

// An (offset, length-in-characters) pair pointing into the login record.
std::span<const uint8_t> field(std::span<const uint8_t> rec, uint16_t offset, size_t bytes) {
    if (bytes == 0)
        return {};
    if (static_cast<size_t>(offset) + bytes > rec.size())
        throw ProtocolError("login field outside the record");
    return rec.subspan(offset, bytes);
}

} // namespace

Login7 parseLogin7(std::span<const uint8_t> payload) {
    ByteReader r(payload);
    Login7 l;
    uint32_t length = r.u32();
    if (length > payload.size() || length < 94)
        throw ProtocolError("login record length");
    auto rec = payload.subspan(0, length);
    l.tdsVersion = r.u32();
    l.packetSize = r.u32();
    r.skip(4 + 4 + 4); // client program version, process id, connection id
    r.u8();            // option flags 1
    l.optionFlags2 = r.u8();
    r.u8();        // type flags
    r.u8();        // option flags 3
    r.skip(4 + 4); // time zone, LCID
    auto text = [&](std::string& out) {
        uint16_t off = r.u16();
        uint16_t chars = r.u16();
        out = utf16leToUtf8(field(rec, off, chars * 2u));
    };
    text(l.hostName);
    text(l.userName);
    {
        uint16_t off = r.u16();
        uint16_t chars = r.u16();
        l.password = decodePassword(field(rec, off, chars * 2u));
    }
    text(l.appName);
    text(l.serverName);
    r.skip(4); // extension / unused
    std::string clientLibrary;
    text(clientLibrary);
    text(l.language);
    text(l.database);
    r.skip(6); // client MAC address
    uint16_t sspiOff = r.u16();
    uint32_t sspiLen = r.u16();
    std::string attachFile;
    text(attachFile);
    if (l.tdsVersion >= kTds72 && r.remaining() >= 8) {
        r.skip(4);
        uint32_t sspiLong = r.u32();
        if (sspiLen == 0xFFFF)
            sspiLen = sspiLong;
    }
    auto sspi = field(rec, sspiOff, sspiLen);
    l.sspi.assign(sspi.begin(), sspi.end());
    return l;
}

uint32_t negotiateTdsVersion(uint32_t requested) {
    // Versions compare by their first byte; 7.0 clients are treated as 7.1.
    uint8_t major = requested >> 24;
    if (major >= 0x74)
        return kTds74;
    if (major == 0x73)
        return requested == 0x730A0003 ? requested : kTds73;
    if (major == 0x72)
        return kTds72;
    return kTds71;
}

ProductVersion parseProductVersion(const std::string& text) {
    ProductVersion v;
    std::istringstream in(text);
    std::string part;
    int idx = 0;
    while (std::getline(in, part, '.') && idx < 3) {
        long n = std::strtol(part.c_str(), nullptr, 10);
        if (idx == 0)
            v.major = static_cast<uint8_t>(n);
        else if (idx == 1)
            v.minor = static_cast<uint8_t>(n);
        else
            v.build = static_cast<uint16_t>(n);
        ++idx;
    }
    return v;
}

} // namespace sqlsim::wire
