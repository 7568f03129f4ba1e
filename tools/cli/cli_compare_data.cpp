#include "cli_compare_data.h"

#include "catalog/catalog_error.h"
#include "cli_error_counter.h"
#include "cli_prompter.h"
#include "cli_server.h"
#include "compare/compare_command.h"
#include "core/error_report.h"
#include "core/paths.h"
#include "core/settings.h"
#include "dbcompare/compare_data_command.h"
#include "dbcompare/run_settings.h"
#include "dbcompare/stored_server.h"
#include "servers/server_list.h"
#include "util/console_progress.h"

#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace orv {

int RunCompareDataCommand(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    CompareDataArgs args;
    std::string error;
    if (!ParseCompareDataArgs(words, args, error)) {
        std::cerr << "orvane-cli compare-data: " << error << '\n' << kCompareDataUsage << '\n';
        return kCompareDataExitError;
    }
    if (args.Help) {
        std::cout << kCompareDataUsage << "\n\n" << kCompareDataHelp;
        return kCompareDataExitIdentical;
    }
    std::string password;
    if (!args.Login.empty()) {
        CompareCommandArgs loginArgs;
        loginArgs.Login = args.Login;
        loginArgs.PasswordFile = args.PasswordFile;
        if (!ResolveComparePassword(loginArgs, std::getenv(kPasswordVariable), password, error)) {
            std::cerr << "orvane-cli compare-data: " << error << '\n';
            return kCompareDataExitError;
        }
    }

    StderrPrompter prompter(stderr);
    PrompterScope prompterScope(prompter);
    ErrorCounter errors;
    int status = kCompareDataExitError;
    try {
        InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());
        Settings().DebugMode = DetectDebugMode();
        LoadSettings(LoadServerList);
        DataCompareRequest settings;
        ApplyCurrentDataSettings(settings);

        CompareDataServices services;
        services.resolveServer = [&](const std::string& name, ServerEntry& entry,
                                     std::string& message) {
            return ResolveStoredServer(name, args.Login, password, entry, message);
        };
        services.run = [](const DataCompareRequest& request, ProgressSink& progress,
                          const CancelToken& cancel) {
            return RunDataCompare(request, progress, cancel);
        };

        CancelToken cancel;
        InterruptStops interrupts(cancel);
        ConsoleProgressSink progress(stderr, ::isatty(STDERR_FILENO) == 1);
        status = RunCompareDataOn(args, settings, services, progress, cancel, std::cout, std::cerr);
    } catch (...) {
        const CaughtError e = CurrentError();
        std::cerr << "orvane-cli compare-data: error " << e.number << " (" << e.description
                  << ")\n";
        status = kCompareDataExitError;
    }
    password.clear();
    return errors.count > 0 || prompter.MessagesShown() > 0 ? kCompareDataExitError : status;
}

} // namespace orv
