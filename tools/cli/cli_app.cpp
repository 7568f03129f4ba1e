#include "cli_app.h"

#include "catalog/catalog_error.h"
#include "catalog/create_builder.h"
#include "catalog/listing.h"
#include "catalog/object_lookup.h"
#include "catalog/object_text.h"
#include "catalog/record_counts.h"
#include "catalog/schemas.h"
#include "cli_command.h"
#include "cli_prompter.h"
#include "core/error_report.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/settings.h"
#include "dbcompare/catalog_file_side.h"
#include "dbcompare/compare_all_command.h"
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"
#include "util/text.h"

#include <optional>

namespace orv {

const char* const kCliHelp =
    "Usage: orvane-cli COMMAND SERVER DATABASE ...\n"
    "\n"
    "Reads the catalog of a SQL Server database through a server stored by the desktop\n"
    "program (same registry store and settings).\n"
    "\n"
    "  list   SERVER DATABASE TYPE         one object a line: name TAB refdate TAB id\n"
    "  show   SERVER DATABASE TYPE NAME    the definition text the panel shows\n"
    "  list   snapshot:FILE|folder:DIR TYPE, show snapshot:FILE|folder:DIR TYPE NAME\n"
    "                                      the same from a snapshot file or a scripts\n"
    "                                      folder (its scripts run in a simulator started\n"
    "                                      for the purpose), read-only; create and count\n"
    "                                      need SERVER DATABASE\n"
    "  create SERVER DATABASE TYPE NAME    the CREATE statement with its script header\n"
    "  count  SERVER DATABASE TABLE        the number of rows of the table\n"
    "  dbinfo SERVER DATABASE              the database information report (objects by type,\n"
    "                                      tables with their row counts)\n"
    "  compare ...                         compares one object of two databases\n"
    "                                      (see 'orvane-cli compare --help')\n"
    "  compare-all ...                     compares every object of two databases and\n"
    "                                      writes a text, CSV or HTML report\n"
    "                                      (see 'orvane-cli compare-all --help'); a side\n"
    "                                      may be a snapshot file, snapshot:FILE, or a\n"
    "                                      scripts folder, folder:DIR\n"
    "  snapshot SERVER DATABASE FILE       writes a snapshot of the database to FILE, to\n"
    "                                      compare with later (see 'orvane-cli snapshot\n"
    "                                      --help')\n"
    "  script-folder SERVER DATABASE DIR   writes one script per object into DIR, for\n"
    "                                      source control, also from snapshot:FILE (see\n"
    "                                      'orvane-cli script-folder --help')\n"
    "  saved                               lists the saved comparison processes\n"
    "  run-saved NUMBER [--output FILE]    runs a saved comparison process and writes its\n"
    "                                      report (see 'orvane-cli run-saved --help')\n"
    "  find SERVER DATABASE PATTERN        the objects whose names, texts or columns match\n"
    "                                      (see 'orvane-cli find --help')\n"
    "  check-refs SERVER DATABASE [NAME]   references of modules to objects that do not\n"
    "                                      exist (see 'orvane-cli check-refs --help')\n"
    "  analyze SERVER DATABASE TABLE       profiles the data of a table, one row per column\n"
    "                                      (see 'orvane-cli analyze --help')\n"
    "  compare-data ...                    compares the rows of tables in two databases\n"
    "                                      (see 'orvane-cli compare-data --help')\n"
    "  deploy-script ...                   writes the script that makes a database's\n"
    "                                      structure match another's (or a scripts\n"
    "                                      folder's, or a snapshot's), and can run it\n"
    "                                      (see 'orvane-cli deploy-script --help')\n"
    "  --help                              this text\n"
    "  --version                           the program's name and version\n"
    "\n"
    "--complete-scripts or --no-complete-scripts, anywhere on the line (also for compare,\n"
    "compare-all and run-saved), turns the setting 'Complete table scripts' on or off for this\n"
    "run. On (the default for new settings), table scripts carry defaults, CHECK and UNIQUE\n"
    "constraints, unique indexes, non-clustered primary keys and every column pair of a\n"
    "relationship, and a table's CREATE statement recreates them.\n"
    "--ignore-system-names or --no-ignore-system-names does the same for the setting 'Ignore\n"
    "system-generated constraint names': on (the default), a constraint the server named\n"
    "itself is written in complete table scripts without its name, so such names differing\n"
    "between two databases are no difference.\n"
    "\n"
    "--classic-line-matching, anywhere on the line (for compare, compare-all and run-saved),\n"
    "marks differing lines as the setting 'Classic line matching (20-line look-ahead)' does:\n"
    "a longer inserted or deleted block then counts as changed lines. By default the lines\n"
    "are matched over the whole texts, as diff does. Verdicts are the same either way.\n"
    "\n"
    "--encryption MODE and --ca-file FILE, anywhere on the line of every command that\n"
    "connects (list, show, create, count, dbinfo, compare, compare-all, snapshot,\n"
    "run-saved, find, check-refs, analyze, compare-data, deploy-script), stand for this run\n"
    "in place of the stored server's Encryption and CA certificate file. MODE is request\n"
    "(TLS when the server offers it), require (a server that does not encrypt the whole\n"
    "session is refused before the login is sent) or off; with --ca-file the server's\n"
    "certificate must be signed by a CA in FILE and made out to the server's name.\n"
    "\n"
    "SERVER is the name of a stored server. TYPE is a type code (50 tables, 10 procedures,\n"
    "20 functions, 30 views, 40 triggers, 60 relationships, 80 constraints) or its name\n"
    "(tables, procedures, functions, views, triggers, relationships, constraints). NAME and\n"
    "TABLE are the object's name as listed; a name may hold \".\", and schema.name is\n"
    "understood when no object is listed under the whole name.\n"
    "\n"
    "Texts are written in UTF-8 exactly as built, CR LF line breaks kept, nothing added.\n"
    "Messages go to standard error.\n"
    "\n"
    "dbinfo, compare-all, snapshot, run-saved, find, check-refs, analyze, compare-data and\n"
    "deploy-script show their progress on standard error when it is a terminal. Ctrl-C stops\n"
    "them: the command says 'Stopped by the user.', creates or replaces no report, script,\n"
    "snapshot or rows file\n"
    "(a deployment being applied is rolled back), and exits with 2. A second Ctrl-C ends the\n"
    "program at once.\n"
    "\n"
    "Exit status, by command:\n"
    "  list, dbinfo   0 success, 2 error\n"
    "  show           0 success, 1 object not found or it has no text to show, 2 error\n"
    "  create, count  0 success, 1 object not found, 2 error\n"
    "  compare        0 identical, 1 different, 2 error (an object missing on either side\n"
    "                 is an error)\n"
    "  compare-all    0 every object identical, 1 an object differs or is on one side only,\n"
    "                 2 error, an object not comparable, or the comparison did not complete\n"
    "  snapshot       0 the snapshot was written, 2 error (nothing written)\n"
    "  saved          0 success, 2 error\n"
    "  run-saved      as compare-all; also 2 for no such process, a malformed process, a\n"
    "                 server no longer stored or an export that could not be written\n"
    "  find           0 something found, 1 nothing found, 2 error or stopped\n"
    "  check-refs     0 no reference to a missing object, 1 some, 2 error or stopped\n"
    "  analyze        0 analyzed, 1 table not found, 2 error or stopped\n"
    "  compare-data   0 every compared row identical, 1 rows differ or a table is on one side\n"
    "                 only, 2 error, a table not comparable, or the comparison did not complete\n"
    "  deploy-script  0 the target matches after --apply, or nothing to deploy; 1 a script was\n"
    "                 written, or differences remain; 2 error (a failed script rolled back)\n";

namespace {

// Everything a command needs after start-up.
struct Session {
    std::FILE* out;
    std::FILE* err;
    StderrPrompter prompter;
    int reports = 0;
    ServerEntry server;

