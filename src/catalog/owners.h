// Owners of catalog objects (the owning database user): one object's owner, all owners of a
// database, the owner selector of a panel and filtering a panel's list by owner.
#pragma once

#include "catalog/combo_control.h"
#include "catalog/object_types.h"
#include "servers/server_entry.h"
#include "util/list_control.h"
#include "util/text_view.h"

#include <cstdint>
#include <string>

namespace orv {

// The owner's name, or empty text (functions are found only when scalar).
std::string GetOwner(const ServerEntry& server, const std::string& database,
                     const std::string& objectName, ObjectType type);

// The owner of the object with this catalog id (for a constraint's row, its table's id), from
// the same users as the owner selector lists; empty text when the id is not positive or unknown.
std::string GetOwnerById(const ServerEntry& server, const std::string& database, int32_t objectId);

// The owners of all objects of the database as ",owner1,owner2"; returns how many.
int32_t GetAllOwners(const ServerEntry& server, const std::string& database, ObjectType type,
                     std::string& ownerList);

// Refills the owner selector with "All Owners" and the database's owners, when ShowOwners is on.
void LoadOwners(const ServerEntry& server, const std::string& database, const ComboControl& cmbType,
                ComboControl& cmbOwners);

constexpr const char* kAllOwners = "All Owners";

// Reloads the panel's list and keeps only the objects of the chosen owner.
void FilterObjectsByOwner(ServerEntry& server, const ComboControl& cmbType,
                          const ListControl& databases, ListControl& objects, TextView& view,
                          const std::string& owner);

} // namespace orv
