#include "cli_compare_all.h"

#include "catalog/catalog_error.h"
#include "cli_error_counter.h"
#include "cli_prompter.h"
#include "cli_server.h"
#include "compare/compare_command.h"
#include "core/error_report.h"
#include "core/paths.h"
#include "core/settings.h"
#include "dbcompare/compare_all_command.h"
#include "dbcompare/run_settings.h"
#include "dbcompare/stored_server.h"
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "util/console_progress.h"
#include "util/memory_prompter.h"
#include "util/text.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace orv {

int RunCompareAllCommand(int argc, char** argv, const ScriptSwitches& switches) {
    std::vector<std::string> words(argv + 1, argv + argc);
    CompareAllArgs args;
    std::string error;
    if (!ParseCompareAllArgs(words, args, error)) {
        std::cerr << "orvane-cli compare-all: " << error << '\n' << kCompareAllUsage << '\n';
        return kCompareAllExitError;
    }
    if (args.Help) {
        std::cout << kCompareAllUsage << "\n\n" << kCompareAllHelp;
        return kCompareAllExitIdentical;
    }
    std::string password;
    if (!args.Login.empty()) {
        CompareCommandArgs loginArgs;
        loginArgs.Login = args.Login;
        loginArgs.PasswordFile = args.PasswordFile;
        if (!ResolveComparePassword(loginArgs, std::getenv(kPasswordVariable), password, error)) {
            std::cerr << "orvane-cli compare-all: " << error << '\n';
            return kCompareAllExitError;
        }
    }

    StderrPrompter prompter(stderr);
    PrompterScope prompterScope(prompter);
    ErrorCounter errors;
    int status = kCompareAllExitError;
    try {
        InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());
        Settings().DebugMode = DetectDebugMode();
        LoadSettings(LoadServerList);

        switches.ApplyTo(Settings());
        DbCompareRequest settings;
        ApplyCurrentSettings(settings);

        CompareAllServices services;
        services.resolveServer = [&](const std::string& name, ServerEntry& entry,
                                     std::string& message) {
            return ResolveStoredServer(name, args.Login, password, entry, message);
        };
        services.run = [](const DbCompareRequest& request, ProgressSink& progress,
                          const CancelToken& cancel) {
            return RunDbCompare(request, progress, cancel);
        };

        CancelToken cancel;
        InterruptStops interrupts(cancel);
        ConsoleProgressSink progress(stderr, ::isatty(STDERR_FILENO) == 1);
        status = RunCompareAllOn(args, settings, services, progress, cancel, std::cout, std::cerr);
    } catch (...) {
        const CaughtError e = CurrentError();
        std::cerr << "orvane-cli compare-all: error " << e.number << " (" << e.description << ")\n";
        status = kCompareAllExitError;
    }
    password.clear();
    return errors.count > 0 || prompter.MessagesShown() > 0 ? kCompareAllExitError : status;
}

} // namespace orv
