// `orvane-cli deploy-script`: compares two databases, writes the script that makes the
// target's structure match the source's and, when asked and the target is named twice, runs it
// and compares again. The caller supplies the servers and the comparison, so the arguments
// and the exit statuses are tested without a server.
#pragma once

#include "dbcompare/compare_all_command.h"
#include "deploy/deploy_script.h"

#include <ctime>
#include <ostream>
#include <string>
#include <vector>

namespace orv {

constexpr int kDeployExitDone = 0;      // applied and matching, or nothing to deploy
constexpr int kDeployExitDifferent = 1; // a script was written, or differences remain
constexpr int kDeployExitError = 2;     // any error; an applied script was rolled back
// --apply refused: the target is no longer what the comparison saw; nothing was run.
constexpr int kDeployExitTargetChanged = 3;

constexpr const char* kDeployScriptUsage =
    "usage: orvane-cli deploy-script [--types <list>] [--include <pattern>]... "
    "[--exclude <pattern>]... [--drop-extra] [--allow-data-loss] "
    "[--rename-column <table.old=new>]... [--output <file>] "
    "[--apply --confirm-target <database>] [--reading auto|full|hash-first] "
    "[--login <name> [--password-file <file>]] <server1> <db1>|folder:<dir>|snapshot:<file> "
    "<server2> <db2>";

extern const char* const kDeployScriptHelp;

struct DeployScriptArgs : LoginOptions {
    std::string Server[2];
    std::string Db[2];
    // A Source given as folder:<dir>: the scripts folder (Server[0] and Db[0] then empty).
    std::string SourceFolder;
    // A Source given as snapshot:<file>: the snapshot file (Server[0] and Db[0] then empty).
    std::string SourceSnapshot;
    std::vector<ObjectType> Types; // all seven unless --types names others
    ObjectFilter Filter;
    bool DropExtra = false;
    bool AllowDataLoss = false;
    // Columns confirmed as renamed (--rename-column TABLE.OLD=NEW), in the order given.
    std::vector<ColumnRename> ColumnRenames;
    std::string Output; // empty: standard output
    bool Apply = false;
    std::string ConfirmTarget;
    std::optional<CompareReading> Reading;
    bool Help = false;
};

// False with a message when the words do not make a deployment; --apply needs
// --confirm-target, and a password on the command line is refused.
bool ParseDeployScriptArgs(const std::vector<std::string>& words, DeployScriptArgs& args,
                           std::string& error);

// Compares, writes the script (to `out` or atomically to --output) and with --apply runs it on
// the target and compares again. Messages and the verification go to `err`. `now` stamps the
// script's header.
int RunDeployScriptOn(const DeployScriptArgs& args, DbCompareRequest settings,
                      const CompareAllServices& services, ProgressSink& progress,
                      const CancelToken& cancel, std::ostream& out, std::ostream& err,
                      std::time_t now);

} // namespace orv
