// CREATE / ALTER / DROP: builds the catalog rows SQL Server would keep for each object, and
// the SQLite tables and views that hold the data.
#include "engine/errors.h"
#include "engine/session.h"

#include <cstdio>

namespace sqlsim {

namespace {

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
};

struct ColumnDef {
    std::string name;
    ColType type;
    bool nullable = true;
    bool explicitNull = false;
    bool identity = false;
    long long seed = 1, incr = 1;
    std::string sqliteDefault;
};

class Ddl {
public:
    Ddl(SessionImpl& s, const std::string& text, const std::vector<Token>& toks)
        : s_(s), text_(text), t_(toks) {}

    void run();

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
    void drop();

    ColumnDef columnDef(Catalog& cat, std::vector<ConstraintDef>& cons);
    ConstraintDef tableConstraint(const std::string& name);
    void addConstraint(Catalog& cat, const ObjectRow& table, ConstraintDef c);
    std::string autoName(const std::string& prefix, const std::string& table,
                         const std::string& column, int id) const;
    void createSqliteTable(Catalog& cat, const ObjectRow& table,
                           const std::vector<ColumnDef>& cols);

    SessionImpl& s_;
    const std::string& text_;
    const std::vector<Token>& t_;
    size_t i_ = 0;
};

QualifiedName Ddl::qname() {
    QualifiedName q;
    std::vector<std::string> parts;
    size_t start = i_;
    parts.push_back(ident());
    while (acceptOp(".")) {
        if (cur().isOp(".")) {
            parts.push_back("");
            continue;
        }
        parts.push_back(ident());
    }
    if (parts.size() > 3)
        fail();
    q.name = parts.back();
    if (parts.size() >= 2)
        q.schema = parts[parts.size() - 2];
    if (parts.size() == 3)
        q.db = parts[0];
    for (size_t k = start; k < i_; ++k)
        q.written += t_[k].isOp(".") ? "." : t_[k].name();
    return q;
}

std::vector<std::string> Ddl::columnList(bool allowOrder) {
    std::vector<std::string> cols;
    expectOp("(");
    while (true) {
        cols.push_back(ident());
        if (allowOrder && (accept("ASC") || accept("DESC"))) {
        }
        if (!acceptOp(","))
            break;
    }
    expectOp(")");
    return cols;
}

size_t Ddl::skipGroup() {
    int depth = 0;
    do {
        if (cur().isOp("("))
            ++depth;
        else if (cur().isOp(")"))
            --depth;
        else if (cur().kind == Token::Kind::End)
            fail();
        ++i_;
    } while (depth > 0);
    return i_;
}

Catalog Ddl::catalogFor(const QualifiedName& q) {
    if (q.db.empty())
        return s_.catalog();
    auto schema = s_.schemaFor(q.db);
    if (!schema)
        throw sqlError(911, "Database '" + q.db +
                                "' does not exist. Make sure that the name is entered correctly.");
    return s_.catalog(*schema);
}

int Ddl::namespaceFor(Catalog& cat, const QualifiedName& q) {
    if (q.schema.empty())
        return cat.defaultNamespace();
    auto ns = cat.namespaceId(q.schema);
    if (!ns) {
        if (cat.major() <= 8)
            throw sqlError(2760,
                           "Specified owner name '" + q.schema +
                               "' either does not exist or you do not have permission to use it.");
        throw sqlError(2760,
                       "The specified schema name \"" + q.schema +
                           "\" either does not exist or you do not have permission to use it.");
    }
    return *ns;
}

void Ddl::ensureFree(Catalog& cat, const std::string& name, int ns) {
    if (cat.findObject(name, ns))
        throw sqlError(2714, "There is already an object named '" + name + "' in the database.", 6);
}

ObjectRow Ddl::tableFor(Catalog& cat, const QualifiedName& q, bool allowView) {
    auto ns = q.schema.empty() ? std::optional<int>(1) : cat.namespaceId(q.schema);
    std::optional<ObjectRow> obj;
    if (ns)
        obj = cat.findObject(q.name, ns);
    if (!obj || !(obj->xtype == "U" || (allowView && obj->xtype == "V")))
        throw invalidObject(q.written);
    return *obj;
}

ColType Ddl::parseType(Catalog& cat) {
    QualifiedName q = qname();
    std::vector<std::string> args;
    if (acceptOp("(")) {
        while (!cur().isOp(")")) {
            if (cur().kind == Token::Kind::End)
                fail();
            if (!cur().isOp(","))
                args.push_back(cur().text);
            ++i_;
        }
        ++i_;
    }
    if (auto b = makeBuiltinType(q.name, args))
        return *b;
    if (auto u = cat.userType(q.name))
        return *u;
    throw sqlError(2715, "Column, parameter, or variable #1: Cannot find data type " + q.name + ".",
                   6);
}

std::string Ddl::autoName(const std::string& prefix, const std::string& table,
                          const std::string& column, int id) const {
    char hex[32];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(id));
    std::string suffix = hex;
    if (s_.major() > 8 && prefix == "PK") {
        char more[32];
        std::snprintf(more, sizeof more, "%08X", static_cast<unsigned>(id) * 2654435761u);
        suffix += more;
    }
    std::string n =
        prefix + "__" + table.substr(0, prefix == "PK" || prefix == "UQ" ? 12 : 9) + "__";
    if (!column.empty())
        n += column.substr(0, 5) + "__";
    return n + suffix;
}

