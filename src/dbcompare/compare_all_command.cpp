#include "dbcompare/compare_all_command.h"

#include "util/option_words.h"
#include "util/text.h"

#include <algorithm>

namespace orv {

namespace {

// A refused script as the person finds it: the path under the folder they named.
std::string JoinFolderPath(const std::string& folder, const FolderScriptFailure& f) {
    FolderScriptFailure shown = f;
    shown.Object.Path =
        (folder.empty() || folder.back() == '/' ? folder : folder + "/") + f.Object.Path;
    return FolderFailureText(shown);
}

} // namespace

const char* const kCompareAllHelp =
    "Compares every object of the chosen types in two databases as the desktop program's\n"
    "Compare All Objects does (pairs by schema and name; each pair judged with the comparison\n"
    "settings of the Options dialog) and writes the report.\n"
    "\n"
    "  <server1> <db1>         the Source: a stored server (or any server with --login) and\n"
    "                          a database on it\n"
    "  <server2> <db2>         the Target\n"
    "  snapshot:<file>         either side may be a snapshot file (written by 'orvane-cli\n"
    "                          snapshot' or --snapshot-out) in place of <server> <db>: the\n"
    "                          database as it was when the snapshot was taken. A comparison\n"
    "                          with a snapshot reads every text in full\n"
    "  folder:<dir>            either side may be a scripts folder (written by 'orvane-cli\n"
    "                          script-folder'): its scripts are run in a scratch database of\n"
    "                          an orvane-sqlsim started for the purpose, in the version mode\n"
    "                          its manifest names, and that database is compared. A script\n"
    "                          the simulator refuses is reported with its file and line, and\n"
    "                          its object is not comparable\n"
    "  --types <list>          the types to compare, comma-separated: tables, procedures,\n"
    "                          functions, views, triggers, relationships, constraints (or\n"
    "                          their codes 50, 10, 20, 30, 40, 60, 80); default all seven\n"
    "  --details               the text and HTML reports add, for every different object, its\n"
    "                          differing lines with their line numbers on each side\n"
    "  --format text|csv|html  the report's format; default text\n"
    "  --output <file>         writes the report to <file> instead of standard output; the\n"
    "                          file appears (or replaces an existing one) only when the whole\n"
    "                          report is written\n"
    "  --include <pattern>     compares only the objects matching a pattern (repeatable)\n"
    "  --exclude <pattern>     leaves out the objects matching a pattern (repeatable); an\n"
    "                          object matching both is left out. A pattern is\n"
    "                          [TYPE:][schema.]name with * (any run) and ? (one character),\n"
    "                          letter case ignored; TYPE is a --types word; a name without\n"
    "                          schema matches in every schema: --exclude procedures:sales.*\n"
    "  --not-comparable error|report\n"
    "                          error (default): an object that cannot be compared (e.g.\n"
    "                          encrypted) makes the exit status 2; report: it is listed in the\n"
    "                          report and on standard error, and the other objects decide\n"
    "                          the exit status\n"
    "  --reading auto|full|hash-first\n"
    "                          how procedure, function, view and trigger texts are read:\n"
    "                          full reads every text; hash-first reads a fingerprint of\n"
    "                          each text first and the texts only where the fingerprints\n"
    "                          differ or the object is on one side only (much less to\n"
    "                          transfer from a distant server), the same verdicts either\n"
    "                          way; auto (the default, or the CompareReading setting) is\n"
    "                          hash-first where both servers can fingerprint (SQL Server\n"
    "                          2005 and later). SQL Server 2000 is always read in full\n"
    "  --snapshot-out <file>   also writes a snapshot of the Target database, taken as it is\n"
    "                          compared, to <file> (all or nothing; only when the comparison\n"
    "                          completes), to compare against tomorrow\n"
    "  --login <name>          connects to both servers with this SQL Server login\n"
    "  --password-file <file>  the login's password is the first line of this file\n"
    "  --encryption <mode>     request, require or off: TLS to every server of the run,\n"
    "                          in place of what the stored servers say\n"
    "  --ca-file <file>        every server's certificate must be signed by a CA in this\n"
    "                          PEM file and made out to the server's name (implies\n"
    "                          require)\n"
    "  --help                  this text\n"
    "\n"
    "Without --password-file the login's password is taken from the environment variable\n"
    "ORVANE_PASSWORD. --complete-scripts or --no-complete-scripts, and --ignore-system-names\n"
    "or --no-ignore-system-names, turn the settings 'Complete table scripts' and 'Ignore\n"
    "system-generated constraint names' on or off for this run (both are on by default).\n"
    "--classic-line-matching finds the differing lines (their counts and the details) with\n"
    "the classic 20-line look-ahead instead of over the whole texts.\n"
    "\n"
    "The CSV has the header record\n"
    "  type,schema,name,status,source_modified,target_modified,differing_lines,note,reading\n"
    "and one record per object; status is identical, different, only in source, only in\n"
    "target or not comparable. The note says why an object was not comparable and that\n"
    "columns were left out of a table's comparison; reading is full or hash-first, as the\n"
    "object's texts were read.\n"
    "\n"
    "Progress is shown on standard error when it is a terminal; Ctrl-C stops the comparison.\n"
    "A comparison that does not complete (stopped, or a server failure part way) never\n"
    "writes or replaces the --output file. Without --output its report goes to standard\n"
    "output marked as incomplete (in the CSV by a first record\n"
    "'incomplete,stopped|failed,<reason>,incomplete,,,,,').\n"
    "\n"
    "Exit status: 0 every object is identical, 1 an object differs or exists on one side\n"
    "only, 2 error (wrong arguments, a server or file failure, an object not comparable\n"
    "unless --not-comparable report, or a comparison that did not complete).\n";

bool ParseObjectTypeList(const std::string& list, std::vector<ObjectType>& types,
                         std::string& error) {
    std::vector<bool> wanted(std::size(kSelectorTypeOrder), false);
    for (const std::string& word : Split(list, ",")) {
        const std::string w = Trim(word);
        const std::optional<ObjectType> type = ParseObjectType(w);
        if (w.empty() || !type) {
            error = w.empty() ? "--types has an empty entry" : "unknown object type '" + w + "'";
            return false;
        }
        for (size_t i = 0; i < std::size(kSelectorTypeOrder); ++i)
            if (kSelectorTypeOrder[i] == *type)
                wanted[i] = true;
    }
    types.clear();
    for (size_t i = 0; i < std::size(kSelectorTypeOrder); ++i)
        if (wanted[i])
            types.push_back(kSelectorTypeOrder[i]);
    return true;
}

bool ParseCompareAllArgs(const std::vector<std::string>& words, CompareAllArgs& args,
                         std::string& error) {
    args = CompareAllArgs{};
    args.Types.assign(std::begin(kSelectorTypeOrder), std::end(kSelectorTypeOrder));
    if (std::any_of(words.begin(), words.end(),
                    [](const std::string& w) { return w == "--help" || w == "-h"; })) {
        args.Help = true;
        return true;
    }
    std::vector<std::string> positional;
    bool typesGiven = false, formatGiven = false, outputGiven = false, policyGiven = false,
         readingGiven = false, snapshotOutGiven = false;
    OptionWords reader(words);
    while (reader.Next()) {
        const std::string& name = reader.Name();
        std::string v;
        const int filterWord =
            ReadFilterOption(reader, args.Filter, args.NotComparable, policyGiven, error);
        const int loginWord = filterWord == 0 ? ReadLoginOption(reader, args, error) : 0;
        if (filterWord < 0 || loginWord < 0)
            return false;
        if (filterWord > 0 || loginWord > 0) {
            continue;
        } else if (name == "--details" && !reader.HasInlineValue()) {
            args.Details = true;
        } else if (name == "--types") {
            if (!reader.Once(typesGiven, error) || !reader.Value(v, error) ||
                !ParseObjectTypeList(v, args.Types, error))
                return false;
        } else if (name == "--snapshot-out") {
            if (!reader.Once(snapshotOutGiven, error) || !reader.Value(args.SnapshotOut, error))
                return false;
            if (args.SnapshotOut.empty()) {
                error = "--snapshot-out needs a file name";
                return false;
            }
        } else if (name == "--format") {
            if (!reader.Once(formatGiven, error) || !reader.Value(v, error))
                return false;
            if (!ParseReportFormat(v, args.Format)) {
                error = "unknown format '" + v + "' (text, csv or html)";
                return false;
            }
        } else {
            const int shared = ReadRunOption(reader, args.Reading, readingGiven, args.Output,
                                             outputGiven, positional, error);
            if (shared < 0)
                return false;
        }
    }
    if (!CheckLoginOptions(args, error) ||
        !TakeTwoSidesOrSnapshots(positional, args.Server, args.Db, args.Snapshot, args.Folder,
                                 error))
        return false;
    if (!args.SnapshotOut.empty() && (!args.Snapshot[1].empty() || !args.Folder[1].empty())) {
        error = "--snapshot-out needs a database as the Target, not a snapshot or folder";
        return false;
    }
    return true;
}

bool TakeTwoSidesOrSnapshots(const std::vector<std::string>& positional, std::string (&server)[2],
                             std::string (&db)[2], std::string (&snapshot)[2],
                             std::string (&folder)[2], std::string& error) {
    const std::string snapshotPrefix = kSnapshotSidePrefix;
    const std::string folderPrefix = kFolderSidePrefix;
    const auto isFileSide = [&](const std::string& p) {
        return p.rfind(snapshotPrefix, 0) == 0 || p.rfind(folderPrefix, 0) == 0;
    };
    for (int side = 0; side < 2; ++side) {
        snapshot[side].clear();
        folder[side].clear();
    }
    // Without a snapshot or folder the line is the classic four words, and says so when it is
    // not.
    if (std::none_of(positional.begin(), positional.end(), isFileSide))
        return TakeTwoSides(positional, server, db, error);
    size_t at = 0;
    for (int side = 0; side < 2; ++side) {
        server[side].clear();
        db[side].clear();
        if (at < positional.size() && isFileSide(positional[at])) {
            const std::string& word = positional[at++];
            const bool isFolder = word.rfind(folderPrefix, 0) == 0;
            std::string& target = isFolder ? folder[side] : snapshot[side];
            target = word.substr(isFolder ? folderPrefix.size() : snapshotPrefix.size());
            if (target.empty()) {
                error = isFolder ? "folder: needs a folder name" : "snapshot: needs a file name";
                return false;
            }
            continue;
        }
        if (at + 2 > positional.size())
            break;
        server[side] = positional[at++];
        db[side] = positional[at++];
        if (server[side].empty() || db[side].empty()) {
            error = "arguments may not be empty";
            return false;
        }
    }
    if (at != positional.size() || (snapshot[1].empty() && folder[1].empty() && db[1].empty())) {
        error = "expected two sides, each <server> <db>, snapshot:<file> or folder:<dir>, got " +
                std::to_string(positional.size()) + " arguments";
        return false;
    }
    return true;
}

int ReadRunOption(OptionWords& reader, std::optional<CompareReading>& reading, bool& readingGiven,
                  std::string& output, bool& outputGiven, std::vector<std::string>& positional,
                  std::string& error) {
    const std::string& w = reader.Word();
    const std::string& name = reader.Name();
    std::string v;
    if (name == "--reading") {
        if (!reader.Once(readingGiven, error) || !reader.Value(v, error))
            return -1;
        reading = ParseCompareReading(v);
        if (!reading) {
            error = "unknown reading '" + v + "' (auto, full or hash-first)";
            return -1;
        }
    } else if (name == "--output") {
        if (!reader.Once(outputGiven, error) || !reader.Value(output, error))
            return -1;
        if (output.empty()) {
            error = "--output needs a file name";
            return -1;
        }
        if (output == "-")
            output.clear();
    } else if (w.size() > 1 && w[0] == '-') {
        // Only the option's name: a mistyped option may carry a secret after its "=".
        error = "unknown option " + name;
        return -1;
    } else {
        positional.push_back(w);
    }
    return 1;
}

bool TakeTwoSides(const std::vector<std::string>& positional, std::string (&server)[2],
                  std::string (&db)[2], std::string& error) {
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
    server[0] = positional[0];
    db[0] = positional[1];
    server[1] = positional[2];
    db[1] = positional[3];
    return true;
}

int RunCompareAllOn(const CompareAllArgs& args, DbCompareRequest settings,
                    const CompareAllServices& services, ProgressSink& progress,
                    const CancelToken& cancel, std::ostream& out, std::ostream& err) {
    const char* const prefix = "orvane-cli compare-all: ";
    DbCompareRequest request = std::move(settings);
    request.Kind = args.Types.size() == 1 ? DbCompareKind::Bulk : DbCompareKind::All;
    request.Details = args.Details;
    request.Types = args.Types;
    request.Filter = args.Filter;
    if (args.Reading)
        request.Reading = *args.Reading;
    std::vector<FolderScriptFailure> folderFailures[2];
    for (int p = 0; p < 2; ++p) {
        std::string error;
        if (!args.Snapshot[p].empty()) {
            auto snapshot = std::make_shared<CatalogSnapshot>();
            if (!ReadSnapshotFile(args.Snapshot[p], *snapshot, error)) {
                err << prefix << error << '\n';
                return kCompareAllExitError;
            }
            // Named as the database it was taken of, so that database's ignored columns hold.
            request.Server[p] = ServerEntry{};
            request.Server[p].Name = snapshot->Header.Server;
            request.Server[p].Version = snapshot->Header.VersionText;
            request.Server[p].VersionMajor = snapshot->Header.VersionMajor;
            request.Database[p] = snapshot->Header.Database;
            request.SnapshotFile[p] = args.Snapshot[p];
            request.Snapshot[p] = std::move(snapshot);
            continue;
        }
        if (!args.Folder[p].empty()) {
            ScriptFolderRead read;
            if (!services.readFolder ||
                !services.readFolder(args.Folder[p], progress, cancel, read, error)) {
                err << prefix << error << '\n';
                return kCompareAllExitError;
            }
            for (const FolderScriptFailure& f : read.Failures)
                err << prefix << "script refused: " << JoinFolderPath(args.Folder[p], f) << '\n';
            request.Server[p] = ServerEntry{};
            request.Server[p].Name = read.Snapshot->Header.Server;
            request.Server[p].Version = read.Snapshot->Header.VersionText;
            request.Server[p].VersionMajor = read.Snapshot->Header.VersionMajor;
            request.Database[p] = read.Snapshot->Header.Database;
            request.SnapshotFile[p] = args.Folder[p];
            request.Snapshot[p] = read.Snapshot;
            folderFailures[p] = std::move(read.Failures);
            continue;
        }
        if (!services.resolveServer(args.Server[p], request.Server[p], error)) {
            err << prefix << error << '\n';
            return kCompareAllExitError;
        }
        request.Database[p] = args.Db[p];
    }

    request.KeepSnapshot[1] = !args.SnapshotOut.empty();

    DbCompareResultsPtr results = services.run(request, progress, cancel);
    if (!results) {
        err << prefix << "the comparison gave no results.\n";
        return kCompareAllExitError;
    }
    if (!folderFailures[0].empty() || !folderFailures[1].empty()) {
        auto marked = std::make_shared<DbCompareResults>(*results);
        for (int p = 0; p < 2; ++p)
            MarkFolderFailures(*marked, p, folderFailures[p]);
        results = std::move(marked);
    }
    int status = DbCompareExitStatus(*results, args.NotComparable);
    if (!args.SnapshotOut.empty() && results->Complete()) {
        std::string error;
        if (!results->SnapshotTaken[1]) {
            err << prefix << "no snapshot was written to " << args.SnapshotOut << ": "
                << results->SnapshotProblem << '\n';
            status = kCompareAllExitError;
        } else if (!WriteSnapshotFile(args.SnapshotOut, *results->SnapshotTaken[1], error)) {
            err << prefix << error << '\n';
            status = kCompareAllExitError;
        }
    } else if (!args.SnapshotOut.empty()) {
        err << prefix << "no snapshot was written to " << args.SnapshotOut << ".\n";
    }
    if (results->Complete() && args.NotComparable == NotComparablePolicy::Report)
        for (const PairVerdict& v : results->Pairs)
            if (v.Status == PairStatus::NotComparable)
                err << prefix << "not comparable (reported only): "
                    << ToLowerAscii(GetObjectTypeName(v.Type, true)) << " "
                    << (v.HasSource ? v.Source : v.Target).Schema << "."
                    << (v.HasSource ? v.Source : v.Target).Name << " (" << v.Reason << ")\n";
    progress.Note(ResultCountsText(*results));

    if (!results->Complete()) {
        err << prefix << NotCompletedText(results->Problem) << '\n';
        if (!args.Output.empty()) {
            err << prefix << "no report was written to " << args.Output
                << "; an existing file of that name is unchanged.\n";
            return status;
        }
    }
    // A run that did not complete reaches here only without --output.
    if (args.Output.empty()) {
        out << FormatDbCompareReport(*results, args.Format, LineBreaks::Lf);
        out.flush();
        if (!out) {
            err << prefix << "the report could not be written to standard output.\n";
            return kCompareAllExitError;
        }
        return status;
    }
    std::string error;
    if (!WriteDbCompareReport(*results, args.Format, args.Output, error, LineBreaks::Lf)) {
        err << prefix << error << '\n';
        return kCompareAllExitError;
    }
    return status;
}

} // namespace orv
