#include "catalog/table_script.h"

#include "catalog/catalog_error.h"
#include "catalog/ignored_columns.h"
#include "catalog/schemas.h"
#include "catalog/sql_quote.h"
#include "catalog/table_script_complete.h"
#include "core/error_report.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "util/text.h"

namespace orv {
namespace {

// The table's bracketed, qualified name, read by its id.
std::string QualifiedTableName(const ServerEntry& server, const std::string& database,
                               const std::string& tableName, int32_t tableId) {
    ServerEntry entry = server; // a fallback to the older catalog stays with this copy
    const std::string name = GetExtendedObjectName(entry, database, tableName, kTypeTable, tableId);
    return name.empty() ? tableName : name;
}

} // namespace

bool IdentityByQualifiedName(const std::string& tableName, int32_t tableId, BracketedNames names) {
    return tableId > 0 &&
           (tableName.find('.') != std::string::npos || names == BracketedNames::Executable);
}

// The seed is taken only when the name reaches this very table: by a bare name a table outside
// the default schema would otherwise show the seed of its dbo namesake.
std::string TableColumnsSql(const std::string& leadingColumns, const std::string& identityArgument,
                            const std::string& filter, const std::string& orderBy,
                            bool identityColumnsOnly) {
    // CASE tries its WHEN clauses in order, so the lookups by name run on identity columns
    // only when the first clause sends every other column away.
    const std::string skip = identityColumnsOnly ? "WHEN sco.status & 128 = 0 THEN NULL " : "";
    return "SELECT " + leadingColumns +
           "sco.[name] AS [column], sco.autoval, sco.isnullable, "
           "sco.length, sco.prec, sco.scale, sty.[name] AS datatype, "
           "CASE " +
           skip + "WHEN OBJECT_ID(" + identityArgument + ") = sco.id THEN ident_seed(" +
           identityArgument + ") END AS identityseed, CASE " + skip + "WHEN OBJECT_ID(" +
           identityArgument + ") = sco.id THEN ident_incr(" + identityArgument +
           ") END AS identityincrement, "
           "isID=case when sco.status&128=0 then '' else 'Y' end "
           "FROM sysobjects sob INNER JOIN syscolumns sco ON sob.id = sco.id "
           "INNER JOIN systypes sty ON sco.xtype = sty.xtype AND sco.xusertype = sty.xusertype " +
           filter + "ORDER BY " + orderBy;
}

std::string TableColumnsQuery(const std::string& tableName, const std::string& identityName,
                              int32_t tableId) {
    const std::string filter = tableId <= 0 ? "WHERE sob.name = '" + SqlLiteral(tableName) + "' "
                                            : "WHERE sco.id = " + std::to_string(tableId) + " ";
    return TableColumnsSql("", "'" + SqlLiteral(identityName) + "'", filter, "sco.colorder");
}

std::string TableIndexesSql(const std::string& leadingColumns, const std::string& tableCondition,
                            bool clusteredOnly, const std::string& orderBy) {
    const std::string condition =
        clusteredOnly ? "si.indid = 1 AND " : "si.indid BETWEEN 1 AND 254 AND ";
    return "SELECT DISTINCT " + leadingColumns +
           "sc.name AS [column], si.name as [index], sk.indid, sk.keyno "
           "FROM sysobjects so INNER JOIN sysindexkeys sk ON so.parent_obj = sk.id "
           "INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
           "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid "
           "INNER JOIN sysobjects so2 ON so.parent_obj = so2.id "
           "WHERE " +
           tableCondition + condition +
           "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
           "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 "
           "ORDER BY " +
           orderBy;
}

bool GetTableStructure(const ServerEntry& server, const std::string& database,
                       const std::string& tableName, std::string& text,
                       std::vector<ColumnInfo>& columns, int32_t& lastIndex, bool leaveOutIgnored,
                       int32_t& ignoredCount, int32_t listKind, int32_t tableId,
                       const std::string& lineSuffix, BracketedNames names) {
    columns.clear();
    lastIndex = -1;
    text.clear();
    ignoredCount = 0;
    int32_t errNumber = 0;
    std::string errDescription;
    try {
        std::vector<std::string> ignored;
        if (leaveOutIgnored) {
            ServerEntry lookup = server; // a fallback to the older catalog stays with this copy
            ignoredCount = GetListedTableIgnoredColumns(listKind, lookup, database, tableName,
                                                        tableId, ignored);
        }
        const std::string identity = IdentityByQualifiedName(tableName, tableId, names)
                                         ? QualifiedTableName(server, database, tableName, tableId)
                                         : tableName;
        const std::string sql = TableColumnsQuery(tableName, identity, tableId);
        RecordsetPtr rs;
        {
            QuietErrorsScope quiet;
            ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription);
        }
        RequireOpen(rs);
        BuildColumnLines(*rs, ignored, lineSuffix, text, columns, names);
        lastIndex = static_cast<int32_t>(columns.size()) - 1;
        rs->Close();
        return true;
    } catch (...) {
        PassOnCommandFailure();
        const CaughtError e = CurrentError();
        ReportUnexpected(
            e.number, e.description, "mdlQueryCode", "GetTableStructure",
            TableStructureErrorText(tableName, server.Name, database, e.number, e.description));
        return false;
    }
}

std::string GetTableIndexes(const ServerEntry& server, const std::string& tableName,
                            const std::string& database, bool clusteredOnly, int32_t tableId) {
    const std::string table = tableId > 0 ? "so2.id = " + std::to_string(tableId) + " AND "
                                          : "so2.name = '" + SqlLiteral(tableName) + "' AND ";
    const std::string sql = TableIndexesSql("", table, clusteredOnly, "sk.indid, sk.keyno");
    RecordsetPtr rs;
    int32_t errNumber = 0;
    std::string errDescription;
    ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription);
    RequireOpen(rs);
    std::string part = BuildIndexPart(*rs);
    rs->Close();
    return part;
}

std::string GetTableScript(const ServerEntry& server, const std::string& tableName,
                           const std::string& database, bool leaveOutIgnored, int32_t& ignoredCount,
                           int32_t tableId, const std::string& lineSuffix,
                           bool forceClusteredIndex) {
    std::string columnsText;
    std::vector<ColumnInfo> columns;
    int32_t lastIndex = -1;
    // Half a column list must not pass for the table's script.
    if (!GetTableStructure(server, database, tableName, columnsText, columns, lastIndex,
                           leaveOutIgnored, ignoredCount, kIgnoredForStructure, tableId,
                           lineSuffix))
        return "";
    if (Settings().CompleteTableScripts && !forceClusteredIndex)
        return JoinTableScript(columnsText,
                               GetCompleteTableExtras(server, tableName, database, tableId,
                                                      !Settings().IgnoreIndexes,
                                                      Settings().IgnoreSystemConstraintNames));
    if (forceClusteredIndex || !Settings().IgnoreIndexes) {
        // By the table's id when the list gives one: by name, two tables of one name (two
        // owners on a 2000 server, or names differing in letter case) would show each other's
        // indexes.
        return JoinTableScript(columnsText, GetTableIndexes(server, tableName, database,
                                                            forceClusteredIndex, tableId));
    }
    return columnsText;
}

} // namespace orv
