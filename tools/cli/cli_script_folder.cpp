#include "cli_script_folder.h"

#include "cli_command.h"
#include "dbcompare/run_settings.h"
#include "dbcompare/script_folder_command.h"

#include <iostream>

namespace orv {

int RunScriptFolderCommand(int argc, char** argv) {
    const CommandText text{"script-folder", kScriptFolderUsage, kScriptFolderHelp};
    return RunLongCommand(text, argc, argv, ParseScriptFolderArgs, {},
                          [](const ScriptFolderArgs& args, CommandRun& run) {
                              ServerResolver resolve;
                              if (!LoginServers("script-folder", args, resolve))
                                  return kScriptFolderExitError;
                              DbCompareRequest settings;
                              ApplyCurrentSettings(settings);
                              return RunScriptFolderOn(args, resolve, settings.TimeoutSeconds,
                                                       run.progress, run.cancel, std::cerr);
                          });
}

} // namespace orv
