#include "wire/types.h"

#include "wire/login.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sqlsim::wire {

namespace {

constexpr uint8_t kIntN = 0x26, kBitN = 0x68, kFltN = 0x6D, kDecimalN = 0x6A, kNumericN = 0x6C,
                  kMoneyN = 0x6E, kDateTimeN = 0x6F, kBigChar = 0xAF, kBigVarChar = 0xA7,
                  kNChar = 0xEF, kNVarChar = 0xE7, kText = 0x23, kNText = 0x63, kImage = 0x22,
                  kBigBinary = 0xAD, kBigVarBinary = 0xA5, kGuid = 0x24, kDateN = 0x28,
                  kTimeN = 0x29, kDateTime2N = 0x2A, kDateTimeOffsetN = 0x2B;

uint8_t decimalBytes(uint8_t precision) {
    if (precision <= 9)
        return 5;
    if (precision <= 19)
        return 9;
    if (precision <= 28)
        return 13;
    return 17;
}

// A var-sized column's declared size, or 0 when it must become a (max)/long type.
uint32_t boundedSize(int32_t size, uint32_t fallback) {
    if (size < 0 || size > 8000)
        return 0;
    return size == 0 ? fallback : static_cast<uint32_t>(size);
}

WireType varType(SqlType type, int32_t size, uint32_t tdsVersion) {
    WireType t;
    bool unicode = type == SqlType::NChar || type == SqlType::NVarChar;
    bool binary = type == SqlType::Binary || type == SqlType::VarBinary;
    bool fixed = type == SqlType::Char || type == SqlType::NChar || type == SqlType::Binary;
    t.encoding = unicode ? Encoding::Unicode : binary ? Encoding::Binary : Encoding::Text;
    t.collation = !binary;
    uint32_t bounded = boundedSize(size, 8000);
    if (bounded == 0 && !fixed) {
        if (tdsVersion >= kTds72) {
            t.layout = Layout::Plp;
            t.maxLength = 0xFFFF;
            t.tdsType = unicode ? kNVarChar : binary ? kBigVarBinary : kBigVarChar;
        } else {
            // Before 7.2 a (max) column can only travel as a long type.
            t.layout = Layout::LongText;
            t.maxLength = 0x7FFFFFFF;
            t.tdsType = unicode ? kNText : binary ? kImage : kText;
        }
        return t;
    }
    if (bounded == 0)
        bounded = 8000;
    if (unicode && bounded % 2)
        ++bounded;
    t.layout = Layout::ShortLength;
    t.maxLength = bounded;
    t.fixed = fixed;
    switch (type) {
    case SqlType::Char:
        t.tdsType = kBigChar;
        break;
    case SqlType::VarChar:
        t.tdsType = kBigVarChar;
        break;
    case SqlType::NChar:
        t.tdsType = kNChar;
        break;
    case SqlType::Binary:
        t.tdsType = kBigBinary;
        break;
    case SqlType::VarBinary:
        t.tdsType = kBigVarBinary;
        break;
    default:
        t.tdsType = kNVarChar;
        break;
    }
    return t;
}

WireType byteLength(uint8_t type, Encoding enc, uint32_t len) {
    WireType t;
    t.tdsType = type;
    t.layout = Layout::ByteLength;
    t.encoding = enc;
    t.maxLength = len;
    return t;
}

int64_t valueInt(const Value& v) {
    switch (v.kind) {
    case Value::Kind::Int:
        return v.i;
    case Value::Kind::Float:
        return static_cast<int64_t>(v.f);
    case Value::Kind::Text:
        return std::strtoll(v.text.c_str(), nullptr, 10);
    case Value::Kind::Null:
        break;
    }
    return 0;
}

double valueDouble(const Value& v) {
    switch (v.kind) {
    case Value::Kind::Int:
        return static_cast<double>(v.i);
    case Value::Kind::Float:
        return v.f;
    case Value::Kind::Text:
        return std::strtod(v.text.c_str(), nullptr);
    case Value::Kind::Null:
        break;
    }
    return 0;
}

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

// The largest unscaled value of a decimal with `precision` digits: 10^precision - 1.
__int128 maxForPrecision(uint8_t precision) {
    __int128 v = 1;
    for (uint8_t k = 0; k < precision; ++k)
        v *= 10;
    return v - 1;
}

const int64_t kEpoch1900 = daysFromCivil(1900, 1, 1);

void writeText(ByteWriter& w, const WireType& t, std::string bytes) {
    if (t.fixed) {
        if (bytes.size() > t.maxLength)
            bytes.resize(t.maxLength);
        if (t.encoding == Encoding::Unicode) {
            while (bytes.size() + 2 <= t.maxLength)
                bytes += std::string(" \0", 2);
        } else {
            bytes.resize(t.maxLength, t.encoding == Encoding::Binary ? '\0' : ' ');
        }
    }
    switch (t.layout) {
    case Layout::ShortLength:
        if (bytes.size() > t.maxLength)
            bytes.resize(t.maxLength - (t.encoding == Encoding::Unicode ? t.maxLength % 2 : 0));
        w.u16(static_cast<uint16_t>(bytes.size()));
        w.bytes(bytes);
        break;
    case Layout::Plp: {
        w.u64(bytes.size());
        // Chunks keep any single length field small; clients reassemble them.
        constexpr size_t kChunk = 8000;
        for (size_t off = 0; off < bytes.size(); off += kChunk) {
            size_t n = std::min(kChunk, bytes.size() - off);
            w.u32(static_cast<uint32_t>(n));
            w.bytes(std::string_view(bytes).substr(off, n));
        }
        w.u32(0);
        break;
    }
    case Layout::LongText: {
        w.u8(16);
        for (int i = 0; i < 16; ++i)
            w.u8(0xAB); // text pointer: opaque to clients that only read
        for (int i = 0; i < 8; ++i)
            w.u8(0); // timestamp
        w.u32(static_cast<uint32_t>(bytes.size()));
        w.bytes(bytes);
        break;
    }
    default:
        break;
    }
}

} // namespace

