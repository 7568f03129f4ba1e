#include "cli_find.h"

#include "cli_command.h"
#include "core/settings.h"
#include "dbcompare/run_settings.h"
#include "explore/explore_commands.h"

#include <iostream>

namespace orv {

namespace {

// The stored servers (their encryption as the command line says), and the catalog read with
// the stored settings.
ExploreServices StoredExploreServices(const ConnectionSecurity& security) {
    ExploreServices services;
    services.TimeoutSeconds = Settings().Timeout;
    services.CaseSensitive = Settings().CaseSensitive;
    services.resolveServer = StoredServers(security);
    const CatalogReadOptions options = CatalogReadOptionsFromSettings();
    services.loadCatalog = [options](const QueryPlace& place, const std::vector<ObjectType>& types,
                                     ProgressSink& progress, const CancelToken& cancel) {
        return LoadDbCatalog(place, types, options, nullptr, progress, cancel);
    };
    return services;
}

} // namespace

int RunFindCommand(int argc, char** argv) {
    const CommandText text{"find", kFindUsage, kFindHelp};
    return RunConnectingCommand(
        text, argc, argv, ParseFindArgs, {},
        [](const FindArgs& args, const ConnectionSecurity& security, CommandRun& run) {
            return RunFindOn(args, StoredExploreServices(security), run.progress, run.cancel,
                             std::cout, std::cerr);
        });
}

int RunCheckRefsCommand(int argc, char** argv) {
    const CommandText text{"check-refs", kCheckRefsUsage, kCheckRefsHelp};
    return RunConnectingCommand(
        text, argc, argv, ParseCheckRefsArgs, {},
        [](const CheckRefsArgs& args, const ConnectionSecurity& security, CommandRun& run) {
            return RunCheckRefsOn(args, StoredExploreServices(security), run.progress, run.cancel,
                                  std::cout, std::cerr);
        });
}

} // namespace orv
