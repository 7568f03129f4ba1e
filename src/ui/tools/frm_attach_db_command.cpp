#include "ui/tools/frm_attach_db_command.h"

#include "core/log.h"
#include "core/settings.h"
#include "servers/connection_string.h"
#include "servers/odbc_connection.h"
#include "servers/odbc_statement.h"

namespace orv {
namespace {

CommandParameter TextParameter(const char* name, int64_t size, const std::string& value) {
    CommandParameter p;
    p.name = name;
    p.adoType = kAdVarWChar;
    p.direction = kAdParamInput;
    p.size = size;
    p.value = FieldValue::Str(value);
    return p;
}

} // namespace

std::string AttachConnectionText(const ServerEntry& server) {
    return LoggedConnectionText(server, "master", true);
}

std::string AttachProcedureName(bool singleFile) {
    return singleFile ? "sp_attach_single_file_db" : "sp_attach_db";
}

bool AttachDatabaseFiles(const ServerEntry& server, const AttachRequest& request,
                         std::string& errDescription) {
    errDescription.clear();
    WriteLogLine("Attach Database, connection: " + AttachConnectionText(server));
    OdbcError error;
    // A fresh login to master, never one kept for reuse: the attach must not inherit a session.
    OdbcConnectionPtr connection = AcquireConnection(server, "master", true, error);
    if (!connection) {
        errDescription = error.description;
        return false;
    }
    Command command;
    command.parameters.push_back(TextParameter("dbname", 256, request.DatabaseName));
    command.parameters.push_back(TextParameter("filename1", 520, request.DatabaseFile));
    if (!request.SingleFile)
        command.parameters.push_back(TextParameter("filename2", 520, request.LogFile));
    std::string call = "{call " + AttachProcedureName(request.SingleFile) + "(?, ?";
    call += request.SingleFile ? ")}" : ", ?)}";

    bool ok = false;
    if (auto statement = NewStatement(*connection, error)) {
        ok = statement->Execute(call, Settings().Timeout, command, error);
        if (ok) {
            // Messages and errors that follow the first result still belong to the call.
            std::vector<std::vector<FieldValue>> rows;
            bool done = false;
            while (ok && statement->HasColumns() && !done)
                ok = statement->Fetch(0, rows, done, error);
        }
    }
    if (!ok)
        errDescription = error.description;
    ReleaseConnection(std::move(connection), false);
    return ok;
}

} // namespace orv
