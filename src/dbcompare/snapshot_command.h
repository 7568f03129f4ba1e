// `orvane-cli snapshot`: writes a snapshot of one database to a file. The caller supplies the
// server, so the arguments and the run are tested without a stored server list.
#pragma once

#include "catalog/catalog_snapshot.h"
#include "compare/compare_command.h"
#include "dbcompare/db_compare_results.h"
#include "util/progress.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace orv {

constexpr int kSnapshotExitWritten = 0;
constexpr int kSnapshotExitError = 2;

constexpr const char* kSnapshotUsage =
    "usage: orvane-cli snapshot [--login <name> [--password-file <file>]] <server> <db> <file>";

extern const char* const kSnapshotHelp;

struct SnapshotArgs : LoginOptions {
    std::string Server;
    std::string Db;
    std::string File;
    bool Help = false;
};

// Takes the snapshot of `place` and writes it to `path`, all or nothing, telling `progress` of
// each object read. The results carry only the outcome: Completed when the file was written,
// Cancelled when `cancel` stopped it, Failed with the reason in Problem otherwise (nothing is
// written then). The command line and the window's File > Save Snapshot both run this.
DbCompareResultsPtr SaveSnapshotRun(const QueryPlace& place, const std::string& serverName,
                                    const std::string& path, ProgressSink& progress,
                                    const CancelToken& cancel);

bool ParseSnapshotArgs(const std::vector<std::string>& words, SnapshotArgs& args,
                       std::string& error);

// Resolves the server, reads the database's catalog and writes the file, all or nothing.
// Messages go to `err`; returns 0 when the file was written, 2 otherwise (nothing written).
int RunSnapshotOn(
    const SnapshotArgs& args,
    const std::function<bool(const std::string&, ServerEntry&, std::string&)>& resolveServer,
    int32_t timeoutSeconds, ProgressSink& progress, const CancelToken& cancel, std::ostream& err);

} // namespace orv
