// `orvane-cli compare`: compares two objects on their servers and prints the verdict.
#pragma once

#include "cli_script_switches.h"

namespace orv {

// argv[0] is the word "compare"; the comparison's arguments follow. Returns the exit status:
// 0 identical, 1 different, 2 error. `switches` set how table scripts are written
// whatever the stored settings say.
int RunCompareCommand(int argc, char** argv, const ScriptSwitches& switches = {});

} // namespace orv
