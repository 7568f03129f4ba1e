// The data analyzer's results as text (aligned columns for a terminal), CSV and HTML. The
// command line and the window's Export both write through these.
#pragma once

#include "explore/data_analyzer.h"

#include <string>

namespace orv {

// The cells of one result row, as the grid and every format show them: column, rows, nulls,
// distinct, min, max, avg_len, max_len. A figure the column's type does not have is empty.
std::vector<std::string> ProfileCells(const ColumnProfile& p);
// "12.50%" of the rows.
std::string NullRatioText(const ColumnProfile& p);
// "value (count); value (count); ..." of the most frequent values.
std::string TopValuesText(const ColumnProfile& p);

constexpr const char* kAnalysisCsvHeader = "column,rows,nulls,distinct,min,max,avg_len,max_len";

// One record per analyzed column under kAnalysisCsvHeader; `detailed` adds type, null_ratio
// and top_values after max_len.
std::string AnalysisCsv(const AnalysisResults& results, bool detailed);
// A header line naming the table, then the same columns aligned; texts made printable.
std::string AnalysisText(const AnalysisResults& results);
// A page with the profile table and, per column, its most frequent values.
std::string AnalysisHtml(const AnalysisResults& results);

} // namespace orv