void Ddl::run() {
    if (accept("CREATE")) {
        if (accept("DATABASE"))
            return createDatabase();
        if (accept("SCHEMA"))
            return createSchema();
        if (accept("USER"))
            return createUser();
        if (accept("LOGIN")) {
            ident();
            return; // logins are the wire side's business (--login)
        }
        if (accept("TYPE"))
            return createType();
        if (accept("TABLE"))
            return createTable();
        if (accept("STATISTICS"))
            return createStatistics();
        bool unique = accept("UNIQUE");
        std::optional<bool> clustered;
        if (accept("CLUSTERED"))
            clustered = true;
        else if (accept("NONCLUSTERED"))
            clustered = false;
        if (accept("INDEX"))
            return createIndex(unique, clustered);
        if (unique || clustered)
            fail();
        if (cur().is("VIEW") || cur().is("PROC") || cur().is("PROCEDURE") || cur().is("FUNCTION") ||
            cur().is("TRIGGER"))
            return createModule(false);
        if (cur().is("DEFAULT") || cur().is("RULE"))
            throw notSupported("CREATE " + cur().value);
        fail();
    }
    if (accept("ALTER")) {
        if (accept("TABLE"))
            return alterTable();
        if (cur().is("VIEW") || cur().is("PROC") || cur().is("PROCEDURE") || cur().is("FUNCTION") ||
            cur().is("TRIGGER"))
            return createModule(true);
        throw notSupported("ALTER " + cur().text);
    }
    if (accept("DROP"))
        return drop();
    fail();
}

void Ddl::createDatabase() {
    std::string name = ident();
    // File placement options (ON PRIMARY ..., LOG ON ...) have no meaning here.
    s_.engine().createDatabase(name);
}

void Ddl::createSchema() {
    std::string name = ident();
    std::string owner = "dbo";
    if (accept("AUTHORIZATION"))
        owner = ident();
    Catalog cat = s_.catalog();
    if (cat.major() <= 8) {
        // SQL Server 2000 has owners only: a schema is the user that owns the objects.
        if (!cat.userId(name))
            cat.addUser(name, false);
        return;
    }
    if (cat.namespaceId(name))
        throw sqlError(2714, "There is already an object named '" + name + "' in the database.", 6);
    auto principal = cat.userId(owner);
    cat.addNamespace(name, principal ? *principal : 1);
}

void Ddl::createUser() {
    std::string name = ident();
    std::string defaultSchema;
    while (cur().kind != Token::Kind::End) {
        if (accept("DEFAULT_SCHEMA")) {
            expectOp("=");
            defaultSchema = ident();
            continue;
        }
        ++i_;
    }
    Catalog cat = s_.catalog();
    if (cat.userId(name))
        throw sqlError(15023, "User, group, or role '" + name +
                                  "' already exists in the current database.");
    cat.addUser(name, true);
}

void Ddl::createType() {
    QualifiedName q = qname();
    Catalog cat = catalogFor(q);
    if (!accept("FROM"))
        throw notSupported("table types and CLR types");
    ColType base = parseType(cat);
    bool allowNulls = true;
    if (accept("NOT")) {
        expect("NULL");
        allowNulls = false;
    } else {
        accept("NULL");
    }
    int ns = namespaceFor(cat, q);
    if (cat.userType(q.name) || findBuiltin(q.name))
        throw sqlError(219, "The type '" + q.name +
                                "' already exists, or you do not have permission to create it.");
    cat.addUserType(q.name, base, allowNulls, ns);
}

ColumnDef Ddl::columnDef(Catalog& cat, std::vector<ConstraintDef>& cons) {
    ColumnDef c;
    c.name = ident();
    if (cur().is("AS"))
        throw notSupported("computed columns");
    c.type = parseType(cat);
    c.nullable = c.type.nullableDefault;
    while (true) {
        if (accept("COLLATE")) {
            ident();
            continue;
        }
        if (accept("IDENTITY")) {
            c.identity = true;
            c.nullable = false;
            if (acceptOp("(")) {
                bool neg = acceptOp("-");
                c.seed = std::stoll(cur().text) * (neg ? -1 : 1);
                ++i_;
                expectOp(",");
                neg = acceptOp("-");
                c.incr = std::stoll(cur().text) * (neg ? -1 : 1);
                ++i_;
                expectOp(")");
            }
            continue;
        }
        if (accept("NOT")) {
            if (accept("FOR")) {
                expect("REPLICATION");
                continue;
            }
            expect("NULL");
            c.nullable = false;
            c.explicitNull = true;
            continue;
        }
        if (accept("NULL")) {
            c.nullable = true;
            c.explicitNull = true;
            continue;
        }
        if (accept("ROWGUIDCOL"))
            continue;
        std::string cname;
        if (accept("CONSTRAINT"))
            cname = ident();
        if (accept("DEFAULT")) {
            size_t from = i_;
            if (cur().isOp("("))
                skipGroup();
            else
                ++i_;
            ConstraintDef d;
            d.kind = "D";
            d.name = cname;
            d.column = c.name;
            d.text = source(from, i_);
            // Constant defaults also apply when rows are inserted here.
            std::string inner = d.text;
            while (inner.size() > 2 && inner.front() == '(' && inner.back() == ')')
                inner = inner.substr(1, inner.size() - 2);
            std::string li = lower(inner);
            if (li == "getdate()" || li == "current_timestamp")
                c.sqliteDefault = "(strftime('%Y-%m-%d %H:%M:%f','now','localtime'))";
            else if (!inner.empty() &&
                     (inner[0] == '\'' || std::isdigit(static_cast<unsigned char>(inner[0])) ||
                      inner[0] == '-' || inner[0] == '.'))
                c.sqliteDefault = inner;
            else if (inner.size() > 1 && (inner[0] == 'N' || inner[0] == 'n') && inner[1] == '\'')
                c.sqliteDefault = inner.substr(1);
            cons.push_back(d);
            continue;
        }
        if (cur().is("PRIMARY") || cur().is("UNIQUE")) {
            ConstraintDef k;
            k.kind = accept("UNIQUE") ? "UQ" : (i_ += 2, "PK");
            k.name = cname;
            if (accept("CLUSTERED"))
                k.clustered = true;
            else if (accept("NONCLUSTERED"))
                k.clustered = false;
            k.columns = {c.name};
            k.column = c.name;
            if (k.kind == "PK")
                c.nullable = false;
            while (accept("WITH")) {
                if (cur().isOp("("))
                    skipGroup();
                else
                    ++i_;
            }
            if (accept("ON"))
                ident();
            cons.push_back(k);
            continue;
        }
        if (cur().is("FOREIGN") || cur().is("REFERENCES")) {
            if (accept("FOREIGN"))
                expect("KEY");
            expect("REFERENCES");
            ConstraintDef f;
            f.kind = "F";
            f.name = cname;
            f.columns = {c.name};
            f.column = c.name;
            f.refTable = qname();
            if (cur().isOp("("))
                f.refColumns = columnList(false);
            while (accept("ON")) {
                if (!accept("DELETE"))
                    expect("UPDATE");
                if (!accept("CASCADE") && !(accept("NO") && accept("ACTION"))) {
                    expect("SET");
                    if (!accept("NULL"))
                        expect("DEFAULT");
                }
            }
            if (accept("NOT")) {
                expect("FOR");
                expect("REPLICATION");
            }
            cons.push_back(f);
            continue;
        }
        if (accept("CHECK")) {
            if (accept("NOT")) {
                expect("FOR");
                expect("REPLICATION");
            }
            size_t from = i_;
            skipGroup();
            ConstraintDef k;
            k.kind = "C";
            k.name = cname;
            k.column = c.name;
            k.text = source(from, i_);
            cons.push_back(k);
            continue;
        }
        if (!cname.empty())
            fail();
        break;
    }
    return c;
}

