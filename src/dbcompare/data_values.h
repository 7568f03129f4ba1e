// How the data comparison judges values: type families (which types may be compared and used
// as a key against each other), exact type-aware equality of two cells, and the order of key
// values, which must be the order in which the servers return the rows.
#pragma once

#include "servers/recordset.h"

#include <string>
#include <string_view>

namespace orv {

enum class TypeFamily {
    Integer,
    Exact,
    Approximate,
    Character,
    Binary,
    DateTime,
    Guid,
    Bit,
    Other
};

// The family of a type name as the catalog gives it ("int", "nvarchar", "decimal", ...).
TypeFamily FamilyOfType(std::string_view typeName);

// Whether a type stores large values the hashed mode cannot hash in one piece (text, ntext,
// image, xml and the (max) types: `length` -1).
bool IsLargeType(std::string_view typeName, int64_t length);

// Equal as SQL Server's = sees the values, made exact: NULL equals only NULL; numbers by value
// (decimals digit by digit at any scale, floats bit for bit with -0 taken as 0); dates by
// value; character data without its trailing blanks, letter case counting only when
// `caseSensitive`; binary data byte for byte.
bool ValuesEqual(const FieldValue& a, const FieldValue& b, bool caseSensitive);

// The order of two key values: negative, 0 or positive. NULL first; numbers by value; texts by
// code point with the shorter padded with blanks (a binary collation's order); binary data
// byte by byte; dates by value. Two key values that compare 0 are the same key.
int CompareKeyValues(const FieldValue& a, const FieldValue& b);

// A decimal text ("-001.500") in its shortest form ("-1.5", "0"); empty when not a number.
std::string CanonicalDecimal(std::string_view text);

// A date and time text with its fraction's trailing zeros removed ("2024-01-02 10:00:00").
std::string CanonicalDateTime(std::string_view text);

// The text upper-cased character by character (all scripts, not only Latin), for comparisons
// that ignore letter case.
std::string FoldCase(std::string_view utf8);

// N'...' with quotes doubled; a NUL cannot sit inside a literal in every tool, so it is joined
// in as NCHAR(0).
std::string UnicodeLiteral(std::string_view text);

// A value as a T-SQL literal of the column's type ("NULL", "42", "12.50", "N'...'", "'...'",
// "0x0A1B", "'2024-01-31T10:20:30.123'", "1e+300"); `type` as DataColumn holds it.
std::string TypedSqlLiteral(const FieldValue& value, const std::string& type);

} // namespace orv
