// The deployment script: from both sides' structure and the objects a user included, the T-SQL
// that makes the target's structure match the source's. It runs in one transaction guarded
// batch by batch, orders its steps by dependency, changes tables in place and never loses data
// unless told it may. Pure: no query, no clock; the same input gives the same script.
#pragma once

#include "catalog/object_types.h"
#include "dbcompare/db_compare_results.h"
#include "deploy/schema_model.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace orv {

// One compared object as the deployment sees it.
struct DeployObject {
    ObjectType Type = kTypeNone;
    std::string Schema;
    std::string Name;
    PairStatus Status = PairStatus::Different;
};

// The pairs a results window ticks at first: differing and only-in-source objects (identical
// and not comparable ones are not offered; only-in-target ones are offered unticked).
std::vector<DeployObject> OfferedObjects(const DbCompareResults& results);
bool TickedByDefault(const DeployObject& object);

// A column a user confirmed as renamed: called OldName in the target and NewName in the
// source. The script renames it in place (sp_rename) instead of dropping and adding it, so
// every row keeps its value. Never assumed: only confirmed renames are made.
struct ColumnRename {
    std::string Schema; // empty: the only differing table of that name, whatever its schema
    std::string Table;
    std::string OldName;
    std::string NewName;
};

struct DeployOptions {
    // Steps that lose data (dropping a column or a table that holds rows, narrowing a type or
    // length, NOT NULL on a column holding NULLs) run; otherwise they are left out, commented.
    bool AllowDataLoss = false;
    // The comparison counted column order: a table whose columns differ only in order is
    // rebuilt when RebuildForColumnOrder is also on, and reported otherwise.
    bool ColumnOrderMatters = false;
    bool RebuildForColumnOrder = false;
    // Confirmed renames; one that does not fit the databases is not made and is warned of.
    std::vector<ColumnRename> ColumnRenames;
};

struct DeployHeader {
    std::string SourceServer, SourceDatabase;
    std::string TargetServer, TargetDatabase;
    std::time_t Made = 0;       // when the script was made
    std::string ProgramVersion; // "Orvane 1.2.3"
};

struct DeployInput {
    DeployHeader Header;
    const SchemaModel* Source = nullptr;
    const SchemaModel* Target = nullptr;
    std::vector<DeployObject> Included; // ticked: deployed (only-in-target ones dropped)
    std::vector<DeployObject> LeftOut;  // offered but not ticked: named in the header only
    DeployOptions Options;
    // The number of NULLs in a target column about to become NOT NULL (-1: not known, which
    // counts as data loss when the table has rows). Null: not known for any column.
    std::function<int64_t(const TableDef& target, const std::string& column)> NullCount;
};

// One batch as the runner sends it.
struct DeployBatch {
    std::string Sql;
    // The step it belongs to ("Alter table [dbo].[Orders]"); empty for the script's own
    // frame (the guard, the transaction, the error checks).
    std::string Step;
    int StepNumber = 0; // 1-based; 0 for the frame
};

struct DeployScript {
    std::string Text;                 // the whole script, batches separated by GO lines
    std::vector<DeployBatch> Batches; // in order, as Text has them
    int StepCount = 0;                // 0: nothing to deploy
    // What the header's warning block lists: data loss held back or allowed, refused column
    // additions, encrypted modules, dependency cycles, rebuilds.
    std::vector<std::string> Warnings;
    // Steps left out of the script (commented in it), each with the reason.
    int LeftOutSteps = 0;
};

DeployScript BuildDeployScript(const DeployInput& input);

// The script as a file keeps it: LF line breaks (a module's own line breaks too), for source
// control and terminals.
std::string ScriptWithLineFeeds(const std::string& text);

// The module text with its leading CREATE turned into ALTER (comments and blanks before it
// kept, everything after it byte for byte); the text unchanged when it does not start with
// CREATE.
std::string CreateToAlter(const std::string& text);

} // namespace orv
