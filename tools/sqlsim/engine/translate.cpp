#include "engine/translate.h"

#include "engine/errors.h"
#include "engine/extended_properties.h"
#include "engine/sqlite_util.h"
#include "engine/values.h"

#include <functional>
#include <map>
#include <set>

namespace sqlsim {

namespace {

struct FunctionDef {
    const char* sqlite; // name registered with SQLite
    const char* type;   // result type as SQL Server reports it, empty when it follows the args
    int minMajor = 0;
};

const std::map<std::string, FunctionDef>& functions() {
    static const std::map<std::string, FunctionDef> f = {
        {"COUNT", {"count", "int"}},
        {"COUNT_BIG", {"count", "bigint"}},
        {"SUM", {"sum", ""}},
        {"AVG", {"avg", ""}},
        {"MIN", {"min", ""}},
        {"MAX", {"max", ""}},
        {"ABS", {"abs", ""}},
        {"ROUND", {"round", ""}},
        {"FLOOR", {"tsql_floor", ""}},
        {"CEILING", {"tsql_ceiling", ""}},
        {"UPPER", {"upper", ""}},
        {"LOWER", {"lower", ""}},
        {"LTRIM", {"ltrim", ""}},
        {"RTRIM", {"rtrim", ""}},
        {"REPLACE", {"replace", ""}},
        {"COALESCE", {"coalesce", ""}},
        {"NULLIF", {"nullif", ""}},
        {"ISNULL", {"ifnull", ""}},
        {"LEN", {"tsql_len", "int"}},
        {"DATALENGTH", {"tsql_datalength", "int"}},
        {"SUBSTRING", {"substr", ""}},
        {"HASHBYTES", {"tsql_hashbytes", "varbinary(8000)", 9}},
        {"LEFT", {"tsql_left", ""}},
        {"RIGHT", {"tsql_right", ""}},
        {"CHARINDEX", {"tsql_charindex", "int"}},
        {"CHAR", {"tsql_char", "char(1)"}},
        {"NCHAR", {"tsql_nchar", "nchar(1)"}},
        {"PATINDEX", {"tsql_patindex", "int"}},
        {"REPLICATE", {"tsql_replicate", ""}},
        {"SPACE", {"tsql_space", "varchar(8000)"}},
        {"REVERSE", {"tsql_reverse", ""}},
        {"QUOTENAME", {"tsql_quotename", "nvarchar(258)"}},
        {"STR", {"tsql_str", "varchar(10)"}},
        {"NEWID", {"tsql_newid", "uniqueidentifier"}},
        {"GETDATE", {"tsql_getdate", "datetime"}},
        {"SCOPE_IDENTITY", {"tsql_scope_identity", "numeric(38,0)"}},
        {"ERROR_NUMBER", {"tsql_error_number", "int", 9}},
        {"ERROR_MESSAGE", {"tsql_error_message", "nvarchar(4000)", 9}},
        {"ERROR_SEVERITY", {"tsql_error_severity", "int", 9}},
        {"ERROR_STATE", {"tsql_error_state", "int", 9}},
        {"ERROR_LINE", {"tsql_error_line", "int", 9}},
        {"ERROR_PROCEDURE", {"tsql_error_procedure", "nvarchar(128)", 9}},
        {"GETUTCDATE", {"tsql_getutcdate", "datetime"}},
        {"SYSDATETIME", {"tsql_sysdatetime", "datetime2(7)", 10}},
        {"SYSUTCDATETIME", {"tsql_sysutcdatetime", "datetime2(7)", 10}},
        {"SYSDATETIMEOFFSET", {"tsql_sysdatetimeoffset", "datetimeoffset(7)", 10}},
        {"YEAR", {"tsql_year", "int"}},
        {"MONTH", {"tsql_month", "int"}},
        {"DAY", {"tsql_day", "int"}},
        {"DATEADD", {"tsql_dateadd", "datetime"}},
        {"DATEDIFF", {"tsql_datediff", "int"}},
        {"DATEPART", {"tsql_datepart", "int"}},
        {"DATENAME", {"tsql_datename", "nvarchar(30)"}},
        {"ISNUMERIC", {"tsql_isnumeric", "int"}},
        {"OBJECTPROPERTY", {"objectproperty", "int"}},
        {"OBJECTPROPERTYEX", {"objectproperty", "sql_variant"}},
        {"INDEXPROPERTY", {"indexproperty", "int"}},
        {"COLUMNPROPERTY", {"columnproperty", "int"}},
        {"DATABASEPROPERTYEX", {"databasepropertyex", "sql_variant"}},
        {"IDENT_SEED", {"ident_seed", "numeric(38,0)"}},
        {"IDENT_INCR", {"ident_incr", "numeric(38,0)"}},
        {"IDENT_CURRENT", {"ident_current", "numeric(38,0)"}},
        {"USER_NAME", {"user_name", "nvarchar(128)"}},
        {"USER_ID", {"user_id", "int"}},
        {"SUSER_SNAME", {"suser_sname", "nvarchar(128)"}},
        {"SUSER_NAME", {"suser_sname", "nvarchar(128)"}},
        {"OBJECT_NAME", {"object_name", "nvarchar(128)"}},
        {"OBJECT_ID", {"object_id", "int"}},
        {"OBJECT_SCHEMA_NAME", {"object_schema_name", "nvarchar(128)", 9}},
        {"OBJECT_DEFINITION", {"object_definition", "nvarchar(max)", 9}},
        {"SCHEMA_NAME", {"schema_name", "nvarchar(128)", 9}},
        {"SCHEMA_ID", {"schema_id", "int", 9}},
        {"DB_NAME", {"db_name", "nvarchar(128)"}},
        {"DB_ID", {"db_id", "smallint"}},
        {"SERVERPROPERTY", {"serverproperty", "sql_variant"}},
        {"HOST_NAME", {"tsql_host_name", "nvarchar(128)"}},
        {"APP_NAME", {"tsql_app_name", "nvarchar(128)"}},
        {"IS_SRVROLEMEMBER", {"is_srvrolemember", "int"}},
        {"IS_MEMBER", {"is_srvrolemember", "int"}},
        {"HAS_DBACCESS", {"has_dbaccess", "int"}},
        {"TYPE_NAME", {"type_name", "nvarchar(128)", 9}},
    };
    return f;
}

// T-SQL date part names are bare words; they reach the SQLite function as text.
bool takesDatePart(const std::string& fn) {
    return fn == "DATEADD" || fn == "DATEDIFF" || fn == "DATEPART" || fn == "DATENAME";
}

std::optional<ColType> typeFromText(const std::string& text) {
    return parseDecl(text);
}

const std::set<std::string>& clauseWords() {
    static const std::set<std::string> w = {"FROM",  "INTO",   "WHERE",  "GROUP",     "HAVING",
                                            "ORDER", "UNION",  "EXCEPT", "INTERSECT", "OPTION",
                                            "FOR",   "VALUES", "SET",    "COMPUTE"};
    return w;
}

SqlError computedColumnWritten(const std::string& column, int major) {
    if (major <= 8)
        return sqlError(271, "Column '" + column +
                                 "' cannot be modified because it is a computed column.");
    return sqlError(271, "The column \"" + column +
                             "\" cannot be modified because it is either a computed column or is "
                             "the result of a UNION operator.");
}

bool joinWord(const Token& t) {
    return t.is("INNER") || t.is("LEFT") || t.is("RIGHT") || t.is("FULL") || t.is("CROSS") ||
           t.is("JOIN") || t.is("OUTER");
}

} // namespace

bool isKnownFunction(const std::string& upperName) {
    return functions().count(upperName) > 0;
}

void Translator::fail(size_t i) const {
    if (tok(i).kind == Token::Kind::End && i > 0)
        throw syntaxNear(tok(i - 1));
    throw syntaxNear(tok(i));
}

bool Translator::clauseStop(size_t i) const {
    const Token& t = tok(i);
    if (t.kind == Token::Kind::End || t.isOp(";"))
        return true;
    if (t.kind != Token::Kind::Word)
        return false;
    if (clauseWords().count(t.value))
        return true;
    return false;
}

std::string Translator::name(size_t& i, std::vector<std::string>* parts, std::string* written) {
    // [a].[b]..[c]: up to four parts, empty middle parts allowed.
    std::vector<std::string> p;
    std::string w;
    // A table variable is named by the variable.
    if (tok(i).kind == Token::Kind::Variable && !tok(i + 1).isOp(".")) {
        if (parts)
            *parts = {tok(i).text};
        if (written)
            *written = tok(i).text;
        return tok(i++).text;
    }
    if (!tok(i).isName())
        fail(i);
    p.push_back(tok(i).name());
    w = tok(i).name();
    ++i;
    while (tok(i).isOp(".")) {
        w += ".";
        ++i;
        if (tok(i).isOp(".")) {
            p.push_back("");
            continue;
        }
        if (tok(i).isName()) {
            p.push_back(tok(i).name());
            w += tok(i).name();
            ++i;
        } else if (tok(i).isOp("*")) {
            p.push_back("*");
            w += "*";
            ++i;
            break;
        } else {
            fail(i);
        }
    }
    if (parts)
        *parts = p;
    if (written)
        *written = w;
    std::string out;
    // Column references keep only table.column; SQLite knows no schema-qualified columns.
    size_t from = p.size() > 2 ? p.size() - 2 : 0;
    for (size_t k = from; k < p.size(); ++k) {
        if (!out.empty())
            out += ".";
        out += p[k] == "*" ? "*" : sqlId(p[k]);
    }
    return out;
}

std::optional<ColType> Translator::typeSpec(size_t& i, size_t end, std::string* text) {
    if (!tok(i).isName())
        fail(i);
    std::string tname = tok(i).name();
    ++i;
    std::vector<std::string> args;
    if (i < end && tok(i).isOp("(")) {
        ++i;
        while (i < end && !tok(i).isOp(")")) {
            if (!tok(i).isOp(","))
                args.push_back(tok(i).text);
            ++i;
        }
        if (!tok(i).isOp(")"))
            fail(i);
        ++i;
    }
    std::string decl = tname;
    if (!args.empty()) {
        decl += "(" + args[0];
        if (args.size() > 1)
            decl += "," + args[1];
        decl += ")";
    }
    if (text)
        *text = decl;
    if (laterBuiltin(tname, r_.major())) {
        // "Type date is not a defined system type." names the type alone.
        if (text)
            *text = tname;
        return std::nullopt;
    }
    return makeBuiltinType(tname, args);
}

std::string Translator::functionCall(size_t& i, size_t end, std::optional<ColType>* hint) {
    std::string fname = tok(i).value;
    std::string written = tok(i).text;
    ++i; // name
    ++i; // (
    if (fname == "CAST") {
        std::string inner;
        size_t j = i;
        int depth = 0;
        // CAST(expr AS type): find the AS at this level.
        size_t asPos = 0;
        for (; j < end; ++j) {
            if (tok(j).isOp("("))
                ++depth;
            else if (tok(j).isOp(")")) {
                if (depth == 0)
                    break;
                --depth;
            } else if (depth == 0 && tok(j).is("AS")) {
                asPos = j;
                break;
            }
        }
        if (!asPos)
            fail(j);
        std::string e = expr(i, asPos, false, true);
        i = asPos + 1;
        std::string typeText;
        auto ty = typeSpec(i, end, &typeText);
        if (!tok(i).isOp(")"))
            fail(i);
        ++i;
        if (!ty)
            throw sqlError(243, "Type " + typeText + " is not a defined system type.");
        if (hint)
            *hint = ty;
        return "tsql_convert(" + sqlStr(ty->sqliteDecl()) + ", " + e + ")";
    }
    if (fname == "CONVERT") {
        std::string typeText;
        auto ty = typeSpec(i, end, &typeText);
        if (!ty)
            throw sqlError(243, "Type " + typeText + " is not a defined system type.");
        if (!tok(i).isOp(","))
            fail(i);
        ++i;
        std::string e = expr(i, end, true, true);
        std::string style = "NULL";
        if (tok(i).isOp(",")) {
            ++i;
            style = expr(i, end, true, true);
        }
        if (!tok(i).isOp(")"))
            fail(i);
        ++i;
        if (hint)
            *hint = ty;
        return "tsql_convert(" + sqlStr(ty->sqliteDecl()) + ", " + e + ", " + style + ")";
    }
    if (fname == "ROW_NUMBER" && r_.major() >= 9 && tok(i).isOp(")") && tok(i + 1).is("OVER"))
        return rowNumber(i, end, hint);
    auto it = functions().find(fname);
    if (it == functions().end() || r_.major() < it->second.minMajor)
        throw unknownFunction(written, r_.major());
    if (hint && *it->second.type)
        *hint = typeFromText(it->second.type);
    if (fname == "HASHBYTES")
        if (std::optional<std::string> fused = rowHash(i, end))
            return *fused;
    std::string out = std::string(it->second.sqlite) + "(";
    if (takesDatePart(fname) && tok(i).isName()) {
        out += sqlStr(lower(tok(i).name()));
        ++i;
        if (tok(i).isOp(",")) {
            out += ", ";
            ++i;
        }
    }
    if (tok(i).isOp("*")) {
        out += "*";
        ++i;
    }
    if (tok(i).is("DISTINCT")) {
        out += "DISTINCT ";
        ++i;
    }
    if ((fname == "MIN" || fname == "MAX") && tok(i).isName()) {
        // A bare column: its type is known once the FROM clause is read.
        size_t j = i;
        std::vector<std::string> parts;
        name(j, &parts, nullptr);
        if (tok(j).isOp(")"))
            orderedColumns_.push_back({lower(fname), parts});
    }
    while (i < end && !tok(i).isOp(")")) {
        out += expr(i, end, true, true);
        if (tok(i).isOp(",")) {
            out += ", ";
            ++i;
        } else if (!tok(i).isOp(")")) {
            fail(i);
        }
    }
    if (!tok(i).isOp(")"))
        fail(i);
    ++i;
    return out + ")";
}

namespace {

enum class PieceKind { Operand, Arith, Other };
struct Piece {
    Piece(PieceKind k, std::string t) : kind(k), text(std::move(t)) {}
    PieceKind kind;
    std::string text;
    // What an operand is, for the comparisons that convert a string to the other side's type.
    enum class Is { Other, String, Name, Dated } is = Is::Other;
    std::vector<std::string> parts; // a Name's parts; a String's value
    std::string dateType;           // a Dated operand's type
};

bool comparison(const Piece& p) {
    static const std::set<std::string> ops = {"=", "<", ">", "<=", ">=", "<>", "!="};
    return p.kind == PieceKind::Other && ops.count(p.text) > 0;
}

// A string compared with a datetime converts to datetime, the type of higher precedence
// ("Data type precedence": the lower type converts), so '19970101' or '7/4/1996' meets the
// stored form instead of being compared as text. `dateTypeOf` names the datetime type of a
// column reference, or gives "" for any other.
void convertComparedStrings(std::vector<Piece>& p,
                            const std::function<std::string(const Piece&)>& dateTypeOf,
                            NameResolver& resolver) {
    auto is = [&](size_t k, const char* word) {
        return k < p.size() && p[k].kind == PieceKind::Other && p[k].text == word;
    };
    for (size_t k = 0; k < p.size(); ++k) {
        if (p[k].is != Piece::Is::String)
            continue;
        std::vector<size_t> partners;
        if (k >= 2 && comparison(p[k - 1]))
            partners.push_back(k - 2);
        if (k + 2 < p.size() && comparison(p[k + 1]))
            partners.push_back(k + 2);
        if (k >= 2 && is(k - 1, "BETWEEN"))
            partners.push_back(is(k - 2, "NOT") && k >= 3 ? k - 3 : k - 2);
        if (k >= 4 && is(k - 1, "AND") && is(k - 3, "BETWEEN"))
            partners.push_back(is(k - 4, "NOT") && k >= 5 ? k - 5 : k - 4);
        for (size_t q : partners) {
            const Piece& other = p[q];
            if (other.kind != PieceKind::Operand)
                continue;
            std::string type = other.is == Piece::Is::Dated  ? other.dateType
                               : other.is == Piece::Is::Name ? dateTypeOf(other)
                                                             : std::string();
            if (!type.empty()) {
                // Converted once here: the statement fails even when no row is compared, as
                // SQL Server's does.
                std::string folded = resolver.dateConstant(type, p[k].parts.at(0));
                p[k].text = folded.empty() ? "tsql_convert(" + sqlStr(type) + ", " + p[k].text + ")"
                                           : sqlStr(folded);
                p[k].is = Piece::Is::Dated;
                p[k].dateType = type;
                break;
            }
        }
    }
}

// Rebuilds an expression from its pieces so that `+` follows T-SQL: it joins two strings and
// adds anything else. Multiplicative operators bind tighter, as in T-SQL.
std::string fold(const std::vector<Piece>& p) {
    std::string out;
    auto append = [&](const std::string& s) {
        if (!out.empty() && out.back() != '(' && s != ")" && s != ",")
            out += ' ';
        out += s;
    };
    size_t k = 0;
    auto isUnary = [&](size_t at) {
        return at < p.size() && p[at].kind == PieceKind::Arith &&
               (p[at].text == "-" || p[at].text == "+" || p[at].text == "~") &&
               (at == 0 || p[at - 1].kind != PieceKind::Operand) && at + 1 < p.size();
    };
    auto term = [&]() {
        std::string t;
        std::string prefix;
        while (isUnary(k))
            prefix += p[k++].text;
        t = prefix + p[k++].text;
        while (k + 1 < p.size() && p[k].kind == PieceKind::Arith &&
               (p[k].text == "*" || p[k].text == "/" || p[k].text == "%" || p[k].text == "&" ||
                p[k].text == "|" || p[k].text == "^") &&
               (p[k + 1].kind == PieceKind::Operand || isUnary(k + 1))) {
            std::string op = p[k++].text;
            std::string pre;
            while (isUnary(k))
                pre += p[k++].text;
            // SQLite gives NULL for a division by zero; SQL Server stops with error 8134.
            if (op == "/" || op == "%")
                t = "(" + t + " " + op + " tsql_divisor(" + pre + p[k++].text + "))";
            else
                t = "(" + t + " " + op + " " + pre + p[k++].text + ")";
        }
        return t;
    };
    while (k < p.size()) {
        if (p[k].kind == PieceKind::Operand || isUnary(k)) {
            size_t save = k;
            while (isUnary(k))
                ++k;
            if (k >= p.size() || p[k].kind != PieceKind::Operand) {
                k = save;
                append(p[k++].text);
                continue;
            }
            k = save;
            std::string t = term();
            while (k + 1 < p.size() && p[k].kind == PieceKind::Arith &&
                   (p[k].text == "+" || p[k].text == "-") &&
                   (p[k + 1].kind == PieceKind::Operand || isUnary(k + 1))) {
                std::string op = p[k++].text;
                std::string r = term();
                t = op == "+" ? "tsql_add(" + t + ", " + r + ")" : "(" + t + " - " + r + ")";
            }
            append(t);
            continue;
        }
        append(p[k++].text);
    }
    return out;
}

} // namespace

// ROW_NUMBER() OVER ([PARTITION BY ...] ORDER BY ...), which SQLite computes itself; `i` is at
// the closing parenthesis of ROW_NUMBER().
std::string Translator::rowNumber(size_t& i, size_t end, std::optional<ColType>* hint) {
    i += 2; // ) OVER
    if (!tok(i).isOp("("))
        fail(i);
    ++i;
    std::string out = "row_number() OVER (";
    auto list = [&] {
        while (true) {
            out += expr(i, end, true, true);
            if (!tok(i).isOp(","))
                break;
            out += ", ";
            ++i;
        }
    };
    if (tok(i).is("PARTITION") && tok(i + 1).is("BY")) {
        i += 2;
        out += "PARTITION BY ";
        list();
        out += " ";
    }
    if (!tok(i).is("ORDER") || !tok(i + 1).is("BY"))
        fail(i); // SQL Server requires the ORDER BY
    i += 2;
    out += "ORDER BY ";
    list();
    if (!tok(i).isOp(")"))
        fail(i);
    ++i;
    if (hint)
        *hint = typeFromText("bigint");
    return out + ")";
}

std::string Translator::expr(size_t& i, size_t end, bool stopAtComma, bool inParens) {
    std::vector<Piece> pieces;
    auto operand = [&](const std::string& s) { pieces.push_back({PieceKind::Operand, s}); };
    auto other = [&](const std::string& s) { pieces.push_back({PieceKind::Other, s}); };
    // After a complete operand, a name or string can only start an alias.
    bool afterOperand = false;
    while (i < end) {
        const Token& t = tok(i);
        if (t.kind == Token::Kind::End || t.isOp(";"))
            break;
        if (afterOperand &&
            (t.kind == Token::Kind::Quoted || t.kind == Token::Kind::String ||
             t.kind == Token::Kind::NString || t.is("AS") ||
             (t.kind == Token::Kind::Word && !isReservedWord(t.value) && !t.is("ESCAPE"))))
            break;
        afterOperand = true;
        if (t.isOp(")"))
            break; // the caller owns the parenthesis
        if (t.isOp(",")) {
            if (stopAtComma || !inParens)
                break;
            other(",");
            afterOperand = false;
            ++i;
            continue;
        }
        if (!inParens || stopAtComma) {
            if (clauseStop(i))
                break;
            if (!inParens && (joinWord(t) || t.is("ON")) && !tok(i + 1).isOp("("))
                break;
            if (!inParens && (t.is("ASC") || t.is("DESC")))
                break;
        }
        if (t.isOp("(")) {
            ++i;
            std::string inner;
            if (tok(i).is("SELECT"))
                inner = query(i, end, false).sql;
            else
                inner = expr(i, end, false, true);
            if (!tok(i).isOp(")"))
                fail(i);
            operand("(" + inner + ")");
            ++i;
            continue;
        }
        switch (t.kind) {
        case Token::Kind::String:
        case Token::Kind::NString:
            operand(sqlStr(t.value));
            pieces.back().is = Piece::Is::String;
            pieces.back().parts = {t.value};
            ++i;
            continue;
        case Token::Kind::Number:
            operand(t.value);
            ++i;
            continue;
        case Token::Kind::Binary:
            operand("X'" + (t.value.size() % 2 ? "0" + t.value : t.value) + "'");
            ++i;
            continue;
        case Token::Kind::Variable:
            if (t.value.rfind("@@", 0) == 0)
                operand("tsql_global(" + sqlStr(t.value) + ")");
            else
                operand(t.text);
            ++i;
            continue;
        case Token::Kind::Op: {
            std::string op = t.text;
            if (op == "!<")
                op = ">=";
            else if (op == "!>")
                op = "<=";
            bool arith = op == "+" || op == "-" || op == "*" || op == "/" || op == "%" ||
                         op == "&" || op == "|" || op == "^" || op == "~";
            pieces.push_back({arith ? PieceKind::Arith : PieceKind::Other, op});
            afterOperand = false;
            ++i;
            continue;
        }
        default:
            break;
        }
        // Words and quoted names.
        if (t.kind == Token::Kind::Word) {
            if (t.is("COLLATE")) {
                i += 2;
                continue;
            }
            if (t.is("NULL")) {
                operand("NULL");
                ++i;
                continue;
            }
            if (t.is("CASE")) {
                // The whole CASE ... END is one operand, so that `+` after it joins or adds
                // its value as T-SQL does instead of being left to SQLite's numeric +.
                size_t j = i + 1;
                for (int depth = 1; j < end && tok(j).kind != Token::Kind::End; ++j) {
                    if (tok(j).is("CASE"))
                        ++depth;
                    else if (tok(j).is("END") && --depth == 0)
                        break;
                }
                if (!tok(j).is("END"))
                    fail(j);
                ++i;
                std::string inner = i < j ? expr(i, j, false, true) : std::string();
                if (i != j)
                    fail(i);
                operand("(CASE " + inner + " END)");
                i = j + 1;
                continue;
            }
            if (t.is("AND") || t.is("OR") || t.is("NOT") || t.is("IS") || t.is("LIKE") ||
                t.is("IN") || t.is("BETWEEN") || t.is("CASE") || t.is("WHEN") || t.is("THEN") ||
                t.is("ELSE") || t.is("END") || t.is("EXISTS") || t.is("ESCAPE") || t.is("ASC") ||
                t.is("DESC") || t.is("DISTINCT") || t.is("ALL") || t.is("ANY") || t.is("SOME")) {
                other(t.value);
                afterOperand = t.is("END");
                ++i;
                continue;
            }
            if (t.is("CURRENT_USER") || t.is("USER") || t.is("SESSION_USER")) {
                operand("user_name()");
                ++i;
                continue;
            }
            if (t.is("SYSTEM_USER")) {
                operand("suser_sname()");
                ++i;
                continue;
            }
            if (t.is("CURRENT_TIMESTAMP")) {
                operand("tsql_getdate()");
                pieces.back().is = Piece::Is::Dated;
                pieces.back().dateType = "datetime";
                ++i;
                continue;
            }
            if (tok(i + 1).isOp("(")) {
                std::optional<ColType> type;
                operand(functionCall(i, end, &type));
                if (type && dateKindOf(type->baseName)) {
                    pieces.back().is = Piece::Is::Dated;
                    pieces.back().dateType = conversionType(*type);
                }
                continue;
            }
            if (isReservedWord(t.value) && !tok(i + 1).isOp("."))
                fail(i);
        }
        if (t.isName()) {
            // Two-part function names (dbo.fn(...)) are user functions, which do not run here.
            size_t j = i;
            std::vector<std::string> parts;
            std::string n = name(j, &parts, nullptr);
            if (tok(j).isOp("("))
                throw notSupported("calling user-defined functions");
            operand(n);
            pieces.back().is = Piece::Is::Name;
            pieces.back().parts = std::move(parts);
            i = j;
            continue;
        }
        fail(i);
    }
    convertComparedStrings(
        pieces, [&](const Piece& x) { return columnDateType(x.parts); }, r_);
    if (pieces.empty() && !inParens)
        fail(i);
    // A dangling operator: SQL Server names the operator when the text ends there.
    if (!pieces.empty() && pieces.back().kind == PieceKind::Arith)
        throw syntaxNear(tok(i - 1));
    return fold(pieces);
}

std::string Translator::tableRef(size_t& i, size_t end) {
    std::string out;
    const bool derived = tok(i).isOp("(");
    if (derived && !tok(i + 1).is("SELECT")) {
        // A parenthesised join: FROM A JOIN (B JOIN C ON ...) ON ...
        ++i;
        std::string inner = fromClause(i, end);
        if (!tok(i).isOp(")"))
            fail(i);
        ++i;
        return "(" + inner + ")";
    }
    if (derived) {
        ++i;
        if (!tok(i).is("SELECT"))
            fail(i);
        const bool hashedOutside = rowHashed_;
        rowHashed_ = false;
        Translated sub = query(i, end, false);
        if (!tok(i).isOp(")"))
            fail(i);
        ++i;
        // SQLite would copy a derived table's row checksum into every aggregate that reads it
        // and compute it once per use; behind a LIMIT it is computed once per row.
        out = rowHashed_ ? "(SELECT * FROM (" + sub.sql + ") LIMIT -1)" : "(" + sub.sql + ")";
        rowHashed_ = rowHashed_ || hashedOutside;
    } else if (std::optional<std::string> fn = systemTableFunction(i, end)) {
        out = *fn;
    } else {
        std::vector<std::string> parts;
        std::string written;
        size_t start = i;
        name(i, &parts, &written);
        if (tok(i).isOp("("))
            throw notSupported("table-valued functions in FROM");
        (void)start;
        ResolvedTable rt = r_.resolveTable(parts, written);
        out = rt.sqlRef;
        scopeTables_.push_back({rt, rt.alias});
        // Without an alias the table is still known by its own name.
        if (!(tok(i).is("AS") ||
              (tok(i).isName() && !(tok(i).kind == Token::Kind::Word &&
                                    (isReservedWord(tok(i).value) || joinWord(tok(i)))))))
            out += " AS " + sqlId(rt.alias);
    }
    if (tok(i).is("AS"))
        ++i;
    if (tok(i).isName() &&
        !(tok(i).kind == Token::Kind::Word && (isReservedWord(tok(i).value) || joinWord(tok(i))))) {
        out += " AS " + sqlId(tok(i).name());
        if (!derived && !scopeTables_.empty())
            scopeTables_.back().alias = tok(i).name();
        ++i;
    }
    // Table hints only steer SQL Server's locking.
    if (tok(i).is("WITH") && tok(i + 1).isOp("(")) {
        i += 2;
        while (i < end && !tok(i).isOp(")"))
            ++i;
        ++i;
    } else if (tok(i).isOp("(") && tok(i + 1).is("NOLOCK")) {
        i += 3;
    }
    return out;
}

std::optional<std::string> Translator::systemTableFunction(size_t& i, size_t end) {
    // ::fn_listextendedproperty(...), the form 2000 requires; from 2005 also plain or as
    // sys.fn_listextendedproperty.
    size_t j = i;
    const bool colons = tok(j).isOp(":") && tok(j + 1).isOp(":");
    if (colons)
        j += 2;
    else if (tok(j).isName() && iequals(tok(j).name(), "sys") && tok(j + 1).isOp("."))
        j += 2;
    if (!tok(j).isName() || !iequals(tok(j).name(), "fn_listextendedproperty") ||
        !tok(j + 1).isOp("("))
        return std::nullopt;
    if (!colons && r_.major() <= 8)
        throw invalidObject(tok(j).name());
    j += 2;
    std::vector<std::string> args;
    while (j < end && !tok(j).isOp(")")) {
        if (tok(j).is("DEFAULT")) {
            args.push_back("NULL");
            ++j;
        } else {
            args.push_back(expr(j, end, true, true));
        }
        if (tok(j).isOp(","))
            ++j;
        else if (!tok(j).isOp(")"))
            fail(j);
    }
    if (!tok(j).isOp(")"))
        fail(j);
    if (args.size() != 7)
        throw sqlError(216, "Parameters were not supplied for the function "
                            "'fn_listextendedproperty'.");
    i = j + 1;
    return listExtendedPropertiesSql(args);
}

std::string Translator::fromClause(size_t& i, size_t end) {
    std::string out = tableRef(i, end);
    while (i < end) {
        if (tok(i).isOp(",")) {
            ++i;
            out += ", " + tableRef(i, end);
            continue;
        }
        if (joinWord(tok(i))) {
            std::string kw;
            while (joinWord(tok(i))) {
                kw += " " + tok(i).value;
                ++i;
            }
            const bool cross = kw.find("CROSS") != std::string::npos;
            out += kw + " " + (cross ? tableRef(i, end) : joinRight(i, end));
            // Every join but CROSS names its rows with ON.
            if (!cross && !tok(i).is("ON"))
                fail(i);
            if (tok(i).is("ON")) {
                ++i;
                out += " ON " + expr(i, end, true, false);
            }
            continue;
        }
        break;
    }
    return out;
}

std::string Translator::columnDateType(const std::vector<std::string>& parts) const {
    if (parts.empty() || scopeTables_.empty())
        return "";
    const std::string qualifier = parts.size() >= 2 ? parts[parts.size() - 2] : "";
    for (const ScopeTable& s : scopeTables_) {
        if (!qualifier.empty() && !iequals(qualifier, s.alias))
            continue;
        const std::string base = lower(r_.columnBaseType(s.table, parts.back()));
        if (base.empty())
            continue;
        return dateKindOf(base) ? base : "";
    }
    return "";
}

std::string Translator::joinRight(size_t& i, size_t end) {
    std::string out = tableRef(i, end);
    while (joinWord(tok(i))) {
        std::string kw;
        while (joinWord(tok(i))) {
            kw += " " + tok(i).value;
            ++i;
        }
        const bool cross = kw.find("CROSS") != std::string::npos;
        out = "(" + out + kw + " " + (cross ? tableRef(i, end) : joinRight(i, end));
        if (!cross) {
            if (!tok(i).is("ON"))
                fail(i);
            ++i;
            out += " ON " + expr(i, end, true, false);
        }
        out += ")";
    }
    return out;
}

void Translator::checkOrderedColumns() const {
    for (const OrderedColumn& c : orderedColumns_) {
        const std::string qualifier = c.parts.size() >= 2 ? c.parts[c.parts.size() - 2] : "";
        for (const ScopeTable& s : scopeTables_) {
            if (!qualifier.empty() && !iequals(qualifier, s.alias))
                continue;
            const std::string base = lower(r_.columnBaseType(s.table, c.parts.back()));
            if (base == "text" || base == "ntext" || base == "image")
                throw sqlError(8117, "Operand data type " + base + " is invalid for " + c.function +
                                         " operator.");
        }
    }
}

std::string Translator::selectCore(size_t& i, size_t end, Translated& out, std::string& limit) {
    if (!tok(i).is("SELECT"))
        fail(i);
    ++i;
    // A subquery's columns and tables are its own.
    std::vector<OrderedColumn> outerOrdered = std::move(orderedColumns_);
    std::vector<ScopeTable> outerScope = std::move(scopeTables_);
    orderedColumns_.clear();
    scopeTables_.clear();
    std::string sql = "SELECT ";
    bool distinct = false;
    if (tok(i).is("DISTINCT")) {
        sql += "DISTINCT ";
        distinct = true;
        ++i;
    } else if (tok(i).is("ALL")) {
        ++i;
    }
    if (tok(i).is("TOP")) {
        ++i;
        if (tok(i).kind == Token::Kind::Number) {
            limit = tok(i).text;
            ++i;
        } else if (tok(i).isOp("(")) {
            ++i;
            limit = "(" + expr(i, end, false, true) + ")";
            if (!tok(i).isOp(")"))
                fail(i);
            ++i;
        } else {
            fail(i);
        }
        if (tok(i).is("PERCENT"))
            throw notSupported("TOP ... PERCENT");
        if (tok(i).is("WITH") && tok(i + 1).is("TIES"))
            i += 2;
    }
    // Select list.
    bool first = true;
    while (true) {
        if (!first)
            sql += ", ";
        first = false;
        ColumnHint hint;
        size_t itemStart = i;
        std::string alias;
        bool hasAlias = false;
        if (tok(i).isOp("*")) {
            out.star = true;
            sql += "*";
            ++i;
        } else {
            if ((tok(i).isName() || tok(i).kind == Token::Kind::String) && tok(i + 1).isOp("=") &&
                !tok(i).is("CASE")) {
                if (tok(i).kind == Token::Kind::Word && isReservedWord(tok(i).value))
                    fail(i);
                alias = tok(i).kind == Token::Kind::String ? tok(i).value : tok(i).name();
                hasAlias = true;
                i += 2;
                itemStart = i;
            }
            if (tok(i).kind == Token::Kind::Variable && tok(i + 1).isOp("=") &&
                tok(i).value.rfind("@@", 0) != 0)
                throw notSupported("assigning variables in a SELECT list");
            size_t exprStart = i;
            std::string e = expr(i, end, true, false);
            if (e.empty())
                fail(i);
            size_t exprEnd = i;
            if (!hasAlias) {
                if (tok(i).is("AS")) {
                    ++i;
                    if (!(tok(i).isName() || tok(i).kind == Token::Kind::String))
                        fail(i);
                    alias = tok(i).kind == Token::Kind::Word || tok(i).kind == Token::Kind::Quoted
                                ? tok(i).name()
                                : tok(i).value;
                    hasAlias = true;
                    ++i;
                } else if ((tok(i).isName() &&
                            !(tok(i).kind == Token::Kind::Word && isReservedWord(tok(i).value))) ||
                           tok(i).kind == Token::Kind::String) {
                    alias = tok(i).kind == Token::Kind::String ? tok(i).value : tok(i).name();
                    hasAlias = true;
                    ++i;
                }
            }
            // A star qualified by a table (t.*).
            if (e.size() >= 2 && e.substr(e.size() - 2) == ".*")
                out.star = true;
            sql += e;
            if (hasAlias) {
                sql += " AS " + sqlId(alias);
                hint.name = alias;
            }
            // Work out what SQL Server would report for an expression.
            bool plainColumn = true;
            for (size_t k = exprStart; k < exprEnd; ++k)
                if (!(tok(k).isName() || tok(k).isOp(".")) ||
                    (tok(k).kind == Token::Kind::Word && isReservedWord(tok(k).value)))
                    plainColumn = false;
            if (!plainColumn) {
                if (!hasAlias)
                    hint.name = std::string();
                const Token& f = tok(exprStart);
                if (exprEnd == exprStart + 1 && f.kind == Token::Kind::String)
                    hint.type = makeBuiltinType(
                        "varchar", {std::to_string(std::max<size_t>(1, f.value.size()))});
                else if (exprEnd == exprStart + 1 && f.kind == Token::Kind::NString)
                    hint.type = makeBuiltinType(
                        "nvarchar", {std::to_string(std::max<size_t>(1, f.value.size()))});
                else if (exprEnd == exprStart + 1 && f.kind == Token::Kind::Number)
                    hint.type = f.text.find('.') == std::string::npos
                                    ? makeBuiltinType(f.text.size() > 9 ? "bigint" : "int", {})
                                    : makeBuiltinType("numeric", {"38", "10"});
                else if (f.kind == Token::Kind::Word && tok(exprStart + 1).isOp("(")) {
                    // A single function call spanning the whole item.
                    size_t j = exprStart;
                    std::optional<ColType> ft;
                    try {
                        functionCall(j, end, &ft);
                    } catch (...) {
                    }
                    if (j == exprEnd)
                        hint.type = ft;
                } else if (f.is("CASE")) {
                    size_t longest = 0;
                    bool allStrings = true;
                    for (size_t k = exprStart; k < exprEnd; ++k)
                        if (tok(k).is("THEN") || tok(k).is("ELSE")) {
                            const Token& v = tok(k + 1);
                            if (v.kind != Token::Kind::String)
                                allStrings = false;
                            else
                                longest = std::max(longest, v.value.size());
                        }
                    if (allStrings)
                        hint.type = makeBuiltinType("varchar",
                                                    {std::to_string(std::max<size_t>(1, longest))});
                } else if (f.kind == Token::Kind::Variable && exprEnd == exprStart + 1) {
                    static const std::map<std::string, std::string> globals = {
                        {"@@VERSION", "nvarchar(300)"},
                        {"@@SPID", "smallint"},
                        {"@@ROWCOUNT", "int"},
                        {"@@ERROR", "int"},
                        {"@@TRANCOUNT", "int"},
                        {"@@SERVERNAME", "nvarchar(128)"},
                        {"@@SERVICENAME", "nvarchar(128)"},
                        {"@@LANGUAGE", "nvarchar(128)"},
                        {"@@MAX_PRECISION", "tinyint"},
                        {"@@TEXTSIZE", "int"},
                        {"@@IDENTITY", "numeric(38,0)"},
                        {"@@DATEFIRST", "tinyint"},
                        {"@@LOCK_TIMEOUT", "int"},
                        {"@@OPTIONS", "int"}};
                    auto g = globals.find(f.value);
                    if (g != globals.end())
                        hint.type = parseDecl(g->second);
                }
            }
            (void)itemStart;
        }
        out.columns.push_back(hint);
        if (tok(i).isOp(",")) {
            ++i;
            continue;
        }
        break;
    }
    if (tok(i).is("INTO"))
        throw notSupported("SELECT ... INTO");
    if (tok(i).is("FROM")) {
        ++i;
        sql += " FROM " + fromClause(i, end);
    }
    checkOrderedColumns();
    orderedColumns_ = std::move(outerOrdered);
    // The tables stay in scope for WHERE, GROUP BY and HAVING, whose comparisons convert
    // strings to the type of the columns they meet.
    struct RestoreScope {
        std::vector<ScopeTable>& scope;
        std::vector<ScopeTable> outer;
        ~RestoreScope() { scope = std::move(outer); }
    } restore{scopeTables_, std::move(outerScope)};
    if (tok(i).is("WHERE")) {
        ++i;
        sql += " WHERE " + expr(i, end, false, false);
    }
    if (tok(i).is("GROUP") && tok(i + 1).is("BY")) {
        i += 2;
        sql += " GROUP BY ";
        while (true) {
            sql += expr(i, end, true, false);
            if (!tok(i).isOp(","))
                break;
            sql += ", ";
            ++i;
        }
    }
    if (tok(i).is("HAVING")) {
        ++i;
        sql += " HAVING " + expr(i, end, false, false);
    }
    (void)distinct;
    return sql;
}

Translated Translator::query(size_t& i, size_t end, bool top) {
    Translated out;
    std::string limit;
    std::string sql = selectCore(i, end, out, limit);
    bool distinct = tok(i).kind != Token::Kind::End && false;
    (void)distinct;
    while (tok(i).is("UNION") || tok(i).is("EXCEPT") || tok(i).is("INTERSECT")) {
        sql += " " + tok(i).value;
        ++i;
        if (tok(i).is("ALL")) {
            sql += " ALL";
            ++i;
        }
        Translated other;
        std::string otherLimit;
        sql += " " + selectCore(i, end, other, otherLimit);
    }
    bool ordered = false;
    if (tok(i).is("ORDER") && !tok(i + 1).is("BY"))
        fail(i + 1);
    if (tok(i).is("ORDER") && tok(i + 1).is("BY")) {
        i += 2;
        sql += " ORDER BY ";
        ordered = true;
        while (true) {
            sql += expr(i, end, true, false);
            if (tok(i).is("ASC") || tok(i).is("DESC")) {
                sql += " " + tok(i).value;
                ++i;
            }
            if (!tok(i).isOp(","))
                break;
            sql += ", ";
            ++i;
        }
    }
    // SQL Server sorts to remove duplicates, so DISTINCT without ORDER BY comes back sorted.
    if (!ordered && !out.star && sql.rfind("SELECT DISTINCT ", 0) == 0 &&
        sql.find(" UNION ") == std::string::npos) {
        sql += " ORDER BY ";
        for (size_t k = 0; k < out.columns.size(); ++k)
            sql += (k ? ", " : "") + std::to_string(k + 1);
    }
    if (!limit.empty())
        sql += " LIMIT " + limit;
    if (top) {
        if (tok(i).is("FOR") || tok(i).is("OPTION") || tok(i).is("COMPUTE"))
            throw notSupported(tok(i).value + " clauses");
        if (!(tok(i).kind == Token::Kind::End || tok(i).isOp(";") || i >= end))
            fail(i);
    }
    out.sql = sql;
    return out;
}

Translated Translator::select(size_t i, size_t end) {
    Translated t = query(i, end, true);
    return t;
}

std::string Translator::expression(size_t i, size_t end) {
    std::string e = expr(i, end, false, false);
    if (i < end && tok(i).kind != Token::Kind::End)
        fail(i);
    return e;
}

std::string Translator::insert(size_t i, size_t end, ResolvedTable* target,
                               std::vector<std::string>* columnNames) {
    ++i; // INSERT
    if (tok(i).is("INTO"))
        ++i;
    std::vector<std::string> parts;
    std::string written;
    name(i, &parts, &written);
    ResolvedTable rt = r_.resolveTable(parts, written);
    if (target)
        *target = rt;
    std::string sql = "INSERT INTO " + rt.sqlRef;
    // The columns the values go to, in order: the list given, or every column but identity.
    std::vector<std::string> targets;
    if (!tok(i).isOp("(") && !tok(i).is("DEFAULT")) {
        // T-SQL skips the identity column when no column list is given.
        auto cols = r_.insertColumns(rt);
        targets = cols;
        if (!cols.empty()) {
            sql += " (";
            for (size_t k = 0; k < cols.size(); ++k)
                sql += (k ? ", " : "") + sqlId(cols[k]);
            sql += ")";
        }
    }
    if (tok(i).isOp("(")) {
        ++i;
        sql += " (";
        bool first = true;
        while (i < end && !tok(i).isOp(")")) {
            if (!tok(i).isName())
                fail(i);
            if (columnNames)
                columnNames->push_back(tok(i).name());
            targets.push_back(tok(i).name());
            sql += (first ? "" : ", ") + sqlId(tok(i).name());
            first = false;
            ++i;
            // Unlike a CREATE TABLE column list, this one may not end with a comma.
            if (tok(i).isOp(",") && tok(i + 1).isOp(")"))
                fail(i + 1);
            if (tok(i).isOp(","))
                ++i;
        }
        if (!tok(i).isOp(")"))
            fail(i);
        ++i;
        sql += ")";
    }
    if (tok(i).is("DEFAULT") && tok(i + 1).is("VALUES")) {
        i += 2;
        return sql + " DEFAULT VALUES";
    }
    // Each value converts to its column's type once, as it is written.
    auto typesOfTargets = [&]() {
        std::vector<std::string> targetTypes;
        const auto columns = r_.columnBaseTypes(rt);
        if (targets.empty())
            for (const auto& c : columns)
                targets.push_back(c.first);
        for (const std::string& t : targets) {
            std::string type;
            for (const auto& c : columns)
                if (iequals(c.first, t))
                    type = lower(c.second);
            if (type == kComputedColumn)
                throw computedColumnWritten(t, r_.major());
            targetTypes.push_back(type);
        }
        return targetTypes;
    };
    if (tok(i).is("VALUES")) {
        ++i;
        sql += " VALUES ";
        const std::vector<std::string> targetTypes = typesOfTargets();
        bool first = true;
        while (tok(i).isOp("(")) {
            ++i;
            sql += (first ? "(" : ", (");
            first = false;
            bool firstVal = true;
            size_t column = 0;
            while (i < end && !tok(i).isOp(")")) {
                if (tok(i).is("DEFAULT"))
                    throw notSupported("DEFAULT inside VALUES");
                std::string value = expr(i, end, true, true);
                if (column < targetTypes.size())
                    value = storedAs(targetTypes[column], value);
                ++column;
                sql += (firstVal ? "" : ", ") + value;
                firstVal = false;
                if (tok(i).isOp(",") && tok(i + 1).isOp(")"))
                    fail(i + 1);
                if (tok(i).isOp(","))
                    ++i;
                else if (!tok(i).isOp(")"))
                    fail(i);
            }
            if (!tok(i).isOp(")"))
                fail(i);
            ++i;
            sql += ")";
            if (tok(i).isOp(","))
                ++i;
        }
        if (i < end && tok(i).kind != Token::Kind::End && !tok(i).isOp(";"))
            fail(i);
        return sql;
    }
    if (tok(i).is("SELECT")) {
        for (const auto& c : r_.columnBaseTypes(rt))
            for (const std::string& t : targets)
                if (c.second == kComputedColumn && iequals(c.first, t))
                    throw computedColumnWritten(t, r_.major());
        Translated q = query(i, end, true);
        // The selected rows convert as VALUES do: named by position, each column is wrapped
        // in its target's conversion.
        const std::vector<std::string> targetTypes = typesOfTargets();
        bool converts = false;
        std::string names, values;
        for (size_t k = 0; k < targetTypes.size(); ++k) {
            const std::string c = sqlId("c" + std::to_string(k + 1));
            names += (k ? ", " : "") + c;
            values += (k ? ", " : "") + storedAs(targetTypes[k], c);
            converts = converts || storedAs(targetTypes[k], c) != c;
        }
        if (!converts)
            return sql + " " + q.sql;
        return "WITH " + sqlId("sqlsim_rows") + " (" + names + ") AS (" + q.sql + ") " + sql +
               " SELECT " + values + " FROM " + sqlId("sqlsim_rows");
    }
    if (tok(i).is("EXEC") || tok(i).is("EXECUTE"))
        throw notSupported("INSERT ... EXEC");
    fail(i);
}

size_t Translator::topLevelWord(size_t i, size_t end, const char* word) const {
    int depth = 0;
    for (; i < end && tok(i).kind != Token::Kind::End; ++i) {
        if (tok(i).isOp("("))
            ++depth;
        else if (tok(i).isOp(")"))
            --depth;
        else if (depth == 0 && tok(i).is(word))
            return i;
    }
    return end;
}

std::optional<Translator::ScopeTable>
Translator::targetInFrom(const std::vector<std::string>& parts,
                         const ResolvedTable* resolved) const {
    for (const ScopeTable& s : scopeTables_) {
        if (resolved ? s.table.objectId == resolved->objectId && iequals(s.alias, resolved->alias)
                     : parts.size() == 1 && iequals(s.alias, parts[0]))
            return s;
    }
    return std::nullopt;
}

std::string Translator::whereAfterFrom(size_t& i, size_t end) {
    std::string where;
    if (tok(i).is("WHERE")) {
        ++i;
        where = expr(i, end, false, false);
    }
    if (i < end && tok(i).kind != Token::Kind::End && !tok(i).isOp(";"))
        fail(i);
    return where;
}

std::string Translator::update(size_t i, size_t end, ResolvedTable* target) {
    ++i; // UPDATE
    std::vector<std::string> parts;
    std::string written;
    name(i, &parts, &written);
    if (!tok(i).is("SET"))
        fail(i);
    ++i;
    // UPDATE t SET ... FROM t JOIN u ... or UPDATE alias SET ... FROM t AS alias ...: the FROM
    // clause says which rows change and what they may read, so it is read first.
    const size_t fromAt = topLevelWord(i, end, "FROM");
    size_t after = fromAt;
    std::string from;
    std::optional<ScopeTable> inFrom;
    ResolvedTable rt;
    if (fromAt < end) {
        after = fromAt + 1;
        from = fromClause(after, end);
        inFrom = targetInFrom(parts, nullptr);
    }
    if (inFrom) {
        rt = inFrom->table;
    } else {
        rt = r_.resolveTable(parts, written);
        if (fromAt < end)
            inFrom = targetInFrom(parts, &rt);
        if (!inFrom)
            scopeTables_.push_back({rt, rt.alias});
    }
    if (target)
        *target = rt;
    const auto columns = r_.columnBaseTypes(rt);
    std::vector<std::string> names, values;
    while (true) {
        std::vector<std::string> cparts;
        name(i, &cparts, nullptr);
        if (!tok(i).isOp("="))
            fail(i);
        ++i;
        std::string value = expr(i, end, true, false);
        for (const auto& c : columns) {
            if (!iequals(c.first, cparts.back()))
                continue;
            if (c.second == kComputedColumn)
                throw computedColumnWritten(c.first, r_.major());
            value = storedAs(lower(c.second), value);
        }
        names.push_back(sqlId(cparts.back()));
        values.push_back(value);
        if (!tok(i).isOp(","))
            break;
        ++i;
    }
    if (fromAt < end) {
        if (i != fromAt)
            fail(i);
        i = after;
    }
    const std::string where = whereAfterFrom(i, end);
    std::string sql;
    if (!inFrom) {
        // The target is a table of its own beside those of the FROM clause.
        sql = "UPDATE " + rt.sqlRef + " AS " + sqlId(rt.alias) + " SET ";
        for (size_t k = 0; k < names.size(); ++k)
            sql += (k ? ", " : "") + names[k] + " = " + values[k];
        if (!from.empty())
            sql += " FROM " + from;
        return where.empty() ? sql : sql + " WHERE " + where;
    }
    // The target's rows are those the FROM clause yields for its instance there; each takes
    // the values of one of the rows joined to it. Read in a subquery, an unqualified column
    // means the FROM clause's, as it does on the server.
    const std::string self = sqlId("sqlsim_target");
    const std::string row = sqlId(inFrom->alias) + ".rowid";
    const std::string filter = where.empty() ? "" : " AND (" + where + ")";
    std::string list, select;
    for (size_t k = 0; k < names.size(); ++k) {
        list += (k ? ", " : "") + names[k];
        select += (k ? ", " : "") + values[k];
    }
    sql = "UPDATE " + rt.sqlRef + " AS " + self + " SET " +
          (names.size() == 1 ? list : "(" + list + ")") + " = (SELECT " + select + " FROM " + from +
          " WHERE " + row + " = " + self + ".rowid" + filter + ") WHERE " + self +
          ".rowid IN (SELECT " + row + " FROM " + from + (where.empty() ? "" : " WHERE " + where) +
          ")";
    return sql;
}

std::string Translator::storedAs(const std::string& baseType, const std::string& value) {
    if (!convertsOnWrite(baseType))
        return value;
    return "tsql_convert(" + sqlStr(baseType) + ", " + value + ")";
}

std::string Translator::remove(size_t i, size_t end, ResolvedTable* target) {
    ++i; // DELETE
    if (tok(i).is("FROM"))
        ++i;
    std::vector<std::string> parts;
    std::string written;
    name(i, &parts, &written);
    if (tok(i).is("FROM")) {
        // DELETE [FROM] t FROM t JOIN u ... / DELETE alias FROM t AS alias ...
        ++i;
        const std::string from = fromClause(i, end);
        auto inFrom = targetInFrom(parts, nullptr);
        ResolvedTable rt = inFrom ? inFrom->table : r_.resolveTable(parts, written);
        if (!inFrom)
            inFrom = targetInFrom(parts, &rt);
        if (!inFrom)
            scopeTables_.push_back({rt, rt.alias});
        if (target)
            *target = rt;
        const std::string where = whereAfterFrom(i, end);
        if (inFrom)
            return "DELETE FROM " + rt.sqlRef + " WHERE rowid IN (SELECT " + sqlId(inFrom->alias) +
                   ".rowid FROM " + from + (where.empty() ? "" : " WHERE " + where) + ")";
        return "DELETE FROM " + rt.sqlRef + " AS " + sqlId(rt.alias) +
               " WHERE EXISTS (SELECT 1 FROM " + from + (where.empty() ? "" : " WHERE " + where) +
               ")";
    }
    ResolvedTable rt = r_.resolveTable(parts, written);
    if (target)
        *target = rt;
    std::string sql = "DELETE FROM " + rt.sqlRef + " AS " + sqlId(rt.alias);
    scopeTables_.push_back({rt, rt.alias});
    const std::string where = whereAfterFrom(i, end);
    return where.empty() ? sql : sql + " WHERE " + where;
}

} // namespace sqlsim
