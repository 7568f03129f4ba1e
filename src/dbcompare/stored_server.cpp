#include "dbcompare/stored_server.h"

#include "core/settings.h"
#include "dbcompare/compare_all_command.h"
#include "dbcompare/script_folder_read.h"
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "servers/worker_query.h"
#include "util/text.h"

namespace orv {

namespace {

// The entry's version from the registry, else asked of the server (and kept for next time).
// A failure comes back as the driver's words: no message box, and neither the process-wide
// prompter nor the quiet flag is touched, so another thread's messages are never swallowed.
bool LearnVersion(ServerEntry& entry, std::string& failure) {
    if (!entry.Version.empty())
        return true;
    const bool stored = entry.EntryNumber > 0; // entry 0 is not stored
    if (stored)
        entry.Version = GetStoredServerString(entry, "Version");
    if (!entry.Version.empty())
        return true;
    // Resolving comes before a run has a Stop; the command timeout bounds the wait.
    const CancelToken unstoppable;
    WorkerQuery query(unstoppable);
    OdbcError error;
    std::string version;
    if (query.Open({entry, "master", Settings().Timeout}, kServerVersionQuery, error)) {
        Row row;
        while (query.Next(row, error))
            if (version.empty() && !row.empty())
                version = Trim(row[0].Text());
    }
    query.Close();
    if (version.empty()) {
        failure = error.description;
        return false;
    }
    entry.Version = version;
    if (stored)
        SetStoredServerString(entry, "Version", version);
    return true;
}

bool Resolve(const std::string& name, const std::string& login, const std::string& password,
             const ConnectionSecurity& security, const char* notStoredHint, ServerEntry& entry,
             std::string& error) {
    entry = ServerEntry{};
    const auto& list = ServerList();
    for (size_t i = 1; i < list.size(); ++i) {
        if (EqualsNoCase(list[i].Name, name)) {
            entry = list[i];
            break;
        }
    }
    if (entry.EntryNumber == 0) {
        // A side word of the comparisons given to a command that only reads live databases.
        for (const auto& [prefix, what] : {std::pair{kSnapshotSidePrefix, "a snapshot file"},
                                           std::pair{kFolderSidePrefix, "a scripts folder"}}) {
            const std::string word(prefix);
            if (name.size() >= word.size() && EqualsNoCase(name.substr(0, word.size()), word)) {
                error = name + " names " + what +
                        ", not a server: this command reads a live "
                        "database.";
                return false;
            }
        }
    }
    if (entry.EntryNumber == 0 && login.empty()) {
        error = "server '" + name + "' is not stored (" + notStoredHint + ").";
        return false;
    }
    entry.Name = name;
    if (!login.empty()) {
        entry.SQLAuth = true;
        entry.LoginName = login;
        entry.Pwd = password;
    }
    // Before the first connection: the version is asked over the connection the run will use.
    ApplyConnectionSecurity(security, entry);
    std::string description;
    if (!LearnVersion(entry, description)) {
        error = "cannot connect to server '" + name + "'" +
                (description.empty() ? std::string(".") : ": " + description);
        return false;
    }
    entry.VersionMajor = VersionMajorOf(entry.Version);
    return true;
}

} // namespace

bool ResolveStoredServer(const std::string& name, const std::string& login,
                         const std::string& password, const ConnectionSecurity& security,
                         ServerEntry& entry, std::string& error) {
    return Resolve(name, login, password, security, "add it in the program, or give --login", entry,
                   error);
}

bool ResolveStoredServer(const std::string& name, ServerEntry& entry, std::string& error,
                         const ConnectionSecurity& security) {
    return Resolve(name, "", "", security, "add it in the program first", entry, error);
}

} // namespace orv
