// Running a saved comparison process again: what it asks for (a plan the windows and the
// headless runs both follow), the run without a window with its export, and the exit status
// and log line that tell a scheduler how it went.
#pragma once

#include "core/saved_comparison.h"
#include "dbcompare/data_compare.h"
#include "dbcompare/db_compare.h"
#include "dbcompare/db_compare_report.h"

#include <functional>
#include <string>

namespace orv {

constexpr int kReplayExitIdentical = 0;
constexpr int kReplayExitDifferent = 1;
constexpr int kReplayExitError = 2;

// What a saved process runs. Each comparison kind (CompType) has its own branch in PlanReplay
// and RunSavedProcess; a kind this program cannot run is refused there with a message.
enum class ReplayKind { WholeDatabase, SinglePair, Data };

struct ReplayPlan {
    ReplayKind Kind = ReplayKind::WholeDatabase;
    std::string ServerName[2];
    std::string Database[2];
    // WholeDatabase: the request without its servers and settings.
    DbCompareKind DbKind = DbCompareKind::All;
    bool Details = false;
    std::vector<ObjectType> Types;
    std::vector<SelectedObject> Selected[2];
    // SinglePair: the type and each side's object as listed, with its id (0: unknown).
    ObjectType PairType = kTypeNone;
    std::string PairName[2];
    int32_t PairId[2] = {0, 0};
    // Data: every table, or the listed pairs; the mode.
    bool DataAllTables = false;
    std::vector<DataTablePair> DataTables;
    DataCompareMode DataMode = DataCompareMode::Auto;
    // The objects (tables) a run keeps and leaves out, and what a pair that cannot be compared
    // does to the status. A single pair is compared whatever the patterns say.
    ObjectFilter Filter;
    NotComparablePolicy NotComparable = NotComparablePolicy::Error;
    // A deployment after the comparison (whole-database comparisons only): the script's file,
    // and whether it runs on the target (the process named the target database again).
    bool Deploy = false;
    std::string DeployScriptPath;
    bool DeployApply = false;
    // The saved export (empty path: none) and print settings.
    std::string ExportPath;
    ReportFormat ExportFormat = ReportFormat::Text;
    bool Print = false;
};

// False with a message when the process asks for something this program cannot run.
bool PlanReplay(const ComparisonDescription& d, ReplayPlan& plan, std::string& error);

// The whole-database request of a plan, on top of `settings` (ApplyCurrentSettings).
DbCompareRequest WholeDatabaseRequest(const ReplayPlan& plan, DbCompareRequest settings,
                                      const ServerEntry (&servers)[2]);

// The single-pair comparison as a results model of one pair (so every report writer serves it);
// null with the reason when an object cannot be found or read.
using PairRunner =
    std::function<DbCompareResultsPtr(const ReplayPlan& plan, ServerEntry (&servers)[2],
                                      const CompareOptions& options, std::string& error)>;

// The data comparison request of a plan, on top of `settings` (ApplyCurrentDataSettings).
DataCompareRequest DataReplayRequest(const ReplayPlan& plan, DataCompareRequest settings,
                                     const ServerEntry (&servers)[2]);

struct ReplayServices {
    // The entry of a saved server name, its version known; false with the reason.
    std::function<bool(const std::string& name, ServerEntry& entry, std::string& error)>
        resolveServer;
    std::function<DbCompareResultsPtr(const DbCompareRequest&, ProgressSink&, const CancelToken&)>
        runDb;
    PairRunner runPair;
    // Data comparisons: the stored settings put on a request (null: the defaults), the run,
    // and the printing of its report (null: as `print` above).
    std::function<void(DataCompareRequest&)> dataSettings;
    std::function<DataCompareResultsPtr(const DataCompareRequest&, ProgressSink&,
                                        const CancelToken&)>
        runData;
    std::function<bool(const DataCompareResults& results, std::string& error)> printData;
    // Prints the report; false with the reason. Null: printing is not offered (the process's
    // Print setting is then only noted).
    std::function<bool(const DbCompareResults& results, std::string& error)> print;
    // Writes (and when asked applies) the deployment script of a completed comparison; returns
    // the status (0 the target matches, or nothing to deploy; 1 a script was written or
    // differences remain; 2 error, with `problem`) and says what it did in `note`. Null: a
    // process that deploys is refused.
    std::function<int(const DbCompareRequest& request, const DbCompareResults& results,
                      const ReplayPlan& plan, ProgressSink& progress, const CancelToken& cancel,
                      std::string& problem, std::string& note)>
        deploy;
};

struct ReplayOutcome {
    int Status = kReplayExitError;
    DbCompareResultsPtr Results;       // null when nothing ran (and for a data comparison)
    DataCompareResultsPtr DataResults; // a data comparison's; null otherwise
    std::string Problem;               // why the status is 2; empty otherwise
    std::string ExportedTo;            // the file written, if any
    std::string Deployed;              // what a deploying process did (its script, the run)
    bool Printed = false;
    std::string Note; // for a Print setting this run could not honour
};

// Whether a replay may write its report in `format` to `path`: not when the file's name ends
// in the other export type's extension (a .csv file would receive HTML), nor when a file of
// that name exists and holds the other kind (HTML where CSV or text goes, or the reverse).
// False with the reason; the file is then left as it is.
bool ReplayExportAllowed(const std::string& path, ReportFormat format, std::string& error);

// Runs the planned comparison, then exports to `exportPath` (the saved file unless the caller
// names another; empty: no export) in `format`, and prints when the plan says so. An export
// is all or nothing: a run that did not complete, a missing folder or an unwritable file is
// status 2 and leaves any existing file as it was.
ReplayOutcome RunSavedProcess(const ReplayPlan& plan, DbCompareRequest settings,
                              const ReplayServices& services, const std::string& exportPath,
                              ReportFormat format, ProgressSink& progress,
                              const CancelToken& cancel);

// One line for the log: the process, its outcome counts, where it was exported, its status.
std::string ReplayLogLine(int32_t number, const ComparisonDescription& d,
                          const ReplayOutcome& outcome);

// "3 tables compared, 2 identical, 1 different."
std::string DataResultCountsText(const DataCompareResults& results);
// The counts of whichever comparison the outcome holds ("" when it did not complete).
std::string OutcomeCountsText(const ReplayOutcome& outcome);

} // namespace orv
