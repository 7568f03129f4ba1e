#include "catalog/create_builder.h"

#include "catalog/module_header.h"

#include "catalog/catalog_error.h"
#include "catalog/create_table.h"
#include "catalog/key_scripts.h"
#include "catalog/object_text.h"
#include "catalog/schemas.h"
#include "catalog/sql_quote.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "util/prompter.h"

namespace orv {

std::string GetExtras(const ServerEntry& server, const std::string& objectName,
                      const std::string& database, ObjectType type) {
    if (type != kTypeView)
        return "";
    std::string text;
    try {
        const std::string sql = "SELECT si.name AS [index], sk.indid, sc.[name] AS [column] FROM "
                                "sysindexkeys sk "
                                "INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
                                "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid "
                                "INNER JOIN sysobjects so ON so.id = sk.id "
                                "WHERE so.[name] = '" +
                                SqlLiteral(objectName) + "' ORDER BY sk.indid";
        RecordsetPtr rs;
        int32_t errNumber = 0;
        std::string errDescription;
        ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription);
        RequireOpen(rs);
        text = BuildViewIndexStatements(*rs, objectName);
        rs->Close();
    } catch (...) {
        ReportCurrentError("mdlQueryCode", "GetExtras");
    }
    return text;
}

std::string SQL_BuildCreateStatement(ServerEntry& server, const std::string& serverName,
                                     const std::string& database, const std::string& listedName,
                                     ObjectType type, int32_t objectId,
                                     const std::string& lineSuffix, std::string& dropPart) {
    dropPart.clear();
    if (serverName.empty() || database.empty() || listedName.empty() || type == kTypeNone) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, "Error", kWrongCreateParameters);
        return "";
    }
    std::string ownName;
    const std::string extended =
        GetExtendedObjectName(server, database, listedName, type, objectId, &ownName);
    const std::string header = BuildScriptHeader(database, type, extended, dropPart);
    std::string body;
    std::string afterTable;
    switch (type) {
    case kTypeProcedure:
    case kTypeFunction:
    case kTypeView:
    case kTypeTrigger:
        body = HasSchemaPrefix(listedName) && objectId > 0
                   ? GetObjectTextById(server, objectId, database)
                   : GetObjectText(server, listedName, database, type);
        // Renamed with sp_rename, the module's text still creates its old name.
        body = WithCurrentName(body, extended);
        break;
    case kTypeTable: {
        const CreateTableOptions options{Settings().CompleteTableScripts,
                                         Settings().IgnoreSystemConstraintNames};
        TableCreateParts parts = GetTableCreateParts(server, listedName, database, objectId,
                                                     lineSuffix, extended, options);
        body = std::move(parts.Body);
        afterTable = std::move(parts.AfterTable);
        break;
    }
    case kTypeRelationship:
        body = GetRelationshipText(server, listedName, database, objectId);
        break;
    default:
        break;
    }
    // The view's own name: it may hold ".", so it is not cut out of the listed name.
    const std::string extras = GetExtras(server, ownName, database, type);
    return AssembleCreateStatement(header, type, extended, body, extras, lineSuffix, afterTable);
}

} // namespace orv
