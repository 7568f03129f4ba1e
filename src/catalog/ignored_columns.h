// The columns a comparison leaves out of a table, listed per table in one INI file per kind
// of comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

constexpr int32_t kIgnoredForData = 1;
constexpr int32_t kIgnoredForStructure = 2;
constexpr int32_t kIgnoredForAnalysis = 3;

// The INI file of a kind; empty for an unknown kind.
std::string IgnoredColumnsFile(int32_t kind);

// Fills `columns` with the values of the section `tableName` in file order and returns how
// many; 0 (and no columns) when the file, section or entries are missing.
int32_t GetIgnoredColumns(int32_t kind, const std::string& tableName,
                          std::vector<std::string>& columns);

} // namespace orv
