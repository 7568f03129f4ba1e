#include "wire/request.h"

#include "wire/bytes.h"
#include "wire/login.h"
#include "wire/types.h"

#include <array>
#include <cmath>
#include <cstring>

namespace sqlsim::wire {

size_t skipAllHeaders(std::span<const uint8_t> payload, uint32_t tdsVersion) {
    if (tdsVersion < kTds72 || payload.size() < 4)
        return 0;
    ByteReader r(payload);
    uint32_t total = r.u32();
    // Some clients at 7.2+ still omit the headers; a plausible total tells them apart.
    if (total < 4 || total > payload.size() || total > 1024)
        return 0;
    return total;
}

std::string parseSqlBatch(std::span<const uint8_t> payload, uint32_t tdsVersion) {
    size_t off = skipAllHeaders(payload, tdsVersion);
    return utf16leToUtf8(payload.subspan(off));
}

std::string wellKnownProcName(uint16_t id) {
    static const char* const kNames[] = {"",
                                         "sp_cursor",
                                         "sp_cursoropen",
                                         "sp_cursorprepare",
                                         "sp_cursorexecute",
                                         "sp_cursorprepexec",
                                         "sp_cursorunprepare",
                                         "sp_cursorfetch",
                                         "sp_cursoroption",
                                         "sp_cursorclose",
                                         "sp_executesql",
                                         "sp_prepare",
                                         "sp_execute",
                                         "sp_prepexec",
                                         "sp_prepexecrpc",
                                         "sp_unprepare"};
    if (id < std::size(kNames))
        return kNames[id];
    return "";
}

namespace {

// Fixed-length and nullable types a client may use for parameters.
enum : uint8_t {
    tNull = 0x1F,
    tInt1 = 0x30,
    tBit = 0x32,
    tInt2 = 0x34,
    tInt4 = 0x38,
    tDateTim4 = 0x3A,
    tFlt4 = 0x3B,
    tMoney = 0x3C,
    tDateTime = 0x3D,
    tFlt8 = 0x3E,
    tMoney4 = 0x7A,
    tInt8 = 0x7F,
    tGuid = 0x24,
    tIntN = 0x26,
    tDate = 0x28,
    tTime = 0x29,
    tDateTime2 = 0x2A,
    tDateTimeOffset = 0x2B,
    tBitN = 0x68,
    tDecimal = 0x37,
    tNumeric = 0x3F,
    tDecimalN = 0x6A,
    tNumericN = 0x6C,
    tFltN = 0x6D,
    tMoneyN = 0x6E,
    tDateTimeN = 0x6F,
    tVarBinary = 0x25,
    tVarChar = 0x27,
    tBinary = 0x2D,
    tChar = 0x2F,
    tBigVarBin = 0xA5,
    tBigVarChr = 0xA7,
    tBigBinary = 0xAD,
    tBigChar = 0xAF,
    tNVarChar = 0xE7,
    tNChar = 0xEF,
    tText = 0x23,
    tImage = 0x22,
    tNText = 0x63,
};

int64_t signedLe(std::span<const uint8_t> b) {
    uint64_t v = 0;
    for (size_t k = 0; k < b.size(); ++k)
        v |= static_cast<uint64_t>(b[k]) << (8 * k);
    if (b.size() < 8 && !b.empty() && (b.back() & 0x80))
        v |= ~0ull << (8 * b.size());
    return static_cast<int64_t>(v);
}

bool validFixedLength(uint8_t type, size_t n) {
    switch (type) {
    case tInt1:
    case tBit:
    case tBitN:
        return n == 1;
    case tInt2:
    case tInt4:
    case tInt8:
    case tIntN:
        return n == 1 || n == 2 || n == 4 || n == 8;
    case tFlt4:
    case tFlt8:
    case tFltN:
    case tMoney:
    case tMoney4:
    case tMoneyN:
    case tDateTim4:
    case tDateTime:
    case tDateTimeN:
        return n == 4 || n == 8;
    case tGuid:
        return n == 16;
    default:
        return false;
    }
}

Value decodeFixedLike(uint8_t type, std::span<const uint8_t> b, ColumnInfo& info) {
    if (!validFixedLength(type, b.size()))
        throw ProtocolError("parameter length does not fit its type");
    switch (type) {
    case tInt1:
        info.type = SqlType::TinyInt;
        return Value::integer(b[0]);
    case tBit:
    case tBitN:
        info.type = SqlType::Bit;
        return Value::integer(b[0] != 0);
    case tInt2:
    case tInt4:
    case tInt8:
    case tIntN:
        info.type = b.size() == 1   ? SqlType::TinyInt
                    : b.size() == 2 ? SqlType::SmallInt
                    : b.size() == 4 ? SqlType::Int
                                    : SqlType::BigInt;
        if (b.size() == 1)
            return Value::integer(b[0]);
        return Value::integer(signedLe(b));
    case tFlt4:
    case tFlt8:
    case tFltN:
        if (b.size() == 4) {
            info.type = SqlType::Real;
            uint32_t bits = static_cast<uint32_t>(signedLe(b));
            float f;
            std::memcpy(&f, &bits, 4);
            return Value::real(f);
        } else {
            info.type = SqlType::Float;
            uint64_t bits = static_cast<uint64_t>(signedLe(b));
            double d;
            std::memcpy(&d, &bits, 8);
            return Value::real(d);
        }
    case tMoney:
    case tMoney4:
    case tMoneyN: {
        int64_t scaled;
        if (b.size() == 4) {
            info.type = SqlType::SmallMoney;
            scaled = signedLe(b);
        } else {
            info.type = SqlType::Money;
            uint64_t hi = static_cast<uint32_t>(signedLe(b.subspan(0, 4)));
            uint64_t lo = static_cast<uint32_t>(signedLe(b.subspan(4, 4)));
            scaled = static_cast<int64_t>((hi << 32) | lo);
        }
        return Value::str(formatScaled(scaled, 4));
    }
    case tDateTim4:
    case tDateTime:
    case tDateTimeN: {
        if (b.size() == 4) {
            info.type = SqlType::SmallDateTime;
            uint32_t days = b[0] | (b[1] << 8);
            uint32_t minutes = b[2] | (b[3] << 8);
            return Value::str(formatDateTime(static_cast<int32_t>(days), minutes * 60 * 300));
        }
        info.type = SqlType::DateTime;
        auto days = static_cast<int32_t>(signedLe(b.subspan(0, 4)));
        auto ticks = static_cast<uint32_t>(signedLe(b.subspan(4, 4)));
        return Value::str(formatDateTime(days, ticks));
    }
    case tGuid:
        info.type = SqlType::UniqueIdentifier;
        return Value::str(formatGuid(b.data()));
    default:
        throw ProtocolError("unsupported parameter type");
    }
}

size_t fixedSize(uint8_t type) {
    switch (type) {
    case tNull:
        return 0;
    case tInt1:
    case tBit:
        return 1;
    case tInt2:
        return 2;
    case tInt4:
    case tDateTim4:
    case tFlt4:
    case tMoney4:
        return 4;
    case tMoney:
    case tDateTime:
    case tFlt8:
    case tInt8:
        return 8;
    default:
        return SIZE_MAX;
    }
}

// date/time/datetime2/datetimeoffset: days since 0001-01-01 and a time in 10^-scale seconds.
std::string decodeNewDateTime(uint8_t type, uint8_t scale, std::span<const uint8_t> b) {
    size_t timeBytes = (type == tDate) ? 0 : (scale <= 2 ? 3 : scale <= 4 ? 4 : 5);
    std::string out;
    ByteReader r(b);
    uint64_t units = 0;
    if (type != tDate) {
        auto t = r.take(timeBytes);
        for (size_t k = 0; k < t.size(); ++k)
            units |= static_cast<uint64_t>(t[k]) << (8 * k);
    }
    if (type != tTime) {
        auto d = r.take(3);
        int32_t days = d[0] | (d[1] << 8) | (d[2] << 16);
        // 0001-01-01 lies 693595 days before 1900-01-01.
        std::string full = formatDateTime(days - 693595, 0);
        out = full.substr(0, 10);
    }
    if (type != tDate) {
        uint64_t div = 1;
        for (int k = 0; k < scale; ++k)
            div *= 10;
        uint64_t secs = units / div;
        uint64_t frac = units % div;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", static_cast<unsigned>(secs / 3600),
                      static_cast<unsigned>((secs / 60) % 60), static_cast<unsigned>(secs % 60));
        std::string time = buf;
        if (scale > 0) {
            std::snprintf(buf, sizeof buf, ".%0*llu", scale, static_cast<unsigned long long>(frac));
            time += buf;
        }
        out = out.empty() ? time : out + " " + time;
    }
    if (type == tDateTimeOffset) {
        auto o = r.take(2);
        auto minutes = static_cast<int16_t>(o[0] | (o[1] << 8));
        char buf[16];
        std::snprintf(buf, sizeof buf, " %c%02d:%02d", minutes < 0 ? '-' : '+',
                      std::abs(minutes) / 60, std::abs(minutes) % 60);
        out += buf;
    }
    return out;
}

Value textValue(uint8_t type, std::string bytes, ColumnInfo& info) {
    switch (type) {
    case tNVarChar:
    case tNChar:
    case tNText:
        info.type = type == tNChar   ? SqlType::NChar
                    : type == tNText ? SqlType::NText
                                     : SqlType::NVarChar;
        return Value::str(utf16leToUtf8(std::span<const uint8_t>(
            reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())));
    case tBigVarChr:
    case tBigChar:
    case tVarChar:
    case tChar:
    case tText:
        info.type = (type == tBigChar || type == tChar) ? SqlType::Char
                    : type == tText                     ? SqlType::Text
                                                        : SqlType::VarChar;
        return Value::str(cp1252ToUtf8(bytes));
    default:
        info.type = type == tImage                            ? SqlType::Image
                    : (type == tBigBinary || type == tBinary) ? SqlType::Binary
                                                              : SqlType::VarBinary;
        return Value::str(std::move(bytes));
    }
}

RpcParam parseParam(ByteReader& r, uint32_t tdsVersion) {
    RpcParam p;
    p.name = r.bVarchar();
    uint8_t status = r.u8();
    p.output = (status & 0x01) != 0;
    uint8_t type = r.u8();
    ColumnInfo& info = p.type;
    info.nullable = true;

    size_t fixed = fixedSize(type);
    if (fixed != SIZE_MAX) {
        if (type == tNull)
            return p;
        p.value = decodeFixedLike(type, r.take(fixed), info);
        return p;
    }
    switch (type) {
    case tIntN:
    case tBitN:
    case tFltN:
    case tMoneyN:
    case tDateTimeN:
    case tGuid: {
        uint8_t maxLen = r.u8();
        info.size = maxLen;
        uint8_t len = r.u8();
        if (len == 0) {
            // Decoding zeros of the declared size sets the parameter's type for a NULL.
            static constexpr std::array<uint8_t, 16> kZeros{};
            decodeFixedLike(
                type, std::span<const uint8_t>(kZeros).first(std::min<size_t>(maxLen, 16)), info);
            return p;
        }
        p.value = decodeFixedLike(type, r.take(len), info);
        return p;
    }
    case tDecimal:
    case tNumeric:
    case tDecimalN:
    case tNumericN: {
        r.u8(); // max length
        info.type = (type == tNumeric || type == tNumericN) ? SqlType::Numeric : SqlType::Decimal;
        info.precision = r.u8();
        info.scale = r.u8();
        uint8_t len = r.u8();
        if (len == 0)
            return p;
        auto b = r.take(len);
        if (len > 17)
            throw ProtocolError("decimal length");
        unsigned __int128 mag = 0;
        for (size_t k = len - 1; k >= 1; --k)
            mag = (mag << 8) | b[k];
        __int128 v = static_cast<__int128>(mag);
        p.value = Value::str(formatScaled(b[0] ? v : -v, info.scale));
        return p;
    }
    case tDate:
    case tTime:
    case tDateTime2:
    case tDateTimeOffset: {
        uint8_t scale = type == tDate ? 0 : r.u8();
        if (scale > 7)
            throw ProtocolError("time scale");
        info.type = SqlType::DateTime;
        uint8_t len = r.u8();
        if (len == 0)
            return p;
        p.value = Value::str(decodeNewDateTime(type, scale, r.take(len)));
        return p;
    }
    case tVarChar:
    case tChar:
    case tVarBinary:
    case tBinary: {
        info.size = r.u8();
        uint8_t len = r.u8();
        if (len == 0)
            return p; // these old types cannot express an empty value, only NULL
        p.value = textValue(type, r.takeString(len), info);
        return p;
    }
    case tBigVarChr:
    case tBigChar:
    case tNVarChar:
    case tNChar:
    case tBigVarBin:
    case tBigBinary: {
        uint16_t maxLen = r.u16();
        if (type != tBigVarBin && type != tBigBinary)
            r.skip(5); // collation
        info.size = maxLen == 0xFFFF ? -1 : maxLen;
        if (maxLen == 0xFFFF) {
            if (tdsVersion < kTds72)
                throw ProtocolError("PLP parameter before 7.2");
            uint64_t total = r.u64();
            if (total == ~0ull) {
                textValue(type, {}, info);
                return p;
            }
            std::string data;
            while (true) {
                uint32_t chunk = r.u32();
                if (chunk == 0)
                    break;
                data += r.takeString(chunk);
            }
            p.value = textValue(type, std::move(data), info);
            return p;
        }
        uint16_t len = r.u16();
        if (len == 0xFFFF) {
            textValue(type, {}, info);
            return p;
        }
        p.value = textValue(type, r.takeString(len), info);
        return p;
    }
    case tText:
    case tNText:
    case tImage: {
        r.u32(); // max length
        if (type != tImage)
            r.skip(5);
        uint32_t len = r.u32();
        if (len == 0xFFFFFFFF) {
            textValue(type, {}, info);
            return p;
        }
        p.value = textValue(type, r.takeString(len), info);
        return p;
    }
    default:
        throw ProtocolError("unsupported parameter type " + std::to_string(type));
    }
}

} // namespace

std::vector<RpcCall> parseRpc(std::span<const uint8_t> payload, uint32_t tdsVersion) {
    size_t off = skipAllHeaders(payload, tdsVersion);
    ByteReader r(payload.subspan(off));
    std::vector<RpcCall> calls;
    while (!r.atEnd()) {
        RpcCall call;
        uint16_t nameLen = r.u16();
        if (nameLen == 0xFFFF) {
            call.procId = r.u16();
            call.procName = wellKnownProcName(call.procId);
            if (call.procName.empty())
                throw ProtocolError("unknown procedure id " + std::to_string(call.procId));
        } else {
            call.procName = r.ucs2(nameLen);
        }
        call.options = r.u16();
        while (!r.atEnd()) {
            uint8_t next = r.peek();
            if (next == 0x80 || next == 0xFF || next == 0xFE) {
                r.u8(); // the next call follows
                break;
            }
            call.params.push_back(parseParam(r, tdsVersion));
        }
        calls.push_back(std::move(call));
    }
    return calls;
}

} // namespace sqlsim::wire
