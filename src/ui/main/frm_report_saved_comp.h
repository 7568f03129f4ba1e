// A comparison's description as the report window receives it; its saved form lives with the
// other stored files (core/saved_comparison.h).
#pragma once

#include "core/saved_comparison.h"
#include "dbcompare/db_compare_report.h"

namespace orv {

// The ExportType values are those of the report formats; ExportTypeName names them.
static_assert(kExportHtml == static_cast<int32_t>(ReportFormat::Html));
static_assert(kExportCsv == static_cast<int32_t>(ReportFormat::Csv));

} // namespace orv
