#include "engine/types.h"

#include "engine/datetime_text.h"
#include "engine/tokens.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace sqlsim {

const std::vector<BuiltinType>& builtinTypes() {
    // Ordered as systypes lists them (by name), with the numbers SQL Server reports.
    static const std::vector<BuiltinType> types = {
        {"bigint", 127, 127, SqlType::BigInt, 8, 19, 0, false, false, 0},
        {"binary", 173, 173, SqlType::Binary, 8000, 8000, -1, true, false, 0},
        {"bit", 104, 104, SqlType::Bit, 1, 1, 0, false, false, 0},
        {"char", 175, 175, SqlType::Char, 8000, 8000, -1, true, false, 0},
        {"date", 40, 40, SqlType::Date, 3, 10, 0, false, false, 10},
        {"datetime", 61, 61, SqlType::DateTime, 8, 23, 3, false, false, 0},
        {"datetime2", 42, 42, SqlType::DateTime2, 8, 27, 7, false, false, 10},
        {"datetimeoffset", 43, 43, SqlType::DateTimeOffset, 10, 34, 7, false, false, 10},
        {"decimal", 106, 106, SqlType::Decimal, 17, 38, 38, false, true, 0},
        {"float", 62, 62, SqlType::Float, 8, 53, -1, false, false, 0},
        {"image", 34, 34, SqlType::Image, 16, 0, -1, false, false, 0},
        {"int", 56, 56, SqlType::Int, 4, 10, 0, false, false, 0},
        {"money", 60, 60, SqlType::Money, 8, 19, 4, false, false, 0},
        {"nchar", 239, 239, SqlType::NChar, 8000, 4000, -1, true, false, 0},
        {"ntext", 99, 99, SqlType::NText, 16, 0, -1, false, false, 0},
        {"numeric", 108, 108, SqlType::Numeric, 17, 38, 38, false, true, 0},
        {"nvarchar", 231, 231, SqlType::NVarChar, 8000, 4000, -1, true, false, 0},
        {"real", 59, 59, SqlType::Real, 4, 24, -1, false, false, 0},
        {"smalldatetime", 58, 58, SqlType::SmallDateTime, 4, 16, 0, false, false, 0},
        {"smallint", 52, 52, SqlType::SmallInt, 2, 5, 0, false, false, 0},
        {"smallmoney", 122, 122, SqlType::SmallMoney, 4, 10, 4, false, false, 0},
        {"sql_variant", 98, 98, SqlType::SqlVariant, 8016, 0, -1, false, false, 0},
        {"sysname", 231, 256, SqlType::NVarChar, 256, 128, -1, false, false, 0},
        {"text", 35, 35, SqlType::Text, 16, 0, -1, false, false, 0},
        {"time", 41, 41, SqlType::Time, 5, 16, 7, false, false, 10},
        {"timestamp", 189, 189, SqlType::Binary, 8, 0, -1, false, false, 0},
        {"tinyint", 48, 48, SqlType::TinyInt, 1, 3, 0, false, false, 0},
        {"uniqueidentifier", 36, 36, SqlType::UniqueIdentifier, 16, 0, -1, false, false, 0},
        {"varbinary", 165, 165, SqlType::VarBinary, 8000, 8000, -1, true, false, 0},
        {"varchar", 167, 167, SqlType::VarChar, 8000, 8000, -1, true, false, 0},
        {"xml", 241, 241, SqlType::NText, -1, 0, -1, false, false, 9},
    };
    return types;
}

const BuiltinType* findBuiltin(const std::string& name) {
    std::string n = lower(name);
    if (n == "rowversion")
        n = "timestamp";
    if (n == "integer")
        n = "int";
    if (n == "dec")
        n = "decimal";
    if (n == "character")
        n = "char";
    for (const auto& t : builtinTypes())
        if (n == t.name)
            return &t;
    return nullptr;
}

const BuiltinType* findBuiltinByUserType(int xusertype) {
    for (const auto& t : builtinTypes())
        if (t.xusertype == xusertype)
            return &t;
    return nullptr;
}

bool laterBuiltin(const std::string& name, int major) {
    const BuiltinType* b = findBuiltin(name);
    return b && b->minMajor > major;
}

bool hasFractionScale(const std::string& baseName) {
    return baseName == "time" || baseName == "datetime2" || baseName == "datetimeoffset";
}

std::string unknownTypeMessage(int major, int position, const std::string& name) {
    // 2000 words message 2715 without variables, which came with table variables' successors.
    return std::string(major <= 8 ? "Column or parameter #" : "Column, parameter, or variable #") +
           std::to_string(position) + ": Cannot find data type " + name + ".";
}

std::string conversionType(const ColType& t) {
    return hasFractionScale(t.baseName) ? t.sqliteDecl() : t.baseName;
}

namespace {
int decimalLength(int p) {
    if (p <= 9)
        return 5;
    if (p <= 19)
        return 9;
    if (p <= 28)
        return 13;
    return 17;
}
} // namespace

