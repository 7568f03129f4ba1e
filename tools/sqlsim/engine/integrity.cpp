#include "engine/integrity.h"

#include "engine/errors.h"
#include "engine/sqlite_util.h"

namespace sqlsim {

namespace {

constexpr const char* kDisabledTable = "sqlsim_disabled";

bool hasDisabledTable(const Catalog& cat) {
    Stmt st(cat.db(), "SELECT 1 FROM " + sqlId(cat.schema()) +
                          ".sqlite_master WHERE type = 'table' AND name = ?");
    st.bind(1, std::string(kDisabledTable));
    return st.step();
}

std::vector<ForeignKeyRow> readKeys(const Catalog& cat, const std::string& where, int id) {
    std::vector<ForeignKeyRow> out;
    Stmt st(cat.db(), "SELECT k.constid, o.name, k.fkeyid, k.rkeyid, k.fkey, k.rkey FROM " +
                          cat.t("sysforeignkeys") + " k JOIN " + cat.t("sysobjects") +
                          " o ON o.id = k.constid WHERE " + where + " ORDER BY k.constid, k.keyno");
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

} // namespace sqlsim
