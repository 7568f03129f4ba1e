#include "catalog/schemas.h"

#include "catalog/catalog_error.h"
#include "catalog/object_text.h"
#include "catalog/owners.h"
#include "catalog/sql_quote.h"
#include "core/error_report.h"
#include "servers/exec_ado_cmd.h"
#include "util/text.h"

#include <optional>
#include <vector>

namespace orv {
namespace {

// The first column of the first row, or empty text; failures give empty text too.
std::string FirstValue(const ServerEntry& server, const std::string& database,
                       const std::string& sql) {
    RecordsetPtr rs;
    int32_t errNumber = 0;
    std::string errDescription;
    if (ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription) == -1)
        return "";
    RequireOpen(rs);
    std::string value;
    if (!rs->IsEOF())
        value = rs->Value(0).Text();
    rs->Close();
    return value;
}

std::string QualifiedName(const std::string& schema, const std::string& name) {
    return QuoteCatalogName(schema) + "." + QuoteCatalogName(name);
}

} // namespace

std::string SchemaFromTriggerText(const std::string& text) {
    static const std::string kCreate = "CREATE TRIGGER";
    const size_t create = text.find(kCreate);
    if (create == std::string::npos)
        return "";
    const size_t start = create + kCreate.size();
    const size_t on = text.find("ON", start);
    if (on == std::string::npos)
        return "";
    const std::string between = Trim(text.substr(start, on - start));
    const size_t open = between.find('[');
    if (open != std::string::npos) {
        const size_t close = between.find(']', open + 1);
        if (close != std::string::npos)
            return between.substr(open + 1, close - open - 1);
    }
    return between;
}

std::string GetSchemaForObject(const ServerEntry& server, const std::string& database,
                               const std::string& objectName, ObjectType type) {
    try {
        const std::string name = SqlLiteral(objectName);
        switch (type) {
        case kTypeProcedure:
        case kTypeFunction:
            return FirstValue(server, database,
                              "SELECT ROUTINE_SCHEMA FROM INFORMATION_SCHEMA.ROUTINES WHERE "
                              "ROUTINE_NAME = '" +
                                  name + "'");
        case kTypeView:
            return FirstValue(server, database,
                              "SELECT TABLE_SCHEMA FROM INFORMATION_SCHEMA.VIEWS WHERE "
                              "TABLE_NAME = '" +
                                  name + "'");
        case kTypeTable:
            return FirstValue(server, database,
                              "SELECT TABLE_SCHEMA FROM INFORMATION_SCHEMA.TABLES WHERE "
                              "TABLE_NAME = '" +
                                  name + "'");
        case kTypeTrigger:
            return SchemaFromTriggerText(GetObjectText(server, objectName, database, type));
        default:
            return "";
        }
    } catch (...) {
        ReportCurrentError("mdlMisc", "GetSchemaForObject");
        return "";
    }
}

namespace {

// Runs a lookup by id: the newer form on a later server and, when that fails, the older form
// once, answering through the older catalog for the rest of the entry's life. False when
// neither could run.
bool RunByIdLookup(ServerEntry& server, const std::string& database, const std::string& newer,
                   const std::string& older, RecordsetPtr& rs, bool& fallbackTried) {
    const bool tryNewer = server.VersionMajor > 8;
    int32_t errNumber = 0;
    std::string errDescription;
    if (!tryNewer)
        return ExecAdoCmd(server, kAdCmdText, older, rs, database, errNumber, errDescription) != -1;
    {
        // The newer form failing is answered by the older one: for an operation that watches
        // its commands, no failure of its own.
        std::optional<CommandFailureWatch> fallbackFollows;
        if (CommandFailureWatch::Active())
            fallbackFollows.emplace();
        if (ExecAdoCmd(server, kAdCmdText, newer, rs, database, errNumber, errDescription) != -1)
            return true;
    }
    // A server that calls itself newer but has no sys.objects is answered through the older
    // catalog for the rest of this connection's life.
    server.VersionMajor = 8;
    fallbackTried = true;
    rs.reset();
    return ExecAdoCmd(server, kAdCmdText, older, rs, database, errNumber, errDescription) != -1;
}

std::string ByIdErrorText(int32_t majorAtEntry, const ServerEntry& server, bool fallbackTried,
                          int32_t objectId) {
    return "VerNum=" + std::to_string(majorAtEntry) + ",SQLServerVersion=" + server.Version +
           ",NumVersion=" + std::to_string(server.VersionMajor) +
           ",ErrorFixTried=" + (fallbackTried ? "True" : "False") +
           ",ObjId=" + std::to_string(objectId);
}

} // namespace

bool Db_GetObjSchemaById(ServerEntry& server, ObjectType, const std::string& database,
                         int32_t objectId, std::string& schema) {
    schema.clear();
    if (objectId <= 0)
        return false;
    const int32_t majorAtEntry = server.VersionMajor;
    bool fallbackTried = false;
    try {
        const std::string id = std::to_string(objectId);
        RecordsetPtr rs;
        if (!RunByIdLookup(server, database,
                           "SELECT OBJECT_SCHEMA_NAME([object_id]) FROM sys.objects "
                           "WHERE [object_id] = " +
                               id,
                           "SELECT USER_NAME(uid) FROM sysobjects WHERE [id] = " + id, rs,
                           fallbackTried))
            return false;
        RequireOpen(rs);
        if (!rs->IsEOF())
            schema = rs->Value(0).Text();
        rs->Close();
        return true;
    } catch (...) {
        ReportCurrentError("modSql", "Db_GetObjSchemaById",
                           ByIdErrorText(majorAtEntry, server, fallbackTried, objectId));
        schema.clear();
        return false;
    }
}

