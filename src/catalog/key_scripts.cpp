#include "catalog/key_scripts.h"

#include "catalog/catalog_error.h"
#include "catalog/object_text.h"
#include "catalog/sql_quote.h"
#include "catalog/table_script_complete.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"

namespace orv {

std::string BuildRelationshipText(const Recordset& row) {
    return "TABLE " + row.Value("tablename").Text() + "\r\nCONSTRAINT [" +
           row.Value("foreignkey").Text() + "]\r\nFOREIGN KEY [" +
           row.Value("foreigncolumn").Text() + "]\r\nREFERENCES [" +
           row.Value("referencedtable").Text() + "] [" + row.Value("referencedcolumn").Text() + "]";
}

std::string BuildConstraintText(const Recordset& row) {
    return "CONSTRAINT [" + row.Value("name").Text() +
           "] \r\nPRIMARY KEY CLUSTERED \r\nON COLUMN [" + row.Value("column").Text() +
           "]\r\nON TABLE [" + row.Value("tablename").Text() + "]";
}

std::string RelationshipRowsQuery(const std::string& extraColumns, const std::string& condition,
                                  const std::string& orderBy) {
    return "SELECT so.name AS foreignkey, scf.name AS foreigncolumn, "
           "sor.name AS referencedtable, scr.name AS referencedcolumn, "
           "sof.name AS tablename" +
           extraColumns +
           " "
           "FROM sysreferences sr "
           "INNER JOIN sysobjects so ON sr.constid = so.id "
           "INNER JOIN sysobjects sof ON sof.id = sr.fkeyid "
           "INNER JOIN sysobjects sor ON sor.id = sr.rkeyid "
           "INNER JOIN syscolumns scf ON scf.id = sof.id AND scf.colid = sr.fkey1 "
           "INNER JOIN syscolumns scr ON scr.id = sor.id AND scr.colid = sr.rkey1 " +
           condition + orderBy;
}

std::string ConstraintRowsQuery(bool distinct, const std::string& extraColumns,
                                const std::string& condition, const std::string& orderBy) {
    return std::string(distinct ? "SELECT DISTINCT " : "SELECT ") +
           "si.name as [name], so2.refdate AS refdate, so2.id AS id, sc.name AS [column], "
           "sk.indid, so2.name as [tablename]" +
           extraColumns +
           " "
           "FROM sysobjects so INNER JOIN sysindexkeys sk ON so.parent_obj = sk.id "
           "INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
           "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid "
           "INNER JOIN sysobjects so2 ON so.parent_obj = so2.id "
           "WHERE "
           "si.indid = 1 AND " +
           condition +
           "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
           "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 " +
           orderBy;
}

std::string GetRelationshipText(const ServerEntry& server, const std::string& keyName,
                                const std::string& database, int32_t keyId) {
    const bool byId = keyId > 0 && HasSchemaPrefix(keyName);
    const std::string sql =
        RelationshipRowsQuery("",
                              byId ? "WHERE so.id = " + std::to_string(keyId) + " "
                                   : "WHERE so.name = '" + SqlLiteral(keyName) + "' ",
                              "ORDER BY scf.name");
    RecordsetPtr rs;
    int32_t errNumber = 0;
    std::string errDescription;
    if (ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription) == -1 && !rs)
        return "";
    RequireOpen(rs);
    std::string text;
    if (!rs->IsEOF()) {
        if (Settings().CompleteTableScripts) {
            RecordsetPtr pairs;
            ExecAdoCmd(server, kAdCmdText,
                       ForeignKeyColumnsQuery(keyName, server.VersionMajor, byId ? keyId : 0),
                       pairs, database, errNumber, errDescription);
            RequireOpen(pairs);
            text = BuildCompleteRelationshipText(*rs, *pairs);
        } else {
            text = BuildRelationshipText(*rs);
        }
    }
    rs->Close();
    return TrimWhitespaceAndBreaks(text);
}

std::string GetConstraintText(const ServerEntry& server, const std::string& keyName,
                              const std::string& database, int32_t tableId) {
    std::string text;
    try {
        const std::string sql =
            ConstraintRowsQuery(false, "",
                                tableId > 0 && HasSchemaPrefix(keyName)
                                    ? "so2.id = " + std::to_string(tableId) + " AND "
                                    : " si.name = '" + SqlLiteral(keyName) + "' AND ",
                                "");
        RecordsetPtr rs;
        int32_t errNumber = 0;
        std::string errDescription;
        if (ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription) == -1 &&
            !rs)
            return "";
        RequireOpen(rs);
        if (!rs->IsEOF())
            text = BuildConstraintText(*rs);
        rs->Close();
        return TrimWhitespaceAndBreaks(text);
    } catch (...) {
        ReportCurrentError("modNew", "GetConstraintText");
        return text;
    }
}

} // namespace orv
