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

std::string KeyConstraintClause(const ScriptedIndex& index) {
    if (index.ConstraintType != "PK" && index.ConstraintType != "UQ")
        return "";
    return (index.NameWritten ? "CONSTRAINT " + QuoteCatalogName(index.Name) + " "
                              : std::string()) +
           (index.ConstraintType == "PK" ? "PRIMARY KEY " : "UNIQUE ") +
           (index.IndexId == 1 ? "CLUSTERED " : "NONCLUSTERED ") + KeyList(index.Columns);
}

std::vector<std::string> CompleteTableStatements(const std::vector<ScriptedIndex>& indexes,
                                                 const std::vector<TableConstraint>& constraints,
                                                 const std::string& tableName) {
    std::vector<std::string> statements;
    const std::string alter = "ALTER TABLE " + tableName + " ADD ";
    // The clustered index first: the others are rebuilt when it comes later.
    std::vector<const ScriptedIndex*> ordered;
    for (const ScriptedIndex& index : indexes)
        if (index.IndexId == 1)
            ordered.insert(ordered.begin(), &index);
        else
            ordered.push_back(&index);
    for (const ScriptedIndex* index : ordered) {
        const std::string clause = KeyConstraintClause(*index);
        if (!clause.empty()) {
            // A clustered key stands inside CREATE TABLE.
            if (index->IndexId != 1)
                statements.push_back(alter + clause);
            continue;
        }
        statements.push_back(std::string(index->Unique ? "CREATE UNIQUE " : "CREATE ") +
                             (index->IndexId == 1 ? "CLUSTERED " : "") + "INDEX " +
                             QuoteCatalogName(index->Name) + " ON " + tableName + " " +
                             KeyList(index->Columns));
    }
    for (int64_t kind : {int64_t{2}, int64_t{1}}) {
        for (const TableConstraint& c : constraints) {
            if (c.Kind != kind)
                continue;
            std::string statement =
                alter + (c.NameWritten ? "CONSTRAINT " + QuoteCatalogName(c.Name) + " " : "");
            if (kind == 2)
                statement += "CHECK " + c.Definition;
            else
                statement += "DEFAULT " + c.Definition + " FOR " + QuoteCatalogName(c.Column);
            statements.push_back(statement);
        }
    }
    return statements;
}

namespace {

RecordsetPtr RunCatalogQuery(const ServerEntry& server, const std::string& sql,
                             const std::string& database) {
    RecordsetPtr rs;
    int32_t errNumber = 0;
    std::string errDescription;
    ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription);
    RequireOpen(rs);
    return rs;
}

std::string JoinBatches(const std::vector<std::string>& statements) {
    std::string joined;
    for (const std::string& s : statements)
        joined += (joined.empty() ? "" : "\r\nGO\r\n") + s;
    return joined;
}

} // namespace

TableCreateParts CompleteCreateParts(const std::string& columnsText,
                                     const std::vector<ScriptedIndex>& indexes,
                                     const std::vector<TableConstraint>& constraints,
                                     const std::string& extendedName) {
    TableCreateParts parts;
    std::string keyLine;
    for (const ScriptedIndex& index : indexes)
        if (index.IndexId == 1)
            keyLine = KeyConstraintClause(index);
    parts.Body = keyLine.empty() ? columnsText : columnsText + "\r\n\r\n" + keyLine + "\r\n";
    parts.AfterTable = JoinBatches(CompleteTableStatements(indexes, constraints, extendedName));
    return parts;
}

TableCreateParts GetTableCreateParts(const ServerEntry& server, const std::string& tableName,
                                     const std::string& database, int32_t tableId,
                                     const std::string& lineSuffix, const std::string& extendedName,
                                     const CreateTableOptions& options) {
    TableCreateParts parts;
    std::vector<ColumnInfo> columns;
    int32_t lastIndex = -1;
    int32_t ignored = 0;
    std::string columnsText;
    if (!GetTableStructure(server, database, tableName, columnsText, columns, lastIndex, false,
                           ignored, kIgnoredForStructure, tableId, lineSuffix,
                           BracketedNames::Executable))
        return parts;
    if (!options.Complete) {
        const ClusteredIndex clustered = GetClusteredIndex(server, tableName, database, tableId);
        const std::string constraint = ClusteredConstraintLine(clustered);
        parts.Body =
            constraint.empty() ? columnsText : columnsText + "\r\n\r\n" + constraint + "\r\n";
        parts.AfterTable = ClusteredIndexStatement(clustered, extendedName);
        return parts;
    }
    const ConstraintNaming naming{options.IgnoreSystemNames, server.VersionMajor};
    RecordsetPtr indexRows = RunCatalogQuery(
        server, TableIndexRowsQuery(tableName, tableId, false, server.VersionMajor), database);
    const std::vector<ScriptedIndex> indexes = ReadTableIndexes(*indexRows, naming);
    RecordsetPtr constraintRows = RunCatalogQuery(
        server, TableConstraintsQuery(tableName, tableId, server.VersionMajor), database);
    const std::vector<TableConstraint> constraints = ReadTableConstraints(*constraintRows, naming);
    return CompleteCreateParts(columnsText, indexes, constraints, extendedName);
}

} // namespace orv
