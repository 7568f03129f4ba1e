// `orvane-cli analyze`: its arguments, the run over an injected analysis, and the profile on
// standard output. The caller supplies the server and the analysis itself, so this part is
// tested without a server.
#pragma once

#include "explore/data_analyzer.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace orv {

constexpr int kAnalyzeExitDone = 0;
constexpr int kAnalyzeExitNoTable = 1;
constexpr int kAnalyzeExitError = 2;

constexpr const char* kAnalyzeUsage =
    "usage: orvane-cli analyze [--format text|csv] [--encryption <mode>] [--ca-file <file>]\n"
    "                          <server> <database> <table>";

extern const char* const kAnalyzeHelp;

struct AnalyzeArgs {
    std::string Server;
    std::string Database;
    std::string Table;
    bool Csv = false;
    bool Help = false;
};

bool ParseAnalyzeArgs(const std::vector<std::string>& words, AnalyzeArgs& args, std::string& error);

struct AnalyzeServices {
    // The stored server's entry with its version known; false with the reason otherwise.
    std::function<bool(const std::string& name, ServerEntry& entry, std::string& error)>
        resolveServer;
    // The analysis ignore list of the table as the user named it ("Orders" or "sales.Orders")
    // in a database of the resolved server.
    std::function<std::vector<std::string>(ServerEntry& server, const std::string& database,
                                           const std::string& table)>
        ignoredColumns;
    std::function<AnalysisResultsPtr(const AnalysisRequest&, ProgressSink&, const CancelToken&)>
        run;
};

// Resolves the server, runs the analysis and writes the profile to `out`; messages to `err`.
// A run that was stopped or failed writes what it has, says why on `err` and ends with 2.
int RunAnalyzeOn(const AnalyzeArgs& args, int32_t timeoutSeconds, const AnalyzeServices& services,
                 ProgressSink& progress, const CancelToken& cancel, std::ostream& out,
                 std::ostream& err);

} // namespace orv
