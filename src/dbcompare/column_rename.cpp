#include "dbcompare/column_rename.h"

#include "catalog/table_script.h"
#include "servers/recordset.h"
#include "util/text.h"

namespace orv {

std::vector<ColumnShape> TableColumnShapes(const CatalogTypeRead& read,
                                           const CatalogObject& table) {
    std::vector<ColumnShape> shapes;
    MemoryRecordset rows(read.ColumnFields, table.ColumnRows);
    for (; !rows.IsEOF(); rows.MoveNext()) {
        ColumnInfo info;
        const std::string line = BuildColumnLine(rows, "", info);
        // The line starts "[name] ": what follows is the column's shape.
        const size_t namePart = info.ColumnName.size() + 3;
        shapes.push_back({info.ColumnName, line.size() > namePart ? line.substr(namePart) : ""});
    }
    return shapes;
}

namespace {

const ColumnShape* FindShape(const std::vector<ColumnShape>& columns, const std::string& name) {
    for (const ColumnShape& c : columns) {
        if (EqualsNoCase(c.Name, name))
            return &c;
    }
    return nullptr;
}

} // namespace

ColumnRenameGuess GuessColumnRename(const std::vector<ColumnShape>& source,
                                    const std::vector<ColumnShape>& target) {
    const ColumnShape* onlyInTarget = nullptr;
    const ColumnShape* onlyInSource = nullptr;
    for (const ColumnShape& t : target) {
        if (FindShape(source, t.Name))
            continue;
        if (onlyInTarget)
            return {};
        onlyInTarget = &t;
    }
    for (const ColumnShape& s : source) {
        if (FindShape(target, s.Name))
            continue;
        if (onlyInSource)
            return {};
        onlyInSource = &s;
    }
    if (!onlyInTarget || !onlyInSource || onlyInTarget->Shape != onlyInSource->Shape)
        return {};
    return {onlyInTarget->Name, onlyInSource->Name};
}

} // namespace orv