ConstraintDef Ddl::tableConstraint(const std::string& name) {
    ConstraintDef k;
    k.name = name;
    if (accept("PRIMARY")) {
        expect("KEY");
        k.kind = "PK";
    } else if (accept("UNIQUE")) {
        k.kind = "UQ";
    } else if (accept("FOREIGN")) {
        expect("KEY");
        k.kind = "F";
        k.columns = columnList(false);
        expect("REFERENCES");
        k.refTable = qname();
        if (cur().isOp("("))
            k.refColumns = columnList(false);
        while (accept("ON")) {
            if (!accept("DELETE"))
                expect("UPDATE");
            if (!accept("CASCADE") && !(accept("NO") && accept("ACTION"))) {
                expect("SET");
                if (!accept("NULL"))
                    expect("DEFAULT");
            }
        }
        if (accept("NOT")) {
            expect("FOR");
            expect("REPLICATION");
        }
        return k;
    } else if (accept("CHECK")) {
        k.kind = "C";
        if (accept("NOT")) {
            expect("FOR");
            expect("REPLICATION");
        }
        size_t from = i_;
        skipGroup();
        k.text = source(from, i_);
        return k;
    } else if (accept("DEFAULT")) {
        k.kind = "D";
        size_t from = i_;
        if (cur().isOp("("))
            skipGroup();
        else
            ++i_;
        k.text = source(from, i_);
        expect("FOR");
        k.column = ident();
        return k;
    } else {
        fail();
    }
    if (accept("CLUSTERED"))
        k.clustered = true;
    else if (accept("NONCLUSTERED"))
        k.clustered = false;
    k.columns = columnList(true);
    while (accept("WITH")) {
        if (cur().isOp("("))
            skipGroup();
        else
            ++i_;
    }
    if (accept("ON"))
        ident();
    return k;
}

