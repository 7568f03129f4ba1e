#include "cli_find.h"

#include "catalog/catalog_error.h"
#include "cli_error_counter.h"
#include "cli_prompter.h"
#include "core/error_report.h"
#include "core/paths.h"
#include "core/settings.h"
#include "dbcompare/run_settings.h"
#include "dbcompare/stored_server.h"
#include "explore/explore_commands.h"
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "util/console_progress.h"
#include "util/memory_prompter.h"
#include "util/text.h"

#include <iostream>
#include <unistd.h>

namespace orv {

namespace {

template <typename Args, typename Parse, typename RunOn>
int RunExplore(const char* command, const char* usage, const char* help, int argc, char** argv,
               Parse parse, RunOn runOn) {
    std::vector<std::string> words(argv + 1, argv + argc);
    Args args;
    std::string error;
    if (!parse(words, args, error)) {
        std::cerr << "orvane-cli " << command << ": " << error << '\n' << usage << '\n';
        return kExploreExitError;
    }
    if (args.Help) {
        std::cout << usage << "\n\n" << help;
        return kExploreExitOk;
    }
    StderrPrompter prompter(stderr);
    PrompterScope prompterScope(prompter);
    ErrorCounter errors;
    int status = kExploreExitError;
    try {
        InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());
        Settings().DebugMode = DetectDebugMode();
        LoadSettings(LoadServerList);
        ExploreServices services;
        services.TimeoutSeconds = Settings().Timeout;
        services.CaseSensitive = Settings().CaseSensitive;
        services.resolveServer = [](const std::string& name, ServerEntry& entry,
                                    std::string& error) {
            return ResolveStoredServer(name, entry, error);
        };
        const CatalogReadOptions options = CatalogReadOptionsFromSettings();
        services.loadCatalog = [options](const QueryPlace& place,
                                         const std::vector<ObjectType>& types,
                                         ProgressSink& progress, const CancelToken& cancel) {
            return LoadDbCatalog(place, types, options, nullptr, progress, cancel);
        };
        CancelToken cancel;
        ConsoleProgressSink progress(stderr, ::isatty(STDERR_FILENO) == 1);
        status = runOn(args, services, progress, cancel, std::cout, std::cerr);
    } catch (...) {
        const CaughtError e = CurrentError();
        std::cerr << "orvane-cli " << command << ": error " << e.number << " (" << e.description
                  << ")\n";
        status = kExploreExitError;
    }
    return errors.count > 0 || prompter.MessagesShown() > 0 ? kExploreExitError : status;
}

} // namespace

int RunFindCommand(int argc, char** argv) {
    return RunExplore<FindArgs>("find", kFindUsage, kFindHelp, argc, argv, ParseFindArgs,
                                RunFindOn);
}

int RunCheckRefsCommand(int argc, char** argv) {
    return RunExplore<CheckRefsArgs>("check-refs", kCheckRefsUsage, kCheckRefsHelp, argc, argv,
                                     ParseCheckRefsArgs, RunCheckRefsOn);
}

} // namespace orv
