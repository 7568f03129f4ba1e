// The kinds of catalog object a panel lists, with every name and catalog condition keyed by
// their numeric codes.
#pragma once

#include "catalog/combo_control.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orv {

using ObjectType = int32_t;

constexpr ObjectType kTypeNone = 0;
constexpr ObjectType kTypeProcedure = 10;
constexpr ObjectType kTypeFunction = 20;
constexpr ObjectType kTypeView = 30;
constexpr ObjectType kTypeTrigger = 40;
constexpr ObjectType kTypeTable = 50;
constexpr ObjectType kTypeRelationship = 60;
constexpr ObjectType kTypeConstraint = 80;

// The seven types in the type selector's order, which reports, flag texts and whole-database
// runs follow.
constexpr ObjectType kSelectorTypeOrder[] = {kTypeTable,     kTypeProcedure, kTypeFunction,
                                             kTypeView,      kTypeTrigger,   kTypeRelationship,
                                             kTypeConstraint};

// True for the seven codes of the table (not for 0 and not for 70).
bool IsKnownObjectType(ObjectType type);

// "Table"/"tables" and so on; "Object"/"objects" for an unknown code.
std::string GetObjectTypeName(ObjectType type, bool singular);
// The selector caption: "Tables", ...; empty for an unknown code.
std::string ObjectTypeCaption(ObjectType type);
// The seven-flag text handed to the report window: "1,0,0,0,0,0,0" for tables, all zeros for
// code 0, empty for any other unknown code.
std::string ObjectTypeFlagText(ObjectType type);
// The sysobjects.xtype the owner lookup uses; empty for constraints and unknown codes.
std::string OwnerXtype(ObjectType type);
// The sysobjects condition of the listing for codes 10 to 50; empty otherwise.
std::string ListingCondition(ObjectType type);
// Procedures, functions, views and triggers: the types whose text is a stored module text.
bool IsModuleType(ObjectType type);
// The sysobjects.xtype values the listing's condition picks, quoted and separated by commas
// ("'FN', 'IF', 'TF'"), for codes 10 to 50; empty otherwise. A condition on the column costs
// the server nothing per row, where OBJECTPROPERTY looks every row's object up.
std::string ListingXtypes(ObjectType type);

// Fills the type selector: the six captions in order, "Constraints" last when the setting
// AnalyzeConstraints is on, each with its code as item data; Tables chosen.
void FillObjectTypeCombo(ComboControl& cmbType);

// A code from a command-line word: digits, or a plural, singular or caption name in any case.
std::optional<ObjectType> ParseObjectType(const std::string& word);

} // namespace orv