void Ddl::addConstraint(Catalog& cat, const ObjectRow& table, ConstraintDef c) {
    auto cols = cat.columns(table.id);
    auto colid = [&](const std::string& name, const ObjectRow& tbl,
                     const std::vector<ColumnRow>& list) {
        for (const auto& col : list)
            if (iequals(col.name, name))
                return col.colid;
        (void)tbl;
        throw sqlError(1911,
                       "Column name '" + name + "' does not exist in the target table or view.", 1);
    };
    int id = cat.newObjectId();
    std::string name = c.name;
    if (name.empty()) {
        std::string col = c.kind == "PK" || c.kind == "UQ"         ? ""
                          : c.column.empty() && !c.columns.empty() ? c.columns[0]
                                                                   : c.column;
        std::string prefix = c.kind == "C"   ? "CK"
                             : c.kind == "D" ? "DF"
                             : c.kind == "F" ? "FK"
                                             : c.kind;
        name = autoName(prefix, table.name, col, id);
    }
    if (cat.findObject(name, table.uid))
        throw sqlError(2714, "There is already an object named '" + name + "' in the database.", 6);
    // The id was reserved above so that the generated name carries it, as SQL Server's do.
    std::string now = nowDateTime();
    {
        Stmt st(cat.db(), "INSERT INTO " + cat.t("sysobjects") +
                              " (name, id, xtype, uid, info, status, base_schema_ver, replinfo, "
                              "parent_obj, crdate, ftcatid, schema_ver, stats_schema_ver, type, "
                              "userstat, sysstat, indexdel, refdate, version, deltrig, instrig, "
                              "updtrig, seltrig, category, cache) VALUES (?, ?, ?, ?, 0, 0, 0, 0, "
                              "?, ?, 0, 0, 0, ?, 0, 0, 0, ?, 0, 0, 0, 0, 0, 0, 0)");
        st.bind(1, name).bind(2, id).bind(3, c.kind).bind(4, table.uid).bind(5, table.id);
        st.bind(6, now).bind(7, c.kind).bind(8, now);
        st.step();
        Stmt x(cat.db(), "INSERT INTO " + cat.t("sqlsim_objects") +
                             " (id, sqlite_name, is_ms_shipped) VALUES (?, NULL, 0)");
        x.bind(1, id);
        x.step();
    }
    if (c.kind == "PK" || c.kind == "UQ") {
        bool clustered = c.clustered.value_or(c.kind == "PK" && !cat.hasClustered(table.id));
        if (clustered && cat.hasClustered(table.id))
            throw sqlError(1902,
                           "Cannot create more than one clustered index on table '" + table.name +
                               "'. Drop the existing clustered index before "
                               "creating another.",
                           3);
        std::vector<int> ids;
        for (const auto& n : c.columns)
            ids.push_back(colid(n, table, cols));
        int status = kIdxUnique | (clustered ? kIdxClustered : 0) |
                     (c.kind == "PK" ? kIdxPrimaryKey : kIdxUniqueConstraint);
        int indid = clustered ? 1 : cat.nextIndexId(table.id);
        if (clustered)
            cat.dropHeapRow(table.id);
        cat.addIndex(table.id, indid, name, status, ids);
        if (c.kind == "PK") {
            Stmt st(cat.db(),
                    "UPDATE " + cat.t("syscolumns") +
                        " SET isnullable = 0, status = status & ~8 WHERE id = ? AND colid = ?");
            for (int k : ids) {
                st.reset();
                st.bind(1, table.id).bind(2, k);
                st.step();
            }
        }
    } else if (c.kind == "F") {
        Catalog refCat = c.refTable.db.empty() ? cat : catalogFor(c.refTable);
        auto ns = c.refTable.schema.empty() ? std::optional<int>(1)
                                            : refCat.namespaceId(c.refTable.schema);
        std::optional<ObjectRow> ref;
        if (ns)
            ref = refCat.findObject(c.refTable.name, ns);
        if (!ref || ref->xtype != "U")
            throw sqlError(1767, "Foreign key '" + name + "' references invalid table '" +
                                     c.refTable.written + "'.");
        auto refCols = refCat.columns(ref->id);
        // Without a column list the key points at the referenced table's primary key.
        int rkeyIndid = 0;
        std::vector<int> rkeys;
        if (c.refColumns.empty()) {
            Stmt st(cat.db(), "SELECT i.indid FROM " + cat.t("sysindexes") +
                                  " i WHERE i.id = ? AND (i.status & 2048) != 0");
            st.bind(1, ref->id);
            if (!st.step())
                throw sqlError(1773, "Foreign key '" + name +
                                         "' has implicit reference to object '" + ref->name +
                                         "' which does not have a primary key defined on it.");
            rkeyIndid = static_cast<int>(st.integer(0));
            Stmt k(cat.db(), "SELECT colid FROM " + cat.t("sysindexkeys") +
                                 " WHERE id = ? AND indid = ? ORDER BY keyno");
            k.bind(1, ref->id).bind(2, rkeyIndid);
            while (k.step())
                rkeys.push_back(static_cast<int>(k.integer(0)));
        } else {
            for (const auto& n : c.refColumns)
                rkeys.push_back(colid(n, *ref, refCols));
            Stmt st(cat.db(), "SELECT indid, group_concat(colid) FROM (SELECT indid, colid FROM " +
                                  cat.t("sysindexkeys") +
                                  " WHERE id = ? ORDER BY indid, keyno) GROUP BY indid");
            st.bind(1, ref->id);
            std::string want;
            for (size_t k = 0; k < rkeys.size(); ++k)
                want += (k ? "," : "") + std::to_string(rkeys[k]);
            while (st.step())
                if (st.text(1) == want) {
                    rkeyIndid = static_cast<int>(st.integer(0));
                    break;
                }
            if (!rkeyIndid)
                throw sqlError(1776, "There are no primary or candidate keys in the referenced "
                                     "table '" +
                                         ref->name +
                                         "' that match the referencing column "
                                         "list in the foreign key '" +
                                         name + "'.");
        }
        std::vector<int> fkeys;
        for (const auto& n : c.columns)
            fkeys.push_back(colid(n, table, cols));
        if (fkeys.size() != rkeys.size())
            throw sqlError(8139, "Number of referencing columns in foreign key differs from "
                                 "number of referenced columns, table '" +
                                     table.name + "'.");
        cat.addReference(id, table.id, ref->id, rkeyIndid, fkeys, rkeys);
    } else if (c.kind == "C") {
        cat.addComments(id, c.text, false);
    } else if (c.kind == "D") {
        int cid = colid(c.column, table, cols);
        cat.addComments(id, c.text, false);
        cat.setColumnDefault(table.id, cid, id);
    }
}

void Ddl::createSqliteTable(Catalog& cat, const ObjectRow& table,
                            const std::vector<ColumnDef>& cols) {
    std::string sql = "CREATE TABLE " + cat.t(table.sqliteName) + " (";
    for (size_t k = 0; k < cols.size(); ++k) {
        const ColumnDef& c = cols[k];
        sql += (k ? ", " : "") + sqlId(c.name) + " " + c.type.sqliteDecl();
        SqlType st = c.type.sql;
        if (st == SqlType::Char || st == SqlType::VarChar || st == SqlType::NChar ||
            st == SqlType::NVarChar || st == SqlType::Text || st == SqlType::NText ||
            st == SqlType::UniqueIdentifier)
            sql += " COLLATE NOCASE";
        if (!c.sqliteDefault.empty())
            sql += " DEFAULT " + c.sqliteDefault;
    }
    sql += ")";
    Db::exec_on(cat.db(), sql);
    for (const auto& c : cols) {
        if (!c.identity)
            continue;
        std::string idStr = std::to_string(table.id);
        std::string trig =
            "CREATE TRIGGER " + sqlId(cat.schema()) + "." + sqlId("sqlsim_identity_" + idStr) +
            " AFTER INSERT ON " + sqlId(table.sqliteName) + " FOR EACH ROW WHEN NEW." +
            sqlId(c.name) +
            " IS NULL BEGIN UPDATE sqlsim_objects SET ident_current = "
            "CASE WHEN ident_current IS NULL THEN ident_seed ELSE ident_current + ident_incr END "
            "WHERE id = " +
            idStr + "; UPDATE " + sqlId(table.sqliteName) + " SET " + sqlId(c.name) +
            " = (SELECT ident_current FROM sqlsim_objects WHERE id = " + idStr +
            ") WHERE rowid = NEW.rowid; END";
        Db::exec_on(cat.db(), trig);
        Stmt st(cat.db(), "UPDATE " + cat.t("sqlsim_objects") +
                              " SET ident_seed = ?, ident_incr = ? WHERE id = ?");
        st.bind(1, c.seed).bind(2, c.incr).bind(3, table.id);
        st.step();
    }
}

