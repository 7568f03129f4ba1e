#include "dbcompare/snapshot_command.h"

#include "servers/exec_ado_cmd.h"
#include "util/option_words.h"

#include <algorithm>
#include <ctime>

namespace orv {

const char* const kSnapshotHelp =
    "Writes a snapshot of a database to <file>: what a whole-database comparison reads of it\n"
    "(the listings, texts, columns, indexes, keys and relationships of every object, under\n"
    "every reading option), with the server's version, the database's name and the time.\n"
    "A snapshot stands in for the database in 'orvane-cli compare-all' as snapshot:<file>, and\n"
    "in the desktop program's server selector as 'Snapshot file...', so a database can be\n"
    "compared with itself as it was. Texts are kept byte for byte: a snapshot compared with\n"
    "its database just after it was taken is identical.\n"
    "\n"
    "  <server> <db>           a stored server (or any server with --login) and a database\n"
    "  <file>                  the snapshot file (replaced all or nothing; .orvsnap by custom)\n"
    "  --login <name>          connects with this SQL Server login\n"
    "  --password-file <file>  the login's password is the first line of this file\n"
    "  --encryption <mode>     request, require or off: TLS to the server, in place of what\n"
    "                          the stored server says\n"
    "  --ca-file <file>        the server's certificate must be signed by a CA in this PEM\n"
    "                          file and made out to the server's name (implies require)\n"
    "  --help                  this text\n"
    "\n"
    "Without --password-file the login's password is taken from the environment variable\n"
    "ORVANE_PASSWORD. Progress is shown on standard error when it is a terminal; Ctrl-C stops\n"
    "the reading and writes nothing.\n"
    "\n"
    "Exit status: 0 the snapshot was written, 2 error (wrong arguments, a server failure, a\n"
    "file that could not be written, or stopped); nothing is written then.\n";

DbCompareResultsPtr SaveSnapshotRun(const QueryPlace& place, const std::string& serverName,
                                    const std::string& path, ProgressSink& progress,
                                    const CancelToken& cancel) {
    auto results = std::make_shared<DbCompareResults>();
    results->Started = std::time(nullptr);
    results->ServerName[0] = serverName;
    results->DbName[0] = place.Database;
    progress.Begin("Reading the catalog of " + place.Database, 0);
    CatalogSnapshot snapshot;
    OdbcError error;
    std::string sql;
    const bool read = TakeSnapshot(
        place, serverName, cancel, [&](const std::string& item) { progress.Advance(1, item); },
        snapshot, error, sql);
    if (!read && cancel.cancelRequested()) {
        results->Outcome = RunOutcome::Cancelled;
        results->Problem = kStoppedByUser;
        return results;
    }
    if (!read) {
        results->Outcome = RunOutcome::Failed;
        results->Problem = ConnectionFailedText(error.number, error.description, sql) +
                           " Nothing was written to " + path + ".";
        return results;
    }
    progress.Begin("Writing " + path, 0);
    std::string message;
    if (!WriteSnapshotFile(path, snapshot, message)) {
        results->Outcome = RunOutcome::Failed;
        results->Problem = message;
    }
    return results;
}

bool ParseSnapshotArgs(const std::vector<std::string>& words, SnapshotArgs& args,
                       std::string& error) {
    args = SnapshotArgs{};
    if (std::any_of(words.begin(), words.end(),
                    [](const std::string& w) { return w == "--help" || w == "-h"; })) {
        args.Help = true;
        return true;
    }
    std::vector<std::string> positional;
    OptionWords reader(words);
    while (reader.Next()) {
        const int loginWord = ReadLoginOption(reader, args, error);
        if (loginWord < 0)
            return false;
        if (loginWord > 0)
            continue;
        const std::string& w = reader.Word();
        if (w.size() > 1 && w[0] == '-') {
            error = "unknown option " + reader.Name();
            return false;
        }
        positional.push_back(w);
    }
    if (!CheckLoginOptions(args, error))
        return false;
    if (positional.size() != 3) {
        error =
            "expected 3 arguments (<server> <db> <file>), got " + std::to_string(positional.size());
        return false;
    }
    if (std::any_of(positional.begin(), positional.end(),
                    [](const std::string& p) { return p.empty(); })) {
        error = "arguments may not be empty";
        return false;
    }
    args.Server = positional[0];
    args.Db = positional[1];
    args.File = positional[2];
    return true;
}

int RunSnapshotOn(
    const SnapshotArgs& args,
    const std::function<bool(const std::string&, ServerEntry&, std::string&)>& resolveServer,
    int32_t timeoutSeconds, ProgressSink& progress, const CancelToken& cancel, std::ostream& err) {
    const char* const prefix = "orvane-cli snapshot: ";
    QueryPlace place;
    std::string message;
    if (!resolveServer(args.Server, place.Server, message)) {
        err << prefix << message << '\n';
        return kSnapshotExitError;
    }
    place.Database = args.Db;
    place.TimeoutSeconds = std::max(timeoutSeconds, 0);
    const DbCompareResultsPtr run =
        SaveSnapshotRun(place, args.Server, args.File, progress, cancel);
    if (!run->Complete()) {
        err << prefix << run->Problem << '\n';
        return kSnapshotExitError;
    }
    progress.Note("Snapshot of " + args.Db + " written to " + args.File + ".");
    return kSnapshotExitWritten;
}

} // namespace orv
