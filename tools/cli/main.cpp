#include "cli_app.h"
#include "cli_compare.h"
#include "cli_dbinfo.h"
#include "core/crash_dumps.h"
#include "core/program_info.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    orv::KeepPasswordsOutOfCoreDumps();
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("orvane-cli %s\n", orv::kProgramVersion);
        return 0;
    }
    // The comparison parses its own arguments.
    if (argc > 1 && std::strcmp(argv[1], "compare") == 0)
        return orv::RunCompareCommand(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "dbinfo") == 0)
        return orv::RunDbInfoCommand(std::vector<std::string>(argv + 2, argv + argc), stdout,
                                     stderr);
    std::vector<std::string> args(argv + 1, argv + argc);
    return orv::RunCli(args, stdout, stderr);
}