void Ddl::createTable() {
    QualifiedName q = qname();
    Catalog cat = catalogFor(q);
    int ns = namespaceFor(cat, q);
    ensureFree(cat, q.name, ns);
    expectOp("(");
    std::vector<ColumnDef> cols;
    std::vector<ConstraintDef> cons;
    while (true) {
        if (cur().is("CONSTRAINT") || cur().is("PRIMARY") || cur().is("UNIQUE") ||
            cur().is("FOREIGN") || cur().is("CHECK")) {
            std::string cname;
            if (accept("CONSTRAINT"))
                cname = ident();
            cons.push_back(tableConstraint(cname));
        } else {
            cols.push_back(columnDef(cat, cons));
        }
        if (acceptOp(","))
            continue;
        if (cur().isOp(")"))
            break;
        fail();
    }
    expectOp(")");
    while (accept("ON") || accept("TEXTIMAGE_ON"))
        ident();
    if (cur().kind != Token::Kind::End && !cur().isOp(";"))
        fail();
    if (cols.empty())
        fail();
    std::string nsName = cat.namespaceName(ns);
    std::string sqliteName = nsName + "." + q.name;
    int id = cat.addObject(q.name, "U", ns, 0, sqliteName);
    ObjectRow table{id, q.name, "U", ns, 0, sqliteName};
    for (size_t k = 0; k < cols.size(); ++k) {
        for (size_t j = 0; j < k; ++j)
            if (iequals(cols[j].name, cols[k].name))
                throw sqlError(2705, "Column names in each table must be unique. Column name '" +
                                         cols[k].name + "' in table '" + q.name +
                                         "' is specified more than once.");
        ColumnRow r;
        r.name = cols[k].name;
        r.colid = static_cast<int>(k + 1);
        r.type = cols[k].type;
        r.nullable = cols[k].nullable;
        r.identity = cols[k].identity;
        // A PRIMARY KEY makes its columns NOT NULL.
        for (const auto& c : cons)
            if (c.kind == "PK")
                for (const auto& n : c.columns)
                    if (iequals(n, r.name))
                        r.nullable = false;
        cat.addColumn(id, r, 0, cols[k].seed, cols[k].incr);
    }
    createSqliteTable(cat, table, cols);
    // Keys first, so that foreign keys (also to this very table) find their target index.
    for (const auto& c : cons)
        if (c.kind != "F")
            addConstraint(cat, table, c);
    if (!cat.hasClustered(id))
        cat.addHeapRow(id, q.name);
    if (cat.major() <= 8) {
        bool blob = false;
        for (const auto& c : cols)
            blob |= c.type.sql == SqlType::Text || c.type.sql == SqlType::NText ||
                    c.type.sql == SqlType::Image;
        if (blob)
            cat.addIndex(id, 255, "t" + q.name, 0, {});
    }
    for (const auto& c : cons)
        if (c.kind == "F")
            addConstraint(cat, table, c);
}

void Ddl::alterTable() {
    QualifiedName q = qname();
    Catalog cat = catalogFor(q);
    ObjectRow table = tableFor(cat, q, false);
    if (accept("WITH")) {
        if (!accept("CHECK"))
            expect("NOCHECK");
    }
    if (accept("NOCHECK") || accept("CHECK")) {
        expect("CONSTRAINT");
        return; // enabling or disabling constraints changes nothing this server checks
    }
    if (accept("ADD")) {
        while (true) {
            if (cur().is("CONSTRAINT") || cur().is("PRIMARY") || cur().is("UNIQUE") ||
                cur().is("FOREIGN") || cur().is("CHECK") || cur().is("DEFAULT")) {
                std::string cname;
                if (accept("CONSTRAINT"))
                    cname = ident();
                ConstraintDef c = tableConstraint(cname);
                addConstraint(cat, table, c);
            } else {
                std::vector<ConstraintDef> cons;
                ColumnDef c = columnDef(cat, cons);
                auto existing = cat.columns(table.id);
                ColumnRow r;
                r.name = c.name;
                r.colid = existing.empty() ? 1 : existing.back().colid + 1;
                r.type = c.type;
                r.nullable = c.nullable;
                r.identity = c.identity;
                cat.addColumn(table.id, r, 0, c.seed, c.incr);
                std::string sql = "ALTER TABLE " + cat.t(table.sqliteName) + " ADD COLUMN " +
                                  sqlId(c.name) + " " + c.type.sqliteDecl();
                if (!c.sqliteDefault.empty())
                    sql += " DEFAULT " + c.sqliteDefault;
                Db::exec_on(cat.db(), sql);
                for (auto& k : cons)
                    addConstraint(cat, table, k);
            }
            if (!acceptOp(","))
                break;
        }
        if (cur().kind != Token::Kind::End && !cur().isOp(";"))
            fail();
        if (cat.hasClustered(table.id))
            cat.dropHeapRow(table.id);
        return;
    }
    if (accept("DROP")) {
        expect("CONSTRAINT");
        std::string name = ident();
        auto obj = cat.findObject(name, table.uid);
        if (!obj || obj->parent != table.id)
            throw sqlError(3728, "'" + name + "' is not a constraint.");
        Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysobjects") +
                                  " WHERE id = " + std::to_string(obj->id));
        Db::exec_on(cat.db(), "DELETE FROM " + cat.t("syscomments") +
                                  " WHERE id = " + std::to_string(obj->id));
        Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysreferences") +
                                  " WHERE constid = " + std::to_string(obj->id));
        Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysforeignkeys") +
                                  " WHERE constid = " + std::to_string(obj->id));
        Db::exec_on(cat.db(), "UPDATE " + cat.t("syscolumns") +
                                  " SET cdefault = 0 WHERE cdefault = " + std::to_string(obj->id));
        Stmt idx(cat.db(),
                 "SELECT indid FROM " + cat.t("sysindexes") + " WHERE id = ? AND name = ?");
        idx.bind(1, table.id).bind(2, obj->name);
        if (idx.step()) {
            std::string ind = std::to_string(idx.integer(0));
            Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysindexes") + " WHERE id = " +
                                      std::to_string(table.id) + " AND indid = " + ind);
            Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysindexkeys") + " WHERE id = " +
                                      std::to_string(table.id) + " AND indid = " + ind);
            if (!cat.hasClustered(table.id)) {
                Stmt heap(cat.db(),
                          "SELECT 1 FROM " + cat.t("sysindexes") + " WHERE id = ? AND indid = 0");
                heap.bind(1, table.id);
                if (!heap.step())
                    cat.addHeapRow(table.id, table.name);
            }
        }
        return;
    }
    throw notSupported("this form of ALTER TABLE");
}

