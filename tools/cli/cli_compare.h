// `orvane-cli compare`: compares two objects on their servers and prints the verdict.
#pragma once

namespace orv {

// argv[0] is the word "compare"; the comparison's arguments follow. Returns the exit status:
// 0 identical, 1 different, 2 error.
int RunCompareCommand(int argc, char** argv);

} // namespace orv
