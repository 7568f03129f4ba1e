// The main window's size, place, maximized state, splitter position and scroll-together switch,
// kept under Software\MAV from one run to the next. The window writes them as it closes and
// reads them as it loads; the switch is also written the moment it changes.
#pragma once

#include <cstdint>

namespace orv {

struct MainWindowPlacement {
    bool known = false;                               // a size and place were stored
    int32_t left = 0, top = 0, width = 0, height = 0; // the normal (not maximized) window
    bool maximized = false;
    int32_t splitter = 5000; // the Source panel's part of both panels' width, in 1/10,000
    bool scrollTogether = false;
};

MainWindowPlacement LoadMainWindowPlacement();
// All values in one replacement of the registry file.
void SaveMainWindowPlacement(const MainWindowPlacement& placement);
void SaveScrollTogether(bool on);

} // namespace orv