bool Db_GetObjNameById(ServerEntry& server, const std::string& database, int32_t objectId,
                       std::string& schema, std::string& name) {
    schema.clear();
    name.clear();
    if (objectId <= 0)
        return false;
    const int32_t majorAtEntry = server.VersionMajor;
    bool fallbackTried = false;
    try {
        const std::string id = std::to_string(objectId);
        RecordsetPtr rs;
        if (!RunByIdLookup(server, database,
                           "SELECT OBJECT_SCHEMA_NAME([object_id]), [name] FROM sys.objects "
                           "WHERE [object_id] = " +
                               id,
                           "SELECT USER_NAME(uid), [name] FROM sysobjects WHERE [id] = " + id, rs,
                           fallbackTried))
            return false;
        RequireOpen(rs);
        if (!rs->IsEOF()) {
            schema = rs->Value(0).Text();
            name = rs->Value(1).Text();
        }
        rs->Close();
        return true;
    } catch (...) {
        ReportCurrentError("modSql", "Db_GetObjNameById",
                           ByIdErrorText(majorAtEntry, server, fallbackTried, objectId));
        schema.clear();
        name.clear();
        return false;
    }
}

std::string BareObjectName(const std::string& listedName) {
    const std::string trimmed = Trim(listedName);
    const size_t dot = trimmed.rfind('.');
    return dot == std::string::npos ? trimmed : trimmed.substr(dot + 1);
}

std::string ExtendedNameFromCatalog(const std::string& schema, const std::string& name,
                                    bool later) {
    if (!schema.empty() && (later || schema != "dbo"))
        return QualifiedName(schema, name);
    return later ? "" : QuoteCatalogName(name);
}

std::string GetExtendedObjectName(ServerEntry& server, const std::string& database,
                                  const std::string& listedName, ObjectType type, int32_t objectId,
                                  std::string* ownName) {
    std::string bare = BareObjectName(listedName);
    // Every way out tells the caller the name the result was built from.
    struct Tell {
        std::string* out;
        const std::string& name;
        ~Tell() {
            if (out != nullptr)
                *out = name;
        }
    } tell{ownName, bare};
    try {
        const bool later = VersionMajorOf(server.Version) >= 9;
        if (objectId > 0) {
            // The listed name may carry a schema prefix, and the name itself may hold ".":
            // only the catalog can say which part is which.
            std::string schema, name;
            if (Db_GetObjNameById(server, database, objectId, schema, name)) {
                if (!name.empty()) {
                    bare = name;
                    if (std::string extended = ExtendedNameFromCatalog(schema, name, later);
                        !extended.empty())
                        return extended;
                }
            } else {
                // The server did not answer: asking it again by name would only wait again. A
                // 2000 server gets what its failed owner lookup gave, the bare name.
                return later ? "" : QuoteCatalogName(bare);
            }
        } else {
            // A typed name: whole when an object is called so, else the part after the first
            // "." that leaves the name of an object (a schema.name), else after the last.
            const std::string whole = Trim(listedName);
            auto exists = [&](const std::string& name) {
                return (later && !GetSchemaForObject(server, database, name, type).empty()) ||
                       !GetOwner(server, database, name, type).empty();
            };
            if (whole != bare) {
                std::vector<std::string> candidates = {whole};
                for (size_t dot = whole.find('.'); dot != std::string::npos;
                     dot = whole.find('.', dot + 1))
                    candidates.push_back(whole.substr(dot + 1));
                candidates.pop_back(); // the text after the last "." is taken anyway
                for (const std::string& candidate : candidates) {
                    if (exists(candidate)) {
                        bare = candidate;
                        break;
                    }
                }
            }
            if (later) {
                const std::string schema = GetSchemaForObject(server, database, bare, type);
                if (!schema.empty() && schema != "dbo")
                    return QualifiedName(schema, bare);
            }
        }
        const std::string owner = GetOwner(server, database, bare, type);
        if (!owner.empty() && owner != "dbo")
            return QualifiedName(owner, bare);
        return QuoteCatalogName(bare);
    } catch (...) {
        ReportCurrentError("mdlMisc", "GetExtendedObjectName");
        return bare;
    }
}

bool QualifyTableAfterNameError(ServerEntry& server, const std::string& tableName,
                                std::string& qualified, const std::string& database,
                                int32_t errNumber) {
    qualified = tableName;
    if (errNumber != kErrInvalidObjectName)
        return false;
    if (server.SchemaRetryTried && !server.SchemaRetrySucceeded)
        return false;
    if (VersionMajorOf(server.Version) <= 8)
        return false;
    server.SchemaRetryTried = true;
    const std::string schema = GetSchemaForObject(server, database, tableName, kTypeTable);
    if (schema.empty())
        return false;
    qualified = QualifiedName(schema, tableName);
    server.SchemaRetrySucceeded = true;
    return true;
}

} // namespace orv
