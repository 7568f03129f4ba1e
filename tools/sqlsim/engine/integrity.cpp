#include "engine/integrity.h"

#include "engine/errors.h"
#include "engine/session.h"
#include "engine/sqlite_util.h"
#include "engine/translate.h"

#include <algorithm>
#include <map>
#include <set>

namespace sqlsim {

namespace {

constexpr const char* kDisabledTable = "sqlsim_disabled";
// Made with every new database; a database file from before it has none until a constraint
// needs a row there.
constexpr const char* kStateTable = "sqlsim_constraint_state";

// Asked of SQLite's schema in memory: a query of sqlite_master reads every table's and
// trigger's text, and is asked on every statement that changes rows.
bool hasTable(const Catalog& cat, const char* name) {
    return sqlite3_table_column_metadata(cat.db(), cat.schema().c_str(), name, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool hasDisabledTable(const Catalog& cat) {
    return hasTable(cat, kDisabledTable);
}

RefAction toAction(long long n) {
    return n >= 1 && n <= 3 ? static_cast<RefAction>(n) : RefAction::NoAction;
}

std::vector<ForeignKeyRow> readKeys(const Catalog& cat, const std::string& where, int id) {
    std::vector<ForeignKeyRow> out;
    const bool state = hasTable(cat, kStateTable);
    Stmt st(cat.db(), "SELECT k.constid, o.name, k.fkeyid, k.rkeyid, k.fkey, k.rkey, " +
                          std::string(state ? "s.delete_action, s.update_action" : "0, 0") +
                          " FROM " + cat.t("sysforeignkeys") + " k JOIN " + cat.t("sysobjects") +
                          " o ON o.id = k.constid " +
                          (state ? "LEFT JOIN " + cat.t(kStateTable) + " s ON s.id = k.constid "
                                 : std::string()) +
                          "WHERE " + where + " ORDER BY k.constid, k.keyno");
    st.bind(1, id);
    if (where.find("?2") != std::string::npos)
        st.bind(2, id);
    while (st.step()) {
        const int constid = static_cast<int>(st.integer(0));
        if (out.empty() || out.back().id != constid) {
            ForeignKeyRow fk;
            fk.id = constid;
            fk.name = st.text(1);
            fk.child = static_cast<int>(st.integer(2));
            fk.parent = static_cast<int>(st.integer(3));
            fk.onDelete = toAction(st.integer(6));
            fk.onUpdate = toAction(st.integer(7));
            out.push_back(std::move(fk));
        }
        out.back().childCols.push_back(static_cast<int>(st.integer(4)));
        out.back().parentCols.push_back(static_cast<int>(st.integer(5)));
    }
    return out;
}

std::string columnName(const std::vector<ColumnRow>& cols, int colid) {
    for (const ColumnRow& c : cols)
        if (c.colid == colid)
            return c.name;
    return {};
}

} // namespace

std::vector<ForeignKeyRow> checkedForeignKeys(const Catalog& cat, int tableId, bool asChild,
                                              bool asParent) {
    std::string where = asChild && asParent ? "(k.fkeyid = ?1 OR k.rkeyid = ?2)"
                        : asChild           ? "k.fkeyid = ?1"
                                            : "k.rkeyid = ?1";
    std::vector<ForeignKeyRow> out;
    for (ForeignKeyRow& fk : readKeys(cat, where, tableId))
        if (!isDisabled(cat, fk.id))
            out.push_back(std::move(fk));
    return out;
}

std::optional<ForeignKeyRow> foreignKeyById(const Catalog& cat, int id) {
    auto keys = readKeys(cat, "k.constid = ?1", id);
    if (keys.empty())
        return std::nullopt;
    return keys.front();
}

void setDisabled(const Catalog& cat, int id, bool disabled) {
    if (!disabled && !hasDisabledTable(cat))
        return;
    Db::exec_on(cat.db(),
                "CREATE TABLE IF NOT EXISTS " + cat.t(kDisabledTable) + " (id int PRIMARY KEY)");
    Stmt st(cat.db(), disabled ? "INSERT OR IGNORE INTO " + cat.t(kDisabledTable) + " VALUES (?)"
                               : "DELETE FROM " + cat.t(kDisabledTable) + " WHERE id = ?");
    st.bind(1, id);
    st.step();
}

bool isDisabled(const Catalog& cat, int id) {
    if (!hasDisabledTable(cat))
        return false;
    Stmt st(cat.db(), "SELECT 1 FROM " + cat.t(kDisabledTable) + " WHERE id = ?");
    st.bind(1, id);
    return st.step();
}

long long maxRowid(const Catalog& cat, int tableId) {
    auto table = cat.objectById(tableId);
    if (!table || table->sqliteName.empty())
        return 0;
    Stmt st(cat.db(), "SELECT coalesce(max(rowid), 0) FROM " + cat.t(table->sqliteName));
    return st.step() ? st.integer(0) : 0;
}

void enforceForeignKey(const Catalog& cat, const std::string& dbName, const ForeignKeyRow& fk,
                       const std::string& verb, bool childSide,
                       std::optional<long long> afterRowid) {
    auto child = cat.objectById(fk.child);
    auto parent = cat.objectById(fk.parent);
    if (!child || !parent || child->sqliteName.empty() || parent->sqliteName.empty())
        return;
    const auto childCols = cat.columns(fk.child);
    const auto parentCols = cat.columns(fk.parent);
    std::string notNull, match;
    for (size_t k = 0; k < fk.childCols.size() && k < fk.parentCols.size(); ++k) {
        const std::string c = "c." + sqlId(columnName(childCols, fk.childCols[k]));
        notNull += " AND " + c + " IS NOT NULL";
        match +=
            (k ? " AND p." : "p.") + sqlId(columnName(parentCols, fk.parentCols[k])) + " = " + c;
    }
    std::string sql = "SELECT 1 FROM " + cat.t(child->sqliteName) + " AS c WHERE 1 = 1" + notNull +
                      " AND NOT EXISTS (SELECT 1 FROM " + cat.t(parent->sqliteName) +
                      " AS p WHERE " + match + ")";
    if (afterRowid)
        sql += " AND c.rowid > " + std::to_string(*afterRowid);
    Stmt st(cat.db(), sql + " LIMIT 1");
    if (!st.step())
        return;
    // The message names the table on the other side of the constraint from the one changed.
    const ObjectRow& named = childSide ? *parent : *child;
    const std::vector<int>& namedCols = childSide ? fk.parentCols : fk.childCols;
    const std::string column =
        namedCols.size() == 1 ? columnName(childSide ? parentCols : childCols, namedCols.front())
                              : std::string();
    if (cat.major() <= 8) {
        throw sqlError(
            547,
            verb + " statement conflicted with " + (column.empty() ? "TABLE " : "COLUMN ") +
                (childSide ? "FOREIGN KEY" : "REFERENCE") + " constraint '" + fk.name +
                "'. The conflict occurred in database '" + dbName + "', table '" + named.name +
                "'" + (column.empty() ? "" : ", column '" + column + "'") + ".",
            1);
    }
    throw sqlError(547,
                   "The " + verb + " statement conflicted with the " +
                       (childSide ? "FOREIGN KEY" : "REFERENCE") + " constraint \"" + fk.name +
                       "\". The conflict occurred in database \"" + dbName + "\", table \"" +
                       cat.namespaceName(named.uid) + "." + named.name + "\"" +
                       (column.empty() ? "" : ", column '" + column + "'") + ".",
                   0);
}

ConstraintState constraintState(const Catalog& cat, int id) {
    ConstraintState out;
    if (!hasTable(cat, kStateTable))
        return out;
    Stmt st = Stmt::Cached(cat.db(), "SELECT delete_action, update_action, not_trusted, "
                                     "not_for_replication FROM " +
                                         cat.t(kStateTable) + " WHERE id = ?");
    st.bind(1, id);
    if (st.step()) {
        out.onDelete = toAction(st.integer(0));
        out.onUpdate = toAction(st.integer(1));
        out.notTrusted = st.integer(2) != 0;
        out.notForReplication = st.integer(3) != 0;
    }
    return out;
}

void setConstraintState(const Catalog& cat, int id, const ConstraintState& state) {
    Db::exec_on(cat.db(), "CREATE TABLE IF NOT EXISTS " + cat.t(kStateTable) +
                              " (id int PRIMARY KEY, delete_action int NOT NULL DEFAULT 0, "
                              "update_action int NOT NULL DEFAULT 0, not_trusted int NOT NULL "
                              "DEFAULT 0, not_for_replication int NOT NULL DEFAULT 0)");
    Stmt st(cat.db(), "INSERT OR REPLACE INTO " + cat.t(kStateTable) +
                          " (id, delete_action, update_action, not_trusted, not_for_replication) "
                          "VALUES (?, ?, ?, ?, ?)");
    st.bind(1, id).bind(2, static_cast<int>(state.onDelete));
    st.bind(3, static_cast<int>(state.onUpdate)).bind(4, state.notTrusted ? 1 : 0);
    st.bind(5, state.notForReplication ? 1 : 0);
    st.step();
}

void setNotTrusted(const Catalog& cat, int id, bool notTrusted) {
    ConstraintState state = constraintState(cat, id);
    // A NOT FOR REPLICATION constraint is never trusted: replication may write past it.
    state.notTrusted = notTrusted || state.notForReplication;
    setConstraintState(cat, id, state);
}

const char* refActionName(RefAction a) {
    switch (a) {
    case RefAction::Cascade:
        return "CASCADE";
    case RefAction::SetNull:
        return "SET_NULL";
    case RefAction::SetDefault:
        return "SET_DEFAULT";
    default:
        return "NO_ACTION";
    }
}

std::vector<ForeignKeyRow> foreignKeysTo(const Catalog& cat, int tableId) {
    return readKeys(cat, "k.rkeyid = ?1", tableId);
}

void refuseCascadePaths(const Catalog& cat, const ForeignKeyRow& fk, const std::string& tableName) {
    const auto all = readKeys(cat, "?1 = ?1", 0);
    for (const bool onDelete : {true, false}) {
        if ((onDelete ? fk.onDelete : fk.onUpdate) == RefAction::NoAction)
            continue;
        // The tables a DELETE (or UPDATE) of each table sets actions off on, one edge per key.
        std::multimap<int, int> reaches;
        for (const ForeignKeyRow& k : all)
            if (k.id != fk.id && (onDelete ? k.onDelete : k.onUpdate) != RefAction::NoAction)
                reaches.emplace(k.parent, k.child);
        reaches.emplace(fk.parent, fk.child);
        std::set<int> starts;
        for (const auto& [from, to] : reaches)
            starts.insert(from);
        bool twice = false;
        for (int start : starts) {
            std::set<int> seen{start};
            std::vector<int> todo{start};
            while (!todo.empty() && !twice) {
                const int table = todo.back();
                todo.pop_back();
                const auto [first, last] = reaches.equal_range(table);
                for (auto it = first; it != last && !twice; ++it) {
                    twice = !seen.insert(it->second).second;
                    todo.push_back(it->second);
                }
            }
            if (twice)
                break;
        }
        if (twice)
            refuseConstraint(cat, 1785,
                             "Introducing FOREIGN KEY constraint '" + fk.name + "' on table '" +
                                 tableName +
                                 "' may cause cycles or multiple cascade paths. Specify ON DELETE "
                                 "NO ACTION or ON UPDATE NO ACTION, or modify other FOREIGN KEY "
                                 "constraints.");
    }
}

void refuseDuplicateKeys(const Catalog& cat, const ObjectRow& table, const std::vector<int>& colids,
                         const std::string& indexName, int indexId, bool constraint) {
    if (table.sqliteName.empty() || colids.empty())
        return;
    std::string list;
    for (int id : colids) {
        for (const ColumnRow& c : cat.columns(table.id)) {
            if (c.colid == id)
                list += (list.empty() ? "" : ", ") + sqlId(c.name);
        }
    }
    Stmt st(cat.db(), "SELECT " + list + " FROM " + cat.t(table.sqliteName) + " GROUP BY " + list +
                          " HAVING COUNT(*) > 1 LIMIT 1");
    if (!st.step())
        return;
    std::string value;
    for (int k = 0; k < static_cast<int>(colids.size()); ++k)
        value += (k ? ", " : "") + (st.isNull(k) ? std::string("<NULL>") : st.text(k));
    std::string text;
    if (cat.major() <= 8) {
        text = "CREATE UNIQUE INDEX terminated because a duplicate key was found for index ID " +
               std::to_string(indexId) + ". Most significant primary key is '" +
               (st.isNull(0) ? std::string("<NULL>") : st.text(0)) + "'.";
    } else {
        text = "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found "
               "for the object name '" +
               cat.namespaceName(table.uid) + "." + table.name + "' and the index name '" +
               indexName + "'. The duplicate key value is (" + value + ").";
    }
    if (constraint)
        refuseConstraint(cat, 1505, text);
    throw sqlError(1505, text, 1);
}

void refuseConstraint(const Catalog& cat, int number, const std::string& text) {
    // SQL Server 2012 renamed what 1750 says it could not create.
    const int state = cat.major() <= 8 ? 1 : 0;
    SqlError e =
        sqlError(1750,
                 cat.major() >= 11 ? "Could not create constraint or index. See previous errors."
                                   : "Could not create constraint. See previous errors.",
                 state);
    e.preceding.push_back(sqlError(number, text, state).msg);
    throw e;
}

std::vector<ForeignKeyCheck> foreignKeysAtRisk(const Catalog& cat, int tableId,
                                               const std::string& verb) {
    std::vector<ForeignKeyCheck> out;
    std::set<std::pair<int, bool>> listed;
    auto add = [&](const ForeignKeyRow& fk, bool childSide) {
        if (listed.insert({fk.id, childSide}).second)
            out.push_back({fk, childSide});
    };
    // Each table a cascade reaches, with the change it undergoes there.
    std::set<std::pair<int, std::string>> done;
    std::vector<std::pair<int, std::string>> todo{{tableId, verb}};
    while (!todo.empty()) {
        const auto [table, change] = todo.front();
        todo.erase(todo.begin());
        if (!done.insert({table, change}).second)
            continue;
        for (const ForeignKeyRow& fk :
             checkedForeignKeys(cat, table, change != "DELETE", change != "INSERT")) {
            if (fk.child == table && change != "DELETE")
                add(fk, true);
            if (fk.parent != table || change == "INSERT")
                continue;
            // A key that acts on the referencing rows leaves none behind; what its action
            // wrote there is checked with the referencing table's own keys.
            const RefAction action = change == "DELETE" ? fk.onDelete : fk.onUpdate;
            if (action == RefAction::NoAction)
                add(fk, false);
            else
                todo.emplace_back(fk.child, action == RefAction::Cascade && change == "DELETE"
                                                ? "DELETE"
                                                : "UPDATE");
        }
    }
    return out;
}

namespace {

// What ON ... SET DEFAULT writes into a referencing column: its default, else NULL.
std::string defaultValue(SessionImpl& s, const Catalog& cat, int tableId, const ColumnRow& col) {
    Stmt st(cat.db(), "SELECT group_concat(text, '') FROM (SELECT m.text FROM " +
                          cat.t("syscolumns") + " c JOIN " + cat.t("syscomments") +
                          " m ON m.id = c.cdefault WHERE c.id = ? AND c.colid = ? AND "
                          "c.cdefault <> 0 ORDER BY m.colid)");
    st.bind(1, tableId).bind(2, col.colid);
    if (!st.step() || st.isNull(0))
        return "NULL";
    const std::string text = st.text(0);
    std::string err;
    const auto toks = tokenize(text, err);
    if (!err.empty() || toks.empty())
        return "NULL";
    try {
        Translator tr(toks, s);
        return Translator::storedAs(lower(col.type.baseName), tr.expression(0, toks.size() - 1));
    } catch (const std::exception&) {
        return "NULL";
    }
}

} // namespace

void addReferentialActions(SessionImpl& s, const Catalog& cat, const ObjectRow& parent,
                           const TriggerMaker& create) {
    const auto parentCols = cat.columns(parent.id);
    for (const ForeignKeyRow& fk : foreignKeysTo(cat, parent.id)) {
        if ((fk.onDelete == RefAction::NoAction && fk.onUpdate == RefAction::NoAction) ||
            isDisabled(cat, fk.id))
            continue;
        const auto child = cat.objectById(fk.child);
        if (!child || child->sqliteName.empty())
            continue;
        const auto childCols = cat.columns(fk.child);
        std::string match, changed, updateOf;
        for (size_t k = 0; k < fk.childCols.size() && k < fk.parentCols.size(); ++k) {
            const std::string c = sqlId(columnName(childCols, fk.childCols[k]));
            const std::string p = sqlId(columnName(parentCols, fk.parentCols[k]));
            match += (k ? " AND " : "") + c + " = OLD." + p;
            changed += (k ? " OR OLD." : "OLD.") + p + " IS NOT NEW." + p;
            updateOf += (k ? ", " : "") + p;
        }
        const std::string table = sqlId(child->sqliteName);
        // Row by row, as the referenced rows go or change: a cascade that reaches further
        // tables sets off their triggers in turn.
        auto act = [&](RefAction action, bool onDelete) {
            const std::string where = onDelete ? match : "(" + changed + ") AND " + match;
            if (action == RefAction::Cascade && onDelete)
                return "DELETE FROM " + table + " WHERE " + where + "; ";
            std::string set;
            for (size_t k = 0; k < fk.childCols.size() && k < fk.parentCols.size(); ++k) {
                const ColumnRow* col = nullptr;
                for (const ColumnRow& c : childCols)
                    if (c.colid == fk.childCols[k])
                        col = &c;
                if (!col)
                    continue;
                const std::string value =
                    action == RefAction::Cascade
                        ? "NEW." + sqlId(columnName(parentCols, fk.parentCols[k]))
                    : action == RefAction::SetNull ? std::string("NULL")
                                                   : defaultValue(s, cat, fk.child, *col);
                set += (set.empty() ? "" : ", ") + sqlId(col->name) + " = " + value;
            }
            return "UPDATE " + table + " SET " + set + " WHERE " + where + "; ";
        };
        const std::string id = std::to_string(fk.id);
        if (fk.onDelete != RefAction::NoAction)
            create("fk" + id + "_d", "AFTER DELETE", act(fk.onDelete, true));
        if (fk.onUpdate != RefAction::NoAction)
            create("fk" + id + "_u", "AFTER UPDATE OF " + updateOf, act(fk.onUpdate, false));
    }
}

} // namespace sqlsim
