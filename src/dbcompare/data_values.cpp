#include "dbcompare/data_values.h"

#include "util/text.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

namespace orv {

namespace {

using Kind = FieldValue::Kind;

bool IsNumeric(Kind k) {
    return k == Kind::Integer || k == Kind::Decimal || k == Kind::Bool;
}

std::string NumericText(const FieldValue& v) {
    return v.kind == Kind::Decimal ? CanonicalDecimal(v.text)
                                   : CanonicalDecimal(std::to_string(v.integer));
}

double AsDouble(const FieldValue& v) {
    if (v.kind == Kind::Float)
        return v.real;
    if (v.kind == Kind::Decimal) {
        double d = 0;
        ParseDouble(v.text, d);
        return d;
    }
    return static_cast<double>(v.integer);
}

// Canonical decimals: optional '-', integer digits without leading zeros, optional fraction
// without trailing zeros.
int CompareCanonicalDecimals(const std::string& a, const std::string& b) {
    const bool negA = !a.empty() && a[0] == '-';
    const bool negB = !b.empty() && b[0] == '-';
    if (negA != negB)
        return negA ? -1 : 1;
    std::string_view x = std::string_view(a).substr(negA ? 1 : 0);
    std::string_view y = std::string_view(b).substr(negB ? 1 : 0);
    const size_t dx = x.find('.'), dy = y.find('.');
    std::string_view ix = x.substr(0, dx), iy = y.substr(0, dy);
    std::string_view fx = dx == std::string_view::npos ? "" : x.substr(dx + 1);
    std::string_view fy = dy == std::string_view::npos ? "" : y.substr(dy + 1);
    int c = 0;
    if (ix.size() != iy.size())
        c = ix.size() < iy.size() ? -1 : 1;
    else if (int r = ix.compare(iy); r != 0)
        c = r < 0 ? -1 : 1;
    else if (int r = fx.compare(fy); r != 0)
        c = r < 0 ? -1 : 1;
    return negA ? -c : c;
}

int CompareDoubles(double a, double b) {
    if (a == b)
        return 0;
    return a < b ? -1 : 1;
}

uint64_t Bits(double d) {
    if (d == 0.0)
        d = 0.0; // -0 is 0
    uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

std::string_view WithoutTrailingBlanks(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ')
        --n;
    return s.substr(0, n);
}

// Bytes compared as if the shorter were padded with blanks, as SQL Server compares texts.
int ComparePadded(std::string_view a, std::string_view b) {
    const size_t n = std::max(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : ' ';
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : ' ';
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

int CompareBytes(std::string_view a, std::string_view b) {
    const int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool IsTextual(Kind k) {
    return k == Kind::Text;
}

} // namespace

TypeFamily FamilyOfType(std::string_view typeName) {
    const std::string t = ToLowerAscii(typeName);
    if (t == "tinyint" || t == "smallint" || t == "int" || t == "bigint")
        return TypeFamily::Integer;
    if (t == "decimal" || t == "numeric" || t == "money" || t == "smallmoney")
        return TypeFamily::Exact;
    if (t == "float" || t == "real")
        return TypeFamily::Approximate;
    if (t == "char" || t == "varchar" || t == "nchar" || t == "nvarchar" || t == "text" ||
        t == "ntext" || t == "sysname" || t == "xml")
        return TypeFamily::Character;
    if (t == "binary" || t == "varbinary" || t == "image" || t == "timestamp" || t == "rowversion")
        return TypeFamily::Binary;
    if (t == "datetime" || t == "smalldatetime" || t == "date" || t == "datetime2" || t == "time" ||
        t == "datetimeoffset")
        return TypeFamily::DateTime;
    if (t == "uniqueidentifier")
        return TypeFamily::Guid;
    if (t == "bit")
        return TypeFamily::Bit;
    return TypeFamily::Other;
}

bool IsLargeType(std::string_view typeName, int64_t length) {
    const std::string t = ToLowerAscii(typeName);
    if (t == "text" || t == "ntext" || t == "image" || t == "xml")
        return true;
    return length == -1 && (t == "varchar" || t == "nvarchar" || t == "varbinary");
}

std::string CanonicalDecimal(std::string_view text) {
    std::string_view s = text;
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    const size_t dot = s.find('.');
    std::string_view whole = s.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? "" : s.substr(dot + 1);
    if (whole.empty() && fraction.empty())
        return "";
    for (char c : whole)
        if (c < '0' || c > '9')
            return "";
    for (char c : fraction)
        if (c < '0' || c > '9')
            return "";
    while (!whole.empty() && whole.front() == '0')
        whole.remove_prefix(1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.remove_suffix(1);
    std::string out;
    if (whole.empty() && fraction.empty())
        return "0";
    if (negative)
        out += '-';
    out += whole.empty() ? std::string_view("0") : whole;
    if (!fraction.empty()) {
        out += '.';
        out += fraction;
    }
    return out;
}

std::string CanonicalDateTime(std::string_view text) {
    std::string s(text);
    if (s.size() > 10 && s[10] == 'T')
        s[10] = ' ';
    const size_t dot = s.find('.', 10);
    if (dot != std::string::npos) {
        size_t end = s.size();
        while (end > dot + 1 && s[end - 1] == '0')
            --end;
        if (end == dot + 1)
            end = dot;
        s.erase(end);
    }
    return s;
}

std::string FoldCase(std::string_view utf8) {
    static locale_t utf8Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : static_cast<char>(c);
            ++i;
            continue;
        }
        // Decode one sequence; anything malformed is kept byte for byte.
        int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (len == 0 || i + static_cast<size_t>(len) > utf8.size() || !utf8Locale) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        uint32_t cp = c & (0x7F >> len);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            const unsigned char d = static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]);
            if ((d & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (d & 0x3F);
        }
        if (!ok) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const uint32_t up = static_cast<uint32_t>(towupper_l(static_cast<wint_t>(cp), utf8Locale));
        if (up < 0x80) {
            out += static_cast<char>(up);
        } else if (up < 0x800) {
            out += static_cast<char>(0xC0 | (up >> 6));
            out += static_cast<char>(0x80 | (up & 0x3F));
        } else if (up < 0x10000) {
            out += static_cast<char>(0xE0 | (up >> 12));
            out += static_cast<char>(0x80 | ((up >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (up & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (up >> 18));
            out += static_cast<char>(0x80 | ((up >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((up >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (up & 0x3F));
        }
        i += static_cast<size_t>(len);
    }
    return out;
}

bool ValuesEqual(const FieldValue& a, const FieldValue& b, bool caseSensitive) {
    if (a.IsNull() || b.IsNull())
        return a.IsNull() && b.IsNull();
    const Kind ka = a.kind, kb = b.kind;
    if (ka == Kind::Float || kb == Kind::Float) {
        if (ka == Kind::Float && kb == Kind::Float)
            return Bits(a.real) == Bits(b.real);
        if ((ka == Kind::Float || IsNumeric(ka)) && (kb == Kind::Float || IsNumeric(kb)))
            return Bits(AsDouble(a)) == Bits(AsDouble(b));
        return false;
    }
    if (IsNumeric(ka) && IsNumeric(kb)) {
        if (ka != Kind::Decimal && kb != Kind::Decimal)
            return a.integer == b.integer;
        return NumericText(a) == NumericText(b);
    }
    if (ka == Kind::DateTime && kb == Kind::DateTime)
        return CanonicalDateTime(a.text) == CanonicalDateTime(b.text);
    if (ka == Kind::Binary || kb == Kind::Binary)
        return ka == kb && a.text == b.text;
    if (IsTextual(ka) && IsTextual(kb)) {
        std::string_view x = WithoutTrailingBlanks(a.text), y = WithoutTrailingBlanks(b.text);
        if (caseSensitive || x == y)
            return x == y;
        return FoldCase(x) == FoldCase(y);
    }
    // Values of unlike kinds (a column whose type differs between the sides): by their text.
    if (ka == Kind::DateTime || kb == Kind::DateTime)
        return CanonicalDateTime(a.Text()) == CanonicalDateTime(b.Text());
    return a.text == b.text;
}

int CompareKeyValues(const FieldValue& a, const FieldValue& b) {
    if (a.IsNull() || b.IsNull())
        return a.IsNull() == b.IsNull() ? 0 : (a.IsNull() ? -1 : 1);
    const Kind ka = a.kind, kb = b.kind;
    if (ka == Kind::Float || kb == Kind::Float)
        return CompareDoubles(AsDouble(a), AsDouble(b));
    if (IsNumeric(ka) && IsNumeric(kb)) {
        if (ka != Kind::Decimal && kb != Kind::Decimal)
            return a.integer == b.integer ? 0 : (a.integer < b.integer ? -1 : 1);
        return CompareCanonicalDecimals(NumericText(a), NumericText(b));
    }
    if (ka == Kind::DateTime && kb == Kind::DateTime)
        return CompareBytes(CanonicalDateTime(a.text), CanonicalDateTime(b.text));
    if (ka == Kind::Binary && kb == Kind::Binary)
        return CompareBytes(a.text, b.text);
    return ComparePadded(a.Text(), b.Text());
}

namespace {

std::string BaseType(const std::string& type) {
    return ToLowerAscii(type.substr(0, type.find('(')));
}

} // namespace

std::string UnicodeLiteral(std::string_view text) {
    std::string out = "N'";
    for (char c : text) {
        if (c == '\0') {
            out += "' + NCHAR(0) + N'";
            continue;
        }
        if (c == '\'')
            out += '\'';
        out += c;
    }
    return out + "'";
}

std::string TypedSqlLiteral(const FieldValue& value, const std::string& type) {
    if (value.IsNull())
        return "NULL";
    const std::string base = BaseType(type);
    const TypeFamily family = FamilyOfType(base);
    switch (value.kind) {
    case FieldValue::Kind::Integer:
    case FieldValue::Kind::Bool:
        if (family == TypeFamily::Character)
            return UnicodeLiteral(std::to_string(value.integer));
        return std::to_string(value.integer);
    case FieldValue::Kind::Decimal: {
        const std::string digits = CanonicalDecimal(value.text);
        if (digits.empty() || family == TypeFamily::Character)
            return UnicodeLiteral(value.text);
        return digits;
    }
    case FieldValue::Kind::Float: {
        // Seventeen significant digits in exponent form: a float literal that reads back as
        // the very same double.
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.16e", value.real == 0.0 ? 0.0 : value.real);
        if (family == TypeFamily::Character)
            return UnicodeLiteral(buf);
        return buf;
    }
    case FieldValue::Kind::DateTime: {
        // ISO 8601 with a T reads the same under every language and date format.
        std::string text = value.text;
        if (text.size() > 10 && text[10] == ' ')
            text[10] = 'T';
        return "'" + text + "'";
    }
    case FieldValue::Kind::Binary:
        return "0x" + HexDigits(value.text);
    case FieldValue::Kind::Text:
    case FieldValue::Kind::Null:
        break;
    }
    if (family == TypeFamily::Integer || family == TypeFamily::Exact) {
        const std::string digits = CanonicalDecimal(value.text);
        if (!digits.empty())
            return digits;
    }
    return UnicodeLiteral(value.text);
}

} // namespace orv
