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

std::string GetRelationshipText(const ServerEntry& server, const std::string& keyName,
                                const std::string& database) {
    const std::string sql = "SELECT so.name AS foreignkey, scf.name AS foreigncolumn, "
                            "sor.name AS referencedtable, scr.name AS referencedcolumn, "
                            "sof.name AS tablename "
                            "FROM sysreferences sr "
                            "INNER JOIN sysobjects so ON sr.constid = so.id "
                            "INNER JOIN sysobjects sof ON sof.id = sr.fkeyid "
                            "INNER JOIN sysobjects sor ON sor.id = sr.rkeyid "
                            "INNER JOIN syscolumns scf ON scf.id = sof.id AND scf.colid = sr.fkey1 "
                            "INNER JOIN syscolumns scr ON scr.id = sor.id AND scr.colid = sr.rkey1 "
                            "WHERE so.name = '" +
                            SqlLiteral(keyName) +
                            "' "
                            "ORDER BY scf.name";
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
            ExecAdoCmd(server, kAdCmdText, ForeignKeyColumnsQuery(keyName, server.VersionMajor),
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
                              const std::string& database) {
    std::string text;
    try {
        const std::string sql =
            "SELECT si.name as [name], so2.refdate AS refdate, so2.id AS id, sc.name AS [column], "
            "sk.indid, so2.name as [tablename] "
            "FROM sysobjects so INNER JOIN sysindexkeys sk ON so.parent_obj = sk.id "
            "INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
            "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid "
            "INNER JOIN sysobjects so2 ON so.parent_obj = so2.id "
            "WHERE "
            "si.indid = 1 AND "
            " si.name = '" +
            SqlLiteral(keyName) +
            "' AND "
            "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
            "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 ";
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
