// A scripts folder read back as a side of a comparison: its scripts are run, in dependency
// order, in a scratch database of a simulator started for the purpose, in the version mode its
// manifest names, and that database's catalog is then read as any database's is and kept as a
// snapshot, so the comparison takes it like any other snapshot. A script the simulator refuses
// is remembered with its file, line and message; its object is then not comparable.
#pragma once

#include "catalog/catalog_snapshot.h"
#include "catalog/script_folder_layout.h"
#include "dbcompare/db_compare_results.h"
#include "dbcompare/scratch_server.h"
#include "servers/worker_query.h"
#include "util/progress.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orv {

// The word that names a scripts folder in place of a side's <server> <db>.
constexpr const char* kFolderSidePrefix = "folder:";

struct ScriptBatch {
    std::string Sql;
    int Line = 1; // of the batch's first line that is not blank, in its file
};

// The batches of a script: the text between lines that hold only GO (any letter case, blanks
// around it allowed); batches of blanks only are left out.
std::vector<ScriptBatch> SplitScriptBatches(const std::string& text);

struct FolderScriptFailure {
    ManifestEntry Object; // empty names for a file the manifest does not name
    int Line = 0;
    std::string Message;
};

// "<path> line <n>: <message>"
std::string FolderFailureText(const FolderScriptFailure& failure);

struct ScriptFolderRead {
    ScriptFolderManifest Manifest;
    std::vector<FolderScriptFailure> Failures;
    CatalogSnapshotPtr Snapshot;
};

// Runs the files in order, each pending file again after a round in which another succeeded,
// until a round succeeds in none. A file whose first batch fails waits for the next round (it
// may need an object a later file makes); one that fails after its first batch has run is
// refused at once. `run` executes one batch: false with the server's message.
void RunFolderScripts(const std::vector<ManifestEntry>& files,
                      const std::function<std::string(const ManifestEntry&)>& textOf,
                      const std::function<bool(const std::string& sql, std::string& message)>& run,
                      std::vector<FolderScriptFailure>& failures);

// A folder's scripts run in a scratch database that stays up while this lives, for a run that
// reads it live (a deployment from the folder, and the comparison that verifies it).
struct LoadedScriptFolder {
    ScriptFolderManifest Manifest;
    std::vector<FolderScriptFailure> Failures;
    ScratchServer Server;
    QueryPlace Place; // the scratch database
};

// Starts the simulator and runs the folder's scripts in its scratch database, as
// ReadScriptFolder does, leaving both up.
bool LoadScriptFolder(const std::string& folder, const std::string& simulator,
                      const CancelToken& cancel,
                      const std::function<void(const std::string&)>& progress,
                      LoadedScriptFolder& out, std::string& error);

// Reads the folder: the manifest, then every file it names and any other .sql file in the
// type folders, run by the simulator `simulator` (FindSimulatorProgram when empty) in a
// database named as the manifest's. False with a message when the folder is not a scripts
// folder, the simulator cannot be started, or the catalog cannot be read; a refused script is
// not a failure of the whole, it is in out.Failures.
bool ReadScriptFolder(const std::string& folder, const std::string& simulator,
                      const CancelToken& cancel,
                      const std::function<void(const std::string&)>& progress,
                      ScriptFolderRead& out, std::string& error);

// ReadScriptFolder with the simulator FindSimulatorProgram finds, telling `progress` of each
// file run and object read: what a command line reading folder:<dir> runs.
bool ReadFolderSide(const std::string& folder, ProgressSink& progress, const CancelToken& cancel,
                    ScriptFolderRead& read, std::string& error);

// LoadScriptFolder with the simulator FindSimulatorProgram finds, telling `progress` of each
// file run.
bool OpenFolderSide(const std::string& folder, ProgressSink& progress, const CancelToken& cancel,
                    std::shared_ptr<LoadedScriptFolder>& loaded, std::string& error);

// Marks the objects of `side` whose scripts the simulator refused as not comparable (adding a
// pair for one that is on neither side now), with the file, line and message as the reason.
void MarkFolderFailures(DbCompareResults& results, int side,
                        const std::vector<FolderScriptFailure>& failures);

} // namespace orv
