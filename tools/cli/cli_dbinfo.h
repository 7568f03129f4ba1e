// orvane-cli dbinfo SERVER DATABASE: the database information report of a stored server's
// database, as the desktop program shows it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace orv {

// Arguments without the program name and without "dbinfo". Returns the exit status.
int RunDbInfoCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

} // namespace orv
