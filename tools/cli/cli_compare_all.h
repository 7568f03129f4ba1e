// `orvane-cli compare-all`: compares two whole databases and writes the report.
#pragma once

namespace orv {

// argv[0] is the word "compare-all"; its arguments follow. Returns the exit status: 0 every
// object identical, 1 differences, 2 error, not comparable or incomplete. `completeScripts`
// switches complete table scripts on whatever the stored setting says.
int RunCompareAllCommand(int argc, char** argv, bool completeScripts = false);

} // namespace orv
