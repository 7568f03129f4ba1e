#include "cli_run_saved.h"

#include "cli_command.h"
#include "core/paths.h"
#include "core/saved_comparison.h"
#include "core/settings.h"
#include "dbcompare/data_compare_report.h"
#include "dbcompare/run_settings.h"
#include "dbcompare/saved_pair.h"
#include "dbcompare/saved_replay.h"
#include "dbcompare/stored_server.h"
#include "deploy/deploy_saved.h"
#include "util/text.h"

#include <ctime>
#include <iostream>

namespace orv {

namespace {

constexpr const char* kSavedUsage = "usage: orvane-cli saved";
constexpr const char* kRunSavedUsage = "usage: orvane-cli run-saved <number> [--output <file>]\n"
                                       "                            [--encryption <mode>] "
                                       "[--ca-file <file>]";

constexpr const char* kRunSavedHelp =
    "Runs saved comparison process <number> (saved from the desktop program's report or\n"
    "results window; 'orvane-cli saved' lists them) without a window: the same servers,\n"
    "databases, types and objects, under the current comparison settings.\n"
    "\n"
    "  --output <file>  writes the report to <file> instead of the process's export file;\n"
    "                   .html/.htm gives HTML, .csv CSV, any other name the process's\n"
    "                   export type (plain text when it has none); '-' is standard output\n"
    "\n"
    "Without --output the report goes to the process's export file, or to standard output\n"
    "as text when it has none. A file is written all or nothing: a comparison that did not\n"
    "complete, a missing folder or an unwritable file leaves an existing file unchanged;\n"
    "a file named for the other export type, or holding the other kind of report, is\n"
    "never replaced. The process's Include/Exclude patterns and NotComparable setting\n"
    "(edited in the program) apply as compare-all's --include, --exclude and\n"
    "--not-comparable do.\n"
    "Printing is left to the desktop program (orvane /RunSavedComp:<number>).\n"
    "A whole-database process whose Action is deploy then writes the deployment script of\n"
    "its differing and only-in-source objects to its DeployScriptFile (steps that lose data\n"
    "left out) and, only with DeployApply=True and DeployTarget naming the target database,\n"
    "runs it and compares again; the exit status is then the deployment's (0 the target\n"
    "matches, 1 the script was written or differences remain, 2 error, rolled back).\n"
    "Progress is shown on standard error when it is a terminal; Ctrl-C stops the comparison,\n"
    "which then writes no export file.\n"
    "\n"
    "A saved data comparison reports its table pairs as 'orvane-cli compare-data' does (CSV:\n"
    "one summary record per pair) and exits the same way.\n"
    "\n"
    "Exit status: 0 every object identical, 1 an object differs or exists on one side only,\n"
    "2 error (no such process, a malformed process, a server no longer stored or not\n"
    "reachable, a refused login, an export that could not be written, an object not\n"
    "comparable unless the process only reports them, or a comparison that did not\n"
    "complete).\n";

std::string ExportColumn(const ComparisonDescription& d) {
    if (d.SavedFullExportFilePath.empty())
        return d.Print ? "(print)" : "";
    return d.SavedFullExportFilePath + (d.Print ? " (and print)" : "");
}

} // namespace

int RunSavedListCommand(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (!words.empty() && (words[0] == "--help" || words[0] == "-h")) {
        std::cout << kSavedUsage
                  << "\n\nLists the saved comparison processes, one a line: "
                     "number, name, kind, Source\nserver and database, Target "
                     "server and database, export file, tab-separated.\nA "
                     "process that cannot be run shows its fault instead of "
                     "its kind.\n";
        return 0;
    }
    if (!words.empty()) {
        std::cerr << "orvane-cli saved: unexpected argument " << words[0] << '\n'
                  << kSavedUsage << '\n';
        return 2;
    }
    StartUpLikeTheProgram();
    for (const SavedProcessEntry& e : ListComparisonProcesses(Paths().CompsIni)) {
        const ComparisonDescription& d = e.Description;
        std::cout << e.Number << '\t' << ComparisonDisplayName(e.Number, d) << '\t';
        if (!e.Valid) {
            std::cout << "refused: " << e.Error << "\t\t\t\t\t\n";
            continue;
        }
        std::cout << ComparisonKindText(d) << '\t' << d.ServerName[0] << '\t' << d.DbName[0] << '\t'
                  << d.ServerName[1] << '\t' << d.DbName[1] << '\t' << ExportColumn(d) << '\n';
    }
    std::cout.flush();
    return std::cout ? 0 : 2;
}

namespace {

struct RunSavedArgs {
    int32_t Number = 0;
    std::string Output;
    bool OutputGiven = false;
    bool Help = false;
};

bool ParseRunSavedArgs(const std::vector<std::string>& words, RunSavedArgs& args,
                       std::string& error) {
    bool numberGiven = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--help" || w == "-h") {
            args.Help = true;
            return true;
        }
        if (w == "--output" || w.rfind("--output=", 0) == 0) {
            if (args.OutputGiven || (w == "--output" && i + 1 >= words.size())) {
                error = args.OutputGiven ? "--output is given twice" : "--output needs a value";
                return false;
            }
            args.Output = w == "--output" ? words[++i] : w.substr(9);
            args.OutputGiven = true;
            if (args.Output.empty()) {
                error = "--output needs a file name";
                return false;
            }
        } else if (!numberGiven && ParseInt32(w, args.Number) && args.Number > 0) {
            numberGiven = true;
        } else {
            error = "unexpected argument " + (w[0] == '-' ? w.substr(0, w.find('=')) : w);
            return false;
        }
    }
    if (!numberGiven) {
        error = "the number of a saved process is needed";
        return false;
    }
    return true;
}

