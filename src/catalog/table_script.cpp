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
        if (leaveOutIgnored)
            ignoredCount = GetIgnoredColumns(
                listKind, GetObjectFullName(server, database, tableName, false), ignored);
        const std::string literal = SqlLiteral(tableName);
        // ident_seed reads its argument as schema.name: a name holding "." goes in qualified.
        // So does the name of a statement that is to be run: by its bare name, a table outside
        // the default schema would be created with its dbo namesake's seed, or with none.
        const bool qualify = tableId > 0 && (tableName.find('.') != std::string::npos ||
                                             names == BracketedNames::Executable);
        const std::string identity =
            qualify ? SqlLiteral(QualifiedTableName(server, database, tableName, tableId))
                    : literal;
        const std::string filter = tableId <= 0 ? "WHERE sob.name = '" + literal + "' "
                                                : "WHERE sco.id = " + std::to_string(tableId) + " ";
        const std::string sql =
            "SELECT sco.[name] AS [column], sco.autoval, sco.isnullable, "
            "sco.length, sco.prec, sco.scale, sty.[name] AS datatype, "
            "ident_seed('" +
            identity + "') AS identityseed, ident_incr('" + identity +
            "') AS identityincrement, "
            "isID=case when sco.status&128=0 then '' else 'Y' end "
            "FROM sysobjects sob INNER JOIN syscolumns sco ON sob.id = sco.id "
            "INNER JOIN systypes sty ON sco.xtype = sty.xtype AND sco.xusertype = sty.xusertype " +
            filter + "ORDER BY sco.colorder";
        RecordsetPtr rs;
        {
            QuietErrorsScope quiet;
            ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription);
        }
        RequireOpen(rs);
        for (; !rs->IsEOF(); rs->MoveNext()) {
            if (ignoredCount > 0 && IsColumnIgnored(ignored, rs->Value("column").Text()))
                continue;
            ColumnInfo info;
            text += BuildColumnLine(*rs, lineSuffix, info, names) + "\r\n";
            columns.push_back(std::move(info));
        }
        lastIndex = static_cast<int32_t>(columns.size()) - 1;
        rs->Close();
        if (!text.empty())
            text = Trim(text.substr(0, text.size() - 2));
        return true;
    } catch (...) {
        const CaughtError e = CurrentError();
        ReportUnexpected(
            e.number, e.description, "mdlQueryCode", "GetTableStructure",
            TableStructureErrorText(tableName, server.Name, database, e.number, e.description));
        return false;
    }
}

std::string GetTableIndexes(const ServerEntry& server, const std::string& tableName,
                            const std::string& database, bool clusteredOnly, int32_t tableId) {
    const std::string condition =
        clusteredOnly ? "si.indid = 1 AND " : "si.indid BETWEEN 1 AND 254 AND ";
    const std::string table = tableId > 0 ? "WHERE so2.id = " + std::to_string(tableId) + " AND "
                                          : "WHERE so2.name = '" + SqlLiteral(tableName) + "' AND ";
    const std::string sql =
        "SELECT DISTINCT sc.name AS [column], si.name as [index], sk.indid, sk.keyno "
        "FROM sysobjects so INNER JOIN sysindexkeys sk ON so.parent_obj = sk.id "
        "INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
        "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid "
        "INNER JOIN sysobjects so2 ON so.parent_obj = so2.id " +
        table + condition +
        "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
        "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 "
        "ORDER BY sk.indid, sk.keyno";
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
    if (Settings().CompleteTableScripts && !forceClusteredIndex) {
        const std::string extras =
            GetCompleteTableExtras(server, tableName, database, tableId, !Settings().IgnoreIndexes);
        return extras.empty() ? columnsText : columnsText + "\r\n\r\n" + extras;
    }
    if (forceClusteredIndex || !Settings().IgnoreIndexes) {
        // A name qualified by the listing matches no catalog name; the table's id does.
        const int32_t indexTableId = tableName.find('.') != std::string::npos ? tableId : 0;
        const std::string indexes =
            GetTableIndexes(server, tableName, database, forceClusteredIndex, indexTableId);
        if (!indexes.empty())
            return columnsText + "\r\n\r\n" + indexes;
    }
    return columnsText;
}

} // namespace orv
