// A minimal client side of the protocol for tests: builds the requests a driver sends and
// decodes the server's token stream independently of the server's own token writer.
#pragma once

#include "wire/bytes.h"
#include "wire/login.h"
#include "wire/net.h"
#include "wire/packet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sqlsim::wiretest {

using wire::ByteReader;
using wire::ByteWriter;

struct ColDesc {
    uint8_t type = 0;
    uint16_t flags = 0;
    uint32_t maxLength = 0;
    uint8_t precision = 0;
    uint8_t scale = 0;
    std::vector<uint8_t> collation;
    std::string name;
};

struct Tok {
    uint8_t type = 0;
    // DONE family
    uint16_t status = 0;
    uint16_t curCmd = 0;
    uint64_t count = 0;
    // ERROR / INFO
    int32_t number = 0;
    uint8_t severity = 0;
    std::string text;
    // ENVCHANGE
    uint8_t envType = 0;
    std::string newValue, oldValue;
    // LOGINACK
    uint32_t tdsVersion = 0;
    std::string progName;
    uint8_t verMajor = 0, verMinor = 0;
    uint16_t verBuild = 0;
    // COLMETADATA
    std::vector<ColDesc> cols;
    // ROW: raw value bytes; nullopt is NULL
    std::vector<std::optional<std::string>> values;
    // RETURNSTATUS / RETURNVALUE
    int32_t intValue = 0;
    std::vector<uint8_t> sspi;
};

// Decodes a whole response message. Throws wire::ProtocolError if it is malformed.
inline std::vector<Tok> decodeTokens(std::span<const uint8_t> payload, uint32_t version) {
    ByteReader r(payload);
    std::vector<Tok> out;
    std::vector<ColDesc> cols;
    bool v72 = version >= wire::kTds72;
    auto typeInfo = [&](ColDesc& c) {
        c.type = r.u8();
        switch (c.type) {
        case 0x26:
        case 0x68:
        case 0x6D:
        case 0x6E:
        case 0x6F:
        case 0x24:
            c.maxLength = r.u8();
            break;
        case 0x6A:
        case 0x6C:
            c.maxLength = r.u8();
            c.precision = r.u8();
            c.scale = r.u8();
            break;
        case 0xA7:
        case 0xAF:
        case 0xE7:
        case 0xEF: {
            c.maxLength = r.u16();
            auto col = r.take(5);
            c.collation.assign(col.begin(), col.end());
            break;
        }
        case 0xA5:
        case 0xAD:
            c.maxLength = r.u16();
            break;
        case 0x23:
        case 0x63:
        case 0x22: {
            c.maxLength = r.u32();
            if (c.type != 0x22) {
                auto col = r.take(5);
                c.collation.assign(col.begin(), col.end());
            }
            int parts = v72 ? r.u8() : 1;
            for (int k = 0; k < parts; ++k)
                r.usVarchar();
            break;
        }
        default:
            throw wire::ProtocolError("test client: unknown type " + std::to_string(c.type));
        }
    };
    auto value = [&](const ColDesc& c) -> std::optional<std::string> {
        switch (c.type) {
        case 0xA7:
        case 0xAF:
        case 0xE7:
        case 0xEF:
        case 0xA5:
        case 0xAD: {
            if (c.maxLength == 0xFFFF) {
                uint64_t total = r.u64();
                if (total == ~0ull)
                    return std::nullopt;
                std::string data;
                while (uint32_t chunk = r.u32())
                    data += r.takeString(chunk);
                if (total != 0xFFFFFFFFFFFFFFFEull && total != data.size())
                    throw wire::ProtocolError("test client: PLP length mismatch");
                return data;
            }
            uint16_t len = r.u16();
            if (len == 0xFFFF)
                return std::nullopt;
            return r.takeString(len);
        }
        case 0x23:
        case 0x63:
        case 0x22: {
            uint8_t ptr = r.u8();
            if (ptr == 0)
                return std::nullopt;
            r.skip(ptr + 8);
            return r.takeString(r.u32());
        }
        default: {
            uint8_t len = r.u8();
            if (len == 0)
                return std::nullopt;
            return r.takeString(len);
        }
        }
    };
    while (!r.atEnd()) {
        Tok t;
        t.type = r.u8();
        switch (t.type) {
        case 0xFD:
        case 0xFE:
        case 0xFF:
            t.status = r.u16();
            t.curCmd = r.u16();
            t.count = v72 ? r.u64() : r.u32();
            break;
        case 0xAA:
        case 0xAB: {
            r.u16();
            t.number = static_cast<int32_t>(r.u32());
            r.u8();
            t.severity = r.u8();
            t.text = r.usVarchar();
            r.bVarchar();
            r.bVarchar();
            if (v72)
                r.u32();
            else
                r.u16();
            break;
        }
        case 0xE3: {
            uint16_t len = r.u16();
            auto body = r.take(len);
            ByteReader b(body);
            t.envType = b.u8();
            if (t.envType == 7 || t.envType >= 8) {
                t.newValue = b.takeString(b.u8());
                t.oldValue = b.takeString(b.u8());
            } else {
                t.newValue = b.bVarchar();
                t.oldValue = b.bVarchar();
            }
            break;
        }
        case 0xAD: {
            uint16_t len = r.u16();
            ByteReader b(r.take(len));
            b.u8();
            t.tdsVersion = b.u32be();
            t.progName = b.bVarchar();
            t.verMajor = b.u8();
            t.verMinor = b.u8();
            t.verBuild = b.u16be();
            break;
        }
        case 0xED: {
            auto s = r.take(r.u16());
            t.sspi.assign(s.begin(), s.end());
            break;
        }
        case 0x81: {
            uint16_t n = r.u16();
            cols.clear();
            for (uint16_t k = 0; k < n; ++k) {
                ColDesc c;
                if (v72)
                    r.u32();
                else
                    r.u16();
                c.flags = r.u16();
                typeInfo(c);
                c.name = r.bVarchar();
                cols.push_back(c);
            }
            t.cols = cols;
            break;
        }
        case 0xD1:
            for (const auto& c : cols)
                t.values.push_back(value(c));
            break;
        case 0x79:
            t.intValue = static_cast<int32_t>(r.u32());
            break;
        case 0xAC: {
            r.u16();
            t.text = r.bVarchar();
            r.u8();
            if (v72)
                r.u32();
            else
                r.u16();
            r.u16();
            ColDesc c;
            typeInfo(c);
            auto v = value(c);
            if (v && v->size() == 4)
                t.intValue = static_cast<int32_t>(
                    ByteReader(
                        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(v->data()), 4))
                        .u32());
            break;
        }
        default:
            throw wire::ProtocolError("test client: unknown token " + std::to_string(t.type));
        }
        out.push_back(std::move(t));
    }
    return out;
}

