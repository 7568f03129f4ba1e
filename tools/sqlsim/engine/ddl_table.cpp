// CREATE TABLE, ALTER TABLE, keys, constraints, indexes and statistics, with the catalog
// rows and index ids SQL Server assigns.
#include "engine/ddl_parser.h"
#include "engine/integrity.h"
#include "engine/row_checks.h"

#include <cctype>

namespace sqlsim::ddl {

ColumnDef Ddl::columnDef(Catalog& cat, std::vector<ConstraintDef>& cons) {
    ColumnDef c;
    c.name = ident();
    if (cur().is("AS"))
        computedColumn(c); // typed once every column of the table is known
    else
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
            else if (li == "getutcdate()")
                c.sqliteDefault = "(strftime('%Y-%m-%d %H:%M:%f','now'))";
            else if (li == "sysdatetime()" || li == "sysutcdatetime()" ||
                     li == "sysdatetimeoffset()")
                c.sqliteDefault =
                    "(" +
                    Translator::storedAs(conversionType(c.type),
                                         "tsql_" + li.substr(0, li.size() - 2) + "()") +
                    ")";
            else if (!inner.empty() && inner[0] == '$') // a money constant
                c.sqliteDefault = inner.substr(inner.find_first_not_of("$ "));
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
            referentialActions(f);
            f.notForReplication = notForReplication();
            cons.push_back(f);
            continue;
        }
        if (accept("CHECK")) {
            ConstraintDef k;
            k.notForReplication = notForReplication();
            size_t from = i_;
            skipGroup();
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

// ON DELETE / ON UPDATE { NO ACTION | CASCADE | SET NULL | SET DEFAULT }, each at most once.
// The SET forms came with SQL Server 2005; the older server's parser stops at the SET (the
// batch is refused before it runs, see later_syntax).
void Ddl::referentialActions(ConstraintDef& c) {
    bool deleteSeen = false, updateSeen = false;
    while (cur().is("ON") && (tok(i_ + 1).is("DELETE") || tok(i_ + 1).is("UPDATE"))) {
        ++i_;
        const bool onDelete = accept("DELETE");
        if (!onDelete)
            expect("UPDATE");
        if (onDelete ? deleteSeen : updateSeen)
            throw syntaxNear(tok(i_ - 2));
        (onDelete ? deleteSeen : updateSeen) = true;
        RefAction action = RefAction::NoAction;
        if (accept("CASCADE")) {
            action = RefAction::Cascade;
        } else if (accept("NO")) {
            expect("ACTION");
        } else {
            expect("SET");
            action =
                accept("NULL") ? RefAction::SetNull : (expect("DEFAULT"), RefAction::SetDefault);
        }
        (onDelete ? c.onDelete : c.onUpdate) = action;
    }
}

bool Ddl::notForReplication() {
    if (!accept("NOT"))
        return false;
    expect("FOR");
    expect("REPLICATION");
    return true;
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
        referentialActions(k);
        k.notForReplication = notForReplication();
        return k;
    } else if (accept("CHECK")) {
        k.kind = "C";
        k.notForReplication = notForReplication();
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

void Ddl::addConstraint(Catalog& cat, const ObjectRow& table, ConstraintDef c, bool verify) {
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
                              "updtrig, seltrig, category, cache) VALUES (?, ?, ?, ?, ?, 0, 0, 0, "
                              "?, ?, 0, 0, 0, ?, 0, 0, 0, ?, 0, 0, 0, 0, 0, 0, 0)");
        st.bind(1, name).bind(2, id).bind(3, c.kind).bind(4, table.uid);
        // A constraint on one column names it in info, where sysconstraints.colid reads it.
        int onColumn = 0;
        if ((c.kind == "C" || c.kind == "D") && !c.column.empty())
            for (const auto& col : cols)
                if (iequals(col.name, c.column))
                    onColumn = col.colid;
        st.bind(5, onColumn).bind(6, table.id);
        st.bind(7, now).bind(8, c.kind).bind(9, now);
        st.step();
        Stmt x(cat.db(), "INSERT INTO " + cat.t("sqlsim_objects") +
                             " (id, sqlite_name, is_ms_shipped, is_system_named) "
                             "VALUES (?, NULL, 0, ?)");
        x.bind(1, id).bind(2, c.name.empty() ? 1 : 0);
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
        refuseDuplicateKeys(cat, table, ids, name, indid, true);
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
        if (c.onDelete == RefAction::SetNull || c.onUpdate == RefAction::SetNull)
            for (int k : fkeys)
                for (const auto& col : cols)
                    if (col.colid == k && !col.nullable)
                        refuseConstraint(cat, 1761,
                                         "Cannot create the foreign key \"" + name +
                                             "\" with the SET NULL referential action, because "
                                             "one or more referencing columns are not nullable.");
        ForeignKeyRow fk;
        fk.id = id;
        fk.name = name;
        fk.child = table.id;
        fk.parent = ref->id;
        fk.childCols = fkeys;
        fk.parentCols = rkeys;
        fk.onDelete = c.onDelete;
        fk.onUpdate = c.onUpdate;
        refuseCascadePaths(cat, fk, table.name);
        cat.addReference(id, table.id, ref->id, rkeyIndid, fkeys, rkeys);
        // WITH CHECK reads every row already there; WITH NOCHECK leaves the key untrusted.
        // Start-up scripts load their rows as a bulk load would, unchecked (see runDml).
        if (verify && !s_.setupScript)
            enforceForeignKey(cat, s_.databaseOfSchema(cat.schema()), fk, "ALTER TABLE", true);
        setConstraintState(
            cat, id, {c.onDelete, c.onUpdate, !verify || c.notForReplication, c.notForReplication});
        // The referenced table carries the triggers that act on the referencing rows.
        touched_.emplace_back(refCat.schema(), ref->id);
    } else if (c.kind == "C") {
        cat.addComments(id, c.text, false);
        if (verify && !s_.setupScript)
            verifyCheckConstraint(s_, cat, id, s_.databaseOfSchema(cat.schema()));
        setConstraintState(cat, id,
                           {RefAction::NoAction, RefAction::NoAction,
                            !verify || c.notForReplication, c.notForReplication});
    } else if (c.kind == "D") {
        int cid = colid(c.column, table, cols);
        cat.addComments(id, c.text, false);
        cat.setColumnDefault(table.id, cid, id);
    }
}

void Ddl::createSqliteTable(Catalog& cat, const ObjectRow& table,
                            const std::vector<ColumnDef>& cols) {
    std::string sql = "CREATE TABLE " + cat.t(table.sqliteName) + " (";
    for (size_t k = 0; k < cols.size(); ++k)
        sql += (k ? ", " : "") + sqliteColumn(cols[k].name, cols[k].type, cols[k].sqliteDefault,
                                              cols[k].sqliteExpr, cols[k].persisted);
    sql += ")";
    Db::exec_on(cat.db(), sql);
    touched_.emplace_back(cat.schema(), table.id);
    for (const auto& c : cols)
        if (c.identity)
            identityTrigger(cat, table, c);
}

void Ddl::identityTrigger(Catalog& cat, const ObjectRow& table, const ColumnDef& c) {
    // One trigger for both cases (each trigger is a schema change, whose cost grows with the
    // database): a row without a value takes the next one; an explicit value (SET
    // IDENTITY_INSERT ON) beyond the current one moves it there, in the increment's direction,
    // so that the next generated value follows it, as SQL Server does.
    const std::string idStr = std::to_string(table.id);
    const std::string col = "NEW." + sqlId(c.name);
    Db::exec_on(
        cat.db(),
        "CREATE TRIGGER " + sqlId(cat.schema()) + "." + sqlId("sqlsim_identity_" + idStr) +
            " AFTER INSERT ON " + sqlId(table.sqliteName) +
            " FOR EACH ROW BEGIN UPDATE sqlsim_objects SET ident_current = CASE WHEN " + col +
            " IS NULL THEN (CASE WHEN ident_current IS NULL THEN ident_seed ELSE "
            "ident_current + ident_incr END) WHEN ident_current IS NULL OR (ident_incr > 0 "
            "AND " +
            col + " > ident_current) OR (ident_incr < 0 AND " + col + " < ident_current) THEN " +
            col + " ELSE ident_current END WHERE id = " + idStr + "; UPDATE " +
            sqlId(table.sqliteName) + " SET " + sqlId(c.name) +
            " = (SELECT ident_current FROM sqlsim_objects WHERE id = " + idStr +
            ") WHERE rowid = NEW.rowid AND " + col + " IS NULL; END");
    Stmt st(cat.db(), "UPDATE " + cat.t("sqlsim_objects") +
                          " SET ident_seed = ?, ident_incr = ? WHERE id = ?");
    st.bind(1, c.seed).bind(2, c.incr).bind(3, table.id);
    st.step();
}

void Ddl::createTable() {
    QualifiedName q = qname();
    tableName_ = q.name;
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
            typePosition_ = static_cast<int>(cols.size() + 1);
            cols.push_back(columnDef(cat, cons));
        }
        // SQL Server's grammar lets a comma close the list: (a int, b int,) is accepted.
        if (acceptOp(",") && !cur().isOp(")"))
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
    resolveComputed(cols, {});
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
        r.computed = !cols[k].computed.empty();
        // A PRIMARY KEY makes its columns NOT NULL.
        for (const auto& c : cons)
            if (c.kind == "PK")
                for (const auto& n : c.columns)
                    if (iequals(n, r.name))
                        r.nullable = false;
        cat.addColumn(id, r, 0, cols[k].seed, cols[k].incr);
    }
    createSqliteTable(cat, table, cols);
    for (size_t k = 0; k < cols.size(); ++k)
        if (!cols[k].computed.empty())
            recordComputed(cat, id, static_cast<int>(k + 1), cols[k]);
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
    if (q.name.rfind('#', 0) == 0)
        s_.noteTempTable(q.db.empty() ? s_.currentDatabase() : q.db, nsName, q.name);
}

