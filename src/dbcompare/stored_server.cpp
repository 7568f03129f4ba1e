#include "dbcompare/stored_server.h"

#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "util/memory_prompter.h"
#include "util/text.h"

namespace orv {

namespace {

bool Resolve(const std::string& name, const std::string& login, const std::string& password,
             const char* notStoredHint, ServerEntry& entry, std::string& error) {
    entry = ServerEntry{};
    const auto& list = ServerList();
    for (size_t i = 1; i < list.size(); ++i) {
        if (EqualsNoCase(list[i].Name, name)) {
            entry = list[i];
            break;
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
    // A refused login would otherwise show its message box; the caller reports it its own way.
    MemoryPrompter quiet;
    PrompterScope scope(quiet);
    CheckSQLServerVersion(entry);
    if (entry.Version.empty()) {
        // Try once more, keeping the failure's message for our own line.
        RecordsetPtr rs;
        int32_t number = 0;
        std::string description;
        ExecAdoCmd(entry, kAdCmdText, "", rs, "master", number, description);
        error = "cannot connect to server '" + name + "'" +
                (description.empty() ? std::string(".") : ": " + description);
        return false;
    }
    entry.VersionMajor = VersionMajorOf(entry.Version);
    return true;
}

} // namespace

bool ResolveStoredServer(const std::string& name, const std::string& login,
                         const std::string& password, ServerEntry& entry, std::string& error) {
    return Resolve(name, login, password, "add it in the program, or give --login", entry, error);
}

bool ResolveStoredServer(const std::string& name, ServerEntry& entry, std::string& error) {
    return Resolve(name, "", "", "add it in the program first", entry, error);
}

} // namespace orv
