// Changing the lists of ignored columns: one table's list of one kind replaced at once, and
// every table's list of a kind as a report. The lists are read by GetIgnoredColumns.
#pragma once

#include "catalog/ignored_columns.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

// Why a section name or a column name cannot be kept in an INI file (a line break, a NUL, or
// for a section name a blank at either end, which the reader trims), or empty when it can.
std::string IgnoredNameProblem(const std::string& name, bool isSection);

// Makes the section `tableName` of the kind's file list exactly `columns` (none removes the
// section), in one atomic replace; other sections are untouched. False with a message naming
// the file when a name cannot be stored or the file cannot be written; the file is then as
// it was.
bool SetIgnoredColumns(int32_t kind, const std::string& tableName,
                       const std::vector<std::string>& columns, std::string& error);
// The same for a table by its parts, under its section name (IgnoredColumnsSection). A list of
// the earlier naming (server.database.table) goes in the same replace, so what it held is
// neither lost (the caller passes it on, read through GetIgnoredColumns) nor read again.
bool SetIgnoredColumns(int32_t kind, const IgnoredTable& table,
                       const std::vector<std::string>& columns, std::string& error);

// Every table of the kind's file with its ignored columns, for the report window. `title`
// names the kind ("Data Comparisons").
std::string IgnoredColumnsReport(int32_t kind, const std::string& title);

} // namespace orv
