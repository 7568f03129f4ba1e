#include "dbcompare/data_table_info.h"
#include "dbcompare/data_values.h"

#include "catalog/sql_quote.h"
#include "util/text.h"

namespace orv {

namespace {

std::string SchemaOf(bool later, const std::string& uidColumn) {
    return later ? "SCHEMA_NAME(" + uidColumn + ")" : "USER_NAME(" + uidColumn + ")";
}

const FieldValue& Cell(const Row& row, size_t i) {
    static const FieldValue null;
    return i < row.size() ? row[i] : null;
}

} // namespace

const TableColumn* TableInfo::Find(const std::string& column) const {
    for (const TableColumn& c : Columns)
        if (EqualsNoCase(c.Name, column))
            return &c;
    return nullptr;
}

std::string TypeText(const TableColumn& c) {
    const std::string t = ToLowerAscii(c.Type);
    if (t == "varchar" || t == "char" || t == "varbinary" || t == "binary") {
        if (c.Length < 0)
            return t + "(max)";
        return t + "(" + std::to_string(c.Length) + ")";
    }
    if (t == "nvarchar" || t == "nchar") {
        if (c.Length < 0)
            return t + "(max)";
        return t + "(" + std::to_string(c.Length / 2) + ")";
    }
    if (t == "decimal" || t == "numeric")
        return t + "(" + std::to_string(c.Precision) + "," + std::to_string(c.Scale) + ")";
    return t;
}

std::string QuotedTableName(const std::string& schema, const std::string& name) {
    if (schema.empty())
        return QuoteCatalogName(name);
    return QuoteCatalogName(schema) + "." + QuoteCatalogName(name);
}

bool QueryAll(const QueryPlace& place, const CancelToken& cancel, const std::string& sql,
              std::vector<Row>& rows, OdbcError& error) {
    rows.clear();
    WorkerQuery query(cancel);
    if (!query.Open(place, sql, error))
        return false;
    Row row;
    while (query.Next(row, error))
        rows.push_back(std::move(row));
    query.Close();
    return error.number == 0;
}

bool ReadUserTables(const QueryPlace& place, const CancelToken& cancel, bool later,
                    std::vector<TableName>& tables, OdbcError& error) {
    tables.clear();
    std::vector<Row> rows;
    const std::string sql = "SELECT " + SchemaOf(later, "o.uid") +
                            ", o.name FROM sysobjects o WHERE o.xtype = 'U' AND "
                            "OBJECTPROPERTY(o.id, 'IsMSShipped') = 0 ORDER BY 1, 2";
    if (!QueryAll(place, cancel, sql, rows, error))
        return false;
    for (const Row& r : rows)
        tables.push_back({Cell(r, 0).Text(), Cell(r, 1).Text()});
    return true;
}

bool ReadForeignKeys(const QueryPlace& place, const CancelToken& cancel, bool later,
                     std::vector<ForeignKeyLink>& links, OdbcError& error) {
    links.clear();
    std::vector<Row> rows;
    // sysreferences holds one row per constraint on every supported version.
    const std::string sql =
        "SELECT OBJECT_NAME(r.constid), " + SchemaOf(later, "c.uid") + ", c.name, " +
        SchemaOf(later, "p.uid") +
        ", p.name, OBJECTPROPERTY(r.constid, 'CnstIsDisabled') FROM sysreferences r "
        "JOIN sysobjects c ON c.id = r.fkeyid JOIN sysobjects p ON p.id = r.rkeyid "
        "ORDER BY 2, 3, 1";
    if (!QueryAll(place, cancel, sql, rows, error))
        return false;
    for (const Row& r : rows) {
        ForeignKeyLink link;
        link.Name = Cell(r, 0).Text();
        link.Child = {Cell(r, 1).Text(), Cell(r, 2).Text()};
        link.Parent = {Cell(r, 3).Text(), Cell(r, 4).Text()};
        link.Disabled = Cell(r, 5).Long() == 1;
        links.push_back(std::move(link));
    }
    return true;
}

bool ReadTableInfo(const QueryPlace& place, const CancelToken& cancel, bool later,
                   const std::string& schema, const std::string& name, TableInfo& info, bool& found,
                   OdbcError& error) {
    info = TableInfo{};
    found = false;
    std::vector<Row> rows;
    std::string sql =
        "SELECT o.id, " + SchemaOf(later, "o.uid") +
        ", o.name FROM sysobjects o WHERE o.xtype = 'U' AND o.name = " + UnicodeLiteral(name);
    if (!schema.empty())
        sql += " AND " + SchemaOf(later, "o.uid") + " = " + UnicodeLiteral(schema);
    sql += " ORDER BY 2";
    if (!QueryAll(place, cancel, sql, rows, error))
        return false;
    if (rows.empty())
        return true;
    found = true;
    info.Id = static_cast<int32_t>(Cell(rows[0], 0).Long());
    info.Schema = Cell(rows[0], 1).Text();
    info.Name = Cell(rows[0], 2).Text();
    const std::string id = std::to_string(info.Id);

    if (!QueryAll(place, cancel,
                  "SELECT c.name, t.name, c.length, c.xprec, c.xscale, c.isnullable, "
                  "COLUMNPROPERTY(c.id, c.name, 'IsIdentity') FROM syscolumns c "
                  "JOIN systypes t ON t.xusertype = c.xtype WHERE c.id = " +
                      id + " ORDER BY c.colid",
                  rows, error))
        return false;
    for (const Row& r : rows) {
        TableColumn c;
        c.Name = Cell(r, 0).Text();
        c.Type = ToLowerAscii(Cell(r, 1).Text());
        c.Length = Cell(r, 2).Long();
        c.Precision = static_cast<int32_t>(Cell(r, 3).Long());
        c.Scale = static_cast<int32_t>(Cell(r, 4).Long());
        c.Nullable = Cell(r, 5).Long() != 0;
        c.Identity = Cell(r, 6).Long() == 1;
        info.Columns.push_back(std::move(c));
    }

    if (!QueryAll(place, cancel,
                  "SELECT i.indid, i.name, i.status, c.name FROM sysindexes i "
                  "JOIN sysindexkeys k ON k.id = i.id AND k.indid = i.indid "
                  "JOIN syscolumns c ON c.id = k.id AND c.colid = k.colid WHERE i.id = " +
                      id + " AND i.indid BETWEEN 1 AND 254 ORDER BY i.indid, k.keyno",
                  rows, error))
        return false;
    int64_t current = -1;
    for (const Row& r : rows) {
        const int64_t indid = Cell(r, 0).Long();
        if (indid != current) {
            current = indid;
            TableIndex index;
            index.Name = Cell(r, 1).Text();
            const int64_t status = Cell(r, 2).Long();
            index.Primary = (status & 2048) != 0;
            index.Unique = (status & 2) != 0 || index.Primary;
            info.Indexes.push_back(std::move(index));
        }
        info.Indexes.back().Columns.push_back(Cell(r, 3).Text());
    }
    return true;
}

} // namespace orv