ReplayServices StoredReplayServices(const ConnectionSecurity& security) {
    ReplayServices services;
    services.resolveServer = [security](const std::string& name, ServerEntry& entry,
                                        std::string& message) {
        if (ResolveStoredServer(name, entry, message, security))
            return true;
        // The process names the server; there is no --login to offer here.
        if (entry.EntryNumber == 0)
            message = "server '" + name + "' is no longer stored (add it in the program).";
        return false;
    };
    services.runDb = [](const DbCompareRequest& request, ProgressSink& progress,
                        const CancelToken& cancel) {
        return RunDbCompare(request, progress, cancel);
    };
    services.runPair = RunSavedPair;
    services.dataSettings = ApplyCurrentDataSettings;
    services.runData = [](const DataCompareRequest& request, ProgressSink& progress,
                          const CancelToken& cancel) {
        return RunDataCompare(request, progress, cancel);
    };
    services.deploy = [](const DbCompareRequest& request, const DbCompareResults& results,
                         const ReplayPlan& plan, ProgressSink& progress, const CancelToken& cancel,
                         std::string& problem, std::string& note) {
        return RunSavedDeployment(request, results, plan, progress, cancel, problem, note,
                                  std::time(nullptr));
    };
    return services;
}

// Reads and plans the process, runs it and writes its report where `args` and the process say.
int RunSavedOn(const RunSavedArgs& args, const ConnectionSecurity& security, CommandRun& run) {
    const char* const prefix = "orvane-cli run-saved: ";
    ComparisonDescription d;
    std::string error;
    ReplayPlan plan;
    if (!ReadComparisonProcess(Paths().CompsIni, args.Number, d, error)) {
        std::cerr << prefix << error << '\n';
        return kReplayExitError;
    }
    if (!PlanReplay(d, plan, error)) {
        std::cerr << prefix << "saved comparison process [" << args.Number
                  << "] cannot be run: " << error << '\n';
        return kReplayExitError;
    }
    // Where the report goes and in which form.
    std::string path = plan.ExportPath;
    ReportFormat format = plan.ExportFormat;
    bool toStdout = path.empty();
    if (args.OutputGiven) {
        toStdout = args.Output == "-";
        path = toStdout ? std::string() : args.Output;
        const int32_t byName = ExportTypeOf(args.Output);
        if (byName != 0)
            format = static_cast<ReportFormat>(byName);
    }

    DbCompareRequest settings;
    ApplyCurrentSettings(settings);
    const ReplayOutcome outcome = RunSavedProcess(plan, settings, StoredReplayServices(security),
                                                  path, format, run.progress, run.cancel);
    int status = outcome.Status;
    const std::string counts = OutcomeCountsText(outcome);
    if (!counts.empty())
        run.progress.Note(counts);
    if (!outcome.Problem.empty())
        std::cerr << prefix << outcome.Problem << '\n';
    if (!outcome.Note.empty())
        std::cerr << prefix << outcome.Note << '\n';
    if (!outcome.Deployed.empty())
        std::cerr << prefix << outcome.Deployed << '\n';
    if (toStdout && (outcome.Results || outcome.DataResults)) {
        if (outcome.Results)
            std::cout << FormatDbCompareReport(*outcome.Results, format, LineBreaks::Lf);
        else
            std::cout << FormatDataCompareReport(*outcome.DataResults, format,
                                                 Settings().MaxRowsInDiffTable);
        std::cout.flush();
        if (!std::cout)
            status = kReplayExitError;
    }
    return status;
}

} // namespace

int RunSavedProcessCommand(int argc, char** argv, const ScriptSwitches& switches) {
    const CommandText text{"run-saved", kRunSavedUsage, kRunSavedHelp};
    return RunConnectingCommand(text, argc, argv, ParseRunSavedArgs, switches, RunSavedOn);
}

} // namespace orv
