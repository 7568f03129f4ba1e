#include "engine/expression_type.h"

#include "engine/errors.h"

#include <algorithm>
#include <map>

namespace sqlsim {

namespace {

ColType builtin(const std::string& name, const std::vector<std::string>& args = {}) {
    return *makeBuiltinType(name, args);
}

// "Data type precedence": the higher rank wins and the other operand converts to it.
int precedence(const ColType& t) {
    static const std::map<std::string, int> rank = {{"datetimeoffset", 30},
                                                    {"datetime2", 29},
                                                    {"datetime", 28},
                                                    {"smalldatetime", 27},
                                                    {"date", 26},
                                                    {"time", 25},
                                                    {"float", 24},
                                                    {"real", 23},
                                                    {"decimal", 22},
                                                    {"numeric", 22},
                                                    {"money", 21},
                                                    {"smallmoney", 20},
                                                    {"bigint", 19},
                                                    {"int", 18},
                                                    {"smallint", 17},
                                                    {"tinyint", 16},
                                                    {"bit", 15},
                                                    {"ntext", 14},
                                                    {"text", 13},
                                                    {"image", 12},
                                                    {"timestamp", 11},
                                                    {"uniqueidentifier", 10},
                                                    {"nvarchar", 9},
                                                    {"nchar", 8},
                                                    {"varchar", 7},
                                                    {"char", 6},
                                                    {"varbinary", 5},
                                                    {"binary", 4},
                                                    {"sql_variant", 31}};
    auto it = rank.find(t.baseName == "sysname" ? "nvarchar" : t.baseName);
    return it == rank.end() ? 0 : it->second;
}

bool isString(const ColType& t) {
    return t.sql == SqlType::Char || t.sql == SqlType::VarChar || t.sql == SqlType::NChar ||
           t.sql == SqlType::NVarChar;
}

// An exact number as decimal(p, s): what the decimal rules see of an integer or money operand.
std::optional<std::pair<int, int>> asDecimal(const ColType& t) {
    const std::string& n = t.baseName;
    if (n == "decimal" || n == "numeric")
        return std::make_pair(t.prec, t.scale);
    if (n == "money")
        return std::make_pair(19, 4);
    if (n == "smallmoney")
        return std::make_pair(10, 4);
    if (n == "bigint")
        return std::make_pair(19, 0);
    if (n == "int")
        return std::make_pair(10, 0);
    if (n == "smallint")
        return std::make_pair(5, 0);
    if (n == "tinyint")
        return std::make_pair(3, 0);
    if (n == "bit")
        return std::make_pair(1, 0);
    return std::nullopt;
}

class TypeReader {
public:
    TypeReader(const std::vector<Token>& toks, size_t end, const ColumnTypeLookup& column)
        : t_(toks), end_(end), column_(column) {}

    ColType additive(size_t& i) {
        ColType left = term(i);
        while (i < end_ && (tok(i).isOp("+") || tok(i).isOp("-") || tok(i).isOp("&") ||
                            tok(i).isOp("|") || tok(i).isOp("^"))) {
            const std::string op = tok(i++).text;
            left = combinedType(left, term(i), op);
        }
        return left;
    }

private:
    const Token& tok(size_t i) const { return t_[std::min(i, t_.size() - 1)]; }

    ColType term(size_t& i) {
        ColType left = unary(i);
        while (i < end_ && (tok(i).isOp("*") || tok(i).isOp("/") || tok(i).isOp("%"))) {
            const std::string op = tok(i++).text;
            left = combinedType(left, unary(i), op);
        }
        return left;
    }

    ColType unary(size_t& i) {
        if (tok(i).isOp("-") || tok(i).isOp("+") || tok(i).isOp("~"))
            return unary(++i);
        return primary(i);
    }

    [[noreturn]] void fail(size_t i) const { throw syntaxNear(tok(i)); }

    void expectOp(size_t& i, const char* op) const {
        if (!tok(i).isOp(op))
            fail(i);
        ++i;
    }