void Ddl::createIndex(bool unique, std::optional<bool> clustered) {
    std::string name = ident();
    expect("ON");
    QualifiedName q = qname();
    Catalog cat = catalogFor(q);
    ObjectRow table = tableFor(cat, q, true);
    auto cols = columnList(true);
    bool hypothetical = false;
    if (accept("INCLUDE"))
        columnList(false);
    if (accept("WHERE"))
        throw notSupported("filtered indexes");
    if (accept("WITH")) {
        size_t from = i_;
        if (cur().isOp("("))
            skipGroup();
        else
            while (cur().kind != Token::Kind::End && !cur().is("ON"))
                ++i_;
        for (size_t k = from; k < i_; ++k)
            if (t_[k].is("STATISTICS_ONLY"))
                hypothetical = true;
    }
    if (accept("ON"))
        ident();
    {
        Stmt st(cat.db(), "SELECT 1 FROM " + cat.t("sysindexes") + " WHERE id = ? AND name = ?");
        st.bind(1, table.id).bind(2, name);
        if (st.step())
            throw sqlError(1913, "The operation failed because an index or statistics with name '" +
                                     name + "' already exists on table '" + q.written + "'.");
    }
    if (table.xtype == "V" && !(unique && clustered.value_or(false)) && !cat.hasClustered(table.id))
        throw sqlError(1939, "Cannot create index on view '" + table.name +
                                 "' because the view is not schema bound.");
    bool isClustered = clustered.value_or(false) && !hypothetical;
    if (isClustered && cat.hasClustered(table.id))
        throw sqlError(1902,
                       "Cannot create more than one clustered index on table '" + q.written +
                           "'. Drop the existing clustered index before "
                           "creating another.",
                       3);
    std::vector<int> ids;
    auto list = cat.columns(table.id);
    for (const auto& n : cols) {
        int found = 0;
        for (const auto& c : list)
            if (iequals(c.name, n))
                found = c.colid;
        if (!found)
            throw sqlError(1911,
                           "Column name '" + n + "' does not exist in the target table or view.");
        ids.push_back(found);
    }
    int status = (unique ? kIdxUnique : 0) | (isClustered ? kIdxClustered : 0) |
                 (hypothetical ? kIdxHypothetical : 0);
    int indid = isClustered ? 1 : cat.nextIndexId(table.id);
    if (isClustered)
        cat.dropHeapRow(table.id);
    cat.addIndex(table.id, indid, name, status, ids);
}

void Ddl::createStatistics() {
    std::string name = ident();
    expect("ON");
    QualifiedName q = qname();
    Catalog cat = catalogFor(q);
    ObjectRow table = tableFor(cat, q, true);
    auto cols = columnList(false);
    std::vector<int> ids;
    auto list = cat.columns(table.id);
    for (const auto& n : cols) {
        int found = 0;
        for (const auto& c : list)
            if (iequals(c.name, n))
                found = c.colid;
        if (!found)
            throw sqlError(1911,
                           "Column name '" + n + "' does not exist in the target table or view.");
        ids.push_back(found);
    }
    cat.addIndex(table.id, cat.nextIndexId(table.id), name, kIdxStatistics, ids);
}