std::string valueText(const Value& v) {
    switch (v.kind) {
    case Value::Kind::Int:
        return std::to_string(v.i);
    case Value::Kind::Float: {
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, v.f);
        return std::string(buf, res.ptr);
    }
    case Value::Kind::Text:
        return v.text;
    case Value::Kind::Null:
        break;
    }
    return {};
}

WireType describeColumn(const ColumnInfo& col, uint32_t tdsVersion) {
    switch (col.type) {
    case SqlType::TinyInt:
        return byteLength(kIntN, Encoding::Integer, 1);
    case SqlType::SmallInt:
        return byteLength(kIntN, Encoding::Integer, 2);
    case SqlType::Int:
        return byteLength(kIntN, Encoding::Integer, 4);
    case SqlType::BigInt:
        return byteLength(kIntN, Encoding::Integer, 8);
    case SqlType::Bit:
        return byteLength(kBitN, Encoding::Bit, 1);
    case SqlType::Real:
        return byteLength(kFltN, Encoding::Float, 4);
    case SqlType::Float:
        return byteLength(kFltN, Encoding::Float, 8);
    case SqlType::Decimal:
    case SqlType::Numeric: {
        uint8_t p = col.precision == 0 ? 18 : std::min<uint8_t>(col.precision, 38);
        WireType t = byteLength(col.type == SqlType::Decimal ? kDecimalN : kNumericN,
                                Encoding::Decimal, decimalBytes(p));
        t.layout = Layout::Decimal;
        t.precision = p;
        t.scale = std::min(col.scale, p);
        return t;
    }
    case SqlType::Money:
        return byteLength(kMoneyN, Encoding::Money, 8);
    case SqlType::SmallMoney:
        return byteLength(kMoneyN, Encoding::Money, 4);
    case SqlType::DateTime:
        return byteLength(kDateTimeN, Encoding::DateTime, 8);
    case SqlType::SmallDateTime:
        return byteLength(kDateTimeN, Encoding::DateTime, 4);
    case SqlType::UniqueIdentifier:
        return byteLength(kGuid, Encoding::Guid, 16);
    case SqlType::Text:
    case SqlType::NText:
    case SqlType::Image: {
        WireType t;
        t.layout = Layout::LongText;
        t.tdsType = col.type == SqlType::Text    ? kText
                    : col.type == SqlType::NText ? kNText
                                                 : kImage;
        t.encoding = col.type == SqlType::Text    ? Encoding::Text
                     : col.type == SqlType::NText ? Encoding::Unicode
                                                  : Encoding::Binary;
        t.collation = col.type != SqlType::Image;
        t.maxLength = col.type == SqlType::NText ? 0x7FFFFFFE : 0x7FFFFFFF;
        return t;
    }
    case SqlType::SqlVariant:
        return varType(SqlType::NVarChar, 8000, tdsVersion);
    case SqlType::Date:
    case SqlType::Time:
    case SqlType::DateTime2:
    case SqlType::DateTimeOffset: {
        // A client older than TDS 7.3 gets these types as nvarchar of their text, as wide as
        // the type's precision in characters, which is what SQL Server sends down-level.
        if (tdsVersion < kTds73)
            return varType(SqlType::NVarChar, 2 * std::max<int32_t>(col.precision, 10), tdsVersion);
        WireType t;
        t.scale = std::min<uint8_t>(col.type == SqlType::Date ? 0 : col.scale, 7);
        const uint8_t time = timeBytes(t.scale);
        switch (col.type) {
        case SqlType::Date:
            t.tdsType = kDateN;
            t.layout = Layout::TypeOnly;
            t.encoding = Encoding::Date;
            t.maxLength = 3;
            break;
        case SqlType::Time:
            t.tdsType = kTimeN;
            t.encoding = Encoding::Time;
            t.maxLength = time;
            break;
        case SqlType::DateTime2:
            t.tdsType = kDateTime2N;
            t.encoding = Encoding::DateTime2;
            t.maxLength = time + 3u;
            break;
        default:
            t.tdsType = kDateTimeOffsetN;
            t.encoding = Encoding::DateTimeOffset;
            t.maxLength = time + 5u;
            break;
        }
        if (col.type != SqlType::Date)
            t.layout = Layout::Scaled;
        return t;
    }
    default:
        return varType(col.type, col.size, tdsVersion);
    }
}

