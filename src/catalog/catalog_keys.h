// The names of the results a snapshot keeps (see CatalogRows). They are part of the snapshot
// file: a later release may add names, never change what one means.
#pragma once

namespace orv {

constexpr const char* kKeyTableColumns = "table columns";
constexpr const char* kKeyTableIndexes = "table indexes";
constexpr const char* kKeyCompleteIndexes = "complete table indexes";
constexpr const char* kKeyCompleteConstraints = "complete table constraints";
constexpr const char* kKeyForeignKeyColumns = "foreign key columns";
constexpr const char* kKeyRelationships = "relationships";
constexpr const char* kKeyConstraints = "constraints";
// Kept from snapshot format 1.1 on, for the scripts a scripts folder is written with: the
// user-defined data types, and each identity column's seed and increment read by the table's
// qualified name (the column rows read it by the bare name, as the panel does).
constexpr const char* kKeyUserTypes = "user types";
constexpr const char* kKeyIdentitySeeds = "table identity seeds";

} // namespace orv
