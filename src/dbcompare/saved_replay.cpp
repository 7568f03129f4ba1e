#include "dbcompare/saved_replay.h"

#include "dbcompare/data_compare_report.h"
#include "dbcompare/data_compare_saved.h"
#include "export/export_file.h"
#include "util/text.h"

#include <fstream>

namespace orv {

namespace {

std::vector<ObjectType> FlaggedTypes(const std::string& flagText) {
    const std::string bare = ReplaceAll(flagText, ",", "");
    std::vector<ObjectType> types;
    for (size_t k = 0; k < bare.size() && k < std::size(kSelectorTypeOrder); ++k)
        if (bare[k] == '1')
            types.push_back(kSelectorTypeOrder[k]);
    return types;
}

// "<type code>,<object id>,<name as listed>"; the name may hold commas.
bool ParsePick(const std::string& text, SelectedObject& pick) {
    const size_t first = text.find(',');
    const size_t second = first == std::string::npos ? first : text.find(',', first + 1);
    int32_t type = 0;
    if (second == std::string::npos || !ParseInt32(Trim(text.substr(0, first)), type) ||
        !ParseInt32(Trim(text.substr(first + 1, second - first - 1)), pick.Id))
        return false;
    pick.Type = type;
    pick.ListedName = text.substr(second + 1);
    return true;
}

bool PlanStructure(const ComparisonDescription& d, ReplayPlan& plan, std::string& error) {
    const std::vector<ObjectType> types = FlaggedTypes(d.EncObjTypes);
    if (types.empty()) {
        error = "the process names no object type to compare.";
        return false;
    }
    plan.Details = d.CompSubSubType == kCompSubSubTypeDetails;
    switch (d.CompSubType) {
    case kCompSubTypeAllObjects:
        plan.DbKind = DbCompareKind::All;
        plan.Types = types;
        return true;
    case kCompSubTypeBulk:
    case kCompSubTypeSelective:
        plan.DbKind =
            d.CompSubType == kCompSubTypeBulk ? DbCompareKind::Bulk : DbCompareKind::Selective;
        plan.Types = {types.front()};
        if (plan.DbKind == DbCompareKind::Selective) {
            for (int side = 0; side < 2; ++side)
                for (const std::string& text : d.CheckedObjects[side]) {
                    SelectedObject pick;
                    if (!ParsePick(text, pick) || pick.Type != types.front()) {
                        error = "the picked object \"" + text + "\" is not a " +
                                ToLowerAscii(GetObjectTypeName(types.front(), true)) + ".";
                        return false;
                    }
                    plan.Selected[side].push_back(std::move(pick));
                }
            if (plan.Selected[0].empty() && plan.Selected[1].empty()) {
                error = "the process picks no objects to compare.";
                return false;
            }
        }
        return true;
    case kCompSubTypeSinglePair:
        plan.Kind = ReplayKind::SinglePair;
        plan.PairType = types.front();
        plan.Types = {types.front()};
        for (int side = 0; side < 2; ++side) {
            plan.PairName[side] = d.TableName[side];
            ParseInt32(d.TableId[side], plan.PairId[side]);
        }
        return true;
    default:
        error = "structure comparisons of kind " + std::to_string(d.CompSubType) +
                " cannot be run by this program.";
        return false;
    }
}

} // namespace

bool PlanReplay(const ComparisonDescription& d, ReplayPlan& plan, std::string& error) {
    plan = ReplayPlan{};
    for (int side = 0; side < 2; ++side) {
        plan.ServerName[side] = d.ServerName[side];
        plan.Database[side] = d.DbName[side];
    }
    plan.ExportPath = d.SavedFullExportFilePath;
    plan.ExportFormat = d.ExportType == kExportCsv    ? ReportFormat::Csv
                        : d.ExportType == kExportHtml ? ReportFormat::Html
                                                      : ReportFormat::Text;
    plan.Print = d.Print;
    plan.Filter.Include = d.IncludePatterns;
    plan.Filter.Exclude = d.ExcludePatterns;
    if (!plan.Filter.Check(error))
        return false;
    plan.NotComparable =
        d.ReportNotComparable ? NotComparablePolicy::Report : NotComparablePolicy::Error;
    plan.Deploy = d.Deploy;
    plan.DeployScriptPath = d.DeployScriptPath;
    plan.DeployApply = d.Deploy && d.DeployApply && d.DeployTarget == d.DbName[1];
    if (d.Deploy && (d.CompType != kCompTypeStructure || d.CompSubType == kCompSubTypeSinglePair)) {
        error = "a deployment is made only after a whole-database comparison.";
        return false;
    }
    // One branch per comparison kind.
    switch (d.CompType) {
    case kCompTypeStructure:
        return PlanStructure(d, plan, error);
    case kCompTypeData:
        plan.Kind = ReplayKind::Data;
        plan.DataAllTables = d.CompSubType == kCompSubTypeDataAllTables;
        plan.DataMode = DataModeOfProcess(d.DataMode);
        return DataPairsOfProcess(d, plan.DataTables, error);
    default:
        error =
            "comparisons of kind " + std::to_string(d.CompType) + " cannot be run by this program.";
        return false;
    }
}

DbCompareRequest WholeDatabaseRequest(const ReplayPlan& plan, DbCompareRequest settings,
                                      const ServerEntry (&servers)[2]) {
    DbCompareRequest request = std::move(settings);
    request.Kind = plan.DbKind;
    request.Details = plan.Details;
    request.Types = plan.Types;
    request.Filter = plan.Filter;
    for (int side = 0; side < 2; ++side) {
        request.Server[side] = servers[side];
        request.Database[side] = plan.Database[side];
        request.Selected[side] = plan.Selected[side];
    }
    return request;
}

DataCompareRequest DataReplayRequest(const ReplayPlan& plan, DataCompareRequest settings,
                                     const ServerEntry (&servers)[2]) {
    DataCompareRequest request = std::move(settings);
    for (int side = 0; side < 2; ++side) {
        request.Place[side].Server = servers[side];
        request.Place[side].Database = plan.Database[side];
    }
    request.AllTables = plan.DataAllTables;
    request.Tables = plan.DataAllTables ? std::vector<DataTablePair>{} : plan.DataTables;
    request.Mode = plan.DataMode;
    request.Filter = plan.Filter;
    return request;
}

std::string DataResultCountsText(const DataCompareResults& r) {
    const auto c = r.PairCounts();
    int64_t total = 0;
    for (int64_t n : c)
        total += n;
    std::string text = std::to_string(total) + (total == 1 ? " table" : " tables") + " compared";
    for (DataPairStatus s :
         {DataPairStatus::Identical, DataPairStatus::Different, DataPairStatus::OnlyInSource,
          DataPairStatus::OnlyInTarget, DataPairStatus::NotComparable})
        if (c[static_cast<size_t>(s)] > 0)
            text += ", " + std::to_string(c[static_cast<size_t>(s)]) + " " + DataPairStatusWord(s);
    return text + ".";
}

std::string OutcomeCountsText(const ReplayOutcome& outcome) {
    if (outcome.Results && outcome.Results->Complete())
        return ResultCountsText(*outcome.Results);
    if (outcome.DataResults && outcome.DataResults->Complete())
        return DataResultCountsText(*outcome.DataResults);
    return "";
}

namespace {

// What a kind of run hands the ending every run shares.
struct ReplayEnding {
    bool complete = false;
    std::string problem; // the results' reason for not completing
    // The problem named when the status says a pair could not be compared.
    std::string notComparable;
    std::function<bool(const std::string& path, std::string& error)> writeExport;
    // Null: printing is not offered here.
    std::function<bool(std::string& error)> print;
};

// After the run, `outcome.Status` set by the exit-status rule: a run that did not complete
// explains why and writes nothing; a complete one is exported and printed as the plan says.
void FinishReplay(const ReplayPlan& plan, const std::string& exportPath, ReportFormat format,
                  const ReplayEnding& ending, ReplayOutcome& outcome) {
    if (!ending.complete) {
        outcome.Status = kReplayExitError;
        outcome.Problem = NotCompletedText(ending.problem);
        if (!exportPath.empty())
            outcome.Problem += " No report was written to " + exportPath +
                               "; an existing file of that name is unchanged.";
        return;
    }
    if (outcome.Status == kReplayExitError)
        outcome.Problem = ending.notComparable;
    if (!exportPath.empty()) {
        std::string error;
        if (!ReplayExportAllowed(exportPath, format, error) ||
            !ending.writeExport(exportPath, error)) {
            outcome.Status = kReplayExitError;
            outcome.Problem = error;
            return;
        }
        outcome.ExportedTo = exportPath;
    }
    if (plan.Print) {
        if (ending.print) {
            std::string error;
            outcome.Printed = ending.print(error);
            if (!outcome.Printed) {
                outcome.Status = kReplayExitError;
                outcome.Problem = "the report could not be printed" +
                                  (error.empty() ? std::string(".") : ": " + error);
            }
        } else {
            outcome.Note = "the process asks for printing, which only the desktop program does.";
        }
    }
}

// The first table that could not be compared, with its reason.
std::string FirstNotComparable(const DataCompareResults& results) {
    for (const DataTableResult& t : results.Tables)
        if (t.Status == DataPairStatus::NotComparable)
            return t.DisplayName() + " is not comparable: " + t.Reason;
    return "a table could not be compared (see the report).";
}

ReplayOutcome RunSavedData(const ReplayPlan& plan, const ReplayServices& services,
                           ServerEntry (&servers)[2], const std::string& exportPath,
                           ReportFormat format, ProgressSink& progress, const CancelToken& cancel) {
    ReplayOutcome outcome;
    if (!services.runData) {
        outcome.Problem = "data comparisons cannot be run here.";
        return outcome;
    }
    DataCompareRequest settings;
    if (services.dataSettings)
        services.dataSettings(settings);
    const DataCompareRequest request = DataReplayRequest(plan, std::move(settings), servers);
    outcome.DataResults = StoppedIfCancelled(services.runData(request, progress, cancel), cancel);
    if (!outcome.DataResults) {
        outcome.Problem = "the comparison gave no results.";
        return outcome;
    }
    const DataCompareResults& results = *outcome.DataResults;
    outcome.Status = DataCompareExitStatus(results, plan.NotComparable);
    ReplayEnding ending;
    ending.complete = results.Complete();
    ending.problem = results.Problem;
    if (ending.complete && outcome.Status == kReplayExitError)
        ending.notComparable = FirstNotComparable(results);
    ending.writeExport = [&](const std::string& path, std::string& error) {
        return WriteExportFile(path, FormatDataCompareReport(results, format, request.RowKeepLimit),
                               error);
    };
    if (services.printData)
        ending.print = [&](std::string& error) { return services.printData(results, error); };
    FinishReplay(plan, exportPath, format, ending, outcome);
    return outcome;
}

} // namespace

namespace {

const char* FormatName(ReportFormat format) {
    return format == ReportFormat::Html ? "HTML" : format == ReportFormat::Csv ? "CSV" : "text";
}

// What an existing file holds, judged by its first characters: 1 HTML, 0 something else,
// -1 no such file (or nothing in it).
int ExistingHoldsHtml(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return -1;
    char head[512];
    in.read(head, sizeof head);
    std::string start(head, static_cast<size_t>(in.gcount()));
    if (start.rfind("\xEF\xBB\xBF", 0) == 0)
        start.erase(0, 3);
    start = ToLowerAscii(TrimWhitespace(start));
    if (start.empty())
        return -1;
    return start.rfind("<!doctype html", 0) == 0 || start.rfind("<html", 0) == 0 ? 1 : 0;
}

} // namespace

bool ReplayExportAllowed(const std::string& path, ReportFormat format, std::string& error) {
    const int32_t byName = ExportTypeOf(path);
    const int32_t wanted = format == ReportFormat::Html  ? kExportHtml
                           : format == ReportFormat::Csv ? kExportCsv
                                                         : 0;
    if (byName != 0 && wanted != 0 && byName != wanted) {
        error = "the process writes its report as " + std::string(FormatName(format)) +
                ", but its export file " + path + " is named as " +
                (byName == kExportCsv ? "a CSV" : "an HTML") +
                " file. Nothing was written; the file is unchanged. Edit the process to "
                "choose a matching file or type.";
        return false;
    }
    const int holdsHtml = ExistingHoldsHtml(path);
    if (holdsHtml >= 0 && (holdsHtml == 1) != (format == ReportFormat::Html)) {
        error = "the export file " + path + " holds " +
                (holdsHtml == 1 ? std::string("an HTML report") : std::string("no HTML")) +
                ", and the process would replace it with " + FormatName(format) +
                ". Nothing was written; the file is unchanged. Move the file away or edit the "
                "process.";
        return false;
    }
    return true;
}

namespace {

// A deploying process: the comparison's report as usual, then the deployment, whose status
// the run takes (a comparison that did not complete deploys nothing).
ReplayOutcome DeployAfter(const ReplayPlan& plan, const DbCompareRequest& request,
                          const ReplayServices& services, const std::string& exportPath,
                          ReportFormat format, ProgressSink& progress, const CancelToken& cancel,
                          ReplayOutcome& outcome) {
    const DbCompareResults& results = *outcome.Results;
    outcome.Status = DbCompareExitStatus(results, plan.NotComparable);
    ReplayEnding ending;
    ending.complete = results.Complete();
    ending.problem = results.Problem;
    ending.notComparable = "an object could not be compared (see the report).";
    ending.writeExport = [&](const std::string& path, std::string& error) {
        return WriteDbCompareReport(results, format, path, error);
    };
    if (services.print)
        ending.print = [&](std::string& error) { return services.print(results, error); };
    FinishReplay(plan, exportPath, format, ending, outcome);
    if (!results.Complete() || !outcome.Problem.empty())
        return outcome;
    if (!services.deploy) {
        outcome.Status = kReplayExitError;
        outcome.Problem = "deployments cannot be run here.";
        return outcome;
    }
    outcome.Status = services.deploy(request, results, plan, progress, cancel, outcome.Problem,
                                     outcome.Deployed);
    return outcome;
}

} // namespace

ReplayOutcome RunSavedProcess(const ReplayPlan& plan, DbCompareRequest settings,
                              const ReplayServices& services, const std::string& exportPath,
                              ReportFormat format, ProgressSink& progress,
                              const CancelToken& cancel) {
    ReplayOutcome outcome;
    ServerEntry servers[2];
    for (int side = 0; side < 2; ++side)
        if (!services.resolveServer(plan.ServerName[side], servers[side], outcome.Problem))
            return outcome;

    if (plan.Kind == ReplayKind::Data)
        return RunSavedData(plan, services, servers, exportPath, format, progress, cancel);
    if (plan.Kind == ReplayKind::SinglePair) {
        if (services.runPair)
            outcome.Results = services.runPair(plan, servers, settings.Options, outcome.Problem);
        else
            outcome.Problem = "single-pair comparisons cannot be run here.";
    } else {
        const DbCompareRequest request = WholeDatabaseRequest(plan, std::move(settings), servers);
        outcome.Results = services.runDb(request, progress, cancel);
        if (!outcome.Results)
            outcome.Problem = "the comparison gave no results.";
        else if (plan.Deploy)
            return DeployAfter(plan, request, services, exportPath, format, progress, cancel,
                               outcome);
    }
    if (!outcome.Results)
        return outcome;
    const DbCompareResults& results = *outcome.Results;
    outcome.Status = DbCompareExitStatus(results, plan.NotComparable);
    ReplayEnding ending;
    ending.complete = results.Complete();
    ending.problem = results.Problem;
    ending.notComparable = "an object could not be compared (see the report).";
    ending.writeExport = [&](const std::string& path, std::string& error) {
        return WriteDbCompareReport(results, format, path, error);
    };
    if (services.print)
        ending.print = [&](std::string& error) { return services.print(results, error); };
    FinishReplay(plan, exportPath, format, ending, outcome);
    return outcome;
}

std::string ReplayLogLine(int32_t number, const ComparisonDescription& d,
                          const ReplayOutcome& outcome) {
    std::string line = "Saved comparison process " + std::to_string(number);
    if (!d.Name.empty())
        line += " (" + d.Name + ")";
    if (d.CompType != 0)
        line += ", " + ComparisonKindText(d) + " " + d.ServerName[0] + "." + d.DbName[0] + " - " +
                d.ServerName[1] + "." + d.DbName[1];
    line += ": ";
    line += OutcomeCountsText(outcome);
    if (!outcome.Problem.empty())
        line += (line.back() == ' ' ? "" : " ") + std::string("Error: ") + outcome.Problem;
    if (!outcome.ExportedTo.empty())
        line += " Exported to " + outcome.ExportedTo + ".";
    if (outcome.Printed)
        line += " Printed.";
    if (!outcome.Deployed.empty())
        line += " " + outcome.Deployed;
    line += " Exit status " + std::to_string(outcome.Status) + ".";
    return ReplaceAll(ReplaceAll(line, "\r\n", " "), "\n", " ");
}

} // namespace orv
