#include "engine/row_checks.h"

#include "engine/errors.h"
#include "engine/functions_util.h"
#include "engine/integrity.h"
#include "engine/session.h"
#include "engine/tokens.h"
#include "engine/translate.h"

#include <algorithm>

namespace sqlsim {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

std::string triggerName(const Catalog& cat, int tableId, const std::string& what) {
    return sqlId(cat.schema()) + "." + sqlId("sqlsim_chk_" + std::to_string(tableId) + "_" + what);
}

// The check triggers made for each table are listed beside it: finding them in sqlite_master
// would read every table's and trigger's text for each table changed, which grows with the
// database.
constexpr const char* kListedChecks = "sqlsim_check_triggers";

void listCheck(const Catalog& cat, int tableId, const std::string& name) {
    Stmt st(cat.db(), "INSERT INTO " + cat.t(kListedChecks) + " (table_id, name) VALUES (?, ?)");
    st.bind(1, tableId).bind(2, name);
    st.step();
}

void dropChecks(const Catalog& cat, int tableId) {
    Db::exec_on(cat.db(), "CREATE TABLE IF NOT EXISTS " + cat.t(kListedChecks) +
                              " (table_id int, name TEXT)");
    Db::exec_on(cat.db(), "CREATE INDEX IF NOT EXISTS " + sqlId(cat.schema()) + "." +
                              sqlId(std::string(kListedChecks) + "_table") + " ON " +
                              sqlId(kListedChecks) + " (table_id)");
    std::vector<std::string> names;
    {
        Stmt st(cat.db(), "SELECT name FROM " + cat.t(kListedChecks) + " WHERE table_id = ?");
        st.bind(1, tableId);
        while (st.step())
            names.push_back(st.text(0));
    }
    for (const auto& n : names)
        if (!n.empty()) // the empty name marks the checks as built
            Db::exec_on(cat.db(), "DROP TRIGGER IF EXISTS " + sqlId(cat.schema()) + "." + sqlId(n));
    Stmt del(cat.db(), "DELETE FROM " + cat.t(kListedChecks) + " WHERE table_id = ?");
    del.bind(1, tableId);
    del.step();
}

struct UniqueKey {
    std::string name;
    int status = 0;
    std::vector<std::string> columns;
};

std::vector<UniqueKey> uniqueKeys(const Catalog& cat, int tableId,
                                  const std::vector<ColumnRow>& cols) {
    std::vector<UniqueKey> keys;
    Stmt st(cat.db(), "SELECT indid, name, status FROM " + cat.t("sysindexes") +
                          " WHERE id = ? AND indid BETWEEN 1 AND 250 AND (status & ?) <> 0 AND "
                          "(status & ?) = 0 ORDER BY indid");
    st.bind(1, tableId).bind(2, kIdxUnique).bind(3, kIdxHypothetical | kIdxStatistics);
    Stmt k(cat.db(), "SELECT colid FROM " + cat.t("sysindexkeys") +
                         " WHERE id = ? AND indid = ? ORDER BY keyno");
    while (st.step()) {
        UniqueKey key;
        key.name = st.text(1);
        key.status = static_cast<int>(st.integer(2));
        k.reset();
        k.bind(1, tableId).bind(2, static_cast<int>(st.integer(0)));
        while (k.step())
            for (const auto& c : cols)
                if (c.colid == k.integer(0))
                    key.columns.push_back(c.name);
        if (!key.columns.empty())
            keys.push_back(key);
    }
    return keys;
}

// 2627 for a key constraint, 2601 for a unique index; the duplicate value is named from
// SQL Server 2008 R2 on.
std::string duplicateMessage(const Catalog& cat, const UniqueKey& key, const std::string& object,
                             const std::string& valueSql) {
    std::string text;
    if (key.status & (kIdxPrimaryKey | kIdxUniqueConstraint))
        text = quoted("Violation of " +
                      std::string(key.status & kIdxPrimaryKey ? "PRIMARY" : "UNIQUE") +
                      " KEY constraint '" + key.name +
                      "'. Cannot insert duplicate key in object '" + object + "'.");
    else
        text = quoted("Cannot insert duplicate key row in object '" + object +
                      "' with unique index '" + key.name + "'.");
    if (cat.major() >= 10)
        text = text.substr(0, text.size() - 1) + " The duplicate key value is (' || " + valueSql +
               " || ').'";
    return text;
}

std::vector<std::string> checkColumns(const std::string& text, const std::vector<ColumnRow>& cols) {
    std::string err;
    std::vector<std::string> used;
    for (const Token& t : tokenize(text, err))
        if (t.isName())
            for (const auto& c : cols)
                if (iequals(c.name, t.name()) &&
                    std::find(used.begin(), used.end(), c.name) == used.end())
                    used.push_back(c.name);
    return used;
}

std::string checkMessage(const Catalog& cat, const std::string& verb, const std::string& name,
                         const std::string& dbName, const ObjectRow& table,
                         const std::string& column) {
    if (cat.major() <= 8)
        return verb + " statement conflicted with " + (column.empty() ? "TABLE" : "COLUMN") +
               " CHECK constraint '" + name + "'. The conflict occurred in database '" + dbName +
               "', table '" + table.name + "'" +
               (column.empty() ? "" : ", column '" + column + "'") + ".";
    return "The " + verb + " statement conflicted with the CHECK constraint \"" + name +
           "\". The conflict occurred in database \"" + dbName + "\", table \"" +
           cat.namespaceName(table.uid) + "." + table.name + "\"" +
           (column.empty() ? "" : ", column '" + column + "'") + ".";
}

// A CHECK constraint's expression in SQLite's terms, over the bare column names; empty when
// this server cannot evaluate it (such a constraint is not enforced). `text` gets it as written.
std::string checkExpression(SessionImpl& s, const Catalog& cat, int id, std::string* text) {
    {
        Stmt st(cat.db(),
                "SELECT text FROM " + cat.t("syscomments") + " WHERE id = ? ORDER BY colid");
        st.bind(1, id);
        while (st.step())
            *text += st.text(0);
    }
    std::string err;
    auto toks = tokenize(*text, err);
    if (!err.empty() || toks.empty())
        return {};
    try {
        Translator tr(toks, s);
        return tr.expression(0, toks.size() - 1);
    } catch (const std::exception&) {
        return {};
    }
}

// tsql_raise(number, text): a check ends its statement with SQL Server's error.
void fnRaise(sqlite3_context* ctx, int, sqlite3_value** argv) {
    // Duplicate keys are severity 14 on SQL Server; the other checks' errors are 16.
    const int number = sqlite3_value_int(argv[0]);
    const std::string m =
        codedError(number, fn::argText(argv[1]), number == 2627 || number == 2601 ? 14 : 16);
    sqlite3_result_error(ctx, m.data(), static_cast<int>(m.size()));
}

} // namespace

