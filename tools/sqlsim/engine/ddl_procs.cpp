// The system procedures a deployment script calls to change or read a schema: sp_rename and
// sp_helptext. They change the same catalog rows the DDL statements write.
#include "engine/ddl_parser.h"
#include "engine/extended_properties.h"

namespace sqlsim {

namespace {

std::string paramText(const std::vector<RpcParam>& params, const char* name, size_t pos) {
    const Value* v = nullptr;
    for (const auto& p : params)
        if (!p.name.empty() && iequals(p.name[0] == '@' ? p.name.substr(1) : p.name, name + 1))
            v = &p.value;
    if (!v && pos < params.size() && params[pos].name.empty())
        v = &params[pos].value;
    if (!v || v->kind == Value::Kind::Null)
        return {};
    return v->kind == Value::Kind::Int ? std::to_string(v->i) : v->text;
}

// A name as sp_rename and sp_helptext take it: up to four dot-separated parts, each possibly
// bracketed or double-quoted.
std::vector<std::string> splitName(const std::string& written) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < written.size(); ++i) {
        char c = written[i];
        if (c == '[' || c == '"') {
            char close = c == '[' ? ']' : '"';
            for (++i; i < written.size(); ++i) {
                if (written[i] == close) {
                    if (i + 1 < written.size() && written[i + 1] == close) {
                        parts.back() += close;
                        ++i;
                        continue;
                    }
                    break;
                }
                parts.back() += written[i];
            }
        } else if (c == '.') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

std::optional<ObjectRow> findIn(Catalog& cat, const std::string& schema, const std::string& name) {
    std::optional<int> ns = schema.empty() ? std::optional<int>() : cat.namespaceId(schema);
    if (!schema.empty() && !ns)
        return std::nullopt;
    return cat.findObject(name, ns);
}

void exec(Catalog& cat, const std::string& sql) {
    Db::exec_on(cat.db(), sql);
}

[[noreturn]] void ambiguous(const std::string& objtype) {
    throw sqlError(15248,
                   "Either the parameter @objname is ambiguous or the claimed @objtype (" +
                       objtype + ") is wrong.",
                   1, 11);
}

[[noreturn]] void inUse(const std::string& newName, const std::string& what) {
    throw sqlError(15335,
                   "Error: The new name '" + newName + "' is already in use as a " + what +
                       " name and would cause a duplicate that is not permitted.",
                   1, 11);
}

// A SQLite view keeps its name in its own CREATE text, so renaming one is dropping it and
// creating it again from that text.
void renameSqliteView(Catalog& cat, const std::string& from, const std::string& to) {
    Stmt st(cat.db(), "SELECT sql FROM " + sqlId(cat.schema()) +
                          ".sqlite_master WHERE type = 'view' AND name = ?");
    st.bind(1, from);
    if (!st.step())
        return;
    std::string sql = st.text(0);
    st.reset();
    size_t as = sql.find(" AS ");
    if (as == std::string::npos)
        return;
    exec(cat, "DROP VIEW " + cat.t(from));
    exec(cat, "CREATE VIEW " + cat.t(to) + sql.substr(as));
}

void renameColumn(SessionImpl& s, Catalog& cat, const std::vector<std::string>& parts,
                  const std::string& newName) {
    if (parts.size() < 2)
        ambiguous("COLUMN");
    auto table =
        findIn(cat, parts.size() > 2 ? parts[parts.size() - 3] : "", parts[parts.size() - 2]);
    if (!table || (table->xtype != "U" && table->xtype != "V"))
        ambiguous("COLUMN");
    const std::string& old = parts.back();
    std::optional<ColumnRow> col;
    for (const auto& c : cat.columns(table->id)) {
        if (iequals(c.name, old))
            col = c;
        else if (iequals(c.name, newName))
            inUse(newName, "COLUMN");
    }
    if (!col)
        ambiguous("COLUMN");
    Stmt up(cat.db(), "UPDATE " + cat.t("syscolumns") + " SET name = ? WHERE id = ? AND colid = ?");
    up.bind(1, newName).bind(2, table->id).bind(3, col->colid);
    up.step();
    if (table->xtype == "U")
        exec(cat, "ALTER TABLE " + cat.t(table->sqliteName) + " RENAME COLUMN " + sqlId(col->name) +
                      " TO " + sqlId(newName));
    (void)s;
}

void renameIndex(Catalog& cat, const std::vector<std::string>& parts, const std::string& newName) {
    if (parts.size() < 2)
        ambiguous("INDEX");
    auto table =
        findIn(cat, parts.size() > 2 ? parts[parts.size() - 3] : "", parts[parts.size() - 2]);
    if (!table)
        ambiguous("INDEX");
    Stmt st(cat.db(), "SELECT indid, status, name FROM " + cat.t("sysindexes") +
                          " WHERE id = ? AND name = ? AND indid BETWEEN 1 AND 250");
    st.bind(1, table->id).bind(2, parts.back());
    if (!st.step())
        ambiguous("INDEX");
    const long long indid = st.integer(0);
    const long long status = st.integer(1);
    const std::string old = st.text(2);
    st.reset();
    Stmt dup(cat.db(), "SELECT 1 FROM " + cat.t("sysindexes") + " WHERE id = ? AND name = ?");
    dup.bind(1, table->id).bind(2, newName);
    if (dup.step())
        inUse(newName, "INDEX");
    Stmt up(cat.db(), "UPDATE " + cat.t("sysindexes") + " SET name = ? WHERE id = ? AND indid = ?");
    up.bind(1, newName).bind(2, table->id).bind(3, indid);
    up.step();
    // The documented pairing: an index that enforces a PRIMARY KEY or UNIQUE constraint and
    // its constraint are renamed together.
    if (status & (kIdxPrimaryKey | kIdxUniqueConstraint)) {
        Stmt obj(cat.db(), "UPDATE " + cat.t("sysobjects") +
                               " SET name = ? WHERE parent_obj = ? AND name = ? AND xtype IN "
                               "('PK', 'UQ')");
        obj.bind(1, newName).bind(2, table->id).bind(3, old);
        obj.step();
    }
}

void renameObject(Catalog& cat, const std::vector<std::string>& parts, const std::string& newName,
                  const std::string& objtype) {
    auto obj = findIn(cat, parts.size() > 1 ? parts[parts.size() - 2] : "", parts.back());
    if (!obj)
        ambiguous(objtype);
    if (auto clash = cat.findObject(newName, obj->uid); clash && clash->id != obj->id)
        inUse(newName, "object");
    Stmt up(cat.db(), "UPDATE " + cat.t("sysobjects") + " SET name = ? WHERE id = ?");
    up.bind(1, newName).bind(2, obj->id);
    up.step();
    if ((obj->xtype == "PK" || obj->xtype == "UQ") && obj->parent) {
        Stmt ix(cat.db(),
                "UPDATE " + cat.t("sysindexes") + " SET name = ? WHERE id = ? AND name = ?");
        ix.bind(1, newName).bind(2, obj->parent).bind(3, obj->name);
        ix.step();
    }
    if (obj->xtype == "U") {
        // The heap or text row of sysindexes carries the table's name.
        Stmt ix(cat.db(),
                "UPDATE " + cat.t("sysindexes") + " SET name = ? WHERE id = ? AND indid = 0");
        ix.bind(1, newName).bind(2, obj->id);
        ix.step();
    }
    if ((obj->xtype == "U" || obj->xtype == "V") && !obj->sqliteName.empty()) {
        const std::string to = cat.namespaceName(obj->uid) + "." + newName;
        if (obj->xtype == "U")
            exec(cat, "ALTER TABLE " + cat.t(obj->sqliteName) + " RENAME TO " + sqlId(to));
        else
            renameSqliteView(cat, obj->sqliteName, to);
        Stmt x(cat.db(), "UPDATE " + cat.t("sqlsim_objects") + " SET sqlite_name = ? WHERE id = ?");
        x.bind(1, to).bind(2, obj->id);
        x.step();
    }
    // A module keeps its text as created, old name and all: sp_rename's documentation says the
    // definition in sys.sql_modules is not changed.
}

void spRename(SessionImpl& s, const std::vector<RpcParam>& params, ResultSink& sink) {
    const std::string objname = paramText(params, "@objname", 0);
    const std::string newName = paramText(params, "@newname", 1);
    const std::string objtype = upper(paramText(params, "@objtype", 2));
    if (objname.empty() || newName.empty())
        throw sqlError(15223,
                       "Error: The input parameter '" +
                           std::string(objname.empty() ? "@objname" : "@newname") +
                           "' is not allowed to be null.",
                       1, 11);
    auto parts = splitName(objname);
    // A column or an index is named through its table; a database part must be this one.
    const size_t most = objtype == "COLUMN" || objtype == "INDEX" ? 3 : 2;
    if (parts.size() == most + 1) {
        if (!parts[0].empty() && !iequals(parts[0], s.currentDatabase()))
            throw sqlError(15333,
                           "Error: Qualified @objname references a database (" + parts[0] +
                               ") other than the current database.",
                           1, 11);
        parts.erase(parts.begin());
    } else if (parts.size() > most + 1) {
        ambiguous(objtype);
    }
    Catalog cat = s.catalog();
    if (objtype == "COLUMN")
        renameColumn(s, cat, parts, newName);
    else if (objtype == "INDEX")
        renameIndex(cat, parts, newName);
    else if (objtype.empty() || objtype == "OBJECT")
        renameObject(cat, parts, newName, objtype);
    else if (objtype == "DATABASE" || objtype == "USERDATATYPE")
        throw notSupported("sp_rename of a " + lower(objtype));
    else
        throw sqlError(15249, "Error: Explicit @objtype '" + objtype + "' is unrecognized.", 1, 11);
    ServerMessage m;
    m.number = 15477;
    m.severity = 10;
    m.state = 1;
    m.procName = "sp_rename";
    m.text = "Caution: Changing any part of an object name could break scripts and stored "
             "procedures.";
    sink.message(m);
}

// sp_helptext: the module's text a line to a row, each line with its line break, in one
// nvarchar(255) column named Text.
void spHelptext(SessionImpl& s, const std::vector<RpcParam>& params, ResultSink& sink, bool more) {
    const std::string objname = paramText(params, "@objname", 0);
    auto parts = splitName(objname);
    Catalog cat = s.catalog();
    auto obj = findIn(cat, parts.size() > 1 ? parts[parts.size() - 2] : "", parts.back());
    if (!obj || parts.size() > 3)
        throw sqlError(15009,
                       "The object '" + objname + "' does not exist in database '" +
                           s.currentDatabase() + "' or is invalid for this operation.",
                       1, 16);
    Stmt st(cat.db(), "SELECT text, encrypted FROM " + cat.t("syscomments") +
                          " WHERE id = ? ORDER BY number, colid");
    st.bind(1, obj->id);
    std::string text;
    bool any = false;
    while (st.step()) {
        any = true;
        if (st.integer(1))
            throw sqlError(15471, "The text for object '" + objname + "' is encrypted.", 1, 16);
        text += st.text(0);
    }
    if (!any)
        throw sqlError(15197, "There is no text for object '" + objname + "'.", 1, 16);
    ColumnInfo c;
    c.name = "Text";
    c.type = SqlType::NVarChar;
    c.size = 510;
    sink.columns({c});
    for (size_t at = 0; at < text.size();) {
        size_t nl = text.find('\n', at);
        size_t end = nl == std::string::npos ? text.size() : nl + 1;
        sink.row({Value::str(text.substr(at, end - at))});
        at = end;
    }
    (void)more;
}

} // namespace

bool runSchemaProcedure(SessionImpl& s, const std::string& lname,
                        const std::vector<RpcParam>& params, ResultSink& sink, bool more) {
    if (runExtendedPropertyProcedure(s, lname, params, sink, more))
        return true;
    if (lname == "sp_rename") {
        std::lock_guard<std::recursive_mutex> lock(s.engine().ddlMutex);
        Db::exec_on(s.conn(), "SAVEPOINT sp_rename");
        try {
            spRename(s, params, sink);
        } catch (...) {
            try {
                Db::exec_on(s.conn(), "ROLLBACK TO sp_rename");
                Db::exec_on(s.conn(), "RELEASE sp_rename");
            } catch (...) {
            }
            throw;
        }
        Db::exec_on(s.conn(), "RELEASE sp_rename");
        sink.returnStatus(0);
        sink.done(false, 0, more);
        return true;
    }
    if (lname == "sp_helptext") {
        spHelptext(s, params, sink, more);
        sink.returnStatus(0);
        sink.done(true, 0, more);
        return true;
    }
    return false;
}

} // namespace sqlsim
