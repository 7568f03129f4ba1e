#include "dbcompare/compare_data_command.h"

#include "dbcompare/data_compare_report.h"
#include "dbcompare/data_sync_script.h"
#include "export/export_file.h"
#include "util/option_words.h"
#include "util/text.h"

#include <algorithm>

namespace orv {

const char* const kCompareDataHelp =
    "Compares the rows of tables in two databases, matching rows on the primary key (else\n"
    "the first unique index without nullable columns, else the key given with --key), and\n"
    "writes a report.\n"
    "\n"
    "  <server1> <db1>         the Source: a stored server (or any server with --login) and\n"
    "                          a database on it\n"
    "  <server2> <db2>         the Target\n"
    "  --tables <list>         the tables to compare, comma-separated, each name or\n"
    "                          schema.name (brackets for names holding '.', ',' or ']');\n"
    "                          default every table of both databases\n"
    "  --key <columns>         comma-separated columns that match the rows of every listed\n"
    "                          table; a key value found more than once is a conflict\n"
    "  --mode merge|hash       merge: both tables read in key order; hash: checksums of key\n"
    "                          ranges first, only differing ranges read (servers with\n"
    "                          HASHBYTES); default hash for tables above 100,000 rows\n"
    "  --format text|csv|html  the report's format; default text\n"
    "  --script <file>         writes the T-SQL that would make the Target's rows equal the\n"
    "                          Source's (never run by this program)\n"
    "  --rows <file>           writes the differing rows as CSV: per table a header record\n"
    "                          table,status,<key columns>,<column> (source),<column> (target)...\n"
    "                          then its rows; NULL is an empty field, an empty text \"\"\n"
    "  --include <pattern>     compares only the tables matching a pattern (repeatable)\n"
    "  --exclude <pattern>     leaves out the tables matching a pattern (repeatable); a\n"
    "                          table matching both is left out. A pattern is\n"
    "                          [schema.]name with * and ?, letter case ignored (a name\n"
    "                          without schema matches in every schema)\n"
    "  --not-comparable error|report\n"
    "                          error (default): a table that cannot be compared makes the\n"
    "                          exit status 2; report: it is listed, the others decide\n"
    "  --login <name>          connects to both servers with this SQL Server login\n"
    "  --password-file <file>  the login's password is the first line of this file\n"
    "  --encryption <mode>     request, require or off: TLS to every server of the run,\n"
    "                          in place of what the stored servers say\n"
    "  --ca-file <file>        every server's certificate must be signed by a CA in this\n"
    "                          PEM file and made out to the server's name (implies\n"
    "                          require)\n"
    "  --help                  this text\n"
    "\n"
    "The CSV report has the header record\n"
    "  table,status,compared_rows,identical,different,only_in_source,only_in_target\n"
    "and one record per table pair; table is schema.name and status is identical,\n"
    "different, not comparable, only in source or only in target.\n"
    "\n"
    "Letter case counts as the Options dialog's case setting says; columns on the\n"
    "data-comparison ignore lists are left out. The --script and --rows files appear only\n"
    "when the comparison completes. Ctrl-C stops the comparison.\n"
    "\n"
    "Exit status: 0 every compared row is identical, 1 rows differ or a table exists on one\n"
    "side only, 2 error (wrong arguments, a server or file failure, a table not comparable\n"
    "unless --not-comparable report, or a comparison that did not complete).\n";

namespace {

// Hands every differing row to both writers.
class TeeRowSink final : public DataRowSink {
public:
    void Add(DataRowSink* sink) {
        if (sink)
            sinks_.push_back(sink);
    }
    bool Empty() const { return sinks_.empty(); }
    void BeginPair(const DataTableResult& p) override {
        for (DataRowSink* s : sinks_)
            s->BeginPair(p);
    }
    void Row(const DataTableResult& p, const DataRowDiff& r) override {
        for (DataRowSink* s : sinks_)
            s->Row(p, r);
    }
    void EndPair(const DataTableResult& p) override {
        for (DataRowSink* s : sinks_)
            s->EndPair(p);
    }

private:
    std::vector<DataRowSink*> sinks_;
};

} // namespace

bool ParseNameList(const std::string& list, bool qualified,
                   std::vector<std::vector<std::string>>& names, std::string& error) {
    names.clear();
    std::vector<std::string> parts;
    std::string part;
    bool bracketed = false, any = false;
    auto endPart = [&] {
        parts.push_back(bracketed ? part : Trim(part));
        part.clear();
        bracketed = false;
    };
    auto endName = [&]() -> bool {
        endPart();
        for (const std::string& p : parts)
            if (p.empty()) {
                error = "the list '" + list + "' has an empty name";
                return false;
            }
        if (parts.size() > (qualified ? 2u : 1u)) {
            error = "'" + list + "' has a name with too many parts";
            return false;
        }
        names.push_back(parts);
        parts.clear();
        return true;
    };
    for (size_t i = 0; i < list.size(); ++i) {
        const char c = list[i];
        any = true;
        if (c == '[' && Trim(part).empty()) {
            size_t j = i + 1;
            std::string name;
            for (; j < list.size(); ++j) {
                if (list[j] == ']') {
                    if (j + 1 < list.size() && list[j + 1] == ']') {
                        name += ']';
                        ++j;
                        continue;
                    }
                    break;
                }
                name += list[j];
            }
            if (j >= list.size()) {
                error = "'" + list + "' has an unclosed bracket";
                return false;
            }
            part = name;
            bracketed = true;
            i = j;
        } else if (c == '.' && qualified && !bracketed) {
            endPart();
        } else if (c == '.' && bracketed) {
            endPart();
        } else if (c == ',') {
            if (!endName())
                return false;
        } else if (bracketed) {
            if (c != ' ') {
                error = "'" + list + "' has text after a bracketed name";
                return false;
            }
        } else {
            part += c;
        }
    }
    if (!any) {
        error = "the list is empty";
        return false;
    }
    return endName();
}

bool ParseCompareDataArgs(const std::vector<std::string>& words, CompareDataArgs& args,
                          std::string& error) {
    args = CompareDataArgs{};
    if (std::any_of(words.begin(), words.end(),
                    [](const std::string& w) { return w == "--help" || w == "-h"; })) {
        args.Help = true;
        return true;
    }
    std::vector<std::string> positional;
    bool tablesGiven = false, keyGiven = false, modeGiven = false, formatGiven = false,
         scriptGiven = false, rowsGiven = false, policyGiven = false, triggersGiven = false;
    OptionWords reader(words);
    while (reader.Next()) {
        const std::string& w = reader.Word();
        const std::string& name = reader.Name();
        std::string v;
        const int filterWord =
            ReadFilterOption(reader, args.Filter, args.NotComparable, policyGiven, error);
        const int loginWord = filterWord == 0 ? ReadLoginOption(reader, args, error) : 0;
        if (filterWord < 0 || loginWord < 0)
            return false;
        if (loginWord > 0)
            continue;
        if (filterWord > 0) {
            if (name == "--not-comparable")
                continue;
            const std::string& last =
                (name == "--include" ? args.Filter.Include : args.Filter.Exclude).back();
            ObjectPattern pattern;
            if (ParseObjectPattern(last, pattern, error) && pattern.Type != kTypeNone &&
                pattern.Type != kTypeTable) {
                error = name + " '" + last + "': compare-data compares tables only";
                return false;
            }
            continue;
        } else if (name == "--tables") {
            std::vector<std::vector<std::string>> names;
            if (!reader.Once(tablesGiven, error) || !reader.Value(v, error) ||
                !ParseNameList(v, true, names, error))
                return false;
            for (const auto& n : names) {
                DataTablePair pair;
                for (int s = 0; s < 2; ++s) {
                    pair.Schema[s] = n.size() == 2 ? n[0] : "";
                    pair.Name[s] = n.back();
                }
                args.Tables.push_back(std::move(pair));
            }
        } else if (name == "--key") {
            std::vector<std::vector<std::string>> names;
            if (!reader.Once(keyGiven, error) || !reader.Value(v, error) ||
                !ParseNameList(v, false, names, error))
                return false;
            for (const auto& n : names)
                args.Key.push_back(n[0]);
        } else if (name == "--mode") {
            if (!reader.Once(modeGiven, error) || !reader.Value(v, error))
                return false;
            const std::string m = ToLowerAscii(v);
            if (m == "merge")
                args.Mode = DataCompareMode::Merge;
            else if (m == "hash")
                args.Mode = DataCompareMode::Hash;
            else {
                error = "unknown mode '" + v + "' (merge or hash)";
                return false;
            }
        } else if (name == "--format") {
            if (!reader.Once(formatGiven, error) || !reader.Value(v, error))
                return false;
            if (!ParseReportFormat(v, args.Format)) {
                error = "unknown format '" + v + "' (text, csv or html)";
                return false;
            }
        } else if (name == "--script" || name == "--rows") {
            bool& given = name == "--script" ? scriptGiven : rowsGiven;
            std::string& file = name == "--script" ? args.Script : args.Rows;
            if (!reader.Once(given, error) || !reader.Value(file, error))
                return false;
            if (file.empty()) {
                error = name + " needs a file name";
                return false;
            }
        } else if (name == "--keep-triggers" || name == "--disable-triggers") {
            if (reader.HasInlineValue()) {
                error = name + " takes no value";
                return false;
            }
            if (triggersGiven) {
                error = "give --keep-triggers or --disable-triggers once";
                return false;
            }
            triggersGiven = true;
            args.DisableTriggers = name == "--disable-triggers";
        } else if (w.size() > 1 && w[0] == '-') {
            error = "unknown option " + name;
            return false;
        } else {
            positional.push_back(w);
        }
    }
    if (!CheckLoginOptions(args, error))
        return false;
    if (!args.Key.empty() && args.Tables.empty()) {
        error = "--key needs --tables (a key is chosen for the tables it names)";
        return false;
    }
    if (positional.size() != 4) {
        error = "expected 4 arguments (<server1> <db1> <server2> <db2>), got " +
                std::to_string(positional.size());
        return false;
    }
    if (std::any_of(positional.begin(), positional.end(),
                    [](const std::string& p) { return p.empty(); })) {
        error = "arguments may not be empty";
        return false;
    }
    for (DataTablePair& t : args.Tables)
        t.Key = args.Key;
    args.Server[0] = positional[0];
    args.Db[0] = positional[1];
    args.Server[1] = positional[2];
    args.Db[1] = positional[3];
    return true;
}

int RunCompareDataOn(const CompareDataArgs& args, DataCompareRequest settings,
                     const CompareDataServices& services, ProgressSink& progress,
                     const CancelToken& cancel, std::ostream& out, std::ostream& err) {
    const char* const prefix = "orvane-cli compare-data: ";
    DataCompareRequest request = std::move(settings);
    for (int p = 0; p < 2; ++p) {
        std::string error;
        if (!services.resolveServer(args.Server[p], request.Place[p].Server, error)) {
            err << prefix << error << '\n';
            return kCompareDataExitError;
        }
        request.Place[p].Database = args.Db[p];
    }
    request.AllTables = args.Tables.empty();
    request.Tables = args.Tables;
    request.Mode = args.Mode;
    request.Filter = args.Filter;
    if (args.DisableTriggers)
        request.Sync.DisableTriggers = *args.DisableTriggers;

    // Both wait in temporary files while the run goes on, so memory stays bounded however many
    // rows differ; the files named are written only when the run completed.
    SyncScriptWriter script(true);
    DataRowsCsvWriter rows(true);
    TeeRowSink tee;
    tee.Add(args.Script.empty() ? nullptr : &script);
    tee.Add(args.Rows.empty() ? nullptr : &rows);
    request.RowSink = tee.Empty() ? nullptr : &tee;

    const DataCompareResultsPtr results =
        StoppedIfCancelled(services.run(request, progress, cancel), cancel);
    if (!results) {
        err << prefix << "the comparison gave no results.\n";
        return kCompareDataExitError;
    }
    int status = DataCompareExitStatus(*results, args.NotComparable);
    for (const DataTableResult& t : results->Tables)
        if (t.Status == DataPairStatus::NotComparable)
            err << prefix << t.DisplayName() << " is not comparable: " << t.Reason
                << (args.NotComparable == NotComparablePolicy::Report ? " (reported only)" : "")
                << '\n';
    if (!results->Complete()) {
        err << prefix << NotCompletedText(results->Problem) << '\n';
        for (const std::string* file : {&args.Script, &args.Rows})
            if (!file->empty())
                err << prefix << "nothing was written to " << *file
                    << "; an existing file of that name is unchanged.\n";
    } else {
        std::string error;
        if (!args.Script.empty() && !StreamExportFile(
                                        args.Script,
                                        [&](const auto& write) {
                                            return script.WriteScript(write, *results,
                                                                      request.Sync);
                                        },
                                        script.SpoolProblem(), error)) {
            err << prefix << error << '\n';
            status = kCompareDataExitError;
        }
        if (!args.Rows.empty() &&
            !StreamExportFile(
                args.Rows, [&](const auto& write) { return rows.WriteTo(write); },
                rows.SpoolProblem(), error)) {
            err << prefix << error << '\n';
            status = kCompareDataExitError;
        }
    }
    out << FormatDataCompareReport(*results, args.Format, request.RowKeepLimit);
    out.flush();
    if (!out) {
        err << prefix << "the report could not be written to standard output.\n";
        return kCompareDataExitError;
    }
    return status;
}

} // namespace orv
