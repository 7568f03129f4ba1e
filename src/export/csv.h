// CSV as RFC 4180 describes it: comma-separated fields, CR LF after every record, and a field
// enclosed in double quotes (its own quotes doubled) when it holds a comma, a quote, a CR or an
// LF. Texts are UTF-8 and written as they are: no byte-order mark, nothing trimmed.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace orv {

// The field as it appears in a record.
std::string CsvField(std::string_view value);

// Appends one record (the fields and the closing CR LF) to `out`.
void AppendCsvRecord(std::string& out, std::initializer_list<std::string_view> fields);

} // namespace orv
