// A saved comparison process run at start-up (/RunSavedComp:N) with nobody at the screen:
// when the process exports or prints, it runs without any dialog and the program ends with
// the run's exit status; otherwise the main window shows its results as the menu would.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

// -1 when the process neither exports nor prints (the window is to show it). Otherwise the exit
// status (0 identical, 1 differences, 2 error), with the run's one log line in `logLine`; a
// missing or refused process is status 2 too. Every message and error report of the run goes
// into the line instead of a window; the program is expected to end afterwards.
int RunSavedProcessUnattended(int32_t number, std::string& logLine);

} // namespace orv
