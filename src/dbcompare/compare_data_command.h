// `orvane-cli compare-data`: its arguments, the run over an injected comparison, and the report
// on standard output with the optional synchronisation script and rows file. The caller
// supplies the servers and the comparison itself, so this part is tested without a server.
#pragma once

#include "compare/compare_command.h"
#include "dbcompare/data_compare.h"
#include "dbcompare/db_compare_report.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace orv {

constexpr int kCompareDataExitIdentical = 0;
constexpr int kCompareDataExitDifferent = 1;
constexpr int kCompareDataExitError = 2;

constexpr const char* kCompareDataUsage =
    "usage: orvane-cli compare-data [--tables <list>] [--key <columns>] [--mode merge|hash] "
    "[--format text|csv|html] [--script <file>] [--rows <file>] [--include <pattern>]... "
    "[--exclude <pattern>]... [--not-comparable error|report] [--login <name> "
    "[--password-file <file>]] <server1> <db1> <server2> <db2>";

extern const char* const kCompareDataHelp;

struct CompareDataArgs : LoginOptions {
    std::string Server[2];
    std::string Db[2];
    // Empty: every table of both databases.
    std::vector<DataTablePair> Tables;
    std::vector<std::string> Key; // for every listed table
    DataCompareMode Mode = DataCompareMode::Auto;
    ReportFormat Format = ReportFormat::Text;
    std::string Script;
    std::string Rows;
    // --disable-triggers (true) or --keep-triggers (false); unset: the stored setting.
    std::optional<bool> DisableTriggers;
    bool Help = false;
    // Table name patterns ([tables:][schema.]name); another type is refused.
    ObjectFilter Filter;
    NotComparablePolicy NotComparable = NotComparablePolicy::Error;
};

// Names separated by commas, each "name", "schema.name" or with bracketed parts
// ("[a.b].[c,d]"). False with `error` on an empty or malformed entry.
bool ParseNameList(const std::string& list, bool qualified,
                   std::vector<std::vector<std::string>>& names, std::string& error);

bool ParseCompareDataArgs(const std::vector<std::string>& words, CompareDataArgs& args,
                          std::string& error);

using DataCompareRunner = std::function<DataCompareResultsPtr(const DataCompareRequest&,
                                                              ProgressSink&, const CancelToken&)>;

struct CompareDataServices {
    std::function<bool(const std::string& name, ServerEntry& entry, std::string& error)>
        resolveServer;
    DataCompareRunner run;
};

// Resolves the servers, runs the comparison, writes the report to `out` and the script and
// rows files (each all or nothing, and only when the run completed). Returns the exit status:
// 0 every compared row identical, 1 rows or tables differ, 2 an error, a pair not comparable or
// a run that did not complete. `settings` carries what the stored settings decide
// (ApplyCurrentDataSettings).
int RunCompareDataOn(const CompareDataArgs& args, DataCompareRequest settings,
                     const CompareDataServices& services, ProgressSink& progress,
                     const CancelToken& cancel, std::ostream& out, std::ostream& err);

} // namespace orv
