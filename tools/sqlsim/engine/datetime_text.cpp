#include "engine/datetime_text.h"

#include "engine/tokens.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

namespace sqlsim {

namespace {

constexpr const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                   "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr const char* kMonthNames[] = {"january",   "february", "march",    "april",
                                       "may",       "june",     "july",     "august",
                                       "september", "october",  "november", "december"};

bool leapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysIn(int y, int m) {
    static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : d[m - 1];
}

// A month written as its English name or the name's first three letters.
int monthFromWord(const std::string& w) {
    std::string l = lower(w);
    for (int m = 0; m < 12; ++m)
        if (l == kMonths[m] || l == kMonthNames[m])
            return m + 1;
    return 0;
}

// Two-digit years follow the default "two digit year cutoff" of 2049.
int widenYear(int y, size_t digits) {
    if (digits > 2)
        return y;
    return y < 50 ? 2000 + y : 1900 + y;
}

struct Item {
    bool number;
    std::string text;
};

constexpr long kTicksPerSecond = 10000000; // the fraction is kept in units of 100 ns

struct Fields {
    int y = 1900, mo = 1, d = 1, h = 0, mi = 0, s = 0;
    long frac = 0;  // 100 ns units
    int offset = 0; // minutes east of UTC, for datetimeoffset
};

using Status = DateConversion::Status;

// hh[:mi[:ss[.fff|:fff]]][ ]AM|PM, or a bare hour with AM/PM. datetime takes at most three
// fractional digits; the later types (`wide`) take seven.
Status parseTime(std::string t, Fields& f, bool wide) {
    while (!t.empty() && t.back() == ' ')
        t.pop_back();
    int ampm = 0;
    if (t.size() >= 2) {
        std::string tail = upper(t.substr(t.size() - 2));
        if (tail == "AM" || tail == "PM") {
            ampm = tail == "AM" ? 1 : 2;
            t.resize(t.size() - 2);
            while (!t.empty() && t.back() == ' ')
                t.pop_back();
        }
    }
    size_t i = 0;
    auto number = [&](int& out, size_t maxDigits) {
        size_t start = i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) &&
               i - start < maxDigits)
            ++i;
        if (i == start)
            return false;
        out = std::stoi(t.substr(start, i - start));
        return true;
    };
    if (!number(f.h, 2))
        return Status::Invalid;
    if (i < t.size() && t[i] == ':') {
        ++i;
        if (!number(f.mi, 2))
            return Status::Invalid;
        if (i < t.size() && t[i] == ':') {
            ++i;
            if (!number(f.s, 2))
                return Status::Invalid;
            if (i < t.size() && (t[i] == '.' || t[i] == ':')) {
                // After a point the digits are a fraction of a second; after a colon they
                // count milliseconds.
                bool point = t[i] == '.';
                ++i;
                size_t start = i;
                while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])))
                    ++i;
                std::string digits = t.substr(start, i - start);
                if (digits.empty() || digits.size() > (wide ? 7u : 3u))
                    return Status::Invalid;
                if (point) {
                    f.frac = std::stol(digits);
                    for (size_t k = digits.size(); k < 7; ++k)
                        f.frac *= 10;
                } else {
                    if (digits.size() > 3)
                        return Status::Invalid;
                    f.frac = std::stol(digits) * 10000;
                }
            }
        }
    } else if (!ampm) {
        return Status::Invalid; // a bare number is no time
    }
    if (i != t.size())
        return Status::Invalid;
    if (ampm) {
        if (f.h > 12)
            return Status::Invalid;
        if (ampm == 1 && f.h == 12)
            f.h = 0;
        else if (ampm == 2 && f.h < 12)
            f.h += 12;
    }
    if (f.h > 23 || f.mi > 59 || f.s > 59)
        return Status::Invalid;
    return Status::Ok;
}

Status setDate(Fields& f, int y, int mo, int d) {
    if (mo < 1 || mo > 12 || d < 1 || y < 1 || y > 9999 || d > daysIn(y, mo))
        return Status::OutOfRange;
    f.y = y;
    f.mo = mo;
    f.d = d;
    return Status::Ok;
}