void writeTypeInfo(ByteWriter& w, const WireType& t, uint32_t tdsVersion) {
    w.u8(t.tdsType);
    switch (t.layout) {
    case Layout::ByteLength:
        w.u8(static_cast<uint8_t>(t.maxLength));
        break;
    case Layout::Decimal:
        w.u8(static_cast<uint8_t>(t.maxLength));
        w.u8(t.precision);
        w.u8(t.scale);
        break;
    case Layout::TypeOnly:
        break;
    case Layout::Scaled:
        w.u8(t.scale);
        break;
    case Layout::ShortLength:
    case Layout::Plp:
        w.u16(static_cast<uint16_t>(t.maxLength));
        if (t.collation)
            w.bytes(std::span<const uint8_t>(kCollation));
        break;
    case Layout::LongText:
        w.u32(t.maxLength);
        if (t.collation)
            w.bytes(std::span<const uint8_t>(kCollation));
        // The table a long column comes from; clients only need it for text-pointer updates.
        if (tdsVersion >= kTds72)
            w.u8(1);
        w.usVarchar("");
        break;
    }
}

void writeValue(ByteWriter& w, const WireType& t, const Value& v) {
    bool isNull = v.kind == Value::Kind::Null;
    if (isNull) {
        switch (t.layout) {
        case Layout::ByteLength:
        case Layout::Decimal:
        case Layout::LongText:
        case Layout::TypeOnly:
        case Layout::Scaled:
            w.u8(0);
            break;
        case Layout::ShortLength:
            w.u16(0xFFFF);
            break;
        case Layout::Plp:
            w.u64(~0ull);
            break;
        }
        return;
    }
    switch (t.encoding) {
    case Encoding::Integer: {
        int64_t n = valueInt(v);
        w.u8(static_cast<uint8_t>(t.maxLength));
        for (uint32_t k = 0; k < t.maxLength; ++k)
            w.u8(static_cast<uint8_t>(static_cast<uint64_t>(n) >> (8 * k)));
        return;
    }
    case Encoding::Bit: {
        bool b = v.kind == Value::Kind::Text
                     ? (v.text == "1" || v.text == "true" || v.text == "TRUE")
                     : valueDouble(v) != 0;
        w.u8(1);
        w.u8(b ? 1 : 0);
        return;
    }
    case Encoding::Float: {
        double d = valueDouble(v);
        w.u8(static_cast<uint8_t>(t.maxLength));
        if (t.maxLength == 4) {
            float f = static_cast<float>(d);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            w.u32(bits);
        } else {
            uint64_t bits;
            std::memcpy(&bits, &d, 8);
            w.u64(bits);
        }
        return;
    }
    case Encoding::Decimal:
    case Encoding::Money: {
        uint8_t scale = t.encoding == Encoding::Money ? 4 : t.scale;
        std::string text;
        if (v.kind == Value::Kind::Float) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.*f", scale, v.f);
            text = buf;
        } else {
            text = valueText(v);
        }
        __int128 scaled = 0;
        if (!parseScaled(text, scale, scaled)) {
            writeValue(w, t, Value::null());
            return;
        }
        // Out-of-range values saturate instead of wrapping into a sign change; a value the
        // engine computed in floating point can land just past the type's limit.
        __int128 limit = t.encoding == Encoding::Money
                             ? (t.maxLength == 4 ? __int128(INT32_MAX) : __int128(INT64_MAX))
                             : maxForPrecision(t.precision);
        scaled = std::clamp(scaled,
                            t.encoding == Encoding::Money && t.maxLength != 4 ? __int128(INT64_MIN)
                            : t.encoding == Encoding::Money                   ? __int128(INT32_MIN)
                                                                              : -limit,
                            limit);
        if (t.encoding == Encoding::Money) {
            w.u8(static_cast<uint8_t>(t.maxLength));
            if (t.maxLength == 4) {
                w.u32(static_cast<uint32_t>(static_cast<int32_t>(scaled)));
            } else {
                auto m = static_cast<uint64_t>(static_cast<int64_t>(scaled));
                w.u32(static_cast<uint32_t>(m >> 32));
                w.u32(static_cast<uint32_t>(m & 0xFFFFFFFFu));
            }
            return;
        }
        bool negative = scaled < 0;
        unsigned __int128 mag = negative ? static_cast<unsigned __int128>(-scaled)
                                         : static_cast<unsigned __int128>(scaled);
        w.u8(static_cast<uint8_t>(t.maxLength));
        w.u8(negative ? 0 : 1);
        for (uint32_t k = 0; k + 1 < t.maxLength; ++k)
            w.u8(static_cast<uint8_t>(mag >> (8 * k)));
        return;
    }
    case Encoding::DateTime: {
        int32_t days = 0;
        uint32_t ticks = 0;
        if (!parseDateTime(valueText(v), days, ticks)) {
            writeValue(w, t, Value::null());
            return;
        }
        w.u8(static_cast<uint8_t>(t.maxLength));
        if (t.maxLength == 4) {
            uint32_t minutes = (ticks + 150 * 60) / (300 * 60);
            if (minutes >= 24 * 60) {
                minutes -= 24 * 60;
                ++days;
            }
            w.u16(static_cast<uint16_t>(days));
            w.u16(static_cast<uint16_t>(minutes));
        } else {
            w.u32(static_cast<uint32_t>(days));
            w.u32(ticks);
        }
        return;
    }
    case Encoding::Date:
    case Encoding::Time:
    case Encoding::DateTime2:
    case Encoding::DateTimeOffset: {
        int32_t days = 0;
        int64_t ticks = 0;
        int16_t offset = 0;
        if (!parseLaterDate(valueText(v), days, ticks, offset)) {
            writeValue(w, t, Value::null());
            return;
        }
        if (t.encoding == Encoding::DateTimeOffset) {
            // Carried in UTC, with the offset beside it.
            constexpr int64_t kDay = 864000000000LL;
            ticks -= static_cast<int64_t>(offset) * 600000000LL;
            if (ticks < 0) {
                ticks += kDay;
                --days;
            } else if (ticks >= kDay) {
                ticks -= kDay;
                ++days;
            }
        }
        w.u8(static_cast<uint8_t>(t.maxLength));
        if (t.encoding != Encoding::Date) {
            // The time counts units of 10^-scale seconds.
            int64_t units = ticks;
            for (uint8_t k = t.scale; k < 7; ++k)
                units /= 10;
            const uint8_t n = timeBytes(t.scale);
            for (uint8_t k = 0; k < n; ++k)
                w.u8(static_cast<uint8_t>(static_cast<uint64_t>(units) >> (8 * k)));
        }
        if (t.encoding != Encoding::Time)
            for (int k = 0; k < 3; ++k)
                w.u8(static_cast<uint8_t>(static_cast<uint32_t>(days) >> (8 * k)));
        if (t.encoding == Encoding::DateTimeOffset)
            w.u16(static_cast<uint16_t>(offset));
        return;
    }
    case Encoding::Guid: {
        uint8_t g[16];
        if (!parseGuid(valueText(v), g)) {
            writeValue(w, t, Value::null());
            return;
        }
        w.u8(16);
        w.bytes(std::span<const uint8_t>(g, 16));
        return;
    }
    case Encoding::Text:
        writeText(w, t, utf8ToCp1252(valueText(v)));
        return;
    case Encoding::Unicode:
        writeText(w, t, utf8ToUtf16le(valueText(v)));
        return;
    case Encoding::Binary:
        writeText(w, t, valueText(v));
        return;
    }
}

