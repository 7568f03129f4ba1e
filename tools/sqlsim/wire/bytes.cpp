#include "wire/bytes.h"

#include <array>

namespace sqlsim::wire {

void ByteWriter::u16(uint16_t v) {
    u8(v & 0xFF);
    u8(v >> 8);
}
void ByteWriter::u16be(uint16_t v) {
    u8(v >> 8);
    u8(v & 0xFF);
}
void ByteWriter::u32(uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
}
void ByteWriter::u32be(uint32_t v) {
    u16be(v >> 16);
    u16be(v & 0xFFFF);
}
void ByteWriter::u64(uint64_t v) {
    u32(v & 0xFFFFFFFFu);
    u32(v >> 32);
}
void ByteWriter::ucs2(std::string_view utf8) {
    bytes(utf8ToUtf16le(utf8));
}

void ByteWriter::bVarchar(std::string_view utf8) {
    std::string u = utf8ToUtf16le(utf8);
    size_t chars = std::min<size_t>(u.size() / 2, 255);
    u8(static_cast<uint8_t>(chars));
    bytes(std::string_view(u).substr(0, chars * 2));
}

void ByteWriter::usVarchar(std::string_view utf8) {
    std::string u = utf8ToUtf16le(utf8);
    size_t chars = std::min<size_t>(u.size() / 2, 65535);
    u16(static_cast<uint16_t>(chars));
    bytes(std::string_view(u).substr(0, chars * 2));
}

void ByteWriter::patchU16(size_t at, uint16_t v) {
    buf_.at(at) = v & 0xFF;
    buf_.at(at + 1) = v >> 8;
}

std::span<const uint8_t> ByteReader::take(size_t n) {
    if (n > remaining())
        throw ProtocolError("message truncated");
    auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
}
uint8_t ByteReader::u8() {
    return take(1)[0];
}
uint8_t ByteReader::peek() const {
    if (atEnd())
        throw ProtocolError("message truncated");
    return data_[pos_];
}
uint16_t ByteReader::u16() {
    auto s = take(2);
    return static_cast<uint16_t>(s[0] | (s[1] << 8));
}
uint16_t ByteReader::u16be() {
    auto s = take(2);
    return static_cast<uint16_t>((s[0] << 8) | s[1]);
}
uint32_t ByteReader::u32() {
    uint32_t lo = u16();
    uint32_t hi = u16();
    return lo | (hi << 16);
}
uint32_t ByteReader::u32be() {
    uint32_t hi = u16be();
    uint32_t lo = u16be();
    return lo | (hi << 16);
}
uint64_t ByteReader::u64() {
    uint64_t lo = u32();
    uint64_t hi = u32();
    return lo | (hi << 32);
}
std::string ByteReader::takeString(size_t n) {
    auto s = take(n);
    return std::string(s.begin(), s.end());
}
std::string ByteReader::ucs2(size_t chars) {
    return utf16leToUtf8(take(chars * 2));
}

namespace {

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one code point at `i`, advancing it; malformed sequences yield U+FFFD.
uint32_t nextCodePoint(std::string_view s, size_t& i) {
    auto b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80)
        return b;
    int extra = 0;
    uint32_t cp = 0;
    uint32_t min = 0;
    if ((b & 0xE0) == 0xC0) {
        extra = 1;
        cp = b & 0x1F;
        min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        extra = 2;
        cp = b & 0x0F;
        min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        extra = 3;
        cp = b & 0x07;
        min = 0x10000;
    } else {
        return 0xFFFD;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0xFFFD;
    return cp;
}

// Code points of bytes 0x80..0x9F in Windows-1252; 0 marks the five unassigned ones.
constexpr std::array<uint16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

std::string utf8ToUtf16le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    size_t i = 0;
    auto put = [&out](uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    while (i < utf8.size()) {
        uint32_t cp = nextCodePoint(utf8, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 | (cp >> 10));
            put(0xDC00 | (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

size_t utf16Length(std::string_view utf8) {
    size_t n = 0;
    size_t i = 0;
    while (i < utf8.size())
        n += nextCodePoint(utf8, i) >= 0x10000 ? 2 : 1;
    return n;
}

std::string utf16leToUtf8(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t n = bytes.size() / 2;
    for (size_t k = 0; k < n; ++k) {
        uint32_t u = bytes[2 * k] | (bytes[2 * k + 1] << 8);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < n) {
            uint32_t lo = bytes[2 * k + 2] | (bytes[2 * k + 3] << 8);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++k;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            u = 0xFFFD;
        appendUtf8(out, u);
    }
    return out;
}

std::string utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        uint32_t cp = nextCodePoint(utf8, i);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        for (size_t k = 0; k < kCp1252High.size(); ++k) {
            if (kCp1252High[k] != 0 && kCp1252High[k] == cp) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out += mapped;
    }
    return out;
}

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b <= 0x9F) {
            uint16_t cp = kCp1252High[b - 0x80];
            appendUtf8(out, cp ? cp : b);
        } else {
            appendUtf8(out, b);
        }
    }
    return out;
}

} // namespace sqlsim::wire
