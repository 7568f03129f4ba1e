#include "engine/session.h"

#include "engine/errors.h"

#include <chrono>
#include <functional>
#include <set>
#include <thread>

namespace sqlsim {

namespace {

// Thrown when the client cancelled: the batch stops without further results.
struct Cancelled {};

const std::set<std::string>& statementStarters() {
    static const std::set<std::string> s = {
        "SELECT",  "INSERT",   "UPDATE", "DELETE",    "CREATE",     "ALTER",  "DROP",
        "USE",     "SET",      "EXEC",   "EXECUTE",   "WAITFOR",    "IF",     "PRINT",
        "DECLARE", "GRANT",    "REVOKE", "DENY",      "BEGIN",      "COMMIT", "ROLLBACK",
        "RETURN",  "TRUNCATE", "WHILE",  "RAISERROR", "CHECKPOINT", "DBCC",   "SAVE"};
    return s;
}

SqlError fromSqlite(const std::string& msg) {
    auto after = [&](const std::string& prefix) { return msg.substr(prefix.size()); };
    if (msg.rfind("no such table: ", 0) == 0)
        return invalidObject(after("no such table: "));
    if (msg.rfind("no such column: ", 0) == 0) {
        std::string c = after("no such column: ");
        size_t dot = c.rfind('.');
        return invalidColumn(dot == std::string::npos ? c : c.substr(dot + 1));
    }
    if (msg.rfind("no such function: ", 0) == 0)
        return unknownFunction(after("no such function: "));
    if (msg.rfind("ambiguous column name: ", 0) == 0) {
        std::string c = after("ambiguous column name: ");
        size_t dot = c.rfind('.');
        return sqlError(209, "Ambiguous column name '" +
                                 (dot == std::string::npos ? c : c.substr(dot + 1)) + "'.");
    }
    if (msg == "interrupted")
        throw Cancelled{};
    if (msg.rfind("near \"", 0) == 0 && msg.find("\": syntax error") != std::string::npos) {
        std::string near = msg.substr(6, msg.find("\": syntax error") - 6);
        return sqlError(102, "Incorrect syntax near '" + near + "'.", 1, 15);
    }
    return sqlError(50000, "The statement failed: " + msg + ".");
}

bool isSystemTable(const std::string& lowerName) {
    static const std::set<std::string> s = {"sysobjects",    "syscolumns",     "systypes",
                                            "syscomments",   "sysindexes",     "sysindexkeys",
                                            "sysreferences", "sysforeignkeys", "sysusers"};
    return s.count(lowerName) > 0;
}

int progressHandler(void* arg) {
    auto* flag = static_cast<const std::atomic<bool>*>(arg);
    return flag && flag->load() ? 1 : 0;
}

} // namespace

SessionImpl::SessionImpl(Engine::Impl& engine, std::string login, const DatabaseEntry& db)
    : engine_(engine), login_(std::move(login)) {
    openConnection(db);
    currentDb_ = db.name;
}

void SessionImpl::openConnection(const DatabaseEntry& db) {
    Db conn = Engine::Impl::openFile(db.path);
    registerFunctions(conn.get(), this);
    conn_ = std::move(conn);
    attached_.clear();
    // Attached up front: functions reach master while a statement runs, when ATTACH is not allowed.
    if (!iequals(db.name, "master")) {
        if (auto m = engine_.database("master")) {
            Stmt st(conn_.get(), "ATTACH DATABASE ? AS " + sqlId("db" + std::to_string(m->dbid)));
            st.bind(1, m->path);
            st.step();
            attached_["master"] = "db" + std::to_string(m->dbid);
        }
    }
}

std::optional<std::string> SessionImpl::schemaFor(const std::string& dbName) {
    if (iequals(dbName, currentDb_))
        return std::string("main");
    auto key = lower(dbName);
    auto it = attached_.find(key);
    if (it != attached_.end())
        return it->second;
    auto entry = engine_.database(dbName);
    if (!entry)
        return std::nullopt;
    std::string schema = "db" + std::to_string(entry->dbid);
    Stmt st(conn_.get(), "ATTACH DATABASE ? AS " + sqlId(schema));
    st.bind(1, entry->path);
    st.step();
    attached_[key] = schema;
    ++attachCounter_;
    return schema;
}

ResolvedTable SessionImpl::resolveTable(const std::vector<std::string>& parts,
                                        const std::string& written) {
    ResolvedTable r = resolveAny(parts, written);
    if (viewMode) {
        const std::string mainPrefix = sqlId("main") + ".";
        if (r.sqlRef.rfind(mainPrefix, 0) != 0)
            throw notSupported("views over other databases or server-wide views");
        r.sqlRef = r.sqlRef.substr(mainPrefix.size());
    }
    return r;
}

ResolvedTable SessionImpl::resolveAny(const std::vector<std::string>& parts,
                                      const std::string& written) {
    std::string name = parts.back();
    std::string schemaName = parts.size() >= 2 ? parts[parts.size() - 2] : "";
    std::string dbName = parts.size() >= 3 ? parts[parts.size() - 3] : "";
    std::string dbSchema = "main";
    if (!dbName.empty()) {
        auto s = schemaFor(dbName);
        if (!s)
            throw invalidObject(written);
        dbSchema = *s;
    }
    std::string lname = lower(name);
    auto viewExists = [&](const std::string& schema, const std::string& view) {
        Stmt st(conn_.get(), "SELECT name FROM " + sqlId(schema) +
                                 ".sqlite_master WHERE name = ? COLLATE NOCASE");
        st.bind(1, view);
        return st.step() ? std::optional<std::string>(st.text(0)) : std::nullopt;
    };
    bool sysSchema = iequals(schemaName, "sys");
    if (sysSchema && engine_.major <= 8)
        throw invalidObject(written);
    if (schemaName.empty() || iequals(schemaName, "dbo") || sysSchema) {
        if (isSystemTable(lname))
            return {sqlId(dbSchema) + "." + sqlId(lname), name, 0};
        if (lname == "sysdatabases") {
            if (engine_.major > 8 || iequals(dbName.empty() ? currentDb_ : dbName, "master")) {
                auto m = schemaFor("master");
                return {sqlId(*m) + "." + sqlId("sysdatabases"), name, 0};
            }
        }
    }
    if (sysSchema) {
        if (lname == "databases") {
            auto m = schemaFor("master");
            return {sqlId(*m) + "." + sqlId("sys.databases"), name, 0};
        }
        if (auto v = viewExists(dbSchema, "sys." + lname))
            return {sqlId(dbSchema) + "." + sqlId(*v), name, 0};
        throw invalidObject(written);
    }
    if (iequals(schemaName, "INFORMATION_SCHEMA")) {
        if (auto v = viewExists(dbSchema, "INFORMATION_SCHEMA." + upper(name)))
            return {sqlId(dbSchema) + "." + sqlId(*v), name, 0};
        throw invalidObject(written);
    }
    Catalog cat(conn_.get(), dbSchema, engine_.major);
    std::optional<int> ns =
        schemaName.empty() ? std::optional<int>(1) : cat.namespaceId(schemaName);
    if (ns) {
        auto obj = cat.findObject(name, ns);
        if (obj && obj->xtype == "V" && obj->sqliteName.empty())
            throw notSupported("reading the view '" + obj->name +
                               "', whose definition uses constructs this server cannot run");
        if (obj && !obj->sqliteName.empty() && (obj->xtype == "U" || obj->xtype == "V")) {
            return {sqlId(dbSchema) + "." + sqlId(obj->sqliteName), name, obj->id};
        }
    }
    throw invalidObject(written);
}

std::vector<std::string> SessionImpl::insertColumns(const ResolvedTable& table) {
    if (!table.objectId)
        return {};
    std::string schema = table.sqlRef.substr(1, table.sqlRef.find('"', 1) - 1);
    Catalog cat(conn_.get(), schema, engine_.major);
    auto cols = cat.columns(table.objectId);
    bool hasIdentity = false;
    std::vector<std::string> out;
    for (const auto& c : cols) {
        if (c.identity)
            hasIdentity = true;
        else
            out.push_back(c.name);
    }
    return hasIdentity ? out : std::vector<std::string>{};
}

std::vector<Statement> SessionImpl::split(const std::vector<Token>& toks) const {
    std::vector<Statement> out;
    size_t n = toks.size() - 1; // without End
    size_t i = 0;
    while (i < n) {
        if (toks[i].isOp(";")) {
            ++i;
            continue;
        }
        Statement st;
        st.begin = i;
        st.kind = toks[i].kind == Token::Kind::Word ? toks[i].value : "";
        if (st.kind == "EXECUTE")
            st.kind = "EXEC";
        bool module = false;
        if ((st.kind == "CREATE" || st.kind == "ALTER") && i + 1 < n) {
            const Token& w = toks[i + 1];
            module = w.is("PROC") || w.is("PROCEDURE") || w.is("FUNCTION") || w.is("TRIGGER") ||
                     w.is("VIEW");
        }
        if (module) {
            st.end = n;
            out.push_back(st);
            break;
        }
        // Block structure: BEGIN ... END and ELSE stand alone; BEGIN TRAN is a statement.
        if (st.kind == "BEGIN" && i + 1 < n &&
            (toks[i + 1].is("TRAN") || toks[i + 1].is("TRANSACTION") ||
             toks[i + 1].is("DISTRIBUTED")))
            st.kind = "BEGIN TRAN";
        else if (st.kind == "BEGIN" && i + 1 < n &&
                 (toks[i + 1].is("TRY") || toks[i + 1].is("CATCH")))
            st.kind = "BEGIN TRY";
        if (st.kind == "BEGIN" || st.kind == "END" || st.kind == "ELSE") {
            st.end = i + 1;
            out.push_back(st);
            i = st.end;
            continue;
        }
        int depth = 0;
        int caseDepth = 0;
        bool sawSet = false, sawBody = false;
        size_t j = i + 1;
        for (; j < n; ++j) {
            const Token& t = toks[j];
            if (t.isOp("("))
                ++depth;
            else if (t.isOp(")"))
                --depth;
            else if (t.isOp(";") && depth == 0)
                break;
            if (depth != 0 || t.kind != Token::Kind::Word)
                continue;
            if (t.is("CASE"))
                ++caseDepth;
            if (t.is("END")) {
                if (caseDepth == 0)
                    break;
                --caseDepth;
            }
            if (t.is("ELSE") && caseDepth == 0)
                break;
            if (t.is("SET"))
                sawSet = true;
            if (t.is("VALUES") || t.is("SELECT"))
                sawBody = true;
            if (!statementStarters().count(t.value))
                continue;
            const Token& prev = toks[j - 1];
            if (t.is("SELECT") &&
                (prev.is("UNION") || prev.is("ALL") || prev.is("EXCEPT") || prev.is("INTERSECT")))
                continue;
            if (t.is("SELECT") && st.kind == "INSERT" && !(sawBody && j > i + 1 && false)) {
                // INSERT ... SELECT: the first SELECT belongs to the INSERT.
                bool earlier = false;
                for (size_t k = i + 1; k < j; ++k)
                    if (toks[k].is("VALUES") || (toks[k].is("SELECT")))
                        earlier = true;
                if (!earlier)
                    continue;
            }
            if (t.is("SET") && st.kind == "UPDATE") {
                bool earlier = false;
                for (size_t k = i + 1; k < j; ++k)
                    if (toks[k].is("SET"))
                        earlier = true;
                if (!earlier)
                    continue;
            }
            if ((st.kind == "GRANT" || st.kind == "REVOKE" || st.kind == "DENY") &&
                (t.is("SELECT") || t.is("INSERT") || t.is("UPDATE") || t.is("DELETE") ||
                 t.is("EXEC") || t.is("EXECUTE")))
                continue;
            if (t.is("EXEC") && st.kind == "INSERT")
                continue;
            if (st.kind == "CREATE" && i + 1 < n && toks[i + 1].is("SCHEMA") && j <= i + 4 &&
                t.is("AUTHORIZATION"))
                continue;
            // ALTER TABLE t DROP CONSTRAINT / ALTER COLUMN belong to the ALTER.
            if (st.kind == "ALTER" && j + 1 < n) {
                const Token& nx = toks[j + 1];
                if (t.is("DROP") &&
                    (nx.is("CONSTRAINT") || nx.is("COLUMN") ||
                     (nx.isName() && !isReservedWord(nx.value) && !nx.is("STATISTICS") &&
                      !nx.is("TYPE") && !nx.is("LOGIN") && !nx.is("USER"))))
                    continue;
                if (t.is("ALTER") && nx.is("COLUMN"))
                    continue;
                if (t.is("SET") && toks[i + 1].is("DATABASE"))
                    continue;
            }
            // ON DELETE / ON UPDATE in a foreign key.
            if ((t.is("DELETE") || t.is("UPDATE")) && prev.is("ON"))
                continue;
            // SET NULL / SET DEFAULT actions of a foreign key.
            if (t.is("SET") && (prev.is("DELETE") || prev.is("UPDATE")))
                continue;
            break;
        }
        (void)sawSet;
        (void)sawBody;
        st.end = j;
        out.push_back(st);
        i = j;
    }
    return out;
}

void SessionImpl::executeBatch(const std::string& sql, ResultSink& sink,
                               const std::atomic<bool>& cancel) {
    std::string err;
    auto toks = tokenize(sql, err);
    if (!err.empty()) {
        ServerMessage m;
        m.number = err.rfind("Missing", 0) == 0 ? 113 : 105;
        m.severity = 15;
        m.text = err;
        sink.message(m);
        sink.done(false, 0, false);
        return;
    }
    variables_.clear();
    run(sql, toks, sink, cancel, {});
}

void SessionImpl::run(const std::string& sql, const std::vector<Token>& toks, ResultSink& sink,
                      const std::atomic<bool>& cancel, const std::map<std::string, Value>& params) {
    auto saved = variables_;
    for (const auto& [k, v] : params)
        variables_[k] = v;
    std::vector<Statement> stmts;
    try {
        stmts = split(toks);
    } catch (const SqlError& e) {
        sink.message(e.msg);
        sink.done(false, 0, false);
        return;
    }
    if (stmts.empty()) {
        sink.done(false, 0, false);
        variables_ = saved;
        return;
    }
    sqlite3_progress_handler(conn_.get(), 1000, progressHandler,
                             const_cast<std::atomic<bool>*>(&cancel));
    // The index just past one unit: a statement, a BEGIN ... END block, or a whole IF.
    std::function<size_t(size_t)> unitEnd = [&](size_t k) -> size_t {
        if (k >= stmts.size())
            return k;
        if (stmts[k].kind == "BEGIN") {
            int depth = 0;
            for (size_t j = k; j < stmts.size(); ++j) {
                if (stmts[j].kind == "BEGIN")
                    ++depth;
                else if (stmts[j].kind == "END" && --depth == 0)
                    return j + 1;
            }
            throw syntaxNear(toks.back());
        }
        if (stmts[k].kind == "IF") {
            size_t thenEnd = unitEnd(k + 1);
            if (thenEnd < stmts.size() && stmts[thenEnd].kind == "ELSE")
                return unitEnd(thenEnd + 1);
            return thenEnd;
        }
        return k + 1;
    };
    // Runs statements [a, b); false once the batch must stop.
    std::function<bool(size_t, size_t)> runRange = [&](size_t a, size_t b) -> bool {
        size_t k = a;
        while (k < b) {
            size_t next = k + 1;
            bool more = k + 1 < stmts.size();
            try {
                if (cancel.load())
                    throw Cancelled{};
                Statement st = stmts[k];
                if (st.kind == "IF") {
                    if (st.end == st.begin + 1 || k + 1 >= stmts.size())
                        throw syntaxNear(toks[st.end < toks.size() ? st.end - 1 : st.begin]);
                    std::vector<Token> cond(toks.begin() + static_cast<long>(st.begin) + 1,
                                            toks.begin() + static_cast<long>(st.end));
                    cond.push_back(toks.back());
                    Translator tr(cond, *this);
                    Value v = evaluate("CASE WHEN " + tr.expression(0, cond.size() - 1) +
                                       " THEN 1 ELSE 0 END");
                    size_t thenEnd = unitEnd(k + 1);
                    bool hasElse = thenEnd < stmts.size() && stmts[thenEnd].kind == "ELSE";
                    size_t elseEnd = hasElse ? unitEnd(thenEnd + 1) : thenEnd;
                    bool ok = v.i != 0 ? runRange(k + 1, thenEnd)
                                       : (hasElse ? runRange(thenEnd + 1, elseEnd) : true);
                    if (!ok)
                        return false;
                    k = elseEnd;
                    continue;
                }
                if (st.kind == "BEGIN" || st.kind == "END") {
                    k = next;
                    continue;
                }
                if (st.kind == "ELSE")
                    throw syntaxNear(toks[st.begin]);
                if (st.kind == "BEGIN TRY")
                    throw notSupported("TRY ... CATCH blocks");
                // A procedure name alone as the first statement of a batch runs it.
                if (k == 0 && st.kind.empty() && toks[st.begin].isName())
                    st.kind = "EXEC*";
                else if (k == 0 && !st.kind.empty() && !statementStarters().count(st.kind) &&
                         !isReservedWord(st.kind) && st.kind.find(' ') == std::string::npos)
                    st.kind = "EXEC*";
                execute(sql, toks, st, sink, cancel, more);
            } catch (const SqlError& e) {
                ServerMessage m = e.msg;
                m.line = toks[stmts[k].begin].line;
                sink.message(m);
                sink.done(false, 0, false);
                return false;
            } catch (const SqliteError& e) {
                try {
                    SqlError mapped = fromSqlite(e.what());
                    ServerMessage m = mapped.msg;
                    m.line = toks[stmts[k].begin].line;
                    sink.message(m);
                    sink.done(false, 0, false);
                } catch (const Cancelled&) {
                }
                return false;
            } catch (const Cancelled&) {
                return false;
            }
            k = next;
        }
        return true;
    };
    runRange(0, stmts.size());
    sqlite3_progress_handler(conn_.get(), 0, nullptr, nullptr);
    // sp_executesql parameters live for its call only.
    variables_ = saved;
}

void SessionImpl::execute(const std::string& sql, const std::vector<Token>& all,
                          const Statement& st0, ResultSink& sink, const std::atomic<bool>& cancel,
                          bool more) {
    std::vector<Token> toks(all.begin() + static_cast<long>(st0.begin),
                            all.begin() + static_cast<long>(st0.end));
    Token end = all.back();
    end.begin = end.end = st0.end < all.size() ? all[st0.end].begin : sql.size();
    toks.push_back(end);
    Statement st{0, toks.size() - 1, st0.kind};
    const std::string& k = st.kind;
    if (k == "SELECT") {
        runSelect(toks, st, sink, cancel, more);
    } else if (k == "INSERT" || k == "UPDATE" || k == "DELETE") {
        runDml(toks, st, sink, more);
    } else if (k == "USE") {
        if (!toks[1].isName())
            throw syntaxNear(toks[1].kind == Token::Kind::End ? toks[0] : toks[1]);
        use(toks[1].name(), sink);
        sink.done(false, 0, more);
    } else if (k == "SET") {
        runSet(toks, st);
        sink.done(false, 0, more);
    } else if (k == "DECLARE") {
        runDeclare(toks, st);
        sink.done(false, 0, more);
    } else if (k == "EXEC" || k == "EXEC*") {
        runExec(toks, st, sink, cancel, more);
    } else if (k == "WAITFOR") {
        waitFor(toks, st, cancel);
        sink.done(false, 0, more);
    } else if (k == "PRINT") {
        Translator tr(toks, *this);
        Value v = evaluate(tr.expression(1, st.end));
        ServerMessage m;
        m.number = 0;
        m.severity = 0;
        m.text = v.kind == Value::Kind::Int ? std::to_string(v.i) : v.text;
        sink.message(m);
        sink.done(false, 0, more);
    } else if (k == "CREATE" || k == "ALTER" || k == "DROP") {
        // Module text is the whole batch, so hand over the original text and token offsets.
        std::vector<Token> withOffsets(all.begin() + static_cast<long>(st0.begin),
                                       all.begin() + static_cast<long>(st0.end));
        withOffsets.push_back(end);
        std::lock_guard<std::recursive_mutex> lock(engine_.ddlMutex);
        executeDdl(*this, sql, withOffsets, Statement{0, withOffsets.size() - 1, k});
        sink.done(false, 0, more);
    } else if (k == "GRANT" || k == "REVOKE" || k == "DENY" || k == "BEGIN TRAN" || k == "COMMIT" ||
               k == "ROLLBACK" || k == "SAVE" || k == "CHECKPOINT") {
        // Permissions and transactions have no effect on what this server reports.
        sink.done(false, 0, more);
    } else if (k == "RETURN") {
        sink.done(false, 0, false);
        throw Cancelled{};
    } else if (k == "IF" || k == "WHILE") {
        throw notSupported(k + " statements");
    } else if (k.empty()) {
        throw syntaxNear(toks[0]);
    } else if (statementStarters().count(k)) {
        throw notSupported(k + " statements");
    } else {
        throw syntaxNear(toks[0]);
    }
}

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
    while (have) {
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
                         bool more) {
    Translator tr(toks, *this);
    std::string sql;
    ResolvedTable target;
    if (st.kind == "INSERT")
        sql = tr.insert(st.begin, st.end, &target, nullptr);
    else if (st.kind == "UPDATE")
        sql = tr.update(st.begin, st.end);
    else
        sql = tr.remove(st.begin, st.end);
    Stmt stmt(conn_.get(), sql);
    bindParams(stmt.get());
    stmt.step();
    lastRowCount_ = sqlite3_changes(conn_.get());
    if (st.kind == "INSERT" && target.objectId && lastRowCount_ > 0) {
        // The identity value the insert generated, for @@IDENTITY and SCOPE_IDENTITY().
        std::string schema = target.sqlRef.substr(1, target.sqlRef.find('"', 1) - 1);
        Stmt id(conn_.get(), "SELECT ident_current FROM " + sqlId(schema) +
                                 ".sqlsim_objects WHERE id = ? AND ident_seed IS NOT NULL");
        id.bind(1, target.objectId);
        if (id.step() && !id.isNull(0))
            lastIdentity = id.integer(0);
    }
    sink.done(!nocount_, lastRowCount_, more);
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

void SessionImpl::runSet(const std::vector<Token>& toks, const Statement& st) {
    const Token& opt = toks[st.begin + 1];
    if (opt.kind == Token::Kind::Variable) {
        if (!toks[st.begin + 2].isOp("="))
            throw syntaxNear(toks[st.begin + 2]);
        if (!variables_.count(opt.value))
            throw sqlError(137, "Must declare the scalar variable \"" + opt.text + "\".", 1, 15);
        Translator tr(toks, *this);
        variables_[opt.value] = evaluate(tr.expression(st.begin + 3, st.end));
        return;
    }
    if (opt.kind != Token::Kind::Word)
        throw syntaxNear(opt);
    static const std::set<std::string> known = {"ANSI_NULLS",
                                                "ANSI_PADDING",
                                                "ANSI_WARNINGS",
                                                "ANSI_NULL_DFLT_ON",
                                                "ANSI_NULL_DFLT_OFF",
                                                "ANSI_DEFAULTS",
                                                "QUOTED_IDENTIFIER",
                                                "CONCAT_NULL_YIELDS_NULL",
                                                "ARITHABORT",
                                                "ARITHIGNORE",
                                                "NUMERIC_ROUNDABORT",
                                                "TEXTSIZE",
                                                "DATEFORMAT",
                                                "DATEFIRST",
                                                "LANGUAGE",
                                                "IMPLICIT_TRANSACTIONS",
                                                "TRANSACTION",
                                                "LOCK_TIMEOUT",
                                                "DEADLOCK_PRIORITY",
                                                "XACT_ABORT",
                                                "ROWCOUNT",
                                                "CURSOR_CLOSE_ON_COMMIT",
                                                "NOCOUNT",
                                                "IDENTITY_INSERT",
                                                "STATISTICS",
                                                "SHOWPLAN_TEXT",
                                                "SHOWPLAN_ALL",
                                                "FMTONLY",
                                                "NOEXEC",
                                                "PARSEONLY",
                                                "QUERY_GOVERNOR_COST_LIMIT",
                                                "FORCEPLAN",
                                                "REMOTE_PROC_TRANSACTIONS",
                                                "NO_BROWSETABLE",
                                                "CONTEXT_INFO"};
    if (!known.count(opt.value))
        throw sqlError(195, "'" + opt.text + "' is not a recognized SET option.", 1, 15);
    if (opt.value == "NOCOUNT")
        nocount_ = toks[st.begin + 2].is("ON");
    if (opt.value == "FMTONLY" || opt.value == "NOEXEC" || opt.value == "PARSEONLY") {
        if (toks[st.begin + 2].is("ON"))
            throw notSupported("SET " + opt.value + " ON");
    }
}

void SessionImpl::runDeclare(const std::vector<Token>& toks, const Statement& st) {
    size_t i = st.begin + 1;
    while (i < st.end) {
        const Token& v = toks[i];
        if (v.kind != Token::Kind::Variable)
            throw syntaxNear(v);
        ++i;
        if (toks[i].is("AS"))
            ++i;
        if (toks[i].is("TABLE") || toks[i].is("CURSOR"))
            throw notSupported("table and cursor variables");
        if (!toks[i].isName())
            throw syntaxNear(toks[i]);
        ++i;
        int depth = 0;
        while (i < st.end && (depth > 0 || toks[i].isOp("("))) {
            if (toks[i].isOp("("))
                ++depth;
            else if (toks[i].isOp(")"))
                --depth;
            ++i;
        }
        Value val = Value::null();
        if (toks[i].isOp("=")) {
            ++i;
            size_t start = i;
            depth = 0;
            while (i < st.end && !(depth == 0 && toks[i].isOp(","))) {
                if (toks[i].isOp("("))
                    ++depth;
                else if (toks[i].isOp(")"))
                    --depth;
                ++i;
            }
            std::vector<Token> sub(toks.begin() + static_cast<long>(start),
                                   toks.begin() + static_cast<long>(i));
            sub.push_back(toks.back());
            Translator tr(sub, *this);
            val = evaluate(tr.expression(0, sub.size() - 1));
        }
        variables_[v.value] = val;
        if (toks[i].isOp(","))
            ++i;
    }
}

void SessionImpl::waitFor(const std::vector<Token>& toks, const Statement& st,
                          const std::atomic<bool>& cancel) {
    const Token& mode = toks[st.begin + 1];
    const Token& val = toks[st.begin + 2];
    if (!(mode.is("DELAY") || mode.is("TIME")) ||
        !(val.kind == Token::Kind::String || val.kind == Token::Kind::NString))
        throw syntaxNear(mode);
    int h = 0, m = 0, s = 0, ms = 0;
    char frac[8] = {0};
    int got = std::sscanf(val.value.c_str(), "%d:%d:%d.%3[0-9]", &h, &m, &s, frac);
    if (got < 2)
        throw sqlError(
            148, "Incorrect time syntax in time string '" + val.value + "' used with WAITFOR.", 1,
            15);
    if (frac[0])
        ms = std::stoi((std::string(frac) + "00").substr(0, 3));
    auto delay = std::chrono::milliseconds(((h * 60 + m) * 60 + s) * 1000LL + ms);
    if (mode.is("TIME")) {
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        long long target = (h * 60 + m) * 60 + s;
        long long cur = (tm.tm_hour * 60 + tm.tm_min) * 60 + tm.tm_sec;
        long long diff = target - cur;
        if (diff < 0)
            diff += 86400;
        delay = std::chrono::milliseconds(diff * 1000);
    }
    auto until = std::chrono::steady_clock::now() + delay;
    while (std::chrono::steady_clock::now() < until) {
        if (cancel.load())
            throw Cancelled{};
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void SessionImpl::use(const std::string& dbName, ResultSink& sink) {
    auto entry = engine_.database(dbName);
    if (!entry) {
        if (engine_.major <= 8)
            throw sqlError(911,
                           "Could not locate entry in sysdatabases for database '" + dbName +
                               "'. No entry found with that name. Make sure that the name "
                               "is entered correctly.",
                           1);
        throw sqlError(911,
                       "Database '" + dbName +
                           "' does not exist. Make sure that the name is entered correctly.",
                       1);
    }
    openConnection(*entry);
    std::string old = currentDb_;
    currentDb_ = entry->name;
    sink.databaseChanged(currentDb_, old);
    ServerMessage m;
    m.number = 5701;
    m.state = 1;
    m.severity = 0;
    m.text = "Changed database context to '" + currentDb_ + "'.";
    sink.message(m);
}

void SessionImpl::runExec(const std::vector<Token>& toks, const Statement& st, ResultSink& sink,
                          const std::atomic<bool>& cancel, bool more) {
    size_t i = st.begin + (st.kind == "EXEC*" ? 0 : 1);
    if (toks[i].kind == Token::Kind::Variable && toks[i + 1].isOp("="))
        i += 2; // EXEC @rc = proc
    if (toks[i].isOp("(")) {
        // EXEC ('dynamic sql')
        ++i;
        std::string text;
        while (i < st.end && !toks[i].isOp(")")) {
            if (toks[i].kind == Token::Kind::String || toks[i].kind == Token::Kind::NString)
                text += toks[i].value;
            else if (!toks[i].isOp("+"))
                throw notSupported("EXEC of an expression other than string literals");
            ++i;
        }
        std::string err;
        auto inner = tokenize(text, err);
        if (!err.empty())
            throw sqlError(105, err, 1, 15);
        run(text, inner, sink, cancel, {});
        return;
    }
    std::string procName;
    if (toks[i].isName()) {
        procName = toks[i++].name();
        while (toks[i].isOp(".")) {
            procName += ".";
            ++i;
            if (toks[i].isName())
                procName += toks[i++].name();
        }
    }
    if (procName.empty())
        throw syntaxNear(toks[i]);
    std::vector<RpcParam> params;
    while (i < st.end) {
        RpcParam p;
        if (toks[i].kind == Token::Kind::Variable && toks[i + 1].isOp("=")) {
            p.name = toks[i].text;
            i += 2;
        }
        const Token& v = toks[i];
        bool neg = false;
        if (v.isOp("-")) {
            neg = true;
            ++i;
        }
        const Token& val = toks[i];
        if (val.kind == Token::Kind::String || val.kind == Token::Kind::NString)
            p.value = Value::str(val.value);
        else if (val.kind == Token::Kind::Number)
            p.value = val.text.find('.') == std::string::npos
                          ? Value::integer((neg ? -1 : 1) * std::stoll(val.text))
                          : Value::real((neg ? -1 : 1) * std::stod(val.text));
        else if (val.is("NULL") || val.is("DEFAULT"))
            p.value = Value::null();
        else if (val.kind == Token::Kind::Variable) {
            auto it = variables_.find(val.value);
            if (it == variables_.end())
                throw sqlError(137, "Must declare the scalar variable \"" + val.text + "\".", 2,
                               15);
            p.value = it->second;
        } else if (val.isName())
            p.value = Value::str(val.name());
        else
            throw syntaxNear(val);
        ++i;
        if (toks[i].is("OUTPUT") || toks[i].is("OUT")) {
            p.output = true;
            ++i;
        }
        params.push_back(p);
        if (toks[i].isOp(","))
            ++i;
        else if (i < st.end)
            throw syntaxNear(toks[i]);
    }
    runProcedure(procName, params, sink, cancel, more);
}

void SessionImpl::runProcedure(const std::string& fullName, const std::vector<RpcParam>& params,
                               ResultSink& sink, const std::atomic<bool>& cancel, bool more) {
    std::string name =
        fullName.substr(fullName.rfind('.') == std::string::npos ? 0 : fullName.rfind('.') + 1);
    std::string lname = lower(name);
    auto param = [&](const char* pname, size_t pos) -> std::optional<Value> {
        // Callers name parameters with or without the leading @.
        for (const auto& p : params)
            if (!p.name.empty() && iequals(p.name[0] == '@' ? p.name.substr(1) : p.name, pname + 1))
                return p.value;
        if (pos < params.size() && params[pos].name.empty())
            return params[pos].value;
        return std::nullopt;
    };
    auto text = [](const std::optional<Value>& v) {
        if (!v || v->kind == Value::Kind::Null)
            return std::string();
        return v->kind == Value::Kind::Int ? std::to_string(v->i) : v->text;
    };
    if (lname == "sp_executesql" || lname == "sp_prepexec") {
        size_t stmtPos = lname == "sp_executesql" ? 0 : 2;
        auto stmt = param("@stmt", stmtPos);
        if (!stmt && stmtPos < params.size())
            stmt = params[stmtPos].value;
        std::string sql = text(stmt);
        std::map<std::string, Value> bound;
        size_t firstValue = stmtPos + 2;
        for (size_t k = firstValue; k < params.size(); ++k)
            if (!params[k].name.empty())
                bound[upper(params[k].name)] = params[k].value;
        // Positional values follow the order of the declared parameters (@P1, @P2, ...).
        std::string decl = params.size() > stmtPos + 1 ? text(params[stmtPos + 1].value) : "";
        std::vector<std::string> declared;
        for (size_t p = decl.find('@'); p != std::string::npos; p = decl.find('@', p + 1)) {
            size_t e = p + 1;
            while (e < decl.size() &&
                   (std::isalnum(static_cast<unsigned char>(decl[e])) || decl[e] == '_'))
                ++e;
            declared.push_back(upper(decl.substr(p, e - p)));
        }
        size_t posIdx = 0;
        for (size_t k = firstValue; k < params.size(); ++k)
            if (params[k].name.empty() && posIdx < declared.size())
                bound[declared[posIdx++]] = params[k].value;
        std::string err;
        auto toks = tokenize(sql, err);
        if (!err.empty())
            throw sqlError(105, err, 1, 15);
        run(sql, toks, sink, cancel, bound);
        return;
    }
    if (lname == "sp_attach_db" || lname == "sp_attach_single_file_db") {
        std::string db = text(param("@dbname", 0));
        std::string file = text(param("@filename1", 1));
        if (db.empty() || file.empty())
            throw sqlError(201,
                           "Procedure or function '" + lname +
                               "' expects parameter '@dbname', which was not supplied.",
                           4);
        attach(db, file, sink);
        sink.returnStatus(0);
        sink.done(false, 0, more);
        return;
    }
    if (lname == "sp_addtype") {
        std::lock_guard<std::recursive_mutex> lock(engine_.ddlMutex);
        std::string tname = text(param("@typename", 0));
        std::string phys = text(param("@phystype", 1));
        std::string nulls = text(param("@nulltype", 2));
        addUserType(*this, tname, phys, !iequals(nulls, "NOT NULL"));
        sink.returnStatus(0);
        sink.done(false, 0, more);
        return;
    }
    if (lname == "sp_adduser" || lname == "sp_grantdbaccess") {
        std::lock_guard<std::recursive_mutex> lock(engine_.ddlMutex);
        std::string login = text(param("@loginame", 0));
        std::string user = text(param(lname == "sp_adduser" ? "@name_in_db" : "@name_in_db", 1));
        if (user.empty())
            user = login;
        Catalog cat = catalog();
        if (!cat.userId(user))
            cat.addUser(user, true);
        sink.returnStatus(0);
        sink.done(false, 0, more);
        return;
    }
    if (lname == "sp_addlogin" || lname == "sp_defaultdb" || lname == "sp_password") {
        sink.returnStatus(0);
        sink.done(false, 0, more);
        return;
    }
    if (catalog().findObject(name, std::nullopt))
        throw notSupported("running stored procedures");
    throw sqlError(2812, "Could not find stored procedure '" + name + "'.", 62);
}

void SessionImpl::attach(const std::string& dbName, const std::string& file, ResultSink& sink) {
    (void)sink;
    engine_.attachDatabase(dbName, file);
}

void SessionImpl::executeRpc(const std::string& procName, const std::vector<RpcParam>& params,
                             ResultSink& sink, const std::atomic<bool>& cancel) {
    try {
        runProcedure(procName, params, sink, cancel, false);
    } catch (const SqlError& e) {
        sink.message(e.msg);
        sink.done(false, 0, false);
    } catch (const SqliteError& e) {
        try {
            sink.message(fromSqlite(e.what()).msg);
            sink.done(false, 0, false);
        } catch (const Cancelled&) {
        }
    } catch (const Cancelled&) {
    }
}

} // namespace sqlsim
