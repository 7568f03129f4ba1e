// The structure of a database as a deployment needs it: every table with its columns, keys,
// indexes, defaults, CHECK constraints and foreign keys, every module with its stored text, and
// the schemas. Plain values, read once per side (schema_reader.h) and then planned against
// without further queries, so a changed selection rebuilds the script at once.
#pragma once

#include "catalog/object_types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace orv {

struct ColumnDef {
    std::string Name;
    std::string TypeName; // lower case, as the catalog names the type: "int", "nvarchar", ...
    // Characters for character types (nchar/nvarchar count characters, not bytes), bytes for
    // binary ones; -1 for (max); 0 where the type has no length.
    int32_t Length = 0;
    int32_t Precision = 0; // decimal/numeric; 0 otherwise
    int32_t Scale = 0;     // decimal/numeric, and time/datetime2/datetimeoffset
    bool Nullable = true;
    bool Identity = false;
    int64_t Seed = 1;
    int64_t Increment = 1;
    // The expression of a computed column as the server keeps it; empty for a stored column.
    std::string Computed;
    // The column's default: its constraint's name and definition as the server keeps it
    // ("((0))", "(getdate())"); empty definition when there is none.
    std::string DefaultName;
    std::string DefaultDefinition;
    bool DefaultSystemNamed = false;
};

// The type as a column definition writes it: "int", "varchar(20)", "nvarchar(max)",
// "decimal(10,2)", "datetime2(3)".
std::string ColumnTypeText(const ColumnDef& column);

struct IndexColumn {
    std::string Name;
    bool Descending = false;
};

// An index, or the index of a PRIMARY KEY or UNIQUE constraint.
struct IndexDef {
    std::string Name;
    bool PrimaryKey = false;       // a PRIMARY KEY constraint owns it
    bool UniqueConstraint = false; // a UNIQUE constraint owns it
    bool Unique = false;
    bool Clustered = false;
    bool SystemNamed = false;         // the server named the owning constraint
    std::vector<IndexColumn> Columns; // key columns in key order
};

struct CheckDef {
    std::string Name;
    std::string Definition; // as the server keeps it: "([Price]>=(0))"
    bool SystemNamed = false;
};

struct ForeignKeyDef {
    std::string Name;
    std::vector<std::string> Columns; // referencing columns in key order
    std::string RefSchema;
    std::string RefTable;
    std::vector<std::string> RefColumns;
    // "NO ACTION", "CASCADE", "SET NULL" or "SET DEFAULT" (2000 knows the first two).
    std::string OnDelete = "NO ACTION";
    std::string OnUpdate = "NO ACTION";
    bool SystemNamed = false;
};

struct TableDef {
    std::string Schema; // the owner on 2000
    std::string Name;
    std::vector<ColumnDef> Columns;         // in column order
    std::vector<IndexDef> Indexes;          // in index id order
    std::vector<CheckDef> Checks;           // by name
    std::vector<ForeignKeyDef> ForeignKeys; // by name
    // The rows the table held when it was read; -1 when not counted.
    int64_t RowCount = -1;

    const ColumnDef* FindColumn(const std::string& name) const;
};

enum class ModuleKind {
    Procedure,
    View,
    ScalarFunction, // FN
    InlineFunction, // IF
    TableFunction,  // TF
    Trigger,
    Other, // a kind a deployment does not write (CLR, extended procedures)
};

// ObjectType of a kind (functions of all three kinds are kTypeFunction).
ObjectType ModuleObjectType(ModuleKind kind);
// "PROCEDURE", "VIEW", "FUNCTION", "TRIGGER": the word after CREATE/ALTER/DROP.
const char* ModuleKindKeyword(ModuleKind kind);

struct ModuleDef {
    ModuleKind Kind = ModuleKind::Other;
    std::string Schema;
    std::string Name;
    // The stored definition, byte for byte as the server keeps it (syscomments pieces joined,
    // or sys.sql_modules.definition); empty when encrypted or not kept.
    std::string Text;
    bool Encrypted = false;
    bool SchemaBound = false;
    // Triggers: the table (or view) they fire on.
    std::string ParentSchema;
    std::string ParentName;
    // Objects this module uses, from the server's dependency catalog (schema, name; the schema
    // empty for a name written in one part); the planner adds what the text names, since the
    // catalog misses what did not exist when the module was made.
    std::vector<std::pair<std::string, std::string>> DependsOn;
};

struct SchemaModel {
    int VersionMajor = 0; // 8: SQL Server 2000 syntax
    std::string Database;
    // User schemas other than dbo (later servers); empty on 2000.
    std::vector<std::string> Schemas;
    std::vector<TableDef> Tables;
    std::vector<ModuleDef> Modules;

    // By name in any letter case, through an index made on first use (and again whenever
    // the lists have grown since).
    const TableDef* FindTable(const std::string& schema, const std::string& name) const;
    const ModuleDef* FindModule(const std::string& schema, const std::string& name) const;

private:
    mutable std::unordered_map<std::string, size_t> tableIndex_, moduleIndex_;
};

// Names compare as the server's default collation does: ASCII letters in any case.
bool SameName(const std::string& a, const std::string& b);

} // namespace orv