bool parseDateTime(const std::string& text, int32_t& days, uint32_t& ticks) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &consumed) != 3)
        return false;
    double fraction = 0;
    const char* rest = text.c_str() + consumed;
    if (*rest == ' ' || *rest == 'T') {
        if (std::sscanf(rest + 1, "%2d:%2d:%2d", &h, &mi, &s) < 2)
            return false;
        const char* dot = std::strchr(rest, '.');
        if (dot)
            fraction = std::strtod(dot, nullptr);
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
        return false;
    int64_t dd = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) - kEpoch1900;
    // Milliseconds round to the 1/300 s grid the type stores.
    int64_t ms = std::llround(fraction * 1000.0);
    int64_t t = (static_cast<int64_t>(h) * 3600 + mi * 60 + s) * 300 + (ms * 3 + 5) / 10;
    if (t >= 24LL * 3600 * 300) {
        t -= 24LL * 3600 * 300;
        ++dd;
    }
    days = static_cast<int32_t>(dd);
    ticks = static_cast<uint32_t>(t);
    return true;
}

uint8_t timeBytes(uint8_t scale) {
    return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

bool parseLaterDate(const std::string& text, int32_t& days, int64_t& ticks, int16_t& offset) {
    days = 0;
    ticks = 0;
    offset = 0;
    const char* p = text.c_str();
    int y = 1, mo = 1, d = 1, consumed = 0;
    // A time alone ("07:00:00.5") has its colon third.
    const bool timeOnly = text.size() >= 3 && text[2] == ':';
    if (!timeOnly) {
        if (std::sscanf(p, "%4d-%2d-%2d%n", &y, &mo, &d, &consumed) != 3)
            return false;
        if (mo < 1 || mo > 12 || d < 1 || d > 31 || y < 1)
            return false;
        days = static_cast<int32_t>(
            daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) -
            daysFromCivil(1, 1, 1));
        p += consumed;
        while (*p == ' ' || *p == 'T')
            ++p;
    }
    if (*p && *p != '+' && *p != '-') {
        int h = 0, mi = 0, s = 0, n = 0;
        if (std::sscanf(p, "%2d:%2d:%2d%n", &h, &mi, &s, &n) != 3)
            return false;
        p += n;
        int64_t frac = 0;
        if (*p == '.') {
            int digits = 0;
            for (++p; std::isdigit(static_cast<unsigned char>(*p)); ++p)
                if (digits++ < 7)
                    frac = frac * 10 + (*p - '0');
            for (; digits < 7; ++digits)
                frac *= 10;
        }
        if (h > 23 || mi > 59 || s > 59)
            return false;
        ticks = (static_cast<int64_t>(h) * 3600 + mi * 60 + s) * 10000000LL + frac;
        while (*p == ' ')
            ++p;
    }
    if (*p == '+' || *p == '-') {
        int oh = 0, om = 0;
        if (std::sscanf(p + 1, "%2d:%2d", &oh, &om) != 2)
            return false;
        offset = static_cast<int16_t>((*p == '-' ? -1 : 1) * (oh * 60 + om));
    }
    return true;
}

