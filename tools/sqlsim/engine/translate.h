// Turns the T-SQL statements the program and the fixtures use into SQLite SQL: names are
// resolved against the SQL Server catalog, TOP becomes LIMIT, `alias = expr` becomes
// `expr AS alias`, and T-SQL functions map onto functions registered with SQLite.
#pragma once

#include "engine/tokens.h"
#include "engine/types.h"

#include <optional>
#include <string>
#include <vector>

namespace sqlsim {

struct ResolvedTable {
    std::string sqlRef; // schema-qualified, quoted SQLite name
    std::string alias;  // the name a column may be qualified with when no alias is given
    int objectId = 0;
};

class NameResolver {
public:
    virtual ~NameResolver() = default;
    // parts: [server.][db.][schema.]name, empty strings for omitted middle parts.
    virtual ResolvedTable resolveTable(const std::vector<std::string>& parts,
                                       const std::string& written) = 0;
    virtual int major() const = 0;
    // The columns an INSERT without a column list fills: all but the identity column.
    virtual std::vector<std::string> insertColumns(const ResolvedTable& table) = 0;
    // The built-in type underneath a column of the table (an alias type's base type), with the
    // scale of time, datetime2 and datetimeoffset (conversionType); empty when the table or the
    // column is unknown.
    virtual std::string columnBaseType(const ResolvedTable& table, const std::string& column) {
        (void)table;
        (void)column;
        return "";
    }
    // A string constant compared with a datetime of `type`, in the stored form; throws the
    // conversion error (241, 242) for a string that is no such value. Empty: convert at run time.
    virtual std::string dateConstant(const std::string& type, const std::string& text) {
        (void)type;
        (void)text;
        return "";
    }
    // Every column of the table in order, with its built-in type underneath (conversionType),
    // or kComputedColumn for a computed column, which no statement may write.
    virtual std::vector<std::pair<std::string, std::string>>
    columnBaseTypes(const ResolvedTable& table) {
        (void)table;
        return {};
    }
};

inline constexpr const char* kComputedColumn = "(computed)";

// One result column as far as the text tells: its name as SQL Server reports it and, for
// expressions, the type SQL Server would give it.
struct ColumnHint {
    std::optional<std::string> name; // nullopt: take SQLite's (a plain column reference)
    std::optional<ColType> type;
};

struct Translated {
    std::string sql;
    std::vector<ColumnHint> columns; // empty when the list holds a `*`
    bool star = false;
};

class Translator {
public:
    Translator(const std::vector<Token>& toks, NameResolver& resolver) : t_(toks), r_(resolver) {}

    // A SELECT statement (with UNIONs) from tokens[i, end).
    Translated select(size_t i, size_t end);
    // INSERT / UPDATE / DELETE.
    std::string insert(size_t i, size_t end, ResolvedTable* target,
                       std::vector<std::string>* columnNames);
    std::string update(size_t i, size_t end, ResolvedTable* target = nullptr);
    std::string remove(size_t i, size_t end, ResolvedTable* target = nullptr);
    // A standalone expression (DEFAULT values, SET @x = ..., IF conditions).
    std::string expression(size_t i, size_t end);
    // Wraps a value written to a column of `baseType` in the conversion the write needs.
    static std::string storedAs(const std::string& baseType, const std::string& value);

private:
    const Token& tok(size_t i) const { return t_[std::min(i, t_.size() - 1)]; }
    Translated query(size_t& i, size_t end, bool top);
    std::string selectCore(size_t& i, size_t end, Translated& out, std::string& limit);
    std::string fromClause(size_t& i, size_t end);
    // The right side of a join, which may carry joins of its own whose ON clauses come first:
    // A JOIN B JOIN C ON b_c ON a_b.
    std::string joinRight(size_t& i, size_t end);
    std::string tableRef(size_t& i, size_t end);
    // A system table-valued function in FROM (fn_listextendedproperty) as a derived table;
    // nullopt, with `i` unmoved, for anything else.
    std::optional<std::string> systemTableFunction(size_t& i, size_t end);
    std::string expr(size_t& i, size_t end, bool stopAtComma, bool inParens);
    std::string functionCall(size_t& i, size_t end, std::optional<ColType>* hint);
    std::string rowNumber(size_t& i, size_t end, std::optional<ColType>* hint);
    // HASHBYTES over a row's length-prefixed columns as one native call (translate_row_hash);
    // `i` is after "HASHBYTES (" and moves past the call only when it matches.
    std::optional<std::string> rowHash(size_t& i, size_t end);
    std::string name(size_t& i, std::vector<std::string>* parts, std::string* written);
    std::optional<ColType> typeSpec(size_t& i, size_t end, std::string* text);
    bool clauseStop(size_t i) const;
    [[noreturn]] void fail(size_t i) const;

    // MIN and MAX over a column of text, ntext or image are refused once the FROM clause has
    // said which tables the column may belong to (selectCore).
    struct OrderedColumn {
        std::string function; // "min" or "max"
        std::vector<std::string> parts;
    };
    struct ScopeTable {
        ResolvedTable table;
        std::string alias;
    };
    void checkOrderedColumns() const;
    // UPDATE and DELETE with a FROM clause of their own (the T-SQL extension).
    size_t topLevelWord(size_t i, size_t end, const char* word) const;
    // The table of the FROM clause that the statement's target names, by its alias or, when it
    // has none, by its own name; nullopt when the target is a table of its own.
    std::optional<ScopeTable> targetInFrom(const std::vector<std::string>& parts,
                                           const ResolvedTable* resolved) const;
    std::string whereAfterFrom(size_t& i, size_t end);
    // The date or time type ("datetime", "date", "datetime2(3)", ...) of a column of that type
    // in the tables of the current FROM clause (or the UPDATE or DELETE target), else "".
    std::string columnDateType(const std::vector<std::string>& parts) const;

    const std::vector<Token>& t_;
    NameResolver& r_;
    std::vector<OrderedColumn> orderedColumns_;
    std::vector<ScopeTable> scopeTables_;
    bool rowHashed_ = false; // rowHash() matched since the innermost derived table began
};

// The T-SQL function names the translator knows; others raise error 195.
bool isKnownFunction(const std::string& upperName);

} // namespace sqlsim
