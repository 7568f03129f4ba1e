// The first half of Export in the comparison results windows: the save dialog, proposing a
// file in the data folder, and the check of the chosen name's ending, which decides the format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orv {

struct ResultsExportTarget {
    std::string Path;
    int32_t Type = 0; // kExportHtml or kExportCsv
};

// Nothing when the user cancelled, or chose a name that does not end in .html, .htm or .csv
// (they have been told so).
std::optional<ResultsExportTarget> AskResultsExportTarget(const std::string& proposedName);

} // namespace orv
