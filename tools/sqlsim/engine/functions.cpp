// T-SQL built-in functions over values (strings, dates, conversions, LIKE, @@ globals),
// registered with SQLite on every session connection.
#include "engine/errors.h"
#include "engine/functions_util.h"
#include "engine/row_checks.h"
#include "engine/values.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <random>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace sqlsim {

namespace {

using namespace fn;

size_t utf8Length(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

// Byte offset of the n-th character (0-based).
size_t utf8Offset(const std::string& s, size_t n) {
    size_t i = 0;
    while (i < s.size() && n > 0) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            ++i;
        --n;
    }
    return i;
}

int foldChar(int c) {
    return c < 128 ? std::tolower(c) : c;
}

// T-SQL LIKE: % _ [abc] [a-z] [^x], case-insensitive as the default collation compares.
bool likeMatch(const char* p, const char* s, int esc) {
    while (*p) {
        if (esc && *p == esc && p[1]) {
            if (foldChar(static_cast<unsigned char>(p[1])) !=
                foldChar(static_cast<unsigned char>(*s)))
                return false;
            p += 2;
            ++s;
            continue;
        }
        if (*p == '%') {
            while (*p == '%')
                ++p;
            if (!*p)
                return true;
            for (const char* t = s; *t; ++t)
                if (likeMatch(p, t, esc))
                    return true;
            return likeMatch(p, s + std::strlen(s), esc);
        }
        if (!*s)
            return false;
        if (*p == '_') {
            ++p;
            ++s;
            while ((static_cast<unsigned char>(*s) & 0xC0) == 0x80)
                ++s;
            continue;
        }
        if (*p == '[') {
            const char* q = p + 1;
            bool negate = *q == '^';
            if (negate)
                ++q;
            bool matched = false;
            int c = foldChar(static_cast<unsigned char>(*s));
            const char* start = q;
            while (*q && (*q != ']' || q == start)) {
                int lo = foldChar(static_cast<unsigned char>(*q));
                if (q[1] == '-' && q[2] && q[2] != ']') {
                    int hi = foldChar(static_cast<unsigned char>(q[2]));
                    if (c >= lo && c <= hi)
                        matched = true;
                    q += 3;
                } else {
                    if (c == lo)
                        matched = true;
                    ++q;
                }
            }
            if (!*q) { // no closing bracket: literal '['
                if (*s != '[')
                    return false;
                ++p;
                ++s;
                continue;
            }
            if (matched == negate)
                return false;
            p = q + 1;
            ++s;
            continue;
        }
        if (foldChar(static_cast<unsigned char>(*p)) != foldChar(static_cast<unsigned char>(*s)))
            return false;
        ++p;
        ++s;
    }
    return *s == 0;
}

void fnLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    // SQLite passes (pattern, value[, escape]).
    std::string pat = argText(argv[0]);
    std::string val = argText(argv[1]);
    int esc = 0;
    if (argc == 3 && !isNull(argv[2])) {
        std::string e = argText(argv[2]);
        esc = e.empty() ? 0 : static_cast<unsigned char>(e[0]);
    }
    // Trailing blanks do not count in SQL Server's comparison of the value.
    while (!val.empty() && val.back() == ' ' && !(pat.size() && pat.back() == ' '))
        val.pop_back();
    sqlite3_result_int(ctx, likeMatch(pat.c_str(), val.c_str(), esc) ? 1 : 0);
}