std::string formatDateTime(int32_t days, uint32_t ticks) {
    int64_t y;
    unsigned m, d;
    civilFromDays(kEpoch1900 + days, y, m, d);
    uint64_t ms = (static_cast<uint64_t>(ticks) * 10 + 1) / 3;
    unsigned secs = static_cast<unsigned>(ms / 1000);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02u:%02u:%02u.%03u",
                  static_cast<long long>(y), m, d, secs / 3600, (secs / 60) % 60, secs % 60,
                  static_cast<unsigned>(ms % 1000));
    return buf;
}

bool parseScaled(const std::string& text, uint8_t scale, __int128& out) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    unsigned __int128 v = 0;
    bool any = false;
    int fracDigits = -1;
    bool roundUp = false;
    constexpr unsigned __int128 kLimit = static_cast<unsigned __int128>(1) << 125;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' && fracDigits < 0) {
            fracDigits = 0;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        any = true;
        if (fracDigits >= 0) {
            if (fracDigits == scale) {
                // The first dropped digit decides rounding; later ones do not matter.
                if (!roundUp && fracDigits == scale && c >= '5')
                    roundUp = true;
                fracDigits = scale + 1;
                continue;
            }
            if (fracDigits > scale)
                continue;
            ++fracDigits;
        }
        if (v > kLimit)
            return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (!any)
        return false;
    int have = fracDigits < 0 ? 0 : std::min<int>(fracDigits, scale);
    for (int k = have; k < scale; ++k) {
        if (v > kLimit)
            return false;
        v *= 10;
    }
    if (roundUp)
        ++v;
    out = negative ? -static_cast<__int128>(v) : static_cast<__int128>(v);
    return true;
}

