#include "cli_deploy.h"

#include "cli_command.h"
#include "dbcompare/run_settings.h"
#include "dbcompare/snapshot_folder.h"
#include "deploy/deploy_command.h"

#include <ctime>
#include <iostream>

namespace orv {

int RunDeployScriptCommand(int argc, char** argv, const ScriptSwitches& switches) {
    const CommandText text{"deploy-script", kDeployScriptUsage, kDeployScriptHelp};
    return RunLongCommand(text, argc, argv, ParseDeployScriptArgs, switches,
                          [](const DeployScriptArgs& args, CommandRun& run) {
                              CompareAllServices services;
                              if (!LoginServers("deploy-script", args, services.resolveServer))
                                  return kDeployExitError;
                              services.run = [](const DbCompareRequest& request,
                                                ProgressSink& progress, const CancelToken& cancel) {
                                  return RunDbCompare(request, progress, cancel);
                              };
                              services.openFolder = OpenFolderSide;
                              services.openSnapshot = OpenSnapshotSide;
                              DbCompareRequest settings;
                              ApplyCurrentSettings(settings);
                              return RunDeployScriptOn(args, settings, services, run.progress,
                                                       run.cancel, std::cout, std::cerr,
                                                       std::time(nullptr));
                          });
}

} // namespace orv
