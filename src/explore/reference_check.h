// The check of references to objects that do not exist: every reference a module's text makes
// is looked up in the database's catalog. Temporary tables, table variables, the module's own
// names and system objects are never reported; names in another database or on a linked
// server cannot be looked up here and are listed apart as not checked.
#pragma once

#include "explore/db_catalog.h"
#include "explore/module_references.h"

#include <set>
#include <string>
#include <vector>

namespace orv {

constexpr const char* kReasonMissing = "does not exist";
constexpr const char* kReasonNotChecked = "not checked";

struct ReferenceFinding {
    ObjectType ModuleType = kTypeNone;
    std::string ModuleSchema;
    std::string ModuleName;
    int Line = 0;
    std::string Reference; // as the text writes it
    std::string Reason;    // kReasonMissing or kReasonNotChecked
    bool NotChecked() const { return Reason == kReasonNotChecked; }
    // "schema.name", or the name alone without a schema.
    std::string Module() const;
};

// The objects a reference may name: tables, views, procedures and functions, by schema and
// name without regard to case.
class CatalogNames {
public:
    explicit CatalogNames(const DbCatalog& catalog);
    bool Exists(const std::string& schema, const std::string& name) const;
    const std::string& Database() const { return database_; }

private:
    std::set<std::string> names_;
    std::string database_;
};

// The types a check reads: what references resolve against, and the modules it checks.
const std::vector<ObjectType>& ReferenceCheckTypes();
// The module types whose texts are checked.
bool IsCheckedModuleType(ObjectType type);

// The findings of one module's text, in text order.
std::vector<ReferenceFinding> CheckModuleText(const CatalogNames& names, ObjectType type,
                                              const std::string& schema, const std::string& name,
                                              const std::string& text);

// Every module of the catalog (procedures, functions, views, triggers), or only the one named
// (schema-qualified or not, any letter case) when `onlyModule` is not empty. `found` tells
// whether that module exists.
std::vector<ReferenceFinding> CheckCatalogReferences(const DbCatalog& catalog,
                                                     const std::string& onlyModule = "",
                                                     bool* found = nullptr,
                                                     const CancelToken* cancel = nullptr);

} // namespace orv