// T-SQL `+`: two strings are joined, anything else is added.
void fnAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int a = sqlite3_value_type(argv[0]);
    int b = sqlite3_value_type(argv[1]);
    if (a == SQLITE_NULL || b == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    if (a == SQLITE_BLOB && b == SQLITE_BLOB) {
        // Byte for byte: a NUL inside binary data is data, not the end of it. Rows checksummed
        // on the server join many pieces per row, so the result is built in place.
        const void* left = sqlite3_value_blob(argv[0]);
        const size_t leftSize = static_cast<size_t>(sqlite3_value_bytes(argv[0]));
        const void* right = sqlite3_value_blob(argv[1]);
        const size_t rightSize = static_cast<size_t>(sqlite3_value_bytes(argv[1]));
        auto* joined = static_cast<char*>(sqlite3_malloc64(leftSize + rightSize + 1));
        if (!joined)
            return sqlite3_result_error_nomem(ctx);
        if (leftSize)
            std::memcpy(joined, left, leftSize);
        if (rightSize)
            std::memcpy(joined + leftSize, right, rightSize);
        return sqlite3_result_blob64(ctx, joined, leftSize + rightSize, sqlite3_free);
    }
    if (a == SQLITE_TEXT && b == SQLITE_TEXT)
        return resultText(ctx, argText(argv[0]) + argText(argv[1]));
    auto isInt = [](sqlite3_value* v) {
        if (sqlite3_value_type(v) == SQLITE_INTEGER)
            return true;
        if (sqlite3_value_type(v) != SQLITE_TEXT)
            return false;
        std::string s = argText(v);
        char* end = nullptr;
        std::strtoll(s.c_str(), &end, 10);
        return !s.empty() && end && *end == 0;
    };
    if (isInt(argv[0]) && isInt(argv[1]))
        return sqlite3_result_int64(ctx,
                                    sqlite3_value_int64(argv[0]) + sqlite3_value_int64(argv[1]));
    sqlite3_result_double(ctx, sqlite3_value_double(argv[0]) + sqlite3_value_double(argv[1]));
}

// CHAR(n) and NCHAR(n): the character with that code (0 to 255, or 0 to 65535), stored as
// UTF-8 like every text here; NULL outside the range, as on SQL Server. A NUL is a character
// like any other, which is how scripts write one into a literal.
void charOfCode(sqlite3_context* ctx, sqlite3_value* arg, long long highest) {
    if (isNull(arg))
        return sqlite3_result_null(ctx);
    const long long code = sqlite3_value_int64(arg);
    if (code < 0 || code > highest)
        return sqlite3_result_null(ctx);
    std::string out;
    const auto c = static_cast<unsigned>(code);
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    resultText(ctx, out);
}

void fnChar(sqlite3_context* ctx, int, sqlite3_value** argv) {
    charOfCode(ctx, argv[0], 255);
}

void fnNChar(sqlite3_context* ctx, int, sqlite3_value** argv) {
    charOfCode(ctx, argv[0], 65535);
}

void fnLen(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    std::string s = argText(argv[0]);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    sqlite3_result_int64(ctx, static_cast<long long>(utf8Length(s)));
}

void fnDataLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    // A number occupies its binary width (what CAST(... AS varbinary) gives), not the length
    // of its printed form.
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        return sqlite3_result_int64(ctx,
                                    static_cast<sqlite3_int64>(fn::BinaryForm(argv[0]).size()));
    sqlite3_result_int64(ctx, sqlite3_value_bytes(argv[0]));
}

void fnLeft(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    std::string s = argText(argv[0]);
    long long n = std::max<long long>(0, sqlite3_value_int64(argv[1]));
    resultText(ctx, s.substr(0, utf8Offset(s, static_cast<size_t>(n))));
}

void fnRight(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    std::string s = argText(argv[0]);
    long long n = std::max<long long>(0, sqlite3_value_int64(argv[1]));
    size_t len = utf8Length(s);
    size_t skip = static_cast<size_t>(n) >= len ? 0 : len - static_cast<size_t>(n);
    resultText(ctx, s.substr(utf8Offset(s, skip)));
}

void fnCharIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    std::string needle = lower(argText(argv[0]));
    std::string hay = lower(argText(argv[1]));
    long long start = argc > 2 && !isNull(argv[2]) ? sqlite3_value_int64(argv[2]) : 1;
    if (start < 1)
        start = 1;
    size_t from = utf8Offset(hay, static_cast<size_t>(start - 1));
    size_t pos = needle.empty() ? std::string::npos : hay.find(needle, from);
    sqlite3_result_int64(ctx, pos == std::string::npos
                                  ? 0
                                  : static_cast<long long>(utf8Length(hay.substr(0, pos)) + 1));
}

