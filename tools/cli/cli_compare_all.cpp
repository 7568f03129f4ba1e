#include "cli_compare_all.h"

#include "catalog/catalog_error.h"
#include "cli_error_counter.h"
#include "cli_prompter.h"
#include "compare/compare_command.h"
#include "core/error_report.h"
#include "core/paths.h"
#include "core/settings.h"
#include "dbcompare/compare_all_command.h"
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

namespace {

std::atomic<CancelToken*> gInterruptToken{nullptr};

extern "C" void OnInterrupt(int) {
    // Only an atomic store: safe in a signal handler. The handler is installed with
    // SA_RESETHAND, so a second Ctrl-C ends the program at once.
    if (CancelToken* token = gInterruptToken.load())
        token->RequestCancel();
}

// Ctrl-C stops the comparison (which then reports what it gathered) instead of killing the
// program, for the lifetime of the object.
class InterruptStops {
public:
    explicit InterruptStops(CancelToken& token) {
        gInterruptToken.store(&token);
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
    }
    ~InterruptStops() {
        if (installed_)
            ::sigaction(SIGINT, &previous_, nullptr);
        gInterruptToken.store(nullptr);
    }
    InterruptStops(const InterruptStops&) = delete;
    InterruptStops& operator=(const InterruptStops&) = delete;

private:
    struct sigaction previous_ {};
    bool installed_ = false;
};

} // namespace

int RunCompareAllCommand(int argc, char** argv, bool completeScripts) {
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

        if (completeScripts)
            Settings().CompleteTableScripts = true;
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
