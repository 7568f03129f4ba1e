// The DDL statement reader: one object per statement, which parses the tokens and writes
// the catalog rows SQL Server would keep.
#pragma once

#include "engine/errors.h"
#include "engine/integrity.h"
#include "engine/session.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sqlsim::ddl {

struct QualifiedName {
    std::string db, schema, name;
    std::string written;
};

struct ConstraintDef {
    std::string kind; // PK, UQ, F, C, D
    std::string name;
    std::optional<bool> clustered;
    std::vector<std::string> columns;
    QualifiedName refTable;
    std::vector<std::string> refColumns;
    std::string text;   // CHECK / DEFAULT expression as written
    std::string column; // column a column-level constraint belongs to
    bool hypothetical = false;
    // FOREIGN KEY: ON DELETE / ON UPDATE; F and C: NOT FOR REPLICATION.
    RefAction onDelete = RefAction::NoAction;
    RefAction onUpdate = RefAction::NoAction;
    bool notForReplication = false;
};

struct ColumnDef {
    std::string name;
    ColType type;
    bool nullable = true;
    bool explicitNull = false;
    bool identity = false;
    long long seed = 1, incr = 1;
    std::string sqliteDefault;
    // A computed column: its definition as SQL Server keeps it (in parentheses), the tokens of
    // its expression, PERSISTED, and the SQLite expression of the generated column.
    std::string computed;
    size_t exprBegin = 0, exprEnd = 0;
    bool persisted = false;
    std::string sqliteExpr;
};

class Ddl {
public:
    Ddl(SessionImpl& s, const std::string& text, const std::vector<Token>& toks)
        : s_(s), text_(text), t_(toks) {}

    void run();
    // The tables (SQLite schema, object id) whose definitions the statement read or changed.
    const std::vector<std::pair<std::string, int>>& touchedTables() const { return touched_; }

private:
    const Token& tok(size_t k) const { return t_[std::min(k, t_.size() - 1)]; }
    const Token& cur() const { return tok(i_); }
    bool accept(const char* w) {
        if (cur().is(w)) {
            ++i_;
            return true;
        }
        return false;
    }
    bool acceptOp(const char* op) {
        if (cur().isOp(op)) {
            ++i_;
            return true;
        }
        return false;
    }
    void expect(const char* w) {
        if (!accept(w))
            fail();
    }
    void expectOp(const char* op) {
        if (!acceptOp(op))
            fail();
    }
    [[noreturn]] void fail() const {
        if (cur().kind == Token::Kind::End && i_ > 0)
            throw syntaxNear(tok(i_ - 1));
        throw syntaxNear(cur());
    }
    std::string ident() {
        if (!cur().isName())
            fail();
        return t_[i_++].name();
    }
    QualifiedName qname();
    std::vector<std::string> columnList(bool allowOrder);
    std::string source(size_t from, size_t to) const {
        if (from >= to)
            return {};
        return text_.substr(t_[from].begin, t_[to - 1].end - t_[from].begin);
    }
    // Skips a parenthesised group starting at the current '('.
    size_t skipGroup();

    Catalog catalogFor(const QualifiedName& q);
    int namespaceFor(Catalog& cat, const QualifiedName& q);
    void ensureFree(Catalog& cat, const std::string& name, int ns);
    ObjectRow tableFor(Catalog& cat, const QualifiedName& q, bool allowView);
    ColType parseType(Catalog& cat);

    void createDatabase();
    void createSchema();
    void createUser();
    void createType();
    void createTable();
    void createIndex(bool unique, std::optional<bool> clustered);
    void createStatistics();
    void createModule(bool alter);
    void alterTable();
    void switchConstraints(Catalog& cat, const QualifiedName& q, const ObjectRow& table,
                           bool verify);
    void switchTriggers(Catalog& cat, const ObjectRow& table, bool disable);
    void drop();

