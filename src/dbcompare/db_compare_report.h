// The whole-database comparison as a report: plain text (the report window, the clipboard and
// the command line), CSV and HTML (the export file). Every writer reads the results model only;
// all escaping happens in the export room.
#pragma once

#include "dbcompare/db_compare_results.h"

#include <string>

namespace orv {

// The numbers are the saved process's ExportType values; Text has none.
enum class ReportFormat { Text = 0, Html = 1, Csv = 2 };

// The whole report. Text and HTML carry the differing lines of each different object when
// results.Details is set; the CSV always has its fixed columns.
std::string FormatDbCompareReport(const DbCompareResults& results, ReportFormat format);

// Writes the report to `path` all or nothing (a temporary file renamed over it). False with a
// message naming the path when the folder is missing or the file cannot be written; an existing
// file is then left as it was.
bool WriteDbCompareReport(const DbCompareResults& results, ReportFormat format,
                          const std::string& path, std::string& error);

} // namespace orv
