#include "engine/session.h"

#include "engine/errors.h"
#include "engine/later_syntax.h"
#include "engine/session_internal.h"
#include "engine/types.h"
#include "engine/values.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <thread>

namespace sqlsim {

const std::set<std::string>& statementStarters() {
    static const std::set<std::string> s = {
        "SELECT",  "INSERT",   "UPDATE", "DELETE",    "CREATE",     "ALTER",  "DROP",
        "USE",     "SET",      "EXEC",   "EXECUTE",   "WAITFOR",    "IF",     "PRINT",
        "DECLARE", "GRANT",    "REVOKE", "DENY",      "BEGIN",      "COMMIT", "ROLLBACK",
        "RETURN",  "TRUNCATE", "WHILE",  "RAISERROR", "CHECKPOINT", "DBCC",   "SAVE",
        "DISABLE", "ENABLE",   "BREAK",  "CONTINUE"};
    return s;
}

SqlError fromSqlite(const std::string& msg) {
    // Errors the registered functions raise carry SQL Server's number and severity.
    if (msg.rfind(kCodedErrorPrefix, 0) == 0) {
        int number = 0, severity = 16;
        int used = 0;
        if (std::sscanf(msg.c_str() + kCodedErrorPrefix.size(), "%d:%d:%n", &number, &severity,
                        &used) == 2 &&
            used > 0)
            return sqlError(number, msg.substr(kCodedErrorPrefix.size() + used), 1, severity);
    }
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
    // Another session's transaction held the file for the whole busy timeout: as a lock wait
    // that ran out.
    if (msg == "database is locked")
        return sqlError(1222, "Lock request time out period exceeded.", 51);
    if (msg.rfind("near \"", 0) == 0 && msg.find("\": syntax error") != std::string::npos) {
        std::string near = msg.substr(6, msg.find("\": syntax error") - 6);
        return sqlError(102, "Incorrect syntax near '" + near + "'.", 1, 15);
    }
    if (auto known = valueErrorFromText(msg))
        return *known;
    return sqlError(50000, "The statement failed: " + msg + ".");
}

namespace {

bool isSystemTable(const std::string& lowerName) {
    static const std::set<std::string> s = {
        "sysobjects",   "syscolumns",    "systypes",       "syscomments", "sysindexes",
        "sysindexkeys", "sysreferences", "sysforeignkeys", "sysusers",    "sysdepends"};
    return s.count(lowerName) > 0;
}

int progressHandler(void* arg) {
    auto* flag = static_cast<const std::atomic<bool>*>(arg);
    return flag && flag->load() ? 1 : 0;
}

} // namespace

SessionImpl::SessionImpl(Engine::Impl& engine, std::string login, const DatabaseEntry& db,
                         const ConnectionFacts* connection)
    : engine_(engine), login_(std::move(login)) {
    sessionId_ = engine_.claimSessionId(
        {login_, nowDateTime(),
         connection ? std::optional<ConnectionFacts>(*connection) : std::nullopt});
    adopt(openFile(db));
    currentDb_ = db.name;
    loginDb_ = db.name;
}

SessionImpl::OpenFile SessionImpl::openFile(const DatabaseEntry& db) {
    OpenFile f{Engine::Impl::openFile(db.path), db.path, {}};
    registerFunctions(f.conn.get(), this);
    // Attached up front: functions reach master while a statement runs, when ATTACH is not allowed.
    if (!iequals(db.name, "master")) {
        if (auto m = engine_.database("master")) {
            Stmt st(f.conn.get(), "ATTACH DATABASE ? AS " + sqlId("db" + std::to_string(m->dbid)));
            st.bind(1, m->path);
            st.step();
            f.attached["master"] = "db" + std::to_string(m->dbid);
        }
    }
    return f;
}

SessionImpl::OpenFile SessionImpl::adopt(OpenFile f) {
    OpenFile previous{std::move(conn_), std::move(currentPath_), std::move(attached_)};
    if (previous.conn)
        sqlite3_progress_handler(previous.conn.get(), 0, nullptr, nullptr);
    conn_ = std::move(f.conn);
    catalogMemo = {}; // a new handle may reuse the old one's address
    currentPath_ = std::move(f.path);
    attached_ = std::move(f.attached);
    return previous;
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
    // SQLite attaches no file while a transaction is open on the connection.
    if (tranCount_ > 0 && !sqlite3_get_autocommit(conn_.get()))
        throw notSupported("reaching database '" + entry->name +
                           "' for the first time inside a transaction that has written");
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
    // Inside a trigger, inserted and deleted are the firing statement's rows.
    if (!firing_.empty() && parts.size() == 1) {
        if (iequals(name, "inserted"))
            return {sqlId("temp") + "." + sqlId(firing_.back().inserted), name, 0};
        if (iequals(name, "deleted"))
            return {sqlId("temp") + "." + sqlId(firing_.back().deleted), name, 0};
    }
    // A table variable stands for the table made when it was declared.
    if (parts.size() == 1 && !name.empty() && name[0] == '@') {
        auto it = variables_.find(upper(name));
        auto type = variableTypes_.find(upper(name));
        if (it == variables_.end() || type == variableTypes_.end() || type->second != "table")
            throw sqlError(1087, "Must declare the table variable \"" + name + "\".", 1, 15);
        ResolvedTable t = resolveAny({it->second.text}, written);
        t.alias = name;
        return t;
    }
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
    // By-name dependencies came with SQL Server 2008.
    if (sysSchema && engine_.major < 10 && lname == "sql_expression_dependencies")
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
        if (lname == "dm_exec_connections")
            return connectionsView(written);
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
        if (c.identity || c.computed) // no value is given for a computed column either
            hasIdentity = true;
        else
            out.push_back(c.name);
    }
    return hasIdentity ? out : std::vector<std::string>{};
}