void fnPatIndex(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    std::string pat = argText(argv[0]);
    std::string s = argText(argv[1]);
    std::string inner = pat;
    if (!inner.empty() && inner.front() == '%')
        inner.erase(0, 1);
    for (size_t i = 0; i <= s.size(); ++i)
        if (likeMatch(inner.c_str(), s.c_str() + i, 0) ||
            likeMatch((inner + (inner.size() && inner.back() == '%' ? "" : "%")).c_str(),
                      s.c_str() + i, 0)) {
            if (likeMatch(inner.c_str(), s.c_str() + i, 0) || pat.back() == '%') {
                sqlite3_result_int64(ctx, static_cast<long long>(utf8Length(s.substr(0, i)) + 1));
                return;
            }
        }
    sqlite3_result_int64(ctx, 0);
}

void fnReplicate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    std::string s = argText(argv[0]), out;
    for (long long k = 0; k < sqlite3_value_int64(argv[1]) && out.size() < 8000; ++k)
        out += s;
    resultText(ctx, out);
}

void fnSpace(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    resultText(ctx, std::string(static_cast<size_t>(
                                    std::clamp<long long>(sqlite3_value_int64(argv[0]), 0, 8000)),
                                ' '));
}

void fnReverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    // By characters: reversing the bytes would turn every non-ASCII letter into invalid UTF-8.
    const std::string s = argText(argv[0]);
    std::string out;
    out.reserve(s.size());
    for (size_t end = s.size(); end > 0;) {
        size_t begin = end - 1;
        while (begin > 0 && (static_cast<unsigned char>(s[begin]) & 0xC0) == 0x80)
            --begin;
        out.append(s, begin, end - begin);
        end = begin;
    }
    resultText(ctx, out);
}

// QUOTENAME: the name delimited so that it reads back as itself, the closing delimiter doubled
// inside. NULL past 128 characters (counted as nvarchar counts them, a letter outside the BMP as
// two) and for a delimiter other than a bracket or a quote.
void fnQuoteName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0]) || (argc > 1 && isNull(argv[1])))
        return sqlite3_result_null(ctx);
    const std::string s = argText(argv[0]);
    size_t units = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            units += c >= 0xF0 ? 2 : 1;
    const std::string q = argc > 1 ? argText(argv[1]) : "[";
    if (units > 128 || q.empty())
        return sqlite3_result_null(ctx);
    char open = q[0];
    char close = open;
    if (open == '[' || open == ']') {
        open = '[';
        close = ']';
    } else if (open != '"' && open != '\'') {
        return sqlite3_result_null(ctx);
    }
    std::string out(1, open);
    for (char c : s) {
        out += c;
        if (c == close)
            out += c;
    }
    resultText(ctx, out + close);
}

void fnStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    int width = argc > 1 ? sqlite3_value_int(argv[1]) : 10;
    int dec = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
    char buf[128];
    std::snprintf(buf, sizeof buf, "%*.*f", width, dec, sqlite3_value_double(argv[0]));
    std::string s = buf;
    if (static_cast<int>(s.size()) > width)
        s = std::string(static_cast<size_t>(width), '*');
    resultText(ctx, s);
}

void fnNewId(sqlite3_context* ctx, int, sqlite3_value**) {
    static thread_local std::mt19937_64 rng(std::random_device{}());
    unsigned char b[16];
    for (auto& x : b)
        x = static_cast<unsigned char>(rng());
    b[6] = (b[6] & 0x0F) | 0x40;
    b[8] = (b[8] & 0x3F) | 0x80;
    char buf[96];
    std::snprintf(buf, sizeof buf,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    resultText(ctx, buf);
}

void fnGetDate(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, nowDateTime());
}

void fnGetUtcDate(sqlite3_context* ctx, int, sqlite3_value**) {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.000", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    resultText(ctx, buf);
}

struct DateParts {
    int y, mo, d, h, mi, s, ms;
};

std::optional<DateParts> parseDate(sqlite3_value* v) {
    auto n = normalizeDateTime(argText(v));
    if (!n)
        return std::nullopt;
    DateParts p{};
    std::sscanf(n->c_str(), "%d-%d-%d %d:%d:%d.%d", &p.y, &p.mo, &p.d, &p.h, &p.mi, &p.s, &p.ms);
    return p;
}

