// The columns a comparison leaves out of a table, listed per table in one INI file per kind
// of comparison.
#pragma once

#include "servers/server_entry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orv {

constexpr int32_t kIgnoredForData = 1;
constexpr int32_t kIgnoredForStructure = 2;
constexpr int32_t kIgnoredForAnalysis = 3;

// The INI file of a kind; empty for an unknown kind.
std::string IgnoredColumnsFile(int32_t kind);

// Fills `columns` with the values of the section `tableName` in file order and returns how
// many; 0 (and no columns) when the file, section or entries are missing.
int32_t GetIgnoredColumns(int32_t kind, const std::string& tableName,
                          std::vector<std::string>& columns);

// A table as its lists of ignored columns know it. An empty schema means it is not known.
struct IgnoredTable {
    std::string Server;
    std::string Database;
    std::string Schema;
    std::string Name; // the table's own name, without schema
};

// The one name of a table's lists in every kind's file, whoever writes or reads them: server,
// database, schema and table joined by points ("SRV.Shop.dbo.Products"), so tables of one name
// in two schemas keep lists of their own. Without a schema: server, database and table.
std::string IgnoredColumnsSection(const IgnoredTable& table);

// The section lists were written under before their name carried the schema: server, database
// and the table's own name ("SRV.Shop.Products").
std::string EarlierIgnoredColumnsSection(const IgnoredTable& table);

// The table's list of a kind: its own section, or, when that does not exist, the section of the
// earlier naming, so lists ticked before keep working. Returns the number of columns.
int32_t GetIgnoredColumns(int32_t kind, const IgnoredTable& table,
                          std::vector<std::string>& columns);

// Reads a table's list for a comparison; comparisons get it from their caller.
using IgnoredColumnsLookup = std::function<std::vector<std::string>(const IgnoredTable&)>;
// The stored lists of one kind, as a comparison reads them.
IgnoredColumnsLookup StoredIgnoredColumns(int32_t kind);

// The table a panel lists as `listedName` ("Products", or "sales.Orders" when the name is in
// several schemas) with catalog id `id` (0 or less: found by name): its schema and own name as
// the server keeps them, or the listed name without a schema when they cannot be read.
IgnoredTable ListedIgnoredTable(ServerEntry& server, const std::string& database,
                                const std::string& listedName, int32_t id);

// The list of a kind of the table a panel lists. The schema is read from the server only when
// the kind's file holds a section that may be the table's, so a table without a list costs no
// query.
int32_t GetListedTableIgnoredColumns(int32_t kind, ServerEntry& server, const std::string& database,
                                     const std::string& listedName, int32_t id,
                                     std::vector<std::string>& columns);
// The same list as a value.
std::vector<std::string> ListedTableIgnoredColumns(int32_t kind, ServerEntry& server,
                                                   const std::string& database,
                                                   const std::string& listedName, int32_t id);

} // namespace orv
