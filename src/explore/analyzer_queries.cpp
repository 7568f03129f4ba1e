#include "explore/analyzer_queries.h"

#include "catalog/bulk_queries.h"
#include "catalog/sql_quote.h"
#include "util/text.h"

namespace orv {

ColumnClass ClassifyColumnType(const std::string& typeName) {
    const std::string t = ToLowerAscii(typeName);
    if (t == "char" || t == "varchar" || t == "nchar" || t == "nvarchar" || t == "sysname")
        return ColumnClass::Character;
    if (t == "binary" || t == "varbinary" || t == "timestamp" || t == "rowversion")
        return ColumnClass::Binary;
    if (t == "bit")
        return ColumnClass::Bit;
    if (t == "uniqueidentifier")
        return ColumnClass::Guid;
    if (t == "text" || t == "ntext")
        return ColumnClass::LongText;
    if (t == "image")
        return ColumnClass::LongBinary;
    if (t == "xml" || t == "geography" || t == "geometry")
        return ColumnClass::Opaque;
    return ColumnClass::Ordered;
}

bool HasLengths(ColumnClass c) {
    return c == ColumnClass::Character || c == ColumnClass::Binary || c == ColumnClass::LongText ||
           c == ColumnClass::LongBinary;
}

bool HasOrder(ColumnClass c) {
    return c != ColumnClass::LongText && c != ColumnClass::LongBinary && c != ColumnClass::Opaque;
}

bool HasTopValues(ColumnClass c) {
    return HasOrder(c);
}

std::string AnalyzerColumnsQuery(int32_t objectId, const std::string& schema,
                                 const std::string& name, bool later) {
    const std::string schemaColumn = SchemaColumn("sob", later);
    std::string filter = objectId > 0 ? "sob.id = " + std::to_string(objectId)
                                      : "sob.name = N'" + SqlLiteral(name) + "'";
    if (objectId <= 0 && !schema.empty())
        filter += " AND " + schemaColumn + " = N'" + SqlLiteral(schema) + "'";
    return "SELECT sob.id, " + schemaColumn +
           " AS [schema], sob.name AS [table], sco.name AS [column], sty.name AS datatype, "
           "bty.name AS basetype "
           "FROM sysobjects sob INNER JOIN syscolumns sco ON sob.id = sco.id "
           "INNER JOIN systypes sty ON sco.xtype = sty.xtype AND sco.xusertype = sty.xusertype "
           "INNER JOIN systypes bty ON bty.xusertype = sty.xtype "
           "WHERE sob.xtype = 'U' AND " +
           filter + " ORDER BY sob.id, sco.colorder";
}

namespace {

// The length of one value: characters for character data (LEN, trailing blanks not counted,
// as SQL Server counts them), bytes for binary data and for text and ntext, which LEN refuses.
std::string LengthOf(const std::string& column, ColumnClass c) {
    return (c == ColumnClass::Character ? "LEN(" : "DATALENGTH(") + column + ")";
}

// The value as MIN and MAX can take it.
std::string Comparable(const std::string& column, ColumnClass c) {
    if (c == ColumnClass::Bit)
        return "CAST(" + column + " AS int)";
    if (c == ColumnClass::Guid)
        return "CAST(" + column + " AS char(36))";
    return column;
}

} // namespace

std::string ColumnProfileQuery(const std::string& table, const std::string& columnName,
                               ColumnClass c) {
    const std::string column = QuoteCatalogName(columnName);
    std::string sql = "SELECT COUNT_BIG(*) AS [rows], COUNT_BIG(" + column + ") AS [values]";
    if (HasOrder(c)) {
        const std::string value = Comparable(column, c);
        sql += ", COUNT_BIG(DISTINCT " + column + ") AS [distinct], MIN(" + value +
               ") AS [min], MAX(" + value + ") AS [max]";
    }
    if (HasLengths(c)) {
        const std::string length = LengthOf(column, c);
        sql +=
            ", AVG(CAST(" + length + " AS float)) AS [avg_len], MAX(" + length + ") AS [max_len]";
    }
    return sql + " FROM " + table;
}

std::string TopValuesQuery(const std::string& table, const std::string& columnName, ColumnClass c) {
    if (!HasTopValues(c))
        return "";
    const std::string column = QuoteCatalogName(columnName);
    return "SELECT TOP " + std::to_string(kTopValueCount) + " " + column +
           " AS [value], COUNT_BIG(*) AS [count] FROM " + table + " WHERE " + column +
           " IS NOT NULL GROUP BY " + column + " ORDER BY COUNT_BIG(*) DESC, " + column;
}

} // namespace orv
