#include "dbcompare/script_folder_command.h"

#include "servers/exec_ado_cmd.h"
#include "util/option_words.h"

#include <algorithm>

namespace orv {

const char* const kScriptFolderHelp =
    "Writes a database as a scripts folder: one runnable T-SQL script per object, for source\n"
    "control. The folder can be compared like a database ('orvane-cli compare-all' with\n"
    "folder:<folder> in place of a side's <server> <db>).\n"
    "\n"
    "  <server> <db>           a stored server (or any server with --login) and a database\n"
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
    QueryPlace place;
    std::string message;
    if (!resolveServer(args.Server, place.Server, message)) {
        err << prefix << message << '\n';
        return kScriptFolderExitError;
    }
    place.Database = args.Db;
    place.TimeoutSeconds = std::max(timeoutSeconds, 0);
    progress.Begin("Reading " + args.Db, 0);
    ServerFacts facts;
    OdbcError error;
    std::string sql;
    ScriptFolderContent content;
    if (!ReadServerFacts(place, cancel, facts, error, sql) ||
        !BuildScriptFolder(
            place, facts, args.CrLf, cancel,
            [&](const std::string& item) { progress.Advance(1, item); }, content, error, sql)) {
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
    progress.Note(std::to_string(content.Manifest.Files.size()) + " scripts of " + args.Db +
                  " written to " + args.Folder + ".");
    return kScriptFolderExitWritten;
}

} // namespace orv
