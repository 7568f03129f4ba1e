// `orvane-cli compare-all`: its arguments, the run over an injected comparison, and the report
// on standard output or in a file. The caller supplies the servers and the comparison itself,
// so this part is tested without a server.
#pragma once

#include "compare/compare_command.h"
#include "compare/compare_sel_procs.h"
#include "dbcompare/db_compare.h"
#include "dbcompare/db_compare_report.h"
#include "dbcompare/object_filter.h"
#include "dbcompare/script_folder_read.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace orv {

constexpr int kCompareAllExitIdentical = 0;
constexpr int kCompareAllExitDifferent = 1;
constexpr int kCompareAllExitError = 2;

constexpr const char* kCompareAllUsage =
    "usage: orvane-cli compare-all [--types <list>] [--details] [--format text|csv|html] "
    "[--output <file>] [--include <pattern>]... [--exclude <pattern>]... "
    "[--reading auto|full|hash-first] "
    "[--not-comparable error|report] [--snapshot-out <file>] "
    "[--login <name> [--password-file <file>]] <server1> <db1>|snapshot:<file>|folder:<dir> "
    "<server2> <db2>|snapshot:<file>|folder:<dir>";

extern const char* const kCompareAllHelp;

// The word that names a snapshot file in place of a side's <server> <db>.
constexpr const char* kSnapshotSidePrefix = "snapshot:";

struct CompareAllArgs : LoginOptions {
    std::string Server[2];
    std::string Db[2];
    // A side given as snapshot:<file>: the file (Server and Db then empty).
    std::string Snapshot[2];
    // A side given as folder:<dir>: the scripts folder (Server and Db then empty).
    std::string Folder[2];
    // --snapshot-out: the Target's snapshot is kept while it is compared and written here.
    std::string SnapshotOut;
    // In the type selector's order, each once; all seven unless --types names others.
    std::vector<ObjectType> Types;
    bool Details = false;
    ReportFormat Format = ReportFormat::Text;
    std::string Output; // empty: standard output
    bool Help = false;  // --help: the rest of the words do not matter
    ObjectFilter Filter;
    NotComparablePolicy NotComparable = NotComparablePolicy::Error;
    // --reading: how module texts are read; the CompareReading setting when not given.
    std::optional<CompareReading> Reading;
};

// The types of a --types list (words or codes, comma-separated) in the type selector's order,
// each once; false with a message for an empty or unknown entry.
bool ParseObjectTypeList(const std::string& list, std::vector<ObjectType>& types,
                         std::string& error);

class OptionWords;
// What the commands comparing two databases share, read at the reader's current word:
// --reading WORD, --output FILE ("-" is standard output, kept as empty), an unknown option
// (refused by its name only), or a positional word. 1 when taken, -1 with `error`.
int ReadRunOption(OptionWords& reader, std::optional<CompareReading>& reading, bool& readingGiven,
                  std::string& output, bool& outputGiven, std::vector<std::string>& positional,
                  std::string& error);
// The four positional words <server1> <db1> <server2> <db2>; false with a message when there
// are not four or one is empty.
bool TakeTwoSides(const std::vector<std::string>& positional, std::string (&server)[2],
                  std::string (&db)[2], std::string& error);

// The two sides from the positional words: each <server> <db>, or one word snapshot:<file> or
// folder:<dir>. False with a message when they do not make two sides.
bool TakeTwoSidesOrSnapshots(const std::vector<std::string>& positional, std::string (&server)[2],
                             std::string (&db)[2], std::string (&snapshot)[2],
                             std::string (&folder)[2], std::string& error);

// False with a message in `error` when the words do not make a comparison. As for `compare`, a
// password on the command line is refused.
bool ParseCompareAllArgs(const std::vector<std::string>& words, CompareAllArgs& args,
                         std::string& error);

using DbCompareRunner =
    std::function<DbCompareResultsPtr(const DbCompareRequest&, ProgressSink&, const CancelToken&)>;

struct CompareAllServices {
    // The entry of a server named on the command line, its version known; false with the
    // reason when it is not stored (and no login was given) or cannot be reached.
    std::function<bool(const std::string& name, ServerEntry& entry, std::string& error)>
        resolveServer;
    DbCompareRunner run;
    // Reads a scripts folder given as folder:<dir> (ReadScriptFolder with the simulator it
    // finds); false with the reason.
    std::function<bool(const std::string& folder, ProgressSink& progress, const CancelToken& cancel,
                       ScriptFolderRead& read, std::string& error)>
        readFolder;
    // Runs a scripts folder's scripts in a scratch database kept up while `loaded` lives
    // (OpenFolderSide); for a run that reads the folder live.
    std::function<bool(const std::string& folder, ProgressSink& progress, const CancelToken& cancel,
                       std::shared_ptr<LoadedScriptFolder>& loaded, std::string& error)>
        openFolder;
    // Writes a snapshot as a scripts folder and runs it as openFolder runs a folder
    // (OpenSnapshotSide); for a deployment from a snapshot.
    std::function<bool(const std::string& file, ProgressSink& progress, const CancelToken& cancel,
                       std::shared_ptr<LoadedScriptFolder>& loaded, std::string& error)>
        openSnapshot;
};

// Resolves the servers, runs the comparison and writes the report: to `out`, or with --output
// to the file, all or nothing. A run that did not complete never creates or replaces the file:
// with --output it writes no report, without it the report goes to `out` marked as
// incomplete. Messages go to `err`. Returns the exit status (DbCompareExitStatus, or 2 when a
// server or the report file failed).
// `settings` carries what the stored settings decide (ApplyCurrentSettings); the arguments and
// the resolved servers fill in the rest of the request.
int RunCompareAllOn(const CompareAllArgs& args, DbCompareRequest settings,
                    const CompareAllServices& services, ProgressSink& progress,
                    const CancelToken& cancel, std::ostream& out, std::ostream& err);

} // namespace orv