    Session(std::FILE* o, std::FILE* e) : out(o), err(e), prompter(e) {}
    bool Failed() const { return reports > 0 || prompter.MessagesShown() > 0; }
};

void Write(std::FILE* out, const std::string& text) {
    if (!text.empty())
        std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

bool OpenServer(Session& s, const std::string& name, const ConnectionSecurity& security) {
    s.server = ServerEntry{};
    s.server.Name = name;
    FindServer(s.server);
    if (s.server.EntryNumber == 0)
        return false;
    ApplyConnectionSecurity(security, s.server);
    CheckSQLServerVersion(s.server);
    s.server.VersionMajor = VersionMajorOf(s.server.Version);
    return true;
}

int32_t RowId(const ListControl& list, int row) {
    int32_t id = 0;
    ParseInt32(list.CellText(row, 2), id);
    return id;
}

int List(Session& s, const std::string& db, ObjectType type) {
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(s.server, list, view, type, db, false);
    if (s.Failed())
        return kCliError;
    std::string text;
    for (int row = 0; row < list.Count(); ++row)
        text += list.CellText(row, 0) + "\t" + list.CellText(row, 1) + "\t" +
                list.CellText(row, 2) + "\n";
    Write(s.out, text);
    return kCliOk;
}

// Lists the type and finds the object; -1 with the status already decided otherwise.
int Locate(Session& s, const std::string& db, ObjectType type, const std::string& name,
           MemoryListControl& list, MemoryTextView& view, int& status) {
    LoadObjects(s.server, list, view, type, db, false);
    if (s.Failed()) {
        status = kCliError;
        return -1;
    }
    const int row = FindListedObject(s.server, db, list, name);
    if (row < 0) {
        std::fprintf(s.err, "%s '%s' not found in database '%s'.\n",
                     GetObjectTypeName(type, true).c_str(), name.c_str(), db.c_str());
        status = kCliNotFound;
    }
    return row;
}

int Show(Session& s, const std::string& db, ObjectType type, const std::string& name) {
    MemoryListControl list;
    MemoryTextView view;
    int status = kCliOk;
    const int row = Locate(s, db, type, name, list, view, status);
    if (row < 0)
        return status;
    list.SetSelected(row, true);
    UpdateProcedureTextBox(s.server, view, list, type, db, list.CellText(row, 0), RowId(list, row));
    if (s.Failed())
        return kCliError;
    const std::string text = view.Text();
    if (text.empty()) {
        std::fprintf(s.err, "%s '%s' has no text to show.\n", GetObjectTypeName(type, true).c_str(),
                     name.c_str());
        return kCliNotFound;
    }
    Write(s.out, text);
    return kCliOk;
}

int Create(Session& s, const std::string& db, ObjectType type, const std::string& name) {
    MemoryListControl list;
    MemoryTextView view;
    int status = kCliOk;
    const int row = Locate(s, db, type, name, list, view, status);
    if (row < 0)
        return status;
    std::string dropPart;
    std::string script;
    try {
        script = SQL_BuildCreateStatement(s.server, s.server.Name, db, list.CellText(row, 0), type,
                                          RowId(list, row), ",", dropPart);
    } catch (...) {
        const CaughtError e = CurrentError();
        std::fprintf(s.err, "Couldn't generate SQL CREATE statement: error %d (%s).\n", e.number,
                     e.description.c_str());
        return kCliError;
    }
    if (s.Failed() || script.empty()) {
        if (script.empty())
            std::fprintf(s.err, "Couldn't generate SQL CREATE statement.\n");
        return kCliError;
    }
    Write(s.out, script);
    return kCliOk;
}

int Count(Session& s, const std::string& db, const std::string& table) {
    MemoryListControl list;
    MemoryTextView view;
    int status = kCliOk;
    const int row = Locate(s, db, kTypeTable, table, list, view, status);
    if (row < 0)
        return status;
    const std::string listed = list.CellText(row, 0);
    std::string name = GetExtendedObjectName(s.server, db, listed, kTypeTable, RowId(list, row));
    if (name.empty())
        name = listed;
    const int32_t count = GetNumberOfRecordsInTable(s.server, name, db);
    if (count < 0 || s.Failed())
        return kCliError;
    Write(s.out, std::to_string(count) + "\n");
    return kCliOk;
}

int Usage(std::FILE* err, const std::string& problem) {
    std::fprintf(err, "orvane-cli: %s\nTry 'orvane-cli --help'.\n", problem.c_str());
    return kCliError;
}

bool IsCatalogFileWord(const std::string& word) {
    return word.rfind(kSnapshotSidePrefix, 0) == 0 || word.rfind(kFolderSidePrefix, 0) == 0;
}

// list or show with snapshot:FILE or folder:DIR in place of SERVER DATABASE: the same
// output, from the bulk reader over the kept rows.
int RunOnCatalogFile(const std::vector<std::string>& args, ObjectType type, std::FILE* out,
                     std::FILE* err) {
    CatalogSnapshotPtr snapshot;
    std::vector<std::string> refused;
    std::string error;
    const CancelToken cancel;
    if (!*ReadCatalogFileSide(args[1], cancel, snapshot, refused, error)) {
        std::fprintf(err, "orvane-cli: %s\n", error.c_str());
        return kCliError;
    }
    for (const std::string& r : refused)
        std::fprintf(err, "orvane-cli: script refused: %s\n", r.c_str());
    CatalogReadOptions options;
    options.IgnoreSysObjects = Settings().IgnoreSysObjects;
    options.IgnoreIndexes = Settings().IgnoreIndexes;
    options.CompleteTableScripts = Settings().CompleteTableScripts;
    options.IgnoreSystemConstraintNames = Settings().IgnoreSystemConstraintNames;
    CatalogTypeRead read;
    if (!ReadCatalogFileObjects(snapshot, args[1].substr(args[1].find(':') + 1), type, options,
                                read, error)) {
        std::fprintf(err, "orvane-cli: %s\n", error.c_str());
        return kCliError;
    }
    if (args[0] == "list") {
        std::string text;
        for (const CatalogObject& o : read.Objects)
            text += o.ListedName + "\t" + o.Ref.Modified + "\t" + std::to_string(o.Ref.Id) + "\n";
        Write(out, text);
        return kCliOk;
    }
    const CatalogObject* o = FindCatalogFileObject(read, args[3]);
    if (o == nullptr) {
        std::fprintf(err, "%s '%s' not found in database '%s'.\n",
                     GetObjectTypeName(type, true).c_str(), args[3].c_str(),
                     snapshot->Header.Database.c_str());
        return kCliNotFound;
    }
    if (!o->Readable || o->Text.empty()) {
        std::fprintf(err, "%s '%s' has no text to show.\n", GetObjectTypeName(type, true).c_str(),
                     args[3].c_str());
        return kCliNotFound;
    }
    Write(out, o->Text);
    return kCliOk;
}

} // namespace

int RunCli(const std::vector<std::string>& words, std::FILE* out, std::FILE* err,
           const ScriptSwitches& switches) {
    std::vector<std::string> args = words;
    ConnectionSecurity security;
    std::string wrong;
    if (!TakeSecurityOptions(args, security, wrong))
        return Usage(err, wrong);
    if (args.empty())
        return Usage(err, "missing command");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        Write(out, kCliHelp);
        return kCliOk;
    }
    const bool named = command == "show" || command == "create";
    size_t wanted = command == "list" ? 4 : named ? 5 : command == "count" ? 4 : 0;
    if (wanted == 0)
        return Usage(err, "unknown command '" + command + "'");
    // A snapshot or scripts folder stands in for SERVER DATABASE, read-only.
    const bool fileSide = args.size() > 1 && IsCatalogFileWord(args[1]);
    if (fileSide) {
        if (command == "create")
            return Usage(err, "'create' needs SERVER DATABASE; for the scripts of a snapshot or "
                              "a scripts folder, see 'orvane-cli script-folder'");
        if (command == "count")
            return Usage(err, "'count' needs SERVER DATABASE: a snapshot or a scripts folder "
                              "holds no rows");
        --wanted;
    }
    if (args.size() != wanted)
        return Usage(err, "'" + command + "' takes " + std::to_string(wanted - 1) + " arguments" +
                              (fileSide ? std::string(" with a snapshot or a scripts folder")
                                        : std::string()));
    std::optional<ObjectType> type = kTypeTable;
    if (command != "count") {
        const std::string& word = args[fileSide ? 2 : 3];
        type = ParseObjectType(word);
        if (!type)
            return Usage(err, "unknown object type '" + word + "'");
    }

    Session s(out, err);
    SetCurrentPrompter(&s.prompter);
    SetErrorReportHandler([&s](const ErrorReport& r) {
        ++s.reports;
        std::fprintf(s.err, "%s\n", ErrorReportText(r).c_str());
    });
    int status = kCliError;
    try {
        StartUpLikeTheProgram();
        switches.ApplyTo(Settings());
        if (fileSide) {
            status = RunOnCatalogFile(args, *type, out, err);
        } else if (OpenServer(s, args[1], security)) {
            const std::string& db = args[2];
            if (command == "list")
                status = List(s, db, *type);
            else if (command == "show")
                status = Show(s, db, *type, args[4]);
            else if (command == "create")
                status = Create(s, db, *type, args[4]);
            else
                status = Count(s, db, args[3]);
        }
    } catch (...) {
        const CaughtError e = CurrentError();
        std::fprintf(err, "orvane-cli: error %d (%s)\n", e.number, e.description.c_str());
        status = kCliError;
    }
    SetErrorReportHandler(nullptr);
    SetCurrentPrompter(nullptr);
    return status;
}

} // namespace orv
