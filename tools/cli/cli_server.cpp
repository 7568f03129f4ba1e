#include "cli_server.h"

#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "util/memory_prompter.h"
#include "util/text.h"

#include <atomic>

namespace orv {

namespace {

std::atomic<CancelToken*> gInterruptToken{nullptr};

extern "C" void OnInterrupt(int) {
    // Only an atomic store: safe in a signal handler. The handler is installed with
    // SA_RESETHAND, so a second Ctrl-C ends the program at once.
    if (CancelToken* token = gInterruptToken.load())
        token->RequestCancel();
}

} // namespace

InterruptStops::InterruptStops(CancelToken& token) {
    gInterruptToken.store(&token);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
}

InterruptStops::~InterruptStops() {
    if (installed_)
        ::sigaction(SIGINT, &previous_, nullptr);
    gInterruptToken.store(nullptr);
}

// The stored server of that name, or with --login any server; its version read from the
// registry or the server. A server that cannot be reached is reported with the driver's words.
bool ResolveCliServer(const std::string& name, const std::string& login,
                      const std::string& password, ServerEntry& entry, std::string& error) {
    entry = ServerEntry{};
    const auto& list = ServerList();
    for (size_t i = 1; i < list.size(); ++i) {
        if (EqualsNoCase(list[i].Name, name)) {
            entry = list[i];
            break;
        }
    }
    if (entry.EntryNumber == 0 && login.empty()) {
        error = "server '" + name + "' is not stored (add it in the program, or give --login).";
        return false;
    }
    entry.Name = name;
    if (!login.empty()) {
        entry.SQLAuth = true;
        entry.LoginName = login;
        entry.Pwd = password;
    }
    CheckSQLServerVersion(entry);
    if (entry.Version.empty()) {
        // Try once more, keeping the failure's message for our own line.
        MemoryPrompter quiet;
        PrompterScope scope(quiet);
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

} // namespace orv
