#include "engine/values.h"

#include "engine/functions_util.h"
#include "engine/session.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sqlsim {

bool convertsOnWrite(const std::string& baseType) {
    return baseType == "bit" || dateKindOf(baseType).has_value();
}

std::string numberSyntaxMessage(int major, const std::string& value, const std::string& type) {
    if (major <= 8)
        return "Syntax error converting the varchar value '" + value +
               "' to a column of data type " + type + ".";
    return "Conversion failed when converting the varchar value '" + value + "' to data type " +
           type + ".";
}

std::optional<SqlError> valueErrorFromText(const std::string& msg) {
    auto starts = [&](const char* p) { return msg.rfind(p, 0) == 0; };
    if (starts("Syntax error converting datetime") ||
        starts("Conversion failed when converting date"))
        return sqlError(241, msg);
    if (starts("The conversion of a ") && msg.find("out-of-range") != std::string::npos)
        return sqlError(242, msg, 3);
    if (starts("Conversion failed when converting the ") || starts("Syntax error converting the "))
        return sqlError(245, msg);
    if (starts("Explicit conversion from data type "))
        return sqlError(529, msg);
    if (msg == "Divide by zero error encountered.")
        return sqlError(8134, msg);
    if (starts("Arithmetic overflow error"))
        return sqlError(8115, msg);
    return std::nullopt;
}

std::string releaseName(const std::string& productVersion) {
    int major = std::atoi(productVersion.c_str());
    size_t dot = productVersion.find('.');
    int minor = dot == std::string::npos ? 0 : std::atoi(productVersion.c_str() + dot + 1);
    switch (major) {
    case 8:
        return "2000";
    case 9:
        return "2005";
    case 10:
        return minor >= 50 ? "2008 R2" : "2008";
    case 11:
        return "2012";
    case 12:
        return "2014";
    case 13:
        return "2016";
    case 14:
        return "2017";
    case 15:
        return "2019";
    case 16:
        return "2022";
    default:
        return major < 8 ? "7.0" : "2022";
    }
}

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// CONVERT's style names the order of the date it reads.
DateOrder orderOfStyle(int style, DateOrder session) {
    switch (style % 100) {
    case 1:
    case 10:
        return DateOrder::Mdy;
    case 3:
    case 4:
    case 5:
    case 6:
        return DateOrder::Dmy;
    case 2:
    case 11:
    case 12:
    case 20:
    case 21:
    case 26:
        return DateOrder::Ymd;
    default:
        return session;
    }
}

void fnDivisor(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    int kind = sqlite3_value_numeric_type(v);
    if ((kind == SQLITE_INTEGER && sqlite3_value_int64(v) == 0) ||
        (kind == SQLITE_FLOAT && sqlite3_value_double(v) == 0.0))
        return sqlite3_result_error(ctx, "Divide by zero error encountered.", -1);
    sqlite3_result_value(ctx, v);
}

void fnSysDateTime(sqlite3_context* ctx, int, sqlite3_value**) {
    fn::resultText(ctx, nowDateTime2(false));
}

void fnSysUtcDateTime(sqlite3_context* ctx, int, sqlite3_value**) {
    fn::resultText(ctx, nowDateTime2(true));
}

void fnSysDateTimeOffset(sqlite3_context* ctx, int, sqlite3_value**) {
    fn::resultText(ctx, nowDateTimeOffset());
}

} // namespace

namespace fn {

void convertToDateTime(sqlite3_context* ctx, sqlite3_value* v, DateKind kind, int style,
                       int scale) {
    SessionImpl* s = session(ctx);
    const int major = s->major();
    const int type = sqlite3_value_type(v);
    if ((type == SQLITE_INTEGER || type == SQLITE_FLOAT) && isLaterDateKind(kind)) {
        // The later date and time types take no numbers ("Explicit conversions" table of CAST
        // and CONVERT): 529.
        static const char* names[] = {"datetime", "smalldatetime", "date",
                                      "time",     "datetime2",     "datetimeoffset"};
        const std::string msg = std::string("Explicit conversion from data type ") +
                                (type == SQLITE_INTEGER ? "int" : "float") + " to " +
                                names[static_cast<int>(kind)] + " is not allowed.";
        return sqlite3_result_error(ctx, msg.c_str(), -1);
    }
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        // A number counts days from 1900-01-01, its fraction the time of day.
        double days = sqlite3_value_double(v);
        long long whole = static_cast<long long>(std::floor(days));
        long long ms = std::llround((days - static_cast<double>(whole)) * 86400000.0);
        int y = 0, m = 0, d = 0;
        civilFromDays(whole - 25567, y, m, d);
        char buf[48];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02lld:%02lld:%02lld.%03lld", y, m, d,
                      ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
        if (y < 1753 || y > 9999) {
            return sqlite3_result_error(
                ctx, "Arithmetic overflow error converting expression to data type datetime.", -1);
        }
        DateConversion c = parseDateTimeText(buf, DateOrder::Ymd, kind);
        if (c.status == DateConversion::Status::Ok)
            return resultText(ctx, c.canonical);
        return sqlite3_result_error(ctx, dateRangeMessage(major, kind, false).c_str(), -1);
    }
    const std::string text = argText(v);
    DateConversion c = parseDateTimeText(text, orderOfStyle(style, s->dateOrder), kind, scale);
    if (c.status == DateConversion::Status::Invalid && !isLaterDateKind(kind) && text.size() > 20 &&
        text[4] == '-' && text[10] == ' ' && text[19] == '.') {
        // A datetime2 or datetimeoffset value (kept as its text here) converts to datetime
        // rounded, though a string with more than three fractional digits would not.
        DateConversion wide = parseDateTimeText(text, DateOrder::Ymd, DateKind::DateTime2, 3);
        if (wide.status == DateConversion::Status::Ok)
            c = parseDateTimeText(wide.canonical, DateOrder::Ymd, kind);
    }
    switch (c.status) {
    case DateConversion::Status::Ok:
        return resultText(ctx, c.canonical);
    case DateConversion::Status::OutOfRange:
        return sqlite3_result_error(ctx, dateRangeMessage(major, kind, false).c_str(), -1);
    case DateConversion::Status::Invalid:
        break;
    }
    sqlite3_result_error(ctx, dateSyntaxMessage(major).c_str(), -1);
}