std::string SessionImpl::columnBaseType(const ResolvedTable& table, const std::string& column) {
    if (!table.objectId)
        return "";
    // A view being created names its tables without the schema: they are in "main".
    std::string schema = table.sqlRef.find("\".\"") == std::string::npos
                             ? std::string("main")
                             : table.sqlRef.substr(1, table.sqlRef.find('"', 1) - 1);
    Catalog cat(conn_.get(), schema, engine_.major);
    for (const auto& c : cat.columns(table.objectId))
        if (iequals(c.name, column))
            return conversionType(c.type);
    return "";
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
    variableTypes_.clear();
    batchAborted_ = false;
    run(sql, toks, sink, cancel, {});
    // Table variables live for the batch.
    std::vector<std::string> tables;
    tables.swap(batchTables_);
    for (const auto& t : tables) {
        DiscardSink discard;
        std::atomic<bool> never{false};
        executeBatch("DROP TABLE [" + t + "]", discard, never);
    }
}

bool SessionImpl::run(const std::string& sql, const std::vector<Token>& toks, ResultSink& sink,
                      const std::atomic<bool>& cancel, const std::map<std::string, Value>& params) {
    // The whole batch is parsed before any of it runs: a construct the server's version lacks
    // stops it all.
    if (!setupScript) {
        try {
            refuseLaterSyntax(toks, engine_.major);
        } catch (const SqlError& e) {
            sink.message(e.msg);
            sink.done(false, 0, false);
            lastError_ = e.msg.number;
            return true;
        }
    }
    auto saved = variables_;
    for (const auto& [k, v] : params)
        variables_[k] = v;
    std::vector<Statement> stmts;
    try {
        stmts = split(toks);
    } catch (const SqlError& e) {
        sink.message(e.msg);
        sink.done(false, 0, false);
        lastError_ = e.msg.number;
        return true;
    }
    if (stmts.empty()) {
        sink.done(false, 0, false);
        variables_ = saved;
        return true;
    }
    sqlite3_progress_handler(conn_.get(), 1000, progressHandler,
                             const_cast<std::atomic<bool>*>(&cancel));
    // The index just past one unit: a statement, a BEGIN ... END block, a whole IF or WHILE.
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
        if (stmts[k].kind == "WHILE")
            return unitEnd(k + 1);
        if (stmts[k].kind == "BEGIN TRY") {
            int depth = 0;
            for (size_t j = k; j < stmts.size(); ++j) {
                if (stmts[j].kind == "BEGIN TRY")
                    ++depth;
                else if (stmts[j].kind == "END CATCH" && --depth == 0)
                    return j + 1;
            }
            throw syntaxNear(toks.back());
        }
        return k + 1;
    };
    // BEGIN TRY at k: where its END TRY and its BEGIN CATCH stand.
    auto tryParts = [&](size_t k) -> std::pair<size_t, size_t> {
        int depth = 0;
        for (size_t j = k; j < stmts.size(); ++j) {
            if (stmts[j].kind == "BEGIN TRY")
                ++depth;
            else if (stmts[j].kind == "END TRY" && --depth == 0) {
                // "The END TRY statement must be followed immediately by BEGIN CATCH."
                if (j + 1 >= stmts.size() || stmts[j + 1].kind != "BEGIN CATCH")
                    throw syntaxNear(toks[stmts[j].begin + 1]);
                return {j, j + 1};
            } else if (stmts[j].kind == "END TRY" && depth < 0) {
                break;
            }
        }
        throw syntaxNear(toks.back());
    };
    // A condition of IF or WHILE, true or false.
    auto condition = [&](const Statement& st) {
        std::vector<Token> cond(toks.begin() + static_cast<long>(st.begin) + 1,
                                toks.begin() + static_cast<long>(st.end));
        cond.push_back(toks.back());
        answerUpdateTests(cond);
        Translator tr(cond, *this);
        Value v = evaluate("CASE WHEN " + tr.expression(0, cond.size() - 1) + " THEN 1 ELSE 0 END");
        // Like every statement, IF and WHILE clear @@ERROR once they have read it.
        lastError_ = 0;
        return v.i != 0;
    };
    enum class Flow { Next, Stop, Break, Continue };
    // Runs statements [a, b).
    std::function<Flow(size_t, size_t)> runRange = [&](size_t a, size_t b) -> Flow {
        size_t k = a;
        while (k < b) {
            size_t next = k + 1;
            bool more = k + 1 < stmts.size();
            try {
                if (cancel.load())
                    throw Cancelled{};
                Statement st = stmts[k];
                if (st.kind == "IF" || st.kind == "WHILE" || st.kind == "BEGIN TRY")
                    next = unitEnd(k);
                if (noexec_ && !(st.kind == "SET" && st.begin + 1 < st.end &&
                                 toks[st.begin + 1].is("NOEXEC"))) {
                    // Read, not run: a whole IF or block counts as one.
                    next = unitEnd(k);
                    sink.done(false, 0, next < stmts.size());
                    k = next;
                    continue;
                }
                if (st.kind == "IF") {
                    if (st.end == st.begin + 1 || k + 1 >= stmts.size())
                        throw syntaxNear(toks[st.end < toks.size() ? st.end - 1 : st.begin]);
                    const bool yes = condition(st);
                    size_t thenEnd = unitEnd(k + 1);
                    bool hasElse = thenEnd < stmts.size() && stmts[thenEnd].kind == "ELSE";
                    size_t elseEnd = hasElse ? unitEnd(thenEnd + 1) : thenEnd;
                    Flow f = yes ? runRange(k + 1, thenEnd)
                                 : (hasElse ? runRange(thenEnd + 1, elseEnd) : Flow::Next);
                    if (f != Flow::Next)
                        return f;
                    k = elseEnd;
                    continue;
                }
                if (st.kind == "WHILE") {
                    if (st.end == st.begin + 1 || k + 1 >= stmts.size())
                        throw syntaxNear(toks[st.end < toks.size() ? st.end - 1 : st.begin]);
                    const size_t bodyEnd = unitEnd(k + 1);
                    while (condition(st)) {
                        if (cancel.load())
                            throw Cancelled{};
                        Flow f = runRange(k + 1, bodyEnd);
                        if (f == Flow::Stop)
                            return f;
                        if (f == Flow::Break)
                            break;
                    }
                    k = bodyEnd;
                    continue;
                }
                if (st.kind == "BREAK")
                    return Flow::Break;
                if (st.kind == "CONTINUE")
                    return Flow::Continue;
                if (st.kind == "BEGIN" || st.kind == "END") {
                    k = next;
                    continue;
                }
                if (st.kind == "ELSE")
                    throw syntaxNear(toks[st.begin]);
                if (st.kind == "BEGIN TRY") {
                    const auto [endTry, beginCatch] = tryParts(k);
                    const size_t endCatch = next - 1;
                    Flow f = Flow::Next;
                    std::optional<ServerMessage> caught;
                    ++tryDepth_;
                    try {
                        f = runRange(k + 1, endTry);
                    } catch (const CaughtError& e) {
                        caught = e.msg;
                    }
                    --tryDepth_;
                    if (caught) {
                        // The CATCH block runs with the error's facts at hand; @@ERROR holds
                        // its number at the block's first statement.
                        caughtErrors.push_back(*caught);
                        lastError_ = caught->number;
                        try {
                            f = runRange(beginCatch + 1, endCatch);
                        } catch (...) {
                            caughtErrors.pop_back();
                            throw;
                        }
                        caughtErrors.pop_back();
                    }
                    if (f != Flow::Next)
                        return f;
                    k = next;
                    continue;
                }
                if (st.kind == "END TRY" || st.kind == "BEGIN CATCH" || st.kind == "END CATCH")
                    throw syntaxNear(toks[st.begin + 1]);
                // A procedure name alone as the first statement of a batch runs it.
                if (k == 0 && st.kind.empty() && toks[st.begin].isName())
                    st.kind = "EXEC*";
                else if (k == 0 && !st.kind.empty() && !statementStarters().count(st.kind) &&
                         !isReservedWord(st.kind) && st.kind.find(' ') == std::string::npos)
                    st.kind = "EXEC*";
                execute(sql, toks, st, sink, cancel, more);
                // @@ERROR is 0 after every statement that succeeds; RAISERROR sets its own.
                if (st.kind != "RAISERROR")
                    lastError_ = 0;
            } catch (const SqlError& e) {
                ServerMessage m = e.msg;
                m.line = toks[stmts[k].begin].line;
                if (m.procName.empty() && !moduleStack_.empty())
                    m.procName = moduleStack_.back();
                // "TRY...CATCH": errors of severity 11 to 19 go to the CATCH block, with no
                // message to the client.
                if (tryDepth_ > 0 && m.severity > 10 && m.severity < 20)
                    throw CaughtError{m};
                for (ServerMessage p : e.preceding) {
                    p.line = m.line;
                    sink.message(p);
                }
                if (!afterError(m, sink, more && next < stmts.size()))
                    return Flow::Stop;
            } catch (const SqliteError& e) {
                try {
                    ServerMessage m = fromSqlite(e.what()).msg;
                    m.line = toks[stmts[k].begin].line;
                    if (!moduleStack_.empty())
                        m.procName = moduleStack_.back();
                    if (tryDepth_ > 0 && m.severity > 10 && m.severity < 20)
                        throw CaughtError{m};
                    if (!afterError(m, sink, more && next < stmts.size()))
                        return Flow::Stop;
                } catch (const Cancelled&) {
                    return Flow::Stop;
                }
            } catch (const Cancelled&) {
                return Flow::Stop;
            } catch (const BatchAborted&) {
                return Flow::Stop;
            }
            k = next;
        }
        return Flow::Next;
    };
    try {
        runRange(0, stmts.size());
    } catch (const CaughtError&) {
        // On its way to the CATCH block of a caller: this body's variables end here.
        variables_ = saved;
        throw;
    }
    sqlite3_progress_handler(conn_.get(), 0, nullptr, nullptr);
    // sp_executesql parameters live for its call only. A procedure reads its OUTPUT
    // parameters from what its body left.
    lastScope_ = std::move(variables_);
    variables_ = saved;
    return !batchAborted_;
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
    catalogMemo = {};
    joinTransaction(k);
    if (runMaintenance(toks, st, sink, more))
        return;
    if (k == "SELECT") {
        if (runAssignmentSelect(toks, st)) {
            sink.done(false, 0, more);
            return;
        }
        runSelect(toks, st, sink, cancel, more);
    } else if (k == "INSERT" || k == "UPDATE" || k == "DELETE") {
        runDml(toks, st, sink, cancel, more);
    } else if (k == "USE") {
        if (!toks[1].isName())
            throw syntaxNear(toks[1].kind == Token::Kind::End ? toks[0] : toks[1]);
        use(toks[1].name(), sink);
        lastRowCount_ = 0;
        sink.done(false, 0, more);
    } else if (k == "SET") {
        runSet(toks, st);
        // SET @v = ... counts its one row; SET of an option clears @@ROWCOUNT.
        lastRowCount_ = toks[1].kind == Token::Kind::Variable ? 1 : 0;
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
        lastRowCount_ = 0;
        sink.done(false, 0, more);
    } else if (k == "CREATE" || k == "ALTER" || k == "DROP") {
        // Module text is the whole batch, so hand over the original text and token offsets.
        std::vector<Token> withOffsets(all.begin() + static_cast<long>(st0.begin),
                                       all.begin() + static_cast<long>(st0.end));
        withOffsets.push_back(end);
        // Databases live in files of their own, which a rollback of this session's connection
        // could not undo; SQL Server refuses these in a transaction for its own reasons.
        if (tranCount_ > 0 && toks[1].is("DATABASE"))
            throw sqlError(226,
                           k + " DATABASE statement not allowed within multi-statement "
                               "transaction.",
                           1);
        std::lock_guard<std::recursive_mutex> lock(engine_.ddlMutex);
        executeDdl(*this, sql, withOffsets, Statement{0, withOffsets.size() - 1, k});
        sink.done(false, 0, more);
    } else if (k == "BEGIN TRAN" || k == "COMMIT" || k == "ROLLBACK" || k == "SAVE") {
        runTransaction(toks, st);
        lastRowCount_ = 0;
        sink.done(false, 0, more);
    } else if (k == "GRANT" || k == "REVOKE" || k == "DENY" || k == "CHECKPOINT") {
        // Permissions have no effect on what this server reports.
        sink.done(false, 0, more);
    } else if (k == "RETURN") {
        // RETURN [n]: a procedure's status (0 when none is given); it ends the procedure, or
        // the batch when none runs.
        returnStatus_ = 0;
        if (st.end > 1) {
            Translator tr(toks, *this);
            Value v = evaluate(tr.expression(1, st.end));
            if (v.kind == Value::Kind::Int)
                returnStatus_ = static_cast<int>(v.i);
            else if (v.kind == Value::Kind::Float)
                returnStatus_ = static_cast<int>(v.f);
            else if (v.kind == Value::Kind::Text)
                returnStatus_ = std::atoi(v.text.c_str());
        }
        sink.done(false, 0, false);
        throw Cancelled{};
    } else if (k == "RAISERROR") {
        runRaiserror(toks, st, sink);
        lastRowCount_ = 0;
        sink.done(false, 0, more);
    } else if (k == "DISABLE" || k == "ENABLE") {
        std::lock_guard<std::recursive_mutex> lock(engine_.ddlMutex);
        runTriggerSwitch(toks, st);
        sink.done(false, 0, more);
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

} // namespace sqlsim