std::string formatScaled(__int128 value, uint8_t scale) {
    bool negative = value < 0;
    unsigned __int128 mag =
        negative ? static_cast<unsigned __int128>(-value) : static_cast<unsigned __int128>(value);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(mag % 10)));
        mag /= 10;
    } while (mag > 0);
    while (digits.size() <= scale)
        digits.insert(digits.begin(), '0');
    if (scale > 0)
        digits.insert(digits.end() - scale, '.');
    return negative ? "-" + digits : digits;
}

bool parseGuid(const std::string& text, uint8_t out[16]) {
    std::string hex;
    std::string t = text;
    if (t.size() == 38 && t.front() == '{' && t.back() == '}')
        t = t.substr(1, 36);
    if (t.size() != 36 || t[8] != '-' || t[13] != '-' || t[18] != '-' || t[23] != '-')
        return false;
    for (char c : t)
        if (c != '-')
            hex += c;
    uint8_t raw[16];
    for (int k = 0; k < 16; ++k) {
        unsigned b = 0;
        auto res = std::from_chars(hex.data() + 2 * k, hex.data() + 2 * k + 2, b, 16);
        if (res.ec != std::errc() || res.ptr != hex.data() + 2 * k + 2)
            return false;
        raw[k] = static_cast<uint8_t>(b);
    }
    // The first three groups are stored little-endian.
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int k = 0; k < 16; ++k)
        out[k] = raw[kOrder[k]];
    return true;
}

std::string formatGuid(const uint8_t bytes[16]) {
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    char buf[40];
    int p = 0;
    for (int k = 0; k < 16; ++k) {
        if (k == 4 || k == 6 || k == 8 || k == 10)
            buf[p++] = '-';
        std::snprintf(buf + p, 3, "%02X", bytes[kOrder[k]]);
        p += 2;
    }
    return std::string(buf, p);
}

} // namespace sqlsim::wire