long long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long yy = yoe + era * 400;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

std::string formatParts(const DateParts& p) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.y, p.mo, p.d, p.h, p.mi,
                  p.s, p.ms);
    return buf;
}

std::string canonicalPart(std::string part) {
    part = lower(part);
    if (part == "yy" || part == "yyyy" || part == "year")
        return "year";
    if (part == "mm" || part == "m" || part == "month")
        return "month";
    if (part == "dd" || part == "d" || part == "day" || part == "dy" || part == "y" ||
        part == "dayofyear")
        return "day";
    if (part == "hh" || part == "hour")
        return "hour";
    if (part == "mi" || part == "n" || part == "minute")
        return "minute";
    if (part == "ss" || part == "s" || part == "second")
        return "second";
    if (part == "ms" || part == "millisecond")
        return "millisecond";
    if (part == "wk" || part == "ww" || part == "week")
        return "week";
    if (part == "qq" || part == "q" || part == "quarter")
        return "quarter";
    if (part == "dw" || part == "weekday")
        return "weekday";
    return part;
}

// The part DATEPART and DATENAME read: as DATEADD's, except that dy, y and dayofyear count
// the day within the year there (DATEADD adds days for them either way).
std::string readPart(const std::string& written) {
    const std::string w = lower(written);
    return w == "dy" || w == "y" || w == "dayofyear" ? "dayofyear" : canonicalPart(w);
}

// DATEPART's number for a part of a date; an unknown part gives 0.
template <typename Parsed> long long datePartValue(const std::string& part, const Parsed& p) {
    if (part == "year")
        return p.y;
    if (part == "month")
        return p.mo;
    if (part == "day")
        return p.d;
    if (part == "hour")
        return p.h;
    if (part == "minute")
        return p.mi;
    if (part == "second")
        return p.s;
    if (part == "millisecond")
        return p.ms;
    if (part == "quarter")
        return (p.mo - 1) / 3 + 1;
    if (part == "weekday")
        return (daysFromCivil(p.y, p.mo, p.d) + 4) % 7 + 1;
    if (part == "dayofyear")
        return daysFromCivil(p.y, p.mo, p.d) - daysFromCivil(p.y, 1, 1) + 1;
    return 0;
}

void fnDatePart(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[1]))
        return sqlite3_result_null(ctx);
    auto p = parseDate(argv[1]);
    if (!p)
        return sqlite3_result_error(
            ctx, "Conversion failed when converting date and/or time from character string", -1);
    sqlite3_result_int64(ctx, datePartValue(readPart(argText(argv[0])), *p));
}

// DATENAME: the month and weekday by their English names (the default language's), every
// other part as DATEPART's number written out.
void fnDateName(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[1]))
        return sqlite3_result_null(ctx);
    auto p = parseDate(argv[1]);
    if (!p)
        return sqlite3_result_error(
            ctx, "Conversion failed when converting date and/or time from character string", -1);
    static const char* const months[] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};
    static const char* const days[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                       "Thursday", "Friday", "Saturday"};
    const std::string part = readPart(argText(argv[0]));
    if (part == "month")
        return resultText(ctx, months[(p->mo - 1) % 12]);
    if (part == "weekday")
        return resultText(ctx, days[(daysFromCivil(p->y, p->mo, p->d) + 4) % 7]);
    resultText(ctx, std::to_string(datePartValue(part, *p)));
}

void fnYear(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto p = isNull(argv[0]) ? std::nullopt : parseDate(argv[0]);
    if (!p)
        return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, p->y);
}
void fnMonth(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto p = isNull(argv[0]) ? std::nullopt : parseDate(argv[0]);
    if (!p)
        return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, p->mo);
}
void fnDay(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto p = isNull(argv[0]) ? std::nullopt : parseDate(argv[0]);
    if (!p)
        return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, p->d);
}

long long toMillis(const DateParts& p) {
    return ((daysFromCivil(p.y, p.mo, p.d) * 24 + p.h) * 60 + p.mi) * 60000LL + p.s * 1000LL + p.ms;
}

