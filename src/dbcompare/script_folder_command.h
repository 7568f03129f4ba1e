// `orvane-cli script-folder`: writes a database as a scripts folder. The caller supplies the
// server, so the arguments and the run are tested without a stored server list.
#pragma once

#include "compare/compare_command.h"
#include "dbcompare/script_folder_write.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace orv {

constexpr int kScriptFolderExitWritten = 0;
constexpr int kScriptFolderExitError = 2;

constexpr const char* kScriptFolderUsage =
    "usage: orvane-cli script-folder [--line-breaks lf|crlf] [--login <name> "
    "[--password-file <file>]] <server> <db>|snapshot:<file> <folder>";

extern const char* const kScriptFolderHelp;

struct ScriptFolderArgs : LoginOptions {
    std::string Server;
    std::string Db;
    std::string Folder;
    // Written from a snapshot file (snapshot:<file>; Server and Db then empty).
    std::string Snapshot;
    bool CrLf = false;
    bool Help = false;
};

bool ParseScriptFolderArgs(const std::vector<std::string>& words, ScriptFolderArgs& args,
                           std::string& error);

// Resolves the server and reads the database, or reads the snapshot, and writes the folder.
// Messages go to `err` (an object written without a file is named there too); returns 0 when the
// folder was written, 2 otherwise.
int RunScriptFolderOn(
    const ScriptFolderArgs& args,
    const std::function<bool(const std::string&, ServerEntry&, std::string&)>& resolveServer,
    int32_t timeoutSeconds, ProgressSink& progress, const CancelToken& cancel, std::ostream& err);

} // namespace orv