    ColType primary(size_t& i) {
        const Token& t = tok(i);
        if (t.isOp("(")) {
            ++i;
            ColType inner = additive(i);
            expectOp(i, ")");
            return inner;
        }
        if (t.kind == Token::Kind::Number) {
            ++i;
            return literal(t);
        }
        if (t.kind == Token::Kind::String || t.kind == Token::Kind::NString) {
            ++i;
            const std::string n = std::to_string(std::max<size_t>(1, t.value.size()));
            return builtin(t.kind == Token::Kind::NString ? "nvarchar" : "varchar", {n});
        }
        if (t.kind == Token::Kind::Binary) {
            ++i;
            return builtin("varbinary", {std::to_string(std::max<size_t>(1, t.text.size() / 2))});
        }
        if (t.is("NULL")) {
            ++i;
            return builtin("int");
        }
        if (t.is("CASE"))
            return caseType(i);
        if (t.isName() && tok(i + 1).isOp("("))
            return function(i);
        if (t.isName()) {
            // A column, perhaps written with the table's name before it.
            std::string name = t.name();
            ++i;
            while (tok(i).isOp(".") && tok(i + 1).isName()) {
                name = tok(i + 1).name();
                i += 2;
            }
            if (auto c = column_(name))
                return *c;
            throw invalidColumn(name);
        }
        fail(i);
    }

    static ColType literal(const Token& t) {
        if (!t.text.empty() && t.text[0] == '$')
            return builtin("money");
        const std::string& v = t.value;
        if (v.find_first_of("eE") != std::string::npos)
            return builtin("float");
        const size_t point = v.find('.');
        if (point == std::string::npos) {
            const std::string digits = v.substr(std::min(v.find_first_not_of('0'), v.size()));
            if (digits.size() < 10 || (digits.size() == 10 && digits <= "2147483647"))
                return builtin("int");
            return builtin("numeric", {std::to_string(std::min<size_t>(38, digits.size())), "0"});
        }
        // A constant with a point is numeric, as wide as its digits.
        const int scale = static_cast<int>(v.size() - point - 1);
        int whole = static_cast<int>(point);
        while (whole > 0 && v[static_cast<size_t>(point - static_cast<size_t>(whole))] == '0')
            --whole;
        const int prec = std::max(1, std::min(38, whole + scale));
        return builtin("numeric", {std::to_string(std::max(prec, scale)), std::to_string(scale)});
    }

    // The declared type of CAST and CONVERT: a name and its arguments.
    ColType typeName(size_t& i) {
        if (!tok(i).isName())
            fail(i);
        const std::string name = tok(i++).name();
        std::vector<std::string> args;
        if (tok(i).isOp("(")) {
            for (++i; i < end_ && !tok(i).isOp(")"); ++i)
                if (!tok(i).isOp(","))
                    args.push_back(tok(i).text);
            expectOp(i, ")");
        }
        auto ty = makeBuiltinType(name, args);
        if (!ty)
            throw sqlError(243, "Type " + name + " is not a defined system type.");
        return *ty;
    }

    std::vector<ColType> arguments(size_t& i, bool skipFirstWord) {
        std::vector<ColType> out;
        expectOp(i, "(");
        if (skipFirstWord && tok(i).isName() && tok(i + 1).isOp(",")) {
            i += 2; // a date part: year, mm, ...
            out.push_back(builtin("int"));
        }
        while (i < end_ && !tok(i).isOp(")")) {
            out.push_back(additive(i));
            if (tok(i).isOp(","))
                ++i;
            else if (!tok(i).isOp(")"))
                fail(i);
        }
        expectOp(i, ")");
        return out;
    }

    ColType function(size_t& i) {
        const std::string f = upper(tok(i).name());
        ++i;
        if (f == "CAST") {
            expectOp(i, "(");
            additive(i);
            if (!tok(i).is("AS"))
                fail(i);
            ++i;
            ColType ty = typeName(i);
            expectOp(i, ")");
            return ty;
        }
        if (f == "CONVERT") {
            expectOp(i, "(");
            ColType ty = typeName(i);
            while (i < end_ && !tok(i).isOp(")")) {
                expectOp(i, ",");
                additive(i);
            }
            expectOp(i, ")");
            return ty;
        }
        const bool datePart = f == "DATEADD" || f == "DATEDIFF" || f == "DATEPART";
        std::vector<ColType> args = arguments(i, datePart);
        static const std::map<std::string, const char*> fixed = {
            {"LEN", "int"},
            {"DATALENGTH", "int"},
            {"CHARINDEX", "int"},
            {"PATINDEX", "int"},
            {"YEAR", "int"},
            {"MONTH", "int"},
            {"DAY", "int"},
            {"DATEDIFF", "int"},
            {"DATEPART", "int"},
            {"ISNUMERIC", "int"},
            {"GETDATE", "datetime"},
            {"GETUTCDATE", "datetime"},
            {"NEWID", "uniqueidentifier"},
            {"SYSDATETIME", "datetime2"},
            {"SYSUTCDATETIME", "datetime2"},
            {"SYSDATETIMEOFFSET", "datetimeoffset"},
            {"STR", "varchar(10)"},
            {"CHAR", "char(1)"},
            {"NCHAR", "nchar(1)"}};
        if (auto it = fixed.find(f); it != fixed.end())
            return *parseDecl(it->second);
        if (f == "DATEADD")
            return args.size() == 3 ? args[2] : builtin("datetime");
        if (f == "COALESCE") {
            ColType best = args.empty() ? builtin("int") : args[0];
            for (const ColType& a : args)
                if (precedence(a) > precedence(best))
                    best = a;
            return best;
        }
        // ISNULL, NULLIF, UPPER, LTRIM, ROUND, ABS, ...: the first argument's type.
        return args.empty() ? builtin("int") : args[0];
    }

