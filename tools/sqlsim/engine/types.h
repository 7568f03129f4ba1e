// SQL Server's built-in data types: the codes and sizes the catalog records for them, the
// COLMETADATA they travel as, and how a stored SQLite value is turned into a wire value.
#pragma once

#include "engine/engine.h"

#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

namespace sqlsim {

struct BuiltinType {
    const char* name;
    int xtype;
    int xusertype;
    SqlType sql;
    int length;   // bytes, for fixed types
    int prec;     // as syscolumns.prec reports it for fixed types
    int scale;    // -1 for NULL
    bool sized;   // takes (n) or (max)
    bool scaled;  // takes (p[,s])
    int minMajor; // the first release that has the type (0: all)
};

const std::vector<BuiltinType>& builtinTypes();
const BuiltinType* findBuiltin(const std::string& name);
const BuiltinType* findBuiltinByUserType(int xusertype);
// A built-in type the server of `major` does not have (date, time, ... before 2008).
bool laterBuiltin(const std::string& name, int major);
// time, datetime2 and datetimeoffset: their one argument is the fractional seconds' scale.
bool hasFractionScale(const std::string& baseName);
// The message of error 2715 for a type the server does not know, in its version's wording.
std::string unknownTypeMessage(int major, int position, const std::string& name);

// A column's type as declared, with the numbers SQL Server keeps in syscolumns.
struct ColType {
    std::string name;     // systypes name: the built-in or the user-defined type
    std::string baseName; // built-in type underneath
    int xtype = 56;
    int xusertype = 56;
    int length = 4; // syscolumns.length (bytes, -1 for max)
    int prec = 10;
    int scale = 0; // -1 is NULL
    SqlType sql = SqlType::Int;
    int32_t wireSize = 4; // ColumnInfo.size
    bool nullableDefault = true;

    // The declaration SQLite gets for a column of this type; it decides the value's affinity
    // and is read back through sqlite3_column_decltype.
    std::string sqliteDecl() const;
    ColumnInfo columnInfo(const std::string& colName) const;
};

// Builds the type from a built-in name and its arguments: "nvarchar", {"20"} or {"max"}.
// Returns nullopt for an unknown name.
std::optional<ColType> makeBuiltinType(const std::string& name,
                                       const std::vector<std::string>& args);

// Reads back what sqliteDecl() wrote (also understands plain names such as "int").
std::optional<ColType> parseDecl(const std::string& decl);

// The base type as a conversion needs it: the name, with the scale for time, datetime2 and
// datetimeoffset ("datetime2(3)"), whose stored form depends on it.
std::string conversionType(const ColType& t);

// Turns a result cell into the value the wire expects for the column's type.
Value convertCell(sqlite3_stmt* st, int col, const ColumnInfo& info);

// Canonical datetime text "YYYY-MM-DD hh:mm:ss.fff" from the forms SQL Server accepts.
std::optional<std::string> normalizeDateTime(const std::string& text);

std::string formatDecimal(double v, int scale);
// Current local time as datetime text.
std::string nowDateTime();

} // namespace sqlsim
