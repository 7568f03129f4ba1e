// `orvane-cli analyze`: the data profile of one table on standard output.
#pragma once

namespace orv {

// argv[0] is the word "analyze"; its arguments follow. Returns the exit status.
int RunAnalyzeCommand(int argc, char** argv);

} // namespace orv
