// `orvane-cli dbinfo SERVER DATABASE`: the database information report of a stored server's
// database, as the desktop program shows it.
#pragma once

namespace orv {

// argv[0] is the word "dbinfo"; its arguments follow. Returns the exit status: 0 the report was
// printed, 2 an error or a run stopped with Ctrl-C (nothing is printed then).
int RunDbInfoCommand(int argc, char** argv);

} // namespace orv
