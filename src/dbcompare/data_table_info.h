// What the data comparison needs to know of a table on one server: its columns with their
// types, its primary key and unique indexes, and the list of user tables. Read with a few
// queries on the older system tables, which every supported server answers.
#pragma once

#include "dbcompare/data_compare_results.h"
#include "servers/worker_query.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

struct TableColumn {
    std::string Name;
    std::string Type;   // the base type's name ("nvarchar")
    int64_t Length = 0; // bytes as the catalog gives them; -1 for the (max) types
    int32_t Precision = 0;
    int32_t Scale = 0;
    bool Nullable = true;
    bool Identity = false;
};

struct TableIndex {
    std::string Name;
    bool Primary = false;
    bool Unique = false;
    std::vector<std::string> Columns; // in key order
};

struct TableInfo {
    int32_t Id = 0;
    std::string Schema;
    std::string Name;
    std::vector<TableColumn> Columns; // in column order
    std::vector<TableIndex> Indexes;  // in index id order
    // The column of that name (any letter case), nullptr when there is none.
    const TableColumn* Find(const std::string& column) const;
};

struct TableName {
    std::string Schema;
    std::string Name;
};

// "int", "varchar(20)", "nvarchar(max)", "decimal(10,2)" as a script writes the type.
std::string TypeText(const TableColumn& column);

// Each query below stops, running or not, when `cancel` is set; it then fails with the
// cancellation as its error.

// Runs a query to its end keeping every row (catalog-sized results only).
bool QueryAll(const QueryPlace& place, const CancelToken& cancel, const std::string& sql,
              std::vector<Row>& rows, OdbcError& error);

// Every user table, by schema and name. `later`: a server with schemas (2005 and later).
bool ReadUserTables(const QueryPlace& place, const CancelToken& cancel, bool later,
                    std::vector<TableName>& tables, OdbcError& error);

// The table's columns and indexes; false with `found` false (and no error) when there is no
// such table. An empty schema takes the first table of that name.
bool ReadTableInfo(const QueryPlace& place, const CancelToken& cancel, bool later,
                   const std::string& schema, const std::string& name, TableInfo& info, bool& found,
                   OdbcError& error);

// Every FOREIGN KEY constraint of the database, by name.
bool ReadForeignKeys(const QueryPlace& place, const CancelToken& cancel, bool later,
                     std::vector<ForeignKeyLink>& links, OdbcError& error);

// "[schema].[name]" with every "]" doubled ("[name]" without a schema).
std::string QuotedTableName(const std::string& schema, const std::string& name);

} // namespace orv
