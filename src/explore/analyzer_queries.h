// The SQL the data analyzer sends: one catalog query for the table's columns, then for each
// column one aggregate query and one query for its most frequent values. Every figure is worked
// out by the server; no row of the table ever travels. Names are data and always go in
// brackets.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

// What the server can do with a column's values.
enum class ColumnClass {
    Ordered,    // compared, counted distinct and grouped as they are (numbers, dates, ...)
    Character,  // Ordered, plus lengths in characters
    Binary,     // Ordered, plus lengths in bytes
    Bit,        // MIN and MAX need a number: the bit is cast to int for them
    Guid,       // MIN and MAX need text: the value is cast to char(36) for them
    LongText,   // text, ntext: no MIN, MAX, DISTINCT or GROUP BY; lengths only
    LongBinary, // image: as LongText, lengths in bytes
    Opaque,     // xml and spatial types: rows and NULLs only
};

// By the built-in type's name; an alias type must be given as its base type.
ColumnClass ClassifyColumnType(const std::string& typeName);
bool HasLengths(ColumnClass c);
// MIN, MAX and COUNT(DISTINCT) are allowed.
bool HasOrder(ColumnClass c);
// GROUP BY is allowed, so the most frequent values can be counted.
bool HasTopValues(ColumnClass c);

// How many of the most frequent values are asked for.
constexpr int kTopValueCount = 10;

// id, schema, table, column, datatype and basetype of every column of the user table, in column
// order: by id when `objectId` > 0, else by name (and schema when given). The datatype is the
// column's declared type, an alias type's own name included; basetype is the built-in type
// underneath, by which the column is classified (systypes keeps it in xtype).
std::string AnalyzerColumnsQuery(int32_t objectId, const std::string& schema,
                                 const std::string& name, bool later);

// One row: rows, [values] (non-NULL), and as the class allows distinct, min, max, avg_len,
// max_len. `table` is the quoted two-part name.
std::string ColumnProfileQuery(const std::string& table, const std::string& column, ColumnClass c);

// Up to kTopValueCount rows of value and count, the most frequent first, ties by value; NULL
// is not a value here (the profile counts it). Empty for a class without GROUP BY.
std::string TopValuesQuery(const std::string& table, const std::string& column, ColumnClass c);

} // namespace orv
