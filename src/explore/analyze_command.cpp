#include "explore/analyze_command.h"

#include "explore/analysis_report.h"
#include "util/progress.h"
#include "util/text.h"

#include <algorithm>

namespace orv {

const char* const kAnalyzeHelp =
    "Profiles the data of one table as the desktop program's Data Analyzer does: for every\n"
    "column the number of rows, of NULLs and of distinct values, the smallest and largest\n"
    "value and, for character and binary data, the average and largest length. Every figure\n"
    "is computed by the server; no row of the table is fetched. Columns on the table's\n"
    "analysis ignore list are left out.\n"
    "\n"
    "  <server>               a stored server\n"
    "  <database>             a database on it\n"
    "  <table>                the table's name as listed (schema.name is understood)\n"
    "  --format text|csv      the output's format; default text (aligned columns)\n"
    "  --help                 this text\n"
    "\n"
    "Both formats have one row per column with the fields\n"
    "  column,rows,nulls,distinct,min,max,avg_len,max_len\n"
    "(the CSV has that header record). A figure the column's type does not allow (MIN of a\n"
    "text column, lengths of a number) is empty. Lengths count characters for char, varchar,\n"
    "nchar and nvarchar (trailing blanks not counted) and bytes for binary, text, ntext and\n"
    "image data.\n"
    "\n"
    "Progress is shown on standard error when it is a terminal; Ctrl-C stops the analysis.\n"
    "\n"
    "Exit status: 0 analyzed, 1 no such table, 2 error (wrong arguments, a server failure, or\n"
    "an analysis that was stopped).\n";

bool ParseAnalyzeArgs(const std::vector<std::string>& words, AnalyzeArgs& args,
                      std::string& error) {
    args = AnalyzeArgs{};
    if (std::any_of(words.begin(), words.end(),
                    [](const std::string& w) { return w == "--help" || w == "-h"; })) {
        args.Help = true;
        return true;
    }
    std::vector<std::string> positional;
    bool formatGiven = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        const size_t eq = w.find('=');
        const std::string name = w.rfind("--", 0) == 0 ? w.substr(0, eq) : w;
        if (name == "--format") {
            if (formatGiven) {
                error = "--format is given twice";
                return false;
            }
            formatGiven = true;
            std::string v;
            if (eq != std::string::npos) {
                v = w.substr(eq + 1);
            } else if (i + 1 < words.size()) {
                v = words[++i];
            } else {
                error = "--format needs a value";
                return false;
            }
            const std::string f = ToLowerAscii(v);
            if (f != "text" && f != "txt" && f != "csv") {
                error = "unknown format '" + v + "' (text or csv)";
                return false;
            }
            args.Csv = f == "csv";
        } else if (w.size() > 1 && w[0] == '-') {
            error = "unknown option " + name;
            return false;
        } else {
            positional.push_back(w);
        }
    }
    if (positional.size() != 3) {
        error = "expected 3 arguments (<server> <database> <table>), got " +
                std::to_string(positional.size());
        return false;
    }
    if (std::any_of(positional.begin(), positional.end(),
                    [](const std::string& p) { return p.empty(); })) {
        error = "arguments may not be empty";
        return false;
    }
    args.Server = positional[0];
    args.Database = positional[1];
    args.Table = positional[2];
    return true;
}

int RunAnalyzeOn(const AnalyzeArgs& args, int32_t timeoutSeconds, const AnalyzeServices& services,
                 ProgressSink& progress, const CancelToken& cancel, std::ostream& out,
                 std::ostream& err) {
    AnalysisRequest request;
    std::string error;
    if (!services.resolveServer(args.Server, request.Place.Server, error)) {
        err << "orvane-cli analyze: " << error << '\n';
        return kAnalyzeExitError;
    }
    request.Place.Database = args.Database;
    request.Place.TimeoutSeconds = timeoutSeconds;
    request.TableName = args.Table;
    if (services.ignoredColumns)
        request.Ignored = services.ignoredColumns(request.Place.Server, args.Database, args.Table);
    const AnalysisResultsPtr results = services.run(request, progress, cancel);
    // A statement that fails once Ctrl-C was pressed (cut off, or timed out while the run was
    // stopping) ends a stopped run, not a failed one.
    const bool stopped = results->Outcome == RunOutcome::Cancelled ||
                         (results->Outcome == RunOutcome::Failed && cancel.cancelRequested());
    if (!stopped && results->Outcome == RunOutcome::Failed && results->Columns.empty() &&
        results->Failure.rfind("Table ", 0) == 0) {
        err << "orvane-cli analyze: " << results->Failure << '\n';
        return kAnalyzeExitNoTable;
    }
    out << (args.Csv ? AnalysisCsv(*results, false) : AnalysisText(*results));
    out.flush();
    if (stopped) {
        err << "orvane-cli analyze: " << kStoppedByUser << ' ' << results->Columns.size()
            << " column(s) analyzed.\n";
        return kAnalyzeExitError;
    }
    if (results->Outcome == RunOutcome::Failed) {
        err << "orvane-cli analyze: " << ReplaceAll(results->Failure, "\r\n", "\n") << '\n';
        return kAnalyzeExitError;
    }
    return kAnalyzeExitDone;
}

} // namespace orv
