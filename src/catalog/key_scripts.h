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

// Empty when the key is not found. Throws CatalogError when the query failed.
std::string GetRelationshipText(const ServerEntry& server, const std::string& keyName,
                                const std::string& database);
// Empty when the key is not found; a failure is reported here.
std::string GetConstraintText(const ServerEntry& server, const std::string& keyName,
                              const std::string& database);

} // namespace orv
