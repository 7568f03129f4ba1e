// The body of a table's CREATE statement: its column lines, and its clustered index either as a
// constraint line inside CREATE TABLE (primary key, unique constraint) or as a statement of its
// own after the table (a plain clustered index), so that the script runs as T-SQL.
#pragma once

#include "catalog/table_script_complete.h"
#include "servers/recordset.h"
#include "servers/server_entry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

struct ClusteredIndex {
    std::string Name; // empty when the table has no clustered index
    // "PK" or "UQ" when a constraint owns the index, empty for a plain index.
    std::string ConstraintType;
    bool Unique = false;
    std::vector<std::string> Columns; // in key order
};

// From the rows of the clustered-index query (index, column, isunique, constrainttype).
ClusteredIndex ReadClusteredIndex(Recordset& rows);

// The clustered index of a table, found by id when it is positive, else by name. The index is
// read from the table's own index rows, so it is found whether or not the table has other
// objects (constraints, defaults, triggers) hanging on it. Throws CatalogError when the query
// failed.
ClusteredIndex GetClusteredIndex(const ServerEntry& server, const std::string& tableName,
                                 const std::string& database, int32_t tableId);

// "CONSTRAINT [pk] PRIMARY KEY CLUSTERED ([a], [b])" or "CONSTRAINT [uq] UNIQUE CLUSTERED (...)";
// empty for a plain index or none.
std::string ClusteredConstraintLine(const ClusteredIndex& index);
// "CREATE [UNIQUE ]CLUSTERED INDEX [ix] ON name ([a])" for a plain index; empty otherwise.
std::string ClusteredIndexStatement(const ClusteredIndex& index, const std::string& tableName);

struct TableCreateParts {
    std::string Body;       // column lines ending in the suffix, then any constraint line
    std::string AfterTable; // a statement to run once the table exists, or empty
};

// What a table's CREATE statement recreates besides its columns.
struct CreateTableOptions {
    // Off: the clustered index alone. On (complete table scripts): every index, primary key,
    // UNIQUE, CHECK and default constraint, so that the new table's complete script is the old
    // one's.
    bool Complete = false;
    // With Complete: constraints named by the server are created without a name, so the server
    // generates one again.
    bool IgnoreSystemNames = false;
};

// The statements that follow a complete table's CREATE TABLE, each to run on its own: the plain
// clustered index, then the other indexes and key constraints in index id order (so they get the
// same ids, and the same order, as the original's), then CHECK constraints and defaults. UNIQUE
// constraints are made by their indexes' statements.
std::vector<std::string> CompleteTableStatements(const std::vector<ScriptedIndex>& indexes,
                                                 const std::vector<TableConstraint>& constraints,
                                                 const std::string& tableName);

// "[CONSTRAINT [name] ]PRIMARY KEY|UNIQUE CLUSTERED|NONCLUSTERED ([a], [b])" for an index a key
// constraint owns; empty for a plain index.
std::string KeyConstraintClause(const ScriptedIndex& index);

// The complete form's parts from the table's column lines, indexes and constraints: a clustered
// key stands inside CREATE TABLE, the rest are the statements after it.
TableCreateParts CompleteCreateParts(const std::string& columnsText,
                                     const std::vector<ScriptedIndex>& indexes,
                                     const std::vector<TableConstraint>& constraints,
                                     const std::string& extendedName);

// Empty parts when the columns cannot be read (the failure has been reported).
TableCreateParts GetTableCreateParts(const ServerEntry& server, const std::string& tableName,
                                     const std::string& database, int32_t tableId,
                                     const std::string& lineSuffix, const std::string& extendedName,
                                     const CreateTableOptions& options = {});

} // namespace orv
