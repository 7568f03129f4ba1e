#include "cli_analyze.h"

#include "catalog/catalog_error.h"
#include "catalog/ignored_columns.h"
#include "cli_error_counter.h"
#include "cli_prompter.h"
#include "cli_server.h"
#include "core/error_report.h"
#include "core/paths.h"
#include "core/settings.h"
#include "dbcompare/stored_server.h"
#include "explore/analyze_command.h"
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "util/console_progress.h"
#include "util/memory_prompter.h"
#include "util/text.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <unistd.h>

namespace orv {

int RunAnalyzeCommand(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    AnalyzeArgs args;
    std::string error;
    if (!ParseAnalyzeArgs(words, args, error)) {
        std::cerr << "orvane-cli analyze: " << error << '\n' << kAnalyzeUsage << '\n';
        return kAnalyzeExitError;
    }
    if (args.Help) {
        std::cout << kAnalyzeUsage << "\n\n" << kAnalyzeHelp;
        return kAnalyzeExitDone;
    }
    StderrPrompter prompter(stderr);
    PrompterScope prompterScope(prompter);
    ErrorCounter errors;
    int status = kAnalyzeExitError;
    try {
        InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());
        Settings().DebugMode = DetectDebugMode();
        LoadSettings(LoadServerList);

        AnalyzeServices services;
        services.resolveServer = [](const std::string& name, ServerEntry& entry,
                                    std::string& error) {
            return ResolveStoredServer(name, entry, error);
        };
        services.ignoredColumns = [](ServerEntry& server, const std::string& database,
                                     const std::string& table) {
            std::vector<std::string> columns;
            GetListedTableIgnoredColumns(kIgnoredForAnalysis, server, database, table, 0, columns);
            return columns;
        };
        services.run = [](const AnalysisRequest& request, ProgressSink& progress,
                          const CancelToken& cancel) {
            return AnalyzeTableData(request, progress, cancel);
        };
        CancelToken cancel;
        InterruptStops interrupts(cancel);
        ConsoleProgressSink progress(stderr, ::isatty(STDERR_FILENO) == 1);
        status = RunAnalyzeOn(args, Settings().Timeout, services, progress, cancel, std::cout,
                              std::cerr);
    } catch (...) {
        const CaughtError e = CurrentError();
        std::cerr << "orvane-cli analyze: error " << e.number << " (" << e.description << ")\n";
        status = kAnalyzeExitError;
    }
    return errors.count > 0 || prompter.MessagesShown() > 0 ? kAnalyzeExitError : status;
}

} // namespace orv
