// A data comparison as a saved comparison process, and back: the table pairs, the keys picked
// for them and the mode, in the keys core/saved_comparison.h describes.
#pragma once

#include "core/saved_comparison.h"
#include "dbcompare/data_compare.h"

#include <string>
#include <vector>

namespace orv {

// The process of `request` (as it was run, between the servers and databases of `results`),
// of sub-type kCompSubTypeData*, with the export file and print setting the window had.
ComparisonDescription DescribeDataCompare(const DataCompareResults& results,
                                          const DataCompareRequest& request, int32_t subType,
                                          const std::string& exportPath, bool printed);

// The table pairs of a read process (none for all tables); false with the key at fault.
bool DataPairsOfProcess(const ComparisonDescription& d, std::vector<DataTablePair>& pairs,
                        std::string& error);

DataCompareMode DataModeOfProcess(int32_t mode);

} // namespace orv
