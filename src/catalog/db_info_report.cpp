#include "catalog/db_info_report.h"

#include "catalog/catalog_error.h"
#include "catalog/listing.h"
#include "catalog/schemas.h"
#include "catalog/sql_quote.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "util/prompter.h"
#include "util/text.h"

#include <map>
#include <optional>
#include <set>

namespace orv {
namespace {

// The schema (the owner on older servers) of each object by id, in one query; `where` narrows
// it to a kind of object.
std::string SchemasByIdQuery(bool later, const std::string& where) {
    return later ? "SELECT [object_id], OBJECT_SCHEMA_NAME([object_id]) FROM sys.objects" + where
                 : "SELECT [id], USER_NAME(uid) FROM sysobjects" + where;
}

// Where each table's qualifier comes from when the catalog is read once: the schema by object
// id on later servers, the owner by name on older ones. A table the one query could not place
// (a failed query, an id or name it did not return, a name two owners share) is looked up the
// long way, so the report names every table exactly as the single lookups would.
class TableQualifiers {
public:
    TableQualifiers(ServerEntry& server, const std::string& database)
        : server_(server), database_(database) {
        bySchema_ = VersionMajorOf(server.Version) >= 9;
        try {
            loaded_ = bySchema_ ? LoadSchemas() : LoadOwners();
        } catch (const RecordsetError&) {
            // Rows cut off part-way place only some tables; every table goes the long way.
            loaded_ = false;
        }
    }

    // `listedName` is the catalog's own name (the report's listing never prefixes one), so a
    // name holding "." is taken whole.
    std::string ExtendedName(const std::string& listedName, int32_t id) {
        const std::string& bare = listedName;
        if (loaded_) {
            if (bySchema_ && id > 0) {
                auto it = schemaById_.find(id);
                if (it != schemaById_.end() && !it->second.empty())
                    return Qualified(it->second, bare);
            } else if (!bySchema_) {
                auto it = ownerByName_.find(ToLowerAscii(bare));
                if (it != ownerByName_.end() && it->second) {
                    const std::string& owner = *it->second;
                    if (!owner.empty() && owner != "dbo")
                        return Qualified(owner, bare);
                    return QuoteCatalogName(bare);
                }
            }
        }
        const std::string extended =
            GetExtendedObjectName(server_, database_, listedName, kTypeTable, id);
        // A failed lookup must not make the count read an empty name as an empty table.
        return extended.empty() ? QuoteCatalogName(listedName) : extended;
    }

private:
    static std::string Qualified(const std::string& schema, const std::string& name) {
        return QuoteCatalogName(schema) + "." + QuoteCatalogName(name);
    }

    bool Run(const std::string& sql, RecordsetPtr& rs) {
        int32_t errNumber = 0;
        std::string errDescription;
        QuietErrorsScope quiet;
        return ExecAdoCmd(server_, kAdCmdText, sql, rs, database_, errNumber, errDescription) !=
                   -1 &&
               rs && rs->IsOpen();
    }

    bool LoadSchemas() {
        RecordsetPtr rs;
        if (server_.VersionMajor > 8) {
            if (!Run(SchemasByIdQuery(true, " WHERE [type] = 'U'"), rs)) {
                // As the single lookup does: a server without the newer catalog is read
                // through the older one from now on.
                server_.VersionMajor = 8;
                rs.reset();
            }
        }
        if (!rs && !Run(SchemasByIdQuery(false, " WHERE xtype = 'U'"), rs))
            return false;
        for (; !rs->IsEOF(); rs->MoveNext())
            schemaById_[static_cast<int32_t>(rs->Value(0).Long())] = rs->Value(1).Text();
        rs->Close();
        return true;
    }

    bool LoadOwners() {
        RecordsetPtr rs;
        if (!Run("SELECT so.name AS ObjectName, su.name AS Owner FROM sysobjects so INNER JOIN "
                 "sysusers su ON so.uid = su.uid WHERE so.xtype = '" +
                     OwnerXtype(kTypeTable) + "'",
                 rs))
            return false;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            const std::string key = ToLowerAscii(rs->Value(0).Text());
            auto [it, added] = ownerByName_.emplace(key, rs->Value(1).Text());
            if (!added)
                it->second.reset(); // which owner the single lookup meets first is the server's
        }
        rs->Close();
        return true;
    }

    ServerEntry& server_;
    const std::string& database_;
    bool bySchema_ = false;
    bool loaded_ = false;
    bool failed_ = false;
    std::map<int32_t, std::string> schemaById_;
    std::map<std::string, std::optional<std::string>> ownerByName_;
};

// A name the listing holds more than once (letter case aside, as the server compares names) is
// written with its schema, so two tables Orders read as dbo.Orders and sales.Orders. The
// schemas are read, in one query, only when some name is shared.
class SharedNameWriter {
public:
    SharedNameWriter(ServerEntry& server, const std::string& database, Recordset* recordset)
        : server_(server), database_(database) {
        try {
            if (recordset == nullptr || !recordset->IsOpen() ||
                (recordset->IsBOF() && recordset->IsEOF()))
                return;
            std::set<std::string> seen;
            for (recordset->MoveFirst(); !recordset->IsEOF(); recordset->MoveNext()) {
                const std::string key = ToLowerAscii(recordset->Value(0).Text());
                if (!seen.insert(key).second)
                    shared_.insert(key);
            }
            recordset->MoveFirst();
        } catch (const RecordsetError&) {
            // The rows were cut off while they were being read here: this is where the failure
            // shows, so it is reported here, and no listing is written from the rows that came.
            shared_.clear();
            failed_ = true;
            ReportCurrentError("modNew", "RecordsetToString");
        }
    }

