// Runs queries and data changes on SQLite and describes their results as SQL Server would.
#include "engine/integrity.h"
#include "engine/row_checks.h"
#include "engine/session.h"
#include "engine/session_internal.h"

namespace sqlsim {

void SessionImpl::runSelect(const std::vector<Token>& toks, const Statement& st, ResultSink& sink,
                            const std::atomic<bool>& cancel, bool more) {
    Translator tr(toks, *this);
    Translated t = tr.select(st.begin, st.end);
    runQuery(t.sql, t.columns, t.star, sink, cancel, more);
}

void SessionImpl::bindParams(sqlite3_stmt* st) {
    int n = sqlite3_bind_parameter_count(st);
    for (int k = 1; k <= n; ++k) {
        const char* pn = sqlite3_bind_parameter_name(st, k);
        if (!pn)
            continue;
        auto it = variables_.find(upper(pn));
        if (it == variables_.end())
            throw sqlError(137, std::string("Must declare the scalar variable \"") + pn + "\".", 2,
                           15);
        const Value& v = it->second;
        switch (v.kind) {
        case Value::Kind::Null:
            sqlite3_bind_null(st, k);
            break;
        case Value::Kind::Int:
            sqlite3_bind_int64(st, k, v.i);
            break;
        case Value::Kind::Float:
            sqlite3_bind_double(st, k, v.f);
            break;
        case Value::Kind::Text:
            sqlite3_bind_text(st, k, v.text.data(), static_cast<int>(v.text.size()),
                              SQLITE_TRANSIENT);
            break;
        }
    }
}

std::optional<ColumnRow> SessionImpl::originColumn(sqlite3_stmt* st, int col) {
    const char* dbn = sqlite3_column_database_name(st, col);
    const char* tbl = sqlite3_column_table_name(st, col);
    const char* org = sqlite3_column_origin_name(st, col);
    if (!dbn || !tbl || !org)
        return std::nullopt;
    // SQLite's temp schema holds only the engine's own tables (the server's views of its
    // state), which have no catalog: their declared types are SQL Server's.
    if (std::string(dbn) == "temp")
        return std::nullopt;
    Stmt q(conn_.get(), "SELECT id FROM " + sqlId(dbn) + ".sqlsim_objects WHERE sqlite_name = ?");
    q.bind(1, std::string(tbl));
    if (!q.step())
        return std::nullopt;
    Catalog cat(conn_.get(), dbn, engine_.major);
    for (auto& c : cat.columns(static_cast<int>(q.integer(0))))
        if (iequals(c.name, org))
            return c;
    return std::nullopt;
}

ColumnInfo SessionImpl::describe(sqlite3_stmt* st, int col, const ColumnHint* hint) {
    const char* cname = sqlite3_column_name(st, col);
    std::string name = hint && hint->name ? *hint->name : std::string(cname ? cname : "");
    if (hint && hint->type)
        return hint->type->columnInfo(name);
    if (auto c = originColumn(st, col)) {
        ColumnInfo ci = c->type.columnInfo(name);
        ci.nullable = c->nullable;
        ci.identity = c->identity;
        return ci;
    }
    if (const char* decl = sqlite3_column_decltype(st, col))
        if (auto ty = parseDecl(decl))
            return ty->columnInfo(name);
    std::optional<ColType> ty;
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_INTEGER:
        ty = makeBuiltinType("int", {});
        if (auto v = sqlite3_column_int64(st, col); v > 2147483647LL || v < -2147483648LL)
            ty = makeBuiltinType("bigint", {});
        break;
    case SQLITE_FLOAT:
        ty = makeBuiltinType("float", {});
        break;
    case SQLITE_BLOB:
        ty = makeBuiltinType("varbinary", {"8000"});
        break;
    case SQLITE_TEXT:
        ty = makeBuiltinType("nvarchar", {"4000"});
        break;
    default:
        ty = makeBuiltinType("int", {});
    }
    return ty->columnInfo(name);
}

void SessionImpl::runQuery(const std::string& sql, const std::vector<ColumnHint>& hints, bool star,
                           ResultSink& sink, const std::atomic<bool>& cancel, bool more) {
    Stmt stmt(conn_.get(), sql);
    bindParams(stmt.get());
    // The first row is fetched before the column list so expressions can be typed by value.
    bool have = stmt.step();
    int n = sqlite3_column_count(stmt.get());
    std::vector<ColumnInfo> cols;
    for (int c = 0; c < n; ++c) {
        const ColumnHint* h = !star && static_cast<size_t>(c) < hints.size() ? &hints[c] : nullptr;
        cols.push_back(describe(stmt.get(), c, h));
    }
    sink.columns(cols);
    long long count = 0;
    std::vector<Value> row(static_cast<size_t>(n));
    while (have && (rowLimit_ == 0 || count < rowLimit_)) {
        if (cancel.load())
            throw Cancelled{};
        for (int c = 0; c < n; ++c)
            row[static_cast<size_t>(c)] = convertCell(stmt.get(), c, cols[static_cast<size_t>(c)]);
        if (!sink.row(row))
            throw Cancelled{};
        ++count;
        have = stmt.step();
    }
    lastRowCount_ = count;
    sink.done(!nocount_, count, more);
}

