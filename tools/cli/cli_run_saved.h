// `orvane-cli saved` lists the saved comparison processes; `orvane-cli run-saved N` runs one.
#pragma once

namespace orv {

// argv[0] is the command's word; its arguments follow. Returns the exit status.
int RunSavedListCommand(int argc, char** argv);
// 0 identical, 1 differences, 2 error (no such process, a refused process, a server not
// stored or not reachable, a failed export, a comparison that did not complete).
// The two switches as for compare-all.
int RunSavedProcessCommand(int argc, char** argv, bool completeScripts,
                           bool classicLineMatching = false);

} // namespace orv
