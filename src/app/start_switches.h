// The switches the program handles before any window exists: --version, --help and --demo.
// Everything else on the command line is left to the start-up switch parser (/RunSavedComp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orv {

enum class StartSwitch { None, Version, Help, Demo, Unknown };

// The switch named by the first argument when it starts with "--"; None otherwise.
StartSwitch ReadStartSwitch(const std::vector<std::string>& args);

// The value of the RunSavedComp switch in the command line as one text, written
// "/RunSavedComp 12", "/RunSavedComp:12" or "/RunSavedComp=12" (any letter case); nothing when
// the switch is not given.
std::optional<std::string> RunSavedCompValue(const std::string& commandLine);
// The process number of that value; false when it is not a number above 0.
bool ParseRunSavedComp(const std::string& value, int32_t& number);

// "orvane 1.0" and the usage text, each ending in a line break.
std::string VersionText();
std::string UsageText();

// The demo's launcher and its arguments: an installed copy (<prefix>/bin/orvane) runs
// <prefix>/libexec/orvane/orvane-demo; a copy in its build folder runs the source tree's
// scripts/demo on that build folder. Empty when neither exists.
std::vector<std::string> DemoCommand(const std::string& programFolder,
                                     const std::string& sourceFolder,
                                     const std::string& buildFolder);

} // namespace orv
