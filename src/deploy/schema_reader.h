// Reads the structure a deployment plans against: the tables and modules it is asked for in
// full, and of every other object what ordering and blocking need (names, kinds, foreign keys,
// schema binding, dependencies). SQL Server 2000 through its system tables, later servers
// through the catalog views. Runs on a worker thread; the token stops it, the running query
// included.
#pragma once

#include "deploy/schema_model.h"
#include "servers/server_facts.h"
#include "servers/worker_query.h"
#include "util/progress.h"

#include <string>
#include <utility>
#include <vector>

namespace orv {

using QualifiedName = std::pair<std::string, std::string>; // schema, name

struct SchemaReadRequest {
    // Read everything in full (tests, and a database small enough not to care).
    bool Everything = false;
    // Tables whose columns, indexes, defaults, CHECK constraints and row count are read. Every
    // table is listed, and every table's foreign keys are read, whatever this says.
    std::vector<QualifiedName> Tables;
    // Modules whose texts are read. Every module is listed (kind, parent, schema binding,
    // encryption, dependencies); the texts of schema-bound modules and of triggers on the
    // tables above are read too, since a table change may have to drop and recreate them.
    std::vector<QualifiedName> Modules;
    // Foreign keys and PRIMARY KEY or UNIQUE constraints (schema, name) whose tables are read
    // in full, with the tables the foreign keys point at.
    std::vector<QualifiedName> Keys;
    // The ids of the objects the comparison offered on this side. Given (and not Everything),
    // the listing holds only those besides every table, trigger and schema-bound module: a
    // database of 20,000 procedures with 200 changed lists a few thousand objects.
    std::vector<int32_t> Ids;
};

// Fills `out` (VersionMajor from `facts`). False with `error` and `failedSql` when a query
// failed or the token stopped it.
bool ReadSchemaModel(const QueryPlace& place, const ServerFacts& facts,
                     const SchemaReadRequest& request, const CancelToken& cancel, SchemaModel& out,
                     OdbcError& error, std::string& failedSql);

// The number of rows of the table whose column is NULL (a column about to become NOT NULL);
// -1 with `error` when the query failed.
int64_t CountNullValues(const QueryPlace& place, const CancelToken& cancel,
                        const std::string& schema, const std::string& table,
                        const std::string& column, OdbcError& error);

} // namespace orv
