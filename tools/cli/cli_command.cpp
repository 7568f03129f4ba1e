#include "cli_command.h"

#include "catalog/catalog_error.h"
#include "cli_error_counter.h"
#include "cli_interrupt.h"
#include "cli_prompter.h"
#include "core/paths.h"
#include "core/settings.h"
#include "dbcompare/stored_server.h"
#include "servers/server_list.h"
#include "util/console_progress.h"

#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace orv {

void StartUpLikeTheProgram() {
    InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());
    Settings().DebugMode = DetectDebugMode();
    LoadSettings(LoadServerList);
}

int ShowUsageError(const CommandText& text, const std::string& error) {
    std::cerr << "orvane-cli " << text.name << ": " << error << '\n' << text.usage << '\n';
    return kCommandExitError;
}

int ShowHelp(const CommandText& text) {
    std::cout << text.usage << "\n\n" << text.help;
    return 0;
}

int RunInCommandFrame(const char* name, const ScriptSwitches& switches,
                      const std::function<int(CommandRun& run)>& body) {
    StderrPrompter prompter(stderr);
    PrompterScope prompterScope(prompter);
    ErrorCounter errors;
    int status = kCommandExitError;
    try {
        StartUpLikeTheProgram();
        switches.ApplyTo(Settings());
        CancelToken cancel;
        InterruptStops interrupts(cancel);
        ConsoleProgressSink progress(stderr, ::isatty(STDERR_FILENO) == 1);
        CommandRun run{progress, cancel};
        status = body(run);
    } catch (...) {
        const CaughtError e = CurrentError();
        std::cerr << "orvane-cli " << name << ": error " << e.number << " (" << e.description
                  << ")\n";
        status = kCommandExitError;
    }
    return errors.count > 0 || prompter.MessagesShown() > 0 ? kCommandExitError : status;
}

bool TakeSecurityOptions(std::vector<std::string>& words, ConnectionSecurity& security,
                         std::string& error) {
    std::vector<std::string> kept;
    OptionWords reader(words);
    while (reader.Next()) {
        const int taken = ReadSecurityOption(reader, security, error);
        if (taken < 0)
            return false;
        if (taken == 0)
            kept.push_back(reader.Word());
    }
    words = std::move(kept);
    return true;
}

ServerResolver StoredServers(const ConnectionSecurity& security) {
    return [security](const std::string& name, ServerEntry& entry, std::string& error) {
        return ResolveStoredServer(name, entry, error, security);
    };
}

bool LoginServers(const char* name, const LoginOptions& login, ServerResolver& resolver) {
    std::string password;
    if (!login.Login.empty()) {
        std::string error;
        if (!ResolveComparePassword(login, std::getenv(kPasswordVariable), password, error)) {
            std::cerr << "orvane-cli " << name << ": " << error << '\n';
            return false;
        }
    }
    resolver = [user = login.Login, password, security = login.Security()](
                   const std::string& server, ServerEntry& entry, std::string& error) {
        return ResolveStoredServer(server, user, password, security, entry, error);
    };
    return true;
}

} // namespace orv