void Ddl::alterTable() {
    QualifiedName q = qname();
    Catalog cat = catalogFor(q);
    ObjectRow table = tableFor(cat, q, false);
    // WITH CHECK is assumed for constraints being added, WITH NOCHECK for those switched back
    // on (ALTER TABLE, "WITH CHECK | WITH NOCHECK").
    std::optional<bool> verify;
    tableName_ = table.name;
    if (accept("WITH")) {
        verify = cur().is("CHECK");
        if (!accept("CHECK"))
            expect("NOCHECK");
    }
    if (cur().is("NOCHECK") || cur().is("CHECK")) {
        switchConstraints(cat, q, table, verify.value_or(false));
        return;
    }
    if (cur().is("ENABLE") || cur().is("DISABLE")) {
        const bool disable = cur().is("DISABLE");
        ++i_;
        expect("TRIGGER");
        switchTriggers(cat, table, disable);
        return;
    }
    const std::string db = q.db.empty() ? s_.currentDatabase() : q.db;
    if (accept("ADD")) {
        std::vector<AddedColumn> added;
        std::vector<ConstraintDef> tableCons;
        while (true) {
            if (cur().is("CONSTRAINT") || cur().is("PRIMARY") || cur().is("UNIQUE") ||
                cur().is("FOREIGN") || cur().is("CHECK") || cur().is("DEFAULT")) {
                std::string cname;
                if (accept("CONSTRAINT"))
                    cname = ident();
                tableCons.push_back(tableConstraint(cname));
            } else {
                AddedColumn a;
                a.def = columnDef(cat, a.cons);
                if (accept("WITH")) {
                    expect("VALUES");
                    a.withValues = true;
                }
                added.push_back(std::move(a));
            }
            if (!acceptOp(","))
                break;
        }
        if (cur().kind != Token::Kind::End && !cur().isOp(";"))
            fail();
        if (!added.empty())
            addColumns(cat, table, added);
        for (auto& c : tableCons)
            addConstraint(cat, table, c, verify.value_or(true));
        if (cat.hasClustered(table.id))
            cat.dropHeapRow(table.id);
        return;
    }
    if (accept("ALTER")) {
        expect("COLUMN");
        alterColumn(cat, table, db);
        return;
    }
    if (accept("DROP")) {
        bool column = false;
        std::vector<std::string> columns;
        std::vector<std::string> constraints;
        while (true) {
            if (accept("COLUMN"))
                column = true;
            else if (accept("CONSTRAINT"))
                column = false;
            (column ? columns : constraints).push_back(ident());
            if (!acceptOp(","))
                break;
        }
        if (cur().kind != Token::Kind::End && !cur().isOp(";"))
            fail();
        for (const auto& n : constraints)
            dropConstraint(cat, table, n);
        if (!columns.empty())
            dropColumns(cat, table, columns);
        return;
    }
    throw notSupported("this form of ALTER TABLE");
}

