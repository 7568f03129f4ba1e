#include "catalog/create_table.h"

#include "catalog/catalog_error.h"
#include "catalog/ignored_columns.h"
#include "catalog/sql_quote.h"
#include "catalog/table_script.h"
#include "catalog/table_script_complete.h"
#include "servers/exec_ado_cmd.h"
#include "util/text.h"

namespace orv {

ClusteredIndex ReadClusteredIndex(Recordset& rows) {
    ClusteredIndex index;
    if (rows.IsBOF() && rows.IsEOF())
        return index;
    rows.MoveFirst();
    if (rows.IsEOF())
        return index;
    index.Name = rows.Value("index").Text();
    index.ConstraintType = ToUpperAscii(Trim(rows.Value("constrainttype").Text()));
    index.Unique = rows.Value("isunique").Long() == 1;
    for (; !rows.IsEOF(); rows.MoveNext())
        index.Columns.push_back(rows.Value("column").Text());
    return index;
}

ClusteredIndex GetClusteredIndex(const ServerEntry& server, const std::string& tableName,
                                 const std::string& database, int32_t tableId) {
    const std::string sql = TableIndexRowsQuery(tableName, tableId, true);
    RecordsetPtr rs;
    int32_t errNumber = 0;
    std::string errDescription;
    ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription);
    RequireOpen(rs);
    ClusteredIndex index = ReadClusteredIndex(*rs);
    rs->Close();
    return index;
}

namespace {

std::string KeyList(const std::vector<std::string>& columns) {
    std::string list;
    for (const auto& c : columns)
        list += (list.empty() ? "" : ", ") + QuoteCatalogName(c);
    return "(" + list + ")";
}

} // namespace

std::string ClusteredConstraintLine(const ClusteredIndex& index) {
    if (index.Name.empty() || index.ConstraintType.empty())
        return "";
    const char* kind =
        index.ConstraintType == "PK" ? " PRIMARY KEY CLUSTERED " : " UNIQUE CLUSTERED ";
    return "CONSTRAINT " + QuoteCatalogName(index.Name) + kind + KeyList(index.Columns);
}

std::string ClusteredIndexStatement(const ClusteredIndex& index, const std::string& tableName) {
    if (index.Name.empty() || !index.ConstraintType.empty())
        return "";
    return std::string(index.Unique ? "CREATE UNIQUE CLUSTERED INDEX "
                                    : "CREATE CLUSTERED INDEX ") +
           QuoteCatalogName(index.Name) + " ON " + tableName + " " + KeyList(index.Columns);
}

TableCreateParts GetTableCreateParts(const ServerEntry& server, const std::string& tableName,
                                     const std::string& database, int32_t tableId,
                                     const std::string& lineSuffix,
                                     const std::string& extendedName) {
    TableCreateParts parts;
    std::vector<ColumnInfo> columns;
    int32_t lastIndex = -1;
    int32_t ignored = 0;
    std::string columnsText;
    if (!GetTableStructure(server, database, tableName, columnsText, columns, lastIndex, false,
                           ignored, kIgnoredForStructure, tableId, lineSuffix,
                           BracketedNames::Executable))
        return parts;
    const ClusteredIndex clustered = GetClusteredIndex(server, tableName, database, tableId);
    const std::string constraint = ClusteredConstraintLine(clustered);
    parts.Body = constraint.empty() ? columnsText : columnsText + "\r\n\r\n" + constraint + "\r\n";
    parts.AfterTable = ClusteredIndexStatement(clustered, extendedName);
    return parts;
}

} // namespace orv
