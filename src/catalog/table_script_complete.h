// The complete form of table and relationship scripts, used when the setting
// CompleteTableScripts is on: indexes say whether they are unique and which constraint owns them,
// every default, CHECK and UNIQUE constraint of the table gets a line of its own, and a
// relationship shows all of its column pairs. The plain form stays exactly as it always was.
#pragma once

#include "servers/recordset.h"
#include "servers/server_entry.h"

#include <cstdint>
#include <string>

namespace orv {

// The rows (column, index, indid, keyno, isunique, constrainttype) of a table's own indexes, read
// from the table's index rows whether or not other objects hang on the table. By id when it is
// positive, else by name; clusteredOnly keeps index 1 alone.
std::string TableIndexRowsQuery(const std::string& tableName, int32_t tableId, bool clusteredOnly);

// One line per index from the rows above, each ending with a line break; empty when no rows.
// "CONSTRAINT [pk] PRIMARY KEY CLUSTERED|NONCLUSTERED (...)" for a primary key, otherwise
// "[UNIQUE ][CLUSTERED ]INDEX [name] (...)".
std::string BuildCompleteIndexPart(Recordset& rows);

// The rows (kind, name, column, definition, seq) of a table's defaults (kind 1), CHECK
// constraints (2) and UNIQUE constraints (3), ordered by kind, name and seq: from the system
// tables on SQL Server 2000, from the catalog views on later servers.
std::string TableConstraintsQuery(const std::string& tableName, int32_t tableId, int versionMajor);

// "CONSTRAINT [df] DEFAULT (...) FOR [column]", "CONSTRAINT [ck] CHECK (...)",
// "CONSTRAINT [uq] UNIQUE ([a], [b])", each ending with a line break.
std::string BuildConstraintLines(Recordset& rows);

// The part after the column lines in the complete form: the index lines (unless indexes are left
// out) and the constraint lines. Throws CatalogError when a query failed.
std::string GetCompleteTableExtras(const ServerEntry& server, const std::string& tableName,
                                   const std::string& database, int32_t tableId, bool withIndexes);

// The column pairs of a foreign key (constid, tablename, foreigncolumn, referencedcolumn), in
// key order, by key name, by the key's id when `keyId` is positive, or of every key when it is
// negative.
std::string ForeignKeyColumnsQuery(const std::string& keyName, int versionMajor, int32_t keyId = 0);

// The relationship text with every column pair of the key the first row names: the FOREIGN KEY
// line lists the referencing columns and the REFERENCES line the referenced table and columns,
// each list joined by ", ". With one pair the text is that of the plain form.
std::string BuildCompleteRelationshipText(const Recordset& first, Recordset& pairs);

} // namespace orv
