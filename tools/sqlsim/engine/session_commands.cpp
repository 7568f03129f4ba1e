// SET, DECLARE, WAITFOR, USE and procedure calls (system procedures and RPC).
#include "engine/integrity.h"
#include "engine/later_syntax.h"
#include "engine/module_text.h"
#include "engine/session.h"
#include "engine/session_internal.h"
#include "engine/values.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <thread>

namespace sqlsim {

void SessionImpl::runSet(const std::vector<Token>& toks, const Statement& st) {
    const Token& opt = toks[st.begin + 1];
    if (opt.kind == Token::Kind::Variable) {
        if (!toks[st.begin + 2].isOp("="))
            throw syntaxNear(toks[st.begin + 2]);
        if (!variables_.count(opt.value))
            throw sqlError(137, "Must declare the scalar variable \"" + opt.text + "\".", 1, 15);
        Translator tr(toks, *this);
        variables_[opt.value] =
            evaluate(assignedAs(opt.value, tr.expression(st.begin + 3, st.end)));
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
    if (opt.value == "DATEFORMAT")
        setDateFormat(toks[st.begin + 2]);
    if (opt.value == "ROWCOUNT") {
        Translator tr(toks, *this);
        Value v = evaluate(tr.expression(st.begin + 2, st.end));
        long long n = v.kind == Value::Kind::Int     ? v.i
                      : v.kind == Value::Kind::Float ? static_cast<long long>(v.f)
                      : v.kind == Value::Kind::Text  ? std::atoll(v.text.c_str())
                                                     : 0;
        rowLimit_ = n > 0 ? n : 0;
    }
    if (opt.value == "XACT_ABORT")
        xactAbort_ = toks[st.begin + 2].is("ON");
    if (opt.value == "NOEXEC") {
        noexec_ = toks[st.begin + 2].is("ON");
        return;
    }
    if (opt.value == "FMTONLY" || opt.value == "PARSEONLY") {
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
        if (toks[i].is("TABLE")) {
            declareTableVariable(v, toks, i + 1, st.end);
            return;
        }
        if (toks[i].is("CURSOR"))
            throw notSupported("cursor variables");
        if (!toks[i].isName())
            throw syntaxNear(toks[i]);
        const std::string typeName = lower(toks[i].name());
        if (!setupScript && laterBuiltin(typeName, engine_.major))
            throw sqlError(2715, unknownTypeMessage(engine_.major, 1, toks[i].name()), 3);
        if (convertsOnWrite(typeName))
            variableTypes_[v.value] = typeName;
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
            val = evaluate(assignedAs(v.value, tr.expression(0, sub.size() - 1)));
        }
        variables_[v.value] = val;
        if (toks[i].isOp(","))
            ++i;
    }
}

void SessionImpl::declareTableVariable(const Token& variable, const std::vector<Token>& toks,
                                       size_t from, size_t end) {
    // The rows live in a table of this session's own, made from the declared columns as
    // CREATE TABLE makes a #table; the variable holds that table's name for the batch.
    if (from >= end || !toks[from].isOp("("))
        throw syntaxNear(toks[std::min(from, toks.size() - 1)]);
    const std::string table =
        "#sqlsim_tv_" + std::to_string(++attachCounter_) + "_" + variable.value.substr(1);
    std::string ddl = "CREATE TABLE [" + table + "] ";
    for (size_t k = from; k < end; ++k)
        ddl += toks[k].text + " ";
    std::string err;
    auto ddlToks = tokenize(ddl, err);
    if (!err.empty())
        throw sqlError(105, err, 1, 15);
    {
        std::lock_guard<std::recursive_mutex> lock(engine_.ddlMutex);
        executeDdl(*this, ddl, ddlToks, Statement{0, ddlToks.size() - 1, "CREATE"});
    }
    variables_[variable.value] = Value::str(table);
    variableTypes_[variable.value] = "table";
    batchTables_.push_back(table);
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
    switchTo(*entry);
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
    std::string statusVariable; // EXEC @rc = proc
    if (toks[i].kind == Token::Kind::Variable && toks[i + 1].isOp("=")) {
        statusVariable = toks[i].value;
        if (!variables_.count(statusVariable))
            throw sqlError(137, "Must declare the scalar variable \"" + toks[i].text + "\".", 2,
                           15);
        i += 2;
    }
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
        if (!run(text, inner, sink, cancel, {}))
            throw BatchAborted{};
        return;
    }
    std::string procName;
    if (toks[i].kind == Token::Kind::Variable) {
        // EXECUTE @name: the procedure's name is the variable's value.
        auto it = variables_.find(toks[i].value);
        if (it == variables_.end())
            throw sqlError(137, "Must declare the scalar variable \"" + toks[i].text + "\".", 2,
                           15);
        procName = it->second.text;
        ++i;
        if (procName.empty())
            throw syntaxNear(toks[i - 1]);
    } else if (toks[i].isName()) {
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
    std::map<size_t, std::string> outputTargets; // argument position -> caller's variable
    while (i < st.end) {
        RpcParam p;
        if (toks[i].kind == Token::Kind::Variable && toks[i + 1].isOp("=")) {
            p.name = toks[i].text;
            i += 2;
        }
        const Token& val = toks[i];
        if (val.kind == Token::Kind::Variable) {
            auto it = variables_.find(val.value);
            if (it == variables_.end())
                throw sqlError(137, "Must declare the scalar variable \"" + val.text + "\".", 2,
                               15);
            p.value = it->second;
            outputTargets[params.size()] = val.value;
        } else if (val.is("DEFAULT")) {
            p.value = Value::null();
            p.useDefault = true;
        } else {
            size_t at = i;
            auto constant = readConstant(toks, at);
            if (!constant)
                throw syntaxNear(val);
            p.value = *constant;
            i = at - 1;
        }
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
    returnStatus_ = 0;
    procOutputs_.clear();
    runProcedure(procName, params, sink, cancel, more);
    // OUTPUT arguments take what the procedure left in its parameters.
    for (const auto& [pos, value] : procOutputs_) {
        auto target = outputTargets.find(pos);
        if (target != outputTargets.end() && params[pos].output)
            variables_[target->second] = value;
    }
    if (!statusVariable.empty())
        variables_[statusVariable] = Value::integer(returnStatus_);
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
        if (!setupScript) {
            std::string declError;
            refuseLaterSyntax(tokenize(decl, declError), engine_.major);
        }
        size_t posIdx = 0;
        for (size_t k = firstValue; k < params.size(); ++k)
            if (params[k].name.empty() && posIdx < declared.size())
                bound[declared[posIdx++]] = params[k].value;
        std::string err;
        auto toks = tokenize(sql, err);
        if (!err.empty())
            throw sqlError(105, err, 1, 15);
        // A procedure that ends with another @@TRANCOUNT than it began with gets 266 (Rollbacks
        // and Commits in Stored Procedures and Triggers); the transaction itself stays as left.
        const int before = tranCount_;
        if (!run(sql, toks, sink, cancel, bound))
            throw BatchAborted{};
        if (tranCount_ != before)
            throw transactionCountChanged(engine_.major, before, tranCount_);
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
    if (lname == "sp_dboption") {
        // Database options as the 2000 scripts set them (sp_dboption).
        std::string db = text(param("@dbname", 0));
        if (!db.empty() && !engine_.database(db))
            throw sqlError(15010,
                           "The database '" + db +
                               "' does not exist. Use sp_helpdb to show available databases.",
                           1);
        // The options that have an ALTER DATABASE counterpart are kept as it keeps them.
        const std::string opt = lower(text(param("@optname", 1)));
        const std::string val = lower(text(param("@optvalue", 2)));
        const bool on = val == "true" || val == "on";
        if (!db.empty() && !opt.empty() && !val.empty()) {
            if (opt == "read only")
                setDatabaseOption(db, "UPDATEABILITY", on ? "READ_ONLY" : "READ_WRITE");
            else if (opt == "single user")
                setDatabaseOption(db, "ACCESS", on ? "SINGLE_USER" : "MULTI_USER");
            else if (opt == "dbo use only")
                setDatabaseOption(db, "ACCESS", on ? "RESTRICTED_USER" : "MULTI_USER");
            else if (opt == "offline")
                setDatabaseOption(db, "STATE", on ? "OFFLINE" : "ONLINE");
            else if (opt == "trunc. log on chkpt.")
                setDatabaseOption(db, "RECOVERY", on ? "SIMPLE" : "FULL");
            else if (opt == "ansi nulls")
                setDatabaseOption(db, "ANSI_NULLS", on ? "ON" : "OFF");
            else if (opt == "quoted identifier")
                setDatabaseOption(db, "QUOTED_IDENTIFIER", on ? "ON" : "OFF");
            else if (opt == "autoclose")
                setDatabaseOption(db, "AUTO_CLOSE", on ? "ON" : "OFF");
            else if (opt == "autoshrink")
                setDatabaseOption(db, "AUTO_SHRINK", on ? "ON" : "OFF");
        }
        sink.returnStatus(0);
        sink.done(false, 0, more);
        return;
    }
    if (lname == "sp_addlogin" || lname == "sp_defaultdb" || lname == "sp_password") {
        sink.returnStatus(0);
        sink.done(false, 0, more);
        return;
    }
    if (runSchemaProcedure(*this, lname, params, sink, more))
        return;
    if (runUserProcedure(fullName, params, sink, cancel, more))
        return;
    throw sqlError(2812, "Could not find stored procedure '" + name + "'.", 62);
}

void SessionImpl::attach(const std::string& dbName, const std::string& file, ResultSink& sink) {
    (void)sink;
    engine_.attachDatabase(dbName, file);
}

void SessionImpl::executeRpc(const std::string& procName, const std::vector<RpcParam>& params,
                             ResultSink& sink, const std::atomic<bool>& cancel) {
    batchAborted_ = false;
    try {
        runProcedure(procName, params, sink, cancel, false);
    } catch (const BatchAborted&) {
        // The error has been told already.
    } catch (const SqlError& e) {
        lastError_ = e.msg.number;
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

namespace sqlsim {

namespace {

// RAISERROR's format follows printf: % [flags] [width] [. precision] [h | l] type, with the
// types d, i, o, s, u, x and X, `*` taking a width or precision from the arguments, and %%
// for a percent sign (RAISERROR, "message"). An argument of the wrong kind for its type is
// error 2786; a missing one prints as (null).
std::string formatRaiserror(const std::string& format, const std::vector<Value>& args) {
    std::string out;
    size_t next = 0;
    auto number = [](const Value& v) -> std::optional<long long> {
        if (v.kind == Value::Kind::Int)
            return v.i;
        if (v.kind == Value::Kind::Float)
            return static_cast<long long>(v.f);
        return std::nullopt;
    };
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        if (format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        size_t j = i + 1;
        std::string conversion = "%";
        while (j < format.size() && std::strchr("-+ #0", format[j]))
            conversion += format[j++];
        auto countOrStar = [&]() {
            if (j < format.size() && format[j] == '*') {
                ++j;
                long long n = 0;
                if (next < args.size())
                    n = number(args[next++]).value_or(0);
                conversion += std::to_string(n);
                return;
            }
            while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])))
                conversion += format[j++];
        };
        countOrStar();
        if (j < format.size() && format[j] == '.') {
            conversion += format[j++];
            countOrStar();
        }
        while (j < format.size() && (format[j] == 'h' || format[j] == 'l' || format[j] == 'I'))
            ++j;
        if (j >= format.size() || !std::strchr("sdiuoxX", format[j])) {
            out += format[i];
            continue;
        }
        const char type = format[j];
        const size_t argNo = next + 1;
        std::optional<Value> v;
        if (next < args.size())
            v = args[next++];
        char buf[512];
        if (!v || v->kind == Value::Kind::Null) {
            std::snprintf(buf, sizeof buf, (conversion + "s").c_str(), "(null)");
        } else if (type == 's') {
            if (v->kind != Value::Kind::Text)
                throw sqlError(2786,
                               "The data type of substitution parameter " + std::to_string(argNo) +
                                   " does not match the expected type of the format "
                                   "specification.",
                               1);
            std::snprintf(buf, sizeof buf, (conversion + "s").c_str(), v->text.c_str());
        } else {
            auto n = number(*v);
            if (!n)
                throw sqlError(2786,
                               "The data type of substitution parameter " + std::to_string(argNo) +
                                   " does not match the expected type of the format "
                                   "specification.",
                               1);
            // The arguments are int at most: d and i are signed 32-bit, the others unsigned.
            if (type == 'd' || type == 'i')
                std::snprintf(buf, sizeof buf, (conversion + "d").c_str(), static_cast<int>(*n));
            else
                std::snprintf(buf, sizeof buf, (conversion + type).c_str(),
                              static_cast<unsigned>(*n));
        }
        out += buf;
        i = j;
    }
    return out;
}

} // namespace

void SessionImpl::runRaiserror(const std::vector<Token>& toks, const Statement& st,
                               ResultSink& sink) {
    size_t i = st.begin + 1;
    if (!toks[i].isOp("("))
        throw syntaxNear(toks[i]);
    // The arguments, split at the commas outside nested parentheses.
    std::vector<std::pair<size_t, size_t>> parts;
    size_t start = ++i;
    int depth = 0;
    for (; i < st.end; ++i) {
        if (toks[i].isOp("("))
            ++depth;
        else if (toks[i].isOp(")") && depth-- == 0)
            break;
        else if (toks[i].isOp(",") && depth == 0) {
            parts.push_back({start, i});
            start = i + 1;
        }
    }
    if (i >= st.end)
        throw syntaxNear(toks[st.end - 1]);
    parts.push_back({start, i});
    if (parts.size() < 3 ||
        std::any_of(parts.begin(), parts.end(), [](const auto& p) { return p.first == p.second; }))
        throw syntaxNear(toks[i]);
    // WITH LOG | NOWAIT | SETERROR [, ...]
    bool withLog = false, setError = false;
    ++i;
    if (toks[i].is("WITH")) {
        do {
            ++i;
            if (toks[i].is("LOG"))
                withLog = true;
            else if (toks[i].is("SETERROR"))
                setError = true;
            else if (!toks[i].is("NOWAIT"))
                throw syntaxNear(toks[i]);
            ++i;
        } while (toks[i].isOp(","));
    }
    if (i < st.end && !toks[i].isOp(";"))
        throw syntaxNear(toks[i]);
    Translator tr(toks, *this);
    std::vector<Value> values;
    for (const auto& [a, b] : parts)
        values.push_back(evaluate(tr.expression(a, b)));
    long long severity = values[1].kind == Value::Kind::Int ? values[1].i : 16;
    const long long state = values[2].kind == Value::Kind::Int ? values[2].i : 1;
    const bool sysadmin = iequals(login_, "sa");
    // WITH LOG is for members of sysadmin; so are severities above 18, which also need it.
    if (withLog && !sysadmin)
        throw sqlError(2778, "Only System Administrator can specify WITH LOG option for "
                             "RAISERROR command.");
    if (severity > 18 && !withLog)
        throw sqlError(2754,
                       "Error severity levels greater than 18 can only be specified by members "
                       "of the sysadmin role, using the WITH LOG option.",
                       1, 16);
    severity = std::clamp(severity, 0LL, 25LL);
    ServerMessage m;
    m.number = 50000;
    m.severity = static_cast<uint8_t>(severity);
    m.state = static_cast<uint8_t>(state < 0 || state > 255 ? 1 : state);
    m.line = toks[st.begin].line;
    if (values[0].kind == Value::Kind::Int) {
        // No user messages are kept (sp_addmessage), so a number names none.
        const long long n = values[0].i;
        if (n < 13000 || n == 50000)
            throw sqlError(2732,
                           "Error number " + std::to_string(n) +
                               " is invalid. The number must be from 13000 through 2147483647 "
                               "and it cannot be 50000.");
        m.number = 18054;
        m.severity = 16;
        m.text = "Error " + std::to_string(n) + ", severity " + std::to_string(severity) +
                 ", state " + std::to_string(state) +
                 " was raised, but no message with that error number was found in " +
                 (engine_.major <= 8 ? "sysmessages" : "sys.messages") +
                 ". If error is larger than 50000, make sure the user-defined message is added "
                 "using sp_addmessage.";
    } else {
        m.text = formatRaiserror(values[0].text, {values.begin() + 3, values.end()});
    }
    if (!moduleStack_.empty())
        m.procName = moduleStack_.back();
    if (tryDepth_ > 0 && m.severity > 10 && m.severity < 20)
        throw CaughtError{m};
    sink.message(m);
    // Severities up to 10 are information: the statement succeeded.
    lastError_ = m.severity > 10 || setError ? m.number : 0;
    if (m.severity >= 20) {
        // A fatal severity ends the connection's work: its transaction and the batch.
        endTransaction(false);
        batchAborted_ = true;
        sink.done(false, 0, false);
        throw BatchAborted{};
    }
}

void SessionImpl::runTriggerSwitch(const std::vector<Token>& toks, const Statement& st) {
    const bool disable = toks[st.begin].is("DISABLE");
    size_t i = st.begin + 1;
    if (engine_.major <= 8 || !toks[i].is("TRIGGER"))
        throw syntaxNear(toks[i]);
    ++i;
    std::vector<std::vector<std::string>> names;
    bool all = false;
    if (toks[i].is("ALL")) {
        all = true;
        ++i;
    } else {
        while (true) {
            if (!toks[i].isName())
                throw syntaxNear(toks[i]);
            std::vector<std::string> parts{toks[i++].name()};
            while (toks[i].isOp(".") && toks[i + 1].isName()) {
                parts.push_back(toks[i + 1].name());
                i += 2;
            }
            names.push_back(parts);
            if (!toks[i].isOp(","))
                break;
            ++i;
        }
    }
    if (!toks[i].is("ON"))
        throw syntaxNear(toks[i]);
    ++i;
    if (toks[i].is("DATABASE") || toks[i].is("ALL"))
        throw notSupported("database and server triggers");
    std::vector<std::string> tableParts;
    std::string written;
    while (toks[i].isName()) {
        tableParts.push_back(toks[i].name());
        written += (written.empty() ? "" : ".") + toks[i].text;
        ++i;
        if (!toks[i].isOp("."))
            break;
        ++i;
    }
    if (tableParts.empty() || (i < st.end && !toks[i].isOp(";")))
        throw syntaxNear(toks[std::min(i, st.end)]);
    ResolvedTable table = resolveTable(tableParts, written);
    const std::string schema = table.sqlRef.substr(1, table.sqlRef.find('"', 1) - 1);
    Catalog cat(conn_.get(), schema, engine_.major);
    std::vector<int> ids;
    Stmt list(conn_.get(), "SELECT id, name FROM " + cat.t("sysobjects") +
                               " WHERE parent_obj = ? AND xtype = 'TR' ORDER BY id");
    list.bind(1, table.objectId);
    std::map<std::string, int> byName;
    while (list.step())
        byName[lower(list.text(1))] = static_cast<int>(list.integer(0));
    if (all) {
        for (const auto& [name, id] : byName)
            ids.push_back(id);
    } else {
        for (const auto& parts : names) {
            auto it = byName.find(lower(parts.back()));
            if (it == byName.end())
                throw sqlError(3701,
                               "Cannot find the object \"" + parts.back() +
                                   "\" because it does not exist or you do not have permissions.",
                               5, 11);
            ids.push_back(it->second);
        }
    }
    for (int id : ids)
        setDisabled(cat, id, disable);
}

} // namespace sqlsim