inline std::vector<uint8_t> buildLogin7(uint32_t version, const std::string& user,
                                        const std::string& password, const std::string& database,
                                        uint8_t optionFlags2 = 0,
                                        const std::vector<uint8_t>& sspi = {},
                                        uint32_t packetSize = 4096) {
    std::vector<std::pair<std::string, bool>> fields = {
        {"testhost", false}, {user, false},        {password, true},
        {"wiretest", false}, {"127.0.0.1", false}, {"", false},
        {"testlib", false},  {"", false},          {database, false}};
    const uint32_t fixed = 94;
    ByteWriter var;
    std::vector<std::pair<uint16_t, uint16_t>> refs;
    for (auto& [text, secret] : fields) {
        std::vector<uint8_t> bytes;
        if (secret) {
            bytes = wire::encodePassword(text);
        } else {
            std::string u = wire::utf8ToUtf16le(text);
            bytes.assign(u.begin(), u.end());
        }
        refs.push_back(
            {static_cast<uint16_t>(fixed + var.size()), static_cast<uint16_t>(bytes.size() / 2)});
        var.bytes(bytes);
    }
    uint16_t sspiOff = static_cast<uint16_t>(fixed + var.size());
    var.bytes(sspi);
    uint16_t endOff = static_cast<uint16_t>(fixed + var.size());
    ByteWriter w;
    w.u32(fixed + static_cast<uint32_t>(var.size()));
    w.u32(version);
    w.u32(packetSize);
    w.u32(7);
    w.u32(1234);
    w.u32(0);
    w.u8(0xE0);
    w.u8(optionFlags2 | 0x03);
    w.u8(0);
    w.u8(0);
    w.u32(0);
    w.u32(0x409);
    for (size_t k = 0; k < 5; ++k) {
        w.u16(refs[k].first);
        w.u16(refs[k].second);
    }
    w.u16(endOff); // extension: none
    w.u16(0);
    for (size_t k = 6; k < 9; ++k) {
        w.u16(refs[k].first);
        w.u16(refs[k].second);
    }
    for (int k = 0; k < 6; ++k)
        w.u8(0);
    w.u16(sspiOff);
    w.u16(static_cast<uint16_t>(sspi.size()));
    w.u16(endOff); // attach file
    w.u16(0);
    w.u16(endOff); // change password
    w.u16(0);
    w.u32(0); // long SSPI length
    w.bytes(var.data());
    return w.data();
}

