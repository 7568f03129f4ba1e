#include "catalog/object_lookup.h"

#include "catalog/schemas.h"
#include "util/text.h"

#include <cstdint>
#include <vector>

namespace orv {
namespace {

// The rows listed under exactly this name, or failing that under it in another letter case.
std::vector<int> RowsNamed(const ListControl& list, const std::string& name) {
    std::vector<int> rows;
    for (int row = 0; row < list.Count(); ++row)
        if (list.CellText(row, 0) == name)
            rows.push_back(row);
    if (rows.empty())
        for (int row = 0; row < list.Count(); ++row)
            if (EqualsNoCase(list.CellText(row, 0), name))
                rows.push_back(row);
    return rows;
}

} // namespace

int FindListedObject(ServerEntry& server, const std::string& database, const ListControl& list,
                     const std::string& typedName) {
    const std::vector<int> whole = RowsNamed(list, typedName);
    if (!whole.empty())
        return whole.front();
    for (size_t dot = typedName.find('.'); dot != std::string::npos;
         dot = typedName.find('.', dot + 1)) {
        const std::string schema = typedName.substr(0, dot);
        for (int row : RowsNamed(list, typedName.substr(dot + 1))) {
            int32_t id = 0;
            std::string rowSchema, rowName;
            if (ParseInt32(list.CellText(row, 2), id) &&
                Db_GetObjNameById(server, database, id, rowSchema, rowName) &&
                EqualsNoCase(rowSchema, schema))
                return row;
        }
    }
    return -1;
}

} // namespace orv
