// Statements that deployment and maintenance scripts of the older servers send: assignment
// SELECTs, UPDATE STATISTICS and ALTER DATABASE ... SET.
#include "engine/session.h"
#include "engine/session_internal.h"

#include <set>

namespace sqlsim {

namespace {

bool endsSelectList(const Token& t) {
    static const std::set<std::string> w = {"FROM",  "WHERE",  "GROUP",     "HAVING", "ORDER",
                                            "UNION", "EXCEPT", "INTERSECT", "INTO",   "FOR"};
    return t.kind == Token::Kind::End || t.isOp(";") ||
           (t.kind == Token::Kind::Word && w.count(t.value));
}

Value columnValue(sqlite3_stmt* st, int c) {
    switch (sqlite3_column_type(st, c)) {
    case SQLITE_INTEGER:
        return Value::integer(sqlite3_column_int64(st, c));
    case SQLITE_FLOAT:
        return Value::real(sqlite3_column_double(st, c));
    case SQLITE_NULL:
        return Value::null();
    default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        return Value::str(p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(st, c)))
                            : std::string());
    }
    }
}

} // namespace

bool SessionImpl::runAssignmentSelect(const std::vector<Token>& toks, const Statement& st) {
    size_t i = st.begin + 1;
    if (toks[i].is("DISTINCT") || toks[i].is("ALL"))
        ++i;
    if (toks[i].is("TOP")) {
        ++i;
        if (toks[i].isOp("(")) {
            while (i < st.end && !toks[i].isOp(")"))
                ++i;
        }
        ++i;
        if (toks[i].is("PERCENT"))
            ++i;
    }
    const size_t listStart = i;
    if (!(toks[i].kind == Token::Kind::Variable && toks[i + 1].isOp("=")))
        return false;
    // The same SELECT without the "@v =" in front of each item computes the values.
    std::vector<Token> plain(toks.begin(), toks.begin() + static_cast<long>(listStart));
    std::vector<std::string> targets;
    int depth = 0;
    bool itemStart = true;
    for (; i < st.end; ++i) {
        const Token& t = toks[i];
        if (depth == 0 && endsSelectList(t))
            break;
        if (itemStart) {
            itemStart = false;
            if (!(t.kind == Token::Kind::Variable && toks[i + 1].isOp("=")))
                throw sqlError(141,
                               "A SELECT statement that assigns a value to a variable must not "
                               "be combined with data-retrieval operations.",
                               1, 15);
            if (!variables_.count(t.value))
                throw sqlError(137, "Must declare the scalar variable \"" + t.text + "\".", 1, 15);
            targets.push_back(t.value);
            ++i;
            continue;
        }
        if (t.isOp("("))
            ++depth;
        else if (t.isOp(")"))
            --depth;
        else if (t.isOp(",") && depth == 0)
            itemStart = true;
        plain.push_back(t);
    }
    plain.insert(plain.end(), toks.begin() + static_cast<long>(i), toks.end());
    Translator tr(plain, *this);
    Translated t = tr.select(0, plain.size() - 1 - (toks.size() - 1 - st.end));
    Stmt stmt(conn_.get(), t.sql);
    bindParams(stmt.get());
    // Every row is assigned in turn, so the last one wins; with no rows the variables keep
    // their values (SELECT @local_variable).
    long long rows = 0;
    std::vector<Value> last;
    while (stmt.step()) {
        ++rows;
        last.clear();
        for (int c = 0; c < static_cast<int>(targets.size()); ++c)
            last.push_back(columnValue(stmt.get(), c));
    }
    if (rows > 0)
        for (size_t c = 0; c < targets.size(); ++c)
            variables_[targets[c]] = last[c];
    lastRowCount_ = rows;
    return true;
}

void SessionImpl::setDatabaseOption(const std::string& db, const std::string& option,
                                    const std::string& value) {
    auto master = schemaFor("master");
    // A master made before options were kept gets the table now.
    Db::exec_on(conn_.get(), "CREATE TABLE IF NOT EXISTS " + sqlId(*master) +
                                 ".sqlsim_db_options (name nvarchar(128) COLLATE NOCASE, option "
                                 "varchar(64), value varchar(64), PRIMARY KEY (name, option))");
    Stmt put(conn_.get(), "INSERT OR REPLACE INTO " + sqlId(*master) +
                              ".sqlsim_db_options (name, option, value) VALUES (?, ?, ?)");
    put.bind(1, db).bind(2, option).bind(3, value);
    put.step();
}