inline std::vector<uint8_t> allHeaders() {
    ByteWriter w;
    w.u32(22);
    w.u32(18);
    w.u16(2); // transaction descriptor
    w.u64(0);
    w.u32(1);
    return w.data();
}

class TestClient {
public:
    explicit TestClient(int fd, uint32_t version = wire::kTds74) : fd_(fd), version_(version) {}
    uint32_t version() const { return version_; }
    int fd() const { return fd_.get(); }

    // `firstStatus` adds status bits (such as reset-connection) to the first packet.
    bool send(uint8_t type, std::span<const uint8_t> payload, size_t packetSize = 512,
              uint8_t firstStatus = 0) {
        size_t off = 0;
        uint8_t id = 1;
        do {
            size_t n = std::min(packetSize - 8, payload.size() - off);
            ByteWriter p;
            p.u8(type);
            p.u8(static_cast<uint8_t>((off + n == payload.size() ? 1 : 0) |
                                      (off == 0 ? firstStatus : 0)));
            p.u16be(static_cast<uint16_t>(n + 8));
            p.u16be(0);
            p.u8(id++);
            p.u8(0);
            p.bytes(payload.subspan(off, n));
            if (!wire::sendAll(fd_.get(), p.data()))
                return false;
            off += n;
        } while (off < payload.size());
        return true;
    }

    // The session id the header of the last packet read carried.
    uint16_t lastSpid = 0;

    // Reads one whole response message; packetSizes collects each packet's length.
    std::optional<std::vector<uint8_t>> readMessage(std::vector<size_t>* packetSizes = nullptr) {
        std::vector<uint8_t> msg;
        while (true) {
            uint8_t h[8];
            if (!wire::recvAll(fd_.get(), h, 8))
                return std::nullopt;
            auto hdr = wire::parseHeader(h);
            lastSpid = hdr.spid;
            if (packetSizes)
                packetSizes->push_back(hdr.length);
            size_t n = hdr.length - 8;
            size_t old = msg.size();
            msg.resize(old + n);
            if (n && !wire::recvAll(fd_.get(), msg.data() + old, n))
                return std::nullopt;
            if (hdr.status & 1)
                return msg;
        }
    }

    // Reads packets until the server closes the connection; the payload bytes received, and
    // whether any packet ended a message.
    std::vector<uint8_t> readUntilClosed(bool& sawEom) {
        std::vector<uint8_t> data;
        sawEom = false;
        uint8_t h[8];
        while (wire::recvAll(fd_.get(), h, 8)) {
            auto hdr = wire::parseHeader(h);
            size_t n = hdr.length - 8;
            size_t old = data.size();
            data.resize(old + n);
            if (n && !wire::recvAll(fd_.get(), data.data() + old, n))
                break;
            sawEom |= (hdr.status & 1) != 0;
        }
        return data;
    }

    std::vector<Tok> roundTrip(uint8_t type, std::span<const uint8_t> payload) {
        if (!send(type, payload))
            return {};
        auto m = readMessage();
        if (!m)
            return {};
        return decodeTokens(*m, version_);
    }

    std::vector<Tok> login(const std::string& user, const std::string& password,
                           const std::string& db = "") {
        return roundTrip(wire::kLogin7, buildLogin7(version_, user, password, db));
    }

    std::vector<uint8_t> batchPayload(const std::string& sql) const {
        std::vector<uint8_t> p;
        if (version_ >= wire::kTds72)
            p = allHeaders();
        std::string u = wire::utf8ToUtf16le(sql);
        p.insert(p.end(), u.begin(), u.end());
        return p;
    }

    std::vector<Tok> batch(const std::string& sql) {
        return roundTrip(wire::kSqlBatch, batchPayload(sql));
    }

private:
    wire::Fd fd_;
    uint32_t version_;
};

inline const Tok* findTok(const std::vector<Tok>& toks, uint8_t type, size_t nth = 0) {
    for (const auto& t : toks)
        if (t.type == type && nth-- == 0)
            return &t;
    return nullptr;
}

inline std::string utf16(const std::string& utf8) {
    return wire::utf8ToUtf16le(utf8);
}

} // namespace sqlsim::wiretest
