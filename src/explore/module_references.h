// The objects a module's text refers to: names after FROM, JOIN, INTO, UPDATE, DELETE, MERGE,
// USING, EXEC/EXECUTE and REFERENCES, the table of a trigger or index, and schema-qualified
// function calls; plus the names the module makes up for itself (CTEs, aliases, cursors, the
// tables it creates), which are never references to the catalog.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

enum class ReferenceKind { Object, Procedure, Function };

struct ModuleReference {
    std::vector<std::string> Parts; // unquoted; an empty part where "db..name" leaves one out
    std::string Written;            // as the text writes it
    int Line = 1;
    ReferenceKind Kind = ReferenceKind::Object;
};

struct ModuleReferences {
    std::vector<ModuleReference> References; // in text order
    // CTE names, table, derived-table and column aliases, cursors; upper-cased.
    std::set<std::string> LocalNames;
    // Tables the module creates itself (CREATE TABLE, SELECT ... INTO), as parts.
    std::vector<std::vector<std::string>> CreatedObjects;
};

ModuleReferences FindModuleReferences(std::string_view text);

// ASCII upper case, for comparing names the way the server's default collation does.
std::string UpperName(std::string_view name);

} // namespace orv
