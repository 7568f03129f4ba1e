#include "cli_compare_data.h"

#include "cli_command.h"
#include "core/settings.h"
#include "dbcompare/compare_data_command.h"
#include "dbcompare/run_settings.h"

#include <iostream>

namespace orv {

int RunCompareDataCommand(int argc, char** argv) {
    const CommandText text{"compare-data", kCompareDataUsage, kCompareDataHelp};
    return RunLongCommand(text, argc, argv, ParseCompareDataArgs, {},
                          [](const CompareDataArgs& args, CommandRun& run) {
                              CompareDataServices services;
                              if (!LoginServers("compare-data", args, services.resolveServer))
                                  return kCompareDataExitError;
                              services.run = [](const DataCompareRequest& request,
                                                ProgressSink& progress, const CancelToken& cancel) {
                                  return RunDataCompare(request, progress, cancel);
                              };
                              DataCompareRequest settings;
                              ApplyCurrentDataSettings(settings);
                              return RunCompareDataOn(args, settings, services, run.progress,
                                                      run.cancel, std::cout, std::cerr);
                          });
}

} // namespace orv
