// Schemas of catalog objects and the qualified names built from them: schema by name or by id
// (with the fallback to the older catalog), the extended name used in generated statements,
// and the retry that qualifies a table name after an invalid-object-name error.
#pragma once

#include "catalog/object_types.h"
#include "servers/server_entry.h"

#include <cstdint>
#include <string>

namespace orv {

// The schema of a procedure, function, view, table or trigger named so; empty otherwise.
std::string GetSchemaForObject(const ServerEntry& server, const std::string& database,
                               const std::string& objectName, ObjectType type);

// The schema (or owner) of the object with this id. False when the id is not positive or the
// lookup could not run. A failure of the newer catalog lowers the entry's VersionMajor to 8.
bool Db_GetObjSchemaById(ServerEntry& server, ObjectType type, const std::string& database,
                         int32_t objectId, std::string& schema);

// The schema (or owner) and the name of the object with this id, as the catalog keeps them.
// False when the id is not positive or the lookup could not run; both empty when no object has
// the id. A failure of the newer catalog lowers the entry's VersionMajor to 8.
bool Db_GetObjNameById(ServerEntry& server, const std::string& database, int32_t objectId,
                       std::string& schema, std::string& name);

// The bracketed, schema- or owner-qualified name for generated statements. With an id the
// schema and the name are read by id, so a name holding "." stays whole; without one a typed
// name is taken whole when an object of that name exists, else as schema.name. `ownName`, when
// given, receives the object's own name without schema, as far as it could be read.
std::string GetExtendedObjectName(ServerEntry& server, const std::string& database,
                                  const std::string& listedName, ObjectType type, int32_t objectId,
                                  std::string* ownName = nullptr);

// The extended name of an object whose schema (owner) and own name the catalog gave: the two
// bracketed parts, or on a 2000 server the bracketed name alone for dbo. Empty when a later
// server gave no schema, so the name has to be found some other way.
std::string ExtendedNameFromCatalog(const std::string& schema, const std::string& name, bool later);

// After an invalid-object-name error on a later server: true with [schema].[name] in
// `qualified` when the table's schema could be found.
bool QualifyTableAfterNameError(ServerEntry& server, const std::string& tableName,
                                std::string& qualified, const std::string& database,
                                int32_t errNumber);

// The text after the last "." of a trimmed listed name.
std::string BareObjectName(const std::string& listedName);

// The schema named in a trigger's text between "CREATE TRIGGER" and "ON"; empty when either
// word is missing.
std::string SchemaFromTriggerText(const std::string& text);

} // namespace orv
