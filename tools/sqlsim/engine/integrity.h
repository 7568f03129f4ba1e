// FOREIGN KEY checks on the rows a statement changed, and the switches that turn a constraint's
// checking (NOCHECK) or a table's triggers off, as SQL Server keeps them per object.
#pragma once

#include "engine/catalog.h"

#include <optional>
#include <string>
#include <vector>

namespace sqlsim {

struct ForeignKeyRow {
    int id = 0;
    std::string name;
    int child = 0;  // the referencing table
    int parent = 0; // the referenced table
    std::vector<int> childCols, parentCols;
};

// The foreign keys that are checked (not NOCHECK) where `tableId` is the referencing table
// (`asChild`) or the referenced one (`asParent`).
std::vector<ForeignKeyRow> checkedForeignKeys(const Catalog& cat, int tableId, bool asChild,
                                              bool asParent);
std::optional<ForeignKeyRow> foreignKeyById(const Catalog& cat, int id);

// Objects switched off: constraints under NOCHECK, disabled triggers.
void setDisabled(const Catalog& cat, int id, bool disabled);
bool isDisabled(const Catalog& cat, int id);

// Raises error 547 when a row of the referencing table has no referenced row. `verb` is the
// statement ("INSERT", "UPDATE", "DELETE", "ALTER TABLE"); `childSide` says which table it
// changed (the message names the FOREIGN KEY and the referenced table, or the REFERENCE and the
// referencing table). With `afterRowid` only referencing rows past that rowid are looked at.
void enforceForeignKey(const Catalog& cat, const std::string& dbName, const ForeignKeyRow& fk,
                       const std::string& verb, bool childSide,
                       std::optional<long long> afterRowid = std::nullopt);

// The largest rowid of a user table (0 when empty).
long long maxRowid(const Catalog& cat, int tableId);

} // namespace sqlsim
