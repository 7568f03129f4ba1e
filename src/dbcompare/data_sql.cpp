#include "dbcompare/data_sql.h"

#include "catalog/sql_quote.h"
#include "dbcompare/data_sync_script.h"
#include "dbcompare/data_values.h"
#include "util/text.h"

namespace orv {

namespace {

const TableColumn& Col(const TableInfo& t, int i) {
    return t.Columns[static_cast<size_t>(i)];
}

std::string Collated(const TableInfo& t, int i, bool later) {
    std::string name = QuoteCatalogName(Col(t, i).Name);
    if (FamilyOfType(Col(t, i).Type) == TypeFamily::Character)
        name += later ? " COLLATE Latin1_General_BIN2" : " COLLATE Latin1_General_BIN";
    return name;
}

// (k1, k2, ...) compared with a key value: k1 > v1 OR (k1 = v1 AND k2 > v2) ... with the last
// comparison `last` (">=" or "<" for a half-open range).
std::string KeyCompare(const TableInfo& t, const std::vector<int>& keyCol, const Row& value,
                       bool above) {
    std::string out;
    const size_t n = keyCol.size();
    for (size_t i = 0; i < n; ++i) {
        std::string term;
        for (size_t j = 0; j < i; ++j)
            term += Collated(t, keyCol[j], true) + " = " +
                    TypedSqlLiteral(value[j], TypeText(Col(t, keyCol[j]))) + " AND ";
        const bool last = i + 1 == n;
        const char* op = above ? (last ? " >= " : " > ") : " < ";
        term += Collated(t, keyCol[i], true) + op +
                TypedSqlLiteral(value[i], TypeText(Col(t, keyCol[i])));
        out += (out.empty() ? "(" : " OR (") + term + ")";
    }
    return "(" + out + ")";
}

std::string RangeWhere(const TableInfo& t, const std::vector<int>& keyCol, bool later,
                       const KeyRange& range) {
    (void)later;
    std::string where;
    if (range.Low)
        where += KeyCompare(t, keyCol, *range.Low, true);
    if (range.High)
        where += (where.empty() ? "" : " AND ") + KeyCompare(t, keyCol, *range.High, false);
    return where.empty() ? "" : " WHERE " + where;
}

std::string ColumnHash(const TableColumn& c) {
    const std::string name = QuoteCatalogName(c.Name);
    std::string value = name;
    const TypeFamily f = FamilyOfType(c.Type);
    // Trailing blanks do not make texts differ; anything else that differs in its bytes only
    // costs a fetch of the range, never a wrong verdict.
    if (f == TypeFamily::Character)
        value = "RTRIM(" + name + ")";
    return "CASE WHEN " + name + " IS NULL THEN 0x00 ELSE 0x01 + HASHBYTES('MD5', CAST(" + value +
           " AS varbinary(8000))) END";
}

} // namespace

std::string KeyOrderBy(const TableInfo& table, const std::vector<int>& keyCol, bool later,
                       bool descending) {
    std::string out;
    for (int k : keyCol)
        out += (out.empty() ? "" : ", ") + Collated(table, k, later) + (descending ? " DESC" : "");
    return out;
}

std::string RowsSql(const TableInfo& table, const PairPlan& plan, int side, bool later,
                    const KeyRange* range) {
    std::string sql = "SELECT ";
    bool first = true;
    for (const std::vector<int>* list : {&plan.KeyCol[side], &plan.Compared[side]})
        for (int i : *list) {
            sql += (first ? "" : ", ") + QuoteCatalogName(Col(table, i).Name);
            first = false;
        }
    sql += " FROM " + QuotedTableName(table.Schema, table.Name);
    if (range)
        sql += RangeWhere(table, plan.KeyCol[side], later, *range);
    sql += " ORDER BY " + KeyOrderBy(table, plan.KeyCol[side], later);
    return sql;
}

std::string ChecksumSql(const TableInfo& table, const PairPlan& plan, int side,
                        const KeyRange& range) {
    // The key is hashed too: a row that moved to another key within a range must not pass for
    // the same row.
    std::string parts;
    for (const std::vector<int>* list : {&plan.KeyCol[side], &plan.Compared[side]})
        for (int i : *list)
            parts += (parts.empty() ? "" : " + ") + ColumnHash(Col(table, i));
    if (parts.empty())
        parts = "0x00";
    const std::string h = "HASHBYTES('MD5', " + parts + ")";
    return "SELECT COUNT_BIG(*), SUM(CAST(CAST(SUBSTRING(h, 1, 4) AS int) AS bigint)), "
           "SUM(CAST(CAST(SUBSTRING(h, 5, 4) AS int) AS bigint)) FROM (SELECT " +
           h + " AS h FROM " + QuotedTableName(table.Schema, table.Name) +
           RangeWhere(table, plan.KeyCol[side], true, range) + ") AS x";
}

std::string NthKeysSql(const TableInfo& table, const PairPlan& plan, int side,
                       const KeyRange& range, int64_t step) {
    std::string keys;
    for (int i : plan.KeyCol[side])
        keys += (keys.empty() ? "" : ", ") + QuoteCatalogName(Col(table, i).Name);
    const std::string order = KeyOrderBy(table, plan.KeyCol[side], true);
    const std::string n = std::to_string(step);
    return "SELECT " + keys + " FROM (SELECT " + keys + ", ROW_NUMBER() OVER (ORDER BY " + order +
           ") AS rn FROM " + QuotedTableName(table.Schema, table.Name) +
           RangeWhere(table, plan.KeyCol[side], true, range) + ") AS x WHERE rn > 1" +
           (step > 1 ? " AND rn % " + n + " = 1" : std::string()) + " ORDER BY " + order;
}

std::string CountSql(const TableInfo& table) {
    return "SELECT COUNT_BIG(*) FROM " + QuotedTableName(table.Schema, table.Name);
}

} // namespace orv
