// Pieces the session's source files share: the cancel signal, SQLite error mapping and the
// words that start a statement.
#pragma once

#include "engine/errors.h"

#include <set>
#include <string>

namespace sqlsim {

// Thrown when the client cancelled: the batch stops without further results.
struct Cancelled {};
// Thrown when dynamic SQL met an error that ends the batch: the batch that ran it ends too,
// its error already told.
struct BatchAborted {};

const std::set<std::string>& statementStarters();
// SQLite's error text as the SQL Server error it stands for; throws Cancelled on interrupt.
SqlError fromSqlite(const std::string& msg);

} // namespace sqlsim
