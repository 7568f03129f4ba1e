// The script of a table: one line per column, then after an empty line one line per index.
// Two tables compare equal exactly when these texts are equal, so every blank counts.
#pragma once

#include "servers/recordset.h"
#include "servers/server_entry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

struct ColumnInfo {
    std::string ColumnName;
    std::string DataType;
    std::string Precision;
    std::string TypeText;
};

// Types written with their size, and types written with precision and scale (lower case).
bool IsSizedType(const std::string& typeName);
bool IsScaledType(const std::string& typeName);

// How names sit inside the brackets of a line: as the catalog keeps them (the panel text and the
// comparison), or with "]" doubled, as a statement that is to be executed needs them.
enum class BracketedNames { AsStored, Executable };

// The column line and its ColumnInfo from the current row of the column query.
std::string BuildColumnLine(const Recordset& row, const std::string& lineSuffix, ColumnInfo& info,
                            BracketedNames names = BracketedNames::AsStored);

// Appends the column line of every row of the column query (the rows of one table), each with
// the suffix and a line break, leaving out the columns named in `ignored` (any letter case);
// then drops the last line break and the blanks at both ends, as the script has them.
// `columns` receives the ColumnInfo of each line written.
void BuildColumnLines(Recordset& rows, const std::vector<std::string>& ignored,
                      const std::string& lineSuffix, std::string& text,
                      std::vector<ColumnInfo>& columns,
                      BracketedNames names = BracketedNames::AsStored);

// The script from its column lines and what follows them (index and constraint lines): that
// part comes after an empty line, when there is one.
std::string JoinTableScript(const std::string& columnsText, const std::string& afterColumns);

// "CONSTRAINT [pk] PRIMARY KEY CLUSTERED", "CLUSTERED INDEX [x]" or "INDEX [x]".
std::string IndexKeywordPart(int64_t indexId, const std::string& indexName);

// The index part from the rows of the index query (column, index, indid, keyno), one line per
// index ending with a line break; empty when there are no rows.
std::string BuildIndexPart(Recordset& rows);

// "server.database.object" (short) or "object (Database: d, Server: s)" (long).
std::string GetObjectFullName(const ServerEntry& server, const std::string& database,
                              const std::string& objectName, bool longForm);

bool IsColumnIgnored(const std::vector<std::string>& ignored, const std::string& columnName);

// The extra text of the report made when a table's structure cannot be read.
std::string TableStructureErrorText(const std::string& tableName, const std::string& serverName,
                                    const std::string& database, int32_t errNumber,
                                    const std::string& errDescription);

// Whether the identity seed of a table is read by its qualified name (found by id) rather than
// by the name as listed: ident_seed reads its argument as schema.name, so a listed name holding
// "." goes in qualified, and so does the name in a statement that is to be run.
bool IdentityByQualifiedName(const std::string& tableName, int32_t tableId, BracketedNames names);

// The column query of one table: by id when tableId > 0, else by name; the identity seed and
// increment read for `identityName` (the listed or the qualified name).
std::string TableColumnsQuery(const std::string& tableName, const std::string& identityName,
                              int32_t tableId);
// The column query's text with its variable parts: columns put before the usual ones, the
// expression ident_seed and ident_incr are given, the WHERE clause and the sort order; with
// `identityColumnsOnly` the seed and increment are looked up on identity columns only (the
// others give NULL, which no column line shows).
std::string TableColumnsSql(const std::string& leadingColumns, const std::string& identityArgument,
                            const std::string& filter, const std::string& orderBy,
                            bool identityColumnsOnly = false);

// The index query's text: columns put before the usual ones, the condition on the table
// ("so2.id = 5 AND ", or empty for every table), clustered index only or all, the sort order.
std::string TableIndexesSql(const std::string& leadingColumns, const std::string& tableCondition,
                            bool clusteredOnly, const std::string& orderBy);

// The column lines of a table. tableId <= 0 finds the table by name. listKind selects the
// ignored-column file read when leaveOutIgnored is set.
bool GetTableStructure(const ServerEntry& server, const std::string& database,
                       const std::string& tableName, std::string& text,
                       std::vector<ColumnInfo>& columns, int32_t& lastIndex, bool leaveOutIgnored,
                       int32_t& ignoredCount, int32_t listKind, int32_t tableId,
                       const std::string& lineSuffix,
                       BracketedNames names = BracketedNames::AsStored);

// The index part of a table, found by name, or by tableId when it is positive. Throws
// CatalogError when the query failed.
std::string GetTableIndexes(const ServerEntry& server, const std::string& tableName,
                            const std::string& database, bool clusteredOnly, int32_t tableId = 0);

std::string GetTableScript(const ServerEntry& server, const std::string& tableName,
                           const std::string& database, bool leaveOutIgnored, int32_t& ignoredCount,
                           int32_t tableId, const std::string& lineSuffix,
                           bool forceClusteredIndex);

} // namespace orv