Status numericDate(const std::vector<Item>& items, DateOrder order, Fields& f) {
    if (items.size() == 1) {
        // Unseparated digits are always year, month, day.
        const std::string& s = items[0].text;
        if (s.size() == 8)
            return setDate(f, std::stoi(s.substr(0, 4)), std::stoi(s.substr(4, 2)),
                           std::stoi(s.substr(6, 2)));
        if (s.size() == 6)
            return setDate(f, widenYear(std::stoi(s.substr(0, 2)), 2), std::stoi(s.substr(2, 2)),
                           std::stoi(s.substr(4, 2)));
        if (s.size() == 4)
            return setDate(f, std::stoi(s), 1, 1);
        return Status::Invalid;
    }
    if (items.size() != 3)
        return Status::Invalid;
    for (const Item& it : items)
        if (it.text.size() > 4)
            return Status::Invalid;
    int a = std::stoi(items[0].text), b = std::stoi(items[1].text), c = std::stoi(items[2].text);
    if (items[0].text.size() == 4) {
        // A four-digit year first reads as year-month-day, except where DATEFORMAT puts the
        // day before the month.
        if (order == DateOrder::Dmy || order == DateOrder::Ydm || order == DateOrder::Dym)
            return setDate(f, a, c, b);
        return setDate(f, a, b, c);
    }
    auto y = [&](int v, size_t k) { return widenYear(v, items[k].text.size()); };
    switch (order) {
    case DateOrder::Mdy:
        return setDate(f, y(c, 2), a, b);
    case DateOrder::Dmy:
        return setDate(f, y(c, 2), b, a);
    case DateOrder::Ymd:
        return setDate(f, y(a, 0), b, c);
    case DateOrder::Ydm:
        return setDate(f, y(a, 0), c, b);
    case DateOrder::Myd:
        return setDate(f, y(b, 1), a, c);
    case DateOrder::Dym:
        return setDate(f, y(b, 1), c, a);
    }
    return Status::Invalid;
}

// "Jul 4 1996", "July 4, 1996", "4 July 1996", "1996 July 4", "July 1996".
Status alphaDate(const std::vector<Item>& items, Fields& f) {
    int month = 0;
    std::vector<const Item*> numbers;
    for (const Item& it : items) {
        if (it.number) {
            numbers.push_back(&it);
        } else {
            if (month)
                return Status::Invalid;
            month = monthFromWord(it.text);
            if (!month)
                return Status::Invalid;
        }
    }
    if (numbers.size() == 1) {
        if (numbers[0]->text.size() != 4)
            return Status::Invalid;
        return setDate(f, std::stoi(numbers[0]->text), month, 1);
    }
    if (numbers.size() != 2)
        return Status::Invalid;
    const Item* day = numbers[0];
    const Item* year = numbers[1];
    if (numbers[0]->text.size() == 4)
        std::swap(day, year);
    if (day->text.size() > 2 || year->text.size() > 4)
        return Status::Invalid;
    return setDate(f, widenYear(std::stoi(year->text), year->text.size()), month,
                   std::stoi(day->text));
}

std::string formatFields(const Fields& f) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", f.y, f.mo, f.d, f.h, f.mi,
                  f.s, static_cast<int>(f.frac / 10000));
    return buf;
}

// The fraction of a second to `scale` digits; nothing (no point either) for scale 0.
std::string fractionText(long frac, int scale) {
    if (scale <= 0)
        return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%07ld", frac);
    return "." + std::string(buf, static_cast<size_t>(scale));
}

std::string formatLater(const Fields& f, DateKind kind, int scale) {
    char date[48], time[48];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", f.y, f.mo, f.d);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", f.h, f.mi, f.s);
    switch (kind) {
    case DateKind::Date:
        return date;
    case DateKind::Time:
        return time + fractionText(f.frac, scale);
    case DateKind::DateTimeOffset: {
        char off[32];
        const int m = f.offset < 0 ? -f.offset : f.offset;
        std::snprintf(off, sizeof off, " %c%02d:%02d", f.offset < 0 ? '-' : '+', m / 60, m % 60);
        return std::string(date) + " " + time + fractionText(f.frac, scale) + off;
    }
    default:
        return std::string(date) + " " + time + fractionText(f.frac, scale);
    }
}

