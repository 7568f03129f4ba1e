// `orvane-cli compare-all`: compares two whole databases and writes the report.
#pragma once

namespace orv {

// argv[0] is the word "compare-all"; its arguments follow. Returns the exit status: 0 every
// object identical, 1 differences, 2 error, not comparable or incomplete. `completeScripts`
// switches complete table scripts on whatever the stored setting says; `classicLineMatching`
// the classic marking of differing lines (the differing-line counts and the details).
int RunCompareAllCommand(int argc, char** argv, bool completeScripts = false,
                         bool classicLineMatching = false);

} // namespace orv
