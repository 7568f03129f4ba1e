// Comparing the rows of table pairs on two servers: rows matched on a comparison key, both
// tables streamed in key order over two connections at once and merged (memory bounded
// whatever the size), or on servers with HASHBYTES checksummed key ranges compared first so
// only the ranges that differ are fetched. Both ways report exactly the same result.
#pragma once

#include "catalog/ignored_columns.h"
#include "dbcompare/data_compare_results.h"
#include "dbcompare/data_hash_settings.h"
#include "dbcompare/object_filter.h"
#include "servers/worker_query.h"
#include "util/progress.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orv {

// One table pair to compare. Schema may be empty ("dbo" on a later server, the owner on a
// 2000 server is then found by name).
struct DataTablePair {
    std::string Schema[2]; // [0] source, [1] target
    std::string Name[2];
    // Columns the user picked as the comparison key for this pair; empty to choose the key
    // from the tables (and then from the remembered pick, see PickedKey below).
    std::vector<std::string> Key;
};

// How a synchronisation script is written.
struct SyncScriptOptions {
    // Switch the target's triggers off on each changed table while the script changes it
    // (the setting "Disable triggers in synchronisation scripts").
    bool DisableTriggers = true;
    // The time the header names ("2024-01-31 10:20:30"); empty for the current local time.
    std::string MadeAt;
};

struct DataCompareRequest {
    QueryPlace Place[2]; // [0] source, [1] target
    // Every table that exists on either side (pairs by schema and name; one-sided tables are
    // listed as such), or only Tables.
    bool AllTables = false;
    std::vector<DataTablePair> Tables;
    // Tables left out (or the only ones kept) by name; matched on the Source's name, the
    // Target's for a table only in the Target.
    ObjectFilter Filter;
    DataCompareMode Mode = DataCompareMode::Auto;
    // Auto mode hashes tables with more rows than this (on servers that have HASHBYTES).
    int64_t HashThreshold = 100000;
    // How the hashed mode cuts tables into ranges; WholeRangeRows is derived from the places'
    // timeouts when left 0.
    HashSettings Hashing;
    bool CaseSensitive = false;
    // Differing rows kept per pair for display and export (all are counted).
    int64_t RowKeepLimit = 5000;
    // The data-comparison ignored-column list of a table (see DataIgnoredTable); may be empty.
    IgnoredColumnsLookup IgnoredColumns;
    // The remembered key of a pair without primary key or usable unique index, by the two full
    // names; may be empty.
    std::function<std::vector<std::string>(const std::string& sourceFullName,
                                           const std::string& targetFullName)>
        PickedKey;
    // Called from the worker thread after each block of rows with the rows read so far on
    // each side for the current pair (the sink's Advance is called too); may be empty.
    std::function<void(int64_t sourceRows, int64_t targetRows)> RowsRead;
    // Sees every differing row as it is found (optional; not owned).
    DataRowSink* RowSink = nullptr;
    // How a synchronisation script made from this run is written.
    SyncScriptOptions Sync;
};

// Runs the comparison on the calling thread (it starts one more to read the second side).
// Never throws; a failure ends the run with Outcome Failed and the pairs compared so far, the
// pair it stopped in marked Incomplete. A stopped run says kStoppedByUser.
DataCompareResultsPtr RunDataCompare(const DataCompareRequest& request, ProgressSink& progress,
                                     const CancelToken& cancel);

// "server.database.table" of a table as the remembered keys name it (the table as
// "schema.name" when a schema is given).
std::string DataTableFullName(const QueryPlace& place, const std::string& schema,
                              const std::string& name);
// A side's table as its lists of ignored columns know it.
IgnoredTable DataIgnoredTable(const QueryPlace& place, const std::string& schema,
                              const std::string& name);

} // namespace orv