void Ddl::dropConstraint(Catalog& cat, const ObjectRow& table, const std::string& name) {
    auto obj = cat.findObject(name, table.uid);
    if (!obj || obj->parent != table.id) {
        SqlError e = sqlError(3727, "Could not drop constraint. See previous errors.", 0);
        e.preceding.push_back(sqlError(3728, "'" + name + "' is not a constraint.", 1).msg);
        throw e;
    }
    const std::string id = std::to_string(obj->id);
    // The referenced table loses the triggers that carried out the key's actions.
    if (auto fk = foreignKeyById(cat, obj->id))
        touched_.emplace_back(cat.schema(), fk->parent);
    Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysobjects") + " WHERE id = " + id);
    Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sqlsim_objects") + " WHERE id = " + id);
    Db::exec_on(cat.db(), "DELETE FROM " + cat.t("syscomments") + " WHERE id = " + id);
    Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysreferences") + " WHERE constid = " + id);
    Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysforeignkeys") + " WHERE constid = " + id);
    Db::exec_on(cat.db(),
                "UPDATE " + cat.t("syscolumns") + " SET cdefault = 0 WHERE cdefault = " + id);
    if (obj->xtype != "PK" && obj->xtype != "UQ")
        return;
    Stmt idx(cat.db(), "SELECT indid FROM " + cat.t("sysindexes") + " WHERE id = ? AND name = ?");
    idx.bind(1, table.id).bind(2, obj->name);
    if (!idx.step())
        return;
    std::string ind = std::to_string(idx.integer(0));
    const std::string tid = std::to_string(table.id);
    Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysindexes") + " WHERE id = " + tid +
                              " AND indid = " + ind);
    Db::exec_on(cat.db(), "DELETE FROM " + cat.t("sysindexkeys") + " WHERE id = " + tid +
                              " AND indid = " + ind);
    if (!cat.hasClustered(table.id)) {
        Stmt heap(cat.db(), "SELECT 1 FROM " + cat.t("sysindexes") + " WHERE id = ? AND indid = 0");
        heap.bind(1, table.id);
        if (!heap.step())
            cat.addHeapRow(table.id, table.name);
    }
}

