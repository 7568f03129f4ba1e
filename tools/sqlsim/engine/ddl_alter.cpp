// ALTER TABLE ... ADD / ALTER COLUMN / DROP: the column changes a deployment script sends, with
// SQL Server's refusals, and the rows of the table kept across them. SQLite cannot change a
// column in place, so the table is copied into a new one of the new shape, rowids included.
#include "engine/ddl_parser.h"

#include <cctype>

namespace sqlsim::ddl {

namespace {

bool variableLength(SqlType t) {
    return t == SqlType::VarChar || t == SqlType::NVarChar || t == SqlType::VarBinary;
}

bool characterType(SqlType t) {
    return t == SqlType::Char || t == SqlType::VarChar || t == SqlType::NChar ||
           t == SqlType::NVarChar || t == SqlType::Text || t == SqlType::NText ||
           t == SqlType::UniqueIdentifier;
}

// Characters a value of the type holds; 0 when not a string type or (max).
int charLength(const ColType& t) {
    if (t.length < 0)
        return 0;
    if (t.sql == SqlType::NChar || t.sql == SqlType::NVarChar)
        return t.length / 2;
    if (t.sql == SqlType::Char || t.sql == SqlType::VarChar || t.sql == SqlType::Binary ||
        t.sql == SqlType::VarBinary)
        return t.length;
    return 0;
}

bool mentions(const std::string& text, const std::string& column) {
    std::string err;
    for (const Token& t : tokenize(text, err))
        if (t.isName() && iequals(t.name(), column))
            return true;
    return false;
}

} // namespace

std::string Ddl::sqliteColumn(const std::string& name, const ColType& type,
                              const std::string& sqliteDefault, const std::string& generated,
                              bool stored) {
    std::string sql = sqlId(name) + " " + type.sqliteDecl();
    if (characterType(type.sql))
        sql += " COLLATE NOCASE";
    if (!generated.empty())
        // A computed column is worked out as it is read, or kept with the row when PERSISTED.
        return sql + " GENERATED ALWAYS AS (" + generated + ") " + (stored ? "STORED" : "VIRTUAL");
    if (!sqliteDefault.empty())
        sql += " DEFAULT " + sqliteDefault;
    return sql;
}

void Ddl::rebuildTable(Catalog& cat, const ObjectRow& table,
                       const std::vector<RebuiltColumn>& cols) {
    // The table's own triggers (identity, checks, T-SQL triggers) go with the old table and
    // come back on the new one; one that read a dropped column cannot and stays away.
    std::vector<std::string> triggers;
    {
        Stmt st(cat.db(), "SELECT sql FROM " + sqlId(cat.schema()) +
                              ".sqlite_master WHERE type = 'trigger' AND tbl_name = ?");
        st.bind(1, table.sqliteName);
        while (st.step())
            triggers.push_back(st.text(0));
    }
    const std::string tmp = table.sqliteName + "#rebuild";
    std::string create = "CREATE TABLE " + cat.t(tmp) + " (";
    std::string names = "rowid", exprs = "rowid";
    for (size_t k = 0; k < cols.size(); ++k) {
        create += (k ? ", " : "") + sqliteColumn(cols[k].name, cols[k].type, cols[k].dflt,
                                                 cols[k].generated, cols[k].stored);
        if (!cols[k].generated.empty())
            continue; // worked out again in the new table
        names += ", " + sqlId(cols[k].name);
        exprs += ", " + cols[k].from;
    }
    Db::exec_on(cat.db(), create + ")");
    Db::exec_on(cat.db(), "INSERT INTO " + cat.t(tmp) + " (" + names + ") SELECT " + exprs +
                              " FROM " + cat.t(table.sqliteName) + " ORDER BY rowid");
    // Views over the table name it, not the copy: the legacy rename leaves them alone.
    Db::exec_on(cat.db(), "PRAGMA legacy_alter_table = ON");
    try {
        Db::exec_on(cat.db(), "DROP TABLE " + cat.t(table.sqliteName));
        Db::exec_on(cat.db(),
                    "ALTER TABLE " + cat.t(tmp) + " RENAME TO " + sqlId(table.sqliteName));
    } catch (...) {
        Db::exec_on(cat.db(), "PRAGMA legacy_alter_table = OFF");
        throw;
    }
    Db::exec_on(cat.db(), "PRAGMA legacy_alter_table = OFF");
    for (const auto& sql : triggers) {
        // Trigger texts are stored without their schema; they belong to the table's file.
        std::string qualified = sql;
        size_t at = qualified.find("TRIGGER ");
        if (at != std::string::npos && cat.schema() != "main")
            qualified.insert(at + 8, sqlId(cat.schema()) + ".");
        try {
            Db::exec_on(cat.db(), qualified);
        } catch (const SqliteError&) {
        }
    }
}

std::vector<Ddl::RebuiltColumn> Ddl::currentColumns(Catalog& cat, const ObjectRow& table) {
    std::vector<RebuiltColumn> out;
    std::map<std::string, std::string> defaults;
    {
        Stmt st(cat.db(), "SELECT name, dflt_value FROM pragma_table_info(?, ?)");
        st.bind(1, table.sqliteName).bind(2, cat.schema());
        while (st.step())
            // SQLite gives back an expression default without the parentheses it was made
            // with, and takes it back only inside them (getdate()'s strftime call).
            if (!st.isNull(1))
                defaults[lower(st.text(0))] = "(" + st.text(1) + ")";
    }
    std::map<int, std::pair<std::string, bool>> generated;
    {
        Stmt st(cat.db(), "SELECT column_id, sqlite_expr, is_persisted FROM " +
                              cat.t("sqlsim_computed") + " WHERE object_id = ?");
        st.bind(1, table.id);
        while (st.step())
            generated[static_cast<int>(st.integer(0))] = {st.text(1), st.integer(2) != 0};
    }
    for (const auto& c : cat.columns(table.id)) {
        RebuiltColumn r;
        r.name = c.name;
        r.type = c.type;
        r.dflt = defaults[lower(c.name)];
        r.from = sqlId(c.name);
        r.colid = c.colid;
        if (auto g = generated.find(c.colid); g != generated.end()) {
            r.generated = g->second.first;
            r.stored = g->second.second;
        }
        out.push_back(r);
    }
    return out;
}

bool Ddl::tableHasRows(Catalog& cat, const ObjectRow& table) {
    Stmt st(cat.db(), "SELECT 1 FROM " + cat.t(table.sqliteName) + " LIMIT 1");
    return st.step();
}

// ADD of one or more columns. Existing rows get NULL, or the default where SQL Server fills
// it in: for a NOT NULL column, and for any column whose default says WITH VALUES.
void Ddl::addColumns(Catalog& cat, const ObjectRow& table, std::vector<AddedColumn>& added) {
    auto cols = currentColumns(cat, table);
    const bool hasRows = tableHasRows(cat, table);
    {
        std::vector<ColumnDef> defs;
        for (const auto& a : added)
            defs.push_back(a.def);
        resolveComputed(defs, cat.columns(table.id));
        for (size_t k = 0; k < added.size(); ++k)
            added[k].def = defs[k];
    }
    int nextId = 0;
    for (const auto& c : cols)
        nextId = std::max(nextId, c.colid);
    for (auto& a : added) {
        for (const auto& c : cols)
            if (iequals(c.name, a.def.name))
                throw sqlError(2705, "Column names in each table must be unique. Column name '" +
                                         a.def.name + "' in table '" + table.name +
                                         "' is specified more than once.");
        bool hasDefault = false;
        std::string defaultText;
        for (const auto& k : a.cons)
            if (k.kind == "D") {
                hasDefault = true;
                defaultText = k.text;
            }
        if (!a.def.nullable && !hasDefault && !a.def.identity && a.def.computed.empty() &&
            !iequals(a.def.type.baseName, "timestamp")) {
            // ALTER TABLE's documented rule: a column that allows no NULLs needs a default
            // (or IDENTITY or timestamp) unless the table is empty. 2000 asks for it always.
            if (cat.major() <= 8)
                throw sqlError(4901, "ALTER TABLE only allows columns to be added that can "
                                     "contain nulls or have a DEFAULT definition specified. "
                                     "Column '" +
                                         a.def.name + "' cannot be added to table '" + table.name +
                                         "' because it does not allow nulls and does not "
                                         "specify a DEFAULT definition.");
            if (hasRows)
                throw sqlError(
                    4901,
                    "ALTER TABLE only allows columns to be added that can contain nulls, or have "
                    "a DEFAULT definition specified, or the column being added is an identity or "
                    "timestamp column, or alternatively if none of the previous conditions are "
                    "satisfied the table must be empty to allow addition of this column. Column "
                    "'" +
                        a.def.name + "' cannot be added to non-empty table '" + table.name +
                        "' because it does not satisfy these conditions.");
        }
        RebuiltColumn r;
        r.name = a.def.name;
        r.type = a.def.type;
        r.dflt = a.def.sqliteDefault;
        r.colid = ++nextId;
        r.from = "NULL";
        if (hasDefault && (!a.def.nullable || a.withValues)) {
            if (a.def.sqliteDefault.empty() && hasRows)
                throw notSupported("filling existing rows with the default " + defaultText);
            if (!a.def.sqliteDefault.empty())
                r.from = a.def.sqliteDefault;
        }
        r.generated = a.def.sqliteExpr;
        r.stored = a.def.persisted;
        if (a.def.identity)
            r.from = "(" + std::to_string(a.def.seed) + " + " + std::to_string(a.def.incr) +
                     " * (SELECT COUNT(*) FROM " + cat.t(table.sqliteName) + " o WHERE o.rowid < " +
                     cat.t(table.sqliteName) + ".rowid))";
        cols.push_back(r);
        ColumnRow row;
        row.name = a.def.name;
        row.colid = r.colid;
        row.type = a.def.type;
        row.nullable = a.def.nullable;
        row.identity = a.def.identity;
        row.computed = !a.def.computed.empty();
        cat.addColumn(table.id, row, 0, a.def.seed, a.def.incr);
        if (row.computed)
            recordComputed(cat, table.id, r.colid, a.def);
    }
    rebuildTable(cat, table, cols);
    for (auto& a : added) {
        if (a.def.identity) {
            identityTrigger(cat, table, a.def);
            Stmt st(cat.db(), "UPDATE " + cat.t("sqlsim_objects") +
                                  " SET ident_current = (SELECT MAX(" + sqlId(a.def.name) +
                                  ") FROM " + cat.t(table.sqliteName) + ") WHERE id = ?");
            st.bind(1, table.id);
            st.step();
        }
        for (auto& k : a.cons)
            addConstraint(cat, table, k);
    }
}

std::vector<std::string> Ddl::dependents(Catalog& cat, const ObjectRow& table, int colid,
                                         const std::string& column, const DependencyRule& allow) {
    std::vector<std::string> out;
    // Constraints, in the order they were made.
    Stmt objs(cat.db(), "SELECT id, name, xtype FROM " + cat.t("sysobjects") +
                            " WHERE parent_obj = ? AND xtype IN ('PK', 'UQ', 'F', 'C', 'D') "
                            "ORDER BY id");
    objs.bind(1, table.id);
    std::vector<std::tuple<int, std::string, std::string>> list;
    while (objs.step())
        list.emplace_back(static_cast<int>(objs.integer(0)), objs.text(1), objs.text(2));
    for (const auto& [id, name, xtype] : list) {
        bool uses = false;
        if (xtype == "PK" || xtype == "UQ") {
            Stmt k(cat.db(), "SELECT 1 FROM " + cat.t("sysindexkeys") + " k JOIN " +
                                 cat.t("sysindexes") +
                                 " i ON i.id = k.id AND i.indid = k.indid WHERE k.id = ? AND "
                                 "i.name = ? AND k.colid = ?");
            k.bind(1, table.id).bind(2, name).bind(3, colid);
            uses = k.step();
        } else if (xtype == "F") {
            Stmt k(cat.db(), "SELECT 1 FROM " + cat.t("sysforeignkeys") +
                                 " WHERE constid = ? AND fkeyid = ? AND fkey = ?");
            k.bind(1, id).bind(2, table.id).bind(3, colid);
            uses = k.step();
        } else if (xtype == "D") {
            Stmt k(cat.db(), "SELECT 1 FROM " + cat.t("syscolumns") +
                                 " WHERE id = ? AND colid = ? AND cdefault = ?");
            k.bind(1, table.id).bind(2, colid).bind(3, id);
            uses = k.step();
        } else {
            Stmt k(cat.db(),
                   "SELECT group_concat(text, '') FROM " + cat.t("syscomments") + " WHERE id = ?");
            k.bind(1, id);
            uses = k.step() && mentions(k.text(0), column);
        }
        if (uses && !allow(xtype))
            out.push_back("The object '" + name + "' is dependent on column '" + column + "'.");
    }
    // Computed columns whose expression reads this one.
    {
        Stmt k(cat.db(), "SELECT c.name, x.definition FROM " + cat.t("sqlsim_computed") +
                             " x JOIN " + cat.t("syscolumns") +
                             " c ON c.id = x.object_id AND c.colid = x.column_id WHERE "
                             "x.object_id = ? AND x.column_id != ? ORDER BY x.column_id");
        k.bind(1, table.id).bind(2, colid);
        while (k.step())
            if (mentions(k.text(1), column) && !allow("computed"))
                out.push_back("The column '" + k.text(0) + "' is dependent on column '" + column +
                              "'.");
    }
    // Schema-bound modules that use the column.
    {
        Stmt k(cat.db(), "SELECT o.name, m.definition FROM " + cat.t("sqlsim_bindings") +
                             " b JOIN " + cat.t("sysobjects") + " o ON o.id = b.module_id JOIN " +
                             cat.t("sqlsim_module_text") +
                             " m ON m.id = b.module_id WHERE b.object_id = ? ORDER BY o.id");
        k.bind(1, table.id);
        while (k.step())
            if (mentions(k.text(1), column) && !allow("bound"))
                out.push_back("The object '" + k.text(0) + "' is dependent on column '" + column +
                              "'.");
    }
    // Keys of other tables that point at this column.
    Stmt refs(cat.db(), "SELECT DISTINCT o.name FROM " + cat.t("sysforeignkeys") + " f JOIN " +
                            cat.t("sysobjects") +
                            " o ON o.id = f.constid WHERE f.rkeyid = ? AND f.rkey = ? AND "
                            "f.fkeyid != ? ORDER BY o.id");
    refs.bind(1, table.id).bind(2, colid).bind(3, table.id);
    while (refs.step())
        if (!allow("F"))
            out.push_back("The object '" + refs.text(0) + "' is dependent on column '" + column +
                          "'.");
    // Plain indexes and statistics.
    Stmt idx(cat.db(), "SELECT DISTINCT i.name, i.status FROM " + cat.t("sysindexes") + " i JOIN " +
                           cat.t("sysindexkeys") +
                           " k ON k.id = i.id AND k.indid = i.indid WHERE i.id = ? AND "
                           "k.colid = ? AND (i.status & 6144) = 0 ORDER BY i.indid");
    idx.bind(1, table.id).bind(2, colid);
    while (idx.step()) {
        const bool stats = (idx.integer(1) & kIdxStatistics) != 0;
        if (!allow(stats ? "STATS" : "INDEX"))
            out.push_back(std::string(stats ? "The statistics '" : "The index '") + idx.text(0) +
                          "' is dependent on column '" + column + "'.");
    }
    return out;
}

[[noreturn]] void Ddl::refuseDependents(const std::vector<std::string>& texts,
                                        const std::string& what, const std::string& column) {
    SqlError e = sqlError(4922,
                          "ALTER TABLE " + what + " " + column +
                              " failed because one or more objects access this column.",
                          9);
    for (const auto& t : texts) {
        ServerMessage m;
        m.number = 5074;
        m.state = 1;
        m.severity = 16;
        m.text = t;
        e.preceding.push_back(m);
    }
    throw e;
}

void Ddl::alterColumn(Catalog& cat, const ObjectRow& table, const std::string& db) {
    const std::string column = ident();
    ColType type = parseType(cat);
    std::optional<bool> nullable;
    if (accept("COLLATE"))
        ident();
    if (accept("NOT")) {
        expect("NULL");
        nullable = false;
    } else if (accept("NULL")) {
        nullable = true;
    }
    if (cur().kind != Token::Kind::End && !cur().isOp(";"))
        fail();
    auto cols = currentColumns(cat, table);
    auto all = cat.columns(table.id);
    auto it = std::find_if(all.begin(), all.end(),
                           [&](const ColumnRow& c) { return iequals(c.name, column); });
    if (it == all.end())
        throw sqlError(4924,
                       "ALTER TABLE ALTER COLUMN failed because column '" + column +
                           "' does not exist in table '" + table.name + "'.",
                       1);
    const ColumnRow old = *it;
    const bool sameType = iequals(old.type.baseName, type.baseName);
    // ALTER TABLE's documented limits on a column others depend on: an index allows a longer
    // varchar, nvarchar or varbinary only (never for a PRIMARY KEY); a CHECK or UNIQUE
    // constraint allows a new length of such a column; a default allows a new length,
    // precision or scale of the same type; a FOREIGN KEY allows nothing.
    const bool lengthOnly = sameType && variableLength(type.sql);
    const bool longer = lengthOnly && (type.length == -1 ||
                                       (old.type.length != -1 && type.length >= old.type.length));
    auto allow = [&](const std::string& kind) {
        if (kind == "INDEX" || kind == "STATS")
            return longer;
        if (kind == "C" || kind == "UQ")
            return lengthOnly;
        if (kind == "D")
            return sameType;
        return false;
    };
    auto deps = dependents(cat, table, old.colid, old.name, allow);
    if (!deps.empty())
        refuseDependents(deps, "ALTER COLUMN", old.name);
    // NULL or NOT NULL left out: the column allows NULLs (ALTER COLUMN does not keep NOT NULL).
    const bool allowsNull = nullable.value_or(true) && !old.identity;
    const std::string src = cat.t(table.sqliteName);
    if (!allowsNull) {
        Stmt st(cat.db(),
                "SELECT 1 FROM " + src + " WHERE " + sqlId(old.name) + " IS NULL LIMIT 1");
        if (st.step()) {
            SqlError e = sqlError(515,
                                  "Cannot insert the value NULL into column '" + old.name +
                                      "', table '" + db + "." + cat.namespaceName(table.uid) + "." +
                                      table.name + "'; column does not allow nulls. UPDATE fails.",
                                  2);
            throw e;
        }
    }
    if (int len = charLength(type); len > 0 && len < charLength(old.type) + (old.type.length < 0)) {
        const bool binary = type.sql == SqlType::Binary || type.sql == SqlType::VarBinary;
        Stmt st(cat.db(), "SELECT 1 FROM " + src + " WHERE " +
                              (binary ? "length(CAST(" + sqlId(old.name) + " AS BLOB))"
                                      : "length(" + sqlId(old.name) + ")") +
                              " > " + std::to_string(len) + " LIMIT 1");
        if (st.step())
            throw sqlError(8152, "String or binary data would be truncated.", 13);
    }
    for (auto& c : cols)
        if (c.colid == old.colid) {
            c.type = type;
            c.from = sqlId(old.name);
        }
    Stmt cd(cat.db(),
            "SELECT cdefault FROM " + cat.t("syscolumns") + " WHERE id = ? AND colid = ?");
    cd.bind(1, table.id).bind(2, old.colid);
    const int cdefault = cd.step() ? static_cast<int>(cd.integer(0)) : 0;
    cd.reset();
    Db::exec_on(cat.db(), "DELETE FROM " + cat.t("syscolumns") +
                              " WHERE id = " + std::to_string(table.id) +
                              " AND colid = " + std::to_string(old.colid));
    ColumnRow row = old;
    row.type = type;
    row.nullable = allowsNull;
    auto ident = cat.identity(table.id);
    cat.addColumn(table.id, row, cdefault,
                  old.identity && ident ? std::optional<long long>(ident->first) : std::nullopt,
                  old.identity && ident ? std::optional<long long>(ident->second) : std::nullopt);
    rebuildTable(cat, table, cols);
}

void Ddl::dropColumns(Catalog& cat, const ObjectRow& table, const std::vector<std::string>& names) {
    auto cols = currentColumns(cat, table);
    auto all = cat.columns(table.id);
    for (const auto& n : names) {
        auto it = std::find_if(all.begin(), all.end(),
                               [&](const ColumnRow& c) { return iequals(c.name, n); });
        if (it == all.end())
            throw sqlError(4924,
                           "ALTER TABLE DROP COLUMN failed because column '" + n +
                               "' does not exist in table '" + table.name + "'.",
                           1);
        auto deps =
            dependents(cat, table, it->colid, it->name, [](const std::string&) { return false; });
        if (!deps.empty())
            refuseDependents(deps, "DROP COLUMN", it->name);
        cols.erase(std::remove_if(cols.begin(), cols.end(),
                                  [&](const RebuiltColumn& c) { return c.colid == it->colid; }),
                   cols.end());
        // SQL Server leaves the other columns' ids as they were.
        Db::exec_on(cat.db(), "DELETE FROM " + cat.t("syscolumns") +
                                  " WHERE id = " + std::to_string(table.id) +
                                  " AND colid = " + std::to_string(it->colid));
        Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysindexkeys") +
                                  " WHERE id = " + std::to_string(table.id) +
                                  " AND colid = " + std::to_string(it->colid));
        Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sqlsim_computed") +
                                  " WHERE object_id = " + std::to_string(table.id) +
                                  " AND column_id = " + std::to_string(it->colid));
        Db::exec_on(cat.db(), "DELETE FROM " + cat.t("syscomments") +
                                  " WHERE id = " + std::to_string(table.id) +
                                  " AND number = " + std::to_string(it->colid));
        all.erase(it);
    }
    if (cols.empty())
        throw sqlError(4923, "ALTER TABLE DROP COLUMN failed because '" + names.back() +
                                 "' is the only data column in table '" + table.name +
                                 "'. A table must have at least one data column.");
    rebuildTable(cat, table, cols);
}

} // namespace sqlsim::ddl