void Ddl::createModule(bool alter) {
    std::string kind = cur().value;
    ++i_;
    QualifiedName q = qname();
    Catalog cat = catalogFor(q);
    std::string xtype = kind == "VIEW"       ? "V"
                        : kind == "TRIGGER"  ? "TR"
                        : kind == "FUNCTION" ? "FN"
                                             : "P";
    if (xtype == "P" && acceptOp(";"))
        ++i_; // numbered procedure group
    int ns = namespaceFor(cat, q);
    int parent = 0;
    size_t headerEnd = t_.size() - 1;
    if (xtype == "TR") {
        expect("ON");
        if (cur().is("DATABASE") || cur().is("ALL"))
            throw notSupported("DDL triggers");
        QualifiedName tq = qname();
        ObjectRow table = tableFor(cat, tq, true);
        parent = table.id;
        ns = table.uid;
    }
    // The header runs up to the AS that starts the body; options such as WITH ENCRYPTION sit there.
    bool encrypted = false;
    size_t bodyAs = 0;
    int depth = 0;
    for (size_t k = i_; k < headerEnd; ++k) {
        const Token& t = t_[k];
        if (t.isOp("("))
            ++depth;
        else if (t.isOp(")"))
            --depth;
        if (depth != 0)
            continue;
        if (xtype == "FN" && t.is("RETURNS")) {
            const Token& n = t_[k + 1];
            if (n.is("TABLE"))
                xtype = "IF";
            else if (n.kind == Token::Kind::Variable)
                xtype = "TF";
        }
        if (t.is("ENCRYPTION"))
            encrypted = true;
        if (t.is("AS") && !(xtype == "P" && k + 1 < headerEnd &&
                            t_[k - 1].kind == Token::Kind::Variable && false)) {
            // Procedure parameters may be written "@p AS int"; those follow a variable.
            if (k > 0 && t_[k - 1].kind == Token::Kind::Variable)
                continue;
            if (xtype == "TF" && t_[k - 1].isOp(")") == false && t_[k - 1].is("TABLE"))
                continue;
            bodyAs = k;
            break;
        }
    }
    if (!bodyAs && xtype != "TR")
        fail();
    std::optional<ObjectRow> existing = cat.findObject(q.name, ns);
    if (alter) {
        if (!existing)
            throw invalidObject(q.written);
        xtype = existing->xtype;
    } else if (existing) {
        throw sqlError(2714, "There is already an object named '" + q.name + "' in the database.",
                       6);
    }
    std::string sqliteName;
    if (xtype == "V") {
        sqliteName = cat.namespaceName(ns) + "." + q.name;
        // The view also runs here; translate its SELECT into a SQLite view.
        size_t sel = bodyAs + 1;
        size_t selEnd = t_.size() - 1;
        for (size_t k = sel; k + 2 < t_.size(); ++k)
            if (t_[k].is("WITH") && t_[k + 1].is("CHECK") && t_[k + 2].is("OPTION"))
                selEnd = k;
        std::vector<Token> sub(t_.begin() + static_cast<long>(sel),
                               t_.begin() + static_cast<long>(selEnd));
        sub.push_back(t_.back());
        std::string sql;
        s_.viewMode = true;
        try {
            Translator tr(sub, s_);
            sql = tr.select(0, sub.size() - 1).sql;
        } catch (const SqlError& e) {
            // A view this server cannot run is still catalogued; only reading it fails.
            if (e.msg.number != 50000) {
                s_.viewMode = false;
                throw;
            }
            sql.clear();
        } catch (...) {
            s_.viewMode = false;
            throw;
        }
        s_.viewMode = false;
        if (alter)
            Db::exec_on(cat.db(), "DROP VIEW IF EXISTS " + cat.t(sqliteName));
        if (sql.empty())
            sqliteName.clear();
        else
            Db::exec_on(cat.db(), "CREATE VIEW " + cat.t(sqliteName) + " AS " + sql);
        if (alter) {
            Stmt up(cat.db(),
                    "UPDATE " + cat.t("sqlsim_objects") + " SET sqlite_name = ? WHERE id = ?");
            if (sqliteName.empty())
                up.bindNull(1);
            else
                up.bind(1, sqliteName);
            up.bind(2, existing->id);
            up.step();
        }
    }
    int id;
    if (alter) {
        id = existing->id;
        Db::exec_on(cat.db(),
                    "DELETE FROM " + cat.t("syscomments") + " WHERE id = " + std::to_string(id));
        if (cat.major() > 8)
            Db::exec_on(cat.db(), "UPDATE " + cat.t("sysobjects") + " SET refdate = '" +
                                      nowDateTime() + "' WHERE id = " + std::to_string(id));
        if (xtype == "V")
            Db::exec_on(cat.db(),
                        "DELETE FROM " + cat.t("syscolumns") + " WHERE id = " + std::to_string(id));
    } else {
        id = cat.addObject(q.name, xtype, ns, parent, sqliteName);
    }
    // SQL Server keeps the whole batch, comments and blank lines before CREATE included.
    cat.addComments(id, text_, encrypted);
    if (xtype == "V" && !sqliteName.empty()) {
        Stmt probe(cat.db(), "SELECT * FROM " + cat.t(sqliteName) + " LIMIT 0");
        int n = sqlite3_column_count(probe.get());
        for (int c = 0; c < n; ++c) {
            ColumnRow r;
            r.name = sqlite3_column_name(probe.get(), c);
            r.colid = c + 1;
            if (auto o = s_.originColumn(probe.get(), c)) {
                r.type = o->type;
                r.nullable = o->nullable;
            } else if (const char* d = sqlite3_column_decltype(probe.get(), c); d && parseDecl(d)) {
                r.type = *parseDecl(d);
            } else {
                r.type = *makeBuiltinType("int", {});
            }
            cat.addColumn(id, r, 0, std::nullopt, std::nullopt);
        }
    }
    if (xtype == "TR" && cat.major() <= 8 && !alter) {
        // SQL Server 2000 records the first trigger of each kind on its table.
        std::string body = upper(source(i_, bodyAs ? bodyAs : t_.size() - 1));
        for (const auto& [word, col] : {std::pair<const char*, const char*>{"INSERT", "instrig"},
                                        {"UPDATE", "updtrig"},
                                        {"DELETE", "deltrig"}})
            if (body.find(word) != std::string::npos)
                Db::exec_on(cat.db(), "UPDATE " + cat.t("sysobjects") + " SET " + col + " = " +
                                          std::to_string(id) + " WHERE id = " +
                                          std::to_string(parent) + " AND " + col + " = 0");
    }
}

