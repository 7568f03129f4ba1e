#include "explore/module_references.h"

#include "explore/tsql_tokens.h"

#include <array>
#include <cctype>

namespace orv {

std::string UpperName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

namespace {

// Words that end a name or an alias: never taken for one.
bool IsReserved(const SqlToken& t) {
    if (t.kind != SqlToken::Word)
        return false;
    static const std::set<std::string> words = {
        "ALL",        "ALTER",     "AND",         "ANY",     "APPLY",        "AS",       "ASC",
        "BEGIN",      "BETWEEN",   "BREAK",       "BY",      "CASE",         "CATCH",    "CHECK",
        "CLOSE",      "CLUSTERED", "COLLATE",     "COMMIT",  "CONSTRAINT",   "CONTINUE", "CREATE",
        "CROSS",      "CURSOR",    "DEALLOCATE",  "DECLARE", "DEFAULT",      "DELETE",   "DESC",
        "DISTINCT",   "DROP",      "ELSE",        "END",     "EXCEPT",       "EXEC",     "EXECUTE",
        "EXISTS",     "FETCH",     "FOR",         "FOREIGN", "FROM",         "FULL",     "GO",
        "GOTO",       "GRANT",     "GROUP",       "HAVING",  "IF",           "IN",       "INDEX",
        "INNER",      "INSERT",    "INTERSECT",   "INTO",    "IS",           "JOIN",     "KEY",
        "LEFT",       "LIKE",      "MERGE",       "NOCOUNT", "NONCLUSTERED", "NOT",      "NULL",
        "OF",         "ON",        "OPEN",        "OPTION",  "OR",           "ORDER",    "OUTER",
        "OUTPUT",     "OVER",      "PERCENT",     "PIVOT",   "PRIMARY",      "PRINT",    "PROC",
        "PROCEDURE",  "RAISERROR", "REFERENCES",  "RETURN",  "RETURNS",      "REVOKE",   "RIGHT",
        "ROLLBACK",   "SELECT",    "SET",         "TABLE",   "TABLESAMPLE",  "THEN",     "THROW",
        "TOP",        "TRAN",      "TRANSACTION", "TRIGGER", "TRUNCATE",     "TRY",      "UNION",
        "UNIQUE",     "UNPIVOT",   "UPDATE",      "USE",     "USING",        "VALUES",   "VIEW",
        "WAITFOR",    "WHEN",      "WHERE",       "WHILE",   "WITH",         "FUNCTION", "MATCHED",
        "STATISTICS", "DENY"};
    return words.count(UpperName(t.raw)) > 0;
}

// Methods called on XML, spatial and hierarchy values: `col.value(...)` is not a function of
// the catalog.
bool IsValueMethod(const std::string& name) {
    static const std::set<std::string> methods = {"VALUE",
                                                  "QUERY",
                                                  "EXIST",
                                                  "NODES",
                                                  "MODIFY",
                                                  "STDISTANCE",
                                                  "STASTEXT",
                                                  "STINTERSECTS",
                                                  "STBUFFER",
                                                  "STCONTAINS",
                                                  "STWITHIN",
                                                  "TOSTRING",
                                                  "GETANCESTOR",
                                                  "GETDESCENDANT",
                                                  "GETLEVEL",
                                                  "ISDESCENDANTOF",
                                                  "GETREPARENTEDVALUE",
                                                  "WRITE",
                                                  "READ",
                                                  "PARSE"};
    return methods.count(UpperName(name)) > 0;
}

class Scanner {
public:
    explicit Scanner(std::string_view text) : t_(TokenizeTsql(text)) {}

    ModuleReferences Run() {
        size_t i = 0;
        while (i < t_.size())
            i = Step(i);
        return std::move(out_);
    }

private:
    const SqlToken& At(size_t k) const {
        static const SqlToken none{SqlToken::Punct, "", "", 0};
        return k < t_.size() ? t_[k] : none;
    }
    bool NameAt(size_t k) const { return At(k).IsName() && !IsReserved(At(k)); }

    // A dotted name starting at k (up to four parts, "a..b" leaves an empty part). Returns the
    // index after it, or k when there is none.
    size_t ReadName(size_t k, std::vector<std::string>& parts, std::string& written) const {
        parts.clear();
        written.clear();
        if (!NameAt(k))
            return k;
        parts.push_back(At(k).value);
        written = At(k).raw;
        size_t j = k + 1;
        while (At(j).Is('.') && parts.size() < 4) {
            if (At(j + 1).Is('.')) {
                parts.emplace_back();
                written += ".";
                ++j;
                continue;
            }
            if (!At(j + 1).IsName())
                break;
            parts.push_back(At(j + 1).value);
            written += "." + At(j + 1).raw;
            j += 2;
        }
        return j;
    }

