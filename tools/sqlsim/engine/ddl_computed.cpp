// Computed columns: `name AS expression [PERSISTED]` in CREATE TABLE and ALTER TABLE ADD. The
// column becomes a SQLite generated column over the translated expression, takes the type SQL
// Server derives from the expression, and is kept in the catalog as SQL Server keeps it.
#include "engine/ddl_parser.h"
#include "engine/expression_type.h"

namespace sqlsim::ddl {

namespace {

// SQL Server keeps the definition in parentheses: "(a * b)" whether or not they were written.
std::string parenthesised(const std::vector<Token>& t, size_t from, size_t to,
                          const std::string& text) {
    if (to > from + 1 && t[from].isOp("(") && t[to - 1].isOp(")")) {
        int depth = 0;
        for (size_t k = from; k < to; ++k) {
            if (t[k].isOp("("))
                ++depth;
            else if (t[k].isOp(")") && --depth == 0)
                return k == to - 1 ? text : "(" + text + ")";
        }
    }
    return "(" + text + ")";
}

} // namespace

void Ddl::computedColumn(ColumnDef& c) {
    expect("AS");
    const size_t from = i_;
    int depth = 0;
    while (cur().kind != Token::Kind::End) {
        if (depth == 0 && (cur().isOp(",") || cur().isOp(")") || cur().isOp(";") ||
                           cur().is("PERSISTED") || cur().is("CONSTRAINT") || cur().is("PRIMARY") ||
                           cur().is("UNIQUE") || cur().is("CHECK") || cur().is("FOREIGN") ||
                           cur().is("REFERENCES") || (cur().is("NOT") && tok(i_ + 1).is("NULL"))))
            break;
        if (cur().isOp("("))
            ++depth;
        else if (cur().isOp(")"))
            --depth;
        ++i_;
    }
    if (i_ == from)
        fail();
    c.exprBegin = from;
    c.exprEnd = i_;
    c.computed = parenthesised(t_, from, i_, source(from, i_));
    c.persisted = accept("PERSISTED");
}

void Ddl::resolveComputed(std::vector<ColumnDef>& cols, const std::vector<ColumnRow>& existing) {
    const ColumnTypeLookup lookup = [&](const std::string& name) -> std::optional<ColType> {
        // Another computed column is no operand: SQL Server refuses one computed column over
        // another (1759).
        for (const ColumnDef& c : cols)
            if (iequals(c.name, name) && c.computed.empty())
                return c.type;
        for (const ColumnRow& c : existing)
            if (iequals(c.name, name) && !c.computed)
                return c.type;
        return std::nullopt;
    };
    for (ColumnDef& c : cols) {
        if (c.computed.empty())
            continue;
        for (size_t k = c.exprBegin; k < c.exprEnd; ++k) {
            if (!t_[k].isName() || (t_[k].kind == Token::Kind::Word && isReservedWord(t_[k].value)))
                continue;
            bool computedOperand = false;
            for (const ColumnDef& o : cols)
                computedOperand |= &o != &c && !o.computed.empty() && iequals(o.name, t_[k].name());
            for (const ColumnRow& o : existing)
                computedOperand |= o.computed && iequals(o.name, t_[k].name());
            if (computedOperand)
                throw sqlError(1759,
                               "Computed column '" + c.name + "' in table '" + tableName_ +
                                   "' is not allowed to be used in another computed-column "
                                   "definition.",
                               1);
        }
        c.type = expressionType(t_, c.exprBegin, c.exprEnd, lookup);
        // NOT NULL needs PERSISTED ("Only UNIQUE or PRIMARY KEY constraints can be created on
        // computed columns, ...").
        if (c.explicitNull && !c.nullable && !c.persisted)
            throw sqlError(8183,
                           "Only UNIQUE or PRIMARY KEY constraints can be created on computed "
                           "columns, while CHECK, FOREIGN KEY, and NOT NULL constraints require "
                           "that computed columns be persisted.",
                           1);
        if (!c.explicitNull)
            c.nullable = true;
        // The expression reads the row's own columns, so it translates without any table.
        std::vector<Token> sub(t_.begin() + static_cast<long>(c.exprBegin),
                               t_.begin() + static_cast<long>(c.exprEnd));
        sub.push_back(t_.back());
        Translator tr(sub, s_);
        c.sqliteExpr = tr.expression(0, sub.size() - 1);
    }
}

void Ddl::recordComputed(Catalog& cat, int tableId, int colid, const ColumnDef& c) {
    Stmt text(cat.db(), "INSERT INTO " + cat.t("syscomments") +
                            " (id, number, colid, status, ctext, texttype, language, encrypted, "
                            "compressed, text) VALUES (?, ?, 1, 0, ?, 2, 0, 0, 0, ?)");
    text.bind(1, tableId).bind(2, colid).bindBlob(3, c.computed).bind(4, c.computed);
    text.step();
    Stmt row(cat.db(), "INSERT INTO " + cat.t("sqlsim_computed") +
                           " (object_id, column_id, definition, is_persisted, sqlite_expr) "
                           "VALUES (?, ?, ?, ?, ?)");
    row.bind(1, tableId).bind(2, colid).bind(3, c.computed).bind(4, c.persisted ? 1 : 0);
    row.bind(5, c.sqliteExpr);
    row.step();
}

} // namespace sqlsim::ddl
