#include "catalog/ignored_columns.h"

#include "core/inifile.h"
#include "core/paths.h"

namespace orv {

std::string IgnoredColumnsFile(int32_t kind) {
    switch (kind) {
    case kIgnoredForData:
        return Paths().IgnoredColsDataIni;
    case kIgnoredForStructure:
        return Paths().IgnoredColsStructIni;
    case kIgnoredForAnalysis:
        return Paths().IgnoredColsAnalysisIni;
    default:
        return "";
    }
}

int32_t GetIgnoredColumns(int32_t kind, const std::string& tableName,
                          std::vector<std::string>& columns) {
    columns.clear();
    cInifile ini;
    ini.Path = IgnoredColumnsFile(kind);
    ini.Section = tableName;
    if (ini.Path.empty())
        return 0;
    std::vector<std::string> keys;
    int32_t count = 0;
    ini.EnumerateCurrentSection(keys, count);
    if (count <= 0)
        return 0;
    columns.reserve(static_cast<size_t>(count));
    // The key list starts at index 1.
    for (int32_t i = 1; i <= count && static_cast<size_t>(i) < keys.size(); ++i) {
        ini.Key = keys[static_cast<size_t>(i)];
        columns.push_back(ini.Value());
    }
    return static_cast<int32_t>(columns.size());
}

} // namespace orv
