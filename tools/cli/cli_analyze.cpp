#include "cli_analyze.h"

#include "catalog/catalog_error.h"
#include "catalog/ignored_columns.h"
#include "cli_error_counter.h"
#include "cli_prompter.h"
#include "core/error_report.h"
#include "core/paths.h"
#include "core/settings.h"
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

namespace {

std::atomic<CancelToken*> gAnalyzeInterrupt{nullptr};

extern "C" void OnAnalyzeInterrupt(int) {
    if (CancelToken* token = gAnalyzeInterrupt.load())
        token->RequestCancel();
}

// Ctrl-C stops the analysis between columns; a second Ctrl-C ends the program at once.
class InterruptStopsAnalysis {
public:
    explicit InterruptStopsAnalysis(CancelToken& token) {
        gAnalyzeInterrupt.store(&token);
        struct sigaction action {};
        action.sa_handler = OnAnalyzeInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
    }
    ~InterruptStopsAnalysis() {
        if (installed_)
            ::sigaction(SIGINT, &previous_, nullptr);
        gAnalyzeInterrupt.store(nullptr);
    }
    InterruptStopsAnalysis(const InterruptStopsAnalysis&) = delete;
    InterruptStopsAnalysis& operator=(const InterruptStopsAnalysis&) = delete;

private:
    struct sigaction previous_ {};
    bool installed_ = false;
};

bool ResolveStoredServer(const std::string& name, ServerEntry& entry, std::string& error) {
    entry = ServerEntry{};
    const auto& list = ServerList();
    for (size_t i = 1; i < list.size(); ++i)
        if (EqualsNoCase(list[i].Name, name)) {
            entry = list[i];
            break;
        }
    if (entry.EntryNumber == 0) {
        error = "server '" + name + "' is not stored (add it in the program).";
        return false;
    }
    CheckSQLServerVersion(entry);
    if (entry.Version.empty()) {
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

} // namespace

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
        services.resolveServer = ResolveStoredServer;
        services.ignoredColumns = [](const std::string& section) {
            std::vector<std::string> columns;
            GetIgnoredColumns(kIgnoredForAnalysis, section, columns);
            return columns;
        };
        services.run = [](const AnalysisRequest& request, ProgressSink& progress,
                          const CancelToken& cancel) {
            return AnalyzeTableData(request, progress, cancel);
        };
        CancelToken cancel;
        InterruptStopsAnalysis interrupts(cancel);
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
