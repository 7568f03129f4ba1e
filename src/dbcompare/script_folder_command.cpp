#include "dbcompare/script_folder_command.h"

#include "catalog/catalog_snapshot.h"
#include "dbcompare/compare_all_command.h"
#include "servers/exec_ado_cmd.h"
#include "util/option_words.h"

#include <algorithm>

namespace orv {

const char* const kScriptFolderHelp =
    "Writes a database (or a snapshot of one) as a scripts folder: one runnable T-SQL script\n"
    "per object, for source control. The folder can be compared like a database\n"
    "('orvane-cli compare-all' with folder:<folder> in place of a side's <server> <db>) and\n"
    "deployed from ('orvane-cli deploy-script folder:<folder> ...').\n"
    "\n"
    "  <server> <db>           a stored server (or any server with --login) and a database\n"
    "  snapshot:<file>         a snapshot file ('orvane-cli snapshot') in place of <server>\n"
    "                          <db>: the folder is written as the database was when the\n"
    "                          snapshot was taken, for the server version it names; no\n"
    "                          server is needed (a snapshot of an earlier release has no\n"
    "                          user-defined data types to write, and a table outside dbo\n"
    "                          may lose its identity seed)\n"
    "  <folder>                the folder (made when missing)\n"
    "  --line-breaks lf|crlf   the scripts' line breaks; default lf\n"
    "  --login <name>          connects with this SQL Server login\n"
    "  --password-file <file>  the login's password is the first line of this file\n"
    "  --encryption <mode>     request, require or off: TLS to the server, in place of what\n"
    "                          the stored server says\n"
    "  --help                  this text\n"
    "\n"
    "Layout: Schemas/, Types/, Tables/, Relationships/, Functions/, Views/, Procedures/ and\n"
    "Triggers/, one file <schema>.<name>.sql per object (Tables/dbo.Customers.sql), UTF-8,\n"
    "with no time stamp inside: an unchanged object gives a byte-identical file, so a diff\n"
    "shows only real changes. Tables are written with their complete scripts (indexes, keys,\n"
    "defaults, CHECK constraints; names the server generated are left for it to generate\n"
    "again). The manifest orvane-folder.txt names the server version the scripts are written\n"
    "for, the options used and every file written; writing the folder again replaces each\n"
    "file atomically and removes the files of objects that no longer exist (only files the\n"
    "manifest names: other files are never touched). Encrypted modules get no file; they are\n"
    "named on standard error.\n"
    "\n"
    "File names: in a name, '%', '/', '\\', ':', '*', '?', '\"', '<', '>', '|', '~', control\n"
    "characters and DEL are written %XX (hexadecimal), and so is '.' in the schema part. A\n"
    "file name over 255 bytes is cut (at a character boundary) and ends in ~ and 16\n"
    "hexadecimal digits of a hash of the exact schema and name; names that differ only in\n"
    "letter case get that suffix too, so the folder also works on a file system that ignores\n"
    "case.\n"
    "\n"
    "Tables are scripted from one query each for all columns, index rows and constraints.\n"
    "\n"
    "Without --password-file the login's password is taken from the environment variable\n"
    "ORVANE_PASSWORD. Ctrl-C stops the reading; nothing is written then.\n"
    "\n"
    "Exit status: 0 the folder was written, 2 error (wrong arguments, a server failure, a\n"
    "file that could not be written, or stopped).\n";

bool ParseScriptFolderArgs(const std::vector<std::string>& words, ScriptFolderArgs& args,
                           std::string& error) {
    args = ScriptFolderArgs{};
    if (std::any_of(words.begin(), words.end(),
                    [](const std::string& w) { return w == "--help" || w == "-h"; })) {
        args.Help = true;
        return true;
    }
    std::vector<std::string> positional;
    bool breaksGiven = false;
    OptionWords reader(words);
    while (reader.Next()) {
        const int loginWord = ReadLoginOption(reader, args, error);
        if (loginWord < 0)
            return false;
        if (loginWord > 0)
            continue;
        const std::string& w = reader.Word();
        if (reader.Name() == "--line-breaks") {
            std::string v;
            if (!reader.Once(breaksGiven, error) || !reader.Value(v, error))
                return false;
            if (v != "lf" && v != "crlf") {
                error = "unknown line breaks '" + v + "' (lf or crlf)";
                return false;
            }
            args.CrLf = v == "crlf";
            continue;
        }
        if (w.size() > 1 && w[0] == '-') {
            error = "unknown option " + reader.Name();
            return false;
        }
        positional.push_back(w);
    }
    if (!CheckLoginOptions(args, error))
        return false;
    const std::string snapshot = kSnapshotSidePrefix;
    const std::string folder = kFolderSidePrefix;
    if (!positional.empty() && positional[0].rfind(folder, 0) == 0) {
        error = "a scripts folder is written from a database or a snapshot:<file>, not from a "
                "folder:<dir>";
        return false;
    }
    if (!positional.empty() && positional[0].rfind(snapshot, 0) == 0) {
        if (positional.size() != 2) {
            error = "expected 2 arguments (snapshot:<file> <folder>), got " +
                    std::to_string(positional.size());
            return false;
        }
        args.Snapshot = positional[0].substr(snapshot.size());
        args.Folder = positional[1];
        if (args.Snapshot.empty()) {
            error = "snapshot: needs a file name";
            return false;
        }
        if (args.Folder.empty()) {
            error = "arguments may not be empty";
            return false;
        }
        if (!args.Login.empty() || !args.Encryption.empty() || !args.CAFile.empty()) {
            error = "a snapshot is read without a server: --login, --encryption and --ca-file "
                    "are for <server> <db>";
            return false;
        }
        return true;
    }
    if (positional.size() != 3) {
        error = "expected 3 arguments (<server> <db> <folder>), got " +
                std::to_string(positional.size());
        return false;
    }
    if (std::any_of(positional.begin(), positional.end(),
                    [](const std::string& p) { return p.empty(); })) {
        error = "arguments may not be empty";
        return false;
    }
    args.Server = positional[0];
    args.Db = positional[1];
    args.Folder = positional[2];
    return true;
}

int RunScriptFolderOn(
    const ScriptFolderArgs& args,
    const std::function<bool(const std::string&, ServerEntry&, std::string&)>& resolveServer,
    int32_t timeoutSeconds, ProgressSink& progress, const CancelToken& cancel, std::ostream& err) {
    const char* const prefix = "orvane-cli script-folder: ";
    std::string message;
    OdbcError error;
    std::string sql;
    ScriptFolderContent content;
    const auto tell = [&](const std::string& item) { progress.Advance(1, item); };
    const std::string source = args.Snapshot.empty() ? args.Db : args.Snapshot;
    bool built = false;
    if (!args.Snapshot.empty()) {
        auto snapshot = std::make_shared<CatalogSnapshot>();
        if (!ReadSnapshotFile(args.Snapshot, *snapshot, message)) {
            err << prefix << message << " Nothing was written to " << args.Folder << ".\n";
            return kScriptFolderExitError;
        }
        progress.Begin("Reading the snapshot " + args.Snapshot, 0);
        const std::string database = snapshot->Header.Database;
        SnapshotRows rows(std::move(snapshot), args.Snapshot);
        ServerFacts facts;
        built = rows.Facts(facts, error, sql) &&
                BuildScriptFolderFrom(rows, facts, database, args.CrLf, cancel, tell, content,
                                      error, sql);
        // A snapshot fails by what it lacks, not by a query.
        if (!built && !cancel.cancelRequested()) {
            err << prefix << error.description << " Nothing was written to " << args.Folder
                << ".\n";
            return kScriptFolderExitError;
        }
    } else {
        QueryPlace place;
        if (!resolveServer(args.Server, place.Server, message)) {
            err << prefix << message << '\n';
            return kScriptFolderExitError;
        }
        place.Database = args.Db;
        place.TimeoutSeconds = std::max(timeoutSeconds, 0);
        progress.Begin("Reading " + args.Db, 0);
        ServerFacts facts;
        built = ReadServerFacts(place, cancel, facts, error, sql) &&
                BuildScriptFolder(place, facts, args.CrLf, cancel, tell, content, error, sql);
    }
    if (!built) {
        err << prefix
            << (cancel.cancelRequested()
                    ? std::string(kStoppedByUser)
                    : ConnectionFailedText(error.number, error.description, sql))
            << " Nothing was written to " << args.Folder << ".\n";
        return kScriptFolderExitError;
    }
    for (const std::string& s : content.Skipped)
        err << prefix << "no file for " << s << '\n';
    progress.Begin("Writing " + args.Folder, 0);
    std::vector<std::string> removed;
    if (!WriteScriptFolder(args.Folder, content, removed, message)) {
        err << prefix << message << '\n';
        return kScriptFolderExitError;
    }
    for (const std::string& r : removed)
        progress.Note("Removed " + r + " (its object no longer exists).");
    progress.Note(std::to_string(content.Manifest.Files.size()) + " scripts of " + source +
                  " written to " + args.Folder + ".");
    return kScriptFolderExitWritten;
}

} // namespace orv
