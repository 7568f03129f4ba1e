// Confirmed column renames: checked against both structures, written as sp_rename steps, and
// applied to a copy of the target's structure so the rest of the plan sees the column under its
// new name, as the target will have it once the rename has run.
#pragma once

#include "deploy/deploy_script.h"
#include "deploy/schema_model.h"

#include <string>
#include <vector>

namespace orv {

// "TABLE.OLD=NEW" as the command line takes it: TABLE is schema.table or table, and any part
// may be bracketed ("[Order Lines].[Qty]=[Quantity]"). False with `error` when it is not one.
bool ParseColumnRename(const std::string& text, ColumnRename& rename, std::string& error);

// "dbo.Orders.Qty=Quantity", as a message names a rename.
std::string ColumnRenameText(const ColumnRename& rename);

// Why the rename cannot be made between these structures (the table differs in neither or is
// missing, OLD is not a column only the target has, NEW not one only the source has); empty
// when it can. A rename without a schema takes the schema of the only such table, and says
// so when several schemas have one; `resolved` gets the rename with the names as the
// structures spell them.
std::string CheckColumnRename(const SchemaModel& source, const SchemaModel& target,
                              const ColumnRename& rename, ColumnRename& resolved);

// "EXEC sp_rename N'[dbo].[Orders].[Qty]', N'Quantity', 'COLUMN';": the first argument is a
// name sp_rename parses (each part bracketed, "]" doubled), the second the new name as it is.
std::string ColumnRenameSql(const ColumnRename& rename);

// The target's structure once the renames have run: the column, the key and index columns
// and the foreign keys (the table's own and those pointing at it) under the new name. CHECK
// and computed-column texts are left as read, so a server that does not rewrite them still
// gets them recreated from the source.
SchemaModel TargetAfterRenames(const SchemaModel& target, const std::vector<ColumnRename>& renames);

} // namespace orv
