#include "engine/later_syntax.h"

#include "engine/errors.h"

#include <map>
#include <optional>
#include <set>

namespace sqlsim {

namespace {

// A construct found at a token: the token the older parser stops at, the first major version
// that has the construct, and whether the older server calls it an unknown function.
struct Hit {
    size_t at;
    int firstMajor;
    bool function = false;
};

class Scan {
public:
    explicit Scan(const std::vector<Token>& toks) : t_(toks) {}
    const Token& at(size_t i) const { return t_[std::min(i, t_.size() - 1)]; }
    const Token& before(size_t i) const { return i == 0 ? end() : t_[i - 1]; }
    const Token& end() const { return t_.back(); }
    size_t size() const { return t_.size(); }

private:
    const std::vector<Token>& t_;
};

using Rule = std::optional<Hit> (*)(const Scan&, size_t);

bool wordIn(const Token& t, std::initializer_list<const char*> words) {
    if (t.kind != Token::Kind::Word)
        return false;
    for (const char* w : words)
        if (t.value == w)
            return true;
    return false;
}

// Before these words a name followed by "(" is a table, procedure or function being defined or
// a user table function being read, never a call of a built-in function.
bool namesAnObject(const Scan& s, size_t i) {
    const Token& p = s.before(i);
    if (p.isOp("."))
        return true;
    if (wordIn(p,
               {"INTO", "TABLE", "REFERENCES", "FUNCTION", "PROCEDURE", "PROC", "INSERT", "UPDATE",
                "DELETE", "FROM", "JOIN", "APPLY", "VIEW", "TRIGGER", "EXEC", "EXECUTE", "TYPE"}))
        return true;
    // CREATE INDEX ix ON t (a) and CREATE STATISTICS st ON t (a); a join's ON is an expression.
    return p.is("ON") && i >= 3 && wordIn(s.at(i - 3), {"INDEX", "STATISTICS"});
}

// varchar(max), nvarchar(max), varbinary(max); the program writes the type bracketed.
std::optional<Hit> maxType(const Scan& s, size_t i) {
    const Token& t = s.at(i);
    if (!t.isName() || !s.at(i + 1).isOp("(") || !s.at(i + 2).is("MAX") || !s.at(i + 3).isOp(")"))
        return std::nullopt;
    for (const char* type : {"varchar", "nvarchar", "varbinary"})
        if (iequals(t.name(), type))
            return Hit{i + 2, 9};
    return std::nullopt;
}

// CROSS APPLY reads as a CROSS JOIN missing its JOIN; a lone OUTER is already wrong.
std::optional<Hit> apply(const Scan& s, size_t i) {
    if (!s.at(i + 1).is("APPLY"))
        return std::nullopt;
    if (s.at(i).is("CROSS"))
        return Hit{i + 1, 9};
    if (s.at(i).is("OUTER"))
        return Hit{i, 9};
    return std::nullopt;
}

std::optional<Hit> pivot(const Scan& s, size_t i) {
    if (wordIn(s.at(i), {"PIVOT", "UNPIVOT"}) && s.at(i + 1).isOp("(") && !namesAnObject(s, i))
        return Hit{i, 9};
    return std::nullopt;
}

std::optional<Hit> tryCatch(const Scan& s, size_t i) {
    if (s.at(i).is("BEGIN") && wordIn(s.at(i + 1), {"TRY", "CATCH"}))
        return Hit{i + 1, 9};
    return std::nullopt;
}

std::optional<Hit> forXmlPath(const Scan& s, size_t i) {
    if (s.at(i).is("FOR") && s.at(i + 1).is("XML") && s.at(i + 2).is("PATH"))
        return Hit{i + 2, 9};
    return std::nullopt;
}

// TOP (expression); the older form takes a bare number only.
std::optional<Hit> topExpression(const Scan& s, size_t i) {
    if (s.at(i).is("TOP") && s.at(i + 1).isOp("("))
        return Hit{i + 1, 9};
    return std::nullopt;
}

std::optional<Hit> setOperator(const Scan& s, size_t i) {
    if (wordIn(s.at(i), {"EXCEPT", "INTERSECT"}))
        return Hit{i, 9};
    return std::nullopt;
}

// ORDER BY ... OFFSET n ROWS [FETCH ...]; a column called offset is followed by no count.
std::optional<Hit> offsetFetch(const Scan& s, size_t i) {
    if (!s.at(i).is("OFFSET") || s.before(i).isOp("."))
        return std::nullopt;
    const Token& n = s.at(i + 1);
    if (n.kind == Token::Kind::Number || n.kind == Token::Kind::Variable || n.isOp("("))
        return Hit{i, 11};
    return std::nullopt;
}

std::optional<Hit> laterFunction(const Scan& s, size_t i) {
    static const std::map<std::string, int> firstMajor = {
        {"ROW_NUMBER", 9}, {"RANK", 9},         {"DENSE_RANK", 9},      {"NTILE", 9},
        {"CONCAT", 11},    {"IIF", 11},         {"CHOOSE", 11},         {"TRY_CONVERT", 11},
        {"TRY_CAST", 11},  {"FORMAT", 11},      {"STRING_AGG", 14},     {"CONCAT_WS", 14},
        {"TRIM", 14},      {"SYSDATETIME", 10}, {"SYSUTCDATETIME", 10}, {"SYSDATETIMEOFFSET", 10}};
    const Token& t = s.at(i);
    if (t.kind != Token::Kind::Word || !s.at(i + 1).isOp("("))
        return std::nullopt;
    auto it = firstMajor.find(t.value);
    if (it == firstMajor.end() || namesAnObject(s, i))
        return std::nullopt;
    return Hit{i, it->second, true};
}

// DROP INDEX ix ON t: 2000 knows only DROP INDEX t.ix and stops at the ON.
std::optional<Hit> dropIndexOn(const Scan& s, size_t i) {
    if (s.at(i).is("DROP") && s.at(i + 1).is("INDEX") && s.at(i + 2).isName() &&
        s.at(i + 3).is("ON"))
        return Hit{i + 3, 9};
    return std::nullopt;
}

// ON DELETE / ON UPDATE SET NULL or SET DEFAULT: 2000 knows CASCADE and NO ACTION only and
// stops at the SET.
std::optional<Hit> referentialSet(const Scan& s, size_t i) {
    if (s.at(i).is("ON") && wordIn(s.at(i + 1), {"DELETE", "UPDATE"}) && s.at(i + 2).is("SET") &&
        wordIn(s.at(i + 3), {"NULL", "DEFAULT"}))
        return Hit{i + 2, 9};
    return std::nullopt;
}

// PERSISTED after a computed column's expression came with 2005; a column of that name is
// read in a select list or after a point, never before a column list's comma or parenthesis.
std::optional<Hit> persisted(const Scan& s, size_t i) {
    if (!s.at(i).is("PERSISTED"))
        return std::nullopt;
    const Token& p = s.before(i);
    const Token& n = s.at(i + 1);
    if (p.isOp(".") || p.isOp(",") || p.isOp("(") || wordIn(p, {"SELECT", "BY", "AS"}))
        return std::nullopt;
    if (n.isOp(",") || n.isOp(")") || wordIn(n, {"NOT", "NULL", "CONSTRAINT", "PRIMARY", "UNIQUE"}))
        return Hit{i, 9};
    return std::nullopt;
}

// CREATE TYPE came with 2005; 2000 makes alias types with sp_addtype only.
std::optional<Hit> createType(const Scan& s, size_t i) {
    if (s.at(i).is("CREATE") && s.at(i + 1).is("TYPE"))
        return Hit{i + 1, 9};
    return std::nullopt;
}

const Rule kRules[] = {maxType,        apply,       pivot,       tryCatch,      forXmlPath,
                       topExpression,  setOperator, offsetFetch, laterFunction, dropIndexOn,
                       referentialSet, createType,  persisted};

} // namespace

void refuseLaterSyntax(const std::vector<Token>& toks, int major) {
    if (toks.empty())
        return;
    Scan s(toks);
    std::optional<Hit> first;
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        // A hit names a token at most three ahead, so nothing later can come before it.
        if (first && first->at < i)
            break;
        for (Rule rule : kRules) {
            auto hit = rule(s, i);
            if (hit && major < hit->firstMajor && (!first || hit->at < first->at))
                first = hit;
        }
    }
    if (!first)
        return;
    const Token& t = s.at(first->at);
    SqlError e = first->function ? unknownFunction(t.text, major) : syntaxNear(t);
    e.msg.line = t.line;
    throw e;
}

} // namespace sqlsim
