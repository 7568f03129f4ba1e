#include "util/text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace orv {

namespace {
bool IsBlank(char c) {
    return c == ' ';
}
bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

void AppendUtf8(std::string& out, uint32_t cp) {
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
} // namespace

std::string LTrim(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b]))
        ++b;
    return std::string(s.substr(b));
}

std::string RTrim(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && IsBlank(s[e - 1]))
        --e;
    return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) {
    return LTrim(RTrim(s));
}

std::string TrimWhitespace(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsWhite(s[b]))
        ++b;
    while (e > b && IsWhite(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

std::string ToLowerAscii(std::string_view s) {
    std::string r(s);
    for (auto& c : r)
        c = LowerAscii(c);
    return r;
}

std::string ToUpperAscii(std::string_view s) {
    std::string r(s);
    for (auto& c : r)
        c = UpperAscii(c);
    return r;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

void AppendHexByte(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
}

std::string HexDigits(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes)
        AppendHexByte(out, c);
    return out;
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    if (from.empty())
        return std::string(s);
    std::string r;
    size_t pos = 0;
    while (true) {
        size_t hit = s.find(from, pos);
        if (hit == std::string_view::npos)
            break;
        r.append(s.substr(pos, hit - pos));
        r.append(to);
        pos = hit + from.size();
    }
    r.append(s.substr(pos));
    return r;
}

std::vector<std::string> Split(std::string_view s, std::string_view separator) {
    std::vector<std::string> parts;
    if (separator.empty()) {
        parts.emplace_back(s);
        return parts;
    }
    size_t pos = 0;
    while (true) {
        size_t hit = s.find(separator, pos);
        if (hit == std::string_view::npos) {
            parts.emplace_back(s.substr(pos));
            return parts;
        }
        parts.emplace_back(s.substr(pos, hit - pos));
        pos = hit + separator.size();
    }
}

int64_t Utf8Length(std::string_view s) {
    int64_t n = 0;
    for (unsigned char c : s)
        if (!IsContinuation(c))
            ++n;
    return n;
}

size_t Utf8ByteOffset(std::string_view s, int64_t charIndex) {
    if (charIndex <= 0)
        return 0;
    int64_t seen = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (!IsContinuation(static_cast<unsigned char>(s[i]))) {
            if (seen == charIndex)
                return i;
            ++seen;
        }
    }
    return s.size();
}

std::string Utf8Mid(std::string_view s, int64_t start, int64_t count) {
    if (count <= 0)
        return {};
    size_t b = Utf8ByteOffset(s, start);
    size_t e = Utf8ByteOffset(s, start + count);
    return std::string(s.substr(b, e - b));
}

std::string Utf8Left(std::string_view s, int64_t count) {
    return Utf8Mid(s, 0, count);
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t n = bytes.size() / 2;
    auto unit = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i])) |
               (static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
    };
    for (size_t i = 0; i < n; ++i) {
        uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            uint32_t lo = unit(i + 1);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            u = 0xFFFD;
        AppendUtf8(out, u);
    }
    return out;
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size())
            return false;
        for (size_t k = 1; k < len; ++k)
            if (!IsContinuation(static_cast<unsigned char>(s[i + k])))
                return false;
        i += len;
    }
    return true;
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes)
        AppendUtf8(out, c);
    return out;
}

std::string Utf8OrLatin1Lines(std::string_view bytes) {
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    while (!bytes.empty()) {
        size_t end = bytes.find('\n');
        std::string_view line =
            bytes.substr(0, end == std::string_view::npos ? bytes.size() : end + 1);
        if (IsValidUtf8(line))
            out.append(line);
        else
            out += Latin1ToUtf8(line);
        bytes.remove_prefix(line.size());
    }
    return out;
}

bool ParseDouble(std::string_view text, double& out) {
    // The C library's conversion follows the process locale, which the windows set from the
    // user's; stored numbers always use a point, so the conversion must not.
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

bool ParseInt32(std::string_view text, int32_t& out) {
    std::string s = TrimWhitespace(text);
    if (s.empty())
        return false;
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
        char* end = nullptr;
        unsigned long long v = std::strtoull(s.c_str() + 2, &end, 16);
        if (*end != '\0' || v > 0xFFFFFFFFull)
            return false;
        out = static_cast<int32_t>(static_cast<uint32_t>(v));
        return true;
    }
    double d = 0;
    if (!ParseDouble(s, d) || !std::isfinite(d))
        return false;
    // Halves round to the even neighbour, as the classic conversion does.
    double r = std::nearbyint(d);
    if (r < -2147483648.0 || r > 2147483647.0)
        return false;
    out = static_cast<int32_t>(r);
    return true;
}

std::string EscapeLinePart(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool UnescapeLinePart(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            return false;
        }
    }
    return true;
}

} // namespace orv
