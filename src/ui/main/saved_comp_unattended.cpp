#include "ui/main/saved_comp_unattended.h"

#include "core/error_report.h"
#include "core/paths.h"
#include "core/saved_comparison.h"
#include "dbcompare/data_compare_report.h"
#include "dbcompare/run_settings.h"
#include "dbcompare/saved_pair.h"
#include "dbcompare/saved_replay.h"
#include "dbcompare/stored_server.h"
#include "deploy/deploy_saved.h"
#include "ui/widgets/qt_text_view.h"
#include "util/memory_prompter.h"
#include "util/text.h"

#include <algorithm>
#include <ctime>

namespace orv {

int RunSavedProcessUnattended(int32_t number, std::string& logLine) {
    ComparisonDescription d;
    ReplayPlan plan;
    std::string error;
    if (!ReadComparisonProcess(Paths().CompsIni, number, d, error) || !PlanReplay(d, plan, error)) {
        ReplayOutcome refused;
        refused.Problem = error;
        logLine = ReplayLogLine(number, d, refused);
        return kReplayExitError;
    }
    if (plan.ExportPath.empty() && !plan.Print)
        return -1;

    // Asked before the quiet prompter takes over, which would always say yes.
    const bool hasPrinter = CurrentPrompter().HasPrinter();
    MemoryPrompter quiet;
    PrompterScope scope(quiet);
    std::vector<std::string> reports;
    SetErrorReportHandler([&reports](const ErrorReport& report) {
        reports.push_back(ReplaceAll(ErrorReportText(report), "\r\n", " "));
    });

    DbCompareRequest settings;
    ApplyCurrentSettings(settings);
    ReplayServices services;
    services.resolveServer = [](const std::string& name, ServerEntry& entry, std::string& message) {
        if (ResolveStoredServer(name, "", "", {}, entry, message))
            return true;
        if (entry.EntryNumber == 0)
            message = "server '" + name + "' is no longer stored.";
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
    services.print = [hasPrinter](const DbCompareResults& results, std::string& message) {
        if (!hasPrinter) {
            message = "there is no printer";
            return false;
        }
        QtTextView view;
        view.SetText(FormatDbCompareReport(results, ReportFormat::Text));
        return view.Print("Orvane Report", 1, std::max(1, view.PageCount()), 1);
    };
    services.printData = [hasPrinter](const DataCompareResults& results, std::string& message) {
        if (!hasPrinter) {
            message = "there is no printer";
            return false;
        }
        QtTextView view;
        view.SetText(DataCompareText(results));
        return view.Print("Orvane Report", 1, std::max(1, view.PageCount()), 1);
    };
    NullProgressSink progress;
    CancelToken cancel;
    ReplayOutcome outcome = RunSavedProcess(plan, settings, services, plan.ExportPath,
                                            plan.ExportFormat, progress, cancel);
    SetErrorReportHandler(nullptr);
    if (!reports.empty()) {
        // An unexpected error makes the result doubtful, whatever the comparison said.
        outcome.Status = kReplayExitError;
        outcome.Problem += (outcome.Problem.empty() ? "" : " ") + reports.front();
    }
    logLine = ReplayLogLine(number, d, outcome);
    return outcome.Status;
}

} // namespace orv
