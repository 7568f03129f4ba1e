#include "cli_analyze.h"

#include "catalog/ignored_columns.h"
#include "cli_command.h"
#include "core/settings.h"
#include "explore/analyze_command.h"

#include <iostream>

namespace orv {

int RunAnalyzeCommand(int argc, char** argv) {
    const CommandText text{"analyze", kAnalyzeUsage, kAnalyzeHelp};
    return RunConnectingCommand(
        text, argc, argv, ParseAnalyzeArgs, {},
        [](const AnalyzeArgs& args, const ConnectionSecurity& security, CommandRun& run) {
            AnalyzeServices services;
            services.resolveServer = StoredServers(security);
            services.ignoredColumns = [](ServerEntry& server, const std::string& database,
                                         const std::string& table) {
                return ListedTableIgnoredColumns(kIgnoredForAnalysis, server, database, table, 0);
            };
            services.run = [](const AnalysisRequest& request, ProgressSink& progress,
                              const CancelToken& cancel) {
                return AnalyzeTableData(request, progress, cancel);
            };
            return RunAnalyzeOn(args, Settings().Timeout, services, run.progress, run.cancel,
                                std::cout, std::cerr);
        });
}

} // namespace orv
