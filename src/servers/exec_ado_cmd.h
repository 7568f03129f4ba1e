// The one routine through which every query reaches a server: a new connection per call, the
// command run in the given database, a record set or -1 with the error number and text.
#pragma once

#include "servers/command_parameters.h"
#include "servers/recordset.h"
#include "servers/server_entry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace orv {

constexpr int32_t kAdCmdText = 1;

// While true a failing call shows no message box (it still logs and still returns -1).
extern bool QuietConnectionErrors;

// Returns -1 on failure (errNumber/errDescription then hold the error); otherwise the value of
// the "Return" parameter (0 after a plain query or a connection-only call). With an empty
// commandText only a connection is opened and closed.
int32_t ExecAdoCmd(const ServerEntry& server, int32_t commandType, const std::string& commandText,
                   RecordsetPtr& recordset, const std::string& database, int32_t& errNumber,
                   std::string& errDescription,
                   const std::vector<CommandValue>* inputValues = nullptr,
                   std::vector<CommandValue*> inOutValues = {});

// The message a failed command shows: "Server connection failed.", the error number and text,
// and the command.
std::string ConnectionFailedText(int32_t errNumber, const std::string& errDescription,
                                 const std::string& commandText);

// Watches the commands this thread runs for as long as it lives, for an operation that tells
// the user of a failed command itself: the first failure is kept and no failed command shows
// its own message. A command whose failure its caller handles (a probe with a fallback) runs
// under a watch of its own, which hides that failure from the watches outside it.
class CommandFailureWatch {
public:
    CommandFailureWatch();
    ~CommandFailureWatch();
    CommandFailureWatch(const CommandFailureWatch&) = delete;
    CommandFailureWatch& operator=(const CommandFailureWatch&) = delete;

    // The innermost watch of this thread; nullptr when none.
    static CommandFailureWatch* Active();
    // Keeps the failure when it is the first.
    void Record(int32_t errNumber, const std::string& errDescription,
                const std::string& commandText);

    bool Failed() const { return failed_; }
    int32_t ErrorNumber() const { return errNumber_; }
    const std::string& ErrorDescription() const { return errDescription_; }
    const std::string& CommandText() const { return commandText_; }
    // The command layer's message for the first failure.
    std::string MessageText() const;

private:
    CommandFailureWatch* outer_;
    bool failed_ = false;
    int32_t errNumber_ = 0;
    std::string errDescription_;
    std::string commandText_;
};

// Declares, for its lifetime, that the commands this thread runs are single reading statements
// the program built itself (a row count, say): they leave the session as they found it, so the
// connection can serve the next call without a reset round trip.
class ReadOnlyCommand {
public:
    ReadOnlyCommand();
    ~ReadOnlyCommand();
    ReadOnlyCommand(const ReadOnlyCommand&) = delete;
    ReadOnlyCommand& operator=(const ReadOnlyCommand&) = delete;
    static bool Active();
};

// The query that reads a server's product version text (one row, column ServerVer).
constexpr const char* kServerVersionQuery = "SELECT serverproperty('ProductVersion') AS ServerVer";

// The server's product version text; empty on any failure; never shows a message.
std::string GetServerVersion(const ServerEntry& server);
// Fills the entry's Version from the registry or, failing that, from the server.
void CheckSQLServerVersion(ServerEntry& entry);

} // namespace orv