std::optional<std::string> SessionImpl::databaseOption(const std::string& db,
                                                       const std::string& option) {
    auto master = schemaFor("master");
    if (!master)
        return std::nullopt;
    try {
        Stmt q(conn_.get(), "SELECT value FROM " + sqlId(*master) +
                                ".sqlsim_db_options WHERE name = ? AND option = ?");
        q.bind(1, db).bind(2, option);
        if (!q.step())
            return std::nullopt;
        return q.text(0);
    } catch (const SqliteError&) {
        return std::nullopt; // a master made before options were kept
    }
}

bool SessionImpl::runMaintenance(const std::vector<Token>& toks, const Statement& st,
                                 ResultSink& sink, bool more) {
    const bool statistics = st.kind == "UPDATE" && toks[st.begin + 1].is("STATISTICS");
    const bool alterDb = st.kind == "ALTER" && toks[st.begin + 1].is("DATABASE");
    if (!statistics && !alterDb)
        return false;
    size_t i = st.begin + 2;
    if (statistics) {
        // UPDATE STATISTICS table [index | (index [, ...])] [WITH ...]: SQLite plans without
        // them, so the table and the names are checked and nothing else happens.
        std::vector<std::string> parts;
        std::string written;
        while (toks[i].isName()) {
            parts.push_back(toks[i].name());
            written += (written.empty() ? "" : ".") + toks[i].text;
            if (!toks[i + 1].isOp("."))
                break;
            i += 2;
        }
        if (parts.empty())
            throw syntaxNear(toks[i]);
        ++i;
        ResolvedTable table;
        try {
            table = resolveTable(parts, written);
        } catch (const SqlError& e) {
            // 2005 and later name the object the way ALTER INDEX does; 2000 as a query would.
            if (e.msg.number != 208 || engine_.major <= 8)
                throw;
            throw sqlError(1088,
                           "Cannot find the object \"" + written +
                               "\" because it does not exist or you do not have permissions.",
                           12);
        }
        std::vector<std::string> names;
        const bool list = toks[i].isOp("(");
        if (list)
            ++i;
        while (toks[i].isName() && !toks[i].is("WITH")) {
            names.push_back(toks[i++].name());
            if (!list || !toks[i].isOp(","))
                break;
            ++i;
        }
        if (list) {
            if (!toks[i].isOp(")"))
                throw syntaxNear(toks[i]);
            ++i;
        }
        if (!names.empty()) {
            const std::string schema = table.sqlRef.substr(1, table.sqlRef.find('"', 1) - 1);
            Catalog cat(conn_.get(), schema, engine_.major);
            for (const auto& n : names) {
                Stmt q(conn_.get(), "SELECT 1 FROM " + cat.t("sysindexes") +
                                        " WHERE id = ? AND name = ? COLLATE NOCASE");
                q.bind(1, table.objectId).bind(2, n);
                if (!q.step())
                    throw sqlError(
                        2767, "Could not locate statistics '" + n + "' in the system catalogs.", 1);
            }
        }
        if (toks[i].is("WITH")) {
            for (++i; i < st.end; ++i) {
                const Token& w = toks[i];
                if (!(w.isOp(",") || w.kind == Token::Kind::Number || w.is("FULLSCAN") ||
                      w.is("SAMPLE") || w.is("PERCENT") || w.is("ROWS") || w.is("RESAMPLE") ||
                      w.is("NORECOMPUTE") || w.is("ALL") || w.is("COLUMNS") || w.is("INDEX")))
                    throw syntaxNear(w);
            }
        } else if (i < st.end && !toks[i].isOp(";")) {
            throw syntaxNear(toks[i]);
        }
        sink.done(false, 0, more);
        return true;
    }
    // ALTER DATABASE db SET option [, ...] [WITH termination]: the options that change what
    // a client sees are stored in master, the rest are accepted as the server accepts them.
    if (tranCount_ > 0)
        throw sqlError(
            226, "ALTER DATABASE statement not allowed within multi-statement transaction.", 1);
    if (!toks[i].isName())
        throw syntaxNear(toks[i]);
    const std::string dbName = toks[i].name();
    ++i;
    if (!toks[i].is("SET")) {
        if (toks[i].kind == Token::Kind::End)
            throw syntaxNear(toks[i - 1]);
        throw notSupported("ALTER DATABASE other than SET");
    }
    ++i;
    auto entry = engine_.database(dbName);
    if (!entry) {
        if (engine_.major <= 8)
            throw sqlError(911,
                           "Could not locate entry in sysdatabases for database '" + dbName +
                               "'. No entry found with that name. Make sure that the name "
                               "is entered correctly.",
                           1);
        throw sqlError(5011,
                       "User does not have permission to alter database '" + dbName +
                           "', the database does not exist, or the database is not in a state "
                           "that allows access checks.",
                       5, 14);
    }
    // Options, with the version that introduced each (ALTER DATABASE SET Options).
    static const std::map<std::string, int> options = {
        {"RECOVERY", 8},
        {"ANSI_NULLS", 8},
        {"ANSI_NULL_DEFAULT", 8},
        {"ANSI_PADDING", 8},
        {"ANSI_WARNINGS", 8},
        {"ARITHABORT", 8},
        {"CONCAT_NULL_YIELDS_NULL", 8},
        {"QUOTED_IDENTIFIER", 8},
        {"NUMERIC_ROUNDABORT", 8},
        {"RECURSIVE_TRIGGERS", 8},
        {"AUTO_CLOSE", 8},
        {"AUTO_SHRINK", 8},
        {"AUTO_CREATE_STATISTICS", 8},
        {"AUTO_UPDATE_STATISTICS", 8},
        {"TORN_PAGE_DETECTION", 8},
        {"CURSOR_CLOSE_ON_COMMIT", 8},
        {"CURSOR_DEFAULT", 8},
        {"SINGLE_USER", 8},
        {"RESTRICTED_USER", 8},
        {"MULTI_USER", 8},
        {"READ_ONLY", 8},
        {"READ_WRITE", 8},
        {"ONLINE", 8},
        {"OFFLINE", 8},
        {"DB_CHAINING", 8},
        {"PAGE_VERIFY", 9},
        {"TRUSTWORTHY", 9},
        {"READ_COMMITTED_SNAPSHOT", 9},
        {"ALLOW_SNAPSHOT_ISOLATION", 9},
        {"AUTO_UPDATE_STATISTICS_ASYNC", 9},
        {"PARAMETERIZATION", 9},
        {"DATE_CORRELATION_OPTIMIZATION", 9},
        {"COMPATIBILITY_LEVEL", 10},
        {"CHANGE_TRACKING", 10},
    };
    auto master = schemaFor("master");
    while (i < st.end) {
        const Token& opt = toks[i];
        auto known = options.find(opt.kind == Token::Kind::Word ? opt.value : "");
        if (known == options.end() || known->second > engine_.major)
            throw syntaxNear(opt);
        ++i;
        if (toks[i].isOp("="))
            ++i;
        // The value: a word (ON, OFF, FULL, SIMPLE, CHECKSUM, ...) or a number.
        const Token& value = toks[i];
        const bool standalone = known->first == "SINGLE_USER" || known->first == "MULTI_USER" ||
                                known->first == "RESTRICTED_USER" || known->first == "READ_ONLY" ||
                                known->first == "READ_WRITE" || known->first == "ONLINE" ||
                                known->first == "OFFLINE";
        if (!standalone) {
            if (!(value.kind == Token::Kind::Word || value.kind == Token::Kind::Number))
                throw syntaxNear(value);
            ++i;
        }
        if (known->first == "COMPATIBILITY_LEVEL") {
            static const std::set<std::string> levels = {"80", "90", "100"};
            if (!levels.count(value.text))
                throw sqlError(15048,
                               "Valid values of the database compatibility level are 80, 90, or "
                               "100.",
                               1);
            Stmt up(conn_.get(),
                    "UPDATE " + sqlId(*master) + ".sysdatabases SET cmptlevel = ? WHERE name = ?");
            up.bind(1, std::stoll(value.text)).bind(2, entry->name);
            up.step();
        } else if (known->first == "RECOVERY") {
            if (!(value.is("FULL") || value.is("SIMPLE") || value.is("BULK_LOGGED")))
                throw syntaxNear(value);
            setDatabaseOption(entry->name, "RECOVERY", value.value);
        } else if (known->first == "SINGLE_USER" || known->first == "MULTI_USER" ||
                   known->first == "RESTRICTED_USER") {
            setDatabaseOption(entry->name, "ACCESS", known->first);
        } else if (known->first == "READ_ONLY" || known->first == "READ_WRITE") {
            setDatabaseOption(entry->name, "UPDATEABILITY", known->first);
        } else if (known->first == "ONLINE" || known->first == "OFFLINE") {
            setDatabaseOption(entry->name, "STATE", known->first);
        } else if (value.is("ON") || value.is("OFF")) {
            setDatabaseOption(entry->name, known->first, value.value);
        }
        if (toks[i].isOp(",")) {
            ++i;
            continue;
        }
        if (toks[i].is("WITH")) {
            // WITH ROLLBACK IMMEDIATE | ROLLBACK AFTER n [SECONDS] | NO_WAIT
            i = st.end;
            break;
        }
        if (i < st.end && !toks[i].isOp(";"))
            throw syntaxNear(toks[i]);
        break;
    }
    sink.done(false, 0, more);
    return true;
}

} // namespace sqlsim
