#include "cli_compare_all.h"

#include "cli_command.h"
#include "core/settings.h"
#include "dbcompare/compare_all_command.h"
#include "dbcompare/run_settings.h"

#include <iostream>

namespace orv {

int RunCompareAllCommand(int argc, char** argv, const ScriptSwitches& switches) {
    const CommandText text{"compare-all", kCompareAllUsage, kCompareAllHelp};
    return RunLongCommand(text, argc, argv, ParseCompareAllArgs, switches,
                          [](const CompareAllArgs& args, CommandRun& run) {
                              CompareAllServices services;
                              if (!LoginServers("compare-all", args, services.resolveServer))
                                  return kCompareAllExitError;
                              services.run = [](const DbCompareRequest& request,
                                                ProgressSink& progress, const CancelToken& cancel) {
                                  return RunDbCompare(request, progress, cancel);
                              };
                              services.readFolder = ReadFolderSide;
                              DbCompareRequest settings;
                              ApplyCurrentSettings(settings);
                              return RunCompareAllOn(args, settings, services, run.progress,
                                                     run.cancel, std::cout, std::cerr);
                          });
}

} // namespace orv
