#include "catalog/object_types.h"

#include "core/settings.h"
#include "util/text.h"

#include <array>

namespace orv {
namespace {

struct TypeRow {
    ObjectType code;
    const char* caption;
    const char* singular;
    const char* plural;
    const char* flags;
    const char* ownerXtype;
    const char* condition;
    // The sysobjects types the condition picks, for the whole-database queries.
    const char* xtypes;
};

// The order is the selector's order.
constexpr std::array<TypeRow, 7> kTypes{{
    {kTypeTable, "Tables", "Table", "tables", "1,0,0,0,0,0,0", "U",
     "OBJECTPROPERTY(id, N'IsUserTable') = 1", "'U'"},
    {kTypeProcedure, "Procedures", "Procedure", "procedures", "0,1,0,0,0,0,0", "P",
     "OBJECTPROPERTY(id, N'IsProcedure') = 1", "'P'"},
    {kTypeFunction, "Functions", "Function", "functions", "0,0,1,0,0,0,0", "FN",
     "OBJECTPROPERTY(id, N'IsInlineFunction') = 1 or OBJECTPROPERTY(id, N'IsScalarFunction') = 1  "
     "or OBJECTPROPERTY(id, N'IsTableFunction') = 1",
     "'FN', 'IF', 'TF'"},
    {kTypeView, "Views", "View", "views", "0,0,0,1,0,0,0", "V", "OBJECTPROPERTY(id, N'IsView') = 1",
     "'V'"},
    {kTypeTrigger, "Triggers", "Trigger", "triggers", "0,0,0,0,1,0,0", "TR",
     "OBJECTPROPERTY(id, N'IsTrigger') = 1", "'TR'"},
    {kTypeRelationship, "Relationships", "Relationship", "relationships", "0,0,0,0,0,1,0", "F", "",
     ""},
    {kTypeConstraint, "Constraints", "Constraint", "constraints", "0,0,0,0,0,0,1", "", "", ""},
}};

constexpr bool InSelectorOrder() {
    for (size_t i = 0; i < kTypes.size(); ++i)
        if (kTypes[i].code != kSelectorTypeOrder[i])
            return false;
    return std::size(kSelectorTypeOrder) == kTypes.size();
}
static_assert(InSelectorOrder(), "the type table and the selector's order are one order");

const TypeRow* Find(ObjectType type) {
    for (const auto& row : kTypes)
        if (row.code == type)
            return &row;
    return nullptr;
}

} // namespace

bool IsKnownObjectType(ObjectType type) {
    return Find(type) != nullptr;
}

std::string GetObjectTypeName(ObjectType type, bool singular) {
    const TypeRow* row = Find(type);
    if (!row)
        return singular ? "Object" : "objects";
    return singular ? row->singular : row->plural;
}

std::string ObjectTypeCaption(ObjectType type) {
    const TypeRow* row = Find(type);
    return row ? row->caption : "";
}

std::string ObjectTypeFlagText(ObjectType type) {
    if (type == kTypeNone)
        return "0,0,0,0,0,0,0";
    const TypeRow* row = Find(type);
    return row ? row->flags : "";
}

std::string OwnerXtype(ObjectType type) {
    const TypeRow* row = Find(type);
    return row ? row->ownerXtype : "";
}

std::string ListingCondition(ObjectType type) {
    const TypeRow* row = Find(type);
    return row ? row->condition : "";
}

bool IsModuleType(ObjectType type) {
    return type == kTypeProcedure || type == kTypeFunction || type == kTypeView ||
           type == kTypeTrigger;
}

std::string ListingXtypes(ObjectType type) {
    const TypeRow* row = Find(type);
    return row ? row->xtypes : "";
}

void FillObjectTypeCombo(ComboControl& cmbType) {
    cmbType.SetTag("OFF");
    cmbType.Clear();
    for (const auto& row : kTypes) {
        if (row.code == kTypeConstraint && !Settings().AnalyzeConstraints)
            continue;
        const int index = cmbType.AddItem(row.caption);
        cmbType.SetItemData(index, row.code);
    }
    cmbType.SetListIndex(0);
    cmbType.SetTag("");
}

std::optional<ObjectType> ParseObjectType(const std::string& word) {
    int32_t code = 0;
    if (ParseInt32(word, code))
        return IsKnownObjectType(code) ? std::optional<ObjectType>(code) : std::nullopt;
    for (const auto& row : kTypes)
        if (EqualsNoCase(word, row.plural) || EqualsNoCase(word, row.singular) ||
            EqualsNoCase(word, row.caption))
            return row.code;
    return std::nullopt;
}

} // namespace orv
