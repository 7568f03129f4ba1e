// orvane-cli: list, show, create and count catalog objects of a stored server from a shell.
#pragma once

#include "cli_script_switches.h"

#include <cstdio>
#include <string>
#include <vector>

namespace orv {

constexpr int kCliOk = 0;
constexpr int kCliNotFound = 1;
constexpr int kCliError = 2;

extern const char* const kCliHelp;

// Runs one command (arguments without the program name). Texts go to `out` byte for byte;
// messages to `err`. Returns the exit status. `switches` set how table scripts are written
// on whatever the stored setting says.
int RunCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
           const ScriptSwitches& switches = {});

} // namespace orv
