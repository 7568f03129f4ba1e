// `orvane-cli deploy-script`: the deployment script between two databases, written and, when
// asked, applied and proved by comparing again.
#pragma once

#include "cli_script_switches.h"

namespace orv {

// argv[0] is the word "deploy-script"; its arguments follow. Returns the exit status.
int RunDeployScriptCommand(int argc, char** argv, const ScriptSwitches& switches = {});

} // namespace orv
