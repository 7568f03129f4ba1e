// `orvane-cli compare-all`: compares two whole databases and writes the report.
#pragma once

#include "cli_script_switches.h"

namespace orv {

// argv[0] is the word "compare-all"; its arguments follow. Returns the exit status: 0 every
// object identical, 1 differences, 2 error, not comparable or incomplete. `switches` set how
// table scripts are written whatever the stored settings say.
int RunCompareAllCommand(int argc, char** argv, const ScriptSwitches& switches = {});

} // namespace orv