DateParts fromMillis(long long ms) {
    long long days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
    long long rest = ms - days * 86400000;
    DateParts p{};
    civilFromDays(days, p.y, p.mo, p.d);
    p.h = static_cast<int>(rest / 3600000);
    p.mi = static_cast<int>(rest / 60000 % 60);
    p.s = static_cast<int>(rest / 1000 % 60);
    p.ms = static_cast<int>(rest % 1000);
    return p;
}

void fnDateAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[1]) || isNull(argv[2]))
        return sqlite3_result_null(ctx);
    auto p = parseDate(argv[2]);
    if (!p)
        return sqlite3_result_null(ctx);
    std::string part = canonicalPart(argText(argv[0]));
    long long n = sqlite3_value_int64(argv[1]);
    if (part == "year" || part == "month" || part == "quarter") {
        long long months = part == "year" ? 12 * n : part == "quarter" ? 3 * n : n;
        long long total = p->y * 12LL + (p->mo - 1) + months;
        p->y = static_cast<int>(total / 12);
        p->mo = static_cast<int>(total % 12) + 1;
        static const int mdays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        int maxd = mdays[p->mo - 1] +
                   (p->mo == 2 && (p->y % 4 == 0 && (p->y % 100 != 0 || p->y % 400 == 0)));
        p->d = std::min(p->d, maxd);
        return resultText(ctx, formatParts(*p));
    }
    long long unit = part == "day"      ? 86400000LL
                     : part == "week"   ? 7 * 86400000LL
                     : part == "hour"   ? 3600000LL
                     : part == "minute" ? 60000LL
                     : part == "second" ? 1000LL
                                        : 1LL;
    resultText(ctx, formatParts(fromMillis(toMillis(*p) + n * unit)));
}

void fnDateDiff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[1]) || isNull(argv[2]))
        return sqlite3_result_null(ctx);
    auto a = parseDate(argv[1]);
    auto b = parseDate(argv[2]);
    if (!a || !b)
        return sqlite3_result_null(ctx);
    std::string part = canonicalPart(argText(argv[0]));
    long long v = 0;
    if (part == "year")
        v = b->y - a->y;
    else if (part == "month")
        v = (b->y - a->y) * 12LL + (b->mo - a->mo);
    else if (part == "quarter")
        v = (b->y * 4LL + (b->mo - 1) / 3) - (a->y * 4LL + (a->mo - 1) / 3);
    else if (part == "day")
        v = daysFromCivil(b->y, b->mo, b->d) - daysFromCivil(a->y, a->mo, a->d);
    else if (part == "hour")
        v = (toMillis(*b) / 3600000) - (toMillis(*a) / 3600000);
    else if (part == "minute")
        v = (toMillis(*b) / 60000) - (toMillis(*a) / 60000);
    else if (part == "second")
        v = (toMillis(*b) / 1000) - (toMillis(*a) / 1000);
    else
        v = toMillis(*b) - toMillis(*a);
    sqlite3_result_int64(ctx, v);
}

void fnIsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_int(ctx, 0);
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT)
        return sqlite3_result_int(ctx, 1);
    std::string s = argText(argv[0]);
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    sqlite3_result_int(ctx, !s.empty() && end && *end == 0 ? 1 : 0);
}

void fnFloor(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER)
        return sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
    sqlite3_result_double(ctx, std::floor(sqlite3_value_double(argv[0])));
}

void fnCeiling(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER)
        return sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
    sqlite3_result_double(ctx, std::ceil(sqlite3_value_double(argv[0])));
}

// The target type of a CONVERT, parsed once per thread and type text: the type is a constant of
// the statement, and parsing it for every row made conversions over large tables slow. (The
// statement's own cache, sqlite3_get_auxdata, is searched entry by entry, and a row checksum
// holds dozens of conversions.)
const std::optional<ColType>& convertTarget(sqlite3_value* decl) {
    thread_local std::vector<std::pair<std::string, std::optional<ColType>>> parsed;
    const unsigned char* text = sqlite3_value_text(decl);
    const std::string_view key(text ? reinterpret_cast<const char*>(text) : "",
                               text ? static_cast<size_t>(sqlite3_value_bytes(decl)) : 0);
    for (const auto& entry : parsed)
        if (entry.first == key)
            return entry.second;
    if (parsed.size() >= 64)
        parsed.clear();
    parsed.emplace_back(std::string(key), parseDecl(std::string(key)));
    return parsed.back().second;
}

