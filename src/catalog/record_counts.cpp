#include "catalog/record_counts.h"

#include "catalog/catalog_error.h"
#include "catalog/schemas.h"
#include "catalog/sql_quote.h"
#include "core/program_info.h"
#include "servers/exec_ado_cmd.h"
#include "util/prompter.h"

namespace orv {
namespace {

// -1 with the error when the statement failed.
int32_t RunCount(const ServerEntry& server, const std::string& name, const std::string& database,
                 int32_t& errNumber, std::string& errDescription) {
    RecordsetPtr rs;
    // The name is executed as an identifier: a "]" inside it must not end it.
    const std::string sql = "SELECT COUNT(*) AS RecsCount FROM " + SafeIdentifier(name);
    // One SELECT of the program's own, with the name safely bracketed: it changes no session
    // state, so the next count may reuse the connection without a reset.
    ReadOnlyCommand readOnly;
    if (ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription) == -1)
        return -1;
    RequireOpen(rs);
    const int32_t count = rs->IsEOF() ? 0 : static_cast<int32_t>(rs->Value("RecsCount").Long());
    rs->Close();
    return count;
}

} // namespace

int32_t GetNumberOfRecordsInTable(ServerEntry& server, std::string& tableName,
                                  const std::string& database) {
    if (tableName.empty())
        return 0;
    QuietErrorsScope quiet;
    try {
        const std::string bracketed = SafeIdentifier(tableName);
        int32_t errNumber = 0;
        std::string errDescription;
        const int32_t count = RunCount(server, bracketed, database, errNumber, errDescription);
        if (count != -1)
            return count;
        std::string qualified;
        if (!QualifyTableAfterNameError(server, tableName, qualified, database, errNumber)) {
            CurrentPrompter().MessageBox(MsgIcon::Warning, kExecutableName,
                                         "Error while attempting to count records in table: " +
                                             errDescription);
            return -1;
        }
        const int32_t retried = RunCount(server, qualified, database, errNumber, errDescription);
        if (retried != -1)
            tableName = qualified;
        return retried;
    } catch (...) {
        const CaughtError e = CurrentError();
        CurrentPrompter().MessageBox(MsgIcon::None, kExecutableName,
                                     "Error in Sub GetNumberOfRecordsInTable, error nr " +
                                         std::to_string(e.number) + " (" + e.description + ").");
        return -1;
    }
}

std::string RecordsetToString(ReportRunner& runner, Recordset* recordset, ObjectType type,
                              ServerEntry& server, const std::string& database, bool numbering,
                              const ListedNameWriter& writeName) {
    std::string text;
    try {
        if (recordset == nullptr || (recordset->IsBOF() && recordset->IsEOF()))
            return "";
        RequireOpen(recordset);
        recordset->MoveFirst();
        int64_t number = 0;
        while (!recordset->IsEOF() && !runner.mblnCancel) {
            ++number;
            std::string name = recordset->Value(0).Text();
            runner.ShowProgress(name);
            CurrentPrompter().ProcessEvents();
            const int32_t id = static_cast<int32_t>(recordset->Value(2).Long());
            const std::string listed = name;
            if (writeName)
                name = writeName(listed, id);
            if (type == kTypeTable) {
                std::string extended = GetExtendedObjectName(server, database, listed, type, id);
                // A failed lookup must not make the count read an empty name as an empty table.
                if (extended.empty())
                    extended = QuoteCatalogName(listed);
                const int32_t count = GetNumberOfRecordsInTable(server, extended, database);
                if (count == -1) {
                    text += "\r\n" + std::string(kReportAborted) + "\r\n\r\n";
                    return text;
                }
                name += RecordCountText(count);
                CurrentPrompter().ProcessEvents();
            }
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

} // namespace orv
