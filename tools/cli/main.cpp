#include "cli_analyze.h"
#include "cli_app.h"
#include "cli_compare.h"
#include "cli_compare_all.h"
#include "cli_compare_data.h"
#include "cli_dbinfo.h"
#include "cli_find.h"
#include "cli_run_saved.h"
#include "core/crash_dumps.h"
#include "core/program_info.h"

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    orv::KeepPasswordsOutOfCoreDumps();
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("orvane-cli %s\n", orv::kProgramVersion);
        return 0;
    }
    // --complete-scripts, anywhere on the line, switches complete table scripts on for this run;
    // --classic-line-matching the classic marking of differing lines.
    bool completeScripts = false;
    bool classicLineMatching = false;
    std::vector<char*> kept(argv, argv + argc);
    for (auto it = kept.begin() + (argc > 0 ? 1 : 0); it != kept.end();) {
        if (std::strcmp(*it, "--complete-scripts") == 0) {
            completeScripts = true;
            it = kept.erase(it);
        } else if (std::strcmp(*it, "--classic-line-matching") == 0) {
            classicLineMatching = true;
            it = kept.erase(it);
        } else {
            ++it;
        }
    }
    argc = static_cast<int>(kept.size());
    argv = kept.data();
    // The comparison parses its own arguments.
    if (argc > 1 && std::strcmp(argv[1], "compare") == 0)
        return orv::RunCompareCommand(argc - 1, argv + 1, completeScripts, classicLineMatching);
    if (argc > 1 && std::strcmp(argv[1], "compare-all") == 0)
        return orv::RunCompareAllCommand(argc - 1, argv + 1, completeScripts, classicLineMatching);
    if (argc > 1 && std::strcmp(argv[1], "analyze") == 0)
        return orv::RunAnalyzeCommand(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "compare-data") == 0)
        return orv::RunCompareDataCommand(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "dbinfo") == 0)
        return orv::RunDbInfoCommand(std::vector<std::string>(argv + 2, argv + argc), stdout,
                                     stderr);
    if (argc > 1 && std::strcmp(argv[1], "run-saved") == 0)
        return orv::RunSavedProcessCommand(argc - 1, argv + 1, completeScripts,
                                           classicLineMatching);
    if (argc > 1 && std::strcmp(argv[1], "saved") == 0)
        return orv::RunSavedListCommand(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "find") == 0)
        return orv::RunFindCommand(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "check-refs") == 0)
        return orv::RunCheckRefsCommand(argc - 1, argv + 1);
    std::vector<std::string> args(argv + 1, argv + argc);
    return orv::RunCli(args, stdout, stderr, completeScripts);
}