void Ddl::drop() {
    std::string what = cur().value;
    ++i_;
    if (what == "INDEX" || what == "STATISTICS") {
        while (true) {
            QualifiedName q = qname();
            std::string indexName;
            QualifiedName tq;
            if (accept("ON")) {
                indexName = q.name;
                tq = qname();
            } else {
                indexName = q.name;
                tq.name = q.schema;
                tq.written = q.schema;
                if (!q.db.empty()) {
                    tq.schema = q.db;
                    tq.written = q.db + "." + q.schema;
                }
            }
            Catalog cat = catalogFor(tq);
            ObjectRow table = tableFor(cat, tq, true);
            Stmt st(cat.db(), "SELECT indid, status FROM " + cat.t("sysindexes") +
                                  " WHERE id = ? AND name = ?");
            st.bind(1, table.id).bind(2, indexName);
            if (!st.step())
                throw sqlError(3701,
                               "Cannot drop the index '" + tq.written + "." + indexName +
                                   "', because it does not exist or you do not have permission.",
                               7, 11);
            if (st.integer(1) & (kIdxPrimaryKey | kIdxUniqueConstraint))
                throw sqlError(3723,
                               "An explicit DROP INDEX is not allowed on index '" + tq.written +
                                   "." + indexName +
                                   "'. It is being used for PRIMARY KEY constraint enforcement.");
            std::string ind = std::to_string(st.integer(0));
            std::string tid = std::to_string(table.id);
            Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysindexes") + " WHERE id = " + tid +
                                      " AND indid = " + ind);
            Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysindexkeys") + " WHERE id = " + tid +
                                      " AND indid = " + ind);
            if (ind == "1")
                cat.addHeapRow(table.id, table.name);
            if (!acceptOp(","))
                break;
        }
        return;
    }
    if (what == "DATABASE" || what == "SCHEMA" || what == "USER" || what == "TYPE" ||
        what == "LOGIN")
        throw notSupported("DROP " + what);
    std::string xt = what == "TABLE"                           ? "U"
                     : what == "VIEW"                          ? "V"
                     : what == "TRIGGER"                       ? "TR"
                     : what == "FUNCTION"                      ? "FN"
                     : (what == "PROC" || what == "PROCEDURE") ? "P"
                                                               : "";
    if (xt.empty())
        fail();
    while (true) {
        QualifiedName q = qname();
        Catalog cat = catalogFor(q);
        auto ns = q.schema.empty() ? std::optional<int>(1) : cat.namespaceId(q.schema);
        std::optional<ObjectRow> obj;
        if (ns)
            obj = cat.findObject(q.name, ns);
        bool kindOk =
            obj && (obj->xtype == xt || (xt == "FN" && (obj->xtype == "IF" || obj->xtype == "TF")));
        if (!kindOk) {
            std::string word = what == "PROC" ? "procedure" : lower(what);
            throw sqlError(3701,
                           "Cannot drop the " + word + " '" + q.written +
                               "', because it does not exist or you do not have permission.",
                           5, 11);
        }
        std::string id = std::to_string(obj->id);
        std::string children =
            "(SELECT id FROM " + cat.t("sysobjects") + " WHERE parent_obj = " + id + ")";
        for (const char* tbl : {"syscomments", "sqlsim_objects"})
            Db::exec_on(cat.db(), "DELETE FROM " + cat.t(tbl) + " WHERE id IN " + children +
                                      " OR id = " + id);
        for (const char* tbl : {"syscolumns", "sysindexes", "sysindexkeys"})
            Db::exec_on(cat.db(), "DELETE FROM " + cat.t(tbl) + " WHERE id = " + id);
        Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysreferences") + " WHERE fkeyid = " + id);
        Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysforeignkeys") + " WHERE fkeyid = " + id);
        Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysobjects") + " WHERE parent_obj = " + id +
                                  " OR id = " + id);
        if (xt == "U")
            Db::exec_on(cat.db(), "DROP TABLE IF EXISTS " + cat.t(obj->sqliteName));
        if (xt == "V" && !obj->sqliteName.empty())
            Db::exec_on(cat.db(), "DROP VIEW IF EXISTS " + cat.t(obj->sqliteName));
        if (!acceptOp(","))
            break;
    }
}

} // namespace

void executeDdl(SessionImpl& s, const std::string& batchText, const std::vector<Token>& toks,
                const Statement& st) {
    (void)st;
    Db::exec_on(s.conn(), "SAVEPOINT ddl");
    try {
        Ddl d(s, batchText, toks);
        d.run();
    } catch (...) {
        try {
            Db::exec_on(s.conn(), "ROLLBACK TO ddl");
            Db::exec_on(s.conn(), "RELEASE ddl");
        } catch (...) {
        }
        throw;
    }
    Db::exec_on(s.conn(), "RELEASE ddl");
}

void addUserType(SessionImpl& s, const std::string& name, const std::string& baseType,
                 bool allowNulls) {
    std::string err;
    auto toks = tokenize(baseType, err);
    std::vector<std::string> args;
    std::string base;
    for (const auto& t : toks) {
        if (t.kind == Token::Kind::End)
            break;
        if (base.empty() && t.isName())
            base = t.name();
        else if (t.kind == Token::Kind::Number || t.is("max"))
            args.push_back(t.text);
    }
    auto ty = makeBuiltinType(base, args);
    if (!ty)
        throw sqlError(15036, "The data type '" + baseType + "' does not exist.");
    Catalog cat = s.catalog();
    if (cat.userType(name) || findBuiltin(name))
        throw sqlError(15029, "The type '" + name + "' already exists in the database.");
    cat.addUserType(name, *ty, allowNulls, 1);
}

} // namespace sqlsim
