// Finding the object a person typed by name among the rows of an object list. A listed row
// carries the object's id, and everything after the lookup goes by that id.
#pragma once

#include "servers/server_entry.h"
#include "util/list_control.h"

#include <string>

namespace orv {

// The row the typed name means, or -1. The name is first taken whole, as listed (exactly, then
// ignoring letter case as the server does), because names may hold "." themselves. Only when
// no row is listed so is it read as schema.name, trying each "." from the left: the part after
// it must be a listed name, the part before it that row's schema (read by the row's id).
int FindListedObject(ServerEntry& server, const std::string& database, const ListControl& list,
                     const std::string& typedName);

} // namespace orv