void fnConvert(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const std::optional<ColType>& ty = convertTarget(argv[0]);
    sqlite3_value* v = argv[1];
    if (!ty || isNull(v))
        return sqlite3_result_null(ctx);
    int style = argc > 2 && !isNull(argv[2]) ? sqlite3_value_int(argv[2]) : 0;
    int kind = sqlite3_value_type(v);
    if (ty->sql == SqlType::Bit)
        return convertToBit(ctx, v);
    switch (ty->sql) {
    case SqlType::TinyInt:
    case SqlType::SmallInt:
    case SqlType::Int:
    case SqlType::BigInt:
    case SqlType::Bit: {
        long long r = 0;
        if (kind == SQLITE_BLOB) {
            // The last bytes of the value, big-endian, as wide as the type.
            const int width = ty->sql == SqlType::BigInt     ? 8
                              : ty->sql == SqlType::Int      ? 4
                              : ty->sql == SqlType::SmallInt ? 2
                                                             : 1;
            const auto* p = static_cast<const unsigned char*>(sqlite3_value_blob(v));
            const int n = sqlite3_value_bytes(v);
            uint64_t u = 0;
            for (int k = std::max(0, n - width); k < n; ++k)
                u = (u << 8) | p[k];
            if (width < 8 && (u & (uint64_t(1) << (8 * width - 1))) && ty->sql != SqlType::TinyInt)
                u |= ~uint64_t(0) << (8 * width); // sign-extend
            r = static_cast<long long>(u);
            return sqlite3_result_int64(ctx, ty->sql == SqlType::Bit ? r != 0 : r);
        }
        if (kind == SQLITE_TEXT) {
            std::string s = argText(v);
            char* end = nullptr;
            r = std::strtoll(s.c_str(), &end, 10);
            while (end && *end == ' ')
                ++end;
            if (s.empty() || !end || *end) {
                std::string msg = numberSyntaxMessage(session(ctx)->major(), s, ty->name);
                return sqlite3_result_error(ctx, msg.c_str(), -1);
            }
        } else {
            r = kind == SQLITE_FLOAT ? static_cast<long long>(sqlite3_value_double(v))
                                     : sqlite3_value_int64(v);
        }
        return sqlite3_result_int64(ctx, ty->sql == SqlType::Bit ? r != 0 : r);
    }
    case SqlType::Real:
    case SqlType::Float:
    case SqlType::Decimal:
    case SqlType::Numeric:
    case SqlType::Money:
    case SqlType::SmallMoney: {
        double d = sqlite3_value_double(v);
        if (ty->sql == SqlType::Decimal || ty->sql == SqlType::Numeric) {
            double f = std::pow(10.0, ty->scale);
            d = std::round(d * f) / f;
            if (ty->scale == 0)
                return sqlite3_result_int64(ctx, static_cast<long long>(d));
        }
        return sqlite3_result_double(ctx, d);
    }
    case SqlType::DateTime:
    case SqlType::SmallDateTime: {
        return convertToDateTime(
            ctx, v, ty->sql == SqlType::DateTime ? DateKind::DateTime : DateKind::SmallDateTime,
            style);
    }
    case SqlType::Date:
    case SqlType::Time:
    case SqlType::DateTime2:
    case SqlType::DateTimeOffset:
        return convertToDateTime(ctx, v, *dateKindOf(ty->baseName), style, ty->scale);
    case SqlType::Binary:
    case SqlType::VarBinary:
    case SqlType::Image: {
        // Numbers become their big-endian bytes, as on SQL Server, not their digits.
        const std::string bytes = fn::BinaryForm(v);
        return sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()),
                                   SQLITE_TRANSIENT);
    }
    default: {
        std::string s;
        if (kind == SQLITE_FLOAT) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.15g", sqlite3_value_double(v));
            s = buf;
        } else {
            s = argText(v);
            // A stored datetime is written in the style asked for. Without a style the stored
            // form stays: the program's comparisons read dates through CAST.
            if (argc > 2 && !isNull(argv[2]) && isCanonicalDateTime(s))
                if (auto styled = formatDateStyle(s, style))
                    s = *styled;
        }
        if (ty->length > 0) {
            size_t chars = static_cast<size_t>(ty->prec);
            if (utf8Length(s) > chars)
                s = s.substr(0, utf8Offset(s, chars));
        }
        return resultText(ctx, s);
    }
    }
}