void registerRowCheckFunctions(sqlite3* db, SessionImpl* s) {
    static const fn::Def defs[] = {{"tsql_raise", 2, fnRaise, false}};
    fn::registerAll(db, s, defs, 1);
}

namespace {

bool checksBuilt(const Catalog& cat, int tableId) {
    if (sqlite3_table_column_metadata(cat.db(), cat.schema().c_str(), kListedChecks, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    Stmt st(cat.db(),
            "SELECT 1 FROM " + cat.t(kListedChecks) + " WHERE table_id = ? AND name = ''");
    st.bind(1, tableId);
    return st.step();
}

// The tables whose rows the referential actions of `tableId`'s keys change.
std::vector<int> referencingTables(const Catalog& cat, int tableId) {
    std::vector<int> out;
    Stmt st(cat.db(), "SELECT DISTINCT fkeyid FROM " + cat.t("sysforeignkeys") +
                          " WHERE rkeyid = ? AND fkeyid <> ?");
    st.bind(1, tableId).bind(2, tableId);
    while (st.step())
        out.push_back(static_cast<int>(st.integer(0)));
    return out;
}

} // namespace

void ensureRowChecks(SessionImpl& s, const Catalog& cat, int tableId, const std::string& dbName) {
    if (s.setupScript)
        return;
    std::vector<int> todo{tableId};
    std::vector<int> seen;
    while (!todo.empty()) {
        const int id = todo.back();
        todo.pop_back();
        if (std::find(seen.begin(), seen.end(), id) != seen.end())
            continue;
        seen.push_back(id);
        if (!checksBuilt(cat, id))
            rebuildRowChecks(s, cat, id, dbName);
        else if (id != tableId)
            continue; // built with its own referencing tables
        for (int child : referencingTables(cat, id))
            todo.push_back(child);
    }
}

void rebuildRowChecks(SessionImpl& s, const Catalog& cat, int tableId, const std::string& dbName) {
    dropChecks(cat, tableId);
    // A start-up script loads its rows as a bulk load does, unchecked; every trigger made here
    // is a schema change whose cost grows with the database, so a table a script makes gets its
    // checks when a client first changes its rows (ensureRowChecks).
    if (s.setupScript)
        return;
    listCheck(cat, tableId, "");
    const auto table = cat.objectById(tableId);
    if (!table || table->xtype.rfind("U", 0) != 0 || table->sqliteName.empty())
        return;
    const auto cols = cat.columns(tableId);
    const std::string t = sqlId(table->sqliteName);
    const std::string object =
        cat.major() <= 8 ? table->name : cat.namespaceName(table->uid) + "." + table->name;
    auto create = [&](const std::string& what, const std::string& timing, const std::string& body) {
        if (body.empty())
            return;
        // Another session may have built the same checks while this one waited for the file.
        Db::exec_on(cat.db(), "CREATE TRIGGER IF NOT EXISTS " + triggerName(cat, tableId, what) +
                                  " " + timing + " ON " + t + " FOR EACH ROW BEGIN " + body +
                                  " END");
        listCheck(cat, tableId, "sqlsim_chk_" + std::to_string(tableId) + "_" + what);
    };

    // NOT NULL: checked before the row is written; an identity column is filled afterwards.
    for (const char* verb : {"INSERT", "UPDATE"}) {
        std::string body;
        for (const auto& c : cols) {
            // A computed column's value is not there before the row is written.
            if (c.nullable || c.identity || c.computed)
                continue;
            body += "SELECT tsql_raise(515, " +
                    quoted("Cannot insert the value NULL into column '" + c.name + "', table '" +
                           dbName + "." + cat.namespaceName(table->uid) + "." + table->name +
                           "'; column does not allow nulls. " + verb + " fails.") +
                    ") WHERE NEW." + sqlId(c.name) + " IS NULL; ";
        }
        create(std::string("nn_") + verb, std::string("BEFORE ") + verb, body);
    }

    // Keys: after the row is written, a second row with the same key (NULLs equal, as a
    // unique index treats them) fails the statement.
    int n = 0;
    for (const UniqueKey& key : uniqueKeys(cat, tableId, cols)) {
        std::string match, value, updateOf;
        for (size_t k = 0; k < key.columns.size(); ++k) {
            const std::string c = sqlId(key.columns[k]);
            match += (k ? " AND " : "") + c + " IS NEW." + c;
            value += (k ? " || ', ' || " : "") + std::string("COALESCE(CAST(NEW.") + c +
                     " AS TEXT), '<NULL>')";
            updateOf += (k ? ", " : "") + c;
        }
        const std::string body =
            "SELECT tsql_raise(" +
            std::string(key.status & (kIdxPrimaryKey | kIdxUniqueConstraint) ? "2627" : "2601") +
            ", " + duplicateMessage(cat, key, object, value) + ") WHERE (SELECT COUNT(*) FROM " +
            t + " WHERE " + match + ") > 1; ";
        create("uq" + std::to_string(n) + "_i", "AFTER INSERT", body);
        create("uq" + std::to_string(n) + "_u", "AFTER UPDATE OF " + updateOf, body);
        ++n;
    }

    // CHECK constraints that are switched on: a row fails when the expression is false (not
    // when it is unknown).
    std::vector<std::pair<int, std::string>> checks;
    {
        Stmt st(cat.db(), "SELECT id, name FROM " + cat.t("sysobjects") +
                              " WHERE parent_obj = ? AND xtype = 'C' ORDER BY id");
        st.bind(1, tableId);
        while (st.step())
            checks.emplace_back(static_cast<int>(st.integer(0)), st.text(1));
    }
    std::string row;
    for (const auto& c : cols)
        row += (row.empty() ? "" : ", ") + std::string("NEW.") + sqlId(c.name) + " AS " +
               sqlId(c.name);
    std::string insertBody, updateBody;
    for (const auto& [id, name] : checks) {
        if (isDisabled(cat, id))
            continue;
        std::string text;
        const std::string expr = checkExpression(s, cat, id, &text);
        if (expr.empty())
            continue;
        const auto used = checkColumns(text, cols);
        const std::string column = used.size() == 1 ? used.front() : std::string();
        auto test = [&](const std::string& verb) {
            return "SELECT tsql_raise(547, " +
                   quoted(checkMessage(cat, verb, name, dbName, *table, column)) +
                   ") FROM (SELECT " + row + ") WHERE NOT (" + expr + "); ";
        };
        insertBody += test("INSERT");
        updateBody += test("UPDATE");
    }
    create("ck_INSERT", "AFTER INSERT", insertBody);
    create("ck_UPDATE", "AFTER UPDATE", updateBody);

    // ON DELETE and ON UPDATE actions of the foreign keys that reference this table.
    addReferentialActions(s, cat, *table, create);
}

void verifyCheckConstraint(SessionImpl& s, const Catalog& cat, int checkId,
                           const std::string& dbName) {
    const auto check = cat.objectById(checkId);
    const auto table = check ? cat.objectById(check->parent) : std::nullopt;
    if (!check || !table || table->sqliteName.empty())
        return;
    std::string text;
    const std::string expr = checkExpression(s, cat, checkId, &text);
    if (expr.empty())
        return;
    Stmt st(cat.db(),
            "SELECT 1 FROM " + cat.t(table->sqliteName) + " WHERE NOT (" + expr + ") LIMIT 1");
    if (!st.step())
        return;
    const auto used = checkColumns(text, cat.columns(table->id));
    throw sqlError(547,
                   checkMessage(cat, "ALTER TABLE", check->name, dbName, *table,
                                used.size() == 1 ? used.front() : std::string()),
                   cat.major() <= 8 ? 1 : 0);
}

} // namespace sqlsim