    // The index after the parenthesis that closes the one at k.
    size_t AfterParens(size_t k) const {
        int depth = 0;
        for (size_t j = k; j < t_.size(); ++j) {
            if (t_[j].Is('('))
                ++depth;
            else if (t_[j].Is(')') && --depth == 0)
                return j + 1;
        }
        return t_.size();
    }

    size_t SkipTop(size_t k) const {
        if (!At(k).IsWord("TOP"))
            return k;
        k = At(k + 1).Is('(') ? AfterParens(k + 1) : k + 2;
        return At(k).IsWord("PERCENT") ? k + 1 : k;
    }

    void Add(const std::vector<std::string>& parts, const std::string& written, int line,
             ReferenceKind kind) {
        out_.References.push_back({parts, written, line, kind});
    }

    // [AS] alias after a table source; returns the index after it.
    size_t Alias(size_t k) {
        size_t j = At(k).IsWord("AS") ? k + 1 : k;
        if (NameAt(j)) {
            out_.LocalNames.insert(UpperName(At(j).value));
            return j + 1;
        }
        return k;
    }

    // A table source after FROM, JOIN, USING or MERGE; `list` reads a comma-separated list.
    // Returns where the main scan goes on (inside a derived table or argument list).
    size_t TableSource(size_t k, bool list) {
        while (true) {
            if (At(k).Is('(') || !At(k).IsName()) {
                if (At(k).kind == SqlToken::Variable)
                    k = Alias(k + 1);
                else
                    return k;
            } else {
                std::vector<std::string> parts;
                std::string written;
                const size_t end = ReadName(k, parts, written);
                if (end == k)
                    return k;
                if (At(end).Is('(')) {
                    // A built-in rowset function (OPENQUERY, OPENROWSET, ...) has one part; a
                    // function of the catalog needs its schema.
                    if (parts.size() > 1)
                        Add(parts, written, At(k).line, ReferenceKind::Function);
                    return end; // its arguments are scanned; the alias follows the ')'
                }
                Add(parts, written, At(k).line, ReferenceKind::Object);
                k = Alias(end);
            }
            if (!list || !At(k).Is(','))
                return k;
            ++k;
        }
    }

    // One name as the target of INTO, UPDATE, DELETE, EXEC, REFERENCES.
    size_t Target(size_t k, ReferenceKind kind, bool created = false) {
        std::vector<std::string> parts;
        std::string written;
        const size_t end = ReadName(k, parts, written);
        if (end == k)
            return k;
        if (created)
            out_.CreatedObjects.push_back(parts);
        else
            Add(parts, written, At(k).line, kind);
        return end;
    }