void fnGlobal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    SessionImpl* s = session(ctx);
    std::string g = upper(argText(argv[0]));
    const std::string& ver = s->engine().options.productVersion;
    if (g == "@@VERSION") {
        const std::string year = releaseName(ver);
        return resultText(
            ctx, "Microsoft SQL Server " + year + " - " + ver +
                     " (Intel X86) \n\tCopyright (c) 1988-" + year.substr(0, 4) +
                     " Microsoft Corporation\n"
                     "\tDeveloper Edition on Windows NT 5.2 <X86> (Build 3790: Service Pack 2)\n");
    }
    if (g == "@@SPID")
        return sqlite3_result_int(ctx, s->sessionId());
    if (g == "@@ROWCOUNT")
        return sqlite3_result_int64(ctx, s->rowCount());
    if (g == "@@ERROR")
        return sqlite3_result_int(ctx, s->lastError());
    if (g == "@@TRANCOUNT")
        return sqlite3_result_int(ctx, s->tranCount());
    if (g == "@@LOCK_TIMEOUT")
        return sqlite3_result_int(ctx, -1);
    if (g == "@@SERVERNAME") {
        char host[256] = {0};
        gethostname(host, sizeof host - 1);
        return resultText(ctx, upper(host));
    }
    if (g == "@@SERVICENAME")
        return resultText(ctx, "MSSQLSERVER");
    if (g == "@@LANGUAGE")
        return resultText(ctx, "us_english");
    if (g == "@@MAX_PRECISION")
        return sqlite3_result_int(ctx, 38);
    if (g == "@@TEXTSIZE")
        return sqlite3_result_int(ctx, 2147483647);
    if (g == "@@DATEFIRST")
        return sqlite3_result_int(ctx, 7);
    if (g == "@@OPTIONS")
        return sqlite3_result_int(ctx, 5496);
    if (g == "@@IDENTITY") {
        if (s->lastIdentity)
            return sqlite3_result_int64(ctx, *s->lastIdentity);
        return sqlite3_result_null(ctx);
    }
    std::string msg = "Must declare the scalar variable \"" + argText(argv[0]) + "\".";
    sqlite3_result_error(ctx, msg.c_str(), -1);
}

void fnScopeIdentity(sqlite3_context* ctx, int, sqlite3_value**) {
    SessionImpl* s = session(ctx);
    if (s->lastIdentity)
        return sqlite3_result_int64(ctx, *s->lastIdentity);
    sqlite3_result_null(ctx);
}

// ERROR_NUMBER() and its kin: the error the innermost running CATCH block handles, NULL
// outside one.
const ServerMessage* caught(sqlite3_context* ctx) {
    SessionImpl* s = session(ctx);
    return s->caughtErrors.empty() ? nullptr : &s->caughtErrors.back();
}
void fnErrorNumber(sqlite3_context* ctx, int, sqlite3_value**) {
    const ServerMessage* e = caught(ctx);
    e ? sqlite3_result_int(ctx, e->number) : sqlite3_result_null(ctx);
}
void fnErrorMessage(sqlite3_context* ctx, int, sqlite3_value**) {
    const ServerMessage* e = caught(ctx);
    e ? resultText(ctx, e->text) : sqlite3_result_null(ctx);
}
void fnErrorSeverity(sqlite3_context* ctx, int, sqlite3_value**) {
    const ServerMessage* e = caught(ctx);
    e ? sqlite3_result_int(ctx, e->severity) : sqlite3_result_null(ctx);
}
void fnErrorState(sqlite3_context* ctx, int, sqlite3_value**) {
    const ServerMessage* e = caught(ctx);
    e ? sqlite3_result_int(ctx, e->state) : sqlite3_result_null(ctx);
}
void fnErrorLine(sqlite3_context* ctx, int, sqlite3_value**) {
    const ServerMessage* e = caught(ctx);
    e ? sqlite3_result_int(ctx, e->line) : sqlite3_result_null(ctx);
}
void fnErrorProcedure(sqlite3_context* ctx, int, sqlite3_value**) {
    const ServerMessage* e = caught(ctx);
    e && !e->procName.empty() ? resultText(ctx, e->procName) : sqlite3_result_null(ctx);
}