// A time zone offset at the end of the text ("+01:00", "-05:30", "Z"), which only
// datetimeoffset keeps; the other later types read past it. Removes it from `text`.
std::optional<int> takeOffset(std::string& text) {
    const size_t n = text.size();
    if (n >= 2 && (text.back() == 'Z' || text.back() == 'z') &&
        std::isdigit(static_cast<unsigned char>(text[n - 2]))) {
        text.pop_back();
        return 0;
    }
    if (n < 7)
        return std::nullopt;
    const std::string tail = text.substr(n - 6);
    if ((tail[0] != '+' && tail[0] != '-') || tail[3] != ':')
        return std::nullopt;
    for (size_t k : {1, 2, 4, 5})
        if (!std::isdigit(static_cast<unsigned char>(tail[k])))
            return std::nullopt;
    const int h = std::stoi(tail.substr(1, 2)), m = std::stoi(tail.substr(4, 2));
    // The documented range of an offset is -14:00 through +14:00.
    if (h > 14 || m > 59 || (h == 14 && m != 0))
        return std::nullopt;
    text.resize(n - 6);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return (tail[0] == '-' ? -1 : 1) * (h * 60 + m);
}

// Moves a carried second or minute into the date, for values rounded up past midnight.
void carry(Fields& f) {
    if (f.s >= 60) {
        f.s -= 60;
        ++f.mi;
    }
    if (f.mi >= 60) {
        f.mi -= 60;
        ++f.h;
    }
    if (f.h >= 24) {
        f.h -= 24;
        if (++f.d > daysIn(f.y, f.mo)) {
            f.d = 1;
            if (++f.mo > 12) {
                f.mo = 1;
                ++f.y;
            }
        }
    }
}

} // namespace

std::optional<DateOrder> dateOrderFromName(const std::string& name) {
    const std::string n = lower(name);
    if (n == "mdy")
        return DateOrder::Mdy;
    if (n == "dmy")
        return DateOrder::Dmy;
    if (n == "ymd")
        return DateOrder::Ymd;
    if (n == "ydm")
        return DateOrder::Ydm;
    if (n == "myd")
        return DateOrder::Myd;
    if (n == "dym")
        return DateOrder::Dym;
    return std::nullopt;
}

bool isCanonicalDateTime(const std::string& t) {
    if (t.size() != 23)
        return false;
    static const char pattern[] = "dddd-dd-dd dd:dd:dd.ddd";
    for (size_t k = 0; k < 23; ++k) {
        if (pattern[k] == 'd' ? !std::isdigit(static_cast<unsigned char>(t[k]))
                              : t[k] != pattern[k])
            return false;
    }
    return true;
}

std::optional<DateKind> dateKindOf(const std::string& typeName) {
    const std::string n = lower(typeName.substr(0, typeName.find('(')));
    if (n == "datetime")
        return DateKind::DateTime;
    if (n == "smalldatetime")
        return DateKind::SmallDateTime;
    if (n == "date")
        return DateKind::Date;
    if (n == "time")
        return DateKind::Time;
    if (n == "datetime2")
        return DateKind::DateTime2;
    if (n == "datetimeoffset")
        return DateKind::DateTimeOffset;
    return std::nullopt;
}

bool isLaterDateKind(DateKind kind) {
    return kind != DateKind::DateTime && kind != DateKind::SmallDateTime;
}

