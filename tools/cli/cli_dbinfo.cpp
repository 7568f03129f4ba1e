#include "cli_dbinfo.h"

#include "catalog/db_info_report.h"
#include "cli_command.h"
#include "dbcompare/db_compare.h"

#include <ctime>
#include <iostream>

namespace orv {
namespace {

constexpr const char* kDbInfoUsage =
    "usage: orvane-cli dbinfo [--encryption <mode>] [--ca-file <file>] <server> <database>";
constexpr const char* kDbInfoHelp =
    "Prints the database information report: the objects by type, and the tables with their\n"
    "row counts. Progress is shown on standard error when it is a terminal; Ctrl-C stops the\n"
    "report, which is then not printed.\n"
    "\n"
    "Exit status: 0 the report was printed, 2 error (wrong arguments, a server that is not\n"
    "stored or cannot be reached, a listing that could not be read, or a stopped report).\n";

struct DbInfoArgs {
    std::string Server;
    std::string Database;
    bool Help = false;
};

bool ParseDbInfoArgs(const std::vector<std::string>& words, DbInfoArgs& args, std::string& error) {
    if (words.size() == 1 && (words[0] == "--help" || words[0] == "-h")) {
        args.Help = true;
        return true;
    }
    if (words.size() != 2) {
        error = "'dbinfo' takes 2 arguments, got " + std::to_string(words.size());
        return false;
    }
    args.Server = words[0];
    args.Database = words[1];
    return true;
}

// The report's steps and the tables it counts go to the progress sink; the cancel flag the
// report polls follows the token at each of them.
class ConsoleDbInfoRunner final : public DbInfoRunner {
public:
    explicit ConsoleDbInfoRunner(CommandRun& run) : run_(run) {}
    void StepStarted(int, const std::string& caption) override {
        Poll();
        run_.progress.Begin(caption, 0);
    }
    void ListingStarted() override { Poll(); }
    void StepFinished(int, const std::string&) override { Poll(); }
    void UpdateElapsed() override { Poll(); }
    void ShowProgress(const std::string& name) override {
        Poll();
        run_.progress.Advance(1, name);
    }

private:
    void Poll() { mblnCancel = run_.cancel.cancelRequested(); }
    CommandRun& run_;
};

int RunDbInfoOn(const DbInfoArgs& args, const ConnectionSecurity& security, CommandRun& run) {
    ServerEntry server;
    std::string error;
    if (!StoredServers(security)(args.Server, server, error)) {
        std::cerr << "orvane-cli dbinfo: " << error << '\n';
        return kCommandExitError;
    }
    ConsoleDbInfoRunner runner(run);
    std::string text;
    const bool complete =
        BuildDbInfoReport(runner, server, args.Database, DbInfoDateText(std::time(nullptr)), text);
    if (run.cancel.cancelRequested()) {
        std::cerr << "orvane-cli dbinfo: " << kStoppedByUser << '\n';
        return kCommandExitError;
    }
    if (!complete)
        return kCommandExitError;
    std::cout << text;
    std::cout.flush();
    return std::cout ? 0 : kCommandExitError;
}

} // namespace

int RunDbInfoCommand(int argc, char** argv) {
    const CommandText text{"dbinfo", kDbInfoUsage, kDbInfoHelp};
    return RunConnectingCommand(text, argc, argv, ParseDbInfoArgs, {}, RunDbInfoOn);
}

} // namespace orv