    ColumnDef columnDef(Catalog& cat, std::vector<ConstraintDef>& cons);
    // name AS expression [PERSISTED]: reads the expression (ddl_computed.cpp).
    void computedColumn(ColumnDef& c);
    // Gives the computed columns of `cols` their type and SQLite expression; their expressions
    // may name any other column of `cols` or of `existing`.
    void resolveComputed(std::vector<ColumnDef>& cols, const std::vector<ColumnRow>& existing);
    // The catalog rows of a computed column: its text in syscomments, under the table's id and
    // the column's, and the row sys.computed_columns reads.
    void recordComputed(Catalog& cat, int tableId, int colid, const ColumnDef& c);
    ConstraintDef tableConstraint(const std::string& name);
    void referentialActions(ConstraintDef& c);
    bool notForReplication();
    // `verify` (WITH CHECK, the default): the rows already in the table must keep a new
    // FOREIGN KEY or CHECK, which is then trusted; WITH NOCHECK adds it untrusted.
    void addConstraint(Catalog& cat, const ObjectRow& table, ConstraintDef c, bool verify = true);
    std::string autoName(const std::string& prefix, const std::string& table,
                         const std::string& column, int id) const;
    void createSqliteTable(Catalog& cat, const ObjectRow& table,
                           const std::vector<ColumnDef>& cols);

    // A column of a table being copied into its new shape: its declaration and the SQLite
    // expression over the old table that gives its value.
    struct RebuiltColumn {
        std::string name;
        ColType type;
        std::string dflt;
        std::string from;
        int colid = 0;
        std::string generated; // a computed column's SQLite expression
        bool stored = false;
    };
    struct AddedColumn {
        ColumnDef def;
        std::vector<ConstraintDef> cons;
        bool withValues = false;
    };
    using DependencyRule = std::function<bool(const std::string& kind)>;
    static std::string sqliteColumn(const std::string& name, const ColType& type,
                                    const std::string& sqliteDefault,
                                    const std::string& generated = {}, bool stored = false);
    void identityTrigger(Catalog& cat, const ObjectRow& table, const ColumnDef& c);
    void rebuildTable(Catalog& cat, const ObjectRow& table, const std::vector<RebuiltColumn>& cols);
    std::vector<RebuiltColumn> currentColumns(Catalog& cat, const ObjectRow& table);
    bool tableHasRows(Catalog& cat, const ObjectRow& table);
    void addColumns(Catalog& cat, const ObjectRow& table, std::vector<AddedColumn>& added);
    void alterColumn(Catalog& cat, const ObjectRow& table, const std::string& db);
    void dropColumns(Catalog& cat, const ObjectRow& table, const std::vector<std::string>& names);
    void dropConstraint(Catalog& cat, const ObjectRow& table, const std::string& name);
    // The texts of 5074 for what depends on a column, less what `allow` lets through.
    // Records whether the module just made is schema-bound and, when it is (`bodyAs` is the
    // position of the AS that starts its body, 0 when it is not bound), what it is bound to.
    void bindToSchema(Catalog& cat, int moduleId, size_t bodyAs);
    // Records what the module's body from token `from` on names (sysdepends and
    // sys.sql_expression_dependencies read it); `ns` is the module's own schema.
    void recordDependencies(Catalog& cat, int moduleId, int ns, size_t from);
    // DROP refused as SQL Server refuses it: a table other tables' foreign keys point at
    // (3726), an object a schema-bound module is bound to (3729).
    void refuseDropOfReferenced(Catalog& cat, const ObjectRow& obj, const std::string& what,
                                const QualifiedName& q);
    std::vector<std::string> dependents(Catalog& cat, const ObjectRow& table, int colid,
                                        const std::string& column, const DependencyRule& allow);
    [[noreturn]] void refuseDependents(const std::vector<std::string>& texts,
                                       const std::string& what, const std::string& column);

    SessionImpl& s_;
    const std::string& text_;
    const std::vector<Token>& t_;
    size_t i_ = 0;
    std::vector<std::pair<std::string, int>> touched_;
    // The ordinal of the column whose type is being read, which message 2715 gives.
    int typePosition_ = 1;
    // The table a CREATE TABLE or ALTER TABLE works on, which some messages name.
    std::string tableName_;
};

} // namespace sqlsim::ddl