    // Skips to the next WHEN, ELSE or END of this CASE, over nested CASEs and parentheses.
    void skipCondition(size_t& i) {
        int depth = 0;
        while (i < end_) {
            const Token& t = tok(i);
            if (depth == 0 && (t.is("THEN") || t.is("WHEN") || t.is("ELSE") || t.is("END")))
                return;
            if (t.isOp("(") || t.is("CASE"))
                ++depth;
            else if (t.isOp(")") || t.is("END"))
                --depth;
            ++i;
        }
        fail(i);
    }

    ColType caseType(size_t& i) {
        ++i; // CASE
        std::optional<ColType> result;
        while (i < end_ && !tok(i).is("END")) {
            if (tok(i).is("THEN") || tok(i).is("ELSE")) {
                ++i;
                ColType r = additive(i);
                if (!result || precedence(r) > precedence(*result))
                    result = r;
                continue;
            }
            ++i; // the input expression or WHEN
            skipCondition(i);
        }
        if (!tok(i).is("END"))
            fail(i);
        ++i;
        return result ? *result : builtin("int");
    }

    const std::vector<Token>& t_;
    size_t end_;
    const ColumnTypeLookup& column_;
};

} // namespace

ColType combinedType(const ColType& a, const ColType& b, const std::string& op) {
    if (op == "+" && isString(a) && isString(b)) {
        // Concatenation: as long as both, in the wider character set.
        const bool unicode = a.sql == SqlType::NChar || a.sql == SqlType::NVarChar ||
                             b.sql == SqlType::NChar || b.sql == SqlType::NVarChar;
        if (a.length < 0 || b.length < 0)
            return builtin(unicode ? "nvarchar" : "varchar", {"max"});
        const int chars =
            (unicode && (a.sql == SqlType::NChar || a.sql == SqlType::NVarChar) ? a.length / 2
                                                                                : a.length) +
            (unicode && (b.sql == SqlType::NChar || b.sql == SqlType::NVarChar) ? b.length / 2
                                                                                : b.length);
        return builtin(unicode ? "nvarchar" : "varchar",
                       {std::to_string(std::min(chars, unicode ? 4000 : 8000))});
    }
    const ColType& high = precedence(a) >= precedence(b) ? a : b;
    if (high.baseName != "decimal" && high.baseName != "numeric")
        return high;
    auto d1 = asDecimal(a), d2 = asDecimal(b);
    if (!d1 || !d2)
        return high;
    const int p1 = d1->first, s1 = d1->second, p2 = d2->first, s2 = d2->second;
    int p = 0, s = 0;
    if (op == "*") {
        p = p1 + p2 + 1;
        s = s1 + s2;
    } else if (op == "/") {
        s = std::max(6, s1 + p2 + 1);
        p = p1 - s1 + s2 + s;
    } else if (op == "%") {
        s = std::max(s1, s2);
        p = std::min(p1 - s1, p2 - s2) + s;
    } else {
        s = std::max(s1, s2);
        p = s + std::max(p1 - s1, p2 - s2) + 1;
    }
    if (p > 38) {
        // The integral part is kept; the scale gives way, down to 6 digits.
        const int integral = p - s;
        s = std::max(std::min(s, 6), 38 - integral);
        p = 38;
    }
    return builtin(high.baseName, {std::to_string(p), std::to_string(s)});
}

ColType expressionType(const std::vector<Token>& toks, size_t begin, size_t end,
                       const ColumnTypeLookup& column) {
    TypeReader r(toks, end, column);
    size_t i = begin;
    ColType t = r.additive(i);
    if (i < end)
        throw syntaxNear(toks[std::min(i, toks.size() - 1)]);
    return t;
}

} // namespace sqlsim
