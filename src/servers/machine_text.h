// Values in the form files for other programs take them.
#pragma once

#include "servers/recordset.h"

#include <string>

namespace orv {

// Dates in ISO 8601 ("2011-05-01T00:00:00", the milliseconds as ".mmm" when they are not
// zero), Booleans 1 and 0, anything else as its Text. Every CSV file of the program writes
// dates and bits this way.
std::string MachineText(const FieldValue& value);

} // namespace orv
