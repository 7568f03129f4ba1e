// One panel's object list: the listing query of a type, the record set turned into entries,
// equal names told apart by their schemas on later servers, and the list control filled.
#pragma once

#include "catalog/object_types.h"
#include "servers/recordset.h"
#include "servers/server_entry.h"
#include "util/list_control.h"
#include "util/text_view.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orv {

struct TwoStr {
    std::string Name;
    std::string RefDate;
    int32_t Id = 0;
    std::string Schema;
};

// The listing query of one type; empty (after a message) for a code without one.
std::string BuildObjSQLString(ObjectType type, bool ignoreSysObjects);

// Fills the array from the name/refdate/id columns; false when the record set is closed or
// cannot be read. A missing or empty record set gives true and no entries.
bool ConvertRecordsetToTwoStrArray(Recordset* recordset, std::vector<TwoStr>& entries,
                                   int32_t& count);

// True when two neighbouring entries have exactly the same name.
bool AreDuplicatesInArr_TwoStr(const std::vector<TwoStr>& entries, int32_t count);

// Prefixes every name that equals a neighbour's with its schema and ".".
void QualifyDuplicateNames(ServerEntry& server, ObjectType type, const std::string& database,
                           std::vector<TwoStr>& entries, int32_t count);
// The same with the schemas told by `lookUpSchema`, which fills an entry's Schema and returns
// false when the lookup failed (that ends the whole qualification, as a failed server lookup
// does).
void QualifyDuplicateNames(std::vector<TwoStr>& entries, int32_t count,
                           const std::function<bool(TwoStr& entry)>& lookUpSchema);

// Clears and refills the object list: name, upper-cased reference date and hidden id per row;
// row 0 becomes current.
void LoadListView(ListControl& list, const std::vector<TwoStr>& entries, int32_t count);

// Lists the objects of one type in a database and, with showFirst, shows the selected one.
void LoadObjects(ServerEntry& server, ListControl& list, TextView& view, ObjectType type,
                 const std::string& database, bool showFirst);

} // namespace orv