void SessionImpl::runDml(const std::vector<Token>& toks, const Statement& st, ResultSink& sink,
                         const std::atomic<bool>& cancel, bool more) {
    Translator tr(toks, *this);
    std::string sql;
    ResolvedTable target;
    if (st.kind == "INSERT")
        sql = tr.insert(st.begin, st.end, &target, nullptr);
    else if (st.kind == "UPDATE")
        sql = tr.update(st.begin, st.end, &target);
    else
        sql = tr.remove(st.begin, st.end, &target);
    // Start-up scripts load their rows as a bulk load does: without firing triggers, and
    // without the row checks, which a client's first change builds.
    std::vector<TriggerText> triggers;
    if (!setupScript && target.objectId) {
        const std::string schema = target.sqlRef.substr(1, target.sqlRef.find('"', 1) - 1);
        ensureRowChecks(*this, Catalog(conn_.get(), schema, engine_.major), target.objectId,
                        databaseOfSchema(schema));
        triggers = triggersFor(target, st.kind);
    }
    if (triggers.empty())
        applyDml(st.kind, sql, target, false);
    else
        fireTriggers(st.kind, sql, target, triggers, updatedColumns(toks, st), sink, cancel);
    if (st.kind == "INSERT" && target.objectId && lastRowCount_ > 0) {
        // The identity value the insert generated, for @@IDENTITY and SCOPE_IDENTITY().
        std::string idSchema = target.sqlRef.substr(1, target.sqlRef.find('"', 1) - 1);
        Stmt id(conn_.get(), "SELECT ident_current FROM " + sqlId(idSchema) +
                                 ".sqlsim_objects WHERE id = ? AND ident_seed IS NOT NULL");
        id.bind(1, target.objectId);
        if (id.step() && !id.isNull(0))
            lastIdentity = id.integer(0);
    }
    sink.done(!nocount_, lastRowCount_, more);
}

void SessionImpl::applyDml(const std::string& kind, const std::string& sql,
                           const ResolvedTable& target, bool insteadOf) {
    // The foreign keys the statement could break: those of the changed table's own references
    // (INSERT, UPDATE), those that reference it (UPDATE, DELETE), and those of the tables its
    // referential actions reach. Start-up scripts load their rows in any order, as a bulk load
    // with constraints off would. An INSTEAD OF trigger takes the statement's place: nothing
    // is written, nothing to check.
    std::string schema;
    std::vector<ForeignKeyCheck> keys;
    if (!setupScript && !insteadOf && target.objectId) {
        schema = target.sqlRef.substr(1, target.sqlRef.find('"', 1) - 1);
        keys =
            foreignKeysAtRisk(Catalog(conn_.get(), schema, engine_.major), target.objectId, kind);
    }
    if (keys.empty()) {
        Stmt stmt(conn_.get(), sql);
        bindParams(stmt.get());
        stmt.step();
        lastRowCount_ = sqlite3_changes(conn_.get());
        return;
    }
    // A statement that breaks a key is undone whole, with whatever its cascades did.
    Catalog cat(conn_.get(), schema, engine_.major);
    Db::exec_on(conn_.get(), "SAVEPOINT sqlsim_statement");
    try {
        const long long before = kind == "INSERT" ? maxRowid(cat, target.objectId) : 0;
        try {
            Stmt stmt(conn_.get(), sql);
            bindParams(stmt.get());
            stmt.step();
        } catch (const SqliteError& e) {
            // A DELETE whose SET NULL or SET DEFAULT breaks a CHECK of the referencing
            // table is the statement that conflicted, not the update it set off.
            std::string text = e.what();
            const std::string coded = kCodedErrorPrefix + "547:16:";
            const size_t at = text.find("UPDATE statement conflicted", coded.size());
            if (kind == "DELETE" && text.rfind(coded, 0) == 0 &&
                (at == coded.size() || at == coded.size() + 4))
                text.replace(at, 6, "DELETE");
            throw SqliteError(e.code(), text);
        }
        lastRowCount_ = sqlite3_changes(conn_.get());
        const std::string db = databaseOfSchema(schema);
        for (const ForeignKeyCheck& k : keys)
            enforceForeignKey(cat, db, k.fk, kind, k.childSide,
                              kind == "INSERT" && k.childSide && k.fk.child == target.objectId
                                  ? std::optional<long long>(before)
                                  : std::nullopt);
    } catch (...) {
        Db::exec_on(conn_.get(), "ROLLBACK TO sqlsim_statement");
        Db::exec_on(conn_.get(), "RELEASE sqlsim_statement");
        throw;
    }
    Db::exec_on(conn_.get(), "RELEASE sqlsim_statement");
}

std::string SessionImpl::databaseOfSchema(const std::string& schema) const {
    if (schema == "main")
        return currentDb_;
    for (const auto& [name, attached] : attached_)
        if (attached == schema) {
            auto entry = engine_.database(name);
            return entry ? entry->name : name;
        }
    return currentDb_;
}

Value SessionImpl::evaluate(const std::string& sqliteExpr) {
    Stmt st(conn_.get(), "SELECT " + sqliteExpr);
    bindParams(st.get());
    if (!st.step())
        return Value::null();
    switch (sqlite3_column_type(st.get(), 0)) {
    case SQLITE_INTEGER:
        return Value::integer(st.integer(0));
    case SQLITE_FLOAT:
        return Value::real(sqlite3_column_double(st.get(), 0));
    case SQLITE_NULL:
        return Value::null();
    default:
        return Value::str(st.text(0));
    }
}

} // namespace sqlsim