DateConversion parseDateTimeText(const std::string& input, DateOrder order, DateKind kind,
                                 int scale) {
    DateConversion out;
    Fields f;
    const bool later = isLaterDateKind(kind);
    std::string text = input;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    size_t lead = 0;
    while (lead < text.size() && std::isspace(static_cast<unsigned char>(text[lead])))
        ++lead;
    text = text.substr(lead);
    if (later)
        if (auto off = takeOffset(text))
            f.offset = *off;

    Status st = Status::Ok;
    if (isCanonicalDateTime(text)) {
        st = setDate(f, std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)),
                     std::stoi(text.substr(8, 2)));
        if (st == Status::Ok)
            st = parseTime(text.substr(11), f, later);
    } else if (!text.empty()) {
        // The time starts at the digits before the first colon, or before AM/PM.
        size_t timeAt = std::string::npos;
        size_t colon = text.find(':');
        if (colon != std::string::npos) {
            timeAt = colon;
            while (timeAt > 0 && std::isdigit(static_cast<unsigned char>(text[timeAt - 1])))
                --timeAt;
        } else {
            std::string up = upper(text);
            for (const char* mark : {"AM", "PM"}) {
                size_t p = up.rfind(mark);
                if (p != std::string::npos && p + 2 == up.size()) {
                    size_t q = p;
                    while (q > 0 && up[q - 1] == ' ')
                        --q;
                    while (q > 0 && std::isdigit(static_cast<unsigned char>(up[q - 1])))
                        --q;
                    if (q < p && std::isdigit(static_cast<unsigned char>(up[q])))
                        timeAt = q;
                }
            }
        }
        std::string datePart = timeAt == std::string::npos ? text : text.substr(0, timeAt);
        std::string timePart = timeAt == std::string::npos ? "" : text.substr(timeAt);
        // ISO 8601 joins date and time with a T: only the full yyyy-mm-ddThh:mi form.
        if (!datePart.empty() && (datePart.back() == 'T' || datePart.back() == 't')) {
            datePart.pop_back();
            if (datePart.size() != 10 || datePart[4] != '-' || datePart[7] != '-' ||
                timePart.empty())
                return out;
            order = DateOrder::Ymd;
        }
        std::vector<Item> items;
        bool alpha = false;
        bool blankBetweenNumbers = false; // "2000 01 01": numeric dates need / - or .
        for (size_t k = 0; k < datePart.size();) {
            unsigned char c = static_cast<unsigned char>(datePart[k]);
            if (std::isdigit(c) || std::isalpha(c)) {
                size_t j = k;
                bool digit = std::isdigit(c);
                while (j < datePart.size() &&
                       (digit ? std::isdigit(static_cast<unsigned char>(datePart[j]))
                              : std::isalpha(static_cast<unsigned char>(datePart[j]))))
                    ++j;
                items.push_back({digit, datePart.substr(k, j - k)});
                alpha = alpha || !digit;
                k = j;
            } else if (c == ' ' || c == '/' || c == '-' || c == '.' || c == ',') {
                blankBetweenNumbers =
                    blankBetweenNumbers ||
                    (c == ' ' && !items.empty() && items.back().number && k + 1 < datePart.size() &&
                     std::isdigit(static_cast<unsigned char>(datePart[k + 1])));
                ++k;
            } else {
                return out;
            }
        }
        if (!alpha && blankBetweenNumbers)
            return out;
        if (!items.empty())
            st = alpha ? alphaDate(items, f) : numericDate(items, order, f);
        if (st == Status::Ok && !timePart.empty())
            st = parseTime(timePart, f, later);
    }
    if (st != Status::Ok) {
        // The later types tell no impossible date from a malformed one: both are 241.
        out.status = later ? Status::Invalid : st;
        return out;
    }
    if (later) {
        // Rounded to the type's scale, a carry moving into the seconds and on up.
        long unit = 1;
        for (int k = scale; k < 7; ++k)
            unit *= 10;
        f.frac = (f.frac + unit / 2) / unit * unit;
        if (f.frac >= kTicksPerSecond) {
            f.frac -= kTicksPerSecond;
            ++f.s;
            const int y = f.y, mo = f.mo, d = f.d;
            carry(f);
            if (kind == DateKind::Time) {
                f.y = y; // a time of day wraps past midnight
                f.mo = mo;
                f.d = d;
            }
        }
        if (f.y > 9999) {
            out.status = Status::Invalid;
            return out;
        }
        out.status = Status::Ok;
        out.canonical = formatLater(f, kind, scale);
        return out;
    }
    int ms = static_cast<int>(f.frac / 10000);
    if (kind == DateKind::DateTime) {
        // Stored in 1/300 second ticks: the milliseconds end in 0, 3 or 7.
        int ticks = (ms * 3 + 5) / 10;
        ms = (ticks * 10 + 1) / 3;
        f.frac = static_cast<long>(ms) * 10000;
        if (ms >= 1000) {
            f.frac -= kTicksPerSecond;
            ++f.s;
            carry(f);
        }
        if (f.y < 1753) {
            out.status = Status::OutOfRange;
            return out;
        }
    } else {
        // To the minute: 29.998 seconds and less round down.
        bool up = f.s * 1000 + ms >= 29999;
        f.s = 0;
        f.frac = 0;
        if (up) {
            ++f.mi;
            carry(f);
        }
        if (f.y < 1900 || f.y > 2079 || (f.y == 2079 && (f.mo > 6 || (f.mo == 6 && f.d > 6)))) {
            out.status = Status::OutOfRange;
            return out;
        }
    }
    if (f.y > 9999) {
        out.status = Status::OutOfRange;
        return out;
    }
    out.status = Status::Ok;
    out.canonical = formatFields(f);
    return out;
}