std::optional<ColType> makeBuiltinType(const std::string& name,
                                       const std::vector<std::string>& args) {
    const BuiltinType* b = findBuiltin(name);
    if (!b)
        return std::nullopt;
    ColType t;
    t.name = t.baseName = b->name;
    t.xtype = b->xtype;
    t.xusertype = b->xusertype;
    t.sql = b->sql;
    t.length = b->length;
    t.prec = b->prec;
    t.scale = b->scale;
    if (b->sized) {
        bool unicode = t.sql == SqlType::NChar || t.sql == SqlType::NVarChar;
        bool isMax = !args.empty() && iequals(args[0], "max");
        int n = args.empty() || isMax ? 1 : std::stoi(args[0]);
        if (isMax) {
            t.length = -1;
            t.prec = -1;
            t.wireSize = -1;
        } else {
            t.length = unicode ? 2 * n : n;
            t.prec = n;
            t.wireSize = t.length;
        }
        t.scale = -1;
    } else if (b->scaled) {
        int p = args.empty() ? 18 : std::stoi(args[0]);
        int s = args.size() < 2 ? 0 : std::stoi(args[1]);
        t.prec = p;
        t.scale = s;
        t.length = decimalLength(p);
        t.wireSize = t.length;
    } else if (hasFractionScale(t.baseName)) {
        // time(n), datetime2(n), datetimeoffset(n): n fractional digits, 7 when left out. The
        // storage size and precision grow with n as the type's documentation tables them.
        int n = args.empty() ? 7 : std::stoi(args[0]);
        if (n < 0 || n > 7)
            return std::nullopt;
        const int bytes = n <= 2 ? 0 : n <= 4 ? 1 : 2;
        const int digits = n == 0 ? 0 : n + 1;
        t.scale = n;
        if (t.baseName == "time") {
            t.length = 3 + bytes;
            t.prec = 8 + digits;
        } else if (t.baseName == "datetime2") {
            t.length = 6 + bytes;
            t.prec = 19 + digits;
        } else {
            t.length = 8 + bytes;
            t.prec = 26 + digits;
        }
        t.wireSize = t.length;
    } else if (t.baseName == "float" && !args.empty()) {
        int n = std::stoi(args[0]);
        if (n <= 24) {
            const BuiltinType* r = findBuiltin("real");
            t.name = t.baseName = r->name;
            t.xtype = t.xusertype = r->xtype;
            t.sql = r->sql;
            t.length = r->length;
            t.prec = r->prec;
        }
        t.wireSize = t.length;
    } else {
        switch (t.sql) {
        case SqlType::Text:
        case SqlType::Image:
            t.wireSize = 2147483647;
            break;
        case SqlType::NText:
            t.wireSize = t.baseName == "xml" ? -1 : 2147483646;
            break;
        case SqlType::SqlVariant:
            t.wireSize = 8016;
            break;
        default:
            t.wireSize = t.length;
        }
    }
    return t;
}

std::string ColType::sqliteDecl() const {
    // The user-defined type name travels in the declaration so results can report it, but
    // the wire only needs the base type: "nvarchar(20)", "decimal(18,2)", "varchar(max)".
    std::string d = baseName;
    const BuiltinType* b = findBuiltin(baseName);
    if (baseName == "sysname")
        d = "nvarchar(128)";
    else if (b && b->sized)
        d += "(" + (length == -1 ? std::string("-1") : std::to_string(prec)) + ")"; // -1: max
    else if (b && b->scaled)
        d += "(" + std::to_string(prec) + "," + std::to_string(scale) + ")";
    else if (hasFractionScale(baseName))
        d += "(" + std::to_string(scale) + ")";
    return d;
}

ColumnInfo ColType::columnInfo(const std::string& colName) const {
    ColumnInfo c;
    c.name = colName;
    c.type = sql;
    c.size = wireSize;
    if (sql == SqlType::Decimal || sql == SqlType::Numeric) {
        c.precision = static_cast<uint8_t>(prec);
        c.scale = static_cast<uint8_t>(scale);
    } else if (sql == SqlType::DateTime) {
        c.precision = 23;
        c.scale = 3;
    } else if (sql == SqlType::Date || sql == SqlType::Time || sql == SqlType::DateTime2 ||
               sql == SqlType::DateTimeOffset) {
        c.precision = static_cast<uint8_t>(prec);
        c.scale = static_cast<uint8_t>(scale);
    }
    return c;
}

std::optional<ColType> parseDecl(const std::string& decl) {
    std::string d = lower(decl);
    size_t paren = d.find('(');
    std::string name = d.substr(0, paren);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    std::vector<std::string> args;
    if (paren != std::string::npos) {
        std::string inner = d.substr(paren + 1, d.find(')') - paren - 1);
        size_t comma = inner.find(',');
        args.push_back(inner.substr(0, comma));
        if (args.back() == "-1")
            args.back() = "max";
        if (comma != std::string::npos)
            args.push_back(inner.substr(comma + 1));
    }
    try {
        return makeBuiltinType(name, args);
    } catch (...) {
        return std::nullopt;
    }
}

std::string formatDecimal(double v, int scale) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", scale < 0 ? 0 : scale, v);
    return buf;
}

std::string nowDateTime() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(ms));
    return buf;
}

