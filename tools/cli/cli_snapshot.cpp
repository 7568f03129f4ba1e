#include "cli_snapshot.h"

#include "cli_command.h"
#include "dbcompare/run_settings.h"
#include "dbcompare/snapshot_command.h"

#include <iostream>

namespace orv {

int RunSnapshotCommand(int argc, char** argv) {
    const CommandText text{"snapshot", kSnapshotUsage, kSnapshotHelp};
    return RunLongCommand(text, argc, argv, ParseSnapshotArgs, {},
                          [](const SnapshotArgs& args, CommandRun& run) {
                              ServerResolver resolve;
                              if (!LoginServers("snapshot", args, resolve))
                                  return kSnapshotExitError;
                              // The query timeout of the Options dialog, as compare-all has it.
                              DbCompareRequest settings;
                              ApplyCurrentSettings(settings);
                              return RunSnapshotOn(args, resolve, settings.TimeoutSeconds,
                                                   run.progress, run.cancel, std::cerr);
                          });
}

} // namespace orv
