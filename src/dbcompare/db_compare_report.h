// The whole-database comparison as a report: plain text (the report window, the clipboard and
// the command line), CSV and HTML (the export file). Every writer reads the results model only;
// all escaping happens in the export room.
#pragma once

#include "dbcompare/db_compare_results.h"

#include <cstdint>
#include <string>

namespace orv {

// The numbers are the saved process's ExportType values; Text has none.
enum class ReportFormat { Text = 0, Html = 1, Csv = 2 };

// How the lines of the text report end: CR LF in the program's report texts (the report window,
// the clipboard, an exported text file), LF for a shell. CSV records always end with CR LF.
enum class LineBreaks { CrLf, Lf };

// The CSV's header record, without its CR LF. The note says why an object could not be
// compared, and that columns were left out of a table's comparison; reading says how the
// object's texts were read ("full", or "hash-first": fingerprints first, texts only where they
// differ).
constexpr const char* kDbCompareCsvHeader =
    "type,schema,name,status,source_modified,target_modified,differing_lines,note,reading";

// The CSV of a run that did not complete holds, right after the header, one record whose type
// and status are both this word, whose schema is "stopped" or "failed" and whose name is the
// reason. No type or status word of an object is ever this word, so every filter on them
// skips the record, and a reader checking for it knows the list is partial.
constexpr const char* kDbCompareCsvIncomplete = "incomplete";

// The name a saved process gives its ExportType: 1 "Hyper Text Markup Language (HTML) file",
// 2 "Excel - Comma Separated Values (CSV) file", any other value "N/A".
const char* ExportTypeName(int32_t exportType);

// "Compare All Objects", "Compare All Procedures", "Compare Selected Tables - Details", ...:
// the menu item's caption the run came from, for a window caption and the report's heading.
std::string DbCompareTitle(const DbCompareResults& results);

// ".txt", ".html" or ".csv".
const char* ReportFileExtension(ReportFormat format);

// A --format word: text (or txt), csv or html in any letter case; false for another word.
bool ParseReportFormat(const std::string& word, ReportFormat& format);

// "12 objects compared, 10 identical, 2 different.": the line a run without a window ends with.
std::string ResultCountsText(const DbCompareResults& results);

// The whole report. Text and HTML carry the differing lines of each different object when
// results.Details is set; the CSV always has its fixed columns.
std::string FormatDbCompareReport(const DbCompareResults& results, ReportFormat format,
                                  LineBreaks textBreaks = LineBreaks::CrLf);

// Writes the report to `path` all or nothing (a temporary file renamed over it). False with a
// message naming the path when the folder is missing or the file cannot be written; an existing
// file is then left as it was.
bool WriteDbCompareReport(const DbCompareResults& results, ReportFormat format,
                          const std::string& path, std::string& error,
                          LineBreaks textBreaks = LineBreaks::CrLf);

} // namespace orv
