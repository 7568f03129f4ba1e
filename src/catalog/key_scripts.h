// The four-line texts shown for a relationship (foreign key) and for a clustered primary key.
#pragma once

#include "servers/recordset.h"
#include "servers/server_entry.h"

#include <string>

namespace orv {

// From the first row of the relationship query (tablename, foreignkey, foreigncolumn,
// referencedtable, referencedcolumn).
std::string BuildRelationshipText(const Recordset& row);
// From the first row of the key query (name, column, tablename).
std::string BuildConstraintText(const Recordset& row);

// The relationship rows (foreignkey, foreigncolumn, referencedtable, referencedcolumn,
// tablename, then `extraColumns`) of the keys `condition` ("WHERE ...") selects, sorted by
// `orderBy`.
std::string RelationshipRowsQuery(const std::string& extraColumns, const std::string& condition,
                                  const std::string& orderBy);

// The clustered-key rows (name, refdate, id, column, indid, tablename, then `extraColumns`) that
// `condition` (joined to "si.indid = 1 AND ") selects; `distinct` and `orderBy` as given.
std::string ConstraintRowsQuery(bool distinct, const std::string& extraColumns,
                                const std::string& condition, const std::string& orderBy);

// Empty when the key is not found. Throws CatalogError when the query failed. A listed name
// that carries a schema prefix matches no catalog name: with a positive `keyId` (the key's
// own id) that key is read by its id.
std::string GetRelationshipText(const ServerEntry& server, const std::string& keyName,
                                const std::string& database, int32_t keyId = 0);
// Empty when the key is not found; a failure is reported here. For a listed name with a schema
// prefix and a positive `tableId` (the id the list keeps: the table's), the table's clustered
// key is read by the table's id.
std::string GetConstraintText(const ServerEntry& server, const std::string& keyName,
                              const std::string& database, int32_t tableId = 0);

} // namespace orv
