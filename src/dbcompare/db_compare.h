// Comparing two whole databases: both catalogs read in bulk at the same time on two
// connections, objects paired by schema and name, each pair judged by the very comparison the
// main window runs for one pair.
#pragma once

#include "catalog/catalog_snapshot.h"
#include "catalog/ignored_columns.h"
#include "compare/compare_sel_procs.h"
#include "dbcompare/db_compare_results.h"
#include "dbcompare/object_filter.h"
#include "servers/server_entry.h"
#include "util/progress.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orv {

// An object picked in a panel's list for a selective comparison.
struct SelectedObject {
    ObjectType Type = kTypeNone;
    int32_t Id = 0;
    std::string ListedName; // as the list shows it (may carry "schema.")
};

struct DbCompareRequest {
    DbCompareKind Kind = DbCompareKind::All;
    bool Details = false;
    // Copies: the workers never touch the panels' entries.
    ServerEntry Server[2];
    std::string Database[2];
    // A side read from a snapshot instead of its server: Server[side].Name and
    // Database[side] then only name it. A snapshot has no fingerprints, so a comparison with
    // one reads every text in full on both sides (the verdicts are those of a full read).
    CatalogSnapshotPtr Snapshot[2];
    std::string SnapshotFile[2];
    // A live side whose snapshot is kept while it is read (compare-all --snapshot-out): when
    // the run completes, the results it read are completed with those a snapshot needs
    // besides, and the snapshot lands in the results (SnapshotTaken).
    bool KeepSnapshot[2] = {false, false};
    // In the selector's order; for All, the caller passes every type it analyses.
    std::vector<ObjectType> Types;
    // For Selective: the objects picked in each panel. A type with picks on one side only
    // compares those against their namesakes on the other side.
    std::vector<SelectedObject> Selected[2];
    // The objects left out (or the only ones kept) by name; an object left out is neither
    // compared nor listed.
    ObjectFilter Filter;
    CompareOptions Options;
    // How the catalogs are read (see CatalogReadOptions); ApplyCurrentSettings puts the
    // settings' choice here before the workers start.
    bool CompleteTableScripts = false;
    bool IgnoreSystemConstraintNames = false;
    bool IgnoreIndexes = false;
    bool IgnoreSysObjects = true;
    // How module texts are read; ApplyCurrentSettings puts the CompareReading setting here.
    // Hash-first needs both servers to fingerprint (2005 and later): otherwise, and for
    // tables, keys and constraints, texts are read whole.
    CompareReading Reading = CompareReading::Auto;
    // How long one query may wait for the server, in seconds (0 or less: without limit); the
    // Timeout setting's default until ApplyCurrentSettings puts the setting itself.
    int32_t TimeoutSeconds = 30;
    // The structure-comparison ignored-column list of a table; may be empty.
    IgnoredColumnsLookup IgnoredColumns;
};

// Runs the comparison on the calling thread (it starts one more for the second database).
// Never throws; a failure ends the run with Outcome Failed and the results gathered so far.
DbCompareResultsPtr RunDbCompare(const DbCompareRequest& request, ProgressSink& progress,
                                 const CancelToken& cancel);

} // namespace orv