    bool Failed() const { return failed_; }

    ListedNameWriter Writer() {
        if (shared_.empty())
            return {};
        return [this](const std::string& name, int32_t id) { return Write(name, id); };
    }

private:
    std::string Write(const std::string& name, int32_t id) {
        if (!shared_.count(ToLowerAscii(name)))
            return name;
        if (!loaded_)
            Load();
        const auto it = schemaById_.find(id);
        return it == schemaById_.end() || it->second.empty() ? name : it->second + "." + name;
    }

    void Load() {
        loaded_ = true;
        const auto read = [&](bool later) {
            RecordsetPtr rs;
            int32_t errNumber = 0;
            std::string errDescription;
            QuietErrorsScope quiet;
            if (ExecAdoCmd(server_, kAdCmdText, SchemasByIdQuery(later, ""), rs, database_,
                           errNumber, errDescription) == -1 ||
                !rs || !rs->IsOpen())
                return false;
            for (; !rs->IsEOF(); rs->MoveNext())
                schemaById_[static_cast<int32_t>(rs->Value(0).Long())] = rs->Value(1).Text();
            return true;
        };
        try {
            // A server without the newer catalog answers through the older one.
            if (!(VersionMajorOf(server_.Version) >= 9 && read(true)))
                read(false);
        } catch (const RecordsetError&) {
            // Names that could not be placed are written as the catalog gives them.
        }
    }

    ServerEntry& server_;
    const std::string& database_;
    std::set<std::string> shared_;
    bool loaded_ = false;
    bool failed_ = false;
    std::map<int32_t, std::string> schemaById_;
};

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

std::string DbInfoDateText(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char day[8];
    std::snprintf(day, sizeof day, "%02d", local.tm_mday);
    return std::string(kMonths[local.tm_mon]) + " " + day + ", " +
           std::to_string(local.tm_year + 1900);
}

std::string DbInfoStepCaption(ObjectType type) {
    return "Analyzing " + GetObjectTypeName(type, false) + "...";
}

std::string TableListingWithCounts(ReportRunner& runner, Recordset* recordset, ServerEntry& server,
                                   const std::string& database, bool numbering,
                                   const ListedNameWriter& writeName) {
    std::string text;
    try {
        if (recordset == nullptr || (recordset->IsBOF() && recordset->IsEOF()))
            return "";
        RequireOpen(recordset);
        TableQualifiers qualifiers(server, database);
        recordset->MoveFirst();
        int64_t number = 0;
        while (!recordset->IsEOF() && !runner.mblnCancel) {
            ++number;
            const std::string listed = recordset->Value(0).Text();
            runner.ShowProgress(listed);
            CurrentPrompter().ProcessEvents();
            const auto id = static_cast<int32_t>(recordset->Value(2).Long());
            std::string extended = qualifiers.ExtendedName(listed, id);
            std::string name = writeName ? writeName(listed, id) : listed;
            const int32_t count = GetNumberOfRecordsInTable(server, extended, database);
            if (count == -1) {
                text += "\r\n" + std::string(kReportAborted) + "\r\n\r\n";
                return text;
            }
            name += RecordCountText(count);
            if (numbering)
                text += ReportNumberColumn(number);
            text += name + "\r\n";
            recordset->MoveNext();
        }
    } catch (...) {
        ReportCurrentError("modNew", "RecordsetToString");
    }
    return text;
}

bool BuildDbInfoReport(DbInfoRunner& runner, ServerEntry& server, const std::string& database,
                       const std::string& dateText, std::string& text) {
    text = dateText + "\r\n\r\nDatabase: " + database + "\r\n\r\n";
    const bool ignoreSys = Settings().IgnoreSysObjects;
    for (size_t step = 0; step < kDbInfoTypes.size(); ++step) {
        const ObjectType type = kDbInfoTypes[step];
        runner.UpdateElapsed();
        if (runner.mblnCancel)
            return false;
        const std::string caption = DbInfoStepCaption(type);
        runner.StepStarted(static_cast<int>(step), caption);

        RecordsetPtr rs;
        int32_t errNumber = 0;
        std::string errDescription;
        const std::string sql = BuildObjSQLString(type, ignoreSys);
        // A listing the server did not give is not an empty one: the command layer has said
        // why, and a report claiming there are no objects of the type would be wrong.
        if (ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription) == -1)
            return false;
        runner.UpdateElapsed();
        if (runner.mblnCancel)
            return false;

        runner.ListingStarted();
        SharedNameWriter shared(server, database, rs.get());
        if (shared.Failed())
            return false;
        const std::string listing =
            type == kTypeTable
                ? TableListingWithCounts(runner, rs.get(), server, database, true, shared.Writer())
                : RecordsetToString(runner, rs.get(), type, server, database, true,
                                    shared.Writer());
        const bool cutShort = rs && rs->Failed();
        if (rs && rs->IsOpen())
            rs->Close();
        if (cutShort)
            return false;
        const std::string plural = GetObjectTypeName(type, false);
        text +=
            listing.empty() ? "There are no " + plural + " in this database." : "List of " + plural;
        text += "\r\n" + listing + "\r\n";
        runner.StepFinished(static_cast<int>(step), caption);
    }
    return true;
}

} // namespace orv
