#include "servers/exec_ado_cmd.h"

#include "core/log.h"
#include "core/program_info.h"
#include "core/registry.h"
#include "core/settings.h"
#include "servers/connection_string.h"
#include "servers/odbc_connection.h"
#include "servers/odbc_statement.h"
#include "servers/server_list.h"
#include "servers/server_recordset.h"
#include "util/prompter.h"

namespace orv {

namespace {
thread_local int gReadOnlyDepth = 0;
thread_local CommandFailureWatch* gFailureWatch = nullptr;
} // namespace

CommandFailureWatch::CommandFailureWatch() : outer_(gFailureWatch) {
    gFailureWatch = this;
}

CommandFailureWatch::~CommandFailureWatch() {
    gFailureWatch = outer_;
}

CommandFailureWatch* CommandFailureWatch::Active() {
    return gFailureWatch;
}

void CommandFailureWatch::Record(int32_t errNumber, const std::string& errDescription,
                                 const std::string& commandText) {
    if (failed_)
        return;
    failed_ = true;
    errNumber_ = errNumber;
    errDescription_ = errDescription;
    commandText_ = commandText;
}

std::string CommandFailureWatch::MessageText() const {
    return ConnectionFailedText(errNumber_, errDescription_, commandText_);
}

ReadOnlyCommand::ReadOnlyCommand() {
    ++gReadOnlyDepth;
}
ReadOnlyCommand::~ReadOnlyCommand() {
    --gReadOnlyDepth;
}
bool ReadOnlyCommand::Active() {
    return gReadOnlyDepth > 0;
}

bool QuietConnectionErrors = false;

std::string ConnectionFailedText(int32_t errNumber, const std::string& errDescription,
                                 const std::string& commandText) {
    return "Server connection failed.\r\n\r\nRun time error: " + std::to_string(errNumber) +
           "\r\n" + errDescription + "\r\n\r\nCommand failed: \r\n\r\n" + commandText;
}

namespace {

RecordsetPtr ClosedRecordset() {
    auto rs = std::make_unique<MemoryRecordset>(std::vector<FieldInfo>{},
                                                std::vector<std::vector<FieldValue>>{});
    rs->Close();
    return rs;
}

bool LinkBroken(const OdbcError& e) {
    return e.sqlState.rfind("08", 0) == 0;
}

struct RunResult {
    bool ok = false;
    bool recordsetCreated = false;
    OdbcError error;
};

// Runs the command on one connection. The connection goes back for reuse only after a clean
// run; a server-side record set takes it along.
RunResult RunCommand(OdbcConnectionPtr connection, const std::string& commandText, Command& command,
                     RecordsetPtr& recordset) {
    RunResult r;
    auto statement = NewStatement(*connection, r.error);
    if (!statement) {
        ReleaseConnection(std::move(connection), false);
        return r;
    }
    const int32_t cursor = Settings().CursorLocation;
    WriteLogLine("CursorLocation: " + std::to_string(cursor));
    r.recordsetCreated = true;
    connection->sessionUntouched = connection->sessionUntouched && ReadOnlyCommand::Active();
    if (!statement->Execute(commandText, Settings().Timeout, command, r.error)) {
        statement.reset();
        ReleaseConnection(std::move(connection), false);
        return r;
    }
    WriteLogLine("After executing Open statement");

    if (!statement->HasColumns()) {
        statement->ReadOutputParameters(command);
        recordset = ClosedRecordset();
        statement.reset();
        ReleaseConnection(std::move(connection), true);
        r.ok = true;
        return r;
    }
    if (cursor == kCursorClientSide) {
        std::vector<std::vector<FieldValue>> rows;
        bool done = false;
        if (!statement->Fetch(0, rows, done, r.error)) {
            statement.reset();
            ReleaseConnection(std::move(connection), false);
            return r;
        }
        statement->ReadOutputParameters(command);
        std::vector<FieldInfo> fields = statement->Fields();
        statement.reset();
        // Detached: the connection is gone before the caller sees the rows.
        ReleaseConnection(std::move(connection), true);
        recordset = std::make_unique<MemoryRecordset>(std::move(fields), std::move(rows));
        r.ok = true;
        return r;
    }
    auto rs = std::make_unique<ServerRecordset>(std::move(connection), std::move(statement),
                                                Settings().CacheSize);
    if (!rs->Open(r.error))
        return r;
    recordset = std::move(rs);
    r.ok = true;
    return r;
}

} // namespace

int32_t ExecAdoCmd(const ServerEntry& server, int32_t commandType, const std::string& commandText,
                   RecordsetPtr& recordset, const std::string& database, int32_t& errNumber,
                   std::string& errDescription, const std::vector<CommandValue>* inputValues,
                   std::vector<CommandValue*> inOutValues) {
    (void)commandType; // every command is SQL text
    HourglassPointer hourglass;
    const bool hasCommand = !commandText.empty();

    auto fail = [&](const OdbcError& e) {
        errNumber = e.number;
        errDescription = e.description;
        WriteLogLine("Error " + std::to_string(e.number) + ": " + e.description);
        if (CommandFailureWatch* watch = CommandFailureWatch::Active()) {
            watch->Record(e.number, e.description, commandText);
        } else if (!QuietConnectionErrors) {
            CurrentPrompter().MessageBox(
                MsgIcon::Warning, kExecutableName,
                ConnectionFailedText(e.number, e.description, commandText));
            CurrentPrompter().ProcessEvents();
        }
        return -1;
    };

    WriteLogLine("Conn. string: " + LoggedConnectionText(server, database, hasCommand));

    OdbcError error;
    if (!hasCommand) {
        // A login test: it must really log in, never borrow an idle connection.
        auto connection = AcquireConnection(server, "", true, error);
        if (!connection)
            return fail(error);
        ReleaseConnection(std::move(connection), true);
        return 0;
    }

    Command command;
    command.parameters.push_back(
        {"Return", kAdInteger, kAdParamReturnValue, 0, FieldValue::Int(0)});
    if (inputValues) {
        for (const CommandValue& v : *inputValues) {
            bool unsupported = false;
            AppendCommandParameter(command, v, kAdParamInput, &unsupported);
            if (unsupported)
                return fail({kErrTypeMismatch,
                             "Data Type " + CommandValueTypeName(v) + " not currently handled", "",
                             0});
        }
    }
    std::vector<std::pair<CommandValue*, size_t>> outputs;
    for (CommandValue* v : inOutValues) {
        if (!v)
            continue;
        bool unsupported = false;
        std::string name = AppendCommandParameter(command, *v, kAdParamInputOutput, &unsupported);
        if (unsupported)
            return fail({kErrTypeMismatch,
                         "Data Type " + CommandValueTypeName(*v) + " not currently handled", "",
                         0});
        if (!name.empty())
            outputs.emplace_back(v, command.parameters.size() - 1);
    }

    for (int attempt = 0;; ++attempt) {
        auto connection = AcquireConnection(server, database, false, error);
        if (!connection)
            return fail(error);
        const bool reused = connection->reused;
        RecordsetPtr opened;
        RunResult r = RunCommand(std::move(connection), commandText, command, opened);
        if (r.ok) {
            recordset = std::move(opened);
            break;
        }
        // An idle connection the server has dropped in the meantime is no fault of the caller.
        if (reused && attempt == 0 && LinkBroken(r.error))
            continue;
        if (r.recordsetCreated)
            recordset = ClosedRecordset();
        return fail(r.error);
    }
    for (auto& [target, index] : outputs)
        *target = CommandValueOf(command.parameters[index]);
    // A text command has no return value of its own.
    return static_cast<int32_t>(command.parameters.front().value.Long());
}

std::string GetServerVersion(const ServerEntry& server) {
    // Its failure is an empty answer, not the failure of an operation that asked.
    CommandFailureWatch ownFailure;
    const bool saved = QuietConnectionErrors;
    QuietConnectionErrors = true;
    std::string version;
    RecordsetPtr rs;
    int32_t errNumber = 0;
    std::string errDescription;
    if (ExecAdoCmd(server, kAdCmdText, kServerVersionQuery, rs, "Master", errNumber,
                   errDescription) != -1 &&
        rs && rs->IsOpen() && !(rs->IsBOF() && rs->IsEOF()))
        version = rs->Value("ServerVer").Text();
    if (rs)
        rs->Close();
    QuietConnectionErrors = saved;
    return version;
}

void CheckSQLServerVersion(ServerEntry& entry) {
    WriteTrace("Begin CheckSQLServerVersion");
    if (entry.Version.empty()) {
        // Entry 0 is not stored; writing Server0 would invent a key nobody reads.
        const bool stored = entry.EntryNumber > 0;
        std::string version = stored ? GetStoredServerString(entry, "Version") : "";
        if (version.empty()) {
            version = GetServerVersion(entry);
            if (!version.empty() && stored)
                SetStoredServerString(entry, "Version", version);
        }
        if (!version.empty())
            entry.Version = version;
    }
    WriteTrace("End CheckSQLServerVersion");
}

} // namespace orv
