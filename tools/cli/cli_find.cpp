#include "cli_find.h"

#include "cli_command.h"
#include "core/settings.h"
#include "dbcompare/run_settings.h"
#include "explore/explore_commands.h"

#include <iostream>

namespace orv {

namespace {

// The stored servers, and the catalog read with the stored settings.
ExploreServices StoredExploreServices() {
    ExploreServices services;
    services.TimeoutSeconds = Settings().Timeout;
    services.CaseSensitive = Settings().CaseSensitive;
    services.resolveServer = StoredServers();
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
    return RunLongCommand(text, argc, argv, ParseFindArgs, {},
                          [](const FindArgs& args, CommandRun& run) {
                              return RunFindOn(args, StoredExploreServices(), run.progress,
                                               run.cancel, std::cout, std::cerr);
                          });
}

int RunCheckRefsCommand(int argc, char** argv) {
    const CommandText text{"check-refs", kCheckRefsUsage, kCheckRefsHelp};
    return RunLongCommand(text, argc, argv, ParseCheckRefsArgs, {},
                          [](const CheckRefsArgs& args, CommandRun& run) {
                              return RunCheckRefsOn(args, StoredExploreServices(), run.progress,
                                                    run.cancel, std::cout, std::cerr);
                          });
}

} // namespace orv
