#include "cli_analyze.h"
#include "cli_app.h"
#include "cli_compare.h"
#include "cli_compare_all.h"
#include "cli_compare_data.h"
#include "cli_dbinfo.h"
#include "cli_deploy.h"
#include "cli_find.h"
#include "cli_run_saved.h"
#include "cli_script_folder.h"
#include "cli_script_switches.h"
#include "cli_snapshot.h"
#include "core/crash_dumps.h"
#include "core/program_info.h"
#include "keyring/keyring_store.h"

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    orv::KeepPasswordsOutOfCoreDumps();
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("orvane-cli %s\n", orv::kProgramVersion);
        return 0;
    }
    // Stored servers' passwords come from the desktop keyring when one answers (a password the
    // registry file still holds serves when it has none); --password-file and ORVANE_PASSWORD
    // still stand in for them.
    orv::UseDesktopKeyringWhenAvailable();
    // The table-script switches, anywhere on the line, hold for this run.
    std::vector<std::string> words(argv, argv + argc);
    const orv::ScriptSwitches switches = orv::TakeScriptSwitches(words);
    std::vector<char*> kept;
    for (std::string& w : words)
        kept.push_back(w.data());
    kept.push_back(nullptr);
    argc = static_cast<int>(words.size());
    argv = kept.data();
    // The comparison parses its own arguments.
    if (argc > 1 && std::strcmp(argv[1], "compare") == 0)
        return orv::RunCompareCommand(argc - 1, argv + 1, switches);
    if (argc > 1 && std::strcmp(argv[1], "compare-all") == 0)
        return orv::RunCompareAllCommand(argc - 1, argv + 1, switches);
    if (argc > 1 && std::strcmp(argv[1], "snapshot") == 0)
        return orv::RunSnapshotCommand(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "script-folder") == 0)
        return orv::RunScriptFolderCommand(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "deploy-script") == 0)
        return orv::RunDeployScriptCommand(argc - 1, argv + 1, switches);
    if (argc > 1 && std::strcmp(argv[1], "analyze") == 0)
        return orv::RunAnalyzeCommand(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "compare-data") == 0)
        return orv::RunCompareDataCommand(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "dbinfo") == 0)
        return orv::RunDbInfoCommand(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "run-saved") == 0)
        return orv::RunSavedProcessCommand(argc - 1, argv + 1, switches);
    if (argc > 1 && std::strcmp(argv[1], "saved") == 0)
        return orv::RunSavedListCommand(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "find") == 0)
        return orv::RunFindCommand(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "check-refs") == 0)
        return orv::RunCheckRefsCommand(argc - 1, argv + 1);
    std::vector<std::string> args(argv + 1, argv + argc);
    return orv::RunCli(args, stdout, stderr, switches);
}
