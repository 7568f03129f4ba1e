// A comparison's description as the report window receives it, and its saved form: one
// numbered section of the comparisons INI file, so the same comparison can be set up again.
#pragma once

#include "dbcompare/db_compare_report.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

struct ComparisonDescription {
    std::string ServerName[2];
    std::string DbName[2];
    std::string TableName[2];
    int32_t CompType = 0;
    int32_t CompSubType = 0;
    int32_t CompSubSubType = 0;
    std::string EncObjTypes;
    int32_t CompMethod = 0;
    bool PlayingSavedComp = false;
    std::string SavedFullExportFilePath;
    int32_t CheckCount[2] = {0, 0};
    // Saved as SelCompSource1..n and SelCompTarget1..n, at most CheckCount of each.
    std::vector<std::string> CheckedObjects[2];
    bool Print = false;
    std::string TableId[2]; // decimal text
};

// The ExportType values are those of the report formats; ExportTypeName names them.
constexpr int32_t kExportHtml = static_cast<int32_t>(ReportFormat::Html);
constexpr int32_t kExportCsv = static_cast<int32_t>(ReportFormat::Csv);

// The export type a file name implies: .htm/.html, .csv, anything else 0.
int32_t ExportTypeOf(const std::string& path);

// Writes the description as the section of the lowest unused process number (1, 2, ...) and
// returns that number; 0 when the file could not be written.
int32_t SaveComparisonProcess(const std::string& iniPath, const ComparisonDescription& d);
// Reads a saved process back; false when there is no section of that number.
bool LoadComparisonProcess(const std::string& iniPath, int32_t number, ComparisonDescription& d);

} // namespace orv
