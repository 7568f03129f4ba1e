#include "dbcompare/data_sql.h"

#include "catalog/sql_quote.h"
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

// A compared value as HASHBYTES reads it: trailing blanks do not make texts differ; anything
// else that differs in its bytes only costs a fetch of the range, never a wrong verdict.
std::string HashedValue(const TableColumn& c) {
    const std::string name = QuoteCatalogName(c.Name);
    return FamilyOfType(c.Type) == TypeFamily::Character ? "RTRIM(" + name + ")" : name;
}

// A column hashed on its own, for rows too wide to hash in one piece.
std::string ColumnHash(const TableColumn& c) {
    const std::string name = QuoteCatalogName(c.Name);
    return "CASE WHEN " + name + " IS NULL THEN 0x00 ELSE 0x01 + HASHBYTES('MD5', CAST(" +
           HashedValue(c) + " AS varbinary(8000))) END";
}

// A column's part of a row hashed in one piece: its length in 4 bytes, then its bytes; a NULL
// is 0xFFFFFFFF, a length no value has. With the length in front no two different rows join
// into the same bytes.
std::string ColumnBytes(const TableColumn& c) {
    const std::string value = HashedValue(c);
    const std::string piece =
        "CAST(DATALENGTH(" + value + ") AS binary(4)) + CAST(" + value + " AS varbinary(8000))";
    return c.Nullable ? "ISNULL(" + piece + ", 0xFFFFFFFF)" : piece;
}

// Before SQL Server 2016 HASHBYTES takes at most 8000 bytes; a row is hashed in one piece only
// when its columns cannot add up to more (each column's catalog length, with room for its
// length prefix and the header a decimal gets when cast to binary).
bool RowFitsOneHash(const TableInfo& t, const PairPlan& plan, int side) {
    int64_t bytes = 0;
    for (const std::vector<int>* list : {&plan.KeyCol[side], &plan.Compared[side]})
        for (int i : *list) {
            const TableColumn& c = Col(t, i);
            if (c.Length <= 0 || c.Length > 8000)
                return false;
            bytes += c.Length + 8;
        }
    return bytes <= 8000;
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

bool OneHashPerRow(const TableInfo info[2], const PairPlan& plan) {
    return RowFitsOneHash(info[0], plan, 0) && RowFitsOneHash(info[1], plan, 1);
}

std::string ChecksumSql(const TableInfo& table, const PairPlan& plan, int side,
                        const KeyRange& range, bool oneHash) {
    // The key is hashed too: a row that moved to another key within a range must not pass for
    // the same row.
    std::string parts;
    for (const std::vector<int>* list : {&plan.KeyCol[side], &plan.Compared[side]})
        for (int i : *list)
            parts += (parts.empty() ? "" : " + ") +
                     (oneHash ? ColumnBytes(Col(table, i)) : ColumnHash(Col(table, i)));
    if (parts.empty())
        parts = "0x00";
    const std::string h = "HASHBYTES('MD5', " + parts + ")";
    // Four bytes of the hash as bigint are an unsigned 32-bit number: the sums cannot overflow
    // below 2^31 rows.
    return "SELECT COUNT_BIG(*), SUM(CAST(SUBSTRING(h, 1, 4) AS bigint)), "
           "SUM(CAST(SUBSTRING(h, 5, 4) AS bigint)) FROM (SELECT " +
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