std::optional<std::string> normalizeDateTime(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    std::string t = text;
    for (auto& c : t)
        if (c == 'T')
            c = ' ';
    char frac[16] = {0};
    int n =
        std::sscanf(t.c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%9[0-9]", &y, &mo, &d, &h, &mi, &s, frac);
    if (n < 3) {
        n = std::sscanf(t.c_str(), "%4d%2d%2d %2d:%2d:%2d.%9[0-9]", &y, &mo, &d, &h, &mi, &s, frac);
        if (n < 3) {
            n = std::sscanf(t.c_str(), "%2d/%2d/%4d %2d:%2d:%2d", &mo, &d, &y, &h, &mi, &s);
            if (n < 3)
                return std::nullopt;
        }
    }
    if (frac[0]) {
        std::string f = std::string(frac) + "000";
        ms = std::stoi(f.substr(0, 3));
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
    return std::string(buf);
}

namespace {
std::string cellText(sqlite3_stmt* st, int col) {
    const unsigned char* p = sqlite3_column_text(st, col);
    return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_column_bytes(st, col))
             : std::string();
}
} // namespace

Value convertCell(sqlite3_stmt* st, int col, const ColumnInfo& info) {
    int kind = sqlite3_column_type(st, col);
    if (kind == SQLITE_NULL)
        return Value::null();
    switch (info.type) {
    case SqlType::TinyInt:
    case SqlType::SmallInt:
    case SqlType::Int:
    case SqlType::BigInt:
    case SqlType::Bit: {
        if (kind == SQLITE_TEXT) {
            std::string s = cellText(st, col);
            if (iequals(s, "true"))
                return Value::integer(1);
            if (iequals(s, "false"))
                return Value::integer(0);
        }
        long long v = kind == SQLITE_FLOAT ? static_cast<long long>(sqlite3_column_double(st, col))
                                           : sqlite3_column_int64(st, col);
        if (info.type == SqlType::Bit)
            v = v != 0;
        return Value::integer(v);
    }
    case SqlType::Real:
    case SqlType::Float:
        return Value::real(sqlite3_column_double(st, col));
    case SqlType::Decimal:
    case SqlType::Numeric:
    case SqlType::Money:
    case SqlType::SmallMoney: {
        int scale =
            (info.type == SqlType::Money || info.type == SqlType::SmallMoney) ? 4 : info.scale;
        if (kind == SQLITE_INTEGER && scale == 0)
            return Value::str(std::to_string(sqlite3_column_int64(st, col)));
        return Value::str(formatDecimal(sqlite3_column_double(st, col), scale));
    }
    case SqlType::DateTime:
    case SqlType::SmallDateTime: {
        std::string s = cellText(st, col);
        auto norm = normalizeDateTime(s);
        if (norm && info.type == SqlType::SmallDateTime)
            return Value::str(norm->substr(0, 17) + "00.000");
        return Value::str(norm ? *norm : s);
    }
    case SqlType::Date:
    case SqlType::Time:
    case SqlType::DateTime2:
    case SqlType::DateTimeOffset: {
        // Written in the stored form already; a value that reached the column some other way
        // is brought to the column's scale.
        const std::string s = cellText(st, col);
        const DateKind kind = info.type == SqlType::Date        ? DateKind::Date
                              : info.type == SqlType::Time      ? DateKind::Time
                              : info.type == SqlType::DateTime2 ? DateKind::DateTime2
                                                                : DateKind::DateTimeOffset;
        DateConversion c = parseDateTimeText(s, DateOrder::Ymd, kind, info.scale);
        return Value::str(c.status == DateConversion::Status::Ok ? c.canonical : s);
    }
    case SqlType::Binary:
    case SqlType::VarBinary:
    case SqlType::Image: {
        const void* p = sqlite3_column_blob(st, col);
        int n = sqlite3_column_bytes(st, col);
        std::string v(static_cast<const char*>(p ? p : ""), static_cast<size_t>(n));
        if (info.type == SqlType::Binary && info.size > 0 && v.size() < size_t(info.size))
            v.append(size_t(info.size) - v.size(), '\0');
        return Value::str(v);
    }
    case SqlType::Char:
    case SqlType::NChar: {
        std::string s = cellText(st, col);
        size_t chars = info.type == SqlType::NChar ? size_t(info.size) / 2 : size_t(info.size);
        size_t have = 0;
        for (unsigned char c : s)
            if ((c & 0xC0) != 0x80)
                ++have;
        if (info.size > 0 && have < chars)
            s.append(chars - have, ' ');
        return Value::str(s);
    }
    case SqlType::UniqueIdentifier:
        return Value::str(upper(cellText(st, col)));
    case SqlType::SqlVariant:
        if (kind == SQLITE_INTEGER)
            return Value::integer(sqlite3_column_int64(st, col));
        if (kind == SQLITE_FLOAT)
            return Value::real(sqlite3_column_double(st, col));
        return Value::str(cellText(st, col));
    default:
        if (kind == SQLITE_FLOAT) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.15g", sqlite3_column_double(st, col));
            return Value::str(buf);
        }
        return Value::str(cellText(st, col));
    }
}

} // namespace sqlsim
