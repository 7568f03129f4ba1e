// FOREIGN KEY checks on the rows a statement changed, and the switches that turn a constraint's
// checking (NOCHECK) or a table's triggers off, as SQL Server keeps them per object.
#pragma once

#include "engine/catalog.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sqlsim {

class SessionImpl;

// What a foreign key does to the referencing rows when their referenced row is deleted or its
// key updated; the numbers are those of sys.foreign_keys.delete_referential_action.
enum class RefAction { NoAction = 0, Cascade = 1, SetNull = 2, SetDefault = 3 };

struct ForeignKeyRow {
    int id = 0;
    std::string name;
    int child = 0;  // the referencing table
    int parent = 0; // the referenced table
    std::vector<int> childCols, parentCols;
    RefAction onDelete = RefAction::NoAction;
    RefAction onUpdate = RefAction::NoAction;
};

// What SQL Server keeps about a FOREIGN KEY or CHECK constraint beside its definition: the
// referential actions, whether the rows were verified against it (WITH CHECK) and NOT FOR
// REPLICATION. Switched off (NOCHECK) is kept apart, with the disabled triggers.
struct ConstraintState {
    RefAction onDelete = RefAction::NoAction;
    RefAction onUpdate = RefAction::NoAction;
    bool notTrusted = false;
    bool notForReplication = false;
};
ConstraintState constraintState(const Catalog& cat, int id);
void setConstraintState(const Catalog& cat, int id, const ConstraintState& state);
void setNotTrusted(const Catalog& cat, int id, bool notTrusted);
const char* refActionName(RefAction a); // NO_ACTION, CASCADE, SET_NULL, SET_DEFAULT

// Every foreign key that references `tableId`, switched off or not.
std::vector<ForeignKeyRow> foreignKeysTo(const Catalog& cat, int tableId);

// SQL Server lets a DELETE or an UPDATE reach each table at most once through the referential
// actions it sets off: raises 1785 (then 1750) when `fk`, about to be created on `tableName`,
// would close a cycle or open a second path.
void refuseCascadePaths(const Catalog& cat, const ForeignKeyRow& fk, const std::string& tableName);
// A unique index, PRIMARY KEY or UNIQUE constraint about to be made on `table` over the columns
// `colids`: raises 1505 (for a constraint, then 1750) when rows already there share a key,
// NULLs counting as equal as they do in a unique index.
void refuseDuplicateKeys(const Catalog& cat, const ObjectRow& table, const std::vector<int>& colids,
                         const std::string& indexName, int indexId, bool constraint);
// Raises `number` with `text`, then 1750: a constraint SQL Server refused to create.
[[noreturn]] void refuseConstraint(const Catalog& cat, int number, const std::string& text);

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

// A foreign key to check after a statement, from the side the statement changed.
struct ForeignKeyCheck {
    ForeignKeyRow fk;
    bool childSide = false;
};
// The checked foreign keys an INSERT, UPDATE or DELETE (`verb`) on `tableId` can break: its own
// and those of every table its cascading actions reach, which change as by an UPDATE (SET NULL,
// SET DEFAULT, ON UPDATE CASCADE) or a DELETE (ON DELETE CASCADE).
std::vector<ForeignKeyCheck> foreignKeysAtRisk(const Catalog& cat, int tableId,
                                               const std::string& verb);

// The SQLite triggers on a referenced table that carry out the referential actions of the
// foreign keys (switched on) that reference it; `create(what, timing, body)` makes each.
using TriggerMaker = std::function<void(const std::string& what, const std::string& timing,
                                        const std::string& body)>;
void addReferentialActions(SessionImpl& s, const Catalog& cat, const ObjectRow& parent,
                           const TriggerMaker& create);

// The largest rowid of a user table (0 when empty).
long long maxRowid(const Catalog& cat, int tableId);

} // namespace sqlsim