    size_t Step(size_t i) {
        const SqlToken& t = t_[i];
        if (t.IsWord("FROM")) {
            const SqlToken& before = At(i - 1);
            if (i > 0 &&
                (before.IsWord("NEXT") || before.IsWord("PRIOR") || before.IsWord("FIRST") ||
                 before.IsWord("LAST") || before.IsWord("FETCH") ||
                 (i > 1 && (At(i - 2).IsWord("ABSOLUTE") || At(i - 2).IsWord("RELATIVE")))))
                return i + 1; // FETCH ... FROM cursor
            return TableSource(i + 1, true);
        }
        if (t.IsWord("JOIN"))
            return TableSource(i + 1, false);
        if (t.IsWord("USING") && lastVerb_ == "MERGE")
            return TableSource(i + 1, false);
        if (t.IsWord("INTO")) {
            const SqlToken& before = At(i - 1);
            if (i > 0 && (before.IsWord("INSERT") || before.IsWord("MERGE") ||
                          lastVerb_ == "INSERT" || lastVerb_ == "OUTPUT" || lastVerb_ == "MERGE"))
                return Target(i + 1, ReferenceKind::Object);
            if (lastVerb_ == "SELECT")
                return Target(i + 1, ReferenceKind::Object, true);
            return i + 1;
        }
        if (t.IsWord("INSERT")) {
            lastVerb_ = "INSERT";
            const size_t k = SkipTop(i + 1);
            if (At(k).IsWord("INTO"))
                return k;
            return Target(k, ReferenceKind::Object);
        }
        if (t.IsWord("UPDATE")) {
            lastVerb_ = "UPDATE";
            const SqlToken& next = At(i + 1);
            if (next.Is('(') || next.IsWord("STATISTICS") || next.IsWord("OF") ||
                next.IsWord("SET"))
                return i + 1;
            const size_t k = SkipTop(i + 1);
            return Target(k, ReferenceKind::Object);
        }
        if (t.IsWord("DELETE")) {
            lastVerb_ = "DELETE";
            const size_t k = SkipTop(i + 1);
            return Target(k, ReferenceKind::Object);
        }
        if (t.IsWord("MERGE")) {
            lastVerb_ = "MERGE";
            size_t k = SkipTop(i + 1);
            if (At(k).IsWord("INTO"))
                ++k;
            return TableSource(k, false);
        }
        if (t.IsWord("EXEC") || t.IsWord("EXECUTE")) {
            lastVerb_ = "EXEC";
            size_t k = i + 1;
            if (At(k).kind == SqlToken::Variable) {
                if (!At(k + 1).Is('='))
                    return k + 1; // EXEC @procedureName: known only at run time
                k += 2;
            }
            if (At(k).IsWord("AS") || At(k).Is('('))
                return k;
            return Target(k, ReferenceKind::Procedure);
        }
        if (t.IsWord("REFERENCES"))
            return Target(i + 1, ReferenceKind::Object);
        if (t.IsWord("SELECT") || t.IsWord("OUTPUT") || t.IsWord("FETCH")) {
            lastVerb_ = UpperName(t.raw);
            return i + 1;
        }
        if (t.IsWord("CREATE") || t.IsWord("ALTER"))
            return Create(i);
        if (t.IsWord("DECLARE") && NameAt(i + 1) && At(i + 2).IsWord("CURSOR")) {
            out_.LocalNames.insert(UpperName(At(i + 1).value));
            return i + 3;
        }
        if (t.Is(')')) {
            // The alias of a derived table or function result, or a column alias.
            const size_t j = At(i + 1).IsWord("AS") ? i + 2 : i + 1;
            if (NameAt(j)) {
                out_.LocalNames.insert(UpperName(At(j).value));
                return j + 1;
            }
            return i + 1;
        }
        if (t.IsName() && !IsReserved(t) && !At(i - 1).Is('.') && !At(i - 1).Is(':'))
            return NameInExpression(i);
        return i + 1;
    }

    // A name met anywhere else: a CTE being defined, a schema-qualified function call, or
    // nothing of interest (a column, a keyword we do not track).
    size_t NameInExpression(size_t i) {
        std::vector<std::string> parts;
        std::string written;
        const size_t end = ReadName(i, parts, written);
        // name [(columns)] AS ( : a common table expression.
        size_t k = end;
        if (parts.size() == 1 && At(k).Is('('))
            k = AfterParens(k);
        if (parts.size() == 1 && At(k).IsWord("AS") && At(k + 1).Is('(')) {
            out_.LocalNames.insert(UpperName(parts[0]));
            return end;
        }
        if (parts.size() >= 2 && At(end).Is('(') && !IsValueMethod(parts.back()))
            Add(parts, written, t_[i].line, ReferenceKind::Function);
        return end > i ? end : i + 1;
    }

    // CREATE/ALTER: the module's own name is no reference; a trigger's or index's table is; a
    // table created here is the module's own.
    size_t Create(size_t i) {
        size_t k = i + 1;
        if (At(k).IsWord("OR") && At(k + 1).IsWord("ALTER"))
            k += 2;
        std::vector<std::string> parts;
        std::string written;
        const SqlToken& what = At(k);
        if (what.IsWord("PROC") || what.IsWord("PROCEDURE") || what.IsWord("FUNCTION") ||
            what.IsWord("VIEW"))
            return ReadName(k + 1, parts, written);
        if (what.IsWord("TRIGGER")) {
            size_t j = ReadName(k + 1, parts, written);
            if (At(j).IsWord("ON") && !At(j + 1).IsWord("DATABASE") && !At(j + 1).IsWord("ALL"))
                j = Target(j + 1, ReferenceKind::Object);
            return j;
        }
        if (what.IsWord("TABLE")) {
            if (!At(i).IsWord("CREATE"))
                return k + 1; // ALTER TABLE names an existing table: scanned as any name
            return Target(k + 1, ReferenceKind::Object, true);
        }
        while (At(k).IsWord("UNIQUE") || At(k).IsWord("CLUSTERED") || At(k).IsWord("NONCLUSTERED"))
            ++k;
        if (At(k).IsWord("INDEX")) {
            size_t j = ReadName(k + 1, parts, written);
            if (At(j).IsWord("ON"))
                j = Target(j + 1, ReferenceKind::Object);
            return j;
        }
        return k;
    }

    std::vector<SqlToken> t_;
    ModuleReferences out_;
    std::string lastVerb_;
};

} // namespace

ModuleReferences FindModuleReferences(std::string_view text) {
    return Scanner(text).Run();
}

} // namespace orv