void convertToBit(sqlite3_context* ctx, sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return sqlite3_result_int(ctx, sqlite3_value_int64(v) != 0);
    case SQLITE_FLOAT:
        return sqlite3_result_int(ctx, sqlite3_value_double(v) != 0.0);
    default:
        break;
    }
    std::string text = argText(v);
    std::string t = text;
    while (!t.empty() && t.back() == ' ')
        t.pop_back();
    size_t lead = t.find_first_not_of(' ');
    t = lead == std::string::npos ? "" : t.substr(lead);
    // The strings TRUE and FALSE convert to 1 and 0.
    if (iequals(t, "true"))
        return sqlite3_result_int(ctx, 1);
    if (iequals(t, "false"))
        return sqlite3_result_int(ctx, 0);
    if (t.empty())
        return sqlite3_result_int(ctx, 0); // as an empty string converts to 0 for any integer
    char* end = nullptr;
    long long n = std::strtoll(t.c_str(), &end, 10);
    if (!end || *end) {
        std::string msg = numberSyntaxMessage(session(ctx)->major(), text, "bit");
        return sqlite3_result_error(ctx, msg.c_str(), -1);
    }
    sqlite3_result_int(ctx, n != 0);
}

void registerValueFunctions(sqlite3* db, SessionImpl* s) {
    static const Def defs[] = {
        {"tsql_divisor", 1, fnDivisor, true},
        {"tsql_sysdatetime", 0, fnSysDateTime, false},
        {"tsql_sysutcdatetime", 0, fnSysUtcDateTime, false},
        {"tsql_sysdatetimeoffset", 0, fnSysDateTimeOffset, false},
    };
    registerAll(db, s, defs, sizeof defs / sizeof defs[0]);
}

} // namespace fn

std::string SessionImpl::assignedAs(const std::string& variable,
                                    const std::string& sqliteExpr) const {
    auto it = variableTypes_.find(variable);
    return it == variableTypes_.end() ? sqliteExpr : Translator::storedAs(it->second, sqliteExpr);
}

void SessionImpl::setDateFormat(const Token& value) {
    // SET DATEFORMAT takes the order as a word, a string, or a variable holding it.
    std::string text = value.kind == Token::Kind::Variable
                           ? (variables_.count(value.value) ? variables_.at(value.value).text : "")
                       : value.kind == Token::Kind::Quoted || value.kind == Token::Kind::String ||
                               value.kind == Token::Kind::NString
                           ? value.value
                           : value.text;
    auto order = dateOrderFromName(text);
    if (!order)
        throw sqlError(2741, "SET DATEFORMAT date order '" + text + "' is not supported.");
    dateOrder = *order;
}

std::string SessionImpl::dateConstant(const std::string& type, const std::string& text) {
    const DateKind kind = dateKindOf(type).value_or(DateKind::DateTime);
    const size_t paren = type.find('(');
    const int scale = paren == std::string::npos ? 7 : std::atoi(type.c_str() + paren + 1);
    DateConversion c = parseDateTimeText(text, dateOrder, kind, scale);
    if (c.status == DateConversion::Status::Invalid)
        throw *valueErrorFromText(dateSyntaxMessage(engine_.major));
    if (c.status == DateConversion::Status::OutOfRange)
        throw *valueErrorFromText(dateRangeMessage(engine_.major, kind, false));
    return c.canonical;
}

std::vector<std::pair<std::string, std::string>>
SessionImpl::columnBaseTypes(const ResolvedTable& table) {
    if (!table.objectId)
        return {};
    std::string schema = table.sqlRef.find("\".\"") == std::string::npos
                             ? std::string("main")
                             : table.sqlRef.substr(1, table.sqlRef.find('"', 1) - 1);
    Catalog cat(conn_.get(), schema, engine_.major);
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& c : cat.columns(table.objectId))
        out.emplace_back(c.name,
                         c.computed ? std::string(kComputedColumn) : conversionType(c.type));
    return out;
}

} // namespace sqlsim