void fnHostName(sqlite3_context* ctx, int, sqlite3_value**) {
    char host[256] = {0};
    gethostname(host, sizeof host - 1);
    resultText(ctx, host);
}

void fnAppName(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, "");
}

} // namespace

void registerFunctions(sqlite3* db, SessionImpl* s) {
    static const fn::Def defs[] = {
        {"like", 2, fnLike, true},
        {"like", 3, fnLike, true},
        {"tsql_add", 2, fnAdd, true},
        {"tsql_char", 1, fnChar, true},
        {"tsql_nchar", 1, fnNChar, true},
        {"tsql_len", 1, fnLen, true},
        {"tsql_datalength", 1, fnDataLength, true},
        {"tsql_left", 2, fnLeft, true},
        {"tsql_right", 2, fnRight, true},
        {"tsql_charindex", 2, fnCharIndex, true},
        {"tsql_charindex", 3, fnCharIndex, true},
        {"tsql_patindex", 2, fnPatIndex, true},
        {"tsql_replicate", 2, fnReplicate, true},
        {"tsql_space", 1, fnSpace, true},
        {"tsql_reverse", 1, fnReverse, true},
        {"tsql_quotename", 1, fnQuoteName, true},
        {"tsql_quotename", 2, fnQuoteName, true},
        {"tsql_str", 1, fnStr, true},
        {"tsql_str", 2, fnStr, true},
        {"tsql_str", 3, fnStr, true},
        {"tsql_newid", 0, fnNewId, false},
        {"tsql_getdate", 0, fnGetDate, false},
        {"tsql_getutcdate", 0, fnGetUtcDate, false},
        {"tsql_year", 1, fnYear, true},
        {"tsql_month", 1, fnMonth, true},
        {"tsql_day", 1, fnDay, true},
        {"tsql_dateadd", 3, fnDateAdd, true},
        {"tsql_datediff", 3, fnDateDiff, true},
        {"tsql_datepart", 2, fnDatePart, true},
        {"tsql_datename", 2, fnDateName, true},
        {"tsql_isnumeric", 1, fnIsNumeric, true},
        {"tsql_floor", 1, fnFloor, true},
        {"tsql_ceiling", 1, fnCeiling, true},
        {"tsql_convert", 2, fnConvert, true},
        {"tsql_convert", 3, fnConvert, true},
        {"tsql_global", 1, fnGlobal, false},
        {"tsql_host_name", 0, fnHostName, false},
        {"tsql_scope_identity", 0, fnScopeIdentity, false},
        {"tsql_error_number", 0, fnErrorNumber, false},
        {"tsql_error_message", 0, fnErrorMessage, false},
        {"tsql_error_severity", 0, fnErrorSeverity, false},
        {"tsql_error_state", 0, fnErrorState, false},
        {"tsql_error_line", 0, fnErrorLine, false},
        {"tsql_error_procedure", 0, fnErrorProcedure, false},
        {"tsql_app_name", 0, fnAppName, false},
    };
    fn::registerAll(db, s, defs, sizeof defs / sizeof defs[0]);
    fn::registerCatalogFunctions(db, s);
    fn::registerHashFunctions(db, s);
    registerRowCheckFunctions(db, s);
    fn::registerValueFunctions(db, s);
}

} // namespace sqlsim
