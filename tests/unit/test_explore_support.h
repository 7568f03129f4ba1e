// An in-memory catalog for the search and reference tests: objects with their texts and a
// table's column rows, as the bulk reader would give them.
#pragma once

#include "explore/db_catalog.h"

#include <string>
#include <vector>

namespace orv::test {

class CatalogBuilder {
public:
    explicit CatalogBuilder(std::string database = "Shop") {
        catalog_.Server = "srv";
        catalog_.Database = std::move(database);
    }
    CatalogBuilder& Add(ObjectType type, const std::string& schema, const std::string& name,
                        const std::string& text = "", std::vector<std::string> columns = {}) {
        CatalogTypeRead& read = catalog_.Types[type];
        read.Type = type;
        if (read.ColumnFields.empty())
            read.ColumnFields = {{"tableid", 0, 0}, {"column", 0, 0}};
        CatalogObject o;
        o.Ref.Id = ++id_;
        o.Ref.Schema = schema;
        o.Ref.Name = name;
        o.ListedName = schema == "dbo" ? name : schema + "." + name;
        o.Text = text;
        for (const auto& c : columns)
            o.ColumnRows.push_back({FieldValue::Int(id_), FieldValue::Str(c)});
        read.Objects.push_back(std::move(o));
        return *this;
    }
    // Every searchable type present, even when empty.
    DbCatalog Build() {
        for (ObjectType t : SearchableTypes())
            catalog_.Types[t].Type = t;
        return catalog_;
    }

private:
    DbCatalog catalog_;
    int32_t id_ = 0;
};

} // namespace orv::test
