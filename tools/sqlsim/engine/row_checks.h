// PRIMARY KEY, UNIQUE, NOT NULL and CHECK, enforced row by row as SQLite triggers that the
// catalog's definitions are turned into. A statement that breaks one stops with SQL Server's
// error and leaves the table as it was: SQLite undoes a failed statement whole.
#pragma once

#include "engine/catalog.h"

#include <string>

namespace sqlsim {

class SessionImpl;

// Drops the table's check triggers and makes them again from the catalog: its unique indexes
// and key constraints, its NOT NULL columns and its enabled CHECK constraints. `dbName` is the
// database the messages name.
// tsql_raise(number, text), which the check triggers call.
void registerRowCheckFunctions(sqlite3* db, SessionImpl* s);

void rebuildRowChecks(SessionImpl& s, const Catalog& cat, int tableId, const std::string& dbName);

// Makes the checks of a table a start-up script left unchecked, and of the tables its
// referential actions reach, before a client's statement changes its rows.
void ensureRowChecks(SessionImpl& s, const Catalog& cat, int tableId, const std::string& dbName);

// Raises 547 (naming ALTER TABLE) when a row of the table already breaks the CHECK constraint
// `checkId`, as WITH CHECK does for a constraint added or switched back on.
void verifyCheckConstraint(SessionImpl& s, const Catalog& cat, int checkId,
                           const std::string& dbName);

} // namespace sqlsim