std::optional<std::string> formatDateStyle(const std::string& d, int style) {
    if (!isCanonicalDateTime(d))
        return std::nullopt;
    const std::string yyyy = d.substr(0, 4), yy = d.substr(2, 2), mm = d.substr(5, 2),
                      dd = d.substr(8, 2), time = d.substr(11, 8), ms = d.substr(20, 3);
    const bool century = style >= 100;
    const std::string y = century ? yyyy : yy;
    const int month = std::stoi(mm);
    std::string mon = kMonths[month - 1];
    mon[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(mon[0])));
    auto clock12 = [&](bool withSeconds) {
        int h = std::stoi(d.substr(11, 2));
        char buf[32];
        std::snprintf(
            buf, sizeof buf, "%2d:%s%s%s", h % 12 == 0 ? 12 : h % 12, d.substr(14, 2).c_str(),
            withSeconds ? (":" + d.substr(17, 2) + ":" + ms).c_str() : "", h < 12 ? "AM" : "PM");
        return std::string(buf);
    };
    const std::string dayPadded = (dd[0] == '0' ? " " + dd.substr(1) : dd);
    switch (style % 100) {
    case 0:
        return mon + " " + dayPadded + " " + yyyy + " " + clock12(false);
    case 1:
        return mm + "/" + dd + "/" + y;
    case 2:
        return y + "." + mm + "." + dd;
    case 3:
        return dd + "/" + mm + "/" + y;
    case 4:
        return dd + "." + mm + "." + y;
    case 5:
        return dd + "-" + mm + "-" + y;
    case 6:
        return dd + " " + mon + " " + y;
    case 7:
        return mon + " " + dd + ", " + y;
    case 8:
        return time;
    case 9:
        return mon + " " + dayPadded + " " + yyyy + " " + clock12(true);
    case 10:
        return mm + "-" + dd + "-" + y;
    case 11:
        return y + "/" + mm + "/" + dd;
    case 12:
        return y + mm + dd;
    case 20:
        return d.substr(0, 19);
    case 21:
        return d;
    case 26:
        // ISO 8601 leaves out a zero fraction.
        return d.substr(0, 10) + "T" + time + (ms == "000" ? "" : "." + ms);
    default:
        return std::nullopt;
    }
}

std::string dateSyntaxMessage(int major) {
    // The wording changed with 2005 and again when 2008 brought the separate date and time
    // types.
    if (major <= 8)
        return "Syntax error converting datetime from character string.";
    if (major == 9)
        return "Conversion failed when converting datetime from character string.";
    return "Conversion failed when converting date and/or time from character string.";
}

std::string dateRangeMessage(int major, DateKind kind, bool unicode) {
    const std::string target = kind == DateKind::DateTime ? "datetime" : "smalldatetime";
    if (major <= 8)
        return "The conversion of a char data type to a " + target +
               " data type resulted in an out-of-range " + target + " value.";
    return std::string("The conversion of a ") + (unicode ? "nvarchar" : "varchar") +
           " data type to a " + target + " data type resulted in an out-of-range value.";
}

} // namespace sqlsim

namespace sqlsim {

namespace {

std::string nowText(bool utc, int* offsetMinutes) {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const long long ticks =
        duration_cast<nanoseconds>(now.time_since_epoch()).count() / 100 % kTicksPerSecond;
    std::tm tm{};
    if (utc)
        gmtime_r(&t, &tm);
    else
        localtime_r(&t, &tm);
    if (offsetMinutes)
        *offsetMinutes = static_cast<int>(tm.tm_gmtoff / 60);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%07lld", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ticks);
    return buf;
}

} // namespace

std::string nowDateTime2(bool utc) {
    return nowText(utc, nullptr);
}

std::string nowDateTimeOffset() {
    int offset = 0;
    std::string t = nowText(false, &offset);
    char off[32];
    const int m = offset < 0 ? -offset : offset;
    std::snprintf(off, sizeof off, " %c%02d:%02d", offset < 0 ? '-' : '+', m / 60, m % 60);
    return t + off;
}

} // namespace sqlsim
