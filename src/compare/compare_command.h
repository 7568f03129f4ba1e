// The command-line comparison of two objects: its arguments, its run on texts fetched by the
// caller, and what it prints. The caller supplies the texts, so this part needs no server.
#pragma once

#include "compare/compare_sel_procs.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace orv {

constexpr int kCompareExitIdentical = 0;
constexpr int kCompareExitDifferent = 1;
constexpr int kCompareExitError = 2;

constexpr const char* kCompareUsage =
    "usage: orvane-cli compare [--marks] [--login <name> --password <password>] <server1> <db1> "
    "<server2> <db2> <type> <name1> [<name2>]";

struct CompareCommandArgs {
    std::string Server[2];
    std::string Db[2];
    std::string Type;
    std::string Name[2]; // the second defaults to the first
    bool Marks = false;
    // SQL Server login for servers that are not in the stored list; empty: trusted login.
    std::string Login;
    std::string Password;
};

// False with a message in `error` when the words do not make a comparison.
bool ParseCompareCommandArgs(const std::vector<std::string>& words, CompareCommandArgs& args,
                             std::string& error);

// Fetches the definition shown for a panel (0 Source, 1 Target); false when it could not be
// read (the reason has gone to the error stream).
using FetchObjectText = std::function<bool(int panel, std::string& text)>;

// Shows both texts in memory views, compares them as the window would and prints the verdict
// (and with --marks every line of both sides with its status code). Messages the comparison
// would show go to `err`. Returns the exit status: 0 identical, 1 different, 2 error.
int RunCompareCommandOn(const CompareCommandArgs& args, const ComparedObjectNames& names,
                        const CompareOptions& options, const CompareServices& services,
                        const FetchObjectText& fetch, std::ostream& out, std::ostream& err);

// One line per view line: "S" or "T", the status code and the line's text, tab-separated.
std::string FormatMarks(const CompLines& source, const CompLines& target);

} // namespace orv