// NOCHECK CONSTRAINT / [WITH CHECK] CHECK CONSTRAINT {ALL | name [, ...]}. NOCHECK switches the
// FOREIGN KEY or CHECK constraints off, and they are no longer trusted; CHECK switches them on
// without reading the rows, so they stay untrusted, unless WITH CHECK first checks every row: a
// row that breaks the constraint then refuses the statement and leaves the constraint as it was.
void Ddl::switchConstraints(Catalog& cat, const QualifiedName& q, const ObjectRow& table,
                            bool verify) {
    const bool off = accept("NOCHECK");
    if (!off)
        expect("CHECK");
    expect("CONSTRAINT");
    std::vector<int> ids;
    if (accept("ALL")) {
        Stmt st(cat.db(), "SELECT id FROM " + cat.t("sysobjects") +
                              " WHERE parent_obj = ? AND xtype IN ('F', 'C') ORDER BY id");
        st.bind(1, table.id);
        while (st.step())
            ids.push_back(static_cast<int>(st.integer(0)));
    } else {
        do {
            const std::string name = ident();
            auto obj = cat.findObject(name, table.uid);
            if (!obj || obj->parent != table.id || (obj->xtype != "F" && obj->xtype != "C"))
                throw sqlError(4917, "Constraint '" + name + "' does not exist.", 1);
            ids.push_back(obj->id);
        } while (acceptOp(","));
    }
    if (cur().kind != Token::Kind::End && !cur().isOp(";"))
        fail();
    const std::string db = q.db.empty() ? s_.currentDatabase() : q.db;
    for (int id : ids) {
        const auto fk = foreignKeyById(cat, id);
        if (!off && verify) {
            if (fk)
                enforceForeignKey(cat, db, *fk, "ALTER TABLE", true);
            else
                verifyCheckConstraint(s_, cat, id, db);
        }
        // A key's referential actions live on the referenced table, whose triggers follow.
        if (fk)
            touched_.emplace_back(cat.schema(), fk->parent);
    }
    for (int id : ids) {
        setDisabled(cat, id, off);
        if (off || verify)
            setNotTrusted(cat, id, off);
    }
}

// ALTER TABLE t {ENABLE | DISABLE} TRIGGER {ALL | name [, ...]}.
void Ddl::switchTriggers(Catalog& cat, const ObjectRow& table, bool disable) {
    std::vector<int> ids;
    if (accept("ALL")) {
        Stmt st(cat.db(), "SELECT id FROM " + cat.t("sysobjects") +
                              " WHERE parent_obj = ? AND xtype = 'TR' ORDER BY id");
        st.bind(1, table.id);
        while (st.step())
            ids.push_back(static_cast<int>(st.integer(0)));
    } else {
        do {
            const std::string name = ident();
            auto obj = cat.findObject(name, table.uid);
            if (!obj || obj->parent != table.id || obj->xtype != "TR")
                throw sqlError(3701,
                               "Cannot find the object \"" + name +
                                   "\" because it does not exist or you do not have permissions.",
                               5, 11);
            ids.push_back(obj->id);
        } while (acceptOp(","));
    }
    if (cur().kind != Token::Kind::End && !cur().isOp(";"))
        fail();
    for (int id : ids)
        setDisabled(cat, id, disable);
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
    if (unique && !hypothetical)
        refuseDuplicateKeys(cat, table, ids, name, indid, false);
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

} // namespace sqlsim::ddl
