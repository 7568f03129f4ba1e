// `orvane-cli compare-data`: compares the rows of tables in two databases.
#pragma once

namespace orv {

// argv[0] is the word "compare-data"; its arguments follow. Returns the exit status: 0 every
// compared row identical, 1 differences, 2 error, not comparable or incomplete.
int RunCompareDataCommand(int argc, char** argv);

} // namespace orv
