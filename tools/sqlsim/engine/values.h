// Values as SQL Server converts them: on the way into a column or variable of a type, in CAST
// and CONVERT, and the errors a conversion or an arithmetic operator raises.
#pragma once

#include "engine/datetime_text.h"
#include "engine/errors.h"

#include <sqlite3.h>

#include <optional>
#include <string>

namespace sqlsim {

class SessionImpl;

// Types whose values SQLite would keep as written, so a write converts them first: a date
// string becomes the stored form of its date or time type, a bit becomes 0 or 1. `baseType`
// may carry a scale: "datetime2(3)".
bool convertsOnWrite(const std::string& baseType);

// SQL Server's error for a message a conversion function left in SQLite's error text.
std::optional<SqlError> valueErrorFromText(const std::string& msg);

// 245: a string that is no number of the target type.
std::string numberSyntaxMessage(int major, const std::string& value, const std::string& type);

// The release a product version belongs to, as @@VERSION names it: "8.00.2039" -> "2000",
// "10.50.1600.1" -> "2008 R2", "16.0.1000.6" -> "2022".
std::string releaseName(const std::string& productVersion);

namespace fn {

// CAST/CONVERT to one of the date and time types; `style` picks the order of a numeric date,
// `scale` the fractional digits of time, datetime2 and datetimeoffset.
void convertToDateTime(sqlite3_context* ctx, sqlite3_value* v, DateKind kind, int style,
                       int scale = 7);
// CAST/CONVERT to bit: any non-zero number is 1, and so is the string TRUE.
void convertToBit(sqlite3_context* ctx, sqlite3_value* v);

void registerValueFunctions(sqlite3* db, SessionImpl* s);

} // namespace fn

} // namespace sqlsim
