#include "deploy/schema_model.h"

#include <cctype>

namespace orv {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string ColumnTypeText(const ColumnDef& column) {
    const std::string& t = column.TypeName;
    auto length = [&] {
        return column.Length < 0 ? std::string("max") : std::to_string(column.Length);
    };
    if (t == "char" || t == "varchar" || t == "nchar" || t == "nvarchar" || t == "binary" ||
        t == "varbinary")
        return t + "(" + length() + ")";
    if (t == "decimal" || t == "numeric")
        return t + "(" + std::to_string(column.Precision) + "," + std::to_string(column.Scale) +
               ")";
    if (t == "time" || t == "datetime2" || t == "datetimeoffset")
        return t + "(" + std::to_string(column.Scale) + ")";
    return t;
}

const ColumnDef* TableDef::FindColumn(const std::string& name) const {
    for (const ColumnDef& c : Columns) {
        if (SameName(c.Name, name))
            return &c;
    }
    return nullptr;
}

ObjectType ModuleObjectType(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::Procedure:
        return kTypeProcedure;
    case ModuleKind::View:
        return kTypeView;
    case ModuleKind::ScalarFunction:
    case ModuleKind::InlineFunction:
    case ModuleKind::TableFunction:
        return kTypeFunction;
    case ModuleKind::Trigger:
        return kTypeTrigger;
    case ModuleKind::Other:
        break;
    }
    return kTypeNone;
}

const char* ModuleKindKeyword(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::Procedure:
        return "PROCEDURE";
    case ModuleKind::View:
        return "VIEW";
    case ModuleKind::ScalarFunction:
    case ModuleKind::InlineFunction:
    case ModuleKind::TableFunction:
        return "FUNCTION";
    case ModuleKind::Trigger:
        return "TRIGGER";
    case ModuleKind::Other:
        break;
    }
    return "";
}

const TableDef* SchemaModel::FindTable(const std::string& schema, const std::string& name) const {
    for (const TableDef& t : Tables) {
        if (SameName(t.Schema, schema) && SameName(t.Name, name))
            return &t;
    }
    return nullptr;
}

const ModuleDef* SchemaModel::FindModule(const std::string& schema, const std::string& name) const {
    for (const ModuleDef& m : Modules) {
        if (SameName(m.Schema, schema) && SameName(m.Name, name))
            return &m;
    }
    return nullptr;
}

} // namespace orv
