#include "servers/server_probe.h"

#include "core/log.h"
#include "core/program_info.h"
#include "core/registry.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "servers/odbc_error.h"
#include "servers/server_list.h"
#include "util/prompter.h"
#include "util/text.h"

#include <exception>

namespace orv {

std::string TestConnectionFailureText(int32_t errNumber, const std::string& description) {
    return errNumber == kErrFail ? "SQL Server does not exist or access denied." : description;
}

bool TestConnection(const ServerEntry& entry, std::string* reason) {
    HourglassPointer hourglass;
    try {
        const std::string database = entry.MRUDb.empty() ? "master" : entry.MRUDb;
        WriteLogLine("Server: " + entry.Name);
        WriteLogLine("Database: " + database);
        WriteLogLine(std::string("SQLAuth: ") + (entry.SQLAuth ? "True" : "False"));
        QuietConnectionErrors = true;
        RecordsetPtr rs;
        int32_t errNumber = 0;
        std::string errDescription;
        int32_t result = 0;
        if (ToLowerAscii(database) == "master") {
            result = ExecAdoCmd(entry, kAdCmdText, "SELECT TOP 1 name FROM sysdatabases", rs,
                                database, errNumber, errDescription);
        } else {
            result = ExecAdoCmd(entry, kAdCmdText, "SELECT TOP 1 name FROM sys.databases", rs,
                                database, errNumber, errDescription);
            if (result == -1) {
                WriteLogLine("llngReturn = -1, trying again");
                rs.reset();
                result = ExecAdoCmd(entry, kAdCmdText, "", rs, "", errNumber, errDescription);
            }
        }
        if (rs)
            rs->Close();
        // The trial always leaves the setting off, whatever it was before.
        QuietConnectionErrors = false;
        if (result == -1 && reason)
            *reason = errDescription;
        return result != -1;
    } catch (const std::exception& e) {
        QuietConnectionErrors = false;
        CurrentPrompter().MessageBox(MsgIcon::Warning, kExecutableName,
                                     TestConnectionFailureText(0, e.what()));
        return false;
    }
}

bool ServerExists(const std::string& name) {
    const std::string lower = ToLowerAscii(name);
    const int32_t n = ServerCount();
    const auto& list = ServerList();
    for (int32_t i = 1; i <= n && static_cast<size_t>(i) < list.size(); ++i) {
        if (ToLowerAscii(list[static_cast<size_t>(i)].Name) == lower) {
            WriteLogLine("ServerExists: " + lower);
            return true;
        }
    }
    return false;
}

} // namespace orv
