// `orvane-cli compare`: compares two objects on their servers and prints the verdict.
#pragma once

namespace orv {

// argv[0] is the word "compare"; the comparison's arguments follow. Returns the exit status:
// 0 identical, 1 different, 2 error. `completeScripts` switches complete table scripts on
// whatever the stored setting says; `classicLineMatching` the classic marking of differing
// lines (shown with --marks).
int RunCompareCommand(int argc, char** argv, bool completeScripts = false,
                      bool classicLineMatching = false);

} // namespace orv
